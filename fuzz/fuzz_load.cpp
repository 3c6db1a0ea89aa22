// The load path of one format (FUZZ_EXTENSION): format table, decoder, picture container,
// rendering and drawing with transparency, as a dropped file would go; and the header probe
// that info uses, which must agree with every successful decode; a camera raw also through its
// embedded preview. For PNG, TIFF and WebP also a
// region, placed by the file's last bytes: the whole decode's pixels there whenever it succeeds,
// and never a region where it fails but for damage (which may lie outside the region).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "codecs/picture_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const auto kind = trimlet::kindForPath("fuzz." FUZZ_EXTENSION);
    trimlet::DecodeLimits limits;
    limits.maxBitmapBytes = std::int64_t{64} << 20;
    const trimlet::HeaderProbe probe = trimlet::probePicture(*kind, {data, size}, size, limits);
    trimlet::probePicture(*kind, {data, size / 2}, size, limits);  // the first read of a longer file
    if (*kind == trimlet::PictureKind::Png || *kind == trimlet::PictureKind::Tiff ||
        *kind == trimlet::PictureKind::Webp) {
        // The whole picture is let go before the region is decoded, so that a run holds two
        // pictures at most, as its memory limit allows for the largest ones.
        std::optional<trimlet::DecodedImage> expected;
        trimlet::ErrorCode wholeFailure = trimlet::ErrorCode::Corrupt;
        trimlet::PictureRegion region;
        {
            const auto whole = trimlet::decodeFileAsStored(*kind, {data, size}, limits);
            const int w = whole ? whole.value().image.bitmap.width() : 64;
            const int h = whole ? whole.value().image.bitmap.height() : 64;
            const std::uint8_t a = size > 0 ? data[size - 1] : 0, b = size > 1 ? data[size - 2] : 0;
            region = {a % w, b % h, std::max(1, (w - a % w) * (b % 7 + 1) / 8),
                      std::max(1, (h - b % h) * (a % 5 + 1) / 6)};
            if (whole)
                expected = trimlet::regionOfImage(whole.value().image, region);
            else
                wholeFailure = whole.error().code;
        }
        const auto part = trimlet::decodeRegionAsStored(*kind, {data, size}, region, limits);
        if (expected) {
            if (!part)
                __builtin_trap();
            if (!(part.value().bitmap == expected->bitmap) || part.value().mask != expected->mask ||
                part.value().orientation != expected->orientation)
                __builtin_trap();
        } else if (part && wholeFailure != trimlet::ErrorCode::Corrupt) {
            __builtin_trap();
        }
    }
    if (*kind == trimlet::PictureKind::Raw) {
        trimlet::DecodeLimits preview = limits;
        preview.rawPreview = true;
        if (auto shown = trimlet::decodeFileAsStored(*kind, {data, size}, preview);
            shown && shown.value().image.bitmap.empty())
            __builtin_trap();
    }
    auto picture = trimlet::decodePictureAsStored(*kind, {data, size}, limits);
    if (!picture)
        return 0;
    const trimlet::Picture& p = picture.value();
    if (p.width() != p.bitmap().width() || p.height() != p.bitmap().height())
        __builtin_trap();
    if (!probe.size || probe.size.value() != trimlet::PictureSize{p.width(), p.height()})
        __builtin_trap();  // info would print another size than loading gives
    trimlet::Bitmap canvas(17, 13);
    trimlet::drawPicture(p, canvas, -p.width() / 2, -p.height() / 2);
    trimlet::drawPicture(p, canvas, 5, 3);
    return 0;
}
