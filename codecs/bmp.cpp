#include "codecs/bmp.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <new>

namespace trimlet {

namespace {

constexpr std::uint32_t kRgb = 0;
constexpr std::uint32_t kRle8 = 1;
constexpr std::uint32_t kRle4 = 2;
constexpr std::uint32_t kBitFields = 3;

constexpr std::size_t kFileHeaderBytes = 14;
constexpr std::uint32_t kCoreHeaderBytes = 12;
constexpr std::uint32_t kInfoHeaderBytes = 40;
// Where the three colour masks sit: right after a 40-byte header, or inside a larger one.
constexpr std::size_t kMasksOffset = kFileHeaderBytes + kInfoHeaderBytes;
constexpr std::size_t kMasksEnd = kMasksOffset + 12;
// Fields up to this width are scaled through exact tables; wider ones give their top 8 bits.
constexpr int kMaxTableBits = 16;

std::uint16_t le16(const std::uint8_t* p) { return std::uint16_t(p[0] | p[1] << 8); }

std::uint32_t le32(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

Error corrupt(const char* message) { return makeError(ErrorCode::Corrupt, message); }
Error unsupported(const char* message) { return makeError(ErrorCode::Unsupported, message); }

// What the headers say, already checked against each other and against the file's length.
struct Layout {
    int width = 0;
    int height = 0;  // always positive; topDown tells the row order
    bool topDown = false;
    int bits = 0;
    std::uint32_t compression = kRgb;
    std::array<std::uint32_t, 3> masks{};  // red, green, blue
    std::size_t paletteOffset = 0;
    unsigned paletteEntries = 0;
    std::size_t paletteEntryBytes = 4;
    std::size_t dataOffset = 0;
    std::size_t fileStride = 0;  // uncompressed rows only
};

// Colours of every possible index as BGR triples, so that no index can read outside the
// table; count says how many of them the file defines.
struct Palette {
    std::array<std::uint8_t, 256 * 3> bgr{};
    unsigned count = 0;
};

bool maskUsable(std::uint32_t mask, int bits)
{
    if (mask == 0)
        return true;
    if (bits < 32 && (mask >> bits) != 0)
        return false;
    const std::uint32_t field = mask >> std::countr_zero(mask);
    return (field & (field + 1)) == 0;
}

Status checkFormat(Layout& l)
{
    switch (l.bits) {
    case 1:
    case 4:
    case 8:
    case 16:
    case 24:
    case 32: break;
    default: return unsupported("unsupported BMP bit depth");
    }
    switch (l.compression) {
    case kRgb: break;
    case kRle8:
    case kRle4:
        if (l.bits != (l.compression == kRle8 ? 8 : 4))
            return corrupt("BMP run-length compression does not match the bit depth");
        if (l.topDown)
            return corrupt("top-down BMP cannot be run-length compressed");
        break;
    case kBitFields:
        if (l.bits != 16 && l.bits != 32)
            return unsupported("unsupported BMP compression for this bit depth");
        break;
    default: return unsupported("unsupported BMP compression");
    }
    if (l.bits != 16 && l.bits != 32)
        return {};
    if (l.compression != kBitFields) {
        l.masks = l.bits == 16 ? std::array<std::uint32_t, 3>{0x7C00, 0x03E0, 0x001F}
                               : std::array<std::uint32_t, 3>{0xFF0000, 0xFF00, 0xFF};
    }
    for (std::uint32_t mask : l.masks)
        if (!maskUsable(mask, l.bits))
            return corrupt("BMP colour mask is not usable");
    return {};
}

// Parses and checks both headers, found in head, against the whole file's size; the size cap
// comes before anything that depends on the data, so that a huge declared picture fails as
// TooLarge however short the file is.
Result<Layout> readLayout(Bytes file, std::uint64_t fileSize, const DecodeLimits& limits)
{
    if (file.size() < kFileHeaderBytes + 4)
        return corrupt("file too short for a BMP header");
    if (file[0] != 'B' || file[1] != 'M')
        return corrupt("not a BMP file");
    const std::uint8_t* h = file.data() + kFileHeaderBytes;
    const std::uint32_t headerBytes = le32(h);
    if (headerBytes != kCoreHeaderBytes && headerBytes < kInfoHeaderBytes)
        return unsupported("unsupported BMP header size");
    std::size_t headerEnd = kFileHeaderBytes + std::size_t(headerBytes);
    if (headerEnd > file.size())
        return corrupt("BMP header is truncated");

    Layout l;
    std::int64_t width = 0;
    std::int64_t height = 0;
    unsigned planes = 0;
    std::uint32_t colorsUsed = 0;
    if (headerBytes == kCoreHeaderBytes) {
        width = le16(h + 4);
        height = le16(h + 6);
        planes = le16(h + 8);
        l.bits = le16(h + 10);
        l.paletteEntryBytes = 3;
    } else {
        width = std::int32_t(le32(h + 4));
        height = std::int32_t(le32(h + 8));
        planes = le16(h + 12);
        l.bits = le16(h + 14);
        l.compression = le32(h + 16);
        colorsUsed = le32(h + 32);
    }
    if (planes != 1)
        return corrupt("BMP plane count is not 1");
    if (width <= 0 || height == 0 || height == INT32_MIN)
        return corrupt("BMP size is not valid");
    l.topDown = height < 0;
    height = l.topDown ? -height : height;
    if (!Bitmap::sizeAllowed(width, height, std::min(limits.maxBitmapBytes, kMaxBitmapBytes)))
        return makeError(ErrorCode::TooLarge, "BMP picture is too large");
    l.width = int(width);
    l.height = int(height);

    if (l.compression == kBitFields) {
        headerEnd = std::max(headerEnd, kMasksEnd);
        if (headerEnd > file.size())
            return corrupt("BMP colour masks are truncated");
        for (int i = 0; i < 3; ++i)
            l.masks[i] = le32(file.data() + kMasksOffset + 4 * i);
    }
    if (Status format = checkFormat(l); !format)
        return format.error();

    l.dataOffset = le32(file.data() + 10);
    if (l.dataOffset < headerEnd || l.dataOffset > fileSize)
        return corrupt("BMP pixel data offset is not valid");
    if (l.bits <= 8) {
        const unsigned most = 1u << l.bits;
        l.paletteOffset = headerEnd;
        l.paletteEntries = colorsUsed == 0 || colorsUsed > most ? most : colorsUsed;
        // Some writers store fewer entries than they declare; the pixels start where they say.
        const std::size_t room = (l.dataOffset - headerEnd) / l.paletteEntryBytes;
        l.paletteEntries = unsigned(std::min<std::size_t>(l.paletteEntries, room));
        if (l.paletteEntries == 0)
            return corrupt("BMP palette is missing");
    }
    if (l.compression == kRgb || l.compression == kBitFields) {
        l.fileStride = (std::size_t(l.width) * std::size_t(l.bits) + 31) / 32 * 4;
        if (std::uint64_t(l.fileStride) * std::uint64_t(l.height) > fileSize - l.dataOffset)
            return corrupt("BMP pixel data is truncated");
    }
    return l;
}

Palette readPalette(Bytes file, const Layout& l)
{
    Palette p;
    p.count = l.paletteEntries;
    const std::uint8_t* s = file.data() + l.paletteOffset;
    for (unsigned i = 0; i < p.count; ++i, s += l.paletteEntryBytes)
        std::memcpy(&p.bgr[3 * i], s, 3);
    return p;
}

// Expands one row of 1-, 4- or 8-bit indices; returns the highest index met.
template <unsigned Bits>
unsigned expandRow(const std::uint8_t* src, std::uint8_t* dst, int width, const std::uint8_t* bgr)
{
    constexpr unsigned perByte = 8 / Bits;
    constexpr unsigned indexMask = (1u << Bits) - 1;
    unsigned highest = 0;
    for (unsigned x = 0; x < unsigned(width); ++x, dst += 3) {
        const unsigned shift = 8 - Bits - (x % perByte) * Bits;
        const unsigned index = (src[x / perByte] >> shift) & indexMask;
        highest = std::max(highest, index);
        const std::uint8_t* c = bgr + 3 * index;
        dst[0] = c[0];
        dst[1] = c[1];
        dst[2] = c[2];
    }
    return highest;
}

Status decodeIndexed(const std::uint8_t* data, const Layout& l, const Palette& p, Bitmap& out)
{
    const auto expand = l.bits == 1 ? expandRow<1> : l.bits == 4 ? expandRow<4> : expandRow<8>;
    for (int y = 0; y < l.height; ++y) {
        const std::uint8_t* src = data + std::size_t(l.topDown ? y : l.height - 1 - y) * l.fileStride;
        if (expand(src, out.row(y), l.width, p.bgr.data()) >= p.count)
            return corrupt("BMP pixel refers past the palette");
    }
    return {};
}

// A field's values mapped to 0..255 as round(v × 255 / fieldMax), or for fields wider than 16
// bits as their top 8 bits; a zero mask reads as 0.
struct Channel {
    std::uint32_t mask = 0;
    int shift = 0;
    std::vector<std::uint8_t> scale{0};
};

Channel channelFor(std::uint32_t mask)
{
    Channel c;
    if (mask == 0)
        return c;
    c.mask = mask;
    c.shift = std::countr_zero(mask);
    if (const int bits = std::popcount(mask); bits > kMaxTableBits) {
        c.shift += bits - 8;
        c.scale.resize(256);
        for (unsigned v = 0; v < 256; ++v)
            c.scale[v] = std::uint8_t(v);
        return c;
    }
    const std::uint32_t most = mask >> c.shift;
    c.scale.resize(std::size_t(most) + 1);
    for (std::uint32_t v = 0; v <= most; ++v)
        c.scale[v] = std::uint8_t((std::uint64_t(v) * 510 + most) / (2 * std::uint64_t(most)));
    return c;
}

template <int PixelBytes>
void decodeFields(const std::uint8_t* data, const Layout& l, Bitmap& out)
{
    const Channel r = channelFor(l.masks[0]);
    const Channel g = channelFor(l.masks[1]);
    const Channel b = channelFor(l.masks[2]);
    const std::uint8_t* rs = r.scale.data();
    const std::uint8_t* gs = g.scale.data();
    const std::uint8_t* bs = b.scale.data();
    for (int y = 0; y < l.height; ++y) {
        const std::uint8_t* s = data + std::size_t(l.topDown ? y : l.height - 1 - y) * l.fileStride;
        std::uint8_t* d = out.row(y);
        for (int x = 0; x < l.width; ++x, s += PixelBytes, d += 3) {
            std::uint32_t v = std::uint32_t(s[0]) | std::uint32_t(s[1]) << 8;
            if constexpr (PixelBytes == 4)
                v |= std::uint32_t(s[2]) << 16 | std::uint32_t(s[3]) << 24;
            d[0] = bs[(v & b.mask) >> b.shift];
            d[1] = gs[(v & g.mask) >> g.shift];
            d[2] = rs[(v & r.mask) >> r.shift];
        }
    }
}

// 24-bit rows, and 32-bit rows whose fields are plain bytes, need no arithmetic at all.
void decodeBytes(const std::uint8_t* data, const Layout& l, Bitmap& out)
{
    for (int y = 0; y < l.height; ++y) {
        const std::uint8_t* s = data + std::size_t(l.topDown ? y : l.height - 1 - y) * l.fileStride;
        std::uint8_t* d = out.row(y);
        if (l.bits == 24) {
            std::memcpy(d, s, std::size_t(l.width) * 3);
            continue;
        }
        for (int x = 0; x < l.width; ++x, s += 4, d += 3) {
            d[0] = s[0];
            d[1] = s[1];
            d[2] = s[2];
        }
    }
}

// Where run-length pixels land. Lines are counted from the bottom, as stored, and a position
// is an offset from its line's start: a run that passes the end of a row goes on in the next
// row up, as other readers do, and an end of line goes to the line after the current one.
// Some writers (ImageMagick among them) encode a row's padding as pixels too, so the last
// row's run may reach into its padding; those pixels are dropped.
class RleCursor {
public:
    RleCursor(const Layout& l, int perWord)
        : width_(l.width), height_(l.height), total_(std::int64_t(l.width) * l.height),
          storedWidth_((l.width + perWord - 1) / perWord * perWord)
    {}

    // How many of the next count pixels land in the picture; -1 when the run passes it.
    std::int64_t shown(std::int64_t count) const
    {
        if (y_ >= height_)
            return -1;
        const std::int64_t room = std::max<std::int64_t>(0, total_ - at());
        if (count > room && x_ + count > storedWidth_)
            return -1;
        return std::min(count, room);
    }
    std::int64_t at() const { return y_ * width_ + x_; }
    void advance(std::int64_t count) { x_ += count; }
    void endLine()
    {
        x_ = 0;
        y_ = std::min(y_ + 1, height_);
    }
    bool move(unsigned right, unsigned up)
    {
        x_ += right;
        y_ += up;
        return y_ < height_ && at() <= total_;
    }
    bool complete() const { return y_ >= height_ || at() >= total_; }

    // Colours count pixels from linear position `from` (rows from the bottom); colourAt(i)
    // gives the palette entry of the run's i-th pixel.
    template <class ColourAt>
    void paint(Bitmap& out, std::int64_t from, std::int64_t count, ColourAt colourAt) const
    {
        for (std::int64_t i = 0; i < count;) {
            const std::int64_t row = (from + i) / width_;
            const std::int64_t column = (from + i) % width_;
            const std::int64_t n = std::min(count - i, width_ - column);
            std::uint8_t* d = out.row(int(height_ - 1 - row)) + 3 * column;
            for (const std::int64_t stop = i + n; i < stop; ++i, d += 3) {
                const std::uint8_t* c = colourAt(i);
                d[0] = c[0];
                d[1] = c[1];
                d[2] = c[2];
            }
        }
    }

private:
    std::int64_t width_;
    std::int64_t height_;
    std::int64_t total_;
    std::int64_t storedWidth_;
    std::int64_t x_ = 0;
    std::int64_t y_ = 0;
};

// Run-length data. Walked twice: first without a bitmap, so that data which cannot be
// decoded is refused before the picture is allocated (a few bytes may declare any size),
// then to paint. Pixels the data skips keep palette entry 0.
template <bool FourBits>
Status walkRle(Bytes file, const Layout& l, const Palette& p, Bitmap* out)
{
    if (out)
        out->fill(p.bgr[0], p.bgr[1], p.bgr[2]);
    const std::uint8_t* s = file.data() + l.dataOffset;
    const std::uint8_t* const end = file.data() + file.size();
    RleCursor cursor(l, FourBits ? 8 : 4);
    while (end - s >= 2) {
        const unsigned count = s[0];
        const unsigned value = s[1];
        s += 2;
        if (count > 0) {  // one index repeated, or two alternating ones for 4 bits
            const unsigned first = FourBits ? value >> 4 : value;
            const unsigned second = FourBits ? value & 15 : value;
            const std::int64_t shown = cursor.shown(count);
            if (shown < 0)
                return corrupt("BMP run passes the end of the picture");
            if (shown > 0 && (first >= p.count || (shown > 1 && second >= p.count)))
                return corrupt("BMP pixel refers past the palette");
            if (out)
                cursor.paint(*out, cursor.at(), shown,
                             [&](std::int64_t i) { return &p.bgr[3 * ((i & 1) ? second : first)]; });
            cursor.advance(count);
        } else if (value == 0) {  // end of line
            cursor.endLine();
        } else if (value == 1) {  // end of bitmap
            return {};
        } else if (value == 2) {  // move right and up
            if (end - s < 2)
                return corrupt("BMP run-length data is truncated");
            const bool inside = cursor.move(s[0], s[1]);
            s += 2;
            if (!inside)
                return corrupt("BMP run moves past the picture");
        } else {  // `value` indices stored as they are, padded to an even byte count
            const std::size_t bytes = FourBits ? (value + 1) / 2 : value;
            if (std::size_t(end - s) < bytes)
                return corrupt("BMP run-length data is truncated");
            const std::int64_t shown = cursor.shown(value);
            if (shown < 0)
                return corrupt("BMP run passes the end of the picture");
            auto indexAt = [s](std::int64_t i) -> unsigned {
                return FourBits ? (s[i / 2] >> ((i & 1) ? 0 : 4)) & 15 : s[i];
            };
            unsigned highest = 0;
            for (std::int64_t i = 0; i < shown; ++i)
                highest = std::max(highest, indexAt(i));
            if (highest >= p.count)
                return corrupt("BMP pixel refers past the palette");
            if (out)
                cursor.paint(*out, cursor.at(), shown, [&](std::int64_t i) { return &p.bgr[3 * indexAt(i)]; });
            cursor.advance(value);
            s += std::min<std::size_t>(bytes + (bytes & 1), std::size_t(end - s));
        }
    }
    // Data that stops without the end-of-bitmap mark is fine once every row is complete.
    if (cursor.complete())
        return {};
    return corrupt("BMP run-length data is truncated");
}

void put16(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    out.push_back(std::uint8_t(v));
    out.push_back(std::uint8_t(v >> 8));
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

}  // namespace

Result<DecodedImage> decodeBmp(Bytes file, const DecodeLimits& limits)
{
    auto layout = readLayout(file, file.size(), limits);
    if (!layout)
        return layout.error();
    const Layout& l = layout.value();
    const Palette palette = readPalette(file, l);
    const std::uint8_t* data = file.data() + l.dataOffset;
    const bool rle = l.compression == kRle8 || l.compression == kRle4;
    const auto walk = l.compression == kRle8 ? walkRle<false> : walkRle<true>;
    if (rle) {
        if (Status checked = walk(file, l, palette, nullptr); !checked)
            return checked.error();
    }

    Bitmap out;
    try {
        out = Bitmap(l.width, l.height, Bitmap::Init::Uninitialized);
    } catch (const std::bad_alloc&) {
        return makeError(ErrorCode::TooLarge, "not enough memory for the BMP picture");
    }
    Status status;
    if (rle)
        status = walk(file, l, palette, &out);
    else if (l.bits <= 8)
        status = decodeIndexed(data, l, palette, out);
    else if (l.bits == 24 || (l.bits == 32 && l.masks == std::array<std::uint32_t, 3>{0xFF0000, 0xFF00, 0xFF}))
        decodeBytes(data, l, out);
    else if (l.bits == 16)
        decodeFields<2>(data, l, out);
    else
        decodeFields<4>(data, l, out);
    if (!status)
        return status.error();
    return DecodedImage{.bitmap = std::move(out)};
}

HeaderProbe probeBmp(Bytes head, std::uint64_t fileSize, const DecodeLimits& limits)
{
    // The headers, and the masks that may follow a 40-byte one, must be in head; a header
    // longer than the file is reported by readLayout as it stands.
    std::uint64_t needed = std::min<std::uint64_t>(fileSize, kFileHeaderBytes + 4);
    if (head.size() >= kFileHeaderBytes + 4) {
        const std::uint64_t headerEnd = kFileHeaderBytes + std::uint64_t(le32(head.data() + kFileHeaderBytes));
        needed = headerEnd > fileSize ? 0 : std::min<std::uint64_t>(fileSize, std::max(headerEnd, kMasksEnd));
    }
    if (head.size() < needed)
        return {corrupt("BMP header is truncated"), true};
    auto layout = readLayout(head, fileSize, limits);
    if (!layout)
        return {layout.error()};
    return {PictureSize{layout.value().width, layout.value().height}};
}

std::vector<std::uint8_t> encodeBmp(const Bitmap& bitmap)
{
    if (bitmap.empty())
        return {};
    // Our rows are padded to 4 bytes with zeros, exactly as BMP wants them.
    const std::size_t stride = std::size_t(bitmap.stride());
    const std::uint32_t imageBytes = std::uint32_t(stride * std::size_t(bitmap.height()));
    constexpr std::uint32_t headersBytes = kFileHeaderBytes + kInfoHeaderBytes;
    std::vector<std::uint8_t> out;
    out.reserve(headersBytes + imageBytes);
    out.push_back('B');
    out.push_back('M');
    put32(out, headersBytes + imageBytes);
    put32(out, 0);
    put32(out, headersBytes);
    put32(out, kInfoHeaderBytes);
    put32(out, std::uint32_t(bitmap.width()));
    put32(out, std::uint32_t(bitmap.height()));  // positive: rows from the bottom
    put16(out, 1);
    put16(out, 24);
    put32(out, kRgb);
    put32(out, imageBytes);
    for (int i = 0; i < 4; ++i)  // resolution and colour counts
        put32(out, 0);
    for (int y = bitmap.height() - 1; y >= 0; --y)
        out.insert(out.end(), bitmap.row(y), bitmap.row(y) + stride);
    return out;
}

}  // namespace trimlet
