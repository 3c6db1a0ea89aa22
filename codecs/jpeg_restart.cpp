#include "codecs/jpeg_restart.h"

#include <algorithm>
#include <atomic>
#include <csetjmp>
#include <cstring>
#include <numeric>

#include <jerror.h>
// For the marker reader's restart count: a band starts its scan at a later restart marker.
#include <jpegint.h>

#include "base/parallel.h"

namespace trimlet::jpeg_internal {

namespace {

std::atomic<int> bandsWanted{0};
std::atomic<int> banded{0};

constexpr std::size_t kScanChunk = std::size_t{1} << 18;
constexpr std::uint8_t kEnd[] = {0xFF, JPEG_EOI};

// Walks a file's bytes forward, a chunk at a time when they are in a file.
class Cursor {
public:
    Cursor(const FileBytes& file, std::uint64_t at) : file_(file), base_(at), readFrom_(at)
    {
        if (!file.file) {
            base_ = 0;
            begin_ = file.bytes.data();
            end_ = begin_ + file.bytes.size();
            p_ = begin_ + std::min<std::uint64_t>(at, file.bytes.size());
        }
    }
    std::uint64_t pos() const { return base_ + std::uint64_t(p_ - begin_); }
    // The next byte, -1 at the end.
    int byte()
    {
        if (p_ == end_ && !refill())
            return -1;
        return *p_++;
    }
    int word()
    {
        const int hi = byte();
        const int lo = byte();
        return hi < 0 || lo < 0 ? -1 : hi << 8 | lo;
    }
    bool skip(std::uint64_t n)
    {
        while (n > 0) {
            if (p_ == end_ && !refill())
                return false;
            const std::size_t take = std::size_t(std::min<std::uint64_t>(n, std::uint64_t(end_ - p_)));
            p_ += take;
            n -= take;
        }
        return true;
    }
    // Moves just past the next 0xFF; false when the bytes end first.
    bool pastFF()
    {
        for (;;) {
            if (p_ == end_ && !refill())
                return false;
            if (const void* ff = std::memchr(p_, 0xFF, std::size_t(end_ - p_))) {
                p_ = static_cast<const std::uint8_t*>(ff) + 1;
                return true;
            }
            p_ = end_;
        }
    }

private:
    bool refill()
    {
        if (!file_.file || readFrom_ >= file_.file->size())
            return false;
        auto got = file_.file->readAt(readFrom_, kScanChunk);
        if (!got || got.value().empty())
            return false;
        chunk_ = std::move(got).value();
        base_ = readFrom_;
        readFrom_ += chunk_.size();
        begin_ = p_ = chunk_.data();
        end_ = begin_ + chunk_.size();
        return true;
    }
    const FileBytes& file_;
    std::vector<std::uint8_t> chunk_;
    std::uint64_t base_;      // the file offset of begin_
    std::uint64_t readFrom_;  // where the next chunk starts
    const std::uint8_t* begin_ = nullptr;
    const std::uint8_t* end_ = nullptr;
    const std::uint8_t* p_ = nullptr;
};

bool isRestart(int code) { return code >= JPEG_RST0 && code <= JPEG_RST0 + 7; }

// Finds the frame header's height and the end of the scan header, checking that the height
// is the one libjpeg read.
bool readHeaders(Cursor& at, int height, RestartPlan& plan)
{
    if (at.byte() != 0xFF || at.byte() != 0xD8)
        return false;
    for (;;) {
        if (at.byte() != 0xFF)
            return false;  // libjpeg passes over stray bytes here; the one-thread path handles them
        int code = 0;
        do
            code = at.byte();
        while (code == 0xFF);
        if (code <= 0x01 || isRestart(code) || code == 0xD8 || code == JPEG_EOI)
            return false;
        const int length = at.word();
        if (length < 2)
            return false;
        const std::uint64_t segment = at.pos() - 2;
        std::uint64_t rest = std::uint64_t(length) - 2;
        if (code >= 0xC0 && code <= 0xCF && code != 0xC4 && code != 0xC8 && code != 0xCC) {
            if (plan.heightAt != 0 || (code != 0xC0 && code != 0xC1) || length < 8)
                return false;
            at.byte();  // precision
            if (at.word() != height)
                return false;
            plan.heightAt = segment + 3;
            rest -= 3;
        }
        if (!at.skip(rest))
            return false;
        if (code == 0xDA) {
            plan.dataStart = segment + std::uint64_t(length);
            return plan.heightAt != 0;
        }
    }
}

}  // namespace

std::optional<RestartPlan> planRestarts(const FileBytes& file, const ScanShape& shape)
{
    const std::int64_t perRow = shape.mcusPerRow;
    const std::int64_t every = shape.restartInterval;
    if (perRow <= 0 || shape.mcuRows <= 0 || every <= 0 || shape.iMcuMcuRows <= 0 || shape.mcuRowHeight <= 0)
        return std::nullopt;
    // Granules start where a restart interval and an MCU row (and a row group) start together.
    const std::int64_t mcuRows = std::lcm(std::lcm(every, perRow) / perRow, std::int64_t(shape.iMcuMcuRows));
    if (mcuRows >= shape.mcuRows)
        return std::nullopt;
    RestartPlan plan;
    plan.granuleRows = int(mcuRows * shape.mcuRowHeight);
    plan.granuleIntervals = int(mcuRows * perRow / every);
    const std::int64_t intervals = (perRow * shape.mcuRows + every - 1) / every;
    const std::int64_t granules = (shape.mcuRows + mcuRows - 1) / mcuRows;

    Cursor at(file, 0);
    if (!readHeaders(at, shape.height, plan))
        return std::nullopt;
    plan.starts.reserve(std::size_t(granules));
    plan.ends.reserve(std::size_t(granules));
    plan.starts.push_back(plan.dataStart);
    std::int64_t interval = 0;
    for (;;) {
        if (!at.pastFF())
            return std::nullopt;
        const std::uint64_t marker = at.pos() - 1;
        int code = 0;
        do
            code = at.byte();
        while (code == 0xFF);
        if (code == 0)
            continue;  // a stuffed 0xFF
        if (code == JPEG_EOI) {
            if (interval != intervals - 1)
                return std::nullopt;
            plan.ends.push_back(marker);
            break;
        }
        if (!isRestart(code) || code - JPEG_RST0 != (interval & 7) || ++interval >= intervals)
            return std::nullopt;
        if (interval % plan.granuleIntervals == 0) {
            plan.ends.push_back(marker);
            plan.starts.push_back(at.pos());
        }
    }
    if (std::int64_t(plan.starts.size()) != granules)
        return std::nullopt;
    return plan;
}

std::optional<ScanShape> shapeOf(const jpeg_decompress_struct& c)
{
    auto& started = const_cast<jpeg_decompress_struct&>(c);  // the query only reads
    if (c.progressive_mode || c.arith_code || c.data_precision != 8 || c.restart_interval == 0 ||
        jpeg_has_multiple_scans(&started) || c.out_color_space != JCS_EXT_BGR || c.output_components != 3 ||
        c.scale_num != c.scale_denom || c.output_height != c.image_height || c.quantize_colors || c.raw_data_out ||
        c.comps_in_scan != c.num_components)
        return std::nullopt;
    ScanShape shape;
    shape.mcusPerRow = c.MCUs_per_row;
    shape.mcuRows = c.MCU_rows_in_scan;
    shape.restartInterval = int(c.restart_interval);
    shape.height = int(c.image_height);
    if (c.comps_in_scan == 1) {
        // One block an MCU; a row group holds v of its rows.
        const int v = c.cur_comp_info[0]->v_samp_factor;
        shape.mcuRowHeight = DCTSIZE * c.max_v_samp_factor / v;
        shape.iMcuMcuRows = v;
        return shape;
    }
    shape.mcuRowHeight = DCTSIZE * c.max_v_samp_factor;
    for (int i = 0; i < c.num_components; ++i)
        shape.overlap = shape.overlap || c.comp_info[i].v_samp_factor != c.max_v_samp_factor;
    return shape;
}

namespace {

constexpr int kRowsPerCall = 16;
constexpr std::size_t kReadChunk = std::size_t{1} << 16;

// Hands a band's decoder the file's headers, its own height in the frame header, the band's
// entropy-coded data and an end marker, read from memory or a chunk at a time from the file.
struct BandSource {
    jpeg_source_mgr pub;  // first member: libjpeg hands back &pub as cinfo->src
    struct Piece {
        std::uint64_t at = 0, length = 0;
        const std::uint8_t* literal = nullptr;
    };
    const FileBytes* file = nullptr;
    Piece pieces[5];
    int count = 0, next = 0;
    std::uint8_t height[2] = {};
    std::vector<std::uint8_t> chunk;
};

BandSource& sourceOf(j_decompress_ptr cinfo) { return *reinterpret_cast<BandSource*>(cinfo->src); }

void initBand(j_decompress_ptr) {}
void termBand(j_decompress_ptr) {}

boolean fillBand(j_decompress_ptr cinfo)
{
    BandSource& s = sourceOf(cinfo);
    while (s.next < s.count && s.pieces[s.next].length == 0)
        ++s.next;
    if (s.next == s.count) {
        WARNMS(cinfo, JWRN_JPEG_EOF);  // fails the band, as the end of any source does
        s.pub.next_input_byte = kEnd;
        s.pub.bytes_in_buffer = sizeof kEnd;
        return TRUE;
    }
    BandSource::Piece& p = s.pieces[s.next];
    if (p.literal || !s.file->file) {
        s.pub.next_input_byte = p.literal ? p.literal : s.file->bytes.data() + p.at;
        s.pub.bytes_in_buffer = std::size_t(p.length);
        p.length = 0;
        return TRUE;
    }
    if (!readChunkAt(*s.file->file, p.at, std::size_t(std::min<std::uint64_t>(p.length, kReadChunk)), s.chunk))
        ERREXIT(cinfo, JERR_FILE_READ);
    const std::size_t got = std::min<std::size_t>(s.chunk.size(), std::size_t(p.length));
    p.at += got;
    p.length -= got;
    s.pub.next_input_byte = s.chunk.data();
    s.pub.bytes_in_buffer = got;
    return TRUE;
}

void skipBand(j_decompress_ptr cinfo, long count)
{
    BandSource& s = sourceOf(cinfo);
    while (count > long(s.pub.bytes_in_buffer)) {
        count -= long(s.pub.bytes_in_buffer);
        s.pub.bytes_in_buffer = 0;
        fillBand(cinfo);
    }
    if (count > 0) {
        s.pub.next_input_byte += count;
        s.pub.bytes_in_buffer -= std::size_t(count);
    }
}

void attachBand(BandSource& s, const FileBytes& file, const RestartPlan& plan, int firstGranule, int endGranule,
                int height)
{
    s.pub.init_source = initBand;
    s.pub.fill_input_buffer = fillBand;
    s.pub.skip_input_data = skipBand;
    s.pub.resync_to_restart = jpeg_resync_to_restart;
    s.pub.term_source = termBand;
    s.file = &file;
    s.height[0] = std::uint8_t(height >> 8);
    s.height[1] = std::uint8_t(height);
    const std::uint64_t data = plan.starts[std::size_t(firstGranule)];
    s.pieces[0] = {0, plan.heightAt, nullptr};
    s.pieces[1] = {0, 2, s.height};
    s.pieces[2] = {plan.heightAt + 2, plan.dataStart - plan.heightAt - 2, nullptr};
    s.pieces[3] = {data, plan.ends[std::size_t(endGranule - 1)] - data, nullptr};
    s.pieces[4] = {0, sizeof kEnd, kEnd};
    s.count = 5;
}

struct Band {
    ErrorSink sink;
    BandSource source{};
    jpeg_decompress_struct cinfo{};  // zeroed: destroying a never-created struct is harmless
    Band()
    {
        attach(sink);
        cinfo.err = &sink.pub;
    }
    ~Band() { jpeg_destroy_decompress(&cinfo); }
    Band(const Band&) = delete;
    Band& operator=(const Band&) = delete;
};

struct BandJob {
    int top;            // the picture row the band's decode starts at
    int height;         // rows its frame header declares
    int restartNumber;  // of the marker after its first interval
    int keepFirst;      // picture rows [keepFirst, keepEnd) go to out
    int keepEnd;
    const ColumnCut* cut;
    Bitmap* out;
    int outTop;             // the picture row of out's first row
    std::uint8_t* scratch;  // kRowsPerCall rows of the decoded width, for rows not kept
};

bool runBand(Band& b, const BandJob& job)
{
    if (setjmp(b.sink.jump))
        return false;
    jpeg_decompress_struct& c = b.cinfo;
    const j_common_ptr common = reinterpret_cast<j_common_ptr>(&c);
    jpeg_create_decompress(&c);
    c.src = &b.source.pub;
    jpeg_read_header(&c, TRUE);
    // decodeJpeg's settings, so that every sample comes out as there.
    c.out_color_space = JCS_EXT_BGR;
    c.dct_method = JDCT_FLOAT;
    c.do_fancy_upsampling = TRUE;
    c.do_block_smoothing = TRUE;
    c.buffered_image = FALSE;
    c.quantize_colors = FALSE;
    c.scale_num = 1;
    c.scale_denom = 1;
    c.marker->next_restart_num = job.restartNumber;
    jpeg_start_decompress(&c);
    if (c.output_height != JDIMENSION(job.height) || c.output_components != 3)
        failWith(common, "JPEG band differs from its header");
    std::size_t width = c.output_width;
    if (job.cut) {
        JDIMENSION first = job.cut->first, count = job.cut->count;
        jpeg_crop_scanline(&c, &first, &count);
        if (first != job.cut->first || count != job.cut->count)
            failWith(common, "JPEG band cropped otherwise");
        width = count;
    }
    const std::size_t keptBytes = std::size_t(job.out->width()) * 3;
    JSAMPROW rows[kRowsPerCall];
    const JDIMENSION end = JDIMENSION(job.keepEnd - job.top);
    while (c.output_scanline < end) {
        const JDIMENSION first = c.output_scanline;
        const JDIMENSION want = std::min<JDIMENSION>(kRowsPerCall, end - first);
        for (JDIMENSION i = 0; i < want; ++i) {
            const int y = job.top + int(first + i);
            rows[i] = !job.cut && y >= job.keepFirst ? job.out->row(y - job.outTop) : job.scratch + i * width * 3;
        }
        const JDIMENSION got = jpeg_read_scanlines(&c, rows, want);
        if (got == 0)
            failWith(common, "JPEG decoder delivered no rows");
        for (JDIMENSION i = 0; job.cut && i < got; ++i)
            if (const int y = job.top + int(first + i); y >= job.keepFirst)
                std::memcpy(job.out->row(y - job.outTop), rows[i] + std::size_t(job.cut->offset) * 3, keptBytes);
    }
    return true;
}

struct Bands {
    const FileBytes& file;
    const RestartPlan& plan;
    const ScanShape& shape;
    const ColumnCut* cut;
    int top;
    Bitmap& out;
    std::size_t scratchBytes;
};

// Decodes granules [begin, end), keeping the rows of them that out holds.
bool decodeGranules(const Bands& bands, int begin, int end) noexcept
{
    const int rows = bands.plan.granuleRows;
    const int overlap = bands.shape.overlap ? 1 : 0;
    const int first = std::max(0, begin - overlap);
    const int last = std::min(bands.plan.granules(), end + overlap);
    const int top = first * rows;
    BandJob job{top,
                std::min(bands.shape.height, last * rows) - top,
                int((std::int64_t(first) * bands.plan.granuleIntervals) & 7),
                std::max(bands.top, begin * rows),
                std::min(bands.top + bands.out.height(), end * rows),
                bands.cut,
                &bands.out,
                bands.top,
                nullptr};
    std::vector<std::uint8_t> scratch;
    try {
        scratch.resize(bands.scratchBytes);
    } catch (...) {
        return false;
    }
    job.scratch = scratch.data();
    Band band;
    attachBand(band.source, bands.file, bands.plan, first, last, job.height);
    return runBand(band, job);
}

}  // namespace

bool decodeInBands(const jpeg_decompress_struct& c, const FileBytes& file, int top, Bitmap& out, const ColumnCut* cut)
{
    const int wanted = bandsWanted.load(std::memory_order_relaxed);
    if (wanted < 0 || out.empty())
        return false;
    try {
        const auto shape = shapeOf(c);
        if (!shape)
            return false;
        const int threads = wanted > 0 ? wanted : threadsFor(std::int64_t(out.width()) * out.height());
        // With one thread only rows above a region are worth passing over.
        if (threads < 2 && top < int(c.max_v_samp_factor) * DCTSIZE)
            return false;
        const auto plan = planRestarts(file, *shape);
        if (!plan)
            return false;
        const int rows = plan->granuleRows;
        const int begin = top / rows;
        const int end = std::min(plan->granules(), (top + out.height() + rows - 1) / rows);
        const Bands bands{
            file, *plan, *shape, cut, top, out, std::size_t(kRowsPerCall) * std::size_t(c.output_width) * 3};
        std::atomic<bool> failed{false};
        parallelFor(end - begin, threads, [&](int from, int to) {
            if (!decodeGranules(bands, begin + from, begin + to))
                failed.store(true, std::memory_order_relaxed);
        });
        if (failed.load())
            return false;
        banded.fetch_add(1, std::memory_order_relaxed);
        return true;
    } catch (...) {
        return false;  // out of memory planning: the one-thread path decides
    }
}

void setRestartBands(int bands) { bandsWanted.store(bands, std::memory_order_relaxed); }

int bandedDecodes() { return banded.load(std::memory_order_relaxed); }

}  // namespace trimlet::jpeg_internal
