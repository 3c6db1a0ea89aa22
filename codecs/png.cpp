#include "codecs/png.h"

#include <libdeflate.h>
#include <png.h>
#include <sys/mman.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "codecs/colour_profile.h"
#include "codecs/exif.h"
#include "codecs/picture_file.h"

namespace trimlet {

namespace {

// Deflate cannot expand data more than about 1032 times.
constexpr std::uint64_t kMaxInflateRatio = 1032;
// Metadata chunks are skipped, never held, so this only turns away absurd lengths.
constexpr png_alloc_size_t kMaxChunkBytes = png_alloc_size_t{64} << 20;

// All the libpng callbacks touch. Trivial, so a longjmp may leave it behind.
struct PngSource {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t pos;
    bool exhausted;  // a read asked for more than was left
    char message[160];
    // Reading a file a window at a time instead: data and size are the window, which starts at
    // byte windowStart of the file; its bytes live in the caller's frame.
    const RegularFile* file;
    std::vector<std::uint8_t>* window;
    std::uint64_t windowStart;
};

constexpr std::size_t kWindowBytes = std::size_t{1} << 20;

// Moves the window to the bytes from the file's byte `at` on; false when none are left there.
bool moveWindow(PngSource* source, std::uint64_t at, std::size_t atLeast)
{
    try {
        auto read = source->file->readAt(at, std::max(kWindowBytes, atLeast));
        if (!read || read.value().empty())
            return false;
        *source->window = std::move(read.value());
    } catch (const std::bad_alloc&) {
        return false;  // nothing may be thrown through libpng
    }
    source->windowStart = at;
    source->data = source->window->data();
    source->size = source->window->size();
    source->pos = 0;
    return true;
}

[[noreturn]] void failPng(png_structp png, png_const_charp text)
{
    auto* source = static_cast<PngSource*>(png_get_error_ptr(png));
    std::snprintf(source->message, sizeof source->message, "%s", text ? text : "libpng error");
    png_longjmp(png, 1);
}

// libpng only warns about a chunk longer than the chunk limit, then allocates all of it; for the
// chunks it keeps (eXIf, iCCP) that is memory for data the file has not shown, so it is an error.
void readWarning(png_structp png, png_const_charp text)
{
    constexpr png_uint_32 kExifChunk = 0x65584966;     // "eXIf"
    constexpr png_uint_32 kProfileChunk = 0x69434350;  // "iCCP"
    const png_uint_32 chunk = png_get_io_chunk_type(png);
    if (text && std::strstr(text, "chunk data is too large") && (chunk == kExifChunk || chunk == kProfileChunk))
        failPng(png, "chunk longer than the file can hold");
}

void readFromMemory(png_structp png, png_bytep out, png_size_t count)
{
    auto* source = static_cast<PngSource*>(png_get_io_ptr(png));
    if (source->file && count > source->size - source->pos &&
        !moveWindow(source, source->windowStart + source->pos, count)) {
        source->exhausted = true;
        png_error(png, "file is truncated");
    }
    if (count > source->size - source->pos) {
        source->exhausted = true;
        png_error(png, "file is truncated");
    }
    std::memcpy(out, source->data + source->pos, count);
    source->pos += count;
}

class PngReadHandle {
public:
    explicit PngReadHandle(PngSource* source)
        : png_(png_create_read_struct(PNG_LIBPNG_VER_STRING, source, failPng, readWarning))
    {
        if (png_)
            info_ = png_create_info_struct(png_);
    }
    ~PngReadHandle()
    {
        if (png_)
            png_destroy_read_struct(&png_, &info_, nullptr);
    }
    PngReadHandle(const PngReadHandle&) = delete;
    PngReadHandle& operator=(const PngReadHandle&) = delete;

