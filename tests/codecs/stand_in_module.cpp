// Modules that are not the HEIF and AVIF module the program expects: one from another build
// (a whole table, but its version raised) and, with STAND_IN_NO_ENTRY, a shared object without
// the entry.
#include "codecs/heif_avif_module.h"

#ifndef STAND_IN_NO_ENTRY
namespace {

trimlet::Result<trimlet::DecodedImage> decode(trimlet::Bytes, const trimlet::DecodeLimits&)
{
    return trimlet::makeError(trimlet::ErrorCode::Unsupported, "stand-in");
}

trimlet::HeaderProbe probe(trimlet::Bytes, std::uint64_t, const trimlet::DecodeLimits&)
{
    return {trimlet::makeError(trimlet::ErrorCode::Unsupported, "stand-in")};
}

trimlet::Result<trimlet::DecodedImage> region(trimlet::Bytes, trimlet::PictureRegion, const trimlet::DecodeLimits&, int,
                                              bool&)
{
    return trimlet::makeError(trimlet::ErrorCode::Unsupported, "stand-in");
}

}  // namespace

extern "C" __attribute__((visibility("default"))) const trimlet::HeifAvifModule* trimlet_heif_avif_module()
{
    static const trimlet::HeifAvifModule kTable{trimlet::kHeifAvifModuleVersion + 1,
                                                trimlet::kHeifAvifModuleLayout,
                                                decode,
                                                probe,
                                                decode,
                                                probe,
                                                region,
                                                region};
    return &kTable;
}
#else
extern "C" __attribute__((visibility("default"))) int trimlet_stand_in() { return 1; }
#endif
