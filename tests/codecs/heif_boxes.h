#pragma once
// HEIF and AVIF boxes written and read by hand, for files no encoder makes: grids of one
// repeated tile, and single images with the quirks other writers leave.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace trimlet::test::boxes {

using Bytes8 = std::vector<std::uint8_t>;

inline void put(Bytes8& out, std::uint64_t v, int bytes)
{
    for (int i = bytes - 1; i >= 0; --i)
        out.push_back(std::uint8_t(v >> (8 * i)));
}
inline Bytes8 box(const char* type, const Bytes8& body, int fullBoxVersion = -1, std::uint32_t flags = 0)
{
    Bytes8 out;
    put(out, 8 + body.size() + (fullBoxVersion >= 0 ? 4 : 0), 4);
    out.insert(out.end(), type, type + 4);
    if (fullBoxVersion >= 0)
        put(out, std::uint64_t(fullBoxVersion) << 24 | flags, 4);
    out.insert(out.end(), body.begin(), body.end());
    return out;
}
inline Bytes8 join(const std::vector<Bytes8>& parts)
{
    Bytes8 out;
    for (const Bytes8& part : parts)
        out.insert(out.end(), part.begin(), part.end());
    return out;
}
// The boxes directly inside bytes[begin, end), as (type, whole box).
inline std::vector<std::pair<std::string, Bytes8>> children(const Bytes8& bytes, std::size_t begin, std::size_t end)
{
    std::vector<std::pair<std::string, Bytes8>> out;
    while (begin + 8 <= end) {
        std::size_t size = 0;
        for (int i = 0; i < 4; ++i)
            size = size << 8 | bytes[begin + std::size_t(i)];
        out.emplace_back(
            std::string(bytes.begin() + std::ptrdiff_t(begin) + 4, bytes.begin() + std::ptrdiff_t(begin) + 8),
            Bytes8(bytes.begin() + std::ptrdiff_t(begin), bytes.begin() + std::ptrdiff_t(begin + size)));
        begin += size;
    }
    return out;
}
inline Bytes8 childOf(const Bytes8& parent, const std::string& type, std::size_t header = 8)
{
    for (auto& [name, whole] : children(parent, header, parent.size()))
        if (name == type)
            return whole;
    ADD_FAILURE() << "no " << type;
    return {};
}

// heif-enc's single image: its property boxes (hvcC, ispe, colr) and its coded data (the mdat).
struct Tile {
    std::vector<Bytes8> properties;
    Bytes8 data;
};
inline Tile tileOf(const Bytes8& file)
{
    Tile tile;
    for (auto& [name, whole] : children(file, 0, file.size())) {
        if (name == "mdat")
            tile.data.assign(whole.begin() + 8, whole.end());
        if (name == "meta")
            for (auto& property : children(childOf(childOf(whole, "iprp", 12), "ipco"), 8,
                                           childOf(childOf(whole, "iprp", 12), "ipco").size()))
                tile.properties.push_back(property.second);
    }
    return tile;
}

