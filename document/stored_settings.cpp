#include "document/stored_settings.h"

#include <algorithm>
#include <filesystem>

#include "settings/profile_file.h"
#include "settings/settings_keys.h"

namespace trimlet {

namespace {

int readKey(const ProfileFile& f, const keys::IntKey& k) { return f.readInt(k.section, k.key, k.defaultValue); }

Status writeKey(ProfileFile& f, const keys::IntKey& k, int value) { return f.writeInt(k.section, k.key, value); }

// The sibling program's file counts only as a regular file: a FIFO, folder or device of that
// name reads as nothing and would put the sibling's defaults over the user's cut size.
bool siblingPresent(const std::string& path)
{
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec);
}

}  // namespace

std::string siblingSettingsPath(const std::string& settingsPath)
{
    return (std::filesystem::path(settingsPath).parent_path() / "postlet.ini").string();
}

Rgb colourFromSetting(int value)
{
    if (value < 0 || value > 0xFFFFFF)
        return {};
    return Rgb::fromColorRef(std::uint32_t(value));
}

int settingFromColour(const Rgb& c) { return c.red | c.green << 8 | c.blue << 16; }

StoredSettings readStoredSettings(const std::string& path)
{
    const ProfileFile file(path);
    StoredSettings s;
    s.previewWidth = readKey(file, keys::prevW);
    s.previewHeight = readKey(file, keys::prevH);
    s.power = readKey(file, keys::power);
    s.quality = readKey(file, keys::quality);
    s.maxKb = std::max(readKey(file, keys::maxKb), 0);
    s.width = readKey(file, keys::width);
    s.height = readKey(file, keys::height);
    s.fit = readKey(file, keys::fit);
    s.format = readKey(file, keys::format);
    s.tail = readKey(file, keys::tail);
    s.lossless = readKey(file, keys::lossless);
    s.folder = file.readString(keys::outputFolder.section, keys::outputFolder.key, "");
    s.topBottom = readKey(file, keys::topBottom);
    s.leftRight = readKey(file, keys::leftRight);
    s.background = colourFromSetting(readKey(file, keys::bgColor));
    s.load = {readKey(file, keys::colorManagement), readKey(file, keys::rawPreview)};
    const std::string siblingPath = siblingSettingsPath(path);
    if (siblingPresent(siblingPath)) {
        const ProfileFile sibling(siblingPath);
        s.sibling = SiblingSettings{readKey(sibling, keys::siblingQuality), readKey(sibling, keys::siblingWidth),
                                    readKey(sibling, keys::siblingHeight)};
    }
    return s;
}

Status writeStoredSettings(const std::string& path, const StoredPlacement& place, const StoredSettings& s)
{
    ProfileFile file(path);
    const std::pair<const keys::IntKey&, int> values[] = {
        {keys::mainW, place.width},
        {keys::mainH, place.height},
        {keys::mainX, place.x},
        {keys::mainY, place.y},
        {keys::mainMax, place.maximised ? 1 : 0},
        {keys::prevW, s.previewWidth},
        {keys::prevH, s.previewHeight},
        {keys::power, s.power},
        {keys::quality, s.quality},
        {keys::width, s.width},
        {keys::height, s.height},
        {keys::fit, s.fit},
        {keys::format, s.format},
        {keys::tail, s.tail},
        {keys::lossless, s.lossless},
        {keys::maxKb, s.maxKb},
        {keys::topBottom, s.topBottom},
        {keys::leftRight, s.leftRight},
        {keys::bgColor, settingFromColour(s.background)},
        {keys::colorManagement, s.load.colourManagement},
    };
    for (const auto& [key, value] : values)
        if (Status st = writeKey(file, key, value); !st)
            return st;
    if (Status st = file.writeString(keys::outputFolder.section, keys::outputFolder.key, s.folder); !st)
        return st;

    const std::string siblingPath = siblingSettingsPath(path);
    if (!siblingPresent(siblingPath))
        return {};
    ProfileFile sibling(siblingPath);
    for (const auto& [key, value] : {std::pair<const keys::IntKey&, int>{keys::siblingQuality, s.quality},
                                     {keys::siblingWidth, s.width},
                                     {keys::siblingHeight, s.height}})
        if (Status st = writeKey(sibling, key, value); !st)
            return st;
    return {};
}

StoredPlacement readStoredPlacement(const std::string& path, int screenWidth, int screenHeight, int minWidth,
                                    int minHeight)
{
    const ProfileFile file(path);
    StoredPlacement p;
    p.width = std::max(readKey(file, keys::mainW), minWidth);
    p.height = std::max(readKey(file, keys::mainH), minHeight);
    p.x = file.readInt(keys::mainX.section, keys::mainX.key, (screenWidth - p.width) / 2);
    p.y = file.readInt(keys::mainY.section, keys::mainY.key, (screenHeight - p.height) / 2);
    p.maximised = readKey(file, keys::mainMax) == 1;
    return p;
}

bool readColourManagement(const std::string& path) { return readKey(ProfileFile(path), keys::colorManagement) != 0; }

LoadChoices readLoadChoices(const std::string& path)
{
    const ProfileFile file(path);
    return {readKey(file, keys::colorManagement), readKey(file, keys::rawPreview)};
}

std::string readLastOutputPath(const std::string& path)
{
    return ProfileFile(path).readString(keys::outputPath.section, keys::outputPath.key, "");
}

Status writeLastOutputPath(const std::string& path, const std::string& saved)
{
    return ProfileFile(path).writeString(keys::outputPath.section, keys::outputPath.key, saved);
}

CutSizePreset readPreset(const std::string& path, int slot) { return readCutSizePreset(ProfileFile(path), slot); }

Status writePreset(const std::string& path, int slot, const CutSizePreset& preset)
{
    ProfileFile file(path);
    return writeCutSizePreset(file, slot, preset);
}

std::vector<CutSet> readCutSets(const std::string& path)
{
    std::vector<CutSet> sets;
    for (const ProfileEntry& entry : ProfileFile(path).readSection(keys::cutSets.name)) {
        auto set = parseSetValue(entry.value);
        if (!set)
            continue;
        set.value().name = entry.key;
        sets.push_back(std::move(set).value());
    }
    return sets;
}

Status writeCutSets(const std::string& path, const std::vector<CutSet>& sets)
{
    std::vector<ProfileEntry> entries;
    for (const CutSet& set : sets)
        entries.push_back({set.name, formatSetValue(set)});
    // Checked before the file is touched, so that a name the file cannot hold writes nothing.
    if (auto refused = replaceProfileSection("", keys::cutSets.name, entries); !refused)
        return refused.error();
    ProfileFile file(path);
    return file.rewriteSection(keys::cutSets.name, [&](std::vector<ProfileEntry> old) {
        // A hand-edited value this version cannot read stays for the user to mend, unless a
        // set of its name replaces it.
        std::vector<ProfileEntry> kept = entries;
        for (ProfileEntry& k : old) {
            const bool named = std::any_of(entries.begin(), entries.end(),
                                           [&](const ProfileEntry& e) { return profileNamesEqual(e.key, k.key); });
            if (!named && !parseSetValue(k.value))
                kept.push_back(std::move(k));
        }
        return kept;
    });
}

}  // namespace trimlet
