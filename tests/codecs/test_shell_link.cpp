// Shortcuts composed here byte by byte and resolved against files in a temporary folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "codecs/picture_file.h"
#include "codecs/shell_link.h"
#include "tests/support/test_support.h"

// Designated initializers leave the other fields of a test shortcut at their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace fs = std::filesystem;
using trimlet::expandToLongPath;
using trimlet::parseShellLink;
using trimlet::resolveShortcut;
using trimlet::test::TempDir;
using trimlet::test::writeBytes;

namespace {

// Strings are UTF-16; "@" stands for the test folder as a drive path ("Z:\tmp\..."), which
// Wine's Z: drive or, without Wine, the root maps back. In 8-bit form a char16_t below 0x100
// is that byte (so Shift_JIS is written byte by byte) and anything else '?', as Windows does.
struct Lnk {
    bool unicode = true;
    bool wideInfo = false;  // the LinkInfo also holds UTF-16 copies
    bool idList = false;
    std::optional<std::u16string> base;  // the LinkInfo is written when set
    std::u16string suffix;
    std::optional<std::u16string> name, relative, workingDir, arguments, icon;
};

std::string encode(std::u16string s, const std::string& dir, bool wide)
{
    if (const auto at = s.find(u'@'); at != s.npos) {
        std::u16string local(dir.begin(), dir.end());
        std::replace(local.begin(), local.end(), u'/', u'\\');
        s.replace(at, 1, u"Z:" + local);
    }
    std::string out;
    for (char16_t c : s) {
        out += wide ? char(c & 0xFF) : c < 0x100 ? char(c) : '?';
        if (wide)
            out += char(c >> 8);
    }
    return out;
}

void put(std::string& b, std::size_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        b += char(v >> (8 * i) & 0xFF);
}

std::vector<std::uint8_t> compose(const Lnk& l, const std::string& dir)
{
    const std::optional<std::u16string>* strings[] = {&l.name, &l.relative, &l.workingDir, &l.arguments, &l.icon};
    std::size_t flags = (l.idList ? 0x1 : 0) | (l.base ? 0x2 : 0) | (l.unicode ? 0x80 : 0);
    for (int i = 0; i < 5; ++i)
        flags |= *strings[i] ? 0x4 << i : 0;
    std::string b("\x4C\0\0\0\x01\x14\x02\0\0\0\0\0\xC0\0\0\0\0\0\0\x46", 20);
    put(b, flags, 4);
    b.resize(0x4C, '\0');
    if (l.idList)
        b += std::string("\x14\0\x12\0\x1F\x50\xE0\x4F\xD0\x20\xEA\x3A\x69\x10\xA2\xD8\x08\0\x2B\x30\0\0", 22);
    if (l.base) {
        const std::size_t header = l.wideInfo ? 0x24 : 0x1C;
        std::string tail("\x11\0\0\0\x03\0\0\0\x78\x56\x34\x12\x10\0\0\0\0", 17);  // fixed drive, no label
        std::size_t at[4] = {};
        const std::u16string* parts[] = {&*l.base, &l.suffix, &*l.base, &l.suffix};
        for (int i = 0; i < (l.wideInfo ? 4 : 2); ++i) {
            at[i] = header + tail.size();
            tail += encode(*parts[i], dir, i >= 2) + std::string(i >= 2 ? 2 : 1, '\0');
        }
        for (std::size_t v : {header + tail.size(), header, std::size_t{1}, header, at[0], std::size_t{0}, at[1]})
            put(b, v, 4);
        if (l.wideInfo) {
            put(b, at[2], 4);
            put(b, at[3], 4);
        }
        b += tail;
    }
    for (const auto* s : strings)
        if (*s) {
            const std::string e = encode(**s, dir, l.unicode);
            put(b, l.unicode ? e.size() / 2 : e.size(), 2);
            b += e;
        }
    return {b.begin(), b.end()};
}

// With TRIMLET_LNK_SEED_DIR set, the composed shortcuts become the fuzz target's corpus.
void keepAsSeed(const std::string& name, const std::vector<std::uint8_t>& bytes)
{
    if (const char* seeds = std::getenv("TRIMLET_LNK_SEED_DIR"))
        writeBytes(std::string(seeds) + "/" + fs::path(name).filename().string(), bytes);
}

// Files ("x/y.jpg") or folders ("x/") under dir.
void makeTree(const std::string& dir, const std::vector<std::string>& entries)
{
    for (const std::string& e : entries) {
        const fs::path p = fs::path(dir) / e;
        fs::create_directories(e.back() == '/' ? p : p.parent_path());
        if (e.back() != '/')
            writeBytes(p.string(), {0xFF, 0xD8});
    }
}

std::string canonicalIn(const std::string& dir, const std::string& rel)
{
    return rel.empty() ? std::string() : fs::canonical(fs::path(dir) / rel).string();
}

const Lnk kFull = {.wideInfo = true,
                   .idList = true,
                   .base = u"@\\pics",
                   .suffix = u"a.jpg",
                   .name = u"a picture",
                   .relative = u".\\pics\\a.jpg",
                   .workingDir = u"@",
                   .arguments = u"/x",
                   .icon = u"C:\\icon.ico"};

TEST(ShellLink, ResolvesEachWayOfNamingTheTarget)
{
    struct Case {
        const char* lnkName;
        std::vector<std::string> files;
        Lnk link;
        std::string expected;  // under the folder; empty when nothing can be found
    };
    const Case cases[] = {
        {"8bit.lnk", {"pics/a.jpg"}, {.base = u"@\\pics\\a.jpg"}, "pics/a.jpg"},
        {"suffix.LNK", {"pics/a.jpg"}, {.base = u"@\\pics", .suffix = u"a.jpg"}, "pics/a.jpg"},
        {"wideInfo.Lnk", {"写真/a.jpg"}, {.wideInfo = true, .base = u"@\\写真\\a.jpg"}, "写真/a.jpg"},
        {"sjisBase.lnk", {"表/ソ.jpg"}, {.base = u"@\\\x95\x5C\\\x83\x5C.jpg"}, "表/ソ.jpg"},  // 0x5C second bytes
        {"wideRelative.lnk", {"写真/b.jpg"}, {.relative = u".\\写真\\b.jpg"}, "写真/b.jpg"},
        {"sjisRelative.lnk",
         {"写真/b.jpg"},
         {.unicode = false, .relative = u".\\\x8E\xCA\x90\x5E\\b.jpg"},
         "写真/b.jpg"},
        {"sub/upwards.lnk", {"pics/a.jpg"}, {.relative = u"..\\pics\\a.jpg"}, "pics/a.jpg"},
        {"relativeFirst.lnk",
         {"near/a.jpg", "far/a.jpg"},
         {.base = u"@\\far\\a.jpg", .relative = u"near\\a.jpg"},
         "near/a.jpg"},
        {"relativeGone.lnk", {"far/a.jpg"}, {.base = u"@\\far\\a.jpg", .relative = u"near\\a.jpg"}, "far/a.jpg"},
        {"workingDir.lnk", {"moved/a.jpg"}, {.base = u"C:\\old\\a.jpg", .workingDir = u"@\\moved"}, "moved/a.jpg"},
        {"wine.lnk", {"wine/drive_c/Photos/a.jpg"}, {.base = u"C:\\Photos\\a.jpg"}, "wine/drive_c/Photos/a.jpg"},
        {"case.lnk", {"pics/a.jpg"}, {.base = u"@\\PICS\\A.JPG"}, "pics/a.jpg"},
        {"full.lnk", {"pics/a.jpg"}, kFull, "pics/a.jpg"},
        {"folder.lnk", {"pics/"}, {.base = u"@\\pics"}, "pics"},
        {"missing.lnk", {"pics/"}, {.base = u"@\\pics\\none.jpg"}, ""},
        {"share.lnk", {"a.jpg"}, {.base = u"\\\\server\\share\\a.jpg"}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lnkName);
        TempDir dir;
        makeTree(dir.path(), c.files);
        fs::create_directories(dir.file("wine/dosdevices"));
        fs::create_symlink("../drive_c", dir.file("wine/dosdevices/c:"));
        ::setenv("WINEPREFIX", dir.file("wine").c_str(), 1);
        fs::create_directories(fs::path(dir.file(c.lnkName)).parent_path());
        const auto bytes = compose(c.link, dir.path());
        keepAsSeed(c.lnkName, bytes);
        writeBytes(dir.file(c.lnkName), bytes);
        EXPECT_EQ(resolveShortcut(dir.file(c.lnkName)), canonicalIn(dir.path(), c.expected));
        ::unsetenv("WINEPREFIX");
    }
}

TEST(ShellLink, ParsesEveryStringInOrder)
{
    const auto link = parseShellLink(compose(kFull, "/p"));
    ASSERT_TRUE(link);
    EXPECT_TRUE(link->isUnicode);
    const std::vector<std::string> got = {link->localBasePath, link->commonPathSuffix, link->name,
                                          link->relativePath,  link->workingDir,       link->arguments,
                                          link->iconLocation};
    EXPECT_EQ(got, (std::vector<std::string>{"Z:\\p\\pics", "a.jpg", "a picture", ".\\pics\\a.jpg", "Z:\\p", "/x",
                                             "C:\\icon.ico"}));
}

TEST(ShellLink, SymbolicLinksAreFollowed)
{
    TempDir dir;
    makeTree(dir.path(), {"pics/a.jpg", "elsewhere/pics/a.jpg"});
    writeBytes(dir.file("elsewhere/real.lnk"), compose({.relative = u"pics\\a.jpg"}, ""));
    fs::create_symlink("pics/a.jpg", dir.file("x.lnk"));
    fs::create_symlink("nowhere.jpg", dir.file("dangling.lnk"));
    fs::create_symlink("elsewhere/real.lnk", dir.file("toShortcut.lnk"));

    EXPECT_EQ(resolveShortcut(dir.file("x.lnk")), canonicalIn(dir.path(), "pics/a.jpg"));
    EXPECT_EQ(resolveShortcut(dir.file("dangling.lnk")), "");
    // A link to a real shortcut: its relative path counts from where the shortcut lies.
    EXPECT_EQ(resolveShortcut(dir.file("toShortcut.lnk")), canonicalIn(dir.path(), "elsewhere/pics/a.jpg"));
}

// A shortcut that is a FIFO, or leads to one, never waits for a writer: resolving it and then
// loading what it names ends at once (run in a child that an alarm would kill).
TEST(ShellLink, FifosAreNeverWaitedFor)
{
    TempDir dir;
    ASSERT_EQ(::mkfifo(dir.file("pipe.lnk").c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo(dir.file("pipe.jpg").c_str(), 0600), 0);
    fs::create_symlink("pipe.jpg", dir.file("toPipe.lnk"));
    writeBytes(dir.file("real.lnk"), compose({.relative = u"pipe.jpg"}, ""));
    const pid_t child = ::fork();
    if (child == 0) {
        ::alarm(10);
        const bool pipeRefused = resolveShortcut(dir.file("pipe.lnk")).empty();
        bool targetsRefused = true;
        for (const char* name : {"toPipe.lnk", "real.lnk"}) {
            const std::string target = resolveShortcut(dir.file(name));
            targetsRefused = targetsRefused && !target.empty() && !trimlet::loadPictureAsStored(target);
        }
        ::_exit(pipeRefused && targetsRefused ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
}

TEST(ShellLink, EveryTruncationIsRefused)
{
    TempDir dir;
    makeTree(dir.path(), {"pics/a.jpg"});
    const auto full = compose(kFull, dir.path());
    for (std::size_t n = 0; n < full.size(); ++n) {
        SCOPED_TRACE(n);
        const std::vector<std::uint8_t> prefix(full.begin(), full.begin() + std::ptrdiff_t(n));
        ASSERT_FALSE(parseShellLink(prefix));
        writeBytes(dir.file("t.lnk"), prefix);
        ASSERT_EQ(resolveShortcut(dir.file("t.lnk")), "");
    }
    writeBytes(dir.file("t.lnk"), full);
    EXPECT_EQ(resolveShortcut(dir.file("t.lnk")), canonicalIn(dir.path(), "pics/a.jpg"));
}

TEST(ShellLink, RefusesMalformedBytes)
{
    TempDir dir;
    const auto good = compose(kFull, "/p");
    ASSERT_TRUE(parseShellLink(good));
    const std::size_t info = 0x4C + 22;  // after the header and the ID list
    const std::uint32_t size = good[info] | good[info + 1] << 8;
    const std::size_t strings = info + size;
    struct Case {
        const char* label;
        std::size_t at;
        std::uint32_t value;
        int width;
    };
    const Case cases[] = {
        {"header size", 0, 0x4D, 4},
        {"class id", 19, 0x47, 1},
        {"ID list size", 0x4C, 0xFFFF, 2},
        {"LinkInfo size past the end", info, 0xFFFFFFFF, 4},
        {"LinkInfo size below its header", info, 0x10, 4},
        {"LinkInfo size cutting the last UTF-16 terminator", info, size - 2, 4},
        {"LinkInfo header size", info + 4, 0xFFFFFFFF, 4},
        {"base path offset", info + 16, 0xFFFFFFF0, 4},
        {"suffix offset", info + 24, 0x7FFFFFFF, 4},
        {"UTF-16 base offset on the last byte", info + 28, size - 1, 4},
        {"first string's count", strings, 0xFFFF, 2},
    };
    std::vector<std::vector<std::uint8_t>> files = {{}, std::vector<std::uint8_t>(300, 0xA5)};
    for (const Case& c : cases) {
        files.push_back(good);
        for (int i = 0; i < c.width; ++i)
            files.back()[c.at + i] = std::uint8_t(c.value >> (8 * i));
    }
    for (std::size_t i = 0; i < files.size(); ++i) {
        SCOPED_TRACE(i < 2 ? "empty or garbage" : cases[i - 2].label);
        EXPECT_FALSE(parseShellLink(files[i]));
        writeBytes(dir.file("x.lnk"), files[i]);
        EXPECT_EQ(resolveShortcut(dir.file("x.lnk")), "");
    }
    EXPECT_EQ(resolveShortcut(dir.file("missing.lnk")), "");
}

TEST(LongPath, ExpandsLikeRealpathWithStoredCase)
{
    TempDir dir;
    const std::string d = dir.path();
    makeTree(d, {"Pics/Photo.JPG", "real/x.jpg", "real/deep/", "Äpfel/Ärger.jpg", "dup/a.jpg", "dup/A.jpg"});
    const std::pair<const char*, const char*> links[] = {
        {"real", "linked"}, {"real/deep", "deepLink"}, {"nowhere", "dangling"}, {"loop2", "loop1"}, {"loop1", "loop2"}};
    for (const auto& [target, name] : links)
        fs::create_symlink(target, dir.file(name));
    const fs::path oldCwd = fs::current_path();
    fs::current_path(d);
    const std::pair<std::string, std::string> cases[] = {
        {"Pics/Photo.JPG", "Pics/Photo.JPG"},
        {d + "/real/../Pics/./Photo.JPG", "Pics/Photo.JPG"},
        {d + "/linked/x.jpg", "real/x.jpg"},
        {"deepLink/../x.jpg", "real/x.jpg"},  // ".." after a link leaves the link's target
        {"pics/photo.jpg", "Pics/Photo.JPG"},
        {d + "/PICS/PHOTO.jpg", "Pics/Photo.JPG"},
        {"äpfel/ärger.JPG", "Äpfel/Ärger.jpg"},
        {"LINKED/X.JPG", "real/x.jpg"},
        {"Pics/", "Pics"},
        {"dup/A.jpg", "dup/A.jpg"},
        {"dup/a.JPG", ""},  // two names fit: which one was meant is unknown
        {"missing.jpg", ""},
        {"dangling", ""},
        {"loop1", ""},
        {"Pics/Photo.JPG/x", ""},
        {"Pics/Photo.JPG/", ""},
        {"", ""},
    };
    for (const auto& [input, expected] : cases)
        EXPECT_EQ(expandToLongPath(input), canonicalIn(d, expected)) << input;
    fs::current_path(oldCwd);
}

}  // namespace
