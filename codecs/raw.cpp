#include "codecs/raw.h"

#include <libraw/libraw.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "codecs/jpeg.h"
#include "codecs/rgba_rows.h"

namespace trimlet {

namespace {

Error failed(ErrorCode code, const std::string& what) { return makeError(code, "camera raw " + what); }

// done: what the step would have made of the file, "opened", "unpacked" or "developed".
Error libRawError(int code, const char* done)
{
    if (code == LIBRAW_FILE_UNSUPPORTED)
        return makeError(ErrorCode::Unsupported, "not a camera raw file LibRaw knows");
    if (code == LIBRAW_UNSUFFICIENT_MEMORY || code == LIBRAW_TOO_BIG)
        return failed(ErrorCode::TooLarge, std::string("too large to be ") + done);
    return failed(ErrorCode::Corrupt, std::string("not ") + done + ": " + libraw_strerror(code));
}

// LibRaw keeps the flip as bits (1 mirror left-right, 2 upside down, 4 transpose); the
// orientations of EXIF in that numbering.
int orientationOfFlip(int flip)
{
    static constexpr int kOrientation[8] = {1, 2, 4, 3, 5, 8, 6, 7};
    return kOrientation[flip & 7];
}

// The file's bytes as LibRaw reads a file: a seek past the end stays there and reads nothing.
// LibRaw's own buffer stream clamps such seeks to the end, which sends 0.20's TIFF parser
// through a crafted file's IFDs into memory it does not own; read as a file, the same bytes
// fail cleanly as "unexpected end of file".
class FileLikeStream final : public LibRaw_abstract_datastream {
public:
    explicit FileLikeStream(Bytes bytes) : bytes_(bytes) {}
    int valid() override { return 1; }
    int read(void* ptr, size_t size, size_t count) override
    {
        if (size == 0 || pos_ < 0 || pos_ >= end())
            return 0;
        const size_t n = std::min(count, size_t(end() - pos_) / size);
        std::memcpy(ptr, bytes_.data() + pos_, n * size);
        pos_ += INT64(n * size);
        return int(n);
    }
    int seek(INT64 offset, int whence) override
    {
        const INT64 base = whence == SEEK_CUR ? pos_ : whence == SEEK_END ? end() : 0;
        if (offset < 0 ? base + offset < 0 : base > INT64_MAX - offset)
            return -1;
        pos_ = base + offset;
        return 0;
    }
    INT64 tell() override { return pos_; }
    INT64 size() override { return end(); }
    int get_char() override { return pos_ >= 0 && pos_ < end() ? bytes_[size_t(pos_++)] : -1; }
    char* gets(char* s, int size) override
    {
        if (size < 1 || pos_ < 0 || pos_ >= end())
            return nullptr;
        int n = 0;
        while (n < size - 1 && pos_ < end()) {
            const char c = char(bytes_[size_t(pos_++)]);
            s[n++] = c;
            if (c == '\n')
                break;
        }
        s[n] = 0;
        return s;
    }
    // LibRaw asks only for "%d" and "%f".
    int scanf_one(const char* fmt, void* value) override
    {
        while (pos_ >= 0 && pos_ < end() && std::strchr(" \t\r\n\v\f", bytes_[size_t(pos_)]) && bytes_[size_t(pos_)])
            ++pos_;
        char text[32] = {};
        size_t n = 0;
        while (n + 1 < sizeof text && pos_ + INT64(n) >= 0 && pos_ + INT64(n) < end() &&
               std::strchr("+-.0123456789eE", bytes_[size_t(pos_) + n]) && bytes_[size_t(pos_) + n])
            text[n] = char(bytes_[size_t(pos_) + n]), ++n;
        char* stop = text;
        if (std::strcmp(fmt, "%d") == 0)
            *static_cast<int*>(value) = int(std::strtol(text, &stop, 10));
        else
            *static_cast<float*>(value) = std::strtof(text, &stop);
        if (stop == text)
            return -1;
        pos_ += stop - text;
        return 1;
    }
    int eof() override { return pos_ >= end(); }
    void* make_jas_stream() override { return nullptr; }

private:
    INT64 end() const { return INT64(bytes_.size()); }
    Bytes bytes_;
    INT64 pos_ = 0;
};

struct Opened {
    std::unique_ptr<FileLikeStream> stream;  // outlives raw, which reads it until it goes
    std::unique_ptr<LibRaw> raw;
    PictureSize size;  // as developed, before the orientation
    int orientation = 1;
};

int betweenBands(void* data, LibRaw_progress, int, int)
{
    const auto* limits = static_cast<const DecodeLimits*>(data);
    if (limits->betweenBands)
        limits->betweenBands();
    return 0;
}

// Opens the file's headers and checks what unpacking and developing them would take: the sensor
// data against the file's bytes, LibRaw's buffers and the bitmap against the cap. With
// finalSize the size is LibRaw's for the developed picture (pixel aspect and Fuji's turn
// applied), after which LibRaw develops nothing more; without, the sensor's visible area.
Result<Opened> openRaw(Bytes file, std::uint64_t fileSize, const DecodeLimits& limits, bool finalSize)
{
    Opened o{std::make_unique<FileLikeStream>(file),
             std::make_unique<LibRaw>(LIBRAW_OPIONS_NO_MEMERR_CALLBACK | LIBRAW_OPIONS_NO_DATAERR_CALLBACK),
             {},
             1};
    libraw_output_params_t& params = o.raw->imgdata.params;
    const std::int64_t cap = std::min(limits.maxBitmapBytes, kMaxBitmapBytes);
    params.max_raw_memory_mb = unsigned(std::max<std::int64_t>(cap >> 20, 1));
    params.user_flip = 0;  // the orientation is applied with every other format's
    if (int rc = o.raw->open_datastream(o.stream.get()); rc != LIBRAW_SUCCESS)
        return libRawError(rc, "opened");
    const libraw_image_sizes_t& sizes = o.raw->imgdata.sizes;
    const std::int64_t rawPixels = std::int64_t(sizes.raw_width) * sizes.raw_height;
    if (rawPixels <= 0 || sizes.width == 0 || sizes.height == 0)
        return failed(ErrorCode::Corrupt, "without a picture size");
    if (std::uint64_t(rawPixels) / kMaxRawPixelsPerFileByte > fileSize)
        return failed(ErrorCode::Corrupt, "file too small for its sensor of " + std::to_string(sizes.raw_width) +
                                              " x " + std::to_string(sizes.raw_height) + " pixels");
    o.orientation = orientationOfFlip(sizes.flip);
    o.size = {sizes.width, sizes.height};
    if (finalSize) {
        if (int rc = o.raw->adjust_sizes_info_only(); rc != LIBRAW_SUCCESS)
            return libRawError(rc, "opened");
        o.size = {sizes.iwidth, sizes.iheight};
    }
    const std::int64_t developed = std::int64_t(o.size.width) * o.size.height;
    if (rawPixels > cap / 8 || developed > cap / 8 || !Bitmap::sizeAllowed(o.size.width, o.size.height, cap))
        return failed(ErrorCode::TooLarge, "of " + std::to_string(o.size.width) + " x " +
                                               std::to_string(o.size.height) + " pixels is too large");
    return o;
}

// The embedded preview when it is a picture of about the developed size, else nothing.
std::optional<DecodedImage> previewOf(LibRaw& raw, PictureSize developed, std::uint64_t fileSize,
                                      const DecodeLimits& limits)
{
    const libraw_thumbnail_t& thumb = raw.imgdata.thumbnail;
    const auto largeEnough = [&](int w, int h) {
        return w >= developed.width - developed.width / 16 && h >= developed.height - developed.height / 16;
    };
    // LibRaw would allocate a preview of any declared length before reading it.
    if (!largeEnough(thumb.twidth, thumb.theight) || thumb.tlength > fileSize || raw.unpack_thumb() != LIBRAW_SUCCESS ||
        !thumb.thumb)
        return std::nullopt;
    const auto* data = reinterpret_cast<const std::uint8_t*>(thumb.thumb);
    if (thumb.tformat == LIBRAW_THUMBNAIL_JPEG) {
        DecodeLimits own = limits;
        own.betweenBands = {};
        auto jpeg = decodeJpeg({data, thumb.tlength}, own);
        if (!jpeg || !largeEnough(jpeg.value().bitmap.width(), jpeg.value().bitmap.height()))
            return std::nullopt;
        return std::move(jpeg).value();
    }
    const std::int64_t w = thumb.twidth, h = thumb.theight;
    if (thumb.tformat != LIBRAW_THUMBNAIL_BITMAP || thumb.tcolors != 3 || std::int64_t(thumb.tlength) < w * h * 3)
        return std::nullopt;
    if (!Bitmap::sizeAllowed(w, h, std::min(limits.maxBitmapBytes, kMaxBitmapBytes)))
        return std::nullopt;
    DecodedImage image{Bitmap(int(w), int(h), Bitmap::Init::Uninitialized)};
    for (int y = 0; y < h; ++y)
        rgbRowToBgr(data + y * w * 3, int(w), image.bitmap.row(y));
    return image;
}

struct MemImageDeleter {
    void operator()(libraw_processed_image_t* image) const { LibRaw::dcraw_clear_mem(image); }
};

Result<DecodedImage> develop(LibRaw& raw, const DecodeLimits& limits)
{
    libraw_output_params_t& params = raw.imgdata.params;
    params.use_camera_wb = 1;
    params.output_color = 1;  // sRGB
    params.output_bps = 8;
    params.gamm[0] = 1 / 2.4;  // the sRGB curve rather than BT.709's
    params.gamm[1] = 12.92;
    params.user_qual = 3;  // AHD
    raw.set_progress_handler(betweenBands, const_cast<DecodeLimits*>(&limits));
    if (int rc = raw.unpack(); rc != LIBRAW_SUCCESS)
        return libRawError(rc, "unpacked");
    if (int rc = raw.dcraw_process(); rc != LIBRAW_SUCCESS)
        return libRawError(rc, "developed");
    int rc = LIBRAW_SUCCESS;
    const std::unique_ptr<libraw_processed_image_t, MemImageDeleter> out(raw.dcraw_make_mem_image(&rc));
    if (!out)
        return libRawError(rc, "developed");
    raw.recycle();  // its sensor and working buffers go before the bitmap comes
    if (out->type != LIBRAW_IMAGE_BITMAP || out->colors != 3 || out->bits != 8 || out->width == 0 || out->height == 0 ||
        std::uint64_t(out->data_size) < std::uint64_t(out->width) * out->height * 3)
        return failed(ErrorCode::Unsupported, "developed into an unexpected form");
    const int w = out->width, h = out->height;
    if (!Bitmap::sizeAllowed(w, h, std::min(limits.maxBitmapBytes, kMaxBitmapBytes)))
        return failed(ErrorCode::TooLarge, "developed too large");
    DecodedImage image{Bitmap(w, h, Bitmap::Init::Uninitialized)};
    for (int y = 0; y < h; ++y)
        rgbRowToBgr(out->data + std::size_t(y) * std::size_t(w) * 3, w, image.bitmap.row(y));
    return image;
}

}  // namespace

Result<DecodedImage> decodeRaw(Bytes file, const DecodeLimits& limits)
{
    return decodeGuarded("camera raw", [&]() -> Result<DecodedImage> {
        auto opened = openRaw(file, file.size(), limits, false);
        if (!opened)
            return opened.error();
        Opened& o = opened.value();
        std::optional<DecodedImage> preview;
        if (limits.rawPreview)
            preview = previewOf(*o.raw, o.size, file.size(), limits);
        auto image = preview ? Result<DecodedImage>(std::move(*preview)) : develop(*o.raw, limits);
        if (image)
            image.value().orientation = o.orientation;
        return image;
    });
}

HeaderProbe probeRaw(Bytes head, std::uint64_t fileSize, const DecodeLimits& limits)
{
    try {
        auto opened = openRaw(head, fileSize, limits, true);
        if (!opened) {
            const bool more = head.size() < fileSize && opened.error().code != ErrorCode::TooLarge;
            return {opened.error(), more};
        }
        return {opened.value().size, false, opened.value().orientation};
    } catch (const std::bad_alloc&) {
        return {failed(ErrorCode::TooLarge, "too large to be opened")};
    }
}

}  // namespace trimlet
