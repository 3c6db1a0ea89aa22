#include "codecs/gif.h"

namespace trimlet {

Result<DecodedImage> decodeGif(Bytes, const DecodeLimits&)
{
    return makeError(ErrorCode::Unsupported, "gif decoding is not built yet");
}

}  // namespace trimlet
