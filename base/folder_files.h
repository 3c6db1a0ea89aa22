#pragma once
// The files of a folder, as a folder browser shows them.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace trimlet {

// The names (the file system's bytes, no folder) of the regular files in folder, symbolic
// links followed, that keep accepts, in natural order. Hidden files (a leading dot) are left
// out, as the open dialog leaves them out. A folder that cannot be read gives none.
std::vector<std::string> filesInFolder(const std::string& folder,
                                       const std::function<bool(std::string_view name)>& keep);

}  // namespace trimlet
