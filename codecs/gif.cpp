#include "codecs/gif.h"

#include <gif_lib.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <exception>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "codecs/canvas.h"

namespace trimlet {

namespace {

struct GifSource {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t pos;
    bool exhausted = false;  // a read asked for more than was left
};

// giflib treats a short count as a read failure, which is what truncation is.
int readFromMemory(GifFileType* gif, GifByteType* out, int count)
{
    auto* source = static_cast<GifSource*>(gif->UserData);
    if (count <= 0)
        return 0;
    const std::size_t n = std::min(std::size_t(count), source->size - source->pos);
    source->exhausted |= n < std::size_t(count);
    std::memcpy(out, source->data + source->pos, n);
    source->pos += n;
    return int(n);
}

struct GifCloser {
    void operator()(GifFileType* gif) const
    {
        int error = 0;
        DGifCloseFile(gif, &error);
    }
};
using GifHandle = std::unique_ptr<GifFileType, GifCloser>;

Error gifError(int code)
{
    const char* text = GifErrorString(code);
    return makeError(code == D_GIF_ERR_NOT_ENOUGH_MEM ? ErrorCode::TooLarge : ErrorCode::Corrupt,
                     std::string("damaged GIF: ") + (text ? text : "unknown error"));
}

// Reads records up to the first image descriptor. The graphic control block in force for
// that image gives *transparent (NO_TRANSPARENT_COLOR when none).
Status seekFirstImage(GifFileType* gif, int* transparent)
{
    *transparent = NO_TRANSPARENT_COLOR;
    for (;;) {
        GifRecordType type = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(gif, &type) == GIF_ERROR)
            return gifError(gif->Error);
        if (type == IMAGE_DESC_RECORD_TYPE)
            return DGifGetImageDesc(gif) == GIF_ERROR ? Status(gifError(gif->Error)) : Status();
        if (type == TERMINATE_RECORD_TYPE)
            return makeError(ErrorCode::Corrupt, "damaged GIF: no image in the file");
        if (type != EXTENSION_RECORD_TYPE)
            continue;
        int code = 0;
        GifByteType* block = nullptr;
        if (DGifGetExtension(gif, &code, &block) == GIF_ERROR)
            return gifError(gif->Error);
        if (code == GRAPHICS_EXT_FUNC_CODE && block) {
            GraphicsControlBlock gcb{};
            *transparent =
                DGifExtensionToGCB(block[0], block + 1, &gcb) == GIF_OK ? gcb.TransparentColor : NO_TRANSPARENT_COLOR;
        } else if (code == PLAINTEXT_EXT_FUNC_CODE) {
            *transparent = NO_TRANSPARENT_COLOR;  // that control block belonged to the text
        }
        while (block)
            if (DGifGetExtensionNext(gif, &block) == GIF_ERROR)
                return gifError(gif->Error);
    }
}

// BGR for every possible index; indices without a colour entry stay black.
using ColourTable = std::array<std::uint8_t, 256 * 3>;

ColourTable colourTable(const ColorMapObject* map)
{
    ColourTable table{};
    if (!map || !map->Colors)
        return table;
    for (int i = 0; i < std::min(map->ColorCount, 256); ++i) {
        table[3 * i] = map->Colors[i].Blue;
        table[3 * i + 1] = map->Colors[i].Green;
        table[3 * i + 2] = map->Colors[i].Red;
    }
    return table;
}

// Image rows in the order they are stored.
std::vector<int> storedRowOrder(int height, bool interlaced)
{
    std::vector<int> order;
    order.reserve(std::size_t(height));
    if (!interlaced) {
        for (int y = 0; y < height; ++y)
            order.push_back(y);
        return order;
    }
    static constexpr int kStart[] = {0, 4, 2, 1};
    static constexpr int kStep[] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass)
        for (int y = kStart[pass]; y < height; y += kStep[pass])
            order.push_back(y);
    return order;
}

