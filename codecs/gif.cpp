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

namespace trimlet {

namespace {

struct GifSource {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t pos;
};

// giflib treats a short count as a read failure, which is what truncation is.
int readFromMemory(GifFileType* gif, GifByteType* out, int count)
{
    auto* source = static_cast<GifSource*>(gif->UserData);
    if (count <= 0)
        return 0;
    const std::size_t n = std::min(std::size_t(count), source->size - source->pos);
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
            *transparent = DGifExtensionToGCB(block[0], block + 1, &gcb) == GIF_OK ? gcb.TransparentColor
                                                                                     : NO_TRANSPARENT_COLOR;
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

// Colours one decoded image row into the screen. Transparent pixels are marked in maskRow
// (may be null) and keep the screen's colour unless keepIndexColour.
void drawRow(const GifByteType* line, int count, const ColourTable& table, int transparent,
             bool keepIndexColour, std::uint8_t* out, std::uint8_t* maskRow)
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

// Decodes the image's rows onto the prepared screen.
Status drawImage(GifFileType* gif, const Placement& place, int transparent, DecodedImage& image)
{
    const GifImageDesc& desc = gif->Image;
    if (desc.Width <= 0 || desc.Height <= 0)
        return {};
    const ColourTable table = colourTable(desc.ColorMap ? desc.ColorMap : gif->SColorMap);
    std::vector<GifByteType> line(std::size_t(desc.Width));
    for (const int y : storedRowOrder(desc.Height, desc.Interlace)) {
        if (DGifGetLine(gif, line.data(), desc.Width) == GIF_ERROR)
            return gifError(gif->Error);
        if (y >= place.visibleHeight || place.visibleWidth == 0)
            continue;
        const int sy = place.top + y;
        std::uint8_t* maskRow =
            image.mask.empty() ? nullptr : image.mask.data() + std::size_t(sy) * place.screenWidth + place.left;
        drawRow(line.data(), place.visibleWidth, table, transparent, place.wholeScreen,
                image.bitmap.row(sy) + std::size_t(place.left) * 3, maskRow);
    }
    return {};
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

    const GifImageDesc& desc = gif->Image;
    const Placement place = placeImage(*gif);
    const std::int64_t cap = std::min(limits.maxBitmapBytes, kMaxBitmapBytes);
    // The image is decoded whole even where it is clipped, so it must fit the cap as well.
    if (!Bitmap::sizeAllowed(place.screenWidth, place.screenHeight, cap) ||
        !Bitmap::sizeAllowed(desc.Width, desc.Height, cap))
        return makeError(ErrorCode::TooLarge, "GIF screen of " + std::to_string(place.screenWidth) + " x " +
                                                  std::to_string(place.screenHeight) + " or image of " +
                                                  std::to_string(desc.Width) + " x " + std::to_string(desc.Height) +
                                                  " pixels is too large");
    if (place.screenWidth == 0 || place.screenHeight == 0)
        return makeError(ErrorCode::Corrupt, "damaged GIF: no pixels");

    DecodedImage image{Bitmap(place.screenWidth, place.screenHeight, Bitmap::Init::Uninitialized), {}};
    if (!place.wholeScreen) {
        const ColourTable global = colourTable(gif->SColorMap);
        image.bitmap.fill(global[0], global[1], global[2]);
    }
    if (transparent != NO_TRANSPARENT_COLOR)  // the screen around the image is background, shown through
        image.mask.assign(std::size_t(place.screenWidth) * std::size_t(place.screenHeight), 1);
    if (Status drawn = drawImage(gif.get(), place, transparent, image); !drawn)
        return drawn.error();
    return image;
}

}  // namespace

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
