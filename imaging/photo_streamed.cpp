#include "imaging/photo_streamed.h"

#include <new>
#include <utility>

#include "codecs/jpeg.h"
#include "codecs/picture_file.h"
#include "imaging/orientation.h"
#include "imaging/photo.h"

namespace trimlet {

namespace {

// The stored size from the open file's headers, so that the size and the pixels come from the
// same file even if the name is replaced meanwhile.
Result<PictureSize> storedJpegSize(const RegularFile& file, const DecodeLimits& limits)
{
    auto probe = probeOpenFile(PictureKind::Jpeg, file, limits);
    if (!probe)
        return probe.error();
    return probe.value().size;
}

Result<Picture> streamedJpeg(const std::string& path, const DecodeLimits& limits)
{
    auto file = RegularFile::open(path);
    if (!file)
        return file.error();
    const auto size = storedJpegSize(file.value(), limits);
    if (!size)
        return size.error();
    auto decoded = decodeJpegRegion(file.value(), {0, 0, size.value().width, size.value().height}, limits);
    if (!decoded)
        return decoded.error();
    DecodedImage& image = decoded.value();
    JpegOrigin origin{path, file.value().stamp(), image.orientation};
    if (Status settled = settleDecoded(image, limits); !settled)
        return settled.error();
    if (Status turned = applyOrientation(image, limits.maxBitmapBytes); !turned)
        return turned.error();
    return Picture(PictureKind::Jpeg, std::move(image), {}, std::move(origin));
}

}  // namespace

Result<Picture> loadPictureUprightStreamed(const std::string& path, const DecodeLimits& limits)
{
    if (kindForPath(path) != PictureKind::Jpeg)
        return loadPictureUpright(path, limits);
    try {
        auto picture = streamedJpeg(path, limits);
        if (!picture)
            return makeError(picture.error().code, path + ": " + picture.error().message);
        return picture;
    } catch (const std::bad_alloc&) {
        return makeError(ErrorCode::TooLarge, path + ": not enough memory for the picture");
    }
}

}  // namespace trimlet
