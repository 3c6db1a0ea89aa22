#include "forms/app_icon.h"

namespace trimlet {

QIcon applicationIcon()
{
    // Each size is drawn separately, so Qt picks a hand-made small icon instead of shrinking,
    // and each has its double, which Qt picks on a screen of pixel ratio 2.
    QIcon icon;
    for (int size : {16, 32, 48, 64, 96, 128, 256, 512})
        icon.addFile(QStringLiteral(":/icons/trimlet-%1.png").arg(size), QSize(size, size));
    return icon;
}

}  // namespace trimlet