struct Placement {
    int screenWidth;
    int screenHeight;
    int left;
    int top;
    int visibleWidth;   // image columns that land on the screen
    int visibleHeight;  // image rows that land on the screen
    bool wholeScreen;
};

Placement placeImage(const GifFileType& gif)
{
    const GifImageDesc& d = gif.Image;
    Placement p{};
    p.screenWidth = gif.SWidth;
    p.screenHeight = gif.SHeight;
    if (p.screenWidth <= 0 || p.screenHeight <= 0) {
        // A screen without area says nothing; the image's reach stands in for it.
        p.screenWidth = d.Left + d.Width;
        p.screenHeight = d.Top + d.Height;
    }
    p.left = d.Left;
    p.top = d.Top;
    p.visibleWidth = std::clamp(p.screenWidth - d.Left, 0, d.Width);
    p.visibleHeight = std::clamp(p.screenHeight - d.Top, 0, d.Height);
    p.wholeScreen = d.Left == 0 && d.Top == 0 && d.Width == p.screenWidth && d.Height == p.screenHeight;
    return p;
}

// The picture's size, once the first image's descriptor is read: the screen, or the image's
// reach when the screen has no area. An image without pixels is damaged; a screen or image
// past the cap is TooLarge (the image is decoded whole even where it is clipped).
Result<PictureSize> checkedSize(const GifFileType& gif, const DecodeLimits& limits)
{
    const GifImageDesc& desc = gif.Image;
    if (desc.Width <= 0 || desc.Height <= 0)
        return makeError(ErrorCode::Corrupt, "damaged GIF: the first image has no pixels");
    const Placement place = placeImage(gif);
    const std::int64_t cap = std::min(limits.maxBitmapBytes, kMaxBitmapBytes);
    if (!Bitmap::sizeAllowed(place.screenWidth, place.screenHeight, cap) ||
        !Bitmap::sizeAllowed(desc.Width, desc.Height, cap))
        return makeError(ErrorCode::TooLarge, "GIF screen of " + std::to_string(place.screenWidth) + " x " +
                                                  std::to_string(place.screenHeight) + " or image of " +
                                                  std::to_string(desc.Width) + " x " + std::to_string(desc.Height) +
                                                  " pixels is too large");
    return PictureSize{place.screenWidth, place.screenHeight};
}

// Colours one decoded image row into the screen. Transparent pixels are marked in maskRow
// (may be null) and keep the screen's colour unless keepIndexColour.
void drawRow(const GifByteType* line, int count, const ColourTable& table, int transparent, bool keepIndexColour,
             std::uint8_t* out, std::uint8_t* maskRow)
{
    for (int x = 0; x < count; ++x, out += 3) {
        const int index = line[x];
        const bool clear = index == transparent;
        if (maskRow)
            maskRow[x] = clear;
        if (clear && !keepIndexColour)
            continue;
        const std::uint8_t* c = &table[3 * index];
        out[0] = c[0];
        out[1] = c[1];
        out[2] = c[2];
    }
}

// The first image's indices, decoded whole before the screen is allocated: only rows that
// arrive take memory, so a few bytes cannot make us hold a huge screen. Columns and rows that
// fall outside the screen are decoded and dropped.
struct ImageIndices {
    std::vector<int> order;  // image rows in the order they are stored
    ByteBuffer visible;      // visibleWidth bytes for each stored row that lands on the screen
};

Status readIndices(GifFileType* gif, const Placement& place, ImageIndices& out)
{
    const GifImageDesc& desc = gif->Image;
    out.order = storedRowOrder(desc.Height, desc.Interlace);
    const std::size_t rowBytes = std::size_t(place.visibleWidth);
    const std::size_t total = rowBytes * std::size_t(place.visibleHeight);
    std::vector<GifByteType> line(std::size_t(desc.Width));
    for (const int y : out.order) {
        if (DGifGetLine(gif, line.data(), desc.Width) == GIF_ERROR)
            return gifError(gif->Error);
        if (y >= place.visibleHeight || rowBytes == 0)
            continue;
        const std::size_t used = out.visible.size();
        if (used + rowBytes > out.visible.capacity())
            out.visible.reserve(std::min(total, std::max(used + rowBytes, 2 * out.visible.capacity())));
        out.visible.insert(out.visible.end(), line.begin(), line.begin() + std::ptrdiff_t(rowBytes));
    }
    return {};
}

