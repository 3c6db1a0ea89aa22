#include "codecs/tiff.h"

#include <tiffio.h>

#include <algorithm>
#include <bit>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "base/parallel.h"
#include "codecs/picture_file.h"
#include "codecs/rgba_rows.h"

namespace trimlet {

namespace {

// libtiff's RGBA raster is packed ABGR words: R, G, B, A in memory on a little-endian machine.
static_assert(std::endian::native == std::endian::little);

// Rows of raster handed out per read; a strip or tile band larger than this is read in parts.
constexpr std::uint64_t kRasterBandBytes = std::uint64_t{32} << 20;

// What the client procedures and the message handlers share with us.
struct TiffSource {
    const std::uint8_t* data;
    std::uint64_t size;      // bytes we hold
    std::uint64_t fileSize;  // bytes the file has (more than size when probing its start)
    std::uint64_t pos = 0;
    bool exhausted = false;    // a read asked for bytes past what we hold but inside the file
    bool failed = false;       // libtiff reported an error
    bool dataWarning = false;  // the JPEG codec warned about damaged data
    std::string message{};
    const RegularFile* file = nullptr;  // read from here, a little at a time, when data is null
};

tmsize_t readProc(thandle_t handle, void* out, tmsize_t count)
{
    auto* s = static_cast<TiffSource*>(handle);
    if (count < 0)
        return -1;
    const std::uint64_t left = s->pos < s->size ? s->size - s->pos : 0;
    std::uint64_t n = std::uint64_t(count);
    if (n > left) {
        s->exhausted |= s->pos + n <= s->fileSize;
        n = left;
    }
    if (n && s->file) {
        std::vector<std::uint8_t> bytes;
        try {
            auto read = s->file->readAt(s->pos, std::size_t(n));
            if (!read)
                return -1;
            bytes = std::move(read.value());
        } catch (const std::bad_alloc&) {
            return -1;  // nothing may be thrown through libtiff
        }
        n = bytes.size();  // fewer where the file shrank
        std::memcpy(out, bytes.data(), n);
    } else if (n) {
        std::memcpy(out, s->data + s->pos, n);
    }
    s->pos += n;
    return tmsize_t(n);
}

tmsize_t writeProc(thandle_t, void*, tmsize_t) { return -1; }

toff_t seekProc(thandle_t handle, toff_t offset, int whence)
{
    auto* s = static_cast<TiffSource*>(handle);
    const std::uint64_t base = whence == SEEK_CUR ? s->pos : whence == SEEK_END ? s->fileSize : 0;
    if (offset > ~std::uint64_t{0} - base)
        return toff_t(-1);
    s->pos = base + offset;
    return s->pos;
}

int closeProc(thandle_t) { return 0; }
toff_t sizeProc(thandle_t handle) { return static_cast<TiffSource*>(handle)->fileSize; }

int mapProc(thandle_t handle, void** base, toff_t* size)
{
    auto* s = static_cast<TiffSource*>(handle);
    if (!s->data || s->size != s->fileSize)
        return 0;                                // a file read as needed, or a probe's start
    *base = const_cast<std::uint8_t*>(s->data);  // libtiff only reads a read-only map
    *size = s->size;
    return 1;
}

void unmapProc(thandle_t, void*, toff_t) {}

std::string format(const char* fmt, va_list args)
{
    char text[256];
    std::vsnprintf(text, sizeof text, fmt, args);
    return text;
}

int onError(TIFF*, void* user, const char* module, const char* fmt, va_list args)
{
    auto* s = static_cast<TiffSource*>(user);
    const std::string message = format(fmt, args);
    // An Orientation out of range only loses the tag, which then reads as 1, as JPEG's and
    // PNG's do; libtiff reports it as an error all the same.
    if (module && std::strcmp(module, "_TIFFVSetField") == 0 && message.find("\"Orientation\"") != std::string::npos)
        return 1;
    if (!s->failed)
        s->message = message;
    s->failed = true;
    return 1;  // handled: nothing reaches stderr
}

int onWarning(TIFF*, void* user, const char* module, const char* fmt, va_list args)
{
    auto* s = static_cast<TiffSource*>(user);
    // libjpeg's warnings (premature end, bad Huffman codes) mean pixels it made up.
    if (module && std::strcmp(module, "JPEGLib") == 0 && !s->dataWarning) {
        s->dataWarning = true;
        s->message = format(fmt, args);
    }
    return 1;
}

struct TiffCloser {
    void operator()(TIFF* tif) const { TIFFClose(tif); }
};
using TiffHandle = std::unique_ptr<TIFF, TiffCloser>;

struct OptionsFree {
    void operator()(TIFFOpenOptions* o) const { TIFFOpenOptionsFree(o); }
};

TiffHandle openTiff(TiffSource& source, std::int64_t cap)
{
    std::unique_ptr<TIFFOpenOptions, OptionsFree> options(TIFFOpenOptionsAlloc());
    if (!options)
        return nullptr;
    // No single buffer of libtiff's (a whole strip, a tile, the strip tables) may pass the cap
    // on our own bitmap, counted at four bytes a pixel.
    TIFFOpenOptionsSetMaxSingleMemAlloc(options.get(), tmsize_t(cap / 3 * 4));
    TIFFOpenOptionsSetErrorHandlerExtR(options.get(), onError, &source);
    TIFFOpenOptionsSetWarningHandlerExtR(options.get(), onWarning, &source);
    // "D": strip tables are read when first needed, so a probe needs the directory only.
    return TiffHandle(TIFFClientOpenExt("tiff", "rD", &source, readProc, writeProc, seekProc, closeProc, sizeProc,
                                        mapProc, unmapProc, options.get()));
}

struct TiffSize {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
};

Error tiffFailure(const TiffSource& source, const char* what)
{
    return makeError(ErrorCode::Corrupt,
                     std::string("damaged TIFF: ") + (source.message.empty() ? what : source.message));
}

// The first directory's size, checked against the cap, and whether libtiff's RGBA reader
// takes its layout.
Result<TiffSize> readDirectory(const TiffSource& source, TIFF* tif, std::int64_t cap)
{
    if (!tif)
        return tiffFailure(source, "not a TIFF file");
    TiffSize size;
    if (!TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &size.width) || !TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &size.height) ||
        size.width == 0 || size.height == 0)
        return tiffFailure(source, "no image size");
    if (!Bitmap::sizeAllowed(size.width, size.height, cap))
        return makeError(ErrorCode::TooLarge, "TIFF of " + std::to_string(size.width) + " x " +
                                                  std::to_string(size.height) + " pixels is too large");
    char why[1024] = "";
    if (!TIFFRGBAImageOK(tif, why))
        return makeError(ErrorCode::Unsupported, std::string("TIFF not supported: ") + why);
    return size;
}

