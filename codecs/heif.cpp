#include "codecs/heif.h"

#include <libheif/heif.h>

#include <algorithm>
#include <array>
#include <exception>
#include <memory>
#include <new>
#include <optional>
#include <string>

#include "base/parallel.h"
#include "codecs/heif_grid.h"
#include "codecs/rgba_rows.h"

namespace trimlet {

namespace {

struct ContextFree {
    void operator()(heif_context* c) const { heif_context_free(c); }
};
struct HandleFree {
    void operator()(heif_image_handle* h) const { heif_image_handle_release(h); }
};
struct ImageFree {
    void operator()(heif_image* i) const { heif_image_release(i); }
};
struct OptionsFree {
    void operator()(heif_decoding_options* o) const { heif_decoding_options_free(o); }
};

std::int64_t capOf(const DecodeLimits& limits) { return std::min(limits.maxBitmapBytes, kMaxBitmapBytes); }

Error heifFailure(const char* what, const heif_error& error)
{
    std::string why = error.message && *error.message ? error.message : "unknown error";
    while (!why.empty() && (why.back() == '\n' || why.back() == ' '))
        why.pop_back();  // libheif ends some messages with a line break
    if (error.subcode == heif_suberror_Security_limit_exceeded) {
        // Its message starts with the error's class ("Memory allocation error"), which no memory
        // ran short for: only what passed which limit is kept.
        const std::string::size_type exceeded = why.find("exceeded: ");
        return makeError(ErrorCode::TooLarge,
                         std::string("HEIF ") + what + " passes libheif's limits" +
                             (exceeded == std::string::npos ? "" : ": " + why.substr(exceeded + 10)));
    }
    const ErrorCode code = error.code == heif_error_Unsupported_filetype || error.code == heif_error_Unsupported_feature
                               ? ErrorCode::Unsupported
                           : error.code == heif_error_Memory_allocation_error ? ErrorCode::TooLarge
                                                                              : ErrorCode::Corrupt;
    return makeError(code, std::string(code == ErrorCode::Corrupt ? "damaged HEIF: " : "HEIF: ") + what + ": " + why);
}

// The container read from bytes (no copy: they outlive it) and its primary image, whose size
// (after libheif's crop and rotation) is checked against the cap and against what a file of
// fileSize bytes can hold.
struct HeifFile {
    std::unique_ptr<heif_context, ContextFree> context;
    std::unique_ptr<heif_image_handle, HandleFree> primary;
};

Result<HeifFile> open(Bytes bytes, std::uint64_t fileSize, std::int64_t cap)
{
    HeifFile file{std::unique_ptr<heif_context, ContextFree>(heif_context_alloc()), nullptr};
    if (!file.context)
        return makeError(ErrorCode::TooLarge, "not enough memory to start libheif");
    heif_error e = heif_context_read_from_memory_without_copy(file.context.get(), bytes.data(), bytes.size(), nullptr);
    if (e.code != heif_error_Ok)
        return heifFailure("container", e);
    heif_image_handle* handle = nullptr;
    e = heif_context_get_primary_image_handle(file.context.get(), &handle);
    file.primary.reset(handle);
    if (e.code != heif_error_Ok || !handle)
        return heifFailure("primary image", e);
    const int width = heif_image_handle_get_width(handle);
    const int height = heif_image_handle_get_height(handle);
    if (width <= 0 || height <= 0)
        return makeError(ErrorCode::Corrupt, "damaged HEIF: no image size");
    if (!Bitmap::sizeAllowed(width, height, cap))
        return makeError(ErrorCode::TooLarge,
                         "HEIF of " + std::to_string(width) + " x " + std::to_string(height) + " pixels is too large");
    if (!fileCanHoldPixels(fileSize, width, height))
        return makeError(ErrorCode::Corrupt, "damaged HEIF: file too small for its image size");
    return file;
}

std::unique_ptr<heif_decoding_options, OptionsFree> decodingOptions()
{
    std::unique_ptr<heif_decoding_options, OptionsFree> options(heif_decoding_options_alloc());
    if (options) {
        options->convert_hdr_to_8bit = 1;
        options->strict_decoding = 1;  // damage is a failure, not concealed pixels
    }
    return options;
}

// A grid's coded data is larger than its largest side only by whole coding blocks.
void limitImageSides(heif_context* context, int width, int height)
{
    heif_context_set_maximum_image_size_limit(context, std::max(1024, (std::max(width, height) + 63) / 64 * 64) + 1);
}

// Measured on generated grids (peak heap): libheif keeps about 3 KB for each tile item it
// reads, and a tile's decoder (libde265's or dav1d's) stays below 1 MiB besides the tile's
// planes. libheif decodes a grid on 4 threads of its own.
constexpr std::uint64_t kLibheifItemBytes = 3 << 10;
constexpr std::uint64_t kTileDecoderBytes = 1 << 20;
constexpr int kLibheifThreads = 4;

std::uint64_t pixelsOf(const GridHeader& grid)
{
    return grid.declaredWidth > 0 ? std::uint64_t(grid.declaredWidth) * std::uint64_t(grid.declaredHeight)
                                  : std::uint64_t(grid.outputWidth) * std::uint64_t(grid.outputHeight);
}

// A tile's decoder, its coded planes and their RGB planes.
std::uint64_t tileCost(const GridHeader& grid)
{
    return kTileDecoderBytes + std::uint64_t(grid.tileWidth) * std::uint64_t(grid.tileHeight) *
                                   std::uint64_t(grid.planeBytesTimesTwo + 6) / 2;
}

// libheif's whole decode: the grid's coded planes, its RGB(A) picture, and ours.
GridDecodeCost libheifCost(const GridHeader& grid)
{
    const std::uint64_t tiles = std::uint64_t(grid.rows) * std::uint64_t(grid.columns);
    return {tileCost(grid), kLibheifThreads,
            tiles * kLibheifItemBytes + pixelsOf(grid) * std::uint64_t(grid.planeBytesTimesTwo + 14) / 2};
}

// The tiles' own decode: a tile at a time on each thread, into the region's picture.
GridDecodeCost tilesCost(const GridHeader& grid, const PictureRegion& region, int threads)
{
    return {tileCost(grid), threads, std::uint64_t(region.width) * std::uint64_t(region.height) * 3};
}

// 8-bit colour tiles of HEVC, in a grid the tiles express exactly (hvcC: chroma format, then
// the luma and chroma depths).
bool tilesUsable(Bytes bytes, const GridHeader& header)
{
    if (!header.exact || header.exact->tileType != 0x68766331u /* hvc1 */ || header.exact->codecConfig.size < 8 + 23)
        return false;
    const std::uint8_t* config = bytes.data() + header.exact->codecConfig.offset + 8;
    return (config[16] & 3) != 0 && (config[17] & 7) == 0 && (config[18] & 7) == 0;
}

// Whether libheif's whole decode may be used for the grid, within the memory rule.
bool libheifFits(const GridHeader& grid)
{
    return grid.rows * grid.columns <= kMaxTilesForLibraries && gridWithinLimits(grid, libheifCost(grid), "HEIF");
}

std::optional<Result<DecodedImage>> decodeGridRegion(Bytes bytes, const GridHeader& header, PictureRegion region,
                                                     const DecodeLimits& limits, int threads);

void copyProfile(heif_image_handle* handle, std::vector<std::uint8_t>& icc)
{
    const heif_color_profile_type profile = heif_image_handle_get_color_profile_type(handle);
    if (profile == heif_color_profile_type_prof || profile == heif_color_profile_type_rICC) {
        icc.resize(heif_image_handle_get_raw_color_profile_size(handle));
        if (icc.empty() || heif_image_handle_get_raw_color_profile(handle, icc.data()).code != heif_error_Ok)
            icc.clear();
    }
}

Result<DecodedImage> decode(Bytes bytes, const DecodeLimits& limits)
{
    const std::int64_t cap = capOf(limits);
    const GridHeader grid = readGridHeader(bytes, bytes.size());
    if (grid.state == GridHeader::State::Grid) {
        if (Status capped = gridWithinCap(grid, cap, "HEIF"); !capped)
            return capped.error();
        const bool fits = libheifFits(grid);
        if (!fits && tilesUsable(bytes, grid)) {
            int width = 0, height = 0;
            transformedSize(*grid.exact, width, height);
            if (auto decoded = decodeGridRegion(bytes, grid, {0, 0, width, height}, limits, threadsFor(INT64_MAX)))
                return std::move(*decoded);
        }
        if (grid.rows * grid.columns > kMaxTilesForLibraries)
            return tooManyTiles(grid);
        if (Status within = gridWithinLimits(grid, libheifCost(grid), "HEIF"); !within)
            return within.error();
    }
    auto file = open(bytes, bytes.size(), cap);
    if (!file)
        return file.error();
    heif_image_handle* handle = file.value().primary.get();
    const bool alpha = heif_image_handle_has_alpha_channel(handle) != 0;
    // A grid's own size box may declare far more than the image's ispe, and libheif would
    // allocate that. Nothing it builds may pass the longer side just checked, rounded up to
    // whole coding blocks (a small picture may sit in one larger tile).
    limitImageSides(file.value().context.get(), heif_image_handle_get_width(handle),
                    heif_image_handle_get_height(handle));

    const auto options = decodingOptions();
    if (!options)
        return makeError(ErrorCode::TooLarge, "not enough memory to start libheif");
    heif_image* decodedImage = nullptr;
    const heif_error e =
        heif_decode_image(handle, &decodedImage, heif_colorspace_RGB,
                          alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, options.get());
    const std::unique_ptr<heif_image, ImageFree> image(decodedImage);
    if (e.subcode == heif_suberror_Security_limit_exceeded && grid.state == GridHeader::State::Grid &&
        std::max(grid.outputWidth, grid.outputHeight) >
            std::max(heif_image_handle_get_width(handle), heif_image_handle_get_height(handle)))
        return makeError(ErrorCode::Corrupt, "damaged HEIF: its grid is larger than its declared size");
    if (e.code != heif_error_Ok || !image)
        return heifFailure("image data", e);

    int stride = 0;
    const std::uint8_t* pixels = heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
    const int width = heif_image_get_width(image.get(), heif_channel_interleaved);
    const int height = heif_image_get_height(image.get(), heif_channel_interleaved);
    if (!pixels || heif_image_get_bits_per_pixel_range(image.get(), heif_channel_interleaved) != 8 || width <= 0 ||
        height <= 0 || stride < width * (alpha ? 4 : 3))
        return makeError(ErrorCode::Unsupported, "HEIF pixel layout not handled");
    // libheif may crop a damaged file to another size than its handle announced.
    if (width != heif_image_handle_get_width(handle) || height != heif_image_handle_get_height(handle))
        return makeError(ErrorCode::Corrupt, "damaged HEIF: decoded size differs from the declared one");

    DecodedImage decoded{Bitmap(width, height, Bitmap::Init::Uninitialized)};
    if (alpha)
        decoded.mask.resize(std::size_t(width) * std::size_t(height));
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* row = pixels + std::size_t(y) * std::size_t(stride);
        if (alpha)
            rgbaRowToBgr(row, width, decoded.bitmap.row(y), &decoded.mask[std::size_t(y) * std::size_t(width)]);
        else
            rgbRowToBgr(row, width, decoded.bitmap.row(y));
    }
    copyProfile(handle, decoded.iccProfile);
    return decoded;
}

// Where a pixel of the transformed picture lies in the assembled grid: coded = m * shown + t.
struct PixelMap {
    std::array<int, 4> m{1, 0, 0, 1};  // row by row
    std::array<int, 2> t{0, 0};
};

// The map of the grid's transforms, each applied as libheif applies it to the whole picture.
PixelMap mapOf(const ItemGrid& grid)
{
    std::vector<std::array<int, 2>> sizes{{grid.outputWidth, grid.outputHeight}};
    for (const GridTransform& t : grid.transforms) {
        auto size = sizes.back();
        if (t.kind == GridTransform::Kind::Rotate && t.value % 2 == 1)
            std::swap(size[0], size[1]);
        sizes.push_back(size);
    }
    PixelMap map;
    for (std::size_t k = grid.transforms.size(); k-- > 0;) {
        // This transform's source pixel of its output pixel (x, y): f = (a x + b y + e, c x + d y + g).
        const GridTransform& t = grid.transforms[k];
        const int w = sizes[k][0], h = sizes[k][1];
        int a = 1, b = 0, c = 0, d = 1, e = 0, g = 0;
        if (t.kind == GridTransform::Kind::Rotate && t.value == 1)
            a = 0, b = -1, e = w - 1, c = 1, d = 0;
        else if (t.kind == GridTransform::Kind::Rotate && t.value == 2)
            a = -1, e = w - 1, d = -1, g = h - 1;
        else if (t.kind == GridTransform::Kind::Rotate && t.value == 3)
            a = 0, b = 1, c = -1, d = 0, g = h - 1;
        else if (t.kind == GridTransform::Kind::Mirror && t.value == 0)
            d = -1, g = h - 1;
        else if (t.kind == GridTransform::Kind::Mirror)
            a = -1, e = w - 1;
        const PixelMap inner = map;
        map.m = {a * inner.m[0] + b * inner.m[2], a * inner.m[1] + b * inner.m[3], c * inner.m[0] + d * inner.m[2],
                 c * inner.m[1] + d * inner.m[3]};
        map.t = {a * inner.t[0] + b * inner.t[1] + e, c * inner.t[0] + d * inner.t[1] + g};
    }
    return map;
}

// Decodes one tile as libheif decodes a grid's tile, to planar RGB, and writes the part of it
// inside coded (the grid's rectangle under the region) to its place in out.
Status pasteTile(Bytes bytes, const ItemGrid& grid, int index, const PixelMap& map, const PictureRegion& coded,
                 const PictureRegion& region, Bitmap& out)
{
    const std::vector<std::uint8_t> tile = tileFile(bytes, grid, index);
    const std::unique_ptr<heif_context, ContextFree> context(heif_context_alloc());
    const auto options = decodingOptions();
    if (!context || !options)
        return makeError(ErrorCode::TooLarge, "not enough memory to start libheif");
    heif_context_set_max_decoding_threads(context.get(), 0);
    limitImageSides(context.get(), grid.tileWidth, grid.tileHeight);
    heif_error e = heif_context_read_from_memory_without_copy(context.get(), tile.data(), tile.size(), nullptr);
    if (e.code != heif_error_Ok)
        return heifFailure("tile", e);
    heif_image_handle* rawHandle = nullptr;
    e = heif_context_get_primary_image_handle(context.get(), &rawHandle);
    const std::unique_ptr<heif_image_handle, HandleFree> handle(rawHandle);
    if (e.code != heif_error_Ok || !handle)
        return heifFailure("tile", e);
    heif_image* rawImage = nullptr;
    e = heif_decode_image(handle.get(), &rawImage, heif_colorspace_RGB, heif_chroma_444, options.get());
    const std::unique_ptr<heif_image, ImageFree> image(rawImage);
    if (e.code != heif_error_Ok || !image)
        return heifFailure("image data", e);
    std::array<int, 3> strides{};
    std::array<const std::uint8_t*, 3> planes{};
    const std::array<heif_channel, 3> channels{heif_channel_B, heif_channel_G, heif_channel_R};
    for (std::size_t c = 0; c < 3; ++c) {
        planes[c] = heif_image_get_plane_readonly(image.get(), channels[c], &strides[c]);
        if (!planes[c] || heif_image_get_bits_per_pixel_range(image.get(), channels[c]) != 8 ||
            heif_image_get_width(image.get(), channels[c]) != grid.tileWidth ||
            heif_image_get_height(image.get(), channels[c]) != grid.tileHeight)
            return makeError(ErrorCode::Corrupt, "damaged HEIF: a tile differs from its declared size");
    }
    const int left = index % grid.columns * grid.tileWidth, top = index / grid.columns * grid.tileHeight;
    const int x0 = std::max(left, coded.x), x1 = std::min(left + grid.tileWidth, coded.x + coded.width);
    const int y0 = std::max(top, coded.y), y1 = std::min(top + grid.tileHeight, coded.y + coded.height);
    // The inverse of the map is its transpose: a coded step to the right is a shown step of (m0, m1).
    const std::ptrdiff_t step = std::ptrdiff_t(map.m[0]) * 3 + std::ptrdiff_t(map.m[1]) * out.stride();
    for (int y = y0; y < y1; ++y) {
        const int sx = map.m[0] * (x0 - map.t[0]) + map.m[2] * (y - map.t[1]) - region.x;
        const int sy = map.m[1] * (x0 - map.t[0]) + map.m[3] * (y - map.t[1]) - region.y;
        std::uint8_t* to = out.row(sy) + std::ptrdiff_t(sx) * 3;
        const std::size_t at = std::size_t(x0 - left);
        const std::uint8_t* b = planes[0] + std::size_t(y - top) * std::size_t(strides[0]) + at;
        const std::uint8_t* g = planes[1] + std::size_t(y - top) * std::size_t(strides[1]) + at;
        const std::uint8_t* r = planes[2] + std::size_t(y - top) * std::size_t(strides[2]) + at;
        for (int x = x0; x < x1; ++x, to += step) {
            to[0] = *b++;
            to[1] = *g++;
            to[2] = *r++;
        }
    }
    return {};
}

// The grid's tiles under region only, decoded on `threads` threads. Nothing when the file is no
// grid the tiles express exactly.
std::optional<Result<DecodedImage>> decodeGridRegion(Bytes bytes, const GridHeader& header, PictureRegion region,
                                                     const DecodeLimits& limits, int threads)
{
    if (header.state != GridHeader::State::Grid || !tilesUsable(bytes, header))
        return std::nullopt;
    const ItemGrid* grid = &*header.exact;
    int width = 0, height = 0;
    transformedSize(*grid, width, height);
    if (!Bitmap::sizeAllowed(width, height, capOf(limits)))
        return Result<DecodedImage>(
            makeError(ErrorCode::TooLarge,
                      "HEIF of " + std::to_string(width) + " x " + std::to_string(height) + " pixels is too large"));
    // libheif judges the container too while its reading is cheap.
    if (grid->rows * grid->columns <= kMaxTilesForLibraries)
        if (auto file = open(bytes, bytes.size(), capOf(limits)); !file)
            return Result<DecodedImage>(file.error());
    if (region.width <= 0 || region.height <= 0 || region.x < 0 || region.y < 0 || region.x > width - region.width ||
        region.y > height - region.height)
        return Result<DecodedImage>(makeError(ErrorCode::Invalid, "the region is not inside the picture"));

    const PixelMap map = mapOf(*grid);
    const int ax = map.m[0] * region.x + map.m[1] * region.y + map.t[0];
    const int ay = map.m[2] * region.x + map.m[3] * region.y + map.t[1];
    const int bx = ax + map.m[0] * (region.width - 1) + map.m[1] * (region.height - 1);
    const int by = ay + map.m[2] * (region.width - 1) + map.m[3] * (region.height - 1);
    const PictureRegion coded{std::min(ax, bx), std::min(ay, by), std::abs(bx - ax) + 1, std::abs(by - ay) + 1};
    std::vector<int> tiles;
    for (int row = coded.y / grid->tileHeight; row <= (coded.y + coded.height - 1) / grid->tileHeight; ++row)
        for (int column = coded.x / grid->tileWidth; column <= (coded.x + coded.width - 1) / grid->tileWidth; ++column)
            tiles.push_back(row * grid->columns + column);

    threads = std::max(1, std::min(threads, int(tiles.size())));
    if (Status within = gridWithinLimits(header, tilesCost(header, region, threads), "HEIF"); !within)
        return Result<DecodedImage>(within.error());
    DecodedImage decoded{Bitmap(region.width, region.height, Bitmap::Init::Uninitialized)};
    std::vector<Status> done(tiles.size());
    parallelFor(int(tiles.size()), threads, [&](int begin, int end) {
        for (int i = begin; i < end; ++i) {
            done[std::size_t(i)] = pasteTile(bytes, *grid, tiles[std::size_t(i)], map, coded, region, decoded.bitmap);
            if (!done[std::size_t(i)])
                break;
        }
    });
    for (const Status& status : done)
        if (!status)
            return Result<DecodedImage>(status.error());
    if (grid->profile.size > 12)  // the colr box's header and colour type, then the profile
        decoded.iccProfile.assign(bytes.data() + grid->profile.offset + 12,
                                  bytes.data() + grid->profile.offset + grid->profile.size);
    return Result<DecodedImage>(std::move(decoded));
}

}  // namespace

