#include "codecs/avif.h"

#include <avif/avif.h>

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <exception>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "base/parallel.h"
#include "codecs/heif.h"
#include "codecs/heif_grid.h"
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

Error avifFailure(const char* what, avifResult result, const avifDecoder* decoder = nullptr)
{
    if (result == AVIF_RESULT_NO_CODEC_AVAILABLE)
        return makeError(ErrorCode::Unsupported, "no AV1 decoder available");
    std::string why = avifResultToString(result);
    if (decoder && decoder->diag.error[0])
        why += std::string(" (") + decoder->diag.error + ")";
    return makeError(ErrorCode::Corrupt, std::string("damaged AVIF: ") + what + ": " + why);
}

// Measured on generated grids (peak resident size against the tile count): libavif keeps a
// decoder of about 440 KB for every tile of a grid at once, besides the tiles' planes; a tile
// decoded on its own holds one such decoder for the time of its decode.
constexpr std::uint64_t kLibavifTileBytes = 448 << 10;

std::uint64_t pixelsOf(const GridHeader& grid)
{
    return grid.declaredWidth > 0 ? std::uint64_t(grid.declaredWidth) * std::uint64_t(grid.declaredHeight)
                                  : std::uint64_t(grid.outputWidth) * std::uint64_t(grid.outputHeight);
}

std::uint64_t tilePlanes(const GridHeader& grid)
{
    return std::uint64_t(grid.tileWidth) * std::uint64_t(grid.tileHeight) * std::uint64_t(grid.planeBytesTimesTwo) / 2;
}

// libavif's whole decode: every tile's decoder, the grid's planes, its conversion and ours.
GridDecodeCost libavifCost(const GridHeader& grid)
{
    return {kLibavifTileBytes + tilePlanes(grid), std::int64_t(grid.rows) * grid.columns,
            pixelsOf(grid) * std::uint64_t(grid.planeBytesTimesTwo + 6) / 2};
}

// The tiles' own decode of pixels around a region of regionPixels: a tile's decoder on each
// thread, the decoded tiles, their planes assembled, the conversion and the region's picture
// (the conversion itself when the region is all of it).
GridDecodeCost tilesCost(const GridHeader& grid, std::uint64_t pixels, std::uint64_t regionPixels, int threads)
{
    return {kLibavifTileBytes + 2 * tilePlanes(grid), threads,
            pixels * std::uint64_t(grid.planeBytesTimesTwo + 3) + (regionPixels < pixels ? regionPixels * 3 : 0)};
}

bool libavifFits(const GridHeader& grid)
{
    return grid.rows * grid.columns <= kMaxTilesForLibraries && gridWithinLimits(grid, libavifCost(grid), "AVIF");
}

bool tilesUsable(const GridHeader& grid)
{
    return grid.exact && !grid.sequence && grid.exact->tileType == 0x61763031u /* av01 */ &&
           grid.exact->tileWidth % 2 == 0 && grid.exact->tileHeight % 2 == 0;
}