std::int64_t capOf(const DecodeLimits& limits) { return std::min(limits.maxBitmapBytes, kMaxBitmapBytes); }

// How many times a strip's bytes can grow when decompressed; 0 when the compression has no
// useful bound, so that only the pixel rule applies.
std::uint64_t maxExpansion(std::uint16_t compression)
{
    switch (compression) {
    case COMPRESSION_NONE: return 1;
    case COMPRESSION_PACKBITS: return 64;  // 2 bytes → 128
    case COMPRESSION_LZW: return 4096;     // ≥ 9 bits → ≤ 4096 bytes
    case COMPRESSION_DEFLATE:
    case COMPRESSION_ADOBE_DEFLATE: return 1032;  // deflate's own limit
    default: return 0;
    }
}

// Every strip or tile lies inside the file and their bytes can hold the declared picture.
Status checkDataPresent(TIFF* tif, const TiffSize& size, std::uint64_t fileSize)
{
    const std::uint32_t count = TIFFIsTiled(tif) ? TIFFNumberOfTiles(tif) : TIFFNumberOfStrips(tif);
    std::uint64_t total = 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        int missing = 0;
        const std::uint64_t offset = TIFFGetStrileOffsetWithErr(tif, i, &missing);
        const std::uint64_t bytes = TIFFGetStrileByteCountWithErr(tif, i, &missing);
        if (missing || bytes == 0 || offset > fileSize || bytes > fileSize - offset)
            return makeError(ErrorCode::Corrupt, "damaged TIFF: image data missing or outside the file");
        total += bytes;
    }
    std::uint16_t compression = COMPRESSION_NONE, planar = PLANARCONFIG_CONTIG, samples = 1;
    TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &compression);
    TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &planar);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
    const std::uint64_t ratio = maxExpansion(compression);
    const std::uint64_t rawBytes =
        std::uint64_t(TIFFScanlineSize64(tif)) * size.height * (planar == PLANARCONFIG_SEPARATE ? samples : 1);
    const bool enough = ratio ? total >= rawBytes / ratio : fileCanHoldPixels(total, size.width, size.height);
    if (count == 0 || !enough)
        return makeError(ErrorCode::Corrupt, "damaged TIFF: file too small for its image size");
    return {};
}

