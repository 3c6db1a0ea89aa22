#include "codecs/jxl.h"

#include <jxl/decode.h>
#include <jxl/encode.h>
#include <jxl/thread_parallel_runner.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <new>
#include <string>

#include "base/parallel.h"
#include "codecs/rgba_rows.h"

namespace trimlet {

namespace {

Error notJxl() { return makeError(ErrorCode::Corrupt, "not a JPEG XL file"); }

Error damaged(const char* what) { return makeError(ErrorCode::Corrupt, std::string("damaged JPEG XL: ") + what); }

struct DecoderDeleter {
    void operator()(JxlDecoder* d) const { JxlDecoderDestroy(d); }
};
struct EncoderDeleter {
    void operator()(JxlEncoder* e) const { JxlEncoderDestroy(e); }
};
struct RunnerDeleter {
    void operator()(void* r) const { JxlThreadParallelRunnerDestroy(r); }
};
using DecoderPtr = std::unique_ptr<JxlDecoder, DecoderDeleter>;
using EncoderPtr = std::unique_ptr<JxlEncoder, EncoderDeleter>;
using RunnerPtr = std::unique_ptr<void, RunnerDeleter>;

// A runner only where more than one thread pays; null runs libjxl on the calling thread.
RunnerPtr runnerFor(std::int64_t pixels)
{
    const int threads = threadsFor(pixels);
    return RunnerPtr(threads > 1 ? JxlThreadParallelRunnerCreate(nullptr, std::size_t(threads)) : nullptr);
}

// libjxl works on planes of 4-byte samples, one for every channel whatever the output (it
// takes about 9 bytes a pixel beside the rendering for RGB): those must fit the cap too.
Status checkSize(const JxlBasicInfo& info, const DecodeLimits& limits)
{
    constexpr std::int64_t kSampleBytes = 4;
    const std::int64_t cap = std::min(limits.maxBitmapBytes, kMaxBitmapBytes);
    const std::int64_t w = info.xsize, h = info.ysize;
    const std::int64_t channels = std::int64_t(info.num_color_channels) + info.num_extra_channels;
    const bool fits = Bitmap::sizeAllowed(w, h, cap) && kSampleBytes * channels * w * h <= cap;
    if (!fits)
        return makeError(ErrorCode::TooLarge,
                         "JPEG XL of " + std::to_string(w) + " x " + std::to_string(h) + " pixels is too large");
    return {};
}

struct Header {
    JxlBasicInfo info{};
    bool truncated = false;  // the bytes ended before the basic info
};

// The basic info from the first bytes, without decoding anything else.
Result<Header> readHeader(Bytes head)
{
    if (!looksLikeJxl(head))
        return head.size() < 12 && JxlSignatureCheck(head.data(), head.size()) == JXL_SIG_NOT_ENOUGH_BYTES
                   ? Result<Header>(Header{{}, true})
                   : Result<Header>(notJxl());
    const DecoderPtr dec(JxlDecoderCreate(nullptr));
    // Kept orientation: the size as stored, which libjxl gives turned otherwise.
    if (!dec || JxlDecoderSubscribeEvents(dec.get(), JXL_DEC_BASIC_INFO) != JXL_DEC_SUCCESS ||
        JxlDecoderSetKeepOrientation(dec.get(), JXL_TRUE) != JXL_DEC_SUCCESS ||
        JxlDecoderSetInput(dec.get(), head.data(), head.size()) != JXL_DEC_SUCCESS)
        return damaged("header not read");
    // The input stays open, so that bytes ending early say so rather than fail.
    Header header;
    switch (JxlDecoderProcessInput(dec.get())) {
    case JXL_DEC_BASIC_INFO:
        if (JxlDecoderGetBasicInfo(dec.get(), &header.info) != JXL_DEC_SUCCESS)
            return damaged("header not read");
        return header;
    case JXL_DEC_NEED_MORE_INPUT: header.truncated = true; return header;
    default: return damaged("header not read");
    }
}

// The size rules on a header, the file's bytes proving its pixels.
Status checkHeader(const JxlBasicInfo& info, std::uint64_t fileBytes, const DecodeLimits& limits)
{
    if (info.xsize == 0 || info.ysize == 0 || info.num_color_channels == 0)
        return damaged("no pixels");
    if (Status fits = checkSize(info, limits); !fits)
        return fits;
    if (!fileCanHoldPixels(fileBytes, info.xsize, info.ysize))
        return damaged("file too small for its image size");
    return {};
}

int orientationOf(const JxlBasicInfo& info)
{
    const int o = int(info.orientation);
    return o >= 1 && o <= 8 ? o : 1;
}

bool isSrgb(const JxlColorEncoding& c)
{
    return (c.color_space == JXL_COLOR_SPACE_RGB || c.color_space == JXL_COLOR_SPACE_GRAY) &&
           c.white_point == JXL_WHITE_POINT_D65 && c.transfer_function == JXL_TRANSFER_FUNCTION_SRGB &&
           (c.color_space == JXL_COLOR_SPACE_GRAY || c.primaries == JXL_PRIMARIES_SRGB);
}

// Where the decoder's rows go: libjxl's threads each write their own runs.
struct Sink {
    Bitmap* bitmap = nullptr;
    std::uint8_t* mask = nullptr;  // with alpha only
    std::size_t width = 0;
};

void takeRun(void* opaque, std::size_t x, std::size_t y, std::size_t count, const void* pixels)
{
    const auto* sink = static_cast<const Sink*>(opaque);
    const auto* src = static_cast<const std::uint8_t*>(pixels);
    std::uint8_t* dst = sink->bitmap->row(int(y)) + x * 3;
    if (sink->mask)
        rgbaRowToBgr(src, int(count), dst, sink->mask + y * sink->width + x);
    else
        rgbRowToBgr(src, int(count), dst);
}

// The profile of the decoded pixels: none for sRGB, else the one libjxl gives for them. Lossy
// data is asked for in sRGB first, which libjxl renders from XYB itself.
Result<std::vector<std::uint8_t>> pixelProfile(JxlDecoder* dec, const JxlBasicInfo& info)
{
    if (!info.uses_original_profile) {
        JxlColorEncoding srgb;
        JxlColorEncodingSetToSRGB(&srgb, info.num_color_channels == 1 ? JXL_TRUE : JXL_FALSE);
        JxlDecoderSetPreferredColorProfile(dec, &srgb);
    }
    JxlColorEncoding encoding;
    if (JxlDecoderGetColorAsEncodedProfile(dec, nullptr, JXL_COLOR_PROFILE_TARGET_DATA, &encoding) == JXL_DEC_SUCCESS &&
        isSrgb(encoding))
        return std::vector<std::uint8_t>{};
    std::size_t size = 0;
    if (JxlDecoderGetICCProfileSize(dec, nullptr, JXL_COLOR_PROFILE_TARGET_DATA, &size) != JXL_DEC_SUCCESS)
        return std::vector<std::uint8_t>{};
    std::vector<std::uint8_t> icc(size);
    if (JxlDecoderGetColorAsICCProfile(dec, nullptr, JXL_COLOR_PROFILE_TARGET_DATA, icc.data(), icc.size()) !=
        JXL_DEC_SUCCESS)
        return damaged("colour profile not read");
    return icc;
}

Result<DecodedImage> decode(Bytes file, const DecodeLimits& limits)
{
    auto header = readHeader(file);
    if (!header)
        return header.error();
    if (header.value().truncated)
        return damaged("file is truncated");
    const JxlBasicInfo& info = header.value().info;
    if (Status ok = checkHeader(info, file.size(), limits); !ok)
        return ok.error();

    const DecoderPtr owner(JxlDecoderCreate(nullptr));
    JxlDecoder* dec = owner.get();
    const RunnerPtr runner = runnerFor(std::int64_t(info.xsize) * info.ysize);
    const int events = JXL_DEC_BASIC_INFO | JXL_DEC_COLOR_ENCODING | JXL_DEC_FULL_IMAGE;
    if (!dec || JxlDecoderSubscribeEvents(dec, events) != JXL_DEC_SUCCESS ||
        JxlDecoderSetKeepOrientation(dec, JXL_TRUE) != JXL_DEC_SUCCESS ||
        JxlDecoderSetUnpremultiplyAlpha(dec, JXL_TRUE) != JXL_DEC_SUCCESS ||
        (runner && JxlDecoderSetParallelRunner(dec, JxlThreadParallelRunner, runner.get()) != JXL_DEC_SUCCESS) ||
        JxlDecoderSetInput(dec, file.data(), file.size()) != JXL_DEC_SUCCESS)
        return damaged("decoder not started");

    const bool alpha = info.alpha_bits > 0;
    const JxlPixelFormat format{alpha ? 4u : 3u, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};
    DecodedImage image;
    image.orientation = orientationOf(info);
    Sink sink;
    for (;;) {
        switch (JxlDecoderProcessInput(dec)) {
        case JXL_DEC_BASIC_INFO: {
            JxlBasicInfo again;
            if (JxlDecoderGetBasicInfo(dec, &again) != JXL_DEC_SUCCESS || again.xsize != info.xsize ||
                again.ysize != info.ysize)
                return damaged("header read twice differently");
            break;
        }
        case JXL_DEC_COLOR_ENCODING: {
            auto icc = pixelProfile(dec, info);
            if (!icc)
                return icc.error();
            image.iccProfile = std::move(icc).value();
            break;
        }
        case JXL_DEC_NEED_IMAGE_OUT_BUFFER:
            image.bitmap = Bitmap(int(info.xsize), int(info.ysize), Bitmap::Init::Uninitialized);
            if (alpha)
                image.mask.assign(std::size_t(info.xsize) * info.ysize, 0);
            sink = Sink{&image.bitmap, alpha ? image.mask.data() : nullptr, info.xsize};
            if (JxlDecoderSetImageOutCallback(dec, &format, takeRun, &sink) != JXL_DEC_SUCCESS)
                return damaged("pixel format refused");
            break;
        case JXL_DEC_FULL_IMAGE:
            // The first frame is the picture; later frames of an animation are not decoded.
            return image;
        case JXL_DEC_NEED_MORE_INPUT: return damaged("file is truncated");
        case JXL_DEC_SUCCESS: return damaged("no frame");
        default: return damaged("image data not decoded");
        }
    }
}

// Appends the encoder's output until it has all been written.
Result<std::vector<std::uint8_t>> drain(JxlEncoder* enc)
{
    std::vector<std::uint8_t> out(std::size_t{64} << 10);
    std::size_t used = 0;
    for (;;) {
        std::uint8_t* next = out.data() + used;
        std::size_t room = out.size() - used;
        const JxlEncoderStatus status = JxlEncoderProcessOutput(enc, &next, &room);
        used = std::size_t(next - out.data());
        if (status == JXL_ENC_SUCCESS) {
            out.resize(used);
            return out;
        }
        if (status != JXL_ENC_NEED_MORE_OUTPUT)
            break;
        out.resize(out.size() * 2);
    }
    const bool memory = JxlEncoderGetError(enc) == JXL_ENC_ERR_OOM;
    return makeError(memory ? ErrorCode::TooLarge : ErrorCode::Invalid,
                     "JPEG XL not encoded (libjxl error " + std::to_string(int(JxlEncoderGetError(enc))) + ")");
}

Error encoderFailure(JxlEncoder* enc)
{
    return makeError(JxlEncoderGetError(enc) == JXL_ENC_ERR_OOM ? ErrorCode::TooLarge : ErrorCode::Invalid,
                     "JPEG XL not encoded (libjxl error " + std::to_string(int(JxlEncoderGetError(enc))) + ")");
}

// Level 5 (what every decoder must read) stops at 2^18 a side and 2^28 pixels.
bool needsLevel10(std::int64_t width, std::int64_t height)
{
    return width > (1 << 18) || height > (1 << 18) || width * height > (std::int64_t{1} << 28);
}

Result<std::vector<std::uint8_t>> encode(const Bitmap& bitmap, int quality)
{
    const EncoderPtr owner(JxlEncoderCreate(nullptr));
    JxlEncoder* enc = owner.get();
    if (!enc)
        return makeError(ErrorCode::TooLarge, "JPEG XL encoder not made");
    const RunnerPtr runner = runnerFor(std::int64_t(bitmap.width()) * bitmap.height());
    if (runner && JxlEncoderSetParallelRunner(enc, JxlThreadParallelRunner, runner.get()) != JXL_ENC_SUCCESS)
        return encoderFailure(enc);
    const double distance = jxlDistanceForQuality(quality);
    const bool lossless = distance == 0;
    JxlBasicInfo info;
    JxlEncoderInitBasicInfo(&info);
    info.xsize = std::uint32_t(bitmap.width());
    info.ysize = std::uint32_t(bitmap.height());
    info.bits_per_sample = 8;
    info.num_color_channels = 3;
    info.uses_original_profile = lossless ? JXL_TRUE : JXL_FALSE;
    JxlColorEncoding srgb;
    JxlColorEncodingSetToSRGB(&srgb, JXL_FALSE);
    if ((needsLevel10(info.xsize, info.ysize) && JxlEncoderSetCodestreamLevel(enc, 10) != JXL_ENC_SUCCESS) ||
        JxlEncoderSetBasicInfo(enc, &info) != JXL_ENC_SUCCESS ||
        JxlEncoderSetColorEncoding(enc, &srgb) != JXL_ENC_SUCCESS)
        return encoderFailure(enc);
    JxlEncoderFrameSettings* settings = JxlEncoderFrameSettingsCreate(enc, nullptr);
    if (!settings || (lossless ? JxlEncoderSetFrameLossless(settings, JXL_TRUE)
                               : JxlEncoderSetFrameDistance(settings, float(distance))) != JXL_ENC_SUCCESS)
        return encoderFailure(enc);
    const std::size_t rowBytes = std::size_t(bitmap.width()) * 3;
    std::vector<std::uint8_t> rgb(rowBytes * std::size_t(bitmap.height()));
    for (int y = 0; y < bitmap.height(); ++y)
        rgbRowToBgr(bitmap.row(y), bitmap.width(), rgb.data() + std::size_t(y) * rowBytes);
    const JxlPixelFormat format{3, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};
    if (JxlEncoderAddImageFrame(settings, &format, rgb.data(), rgb.size()) != JXL_ENC_SUCCESS)
        return encoderFailure(enc);
    rgb = {};  // libjxl has its own copy
    JxlEncoderCloseInput(enc);
    return drain(enc);
}

Result<std::vector<std::uint8_t>> transcode(Bytes jpeg)
{
    const EncoderPtr owner(JxlEncoderCreate(nullptr));
    JxlEncoder* enc = owner.get();
    if (!enc)
        return makeError(ErrorCode::TooLarge, "JPEG XL encoder not made");
    const RunnerPtr runner = runnerFor(std::int64_t(jpeg.size()) * 8);
    if (runner && JxlEncoderSetParallelRunner(enc, JxlThreadParallelRunner, runner.get()) != JXL_ENC_SUCCESS)
        return encoderFailure(enc);
    if (JxlEncoderUseContainer(enc, JXL_TRUE) != JXL_ENC_SUCCESS ||
        JxlEncoderStoreJPEGMetadata(enc, JXL_TRUE) != JXL_ENC_SUCCESS)
        return encoderFailure(enc);
    JxlEncoderFrameSettings* settings = JxlEncoderFrameSettingsCreate(enc, nullptr);
    if (!settings || JxlEncoderAddJPEGFrame(settings, jpeg.data(), jpeg.size()) != JXL_ENC_SUCCESS)
        return makeError(ErrorCode::Unsupported, "this JPEG cannot be recompressed losslessly");
    JxlEncoderCloseInput(enc);
    return drain(enc);
}

template <class Encode>
Result<std::vector<std::uint8_t>> encodeGuarded(Encode&& encode)
{
    try {
        return encode();
    } catch (const std::bad_alloc&) {
        return makeError(ErrorCode::TooLarge, "not enough memory for the JPEG XL");
    }
}

}  // namespace

bool looksLikeJxl(Bytes head)
{
    const JxlSignature sig = JxlSignatureCheck(head.data(), head.size());
    return sig == JXL_SIG_CODESTREAM || sig == JXL_SIG_CONTAINER;
}

HeaderProbe probeJxl(Bytes head, std::uint64_t fileSize, const DecodeLimits& limits)
{
    auto header = readHeader(head);
    if (!header)
        return {header.error()};
    if (header.value().truncated)
        return {damaged("file is truncated"), fileSize > head.size()};
    const JxlBasicInfo& info = header.value().info;
    if (Status ok = checkHeader(info, fileSize, limits); !ok)
        return {ok.error()};
    return {PictureSize{int(info.xsize), int(info.ysize)}, false, orientationOf(info)};
}

Result<DecodedImage> decodeJxl(Bytes file, const DecodeLimits& limits)
{
    return decodeGuarded("JPEG XL", [&] { return decode(file, limits); });
}

// cjxl's own mapping: roughly libjpeg's qualities, linear from distance 0.1 at 100 down to
// 6.4 at 30, then growing as a power below. Qualities under 5 would pass 25, the most libjxl
// takes (cjxl fails there), so they stop at it.
double jxlDistanceForQuality(int quality)
{
    constexpr double kMaxDistance = 25.0;
    if (quality >= 100)
        return 0.0;
    if (quality >= 30)
        return 0.1 + (100 - quality) * 0.09;
    return std::min(kMaxDistance, 6.4 + std::pow(2.5, (30 - quality) / 5.0) / 6.25);
}

Result<std::vector<std::uint8_t>> encodeJxl(const Bitmap& bitmap, int quality)
{
    if (bitmap.empty())
        return makeError(ErrorCode::Invalid, "empty picture");
    if (quality < 1 || quality > 100)
        return makeError(ErrorCode::Invalid, "JPEG XL quality must be 1 to 100");
    return encodeGuarded([&] { return encode(bitmap, quality); });
}

Result<std::vector<std::uint8_t>> transcodeJpegToJxl(Bytes jpeg)
{
    return encodeGuarded([&] { return transcode(jpeg); });
}

}  // namespace trimlet
