#include "codecs/webp.h"

#include <webp/decode.h>
#include <webp/demux.h>
#include <webp/encode.h>

#include <algorithm>
#include <cstring>
#include <exception>
#include <memory>
#include <new>
#include <string>

#include "codecs/canvas.h"
#include "codecs/picture_file.h"
#include "codecs/rgba_rows.h"

namespace trimlet {

namespace {

Error notWebp() { return makeError(ErrorCode::Corrupt, "not a WebP file"); }

Error damaged(const char* what) { return makeError(ErrorCode::Corrupt, std::string("damaged WebP: ") + what); }

// The canvas must fit the cap as a bitmap and, unless the file is lossy without alpha, as 4
// bytes a pixel: a frame with alpha is decoded into such a buffer, and libwebp holds a lossless
// image whole in one of its own.
Status checkSize(int width, int height, bool fourBytesAPixel, const DecodeLimits& limits)
{
    const std::int64_t cap = std::min(limits.maxBitmapBytes, kMaxBitmapBytes);
    const bool fits =
        Bitmap::sizeAllowed(width, height, cap) && (!fourBytesAPixel || std::int64_t{4} * width * height <= cap);
    if (!fits)
        return makeError(ErrorCode::TooLarge,
                         "WebP of " + std::to_string(width) + " x " + std::to_string(height) + " pixels is too large");
    return {};
}

// Format 1 is lossy; 2 lossless and 0 an animation, whose frames may be either.
bool needsFourBytes(const WebPBitstreamFeatures& f) { return f.has_alpha || f.format != 1; }

struct DemuxDeleter {
    void operator()(WebPDemuxer* demux) const { WebPDemuxDelete(demux); }
};
using DemuxPtr = std::unique_ptr<WebPDemuxer, DemuxDeleter>;

// The first frame, released on every path.
class FirstFrame {
public:
    explicit FirstFrame(const WebPDemuxer* demux) : found_(WebPDemuxGetFrame(demux, 1, &iter_) != 0) {}
    ~FirstFrame()
    {
        if (found_)
            WebPDemuxReleaseIterator(&iter_);
    }
    FirstFrame(const FirstFrame&) = delete;
    FirstFrame& operator=(const FirstFrame&) = delete;

    bool found() const { return found_; }
    const WebPIterator& get() const { return iter_; }

private:
    WebPIterator iter_{};
    bool found_;
};

std::vector<std::uint8_t> chunkBytes(const WebPDemuxer* demux, const char fourcc[4])
{
    std::vector<std::uint8_t> bytes;
    WebPChunkIterator chunk{};
    if (WebPDemuxGetChunk(demux, fourcc, 1, &chunk) && chunk.chunk.bytes)
        bytes.assign(chunk.chunk.bytes, chunk.chunk.bytes + chunk.chunk.size);
    WebPDemuxReleaseChunkIterator(&chunk);
    return bytes;
}

// Decodes a frame's bitstream into caller-owned memory as BGR (3 bytes) or BGRA (4 bytes), with
// the options of a prepared configuration when one is given.
bool decodeInto(const WebPData& data, WEBP_CSP_MODE mode, std::uint8_t* out, int stride, std::size_t size,
                WebPDecoderConfig* prepared = nullptr)
{
    WebPDecoderConfig own;
    if (!prepared && !WebPInitDecoderConfig(&own))
        return false;
    WebPDecoderConfig& config = prepared ? *prepared : own;
    config.output.colorspace = mode;
    config.output.is_external_memory = 1;
    config.output.u.RGBA.rgba = out;
    config.output.u.RGBA.stride = stride;
    config.output.u.RGBA.size = size;
    const bool ok = WebPDecode(data.bytes, data.size, &config) == VP8_STATUS_OK;
    WebPFreeDecBuffer(&config.output);
    return ok;
}

// A bitstream's header can claim 16383 x 16383 over a few bytes. libwebp fills the lossy rows
// it cannot read, but decoding a lossy frame's last pixel (when decodeLossy) still walks every
// macroblock in a few rows of memory, so the data proves the picture before the picture is
// allocated. A lossless frame cannot be proved that way, libwebp holding the whole image while
// it decodes: it must be as large as the data-size rule asks.
Status proveFrameData(const WebPData& data, int width, int height, bool decodeLossy = true)
{
    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config) || WebPGetFeatures(data.bytes, data.size, &config.input) != VP8_STATUS_OK)
        return damaged("image data not decoded");
    if (config.input.format == 2 && !fileCanHoldPixels(data.size, width, height))
        return damaged("file too small for its image size");
    if (config.input.format != 1 || !decodeLossy)
        return {};
    std::uint8_t pixel[4];
    config.options.use_cropping = 1;
    config.options.crop_top = height - 1;
    config.options.crop_width = 1;
    config.options.crop_height = 1;
    if (!decodeInto(data, MODE_BGRA, pixel, 4, sizeof pixel, &config))
        return damaged("image data not decoded");
    return {};
}