// A columns × rows grid of tile (as tileOf gives an encoder's single image of type "av01" or
// "hvc1"), each tile an item of its own data, or one item referenced everywhere (shared), then
// a free box of padding bytes.
inline Bytes8 repeatedGrid(const Tile& tile, const char* type, int tileWidth, int tileHeight, int columns, int rows,
                           bool shared = false, std::size_t padding = 0)
{
    const bool avif = std::string(type) == "av01";
    const std::uint32_t tiles = std::uint32_t(columns * rows), items = shared ? 1 : tiles;
    const std::uint32_t width = std::uint32_t(columns * tileWidth), height = std::uint32_t(rows * tileHeight);
    Bytes8 infes, dimg, ispe, ipco, ipma;
    put(infes, items + 1, 2);
    infes = join({infes, box("infe", {0, 1, 0, 0, 'g', 'r', 'i', 'd', 0}, 2)});
    put(dimg, 1, 2);
    put(dimg, tiles, 2);
    for (std::uint32_t t = 0; t < tiles; ++t)
        put(dimg, shared ? 2 : t + 2, 2);
    put(ispe, width, 4);
    put(ispe, height, 4);
    ipco = box("ispe", ispe, 0);
    Bytes8 gridEntry{0, 1, 1, 1}, tileEntry;  // item 1: its ispe, then pixi and colr
    for (const Bytes8& p : tile.properties) {
        ipco = join({ipco, p});
        const auto index = std::uint8_t(1 + (&p - tile.properties.data()) + 1);
        const std::string name(p.begin() + 4, p.begin() + 8);
        tileEntry.push_back(std::uint8_t((name == "av1C" || name == "hvcC" ? 0x80 : 0) | index));
        if (name == "pixi" || name == "colr")
            gridEntry.push_back(index), ++gridEntry[2];
    }
    ipma = gridEntry;
    for (std::uint32_t i = 0; i < items; ++i) {
        Bytes8 infe;
        put(infe, i + 2, 2);
        infe.insert(infe.end(), {0, 0, std::uint8_t(type[0]), std::uint8_t(type[1]), std::uint8_t(type[2]),
                                 std::uint8_t(type[3]), 0});
        infes = join({infes, box("infe", infe, 2, 1)});
        put(ipma, i + 2, 2);
        ipma.push_back(std::uint8_t(tileEntry.size()));
        ipma.insert(ipma.end(), tileEntry.begin(), tileEntry.end());
    }
    Bytes8 ipmaBody;
    put(ipmaBody, items + 1, 4);
    ipmaBody = join({ipmaBody, ipma});
    Bytes8 payload{0, 0, std::uint8_t(rows - 1), std::uint8_t(columns - 1)};
    put(payload, width, 2);
    put(payload, height, 2);
    const Bytes8 ftyp = avif ? box("ftyp", {'a', 'v', 'i', 'f', 0, 0, 0, 0, 'm', 'i', 'f', '1', 'a', 'v', 'i', 'f'})
                             : box("ftyp", {'h', 'e', 'i', 'c', 0, 0, 0, 0, 'm', 'i', 'f', '1', 'h', 'e', 'i', 'c'});
    auto meta = [&](std::size_t at) {
        Bytes8 iloc{0x44, 0x00};
        put(iloc, items + 1, 2);
        for (std::uint32_t id = 1; id <= items + 1; ++id) {
            const std::size_t size = id == 1 ? payload.size() : tile.data.size();
            put(iloc, id, 2), put(iloc, 0, 2), put(iloc, 1, 2), put(iloc, at, 4), put(iloc, size, 4);
            at += size;
        }
        return box("meta",
                   join({box("hdlr", {0, 0, 0, 0, 'p', 'i', 'c', 't', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 0),
                         box("pitm", {0, 1}, 0), box("iinf", infes, 0), box("iref", box("dimg", dimg), 0),
                         box("iloc", iloc, 0), box("iprp", join({box("ipco", ipco), box("ipma", ipmaBody, 0)}))}),
                   0);
    };
    Bytes8 mdat = payload;
    for (std::uint32_t i = 0; i < items; ++i)
        mdat.insert(mdat.end(), tile.data.begin(), tile.data.end());
    Bytes8 file = join({ftyp, meta(ftyp.size() + meta(0).size() + 8), box("mdat", mdat)});
    if (padding > 0)
        file = join({file, box("free", Bytes8(padding, 0))});
    return file;
}

// A single AVIF image of tile's properties and data, with the given property boxes added and
// with a second, empty ipma box when twoIpma.
inline Bytes8 singleAvif(const Tile& tile, const std::vector<Bytes8>& added, bool twoIpma = false,
                         const std::string& dropped = {})
{
    Bytes8 ipco, entry;
    std::vector<Bytes8> properties;
    for (const Bytes8& p : tile.properties)
        if (std::string(p.begin() + 4, p.begin() + 8) != dropped)
            properties.push_back(p);
    properties.insert(properties.end(), added.begin(), added.end());
    for (std::size_t i = 0; i < properties.size(); ++i) {
        ipco = join({ipco, properties[i]});
        const bool essential = std::string(properties[i].begin() + 4, properties[i].begin() + 8) == "av1C";
        entry.push_back(std::uint8_t((essential ? 0x80 : 0) | (i + 1)));
    }
    Bytes8 ipma;
    put(ipma, 1, 4), put(ipma, 1, 2), put(ipma, entry.size(), 1);
    ipma = join({ipma, entry});
    const Bytes8 ftyp = box("ftyp", {'a', 'v', 'i', 'f', 0, 0, 0, 0, 'm', 'i', 'f', '1', 'a', 'v', 'i', 'f'});
    auto meta = [&](std::size_t at) {
        Bytes8 iloc{0x44, 0x00};
        put(iloc, 1, 2), put(iloc, 1, 2), put(iloc, 0, 2), put(iloc, 1, 2), put(iloc, at, 4);
        put(iloc, tile.data.size(), 4);
        Bytes8 iprp = join({box("ipco", ipco), box("ipma", ipma, 0)});
        if (twoIpma)
            iprp = join({iprp, box("ipma", {0, 0, 0, 0}, 0)});
        return box("meta",
                   join({box("hdlr", {0, 0, 0, 0, 'p', 'i', 'c', 't', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 0),
                         box("pitm", {0, 1}, 0),
                         box("iinf", join({Bytes8{0, 1}, box("infe", {0, 1, 0, 0, 'a', 'v', '0', '1', 0}, 2)}), 0),
                         box("iloc", iloc, 0), box("iprp", iprp)}),
                   0);
    };
    return join({ftyp, meta(ftyp.size() + meta(0).size() + 8), box("mdat", tile.data)});
}

}  // namespace trimlet::test::boxes