HeaderProbe probeHeif(Bytes head, std::uint64_t fileSize, const DecodeLimits& limits)
{
    try {
        const GridHeader grid = readGridHeader(head, fileSize, false);
        if (grid.state == GridHeader::State::NeedsMore)
            return {makeError(ErrorCode::Corrupt, "damaged HEIF: its boxes end early"), true};
        if (grid.state == GridHeader::State::Grid)
            if (Status capped = gridWithinCap(grid, capOf(limits), "HEIF"); !capped)
                return {capped.error()};
        if (grid.state == GridHeader::State::Grid && !libheifFits(grid)) {
            if (!tilesUsable(head, grid))
                return {grid.rows * grid.columns > kMaxTilesForLibraries
                            ? tooManyTiles(grid)
                            : gridWithinLimits(grid, libheifCost(grid), "HEIF").error()};
            int width = 0, height = 0;
            transformedSize(*grid.exact, width, height);
            if (!Bitmap::sizeAllowed(width, height, capOf(limits)))
                return {makeError(ErrorCode::TooLarge, "HEIF of " + std::to_string(width) + " x " +
                                                           std::to_string(height) + " pixels is too large")};
            if (Status within =
                    gridWithinLimits(grid, tilesCost(grid, {0, 0, width, height}, threadsFor(INT64_MAX)), "HEIF");
                !within)
                return {within.error()};
            return {PictureSize{width, height}};
        }
        auto file = open(head, std::max<std::uint64_t>(fileSize, head.size()), capOf(limits));
        if (!file)
            return {file.error(), file.error().code != ErrorCode::TooLarge && head.size() < fileSize};
        heif_image_handle* handle = file.value().primary.get();
        return {PictureSize{heif_image_handle_get_width(handle), heif_image_handle_get_height(handle)}};
    } catch (const std::bad_alloc&) {
        return {makeError(ErrorCode::TooLarge, "not enough memory for the HEIF")};
    }
}

Result<DecodedImage> decodeHeif(Bytes file, const DecodeLimits& limits)
{
    return decodeGuarded("HEIF", [&] { return decode(file, limits); });
}

Result<DecodedImage> decodeHeifRegion(Bytes file, PictureRegion region, const DecodeLimits& limits, int threads,
                                      bool& whole)
{
    whole = false;
    return decodeGuarded("HEIF", [&]() -> Result<DecodedImage> {
        auto decoded = decodeGridRegion(file, readGridHeader(file, file.size()), region, limits, threads);
        whole = !decoded;
        return decoded ? std::move(*decoded) : makeError(ErrorCode::Unsupported, "HEIF is no grid of tiles");
    });
}

}  // namespace trimlet
