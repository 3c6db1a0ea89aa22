// Where trimlet keeps its settings and temporary JPEG, for an installed, a portable and an
// unknown executable.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/paths.h"
#include "tests/support/test_support.h"

namespace trimlet {
namespace {

namespace fs = std::filesystem;

// Sets an environment variable for the life of the object and puts the old value back.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name)
    {
        if (const char* old = std::getenv(name))
            old_ = old;
        value ? ::setenv(name, value, 1) : ::unsetenv(name);
    }
    ~ScopedEnv() { old_ ? ::setenv(name_, old_->c_str(), 1) : ::unsetenv(name_); }

private:
    const char* name_;
    std::optional<std::string> old_;
};

unsigned modeOf(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777u : 0u;
}

class PathsTest : public ::testing::Test {
protected:
    // A prefix with bin/ (the executables, writable as for root in /usr/bin) and the user's
    // XDG folders, none of which exists yet.
    PathsTest()
        : config_(dir_.file("home/config")), cache_(dir_.file("home/cache")),
          configEnv_("XDG_CONFIG_HOME", config_.c_str()), cacheEnv_("XDG_CACHE_HOME", cache_.c_str()),
          homeEnv_("HOME", dir_.file("home").c_str())
    {
        fs::create_directories(dir_.file("prefix/bin"));
    }

    std::string exe(const std::string& name = "trimlet") const { return dir_.file("prefix/bin/" + name); }
    void markInstalled() const { fs::create_directories(dir_.file("prefix/share/trimlet")); }

    test::TempDir dir_;
    std::string config_, cache_;
    ScopedEnv configEnv_, cacheEnv_, homeEnv_;
};

TEST_F(PathsTest, PortableCopyKeepsItsFilesBesideItselfNamedAfterIt)
{
    EXPECT_FALSE(isInstalledLayout(exe("trimlet-copy")));
    EXPECT_EQ(settingsFilePath(exe("trimlet-copy")), exe("trimlet-copy.ini"));
    EXPECT_EQ(tempJpegPath(exe("trimlet-copy")), exe("trimlet-copy.jpg"));
    EXPECT_FALSE(fs::exists(config_));
    EXPECT_FALSE(fs::exists(cache_));
}

TEST_F(PathsTest, InstalledLayoutUsesPrivateXdgFoldersEvenWhenBinIsWritable)
{
    markInstalled();
    ASSERT_EQ(::access(dir_.file("prefix/bin").c_str(), W_OK), 0);
    EXPECT_TRUE(isInstalledLayout(exe()));
    EXPECT_EQ(settingsFilePath(exe()), config_ + "/trimlet/trimlet.ini");
    EXPECT_EQ(tempJpegPath(exe()), cache_ + "/trimlet/trimlet.jpg");
    // Made on demand so the first write succeeds; private, as the XDG rules ask.
    for (const std::string& folder : {config_, config_ + "/trimlet", cache_, cache_ + "/trimlet"}) {
        EXPECT_TRUE(fs::is_directory(folder)) << folder;
        EXPECT_EQ(modeOf(folder), 0700u) << folder;
    }
    EXPECT_TRUE(fs::is_empty(dir_.file("prefix/bin")));
}

TEST_F(PathsTest, InstalledRenamedCopySharesSettingsButNotTheTemporaryFile)
{
    markInstalled();
    EXPECT_EQ(settingsFilePath(exe("trimlet-copy")), config_ + "/trimlet/trimlet.ini");
    EXPECT_EQ(tempJpegPath(exe("trimlet-copy")), cache_ + "/trimlet/trimlet-copy.jpg");
}

TEST_F(PathsTest, ExistingXdgFolderKeepsItsMode)
{
    markInstalled();
    fs::create_directories(config_ + "/trimlet");
    ::chmod((config_ + "/trimlet").c_str(), 0755);
    EXPECT_EQ(settingsFilePath(exe()), config_ + "/trimlet/trimlet.ini");
    EXPECT_EQ(modeOf(config_ + "/trimlet"), 0755u);
}

TEST_F(PathsTest, UnsetOrRelativeXdgVariablesFallBackToHome)
{
    markInstalled();
    ScopedEnv config("XDG_CONFIG_HOME", nullptr);
    ScopedEnv cache("XDG_CACHE_HOME", "relative/cache");
    EXPECT_EQ(settingsFilePath(exe()), dir_.file("home/.config/trimlet/trimlet.ini"));
    EXPECT_EQ(tempJpegPath(exe()), dir_.file("home/.cache/trimlet/trimlet.jpg"));
    EXPECT_TRUE(fs::is_directory(dir_.file("home/.cache/trimlet")));
    EXPECT_FALSE(fs::exists("relative"));
}

TEST_F(PathsTest, OnlyAShareTrimletFolderMarksAnInstall)
{
    // The menu entry alone, or a file named like the marker, leaves a copy portable.
    fs::create_directories(dir_.file("prefix/share/applications"));
    test::writeBytes(dir_.file("prefix/share/applications/trimlet.desktop"), {'x'});
    test::writeBytes(dir_.file("prefix/share/trimlet"), {'x'});
    EXPECT_FALSE(isInstalledLayout(exe()));
    EXPECT_EQ(settingsFilePath(exe()), exe("trimlet.ini"));
}

TEST_F(PathsTest, UnknownExecutableNeverWritesIntoTheWorkingFolder)
{
    // Without /proc the path is empty; a bare ".ini" in the working folder is no place for
    // settings.
    EXPECT_FALSE(isInstalledLayout(""));
    EXPECT_EQ(settingsFilePath(""), config_ + "/trimlet/trimlet.ini");
    EXPECT_EQ(tempJpegPath(""), cache_ + "/trimlet/trimlet.jpg");
}

TEST_F(PathsTest, PortableCopyInAReadOnlyFolderUsesXdgFolders)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root writes every folder";
    ::chmod(dir_.file("prefix/bin").c_str(), 0555);
    EXPECT_EQ(settingsFilePath(exe()), config_ + "/trimlet/trimlet.ini");
    EXPECT_EQ(tempJpegPath(exe()), cache_ + "/trimlet/trimlet.jpg");
    ::chmod(dir_.file("prefix/bin").c_str(), 0755);
}