    png_structp png() const { return png_; }
    png_infop info() const { return info_; }

private:
    png_structp png_ = nullptr;
    png_infop info_ = nullptr;
};

struct PngHeader {
    png_uint_32 width;
    png_uint_32 height;
    int bitDepth;
    int colorType;
    int orientation;  // of an eXIf chunk before the image data, else 1
};

struct PngRowLayout {
    png_size_t rowBytes;
    int channels;
    int bitDepth;
};

// The three functions below hold the setjmp; their frames keep only trivial locals.

bool readHeader(png_structp png, png_infop info, PngHeader* header)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_read_info(png, info);
    png_get_IHDR(png, info, &header->width, &header->height, &header->bitDepth, &header->colorType, nullptr, nullptr,
                 nullptr);
    png_uint_32 exifBytes = 0;
    png_bytep exif = nullptr;
    header->orientation = png_get_eXIf_1(png, info, &exifBytes, &exif) && exif ? exifOrientation({exif, exifBytes}) : 1;
    return true;
}

// Palette images come out as one index byte a pixel, the rest as 8-bit BGR.
bool startRows(png_structp png, png_infop info, bool indexed, PngRowLayout* layout)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    if (indexed) {
        png_set_packing(png);
    } else {
        // Not png_set_expand: it would turn a tRNS colour into an alpha channel.
        png_set_strip_16(png);
        png_set_strip_alpha(png);
        png_set_expand_gray_1_2_4_to_8(png);
        png_set_gray_to_rgb(png);
        png_set_bgr(png);
    }
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    layout->rowBytes = png_get_rowbytes(png, info);
    layout->channels = png_get_channels(png, info);
    layout->bitDepth = png_get_bit_depth(png, info);
    return true;
}

bool readRows(png_structp png, png_bytepp rows)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_read_image(png, rows);
    return true;
}

int channelsOf(int colorType)
{
    switch (colorType) {
    case PNG_COLOR_TYPE_GRAY_ALPHA: return 2;
    case PNG_COLOR_TYPE_RGB: return 3;
    case PNG_COLOR_TYPE_RGB_ALPHA: return 4;
    default: return 1;
    }
}

// True when the filtered image data cannot come out of a file this small.
bool beyondInflateRatio(const PngHeader& h, std::size_t fileSize)
{
    const std::uint64_t bitsPerRow = std::uint64_t(h.width) * unsigned(channelsOf(h.colorType) * h.bitDepth);
    const std::uint64_t rawRowBytes = 1 + (bitsPerRow + 7) / 8;  // filter byte + samples
    const std::uint64_t budget = std::uint64_t(fileSize) * kMaxInflateRatio;
    return h.height > budget / rawRowBytes;
}

struct PaletteTable {
    std::array<std::uint8_t, 256 * 3> bgr{};  // entries past the palette stay black
    std::array<std::uint8_t, 256> transparent{};
};

PaletteTable paletteTable(png_structp png, png_infop info)
{
    PaletteTable table;
    png_colorp colours = nullptr;
    int count = 0;
    if (png_get_PLTE(png, info, &colours, &count) && colours)
        for (int i = 0; i < std::min(count, 256); ++i) {
            table.bgr[3 * i] = colours[i].blue;
            table.bgr[3 * i + 1] = colours[i].green;
            table.bgr[3 * i + 2] = colours[i].red;
        }
    png_bytep alpha = nullptr;
    int alphaCount = 0;
    if (png_get_tRNS(png, info, &alpha, &alphaCount, nullptr) && alpha)
        for (int i = 0; i < std::min(alphaCount, 256); ++i)
            table.transparent[i] = alpha[i] == 0;  // partly transparent entries count as opaque
    return table;
}

// Index bytes sit at the start of the row; walking right to left never overwrites an
// index before it is read. maskRow may be null.
void expandIndexedRow(std::uint8_t* row, int width, const PaletteTable& table, std::uint8_t* maskRow)
{
    for (int x = width - 1; x >= 0; --x) {
        const std::uint8_t* colour = &table.bgr[3 * row[x]];
        if (maskRow)
            maskRow[x] = table.transparent[row[x]];
        row[3 * x + 2] = colour[2];
        row[3 * x + 1] = colour[1];
        row[3 * x] = colour[0];
    }
}

// Colours the index rows of image.bitmap in place; marks clear entries when there are any.
void expandIndexed(const PaletteTable& table, DecodedImage& image)
{
    Bitmap& bitmap = image.bitmap;
    const std::size_t width = std::size_t(bitmap.width());
    if (std::find(table.transparent.begin(), table.transparent.end(), 1) != table.transparent.end())
        image.mask.resize(width * std::size_t(bitmap.height()));
    for (int y = 0; y < bitmap.height(); ++y)
        expandIndexedRow(bitmap.row(y), int(width), table, image.mask.empty() ? nullptr : &image.mask[y * width]);
}

