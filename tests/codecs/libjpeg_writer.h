#pragma once
// JPEG files written straight through libjpeg, for fixtures our own encoder never makes
// (progressive, arithmetic-coded, greyscale, hand-made scan scripts).

#include <jpeglib.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace trimlet::test {

// Compresses rows of `pixels` (components bytes a pixel) through libjpeg; `setup` adjusts the
// parameters after the defaults.
template <class Setup>
std::vector<std::uint8_t> libjpeg(const std::vector<std::uint8_t>& pixels, int width, int components,
                                  J_COLOR_SPACE space, Setup setup)
{
    jpeg_compress_struct c{};
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &buffer, &size);
    c.image_width = JDIMENSION(width);
    c.image_height = JDIMENSION(pixels.size() / components / width);
    c.input_components = components;
    c.in_color_space = space;
    jpeg_set_defaults(&c);
    setup(&c);
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(pixels.data() + std::size_t(c.next_scanline) * width * components);
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    std::vector<std::uint8_t> out(buffer, buffer + size);
    jpeg_destroy_compress(&c);
    std::free(buffer);
    return out;
}

// The file with the size its first frame header (SOF0, 1 or 2) declares replaced.
inline std::vector<std::uint8_t> withFrameSize(std::vector<std::uint8_t> jpeg, int width, int height)
{
    for (std::size_t i = 2; i + 9 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && jpeg[i + 1] >= 0xC0 && jpeg[i + 1] <= 0xC2) {
            jpeg[i + 5] = std::uint8_t(height >> 8), jpeg[i + 6] = std::uint8_t(height);
            jpeg[i + 7] = std::uint8_t(width >> 8), jpeg[i + 8] = std::uint8_t(width);
            break;
        }
    return jpeg;
}

}  // namespace trimlet::test
