#include "imaging/photo_streamed.h"

#include <algorithm>
#include <new>
#include <utility>

#include "codecs/jpeg.h"
#include "codecs/picture_file.h"
#include "imaging/orientation.h"
#include "imaging/photo.h"

namespace trimlet {

namespace {

// The stored size from the open file's headers, read as probePictureFile reads them, so that
// the size and the pixels come from the same file even if the name is replaced meanwhile.
Result<PictureSize> storedJpegSize(const RegularFile& file, const DecodeLimits& limits)
{
    constexpr std::size_t kFirstRead = std::size_t{64} << 10;
    for (std::size_t want = kFirstRead;; want *= 2) {
        auto head = file.readAt(0, std::size_t(std::min<std::uint64_t>(want, file.size())));
        if (!head)
            return head.error();
        HeaderProbe probe = probeJpeg(head.value(), file.size(), limits);
        if (probe.size || !probe.needsMore || head.value().size() >= file.size())
            return probe.size;
    }
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
    if (Status settled = settleDecoded(image, limits); !settled)
        return settled.error();
    if (Status turned = applyOrientation(image, limits.maxBitmapBytes); !turned)
        return turned.error();
    return Picture(PictureKind::Jpeg, std::move(image));
}

}  // namespace

Result<Picture> loadPhotoStreamed(const std::string& path, const DecodeLimits& limits)
{
    if (kindForPath(path) != PictureKind::Jpeg)
        return loadPhoto(path, limits);
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