// libtiff would premultiply unassociated alpha into the colours; our pictures keep the stored
// colour, so the directory is told its alpha is associated already.
void keepStoredColours(TIFF* tif)
{
    std::uint16_t count = 0;
    std::uint16_t* types = nullptr;
    if (!TIFFGetField(tif, TIFFTAG_EXTRASAMPLES, &count, &types) || !types)
        return;
    std::vector<std::uint16_t> changed(types, types + count);
    std::replace(changed.begin(), changed.end(), std::uint16_t(EXTRASAMPLE_UNASSALPHA),
                 std::uint16_t(EXTRASAMPLE_ASSOCALPHA));
    TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, count, changed.data());
}

// True when the first extra sample is alpha already multiplied into the colours.
bool associatedAlpha(TIFF* tif)
{
    std::uint16_t count = 0;
    std::uint16_t* types = nullptr;
    return TIFFGetFieldDefaulted(tif, TIFFTAG_EXTRASAMPLES, &count, &types) && count >= 1 && types &&
           types[0] == EXTRASAMPLE_ASSOCALPHA;
}

// at[a][c]: the stored colour of colour c multiplied by alpha a, rounded to nearest, at most 255;
// of alpha 0 it stays as stored.
struct UnpremultiplyTable {
    std::uint8_t at[256][256];
    UnpremultiplyTable()
    {
        for (unsigned a = 0; a < 256; ++a)
            for (unsigned c = 0; c < 256; ++c)
                at[a][c] = std::uint8_t(a == 0 ? c : std::min(255u, (c * 255 + a / 2) / a));
    }
};

const UnpremultiplyTable& unpremultiplyTable()
{
    static const UnpremultiplyTable table;
    return table;
}

// count pixels of associated alpha to their stored colour, in place: three colour bytes every
// colourStep bytes from colours, their alpha every alphaStep bytes from alpha.
void unpremultiply(const std::uint8_t* alpha, std::size_t alphaStep, std::uint8_t* colours, std::size_t colourStep,
                   std::uint32_t count)
{
    const auto& table = unpremultiplyTable().at;
    for (std::uint32_t x = 0; x < count; ++x, alpha += alphaStep, colours += colourStep) {
        const std::uint8_t* row = table[*alpha];
        colours[0] = row[colours[0]];
        colours[1] = row[colours[1]];
        colours[2] = row[colours[2]];
    }
}

int orientationOf(TIFF* tif)
{
    std::uint16_t orientation = ORIENTATION_TOPLEFT;
    TIFFGetFieldDefaulted(tif, TIFFTAG_ORIENTATION, &orientation);
    return orientation >= 1 && orientation <= 8 ? orientation : 1;
}

void readMetadata(TIFF* tif, DecodedImage& image)
{
    std::uint16_t photometric = PHOTOMETRIC_MINISBLACK;
    image.orientation = orientationOf(tif);
    TIFFGetFieldDefaulted(tif, TIFFTAG_PHOTOMETRIC, &photometric);
    const bool rgbOrGrey = photometric == PHOTOMETRIC_RGB || photometric == PHOTOMETRIC_YCBCR ||
                           photometric == PHOTOMETRIC_PALETTE || photometric == PHOTOMETRIC_MINISBLACK;
    std::uint32_t length = 0;
    void* profile = nullptr;
    if (rgbOrGrey && TIFFGetField(tif, TIFFTAG_ICCPROFILE, &length, &profile) && profile && length) {
        const auto* bytes = static_cast<const std::uint8_t*>(profile);
        image.iccProfile.assign(bytes, bytes + length);
    }
}

struct RgbaImage {
    TIFFRGBAImage img{};
    bool started = false;
    ~RgbaImage()
    {
        if (started)
            TIFFRGBAImageEnd(&img);
    }
};

