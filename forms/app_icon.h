#pragma once

#include <QIcon>

namespace trimlet {

// trimlet's own icon in every drawn size (16 to 512 px), for the windows and the desktop.
QIcon applicationIcon();

}  // namespace trimlet
