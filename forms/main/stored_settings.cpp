#include "forms/main/stored_settings.h"

namespace trimlet {

WindowPlacement readPlacement(const std::string& path, const QRect& screen, const QSize& minimum)
{
    const StoredPlacement p =
        readStoredPlacement(path, screen.width(), screen.height(), minimum.width(), minimum.height());
    return fitPlacement({QPoint(p.x, p.y), QSize(p.width, p.height), p.maximised}, screen, minimum);
}

StoredPlacement storedPlacement(const WindowPlacement& p)
{
    return {p.framePos.x(), p.framePos.y(), p.clientSize.width(), p.clientSize.height(), p.maximised};
}

}  // namespace trimlet
