#include "base/trusted_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>

#include "tests/support/test_support.h"

namespace trimlet {
namespace {

namespace fs = std::filesystem;

// Each case makes a file, or the folder it is in, the way someone might have left it; a case
// with a reason must be refused naming it, one without must give the very file.
TEST(TrustedFile, OnlyWhatNobodyElseCanHavePutThereIsOpened)
{
    test::TempDir temp;
    const fs::path dir = temp.path();
    const bool root = ::geteuid() == 0;
    const auto file = [&](const std::string& name, fs::perms mode) {
        const fs::path path = dir / name;
        fs::create_directories(path.parent_path());
        test::writeBytes(path.string(), {'x'});
        fs::permissions(path, mode);
        return path;
    };
    const auto folder = [&](const std::string& name, fs::perms mode) {
        fs::create_directories(dir / name);
        fs::permissions(dir / name, mode);
    };
    const fs::perms rw = fs::perms(0644), rwx = fs::perms(0755);
    struct Case {
        std::string path, reason;
        std::function<void()> make;
        bool asRoot = false;  // owners other than ours need root to make
    };
    const Case cases[] = {
        {"plain/m.so", "", [&] { file("plain/m.so", rw); }},
        {"sticky/m.so", "", [&] { folder("sticky", fs::perms(01777)), file("sticky/m.so", rw); }},
        {"own/m.so", "", [&] { file("own/m.so", fs::perms(0500)); }},
        {"group/m.so", "/group/m.so is writable by others", [&] { file("group/m.so", fs::perms(0664)); }},
        {"other/m.so", "/other/m.so is writable by others", [&] { file("other/m.so", fs::perms(0646)); }},
        {"link/m.so", "/link/m.so is a symbolic link",
         [&] { file("link/real.so", rw), fs::create_symlink("real.so", dir / "link/m.so"); }},
        {"folderlink/m.so", "the folder " + (dir / "folderlink").string() + " is a symbolic link",
         [&] { fs::create_directory_symlink("plain", dir / "folderlink"); }},
        {"shared/m.so", "the folder " + (dir / "shared").string() + " is writable by others",
         [&] { file("shared/m.so", rw), folder("shared", fs::perms(0775)); }},
        {"open/m.so", "the folder " + (dir / "open").string() + " is writable by others",
         [&] { file("open/m.so", rw), folder("open", fs::perms(0777)); }},
        {"dir.so", "/dir.so is not a regular file", [&] { folder("dir.so", rwx); }},
        {"fifo.so", "/fifo.so is not a regular file", [&] { ::mkfifo((dir / "fifo.so").c_str(), 0644); }},
        {"gone/m.so", "/gone/m.so: no such file", [] {}},
        {"theirs/m.so", "/theirs/m.so belongs to another user",
         [&] { ASSERT_EQ(::chown(file("theirs/m.so", rw).c_str(), 61001, 61001), 0); }, true},
        // Their folder in a sticky one, as another user's /tmp/lib above a program in /tmp.
        {"sticky/lib/m.so", "the folder " + (dir / "sticky/lib").string() + " belongs to another user",
         [&] {
             file("sticky/lib/m.so", rw);
             ASSERT_EQ(::chown((dir / "sticky/lib").c_str(), 61001, 61001), 0);
         },
         true},
    };
    for (const Case& c : cases) {
        if (c.asRoot && !root)
            continue;
        c.make();
        const std::string path = (dir / c.path).string();
        const auto opened = openTrustedFile(path);
        if (c.reason.empty()) {
            ASSERT_TRUE(opened) << path << ": " << opened.error().message;
            struct stat got {
            }, want{};
            EXPECT_EQ(::fstat(opened.value(), &got), 0);
            EXPECT_EQ(::stat(path.c_str(), &want), 0);
            EXPECT_EQ(got.st_ino, want.st_ino) << path;
            EXPECT_TRUE(::fcntl(opened.value(), F_GETFD) & FD_CLOEXEC) << path;
            ::close(opened.value());
        } else {
            ASSERT_FALSE(opened) << path;
            EXPECT_EQ(opened.error().message.rfind(path, 0), 0u) << opened.error().message;
            EXPECT_NE(opened.error().message.find(c.reason), std::string::npos)
                << path << ": " << opened.error().message;
        }
    }
}

}  // namespace
}  // namespace trimlet
