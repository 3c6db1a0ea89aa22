#pragma once
// Photos as cameras and editors leave them, made at test time: EXIF orientations set by
// exiftool or written by hand, ICC profiles from the system's profile folder, and LittleCMS's
// own tools for the reference colours.

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "codecs/bitmap.h"
#include "tests/support/test_support.h"

namespace trimlet::test {

using Data = std::vector<std::uint8_t>;

inline const std::string kIccFolder = "/usr/share/color/icc/";
inline const std::string kAdobeRgb = kIccFolder + "compatibleWithAdobeRGB1998.icc";
inline const std::string kGreyProfile = kIccFolder + "Gray.icc";
inline const std::string kSrgbProfile = kIccFolder + "sRGB.icc";

// Failures throw, which fails the test that called: a missing tool too, since a skipped
// colour test would pass a build that converts nothing. (No gtest here: a window test includes this too.)
inline void requireTools(std::initializer_list<const char*> names)
{
    for (const char* name : names)
        if (!haveProgram(name))
            throw std::runtime_error(std::string(name) + " is not installed (scripts/install-deps.sh test)");
}

inline void mustRun(const std::string& command)
{
    if (runCommand(command).exitCode != 0)
        throw std::runtime_error("failed: " + command);
}

inline std::string quoted(const std::string& path) { return "'" + path + "'"; }

// The JPEG with marker segments put right after SOI, in the order given.
inline Data withSegments(const Data& jpeg, const std::vector<std::pair<std::uint8_t, Data>>& segments)
{
    Data out(jpeg.begin(), jpeg.begin() + 2);
    for (const auto& [marker, payload] : segments) {
        const std::size_t length = payload.size() + 2;
        out.insert(out.end(), {0xFF, marker, std::uint8_t(length >> 8), std::uint8_t(length)});
        out.insert(out.end(), payload.begin(), payload.end());
    }
    out.insert(out.end(), jpeg.begin() + 2, jpeg.end());
    return out;
}

// APP2 payloads carrying the profile in `chunks` parts of about equal size.
inline std::vector<Data> iccChunks(const Data& profile, int chunks)
{
    std::vector<Data> payloads;
    const std::size_t part = (profile.size() + std::size_t(chunks) - 1) / std::size_t(chunks);
    for (int i = 0; i < chunks; ++i) {
        Data p{'I', 'C', 'C', '_', 'P', 'R', 'O', 'F', 'I', 'L', 'E', 0, std::uint8_t(i + 1), std::uint8_t(chunks)};
        const std::size_t from = std::min(profile.size(), std::size_t(i) * part);
        const std::size_t to = std::min(profile.size(), from + part);
        p.insert(p.end(), profile.begin() + std::ptrdiff_t(from), profile.begin() + std::ptrdiff_t(to));
        payloads.push_back(std::move(p));
    }
    return payloads;
}

inline Data withProfile(const Data& jpeg, const Data& profile, int chunks = 1)
{
    std::vector<std::pair<std::uint8_t, Data>> segments;
    for (Data& p : iccChunks(profile, chunks))
        segments.emplace_back(0xE2, std::move(p));
    return withSegments(jpeg, segments);
}

// A TIFF block (as EXIF holds it) whose IFD0 has the given entries of 12 bytes each, written
// in the given byte order: tag, type, count, value.
struct IfdEntry {
    std::uint16_t tag;
    std::uint16_t type;
    std::uint32_t count;
    std::uint32_t value;  // a SHORT value sits in the first two bytes
};

inline Data tiffBlock(bool bigEndian, const std::vector<IfdEntry>& entries, std::uint32_t ifdOffset = 8,
                      std::uint32_t nextIfd = 0)
{
    Data d;
    auto u16 = [&](std::uint32_t v) {
        if (bigEndian)
            d.insert(d.end(), {std::uint8_t(v >> 8), std::uint8_t(v)});
        else
            d.insert(d.end(), {std::uint8_t(v), std::uint8_t(v >> 8)});
    };
    auto u32 = [&](std::uint32_t v) {
        if (bigEndian) {
            u16(v >> 16);
            u16(v & 0xFFFF);
        } else {
            u16(v & 0xFFFF);
            u16(v >> 16);
        }
    };
    d.insert(d.end(), bigEndian ? std::initializer_list<std::uint8_t>{'M', 'M', 0, 42}
                                : std::initializer_list<std::uint8_t>{'I', 'I', 42, 0});
    u32(ifdOffset);
    d.resize(std::max<std::size_t>(d.size(), ifdOffset), 0);
    u16(std::uint32_t(entries.size()));
    for (const IfdEntry& e : entries) {
        u16(e.tag);
        u16(e.type);
        u32(e.count);
        if (e.type == 3) {
            u16(e.value);
            u16(0);
        } else {
            u32(e.value);
        }
    }
    u32(nextIfd);
    return d;
}

inline Data orientationBlock(bool bigEndian, int orientation)
{
    return tiffBlock(bigEndian, {{0x0112, 3, 1, std::uint32_t(orientation)}});
}

inline Data exifApp1(const Data& tiff)
{
    Data d{'E', 'x', 'i', 'f', 0, 0};
    d.insert(d.end(), tiff.begin(), tiff.end());
    return d;
}

// Sets the EXIF orientation of a JPEG or PNG file in place with exiftool.
inline void setOrientation(const std::string& path, int orientation, bool littleEndian = false)
{
    mustRun("exiftool -q -n -overwrite_original -Orientation=" + std::to_string(orientation) +
            (littleEndian ? " -ExifByteOrder=II " : " ") + quoted(path));
}

// Embeds an ICC profile file into a JPEG or PNG file in place with exiftool.
inline void embedProfile(const std::string& path, const std::string& profile)
{
    mustRun("exiftool -q -overwrite_original '-ICC_Profile<=" + profile + "' " + quoted(path));
}

// Any picture file ImageMagick reads, as 8-bit pixels.
inline Bitmap ppmOf(const std::string& path)
{
    const CommandResult out = runCommand("convert " + quoted(path) + " -depth 8 ppm:-");
    if (out.exitCode != 0)
        throw std::runtime_error("ImageMagick cannot read " + path);
    return fromPnm({out.out.begin(), out.out.end()});
}

// An uncompressed little-endian TIFF of interleaved 8-bit samples: 1 grey (0 = black), 3 RGB
// or 4 CMYK (ink amounts). Only the baseline tags: given chromaticity tags, as ImageMagick
// writes them, tificc builds its input profile from those and ignores the one it is given.
inline Data plainTiff(int width, int height, int samplesPerPixel, const Data& samples)
{
    Data d{'I', 'I', 42, 0, 8, 0, 0, 0};
    auto u16 = [&](std::uint32_t v) { d.insert(d.end(), {std::uint8_t(v), std::uint8_t(v >> 8)}); };
    auto u32 = [&](std::uint32_t v) {
        u16(v & 0xFFFF);
        u16(v >> 16);
    };
    const int photometric = samplesPerPixel == 1 ? 1 : samplesPerPixel == 3 ? 2 : 5;
    constexpr std::uint32_t kEntries = 10;
    const std::uint32_t bitsAt = 8 + 2 + kEntries * 12 + 4;
    const std::uint32_t pixelsAt = bitsAt + 8;
    const struct {
        std::uint16_t tag, type;
        std::uint32_t count, value;
    } entries[kEntries] = {
        {256, 4, 1, std::uint32_t(width)},
        {257, 4, 1, std::uint32_t(height)},
        {258, 3, std::uint32_t(samplesPerPixel), samplesPerPixel == 1 ? 8u : bitsAt},
        {259, 3, 1, 1},
        {262, 3, 1, std::uint32_t(photometric)},
        {273, 4, 1, pixelsAt},
        {277, 3, 1, std::uint32_t(samplesPerPixel)},
        {278, 4, 1, std::uint32_t(height)},
        {279, 4, 1, std::uint32_t(samples.size())},
        {284, 3, 1, 1},
    };
    u16(kEntries);
    for (const auto& e : entries) {
        u16(e.tag);
        u16(e.type);
        u32(e.count);
        if (e.type == 3 && e.count == 1) {
            u16(e.value);
            u16(0);
        } else {
            u32(e.value);
        }
    }
    u32(0);
    for (int i = 0; i < 4; ++i)
        u16(8);
    d.insert(d.end(), samples.begin(), samples.end());
    return d;
}

// The samples of a picture in RGB order, or its blue bytes for a grey picture.
inline Data samplesOf(const Bitmap& picture, bool grey)
{
    Data d;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) {
            const std::uint8_t* p = picture.row(y) + 3 * x;
            if (grey)
                d.push_back(p[0]);
            else
                d.insert(d.end(), {p[2], p[1], p[0]});
        }
    return d;
}

// LittleCMS's own conversion of samples to sRGB through the profile: tificc with the
// perceptual intent and normal precalculation (its defaults), read back by ImageMagick.
inline Bitmap tificcReference(const TempDir& dir, int width, int height, int samplesPerPixel, const Data& samples,
                              const std::string& profile)
{
    writeBytes(dir.file("ref-in.tif"), plainTiff(width, height, samplesPerPixel, samples));
    mustRun("tificc -t0 -c1 -i" + quoted(profile) + " " + quoted(dir.file("ref-in.tif")) + " " +
            quoted(dir.file("ref-out.tif")));
    return ppmOf(dir.file("ref-out.tif"));
}

inline Bitmap tificcReference(const TempDir& dir, const Bitmap& picture, const std::string& profile, bool grey)
{
    return tificcReference(dir, picture.width(), picture.height(), grey ? 1 : 3, samplesOf(picture, grey), profile);
}

}  // namespace trimlet::test
