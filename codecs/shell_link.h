#pragma once
// Windows shell shortcuts (.lnk) and long-path expansion, mapped onto this file system.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace trimlet {

// The parts of a shortcut that can lead to its target, as UTF-8 with the separators stored
// in the file (usually backslashes). 8-bit strings are read as code page 932 (Shift_JIS).
struct ShellLinkInfo {
    bool isUnicode = false;        // the counted strings were stored as UTF-16
    std::string localBasePath;     // empty when the link has no local path (or ignores it)
    std::string commonPathSuffix;  // appended to localBasePath
    std::string name;
    std::string relativePath;  // relative to the shortcut's own folder
    std::string workingDir;
    std::string arguments;
    std::string iconLocation;
};

// Parses a shortcut file's bytes; nullopt when they are not a well-formed shortcut.
std::optional<ShellLinkInfo> parseShellLink(std::span<const std::uint8_t> bytes);

// The local paths a parsed shortcut may mean, best first, without looking at the disk.
// lnkFolder is the shortcut's folder; drive paths are tried under winePrefix's dosdevices
// (skipped when winePrefix is empty) and then from the root.
std::vector<std::string> shortcutCandidates(const ShellLinkInfo& link, const std::string& lnkFolder,
                                            const std::string& winePrefix);

// The local path a shortcut file points at, or an empty string when it cannot be resolved.
// A symbolic link is followed instead of being parsed. A shortcut to a folder gives the folder.
std::string resolveShortcut(const std::string& lnkPath);

// The existing file's canonical absolute path, every component in the letter case stored on
// disk; an empty string when no file exists at path.
std::string expandToLongPath(const std::string& path);

}  // namespace trimlet
