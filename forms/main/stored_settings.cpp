#include "forms/main/stored_settings.h"

#include <algorithm>
#include <filesystem>

#include "platform/paths.h"
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

QColor colourFromSetting(int value)
{
    if (value < 0 || value > 0xFFFFFF)
        return Qt::white;
    return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}

int settingFromColour(const QColor& c) { return c.red() | c.green() << 8 | c.blue() << 16; }

MainSettings readMainSettings(const std::string& path)
{
    const ProfileFile file(path);
    MainSettings s;
    s.preview = QSize(readKey(file, keys::prevW), readKey(file, keys::prevH));
    s.power = readKey(file, keys::power);
    s.quality = readKey(file, keys::quality);
    s.maxKb = std::max(readKey(file, keys::maxKb), 0);
    s.width = readKey(file, keys::width);
    s.height = readKey(file, keys::height);
    s.format = readKey(file, keys::format);
    s.tail = readKey(file, keys::tail);
    s.topBottom = readKey(file, keys::topBottom);
    s.leftRight = readKey(file, keys::leftRight);
    s.background = colourFromSetting(readKey(file, keys::bgColor));
    s.colourManagement = readKey(file, keys::colorManagement);
    const std::string siblingPath = siblingSettingsPath(path);
    if (siblingPresent(siblingPath)) {
        const ProfileFile sibling(siblingPath);
        s.sibling = SiblingSettings{readKey(sibling, keys::siblingQuality), readKey(sibling, keys::siblingWidth),
                                    readKey(sibling, keys::siblingHeight)};
    }
    return s;
}

Status writeMainSettings(const std::string& path, const WindowPlacement& place, const MainSettings& s)
{
    ProfileFile file(path);
    const std::pair<const keys::IntKey&, int> values[] = {
        {keys::mainW, place.clientSize.width()},
        {keys::mainH, place.clientSize.height()},
        {keys::mainX, place.framePos.x()},
        {keys::mainY, place.framePos.y()},
        {keys::mainMax, place.maximised ? 1 : 0},
        {keys::prevW, s.preview.width()},
        {keys::prevH, s.preview.height()},
        {keys::power, s.power},
        {keys::quality, s.quality},
        {keys::width, s.width},
        {keys::height, s.height},
        {keys::format, s.format},
        {keys::tail, s.tail},
        {keys::maxKb, s.maxKb},
        {keys::topBottom, s.topBottom},
        {keys::leftRight, s.leftRight},
        {keys::bgColor, settingFromColour(s.background)},
        {keys::colorManagement, s.colourManagement},
    };
    for (const auto& [key, value] : values)
        if (Status st = writeKey(file, key, value); !st)
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

WindowPlacement readPlacement(const std::string& path, const QRect& screen, const QSize& minimum)
{
    const ProfileFile file(path);
    WindowPlacement stored;
    stored.clientSize = QSize(readKey(file, keys::mainW), readKey(file, keys::mainH)).expandedTo(minimum);
    const QSize size = stored.clientSize;
    stored.framePos = QPoint(file.readInt(keys::mainX.section, keys::mainX.key, (screen.width() - size.width()) / 2),
                             file.readInt(keys::mainY.section, keys::mainY.key, (screen.height() - size.height()) / 2));
    stored.maximised = readKey(file, keys::mainMax) == 1;
    return fitPlacement(stored, screen, minimum);
}

}  // namespace trimlet
