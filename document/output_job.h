#pragma once
// Writing a piece, as the preview window and trimlet-cli both do it: the encode within the size
// limit, the build the preview shows, the serial name and the write that never replaces a
// file it did not mean to. Each front end words the outcome in its own language.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/bytes.h"
#include "base/file_io.h"
#include "base/result.h"
#include "codecs/output_file.h"
#include "codecs/picture.h"
#include "imaging/serial_name.h"

namespace trimlet {

// The file name extension of a format, with its dot.
const char* outputExtension(OutputFormat format);

// The format a written kind is saved in (JPEG for any kind that is not written).
OutputFormat outputFormatOf(PictureKind kind);

// The longest side a format can hold; 0 when it has no limit of its own.
int maxOutputSide(OutputFormat format);

// True when something is under path, be it a file, a folder or a symbolic link that leads
// nowhere: a serial name skips it and a write without --force refuses it.
bool pathExists(const std::string& path);

// The program's kB (units of 1024 bytes) of a file size, rounded up so that a file of a few
// bytes never shows as 0 kB.
std::uint64_t kilobytesOf(std::uint64_t bytes);

// The file for bitmap in format at quality, within limit bytes (0: none), as
// encodeOutputWithin makes it. When it does not fit, bytes and quality are those of the
// smallest file the format makes, for the message; it must not be saved.
struct EncodedOutput {
    OutputFormat format = OutputFormat::Jpeg;
    int quality = 0;
    std::vector<std::uint8_t> bytes;
    bool fits = true;
};
Result<EncodedOutput> encodeWithinLimit(const Bitmap& bitmap, OutputFormat format, int quality, std::uint64_t limit);

// Why a build has nothing to save.
enum class BuildFailure {
    None,
    SideTooLong,  // a side past maxOutputSide
    NotMade,      // the encoder, or the decode of its WebP, failed
    OverLimit,    // not even the smallest file keeps to the limit; encoded holds it
    TempFile,     // the JPEG could not be written to or read back from the temporary file
    OutOfMemory,
};

// What the preview shows and a save writes.
struct OutputBuild {
    BuildFailure failure = BuildFailure::None;
    // The file of a PNG or WebP, the smallest file when over the limit; quality is the one
    // used, or the one asked for when nothing was made. Empty for a BMP and a built JPEG.
    EncodedOutput encoded;
    // A JPEG as read back from the temporary file (holding that file's bytes), a WebP or JPEG
    // XL as its bytes decode.
    Picture decoded;
    // A JPEG XL holding a JPEG file losslessly (buildJxlOfJpeg), not encoded from pixels.
    bool recompressedJpeg = false;

    // What a save of a JPEG, PNG or WebP writes.
    const std::vector<std::uint8_t>& fileBytes() const
    {
        return encoded.format == OutputFormat::Jpeg ? decoded.fileBytes() : encoded.bytes;
    }
};

// Builds cut in format within limit bytes (0: none). A BMP is only measured against the limit:
// it is written from the pixels. A JPEG is written to tempJpeg (owner-only, for the cut may be
// of a private picture) and read back, so that what is shown and saved is that very file.
OutputBuild buildOutput(const Bitmap& cut, OutputFormat format, int quality, std::uint64_t limit,
                        const std::string& tempJpeg);

// The build of a JPEG file made already (a piece copied from a JPEG's blocks), written to
// tempJpeg and read back as buildOutput's JPEG is; OverLimit, holding the file for the
// message, when it is larger than limit bytes (0: none), for no quality can make it smaller.
OutputBuild buildJpegFile(std::vector<std::uint8_t> file, std::uint64_t limit, const std::string& tempJpeg);

// True when a save of picture whole in format starts from its JPEG file: an unedited JPEG (kind
// Jpeg, holding its file's bytes) saved as JPEG XL.
bool recompressesJpeg(const Picture& picture, OutputFormat format);

// Such a picture's JPEG file recompressed losslessly into JPEG XL, from which the JPEG's exact
// bytes can be made again; nothing when libjxl cannot take that JPEG or the file would pass
// limit bytes (0: none), for which the pixels are encoded instead.
std::optional<std::vector<std::uint8_t>> recompressedWithin(const Picture& jpeg, std::uint64_t limit);

// The build of such a picture: recompressedWithin's file, else buildOutput's JPEG XL of its
// pixels at quality within the limit.
OutputBuild buildJxlOfJpeg(const Picture& jpeg, int quality, std::uint64_t limit, const std::string& tempJpeg);

// Whether a file can be written at path: an empty one is written and removed again.
bool canWriteFile(const std::string& path);

// False when freeBytes, as the desktop reports them for the temporary file's folder, are fewer
// than the document file's size; true when either is unknown.
bool enoughSpaceFor(std::optional<std::uint64_t> freeBytes, const std::string& documentPath);

// What a save writes: the file's bytes, or, for a BMP built without holding its file, the
// pixels it is written from.
struct OutputFile {
    OutputFormat format = OutputFormat::Jpeg;
    Bytes bytes;
    const Bitmap* bmpPixels = nullptr;  // when given, written as a BMP instead of bytes
};

// Writes the output to path, all or nothing; NoReplace fails with Exists when path is taken.
// Short of memory gives Io. The error carries the system's cause as writeFileAtomic gives it.
Status writeOutputFile(const std::string& path, const OutputFile& output, WriteMode mode);

// Where serial names are counted: NAME(1), NAME(2)… or NAME-1… beside base, NAME being its
// file name without the extension, or in folder when one is given.
struct SerialPlace {
    std::string base;
    SerialTail tail = SerialTail::Paren;
    std::string folder = {};  // empty: base's own folder
};

// The first serial name for format that nothing holds (that taken() calls free).
std::string freeSerialName(const SerialPlace& place, OutputFormat format,
                           const std::function<bool(const std::string&)>& taken = pathExists);

// The name a serial save wrote, or the one it tried last and the write's own error.
struct SerialSave {
    std::string name;
    Status written;
};

// Writes output under the first serial name that taken() calls free, never replacing
// anything: a name taken between the look and the write is skipped, up to kSerialTries names,
// after which the save fails with Exists.
inline constexpr int kSerialTries = 100;
SerialSave saveSerial(const SerialPlace& place, const OutputFile& output,
                      const std::function<bool(const std::string&)>& taken = pathExists);

// One file of a set: what follows the serial number in its name, and what it holds.
struct SetFile {
    std::string suffix;  // "_1920x1080"
    OutputFile file;
};

// The names a set's save wrote, or, on failure, none: the files written before the failure are
// removed again. failedName is the name whose write failed, with its error.
struct SetSave {
    std::vector<std::string> names;
    std::string failedName;
    Status written;
};

// Writes every file of a set under one serial number n, as NAME(n)SUFFIX.ext (NAME-nSUFFIX.ext)
// beside place's base or in its folder, never replacing anything: n is the first for which
// taken() calls none of the set's names free nor the single save's NAME(n).ext. A name taken
// between the look and the write moves the whole set on to the next number, up to kSerialTries.
SetSave saveSetSerial(const SerialPlace& place, const std::vector<SetFile>& files,
                      const std::function<bool(const std::string&)>& taken = pathExists);

}  // namespace trimlet
