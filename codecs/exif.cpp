#include "codecs/exif.h"

#include <cstring>

namespace trimlet {

namespace {

constexpr std::uint16_t kOrientationTag = 0x0112;
constexpr std::uint16_t kTypeShort = 3;
constexpr std::size_t kEntryBytes = 12;

struct TiffReader {
    Bytes data;
    bool bigEndian;

    std::uint16_t u16(std::size_t at) const
    {
        const std::uint8_t* p = data.data() + at;
        return bigEndian ? std::uint16_t(p[0] << 8 | p[1]) : std::uint16_t(p[1] << 8 | p[0]);
    }
    std::uint32_t u32(std::size_t at) const
    {
        const std::uint8_t* p = data.data() + at;
        return bigEndian ? std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3]
                         : std::uint32_t(p[3]) << 24 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[1]) << 8 | p[0];
    }
};

}  // namespace

int exifOrientation(Bytes tiff)
{
    if (tiff.size() < 8)
        return 1;
    TiffReader r{tiff, false};
    if (std::memcmp(tiff.data(), "II*\0", 4) == 0)
        r.bigEndian = false;
    else if (std::memcmp(tiff.data(), "MM\0*", 4) == 0)
        r.bigEndian = true;
    else
        return 1;
    // Sizes are compared as 64-bit values, so no offset from the file can wrap them.
    const std::uint64_t ifd = r.u32(4);
    if (ifd < 8 || ifd + 2 > tiff.size())
        return 1;
    const std::uint64_t count = r.u16(std::size_t(ifd));
    // A count larger than the data holds is read as far as whole entries go.
    const std::uint64_t fits = (tiff.size() - ifd - 2) / kEntryBytes;
    const std::uint64_t entries = count < fits ? count : fits;
    for (std::uint64_t i = 0; i < entries; ++i) {
        const std::size_t entry = std::size_t(ifd + 2 + i * kEntryBytes);
        if (r.u16(entry) != kOrientationTag)
            continue;
        if (r.u16(entry + 2) != kTypeShort || r.u32(entry + 4) < 1)
            return 1;
        const int value = r.u16(entry + 8);  // a single SHORT sits at the start of the value field
        return value >= 1 && value <= 8 ? value : 1;
    }
    return 1;
}

int jpegExifOrientation(Bytes app1)
{
    constexpr std::size_t kSignature = 6;
    if (app1.size() < kSignature || std::memcmp(app1.data(), "Exif\0\0", kSignature) != 0)
        return 1;
    return exifOrientation(app1.subspan(kSignature));
}

}  // namespace trimlet
