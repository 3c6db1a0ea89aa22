// The photo load of one format (FUZZ_EXTENSION) as the window and trimlet-cli go through it:
// decoding, the colour profile, the EXIF orientation with the mask; info's header probe must
// give the same size once turned.
#include <cstddef>
#include <cstdint>

#include "codecs/exif.h"
#include "imaging/photo.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const auto kind = trimlet::kindForPath("fuzz." FUZZ_EXTENSION);
    trimlet::DecodeLimits limits;
    limits.maxBitmapBytes = std::int64_t{64} << 20;
    const trimlet::HeaderProbe probe = trimlet::probePicture(*kind, {data, size}, size, limits);
    auto picture = trimlet::decodePictureUpright(*kind, {data, size}, limits);
    if (!picture)
        return 0;
    const trimlet::Picture& p = picture.value();
    if (!probe.size ||
        trimlet::shownSize(probe.size.value(), probe.orientation) != trimlet::PictureSize{p.width(), p.height()})
        __builtin_trap();
    trimlet::Bitmap canvas(17, 13);
    trimlet::drawPicture(p, canvas, -p.width() / 2, -p.height() / 2);
    return 0;
}
