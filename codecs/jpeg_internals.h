#pragma once
// What the JPEG codecs share inside codecs/: libjpeg's error handling, a file read a chunk at a
// time, a growing memory destination and the header checks made before anything is allocated.

#include <csetjmp>
#include <cstdint>
#include <cstdio>  // jpeglib.h uses FILE without including it
#include <vector>

#include <jpeglib.h>

#include "base/file_io.h"
#include "base/result.h"

namespace trimlet::jpeg_internal {

// libjpeg reports fatal errors through error_exit and expects it not to return. We jump back to
// the setjmp of the running phase; each phase is a small function whose frame holds only
// trivial locals, and every C++ object lives in the caller, so no destructor is skipped.
// Warnings that would leave made-up coefficients (end of data, bad entropy codes, lost restart
// sync) jump out too.
struct ErrorSink {
    jpeg_error_mgr pub;  // first member: libjpeg hands back &pub as cinfo->err
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void attach(ErrorSink& sink);
// Ends the running phase with text as its message (a Corrupt failure).
[[noreturn]] void failWith(j_common_ptr cinfo, const char* text);
// What the phase's failure means for a user: TooLarge, Unsupported (saying what kind of file)
// or Corrupt.
Error failure(const ErrorSink& sink);

// A progress monitor ending any read of more scans than real encoders write.
void watchScans(j_common_ptr cinfo);

// The orientation of the first EXIF APP1 marker saved, 1 when there is none.
int orientationOf(const jpeg_decompress_struct& c);

// True when a Huffman-coded file of fileSize bytes is too short for the blocks its header
// declares (every block costs at least a bit).
bool beyondHuffmanFloor(const jpeg_decompress_struct& c, std::uint64_t fileSize);

// Hands libjpeg a file a chunk at a time, so that a decode that keeps only part of the picture
// never holds the whole file either.
struct ChunkSource {
    jpeg_source_mgr pub;  // first member: libjpeg hands back &pub as cinfo->src
    const RegularFile* file;
    std::uint64_t offset;
    std::vector<std::uint8_t> chunk;
};
// Sets source up to read file from its start; the end of the file is a premature end.
void attachFile(ChunkSource& source, const RegularFile& file);
// Up to count bytes of file from offset into chunk; false when none could be read. Never
// throws, since no exception may cross libjpeg.
bool readChunkAt(const RegularFile& file, std::uint64_t offset, std::size_t count,
                 std::vector<std::uint8_t>& chunk) noexcept;

// Memory destination growing a vector that lives in the caller's frame. libjpeg's own
// jpeg_mem_dest leaves no way to free its buffer after an error once it has grown.
struct VectorSink {
    jpeg_destination_mgr pub;  // first member: libjpeg hands back &pub as cinfo->dest
    std::vector<std::uint8_t>* out;
    std::size_t used;
};
// Writes into out from its start, doubling it when full; the file's size is in sink.used
// afterwards. out must not be empty.
void attachVector(VectorSink& sink, std::vector<std::uint8_t>& out);

}  // namespace trimlet::jpeg_internal
