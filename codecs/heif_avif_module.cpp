// The module's side: hands the decoders of heif.cpp and avif.cpp to the program that loads it.
// Everything else in the module is hidden.
#include "codecs/heif_avif_module.h"

#include <dav1d/dav1d.h>
#include <dlfcn.h>
#include <errno.h>

#include <cstdarg>
#include <cstdio>
#include <string>

#include "codecs/avif.h"
#include "codecs/heif.h"

#define TRIMLET_TEXT(x) TRIMLET_TEXT_OF(x)
#define TRIMLET_TEXT_OF(x) #x

namespace {

// dav1d's lines, each after the program's name as the program's own messages are.
void prefixedDav1dLine(void*, const char* format, va_list args)
{
    char text[512];
    std::vsnprintf(text, sizeof text, format, args);
    std::string lines;
    for (const char* at = text; *at;) {
        const char* end = at;
        while (*end && *end != '\n')
            ++end;
        lines.append(program_invocation_short_name).append(": ").append(at, end).append("\n");
        at = *end ? end + 1 : end;
    }
    std::fputs(lines.c_str(), stderr);
}

}  // namespace

// libheif and libavif ask libdav1d for its default settings before every decoder they open.
// Inside the module's own group of libraries this definition comes before libdav1d's, so
// every decoder logs through prefixedDav1dLine whichever of the two opened it.
extern "C" __attribute__((visibility("default"))) void dav1d_default_settings(Dav1dSettings* settings)
{
    using Defaults = void (*)(Dav1dSettings*);
    static const Defaults real = [] {
        void* dav1d = dlopen("libdav1d.so." TRIMLET_TEXT(DAV1D_API_VERSION_MAJOR), RTLD_NOW | RTLD_NOLOAD);
        return dav1d ? reinterpret_cast<Defaults>(dlsym(dav1d, "dav1d_default_settings")) : nullptr;
    }();
    if (!real) {
        *settings = Dav1dSettings{};  // dav1d_open refuses it: the decode fails cleanly
        return;
    }
    real(settings);
    settings->logger = Dav1dLogger{nullptr, &prefixedDav1dLine};
}

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
