#pragma once
// Where the settings file and the temporary JPEG live: beside the executable when its folder
// is writable (portable use), otherwise in the user's XDG folders.

#include <string>

namespace trimlet {

// The running executable's absolute path.
std::string executablePath();

// The executable's path with its extension replaced by ".ini", or
// $XDG_CONFIG_HOME/trimlet/trimlet.ini (default ~/.config/trimlet/) when the executable's
// folder is not writable.
std::string settingsFilePath();

// "postlet.ini" in the folder of the settings file.
std::string siblingSettingsPath(const std::string& settingsPath);

// The executable's path with its extension replaced by ".jpg", or the same file name in
// $XDG_CACHE_HOME/trimlet/ (default ~/.cache/trimlet/) when the executable's folder is not
// writable.
std::string tempJpegPath();

}  // namespace trimlet