// Rows per read: whole strips or tile rows while they fit the band budget, else a multiple of
// 16 rows (whole YCbCr subsampling blocks).
std::uint32_t bandRows(TIFF* tif, std::uint32_t width, std::uint32_t height)
{
    std::uint32_t unit = height;
    if (TIFFIsTiled(tif))
        TIFFGetField(tif, TIFFTAG_TILELENGTH, &unit);
    else
        TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &unit);
    unit = std::clamp<std::uint32_t>(unit, 1, height);
    const std::uint64_t fit = std::max<std::uint64_t>(kRasterBandBytes / (std::uint64_t(width) * 4), 1);
    if (unit <= fit)
        return std::uint32_t(std::min<std::uint64_t>(fit / unit * unit, height));
    return std::uint32_t(std::min<std::uint64_t>(std::max<std::uint64_t>(fit / 16 * 16, 16), height));
}

Status readPixels(TIFF* tif, TiffSource& source, bool storedAssociated, DecodedImage& image)
{
    RgbaImage rgba;
    char why[1024] = "";
    if (!TIFFRGBAImageBegin(&rgba.img, tif, 1, why))
        return makeError(ErrorCode::Unsupported, std::string("TIFF not supported: ") + why);
    rgba.started = true;
    // Rows in stored order; the Orientation tag is applied after decoding like EXIF's.
    rgba.img.req_orientation = ORIENTATION_TOPLEFT;
    rgba.img.orientation = ORIENTATION_TOPLEFT;
    // libtiff rounds 16-bit colour samples to 8 bits; like PNG's, ours keep their high byte.
    if (std::uint8_t* table = rgba.img.Bitdepth16To8)
        for (unsigned v = 0; v < 65536; ++v)
            table[v] = std::uint8_t(v >> 8);

    Bitmap& bitmap = image.bitmap;
    const auto width = std::uint32_t(bitmap.width());
    const auto height = std::uint32_t(bitmap.height());
    const bool alpha = rgba.img.alpha != 0;
    const bool associated = alpha && storedAssociated;
    if (alpha)
        image.mask.resize(std::size_t(width) * height);
    const std::uint32_t band = bandRows(tif, width, height);
    std::vector<std::uint32_t> raster(std::size_t(width) * band);
    for (std::uint32_t y = 0; y < height; y += band) {
        const std::uint32_t rows = std::min(band, height - y);
        rgba.img.row_offset = int(y);
        rgba.img.col_offset = 0;
        if (!TIFFRGBAImageGet(&rgba.img, raster.data(), width, rows) || source.failed || source.dataWarning)
            return tiffFailure(source, "image data not decoded");
        auto* bytes = reinterpret_cast<std::uint8_t*>(raster.data());
        for (std::uint32_t r = 0; r < rows; ++r) {
            std::uint8_t* mask = alpha ? &image.mask[std::size_t(y + r) * width] : nullptr;
            if (associated)
                unpremultiply(bytes + std::size_t(r) * width * 4 + 3, 4, bytes + std::size_t(r) * width * 4, 4, width);
            rgbaRowToBgr(bytes + std::size_t(r) * width * 4, int(width), bitmap.row(int(y + r)), mask);
        }
    }
    return {};
}

// A layout whose strips or tiles hold the pixels as the RGBA reader would show them, so that
// they can be read one by one, on any core: unsigned 8- or 16-bit samples, interleaved, grey
// or RGB, maybe alpha, through a codec that gives back plain samples.
struct PlainLayout {
    bool tiled = false;
    std::uint32_t unitWidth = 0, unitHeight = 0;  // a tile, or the picture's width × a strip's rows
    int samples = 1;                              // per pixel
    int sampleBytes = 1;
    bool grey = false;
    bool alpha = false;       // the fourth sample (RGB) or the second (grey)
    bool associated = false;  // alpha multiplied into the colours
};

