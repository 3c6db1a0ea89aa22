#pragma once
// Row conversions and the data-size rule shared by the decoders that take their pixels from a
// library in RGB(A) byte order (AVIF, HEIF, TIFF).

#include <cstdint>

namespace trimlet {

// A compressed picture of more pixels than this per byte of file is taken as damaged: real
// encoders of flat pictures stay far below it, and a tiny file declaring a huge picture is
// refused before anything of that size is allocated.
inline constexpr std::uint64_t kMaxPixelsPerFileByte = std::uint64_t{1} << 16;

// True when width × height pixels may come out of a file of fileBytes bytes.
bool fileCanHoldPixels(std::uint64_t fileBytes, std::int64_t width, std::int64_t height);

// width RGB pixels to BGR. src and dst may not overlap.
void rgbRowToBgr(const std::uint8_t* rgb, int width, std::uint8_t* bgr);

// width RGBA pixels to BGR; the stored colour is kept whatever the alpha. mask, when not null,
// gets 1 where alpha is 0 and 0 elsewhere (partly transparent counts as opaque, as for PNG
// palettes). Returns true when any pixel was marked.
bool rgbaRowToBgr(const std::uint8_t* rgba, int width, std::uint8_t* bgr, std::uint8_t* mask);

}  // namespace trimlet
