#include "codecs/png.h"

namespace trimlet {

Result<DecodedImage> decodePng(Bytes, const DecodeLimits&)
{
    return makeError(ErrorCode::Unsupported, "png decoding is not built yet");
}

}  // namespace trimlet