struct ColourKey {
    bool present = false;
    std::uint8_t bgr[3] = {};
};

// 8-bit value a grey or colour tRNS sample becomes after our transforms; -1 when no sample
// can equal it.
int keySample(unsigned value, int bitDepth)
{
    if (bitDepth == 16)
        return int(value >> 8);  // like png_set_strip_16
    if (value >= (1u << bitDepth))
        return -1;
    return int(value * 255 / ((1u << bitDepth) - 1));  // like png_set_expand_gray_1_2_4_to_8
}

ColourKey colourKey(png_structp png, png_infop info, const PngHeader& h)
{
    ColourKey key;
    png_color_16p colour = nullptr;
    if (!png_get_tRNS(png, info, nullptr, nullptr, &colour) || !colour)
        return key;
    const bool grey = h.colorType == PNG_COLOR_TYPE_GRAY;
    const int r = keySample(grey ? colour->gray : colour->red, h.bitDepth);
    const int g = keySample(grey ? colour->gray : colour->green, h.bitDepth);
    const int b = keySample(grey ? colour->gray : colour->blue, h.bitDepth);
    if (r < 0 || g < 0 || b < 0)
        return key;
    key.present = true;
    key.bgr[0] = std::uint8_t(b);
    key.bgr[1] = std::uint8_t(g);
    key.bgr[2] = std::uint8_t(r);
    return key;
}

std::vector<std::uint8_t> keyMask(const Bitmap& bitmap, const ColourKey& key)
{
    std::vector<std::uint8_t> mask(std::size_t(bitmap.width()) * std::size_t(bitmap.height()));
    std::uint8_t* m = mask.data();
    for (int y = 0; y < bitmap.height(); ++y) {
        const std::uint8_t* p = bitmap.row(y);
        for (int x = 0; x < bitmap.width(); ++x, p += 3)
            *m++ = p[0] == key.bgr[0] && p[1] == key.bgr[1] && p[2] == key.bgr[2];
    }
    return mask;
}

// A region's rows as they come: its columns of a whole decoded row go to the image.
struct RegionRows {
    DecodedImage* image;
    PictureRegion region;
    const PaletteTable* palette;  // null: rows are BGR already
    const ColourKey* key;         // null: no mask from a colour key
};

void keepRegionRow(const RegionRows& rows, png_const_bytep row, int y);

// Reads the rows above the region and the region's, one at a time through one scratch row, and
// stops there: nothing below is inflated.
bool readRegionRows(png_structp png, png_bytep scratch, const RegionRows* rows)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    const int last = rows->region.y + rows->region.height;
    for (int y = 0; y < last; ++y) {
        png_read_row(png, scratch, nullptr);
        if (y >= rows->region.y)
            keepRegionRow(*rows, scratch, y - rows->region.y);
    }
    return true;
}

void setReadLimits(png_structp png, std::int64_t cap, std::uint64_t fileSize, bool keepProfile)
{
    // No side can pass these and stay within the byte cap; our own check follows the header.
    const auto widest = std::clamp<std::int64_t>(cap / 3, 1, PNG_UINT_31_MAX);
    const auto tallest = std::clamp<std::int64_t>(cap / 4, 1, PNG_UINT_31_MAX);
    png_set_user_limits(png, png_uint_32(widest), png_uint_32(tallest));
    // A chunk is held whole (eXIf) or inflated (iCCP) before it is checked; neither can be
    // larger than this file could hold or inflate to.
    png_set_chunk_malloc_max(png,
                             png_alloc_size_t(std::min<std::uint64_t>(kMaxChunkBytes, fileSize * kMaxInflateRatio)));
    // Only IHDR, PLTE, tRNS, IDAT and IEND matter, with eXIf for the orientation and iCCP for
    // the colours; nothing else is even decompressed.
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
    static constexpr png_byte kExif[] = "eXIf";
    static constexpr png_byte kProfile[] = "iCCP";
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_AS_DEFAULT, kExif, 1);
    if (keepProfile)
        png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_AS_DEFAULT, kProfile, 1);
}