// width BGRA pixels to BGR, alpha 0 to the mask.
void bgraRowToBgr(const std::uint8_t* s, int width, std::uint8_t* d, std::uint8_t* m)
{
    for (int x = 0; x < width; ++x, s += 4, d += 3) {
        d[0] = s[0];
        d[1] = s[1];
        d[2] = s[2];
        m[x] = s[3] == 0;
    }
}

// Puts a BGRA frame onto the canvas at its offset; alpha 0 and the canvas outside the frame
// become the mask (the canvas starts black and transparent, as an animation's does).
void placeFrame(const std::uint8_t* bgra, const WebPIterator& frame, DecodedImage& image)
{
    Bitmap& canvas = image.bitmap;
    const std::size_t canvasWidth = std::size_t(canvas.width());
    image.mask.assign(canvasWidth * std::size_t(canvas.height()), 1);
    const std::size_t frameRow = std::size_t(frame.width) * 4;
    for (int y = 0; y < frame.height; ++y) {
        const std::uint8_t* s = bgra + std::size_t(y) * frameRow;
        std::uint8_t* d = canvas.row(frame.y_offset + y) + std::size_t(frame.x_offset) * 3;
        std::uint8_t* m = &image.mask[std::size_t(frame.y_offset + y) * canvasWidth + std::size_t(frame.x_offset)];
        bgraRowToBgr(s, frame.width, d, m);
    }
}

// A first frame that lies on its canvas and whose data proves its size.
Status checkFrame(const WebPIterator& frame, int width, int height)
{
    if (!frame.complete || frame.width <= 0 || frame.height <= 0)
        return damaged("first frame is missing or truncated");
    if (frame.x_offset < 0 || frame.y_offset < 0 || frame.width > width - frame.x_offset ||
        frame.height > height - frame.y_offset)
        return damaged("frame outside the canvas");
    return proveFrameData(frame.fragment, frame.width, frame.height);
}

bool coversCanvas(const WebPIterator& frame, int width, int height)
{
    return frame.width == width && frame.height == height;
}

// The frame as BGRA rows, then whether its canvas may be allocated around it.
Result<ByteBuffer> decodeBgra(const WebPIterator& frame, int width, int height, std::uint64_t fileBytes,
                              const DecodeLimits& limits)
{
    if (Status fits = checkSize(frame.width, frame.height, true, limits); !fits)
        return fits.error();
    const std::size_t frameRow = std::size_t(frame.width) * 4;
    ByteBuffer bgra(frameRow * std::size_t(frame.height));
    if (!decodeInto(frame.fragment, MODE_BGRA, bgra.data(), int(frameRow), bgra.size()))
        return damaged("image data not decoded");
    if (Status held = checkCanvas(fileBytes, {width, height}, {frame.width, frame.height}, "WebP canvas", "frame");
        !held)
        return held.error();
    return bgra;
}

