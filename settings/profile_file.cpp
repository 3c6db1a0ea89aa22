#include "settings/profile_file.h"

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include "codecs/file_io.h"

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
    std::size_t insertAt = 0;  // after the section's last line that is neither blank nor a comment
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

// A missing file (or folder) reads as empty.
Result<std::string> loadText(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 && (errno == ENOENT || errno == ENOTDIR))
        return std::string();
    auto bytes = readFileBytes(path, kMaxProfileBytes);
    if (!bytes)
        return bytes.error();
    return std::string(bytes.value().begin(), bytes.value().end());
}

// A settings file linked into a synced folder stays linked: the rename goes to the target.
std::string writeTarget(const std::string& path)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
        return path;
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (!resolved)
        return path;
    std::string target(resolved);
    std::free(resolved);
    return target;
}

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
    if (!validName(section) || section.find(']') != section.npos)
        return makeError(ErrorCode::Invalid, "unusable section name");
    if (!validName(key) || key.find('=') != key.npos || key.front() == '[' || key.front() == ';' || key.front() == '#')
        return makeError(ErrorCode::Invalid, "unusable key name");
    if (hasLineBreakOrNul(value))
        return makeError(ErrorCode::Invalid, "a value cannot hold a line break or NUL");

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
    const std::string target = writeTarget(path_);
    const auto text = loadText(target);
    if (!text)
        return text.error();
    auto changed = setProfileValue(text.value(), section, key, value);
    if (!changed)
        return changed.error();
    if (changed.value().size() > kMaxProfileBytes)
        return makeError(ErrorCode::TooLarge, "settings file would grow too large: " + target);
    // Replacing by rename would pass over a read-only file; Windows refuses to write one.
    if (::access(target.c_str(), F_OK) == 0 && ::access(target.c_str(), W_OK) != 0)
        return ioError("cannot write", target);
    const std::string& bytes = changed.value();
    return writeFileAtomic(target, {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()});
}

Status ProfileFile::writeInt(std::string_view section, std::string_view key, int value)
{
    return writeString(section, key, std::to_string(value));
}

}  // namespace trimlet
