#include "platform/qimage_bridge.h"

#include <cstring>

namespace trimlet {

QImage toQImage(const Bitmap& bitmap)
{
    if (bitmap.empty())
        return {};
    const QImage view(bitmap.data(), bitmap.width(), bitmap.height(), bitmap.stride(), QImage::Format_BGR888);
    return view.copy();
}

Bitmap fromQImage(const QImage& image)
{
    if (image.isNull() || !Bitmap::sizeAllowed(image.width(), image.height()))
        return {};
    const QImage bgr = image.convertToFormat(QImage::Format_BGR888);
    Bitmap out(bgr.width(), bgr.height(), Bitmap::Init::Uninitialized);
    for (int y = 0; y < out.height(); ++y)
        std::memcpy(out.row(y), bgr.constScanLine(y), std::size_t(out.width()) * 3);
    return out;
}

}  // namespace trimlet
