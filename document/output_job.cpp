#include "document/output_job.h"

#include <algorithm>
#include <filesystem>
#include <new>
#include <sys/stat.h>

#include "base/byte_path.h"
#include "codecs/jxl.h"
#include "codecs/picture_file.h"
#include "codecs/webp.h"
#include "imaging/photo.h"

namespace trimlet {

namespace {

// libjpeg refuses pictures with a longer side.
constexpr int kMaxJpegSide = 65500;

}  // namespace

const char* outputExtension(OutputFormat format)
{
    switch (format) {
    case OutputFormat::Bmp: return ".bmp";
    case OutputFormat::Png: return ".png";
    case OutputFormat::Webp: return ".webp";
    case OutputFormat::Jxl: return ".jxl";
    case OutputFormat::Jpeg: break;
    }
    return ".jpg";
}

OutputFormat outputFormatOf(PictureKind kind)
{
    switch (kind) {
    case PictureKind::Bitmap: return OutputFormat::Bmp;
    case PictureKind::Png: return OutputFormat::Png;
    case PictureKind::Webp: return OutputFormat::Webp;
    case PictureKind::Jxl: return OutputFormat::Jxl;
    default: return OutputFormat::Jpeg;
    }
}

int maxOutputSide(OutputFormat format)
{
    switch (format) {
    case OutputFormat::Jpeg: return kMaxJpegSide;
    case OutputFormat::Webp: return kMaxWebpSide;
    case OutputFormat::Bmp:
    case OutputFormat::Png:
    case OutputFormat::Jxl: break;
    }
    return 0;
}

bool pathExists(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

std::uint64_t kilobytesOf(std::uint64_t bytes) { return (bytes + 1023) / 1024; }

Result<EncodedOutput> encodeWithinLimit(const Bitmap& bitmap, OutputFormat format, int quality, std::uint64_t limit)
{
    auto fitted = encodeOutputWithin(bitmap, format, quality, limit);
    if (!fitted)
        return fitted.error();
    FittedOutput& f = fitted.value();
    return EncodedOutput{format, f.quality, std::move(f.bytes), f.fits};
}

namespace {

// The JPEG written to the temporary file and read back; TempFile when either fails.
BuildFailure readBackJpeg(OutputBuild& build, const std::string& tempJpeg)
{
    const Status written =
        writeFileAtomic(tempJpeg, build.encoded.bytes, WriteOptions{WriteMode::Replace, FileAccess::OwnerOnly});
    auto loaded = written ? loadPictureAsStored(tempJpeg) : Result<Picture>(written.error());
    if (!loaded)
        return BuildFailure::TempFile;
    // The picture holds the file's bytes, which a save writes; a second copy is not kept.
    build.decoded = std::move(loaded).value();
    build.encoded.bytes = {};
    return BuildFailure::None;
}

BuildFailure build(OutputBuild& b, const Bitmap& cut, int quality, std::uint64_t limit, const std::string& tempJpeg)
{
    const OutputFormat format = b.encoded.format;
    const int side = maxOutputSide(format);
    if (side > 0 && (cut.width() > side || cut.height() > side))
        return BuildFailure::SideTooLong;
    // A BMP is written from the pixels; it is encoded only to be measured against a limit.
    if (format == OutputFormat::Bmp && limit == 0)
        return BuildFailure::None;
    auto encoded = encodeWithinLimit(cut, format, quality, limit);
    if (!encoded)
        return BuildFailure::NotMade;
    b.encoded = std::move(encoded).value();
    if (!b.encoded.fits)
        return BuildFailure::OverLimit;
    switch (format) {
    case OutputFormat::Bmp: b.encoded.bytes = {}; break;
    case OutputFormat::Png: break;
    case OutputFormat::Jpeg: return readBackJpeg(b, tempJpeg);
    case OutputFormat::Webp: {
        auto decoded = decodeWebp(b.encoded.bytes);
        if (!decoded)
            return BuildFailure::NotMade;
        b.decoded = Picture(PictureKind::Webp, std::move(decoded).value());
        break;
    }
    case OutputFormat::Jxl: {
        auto decoded = decodeJxl(b.encoded.bytes);
        if (!decoded)
            return BuildFailure::NotMade;
        b.decoded = Picture(PictureKind::Jxl, std::move(decoded).value());
        break;
    }
    }
    return BuildFailure::None;
}

}  // namespace

OutputBuild buildOutput(const Bitmap& cut, OutputFormat format, int quality, std::uint64_t limit,
                        const std::string& tempJpeg)
{
    OutputBuild b;
    b.encoded.format = format;
    b.encoded.quality = quality;
    try {
        b.failure = build(b, cut, quality, limit, tempJpeg);
    } catch (const std::bad_alloc&) {
        b.failure = BuildFailure::OutOfMemory;
    }
    if (b.failure != BuildFailure::None && b.failure != BuildFailure::OverLimit) {
        b.encoded.bytes = {};
        b.decoded = Picture();
    }
    if (b.failure != BuildFailure::None)
        b.encoded.quality = quality;
    return b;
}

OutputBuild buildJpegFile(std::vector<std::uint8_t> file, std::uint64_t limit, const std::string& tempJpeg)
{
    OutputBuild b;
    b.encoded.bytes = std::move(file);
    try {
        b.failure = limit > 0 && b.encoded.bytes.size() > limit ? BuildFailure::OverLimit : readBackJpeg(b, tempJpeg);
    } catch (const std::bad_alloc&) {
        b.failure = BuildFailure::OutOfMemory;
    }
    if (b.failure != BuildFailure::None && b.failure != BuildFailure::OverLimit)
        b.encoded.bytes = {};
    return b;
}

bool recompressesJpeg(const Picture& picture, OutputFormat format)
{
    return format == OutputFormat::Jxl && picture.kind() == PictureKind::Jpeg && !picture.fileBytes().empty();
}

std::optional<std::vector<std::uint8_t>> recompressedWithin(const Picture& jpeg, std::uint64_t limit)
{
    auto recompressed = transcodeJpegToJxl(jpeg.fileBytes());
    if (!recompressed || (limit > 0 && recompressed.value().size() > limit))
        return std::nullopt;
    return std::move(recompressed).value();
}

OutputBuild buildJxlOfJpeg(const Picture& jpeg, int quality, std::uint64_t limit, const std::string& tempJpeg)
{
    OutputBuild b;
    try {
        if (auto recompressed = recompressedWithin(jpeg, limit)) {
            // The preview shows the file as a reader turns it upright, as the JPEG was.
            auto decoded = decodePictureUpright(PictureKind::Jxl, *recompressed);
            if (decoded) {
                b.encoded = EncodedOutput{OutputFormat::Jxl, quality, std::move(*recompressed), true};
                b.decoded = std::move(decoded).value();
                b.recompressedJpeg = true;
                return b;
            }
        }
    } catch (const std::bad_alloc&) {
        b.failure = BuildFailure::OutOfMemory;
        b.encoded.format = OutputFormat::Jxl;
        b.encoded.quality = quality;
        return b;
    }
    return buildOutput(jpeg.bitmap(), OutputFormat::Jxl, quality, limit, tempJpeg);
}

bool canWriteFile(const std::string& path)
{
    if (!writeFileAtomic(path, {}))
        return false;
    std::error_code ec;
    std::filesystem::remove(path, ec);
    return true;
}

bool enoughSpaceFor(std::optional<std::uint64_t> freeBytes, const std::string& documentPath)
{
    if (!freeBytes || documentPath.empty())
        return true;
    std::error_code ec;
    const std::uintmax_t needed = std::filesystem::file_size(documentPath, ec);
    return ec || *freeBytes >= needed;
}

Status writeOutputFile(const std::string& path, const OutputFile& output, WriteMode mode)
{
    try {
        if (output.bmpPixels)
            return writeBmpFile(*output.bmpPixels, path, mode);
        return writeFileAtomic(path, output.bytes, mode);
    } catch (const std::bad_alloc&) {
        return makeError(ErrorCode::Io, "out of memory");
    }
}

std::string freeSerialName(const SerialPlace& place, OutputFormat format,
                           const std::function<bool(const std::string&)>& taken)
{
    std::string base = place.base;
    if (!place.folder.empty())
        base = place.folder + (place.folder.ends_with('/') ? "" : "/") + fileNamePart(place.base);
    return serialName(base, place.tail, outputExtension(format), taken);
}

SerialSave saveSerial(const SerialPlace& place, const OutputFile& output,
                      const std::function<bool(const std::string&)>& taken)
{
    SerialSave save;
    for (int attempt = 0; attempt < kSerialTries; ++attempt) {
        save.name = freeSerialName(place, output.format, taken);
        save.written = writeOutputFile(save.name, output, WriteMode::NoReplace);
        if (save.written || save.written.error().code != ErrorCode::Exists)
            return save;
    }
    save.written = makeError(ErrorCode::Exists, "no free serial name beside " + place.base);
    return save;
}

namespace {

// Serial numbers looked at before a set gives up: far past any folder's files, short of forever.
constexpr std::uint64_t kSetSerialLook = 1000000;

bool suffixesRepeat(const std::vector<SetFile>& files)
{
    for (std::size_t i = 0; i < files.size(); ++i)
        for (std::size_t j = 0; j < i; ++j)
            if (files[i].suffix == files[j].suffix && files[i].file.format == files[j].file.format)
                return true;
    return false;
}

// Writes every file under its name, or none: the ones written before a failure are removed.
// failedName is the name whose write failed.
Status writeAll(const std::vector<SetFile>& files, const std::vector<std::string>& names, std::string& failedName)
{
    for (std::size_t i = 0; i < files.size(); ++i) {
        const Status status = writeOutputFile(names[i], files[i].file, WriteMode::NoReplace);
        if (!status) {
            for (std::size_t k = 0; k < i; ++k) {
                std::error_code ec;
                std::filesystem::remove(names[k], ec);
            }
            failedName = names[i];
            return status;
        }
    }
    return {};
}

}  // namespace

SetSave saveSetSerial(const SerialPlace& place, const std::vector<SetFile>& files,
                      const std::function<bool(const std::string&)>& taken)
{
    SetSave save;
    if (files.empty() || suffixesRepeat(files)) {
        save.written = makeError(ErrorCode::Invalid, "a set without files, or with two of one name");
        return save;
    }
    std::string base = place.base;
    if (!place.folder.empty())
        base = place.folder + (place.folder.ends_with('/') ? "" : "/") + fileNamePart(place.base);
    const std::string stem = serialStem(base);
    // The single save's name is kept free too, so that no single piece takes a set's number.
    const auto freeNames = [&](std::uint64_t n, std::vector<std::string>& names) {
        names.clear();
        bool free = true;
        for (const SetFile& f : files) {
            const std::string extension = outputExtension(f.file.format);
            names.push_back(serialCandidate(stem, place.tail, n, f.suffix + extension));
            free = free && !taken(names.back()) && !taken(serialCandidate(stem, place.tail, n, extension));
        }
        return free;
    };
    std::vector<std::string> names;
    std::uint64_t n = 1;
    for (int attempt = 0; attempt < kSerialTries; ++attempt, ++n) {
        while (!freeNames(n, names) && n < kSetSerialLook)
            ++n;
        if (n >= kSetSerialLook)
            break;
        save.written = writeAll(files, names, save.failedName);
        if (save.written) {
            save.names = std::move(names);
            save.failedName.clear();
            return save;
        }
        if (save.written.error().code != ErrorCode::Exists)
            return save;
    }
    save.failedName.clear();
    save.written = makeError(ErrorCode::Exists, "no free serial number beside " + place.base);
    return save;
}

}  // namespace trimlet
