#pragma once
// Embedded ICC profiles, converted to sRGB through LittleCMS 2, so that a picture shows and
// saves with the colours it has everywhere else. A profile is advice: whatever cannot be
// used leaves the pixels as the decoder made them.

#include <cstdint>
#include <memory>
#include <vector>

#include "base/bytes.h"
#include "codecs/bitmap.h"

namespace trimlet {

enum class ProfileSpace { Other, Rgb, Grey, Cmyk };

// The colour space an ICC profile's header declares; Other for anything too short to be one.
ProfileSpace profileSpace(Bytes profile);

// Converts a 24-bit picture from the colours of an ICC profile to sRGB in place, with the
// perceptual intent and default precalculation (jpgicc's and tificc's defaults). An RGB
// profile applies to any picture, a grey one only to a picture whose pixels are all grey.
// Another colour space or device class, a profile LittleCMS refuses, or one that gives sRGB's
// colours already (within one level) leaves every byte as it was. True when converted.
bool convertToSrgb(Bitmap& bitmap, Bytes profile);

// The profile JPEG stores in APP2 "ICC_PROFILE\0" markers: each payload (after the marker's
// length) holds the identifier, its 1-based sequence number, the number of chunks and a part
// of the profile. Empty unless every chunk agrees on the number and each sequence number
// occurs exactly once; other APP2 payloads are passed over.
std::vector<std::uint8_t> joinIccChunks(const std::vector<Bytes>& app2Payloads);

// Rows of 8-bit CMYK samples converted to BGR through a CMYK profile, as a CMYK JPEG or TIFF
// decoder meets them. Thread-compatible: one converter per decode.
class CmykToSrgb {
public:
    // Nothing when the profile is not a CMYK profile LittleCMS can use. inverted: the samples
    // store 255 − ink, as Adobe's JPEG writers do.
    static std::unique_ptr<CmykToSrgb> create(Bytes profile, bool inverted);
    ~CmykToSrgb();
    CmykToSrgb(const CmykToSrgb&) = delete;
    CmykToSrgb& operator=(const CmykToSrgb&) = delete;

    // rows × width pixels: cmyk packed 4 bytes a pixel, bgr rows bgrStride bytes apart.
    void convert(const std::uint8_t* cmyk, int width, int rows, std::uint8_t* bgr, std::ptrdiff_t bgrStride) const;

private:
    struct Engine;
    explicit CmykToSrgb(std::unique_ptr<Engine> engine);
    std::unique_ptr<Engine> engine_;
};

}  // namespace trimlet
