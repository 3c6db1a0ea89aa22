#pragma once
// The stored settings in the window's terms: the window's place fitted to a screen, and the
// stored colour as a QColor.

#include <QColor>
#include <QRect>
#include <QSize>
#include <string>

#include "document/stored_settings.h"
#include "platform/window_placement.h"

namespace trimlet {

// The window placement the file keeps, made reachable on screen; a missing position centres
// a window of the stored size there.
WindowPlacement readPlacement(const std::string& path, const QRect& screen, const QSize& minimum);
StoredPlacement storedPlacement(const WindowPlacement& placement);

inline QColor qColour(const Rgb& c) { return QColor(c.red, c.green, c.blue); }
inline Rgb rgbOf(const QColor& c) { return {std::uint8_t(c.red()), std::uint8_t(c.green()), std::uint8_t(c.blue())}; }

}  // namespace trimlet
