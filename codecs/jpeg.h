#pragma once
// JPEG through libjpeg(-turbo).

#include <functional>

#include "base/file_io.h"
#include "codecs/decoded.h"

namespace trimlet {

// Decodes a JPEG at full size with the floating-point inverse DCT, fancy upsampling and block
// smoothing. Colour files give their colours, greyscale files their stored grey values (equal
// blue, green, red), CMYK/YCCK files their colours (through their ICC profile when there is a
// usable one and limits.colourManagement is on). The orientation comes from the first EXIF
// APP1 marker; an ICC profile (APP2) of the pixels' colour space is handed on, for grey or
// colour files only, when colourManagement is on. Fails with Corrupt on truncated or damaged
// data (anything that would leave made-up pixels), TooLarge past limits.maxBitmapBytes,
// also when the picture turned to its orientation would be, Unsupported for other colour
// spaces and 12-bit, lossless or hierarchical files (the message says which). A Huffman-coded
// file too short to hold its blocks fails before the pixels are allocated. A single-scan file
// with restart markers at row boundaries is decoded in bands on every core, to the same bytes.
Result<DecodedImage> decodeJpeg(Bytes file, const DecodeLimits& limits = {});
// The same at 1/denominator of each side (1, 2, 4 or 8, rounded up), scaled by the DCT itself:
// a quick first look at a large photo. The limits are those of the whole picture.
Result<DecodedImage> decodeJpegScaled(Bytes file, int denominator, const DecodeLimits& limits = {});

using JpegRegion = PictureRegion;

// decodeJpeg's pixels inside region, without computing the others: the same checks and
// failures, and the same orientation and profile handed on, to be applied to the region. The
// file is still read to its end, so that one cut short fails; in a single-scan file the data
// after the region's rows is only checked for its markers (damaged data there, which cannot
// change the region, is not noticed), in a multi-scan file it is decoded. A single-scan file
// with restart markers at row boundaries is decoded from the interval before the region's
// first row, its rows above only checked for their markers too, in bands on every core. A
// region that is empty or not inside the picture is Invalid.
Result<DecodedImage> decodeJpegRegion(Bytes file, JpegRegion region, const DecodeLimits& limits = {});
// The same, reading the file a little at a time rather than holding it.
Result<DecodedImage> decodeJpegRegion(const RegularFile& file, JpegRegion region, const DecodeLimits& limits = {});

// Receives the stored picture's rows first .. first + count − 1 in band's first count rows.
// Must not throw.
using JpegRowSink = std::function<void(const Bitmap& band, int first, int count)>;

// decodeJpegRegion's pixels handed to sink a band of rows at a time, in order, instead of kept
// (first counts from the region's top row): the same checks and failures, the orientation in
// the result, whose bitmap stays empty. The rest of the file is checked after the last row, so
// the decode may still fail once every row has been handed over. A file whose ICC profile
// decodeJpegRegion would hand on (with colourManagement on) is Unsupported before any row.
Result<DecodedImage> decodeJpegRegionRows(Bytes file, JpegRegion region, const JpegRowSink& sink,
                                          const DecodeLimits& limits = {});
Result<DecodedImage> decodeJpegRegionRows(const RegularFile& file, JpegRegion region, const JpegRowSink& sink,
                                          const DecodeLimits& limits = {});

// decodeJpeg's pixels handed to sink a band of rows at a time, in order, instead of kept:
// the same checks and failures, and the orientation in the result, whose bitmap stays empty.
// A file whose ICC profile decodeJpeg would hand on (with colourManagement on) is Unsupported
// before any row, since a profile is applied to the whole picture.
Result<DecodedImage> decodeJpegRows(Bytes file, const JpegRowSink& sink, const DecodeLimits& limits = {});

// The size and orientation decodeJpeg would give, from the markers up to the first scan at the
// start of a file of fileSize bytes.
HeaderProbe probeJpeg(Bytes head, std::uint64_t fileSize, const DecodeLimits& limits = {});

// Encodes a bitmap as baseline JFIF: library defaults (YCbCr, 2×2/1×1/1×1, standard Huffman
// tables, no optimisation), floating-point forward DCT, quality 1..100 with baseline tables.
// An empty bitmap or a quality outside 1..100 is a failure.
Result<std::vector<std::uint8_t>> encodeJpeg(const Bitmap& bitmap, int quality);

}  // namespace trimlet
