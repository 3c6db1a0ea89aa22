#include "settings/profile_file.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "base/file_io.h"

namespace trimlet {

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::string_view trim(std::string_view s)
{
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

char foldAscii(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

bool isShiftJisLead(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return (u >= 0x81 && u <= 0x9F) || (u >= 0xE0 && u <= 0xFC);
}

// ASCII letters fold; the trail byte of a Shift_JIS pair may look like a letter but must not.
bool namesEqual(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (isShiftJisLead(a[i]) && i + 1 < a.size()) {
            if (a[i] != b[i] || a[i + 1] != b[i + 1])
                return false;
            ++i;
        } else if (foldAscii(a[i]) != foldAscii(b[i])) {
            return false;
        }
    }
    return true;
}

struct Line {
    std::size_t begin = 0;  // first byte of the text
    std::size_t end = 0;    // end of the text, before "\n" or "\r\n"
    std::size_t next = 0;   // first byte of the following line
};

bool nextLine(std::string_view t, std::size_t& pos, Line& line)
{
    if (pos >= t.size())
        return false;
    const std::size_t nl = t.find('\n', pos);
    line.begin = pos;
    line.next = nl == std::string_view::npos ? t.size() : nl + 1;
    line.end = nl == std::string_view::npos ? t.size() : nl;
    if (line.end > line.begin && t[line.end - 1] == '\r')
        --line.end;
    pos = line.next;
    return true;
}

enum class Kind { Blank, Comment, Section, Key, Other };

struct Entry {
    Kind kind = Kind::Other;
    std::string_view name;       // of a section or key
    std::size_t valueBegin = 0;  // of a key: after '=' and the blanks that follow it
};

Entry classify(std::string_view t, const Line& line)
{
    const std::string_view raw = t.substr(line.begin, line.end - line.begin);
    const std::string_view s = trim(raw);
    if (s.empty())
        return {Kind::Blank, {}, 0};
    if (s.front() == ';' || s.front() == '#')
        return {Kind::Comment, {}, 0};
    if (s.front() == '[') {
        const std::size_t close = s.find(']');
        if (close == std::string_view::npos)
            return {Kind::Other, {}, 0};
        return {Kind::Section, trim(s.substr(1, close - 1)), 0};
    }
    const std::size_t eq = raw.find('=');
    if (eq == std::string_view::npos)
        return {Kind::Other, {}, 0};
    std::size_t v = eq + 1;
    while (v < raw.size() && isBlank(raw[v]))
        ++v;
    return {Kind::Key, trim(raw.substr(0, eq)), line.begin + v};
}

// A byte-order mark some editors add is not part of the first line.
std::size_t bodyStart(std::string_view t) { return t.starts_with(kUtf8Bom) ? kUtf8Bom.size() : 0; }

// Where a key sits in a file, or where it would go.
struct Place {
    bool sectionFound = false;
    bool keyFound = false;
    std::size_t valueBegin = 0, valueEnd = 0;  // of the key's value when found
    std::size_t insertAt = 0;                  // after the section's last line that is neither blank nor a comment
};

Place locate(std::string_view t, std::string_view section, std::string_view key)
{
    Place place;
    std::size_t pos = bodyStart(t);
    Line line;
    while (nextLine(t, pos, line)) {
        const Entry e = classify(t, line);
        if (e.kind == Kind::Section) {
            if (place.sectionFound)
                break;  // only the first section of the name counts
            place.sectionFound = namesEqual(e.name, section);
            place.insertAt = line.next;
            continue;
        }
        if (!place.sectionFound)
            continue;
        if (e.kind == Kind::Key && namesEqual(e.name, key)) {
            place.keyFound = true;
            place.valueBegin = e.valueBegin;
            place.valueEnd = line.end;
            return place;
        }
        if (e.kind != Kind::Blank && e.kind != Kind::Comment)
            place.insertAt = line.next;
    }
    return place;
}

bool hasLineBreakOrNul(std::string_view s) { return s.find_first_of(std::string_view("\r\n\0", 3)) != s.npos; }

bool validName(std::string_view s)
{
    return !s.empty() && !hasLineBreakOrNul(s) && !isBlank(s.front()) && !isBlank(s.back());
}

// What setProfileValue refuses, checked before anything is touched.
Status checkStorable(std::string_view section, std::string_view key, std::string_view value)
{
    if (!validName(section) || section.find(']') != section.npos)
        return makeError(ErrorCode::Invalid, "unusable section name");
    if (!validName(key) || key.find('=') != key.npos || key.front() == '[' || key.front() == ';' || key.front() == '#')
        return makeError(ErrorCode::Invalid, "unusable key name");
    if (hasLineBreakOrNul(value))
        return makeError(ErrorCode::Invalid, "a value cannot hold a line break or NUL");
    return {};
}

bool quotedOnRead(std::string_view s) { return s.size() >= 2 && s.front() == '"' && s.back() == '"'; }

// Quotes keep surrounding blanks and quotes that reading would otherwise strip.
std::string encodeValue(std::string_view v)
{
    if (!v.empty() && (isBlank(v.front()) || isBlank(v.back()) || quotedOnRead(v)))
        return "\"" + std::string(v) + "\"";
    return std::string(v);
}

std::string_view lineEnding(std::string_view t)
{
    const std::size_t nl = t.find('\n');
    if (nl == std::string_view::npos)
        return "\r\n";  // the sibling Windows program writes CRLF
    return nl > 0 && t[nl - 1] == '\r' ? "\r\n" : "\n";
}

Error ioError(const std::string& what, const std::string& path)
{
    return makeError(ErrorCode::Io, what + " " + path + ": " + std::strerror(errno));
}

Error refusal(const std::string& why, const std::string& path) { return makeError(ErrorCode::Io, why + ": " + path); }

struct Fd {
    int fd = -1;
    Fd() = default;
    explicit Fd(int f) : fd(f) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

// Without O_NONBLOCK a FIFO named like the settings file would hold the open until someone
// writes to it; with it the open returns and fstat tells it apart.
constexpr int kOpenFlags = O_CLOEXEC | O_NOCTTY | O_NONBLOCK;

// The bytes of an open regular file of at most kMaxProfileBytes.
Result<std::string> readOpenFile(int fd, const struct stat& st, const std::string& path)
{
    if (!S_ISREG(st.st_mode))
        return refusal("not a regular file", path);
    if (std::uint64_t(st.st_size) > kMaxProfileBytes)
        return makeError(ErrorCode::TooLarge, "too large for a settings file: " + path);
    std::string text(std::size_t(st.st_size), '\0');
    std::size_t got = 0;
    while (got < text.size()) {
        const ssize_t r = ::pread(fd, text.data() + got, text.size() - got, off_t(got));
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0)
            return ioError("cannot read", path);
        if (r == 0)
            break;
        got += std::size_t(r);
    }
    text.resize(got);
    return text;
}

// A missing file (or folder) reads as empty.
Result<std::string> loadText(const std::string& path)
{
    const Fd f(::open(path.c_str(), O_RDONLY | kOpenFlags));
    if (f.fd < 0)
        return errno == ENOENT || errno == ENOTDIR ? Result<std::string>(std::string()) : ioError("cannot open", path);
    struct stat st {};
    if (::fstat(f.fd, &st) != 0)
        return ioError("cannot read", path);
    return readOpenFile(f.fd, st, path);
}

// Where a write goes. A settings file linked into a dotfile folder stays linked and its
// target is rewritten, but only along links of our own: otherwise anyone who can write the
// settings file's folder could have us rewrite any file of ours, ~/.bashrc say.
struct WriteTarget {
    std::string path;
    bool viaLink = false;
};

Result<WriteTarget> writeTarget(const std::string& path)
{
    constexpr int kMaxLinks = 8;
    WriteTarget target{path, false};
    for (int depth = 0; depth <= kMaxLinks; ++depth) {
        struct stat st {};
        if (::lstat(target.path.c_str(), &st) != 0) {
            if (errno == ENOENT && !target.viaLink)
                return target;  // created by the write
            return target.viaLink ? refusal("the settings file's link leads to no file", path)
                                  : ioError("cannot write", path);
        }
        if (!S_ISLNK(st.st_mode))
            return target;
        if (st.st_uid != ::geteuid())
            return refusal("the settings file is a link of another user", path);
        std::string next(std::size_t(PATH_MAX), '\0');
        const ssize_t n = ::readlink(target.path.c_str(), next.data(), next.size());
        if (n <= 0 || std::size_t(n) >= next.size())
            return ioError("cannot follow", target.path);
        next.resize(std::size_t(n));
        if (next.front() != '/') {
            const std::size_t slash = target.path.rfind('/');
            if (slash != std::string::npos)
                next.insert(0, target.path.substr(0, slash + 1));
        }
        target = {next, true};
    }
    return refusal("too many links to the settings file", path);
}

// Two programs saving at once must not both read the old file and each drop the other's
// key, so every read-modify-write holds a lock. A lock that does not come within a few
// seconds (held by something else for good) fails the write rather than hang the window.
constexpr auto kLockWait = std::chrono::seconds(2);

bool lockWithin(int fd, std::chrono::steady_clock::duration wait)
{
    const auto until = std::chrono::steady_clock::now() + wait;
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR)
            return false;
        if (std::chrono::steady_clock::now() >= until)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

bool sameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

}  // namespace

int parseProfileInt(std::string_view s, int defaultValue)
{
    std::size_t i = 0;
    while (i < s.size() && isBlank(s[i]))
        ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        negative = s[i++] == '-';

    const auto hexDigit = [](char c) -> int {
        if (c >= '0' && c <= '9')
            return c - '0';
        c = foldAscii(c);
        return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
    };
    // Only the whole text counts: "12abc" is no integer, as the settings reader has it.
    const auto restIsBlank = [&](std::size_t from) {
        while (from < s.size() && isBlank(s[from]))
            ++from;
        return from == s.size();
    };
    if (i + 2 < s.size() && s[i] == '0' && foldAscii(s[i + 1]) == 'x') {
        std::uint64_t bits = 0;
        const std::size_t first = i + 2;
        for (i = first; i < s.size() && hexDigit(s[i]) >= 0; ++i) {
            bits = bits << 4 | std::uint64_t(hexDigit(s[i]));
            if (bits > UINT32_MAX)
                return defaultValue;
        }
        if (i == first || !restIsBlank(i))
            return defaultValue;
        const auto u = std::uint32_t(bits);
        return static_cast<std::int32_t>(negative ? 0u - u : u);
    }

    const std::uint64_t limit = negative ? std::uint64_t(INT_MAX) + 1 : std::uint64_t(INT_MAX);
    std::uint64_t value = 0;
    const std::size_t first = i;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
        value = value * 10 + std::uint64_t(s[i] - '0');
        if (value > limit)
            return defaultValue;
    }
    if (i == first || !restIsBlank(i))
        return defaultValue;
    return int(negative ? -std::int64_t(value) : std::int64_t(value));
}