Result<DecodedImage> decodeFrame(const WebPIterator& frame, int width, int height, std::uint64_t fileBytes,
                                 const DecodeLimits& limits)
{
    if (Status valid = checkFrame(frame, width, height); !valid)
        return valid.error();
    const bool covers = coversCanvas(frame, width, height);
    if (covers && !frame.has_alpha) {
        // The common case: rows straight into the bitmap, no second copy.
        DecodedImage image{Bitmap(width, height, Bitmap::Init::Uninitialized), {}};
        Bitmap& b = image.bitmap;
        if (!decodeInto(frame.fragment, MODE_BGR, b.data(), b.stride(), b.byteCount()))
            return damaged("image data not decoded");
        return image;
    }
    auto bgra = decodeBgra(frame, width, height, fileBytes, limits);
    if (!bgra)
        return bgra.error();
    DecodedImage image{Bitmap(width, height, covers ? Bitmap::Init::Uninitialized : Bitmap::Init::Zero), {}};
    placeFrame(bgra.value().data(), frame, image);
    return image;
}

// decodeFrame's pixels inside region of a frame that does not cover its canvas, without the
// canvas: black and transparent where the frame does not reach.
Result<DecodedImage> regionOfFrame(const WebPIterator& frame, int width, int height, PictureRegion region,
                                   std::uint64_t fileBytes, const DecodeLimits& limits)
{
    if (Status valid = checkFrame(frame, width, height); !valid)
        return valid.error();
    auto bgra = decodeBgra(frame, width, height, fileBytes, limits);
    if (!bgra)
        return bgra.error();
    const std::size_t regionWidth = std::size_t(region.width);
    DecodedImage image{Bitmap(region.width, region.height, Bitmap::Init::Zero),
                       std::vector<std::uint8_t>(regionWidth * std::size_t(region.height), 1)};
    const int left = std::max(region.x, frame.x_offset);
    const int right = std::min(region.x + region.width, frame.x_offset + frame.width);
    const int top = std::max(region.y, frame.y_offset);
    const int bottom = std::min(region.y + region.height, frame.y_offset + frame.height);
    const std::size_t frameRow = std::size_t(frame.width) * 4;
    for (int y = top; left < right && y < bottom; ++y) {
        const std::uint8_t* s =
            bgra.value().data() + std::size_t(y - frame.y_offset) * frameRow + std::size_t(left - frame.x_offset) * 4;
        bgraRowToBgr(s, right - left, image.bitmap.row(y - region.y) + std::size_t(left - region.x) * 3,
                     &image.mask[std::size_t(y - region.y) * regionWidth + std::size_t(left - region.x)]);
    }
    return image;
}

// The container of a file, read as far as its first frame.
struct OpenedWebp {
    DemuxPtr demux;
    WebPBitstreamFeatures features{};
    int width = 0, height = 0;
};

Result<OpenedWebp> openWebp(Bytes file, const DecodeLimits& limits)
{
    OpenedWebp opened;
    WebPBitstreamFeatures& features = opened.features;
    const VP8StatusCode status = WebPGetFeatures(file.data(), file.size(), &features);
    if (status == VP8_STATUS_NOT_ENOUGH_DATA)
        return damaged("file is truncated");
    if (status != VP8_STATUS_OK)
        return notWebp();
    if (Status fits = checkSize(features.width, features.height, needsFourBytes(features), limits); !fits)
        return fits.error();

    // Partial: an animation whose later frames are cut off still has its first frame.
    WebPData data{file.data(), file.size()};
    WebPDemuxState state = WEBP_DEMUX_PARSE_ERROR;
    opened.demux.reset(WebPDemuxPartial(&data, &state));
    if (!opened.demux || state == WEBP_DEMUX_PARSE_ERROR || state == WEBP_DEMUX_PARSING_HEADER)
        return damaged("container not readable");
    opened.width = int(WebPDemuxGetI(opened.demux.get(), WEBP_FF_CANVAS_WIDTH));
    opened.height = int(WebPDemuxGetI(opened.demux.get(), WEBP_FF_CANVAS_HEIGHT));
    if (opened.width != features.width || opened.height != features.height)
        return damaged("canvas and image sizes disagree");
    return opened;
}