std::optional<PlainLayout> plainLayout(TIFF* tif, const TiffSize& size)
{
    std::uint16_t bits = 1, samples = 1, planar = PLANARCONFIG_CONTIG, photometric = 0;
    std::uint16_t compression = COMPRESSION_NONE, format = SAMPLEFORMAT_UINT;
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &planar);
    TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &compression);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLEFORMAT, &format);
    if (!TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric) || planar != PLANARCONFIG_CONTIG ||
        format != SAMPLEFORMAT_UINT || (bits != 8 && bits != 16))
        return std::nullopt;
    if (compression != COMPRESSION_NONE && compression != COMPRESSION_LZW && compression != COMPRESSION_DEFLATE &&
        compression != COMPRESSION_ADOBE_DEFLATE && compression != COMPRESSION_PACKBITS)
        return std::nullopt;
    std::uint16_t extraCount = 0;
    std::uint16_t* extra = nullptr;
    TIFFGetFieldDefaulted(tif, TIFFTAG_EXTRASAMPLES, &extraCount, &extra);
    const bool marked =
        extraCount >= 1 && extra && (extra[0] == EXTRASAMPLE_ASSOCALPHA || extra[0] == EXTRASAMPLE_UNASSALPHA);
    PlainLayout layout;
    layout.samples = samples;
    layout.sampleBytes = bits / 8;
    if (photometric == PHOTOMETRIC_RGB && samples == 3) {
        layout.alpha = false;
    } else if (photometric == PHOTOMETRIC_RGB && samples == 4) {
        layout.alpha = true;  // the RGBA reader takes a fourth sample as alpha whatever it is called
    } else if (photometric == PHOTOMETRIC_MINISBLACK && samples == 1) {
        layout.grey = true;
    } else if (photometric == PHOTOMETRIC_MINISBLACK && samples == 2 && bits == 8) {
        layout.grey = true;
        layout.alpha = marked;
    } else {
        return std::nullopt;
    }
    layout.associated = layout.alpha && extraCount >= 1 && extra && extra[0] == EXTRASAMPLE_ASSOCALPHA;
    layout.tiled = TIFFIsTiled(tif) != 0;
    if (layout.tiled) {
        if (!TIFFGetField(tif, TIFFTAG_TILEWIDTH, &layout.unitWidth) ||
            !TIFFGetField(tif, TIFFTAG_TILELENGTH, &layout.unitHeight) || layout.unitWidth == 0 ||
            layout.unitHeight == 0)
            return std::nullopt;
    } else {
        std::uint32_t rows = size.height;
        TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &rows);
        layout.unitWidth = size.width;
        layout.unitHeight = std::clamp<std::uint32_t>(rows, 1, size.height);
    }
    return layout;
}

// The strips or tiles under a region, in file order, and where each one lies.
struct Units {
    std::uint32_t first = 0, across = 1;  // of the grid: the top-left unit and the grid's width
    std::uint32_t columns = 0, rows = 0;  // units under the region
};

Units unitsUnder(const PlainLayout& layout, const TiffSize& size, PictureRegion r)
{
    Units u;
    u.across = (size.width + layout.unitWidth - 1) / layout.unitWidth;
    const std::uint32_t x0 = std::uint32_t(r.x) / layout.unitWidth;
    const std::uint32_t y0 = std::uint32_t(r.y) / layout.unitHeight;
    u.columns = (std::uint32_t(r.x + r.width) - 1) / layout.unitWidth - x0 + 1;
    u.rows = (std::uint32_t(r.y + r.height) - 1) / layout.unitHeight - y0 + 1;
    u.first = y0 * u.across + x0;
    return u;
}

