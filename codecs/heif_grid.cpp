#include "codecs/heif_grid.h"

#include <algorithm>
#include <array>
#include <initializer_list>
#include <map>
#include <string>

#include "codecs/bitmap.h"
#include "codecs/rgba_rows.h"

namespace trimlet {

namespace {

constexpr std::uint32_t fourcc(const char (&s)[5])
{
    return std::uint32_t(std::uint8_t(s[0])) << 24 | std::uint32_t(std::uint8_t(s[1])) << 16 |
           std::uint32_t(std::uint8_t(s[2])) << 8 | std::uint32_t(std::uint8_t(s[3]));
}

// Reads big-endian fields inside [at, end); a read past end fails and leaves ok false for good.
struct Reader {
    const std::uint8_t* data;
    std::size_t at, end;
    bool ok = true;

    std::uint64_t number(int bytes)
    {
        if (!ok || end - at < std::size_t(bytes)) {
            ok = false;
            return 0;
        }
        std::uint64_t v = 0;
        for (int i = 0; i < bytes; ++i)
            v = v << 8 | data[at++];
        return v;
    }
    std::uint32_t u8() { return std::uint32_t(number(1)); }
    std::uint32_t u16() { return std::uint32_t(number(2)); }
    std::uint32_t u32() { return std::uint32_t(number(4)); }
    void skip(std::size_t n)
    {
        if (!ok || end - at < n)
            ok = false;
        else
            at += n;
    }
};

struct Box {
    std::uint32_t type = 0;
    std::size_t start = 0, body = 0, end = 0;  // the box's first byte, its contents, its end
};

// The next box inside r, r moved past it; nothing at the end or on a box that overruns.
std::optional<Box> nextBox(Reader& r)
{
    if (!r.ok || r.at == r.end)
        return std::nullopt;
    Box box;
    box.start = r.at;
    std::uint64_t size = r.u32();
    box.type = r.u32();
    if (size == 1)
        size = r.number(8);
    else if (size == 0)
        size = r.end - box.start;
    box.body = r.at;
    if (!r.ok || size < box.body - box.start || size > r.end - box.start) {
        r.ok = false;
        return std::nullopt;
    }
    box.end = box.start + std::size_t(size);
    r.at = box.end;
    return box;
}

struct Item {
    std::uint32_t type = 0;
    std::vector<ByteRun> data;
    bool located = false, fromIdat = false;
    std::vector<std::uint32_t> properties;  // indexes into the ipco, from 1
};

struct Container {
    std::uint32_t primary = 0;
    std::map<std::uint32_t, Item> items;
    std::map<std::uint32_t, std::vector<std::uint32_t>> tilesOf;  // 'dimg' references
    std::vector<std::uint32_t> auxiliaryOf;                       // 'auxl' targets
    std::vector<Box> properties;
    std::optional<Box> idat;
    std::uint32_t brand = 0;
};

bool readInfe(Reader r, Container& c)
{
    const std::uint32_t version = r.u8();
    r.skip(3);
    if (version < 2)
        return r.ok;  // no item type: not an image
    const std::uint32_t id = version == 2 ? r.u16() : r.u32();
    r.skip(2);
    const std::uint32_t type = r.u32();
    if (!r.ok || c.items.count(id))
        return false;
    c.items[id].type = type;
    return true;
}

bool readIinf(Reader r, Container& c)
{
    const std::uint32_t version = r.u8();
    r.skip(3);
    r.skip(version == 0 ? 2 : 4);
    while (auto box = nextBox(r))
        if (box->type == fourcc("infe") && !readInfe(Reader{r.data, box->body, box->end}, c))
            return false;
    return r.ok;
}

bool readIref(Reader r, Container& c)
{
    const std::uint32_t version = r.u8();
    r.skip(3);
    const int idBytes = version == 0 ? 2 : 4;
    while (auto box = nextBox(r)) {
        Reader refs{r.data, box->body, box->end};
        const auto from = std::uint32_t(refs.number(idBytes));
        const std::uint32_t count = refs.u16();
        std::vector<std::uint32_t> to;
        for (std::uint32_t i = 0; i < count && refs.ok; ++i)
            to.push_back(std::uint32_t(refs.number(idBytes)));
        if (!refs.ok)
            return false;
        if (box->type == fourcc("dimg")) {
            if (c.tilesOf.count(from))
                return false;
            c.tilesOf[from] = std::move(to);
        } else if (box->type == fourcc("auxl")) {
            c.auxiliaryOf.insert(c.auxiliaryOf.end(), to.begin(), to.end());
        }
    }
    return r.ok;
}

bool readIloc(Reader r, Container& c)
{
    const std::uint32_t version = r.u8();
    r.skip(3);
    if (version > 2)
        return false;
    const std::uint32_t sizes = r.u16();
    const int offsetBytes = int(sizes >> 12), lengthBytes = int(sizes >> 8 & 15), baseBytes = int(sizes >> 4 & 15);
    const int indexBytes = version == 0 ? 0 : int(sizes & 15);
    for (const int n : {offsetBytes, lengthBytes, baseBytes, indexBytes})
        if (n != 0 && n != 4 && n != 8)
            return false;
    const std::uint32_t count = version < 2 ? r.u16() : r.u32();
    for (std::uint32_t i = 0; i < count && r.ok; ++i) {
        const std::uint32_t id = version < 2 ? r.u16() : r.u32();
        const std::uint32_t method = version == 0 ? 0 : r.u16() & 15;
        const std::uint32_t reference = r.u16();
        const std::uint64_t base = r.number(baseBytes);
        const std::uint32_t extents = r.u16();
        std::vector<ByteRun> runs;
        for (std::uint32_t e = 0; e < extents && r.ok; ++e) {
            r.number(indexBytes);
            const std::uint64_t offset = r.number(offsetBytes);
            const std::uint64_t length = r.number(lengthBytes);
            if (length == 0 || offset > UINT64_MAX - base || base + offset > SIZE_MAX || length > SIZE_MAX)
                return false;  // a length of 0 means "to the end": not met in grids
            runs.push_back({std::size_t(base + offset), std::size_t(length)});
        }
        const auto item = c.items.find(id);
        if (!r.ok || reference != 0 || method > 1)
            return false;
        if (item != c.items.end()) {
            if (item->second.located)
                return false;
            item->second.located = true;
            item->second.fromIdat = method == 1;
            item->second.data = std::move(runs);
        }
    }
    return r.ok;
}

bool readIprp(Reader r, Container& c)
{
    while (auto box = nextBox(r)) {
        Reader in{r.data, box->body, box->end};
        if (box->type == fourcc("ipco")) {
            if (!c.properties.empty())
                return false;
            while (auto property = nextBox(in))
                c.properties.push_back(*property);
            if (!in.ok)
                return false;
        } else if (box->type == fourcc("ipma")) {
            const std::uint32_t version = in.u8();
            const bool wide = (in.u16() << 8 | in.u8()) & 1;
            const std::uint32_t count = in.u32();
            for (std::uint32_t i = 0; i < count && in.ok; ++i) {
                const std::uint32_t id = version < 1 ? in.u16() : in.u32();
                const std::uint32_t associations = in.u8();
                std::vector<std::uint32_t> indexes;
                for (std::uint32_t a = 0; a < associations && in.ok; ++a)
                    indexes.push_back(wide ? in.u16() & 0x7fff : in.u8() & 0x7f);
                const auto item = c.items.find(id);
                if (item != c.items.end()) {
                    if (!item->second.properties.empty())
                        return false;
                    item->second.properties = std::move(indexes);
                }
            }
            if (!in.ok)
                return false;
        }
    }
    return r.ok;
}

bool readMeta(Reader r, Container& c)
{
    r.skip(4);
    bool handled = false;
    // Items first: the boxes that speak of them may come in any order.
    for (const bool items : {true, false}) {
        Reader boxes = r;
        while (auto box = nextBox(boxes)) {
            Reader in{r.data, box->body, box->end};
            bool good = true;
            if (items != (box->type == fourcc("iinf")))
                continue;
            switch (box->type) {
            case fourcc("hdlr"):
                in.skip(8);
                handled = in.u32() == fourcc("pict");
                good = in.ok;
                break;
            case fourcc("pitm"): c.primary = in.u8() == 0 ? (in.skip(3), in.u16()) : (in.skip(3), in.u32()); break;
            case fourcc("iinf"): good = readIinf(in, c); break;
            case fourcc("iref"): good = readIref(in, c); break;
            case fourcc("iloc"): good = readIloc(in, c); break;
            case fourcc("iprp"): good = readIprp(in, c); break;
            case fourcc("idat"): c.idat = *box; break;
            default: break;
            }
            if (!good || !in.ok)
                return false;
        }
        if (!boxes.ok)
            return false;
    }
    return handled;
}

const Box* propertyOf(const Container& c, const Item& item, std::uint32_t type)
{
    for (const std::uint32_t index : item.properties)
        if (index >= 1 && index <= c.properties.size() && c.properties[index - 1].type == type)
            return &c.properties[index - 1];
    return nullptr;
}

bool readIspe(Bytes file, const Box& ispe, int& width, int& height)
{
    Reader r{file.data(), ispe.body, ispe.end};
    r.skip(4);
    const std::uint32_t w = r.u32(), h = r.u32();
    if (!r.ok || w == 0 || h == 0 || w > 65536 || h > 65536)
        return false;
    width = int(w);
    height = int(h);
    return true;
}

// The item's data as runs of the file, inside it.
bool dataOf(const Container& c, const Item& item, std::uint64_t fileSize, std::vector<ByteRun>& runs)
{
    runs = item.data;
    for (ByteRun& run : runs) {
        if (item.fromIdat) {
            if (!c.idat || run.offset > c.idat->end - c.idat->body)
                return false;
            run.offset += c.idat->body;
            if (run.size > c.idat->end - run.offset)
                return false;
        } else if (run.offset > fileSize || run.size > fileSize - run.offset) {
            return false;
        }
    }
    return item.located && !runs.empty();
}

// The colr box of item whose colour type is one of types, or an empty run.
ByteRun colourOf(Bytes file, const Container& c, const Item& item, std::initializer_list<std::uint32_t> types)
{
    for (const std::uint32_t index : item.properties) {
        if (index == 0 || index > c.properties.size() || c.properties[index - 1].type != fourcc("colr"))
            continue;
        const Box& colr = c.properties[index - 1];
        Reader r{file.data(), colr.body, colr.end};
        const std::uint32_t type = r.u32();
        if (r.ok && std::find(types.begin(), types.end(), type) != types.end())
            return {colr.start, colr.end - colr.start};
    }
    return {};
}

// The grid of the primary when the tiles alone express it exactly (see readItemGrid).
std::optional<ItemGrid> exactGrid(Bytes file, std::uint64_t fileSize, const Container& c, const Item& primary,
                                  const std::vector<std::uint32_t>& tiles, const GridHeader& header, bool keepTiles)
{
    if (std::find(c.auxiliaryOf.begin(), c.auxiliaryOf.end(), c.primary) != c.auxiliaryOf.end())
        return std::nullopt;
    ItemGrid grid;
    grid.rows = header.rows;
    grid.columns = header.columns;
    grid.outputWidth = header.outputWidth;
    grid.outputHeight = header.outputHeight;
    // Only properties the tiles' decode and our own transforms account for.
    bool sized = false;
    for (const std::uint32_t index : primary.properties) {
        if (index == 0 || index > c.properties.size())
            return std::nullopt;
        const Box& property = c.properties[index - 1];
        Reader r{file.data(), property.body, property.end};
        if (property.type == fourcc("irot")) {
            grid.transforms.push_back({GridTransform::Kind::Rotate, int(r.u8() & 3)});
        } else if (property.type == fourcc("imir")) {
            grid.transforms.push_back({GridTransform::Kind::Mirror, int(r.u8() & 1)});
        } else if (property.type == fourcc("ispe")) {
            // A decoder shows the size box's picture: it must be the grid's own.
            int w = 0, h = 0;
            if (!readIspe(file, property, w, h) || w != grid.outputWidth || h != grid.outputHeight)
                return std::nullopt;
            sized = true;
        } else if (property.type != fourcc("colr") && property.type != fourcc("pixi") &&
                   property.type != fourcc("pasp")) {
            return std::nullopt;
        }
        if (!r.ok)
            return std::nullopt;
    }
    if (!sized)
        return std::nullopt;
    grid.colour = colourOf(file, c, primary, {fourcc("nclx")});
    grid.profile = colourOf(file, c, primary, {fourcc("prof"), fourcc("rICC")});

    for (const std::uint32_t id : tiles) {
        const Item& item = c.items.find(id)->second;  // readGridHeader found every tile
        if (grid.tileType == 0)
            grid.tileType = item.type;
        const Box* ispe = propertyOf(c, item, fourcc("ispe"));
        const Box* config = propertyOf(c, item, item.type == fourcc("hvc1") ? fourcc("hvcC") : fourcc("av1C"));
        int w = 0, h = 0;
        if (item.type != grid.tileType || (item.type != fourcc("hvc1") && item.type != fourcc("av01")) || !ispe ||
            !config || !readIspe(file, *ispe, w, h))
            return std::nullopt;
        if (grid.tileWidth == 0) {
            grid.tileWidth = w;
            grid.tileHeight = h;
            grid.codecConfig = {config->start, config->end - config->start};
        } else if (w != grid.tileWidth || h != grid.tileHeight) {
            return std::nullopt;
        }
        std::vector<ByteRun> properties;
        for (const std::uint32_t index : item.properties) {
            if (index == 0 || index > c.properties.size())
                return std::nullopt;
            const Box& property = c.properties[index - 1];
            const std::uint32_t t = property.type;
            // libavif shows none of an item's transforms (it reports the primary's), and its
            // encoder repeats them on the tiles.
            if (item.type == fourcc("av01") && (t == fourcc("irot") || t == fourcc("imir")))
                continue;
            if (t != fourcc("hvcC") && t != fourcc("av1C") && t != fourcc("ispe") && t != fourcc("colr") &&
                t != fourcc("pixi") && t != fourcc("pasp"))
                return std::nullopt;
            properties.push_back({property.start, property.end - property.start});
        }
        std::vector<ByteRun> data;
        if (!dataOf(c, item, fileSize, data) || properties.size() > 100 || data.size() > 1000)
            return std::nullopt;
        for (const ByteRun& run : data)
            if (run.size > (std::size_t(1) << 30))
                return std::nullopt;
        if (keepTiles) {
            grid.tileData.push_back(std::move(data));
            grid.tileProperties.push_back(std::move(properties));
        }
    }
    // Tiles cover the output, none lies wholly outside it.
    const std::int64_t tw = grid.tileWidth, th = grid.tileHeight, w = grid.outputWidth, h = grid.outputHeight;
    if (tw * grid.columns < w || th * grid.rows < h || tw * (grid.columns - 1) >= w || th * (grid.rows - 1) >= h)
        return std::nullopt;
    return grid;
}

// From the tile's hvcC or av1C: 8-bit 4:2:0 gives 3, 16-bit 4:4:4 12; 12 when unknown.
int planeBytesTimesTwo(Bytes file, const Container& c, const Item& tile)
{
    int samples = 6, wide = 2;  // per two pixels
    if (const Box* hvcC = propertyOf(c, tile, fourcc("hvcC")); hvcC && hvcC->end - hvcC->body >= 19) {
        const std::uint8_t* b = file.data() + hvcC->body;
        samples = std::array<int, 4>{2, 3, 4, 6}[b[16] & 3];
        wide = (b[17] & 7) || (b[18] & 7) ? 2 : 1;
    } else if (const Box* av1C = propertyOf(c, tile, fourcc("av1C")); av1C && av1C->end - av1C->body >= 4) {
        const std::uint8_t flags = file.data()[av1C->body + 2];
        samples = flags & 0x10 ? 2 : (flags & 0x08) ? ((flags & 0x04) ? 3 : 4) : 6;
        wide = flags & 0x40 ? 2 : 1;
    }
    return samples * wide;
}

// The bytes the runs cover, each counted once however many runs name it.
std::uint64_t coveredBytes(std::vector<ByteRun>& runs)
{
    std::sort(runs.begin(), runs.end(), [](const ByteRun& a, const ByteRun& b) { return a.offset < b.offset; });
    std::uint64_t covered = 0, end = 0;
    for (const ByteRun& run : runs) {
        const std::uint64_t from = std::max<std::uint64_t>(run.offset, end), to = run.offset + run.size;
        if (to > from) {
            covered += to - from;
            end = to;
        }
    }
    return covered;
}

void gridOf(Bytes file, std::uint64_t fileSize, const Container& c, GridHeader& header, bool keepTiles)
{
    const auto primary = c.items.find(c.primary);
    const auto tiles = c.tilesOf.find(c.primary);
    if (primary == c.items.end() || primary->second.type != fourcc("grid") || tiles == c.tilesOf.end())
        return;

    std::vector<ByteRun> payload;
    if (!dataOf(c, primary->second, fileSize, payload) || payload.size() != 1)
        return;
    if (payload[0].offset + payload[0].size > file.size()) {
        header.state = GridHeader::State::NeedsMore;
        return;
    }
    Reader g{file.data(), payload[0].offset, payload[0].offset + payload[0].size};
    const std::uint32_t version = g.u8(), flags = g.u8();
    header.rows = int(g.u8()) + 1;
    header.columns = int(g.u8()) + 1;
    const int sizeBytes = flags & 1 ? 4 : 2;
    const std::uint64_t width = g.number(sizeBytes), height = g.number(sizeBytes);
    if (!g.ok || version != 0 || width == 0 || height == 0 || width > 65536 || height > 65536 ||
        tiles->second.size() != std::size_t(header.rows) * std::size_t(header.columns))
        return;
    header.outputWidth = int(width);
    header.outputHeight = int(height);
    if (const Box* ispe = propertyOf(c, primary->second, fourcc("ispe")))
        if (!readIspe(file, *ispe, header.declaredWidth, header.declaredHeight))
            return;

    std::vector<ByteRun> runs, data;
    for (const std::uint32_t id : tiles->second) {
        const auto tile = c.items.find(id);
        if (tile == c.items.end() || c.tilesOf.count(id))
            return;
        const Box* ispe = propertyOf(c, tile->second, fourcc("ispe"));
        int w = 0, h = 0;
        if (!ispe || !readIspe(file, *ispe, w, h) || !dataOf(c, tile->second, fileSize, data))
            return;
        if (header.tileWidth == 0)
            header.planeBytesTimesTwo = planeBytesTimesTwo(file, c, tile->second);
        header.tileWidth = std::max(header.tileWidth, w);
        header.tileHeight = std::max(header.tileHeight, h);
        for (const ByteRun& run : data)
            header.referencedBytes += run.size;
        runs.insert(runs.end(), data.begin(), data.end());
    }
    header.tileDataBytes = coveredBytes(runs);
    header.state = GridHeader::State::Grid;
    header.exact = exactGrid(file, fileSize, c, primary->second, tiles->second, header, keepTiles);
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(std::uint8_t(v >> shift));
}
void put16(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    out.push_back(std::uint8_t(v >> 8));
    out.push_back(std::uint8_t(v));
}
// Starts a box; end() fills its size in.
std::size_t open(std::vector<std::uint8_t>& out, const char (&type)[5], int fullBoxVersion = -1)
{
    const std::size_t at = out.size();
    put32(out, 0);
    put32(out, fourcc(type));
    if (fullBoxVersion >= 0)
        put32(out, std::uint32_t(fullBoxVersion) << 24);
    return at;
}
void close(std::vector<std::uint8_t>& out, std::size_t at)
{
    const auto size = std::uint32_t(out.size() - at);
    for (int i = 0; i < 4; ++i)
        out[at + std::size_t(i)] = std::uint8_t(size >> (24 - 8 * i));
}

}  // namespace

GridHeader readGridHeader(Bytes head, std::uint64_t fileSize, bool tiles)
{
    GridHeader header;
    fileSize = std::max<std::uint64_t>(fileSize, head.size());
    const auto more = [&] {
        if (head.size() < fileSize)
            header.state = GridHeader::State::NeedsMore;
        return header;
    };
    Container c;
    bool meta = false;
    // Top-level boxes may end past head (the coded data); the ones read here may not.
    for (std::uint64_t at = 0; at < head.size();) {
        Reader r{head.data(), std::size_t(at), head.size()};
        std::uint64_t size = r.u32();
        const std::uint32_t type = r.u32();
        if (size == 1)
            size = r.number(8);
        else if (size == 0)
            size = fileSize - at;
        if (!r.ok)
            return more();
        if (size < r.at - at || size > fileSize - at)
            return header;
        const Box box{type, std::size_t(at), r.at, std::size_t(std::min<std::uint64_t>(at + size, head.size()))};
        if ((type == fourcc("ftyp") || type == fourcc("meta")) && at + size > head.size())
            return more();
        if (type == fourcc("ftyp")) {
            Reader f{head.data(), box.body, box.end};
            c.brand = f.u32();
        } else if (type == fourcc("meta")) {
            if (meta || !readMeta(Reader{head.data(), box.body, box.end}, c))
                return header;
            meta = true;
        } else if (type == fourcc("moov")) {
            header.sequence = true;
        }
        at += size;
    }
    if (!meta)
        return more();
    if (c.brand != 0)
        gridOf(head, fileSize, c, header, tiles);
    return header;
}

std::optional<ItemGrid> readItemGrid(Bytes file)
{
    GridHeader header = readGridHeader(file, file.size());
    if (header.sequence)
        return std::nullopt;  // a sequence: the whole decode says what it shows
    return std::move(header.exact);
}

std::uint64_t decodeMemoryAllowance(std::uint64_t dataBytes, std::int64_t width, std::int64_t height)
{
    const std::uint64_t pixels =
        std::uint64_t(std::max<std::int64_t>(width, 0)) * std::uint64_t(std::max<std::int64_t>(height, 0));
    const std::uint64_t held = dataBytes > (pixels >> 16) ? pixels : dataBytes * kMaxPixelsPerFileByte;
    return std::max({std::uint64_t(64) << 20, 4 * 3 * held, 2 * 3 * pixels});
}

Error tooManyTiles(const GridHeader& grid)
{
    return makeError(ErrorCode::TooLarge,
                     "too many tiles for the memory this picture allows: " + std::to_string(grid.rows * grid.columns) +
                         " tiles, at most " + std::to_string(kMaxTilesForLibraries) +
                         " where the tiles cannot be decoded on their own");
}

Status gridWithinCap(const GridHeader& grid, std::int64_t capBytes, const char* format)
{
    const int width = grid.declaredWidth > 0 ? grid.declaredWidth : grid.outputWidth;
    const int height = grid.declaredWidth > 0 ? grid.declaredHeight : grid.outputHeight;
    if (Bitmap::sizeAllowed(width, height, capBytes))
        return {};
    return makeError(ErrorCode::TooLarge, std::string(format) + " of " + std::to_string(width) + " x " +
                                              std::to_string(height) + " pixels is too large");
}

Status gridWithinLimits(const GridHeader& grid, const GridDecodeCost& cost, const char* format)
{
    const std::int64_t tiles = std::int64_t(grid.rows) * grid.columns;
    const int width = grid.declaredWidth > 0 ? grid.declaredWidth : grid.outputWidth;
    const int height = grid.declaredWidth > 0 ? grid.declaredHeight : grid.outputHeight;
    if (!fileCanHoldPixels(grid.referencedBytes, width, height))
        return makeError(ErrorCode::Corrupt, std::string("damaged ") + format + ": file too small for its image size");
    if (!fileCanHoldPixels(grid.tileDataBytes, width, height))
        return makeError(ErrorCode::TooLarge,
                         "too many tiles for the memory this picture allows: " + std::to_string(tiles) + " tiles of " +
                             std::to_string(grid.tileDataBytes) + " bytes make " + std::to_string(width) + " x " +
                             std::to_string(height) + " pixels");
    const std::uint64_t allowed = decodeMemoryAllowance(grid.tileDataBytes, width, height);
    const std::uint64_t held = std::uint64_t(std::clamp<std::int64_t>(cost.tilesHeld, 0, tiles));
    // Neither term can pass 2^64: a tile's cost is far below 2^40, tiles at most 2^16.
    const std::uint64_t peak =
        cost.pictureBytes + held * std::min<std::uint64_t>(cost.perTileBytes, std::uint64_t(1) << 40);
    if (peak > allowed)
        return makeError(ErrorCode::TooLarge,
                         "too many tiles for the memory this picture allows: " + std::to_string(tiles) +
                             " tiles would take " + std::to_string(peak >> 20) + " MiB, " +
                             std::to_string(allowed >> 20) + " MiB allowed");
    return {};
}

std::vector<std::uint8_t> tileFile(Bytes file, const ItemGrid& grid, int index)
{
    const bool avif = grid.tileType == fourcc("av01");
    const std::vector<ByteRun>& data = grid.tileData[std::size_t(index)];
    const std::vector<ByteRun>& properties = grid.tileProperties[std::size_t(index)];
    std::vector<std::uint8_t> out;
    std::size_t size = 512;
    for (const ByteRun& run : data)
        size += run.size;
    for (const ByteRun& run : properties)
        size += run.size;
    out.reserve(size);

    const std::size_t ftyp = open(out, "ftyp");
    put32(out, avif ? fourcc("avif") : fourcc("heic"));
    put32(out, 0);
    for (const std::uint32_t brand : {fourcc("mif1"), avif ? fourcc("avif") : fourcc("heic"), fourcc("miaf")})
        put32(out, brand);
    close(out, ftyp);

    const std::size_t meta = open(out, "meta", 0);
    const std::size_t hdlr = open(out, "hdlr", 0);
    put32(out, 0);
    put32(out, fourcc("pict"));
    for (int i = 0; i < 3; ++i)
        put32(out, 0);
    out.push_back(0);
    close(out, hdlr);
    const std::size_t pitm = open(out, "pitm", 0);
    put16(out, 1);
    close(out, pitm);
    const std::size_t iinf = open(out, "iinf", 0);
    put16(out, 1);
    const std::size_t infe = open(out, "infe", 2);
    put16(out, 1);
    put16(out, 0);
    put32(out, grid.tileType);
    out.push_back(0);
    close(out, infe);
    close(out, iinf);
    const std::size_t iloc = open(out, "iloc", 0);
    put16(out, 0x4400);  // 4-byte offsets and lengths, no base offset
    put16(out, 1);
    put16(out, 1);
    put16(out, 0);
    put16(out, std::uint32_t(data.size()));
    std::vector<std::size_t> offsetsAt;
    for (const ByteRun& run : data) {
        offsetsAt.push_back(out.size());
        put32(out, 0);
        put32(out, std::uint32_t(run.size));
    }
    close(out, iloc);
    const std::size_t iprp = open(out, "iprp");
    const std::size_t ipco = open(out, "ipco");
    for (const ByteRun& run : properties)
        out.insert(out.end(), file.data() + run.offset, file.data() + run.offset + run.size);
    close(out, ipco);
    const std::size_t ipma = open(out, "ipma", 0);
    put32(out, 1);
    put16(out, 1);
    out.push_back(std::uint8_t(properties.size()));
    for (std::size_t i = 0; i < properties.size(); ++i)
        out.push_back(std::uint8_t(i + 1));
    close(out, ipma);
    close(out, iprp);
    close(out, meta);

    const std::size_t mdat = open(out, "mdat");
    for (std::size_t i = 0; i < data.size(); ++i) {
        const auto offset = std::uint32_t(out.size());
        for (int b = 0; b < 4; ++b)
            out[offsetsAt[i] + std::size_t(b)] = std::uint8_t(offset >> (24 - 8 * b));
        out.insert(out.end(), file.data() + data[i].offset, file.data() + data[i].offset + data[i].size);
    }
    close(out, mdat);
    return out;
}

void transformedSize(const ItemGrid& grid, int& width, int& height)
{
    width = grid.outputWidth;
    height = grid.outputHeight;
    for (const GridTransform& t : grid.transforms)
        if (t.kind == GridTransform::Kind::Rotate && t.value % 2 == 1)
            std::swap(width, height);
}

}  // namespace trimlet
