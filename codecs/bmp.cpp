#include "codecs/bmp.h"

namespace trimlet {

Result<DecodedImage> decodeBmp(Bytes, const DecodeLimits&)
{
    return makeError(ErrorCode::Unsupported, "bmp decoding is not built yet");
}

}  // namespace trimlet

std::vector<std::uint8_t> trimlet::encodeBmp(const Bitmap&) { return {}; }
