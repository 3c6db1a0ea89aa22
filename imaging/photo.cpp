#include "imaging/photo.h"

#include <new>
#include <utility>

#include "imaging/orientation.h"

namespace trimlet {

namespace {

Result<Picture> upright(Result<DecodedFile> decoded, const DecodeLimits& limits)
{
    if (!decoded)
        return decoded.error();
    DecodedFile& d = decoded.value();
    try {
        if (Status turned = applyOrientation(d.image, limits.maxBitmapBytes); !turned)
            return turned.error();
    } catch (const std::bad_alloc&) {
        return makeError(ErrorCode::TooLarge, "not enough memory to turn the picture upright");
    }
    return Picture(d.kind, std::move(d.image), std::move(d.fileBytes));
}

}  // namespace

Result<Picture> loadPictureUpright(const std::string& path, const DecodeLimits& limits)
{
    auto decoded = loadFileAsStored(path, limits);
    if (!decoded)
        return decoded.error();  // names the path already
    auto picture = upright(std::move(decoded), limits);
    if (!picture)
        return makeError(picture.error().code, path + ": " + picture.error().message);
    return picture;
}

Result<Picture> decodePictureUpright(PictureKind kind, Bytes bytes, const DecodeLimits& limits)
{
    return upright(decodeFileAsStored(kind, bytes, limits), limits);
}

}  // namespace trimlet
