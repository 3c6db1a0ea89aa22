#include "codecs/jpeg.h"

namespace trimlet {

Result<DecodedImage> decodeJpeg(Bytes, const DecodeLimits&)
{
    return makeError(ErrorCode::Unsupported, "jpeg decoding is not built yet");
}

}  // namespace trimlet

trimlet::Result<std::vector<std::uint8_t>> trimlet::encodeJpeg(const Bitmap&, int)
{
    return makeError(ErrorCode::Unsupported, "jpeg encoding is not built yet");
}
