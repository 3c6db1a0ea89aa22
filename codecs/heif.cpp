#include "codecs/heif.h"

#include <libheif/heif.h>

#include <algorithm>
#include <exception>
#include <memory>
#include <new>
#include <string>

#include "codecs/rgba_rows.h"

namespace trimlet {

namespace {

struct ContextFree {
    void operator()(heif_context* c) const { heif_context_free(c); }
};
struct HandleFree {
    void operator()(heif_image_handle* h) const { heif_image_handle_release(h); }
};
struct ImageFree {
    void operator()(heif_image* i) const { heif_image_release(i); }
};
struct OptionsFree {
    void operator()(heif_decoding_options* o) const { heif_decoding_options_free(o); }
};

std::int64_t capOf(const DecodeLimits& limits) { return std::min(limits.maxBitmapBytes, kMaxBitmapBytes); }

Error heifFailure(const char* what, const heif_error& error)
{
    if (error.subcode == heif_suberror_Security_limit_exceeded)
        return makeError(ErrorCode::TooLarge, "HEIF picture is larger than libheif's limits");
    const ErrorCode code = error.code == heif_error_Unsupported_filetype || error.code == heif_error_Unsupported_feature
                               ? ErrorCode::Unsupported
                           : error.code == heif_error_Memory_allocation_error ? ErrorCode::TooLarge
                                                                              : ErrorCode::Corrupt;
    std::string why = error.message && *error.message ? error.message : "unknown error";
    while (!why.empty() && (why.back() == '\n' || why.back() == ' '))
        why.pop_back();  // libheif ends some messages with a line break
    return makeError(code, std::string(code == ErrorCode::Corrupt ? "damaged HEIF: " : "HEIF: ") + what + ": " + why);
}

// The container read from bytes (no copy: they outlive it) and its primary image, whose size
// (after libheif's crop and rotation) is checked against the cap and against what a file of
// fileSize bytes can hold.
struct HeifFile {
    std::unique_ptr<heif_context, ContextFree> context;
    std::unique_ptr<heif_image_handle, HandleFree> primary;
};

Result<HeifFile> open(Bytes bytes, std::uint64_t fileSize, std::int64_t cap)
{
    HeifFile file{std::unique_ptr<heif_context, ContextFree>(heif_context_alloc()), nullptr};
    if (!file.context)
        return makeError(ErrorCode::TooLarge, "not enough memory to start libheif");
    heif_error e = heif_context_read_from_memory_without_copy(file.context.get(), bytes.data(), bytes.size(), nullptr);
    if (e.code != heif_error_Ok)
        return heifFailure("container", e);
    heif_image_handle* handle = nullptr;
    e = heif_context_get_primary_image_handle(file.context.get(), &handle);
    file.primary.reset(handle);
    if (e.code != heif_error_Ok || !handle)
        return heifFailure("primary image", e);
    const int width = heif_image_handle_get_width(handle);
    const int height = heif_image_handle_get_height(handle);
    if (width <= 0 || height <= 0)
        return makeError(ErrorCode::Corrupt, "damaged HEIF: no image size");
    if (!Bitmap::sizeAllowed(width, height, cap))
        return makeError(ErrorCode::TooLarge,
                         "HEIF of " + std::to_string(width) + " x " + std::to_string(height) + " pixels is too large");
    if (!fileCanHoldPixels(fileSize, width, height))
        return makeError(ErrorCode::Corrupt, "damaged HEIF: file too small for its image size");
    return file;
}

Result<DecodedImage> decode(Bytes bytes, const DecodeLimits& limits)
{
    const std::int64_t cap = capOf(limits);
    auto file = open(bytes, bytes.size(), cap);
    if (!file)
        return file.error();
    heif_image_handle* handle = file.value().primary.get();
    const bool alpha = heif_image_handle_has_alpha_channel(handle) != 0;
    // A grid's own size box may declare far more than the image's ispe, and libheif would
    // allocate that. Nothing it builds may pass the longer side just checked, rounded up to
    // whole coding blocks (a small picture may sit in one larger tile).
    const int side = std::max(heif_image_handle_get_width(handle), heif_image_handle_get_height(handle));
    heif_context_set_maximum_image_size_limit(file.value().context.get(), std::max(1024, (side + 63) / 64 * 64) + 1);

    std::unique_ptr<heif_decoding_options, OptionsFree> options(heif_decoding_options_alloc());
    if (!options)
        return makeError(ErrorCode::TooLarge, "not enough memory to start libheif");
    options->convert_hdr_to_8bit = 1;
    options->strict_decoding = 1;  // damage is a failure, not concealed pixels
    heif_image* decodedImage = nullptr;
    const heif_error e =
        heif_decode_image(handle, &decodedImage, heif_colorspace_RGB,
                          alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, options.get());
    const std::unique_ptr<heif_image, ImageFree> image(decodedImage);
    if (e.subcode == heif_suberror_Security_limit_exceeded)
        return makeError(ErrorCode::Corrupt, "damaged HEIF: image data larger than its declared size");
    if (e.code != heif_error_Ok || !image)
        return heifFailure("image data", e);

    int stride = 0;
    const std::uint8_t* pixels = heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
    const int width = heif_image_get_width(image.get(), heif_channel_interleaved);
    const int height = heif_image_get_height(image.get(), heif_channel_interleaved);
    if (!pixels || heif_image_get_bits_per_pixel_range(image.get(), heif_channel_interleaved) != 8 || width <= 0 ||
        height <= 0 || stride < width * (alpha ? 4 : 3))
        return makeError(ErrorCode::Unsupported, "HEIF pixel layout not handled");
    // libheif may crop a damaged file to another size than its handle announced.
    if (width != heif_image_handle_get_width(handle) || height != heif_image_handle_get_height(handle))
        return makeError(ErrorCode::Corrupt, "damaged HEIF: decoded size differs from the declared one");

    DecodedImage decoded{Bitmap(width, height, Bitmap::Init::Uninitialized)};
    if (alpha)
        decoded.mask.resize(std::size_t(width) * std::size_t(height));
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* row = pixels + std::size_t(y) * std::size_t(stride);
        if (alpha)
            rgbaRowToBgr(row, width, decoded.bitmap.row(y), &decoded.mask[std::size_t(y) * std::size_t(width)]);
        else
            rgbRowToBgr(row, width, decoded.bitmap.row(y));
    }
    const heif_color_profile_type profile = heif_image_handle_get_color_profile_type(handle);
    if (profile == heif_color_profile_type_prof || profile == heif_color_profile_type_rICC) {
        decoded.iccProfile.resize(heif_image_handle_get_raw_color_profile_size(handle));
        if (decoded.iccProfile.empty() ||
            heif_image_handle_get_raw_color_profile(handle, decoded.iccProfile.data()).code != heif_error_Ok)
            decoded.iccProfile.clear();
    }
    return decoded;
}

}  // namespace

HeaderProbe probeHeif(Bytes head, std::uint64_t fileSize, const DecodeLimits& limits)
{
    try {
        auto file = open(head, std::max<std::uint64_t>(fileSize, head.size()), capOf(limits));
        if (!file)
            return {file.error(), file.error().code != ErrorCode::TooLarge && head.size() < fileSize};
        heif_image_handle* handle = file.value().primary.get();
        return {PictureSize{heif_image_handle_get_width(handle), heif_image_handle_get_height(handle)}};
    } catch (const std::bad_alloc&) {
        return {makeError(ErrorCode::TooLarge, "not enough memory for the HEIF")};
    }
}

Result<DecodedImage> decodeHeif(Bytes file, const DecodeLimits& limits)
{
    return decodeGuarded("HEIF", [&] { return decode(file, limits); });
}

}  // namespace trimlet
