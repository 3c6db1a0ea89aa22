#include "document/recent_files.h"

#include <algorithm>
#include <charconv>
#include <filesystem>

#include "base/byte_path.h"
#include "base/text.h"
#include "settings/settings_keys.h"

namespace trimlet {

namespace {

// Two names of one file compare equal through links and "..", while a file that is gone
// compares by its name.
std::string identity(const std::string& path)
{
    std::error_code ec;
    std::filesystem::path canonical = std::filesystem::canonical(path, ec);
    return ec ? absoluteLocalPath(path) : canonical.string();
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

}  // namespace

RecentFiles::RecentFiles(const std::vector<std::string>& paths)
{
    for (auto it = paths.rbegin(); it != paths.rend(); ++it)
        add(*it);
}

void RecentFiles::add(const std::string& path)
{
    if (path.empty())
        return;
    remove(path);
    paths_.insert(paths_.begin(), path);
    if (paths_.size() > kMaxEntries)
        paths_.resize(kMaxEntries);
}

void RecentFiles::step(const std::string& from, const std::string& to)
{
    if (paths_.empty() || identity(paths_.front()) != identity(from))
        return;
    paths_.erase(paths_.begin());
    add(to);
}

void RecentFiles::remove(const std::string& path)
{
    const std::string id = identity(path);
    std::erase_if(paths_, [&](const std::string& p) { return identity(p) == id; });
}

std::size_t RecentFiles::removeMissing(const std::function<bool(const std::string&)>& exists)
{
    return std::erase_if(paths_, [&](const std::string& p) { return !exists(p); });
}

std::string encodeRecentPath(std::string_view path)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    std::size_t i = 0;
    while (i < path.size()) {
        const auto byte = static_cast<unsigned char>(path[i]);
        const std::size_t utf8 = byte >= 0x80 ? utf8SequenceLength(path.substr(i)) : 0;
        if (utf8 > 0) {
            out.append(path.substr(i, utf8));
            i += utf8;
            continue;
        }
        // The file's reader trims blanks and a pair of quotes around a value.
        const bool edge = i == 0 || i + 1 == path.size();
        if (byte < 0x20 || byte >= 0x7F || byte == '%' || (edge && (byte == ' ' || byte == '"'))) {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 15];
        } else {
            out += char(byte);
        }
        ++i;
    }
    return out;
}

std::optional<std::string> decodeRecentPath(std::string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        const int high = i + 2 < text.size() ? hexValue(text[i + 1]) : -1;
        const int low = i + 2 < text.size() ? hexValue(text[i + 2]) : -1;
        if (high < 0 || low < 0)
            return std::nullopt;
        out += char(high * 16 + low);
        i += 2;
    }
    if (out.empty() || out.front() != '/' || out.find('\0') != std::string::npos)
        return std::nullopt;
    return out;
}

std::vector<ProfileEntry> recentSection(const RecentFiles& files)
{
    std::vector<ProfileEntry> entries;
    for (std::size_t i = 0; i < files.paths().size(); ++i)
        entries.push_back({std::to_string(i + 1), encodeRecentPath(files.paths()[i])});
    return entries;
}

RecentFiles recentFromSection(const std::vector<ProfileEntry>& entries)
{
    std::vector<std::optional<std::string>> byNumber(RecentFiles::kMaxEntries);
    for (const ProfileEntry& entry : entries) {
        unsigned number = 0;
        const char* end = entry.key.data() + entry.key.size();
        const auto [stop, ec] = std::from_chars(entry.key.data(), end, number);
        if (ec != std::errc{} || stop != end || number < 1 || number > RecentFiles::kMaxEntries)
            continue;
        if (auto path = decodeRecentPath(entry.value))
            byNumber[number - 1] = std::move(path);
    }
    std::vector<std::string> paths;
    for (auto& path : byNumber)
        if (path)
            paths.push_back(std::move(*path));
    return RecentFiles(paths);
}

RecentFiles readRecentFiles(const std::string& settingsPath)
{
    return recentFromSection(ProfileFile(settingsPath).readSection(keys::recentFiles.name));
}

Result<RecentFiles> updateRecentFiles(const std::string& settingsPath, const std::function<void(RecentFiles&)>& change)
{
    RecentFiles changed;
    ProfileFile file(settingsPath);
    const Status written = file.rewriteSection(keys::recentFiles.name, [&](const std::vector<ProfileEntry>& old) {
        changed = recentFromSection(old);
        change(changed);
        return recentSection(changed);
    });
    if (!written)
        return written.error();
    return changed;
}

}  // namespace trimlet
