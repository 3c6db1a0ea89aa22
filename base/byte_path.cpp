#include "base/byte_path.h"

#include <filesystem>
#include <system_error>

namespace trimlet {

std::string fileNamePart(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string folderPart(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return {};
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::string absoluteLocalPath(const std::string& path)
{
    if (path.empty())
        return path;
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path absolute = fs::absolute(fs::path(path), ec);
    if (ec)
        return path;
    std::string normal = absolute.lexically_normal().string();
    while (normal.size() > 1 && normal.back() == '/')
        normal.pop_back();
    return normal;
}

std::vector<std::string> pathComponents(const std::string& path)
{
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t slash = path.find('/', start);
        parts.push_back(path.substr(start, slash - start));
        if (slash == std::string::npos)
            return parts;
        start = slash + 1;
    }
}

}  // namespace trimlet