std::optional<std::string> findProfileValue(std::string_view text, std::string_view section, std::string_view key)
{
    const Place place = locate(text, section, key);
    if (!place.keyFound)
        return std::nullopt;
    std::string_view v = trim(text.substr(place.valueBegin, place.valueEnd - place.valueBegin));
    if (quotedOnRead(v))
        v = v.substr(1, v.size() - 2);
    return std::string(v);
}

Result<std::string> setProfileValue(std::string_view text, std::string_view section, std::string_view key,
                                    std::string_view value)
{
    if (Status refused = checkStorable(section, key, value); !refused)
        return refused.error();

    const Place place = locate(text, section, key);
    const std::string_view eol = lineEnding(text);
    std::string out;
    out.reserve(text.size() + section.size() + key.size() + value.size() + 16);
    if (place.keyFound) {
        out.append(text.substr(0, place.valueBegin));
        out.append(encodeValue(value));
        out.append(text.substr(place.valueEnd));
        return out;
    }
    const std::size_t at = place.sectionFound ? place.insertAt : text.size();
    out.append(text.substr(0, at));
    if (at > bodyStart(text) && text[at - 1] != '\n')
        out.append(eol);  // the last line had no line ending
    if (!place.sectionFound)
        out.append("[").append(section).append("]").append(eol);
    out.append(key).append("=").append(encodeValue(value)).append(eol);
    out.append(text.substr(at));
    return out;
}

