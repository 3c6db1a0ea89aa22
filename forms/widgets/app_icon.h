#pragma once

#include <QIcon>

namespace trimlet {

// trimlet's own icon in every drawn size (16 to 512 px), each read when first shown.
QIcon applicationIcon();
// The same up to 256 px, for the windows' frames and task lists.
QIcon windowManagerIcon();

}  // namespace trimlet
