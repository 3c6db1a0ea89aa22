#pragma once
// The format table and the load and write entry points for picture files.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/file_io.h"
#include "codecs/picture.h"

namespace trimlet {

// The kind registered for the extension after the last dot of path (compared in lower case):
// bmp, jpg, jpeg, gif, png, avif, heic, heif, tif, tiff, webp, jxl and the camera raws arw,
// cr2, cr3, dng, nef, orf, pef, raf, rw2. Anything else, or no extension, gives nothing.
// Content is never inspected to choose a kind.
std::optional<PictureKind> kindForPath(std::string_view path);
// The extensions kindForPath knows, in lower case, each once.
std::vector<std::string_view> pictureExtensions();

// A decoded file before it becomes a Picture: its kind, the decoder's image with the ICC
// profile applied (see DecodeLimits::colourManagement) but the orientation not yet, and the
// bytes a Picture of that kind keeps.
struct DecodedFile {
    PictureKind kind = PictureKind::Empty;
    DecodedImage image;
    std::vector<std::uint8_t> fileBytes;
};

// What every decoder's image goes through: a picture without pixels is Corrupt; the ICC
// profile is applied (when colour management is on) and dropped, since a Picture has none.
Status settleDecoded(DecodedImage& image, const DecodeLimits& limits);
// Decodes bytes as the given kind (not Empty); a picture without pixels is Corrupt.
Result<DecodedFile> decodeFileAsStored(PictureKind kind, Bytes bytes, const DecodeLimits& limits = {});
// The same for a picture file chosen by its extension.
Result<DecodedFile> loadFileAsStored(const std::string& path, const DecodeLimits& limits = {});

// Whether region is a non-empty rectangle inside a width × height picture.
bool regionInside(PictureRegion region, int width, int height);
// The region of a whole decoded image (which must hold it), its mask's too; the orientation and
// profile are handed on.
DecodedImage regionOfImage(const DecodedImage& whole, PictureRegion region);
// decodeFileAsStored's image inside region (of the stored pixels, before the orientation),
// computing as little outside it as the format allows: the same checks and failures, the same
// orientation, the profile applied to the region alone. A region that is empty or not inside the
// picture is Invalid.
Result<DecodedImage> decodeRegionAsStored(PictureKind kind, Bytes bytes, PictureRegion region,
                                          const DecodeLimits& limits = {});
// The same for a picture file chosen by its extension, failures naming the path; a JPEG, PNG or
// TIFF is read a little at a time rather than held (a PNG only down to the region's last row).
Result<DecodedImage> loadRegionAsStored(const std::string& path, PictureRegion region, const DecodeLimits& limits = {});

// decodeFileAsStored's picture: the orientation is not applied (imaging's loadPictureUpright does).
Result<Picture> decodePictureAsStored(PictureKind kind, Bytes bytes, const DecodeLimits& limits = {});

// Loads a picture file by its extension; a failure leaves nothing behind, so a
// caller's container keeps its previous picture.
Result<Picture> loadPictureAsStored(const std::string& path, const DecodeLimits& limits = {});

// The size a decode of bytes as the given kind (not Empty) would give, from the headers in
// head, the first bytes of a file of fileSize bytes; sizes are checked as the decoders check
// them.
HeaderProbe probePicture(PictureKind kind, Bytes head, std::uint64_t fileSize, const DecodeLimits& limits = {});
// probePicture on an open file's first bytes, the read doubled while the headers ask for more
// (metadata before them); an error reading the file comes back as the error.
Result<HeaderProbe> probeOpenFile(PictureKind kind, const RegularFile& file, const DecodeLimits& limits = {});

struct PictureFileInfo {
    PictureKind kind = PictureKind::Empty;
    PictureSize size;     // as stored
    int orientation = 1;  // shownSize(size, orientation) is the size as shown
};

// The kind, size and orientation of a picture file by its extension, reading its headers only
// (and more of the file only while the headers go on).
Result<PictureFileInfo> probePictureFile(const std::string& path, const DecodeLimits& limits = {});

// Writes the bitmap as baseline JFIF at quality 1..100, or as a 24-bit BMP, all or nothing.
Status writeJpegFile(const Bitmap& bitmap, int quality, const std::string& path, WriteMode mode = WriteMode::Replace,
                     FileAccess access = FileAccess::Shared);
Status writeBmpFile(const Bitmap& bitmap, const std::string& path, WriteMode mode = WriteMode::Replace,
                    FileAccess access = FileAccess::Shared);
// Writes the bitmap as a 24-bit PNG, or as lossy WebP at quality 1..100, all or nothing.
Status writePngFile(const Bitmap& bitmap, const std::string& path, WriteMode mode = WriteMode::Replace,
                    FileAccess access = FileAccess::Shared);
Status writeWebpFile(const Bitmap& bitmap, int quality, const std::string& path, WriteMode mode = WriteMode::Replace,
                     FileAccess access = FileAccess::Shared);
// Writes the bitmap as JPEG XL at quality 1..100 (100: lossless), all or nothing.
Status writeJxlFile(const Bitmap& bitmap, int quality, const std::string& path, WriteMode mode = WriteMode::Replace,
                    FileAccess access = FileAccess::Shared);

}  // namespace trimlet