bool profileNamesEqual(std::string_view a, std::string_view b) { return namesEqual(a, b); }

std::vector<ProfileEntry> findProfileSection(std::string_view text, std::string_view section)
{
    std::vector<ProfileEntry> entries;
    bool inside = false;
    std::size_t pos = bodyStart(text);
    Line line;
    while (nextLine(text, pos, line)) {
        const Entry e = classify(text, line);
        if (e.kind == Kind::Section) {
            if (inside)
                break;
            inside = namesEqual(e.name, section);
            continue;
        }
        if (!inside || e.kind != Kind::Key || e.name.empty())
            continue;
        if (std::any_of(entries.begin(), entries.end(),
                        [&](const ProfileEntry& k) { return namesEqual(k.key, e.name); }))
            continue;
        std::string_view v = trim(text.substr(e.valueBegin, line.end - e.valueBegin));
        if (quotedOnRead(v))
            v = v.substr(1, v.size() - 2);
        entries.push_back({std::string(e.name), std::string(v)});
    }
    return entries;
}

Result<std::string> replaceProfileSection(std::string_view text, std::string_view section,
                                          const std::vector<ProfileEntry>& entries)
{
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (Status refused = checkStorable(section, entries[i].key, entries[i].value); !refused)
            return refused.error();
        for (std::size_t j = 0; j < i; ++j)
            if (namesEqual(entries[j].key, entries[i].key))
                return makeError(ErrorCode::Invalid, "the key " + entries[i].key + " is given twice");
    }
    if (entries.empty())
        if (Status refused = checkStorable(section, "k", ""); !refused)
            return refused.error();

    const std::string_view eol = lineEnding(text);
    std::string lines;
    for (const ProfileEntry& k : entries)
        lines.append(k.key).append("=").append(encodeValue(k.value)).append(eol);

    std::string out;
    out.reserve(text.size() + lines.size() + section.size() + 8);
    bool found = false, inside = false, placed = false;
    std::size_t insertAt = 0;  // in out, while the section's keys are left out
    std::size_t pos = bodyStart(text);
    out.append(text.substr(0, pos));
    Line line;
    while (nextLine(text, pos, line)) {
        const Entry e = classify(text, line);
        if (e.kind == Kind::Section) {
            if (inside) {
                inside = false;
                out.append(text.substr(line.begin));
                break;
            }
            if (!found && namesEqual(e.name, section)) {
                found = inside = true;
                out.append(text.substr(line.begin, line.next - line.begin));
                insertAt = out.size();
                continue;
            }
        }
        if (inside && e.kind == Kind::Key) {
            if (!placed)
                insertAt = out.size();
            placed = true;
            continue;
        }
        out.append(text.substr(line.begin, line.next - line.begin));
        if (inside && !placed && e.kind != Kind::Blank && e.kind != Kind::Comment)
            insertAt = out.size();
    }
    if (!found) {
        if (entries.empty())
            return std::string(text);
        insertAt = out.size();
        lines.insert(0, std::string("[").append(section).append("]").append(eol));
    }
    if (insertAt > bodyStart(text) && out[insertAt - 1] != '\n')
        lines.insert(0, eol);  // the line before had no line ending
    out.insert(insertAt, lines);
    return out;
}

