// The reader of HEIF and AVIF grid layouts, on bytes as any file may hold them: every run it
// names lies inside the file, every tile file it makes is one image of the tile's own bytes.
#include <cstddef>
#include <cstdint>

#include "codecs/heif_grid.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const trimlet::Bytes bytes{data, size};
    // Any first part of the file: what it says of the grid lies inside the whole file, and the
    // memory rule judges it whatever it says.
    for (const std::size_t head : {size / 3, size}) {
        const auto header = trimlet::readGridHeader(trimlet::Bytes{data, head}, size, head == size);
        if (header.state != trimlet::GridHeader::State::Grid)
            continue;
        if (header.rows * header.columns > 65536 || header.tileDataBytes > size ||
            header.tileDataBytes > header.referencedBytes)
            __builtin_trap();
        (void)trimlet::gridWithinCap(header, std::int64_t{1} << 31, "HEIF");
        (void)trimlet::gridWithinLimits(header, {std::uint64_t{1} << 20, 4, std::uint64_t{1} << 26}, "HEIF");
    }
    const auto grid = trimlet::readItemGrid(bytes);
    if (!grid)
        return 0;
    const std::size_t tiles = grid->tileData.size();
    if (tiles != std::size_t(grid->rows) * std::size_t(grid->columns) || grid->tileProperties.size() != tiles ||
        grid->codecConfig.offset > size || grid->codecConfig.size > size - grid->codecConfig.offset)
        __builtin_trap();
    for (std::size_t t = 0; t < tiles; ++t) {
        std::size_t held = 0;
        for (const auto* runs : {&grid->tileData[t], &grid->tileProperties[t]})
            for (const trimlet::ByteRun& run : *runs) {
                if (run.offset > size || run.size > size - run.offset)
                    __builtin_trap();
                held += run.size;
            }
        const auto file = trimlet::tileFile(bytes, *grid, int(t));
        if (file.size() < held || file.size() > held + 512 || trimlet::readItemGrid(file))
            __builtin_trap();
    }
    return 0;
}
