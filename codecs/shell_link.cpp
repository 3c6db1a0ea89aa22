#include "codecs/shell_link.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <filesystem>
#include <memory>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

#include "base/file_io.h"
#include "base/text.h"

namespace trimlet {

namespace {

constexpr std::uint32_t kHeaderSize = 0x4C;
constexpr std::array<std::uint8_t, 16> kLinkClsid = {0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                                     0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};

enum LinkFlag : std::uint32_t {
    HasIdList = 0x1,
    HasLinkInfo = 0x2,
    HasName = 0x4,
    HasRelativePath = 0x8,
    HasWorkingDir = 0x10,
    HasArguments = 0x20,
    HasIconLocation = 0x40,
    IsUnicode = 0x80,
    ForceNoLinkInfo = 0x100,
};

constexpr std::uint32_t kVolumeIdAndLocalBasePath = 0x1;
constexpr std::uint32_t kLinkInfoMinHeader = 0x1C;
constexpr std::uint32_t kLinkInfoWideHeader = 0x24;  // from here on the UTF-16 offsets exist

// Real shortcuts are a few KiB; the cap keeps a misnamed picture from being read whole.
constexpr std::uint64_t kMaxShortcutBytes = std::uint64_t{1} << 20;
constexpr int kMaxSymlinks = 40;

using Bytes8 = std::span<const std::uint8_t>;

std::uint32_t le16(const std::uint8_t* p) { return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8; }
std::uint32_t le32(const std::uint8_t* p) { return le16(p) | le16(p + 2) << 16; }

// Sequential reads that refuse to step past the end.
class Reader {
public:
    Reader(Bytes8 bytes, std::size_t pos) : b_(bytes), pos_(pos) {}

    bool take(std::size_t n, Bytes8& out)
    {
        if (n > b_.size() - pos_)
            return false;
        out = b_.subspan(pos_, n);
        pos_ += n;
        return true;
    }
    bool u16(std::uint32_t& v)
    {
        Bytes8 b;
        if (!take(2, b))
            return false;
        v = le16(b.data());
        return true;
    }
    bool peek32(std::uint32_t& v) const
    {
        if (b_.size() - pos_ < 4)
            return false;
        v = le32(b_.data() + pos_);
        return true;
    }

private:
    Bytes8 b_;
    std::size_t pos_;
};

// A NUL ends every string: past it a path would mean something else to the kernel.
Bytes8 upToNul(Bytes8 b, std::size_t unit)
{
    for (std::size_t i = 0; i + unit <= b.size(); i += unit)
        if (b[i] == 0 && (unit == 1 || b[i + 1] == 0))
            return b.first(i);
    return b.first(b.size() - b.size() % unit);
}

std::string fromUtf16(Bytes8 b)
{
    b = upToNul(b, 2);
    std::string out;
    for (std::size_t i = 0; i < b.size(); i += 2) {
        char32_t c = le16(&b[i]);
        if (c >= 0xD800 && c < 0xDC00 && i + 4 <= b.size()) {
            const char32_t low = le16(&b[i + 2]);
            if (low >= 0xDC00 && low < 0xE000) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            }
        }
        appendUtf8(out, c >= 0xD800 && c < 0xE000 ? char32_t(0xFFFD) : c);
    }
    return out;
}

std::string fromAnsi(Bytes8 b)
{
    b = upToNul(b, 1);
    if (std::all_of(b.begin(), b.end(), [](std::uint8_t c) { return c < 0x80; }))
        return std::string(b.begin(), b.end());
    if (auto s = cp932ToUtf8({reinterpret_cast<const char*>(b.data()), b.size()}))
        return *s;
    std::string out;
    for (std::uint8_t c : b)
        appendUtf8(out, c);
    return out;
}

// The NUL-terminated string at offset inside block; nullopt when it is not inside.
std::optional<std::string> stringAt(Bytes8 block, std::uint32_t offset, bool wide)
{
    if (offset >= block.size())
        return std::nullopt;
    const std::size_t unit = wide ? 2 : 1;
    const Bytes8 rest = block.subspan(offset);
    const Bytes8 s = upToNul(rest, unit);
    if (s.size() + unit > rest.size())
        return std::nullopt;
    return wide ? fromUtf16(s) : fromAnsi(s);
}

bool readLinkInfo(Bytes8 block, ShellLinkInfo& out)
{
    const std::uint32_t headerSize = le32(&block[4]);
    if (headerSize < kLinkInfoMinHeader || headerSize > block.size())
        return false;
    const std::uint32_t flags = le32(&block[8]);
    const bool hasWide = headerSize >= kLinkInfoWideHeader;

    auto pick = [&](std::uint32_t ansiOffset, std::size_t wideField, std::string& field) {
        auto s = stringAt(block, ansiOffset, false);
        if (!s)
            return false;
        // The 8-bit copy has '?' for whatever the creating machine's code page lacked.
        if (hasWide && le32(&block[wideField]) != 0) {
            s = stringAt(block, le32(&block[wideField]), true);
            if (!s)
                return false;
        }
        field = std::move(*s);
        return true;
    };
    if ((flags & kVolumeIdAndLocalBasePath) && !pick(le32(&block[16]), 28, out.localBasePath))
        return false;
    return pick(le32(&block[24]), 32, out.commonPathSuffix);
}

std::string withSlashes(std::string s)
{
    std::replace(s.begin(), s.end(), '\\', '/');
    return s;
}

bool isDrivePath(const std::string& p)
{
    const char c = char(p.empty() ? 0 : p[0] | 0x20);
    return p.size() >= 2 && c >= 'a' && c <= 'z' && p[1] == ':' && (p.size() == 2 || p[2] == '/');
}

// Where a Windows path may be found here. Slashes must already be forward.
void addLocal(std::vector<std::string>& out, const std::string& p, const std::string& winePrefix)
{
    if (p.starts_with("//"))  // a network share has no local name
        return;
    if (p.starts_with('/')) {
        out.push_back(p);
    } else if (isDrivePath(p)) {
        const std::string rest = p.substr(2);
        if (!winePrefix.empty())
            out.push_back(winePrefix + "/dosdevices/" + char(p[0] | 0x20) + ":" + rest);
        out.push_back(rest.empty() ? "/" : rest);
    }
}

std::string winePrefix()
{
    if (const char* p = std::getenv("WINEPREFIX"); p && *p)
        return p;
    if (const char* home = std::getenv("HOME"); home && *home)
        return std::string(home) + "/.wine";
    return {};
}

// Folds the cased letters a Windows user's file names are likely to hold: Latin, Greek,
// Cyrillic and full-width Latin.
char32_t foldChar(char32_t c)
{
    const bool evenUpper = (c >= 0x100 && c <= 0x137 && c != 0x130) || (c >= 0x14A && c <= 0x177);
    const bool oddUpper = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
    if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7) || (c >= 0x391 && c <= 0x3AB && c != 0x3A2) ||
        (c >= 0x410 && c <= 0x42F) || (c >= 0xFF21 && c <= 0xFF3A))
        return c + 0x20;
    if (c >= 0x400 && c <= 0x40F)
        return c + 0x50;
    if (c == 0x178)
        return 0xFF;
    if ((evenUpper && c % 2 == 0) || (oddUpper && c % 2 == 1))
        return c + 1;
    return c;
}

