#include "platform/paths.h"

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace trimlet {

namespace {

std::string withExtension(const std::string& path, const char* ext)
{
    return std::filesystem::path(path).replace_extension(ext).string();
}

bool folderWritable(const std::string& file)
{
    const std::string folder = std::filesystem::path(file).parent_path().string();
    return ::access(folder.empty() ? "." : folder.c_str(), W_OK) == 0;
}

std::string xdgFolder(const char* variable, const char* fallback)
{
    const char* set = std::getenv(variable);
    if (set && *set == '/')
        return std::string(set) + "/trimlet";
    const char* home = std::getenv("HOME");
    return std::string(home ? home : "") + "/" + fallback + "/trimlet";
}

// The executable's path with ext when its folder is writable (portable use), else a file in the
// user's XDG folder, created on demand: `name` + ext, or with no name the executable's own
// (so that two renamed copies running side by side never share one temporary file).
std::string besideExecutable(const char* ext, const char* xdgVariable, const char* xdgFallback,
                             const char* name = nullptr)
{
    const std::string beside = withExtension(executablePath(), ext);
    if (folderWritable(beside))
        return beside;
    const std::string folder = xdgFolder(xdgVariable, xdgFallback);
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    const std::string stem = name ? name : std::filesystem::path(beside).stem().string();
    return folder + "/" + stem + ext;
}

}  // namespace

std::string executablePath()
{
    char buffer[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    return n > 0 ? std::string(buffer, std::size_t(n)) : std::string();
}

std::string settingsFilePath() { return besideExecutable(".ini", "XDG_CONFIG_HOME", ".config", "trimlet"); }

std::string siblingSettingsPath(const std::string& settingsPath)
{
    return (std::filesystem::path(settingsPath).parent_path() / "postlet.ini").string();
}

std::string tempJpegPath() { return besideExecutable(".jpg", "XDG_CACHE_HOME", ".cache"); }

}  // namespace trimlet
