#pragma once
// Conversions between the core Bitmap and Qt's QImage, for display and the clipboard.

#include <QImage>

#include "codecs/bitmap.h"

namespace trimlet {

// A QImage that owns a copy of the bitmap's pixels.
QImage toQImage(const Bitmap& bitmap);

// The QImage's pixels as a 24-bit bitmap (alpha dropped); an empty bitmap for a null image.
Bitmap fromQImage(const QImage& image);

}  // namespace trimlet
