#include "base/folder_files.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "base/natural_order.h"

namespace trimlet {

std::vector<std::string> filesInFolder(const std::string& folder,
                                       const std::function<bool(std::string_view name)>& keep)
{
    namespace fs = std::filesystem;
    std::vector<std::string> names;
    std::error_code ec;
    fs::directory_iterator it(fs::path(folder), fs::directory_options::skip_permission_denied, ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        std::string name = it->path().filename().native();
        if (name.empty() || name.front() == '.' || !keep(name))
            continue;
        std::error_code typeError;
        if (it->is_regular_file(typeError))  // follows links; a dangling one is no file
            names.push_back(std::move(name));
    }
    std::sort(names.begin(), names.end(), naturalLess);
    return names;
}

}  // namespace trimlet
