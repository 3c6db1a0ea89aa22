#include "document/lossless_job.h"

#include <algorithm>
#include <utility>

#include "base/file_io.h"
#include "codecs/exif.h"
#include "codecs/jpeg_lossless.h"
#include "document/cut_job.h"
#include "imaging/plan.h"

namespace trimlet {

namespace {

// Most headers end within the first read; profiles and EXIF come in 64 kB segments, so a
// long one is read again whole.
constexpr std::size_t kFirstHeadBytes = std::size_t{64} << 10;
constexpr std::size_t kLongestHeadBytes = std::size_t{4} << 20;

}  // namespace

Result<JpegBlocks> probeFileBlocks(const RegularFile& file, const DecodeLimits& limits)
{
    std::size_t count = std::size_t(std::min<std::uint64_t>(file.size(), kFirstHeadBytes));
    for (;;) {
        const auto head = file.readAt(0, count);
        if (!head)
            return head.error();
        const Bytes bytes = head.value();
        if (bytes.size() < 3 || bytes[0] != 0xFF || bytes[1] != 0xD8 || bytes[2] != 0xFF)
            return makeError(ErrorCode::Invalid, "not a JPEG file: --lossless copies only a JPEG's blocks");
        auto blocks = probeJpegBlocks(bytes, file.size(), limits);
        const std::size_t longer = std::size_t(std::min<std::uint64_t>(file.size(), kLongestHeadBytes));
        if (blocks || blocks.error().code == ErrorCode::Unsupported || count >= longer)
            return blocks;
        count = longer;
    }
}

namespace {

std::string sizeText(int w, int h) { return std::to_string(w) + "x" + std::to_string(h); }

std::string gridText(const LosslessGrid& grid)
{
    return "every " + sizeText(grid.stepX, grid.stepY) + " pixels from " + std::to_string(grid.offsetX) + "," +
           std::to_string(grid.offsetY);
}

bool onGrid(const LosslessGrid& grid, IntPoint at)
{
    return at.x >= grid.offsetX && at.y >= grid.offsetY && (at.x - grid.offsetX) % grid.stepX == 0 &&
           (at.y - grid.offsetY) % grid.stepY == 0;
}

// The region job asks for in a shownW × shownH picture, on grid.
Result<JpegRegion> placeRegion(const LosslessJob& job, const LosslessGrid& grid, PictureSize shown)
{
    if (!job.cut) {
        if (!onGrid(grid, {0, 0}))
            return makeError(ErrorCode::Invalid,
                             "as shown, the picture's left or top edge is not on the file's block grid (" +
                                 gridText(grid) +
                                 "), so it cannot be copied whole losslessly; a --cut on the grid can");
        return JpegRegion{0, 0, shown.width, shown.height};
    }
    const CutRequest& cut = *job.cut;
    if (!cut.fit && cut.rate != 100)
        return makeError(ErrorCode::Invalid,
                         "--lossless copies pixels as they are, at the rate 100, not " + std::to_string(cut.rate));
    Result<CutFrame> frame = makeError(ErrorCode::TooLarge, "the cut left no picture");
    if (job.origin) {
        frame = frameAtOrigin(shown.width, shown.height, cut, *job.origin);
    } else if (const auto centred = cutFrame(shown.width, shown.height, cut)) {
        frame = *centred;
    }
    if (!frame)
        return frame.error();
    const CutFrame& f = frame.value();
    if (f.rate != 100)
        return makeError(ErrorCode::Invalid, "--cut " + sizeText(cut.width, cut.height) + "@fit comes to the rate " +
                                                 std::to_string(f.rate) + " in this " +
                                                 sizeText(shown.width, shown.height) +
                                                 " picture, and --lossless copies pixels only at 100");
    JpegRegion region{f.origin.x, f.origin.y, f.width, f.height};
    const JpegRegion asked = region;
    const bool snapped = snapToGrid(grid, shown.width, shown.height, region);
    if (job.origin && !onGrid(grid, f.origin)) {
        std::string text = "--cut " + sizeText(cut.width, cut.height) + ":" + std::to_string(asked.x) + "," +
                           std::to_string(asked.y) + " is off the block grid that --lossless cuts on (" +
                           gridText(grid) + ")";
        if (snapped)
            text += "; the nearest corner on it is " + std::to_string(region.x) + "," + std::to_string(region.y);
        return makeError(ErrorCode::Invalid, text);
    }
    if (!snapped)
        return makeError(ErrorCode::Invalid,
                         "a " + sizeText(asked.width, asked.height) + " piece cannot be copied losslessly from this " +
                             sizeText(shown.width, shown.height) + " picture: no corner of its block grid (" +
                             gridText(grid) + ") leaves room for it");
    return region;
}

}  // namespace

Result<PlacedJpeg> openPlacedJpeg(const std::string& path, int placement, const DecodeLimits& limits)
{
    const auto named = [&](const Error& e) { return makeError(e.code, path + ": " + e.message); };
    auto file = RegularFile::open(path);
    if (!file)
        return named(file.error());
    auto blocks = probeFileBlocks(file.value(), limits);
    if (!blocks)
        return named(blocks.error());
    const int orientation = composeOrientations(blocks.value().orientation, placement);
    const PictureSize shown = shownSize({blocks.value().width, blocks.value().height}, orientation);
    return PlacedJpeg{std::move(file).value(), std::move(blocks).value(), orientation, shown};
}

Result<LosslessPieceFile> cutFileLossless(const std::string& path, const LosslessJob& job, const DecodeLimits& limits)
{
    const auto named = [&](const Error& e) { return makeError(e.code, path + ": " + e.message); };
    const auto placed = openPlacedJpeg(path, job.placement, limits);
    if (!placed)
        return placed.error();
    const PlacedJpeg& jpeg = placed.value();
    const int orientation = jpeg.orientation;
    const auto region = placeRegion(job, losslessGrid(jpeg.blocks, orientation), jpeg.shown);
    if (!region)
        return named(region.error());
    auto bytes = cutJpegLossless(jpeg.file, orientation, region.value(), limits);
    if (!bytes)
        return named(bytes.error());
    return LosslessPieceFile{std::move(bytes).value(), region.value()};
}

}  // namespace trimlet
