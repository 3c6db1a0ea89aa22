#include <gtest/gtest.h>

#include <jpeglib.h>

#include "codecs/jpeg.h"
#include "tests/codecs/libjpeg_writer.h"
#include "tests/support/test_support.h"

namespace trimlet {
namespace {

using Data = std::vector<std::uint8_t>;
using test::libjpeg;

// Rows of the picture's BGR as RGB samples for libjpeg.
Data rgbSamples(const Bitmap& b)
{
    Data out;
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x) {
            const std::uint8_t* p = b.row(y) + 3 * x;
            out.insert(out.end(), {p[2], p[1], p[0]});
        }
    return out;
}

Bitmap crop(const Bitmap& b, JpegRegion r)
{
    Bitmap out(r.width, r.height);
    for (int y = 0; y < r.height; ++y)
        std::copy_n(b.row(r.y + y) + 3 * r.x, 3 * r.width, out.row(y));
    return out;
}

struct Kind {
    const char* name;
    Data file;
};

// One file of each layout the region path must treat alike, on an odd-sized picture whose
// edges fall inside blocks.
std::vector<Kind> kinds(int w, int h)
{
    const Data rgb = rgbSamples(test::photoLike(w, h, 7));
    auto sampled = [&](int hs, int vs, bool progressive) {
        return libjpeg(rgb, w, 3, JCS_RGB, [=](jpeg_compress_struct* c) {
            c->comp_info[0].h_samp_factor = hs;
            c->comp_info[0].v_samp_factor = vs;
            if (progressive)
                jpeg_simple_progression(c);
        });
    };
    Data grey;
    for (std::size_t i = 0; i < rgb.size(); i += 3)
        grey.push_back(rgb[i + 1]);
    Data cmyk;
    for (std::size_t i = 0; i < rgb.size(); i += 3)
        cmyk.insert(cmyk.end(), {rgb[i], rgb[i + 1], rgb[i + 2], std::uint8_t(rgb[i] / 2)});
    return {
        {"4:2:0", sampled(2, 2, false)},
        {"4:2:2", sampled(2, 1, false)},
        {"4:4:4", sampled(1, 1, false)},
        {"4:2:0 progressive", sampled(2, 2, true)},
        {"4:4:4 progressive", sampled(1, 1, true)},
        {"grey", libjpeg(grey, w, 1, JCS_GRAYSCALE, [](jpeg_compress_struct*) {})},
        {"4:2:0 restarts", libjpeg(rgb, w, 3, JCS_RGB, [](jpeg_compress_struct* c) { c->restart_in_rows = 1; })},
        {"4:2:0 arithmetic", libjpeg(rgb, w, 3, JCS_RGB, [](jpeg_compress_struct* c) { c->arith_code = TRUE; })},
        {"CMYK", libjpeg(cmyk, w, 4, JCS_CMYK, [](jpeg_compress_struct*) {})},
    };
}

TEST(JpegRegion, EqualsTheFullDecodeAtEveryOffset)
{
    const int w = 203, h = 157;
    const int offsets[] = {0, 1, 7, 8, 15, 16, 17, 31, 33, 47, 48, 49, 64, 95, 100};
    const int sizes[] = {1, 2, 9, 16, 17, 40};
    for (const Kind& kind : kinds(w, h)) {
        SCOPED_TRACE(kind.name);
        auto full = decodeJpeg(kind.file);
        ASSERT_TRUE(full) << full.error().message;
        int checked = 0;
        for (int x : offsets)
            for (int y : offsets)
                for (int s : sizes) {
                    const JpegRegion r{x, y, std::min(s + x % 5, w - x), std::min(s + y % 3, h - y)};
                    auto part = decodeJpegRegion(kind.file, r);
                    ASSERT_TRUE(part) << part.error().message;
                    ASSERT_TRUE(part.value().bitmap == crop(full.value().bitmap, r))
                        << r.x << "," << r.y << " " << r.width << "x" << r.height;
                    ++checked;
                }
        for (const JpegRegion r :
             {JpegRegion{0, 0, w, h}, JpegRegion{w - 1, h - 1, 1, 1}, JpegRegion{150, 100, 53, 57}}) {
            auto part = decodeJpegRegion(kind.file, r);
            ASSERT_TRUE(part) << part.error().message;
            EXPECT_TRUE(part.value().bitmap == crop(full.value().bitmap, r))
                << r.x << "," << r.y << " " << r.width << "x" << r.height;
        }
        EXPECT_GT(checked, 1000);
    }
}

TEST(JpegRegion, RefusesRegionsOutsideAndFailsOnDamageAfterTheRegion)
{
    const Kind baseline = kinds(203, 157)[0];
    for (const JpegRegion r : {JpegRegion{0, 0, 0, 5}, JpegRegion{0, 0, 5, 0}, JpegRegion{-1, 0, 5, 5},
                               JpegRegion{199, 0, 5, 5}, JpegRegion{0, 153, 5, 5}, JpegRegion{0, 0, 204, 1}}) {
        auto part = decodeJpegRegion(baseline.file, r);
        ASSERT_FALSE(part);
        EXPECT_EQ(part.error().code, ErrorCode::Invalid);
    }
    // The region lies in the first rows; the file ends early or goes bad near its end.
    Data truncated(baseline.file.begin(), baseline.file.end() - 200);
    Data damaged = baseline.file;
    for (std::size_t i = damaged.size() - 300; i < damaged.size() - 250; ++i)
        damaged[i] = 0xFF;
    for (const Data& bad : {truncated, damaged}) {
        ASSERT_FALSE(decodeJpeg(bad));
        auto part = decodeJpegRegion(bad, {0, 0, 40, 20});
        ASSERT_FALSE(part);
        EXPECT_EQ(part.error().code, ErrorCode::Corrupt) << part.error().message;
    }
}

// From a file, read a chunk at a time: the same pixels, the same failures; big enough that
// the chunks do not hold it at once.
TEST(JpegRegion, ReadFromAFileAsFromItsBytes)
{
    test::TempDir dir;
    const Data rgb = rgbSamples(test::noisePicture(1000, 300, 9));
    const Data file = libjpeg(rgb, 1000, 3, JCS_RGB, [](jpeg_compress_struct* c) { jpeg_set_quality(c, 98, TRUE); });
    ASSERT_GT(file.size(), std::size_t{3} << 16);
    Data truncated(file.begin(), file.end() - 1000);
    Data progressive = libjpeg(rgb, 1000, 3, JCS_RGB, [](jpeg_compress_struct* c) { jpeg_simple_progression(c); });
    test::writeBytes(dir.file("a.jpg"), file);
    test::writeBytes(dir.file("t.jpg"), truncated);
    test::writeBytes(dir.file("p.jpg"), progressive);
    for (const JpegRegion r : {JpegRegion{0, 0, 1000, 300}, JpegRegion{333, 111, 400, 100}, JpegRegion{999, 299, 1, 1}})
        for (const auto& [name, bytes] : {std::pair{"a.jpg", file}, std::pair{"p.jpg", progressive}}) {
            auto opened = RegularFile::open(dir.file(name));
            ASSERT_TRUE(opened);
            auto fromFile = decodeJpegRegion(opened.value(), r);
            auto fromBytes = decodeJpegRegion(bytes, r);
            ASSERT_TRUE(fromFile && fromBytes) << name;
            EXPECT_TRUE(fromFile.value().bitmap == fromBytes.value().bitmap) << name << " " << r.x;
        }
    auto opened = RegularFile::open(dir.file("t.jpg"));
    ASSERT_TRUE(opened);
    auto cut = decodeJpegRegion(opened.value(), {0, 0, 50, 50});
    ASSERT_FALSE(cut);
    EXPECT_EQ(cut.error().code, ErrorCode::Corrupt) << cut.error().message;
}

// Where the first restart marker at or after `from` starts.
std::size_t restartAfter(const Data& file, std::size_t from)
{
    for (std::size_t i = from; i + 1 < file.size(); ++i)
        if (file[i] == 0xFF && file[i + 1] >= JPEG_RST0 && file[i + 1] <= JPEG_RST0 + 7)
            return i;
    return file.size();
}

// A region in the top rows of a single-scan file, whose rest is passed over without decoding:
// the file must still end properly, and only what the decoder itself would accept is taken.
TEST(JpegRegionTail, CutShortOrMarkerDamagedFilesStillFail)
{
    const Data rgb = rgbSamples(test::photoLike(160, 240, 3));
    for (const bool restarts : {false, true}) {
        SCOPED_TRACE(restarts ? "restarts" : "plain");
        const Data file =
            libjpeg(rgb, 160, 3, JCS_RGB, [=](jpeg_compress_struct* c) { c->restart_in_rows = restarts; });
        const JpegRegion top{20, 8, 50, 30};
        const Bitmap whole = decodeJpeg(file).value().bitmap;
        auto fails = [&](const Data& bad, const char* what) {
            ASSERT_FALSE(decodeJpeg(bad)) << what;
            auto part = decodeJpegRegion(bad, top);
            ASSERT_FALSE(part) << what;
            EXPECT_EQ(part.error().code, ErrorCode::Corrupt) << what << ": " << part.error().message;
        };
        // Every length from the middle of the data to one byte short, the lone 0xFF of the end marker included.
        for (std::size_t length = file.size() / 2; length < file.size(); length += length + 40 < file.size() ? 37 : 1)
            fails(Data(file.begin(), file.begin() + std::ptrdiff_t(length)), "cut short");
        // A table marker in the entropy-coded data.
        Data foreign = file;
        const std::size_t at = file.size() - 200;
        foreign.insert(foreign.begin() + std::ptrdiff_t(at), {0xFF, 0xC4});
        if (foreign[at - 1] == 0xFF)
            foreign[at - 1] = 0x7F;
        fails(foreign, "table marker");
        if (restarts) {
            Data swapped = file;
            const std::size_t rst = restartAfter(file, file.size() * 3 / 4);
            ASSERT_LT(rst, file.size());
            swapped[rst + 1] = std::uint8_t(JPEG_RST0 + (swapped[rst + 1] - JPEG_RST0 + 3) % 8);
            fails(swapped, "restart out of order");
            // The last restart marker gone: the order holds, the count does not.
            std::size_t last = rst;
            for (std::size_t next = rst; next < file.size(); next = restartAfter(file, next + 2))
                last = next;
            Data missing = file;
            missing.erase(missing.begin() + std::ptrdiff_t(last), missing.begin() + std::ptrdiff_t(last) + 2);
            fails(missing, "restart missing");
        } else {
            Data stray = file;
            stray.insert(stray.end() - 100, {0xFF, JPEG_RST0});
            if (stray[stray.size() - 103] == 0xFF)
                stray[stray.size() - 103] = 0x7F;
            fails(stray, "restart without an interval");
        }
        // What the decoder accepts after its scan and after its end is taken, with the same pixels.
        Data comment = file;
        comment.insert(comment.end() - 2, {0xFF, 0xFE, 0x00, 0x06, 'n', 'o', 't', 'e'});
        Data trailing = file;
        trailing.insert(trailing.end(), {0xFF, 0xC4, 0x12, 0xFF, 0x00, 0xFF});
        for (const Data& fine : {comment, trailing}) {
            ASSERT_TRUE(decodeJpeg(fine));
            auto part = decodeJpegRegion(fine, top);
            ASSERT_TRUE(part) << part.error().message;
            EXPECT_TRUE(part.value().bitmap == crop(whole, top));
        }
    }
}

// The rest of the data is not decoded, so bits changed there (no marker made) leave the
// region exactly as the intact file gives it.
TEST(JpegRegionTail, BitDamageAfterTheRegionLeavesItsPixels)
{
    const Data rgb = rgbSamples(test::photoLike(160, 240, 5));
    for (const bool restarts : {false, true}) {
        const Data file =
            libjpeg(rgb, 160, 3, JCS_RGB, [=](jpeg_compress_struct* c) { c->restart_in_rows = restarts; });
        Data damaged = file;
        for (std::size_t i = file.size() - 600; i < file.size() - 100; i += 3)
            if (damaged[i] != 0xFF && damaged[i - 1] != 0xFF && damaged[i + 1] != 0xFF)
                damaged[i] = std::uint8_t(damaged[i] ^ 0x55) == 0xFF ? 0x00 : std::uint8_t(damaged[i] ^ 0x55);
        ASSERT_FALSE(decodeJpeg(damaged)) << restarts;
        const JpegRegion top{0, 0, 160, 40};
        auto part = decodeJpegRegion(damaged, top);
        ASSERT_TRUE(part) << part.error().message;
        EXPECT_TRUE(part.value().bitmap == crop(decodeJpeg(file).value().bitmap, top)) << restarts;
    }
}

// The region's rows handed over once each, in order, as decodeJpegRegion gives them, also
// when the file's rest takes the whole decode (a comment before its end), and the same failures.
TEST(JpegRegionRows, HandOverTheRegionOnceInOrder)
{
    const JpegRegion r{37, 21, 101, 77};
    std::vector<Kind> files = kinds(203, 157);
    Data comment = files[0].file;
    comment.insert(comment.end() - 2, {0xFF, 0xFE, 0x00, 0x04, 'h', 'i'});
    files.push_back({"comment before the end", comment});
    for (const Kind& kind : files) {
        SCOPED_TRACE(kind.name);
        const Bitmap whole = decodeJpegRegion(kind.file, r).value().bitmap;
        Bitmap joined(r.width, r.height);
        int next = 0;
        auto rows = decodeJpegRegionRows(kind.file, r, [&](const Bitmap& band, int first, int count) {
            ASSERT_EQ(first, next);
            ASSERT_LE(first + count, r.height);
            next = first + count;
            for (int i = 0; i < count; ++i)
                std::copy_n(band.row(i), 3 * r.width, joined.row(first + i));
        });
        ASSERT_TRUE(rows) << rows.error().message;
        EXPECT_TRUE(rows.value().bitmap.empty());
        EXPECT_EQ(next, r.height);
        EXPECT_TRUE(joined == whole);
    }
    const Data truncated(files[0].file.begin(), files[0].file.end() - 30);
    auto cut = decodeJpegRegionRows(truncated, r, [](const Bitmap&, int, int) {});
    ASSERT_FALSE(cut);
    EXPECT_EQ(cut.error().code, ErrorCode::Corrupt);
}

TEST(JpegRows, HandsOverTheFullDecodeInOrderAndRefusesProfiles)
{
    for (const Kind& kind : kinds(45, 37)) {
        SCOPED_TRACE(kind.name);
        const Bitmap full = decodeJpeg(kind.file).value().bitmap;
        Bitmap joined(45, 37);
        int next = 0;
        auto rows = decodeJpegRows(kind.file, [&](const Bitmap& band, int first, int count) {
            EXPECT_EQ(first, next);
            next = first + count;
            for (int i = 0; i < count; ++i)
                std::copy_n(band.row(i), 3 * 45, joined.row(first + i));
        });
        ASSERT_TRUE(rows) << rows.error().message;
        EXPECT_EQ(next, 37);
        EXPECT_TRUE(joined == full);
    }
    // An RGB profile chunk: the rows could not be handed over converted.
    Data payload{'I', 'C', 'C', '_', 'P', 'R', 'O', 'F', 'I', 'L', 'E', 0, 1, 1};
    const Data profile = test::readBytes("/usr/share/color/icc/sRGB.icc");
    payload.insert(payload.end(), profile.begin(), profile.end());
    const Data plain = kinds(45, 37)[0].file;
    Data profiled(plain.begin(), plain.begin() + 2);
    profiled.insert(profiled.end(),
                    {0xFF, 0xE2, std::uint8_t((payload.size() + 2) >> 8), std::uint8_t(payload.size() + 2)});
    profiled.insert(profiled.end(), payload.begin(), payload.end());
    profiled.insert(profiled.end(), plain.begin() + 2, plain.end());
    int bands = 0;
    auto refused = decodeJpegRows(profiled, [&](const Bitmap&, int, int) { ++bands; });
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().code, ErrorCode::Unsupported);
    EXPECT_EQ(bands, 0);
    DecodeLimits kept;
    kept.colourManagement = false;
    EXPECT_TRUE(decodeJpegRows(
        profiled, [&](const Bitmap&, int, int) { ++bands; }, kept));
    EXPECT_GT(bands, 0);
}

}  // namespace
}  // namespace trimlet