Error pngFailure(const PngSource& source)
{
    return makeError(ErrorCode::Corrupt, std::string("damaged PNG: ") + source.message);
}

// Reads the chunks up to the image data and checks the header's size against the cap and
// against what a file of fileSize bytes can inflate to.
Status startReading(PngSource& source, png_structp png, png_infop info, std::uint64_t fileSize,
                    const DecodeLimits& limits, bool keepProfile, PngHeader& header)
{
    if (!png || !info)
        return makeError(ErrorCode::TooLarge, "not enough memory to start libpng");
    png_set_read_fn(png, &source, readFromMemory);
    const std::int64_t cap = std::min(limits.maxBitmapBytes, kMaxBitmapBytes);
    setReadLimits(png, cap, fileSize, keepProfile);
    if (!readHeader(png, info, &header))
        return pngFailure(source);
    // A small file claiming a huge image is damaged; only a real one is worth "too large".
    if (beyondInflateRatio(header, fileSize))
        return makeError(ErrorCode::Corrupt, "damaged PNG: file too small for its image size");
    if (!Bitmap::sizeAllowed(header.width, header.height, cap) ||
        (swapsSides(header.orientation) && !Bitmap::sizeAllowed(header.height, header.width, cap)))
        return makeError(ErrorCode::TooLarge, "PNG of " + std::to_string(header.width) + " x " +
                                                  std::to_string(header.height) + " pixels is too large");
    return {};
}

Error notPng() { return makeError(ErrorCode::Corrupt, "not a PNG file"); }

// The iCCP profile when its colour space is the image's: grey for grey images, RGB for colour
// and palette ones (libpng drops most mismatches itself, with a warning).
std::vector<std::uint8_t> profileOf(png_structp png, png_infop info, const PngHeader& h)
{
    png_charp name = nullptr;
    int compression = 0;
    png_bytep data = nullptr;
    png_uint_32 length = 0;
    if (!png_get_iCCP(png, info, &name, &compression, &data, &length) || !data)
        return {};
    const bool grey = (h.colorType & PNG_COLOR_MASK_COLOR) == 0;
    const Bytes profile{data, length};
    if (profileSpace(profile) != (grey ? ProfileSpace::Grey : ProfileSpace::Rgb))
        return {};
    return {profile.begin(), profile.end()};
}

Result<DecodedImage> decode(Bytes file, const DecodeLimits& limits)
{
    if (file.size() < 8 || png_sig_cmp(file.data(), 0, 8) != 0)
        return notPng();
    PngSource source{file.data(), file.size(), 0, false, {}, nullptr, nullptr, 0};
    PngReadHandle handle(&source);
    png_structp png = handle.png();
    png_infop info = handle.info();
    PngHeader header{};
    if (Status started = startReading(source, png, info, file.size(), limits, limits.colourManagement, header);
        !started)
        return started.error();

    const bool indexed = header.colorType == PNG_COLOR_TYPE_PALETTE;
    const ColourKey key = indexed ? ColourKey{} : colourKey(png, info, header);
    PngRowLayout layout{};
    if (!startRows(png, info, indexed, &layout))
        return pngFailure(source);
    // Rows are written straight into the bitmap, so they must fit its stride exactly.
    const int width = int(header.width);
    const png_size_t expected = png_size_t(width) * (indexed ? 1 : 3);
    if (layout.bitDepth != 8 || layout.channels != (indexed ? 1 : 3) || layout.rowBytes != expected)
        return makeError(ErrorCode::Unsupported, "PNG pixel layout not handled");

    DecodedImage image{Bitmap(width, int(header.height), Bitmap::Init::Uninitialized),
                       {},
                       header.orientation,
                       limits.colourManagement ? profileOf(png, info, header) : std::vector<std::uint8_t>{}};
    Bitmap& bitmap = image.bitmap;
    std::vector<png_bytep> rows(header.height);
    for (int y = 0; y < bitmap.height(); ++y)
        rows[std::size_t(y)] = bitmap.row(y);
    if (!readRows(png, rows.data()))
        return pngFailure(source);

    if (indexed)
        expandIndexed(paletteTable(png, info), image);
    else if (key.present)
        image.mask = keyMask(bitmap, key);
    return image;
}

