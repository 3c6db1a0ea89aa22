#pragma once
// Profile (INI) files with the rules of Windows private-profile files, on bytes: section and
// key names match without regard to ASCII letter case, values pass through in whatever code
// page the file is written in (Shift_JIS for the sibling program's file).
//
// Lines: "[name]" opens a section; "key=value" inside a section is a key; a line whose first
// non-blank is ';' or '#' is a comment; anything else is kept but never matched. Lines end in
// LF or CRLF. The first section of a name and its first key of a name are the ones used.

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/result.h"

namespace trimlet {

// Settings files are a few KiB; a larger file reads as empty and is never rewritten, so a
// misnamed picture or log cannot be parsed whole or replaced by a settings file.
inline constexpr std::size_t kMaxProfileBytes = std::size_t{1} << 20;

// The integer a value text stands for, or defaultValue when it is none. The whole text must be
// blanks, an optional sign, then "0x"/"0X" and hex digits, or decimal digits, then blanks
// ("12abc", "0x", "abc" and "" give the default). Hex of up to 32 bits is a bit pattern
// ("0xFFFFFFFF" is -1); a decimal beyond int's range or a longer hex is the default.
int parseProfileInt(std::string_view text, int defaultValue);

// The value of key in section within a file's bytes: trimmed of blanks, then of one pair of
// surrounding double quotes. nullopt when the section or key is absent.
std::optional<std::string> findProfileValue(std::string_view text, std::string_view section, std::string_view key);

// The file's bytes with key in section set to value: the key's line changed after its '=',
// or the key added at the end of its section, or the section added at the end of the file,
// in the file's own line ending (CRLF for a file without one). Every other byte is kept.
// Invalid when the names or the value cannot be stored so that they read back the same
// (CR, LF or NUL anywhere; '=' or a leading '[', ';', '#' in a key; ']' in a section; an
// empty name or one with surrounding blanks).
Result<std::string> setProfileValue(std::string_view text, std::string_view section, std::string_view key,
                                    std::string_view value);

// Whether two section or key names match, as the file's readers match them.
bool profileNamesEqual(std::string_view a, std::string_view b);

// A key of a section with its value as findProfileValue reads it.
struct ProfileEntry {
    std::string key;
    std::string value;
    friend bool operator==(const ProfileEntry&, const ProfileEntry&) = default;
};

// The keys of the first section of that name in the file's order, each key once (its first
// line, the one findProfileValue reads).
std::vector<ProfileEntry> findProfileSection(std::string_view text, std::string_view section);

// The file's bytes with the first section of that name holding exactly entries, in their
// order, where its first key stood (or where setProfileValue would add a key); its comments
// and every other line are kept, and a missing section is added at the end unless entries is
// empty. Invalid, as setProfileValue is, for names or values that would not read back the
// same, and for two keys that name the same key.
Result<std::string> replaceProfileSection(std::string_view text, std::string_view section,
                                          const std::vector<ProfileEntry>& entries);

// One profile file on disk. Every read looks at the file as it is now; every write changes
// the file at once, atomically, so a failed write leaves the old file as it was, and holds an
// advisory lock on the file from its read to its rename, so writers in several processes
// keep each other's keys. Only regular files are read or written, and opening never waits
// (a FIFO of the name reads as missing and refuses writes).
class ProfileFile {
public:
    explicit ProfileFile(std::string path) : path_(std::move(path)) {}
    const std::string& path() const { return path_; }

    // The value, or the default when the file is missing, unreadable or too large, or the
    // section or key is absent (an empty value reads as empty, as an integer as the default).
    int readInt(std::string_view section, std::string_view key, int defaultValue) const;
    std::string readString(std::string_view section, std::string_view key, std::string_view defaultValue) const;

    // Creates the file when it is missing. Through a symbolic link the link's final target is
    // rewritten, but only when every link on the way and that target are the running user's
    // own and the target exists; otherwise the write fails. Fails (and changes nothing) when
    // the file or its folder refuses writing, the file exists but cannot be read or is too
    // large, another program keeps the file locked for seconds, or the names or value are
    // refused by setProfileValue (a failing write to a missing file may leave it empty).
    Status writeString(std::string_view section, std::string_view key, std::string_view value);
    Status writeInt(std::string_view section, std::string_view key, int value);

    // The section's keys as findProfileSection gives them; none when the file cannot be read.
    std::vector<ProfileEntry> readSection(std::string_view section) const;
    // The section made to hold what change makes of the keys it holds now, read under the
    // same lock, as replaceProfileSection writes them; fails as writeString does.
    using SectionChange = std::function<std::vector<ProfileEntry>(std::vector<ProfileEntry>)>;
    Status rewriteSection(std::string_view section, const SectionChange& change);

private:
    // The file's bytes replaced by what change makes of them, under the lock.
    Status rewrite(const std::function<Result<std::string>(const std::string&)>& change);

    std::string path_;
};

}  // namespace trimlet
