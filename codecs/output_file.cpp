#include "codecs/output_file.h"

#include <algorithm>

#include "codecs/bmp.h"
#include "codecs/jpeg.h"
#include "codecs/jxl.h"
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
    case OutputFormat::Jxl: return encodeJxl(bitmap, quality);
    case OutputFormat::Jpeg: break;
    }
    return encodeJpeg(bitmap, quality);
}

Result<FittedOutput> encodeOutputWithin(const Bitmap& bitmap, OutputFormat format, int quality, std::uint64_t maxBytes,
                                        const std::function<bool()>& superseded)
{
    if (maxBytes == 0 || !hasQuality(format)) {
        auto encoded = encodeOutput(bitmap, format, quality);
        if (!encoded)
            return encoded.error();
        FittedOutput only{quality, std::move(encoded).value(), true};
        only.fits = maxBytes == 0 || only.bytes.size() <= maxBytes;
        return only;
    }

    // Invariant: `low` fits (0: none known to), `high` does not (101: past the range).
    int low = 0;
    int high = 101;
    FittedOutput best;
    FittedOutput lowest;  // quality 1's file, once tried
    int encodes = 0;
    auto tryQuality = [&](int q) -> Status {
        if (encodes++ > 0 && superseded && superseded())
            return makeError(ErrorCode::Invalid, "superseded");
        auto encoded = encodeOutput(bitmap, format, q);
        if (!encoded)
            return encoded.error();
        FittedOutput candidate{q, std::move(encoded).value(), true};
        const bool fits = candidate.bytes.size() <= maxBytes;
        (fits ? low : high) = q;
        if (fits)
            best = std::move(candidate);
        else if (q == 1)
            lowest = std::move(candidate);
        return {};
    };

    // The quality asked for is the first guess: while framing, the limit's choice seldom
    // moves by more than one, and two encodes settle it.
    const int guess = std::clamp(quality, 1, 100);
    if (Status st = tryQuality(guess); !st)
        return st.error();
    const int neighbour = low == guess ? guess + 1 : guess - 1;
    if (neighbour >= 1 && neighbour <= 100)
        if (Status st = tryQuality(neighbour); !st)
            return st.error();
    while (high - low > 1)
        if (Status st = tryQuality(low + (high - low) / 2); !st)
            return st.error();
    if (low == 0) {
        lowest.fits = false;
        return lowest;
    }
    return best;
}

}  // namespace trimlet
