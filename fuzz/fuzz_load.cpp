// The load path of one format (FUZZ_EXTENSION): format table, decoder, picture container,
// rendering and drawing with transparency, as a dropped file would go; and the header probe
// that info uses, which must agree with every successful decode.
#include <cstddef>
#include <cstdint>

#include "codecs/picture_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const auto kind = trimlet::kindForPath("fuzz." FUZZ_EXTENSION);
    trimlet::DecodeLimits limits;
    limits.maxBitmapBytes = std::int64_t{64} << 20;
    const trimlet::HeaderProbe probe = trimlet::probePicture(*kind, {data, size}, size, limits);
    trimlet::probePicture(*kind, {data, size / 2}, size, limits);  // the first read of a longer file
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