int ProfileFile::readInt(std::string_view section, std::string_view key, int defaultValue) const
{
    const auto text = loadText(path_);
    if (!text)
        return defaultValue;
    const auto value = findProfileValue(text.value(), section, key);
    return value ? parseProfileInt(*value, defaultValue) : defaultValue;
}

std::string ProfileFile::readString(std::string_view section, std::string_view key, std::string_view defaultValue) const
{
    const auto text = loadText(path_);
    if (!text)
        return std::string(defaultValue);
    auto value = findProfileValue(text.value(), section, key);
    return value ? std::move(*value) : std::string(defaultValue);
}

Status ProfileFile::writeString(std::string_view section, std::string_view key, std::string_view value)
{
    if (Status refused = checkStorable(section, key, value); !refused)
        return refused;
    return rewrite([&](const std::string& text) { return setProfileValue(text, section, key, value); });
}

std::vector<ProfileEntry> ProfileFile::readSection(std::string_view section) const
{
    const auto text = loadText(path_);
    return text ? findProfileSection(text.value(), section) : std::vector<ProfileEntry>{};
}

Status ProfileFile::rewriteSection(std::string_view section, const SectionChange& change)
{
    if (Status refused = checkStorable(section, "k", ""); !refused)
        return refused;
    return rewrite([&](const std::string& text) {
        return replaceProfileSection(text, section, change(findProfileSection(text, section)));
    });
}

Status ProfileFile::rewrite(const std::function<Result<std::string>(const std::string&)>& change)
{
    const auto target = writeTarget(path_);
    if (!target)
        return target.error();
    const std::string& where = target.value().path;
    // The new file is renamed into place, so a writer that waited for the lock may hold the
    // replaced file; it looks again until the file it locked is the one in place.
    for (int attempt = 0; attempt < 100; ++attempt) {
        // Opening for writing also refuses a read-only file, as Windows does, which renaming
        // would pass over; O_NOFOLLOW keeps a link swapped in meanwhile from being followed.
        const Fd f(::open(where.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | kOpenFlags, 0666));
        if (f.fd < 0)
            return ioError("cannot write", where);
        struct stat locked {};
        if (::fstat(f.fd, &locked) != 0)
            return ioError("cannot read", where);
        if (!S_ISREG(locked.st_mode))
            return refusal("not a regular file", where);
        if (target.value().viaLink && locked.st_uid != ::geteuid())
            return refusal("the settings file's link leads to a file of another user", path_);
        if (!lockWithin(f.fd, kLockWait))
            return refusal("the settings file stays locked by another program", where);
        struct stat now {};
        if (::stat(where.c_str(), &now) != 0 || !sameFile(now, locked))
            continue;
        const auto text = readOpenFile(f.fd, locked, where);
        if (!text)
            return text.error();
        auto changed = change(text.value());
        if (!changed)
            return changed.error();
        if (changed.value().size() > kMaxProfileBytes)
            return makeError(ErrorCode::TooLarge, "settings file would grow too large: " + where);
        const std::string& bytes = changed.value();
        return writeFileAtomic(where, {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()});
    }
    return refusal("the settings file keeps being replaced", where);
}

Status ProfileFile::writeInt(std::string_view section, std::string_view key, int value)
{
    return writeString(section, key, std::to_string(value));
}

}  // namespace trimlet
