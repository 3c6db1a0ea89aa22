#include "codecs/jpeg.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include <jerror.h>
#include <jpeglib.h>
// For the marker reader's restart count, which it keeps public for applications.
#include <jpegint.h>

#include "codecs/colour_profile.h"
#include "codecs/exif.h"
#include "codecs/jpeg_internals.h"
#include "codecs/jpeg_restart.h"

namespace trimlet {

namespace jpeg_internal {

namespace {

ErrorSink& sinkOf(j_common_ptr cinfo) { return *reinterpret_cast<ErrorSink*>(cinfo->err); }

[[noreturn]] void jumpOut(j_common_ptr cinfo)
{
    ErrorSink& sink = sinkOf(cinfo);
    (*sink.pub.format_message)(cinfo, sink.message);
    std::longjmp(sink.jump, 1);
}

// Warnings that leave every coefficient as the file stored it. Everything else (end of data,
// bad entropy codes, lost restart sync, inconsistent progression) means libjpeg would make up
// pixels, so it is a failure like truncation.
bool harmlessWarning(int code)
{
    return code == JWRN_EXTRANEOUS_DATA || code == JWRN_JFIF_MAJOR || code == JWRN_ADOBE_XFORM ||
           code == JWRN_BOGUS_ICC;
}

void onMessage(j_common_ptr cinfo, int level)
{
    if (level >= 0)
        return;  // trace output
    if (!harmlessWarning(cinfo->err->msg_code))
        jumpOut(cinfo);
    ++cinfo->err->num_warnings;
}

}  // namespace

[[noreturn]] void failWith(j_common_ptr cinfo, const char* text)
{
    ErrorSink& sink = sinkOf(cinfo);
    sink.pub.msg_code = 0;
    std::snprintf(sink.message, sizeof sink.message, "%s", text);
    std::longjmp(sink.jump, 1);
}

void attach(ErrorSink& sink)
{
    jpeg_std_error(&sink.pub);
    sink.pub.error_exit = jumpOut;
    sink.pub.emit_message = onMessage;
    sink.message[0] = '\0';
}

namespace {

// libjpeg names the marker only; a user is told what kind of file it is.
Error unsupportedProcess(const ErrorSink& sink)
{
    const int marker = sink.pub.msg_parm.i[0];
    if (marker == 0xC3 || marker == 0xCB)
        return makeError(ErrorCode::Unsupported, "lossless JPEG is not supported");
    if ((marker >= 0xC5 && marker <= 0xC7) || (marker >= 0xCD && marker <= 0xCF))
        return makeError(ErrorCode::Unsupported, "hierarchical JPEG is not supported");
    return makeError(ErrorCode::Unsupported, sink.message);
}

}  // namespace

Error failure(const ErrorSink& sink)
{
    switch (sink.pub.msg_code) {
    case JERR_BAD_PRECISION:
        return makeError(ErrorCode::Unsupported, std::to_string(sink.pub.msg_parm.i[0]) +
                                                     "-bit JPEG is not supported (only 8-bit samples are read)");
    case JERR_SOF_UNSUPPORTED: return unsupportedProcess(sink);
    case JERR_OUT_OF_MEMORY:
    case JERR_NO_BACKING_STORE:  // the memory cap below was hit
    case JERR_IMAGE_TOO_BIG:
    case JERR_WIDTH_OVERFLOW: return makeError(ErrorCode::TooLarge, sink.message);
    case JERR_ARITH_NOTIMPL:
    case JERR_NOT_COMPILED:
    case JERR_CONVERSION_NOTIMPL: return makeError(ErrorCode::Unsupported, sink.message);
    default: return makeError(ErrorCode::Corrupt, sink.message);
    }
}

// A progressive scan walks every block of its component yet, with long end-of-band runs, costs
// the file a few bytes: a small file could ask for thousands of passes over a huge picture.
// Real encoders write about ten scans.
constexpr int kMaxScans = 500;

void watchScans(j_common_ptr cinfo)
{
    if (reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > kMaxScans)
        failWith(cinfo, "JPEG has too many scans");
}

// The orientation of the first EXIF APP1 marker; XMP and other APP1 markers are passed over.
int orientationOf(const jpeg_decompress_struct& c)
{
    for (jpeg_saved_marker_ptr m = c.marker_list; m; m = m->next)
        if (m->marker == JPEG_APP0 + 1 && m->data_length >= 6 && std::memcmp(m->data, "Exif\0\0", 6) == 0)
            return jpegExifOrientation(Bytes{m->data, m->data_length});
    return 1;
}

// Every Huffman-coded block costs at least one bit (the DC difference of the first scan that
// holds it), so a file of n bytes cannot hold more than 8n blocks. Arithmetic coding has no
// such floor: its data may end early and the rest decodes as zeros, as the standard allows.
bool beyondHuffmanFloor(const jpeg_decompress_struct& c, std::uint64_t fileSize)
{
    if (c.arith_code)
        return false;
    std::uint64_t blocks = 0;
    for (int i = 0; i < c.num_components; ++i)
        blocks += std::uint64_t(c.comp_info[i].width_in_blocks) * c.comp_info[i].height_in_blocks;
    return blocks > 8 * fileSize;
}

}  // namespace jpeg_internal

using namespace jpeg_internal;

// ---- decoding -------------------------------------------------------------------------------

namespace {

Bytes markerBytes(const jpeg_saved_marker_ptr m) { return {m->data, m->data_length}; }

struct Reader {
    ErrorSink sink;
    jpeg_progress_mgr progress{};
    jpeg_decompress_struct cinfo{};  // zeroed: destroying a never-created struct is harmless
    Reader()
    {
        attach(sink);
        progress.progress_monitor = watchScans;
        cinfo.err = &sink.pub;
    }
    ~Reader() { jpeg_destroy_decompress(&cinfo); }
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;
};

// Keeps the APP1 markers (EXIF) and, when asked, the APP2 markers (ICC profile chunks); they
// are held in libjpeg's pool, so they cost no more than the file's own bytes.
bool readHeader(Reader& r, const std::uint8_t* data, std::size_t size, bool keepProfile,
                jpeg_source_mgr* source = nullptr)
{
    if (setjmp(r.sink.jump))
        return false;
    jpeg_create_decompress(&r.cinfo);
    r.cinfo.progress = &r.progress;
    if (source)
        r.cinfo.src = source;
    else
        jpeg_mem_src(&r.cinfo, data, static_cast<unsigned long>(size));
    jpeg_save_markers(&r.cinfo, JPEG_APP0 + 1, 0xFFFF);
    if (keepProfile)
        jpeg_save_markers(&r.cinfo, JPEG_APP0 + 2, 0xFFFF);
    jpeg_read_header(&r.cinfo, TRUE);
    // EXIF and profiles belong before the first scan, where info reads them too; one met
    // between later scans must not turn or recolour what info has described.
    jpeg_save_markers(&r.cinfo, JPEG_APP0 + 1, 0);
    jpeg_save_markers(&r.cinfo, JPEG_APP0 + 2, 0);
    return true;
}

std::vector<std::uint8_t> profileOf(const jpeg_decompress_struct& c)
{
    std::vector<Bytes> payloads;
    for (jpeg_saved_marker_ptr m = c.marker_list; m; m = m->next)
        if (m->marker == JPEG_APP0 + 2)
            payloads.push_back(markerBytes(m));
    return joinIccChunks(payloads);
}

// The profile as the pixels can use it: grey for greyscale files, RGB for colour ones; a CMYK
// profile is applied here, as the samples are read, and never handed on.
std::vector<std::uint8_t> profileForPixels(const jpeg_decompress_struct& c)
{
    std::vector<std::uint8_t> profile = profileOf(c);
    const ProfileSpace wanted = c.jpeg_color_space == JCS_GRAYSCALE ? ProfileSpace::Grey : ProfileSpace::Rgb;
    if (c.out_color_space == JCS_CMYK || profileSpace(profile) != wanted)
        profile.clear();
    return profile;
}

// Rows asked for per jpeg_read_scanlines call; libjpeg hands out at most one row group anyway.
constexpr int kRowsPerCall = 16;

inline std::uint8_t times255(unsigned a, unsigned b) { return std::uint8_t((a * b + 127) / 255); }

// Adobe writers store inverted inks (255 = none), so a channel is simply C·K/255; plain CMYK
// stores ink amounts.
void cmykRowsToBgr(const std::uint8_t* cmyk, int count, int width, bool adobe, std::uint8_t* out, int stride)
{
    const unsigned flip = adobe ? 0 : 255;
    for (int y = 0; y < count; ++y, out += stride) {
        std::uint8_t* d = out;
        for (int x = 0; x < width; ++x, cmyk += 4, d += 3) {
            const unsigned k = cmyk[3] ^ flip;
            d[0] = times255(cmyk[2] ^ flip, k);
            d[1] = times255(cmyk[1] ^ flip, k);
            d[2] = times255(cmyk[0] ^ flip, k);
        }
    }
}

// For a multi-scan file this reads all of it, so truncation shows before the pixels are allocated.
bool startDecode(Reader& r)
{
    if (setjmp(r.sink.jump))
        return false;
    jpeg_start_decompress(&r.cinfo);
    return true;
}

// Decodes into `pixels` directly, or through `cmyk` (kRowsPerCall rows of width × 4) when set,
// converted through `profile` when there is one.
bool readPixels(Reader& r, std::uint8_t* pixels, int stride, std::uint8_t* cmyk, const CmykToSrgb* profile)
{
    if (setjmp(r.sink.jump))
        return false;
    jpeg_decompress_struct& c = r.cinfo;
    const JDIMENSION width = c.output_width;
    const JDIMENSION height = c.output_height;
    JSAMPROW rows[kRowsPerCall];
    while (c.output_scanline < height) {
        const JDIMENSION first = c.output_scanline;
        const JDIMENSION want = std::min<JDIMENSION>(kRowsPerCall, height - first);
        for (JDIMENSION i = 0; i < want; ++i)
            rows[i] = cmyk ? cmyk + std::size_t(i) * width * 4 : pixels + std::size_t(first + i) * stride;
        const JDIMENSION got = jpeg_read_scanlines(&c, rows, want);
        if (got == 0)
            failWith(reinterpret_cast<j_common_ptr>(&c), "JPEG decoder delivered no rows");
        if (profile)
            profile->convert(cmyk, int(width), int(got), pixels + std::size_t(first) * stride, stride);
        else if (cmyk)
            cmykRowsToBgr(cmyk, int(got), int(width), c.saw_Adobe_marker, pixels + std::size_t(first) * stride, stride);
    }
    jpeg_finish_decompress(&c);  // reads up to EOI, so a missing tail is still caught
    return true;
}

// Chooses the output colours and checks the header's size, as stored and as shown, before
// anything is allocated.
Status checkHeader(jpeg_decompress_struct& c, std::uint64_t fileSize, const DecodeLimits& limits, bool& viaCmyk)
{
    switch (c.jpeg_color_space) {
    case JCS_GRAYSCALE:  // libjpeg copies grey to all three channels, no quantising
    case JCS_YCbCr:
    case JCS_RGB: c.out_color_space = JCS_EXT_BGR; break;
    case JCS_CMYK:
    case JCS_YCCK:
        c.out_color_space = JCS_CMYK;
        viaCmyk = true;
        break;
    default: return makeError(ErrorCode::Unsupported, "JPEG colour space not supported");
    }
    const std::int64_t width = c.image_width;
    const std::int64_t height = c.image_height;
    if (!Bitmap::sizeAllowed(width, height, limits.maxBitmapBytes) ||
        (swapsSides(orientationOf(c)) && !Bitmap::sizeAllowed(height, width, limits.maxBitmapBytes)))
        return makeError(ErrorCode::TooLarge,
                         "JPEG of " + std::to_string(width) + " × " + std::to_string(height) + " pixels is too large");
    if (beyondHuffmanFloor(c, fileSize))
        return makeError(ErrorCode::Corrupt, "damaged JPEG: file too small for its picture size");
    return {};
}

}  // namespace

HeaderProbe probeJpeg(Bytes head, std::uint64_t fileSize, const DecodeLimits& limits)
{
    Reader r;
    if (head.empty() || !readHeader(r, head.data(), head.size(), false)) {
        // The memory source reports its end as a premature end of file.
        const bool ended = head.empty() || r.sink.pub.msg_code == JWRN_JPEG_EOF;
        return {head.empty() ? makeError(ErrorCode::Corrupt, "empty JPEG file") : failure(r.sink),
                ended && head.size() < fileSize};
    }
    bool viaCmyk = false;
    if (Status checked = checkHeader(r.cinfo, fileSize, limits, viaCmyk); !checked)
        return {checked.error()};
    return {PictureSize{int(r.cinfo.image_width), int(r.cinfo.image_height)}, false, orientationOf(r.cinfo)};
}

namespace jpeg_internal {

namespace {

constexpr std::size_t kChunkBytes = std::size_t{1} << 16;
constexpr std::uint8_t kFakeEnd[] = {0xFF, JPEG_EOI};

void initChunks(j_decompress_ptr) {}
void termChunks(j_decompress_ptr) {}

boolean fillChunk(j_decompress_ptr cinfo)
{
    ChunkSource& s = *reinterpret_cast<ChunkSource*>(cinfo->src);
    if (s.offset >= s.file->size()) {
        // As libjpeg's own sources do: the warning fails the decode (see onMessage).
        WARNMS(cinfo, JWRN_JPEG_EOF);
        s.pub.next_input_byte = kFakeEnd;
        s.pub.bytes_in_buffer = sizeof kFakeEnd;
        return TRUE;
    }
    if (!readChunkAt(*s.file, s.offset, kChunkBytes, s.chunk))
        ERREXIT(cinfo, JERR_FILE_READ);
    s.offset += s.chunk.size();
    s.pub.next_input_byte = s.chunk.data();
    s.pub.bytes_in_buffer = s.chunk.size();
    return TRUE;
}

void skipChunks(j_decompress_ptr cinfo, long count)
{
    ChunkSource& s = *reinterpret_cast<ChunkSource*>(cinfo->src);
    if (count <= 0)
        return;
    if (std::size_t(count) <= s.pub.bytes_in_buffer) {
        s.pub.next_input_byte += count;
        s.pub.bytes_in_buffer -= std::size_t(count);
        return;
    }
    s.offset += std::uint64_t(count) - s.pub.bytes_in_buffer;
    s.pub.bytes_in_buffer = 0;
}

}  // namespace

bool readChunkAt(const RegularFile& file, std::uint64_t offset, std::size_t count,
                 std::vector<std::uint8_t>& chunk) noexcept
{
    try {
        auto got = file.readAt(offset, count);
        if (!got || got.value().empty())
            return false;
        chunk = std::move(got).value();
        return true;
    } catch (...) {
        return false;
    }
}

void attachFile(ChunkSource& source, const RegularFile& file)
{
    source.pub.init_source = initChunks;
    source.pub.fill_input_buffer = fillChunk;
    source.pub.skip_input_data = skipChunks;
    source.pub.resync_to_restart = jpeg_resync_to_restart;
    source.pub.term_source = termChunks;
    source.file = &file;
}

}  // namespace jpeg_internal

namespace {

// The bytes of a file in memory, or the file itself, read a chunk at a time.
struct Input {
    Bytes bytes;
    ChunkSource* chunks = nullptr;
    std::uint64_t size() const { return chunks ? chunks->file->size() : bytes.size(); }
};

// Reads the header and starts the decompression as decodeJpeg does, checking every limit of
// the whole picture.
Status startJpeg(Reader& r, const Input& file, const DecodeLimits& limits, bool& viaCmyk, int denominator = 1)
{
    if (!readHeader(r, file.bytes.data(), file.bytes.size(), limits.colourManagement,
                    file.chunks ? &file.chunks->pub : nullptr))
        return failure(r.sink);
    jpeg_decompress_struct& c = r.cinfo;
    if (Status checked = checkHeader(c, file.size(), limits, viaCmyk); !checked)
        return checked.error();
    const std::int64_t width = c.image_width;
    const std::int64_t height = c.image_height;
    // A multi-scan file keeps all its coefficients: 2 bytes each for at most 4 full-size
    // components, 8 bytes a pixel against the bitmap's 3. More than that (plus room for MCU
    // padding along a 65500-pixel side) is a file asking for memory its pixels do not need.
    const std::int64_t bitmapBytes = Bitmap::strideFor(width) * height;
    c.mem->max_memory_to_use = long(3 * bitmapBytes + (std::int64_t{64} << 20));

    c.dct_method = JDCT_FLOAT;
    c.do_fancy_upsampling = TRUE;
    c.do_block_smoothing = TRUE;
    c.buffered_image = FALSE;
    c.quantize_colors = FALSE;
    c.scale_num = 1;
    c.scale_denom = unsigned(denominator);

    if (!startDecode(r))
        return failure(r.sink);
    if (std::int64_t(c.output_width) != (width + denominator - 1) / denominator ||
        std::int64_t(c.output_height) != (height + denominator - 1) / denominator ||
        c.output_components != (viaCmyk ? 4 : 3))
        return makeError(ErrorCode::Corrupt, "JPEG decoder output differs from the frame header");
    return {};
}

// The orientation, and the profile to hand on or (CMYK) to apply while reading.
Status takeMetadata(const Reader& r, const DecodeLimits& limits, bool viaCmyk, DecodedImage& image,
                    std::unique_ptr<CmykToSrgb>& cmykProfile)
{
    try {
        image.orientation = orientationOf(r.cinfo);
        if (viaCmyk && limits.colourManagement)
            cmykProfile = CmykToSrgb::create(profileOf(r.cinfo), r.cinfo.saw_Adobe_marker);
        else
            image.iccProfile = profileForPixels(r.cinfo);
    } catch (const std::bad_alloc&) {
        return makeError(ErrorCode::TooLarge, "not enough memory for the JPEG's metadata");
    }
    return {};
}

// Decoded columns reach a little past their own blocks: fancy upsampling by one chroma sample,
// progressive block smoothing by two blocks. Decoding this much more on every side keeps the
// region's pixels those of a full decode, whatever the band's own edges look like.
constexpr int kRegionMargin = 48;

bool cropColumns(Reader& r, JDIMENSION& first, JDIMENSION& count)
{
    if (setjmp(r.sink.jump))
        return false;
    jpeg_crop_scanline(&r.cinfo, &first, &count);
    return true;
}

bool skipRows(jpeg_decompress_struct& c, JDIMENSION until)
{
    while (c.output_scanline < until)
        if (jpeg_skip_scanlines(&c, until - c.output_scanline) == 0)
            return false;
    return true;
}

struct RegionJob {
    JpegRegion region;
    JDIMENSION bandFirstRow;  // decoding starts here, rows above the region being discarded
    int columnOffset;         // of the region's first column in the decoded band
    std::uint8_t* band;       // kRowsPerCall rows of the band, output_components bytes a pixel
    std::uint8_t* pixels;     // the region's bitmap, or
    int stride;
    Bitmap* staging;          // kRowsPerCall rows of the region's width, handed to
    const JpegRowSink* sink;  // this as they are made
    bool cmyk;
    const CmykToSrgb* profile;
    const std::function<void()>* betweenBands;  // or null
};

// How a region decode ended: failed (the sink says why), done, or done up to a tail the quick
// scan could not vouch for, so that the whole file must be decoded the old way.
enum class RegionRead { Failed, Done, Redo };

// The next byte of the source; libjpeg's sources warn (which fails, see onMessage) at the end.
bool nextByte(jpeg_decompress_struct& c, int& byte)
{
    jpeg_source_mgr& src = *c.src;
    if (src.bytes_in_buffer == 0 && !(*src.fill_input_buffer)(&c))
        return false;
    byte = *src.next_input_byte++;
    --src.bytes_in_buffer;
    return true;
}

// The restart markers still to come in the scan once the decoder has read its input up to
// input_iMCU_row: one after every restart_interval MCUs but the last.
long restartsToCome(const jpeg_decompress_struct& c)
{
    if (c.restart_interval == 0)
        return 0;
    const long mcuRows = c.comps_in_scan > 1 ? 1 : c.cur_comp_info[0]->v_samp_factor;
    const long total = long(c.MCUs_per_row) * long(c.MCU_rows_in_scan);
    const long decoded = std::min(total, long(c.input_iMCU_row) * mcuRows * long(c.MCUs_per_row));
    const long every = long(c.restart_interval);
    return (total - 1) / every - (decoded - 1) / every;
}

// Passes over the rest of a single-scan file's entropy-coded data without decoding it: every
// 0xFF there must be a stuffed 0xFF, fill, or the next restart marker (as many as the scan has
// left), up to the end marker. A file that ends first fails as a whole decode does; anything
// else (which a whole decode may or may not accept) asks for the whole decode.
RegionRead scanTail(jpeg_decompress_struct& c)
{
    jpeg_source_mgr& src = *c.src;
    int marker = c.unread_marker;  // met by the entropy decoder, not yet handled
    int nextRestart = c.marker->next_restart_num;
    long restarts = restartsToCome(c);
    for (;;) {
        if (marker == JPEG_EOI)
            return restarts == 0 ? RegionRead::Done : RegionRead::Redo;
        if (marker != 0) {
            if (marker != JPEG_RST0 + nextRestart || restarts-- == 0)
                return RegionRead::Redo;
            nextRestart = (nextRestart + 1) & 7;
            marker = 0;
        }
        if (src.bytes_in_buffer == 0 && !(*src.fill_input_buffer)(&c))
            return RegionRead::Redo;
        const auto* ff = static_cast<const JOCTET*>(std::memchr(src.next_input_byte, 0xFF, src.bytes_in_buffer));
        const std::size_t passed = ff ? std::size_t(ff - src.next_input_byte) + 1 : src.bytes_in_buffer;
        src.next_input_byte += passed;
        src.bytes_in_buffer -= passed;
        if (!ff)
            continue;
        int after = 0xFF;
        while (after == 0xFF)
            if (!nextByte(c, after))
                return RegionRead::Redo;
        marker = after;
    }
}

// Decodes the band's rows and keeps the region's columns of them; then makes sure of the rest
// of the file as far as its end marker, so that a file cut short after the region still fails.
// With stopEarly, a single-scan file's rest is scanned rather than decoded: the region's pixels
// cannot depend on it.
RegionRead readRegion(Reader& r, const RegionJob& job, bool stopEarly)
{
    if (setjmp(r.sink.jump))
        return RegionRead::Failed;
    jpeg_decompress_struct& c = r.cinfo;
    const j_common_ptr common = reinterpret_cast<j_common_ptr>(&c);
    const JDIMENSION bandWidth = c.output_width;
    const std::size_t bandStride = std::size_t(bandWidth) * std::size_t(c.output_components);
    const JDIMENSION regionTop = JDIMENSION(job.region.y);
    const JDIMENSION regionEnd = regionTop + JDIMENSION(job.region.height);
    if (!skipRows(c, job.bandFirstRow))
        failWith(common, "JPEG decoder skipped no rows");
    JSAMPROW rows[kRowsPerCall];
    for (int i = 0; i < kRowsPerCall; ++i)
        rows[i] = job.band + std::size_t(i) * bandStride;
    while (c.output_scanline < regionEnd) {
        const JDIMENSION first = c.output_scanline;
        const JDIMENSION got = jpeg_read_scanlines(&c, rows, std::min<JDIMENSION>(kRowsPerCall, regionEnd - first));
        if (got == 0)
            failWith(common, "JPEG decoder delivered no rows");
        int kept = 0;
        for (JDIMENSION i = 0; i < got; ++i) {
            if (first + i < regionTop)
                continue;
            const std::uint8_t* from = rows[i] + std::size_t(job.columnOffset) * std::size_t(c.output_components);
            std::uint8_t* to = job.staging ? job.staging->row(kept)
                                           : job.pixels + std::size_t(first + i - regionTop) * std::size_t(job.stride);
            ++kept;
            if (job.profile)
                job.profile->convert(from, job.region.width, 1, to, job.stride);
            else if (job.cmyk)
                cmykRowsToBgr(from, 1, job.region.width, c.saw_Adobe_marker, to, job.stride);
            else
                std::memcpy(to, from, std::size_t(job.region.width) * 3);
        }
        if (job.sink && kept > 0)
            (*job.sink)(*job.staging, int(first + got - regionTop) - kept, kept);
        if (job.betweenBands)
            (*job.betweenBands)();
    }
    if (stopEarly && c.output_scanline < c.output_height && !jpeg_has_multiple_scans(&c))
        return scanTail(c);
    // Skipping to the very end would not read the data at all, so the last row is decoded.
    if (c.output_height - c.output_scanline > 1 && !skipRows(c, c.output_height - 1))
        failWith(common, "JPEG decoder skipped no rows");
    if (c.output_scanline < c.output_height && jpeg_read_scanlines(&c, rows, 1) == 0)
        failWith(common, "JPEG decoder delivered no rows");
    jpeg_finish_decompress(&c);
    return RegionRead::Done;
}

// Decodes every row into band, through cmyk (band.width() × 4 a pixel) when set, and hands
// each group of rows to sink.
bool readBands(Reader& r, Bitmap& band, std::uint8_t* cmyk, const CmykToSrgb* profile, const JpegRowSink& sink)
{
    if (setjmp(r.sink.jump))
        return false;
    jpeg_decompress_struct& c = r.cinfo;
    const std::size_t width = c.output_width;
    JSAMPROW rows[kRowsPerCall];
    for (int i = 0; i < kRowsPerCall; ++i)
        rows[i] = cmyk ? cmyk + std::size_t(i) * width * 4 : band.row(i);
    while (c.output_scanline < c.output_height) {
        const JDIMENSION first = c.output_scanline;
        const JDIMENSION got =
            jpeg_read_scanlines(&c, rows, std::min<JDIMENSION>(kRowsPerCall, c.output_height - first));
        if (got == 0)
            failWith(reinterpret_cast<j_common_ptr>(&c), "JPEG decoder delivered no rows");
        if (profile)
            profile->convert(cmyk, int(width), int(got), band.data(), band.stride());
        else if (cmyk)
            cmykRowsToBgr(cmyk, int(got), int(width), c.saw_Adobe_marker, band.data(), band.stride());
        sink(band, int(first), int(got));
    }
    jpeg_finish_decompress(&c);
    return true;
}

}  // namespace

Result<DecodedImage> decodeJpeg(Bytes file, const DecodeLimits& limits) { return decodeJpegScaled(file, 1, limits); }

Result<DecodedImage> decodeJpegScaled(Bytes file, int denominator, const DecodeLimits& limits)
{
    if (denominator != 1 && denominator != 2 && denominator != 4 && denominator != 8)
        return makeError(ErrorCode::Unsupported, "a JPEG scales by 1/1, 1/2, 1/4 or 1/8");
    Reader r;
    bool viaCmyk = false;
    if (Status started = startJpeg(r, Input{file}, limits, viaCmyk, denominator); !started)
        return started.error();
    jpeg_decompress_struct& c = r.cinfo;
    const std::int64_t width = c.output_width;
    const std::int64_t height = c.output_height;

    DecodedImage image;
    std::vector<std::uint8_t> cmyk;
    std::unique_ptr<CmykToSrgb> cmykProfile;
    if (Status taken = takeMetadata(r, limits, viaCmyk, image, cmykProfile); !taken)
        return taken.error();
    try {
        image.bitmap = Bitmap(int(width), int(height), Bitmap::Init::Uninitialized);
        if (viaCmyk)
            cmyk.resize(std::size_t(kRowsPerCall) * std::size_t(width) * 4);
    } catch (const std::bad_alloc&) {
        return makeError(ErrorCode::TooLarge, "not enough memory for the JPEG's pixels");
    }
    if (denominator == 1 && !viaCmyk && decodeInBands(c, FileBytes{file}, 0, image.bitmap, nullptr))
        return image;
    if (!readPixels(r, image.bitmap.data(), image.bitmap.stride(), viaCmyk ? cmyk.data() : nullptr, cmykProfile.get()))
        return failure(r.sink);
    return image;
}

Result<DecodedImage> decodeJpegRows(Bytes file, const JpegRowSink& sink, const DecodeLimits& limits)
{
    Reader r;
    bool viaCmyk = false;
    if (Status started = startJpeg(r, Input{file}, limits, viaCmyk); !started)
        return started.error();
    DecodedImage image;
    std::unique_ptr<CmykToSrgb> cmykProfile;
    if (Status taken = takeMetadata(r, limits, viaCmyk, image, cmykProfile); !taken)
        return taken.error();
    if (limits.colourManagement && !image.iccProfile.empty())
        return makeError(ErrorCode::Unsupported, "the JPEG's colour profile applies to the whole picture");
    Bitmap band;
    std::vector<std::uint8_t> cmyk;
    try {
        band = Bitmap(int(r.cinfo.output_width), kRowsPerCall, Bitmap::Init::Uninitialized);
        if (viaCmyk)
            cmyk.resize(std::size_t(kRowsPerCall) * std::size_t(r.cinfo.output_width) * 4);
    } catch (const std::bad_alloc&) {
        return makeError(ErrorCode::TooLarge, "not enough memory for the JPEG's rows");
    }
    if (!readBands(r, band, viaCmyk ? cmyk.data() : nullptr, cmykProfile.get(), sink))
        return failure(r.sink);
    return image;
}

namespace {

// The region into the result's bitmap, or (with sink) handed to sink a band at a time.
Result<DecodedImage> regionPass(const Input& file, JpegRegion region, const DecodeLimits& limits, bool stopEarly,
                                const JpegRowSink* sink, bool& redo)
{
    Reader r;
    bool viaCmyk = false;
    if (Status started = startJpeg(r, file, limits, viaCmyk); !started)
        return started.error();
    jpeg_decompress_struct& c = r.cinfo;
    const std::int64_t width = c.image_width;
    const std::int64_t height = c.image_height;
    if (region.width <= 0 || region.height <= 0 || region.x < 0 || region.y < 0 || region.x > width - region.width ||
        region.y > height - region.height)
        return makeError(ErrorCode::Invalid, "region outside the JPEG's picture");

    // libjpeg widens the band to whole iMCU columns; the region is cut out of it.
    JDIMENSION first = JDIMENSION(std::max(0, region.x - kRegionMargin));
    JDIMENSION count =
        JDIMENSION(std::min<std::int64_t>(width, std::int64_t(region.x) + region.width + kRegionMargin)) - first;
    if (!cropColumns(r, first, count))
        return failure(r.sink);

    DecodedImage image;
    std::unique_ptr<CmykToSrgb> cmykProfile;
    if (Status taken = takeMetadata(r, limits, viaCmyk, image, cmykProfile); !taken)
        return taken.error();
    if (sink && limits.colourManagement && !image.iccProfile.empty())
        return makeError(ErrorCode::Unsupported, "the JPEG's colour profile applies to the whole picture");
    std::vector<std::uint8_t> band;
    Bitmap staging;
    try {
        if (sink)
            staging = Bitmap(region.width, kRowsPerCall, Bitmap::Init::Uninitialized);
        else
            image.bitmap = Bitmap(region.width, region.height, Bitmap::Init::Uninitialized);
        band.resize(std::size_t(kRowsPerCall) * std::size_t(c.output_width) * std::size_t(c.output_components));
    } catch (const std::bad_alloc&) {
        return makeError(ErrorCode::TooLarge, "not enough memory for the JPEG's pixels");
    }
    if (!sink && !viaCmyk && !limits.betweenBands) {
        const ColumnCut cut{first, count, region.x - int(first)};
        if (decodeInBands(c, FileBytes{file.bytes, file.chunks ? file.chunks->file : nullptr}, region.y, image.bitmap,
                          &cut))
            return image;
    }
    const RegionJob job{region,
                        JDIMENSION(std::max(0, region.y - kRegionMargin)),
                        region.x - int(first),
                        band.data(),
                        image.bitmap.data(),
                        image.bitmap.stride(),
                        sink ? &staging : nullptr,
                        sink,
                        viaCmyk,
                        cmykProfile.get(),
                        limits.betweenBands ? &limits.betweenBands : nullptr};
    const RegionRead read = readRegion(r, job, stopEarly);
    if (read == RegionRead::Failed)
        return failure(r.sink);
    redo = read == RegionRead::Redo;
    return image;
}

Result<DecodedImage> regionOf(const Input& file, JpegRegion region, const DecodeLimits& limits,
                              const JpegRowSink* sink = nullptr)
{
    bool redo = false;
    auto quick = regionPass(file, region, limits, true, sink, redo);
    if (!redo)
        return quick;
    if (file.chunks) {
        file.chunks->offset = 0;
        file.chunks->pub.bytes_in_buffer = 0;
    }
    if (!sink)
        return regionPass(file, region, limits, false, nullptr, redo);
    // The rows are handed over already; the whole decode only has its say on the file.
    const JpegRowSink ignore = [](const Bitmap&, int, int) {};
    auto checked = regionPass(file, region, limits, false, &ignore, redo);
    if (!checked)
        return checked.error();
    return quick;
}

}  // namespace

Result<DecodedImage> decodeJpegRegion(Bytes file, JpegRegion region, const DecodeLimits& limits)
{
    return regionOf(Input{file}, region, limits);
}

Result<DecodedImage> decodeJpegRegionRows(Bytes file, JpegRegion region, const JpegRowSink& sink,
                                          const DecodeLimits& limits)
{
    return regionOf(Input{file}, region, limits, &sink);
}

namespace {

Result<DecodedImage> regionFromFile(const RegularFile& file, JpegRegion region, const DecodeLimits& limits,
                                    const JpegRowSink* sink)
{
    ChunkSource chunks{};
    attachFile(chunks, file);
    return regionOf(Input{{}, &chunks}, region, limits, sink);
}

}  // namespace

Result<DecodedImage> decodeJpegRegion(const RegularFile& file, JpegRegion region, const DecodeLimits& limits)
{
    return regionFromFile(file, region, limits, nullptr);
}

Result<DecodedImage> decodeJpegRegionRows(const RegularFile& file, JpegRegion region, const JpegRowSink& sink,
                                          const DecodeLimits& limits)
{
    return regionFromFile(file, region, limits, &sink);
}

// ---- encoding -------------------------------------------------------------------------------

namespace jpeg_internal {

namespace {

VectorSink& destOf(j_compress_ptr cinfo) { return *reinterpret_cast<VectorSink*>(cinfo->dest); }

void startOutput(j_compress_ptr cinfo)
{
    VectorSink& d = destOf(cinfo);
    d.pub.next_output_byte = d.out->data();
    d.pub.free_in_buffer = d.out->size();
}

// No exception may cross libjpeg, and none may be in flight when we jump out of it.
bool grow(std::vector<std::uint8_t>& v) noexcept
{
    try {
        v.resize(v.size() * 2);
        return true;
    } catch (...) {
        return false;
    }
}

boolean flushOutput(j_compress_ptr cinfo)
{
    VectorSink& d = destOf(cinfo);
    const std::size_t full = d.out->size();  // libjpeg calls this only with the buffer full
    if (!grow(*d.out))
        ERREXIT1(cinfo, JERR_OUT_OF_MEMORY, 0);
    d.pub.next_output_byte = d.out->data() + full;
    d.pub.free_in_buffer = d.out->size() - full;
    return TRUE;
}

void endOutput(j_compress_ptr cinfo)
{
    VectorSink& d = destOf(cinfo);
    d.used = d.out->size() - d.pub.free_in_buffer;
}

}  // namespace

void attachVector(VectorSink& sink, std::vector<std::uint8_t>& out)
{
    sink.pub.init_destination = startOutput;
    sink.pub.empty_output_buffer = flushOutput;
    sink.pub.term_destination = endOutput;
    sink.out = &out;
}

}  // namespace jpeg_internal

namespace {

struct Writer {
    ErrorSink sink;
    VectorSink dest{};
    jpeg_compress_struct cinfo{};
    Writer()
    {
        attach(sink);
        cinfo.err = &sink.pub;
    }
    ~Writer() { jpeg_destroy_compress(&cinfo); }
    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;
};

bool compress(Writer& w, const Bitmap& bitmap, int quality)
{
    if (setjmp(w.sink.jump))
        return false;
    jpeg_compress_struct& c = w.cinfo;
    jpeg_create_compress(&c);
    c.dest = &w.dest.pub;
    c.image_width = JDIMENSION(bitmap.width());
    c.image_height = JDIMENSION(bitmap.height());
    c.input_components = 3;
    c.in_color_space = JCS_EXT_BGR;
    jpeg_set_defaults(&c);
    c.dct_method = JDCT_FLOAT;
    jpeg_set_quality(&c, quality, TRUE);
    jpeg_start_compress(&c, TRUE);
    JSAMPROW rows[kRowsPerCall];
    while (c.next_scanline < c.image_height) {
        const JDIMENSION first = c.next_scanline;
        const JDIMENSION count = std::min<JDIMENSION>(kRowsPerCall, c.image_height - first);
        for (JDIMENSION i = 0; i < count; ++i)
            rows[i] = const_cast<JSAMPROW>(bitmap.row(int(first + i)));  // libjpeg only reads them
        jpeg_write_scanlines(&c, rows, count);
    }
    jpeg_finish_compress(&c);
    return true;
}

}  // namespace

Result<std::vector<std::uint8_t>> encodeJpeg(const Bitmap& bitmap, int quality)
{
    if (bitmap.empty())
        return makeError(ErrorCode::Invalid, "empty picture");
    if (quality < 1 || quality > 100)
        return makeError(ErrorCode::Invalid, "JPEG quality " + std::to_string(quality) + " is outside 1..100");

    std::vector<std::uint8_t> out;
    try {
        // A q90 photo takes 2–3 bits a pixel; flushOutput doubles when that is not enough.
        out.resize(std::size_t(bitmap.width()) * std::size_t(bitmap.height()) / 3 + 4096);
    } catch (const std::bad_alloc&) {
        return makeError(ErrorCode::TooLarge, "not enough memory for the JPEG");
    }
    Writer w;
    attachVector(w.dest, out);
    if (!compress(w, bitmap, quality))
        return failure(w.sink);
    out.resize(w.dest.used);
    return out;
}

}  // namespace trimlet
