#pragma once
// Small camera raws made here: DNGs of a 16-bit uncompressed Bayer mosaic with the camera's
// neutral, colour matrix and orientation, optionally behind an embedded JPEG preview.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "codecs/jpeg.h"

namespace trimlet::test {

struct TiffEntry {
    std::uint16_t tag = 0, type = 0;
    std::uint32_t count = 0;
    std::vector<std::uint8_t> value;
};

struct TiffIfd {
    std::vector<TiffEntry> entries;
    std::vector<std::uint8_t> data;  // one strip; tags 273 and 279 are filled in
};

inline void putLe(std::vector<std::uint8_t>& b, std::uint32_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        b.push_back(std::uint8_t(v >> (8 * i)));
}

inline TiffEntry shorts(std::uint16_t tag, std::vector<std::uint32_t> values)
{
    TiffEntry e{tag, 3, std::uint32_t(values.size()), {}};
    for (auto v : values)
        putLe(e.value, v, 2);
    return e;
}

inline TiffEntry longs(std::uint16_t tag, std::vector<std::uint32_t> values)
{
    TiffEntry e{tag, 4, std::uint32_t(values.size()), {}};
    for (auto v : values)
        putLe(e.value, v, 4);
    return e;
}

inline TiffEntry bytes(std::uint16_t tag, std::vector<std::uint8_t> values)
{
    return {tag, 1, std::uint32_t(values.size()), values};
}

inline TiffEntry ascii(std::uint16_t tag, const std::string& text)
{
    TiffEntry e{tag, 2, std::uint32_t(text.size() + 1), {text.begin(), text.end()}};
    e.value.push_back(0);
    return e;
}

// Rationals (type 5) or signed rationals (type 10) over 10,000.
inline TiffEntry rationals(std::uint16_t tag, std::uint16_t type, std::vector<double> values)
{
    TiffEntry e{tag, type, std::uint32_t(values.size()), {}};
    for (double v : values) {
        putLe(e.value, std::uint32_t(std::int32_t(std::lround(v * 10000))), 4);
        putLe(e.value, 10000, 4);
    }
    return e;
}

// A little-endian TIFF of the directories, every one after the first a SubIFD of the first.
inline std::vector<std::uint8_t> tiffFile(std::vector<TiffIfd> ifds)
{
    for (std::size_t i = 0; i < ifds.size(); ++i) {
        auto& e = ifds[i].entries;
        e.push_back(longs(273, {0}));
        e.push_back(longs(279, {std::uint32_t(ifds[i].data.size())}));
        if (i == 0 && ifds.size() > 1)
            e.push_back(longs(330, {0}));
        std::sort(e.begin(), e.end(), [](const TiffEntry& a, const TiffEntry& b) { return a.tag < b.tag; });
    }
    std::vector<std::uint32_t> ifdAt, dataAt;
    std::uint32_t at = 8;
    for (const TiffIfd& ifd : ifds) {
        ifdAt.push_back(at);
        at += 6 + 12 * std::uint32_t(ifd.entries.size());
        for (const TiffEntry& e : ifd.entries)
            if (e.value.size() > 4)
                at += std::uint32_t(e.value.size() + 1) & ~1u;
        dataAt.push_back(at);
        at += std::uint32_t(ifd.data.size() + 1) & ~1u;
    }
    std::vector<std::uint8_t> out = {'I', 'I', 42, 0};
    putLe(out, 8, 4);
    for (std::size_t i = 0; i < ifds.size(); ++i) {
        std::vector<std::uint8_t> extra;
        const std::uint32_t extraAt = ifdAt[i] + 6 + 12 * std::uint32_t(ifds[i].entries.size());
        putLe(out, std::uint32_t(ifds[i].entries.size()), 2);
        for (TiffEntry e : ifds[i].entries) {
            if (e.tag == 273)
                e.value.clear(), putLe(e.value, dataAt[i], 4);
            if (e.tag == 330)
                e.value.clear(), putLe(e.value, ifdAt[1], 4);
            putLe(out, e.tag, 2), putLe(out, e.type, 2), putLe(out, e.count, 4);
            if (e.value.size() > 4) {
                putLe(out, extraAt + std::uint32_t(extra.size()), 4);
                extra.insert(extra.end(), e.value.begin(), e.value.end());
                if (extra.size() % 2)
                    extra.push_back(0);
            } else {
                e.value.resize(4);
                out.insert(out.end(), e.value.begin(), e.value.end());
            }
        }
        putLe(out, 0, 4);
        out.insert(out.end(), extra.begin(), extra.end());
        out.insert(out.end(), ifds[i].data.begin(), ifds[i].data.end());
        if (out.size() % 2)
            out.push_back(0);
    }
    return out;
}

struct DngLayout {
    int width = 64, height = 48;
    std::vector<std::uint8_t> cfa = {0, 1, 1, 2};  // RGGB; 0 red, 1 green, 2 blue
    int orientation = 1;
    int previewWidth = 0, previewHeight = 0;  // a JPEG preview of one colour when not 0
    std::uint8_t previewRgb[3] = {50, 100, 150};
};

// A smooth scene with some detail, mosaicked, in 12 bits over a black level of 64, as a camera
// whose neutral is (0.5, 1, 0.7) would record it.
inline std::vector<std::uint8_t> dngFile(const DngLayout& s)
{
    const double neutral[3] = {0.5, 1.0, 0.7};
    std::vector<std::uint8_t> mosaic;
    for (int y = 0; y < s.height; ++y)
        for (int x = 0; x < s.width; ++x) {
            const double scene[3] = {0.2 + 0.6 * x / s.width, 0.3 + 0.4 * y / s.height,
                                     0.5 + 0.3 * std::sin(x * 0.3) * std::cos(y * 0.2)};
            const int c = s.cfa[std::size_t((y & 1) * 2 + (x & 1))];
            putLe(mosaic, std::uint32_t(64 + std::lround(scene[c] * neutral[c] * (4095 - 64))), 2);
        }
    const std::uint32_t w = std::uint32_t(s.width), h = std::uint32_t(s.height);
    TiffIfd raw{{longs(254, {0}), longs(256, {w}), longs(257, {h}), shorts(258, {16}), shorts(259, {1}),
                 shorts(262, {32803}), shorts(277, {1}), longs(278, {h}), shorts(284, {1}), shorts(33421, {2, 2}),
                 bytes(33422, s.cfa), longs(50714, {64}), longs(50717, {4095})},
                mosaic};
    std::vector<TiffEntry> camera = {
        ascii(271, "Trimlet"),
        ascii(272, "Test Camera"),
        shorts(274, {std::uint32_t(s.orientation)}),
        bytes(50706, {1, 4, 0, 0}),
        ascii(50708, "Trimlet Test Camera"),
        rationals(50721, 10, {0.9, -0.3, -0.1, -0.4, 1.2, 0.2, -0.05, 0.15, 0.6}),
        shorts(50778, {21}),
        rationals(50728, 5, {neutral[0], neutral[1], neutral[2]}),
    };
    if (s.previewWidth == 0) {
        raw.entries.insert(raw.entries.end(), camera.begin(), camera.end());
        return tiffFile({raw});
    }
    Bitmap flat(s.previewWidth, s.previewHeight);
    for (int y = 0; y < flat.height(); ++y)
        for (int x = 0; x < flat.width(); ++x) {
            std::uint8_t* p = flat.row(y) + 3 * x;
            p[0] = s.previewRgb[2], p[1] = s.previewRgb[1], p[2] = s.previewRgb[0];
        }
    TiffIfd preview{{longs(254, {1}), longs(256, {std::uint32_t(s.previewWidth)}),
                     longs(257, {std::uint32_t(s.previewHeight)}), shorts(258, {8, 8, 8}), shorts(259, {7}),
                     shorts(262, {6}), shorts(277, {3}), longs(278, {std::uint32_t(s.previewHeight)})},
                    encodeJpeg(flat, 95).value()};
    preview.entries.insert(preview.entries.end(), camera.begin(), camera.end());
    return tiffFile({preview, raw});
}

}  // namespace trimlet::test
