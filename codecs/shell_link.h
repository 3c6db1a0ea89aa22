#pragma once
// Windows shell shortcuts (.lnk) and long-path expansion, mapped onto this file system.

#include <string>

namespace trimlet {

// The local path a shortcut file points at, or an empty string when it cannot be resolved.
std::string resolveShortcut(const std::string& lnkPath);

// The existing file's canonical absolute path, every component in the letter case stored on
// disk; an empty string when no file exists at path.
std::string expandToLongPath(const std::string& path);

}  // namespace trimlet