void keepRegionRow(const RegionRows& rows, png_const_bytep row, int y)
{
    const PictureRegion r = rows.region;
    std::uint8_t* out = rows.image->bitmap.row(y);
    std::uint8_t* mask = rows.image->mask.empty() ? nullptr : &rows.image->mask[std::size_t(y) * std::size_t(r.width)];
    if (rows.palette) {
        const png_const_bytep index = row + r.x;
        const PaletteTable& table = *rows.palette;
        for (int x = 0; x < r.width; ++x, out += 3) {
            const std::uint8_t* colour = &table.bgr[3 * index[x]];
            out[0] = colour[0];
            out[1] = colour[1];
            out[2] = colour[2];
            if (mask)
                mask[x] = table.transparent[index[x]];
        }
        return;
    }
    const png_const_bytep bgr = row + std::size_t(r.x) * 3;
    std::memcpy(out, bgr, std::size_t(r.width) * 3);
    if (mask) {
        const ColourKey& key = *rows.key;
        for (int x = 0; x < r.width; ++x)
            mask[x] = bgr[3 * x] == key.bgr[0] && bgr[3 * x + 1] == key.bgr[1] && bgr[3 * x + 2] == key.bgr[2];
    }
}

// ---- Rows inflated with libdeflate (8-bit grey, RGB and RGBA without tRNS) ----

struct DecompressorDeleter {
    void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
};

std::uint32_t bigEndian32(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}

// Bytes of the file behind source, a few MiB at a time, without moving libpng's place in it.
class FileBytes {
public:
    FileBytes(const PngSource& source, std::uint64_t fileSize) : source_(source), fileSize_(fileSize) {}

    // The count bytes from byte at, valid until the next call; null past the end of the file.
    const std::uint8_t* view(std::uint64_t at, std::size_t count)
    {
        if (at > fileSize_ || count > fileSize_ - at)
            return nullptr;
        if (!source_.file)
            return source_.data + at;
        if (at < start_ || at + count > start_ + piece_.size()) {
            auto read = source_.file->readAt(at, std::max(count, kPieceBytes));
            if (!read || read.value().size() < count)
                return nullptr;
            piece_ = std::move(read.value());
            start_ = at;
        }
        return piece_.data() + (at - start_);
    }

    static constexpr std::size_t kPieceBytes = std::size_t{4} << 20;

private:
    const PngSource& source_;
    std::uint64_t fileSize_;
    std::vector<std::uint8_t> piece_;
    std::uint64_t start_ = 0;
};

struct FreeDeleter {
    void operator()(std::uint8_t* p) const { std::free(p); }
};
using BigBuffer = std::unique_ptr<std::uint8_t[], FreeDeleter>;

// Uninitialised bytes in huge pages where the system gives them: the tens of MiB these buffers
// take cost more in page faults than in inflating.
BigBuffer bigBuffer(std::size_t bytes)
{
    constexpr std::size_t kHugePage = std::size_t{2} << 20;
    const std::size_t rounded = (bytes + kHugePage - 1) / kHugePage * kHugePage;
    auto* p = static_cast<std::uint8_t*>(std::aligned_alloc(kHugePage, std::max(rounded, kHugePage)));
    if (!p)
        throw std::bad_alloc();
    madvise(p, std::max(rounded, kHugePage), MADV_HUGEPAGE);
    return BigBuffer(p);
}

struct Compressed {
    BigBuffer bytes;
    std::size_t size = 0;
    bool cut = false;  // more IDAT chunks follow
};

