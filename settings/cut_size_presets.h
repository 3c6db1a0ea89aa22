#pragma once
// Twenty named cut sizes: built-in screen sizes, each replaceable by one the user remembers.

#include <string>

#include "settings/profile_file.h"

namespace trimlet {

inline constexpr int kCutSizePresetCount = 20;

struct CutSizePreset {
    std::string name;  // UTF-8
    int width = 0;
    int height = 0;
};

// The built-in preset of a slot 0..19.
CutSizePreset builtInCutSizePreset(int slot);

// The slot's preset: the stored one when its name is not empty (a missing width or height
// reads as 100), otherwise the built-in one. Names are stored as Shift_JIS.
CutSizePreset readCutSizePreset(const ProfileFile& file, int slot);

// Stores a slot as "caption"/"width"/"height" + slot in section "size"; an empty name gives the
// slot back to its built-in preset.
Status writeCutSizePreset(ProfileFile& file, int slot, const CutSizePreset& preset);

// The menu caption: name, then "(" width "×" height ")".
std::string presetCaption(const CutSizePreset& preset);

// Shift_JIS (code page 932) bytes and UTF-8, both ways; text that does not convert comes back
// unchanged, so nothing is lost.
std::string shiftJisToUtf8(const std::string& bytes);
std::string utf8ToShiftJis(const std::string& text);

}  // namespace trimlet
