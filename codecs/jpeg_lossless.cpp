#include "codecs/jpeg_lossless.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include <jpeglib.h>

#include "codecs/exif.h"
#include "codecs/jpeg_internals.h"

namespace trimlet {

using namespace jpeg_internal;

namespace {

// Room for what libjpeg allocates besides the coefficients: tables, buffers, saved markers.
constexpr long kLibjpegSlack = long{16} << 20;
constexpr std::int64_t kBlockBytes = DCTSIZE2 * sizeof(JCOEF);

// The bytes of a file in memory, or the file itself, read a chunk at a time.
struct Input {
    Bytes bytes;
    ChunkSource* chunks = nullptr;
    std::uint64_t size() const { return chunks ? chunks->file->size() : bytes.size(); }
};

// How far into file libjpeg has read, give or take what its decoder holds ahead.
std::uint64_t readSoFar(const Input& file, const jpeg_source_mgr& source)
{
    if (file.chunks)
        return file.chunks->offset - source.bytes_in_buffer;
    // Past the end, the memory source hands out an end marker of its own.
    const auto at = reinterpret_cast<std::uintptr_t>(source.next_input_byte);
    const auto begin = reinterpret_cast<std::uintptr_t>(file.bytes.data());
    return at >= begin && at - begin <= file.bytes.size() ? at - begin : file.bytes.size();
}

// A single-scan file's blocks are decoded once each, an iMCU row at a time, into the
// whole-image arrays libjpeg asks its memory manager for. Those arrays are stood in for by
// these: every row is decoded into a scratch row, and only the blocks the piece is copied
// from are kept, so the read holds the piece's share of the picture rather than all of it.
struct KeptBlocks {
    JDIMENSION width = 0, height = 0;  // the whole array, in blocks
    JDIMENSION firstRow = 0, rows = 0, firstCol = 0, cols = 0;
    std::unique_ptr<JBLOCK[]> kept;  // rows × cols
    std::unique_ptr<JBLOCK[]> scratch;
    JBLOCKROW scratchRows[MAX_SAMP_FACTOR] = {};
    JDIMENSION scratchCount = 0;
    JDIMENSION pendingRow = 0, pendingCount = 0;  // in scratch, not yet kept
    JDIMENSION nextRow = 0;
    bool keeps(JDIMENSION row) const { return row >= firstRow && row - firstRow < rows; }
    const JBLOCK* keptRow(int row) const { return kept.get() + std::size_t(row - int(firstRow)) * cols; }
};

struct KeptRead {
    KeptBlocks comp[MAX_COMPONENTS];
    int components = 0;  // 0: every block is kept, by libjpeg
    int requested = 0;
    decltype(jpeg_memory_mgr::request_virt_barray) request = nullptr;
    decltype(jpeg_memory_mgr::access_virt_barray) access = nullptr;
    // Where in the file the kept rows' data starts and ends (0 until met).
    const Input* file = nullptr;
    std::uint64_t rowsFrom = 0, rowsTo = 0;
    bool inRows = false, pastRows = false;
    KeptBlocks* find(jvirt_barray_ptr array)
    {
        for (int ci = 0; ci < requested; ++ci)
            if (array == reinterpret_cast<jvirt_barray_ptr>(&comp[ci]))
                return &comp[ci];
        return nullptr;
    }
};

struct Cut {
    ErrorSink sink;
    jpeg_progress_mgr progress{};
    jpeg_decompress_struct src{};  // zeroed: destroying a never-created struct is harmless
    jpeg_compress_struct dst{};
    VectorSink dest{};
    jvirt_barray_ptr* blocks = nullptr;  // the source's, in src's pool
    JOCTET* icc = nullptr;               // malloc'd by libjpeg
    unsigned iccLength = 0;
    KeptRead keep;
    Cut()
    {
        attach(sink);
        progress.progress_monitor = watchScans;
        src.err = &sink.pub;
        dst.err = &sink.pub;
    }
    ~Cut()
    {
        jpeg_destroy_compress(&dst);
        jpeg_destroy_decompress(&src);
        std::free(icc);
    }
    Cut(const Cut&) = delete;
    Cut& operator=(const Cut&) = delete;
};

// Reads the markers up to the first scan, keeping the EXIF APP1 (whose orientation the size
// checks turn by) and the ICC chunks (APP2) when asked; markers between later scans are not kept.
bool readHeader(Cut& c, Bytes bytes, jpeg_source_mgr* source, bool keepExif, bool keepProfile)
{
    if (setjmp(c.sink.jump))
        return false;
    jpeg_create_decompress(&c.src);
    c.src.progress = &c.progress;
    if (source)
        c.src.src = source;
    else
        jpeg_mem_src(&c.src, bytes.data(), static_cast<unsigned long>(bytes.size()));
    if (keepExif)
        jpeg_save_markers(&c.src, JPEG_APP0 + 1, 0xFFFF);
    if (keepProfile)
        jpeg_save_markers(&c.src, JPEG_APP0 + 2, 0xFFFF);
    jpeg_read_header(&c.src, TRUE);
    jpeg_save_markers(&c.src, JPEG_APP0 + 1, 0);
    jpeg_save_markers(&c.src, JPEG_APP0 + 2, 0);
    return true;
}

// Progressive refinement scans read back the blocks earlier scans made, so every block is kept,
// as it is for a sequential file whose components come in scans of their own. A file whose
// first scan holds every component has no other (libjpeg refuses a second): each of its blocks
// is decoded exactly once.
bool keepsEveryBlock(jpeg_decompress_struct& c) { return jpeg_has_multiple_scans(&c); }

// What jpeg_read_coefficients will allocate: each component's blocks, in whole MCUs.
std::int64_t coefficientBytes(const jpeg_decompress_struct& c)
{
    std::int64_t bytes = 0;
    for (int i = 0; i < c.num_components; ++i) {
        const jpeg_component_info& comp = c.comp_info[i];
        const std::int64_t across =
            (std::int64_t(comp.width_in_blocks) + comp.h_samp_factor - 1) / comp.h_samp_factor * comp.h_samp_factor;
        const std::int64_t down =
            (std::int64_t(comp.height_in_blocks) + comp.v_samp_factor - 1) / comp.v_samp_factor * comp.v_samp_factor;
        bytes += across * down * kBlockBytes;
    }
    return bytes;
}

// The checks of a header a lossless cut can copy, before anything is allocated; the grid.
Result<JpegBlocks> checkBlocks(jpeg_decompress_struct& c, std::uint64_t fileSize, const DecodeLimits& limits)
{
    const bool grey = c.jpeg_color_space == JCS_GRAYSCALE && c.num_components == 1;
    const bool ycc = c.jpeg_color_space == JCS_YCbCr && c.num_components == 3;
    if (!grey && !ycc)
        return makeError(ErrorCode::Unsupported, "only greyscale and YCbCr JPEG can be cut losslessly");
    if (c.arith_code)
        return makeError(ErrorCode::Unsupported, "an arithmetic-coded JPEG cannot be cut losslessly");
    for (int i = 0; i < c.num_components; ++i)
        if (c.max_h_samp_factor % c.comp_info[i].h_samp_factor != 0 ||
            c.max_v_samp_factor % c.comp_info[i].v_samp_factor != 0)
            return makeError(ErrorCode::Unsupported, "JPEG with fractional chroma sampling is not supported");
    const std::int64_t width = c.image_width;
    const std::int64_t height = c.image_height;
    // A single-scan read holds only the piece's blocks, checked once the piece is known.
    const std::int64_t coefficients = keepsEveryBlock(c) ? coefficientBytes(c) : 0;
    if (!Bitmap::sizeAllowed(width, height, limits.maxBitmapBytes) ||
        (swapsSides(orientationOf(c)) && !Bitmap::sizeAllowed(height, width, limits.maxBitmapBytes)) ||
        coefficients > limits.maxBitmapBytes)
        return makeError(ErrorCode::TooLarge,
                         "JPEG of " + std::to_string(width) + " × " + std::to_string(height) + " pixels is too large");
    if (beyondHuffmanFloor(c, fileSize))
        return makeError(ErrorCode::Corrupt, "damaged JPEG: file too small for its picture size");
    // With no backing store, libjpeg fails rather than take more than this (for a single-scan
    // read, whose blocks are not libjpeg's, only its tables and buffers).
    c.mem->max_memory_to_use = long(coefficients) + kLibjpegSlack;
    JpegBlocks blocks;
    blocks.width = int(width);
    blocks.height = int(height);
    // A single component is coded alone, one block an MCU, whatever sampling it declares.
    blocks.imcuWidth = grey ? DCTSIZE : DCTSIZE * c.max_h_samp_factor;
    blocks.imcuHeight = grey ? DCTSIZE : DCTSIZE * c.max_v_samp_factor;
    blocks.orientation = orientationOf(c);
    return blocks;
}

// One side of the piece: where its blocks come from along the stored axis it is taken from.
struct Axis {
    int stored;       // the stored picture's size along it
    int imcu;         // and its iMCU
    bool reversed;    // the piece runs against the stored axis
    int start, size;  // the piece, in shown pixels
    // The stored pixel the piece's first block starts at (reversed: ends at).
    int storedEdge() const { return reversed ? stored - start : start; }
};

struct Plan {
    bool transposed;  // the piece's x runs along stored columns
    Axis x, y;        // the piece's sides
};

Plan planFor(const JpegBlocks& b, int orientation, JpegRegion shown)
{
    const bool t = swapsSides(orientation);
    const bool rx = orientation == 2 || orientation == 3 || orientation == 6 || orientation == 7;
    const bool ry = orientation == 3 || orientation == 4 || orientation == 7 || orientation == 8;
    const Axis storedX{b.width, b.imcuWidth, false, 0, 0};
    const Axis storedY{b.height, b.imcuHeight, false, 0, 0};
    Plan p{t, t ? storedY : storedX, t ? storedX : storedY};
    p.x.reversed = rx, p.x.start = shown.x, p.x.size = shown.width;
    p.y.reversed = ry, p.y.start = shown.y, p.y.size = shown.height;
    return p;
}

// The stored block index of the piece's blocks 0, 1, … along an axis: first + step·i.
struct BlockWalk {
    int first, step;
};

BlockWalk walkFor(const Axis& a, int blockPixels)
{
    const int edge = a.storedEdge() / blockPixels;
    return a.reversed ? BlockWalk{edge - 1, -1} : BlockWalk{edge, 1};
}

// Where each coefficient of a piece's block comes from in the stored block, and its sign.
struct BlockMap {
    int from[DCTSIZE2];
    bool negate[DCTSIZE2];
};

BlockMap blockMapFor(const Plan& p)
{
    BlockMap m{};
    for (int v = 0; v < DCTSIZE; ++v)
        for (int u = 0; u < DCTSIZE; ++u) {
            // A mirror negates the odd frequencies across it; a transpose swaps u and v.
            m.from[v * DCTSIZE + u] = p.transposed ? u * DCTSIZE + v : v * DCTSIZE + u;
            m.negate[v * DCTSIZE + u] = ((p.x.reversed && (u & 1)) != (p.y.reversed && (v & 1)));
        }
    return m;
}

int roundUp(int n, int m) { return (n + m - 1) / m * m; }

// The piece's component ci: its size in blocks and where each block comes from.
struct ComponentPlan {
    int across, down;  // blocks of the piece
    int hSamp, vSamp;  // the piece's sampling
    bool transposed;
    BlockWalk x, y;  // along the stored axes the piece's x and y run on
};

ComponentPlan componentPlan(const jpeg_decompress_struct& c, int ci, const Plan& p)
{
    const jpeg_component_info& comp = c.comp_info[ci];
    const int h = comp.h_samp_factor, v = comp.v_samp_factor;
    // Pixels a block of this component covers along the stored x and y (8 for a single
    // component, whatever sampling it declares).
    const int blockW = DCTSIZE * c.max_h_samp_factor / h, blockH = DCTSIZE * c.max_v_samp_factor / v;
    ComponentPlan cp{};
    cp.transposed = p.transposed;
    // A single component is written as one sample a pixel, as jpegtran writes it.
    const bool alone = c.num_components == 1;
    cp.hSamp = alone ? 1 : p.transposed ? v : h;
    cp.vSamp = alone ? 1 : p.transposed ? h : v;
    const int pieceBlockW = p.transposed ? blockH : blockW, pieceBlockH = p.transposed ? blockW : blockH;
    cp.across = (p.x.size + pieceBlockW - 1) / pieceBlockW;
    cp.down = (p.y.size + pieceBlockH - 1) / pieceBlockH;
    cp.x = walkFor(p.x, pieceBlockW);
    cp.y = walkFor(p.y, pieceBlockH);
    return cp;
}

bool walkInside(BlockWalk w, int count, JDIMENSION blocks)
{
    const long last = long(w.first) + long(w.step) * (count - 1);
    return std::min<long>(w.first, last) >= 0 && std::max<long>(w.first, last) < long(blocks);
}

KeptRead& keptOf(j_common_ptr cinfo) { return *static_cast<KeptRead*>(cinfo->client_data); }

// The coefficient controller asks for its components' arrays in order; anything else is
// libjpeg's own.
jvirt_barray_ptr requestKept(j_common_ptr cinfo, int pool, boolean preZero, JDIMENSION width, JDIMENSION height,
                             JDIMENSION maxAccess)
{
    KeptRead& k = keptOf(cinfo);
    if (k.requested < k.components) {
        KeptBlocks& b = k.comp[k.requested];
        if (pool == JPOOL_IMAGE && preZero && width == b.width && height == b.height && maxAccess > 0) {
            ++k.requested;
            return reinterpret_cast<jvirt_barray_ptr>(&b);
        }
    }
    return (*k.request)(cinfo, pool, preZero, width, height, maxAccess);
}

void keepPending(KeptBlocks& b)
{
    for (JDIMENSION r = 0; r < b.pendingCount; ++r)
        if (b.keeps(b.pendingRow + r))
            std::memcpy(b.kept.get() + std::size_t(b.pendingRow + r - b.firstRow) * b.cols,
                        b.scratchRows[r] + b.firstCol, b.cols * sizeof(JBLOCK));
    b.pendingCount = 0;
}

// Each row is written once, in order; the same rows asked for again (a read resumed) keep
// what is decoded in them.
JBLOCKARRAY accessKept(j_common_ptr cinfo, jvirt_barray_ptr array, JDIMENSION start, JDIMENSION count, boolean writable)
{
    KeptRead& k = keptOf(cinfo);
    KeptBlocks* b = k.find(array);
    if (!b)
        return (*k.access)(cinfo, array, start, count, writable);
    if (b->pendingCount && start == b->pendingRow && count == b->pendingCount)
        return b->scratchRows;
    if (!writable || start != b->nextRow || count > b->scratchCount || count > b->height - start)
        failWith(cinfo, "JPEG blocks read out of order");
    keepPending(*b);
    if (b == &k.comp[0]) {
        const j_decompress_ptr d = reinterpret_cast<j_decompress_ptr>(cinfo);
        if (!k.inRows && start < b->firstRow + b->rows && start + count > b->firstRow)
            k.inRows = true, k.rowsFrom = readSoFar(*k.file, *d->src);
        if (!k.pastRows && start >= b->firstRow + b->rows)
            k.pastRows = true, k.rowsTo = readSoFar(*k.file, *d->src);
    }
    // The entropy decoder writes only the nonzero coefficients.
    for (JDIMENSION r = 0; r < count; ++r)
        if (b->keeps(start + r))
            std::memset(b->scratchRows[r] + b->firstCol, 0, b->cols * sizeof(JBLOCK));
    b->pendingRow = start, b->pendingCount = count, b->nextRow = start + count;
    return b->scratchRows;
}

struct BlockSpan {
    int first, count;
};

BlockSpan spanOf(BlockWalk w, int count) { return {std::min(w.first, w.first + w.step * (count - 1)), count}; }

// Sets a single-scan read up to keep only the stored blocks plan copies, within the limit.
Status keepOnlyThePiece(Cut& c, const Input& file, const Plan& plan, const DecodeLimits& limits)
{
    KeptRead& k = c.keep;
    k.file = &file;
    std::int64_t bytes = 0;
    for (int ci = 0; ci < c.src.num_components; ++ci) {
        const jpeg_component_info& comp = c.src.comp_info[ci];
        const ComponentPlan cp = componentPlan(c.src, ci, plan);
        const BlockSpan rows = cp.transposed ? spanOf(cp.x, cp.across) : spanOf(cp.y, cp.down);
        const BlockSpan cols = cp.transposed ? spanOf(cp.y, cp.down) : spanOf(cp.x, cp.across);
        KeptBlocks& b = k.comp[ci];
        b.width = JDIMENSION(roundUp(int(comp.width_in_blocks), comp.h_samp_factor));
        b.height = JDIMENSION(roundUp(int(comp.height_in_blocks), comp.v_samp_factor));
        b.firstRow = JDIMENSION(rows.first), b.rows = JDIMENSION(rows.count);
        b.firstCol = JDIMENSION(cols.first), b.cols = JDIMENSION(cols.count);
        b.scratchCount = JDIMENSION(comp.v_samp_factor);
        bytes += (std::int64_t(b.rows) * b.cols + std::int64_t(b.scratchCount) * b.width) * kBlockBytes;
    }
    if (bytes > limits.maxBitmapBytes)
        return makeError(ErrorCode::TooLarge, "the JPEG piece's blocks are too large");
    try {
        for (int ci = 0; ci < c.src.num_components; ++ci) {
            KeptBlocks& b = k.comp[ci];
            b.kept = std::make_unique<JBLOCK[]>(std::size_t(b.rows) * b.cols);
            b.scratch = std::make_unique_for_overwrite<JBLOCK[]>(std::size_t(b.scratchCount) * b.width);
            for (JDIMENSION r = 0; r < b.scratchCount; ++r)
                b.scratchRows[r] = b.scratch.get() + std::size_t(r) * b.width;
        }
    } catch (const std::bad_alloc&) {
        return makeError(ErrorCode::TooLarge, "not enough memory for the JPEG piece");
    }
    k.components = c.src.num_components;
    k.request = c.src.mem->request_virt_barray;
    k.access = c.src.mem->access_virt_barray;
    c.src.mem->request_virt_barray = requestKept;
    c.src.mem->access_virt_barray = accessKept;
    c.src.client_data = &k;
    return {};
}

// Reads every scan into the source's coefficient arrays, and the ICC profile.
bool readBlocks(Cut& c)
{
    if (setjmp(c.sink.jump))
        return false;
    c.blocks = jpeg_read_coefficients(&c.src);
    if (!c.blocks)
        failWith(reinterpret_cast<j_common_ptr>(&c.src), "JPEG coefficients not read");
    for (int ci = 0; ci < c.keep.requested; ++ci)
        keepPending(c.keep.comp[ci]);
    jpeg_read_icc_profile(&c.src, &c.icc, &c.iccLength);
    return true;
}

// The piece's parameters: the source's tables and sampling, turned with it, as a baseline
// JFIF file with optimised Huffman tables and nothing else but the profile.
void setUpPiece(Cut& c, const Plan& p)
{
    jpeg_compress_struct& d = c.dst;
    jpeg_copy_critical_parameters(&c.src, &d);
    d.image_width = JDIMENSION(p.x.size);
    d.image_height = JDIMENSION(p.y.size);
    d.optimize_coding = TRUE;
    d.restart_interval = 0;
    d.restart_in_rows = 0;
    d.write_JFIF_header = TRUE;
    d.write_Adobe_marker = FALSE;
    for (int ci = 0; ci < d.num_components; ++ci) {
        const ComponentPlan cp = componentPlan(c.src, ci, p);
        d.comp_info[ci].h_samp_factor = cp.hSamp;
        d.comp_info[ci].v_samp_factor = cp.vSamp;
    }
    if (!p.transposed)
        return;
    std::swap(d.X_density, d.Y_density);
    for (JQUANT_TBL* table : d.quant_tbl_ptrs)
        if (table)
            for (int v = 0; v < DCTSIZE; ++v)
                for (int u = v + 1; u < DCTSIZE; ++u)
                    std::swap(table->quantval[v * DCTSIZE + u], table->quantval[u * DCTSIZE + v]);
}

// A stored row of blocks, from column first on.
struct StoredRow {
    const JBLOCK* blocks;
    int first;
    const JCOEF* at(int column) const { return blocks[column - first]; }
};

StoredRow storedRow(Cut& c, int ci, int row)
{
    const jvirt_barray_ptr from = c.blocks[ci];
    if (const KeptBlocks* kept = c.keep.find(from))
        return {kept->keptRow(row), int(kept->firstCol)};
    return {
        (*c.src.mem->access_virt_barray)(reinterpret_cast<j_common_ptr>(&c.src), from, JDIMENSION(row), 1, FALSE)[0],
        0};
}

// Copies the piece's blocks of component ci from the source's arrays into to, turned.
void copyComponent(Cut& c, int ci, const ComponentPlan& cp, const BlockMap& map, jvirt_barray_ptr to)
{
    const j_common_ptr dst = reinterpret_cast<j_common_ptr>(&c.dst);
    for (int by = 0; by < cp.down; ++by) {
        JBLOCKROW out = (*c.dst.mem->access_virt_barray)(dst, to, JDIMENSION(by), 1, TRUE)[0];
        const int y = cp.y.first + cp.y.step * by;
        const StoredRow row = cp.transposed ? StoredRow{} : storedRow(c, ci, y);
        for (int bx = 0; bx < cp.across; ++bx) {
            const int x = cp.x.first + cp.x.step * bx;
            // Transposed, the piece's x walks the stored rows and its y the stored columns.
            const JCOEF* in = cp.transposed ? storedRow(c, ci, x).at(y) : row.at(x);
            JCOEF* o = out[bx];
            for (int k = 0; k < DCTSIZE2; ++k)
                o[k] = map.negate[k] ? JCOEF(-in[map.from[k]]) : in[map.from[k]];
        }
    }
}

// Writes the piece: its parameters, its blocks copied from the source's, the profile.
bool writePiece(Cut& c, const Plan& p)
{
    if (setjmp(c.sink.jump))
        return false;
    jpeg_create_compress(&c.dst);
    c.dst.dest = &c.dest.pub;
    setUpPiece(c, p);
    const j_common_ptr dst = reinterpret_cast<j_common_ptr>(&c.dst);
    jvirt_barray_ptr pieces[MAX_COMPONENTS] = {};
    ComponentPlan plans[MAX_COMPONENTS] = {};
    std::int64_t bytes = 0;
    for (int ci = 0; ci < c.dst.num_components; ++ci) {
        plans[ci] = componentPlan(c.src, ci, p);
        const ComponentPlan& cp = plans[ci];
        const int across = roundUp(cp.across, cp.hSamp), down = roundUp(cp.down, cp.vSamp);
        bytes += std::int64_t(across) * down * kBlockBytes;
        pieces[ci] = (*c.dst.mem->request_virt_barray)(dst, JPOOL_IMAGE, TRUE, JDIMENSION(across), JDIMENSION(down),
                                                       JDIMENSION(cp.vSamp));
    }
    c.dst.mem->max_memory_to_use = long(bytes) + kLibjpegSlack;
    (*c.dst.mem->realize_virt_arrays)(dst);
    const BlockMap map = blockMapFor(p);
    for (int ci = 0; ci < c.dst.num_components; ++ci)
        copyComponent(c, ci, plans[ci], map, pieces[ci]);
    jpeg_write_coefficients(&c.dst, pieces);
    if (c.icc)
        jpeg_write_icc_profile(&c.dst, c.icc, c.iccLength);
    jpeg_finish_compress(&c.dst);
    return true;
}

std::string gridText(char axis, int offset, int step)
{
    return std::string(1, axis) + " = " + (offset ? std::to_string(offset) + " + " : "") + std::to_string(step) + "·n";
}

// Invalid unless the piece lies inside the picture shown and starts on the lossless grid.
Status checkPiece(const JpegBlocks& b, int orientation, JpegRegion shown)
{
    const bool t = swapsSides(orientation);
    const std::int64_t shownW = t ? b.height : b.width, shownH = t ? b.width : b.height;
    if (shown.width <= 0 || shown.height <= 0 || shown.x < 0 || shown.y < 0 || shown.x > shownW - shown.width ||
        shown.y > shownH - shown.height)
        return makeError(ErrorCode::Invalid, "piece outside the JPEG's picture");
    const LosslessGrid g = losslessGrid(b, orientation);
    if ((shown.x - g.offsetX) % g.stepX != 0)
        return makeError(ErrorCode::Invalid, "the piece's left edge at x = " + std::to_string(shown.x) +
                                                 " is off the JPEG's block grid (" + gridText('x', g.offsetX, g.stepX) +
                                                 ")");
    if ((shown.y - g.offsetY) % g.stepY != 0)
        return makeError(ErrorCode::Invalid, "the piece's top edge at y = " + std::to_string(shown.y) +
                                                 " is off the JPEG's block grid (" + gridText('y', g.offsetY, g.stepY) +
                                                 ")");
    return {};
}

Result<std::vector<std::uint8_t>> cutFrom(const Input& file, int orientation, JpegRegion shown,
                                          const DecodeLimits& limits)
{
    if (orientation < 1 || orientation > 8)
        return makeError(ErrorCode::Invalid, "orientation " + std::to_string(orientation) + " is outside 1..8");
    if (!file.chunks && file.bytes.empty())
        return makeError(ErrorCode::Corrupt, "empty JPEG file");
    Cut c;
    if (!readHeader(c, file.bytes, file.chunks ? &file.chunks->pub : nullptr, true, true))
        return failure(c.sink);
    auto blocks = checkBlocks(c.src, file.size(), limits);
    if (!blocks)
        return blocks.error();
    if (Status placed = checkPiece(blocks.value(), orientation, shown); !placed)
        return placed.error();
    const Plan plan = planFor(blocks.value(), orientation, shown);
    for (int ci = 0; ci < c.src.num_components; ++ci) {
        const ComponentPlan cp = componentPlan(c.src, ci, plan);
        const jpeg_component_info& comp = c.src.comp_info[ci];
        const JDIMENSION storedX = cp.transposed ? comp.height_in_blocks : comp.width_in_blocks;
        const JDIMENSION storedY = cp.transposed ? comp.width_in_blocks : comp.height_in_blocks;
        if (!walkInside(cp.x, cp.across, storedX) || !walkInside(cp.y, cp.down, storedY))
            return makeError(ErrorCode::Invalid, "piece's blocks outside the JPEG's");
    }
    if (!keepsEveryBlock(c.src))
        if (Status kept = keepOnlyThePiece(c, file, plan, limits); !kept)
            return kept.error();
    if (!readBlocks(c))
        return failure(c.sink);

    std::vector<std::uint8_t> out;
    try {
        // About the source's bytes a block, the piece's share of them (of its own rows' bytes
        // where those are known); the sink grows if not.
        const KeptRead& k = c.keep;
        std::uint64_t pieceBlocks = 0, allBlocks = 0, rowBlocks = 0;
        for (int ci = 0; ci < c.src.num_components; ++ci) {
            const ComponentPlan cp = componentPlan(c.src, ci, plan);
            pieceBlocks += std::uint64_t(cp.across) * std::uint64_t(cp.down);
            allBlocks += std::uint64_t(c.src.comp_info[ci].width_in_blocks) * c.src.comp_info[ci].height_in_blocks;
            rowBlocks += std::uint64_t(k.comp[ci].rows) * k.comp[ci].width;
        }
        const std::uint64_t rowsTo = k.pastRows ? k.rowsTo : file.size();
        const double share = k.components && rowBlocks && rowsTo > k.rowsFrom
                                 ? double(rowsTo - k.rowsFrom) * double(pieceBlocks) / double(rowBlocks)
                             : allBlocks ? double(file.size()) * double(pieceBlocks) / double(allBlocks)
                                         : 0;
        out.resize(std::size_t(std::min(share * 1.125, double(file.size()))) + c.iccLength + 4096);
    } catch (const std::bad_alloc&) {
        return makeError(ErrorCode::TooLarge, "not enough memory for the JPEG piece");
    }
    attachVector(c.dest, out);
    if (!writePiece(c, plan))
        return failure(c.sink);
    out.resize(c.dest.used);
    return out;
}

}  // namespace

Result<JpegBlocks> probeJpegBlocks(Bytes head, std::uint64_t fileSize, const DecodeLimits& limits)
{
    if (head.empty())
        return makeError(ErrorCode::Corrupt, "empty JPEG file");
    Cut c;
    if (!readHeader(c, head, nullptr, true, false))
        return failure(c.sink);
    return checkBlocks(c.src, fileSize, limits);
}

LosslessGrid losslessGrid(const JpegBlocks& blocks, int orientation)
{
    if (orientation < 1 || orientation > 8)
        orientation = 1;
    const Plan p = planFor(blocks, orientation, {});
    // A reversed side starts where the stored picture's far edge leaves whole iMCUs.
    return {p.x.imcu, p.y.imcu, p.x.reversed ? p.x.stored % p.x.imcu : 0, p.y.reversed ? p.y.stored % p.y.imcu : 0};
}

namespace {

// The grid point of offset + step·i nearest to at within 0 .. room; false when there is none.
bool nearestOnGrid(int offset, int step, int room, int& at)
{
    if (room < offset)
        return false;
    const int last = (room - offset) / step;
    const long d = long(at) - offset;
    long i = d >= 0 ? d / step : -((-d + step - 1) / step);  // rounded down
    if (2 * (d - i * step) > step)
        ++i;  // halfway stays at the lower point
    at = offset + int(std::clamp<long>(i, 0, last)) * step;
    return true;
}

}  // namespace

bool snapToGrid(const LosslessGrid& grid, int shownW, int shownH, JpegRegion& region)
{
    if (region.width <= 0 || region.height <= 0 || grid.stepX <= 0 || grid.stepY <= 0)
        return false;
    int x = region.x, y = region.y;
    if (!nearestOnGrid(grid.offsetX, grid.stepX, shownW - region.width, x) ||
        !nearestOnGrid(grid.offsetY, grid.stepY, shownH - region.height, y))
        return false;
    region.x = x, region.y = y;
    return true;
}

Result<std::vector<std::uint8_t>> cutJpegLossless(Bytes file, int orientation, JpegRegion shown,
                                                  const DecodeLimits& limits)
{
    return cutFrom(Input{file}, orientation, shown, limits);
}

Result<std::vector<std::uint8_t>> cutJpegLossless(const RegularFile& file, int orientation, JpegRegion shown,
                                                  const DecodeLimits& limits)
{
    ChunkSource chunks{};
    attachFile(chunks, file);
    return cutFrom(Input{{}, &chunks}, orientation, shown, limits);
}

}  // namespace trimlet