// One unit's samples to the part of the region it covers. buffer holds the unit's rows of
// unitWidth pixels each; (ux, uy) is its top-left pixel in the picture.
void placeUnit(const PlainLayout& layout, const std::uint8_t* buffer, std::uint32_t ux, std::uint32_t uy,
               PictureRegion r, DecodedImage& image)
{
    const std::uint32_t x0 = std::max<std::uint32_t>(ux, std::uint32_t(r.x));
    const std::uint32_t x1 = std::min<std::uint32_t>(ux + layout.unitWidth, std::uint32_t(r.x + r.width));
    const std::uint32_t y0 = std::max<std::uint32_t>(uy, std::uint32_t(r.y));
    const std::uint32_t y1 = std::min<std::uint32_t>(uy + layout.unitHeight, std::uint32_t(r.y + r.height));
    const std::size_t pixelBytes = std::size_t(layout.samples) * std::size_t(layout.sampleBytes);
    const std::size_t unitRow = std::size_t(layout.unitWidth) * pixelBytes;
    const int n = layout.samples;
    const auto regionWidth = std::size_t(r.width);
    for (std::uint32_t y = y0; y < y1; ++y) {
        const std::uint8_t* s = buffer + std::size_t(y - uy) * unitRow + std::size_t(x0 - ux) * pixelBytes;
        std::uint8_t* d = image.bitmap.row(int(y) - r.y) + std::size_t(x0 - std::uint32_t(r.x)) * 3;
        std::uint8_t* m =
            layout.alpha ? &image.mask[std::size_t(int(y) - r.y) * regionWidth + (x0 - std::uint32_t(r.x))] : nullptr;
        const std::uint32_t count = x1 - x0;
        const std::uint8_t* const alpha = s + pixelBytes - 1;  // the last sample's (high) byte
        std::uint8_t* const placed = d;
        if (layout.sampleBytes == 2) {
            // Samples in the machine's order; the high byte, as the RGBA reader is told to keep.
            const auto* w = reinterpret_cast<const std::uint16_t*>(s);
            for (std::uint32_t x = 0; x < count; ++x, w += n, d += 3) {
                const int g = layout.grey ? 0 : 1, b = layout.grey ? 0 : 2;
                d[0] = std::uint8_t(w[b] >> 8);
                d[1] = std::uint8_t(w[g] >> 8);
                d[2] = std::uint8_t(w[0] >> 8);
                if (m)
                    m[x] = (w[3] >> 8) == 0;
            }
        } else if (layout.grey) {
            for (std::uint32_t x = 0; x < count; ++x, s += n, d += 3) {
                d[0] = d[1] = d[2] = s[0];
                if (m)
                    m[x] = s[1] == 0;
            }
        } else {
            for (std::uint32_t x = 0; x < count; ++x, s += n, d += 3) {
                d[0] = s[2];
                d[1] = s[1];
                d[2] = s[0];
                if (m)
                    m[x] = s[3] == 0;
            }
        }
        if (layout.associated)
            unpremultiply(alpha, pixelBytes, placed, 3, count);
    }
}

// What one thread made of its units: nothing, or the first failure.
struct RunFailure {
    bool failed = false;
    std::string message;
};

// Reads units [begin, end) of those under the region through tif and places them.
void readUnits(TIFF* tif, TiffSource& source, const PlainLayout& layout, const TiffSize& size, const Units& units,
               PictureRegion r, int begin, int end, DecodedImage& image, RunFailure& failure)
{
    const tmsize_t unitBytes = layout.tiled ? TIFFTileSize(tif) : TIFFStripSize(tif);
    if (unitBytes <= 0) {
        failure = {true, source.message.empty() ? "no strip size" : source.message};
        return;
    }
    ByteBuffer buffer(static_cast<std::size_t>(unitBytes));
    for (int i = begin; i < end; ++i) {
        const std::uint32_t index =
            units.first + std::uint32_t(i) / units.columns * units.across + std::uint32_t(i) % units.columns;
        const std::uint32_t ux = index % units.across * layout.unitWidth;
        const std::uint32_t uy = index / units.across * layout.unitHeight;
        // A strip at the bottom may be shorter; a tile is always whole.
        const tmsize_t want =
            layout.tiled ? unitBytes
                         : tmsize_t(TIFFScanlineSize64(tif)) * tmsize_t(std::min(layout.unitHeight, size.height - uy));
        const tmsize_t got = layout.tiled ? TIFFReadEncodedTile(tif, index, buffer.data(), want)
                                          : TIFFReadEncodedStrip(tif, index, buffer.data(), want);
        if (got != want || source.failed) {
            failure = {true, source.message.empty() ? "image data not decoded" : source.message};
            return;
        }
        placeUnit(layout, buffer.data(), ux, uy, r, image);
    }
}

// The region through the strips or tiles under it, shared out to the cores; each thread but the
// first reads through a handle of its own, since one handle cannot be shared.
Status readPlain(TIFF* tif, TiffSource& source, const PlainLayout& layout, const TiffSize& size, PictureRegion r,
                 std::int64_t cap, DecodedImage& image)
{
    const Units units = unitsUnder(layout, size, r);
    const int count = int(units.columns * units.rows);
    const int threads = std::min(threadsFor(std::int64_t(r.width) * r.height), count);
    std::mutex lock;
    RunFailure first;
    parallelFor(count, threads, [&](int begin, int end) {
        RunFailure failure;
        if (begin == 0) {
            readUnits(tif, source, layout, size, units, r, begin, end, image, failure);
        } else {
            TiffSource own{source.data, source.size, source.fileSize};
            own.file = source.file;
            const TiffHandle handle = openTiff(own, cap);
            if (handle)
                readUnits(handle.get(), own, layout, size, units, r, begin, end, image, failure);
            else
                failure = {true, "not opened again"};
        }
        const std::lock_guard<std::mutex> held(lock);
        if (failure.failed && !first.failed)
            first = failure;
    });
    if (first.failed)
        return makeError(ErrorCode::Corrupt, "damaged TIFF: " + first.message);
    return {};
}

