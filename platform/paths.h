#pragma once
// Where the settings file and the temporary JPEG live (settings/settings_path.h, shared with
// trimlet-cli), and where the open dialog starts.

#include <string>

#include "settings/settings_path.h"

namespace trimlet {

// Where the open dialog starts when no picture has been saved yet: the executable's folder
// for a portable copy, which users keep together with their pictures; otherwise the user's
// Pictures folder, or the home folder when there is none.
std::string defaultPictureFolder(const std::string& executable);

}  // namespace trimlet