// Why a grid libavif may not decode whole is refused, when the tiles cannot be decoded alone.
Error refusalOf(const GridHeader& grid)
{
    return grid.rows * grid.columns > kMaxTilesForLibraries ? tooManyTiles(grid)
                                                            : gridWithinLimits(grid, libavifCost(grid), "AVIF").error();
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
        return avifFailure("container", r, decoder);
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
// mirror 0 for none, else 1 + the imir mode.
int orientationFrom(int angle, int mirror)
{
    static constexpr int kTable[4][3] = {{1, 4, 2}, {8, 5, 7}, {3, 2, 4}, {6, 7, 5}};
    return kTable[angle & 3][mirror];
}

int orientationOf(const avifImage& image)
{
    const int angle = (image.transformFlags & AVIF_TRANSFORM_IROT) ? image.irot.angle & 3 : 0;
    const int mirror = (image.transformFlags & AVIF_TRANSFORM_IMIR) ? 1 + (image.imir.mode & 1) : 0;
    return orientationFrom(angle, mirror);
}

int orientationOf(const ItemGrid& grid)
{
    int angle = 0, mirror = 0;
    for (const GridTransform& t : grid.transforms)
        (t.kind == GridTransform::Kind::Rotate ? angle : mirror) =
            t.kind == GridTransform::Kind::Rotate ? t.value : 1 + t.value;
    return orientationFrom(angle, mirror);
}

// A container libavif cannot read is tried with libheif (which applies the container's
// transforms itself); a refusal by both keeps both reasons.
bool containerRefused(const Error& error) { return error.message.rfind("damaged AVIF: container:", 0) == 0; }

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

std::optional<Result<DecodedImage>> decodeGridRegion(Bytes file, const GridHeader& header, PictureRegion region,
                                                     const DecodeLimits& limits, int threads);

Result<DecodedImage> decode(Bytes file, const DecodeLimits& limits)
{
    const GridHeader grid = readGridHeader(file, file.size());
    if (grid.state == GridHeader::State::Grid)
        if (Status capped = gridWithinCap(grid, capOf(limits), "AVIF"); !capped)
            return capped.error();
    if (grid.state == GridHeader::State::Grid && !libavifFits(grid)) {
        if (!tilesUsable(grid))
            return refusalOf(grid);
        auto decoded = decodeGridRegion(file, grid, {0, 0, grid.exact->outputWidth, grid.exact->outputHeight}, limits,
                                        threadsFor(INT64_MAX));
        return decoded ? std::move(*decoded) : refusalOf(grid);
    }
    AvifSource source = makeSource(file, file.size());
    AvifDecoder decoder(avifDecoderCreate());
    if (Status parsed = parse(decoder.get(), source, capOf(limits)); !parsed) {
        if (!containerRefused(parsed.error()))
            return parsed.error();
        auto read = decodeHeif(file, limits);
        if (read)
            return read;
        return makeError(parsed.error().code, parsed.error().message + "; libheif: " + read.error().message);
    }
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

struct ImageFree {
    void operator()(avifImage* i) const { avifImageDestroy(i); }
};

// Copies the part of tile (at left, top of the grid) inside the grid rectangle that image
// holds (at x0, y0), plane by plane in each plane's own samples.
void pasteTile(const avifImage& tile, int left, int top, avifImage& image, int x0, int y0, int planes)
{
    const std::size_t sample = image.depth > 8 ? 2 : 1;
    for (int p = 0; p < planes; ++p) {
        const int sx =
            p == 0 ? 0
                   : int(image.yuvFormat == AVIF_PIXEL_FORMAT_YUV420 || image.yuvFormat == AVIF_PIXEL_FORMAT_YUV422);
        const int sy = p == 0 ? 0 : int(image.yuvFormat == AVIF_PIXEL_FORMAT_YUV420);
        auto span = [](int at, int size, int shift) {
            return std::pair{at >> shift, (at >> shift) + ((size + (1 << shift) - 1) >> shift)};
        };
        const auto [ix0, ix1] = span(x0, int(image.width), sx);
        const auto [iy0, iy1] = span(y0, int(image.height), sy);
        const auto [tx0, tx1] = span(left, int(tile.width), sx);
        const auto [ty0, ty1] = span(top, int(tile.height), sy);
        const int a = std::max(ix0, tx0), b = std::min(ix1, tx1);
        for (int y = std::max(iy0, ty0); y < std::min(iy1, ty1); ++y)
            if (a < b)
                std::copy_n(
                    tile.yuvPlanes[p] + std::size_t(y - ty0) * tile.yuvRowBytes[p] + std::size_t(a - tx0) * sample,
                    std::size_t(b - a) * sample,
                    image.yuvPlanes[p] + std::size_t(y - iy0) * image.yuvRowBytes[p] + std::size_t(a - ix0) * sample);
    }
}

// The grid's tiles under region (and under the few pixels around it that chroma upsampling
// reads), assembled as libavif assembles the whole grid and converted as decode converts it.
// Nothing when the file is no grid the tiles express exactly.
std::optional<Result<DecodedImage>> decodeGridRegion(Bytes file, const GridHeader& header, PictureRegion region,
                                                     const DecodeLimits& limits, int threads)
{
    if (header.state != GridHeader::State::Grid || !tilesUsable(header))
        return std::nullopt;
    const ItemGrid* grid = &*header.exact;
    // What the container shows: libavif's reading while it is cheap, else the boxes' own.
    struct {
        int width = 0, height = 0, orientation = 1;
        avifColorPrimaries primaries = AVIF_COLOR_PRIMARIES_UNSPECIFIED;
        avifTransferCharacteristics transfer = AVIF_TRANSFER_CHARACTERISTICS_UNSPECIFIED;
        avifMatrixCoefficients matrix = AVIF_MATRIX_COEFFICIENTS_UNSPECIFIED;
        std::vector<std::uint8_t> icc;
        std::uint32_t depth = 0;
        avifPixelFormat format = AVIF_PIXEL_FORMAT_NONE;
    } whole;
    AvifSource source = makeSource(file, file.size());
    AvifDecoder decoder;
    if (libavifFits(header)) {
        decoder.reset(avifDecoderCreate());
        if (Status parsed = parse(decoder.get(), source, capOf(limits)); !parsed)
            return Result<DecodedImage>(parsed.error());
        const avifImage& image = *decoder->image;
        if (decoder->alphaPresent || decoder->imageCount != 1)
            return std::nullopt;
        whole.width = int(image.width), whole.height = int(image.height), whole.orientation = orientationOf(image);
        whole.primaries = image.colorPrimaries, whole.transfer = image.transferCharacteristics;
        whole.matrix = image.matrixCoefficients;
        whole.icc.assign(image.icc.data, image.icc.data + image.icc.size);
        whole.depth = image.depth, whole.format = image.yuvFormat;
    } else {
        whole.width = grid->outputWidth, whole.height = grid->outputHeight, whole.orientation = orientationOf(*grid);
        if (!Bitmap::sizeAllowed(whole.width, whole.height, capOf(limits)))
            return Result<DecodedImage>(makeError(ErrorCode::TooLarge, "AVIF of " + std::to_string(whole.width) +
                                                                           " x " + std::to_string(whole.height) +
                                                                           " pixels is too large"));
        if (grid->colour.size >= 18) {  // nclx: primaries, transfer, matrix, range
            const std::uint8_t* nclx = file.data() + grid->colour.offset + 12;
            whole.primaries = avifColorPrimaries(nclx[0] << 8 | nclx[1]);
            whole.transfer = avifTransferCharacteristics(nclx[2] << 8 | nclx[3]);
            whole.matrix = avifMatrixCoefficients(nclx[4] << 8 | nclx[5]);
        }
        if (grid->profile.size > 12)
            whole.icc.assign(file.data() + grid->profile.offset + 12,
                             file.data() + grid->profile.offset + grid->profile.size);
    }
    const int width = whole.width, height = whole.height;
    if (region.width <= 0 || region.height <= 0 || region.x < 0 || region.y < 0 || region.x > width - region.width ||
        region.y > height - region.height)
        return Result<DecodedImage>(makeError(ErrorCode::Invalid, "the region is not inside the picture"));
    if (grid->outputWidth != width || grid->outputHeight != height)
        return std::nullopt;

    // Chroma upsampling reads a sample or so either side; four pixels, kept even, are plenty.
    constexpr int kMargin = 4;
    const int x0 = std::max(0, region.x - kMargin) & ~1, y0 = std::max(0, region.y - kMargin) & ~1;
    const int x1 = std::min(width, (region.x + region.width + kMargin + 1) & ~1);
    const int y1 = std::min(height, (region.y + region.height + kMargin + 1) & ~1);
    std::vector<int> tiles;
    for (int row = y0 / grid->tileHeight; row <= (y1 - 1) / grid->tileHeight; ++row)
        for (int column = x0 / grid->tileWidth; column <= (x1 - 1) / grid->tileWidth; ++column)
            tiles.push_back(row * grid->columns + column);

    threads = std::max(1, std::min(threads, int(tiles.size())));
    if (Status within = gridWithinLimits(header,
                                         tilesCost(header, std::uint64_t(x1 - x0) * std::uint64_t(y1 - y0),
                                                   std::uint64_t(region.width) * std::uint64_t(region.height), threads),
                                         "AVIF");
        !within)
        return Result<DecodedImage>(within.error());
    auto decodeTile = [&](int index, std::unique_ptr<avifImage, ImageFree>& image) -> Status {
        const std::vector<std::uint8_t> tile = tileFile(file, *grid, index);
        AvifDecoder one(avifDecoderCreate());
        image.reset(avifImageCreateEmpty());
        if (!one || !image)
            return makeError(ErrorCode::TooLarge, "not enough memory to start libavif");
        one->imageSizeLimit = std::uint32_t(grid->tileWidth) * std::uint32_t(grid->tileHeight);
        if (const avifResult r = avifDecoderReadMemory(one.get(), image.get(), tile.data(), tile.size());
            r != AVIF_RESULT_OK)
            return avifFailure("tile", r);
        return {};
    };
    // The first tile decides what every other must be like; unlike the container's, it decides.
    std::unique_ptr<avifImage, ImageFree> first;
    if (Status decoded = decodeTile(tiles.front(), first); !decoded)
        return Result<DecodedImage>(decoded.error());
    if (whole.depth != 0 && (first->depth != whole.depth || first->yuvFormat != whole.format))
        return std::nullopt;
    auto alike = [&](const avifImage& tile) {
        return int(tile.width) == grid->tileWidth && int(tile.height) == grid->tileHeight &&
               tile.depth == first->depth && tile.yuvFormat == first->yuvFormat && tile.yuvRange == first->yuvRange &&
               tile.colorPrimaries == first->colorPrimaries &&
               tile.transferCharacteristics == first->transferCharacteristics &&
               tile.matrixCoefficients == first->matrixCoefficients && tile.yuvPlanes[0];
    };
    if (!alike(*first))
        return std::nullopt;

    const std::unique_ptr<avifImage, ImageFree> part(
        avifImageCreate(std::uint32_t(x1 - x0), std::uint32_t(y1 - y0), first->depth, first->yuvFormat));
    if (!part)
        return Result<DecodedImage>(makeError(ErrorCode::TooLarge, "not enough memory for the AVIF"));
    part->yuvRange = first->yuvRange;
    // The container's colours when it names them, else the first tile's, as libavif takes them.
    const bool named = whole.primaries != AVIF_COLOR_PRIMARIES_UNSPECIFIED ||
                       whole.transfer != AVIF_TRANSFER_CHARACTERISTICS_UNSPECIFIED ||
                       whole.matrix != AVIF_MATRIX_COEFFICIENTS_UNSPECIFIED;
    part->colorPrimaries = named ? whole.primaries : first->colorPrimaries;
    part->transferCharacteristics = named ? whole.transfer : first->transferCharacteristics;
    part->matrixCoefficients = named ? whole.matrix : first->matrixCoefficients;
    if (avifImageAllocatePlanes(part.get(), AVIF_PLANES_YUV) != AVIF_RESULT_OK)
        return Result<DecodedImage>(makeError(ErrorCode::TooLarge, "not enough memory for the AVIF"));
    const int planes = first->yuvFormat == AVIF_PIXEL_FORMAT_YUV400 || !first->yuvPlanes[1] ? 1 : 3;
    auto paste = [&](const avifImage& tile, int index) {
        pasteTile(tile, index % grid->columns * grid->tileWidth, index / grid->columns * grid->tileHeight, *part, x0,
                  y0, planes);
    };
    paste(*first, tiles.front());
    // Each tile goes into the planes as soon as it is decoded: thousands of small tiles held
    // until the end would scatter the decoders' freed memory past any reuse. Tiles are of even
    // sizes, so no two write the same sample.
    std::vector<Status> done(tiles.size());
    std::atomic<bool> unlike{false};
    parallelFor(int(tiles.size()) - 1, threads, [&](int begin, int end) {
        std::unique_ptr<avifImage, ImageFree> image;
        for (int i = begin + 1; i < end + 1 && !unlike; ++i) {
            if (Status decoded = decodeTile(tiles[std::size_t(i)], image); !decoded) {
                done[std::size_t(i)] = decoded;
                break;
            }
            if (!alike(*image)) {
                unlike = true;
                break;
            }
            paste(*image, tiles[std::size_t(i)]);
        }
    });
    for (const Status& status : done)
        if (!status)
            return Result<DecodedImage>(status.error());
    if (unlike)
        return std::nullopt;

    Bitmap converted(x1 - x0, y1 - y0, Bitmap::Init::Uninitialized);
    avifRGBImage rgb;
    avifRGBImageSetDefaults(&rgb, part.get());
    rgb.format = AVIF_RGB_FORMAT_BGR;
    rgb.depth = 8;
    rgb.pixels = converted.data();
    rgb.rowBytes = std::uint32_t(converted.stride());
    if (const avifResult r = avifImageYUVToRGB(part.get(), &rgb); r != AVIF_RESULT_OK)
        return Result<DecodedImage>(avifFailure("colour conversion", r));
    const bool all = region.x == x0 && region.y == y0 && region.width == x1 - x0 && region.height == y1 - y0;
    DecodedImage out;
    if (all) {
        out.bitmap = std::move(converted);
    } else {
        out.bitmap = Bitmap(region.width, region.height, Bitmap::Init::Uninitialized);
        for (int y = 0; y < region.height; ++y)
            std::copy_n(converted.row(region.y - y0 + y) + std::size_t(region.x - x0) * 3,
                        std::size_t(region.width) * 3, out.bitmap.row(y));
    }
    out.orientation = whole.orientation;
    out.iccProfile = std::move(whole.icc);
    return Result<DecodedImage>(std::move(out));
}

}  // namespace

Result<DecodedImage> decodeAvifRegion(Bytes file, PictureRegion region, const DecodeLimits& limits, int threads,
                                      bool& whole)
{
    whole = false;
    return decodeGuarded("AVIF", [&]() -> Result<DecodedImage> {
        auto decoded = decodeGridRegion(file, readGridHeader(file, file.size()), region, limits, threads);
        whole = !decoded;
        return decoded ? std::move(*decoded) : makeError(ErrorCode::Unsupported, "AVIF is no grid of tiles");
    });
}

HeaderProbe probeAvif(Bytes head, std::uint64_t fileSize, const DecodeLimits& limits)
{
    try {
        // libavif's reading of a large grid takes minutes and gigabytes: the boxes say it.
        const GridHeader grid = readGridHeader(head, fileSize, false);
        if (grid.state == GridHeader::State::NeedsMore)
            return {makeError(ErrorCode::Corrupt, "damaged AVIF: its boxes end early"), true};
        if (grid.state == GridHeader::State::Grid)
            if (Status capped = gridWithinCap(grid, capOf(limits), "AVIF"); !capped)
                return {capped.error()};
        if (grid.state == GridHeader::State::Grid && !libavifFits(grid)) {
            if (!tilesUsable(grid))
                return {refusalOf(grid)};
            const int width = grid.exact->outputWidth, height = grid.exact->outputHeight;
            if (!Bitmap::sizeAllowed(width, height, capOf(limits)))
                return {makeError(ErrorCode::TooLarge, "AVIF of " + std::to_string(width) + " x " +
                                                           std::to_string(height) + " pixels is too large")};
            if (Status within =
                    gridWithinLimits(grid,
                                     tilesCost(grid, std::uint64_t(width) * std::uint64_t(height),
                                               std::uint64_t(width) * std::uint64_t(height), threadsFor(INT64_MAX)),
                                     "AVIF");
                !within)
                return {within.error()};
            return {PictureSize{width, height}, false, orientationOf(*grid.exact)};
        }
        AvifSource source = makeSource(head, fileSize);
        AvifDecoder decoder(avifDecoderCreate());
        if (Status parsed = parse(decoder.get(), source, capOf(limits)); !parsed) {
            if (source.wantsMore || !containerRefused(parsed.error()))
                return {parsed.error(), source.wantsMore};
            HeaderProbe read = probeHeif(head, fileSize, limits);
            if (!read.size && !read.needsMore)
                read.size =
                    makeError(parsed.error().code, parsed.error().message + "; libheif: " + read.size.error().message);
            return read;
        }
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