// Colours the decoded rows into the prepared screen.
void drawImage(const GifFileType& gif, const Placement& place, const ImageIndices& indices, int transparent,
               DecodedImage& image)
{
    const GifImageDesc& desc = gif.Image;
    const ColourTable table = colourTable(desc.ColorMap ? desc.ColorMap : gif.SColorMap);
    const GifByteType* line = indices.visible.data();
    for (const int y : indices.order) {
        if (y >= place.visibleHeight || place.visibleWidth == 0)
            continue;
        const int sy = place.top + y;
        std::uint8_t* maskRow =
            image.mask.empty() ? nullptr : image.mask.data() + std::size_t(sy) * place.screenWidth + place.left;
        drawRow(line, place.visibleWidth, table, transparent, place.wholeScreen,
                image.bitmap.row(sy) + std::size_t(place.left) * 3, maskRow);
        line += place.visibleWidth;
    }
}

Result<DecodedImage> decode(Bytes file, const DecodeLimits& limits)
{
    GifSource source{file.data(), file.size(), 0};
    int openError = 0;
    GifHandle gif(DGifOpen(&source, readFromMemory, &openError));
    if (!gif)
        return gifError(openError);
    int transparent = NO_TRANSPARENT_COLOR;
    if (Status found = seekFirstImage(gif.get(), &transparent); !found)
        return found.error();
    const auto size = checkedSize(*gif, limits);
    if (!size)
        return size.error();

    const Placement place = placeImage(*gif);
    ImageIndices indices;
    if (Status read = readIndices(gif.get(), place, indices); !read)
        return read.error();
    // Checked once the image has proved its data, so that damage is still called damage.
    if (Status held = checkCanvas(file.size(), {place.screenWidth, place.screenHeight},
                                  {place.visibleWidth, place.visibleHeight}, "GIF screen", "image");
        !held)
        return held.error();

    DecodedImage image{.bitmap = Bitmap(place.screenWidth, place.screenHeight, Bitmap::Init::Uninitialized)};
    if (!place.wholeScreen) {
        const ColourTable global = colourTable(gif->SColorMap);
        image.bitmap.fill(global[0], global[1], global[2]);
    }
    if (transparent != NO_TRANSPARENT_COLOR)  // the screen around the image is background, shown through
        image.mask.assign(std::size_t(place.screenWidth) * std::size_t(place.screenHeight), 1);
    drawImage(*gif, place, indices, transparent, image);
    return image;
}

}  // namespace

HeaderProbe probeGif(Bytes head, const DecodeLimits& limits)
{
    GifSource source{head.data(), head.size(), 0};
    int openError = 0;
    GifHandle gif(DGifOpen(&source, readFromMemory, &openError));
    if (!gif)
        return {gifError(openError), source.exhausted};
    int transparent = NO_TRANSPARENT_COLOR;
    if (Status found = seekFirstImage(gif.get(), &transparent); !found)
        return {found.error(), source.exhausted};
    return {checkedSize(*gif, limits)};
}

Result<DecodedImage> decodeGif(Bytes file, const DecodeLimits& limits)
{
    try {
        return decode(file, limits);
    } catch (const std::bad_alloc&) {
        return makeError(ErrorCode::TooLarge, "not enough memory for the GIF");
    } catch (const std::exception& e) {
        return makeError(ErrorCode::Corrupt, std::string("GIF not decoded: ") + e.what());
    }
}

}  // namespace trimlet
