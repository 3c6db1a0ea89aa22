#pragma once
// Single-scan Huffman JPEGs with restart markers, decoded in bands of whole restart intervals on
// several threads at once, each band through its own decompressor reading the file's headers
// with the band's height and then only the band's entropy-coded data.

#include <cstdint>
#include <optional>
#include <vector>

#include "base/file_io.h"
#include "codecs/bitmap.h"
#include "codecs/jpeg_internals.h"

namespace trimlet::jpeg_internal {

// A file's bytes: in memory, or in a file read a chunk at a time.
struct FileBytes {
    Bytes bytes;
    const RegularFile* file = nullptr;
    std::uint64_t size() const { return file ? file->size() : bytes.size(); }
};

// The scan's layout as the frame and scan headers give it, counted in MCUs.
struct ScanShape {
    std::int64_t mcusPerRow = 0;
    std::int64_t mcuRows = 0;
    int mcuRowHeight = 0;     // picture rows one MCU row covers
    int iMcuMcuRows = 1;      // MCU rows a decoder's row group holds
    int restartInterval = 0;  // MCUs
    int height = 0;
    // Fancy upsampling of vertically halved chroma reads a sample row past each side of a row
    // group, so a band is decoded from a granule earlier to a granule later than it keeps.
    bool overlap = false;
};

// Where the entropy-coded data splits into granules: runs of whole MCU rows that are also runs
// of whole restart intervals, so that a decoder can start at any of them.
struct RestartPlan {
    std::uint64_t heightAt = 0;   // the frame header's height field
    std::uint64_t dataStart = 0;  // the first byte after the scan header
    int granuleRows = 0;          // picture rows of a granule (the last one may be short)
    int granuleIntervals = 0;
    std::vector<std::uint64_t> starts;  // a granule's first byte of entropy-coded data
    std::vector<std::uint64_t> ends;    // just past its last byte (at the marker after it)
    int granules() const { return int(starts.size()); }
};

// The plan of a baseline or extended Huffman file with one scan, markers in order from SOI to
// its single SOS, restart markers numbered in order and as many as the scan needs, then EOI.
// Anything else (another marker in the data, a missing or misnumbered restart marker, the end
// of the file first, a granule as tall as the picture) gives nothing.
std::optional<RestartPlan> planRestarts(const FileBytes& file, const ScanShape& shape);

// The shape of the scan c has started (after jpeg_start_decompress, at full size, perhaps
// cropped to some columns), or nothing
// when the file is not one the bands can decode alike: progressive, arithmetic-coded, not
// 8-bit, no restart interval, several scans, or colours other than BGR out.
std::optional<ScanShape> shapeOf(const jpeg_decompress_struct& c);

// The columns a region decode keeps: libjpeg widens [first, first + count) to whole iMCU
// columns (jpeg_crop_scanline's result), the region starts `offset` into them.
struct ColumnCut {
    JDIMENSION first = 0, count = 0;
    int offset = 0;
};

// Decodes rows [top, top + out.height()) of the file c has started into out, in bands on
// several threads: all columns, or with cut the cut's out.width() columns. False when the file
// does not fit (see planRestarts and shapeOf), when one thread is all there is for a whole
// picture, or when any band fails or warns: the caller's one-thread decode then says how the
// file stands, and out's rows are left undefined.
bool decodeInBands(const jpeg_decompress_struct& c, const FileBytes& file, int top, Bitmap& out, const ColumnCut* cut);

// For tests and benchmarks: -1 keeps every file on the one-thread path, 0 (the default) lets
// threadsFor choose, n > 0 decodes in n bands whatever the picture's size.
void setRestartBands(int bands);
// How many decodes have been made in bands so far.
int bandedDecodes();

}  // namespace trimlet::jpeg_internal
