// The EXIF orientation reader and the joining of JPEG ICC chunks, on bytes as a camera or an
// editor may leave them: every answer is an orientation 1..8, every profile made of the
// chunks' own bytes.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "codecs/colour_profile.h"
#include "codecs/exif.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const trimlet::Bytes bytes{data, size};
    const int orientation = trimlet::exifOrientation(bytes);
    const int inJpeg = trimlet::jpegExifOrientation(bytes);
    if (orientation < 1 || orientation > 8 || inJpeg < 1 || inJpeg > 8)
        __builtin_trap();
    // The same bytes as APP2 payloads: the first byte gives the number of pieces.
    if (size == 0)
        return 0;
    const std::size_t pieces = std::size_t(data[0] % 8) + 1;
    const trimlet::Bytes rest = bytes.subspan(1);
    std::vector<trimlet::Bytes> payloads;
    for (std::size_t i = 0; i < pieces; ++i)
        payloads.push_back(
            rest.subspan(rest.size() * i / pieces, rest.size() * (i + 1) / pieces - rest.size() * i / pieces));
    if (trimlet::joinIccChunks(payloads).size() > rest.size())
        __builtin_trap();
    return 0;
}
