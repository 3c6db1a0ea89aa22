#include "settings/settings_path.h"

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace trimlet {

namespace {

namespace fs = std::filesystem;

bool folderWritable(const fs::path& file)
{
    const fs::path folder = file.parent_path();
    return ::access(folder.empty() ? "." : folder.c_str(), W_OK) == 0;
}

// A relative value is ignored, as the XDG base directory rules require.
fs::path xdgFolder(const char* variable, const char* fallback)
{
    const char* set = std::getenv(variable);
    const fs::path base = set && *set == '/' ? fs::path(set) : fs::path(homeFolder()) / fallback;
    return base / "trimlet";
}

// Missing folders are made private (0700), as the XDG base directory rules ask; one that
// cannot be made shows up later as a refused write.
void makeFolders(const fs::path& folder)
{
    fs::path partial;
    for (const fs::path& part : folder) {
        partial /= part;
        ::mkdir(partial.c_str(), 0700);
    }
}

// The executable's path with ext when it runs portably, else a file in the user's XDG
// folder: `name` + ext, or with no name the executable's own stem.
std::string fileFor(const std::string& executable, const char* ext, const char* xdgVariable, const char* xdgFallback,
                    const char* name, bool makeFolder)
{
    const fs::path beside = fs::path(executable).replace_extension(ext);
    if (runsPortably(executable))
        return beside.string();
    const fs::path folder = xdgFolder(xdgVariable, xdgFallback);
    if (makeFolder)
        makeFolders(folder);
    const std::string stem = name ? name : executable.empty() ? "trimlet" : beside.stem().string();
    return (folder / (stem + ext)).string();
}

}  // namespace

std::string executablePath()
{
    char buffer[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    return n > 0 ? std::string(buffer, std::size_t(n)) : std::string();
}

std::string homeFolder()
{
    const char* home = std::getenv("HOME");
    if (home && *home)
        return home;
    const passwd* entry = ::getpwuid(::getuid());
    return entry && entry->pw_dir ? entry->pw_dir : "";
}

// A folder of our own marks the install rather than the menu entry, which users delete to
// hide a program; without the marker, root (who can write /usr/bin) would get its settings
// written next to the system's programs.
bool isInstalledLayout(const std::string& executable)
{
    std::error_code ec;
    const fs::path bin = fs::path(executable).parent_path();
    return !bin.empty() && fs::is_directory(bin / ".." / "share" / "trimlet", ec);
}

bool runsPortably(const std::string& executable)
{
    return !executable.empty() && !isInstalledLayout(executable) && folderWritable(executable);
}

std::string settingsFilePath() { return settingsFilePath(executablePath()); }

std::string settingsFilePath(const std::string& executable)
{
    return fileFor(executable, ".ini", "XDG_CONFIG_HOME", ".config", "trimlet", true);
}

std::string settingsFileOf(const std::string& executable)
{
    return fileFor(executable, ".ini", "XDG_CONFIG_HOME", ".config", "trimlet", false);
}

std::string tempJpegPath() { return tempJpegPath(executablePath()); }

std::string tempJpegPath(const std::string& executable)
{
    return fileFor(executable, ".jpg", "XDG_CACHE_HOME", ".cache", nullptr, true);
}

}  // namespace trimlet
