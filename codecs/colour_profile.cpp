#include "codecs/colour_profile.h"

#include <lcms2.h>
#include <lcms2_plugin.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <type_traits>

namespace trimlet {

namespace {

// A profile is a few kilobytes to a few megabytes; LittleCMS's own ceiling is 512 MB a block,
// which a hostile 200-byte profile could otherwise ask for. A refused block makes LittleCMS
// refuse the profile, and the picture loads unconverted.
constexpr cmsUInt32Number kMaxBlock = cmsUInt32Number{64} << 20;

void* cappedMalloc(cmsContext, cmsUInt32Number size) { return size > kMaxBlock ? nullptr : std::malloc(size); }
void cappedFree(cmsContext, void* block) { std::free(block); }
void* cappedRealloc(cmsContext, void* block, cmsUInt32Number size)
{
    return size > kMaxBlock ? nullptr : std::realloc(block, size);
}

const cmsPluginMemHandler kCappedMemory = {
    {cmsPluginMagicNumber, 2000, cmsPluginMemHandlerSig, nullptr},
    cappedMalloc,
    cappedFree,
    cappedRealloc,
    nullptr,  // the zeroing, counted and copying allocators fall back to the ones above
    nullptr,
    nullptr,
};

void quiet(cmsContext, cmsUInt32Number, const char*) {}

struct ContextDeleter {
    void operator()(cmsContext context) const { cmsDeleteContext(context); }
};
struct ProfileDeleter {
    void operator()(void* profile) const { cmsCloseProfile(profile); }
};
struct TransformDeleter {
    void operator()(void* transform) const { cmsDeleteTransform(transform); }
};
using ContextPtr = std::unique_ptr<std::remove_pointer_t<cmsContext>, ContextDeleter>;
using ProfilePtr = std::unique_ptr<void, ProfileDeleter>;
using TransformPtr = std::unique_ptr<void, TransformDeleter>;

// A context of our own per conversion: its own error handler (LittleCMS reports every damaged
// profile, which is no news to anyone) and its own allocator cap, no process-wide state.
ContextPtr quietContext()
{
    ContextPtr context(cmsCreateContext(const_cast<cmsPluginMemHandler*>(&kCappedMemory), nullptr));
    if (context)
        cmsSetLogErrorHandlerTHR(context.get(), quiet);
    return context;
}

// The profile when it is whole (its header's size within the bytes: LittleCMS would read a
// cut one as far as it goes) and describes a device's colours (not a link, abstract or
// named-colour profile) in the expected colour space.
ProfilePtr openProfile(cmsContext context, Bytes bytes, cmsColorSpaceSignature space)
{
    constexpr std::size_t kHeaderBytes = 128;
    if (bytes.size() < kHeaderBytes || bytes.size() > 0xFFFFFFFFu)
        return {};
    const std::uint32_t declared =
        std::uint32_t(bytes[0]) << 24 | std::uint32_t(bytes[1]) << 16 | std::uint32_t(bytes[2]) << 8 | bytes[3];
    if (declared < kHeaderBytes || declared > bytes.size())
        return {};
    ProfilePtr profile(cmsOpenProfileFromMemTHR(context, bytes.data(), declared));
    if (!profile || cmsGetColorSpace(profile.get()) != space)
        return {};
    switch (cmsGetDeviceClass(profile.get())) {
    case cmsSigInputClass:
    case cmsSigDisplayClass:
    case cmsSigOutputClass:
    case cmsSigColorSpaceClass: return profile;
    default: return {};
    }
}

TransformPtr toSrgb(cmsContext context, cmsHPROFILE from, cmsUInt32Number format, cmsUInt32Number intent,
                    cmsUInt32Number flags)
{
    const ProfilePtr srgb(cmsCreate_sRGBProfileTHR(context));
    if (!srgb)
        return {};
    return TransformPtr(cmsCreateTransformTHR(context, from, format, srgb.get(), TYPE_BGR_8, intent, flags));
}

// Grey read from the first byte of each BGR pixel (all three are equal).
constexpr cmsUInt32Number kGreyInBgr = COLORSPACE_SH(PT_GRAY) | CHANNELS_SH(1) | BYTES_SH(1) | EXTRA_SH(2);

// True when the profile gives sRGB's colours for a grid of samples (every grey level for a
// grey profile), within one level: sRGB profiles come in many versions and sizes, and their
// colorimetric conversion is what tells them apart from their lookalikes.
bool givesSrgb(cmsContext context, cmsHPROFILE from, bool grey)
{
    const cmsUInt32Number format = grey ? kGreyInBgr : TYPE_BGR_8;
    const TransformPtr check = toSrgb(context, from, format, INTENT_RELATIVE_COLORIMETRIC, 0);
    if (!check)
        return false;
    constexpr int kLevels = 16;  // 0, 17, …, 255 on each channel
    std::vector<std::uint8_t> samples;
    if (grey) {
        for (int v = 0; v < 256; ++v)
            samples.insert(samples.end(), 3, std::uint8_t(v));
    } else {
        for (int b = 0; b < kLevels; ++b)
            for (int g = 0; g < kLevels; ++g)
                for (int r = 0; r < kLevels; ++r)
                    samples.insert(samples.end(), {std::uint8_t(b * 17), std::uint8_t(g * 17), std::uint8_t(r * 17)});
    }
    std::vector<std::uint8_t> out(samples.size());
    cmsDoTransform(check.get(), samples.data(), out.data(), cmsUInt32Number(samples.size() / 3));
    for (std::size_t i = 0; i < samples.size(); ++i)
        if (std::abs(int(out[i]) - int(samples[i])) > 1)
            return false;
    return true;
}

bool allGrey(const Bitmap& bitmap)
{
    for (int y = 0; y < bitmap.height(); ++y) {
        const std::uint8_t* p = bitmap.row(y);
        const std::uint8_t* end = p + std::ptrdiff_t(bitmap.width()) * 3;
        for (; p != end; p += 3)
            if (p[0] != p[1] || p[1] != p[2])
                return false;
    }
    return true;
}

}  // namespace

ProfileSpace profileSpace(Bytes profile)
{
    constexpr std::size_t kHeaderBytes = 128;
    constexpr std::size_t kSpaceAt = 16;
    if (profile.size() < kHeaderBytes)
        return ProfileSpace::Other;
    const std::uint8_t* s = profile.data() + kSpaceAt;
    if (std::memcmp(s, "RGB ", 4) == 0)
        return ProfileSpace::Rgb;
    if (std::memcmp(s, "GRAY", 4) == 0)
        return ProfileSpace::Grey;
    if (std::memcmp(s, "CMYK", 4) == 0)
        return ProfileSpace::Cmyk;
    return ProfileSpace::Other;
}

bool convertToSrgb(Bitmap& bitmap, Bytes profile)
{
    const ProfileSpace space = profileSpace(profile);
    if (bitmap.empty() || (space != ProfileSpace::Rgb && space != ProfileSpace::Grey))
        return false;
    const bool grey = space == ProfileSpace::Grey;
    if (grey && !allGrey(bitmap))
        return false;
    const ContextPtr context = quietContext();
    if (!context)
        return false;
    const ProfilePtr from = openProfile(context.get(), profile, grey ? cmsSigGrayData : cmsSigRgbData);
    if (!from || givesSrgb(context.get(), from.get(), grey))
        return false;
    const TransformPtr transform =
        toSrgb(context.get(), from.get(), grey ? kGreyInBgr : TYPE_BGR_8, INTENT_PERCEPTUAL, 0);
    if (!transform)
        return false;
    // In place: both sides take three bytes a pixel, and each pixel is read before it is written.
    const auto stride = cmsUInt32Number(bitmap.stride());
    cmsDoTransformLineStride(transform.get(), bitmap.data(), bitmap.data(), cmsUInt32Number(bitmap.width()),
                             cmsUInt32Number(bitmap.height()), stride, stride, 0, 0);
    return true;
}

std::vector<std::uint8_t> joinIccChunks(const std::vector<Bytes>& app2Payloads)
{
    static constexpr char kIdentifier[12] = {'I', 'C', 'C', '_', 'P', 'R', 'O', 'F', 'I', 'L', 'E', '\0'};
    constexpr std::size_t kChunkHeader = sizeof kIdentifier + 2;
    std::array<Bytes, 256> parts{};
    std::array<bool, 256> seen{};
    int count = 0;
    std::size_t total = 0;
    for (const Bytes payload : app2Payloads) {
        if (payload.size() < kChunkHeader || std::memcmp(payload.data(), kIdentifier, sizeof kIdentifier) != 0)
            continue;
        const int sequence = payload[sizeof kIdentifier];
        const int chunks = payload[sizeof kIdentifier + 1];
        if (chunks == 0 || sequence == 0 || sequence > chunks || (count != 0 && chunks != count) || seen[sequence])
            return {};
        count = chunks;
        seen[sequence] = true;
        parts[sequence] = payload.subspan(kChunkHeader);
        total += parts[sequence].size();
    }
    for (int s = 1; s <= count; ++s)
        if (!seen[s])
            return {};
    std::vector<std::uint8_t> profile;
    profile.reserve(total);
    for (int s = 1; s <= count; ++s)
        profile.insert(profile.end(), parts[s].begin(), parts[s].end());
    return profile;
}

// ---- CMYK -----------------------------------------------------------------------------------

struct CmykToSrgb::Engine {
    ContextPtr context;  // declared first: the transform is deleted before its context
    TransformPtr transform;
};

CmykToSrgb::CmykToSrgb(std::unique_ptr<Engine> engine) : engine_(std::move(engine)) {}
CmykToSrgb::~CmykToSrgb() = default;

std::unique_ptr<CmykToSrgb> CmykToSrgb::create(Bytes profile, bool inverted)
{
    if (profileSpace(profile) != ProfileSpace::Cmyk)
        return nullptr;
    auto engine = std::make_unique<Engine>();
    engine->context = quietContext();
    if (!engine->context)
        return nullptr;
    const ProfilePtr from = openProfile(engine->context.get(), profile, cmsSigCmykData);
    if (!from)
        return nullptr;
    engine->transform =
        toSrgb(engine->context.get(), from.get(), inverted ? TYPE_CMYK_8_REV : TYPE_CMYK_8, INTENT_PERCEPTUAL, 0);
    if (!engine->transform)
        return nullptr;
    return std::unique_ptr<CmykToSrgb>(new CmykToSrgb(std::move(engine)));
}

void CmykToSrgb::convert(const std::uint8_t* cmyk, int width, int rows, std::uint8_t* bgr,
                         std::ptrdiff_t bgrStride) const
{
    cmsDoTransformLineStride(engine_->transform.get(), cmyk, bgr, cmsUInt32Number(width), cmsUInt32Number(rows),
                             cmsUInt32Number(width) * 4, cmsUInt32Number(bgrStride), 0, 0);
}

}  // namespace trimlet