// Code points folded to one case; a byte that is not proper UTF-8 stands for itself.
std::u32string foldCase(std::string_view s)
{
    static constexpr char32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
    std::u32string out;
    for (std::size_t i = 0; i < s.size();) {
        const auto b = std::uint8_t(s[i]);
        const std::size_t len = b < 0x80 ? 1 : b >> 5 == 6 ? 2 : b >> 4 == 14 ? 3 : b >> 3 == 30 ? 4 : 0;
        char32_t c = len == 1 ? b : b & (0xFF >> (len + 1));
        bool ok = len > 0 && len <= s.size() - i;
        for (std::size_t k = 1; ok && k < len; ++k) {
            const auto t = std::uint8_t(s[i + k]);
            ok = (t & 0xC0) == 0x80;
            c = c << 6 | (t & 0x3F);
        }
        if (ok && len > 1 && (c < kMin[len] || c > 0x10FFFF))
            ok = false;
        out += ok ? foldChar(c) : char32_t(0x110000 + b);
        i += ok ? len : 1;
    }
    return out;
}

// The one entry of dir whose name equals name but for letter case. Two such entries leave
// it open which was meant, so neither is taken.
std::optional<std::string> findIgnoringCase(const std::string& dir, const std::string& name)
{
    const std::unique_ptr<DIR, int (*)(DIR*)> d(::opendir(dir.c_str()), ::closedir);
    if (!d)
        return std::nullopt;
    const std::u32string key = foldCase(name);
    std::optional<std::string> found;
    while (const dirent* e = ::readdir(d.get())) {
        const std::string_view entry = e->d_name;
        if (entry == "." || entry == ".." || foldCase(entry) != key)
            continue;
        if (found)
            return std::nullopt;
        found = std::string(entry);
    }
    return found;
}

// Pushes path's components so that the first comes off the back first.
void pushComponents(std::vector<std::string>& todo, const std::string& path)
{
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = std::min(path.find('/', start), path.size());
        std::string part = path.substr(start, end - start);
        if (!part.empty() && part != ".")
            parts.push_back(std::move(part));
        start = end + 1;
    }
    todo.insert(todo.end(), parts.rbegin(), parts.rend());
}

bool isSymlink(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

}  // namespace

