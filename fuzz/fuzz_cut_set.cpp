// Cut sets as the settings file and the command line hand them over: any value either reads
// as a set or is refused; a set that reads writes back to the same set, and its pieces on a
// picture lie inside it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "document/cut_set.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto set = trimlet::parseSetValue(text);
    if (!set)
        return 0;
    const auto again = trimlet::parseSetValue(trimlet::formatSetValue(set.value()));
    if (!again || !(again.value() == set.value()))
        std::abort();
    // A small picture, so that the pieces' geometry is checked without their pixels.
    const int pw = 97 + int(size % 3000), ph = 89 + int(size % 2000);
    std::vector<trimlet::SetPiece> pieces;
    if (set.value().kind == trimlet::CutSet::Kind::Span) {
        const auto layout = trimlet::spanLayout(set.value().screens, set.value().bezelMm);
        if (!layout)
            std::abort();  // parseSetValue refuses spans that cannot be laid out
        const trimlet::RegionSize r = trimlet::spanRegion(layout.value(), pw, ph, 100, size % 2 == 0);
        if (r.width < 1 || r.height < 1 || r.width > pw || r.height > ph)
            std::abort();
        pieces = trimlet::spanPieces(layout.value(), set.value().screens, {0, 0, r.width, r.height});
        for (const trimlet::SetPiece& p : pieces)
            if (!p.part || p.part->x < -1e-6 || p.part->y < -1e-6 || p.part->x + p.part->w > r.width + 1e-6 ||
                p.part->y + p.part->h > r.height + 1e-6)
                std::abort();
    } else {
        const trimlet::CutFrame main{{pw / 3, ph / 3}, pw / 3, ph / 3, 100};
        pieces = trimlet::setPieces(pw, ph, set.value().sizes, main, size % 2 == 0);
        for (const trimlet::SetPiece& p : pieces) {
            const trimlet::CutFrame& r = p.region;
            if (r.origin.x < 0 || r.origin.y < 0 || r.origin.x + r.width > pw || r.origin.y + r.height > ph)
                std::abort();
        }
    }
    return 0;
}
