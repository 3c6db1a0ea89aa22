#include "settings/cut_size_presets.h"

#include <array>
#include <cerrno>

#include "base/text.h"

namespace trimlet {

namespace {

const std::array<CutSizePreset, kCutSizePresetCount> kBuiltIn{{
    {"横VGA", 640, 480},  {"横WVGA", 800, 480},  {"横SVGA", 800, 600},   {"横WSVGA", 1024, 600}, {"横XGA", 1024, 768},
    {"横HD", 1366, 768},  {"横XGA+", 1152, 864}, {"横SXGA", 1280, 1024}, {"横UXGA", 1600, 1200}, {"横FHD", 1920, 1080},
    {"縦VGA", 480, 640},  {"縦WVGA", 480, 800},  {"縦WVGA+", 480, 854},  {"縦FWVGA", 480, 864},  {"縦QHD", 540, 960},
    {"縦DVGA", 640, 960}, {"縦XGA", 768, 1024},  {"ヤフオク", 600, 600}, {"mixi", 640, 640},     {"MSX2", 256, 212},
}};

constexpr const char* kSection = "size";

std::string slotKey(const char* stem, int slot) { return stem + std::to_string(slot); }

}  // namespace

CutSizePreset builtInCutSizePreset(int slot)
{
    return slot >= 0 && slot < kCutSizePresetCount ? kBuiltIn[std::size_t(slot)] : CutSizePreset{};
}

CutSizePreset readCutSizePreset(const ProfileFile& file, int slot)
{
    const std::string name = file.readString(kSection, slotKey("caption", slot), "");
    if (name.empty())
        return builtInCutSizePreset(slot);
    return {shiftJisToUtf8(name), file.readInt(kSection, slotKey("width", slot), 100),
            file.readInt(kSection, slotKey("height", slot), 100)};
}

Status writeCutSizePreset(ProfileFile& file, int slot, const CutSizePreset& preset)
{
    if (Status s = file.writeString(kSection, slotKey("caption", slot), utf8ToShiftJis(preset.name)); !s)
        return s;
    if (Status s = file.writeInt(kSection, slotKey("width", slot), preset.width); !s)
        return s;
    return file.writeInt(kSection, slotKey("height", slot), preset.height);
}

std::string presetCaption(const CutSizePreset& p)
{
    return p.name + "(" + std::to_string(p.width) + "×" + std::to_string(p.height) + ")";
}

std::string shiftJisToUtf8(const std::string& bytes) { return cp932ToUtf8(bytes).value_or(bytes); }

std::string utf8ToShiftJis(const std::string& text) { return utf8ToCp932(text).value_or(text); }

}  // namespace trimlet
