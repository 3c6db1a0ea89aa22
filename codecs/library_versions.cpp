#include "codecs/library_versions.h"

#include <cstddef>
#include <cstdio>
#include <gif_lib.h>
#include <lcms2.h>
#include <png.h>
#include <string>
#include <tiffio.h>
#include <webp/decode.h>
#include <zlib.h>

// jpeglib.h wants the standard types declared before it.
#include <jpeglib.h>

#define TRIMLET_TEXT(x) #x
#define TRIMLET_EXPANDED_TEXT(x) TRIMLET_TEXT(x)

namespace trimlet {

namespace {

std::string dotted(int major, int minor, int patch)
{
    return std::to_string(major) + "." + std::to_string(minor) + "." + std::to_string(patch);
}

LibraryVersion jpegLibrary()
{
    // libjpeg has no call for its version, and libjpeg-turbo only names its own in its headers.
#ifdef LIBJPEG_TURBO_VERSION
    return {"libjpeg-turbo", TRIMLET_EXPANDED_TEXT(LIBJPEG_TURBO_VERSION)};
#else
    return {"libjpeg", std::to_string(JPEG_LIB_VERSION / 10) + "." + std::to_string(JPEG_LIB_VERSION % 10)};
#endif
}

// "LIBTIFF, Version 4.5.0" and its notices of rights.
std::string tiffVersion()
{
    const std::string text = TIFFGetVersion();
    const std::string mark = "Version ";
    const auto at = text.find(mark);
    if (at == std::string::npos)
        return {};
    const auto from = at + mark.size();
    return text.substr(from, text.find_first_not_of("0123456789.", from) - from);
}

// Two digits of minor version: 2140 is 2.14.
std::string lcmsVersion()
{
    const int v = cmsGetEncodedCMMversion();
    return std::to_string(v / 1000) + "." + std::to_string(v % 1000 / 10);
}

}  // namespace

std::vector<LibraryVersion> codecLibraries()
{
    const int webp = WebPGetDecoderVersion();
    return {
        jpegLibrary(),
        {"libpng", png_get_libpng_ver(nullptr)},
        {"zlib", zlibVersion()},
        {"giflib", dotted(GIFLIB_MAJOR, GIFLIB_MINOR, GIFLIB_RELEASE)},
        {"libwebp", dotted(webp >> 16, (webp >> 8) & 0xff, webp & 0xff)},
        {"libtiff", tiffVersion()},
        {"Little CMS", lcmsVersion()},
        // In the HEIF and AVIF module, which the version window does not load.
        {"libheif", TRIMLET_LIBHEIF_VERSION},
        {"libavif", TRIMLET_LIBAVIF_VERSION},
    };
}

}  // namespace trimlet
