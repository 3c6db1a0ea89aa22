#include "imaging/orientation.h"

#include <string>
#include <utility>

#include "codecs/exif.h"
#include "imaging/flip.h"
#include "imaging/quarter_turn.h"

namespace trimlet {

namespace {

// The mask as a picture whose blue bytes are the mask's, so that the very kernels that turn
// the picture turn the mask.
Bitmap maskAsBitmap(const std::vector<std::uint8_t>& mask, int width, int height)
{
    Bitmap carrier(width, height);
    const std::uint8_t* m = mask.data();
    for (int y = 0; y < height; ++y) {
        std::uint8_t* p = carrier.row(y);
        for (int x = 0; x < width; ++x, p += 3)
            *p = *m++;
    }
    return carrier;
}

std::vector<std::uint8_t> maskFromBitmap(const Bitmap& carrier)
{
    std::vector<std::uint8_t> mask(std::size_t(carrier.width()) * std::size_t(carrier.height()));
    std::uint8_t* m = mask.data();
    for (int y = 0; y < carrier.height(); ++y) {
        const std::uint8_t* p = carrier.row(y);
        for (int x = 0; x < carrier.width(); ++x, p += 3)
            *m++ = *p;
    }
    return mask;
}

// Orientations 5..8. The turn only reads the picture, which stays whole should memory run
// short.
Bitmap turnedUpright(const Bitmap& picture, int orientation)
{
    switch (orientation) {
    case 5: return flipHorizontal(turnRight(picture));
    case 6: return turnRight(picture);
    case 7: return flipHorizontal(turnLeft(picture));
    default: return turnLeft(picture);
    }
}

}  // namespace

Bitmap orientBitmap(Bitmap picture, int orientation)
{
    switch (orientation) {
    case 2: return flipHorizontal(std::move(picture));
    case 3: return halfTurn(std::move(picture));
    case 4: return flipVertical(std::move(picture));
    case 5:
    case 6:
    case 7:
    case 8: return turnedUpright(picture, orientation);
    default: return picture;
    }
}

Status applyOrientation(DecodedImage& image, std::int64_t maxBitmapBytes)
{
    const int orientation = image.orientation;
    if (orientation < 2 || orientation > 8 || image.bitmap.empty()) {
        image.orientation = 1;
        return {};
    }
    const int width = image.bitmap.width(), height = image.bitmap.height();
    const PictureSize shown = shownSize({width, height}, orientation);
    const auto tooLarge = [&] {
        return makeError(ErrorCode::TooLarge, "the picture turned upright would be too large (" +
                                                  std::to_string(shown.width) + " × " + std::to_string(shown.height) +
                                                  " pixels)");
    };
    if (!Bitmap::sizeAllowed(shown.width, shown.height, maxBitmapBytes))
        return tooLarge();
    // The mask first, and the picture turned from a reference: should memory run short, the
    // image is still whole.
    std::vector<std::uint8_t> mask;
    if (image.mask.size() == std::size_t(width) * std::size_t(height))
        mask = maskFromBitmap(orientBitmap(maskAsBitmap(image.mask, width, height), orientation));
    Bitmap upright = swapsSides(orientation) ? turnedUpright(image.bitmap, orientation)
                                             : orientBitmap(std::move(image.bitmap), orientation);
    if (upright.empty())
        return tooLarge();
    image.bitmap = std::move(upright);
    image.mask = std::move(mask);
    image.orientation = 1;
    return {};
}

}  // namespace trimlet
