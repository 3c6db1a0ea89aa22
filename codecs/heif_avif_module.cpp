// The module's side: hands the decoders of heif.cpp and avif.cpp to the program that loads it.
// Everything else in the module is hidden.
#include "codecs/heif_avif_module.h"
#include "codecs/avif.h"
#include "codecs/heif.h"

extern "C" __attribute__((visibility("default"))) const trimlet::HeifAvifModule* trimlet_heif_avif_module()
{
    using namespace trimlet;
    using Region = Result<DecodedImage> (*)(Bytes, PictureRegion, const DecodeLimits&, int, bool&);
    static constexpr HeifAvifModule kTable{kHeifAvifModuleVersion,
                                           kHeifAvifModuleLayout,
                                           &decodeHeif,
                                           &probeHeif,
                                           &decodeAvif,
                                           &probeAvif,
                                           static_cast<Region>(&decodeHeifRegion),
                                           static_cast<Region>(&decodeAvifRegion)};
    return &kTable;
}
