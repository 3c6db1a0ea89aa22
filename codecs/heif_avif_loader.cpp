// The program's side of the HEIF and AVIF module: the decoders' entry points for every caller,
// reaching the module on first use.
#include <dlfcn.h>
#include <unistd.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>

#include "base/parallel.h"
#include "base/trusted_file.h"
#include "codecs/avif.h"
#include "codecs/heif.h"
#include "codecs/heif_avif_module.h"
#include "codecs/picture_file.h"

namespace trimlet {

namespace {

Error missing(const std::string& why)
{
    return makeError(ErrorCode::Unsupported, "HEIF and AVIF support is missing: " + why);
}

std::string ownExecutable()
{
    std::string path(256, '\0');
    for (;;) {
        const ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size());
        if (n < 0)
            return {};
        if (std::size_t(n) < path.size()) {
            path.resize(std::size_t(n));
            return path;
        }
        path.resize(path.size() * 2);
    }
}

bool complete(const HeifAvifModule& module)
{
    return module.version == kHeifAvifModuleVersion && module.layout == kHeifAvifModuleLayout && module.decodeHeif &&
           module.probeHeif && module.decodeAvif && module.probeAvif && module.decodeHeifRegion &&
           module.decodeAvifRegion;
}

// refused tells a module that was loaded but is not ours (which stays so) from one that could
// not be loaded at all (missing, or short of memory, which may pass).
Result<const HeifAvifModule*> load(const std::string& path, bool& refused)
{
    refused = false;
    if (path.empty())
        return missing("the program's own folder is unknown");
    // dlopen runs a file's constructors before anything of it can be checked, so only a file
    // that nobody but root and the user can have put there is loaded, and through the
    // descriptor that was checked.
    const auto opened = openTrustedFile(path);
    if (!opened)
        return missing(opened.error().message);
    const int fd = opened.value();
    const std::string name = "/proc/self/fd/" + std::to_string(fd);
    void* handle = ::dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* error = ::dlerror();
        std::string why = error ? error : name + ": not loaded";
        if (why.starts_with(name))
            why.replace(0, name.size(), path);
        ::close(fd);
        return missing(why);
    }
    // The descriptor stays open as long as the object may be loaded: the dynamic loader knows
    // loaded objects by the name they were opened under, and would take a later file opened
    // under the same number for this one.
    const auto entry = reinterpret_cast<HeifAvifModuleEntry>(::dlsym(handle, kHeifAvifModuleEntry));
    const HeifAvifModule* module = entry ? entry() : nullptr;
    if (!module || !complete(*module)) {
        ::dlclose(handle);
        refused = true;
        return missing(path +
                       (module ? " belongs to another build of trimlet" : " is not trimlet's HEIF and AVIF module"));
    }
    return module;  // never closed: the libraries behind it keep state for the process's life
}

}  // namespace

Result<const HeifAvifModule*> loadHeifAvifModule(const std::string& path)
{
    bool refused = false;
    return load(path, refused);
}

std::string heifAvifModulePath()
{
    const std::string exe = ownExecutable();
    if (exe.empty())
        return {};
    return (std::filesystem::path(exe).parent_path() / TRIMLET_HEIF_AVIF_MODULE).lexically_normal().string();
}

Result<const HeifAvifModule*> heifAvifModule()
{
    static std::atomic<const HeifAvifModule*> loaded{nullptr};
    if (const HeifAvifModule* module = loaded.load(std::memory_order_acquire))
        return module;
    static std::mutex loading;
    static std::optional<Error> refusal;
    const std::lock_guard lock(loading);
    if (const HeifAvifModule* module = loaded.load(std::memory_order_acquire))
        return module;
    if (refusal)
        return *refusal;
    bool refused = false;
    auto module = load(heifAvifModulePath(), refused);
    if (module)
        loaded.store(module.value(), std::memory_order_release);
    else if (refused)
        refusal = module.error();
    return module;
}

Result<DecodedImage> decodeHeif(Bytes file, const DecodeLimits& limits)
{
    const auto module = heifAvifModule();
    return module ? module.value()->decodeHeif(file, limits) : module.error();
}

namespace {

using RegionDecode = Result<DecodedImage> (*)(Bytes, PictureRegion, const DecodeLimits&, int, bool&);
using WholeDecode = Result<DecodedImage> (*)(Bytes, const DecodeLimits&);

Result<DecodedImage> regionDecode(RegionDecode part, WholeDecode all, Bytes file, PictureRegion region,
                                  const DecodeLimits& limits)
{
    // The module's own thread limit is not the program's: the program's cap is handed over.
    bool whole = false;
    auto decoded = part(file, region, limits, threadsFor(INT64_MAX), whole);
    if (!whole)
        return decoded;
    decoded = all(file, limits);
    if (!decoded)
        return decoded;
    if (!regionInside(region, decoded.value().bitmap.width(), decoded.value().bitmap.height()))
        return makeError(ErrorCode::Invalid, "the region is not inside the picture");
    return regionOfImage(decoded.value(), region);
}

}  // namespace

Result<DecodedImage> decodeHeifRegion(Bytes file, PictureRegion region, const DecodeLimits& limits)
{
    const auto module = heifAvifModule();
    return module ? regionDecode(module.value()->decodeHeifRegion, module.value()->decodeHeif, file, region, limits)
                  : module.error();
}

Result<DecodedImage> decodeAvifRegion(Bytes file, PictureRegion region, const DecodeLimits& limits)
{
    const auto module = heifAvifModule();
    return module ? regionDecode(module.value()->decodeAvifRegion, module.value()->decodeAvif, file, region, limits)
                  : module.error();
}

HeaderProbe probeHeif(Bytes head, std::uint64_t fileSize, const DecodeLimits& limits)
{
    const auto module = heifAvifModule();
    return module ? module.value()->probeHeif(head, fileSize, limits) : HeaderProbe{module.error()};
}

Result<DecodedImage> decodeAvif(Bytes file, const DecodeLimits& limits)
{
    const auto module = heifAvifModule();
    return module ? module.value()->decodeAvif(file, limits) : module.error();
}

HeaderProbe probeAvif(Bytes head, std::uint64_t fileSize, const DecodeLimits& limits)
{
    const auto module = heifAvifModule();
    return module ? module.value()->probeAvif(head, fileSize, limits) : HeaderProbe{module.error()};
}

}  // namespace trimlet