// The image data of the IDAT chunks in a row from the one whose data starts at `at`, each CRC
// checked, stopping after `enough` bytes; empty when a chunk is cut short or damaged (libpng then
// says what is wrong).
Compressed imageData(const PngSource& source, std::uint64_t fileSize, std::uint64_t at, std::uint64_t enough)
{
    constexpr std::uint32_t kIdat = 0x49444154;
    if (at < 8 || at > fileSize)
        return {};
    // The data cannot be longer than the rest of the file, which is there.
    Compressed data{bigBuffer(std::size_t(fileSize - at)), 0};
    FileBytes file(source, fileSize);
    std::uint64_t chunk = at - 8;
    for (;;) {
        const std::uint8_t* head = file.view(chunk, 8);
        if (!head)
            return {};
        if (bigEndian32(head + 4) != kIdat)
            return data;
        if (data.size >= enough) {
            data.cut = true;
            return data;
        }
        const std::uint32_t length = bigEndian32(head);
        if (length > PNG_UINT_31_MAX || std::uint64_t(length) + 12 > fileSize - chunk)
            return {};
        auto crc = std::uint32_t(libdeflate_crc32(0, head + 4, 4));
        for (std::uint32_t done = 0; done < length;) {
            const auto n = std::size_t(std::min<std::uint64_t>(length - done, FileBytes::kPieceBytes));
            const std::uint8_t* piece = file.view(chunk + 8 + done, n);
            if (!piece)
                return {};
            crc = std::uint32_t(libdeflate_crc32(crc, piece, n));
            std::memcpy(data.bytes.get() + data.size, piece, n);
            data.size += n;
            done += std::uint32_t(n);
        }
        const std::uint8_t* stored = file.view(chunk + 8 + length, 4);
        if (!stored || bigEndian32(stored) != crc)
            return {};
        chunk += std::uint64_t(length) + 12;
    }
}

int paeth(int a, int b, int c)
{
    const int p = a + b - c;
    const int pa = std::abs(p - a);
    const int pb = std::abs(p - b);
    const int pc = std::abs(p - c);
    return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}

// Undoes the filter of one row in place; prior is the row above, unfiltered (null for the first).
bool unfilterRow(std::uint8_t* row, const std::uint8_t* prior, std::size_t bytes, int bpp)
{
    const std::uint8_t filter = row[0];
    std::uint8_t* p = row + 1;
    const std::uint8_t* up = prior ? prior + 1 : nullptr;
    const auto n = std::size_t(bpp);
    switch (filter) {
    case 0: return true;
    case 1:
        for (std::size_t i = n; i < bytes; ++i)
            p[i] = std::uint8_t(p[i] + p[i - n]);
        return true;
    case 2:
        if (up)
            for (std::size_t i = 0; i < bytes; ++i)
                p[i] = std::uint8_t(p[i] + up[i]);
        return true;
    case 3:
        if (up) {
            for (std::size_t i = 0; i < n; ++i)
                p[i] = std::uint8_t(p[i] + (up[i] >> 1));
            for (std::size_t i = n; i < bytes; ++i)
                p[i] = std::uint8_t(p[i] + ((p[i - n] + up[i]) >> 1));
        } else {
            for (std::size_t i = n; i < bytes; ++i)
                p[i] = std::uint8_t(p[i] + (p[i - n] >> 1));
        }
        return true;
    case 4:
        if (up) {
            for (std::size_t i = 0; i < n; ++i)
                p[i] = std::uint8_t(p[i] + up[i]);
            for (std::size_t i = n; i < bytes; ++i)
                p[i] = std::uint8_t(p[i] + paeth(p[i - n], up[i], up[i - n]));
        } else {  // Paeth above the first row is Sub
            for (std::size_t i = n; i < bytes; ++i)
                p[i] = std::uint8_t(p[i] + p[i - n]);
        }
        return true;
    default: return false;
    }
}

