#pragma once
// The HEIF and AVIF decoders live in a module of their own, loaded the first time a HEIF or
// AVIF file is probed or decoded: libheif and libavif bring some thirty-five libraries whose
// loading and set-up would otherwise cost every start of every program.

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>

#include "codecs/decoded.h"

namespace trimlet {

// What the module hands over. Both sides are built from one tree by one compiler, so C++
// types cross; version and layout refuse a module from another build whose types differ.
struct HeifAvifModule {
    // These two stay first whatever else changes, so that any build can read them.
    std::uint32_t version;
    std::uint32_t layout;
    Result<DecodedImage> (*decodeHeif)(Bytes file, const DecodeLimits& limits);
    HeaderProbe (*probeHeif)(Bytes head, std::uint64_t fileSize, const DecodeLimits& limits);
    Result<DecodedImage> (*decodeAvif)(Bytes file, const DecodeLimits& limits);
    HeaderProbe (*probeAvif)(Bytes head, std::uint64_t fileSize, const DecodeLimits& limits);
    Result<DecodedImage> (*decodeHeifRegion)(Bytes file, PictureRegion region, const DecodeLimits& limits, int threads,
                                             bool& whole);
    Result<DecodedImage> (*decodeAvifRegion)(Bytes file, PictureRegion region, const DecodeLimits& limits, int threads,
                                             bool& whole);
};

// Raised whenever the table or a type it passes changes its meaning.
inline constexpr std::uint32_t kHeifAvifModuleVersion = 2;
// The sizes of what crosses, so that a type changed without a raised version is refused too.
inline constexpr std::uint32_t kHeifAvifModuleLayout = [] {
    std::uint32_t hash = 2166136261u;
    for (const std::size_t size :
         {sizeof(HeifAvifModule), sizeof(Result<DecodedImage>), sizeof(DecodedImage), sizeof(Bitmap),
          sizeof(HeaderProbe), sizeof(PictureRegion), sizeof(DecodeLimits), sizeof(Error)})
        hash = (hash ^ std::uint32_t(size)) * 16777619u;
    return hash;
}();

// The module's one exported function, extern "C": returns its table, never null.
inline constexpr char kHeifAvifModuleEntry[] = "trimlet_heif_avif_module";
extern "C" {
using HeifAvifModuleEntry = const HeifAvifModule* (*)();
}

// Loads the module at path and checks its table. Unsupported, naming the missing HEIF and
// AVIF support, when the file is missing, is no module, lacks the entry or is of another
// build. A loaded module stays loaded for the life of the process.
Result<const HeifAvifModule*> loadHeifAvifModule(const std::string& path);

// Where the running program's module is: the module folder of the prefix (or build tree)
// that holds the program's own folder. Empty when the program's path cannot be read.
std::string heifAvifModulePath();

// The running program's module, safe from any thread. Loaded once; a module that loads but is
// not ours stays refused, while one that could not be loaded at all (missing, or memory
// short) is tried again on the next call.
Result<const HeifAvifModule*> heifAvifModule();

}  // namespace trimlet