// The picture, or the region of it, checked as a whole decode checks it.
Result<DecodedImage> decode(TiffSource& source, std::optional<PictureRegion> region, const DecodeLimits& limits,
                            bool rgbaReader = false)
{
    const std::int64_t cap = capOf(limits);
    TiffHandle tif = openTiff(source, cap);
    auto size = readDirectory(source, tif.get(), cap);
    if (!size)
        return size.error();
    if (Status present = checkDataPresent(tif.get(), size.value(), source.fileSize); !present)
        return present.error();
    const TiffSize whole = size.value();
    if (region && !regionInside(*region, int(whole.width), int(whole.height)))
        return makeError(ErrorCode::Invalid, "the region is not inside the picture");
    const std::optional<PlainLayout> plain = rgbaReader ? std::nullopt : plainLayout(tif.get(), whole);
    if (plain) {
        const PictureRegion r = region.value_or(PictureRegion{0, 0, int(whole.width), int(whole.height)});
        DecodedImage image{Bitmap(r.width, r.height, Bitmap::Init::Uninitialized)};
        readMetadata(tif.get(), image);
        if (plain->alpha)
            image.mask.resize(std::size_t(r.width) * std::size_t(r.height));
        if (Status read = readPlain(tif.get(), source, *plain, whole, r, cap, image); !read)
            return read.error();
        return image;
    }
    DecodedImage image{Bitmap(int(whole.width), int(whole.height), Bitmap::Init::Uninitialized)};
    readMetadata(tif.get(), image);
    const bool associated = associatedAlpha(tif.get());  // before keepStoredColours relabels
    keepStoredColours(tif.get());
    if (Status read = readPixels(tif.get(), source, associated, image); !read)
        return read.error();
    if (region)
        return regionOfImage(image, *region);
    return image;
}

HeaderProbe probeSource(TiffSource& source, const DecodeLimits& limits)
{
    const std::int64_t cap = capOf(limits);
    try {
        TiffHandle tif = openTiff(source, cap);
        auto size = readDirectory(source, tif.get(), cap);
        if (!size)
            return {size.error(), source.exhausted};
        return {PictureSize{int(size.value().width), int(size.value().height)}, false, orientationOf(tif.get())};
    } catch (const std::bad_alloc&) {
        return {makeError(ErrorCode::TooLarge, "not enough memory for the TIFF")};
    }
}

}  // namespace

HeaderProbe probeTiff(Bytes head, std::uint64_t fileSize, const DecodeLimits& limits)
{
    TiffSource source{head.data(), head.size(), std::max<std::uint64_t>(fileSize, head.size())};
    return probeSource(source, limits);
}

HeaderProbe probeTiff(const RegularFile& file, const DecodeLimits& limits)
{
    TiffSource source{nullptr, file.size(), file.size()};
    source.file = &file;
    return probeSource(source, limits);
}

Result<DecodedImage> decodeTiff(Bytes file, const DecodeLimits& limits)
{
    TiffSource source{file.data(), file.size(), file.size()};
    return decodeGuarded("TIFF", [&] { return decode(source, std::nullopt, limits); });
}

Result<DecodedImage> decodeTiffThroughRgba(Bytes file, const DecodeLimits& limits)
{
    TiffSource source{file.data(), file.size(), file.size()};
    return decodeGuarded("TIFF", [&] { return decode(source, std::nullopt, limits, true); });
}

Result<DecodedImage> decodeTiffRegion(Bytes file, PictureRegion region, const DecodeLimits& limits)
{
    TiffSource source{file.data(), file.size(), file.size()};
    return decodeGuarded("TIFF", [&] { return decode(source, region, limits); });
}

Result<DecodedImage> decodeTiffRegion(const RegularFile& file, PictureRegion region, const DecodeLimits& limits)
{
    TiffSource source{nullptr, file.size(), file.size()};
    source.file = &file;
    return decodeGuarded("TIFF", [&] { return decode(source, region, limits); });
}

}  // namespace trimlet
