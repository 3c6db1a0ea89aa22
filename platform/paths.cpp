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

}  // namespace

std::string executablePath()
{
    char buffer[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    return n > 0 ? std::string(buffer, std::size_t(n)) : std::string();
}

std::string settingsFilePath()
{
    const std::string beside = withExtension(executablePath(), ".ini");
    if (folderWritable(beside))
        return beside;
    const std::string folder = xdgFolder("XDG_CONFIG_HOME", ".config");
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    return folder + "/trimlet.ini";
}

std::string siblingSettingsPath(const std::string& settingsPath)
{
    return (std::filesystem::path(settingsPath).parent_path() / "postlet.ini").string();
}

std::string tempJpegPath()
{
    const std::string beside = withExtension(executablePath(), ".jpg");
    if (folderWritable(beside))
        return beside;
    const std::string folder = xdgFolder("XDG_CACHE_HOME", ".cache");
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    return folder + "/" + std::filesystem::path(beside).filename().string();
}

}  // namespace trimlet