Result<DecodedImage> decode(Bytes file, const DecodeLimits& limits)
{
    auto opened = openWebp(file, limits);
    if (!opened)
        return opened.error();
    const WebPDemuxer* demux = opened.value().demux.get();
    const FirstFrame frame(demux);
    if (!frame.found())
        return damaged("no frame");
    auto image = decodeFrame(frame.get(), opened.value().width, opened.value().height, file.size(), limits);
    if (image)
        image.value().iccProfile = chunkBytes(demux, "ICCP");
    return image;
}

// Pixels around the region decoded with it: libwebp starts a crop on even coordinates and
// upsamples chroma at a crop's edges from the crop alone, so a margin keeps the region's pixels
// the whole decode's.
constexpr int kCropMargin = 16;

// A still picture's region through libwebp's crop.
Result<DecodedImage> decodeCropped(const WebPIterator& frame, PictureRegion region)
{
    const int left = std::max(0, region.x - kCropMargin) & ~1;
    const int top = std::max(0, region.y - kCropMargin) & ~1;
    const int right = std::min(frame.width, region.x + region.width + kCropMargin);
    // Every row to the picture's end: damage in a lossy frame shows only as data that ends too
    // soon, so rows decoded before that point would be made-up pixels passed as a success.
    const int bottom = frame.height;
    // A crop of a big region over little data is proved by its last row before it is allocated,
    // as decodeFrame proves the whole picture.
    constexpr std::int64_t kProvedCropBytes = std::int64_t{64} << 20;
    const bool alpha = frame.has_alpha != 0;
    const int bytesPerPixel = alpha ? 4 : 3;
    const std::int64_t cropBytes = std::int64_t(right - left) * (bottom - top) * bytesPerPixel;
    if (Status proved = proveFrameData(frame.fragment, frame.width, bottom, cropBytes > kProvedCropBytes); !proved)
        return proved.error();
    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config))
        return damaged("image data not decoded");
    config.options.use_cropping = 1;
    config.options.crop_left = left;
    config.options.crop_top = top;
    config.options.crop_width = right - left;
    config.options.crop_height = bottom - top;
    const std::size_t cropRow = std::size_t(right - left) * std::size_t(bytesPerPixel);
    ByteBuffer crop(cropRow * std::size_t(bottom - top));
    if (!decodeInto(frame.fragment, alpha ? MODE_BGRA : MODE_BGR, crop.data(), int(cropRow), crop.size(), &config))
        return damaged("image data not decoded");
    DecodedImage image{Bitmap(region.width, region.height, Bitmap::Init::Uninitialized), {}};
    if (alpha)
        image.mask.resize(std::size_t(region.width) * std::size_t(region.height));
    for (int y = 0; y < region.height; ++y) {
        const std::uint8_t* s = crop.data() + std::size_t(region.y - top + y) * cropRow +
                                std::size_t(region.x - left) * std::size_t(bytesPerPixel);
        std::uint8_t* d = image.bitmap.row(y);
        if (!alpha) {
            std::memcpy(d, s, std::size_t(region.width) * 3);
            continue;
        }
        bgraRowToBgr(s, region.width, d, &image.mask[std::size_t(y) * std::size_t(region.width)]);
    }
    return image;
}

