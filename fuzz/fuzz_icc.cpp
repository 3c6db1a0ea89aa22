// Bytes as an embedded ICC profile, applied as a load applies it: to a colour picture, a grey
// one and CMYK samples. A profile that is not used leaves every pixel as it was.
#include <cstddef>
#include <cstdint>

#include "codecs/colour_profile.h"

namespace {

trimlet::Bitmap ramp(bool grey)
{
    trimlet::Bitmap b(37, 3);
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x) {
            std::uint8_t* p = b.row(y) + 3 * x;
            p[0] = std::uint8_t(x * 7);
            p[1] = grey ? p[0] : std::uint8_t(y * 90 + x);
            p[2] = grey ? p[0] : std::uint8_t(255 - x * 5);
        }
    return b;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const trimlet::Bytes profile{data, size};
    for (const bool grey : {false, true}) {
        const trimlet::Bitmap before = ramp(grey);
        trimlet::Bitmap after = before;
        if (!trimlet::convertToSrgb(after, profile) && !(after == before))
            __builtin_trap();
    }
    for (const bool inverted : {false, true}) {
        const auto cmyk = trimlet::CmykToSrgb::create(profile, inverted);
        if (!cmyk)
            continue;
        std::uint8_t inks[2 * 19 * 4];
        for (std::size_t i = 0; i < sizeof inks; ++i)
            inks[i] = std::uint8_t(i * 37);
        trimlet::Bitmap out(19, 2);
        cmyk->convert(inks, 19, 2, out.data(), out.stride());
    }
    return 0;
}
