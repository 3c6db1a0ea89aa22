#include "codecs/picture.h"

#include <algorithm>
#include <cstring>

namespace trimlet {

const char* kindName(PictureKind kind)
{
    switch (kind) {
    case PictureKind::Bitmap: return "bitmap";
    case PictureKind::Jpeg: return "jpeg";
    case PictureKind::Gif: return "gif";
    case PictureKind::Png: return "png";
    case PictureKind::Avif: return "avif";
    case PictureKind::Heif: return "heif";
    case PictureKind::Tiff: return "tiff";
    case PictureKind::Webp: return "webp";
    case PictureKind::Jxl: return "jxl";
    case PictureKind::Raw: return "raw";
    case PictureKind::Empty: break;
    }
    return "empty";
}

Picture::Picture(Bitmap bitmap) : Picture(std::move(bitmap), JpegOrigin{}) {}

Picture::Picture(Bitmap bitmap, JpegOrigin origin)
{
    if (!bitmap.empty())
        d_ = std::make_shared<const Data>(
            Data{PictureKind::Bitmap, DecodedImage{.bitmap = std::move(bitmap)}, {}, std::move(origin)});
}

Picture::Picture(PictureKind kind, DecodedImage image, std::vector<std::uint8_t> fileBytes, JpegOrigin origin)
{
    if (kind == PictureKind::Empty || image.bitmap.empty())
        return;
    const auto pixels = std::size_t(image.bitmap.width()) * std::size_t(image.bitmap.height());
    if (image.mask.size() != pixels ||
        std::none_of(image.mask.begin(), image.mask.end(), [](auto m) { return m != 0; }))
        image.mask.clear();
    if (kind != PictureKind::Jpeg && kind != PictureKind::Gif)
        fileBytes.clear();
    if (kind != PictureKind::Jpeg)
        origin = {};
    d_ = std::make_shared<const Data>(Data{kind, std::move(image), std::move(fileBytes), std::move(origin)});
}

const Bitmap& Picture::bitmap() const
{
    static const Bitmap none;
    return d_ ? d_->image.bitmap : none;
}

const std::vector<std::uint8_t>& Picture::mask() const
{
    static const std::vector<std::uint8_t> none;
    return d_ ? d_->image.mask : none;
}

const std::vector<std::uint8_t>& Picture::fileBytes() const
{
    static const std::vector<std::uint8_t> none;
    return d_ ? d_->fileBytes : none;
}

const JpegOrigin& Picture::jpegOrigin() const
{
    static const JpegOrigin none;
    return d_ ? d_->origin : none;
}

void drawPicture(const Picture& picture, Bitmap& canvas, int x, int y)
{
    const Bitmap& src = picture.bitmap();
    // Clip in 64 bits: x + width may pass INT_MAX for hostile placements.
    const std::int64_t left = std::max<std::int64_t>(0, -std::int64_t(x));
    const std::int64_t top = std::max<std::int64_t>(0, -std::int64_t(y));
    const std::int64_t right = std::min<std::int64_t>(src.width(), std::int64_t(canvas.width()) - x);
    const std::int64_t bottom = std::min<std::int64_t>(src.height(), std::int64_t(canvas.height()) - y);
    if (left >= right || top >= bottom)
        return;

    const std::size_t runBytes = std::size_t(right - left) * 3;
    const std::uint8_t* mask = picture.hasTransparency() ? picture.mask().data() : nullptr;
    for (std::int64_t sy = top; sy < bottom; ++sy) {
        const std::uint8_t* s = src.row(int(sy)) + left * 3;
        std::uint8_t* d = canvas.row(int(sy + y)) + (left + x) * 3;
        if (!mask) {
            std::memcpy(d, s, runBytes);
            continue;
        }
        const std::uint8_t* m = mask + sy * src.width() + left;
        for (std::int64_t i = 0, n = right - left; i < n; ++i, s += 3, d += 3) {
            if (!m[i]) {
                d[0] = s[0];
                d[1] = s[1];
                d[2] = s[2];
            }
        }
    }
}

}  // namespace trimlet
