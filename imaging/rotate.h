#pragma once
// Rotation by a whole number of degrees on a canvas of the picture's own size: the bilinear
// rotation itself and the fast nearest-neighbour preview.

#include <cstdint>
#include <functional>
#include <optional>

#include "codecs/bitmap.h"
#include "imaging/cut_geometry.h"

namespace trimlet {

struct Rgb {
    std::uint8_t red = 255, green = 255, blue = 255;

    // From a 32-bit colour value with red in the lowest byte, green in the second, blue in the third.
    static constexpr Rgb fromColorRef(std::uint32_t value)
    {
        return {std::uint8_t(value), std::uint8_t(value >> 8), std::uint8_t(value >> 16)};
    }
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

// Asked on the calling thread before result row `row` whenever row − H ÷ 2 is a multiple of 100
// (0 included), after every earlier row is done; `percent` is (100 + row) × 100 ÷ H, at most 100.
// Returning true stops the rotation.
using RotateProgress = std::function<bool(int row, int percent)>;

// src turned by `degrees` (positive: clockwise on screen) about its pixel (W ÷ 2, H ÷ 2) onto a
// W × H canvas. Every result pixel maps back to a source position; that position's four
// neighbours are blended bilinearly per channel in double precision and truncated, the last
// row and column standing in for their missing neighbours; a position outside the picture gives
// `background`. Rows may be shared out to `threads` threads (1: the calling thread only); the
// result does not depend on it. Returns nullopt when `progress` asked to stop, an empty bitmap
// for an empty src. Throws std::bad_alloc when memory is short.
std::optional<Bitmap> rotateBilinear(const Bitmap& src, int degrees, Rgb background,
                                     const RotateProgress& progress = {}, int threads = 1);

// The source pixels rotateBilinear reads for its result pixels inside rect (on the canvas of a
// width × height picture): every position's four neighbours, clipped to the picture. Empty
// (0 × 0) when rect is empty or every one of its pixels falls outside the picture.
IntRect rotationSourceBox(int width, int height, int degrees, IntRect rect);

// rotateBilinear's result inside rect (which must lie on the canvas), computed from part alone:
// the pixels of the width × height source from partAt on, which must hold
// rotationSourceBox(width, height, degrees, rect). The picture's own last row and column
// stand in for missing neighbours, not the part's. The same bytes, for any threads. Empty when
// rect or part does not fit. Throws std::bad_alloc when memory is short.
Bitmap rotateBilinearRegion(const Bitmap& part, IntPoint partAt, int width, int height, int degrees, Rgb background,
                            IntRect rect, int threads = 1);

// Where the preview puts the source's top-left, top-right and bottom-left corners: the corners
// of a width × height picture turned by `degrees` about its middle, rounded half to even.
struct Parallelogram {
    IntPoint topLeft, topRight, bottomLeft;
    friend bool operator==(const Parallelogram&, const Parallelogram&) = default;
};
Parallelogram previewCorners(int width, int height, int degrees);

// Copies the whole of src onto the parallelogram `to` in dst, nearest neighbour: a dst pixel
// whose centre maps back inside src takes the src pixel that the centre falls in; every other
// pixel of dst, and the part of the parallelogram outside dst, is left alone. A parallelogram
// without area copies nothing.
void copyOntoParallelogram(const Bitmap& src, const Parallelogram& to, Bitmap& dst);

// The live preview: a canvas of base's size in `background`, with base copied onto
// previewCorners(W, H, degrees). Throws std::bad_alloc when memory is short.
Bitmap rotationPreview(const Bitmap& base, int degrees, Rgb background);

}  // namespace trimlet
