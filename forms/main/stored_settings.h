#pragma once
// The main window's settings as values: what LoadSettings puts into the controls and
// SaveSettings takes from them, read from and written to the settings files by the key table.

#include <QColor>
#include <QRect>
#include <QSize>
#include <optional>
#include <string>

#include "base/result.h"
#include "platform/window_placement.h"

namespace trimlet {

// The sibling program's share: its file exists, and its values win over the program's own.
struct SiblingSettings {
    int quality = 0;
    int width = 0;
    int height = 0;
};

struct MainSettings {
    QSize preview;  // prev_w, prev_h
    int power = 0;
    int quality = 0;
    int maxKb = 0;  // size limit in kB, 0 for none; never negative
    int width = 0;
    int height = 0;
    int format = 0;     // 0 JPEG, 1 BMP, 2 PNG, 3 WebP
    int tail = 0;       // 0 "(1)", 1 "-1"
    int topBottom = 0;  // the join groups' codes, 1 to 4
    int leftRight = 0;
    QColor background;
    int colourManagement = 1;  // [load] color_management, kept as read
    std::optional<SiblingSettings> sibling;
};

// The settings in the file at path (defaults for what it lacks) and in its sibling's file
// while that is a regular file.
MainSettings readMainSettings(const std::string& path);
// Writes the placement and the settings in the order of the key table, then the sibling's
// share when its file is there (sibling's own values are ignored: they come from the own).
// The first failed write stops and is returned.
Status writeMainSettings(const std::string& path, const WindowPlacement& placement, const MainSettings& settings);

// The window placement the file keeps, made reachable on screen; a missing position centres
// a window of the stored size there.
WindowPlacement readPlacement(const std::string& path, const QRect& screen, const QSize& minimum);

// Colours are stored as 0x00BBGGRR; anything with a high byte (the sibling program's system
// colour codes, or nonsense) reads as white.
QColor colourFromSetting(int value);
int settingFromColour(const QColor& colour);

}  // namespace trimlet
