#pragma once
// The pictures the user last opened by name, newest first, as the open button's menu lists
// them, and their [recent] section of the settings file.

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"
#include "settings/profile_file.h"

namespace trimlet {

class RecentFiles {
public:
    static constexpr std::size_t kMaxEntries = 10;

    RecentFiles() = default;
    // The paths in order, later names of a file already listed and those past ten dropped.
    explicit RecentFiles(const std::vector<std::string>& paths);

    const std::vector<std::string>& paths() const { return paths_; }

    // Puts path first; an older entry of the same file (the same canonical path) goes, and
    // the oldest entry past ten.
    void add(const std::string& path);
    // A step through a folder carries the entry it started from along, so that a walk through
    // a folder keeps one entry, the picture the user stayed on. Nothing changes unless from
    // is the newest entry.
    void step(const std::string& from, const std::string& to);
    void remove(const std::string& path);
    // Drops the entries for which exists says false; how many went.
    std::size_t removeMissing(const std::function<bool(const std::string&)>& exists);
    void clear() { paths_.clear(); }

    friend bool operator==(const RecentFiles&, const RecentFiles&) = default;

private:
    std::vector<std::string> paths_;
};

// A path as a settings value: '%', control bytes, bytes that are not UTF-8 and blanks at
// either end as %XX, so that every byte of a file name reads back the same.
std::string encodeRecentPath(std::string_view path);
// nullopt for text that is no encoded absolute path (a stray '%', a NUL, a relative name).
std::optional<std::string> decodeRecentPath(std::string_view text);

// The section's keys "1".."10" in order; reading takes the keys 1 to 10 by number and skips
// any other key and any value that is no path, so a hand-edited section keeps what is valid.
std::vector<ProfileEntry> recentSection(const RecentFiles& files);
RecentFiles recentFromSection(const std::vector<ProfileEntry>& entries);

RecentFiles readRecentFiles(const std::string& settingsPath);
// The list the file holds now, changed and written back under the file's lock, so that two
// windows keep each other's entries; the new list, or why it could not be written.
Result<RecentFiles> updateRecentFiles(const std::string& settingsPath, const std::function<void(RecentFiles&)>& change);

}  // namespace trimlet