Result<DecodedImage> decodeRegion(Bytes file, PictureRegion region, const DecodeLimits& limits)
{
    auto opened = openWebp(file, limits);
    if (!opened)
        return opened.error();
    const int width = opened.value().width, height = opened.value().height;
    const WebPDemuxer* demux = opened.value().demux.get();
    const FirstFrame frame(demux);
    if (!frame.found())
        return damaged("no frame");
    if (!regionInside(region, width, height))
        return makeError(ErrorCode::Invalid, "the region is not inside the picture");
    const WebPIterator& f = frame.get();
    const bool still = (WebPDemuxGetI(demux, WEBP_FF_FORMAT_FLAGS) & ANIMATION_FLAG) == 0;
    Result<DecodedImage> image = makeError(ErrorCode::Invalid, {});
    if (still && f.complete && f.x_offset == 0 && f.y_offset == 0 && f.width == width && f.height == height) {
        image = decodeCropped(f, region);
    } else if (!coversCanvas(f, width, height)) {
        image = regionOfFrame(f, width, height, region, file.size(), limits);
    } else {
        auto whole = decodeFrame(f, width, height, file.size(), limits);
        if (!whole)
            return whole;
        image = regionOfImage(whole.value(), region);
    }
    if (image)
        image.value().iccProfile = chunkBytes(demux, "ICCP");
    return image;
}

struct PictureDeleter {
    void operator()(WebPPicture* picture) const { WebPPictureFree(picture); }
};

int appendToVector(const std::uint8_t* data, std::size_t size, const WebPPicture* picture)
{
    auto* out = static_cast<std::vector<std::uint8_t>*>(picture->custom_ptr);
    try {
        out->insert(out->end(), data, data + size);
    } catch (const std::bad_alloc&) {
        return 0;
    }
    return 1;
}

}  // namespace

HeaderProbe probeWebp(Bytes head, std::uint64_t fileSize, const DecodeLimits& limits)
{
    WebPBitstreamFeatures features;
    const VP8StatusCode status = WebPGetFeatures(head.data(), head.size(), &features);
    if (status == VP8_STATUS_NOT_ENOUGH_DATA)
        return {damaged("file is truncated"), fileSize > head.size()};
    if (status != VP8_STATUS_OK)
        return {notWebp()};
    if (Status fits = checkSize(features.width, features.height, needsFourBytes(features), limits); !fits)
        return {fits.error()};
    return {PictureSize{features.width, features.height}};
}

Result<DecodedImage> decodeWebp(Bytes file, const DecodeLimits& limits)
{
    return decodeGuarded("WebP", [&] { return decode(file, limits); });
}

Result<DecodedImage> decodeWebpRegion(Bytes file, PictureRegion region, const DecodeLimits& limits)
{
    return decodeGuarded("WebP", [&] { return decodeRegion(file, region, limits); });
}

Result<std::vector<std::uint8_t>> encodeWebp(const Bitmap& bitmap, int quality)
{
    if (bitmap.empty() || bitmap.width() > kMaxWebpSide || bitmap.height() > kMaxWebpSide)
        return makeError(ErrorCode::Invalid, "WebP takes 1 to 16383 pixels a side");
    if (quality < 1 || quality > 100)
        return makeError(ErrorCode::Invalid, "WebP quality must be 1 to 100");
    WebPConfig config;
    WebPPicture picture;
    if (!WebPConfigInit(&config) || !WebPPictureInit(&picture))
        return makeError(ErrorCode::Invalid, "libwebp version mismatch");
    config.quality = float(quality);
    picture.width = bitmap.width();
    picture.height = bitmap.height();
    const std::unique_ptr<WebPPicture, PictureDeleter> owner(&picture);
    std::vector<std::uint8_t> out;
    picture.writer = appendToVector;
    picture.custom_ptr = &out;
    if (WebPPictureImportBGR(&picture, bitmap.data(), bitmap.stride()) && WebPEncode(&config, &picture))
        return out;
    const bool memory = picture.error_code == VP8_ENC_ERROR_OUT_OF_MEMORY ||
                        picture.error_code == VP8_ENC_ERROR_BITSTREAM_OUT_OF_MEMORY ||
                        picture.error_code == VP8_ENC_ERROR_BAD_WRITE;
    return makeError(memory ? ErrorCode::TooLarge : ErrorCode::Invalid,
                     "WebP not encoded (libwebp error " + std::to_string(int(picture.error_code)) + ")");
}

}  // namespace trimlet
