#pragma once
// What the settings file keeps between runs, as plain values: the console's and the joins'
// choices, the preview's size, the background colour, the window's place, the last saved
// picture and the cut-size presets. The only code that reads and writes that file.

#include <optional>
#include <string>
#include <vector>

#include "base/result.h"
#include "codecs/decoded.h"
#include "document/cut_set.h"
#include "imaging/rotate.h"
#include "settings/cut_size_presets.h"

namespace trimlet {

// The sibling program's share: its file exists, and its values win over the program's own.
struct SiblingSettings {
    int quality = 0;
    int width = 0;
    int height = 0;
};

// The [load] section: how pictures are decoded. No control sets it.
struct LoadChoices {
    int colourManagement = 1;  // color_management, kept as read
    int rawPreview = 0;        // raw_preview, read only
    DecodeLimits limits() const { return {.colourManagement = colourManagement != 0, .rawPreview = rawPreview != 0}; }
};

struct StoredSettings {
    int previewWidth = 0;  // prev_w, prev_h
    int previewHeight = 0;
    int power = 0;
    int quality = 0;
    int maxKb = 0;  // size limit in kB, 0 for none; never negative
    int width = 0;
    int height = 0;
    int lossless = 0;    // [output] lossless: 1 while JPEG pieces are copied from the blocks
    int fit = 0;         // [size] fit: 1 while every picture gets its fit rate
    int format = 0;      // 0 JPEG, 1 BMP, 2 PNG, 3 WebP
    int tail = 0;        // 0 "(1)", 1 "-1"
    std::string folder;  // where serial saves go, as bytes; empty: beside the picture
    int topBottom = 0;   // the join groups' codes, 1 to 4
    int leftRight = 0;
    Rgb background;
    LoadChoices load;
    std::optional<SiblingSettings> sibling;
};

// The main window's place: its frame's top-left corner, its size without the frame, and
// whether it was closed maximised.
struct StoredPlacement {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool maximised = false;
};

// The settings in the file at path (defaults for what it lacks) and in its sibling's file
// while that is a regular file.
StoredSettings readStoredSettings(const std::string& path);
// Writes the placement and the settings in the order of the key table, then the sibling's
// share when its file is there (sibling's own values are ignored: they come from the own).
// The first failed write stops and is returned.
Status writeStoredSettings(const std::string& path, const StoredPlacement& placement, const StoredSettings& settings);

// The placement the file keeps, its size at least minWidth × minHeight; a missing position
// centres a window of that size on a screenWidth × screenHeight screen.
StoredPlacement readStoredPlacement(const std::string& path, int screenWidth, int screenHeight, int minWidth,
                                    int minHeight);

// The sibling program's settings file, beside the own one.
std::string siblingSettingsPath(const std::string& settingsPath);

// Colours are stored as 0x00BBGGRR; anything with a high byte (the sibling program's system
// colour codes, or nonsense) reads as white.
Rgb colourFromSetting(int value);
int settingFromColour(const Rgb& colour);

// Whether pictures are loaded colour-managed ([load] color_management), read alone for the
// load that starts before the windows exist.
bool readColourManagement(const std::string& path);
// The whole [load] section, read alone for the same load.
LoadChoices readLoadChoices(const std::string& path);

// The last saved picture's path as the file system's bytes; empty when none is stored.
std::string readLastOutputPath(const std::string& path);
Status writeLastOutputPath(const std::string& path, const std::string& saved);

// The cut-size preset of a slot 0..19, and a slot given a new one.
CutSizePreset readPreset(const std::string& path, int slot);
Status writePreset(const std::string& path, int slot, const CutSizePreset& preset);

// The cut sets under [sets], one key a set, in the file's order; a key whose value does not
// read as a set is skipped, and kept in the file.
std::vector<CutSet> readCutSets(const std::string& path);
// The [sets] section made to hold exactly sets (names: UTF-8, none empty or twice), every other
// line of the file kept.
Status writeCutSets(const std::string& path, const std::vector<CutSet>& sets);

}  // namespace trimlet