// The region of a non-interlaced 8-bit grey, RGB or RGBA image whose image data starts at byte
// `at`, with the rows down to its last inflated into one buffer. False when anything is not as
// expected, leaving the image untouched and libpng in place to decode (or reject) the file.
bool inflateRegion(const PngSource& source, std::uint64_t fileSize, std::uint64_t at, const PngHeader& h,
                   PictureRegion region, Bitmap& out)
{
    const int channels = channelsOf(h.colorType);
    const std::size_t rowBytes = std::size_t(h.width) * std::size_t(channels);
    const std::size_t stride = rowBytes + 1;
    const std::uint64_t rowsNeeded = std::uint64_t(region.y) + std::uint64_t(region.height);
    const std::uint64_t needed = rowsNeeded * stride;
    const std::uint64_t total = std::uint64_t(h.height) * stride;
    // A stopped inflate may leave its last literal run, match or stored block (up to 65535
    // bytes) unwritten; the bytes before it are final. Past the end of its input it reads at
    // most 8 zero bytes, too few symbols to fill the slack, before it fails.
    const std::uint64_t slack = std::max<std::uint64_t>(stride, 65536);
    const bool whole = needed + slack >= total;
    const std::uint64_t size = whole ? total : needed + slack;
    // The rows above the region's end usually take their share of the data, so that much and
    // some more is read first; the rest only when it proves too little.
    const double share = double(fileSize - std::min(at, fileSize)) * double(size) / double(total);
    const std::uint64_t first = whole ? fileSize : std::uint64_t(share * 1.125) + 65536;
    const std::unique_ptr<libdeflate_decompressor, DecompressorDeleter> inflater(libdeflate_alloc_decompressor());
    if (!inflater)
        return false;
    BigBuffer rows;
    libdeflate_result result = LIBDEFLATE_BAD_DATA;
    for (const std::uint64_t enough : {first, fileSize}) {
        const Compressed data = imageData(source, fileSize, at, enough);
        // Only a 32 KiB window: libpng's zlib refuses distances beyond a smaller declared one.
        if (data.size < 2 || (data.bytes[0] & 0xf0) != 0x70)
            return false;
        if (needed <= std::uint64_t(data.size) * kMaxInflateRatio) {
            if (!rows)
                rows = bigBuffer(std::size_t(size));
            result = libdeflate_zlib_decompress(inflater.get(), data.bytes.get(), data.size, rows.get(),
                                                std::size_t(size), nullptr);
        }
        if (result == LIBDEFLATE_SUCCESS || (!whole && result == LIBDEFLATE_INSUFFICIENT_SPACE))
            break;
        if (!data.cut)
            return false;
    }
    if (result != LIBDEFLATE_SUCCESS && (whole || result != LIBDEFLATE_INSUFFICIENT_SPACE))
        return false;
    const std::uint8_t* prior = nullptr;
    for (std::uint64_t y = 0; y < rowsNeeded; ++y) {
        std::uint8_t* row = rows.get() + y * stride;
        if (!unfilterRow(row, prior, rowBytes, channels))
            return false;
        prior = row;
    }
    for (int y = 0; y < region.height; ++y) {
        const std::uint8_t* in = rows.get() + std::size_t(region.y + y) * stride + 1 + std::size_t(region.x) * channels;
        std::uint8_t* o = out.row(y);
        if (channels == 1) {
            for (int x = 0; x < region.width; ++x, o += 3)
                o[0] = o[1] = o[2] = in[x];
        } else {
            const auto step = std::size_t(channels);
            for (int x = 0; x < region.width; ++x, o += 3, in += step) {
                o[0] = in[2];
                o[1] = in[1];
                o[2] = in[0];
            }
        }
    }
    return true;
}