// The open dialog's first folder: never the program's own folder for an installed copy.
TEST_F(PathsTest, InstalledCopyStartsAmongTheUsersPictures)
{
    EXPECT_TRUE(runsPortably(exe()));
    EXPECT_EQ(defaultPictureFolder(exe()), dir_.file("prefix/bin"));

    markInstalled();
    EXPECT_FALSE(runsPortably(exe()));
    EXPECT_EQ(defaultPictureFolder(exe()), dir_.file("home"));  // no Pictures folder yet
    fs::create_directories(dir_.file("home/Pictures"));
    EXPECT_EQ(defaultPictureFolder(exe()), dir_.file("home/Pictures"));

    // The user's own name for it, as xdg-user-dirs keeps it.
    fs::create_directories(config_);
    const std::string dirs = "XDG_PICTURES_DIR=\"$HOME/Bilder\"\n";
    test::writeBytes(config_ + "/user-dirs.dirs", {dirs.begin(), dirs.end()});
    EXPECT_EQ(defaultPictureFolder(exe()), dir_.file("home"));  // named but missing
    fs::create_directories(dir_.file("home/Bilder"));
    EXPECT_EQ(defaultPictureFolder(exe()), dir_.file("home/Bilder"));
}

TEST(Paths, RunningExecutableIsThisTestProgram)
{
    const std::string self = executablePath();
    EXPECT_TRUE(fs::path(self).is_absolute());
    EXPECT_EQ(fs::path(self).filename(), "paths_tests");
    EXPECT_FALSE(isInstalledLayout(self));
}

}  // namespace
}  // namespace trimlet
