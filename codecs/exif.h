#pragma once
// The one EXIF value trimlet uses: the orientation a camera records instead of turning the
// pixels.

#include "base/bytes.h"
#include "codecs/decoded.h"

namespace trimlet {

// The orientation 1..8 of EXIF data that starts with its TIFF header ("II*\0" or "MM\0*"), as
// PNG's eXIf chunk holds it: IFD0's tag 0x0112. 1 (as stored) when the data is damaged, has no
// such tag or gives a value outside 1..8. Only IFD0 is read, so no offset chain is followed.
int exifOrientation(Bytes tiff);

// The same for a JPEG APP1 payload, which starts with "Exif\0\0"; 1 for any other APP1.
int jpegExifOrientation(Bytes app1);

// True for the orientations 5..8, which show the stored rows as columns.
inline bool swapsSides(int orientation) { return orientation >= 5 && orientation <= 8; }

// The size of a stored picture once shown in its orientation.
inline PictureSize shownSize(PictureSize stored, int orientation)
{
    return swapsSides(orientation) ? PictureSize{stored.height, stored.width} : stored;
}

}  // namespace trimlet
