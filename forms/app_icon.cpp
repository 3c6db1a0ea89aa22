#include "forms/app_icon.h"

namespace trimlet {

QIcon applicationIcon()
{
    // Qt decodes every file as it is added, and the windows ask for the icon several times
    // while they are built: made once, it costs the first paint a few milliseconds instead of
    // tens. Never freed, since a pixmap must not outlive the application object.
    static const QIcon* const icon = [] {
        // Each size is drawn separately, so Qt picks a hand-made small icon instead of
        // shrinking, and each has its double, which Qt picks on a screen of pixel ratio 2.
        auto* made = new QIcon;
        for (int size : {16, 32, 48, 64, 96, 128, 256, 512})
            made->addFile(QStringLiteral(":/icons/trimlet-%1.png").arg(size), QSize(size, size));
        return made;
    }();
    return *icon;
}

}  // namespace trimlet
