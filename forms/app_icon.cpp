#include "forms/app_icon.h"

namespace trimlet {

QIcon applicationIcon()
{
    // Each size is drawn separately, so Qt picks a hand-made small icon instead of shrinking.
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/trimlet-%1.png").arg(size), QSize(size, size));
    return icon;
}

}  // namespace trimlet
