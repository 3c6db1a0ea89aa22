#include "codecs/output_file.h"

#include "codecs/bmp.h"
#include "codecs/jpeg.h"
#include "codecs/png.h"
#include "codecs/webp.h"

namespace trimlet {

Result<std::vector<std::uint8_t>> encodeOutput(const Bitmap& bitmap, OutputFormat format, int quality)
{
    switch (format) {
    case OutputFormat::Bmp:
        if (bitmap.empty())
            return makeError(ErrorCode::Invalid, "empty picture");
        return encodeBmp(bitmap);
    case OutputFormat::Png: return encodePng(bitmap);
    case OutputFormat::Webp: return encodeWebp(bitmap, quality);
    case OutputFormat::Jpeg: break;
    }
    return encodeJpeg(bitmap, quality);
}

Result<FittedOutput> encodeOutputWithin(const Bitmap& bitmap, OutputFormat format, int quality, std::uint64_t maxBytes,
                                        const std::function<bool()>& superseded)
{
    const bool search = maxBytes > 0 && hasQuality(format);
    FittedOutput best{search ? 100 : quality, {}, true};
    auto encoded = encodeOutput(bitmap, format, best.quality);
    if (!encoded)
        return encoded.error();
    best.bytes = std::move(encoded).value();
    best.fits = maxBytes == 0 || best.bytes.size() <= maxBytes;
    if (!search || best.fits)
        return best;

    // Invariant: `low` fits (once known), `high` does not; file sizes grow with the quality.
    int low = 0;
    int high = 100;
    while (high - low > 1) {
        if (superseded && superseded())
            return makeError(ErrorCode::Invalid, "superseded");
        // Quality 1 first: when even it does not fit, the search is over after two encodes.
        const int q = low == 0 && high == 100 ? 1 : low + (high - low) / 2;
        auto tried = encodeOutput(bitmap, format, q);
        if (!tried)
            return tried.error();
        FittedOutput candidate{q, std::move(tried).value(), true};
        if (candidate.bytes.size() <= maxBytes) {
            low = q;
            best = std::move(candidate);
        } else if (q == 1) {
            candidate.fits = false;
            return candidate;
        } else {
            high = q;
        }
    }
    return best;
}

}  // namespace trimlet
