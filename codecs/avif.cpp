#include "codecs/avif.h"

#include <avif/avif.h>

#include <algorithm>
#include <cstddef>
#include <exception>
#include <memory>
#include <new>
#include <string>

#include "codecs/rgba_rows.h"

namespace trimlet {

namespace {

// The bytes we hold of a file of fileSize bytes; a read past them that stays inside the file
// is a probe wanting more, not damage.
struct AvifSource {
    avifIO io;  // first member: libavif hands back &io
    const std::uint8_t* data;
    std::uint64_t size;
    std::uint64_t fileSize;
    bool wantsMore = false;
};

avifResult readSource(avifIO* io, std::uint32_t flags, std::uint64_t offset, std::size_t size, avifROData* out)
{
    auto* s = reinterpret_cast<AvifSource*>(io);
    if (flags != 0 || offset > s->fileSize)
        return AVIF_RESULT_IO_ERROR;
    const std::uint64_t n = std::min<std::uint64_t>(size, s->fileSize - offset);
    if (offset + n > s->size) {
        s->wantsMore = true;
        return AVIF_RESULT_WAITING_ON_IO;
    }
    out->data = s->data + offset;
    out->size = std::size_t(n);
    return AVIF_RESULT_OK;
}

AvifSource makeSource(Bytes bytes, std::uint64_t fileSize)
{
    AvifSource s{{}, bytes.data(), bytes.size(), std::max<std::uint64_t>(fileSize, bytes.size())};
    s.io.read = readSource;
    s.io.sizeHint = s.fileSize;
    s.io.persistent = AVIF_TRUE;  // the bytes outlive the decoder
    return s;
}

struct DecoderFree {
    void operator()(avifDecoder* d) const { avifDecoderDestroy(d); }
};
using AvifDecoder = std::unique_ptr<avifDecoder, DecoderFree>;

std::int64_t capOf(const DecodeLimits& limits) { return std::min(limits.maxBitmapBytes, kMaxBitmapBytes); }

Error avifFailure(const char* what, avifResult result)
{
    if (result == AVIF_RESULT_NO_CODEC_AVAILABLE)
        return makeError(ErrorCode::Unsupported, "no AV1 decoder available");
    return makeError(ErrorCode::Corrupt, std::string("damaged AVIF: ") + what + ": " + avifResultToString(result));
}

// Parses the container (no frame decoded) and checks its size: against the cap, and against
// what a file of fileSize bytes can hold.
Status parse(avifDecoder* decoder, AvifSource& source, std::int64_t cap)
{
    if (!decoder)
        return makeError(ErrorCode::TooLarge, "not enough memory to start libavif");
    decoder->ignoreExif = AVIF_TRUE;  // orientation comes from the container's irot and imir
    decoder->ignoreXMP = AVIF_TRUE;
    avifDecoderSetIO(decoder, &source.io);
    if (const avifResult r = avifDecoderParse(decoder); r != AVIF_RESULT_OK)
        return avifFailure("container", r);
    const avifImage* image = decoder->image;
    if (!Bitmap::sizeAllowed(image->width, image->height, cap))
        return makeError(ErrorCode::TooLarge, "AVIF of " + std::to_string(image->width) + " x " +
                                                  std::to_string(image->height) + " pixels is too large");
    if (!fileCanHoldPixels(source.fileSize, image->width, image->height))
        return makeError(ErrorCode::Corrupt, "damaged AVIF: file too small for its image size");
    // A frame of another size is scaled to the container's; the AV1 decoder may allocate no
    // frame larger than the cap and the file's bytes allow either.
    const std::int64_t pixels =
        std::min<std::int64_t>(cap / 3, std::int64_t(std::min<std::uint64_t>(source.fileSize, std::uint64_t(1) << 31) *
                                                     kMaxPixelsPerFileByte));
    decoder->imageSizeLimit = std::uint32_t(std::clamp<std::int64_t>(pixels, 1, AVIF_DEFAULT_IMAGE_SIZE_LIMIT));
    return {};
}

// EXIF orientation of a rotation by angle × 90° anticlockwise followed by an optional mirror
// (imir mode 0 exchanges top and bottom, mode 1 left and right).
int orientationOf(const avifImage& image)
{
    static constexpr int kTable[4][3] = {{1, 4, 2}, {8, 5, 7}, {3, 2, 4}, {6, 7, 5}};
    const int angle = (image.transformFlags & AVIF_TRANSFORM_IROT) ? image.irot.angle & 3 : 0;
    const int mirror = (image.transformFlags & AVIF_TRANSFORM_IMIR) ? 1 + (image.imir.mode & 1) : 0;
    return kTable[angle][mirror];
}

// Marks pixels whose alpha is 0 once rescaled to 8 bits with rounding, as libavif rescales.
void maskFromAlpha(const avifImage& image, std::vector<std::uint8_t>& mask)
{
    const std::size_t width = image.width;
    mask.assign(width * image.height, 0);
    const std::uint32_t max = (1u << image.depth) - 1;
    for (std::uint32_t y = 0; y < image.height; ++y) {
        const std::uint8_t* row = image.alphaPlane + std::size_t(y) * image.alphaRowBytes;
        std::uint8_t* m = &mask[y * width];
        if (image.depth == 8) {
            for (std::size_t x = 0; x < width; ++x)
                m[x] = row[x] == 0;
        } else {
            const auto* wide = reinterpret_cast<const std::uint16_t*>(row);
            for (std::size_t x = 0; x < width; ++x)
                m[x] = 510u * wide[x] < max;  // round(a × 255 / max) == 0
        }
    }
}

Result<DecodedImage> decode(Bytes file, const DecodeLimits& limits)
{
    AvifSource source = makeSource(file, file.size());
    AvifDecoder decoder(avifDecoderCreate());
    if (Status parsed = parse(decoder.get(), source, capOf(limits)); !parsed)
        return parsed.error();
    if (const avifResult r = avifDecoderNextImage(decoder.get()); r != AVIF_RESULT_OK)
        return avifFailure("first frame", r);
    const avifImage& image = *decoder->image;
    if (!Bitmap::sizeAllowed(image.width, image.height, capOf(limits)))
        return makeError(ErrorCode::TooLarge, "AVIF frame is too large");

    DecodedImage decoded{Bitmap(int(image.width), int(image.height), Bitmap::Init::Uninitialized)};
    // Converting an image with alpha to a format without it would premultiply the colours; the
    // picture keeps them as stored, so the conversion sees the colour planes only (a view that
    // borrows the decoder's planes and is never destroyed).
    avifImage opaque = image;
    opaque.alphaPlane = nullptr;
    opaque.alphaRowBytes = 0;
    avifRGBImage rgb;
    avifRGBImageSetDefaults(&rgb, &opaque);
    rgb.format = AVIF_RGB_FORMAT_BGR;
    rgb.depth = 8;
    rgb.pixels = decoded.bitmap.data();
    rgb.rowBytes = std::uint32_t(decoded.bitmap.stride());
    if (const avifResult r = avifImageYUVToRGB(&opaque, &rgb); r != AVIF_RESULT_OK)
        return avifFailure("colour conversion", r);
    if (image.alphaPlane)
        maskFromAlpha(image, decoded.mask);
    decoded.orientation = orientationOf(image);
    if (image.icc.size)
        decoded.iccProfile.assign(image.icc.data, image.icc.data + image.icc.size);
    return decoded;
}

}  // namespace

HeaderProbe probeAvif(Bytes head, std::uint64_t fileSize, const DecodeLimits& limits)
{
    try {
        AvifSource source = makeSource(head, fileSize);
        AvifDecoder decoder(avifDecoderCreate());
        if (Status parsed = parse(decoder.get(), source, capOf(limits)); !parsed)
            return {parsed.error(), source.wantsMore};
        return {PictureSize{int(decoder->image->width), int(decoder->image->height)}, false,
                orientationOf(*decoder->image)};
    } catch (const std::bad_alloc&) {
        return {makeError(ErrorCode::TooLarge, "not enough memory for the AVIF")};
    }
}

Result<DecodedImage> decodeAvif(Bytes file, const DecodeLimits& limits)
{
    return decodeGuarded("AVIF", [&] { return decode(file, limits); });
}

}  // namespace trimlet
