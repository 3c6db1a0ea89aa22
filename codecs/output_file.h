#pragma once
// The bytes a saved piece holds, for every output format, and the quality that keeps them
// under a size limit. The window's live size, its preview and save, and trimlet-cli all
// encode through here, so the figure shown is the file written.

#include <cstdint>
#include <functional>
#include <vector>

#include "base/result.h"
#include "codecs/bitmap.h"

namespace trimlet {

// In the order of the window's format items, whose indices the settings file keeps.
enum class OutputFormat { Jpeg, Bmp, Png, Webp, Jxl };

// JPEG, WebP and JPEG XL take a quality; BMP and PNG are written the same whatever it is.
constexpr bool hasQuality(OutputFormat format)
{
    return format == OutputFormat::Jpeg || format == OutputFormat::Webp || format == OutputFormat::Jxl;
}

// The file's bytes for bitmap in format at quality 1..100 (ignored without hasQuality).
Result<std::vector<std::uint8_t>> encodeOutput(const Bitmap& bitmap, OutputFormat format, int quality);

struct FittedOutput {
    int quality = 0;  // what was encoded with; the one asked for when the format has none
    std::vector<std::uint8_t> bytes;
    // False when not even the smallest file fits the limit; bytes and quality are then that
    // file's (quality 1), so that a caller can say by how much, but it must not be saved.
    bool fits = true;
};

// encodeOutput under a limit of maxBytes (0: no limit, quality as given). A format with a
// quality gets the highest of 1..100 whose file fits (one more does not), found with the
// encoder itself, starting from the quality given as a guess and bisecting from there; a
// format without one is encoded once. `superseded`, when given, is asked between encodes
// and ends the search early with Invalid (a result nobody wants any more).
Result<FittedOutput> encodeOutputWithin(const Bitmap& bitmap, OutputFormat format, int quality, std::uint64_t maxBytes,
                                        const std::function<bool()>& superseded = {});

// kB as the program counts them (units of 1024 bytes) to bytes; 0 and negative mean no limit.
constexpr std::uint64_t limitBytes(std::int64_t kilobytes)
{
    return kilobytes > 0 ? std::uint64_t(kilobytes) * 1024 : 0;
}

}  // namespace trimlet