// The region from source, which holds the start of a file of fileSize bytes (or a window of
// it); wholeDecode decodes the whole file for an interlaced one.
template <class WholeDecode>
Result<DecodedImage> decodeRegion(PngSource& source, std::uint64_t fileSize, PictureRegion region,
                                  const DecodeLimits& limits, const WholeDecode& wholeDecode)
{
    if (source.size < 8 || png_sig_cmp(source.data, 0, 8) != 0)
        return notPng();
    PngReadHandle handle(&source);
    png_structp png = handle.png();
    png_infop info = handle.info();
    PngHeader header{};
    if (Status started = startReading(source, png, info, fileSize, limits, limits.colourManagement, header); !started)
        return started.error();
    if (!regionInside(region, int(header.width), int(header.height)))
        return makeError(ErrorCode::Invalid, "the region is not inside the picture");
    if (png_get_interlace_type(png, info) != PNG_INTERLACE_NONE) {
        // Every pass crosses every row band; nothing is saved by stopping early.
        auto whole = wholeDecode();
        if (!whole)
            return whole;
        return regionOfImage(whole.value(), region);
    }

    const bool indexed = header.colorType == PNG_COLOR_TYPE_PALETTE;
    const ColourKey key = indexed ? ColourKey{} : colourKey(png, info, header);
    if (header.bitDepth == 8 && !key.present &&
        (header.colorType == PNG_COLOR_TYPE_GRAY || header.colorType == PNG_COLOR_TYPE_RGB ||
         header.colorType == PNG_COLOR_TYPE_RGB_ALPHA)) {
        // libpng has read up to the first IDAT's data and no further.
        DecodedImage image{Bitmap(region.width, region.height, Bitmap::Init::Uninitialized),
                           {},
                           header.orientation,
                           limits.colourManagement ? profileOf(png, info, header) : std::vector<std::uint8_t>{}};
        if (inflateRegion(source, fileSize, source.windowStart + source.pos, header, region, image.bitmap))
            return image;
    }
    PngRowLayout layout{};
    if (!startRows(png, info, indexed, &layout))
        return pngFailure(source);
    const png_size_t expected = png_size_t(header.width) * (indexed ? 1 : 3);
    if (layout.bitDepth != 8 || layout.channels != (indexed ? 1 : 3) || layout.rowBytes != expected)
        return makeError(ErrorCode::Unsupported, "PNG pixel layout not handled");

    DecodedImage image{Bitmap(region.width, region.height, Bitmap::Init::Uninitialized),
                       {},
                       header.orientation,
                       limits.colourManagement ? profileOf(png, info, header) : std::vector<std::uint8_t>{}};
    const PaletteTable table = indexed ? paletteTable(png, info) : PaletteTable{};
    const bool masked =
        indexed ? std::find(table.transparent.begin(), table.transparent.end(), 1) != table.transparent.end()
                : key.present;
    if (masked)
        image.mask.resize(std::size_t(region.width) * std::size_t(region.height));
#ifdef PNG_IGNORE_ADLER32
    // zlib checks its checksum at the end of the data, which a region above the last row never
    // reaches; the chunks' CRCs still check what is read.
    if (region.y + region.height < int(header.height))
        png_set_option(png, PNG_IGNORE_ADLER32, PNG_OPTION_ON);
#endif
    std::vector<std::uint8_t> scratch(layout.rowBytes);
    const RegionRows rows{&image, region, indexed ? &table : nullptr, &key};
    if (!readRegionRows(png, scratch.data(), &rows))
        return pngFailure(source);
    return image;
}

}  // namespace

HeaderProbe probePng(Bytes head, std::uint64_t fileSize, const DecodeLimits& limits)
{
    if (head.size() < 8 || png_sig_cmp(head.data(), 0, 8) != 0)
        return {notPng(), head.size() < 8 && fileSize > head.size()};
    PngSource source{head.data(), head.size(), 0, false, {}, nullptr, nullptr, 0};
    PngReadHandle handle(&source);
    PngHeader header{};
    if (Status started = startReading(source, handle.png(), handle.info(), fileSize, limits, false, header); !started)
        return {started.error(), source.exhausted};
    return {PictureSize{int(header.width), int(header.height)}, false, header.orientation};
}

Result<DecodedImage> decodePng(Bytes file, const DecodeLimits& limits)
{
    try {
        return decode(file, limits);
    } catch (const std::bad_alloc&) {
        return makeError(ErrorCode::TooLarge, "not enough memory for the PNG");
    } catch (const std::exception& e) {
        return makeError(ErrorCode::Corrupt, std::string("PNG not decoded: ") + e.what());
    }
}

Result<DecodedImage> decodePngRegion(Bytes file, PictureRegion region, const DecodeLimits& limits)
{
    return decodeGuarded("PNG", [&] {
        PngSource source{file.data(), file.size(), 0, false, {}, nullptr, nullptr, 0};
        return decodeRegion(source, file.size(), region, limits, [&] { return decode(file, limits); });
    });
}

Result<DecodedImage> decodePngRegion(const RegularFile& file, PictureRegion region, const DecodeLimits& limits)
{
    return decodeGuarded("PNG", [&]() -> Result<DecodedImage> {
        std::vector<std::uint8_t> window;
        PngSource source{nullptr, 0, 0, false, {}, &file, &window, 0};
        if (!moveWindow(&source, 0, 8))
            return notPng();
        return decodeRegion(source, file.size(), region, limits, [&]() -> Result<DecodedImage> {
            auto bytes = file.readAt(0, std::size_t(file.size()));
            if (!bytes)
                return bytes.error();
            return decode(bytes.value(), limits);
        });
    });
}

}  // namespace trimlet
