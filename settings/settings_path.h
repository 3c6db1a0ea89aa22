#pragma once
// Where the settings file and the temporary JPEG live: in the user's XDG folders for an
// installed trimlet; beside the executable when it runs from a writable folder of its own
// (portable use); in the XDG folders otherwise. Without Qt, so that trimlet-cli finds the
// window's settings file by the same rule.

#include <string>

namespace trimlet {

// The running executable's absolute path; empty when the system does not tell it.
std::string executablePath();

// The user's home folder: $HOME, else the password database's entry.
std::string homeFolder();

// True when the executable sits in an installed layout: its folder has a sibling
// share/trimlet folder, which the install puts there (/usr/bin/trimlet, /usr/share/trimlet).
bool isInstalledLayout(const std::string& executable);

// True when the executable keeps its settings and temporary JPEG beside itself: it is not
// installed and its folder is writable.
bool runsPortably(const std::string& executable);

// For an installed or unknown executable, or one whose folder is not writable,
// $XDG_CONFIG_HOME/trimlet/trimlet.ini (default ~/.config/trimlet/), its folder created on
// demand; otherwise the executable's path with its extension replaced by ".ini".
std::string settingsFilePath();
std::string settingsFilePath(const std::string& executable);
// The same path, its folder left as it is: for a reader, which must not make folders.
std::string settingsFileOf(const std::string& executable);

// As settingsFilePath, but ".jpg" in $XDG_CACHE_HOME/trimlet/ (default ~/.cache/trimlet/),
// named after the executable so that renamed copies never share one temporary file.
std::string tempJpegPath();
std::string tempJpegPath(const std::string& executable);

}  // namespace trimlet