std::optional<ShellLinkInfo> parseShellLink(std::span<const std::uint8_t> bytes)
{
    if (bytes.size() < kHeaderSize || le32(bytes.data()) != kHeaderSize ||
        !std::equal(kLinkClsid.begin(), kLinkClsid.end(), bytes.begin() + 4))
        return std::nullopt;
    const std::uint32_t flags = le32(&bytes[20]);
    ShellLinkInfo info;
    info.isUnicode = flags & IsUnicode;
    Reader r(bytes, kHeaderSize);
    Bytes8 block;

    if (flags & HasIdList) {
        std::uint32_t size = 0;
        if (!r.u16(size) || !r.take(size, block))
            return std::nullopt;
    }
    if (flags & HasLinkInfo) {
        std::uint32_t size = 0;
        if (!r.peek32(size) || size < kLinkInfoMinHeader || !r.take(size, block))
            return std::nullopt;
        ShellLinkInfo fromBlock;
        if (!readLinkInfo(block, fromBlock))
            return std::nullopt;
        if (!(flags & ForceNoLinkInfo)) {
            info.localBasePath = std::move(fromBlock.localBasePath);
            info.commonPathSuffix = std::move(fromBlock.commonPathSuffix);
        }
    }
    const std::pair<LinkFlag, std::string*> strings[] = {
        {HasName, &info.name},           {HasRelativePath, &info.relativePath}, {HasWorkingDir, &info.workingDir},
        {HasArguments, &info.arguments}, {HasIconLocation, &info.iconLocation},
    };
    for (const auto& [flag, field] : strings) {
        if (!(flags & flag))
            continue;
        std::uint32_t count = 0;
        if (!r.u16(count) || !r.take(info.isUnicode ? count * 2 : count, block))
            return std::nullopt;
        *field = info.isUnicode ? fromUtf16(block) : fromAnsi(block);
    }
    return info;
}

std::vector<std::string> shortcutCandidates(const ShellLinkInfo& link, const std::string& lnkFolder,
                                            const std::string& winePrefix)
{
    std::vector<std::string> out;
    // First beside the shortcut: pictures are often moved or copied together with it.
    if (!link.relativePath.empty()) {
        const std::string rel = withSlashes(link.relativePath);
        if (rel.starts_with('/') || isDrivePath(rel))
            addLocal(out, rel, winePrefix);
        else
            out.push_back((lnkFolder.empty() ? std::string(".") : lnkFolder) + "/" + rel);
    }

    std::string target = withSlashes(link.localBasePath);
    if (!link.commonPathSuffix.empty()) {
        if (!target.empty() && target.back() != '/')
            target += '/';
        target += withSlashes(link.commonPathSuffix);
    }
    addLocal(out, target, winePrefix);

    const std::string named = target.empty() ? withSlashes(link.relativePath) : target;
    const std::string fileName = named.substr(named.rfind('/') + 1);
    if (!link.workingDir.empty() && !fileName.empty() && fileName != "." && fileName != "..")
        addLocal(out, withSlashes(link.workingDir) + "/" + fileName, winePrefix);
    return out;
}

std::string resolveShortcut(const std::string& lnkPath)
{
    const std::string real = expandToLongPath(lnkPath);
    if (real.empty())
        return {};
    const bool followed = isSymlink(lnkPath);
    std::optional<ShellLinkInfo> link;
    if (auto bytes = readFileBytes(real, kMaxShortcutBytes))
        link = parseShellLink(bytes.value());
    if (!link)
        return followed ? real : std::string();

    // A symbolic link to a real shortcut: its relative path counts from where the shortcut is.
    const std::string folder = real.substr(0, std::max<std::size_t>(real.rfind('/'), 1));
    for (const std::string& candidate : shortcutCandidates(*link, folder, winePrefix()))
        if (std::string found = expandToLongPath(candidate); !found.empty())
            return found;
    return {};
}

std::string expandToLongPath(const std::string& path)
{
    if (path.empty() || path.find('\0') != std::string::npos)
        return {};
    std::string resolved;  // "" is the root
    if (path[0] != '/') {
        const std::unique_ptr<char, void (*)(void*)> cwd(::getcwd(nullptr, 0), std::free);
        if (!cwd)
            return {};
        resolved = cwd.get();
        if (resolved == "/")
            resolved.clear();
    }
    std::vector<std::string> todo;
    pushComponents(todo, path);
    bool isDir = true;
    int links = 0;
    while (!todo.empty()) {
        const std::string name = std::move(todo.back());
        todo.pop_back();
        if (!isDir)
            return {};
        if (name == "..") {
            resolved.erase(std::min(resolved.rfind('/'), resolved.size()));
            continue;
        }
        std::string candidate = resolved + "/" + name;
        struct stat st {};
        if (::lstat(candidate.c_str(), &st) != 0) {
            if (errno != ENOENT)
                return {};
            const auto stored = findIgnoringCase(resolved.empty() ? "/" : resolved, name);
            if (!stored)
                return {};
            candidate = resolved + "/" + *stored;
            if (::lstat(candidate.c_str(), &st) != 0)
                return {};
        }
        if (S_ISLNK(st.st_mode)) {
            std::error_code ec;
            const std::string target = std::filesystem::read_symlink(candidate, ec).string();
            if (ec || target.empty() || ++links > kMaxSymlinks)
                return {};
            if (target[0] == '/')
                resolved.clear();
            pushComponents(todo, target);
            continue;
        }
        resolved = std::move(candidate);
        isDir = S_ISDIR(st.st_mode);
    }
    if (path.back() == '/' && !isDir)
        return {};
    return resolved.empty() ? "/" : resolved;
}

}  // namespace trimlet
