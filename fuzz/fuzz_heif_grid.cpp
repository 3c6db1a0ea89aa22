// The reader of HEIF and AVIF grid layouts, on bytes as any file may hold them: every run it
// names lies inside the file, every tile file it makes is one image of the tile's own bytes.
#include <cstddef>
#include <cstdint>

#include "codecs/heif_grid.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const trimlet::Bytes bytes{data, size};
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
