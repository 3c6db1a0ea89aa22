#include "codecs/picture_file.h"

#include <algorithm>
#include <array>
#include <utility>

#include "codecs/avif.h"
#include "codecs/bmp.h"
#include "codecs/colour_profile.h"
#include "codecs/gif.h"
#include "codecs/heif.h"
#include "codecs/jpeg.h"
#include "codecs/jxl.h"
#include "codecs/png.h"
#include "codecs/raw.h"
#include "codecs/tiff.h"
#include "codecs/webp.h"

namespace trimlet {

namespace {

// One extension a line, so that a format is added or removed in a line of its own.
// clang-format off
constexpr std::array<std::pair<std::string_view, PictureKind>, 21> kFormatTable{{
    {"bmp", PictureKind::Bitmap},
    {"jpeg", PictureKind::Jpeg},
    {"jpg", PictureKind::Jpeg},
    {"gif", PictureKind::Gif},
    {"png", PictureKind::Png},
    {"avif", PictureKind::Avif},
    {"heic", PictureKind::Heif},
    {"heif", PictureKind::Heif},
    {"tif", PictureKind::Tiff},
    {"tiff", PictureKind::Tiff},
    {"webp", PictureKind::Webp},
    {"jxl", PictureKind::Jxl},
    {"arw", PictureKind::Raw},
    {"cr2", PictureKind::Raw},
    {"cr3", PictureKind::Raw},
    {"dng", PictureKind::Raw},
    {"nef", PictureKind::Raw},
    {"orf", PictureKind::Raw},
    {"pef", PictureKind::Raw},
    {"raf", PictureKind::Raw},
    {"rw2", PictureKind::Raw},
}};
// clang-format on

std::string_view fileName(std::string_view path)
{
    const auto slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

}  // namespace

std::optional<PictureKind> kindForPath(std::string_view path)
{
    const std::string_view name = fileName(path);
    const auto dot = name.rfind('.');
    if (dot == std::string_view::npos)
        return std::nullopt;
    std::string ext(name.substr(dot + 1));
    for (char& c : ext)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    for (const auto& [key, kind] : kFormatTable)
        if (key == ext)
            return kind;
    return std::nullopt;
}

std::vector<std::string_view> pictureExtensions()
{
    std::vector<std::string_view> extensions;
    for (const auto& entry : kFormatTable)
        extensions.push_back(entry.first);
    return extensions;
}

Status settleDecoded(DecodedImage& image, const DecodeLimits& limits)
{
    if (image.bitmap.empty())
        return makeError(ErrorCode::Corrupt, "picture has no pixels");
    if (limits.colourManagement && !image.iccProfile.empty())
        convertToSrgb(image.bitmap, image.iccProfile);
    image.iccProfile = {};  // applied or refused; a Picture does not carry it
    return {};
}

Result<DecodedFile> decodeFileAsStored(PictureKind kind, Bytes bytes, const DecodeLimits& limits)
{
    auto decoded = [&]() -> Result<DecodedImage> {
        switch (kind) {
        case PictureKind::Bitmap: return decodeBmp(bytes, limits);
        case PictureKind::Jpeg: return decodeJpeg(bytes, limits);
        case PictureKind::Gif: return decodeGif(bytes, limits);
        case PictureKind::Png: return decodePng(bytes, limits);
        case PictureKind::Avif: return decodeAvif(bytes, limits);
        case PictureKind::Heif: return decodeHeif(bytes, limits);
        case PictureKind::Tiff: return decodeTiff(bytes, limits);
        case PictureKind::Webp: return decodeWebp(bytes, limits);
        case PictureKind::Jxl: return decodeJxl(bytes, limits);
        case PictureKind::Raw: return decodeRaw(bytes, limits);
        case PictureKind::Empty: break;
        }
        return makeError(ErrorCode::Invalid, "no picture kind");
    }();
    if (!decoded)
        return decoded.error();
    DecodedImage& image = decoded.value();
    if (Status settled = settleDecoded(image, limits); !settled)
        return settled.error();
    std::vector<std::uint8_t> keep;
    if (kind == PictureKind::Jpeg || kind == PictureKind::Gif)
        keep.assign(bytes.begin(), bytes.end());
    return DecodedFile{kind, std::move(image), std::move(keep)};
}

Result<DecodedFile> loadFileAsStored(const std::string& path, const DecodeLimits& limits)
{
    const auto kind = kindForPath(path);
    if (!kind)
        return makeError(ErrorCode::Unsupported, "not a picture file name: " + path);
    auto bytes = readFileBytes(path);
    if (!bytes)
        return bytes.error();
    auto decoded = decodeFileAsStored(*kind, bytes.value(), limits);
    if (!decoded)
        return makeError(decoded.error().code, path + ": " + decoded.error().message);
    return decoded;
}

bool regionInside(PictureRegion region, int width, int height)
{
    return region.width > 0 && region.height > 0 && region.x >= 0 && region.y >= 0 &&
           region.x <= width - region.width && region.y <= height - region.height;
}

DecodedImage regionOfImage(const DecodedImage& whole, PictureRegion region)
{
    DecodedImage part{
        Bitmap(region.width, region.height, Bitmap::Init::Uninitialized), {}, whole.orientation, whole.iccProfile};
    const std::size_t rowBytes = std::size_t(region.width) * 3;
    for (int y = 0; y < region.height; ++y)
        std::copy_n(whole.bitmap.row(region.y + y) + std::size_t(region.x) * 3, rowBytes, part.bitmap.row(y));
    if (!whole.mask.empty()) {
        part.mask.resize(std::size_t(region.width) * std::size_t(region.height));
        for (int y = 0; y < region.height; ++y)
            std::copy_n(whole.mask.begin() + std::ptrdiff_t(region.y + y) * whole.bitmap.width() + region.x,
                        region.width, part.mask.begin() + std::ptrdiff_t(y) * region.width);
    }
    return part;
}

namespace {

// A format without a decode of its own for a region: decoded whole, the region kept.
Result<DecodedImage> regionOfWhole(Result<DecodedImage> whole, PictureRegion region)
{
    if (!whole)
        return whole;
    const Bitmap& bitmap = whole.value().bitmap;
    if (!regionInside(region, bitmap.width(), bitmap.height()))
        return makeError(ErrorCode::Invalid, "the region is not inside the picture");
    return regionOfImage(whole.value(), region);
}

Result<DecodedImage> settledRegion(Result<DecodedImage> decoded, const DecodeLimits& limits)
{
    if (!decoded)
        return decoded;
    if (Status settled = settleDecoded(decoded.value(), limits); !settled)
        return settled.error();
    return decoded;
}

}  // namespace

Result<DecodedImage> decodeRegionAsStored(PictureKind kind, Bytes bytes, PictureRegion region,
                                          const DecodeLimits& limits)
{
    auto decoded = [&]() -> Result<DecodedImage> {
        switch (kind) {
        case PictureKind::Jpeg: return decodeJpegRegion(bytes, region, limits);
        case PictureKind::Bitmap: return regionOfWhole(decodeBmp(bytes, limits), region);
        case PictureKind::Gif: return regionOfWhole(decodeGif(bytes, limits), region);
        case PictureKind::Png: return decodePngRegion(bytes, region, limits);
        case PictureKind::Avif: return decodeAvifRegion(bytes, region, limits);
        case PictureKind::Heif: return decodeHeifRegion(bytes, region, limits);
        case PictureKind::Tiff: return decodeTiffRegion(bytes, region, limits);
        case PictureKind::Webp: return decodeWebpRegion(bytes, region, limits);
        case PictureKind::Jxl: return regionOfWhole(decodeJxl(bytes, limits), region);
        case PictureKind::Raw: return regionOfWhole(decodeRaw(bytes, limits), region);
        case PictureKind::Empty: break;
        }
        return makeError(ErrorCode::Invalid, "no picture kind");
    }();
    return settledRegion(std::move(decoded), limits);
}

Result<DecodedImage> loadRegionAsStored(const std::string& path, PictureRegion region, const DecodeLimits& limits)
{
    const auto kind = kindForPath(path);
    if (!kind)
        return makeError(ErrorCode::Unsupported, "not a picture file name: " + path);
    Result<DecodedImage> decoded = makeError(ErrorCode::Invalid, {});
    if (*kind == PictureKind::Jpeg || *kind == PictureKind::Png || *kind == PictureKind::Tiff) {
        auto file = RegularFile::open(path);
        if (!file)
            return file.error();
        const RegularFile& f = file.value();
        decoded = settledRegion(*kind == PictureKind::Jpeg  ? decodeJpegRegion(f, region, limits)
                                : *kind == PictureKind::Png ? decodePngRegion(f, region, limits)
                                                            : decodeTiffRegion(f, region, limits),
                                limits);
    } else {
        auto bytes = readFileBytes(path);
        if (!bytes)
            return bytes.error();
        decoded = decodeRegionAsStored(*kind, bytes.value(), region, limits);
    }
    if (!decoded)
        return makeError(decoded.error().code, path + ": " + decoded.error().message);
    return decoded;
}

Result<Picture> decodePictureAsStored(PictureKind kind, Bytes bytes, const DecodeLimits& limits)
{
    auto decoded = decodeFileAsStored(kind, bytes, limits);
    if (!decoded)
        return decoded.error();
    DecodedFile& d = decoded.value();
    return Picture(d.kind, std::move(d.image), std::move(d.fileBytes));
}

Result<Picture> loadPictureAsStored(const std::string& path, const DecodeLimits& limits)
{
    auto decoded = loadFileAsStored(path, limits);
    if (!decoded)
        return decoded.error();
    DecodedFile& d = decoded.value();
    return Picture(d.kind, std::move(d.image), std::move(d.fileBytes));
}

HeaderProbe probePicture(PictureKind kind, Bytes head, std::uint64_t fileSize, const DecodeLimits& limits)
{
    switch (kind) {
    case PictureKind::Bitmap: return probeBmp(head, fileSize, limits);
    case PictureKind::Jpeg: return probeJpeg(head, fileSize, limits);
    case PictureKind::Gif: return probeGif(head, limits);
    case PictureKind::Png: return probePng(head, fileSize, limits);
    case PictureKind::Avif: return probeAvif(head, fileSize, limits);
    case PictureKind::Heif: return probeHeif(head, fileSize, limits);
    case PictureKind::Tiff: return probeTiff(head, fileSize, limits);
    case PictureKind::Webp: return probeWebp(head, fileSize, limits);
    case PictureKind::Jxl: return probeJxl(head, fileSize, limits);
    case PictureKind::Raw: return probeRaw(head, fileSize, limits);
    case PictureKind::Empty: break;
    }
    return {makeError(ErrorCode::Invalid, "no picture kind")};
}

Result<HeaderProbe> probeOpenFile(PictureKind kind, const RegularFile& file, const DecodeLimits& limits)
{
    // Headers nearly always end within the first few kilobytes; metadata before them may
    // make us read on, doubling.
    constexpr std::size_t kFirstRead = std::size_t{64} << 10;
    // A directory may lie at the end of a file of any size; libtiff reads just that.
    if (kind == PictureKind::Tiff)
        return probeTiff(file, limits);
    const std::uint64_t fileSize = file.size();
    for (std::size_t want = kFirstRead;; want *= 2) {
        auto head = file.readAt(0, std::size_t(std::min<std::uint64_t>(want, fileSize)));
        if (!head)
            return head.error();
        HeaderProbe probe = probePicture(kind, head.value(), fileSize, limits);
        if (probe.size || !probe.needsMore || head.value().size() >= fileSize)
            return probe;
    }
}

Result<PictureFileInfo> probePictureFile(const std::string& path, const DecodeLimits& limits)
{
    const auto kind = kindForPath(path);
    if (!kind)
        return makeError(ErrorCode::Unsupported, "not a picture file name: " + path);
    auto file = RegularFile::open(path);
    if (!file)
        return file.error();
    auto probe = probeOpenFile(*kind, file.value(), limits);
    if (!probe)
        return makeError(ErrorCode::Io, probe.error().message + " " + path);
    if (probe.value().size)
        return PictureFileInfo{*kind, probe.value().size.value(), probe.value().orientation};
    return makeError(probe.value().size.error().code, path + ": " + probe.value().size.error().message);
}

Status writeJpegFile(const Bitmap& bitmap, int quality, const std::string& path, WriteMode mode, FileAccess access)
{
    auto data = encodeJpeg(bitmap, quality);
    if (!data)
        return data.error();
    return writeFileAtomic(path, data.value(), WriteOptions{mode, access});
}

Status writeBmpFile(const Bitmap& bitmap, const std::string& path, WriteMode mode, FileAccess access)
{
    if (bitmap.empty())
        return makeError(ErrorCode::Invalid, "empty picture");
    return writeFileAtomic(path, encodeBmp(bitmap), WriteOptions{mode, access});
}

Status writePngFile(const Bitmap& bitmap, const std::string& path, WriteMode mode, FileAccess access)
{
    auto data = encodePng(bitmap);
    if (!data)
        return data.error();
    return writeFileAtomic(path, data.value(), WriteOptions{mode, access});
}

Status writeWebpFile(const Bitmap& bitmap, int quality, const std::string& path, WriteMode mode, FileAccess access)
{
    auto data = encodeWebp(bitmap, quality);
    if (!data)
        return data.error();
    return writeFileAtomic(path, data.value(), WriteOptions{mode, access});
}

Status writeJxlFile(const Bitmap& bitmap, int quality, const std::string& path, WriteMode mode, FileAccess access)
{
    auto data = encodeJxl(bitmap, quality);
    if (!data)
        return data.error();
    return writeFileAtomic(path, data.value(), WriteOptions{mode, access});
}

}  // namespace trimlet
