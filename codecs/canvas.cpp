#include "codecs/canvas.h"

#include <algorithm>

#include "codecs/bitmap.h"
#include "codecs/rgba_rows.h"

namespace trimlet {

std::uint64_t canvasBytes(std::int64_t width, std::int64_t height)
{
    if (width <= 0 || height <= 0)
        return 0;
    return std::uint64_t(Bitmap::strideFor(width) + width) * std::uint64_t(height);
}

Status checkCanvas(std::uint64_t fileBytes, PictureSize canvas, PictureSize frame, const std::string& canvasName,
                   const std::string& frameName)
{
    constexpr std::uint64_t kFloor = std::uint64_t{64} << 20;
    // Past 4 GiB of file every canvas a bitmap can hold is allowed; the cap keeps this exact.
    const std::uint64_t expansion = canvasBytes(std::int64_t(kMaxPixelsPerFileByte), 1) *
                                    std::min<std::uint64_t>(fileBytes, std::uint64_t{1} << 32);
    const std::uint64_t allowed = std::max({kFloor, 4 * expansion, 2 * canvasBytes(frame.width, frame.height)});
    if (canvasBytes(canvas.width, canvas.height) <= allowed)
        return {};
    return makeError(ErrorCode::TooLarge,
                     canvasName + " of " + std::to_string(canvas.width) + " x " + std::to_string(canvas.height) +
                         " pixels is too large for the memory its file allows around a first " + frameName + " of " +
                         std::to_string(frame.width) + " x " + std::to_string(frame.height));
}

}  // namespace trimlet
