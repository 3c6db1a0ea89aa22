#pragma once
// What every decoder hands to the picture container.

#include <cstdint>
#include <exception>
#include <functional>
#include <new>
#include <string>
#include <vector>

#include "base/bytes.h"
#include "base/result.h"
#include "codecs/bitmap.h"

namespace trimlet {

struct DecodeLimits {
    // Cap on the 24-bit rendering's store (stride × height). Fuzz targets lower it.
    std::int64_t maxBitmapBytes = kMaxBitmapBytes;
    // False keeps the pixels as the file stores them: no ICC profile is applied, and CMYK
    // takes the plain conversion instead of its profile.
    bool colourManagement = true;
    // A camera raw shows its embedded full-size preview instead of being developed (faster).
    bool rawPreview = false;
    // Called on the decoding thread between bands of rows of a long decode; it may block, so
    // that a window can hold a decode on another thread back while it paints. Never throws.
    std::function<void()> betweenBands{};
};

struct DecodedImage {
    Bitmap bitmap;
    // Empty, or width × height bytes row by row, 1 where the pixel is transparent (drawing
    // leaves the canvas unchanged there), 0 elsewhere.
    std::vector<std::uint8_t> mask{};
    // What the file says about showing the pixels, applied once after decoding unless the
    // decoder has applied it itself: the EXIF orientation 1..8 (1 = as stored; turned by the
    // upright loaders in imaging/) and the embedded ICC profile (empty = none; converted and
    // cleared by settleDecoded).
    int orientation = 1;
    std::vector<std::uint8_t> iccProfile{};
};

// A rectangle of a picture's stored pixels (before its orientation is applied).
struct PictureRegion {
    int x = 0, y = 0, width = 0, height = 0;
};

struct PictureSize {
    int width = 0;
    int height = 0;
    friend bool operator==(const PictureSize&, const PictureSize&) = default;
};

// What a header probe made of the first bytes of a file: the size the decoder would give
// (checked as the decoder checks it), or why not. needsMore when the bytes ended before the
// headers did, so that a longer part of the file may still answer.
struct HeaderProbe {
    Result<PictureSize> size;
    bool needsMore = false;
    int orientation = 1;  // as DecodedImage::orientation; size stays the stored size
};

// Runs a decode through a library that may throw, so that running out of memory or a library's
// own exception becomes a failure of the named format rather than an escape.
template <class Decode>
Result<DecodedImage> decodeGuarded(const char* format, Decode&& decode)
{
    try {
        return decode();
    } catch (const std::bad_alloc&) {
        return makeError(ErrorCode::TooLarge, std::string("not enough memory for the ") + format);
    } catch (const std::exception& e) {
        return makeError(ErrorCode::Corrupt, std::string(format) + " not decoded: " + e.what());
    }
}

}  // namespace trimlet
