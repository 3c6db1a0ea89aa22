#pragma once
// The picture container: empty, or one picture of one kind with its 24-bit rendering.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/file_io.h"
#include "codecs/bitmap.h"
#include "codecs/decoded.h"

namespace trimlet {

enum class PictureKind { Empty, Bitmap, Jpeg, Gif, Png, Avif, Heif, Tiff, Webp, Jxl, Raw };

// "empty", "bitmap", "jpeg", "gif", "png", "avif", "heif", "tiff", "webp", "jxl", "raw"
const char* kindName(PictureKind kind);

// The JPEG file whose stored pixels a picture shows exactly, placed as orientation 1..8 says
// (its EXIF orientation and the quarter turns and flips made since): what a piece can be
// copied from block for block. An empty path: none.
struct JpegOrigin {
    std::string path;
    FileStamp stamp;
    int orientation = 1;
};

// Copies share the immutable picture data, so parking a 40-megapixel photo in a slot or
// handing it to a window costs nothing; every edit makes a new Bitmap picture.
class Picture {
public:
    Picture() = default;
    // A bitmap picture (what every edit leaves). An empty bitmap gives an empty picture.
    explicit Picture(Bitmap bitmap);
    // A turn or flip of a picture with an origin, which is the same file placed anew.
    Picture(Bitmap bitmap, JpegOrigin origin);
    // A decoded file of the given kind; fileBytes are kept for JPEG and GIF.
    Picture(PictureKind kind, DecodedImage image, std::vector<std::uint8_t> fileBytes = {}, JpegOrigin origin = {});

    PictureKind kind() const { return d_ ? d_->kind : PictureKind::Empty; }
    int width() const { return d_ ? d_->image.bitmap.width() : 0; }
    int height() const { return d_ ? d_->image.bitmap.height() : 0; }
    bool isEmpty() const { return width() + height() <= 0; }

    // The 24-bit rendering; an empty Bitmap for an empty picture.
    const Bitmap& bitmap() const;
    // Empty when every pixel is opaque, else width × height bytes, 1 = transparent.
    const std::vector<std::uint8_t>& mask() const;
    bool hasTransparency() const { return !mask().empty(); }
    // The original file for JPEG and GIF pictures (GIF clipboard data), else empty.
    const std::vector<std::uint8_t>& fileBytes() const;
    const JpegOrigin& jpegOrigin() const;
    // True for copies of one picture, which hold its memory once between them.
    bool sharesDataWith(const Picture& other) const { return d_ == other.d_; }

private:
    struct Data {
        PictureKind kind;
        DecodedImage image;
        std::vector<std::uint8_t> fileBytes;
        JpegOrigin origin;
    };
    std::shared_ptr<const Data> d_;
};

// Draws the picture at its natural size with its top-left corner at (x, y) of the canvas,
// clipped to the canvas; transparent pixels leave the canvas unchanged.
void drawPicture(const Picture& picture, Bitmap& canvas, int x, int y);

}  // namespace trimlet
