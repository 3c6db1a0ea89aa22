#include <gtest/gtest.h>

#include <jpeglib.h>

#include "codecs/jpeg.h"
#include "tests/codecs/libjpeg_writer.h"
#include "tests/support/test_support.h"

namespace trimlet {
namespace {

using Data = std::vector<std::uint8_t>;
using test::libjpeg;

bool haveTools() { return test::haveProgram("cjpeg") && test::haveProgram("djpeg"); }

void run(const std::string& command) { EXPECT_EQ(test::runCommand(command).exitCode, 0) << command; }

Data cjpeg(const test::TempDir& dir, const Bitmap& picture, const std::string& args)
{
    test::writeBytes(dir.file("in.ppm"), test::toPpm(picture));
    run("cjpeg " + args + " -outfile " + dir.file("c.jpg") + " " + dir.file("in.ppm"));
    return test::readBytes(dir.file("c.jpg"));
}

Bitmap djpeg(const test::TempDir& dir, const Data& jpeg, const std::string& dct)
{
    test::writeBytes(dir.file("d.jpg"), jpeg);
    run("djpeg -dct " + dct + " -outfile " + dir.file("d.pnm") + " " + dir.file("d.jpg"));
    return test::fromPnm(test::readBytes(dir.file("d.pnm")));
}

// Offset of the length field of the first segment with a marker in lo..hi, or 0.
std::size_t findSegment(const Data& j, std::uint8_t lo, std::uint8_t hi)
{
    for (std::size_t i = 2; i + 4 <= j.size() && j[i] == 0xFF; i += 2 + (j[i + 2] << 8 | j[i + 3]))
        if (j[i + 1] >= lo && j[i + 1] <= hi)
            return i + 2;
    return 0;
}

std::size_t frameHeader(const Data& j) { return findSegment(j, 0xC0, 0xC2); }

// 16×16 patches of 0xRRGGBB colours, `across` to a row.
Bitmap patchwork(const std::vector<std::uint32_t>& colours, std::size_t across)
{
    std::vector<std::vector<std::uint32_t>> rows(colours.size() / across * 16);
    for (std::size_t y = 0; y < rows.size(); ++y)
        for (std::size_t x = 0; x < across * 16; ++x)
            rows[y].push_back(colours[y / 16 * across + x / 16]);
    return test::bitmapFromRows(rows);
}

TEST(JpegDecode, EqualsDjpegFloatAndNearInt)
{
    if (!haveTools())
        GTEST_SKIP() << "cjpeg/djpeg not installed";
    const struct {
        const char* args;
        int w, h;
    } cases[] = {
        {"-quality 90", 1, 1},
        {"-quality 90", 17, 9},
        {"-quality 75", 33, 65},
        {"-sample 2x1", 33, 65},
        {"-sample 1x1 -quality 100", 17, 9},
        {"-grayscale", 33, 65},
        {"-progressive", 33, 65},
        {"-progressive -grayscale", 17, 9},
        {"-restart 1", 33, 65},
        {"-rgb", 17, 9},
        {"-arithmetic", 33, 65},
    };
    test::TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.args << " " << c.w << "x" << c.h);
        const Data jpeg = cjpeg(dir, test::photoLike(c.w, c.h), c.args);
        auto decoded = decodeJpeg(jpeg);
        ASSERT_TRUE(decoded) << decoded.error().message;
        const Bitmap& got = decoded.value().bitmap;
        EXPECT_EQ(got.width(), c.w);
        EXPECT_EQ(got.height(), c.h);
        EXPECT_TRUE(got == djpeg(dir, jpeg, "float"));
        EXPECT_LE(test::maxChannelDifference(got, djpeg(dir, jpeg, "int")), 4);
    }
}

// Four 16×16 patches of 0xCCMMYYKK inks, stored as CMYK (Adobe: inverted) or YCCK.
Data cmykPatches(const std::uint32_t (&inks)[4], J_COLOR_SPACE stored, bool adobe)
{
    Data pixels;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 64; ++x)
            for (int i = 0; i < 4; ++i) {
                const std::uint8_t ink = std::uint8_t(inks[x / 16] >> (24 - 8 * i));
                pixels.push_back(adobe ? 255 - ink : ink);
            }
    return libjpeg(pixels, 64, 4, JCS_CMYK, [&](jpeg_compress_struct* c) {
        jpeg_set_colorspace(c, stored);
        c->write_Adobe_marker = adobe;
        for (int i = 0; i < 4; ++i)  // no chroma subsampling to blur the patch edges
            c->comp_info[i].h_samp_factor = c->comp_info[i].v_samp_factor = 1;
        jpeg_set_quality(c, 100, TRUE);
    });
}

TEST(JpegDecode, CmykGivesTheInksColours)
{
    // Inks and the colours they print as; flat blocks at quality 100 keep CMYK exact, YCCK adds
    // a colour conversion.
    const std::uint32_t inks[4] = {0xFF000000, 0x00000080, 0x6900FF37, 0x00000000};
    const Bitmap expected = patchwork({0x00FFFF, 0x7F7F7F, 0x76C800, 0xFFFFFF}, 4);
    const struct {
        J_COLOR_SPACE stored;
        bool adobe;
        int tolerance;
    } cases[] = {{JCS_CMYK, true, 0}, {JCS_YCCK, true, 2}, {JCS_CMYK, false, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "space " << c.stored << " adobe " << c.adobe);
        auto decoded = decodeJpeg(cmykPatches(inks, c.stored, c.adobe));
        ASSERT_TRUE(decoded) << decoded.error().message;
        EXPECT_LE(test::maxChannelDifference(decoded.value().bitmap, expected), c.tolerance);
    }
    if (!test::haveProgram("convert"))
        GTEST_SKIP() << "ImageMagick not installed";
    const Bitmap patches = patchwork({0xC83214, 0x1E90FF, 0x205020, 0xF0F0F0, 0x000000, 0x8040C0}, 3);
    test::TempDir dir;
    test::writeBytes(dir.file("in.ppm"), test::toPpm(patches));
    run("convert " + dir.file("in.ppm") + " -colorspace CMYK " + dir.file("cmyk.jpg"));
    auto decoded = decodeJpeg(test::readBytes(dir.file("cmyk.jpg")));
    ASSERT_TRUE(decoded) << decoded.error().message;
    EXPECT_LE(test::maxChannelDifference(decoded.value().bitmap, patches), 2);
}

TEST(JpegEncode, BaselineJfifLikeCjpeg)
{
    test::TempDir dir;
    const Bitmap photo = test::photoLike(33, 65);
    for (int quality : {1, 50, 90, 100}) {
        SCOPED_TRACE(quality);
        auto jpeg = encodeJpeg(photo, quality);
        ASSERT_TRUE(jpeg) << jpeg.error().message;
        const Data& j = jpeg.value();
        const std::size_t f = frameHeader(j);
        ASSERT_GT(f, 11u);
        EXPECT_EQ(Data(j.begin(), j.begin() + 11), (Data{0xFF, 0xD8, 0xFF, 0xE0, 0, 16, 'J', 'F', 'I', 'F', 0}));
        EXPECT_EQ(j[f - 1], 0xC0);  // baseline; then size and 2×2, 1×1, 1×1 sampling
        EXPECT_EQ(Data(j.begin() + f, j.begin() + f + 17),
                  (Data{0, 17, 8, 0, 65, 0, 33, 3, 1, 0x22, 0, 2, 0x11, 1, 3, 0x11, 1}));
        if (haveTools()) {
            EXPECT_TRUE(j == cjpeg(dir, photo, "-dct float -baseline -quality " + std::to_string(quality)));
        }
    }
}

TEST(JpegEncode, RefusesWhatItCannotWrite)
{
    const Bitmap photo = test::photoLike(8, 8);
    const struct {
        Bitmap picture;
        int quality;
        ErrorCode code;
    } cases[] = {
        {Bitmap(), 90, ErrorCode::Invalid},
        {photo, 0, ErrorCode::Invalid},
        {photo, 101, ErrorCode::Invalid},
        {Bitmap(65501, 1), 90, ErrorCode::TooLarge},
    };
    for (const auto& c : cases) {
        auto jpeg = encodeJpeg(c.picture, c.quality);
        ASSERT_FALSE(jpeg) << c.picture.width() << " q" << c.quality;
        EXPECT_EQ(jpeg.error().code, c.code);
    }
}

TEST(JpegDecode, DamagedFilesFailCleanly)
{
    std::vector<Data> files{encodeJpeg(test::photoLike(17, 9), 90).value()};
    if (haveTools()) {
        test::TempDir dir;
        files.push_back(cjpeg(dir, test::photoLike(17, 9), "-progressive"));
        files.push_back(cjpeg(dir, test::photoLike(17, 9), "-restart 1 -sample 1x1"));
    }
    for (const Data& file : files) {
        for (std::size_t n = 0; n < file.size(); ++n) {
            const Data prefix(file.begin(), file.begin() + std::ptrdiff_t(n));  // own block, so ASan sees over-reads
            auto decoded = decodeJpeg(prefix);
            ASSERT_FALSE(decoded) << n << " of " << file.size() << " bytes";
            EXPECT_EQ(decoded.error().code, ErrorCode::Corrupt) << n;
        }
        for (std::size_t i = 0; i < file.size(); ++i)
            for (std::uint8_t value : {std::uint8_t(0), std::uint8_t(0xFF), std::uint8_t(file[i] ^ 0x10)}) {
                Data bad = file;
                bad[i] = value;
                auto decoded = decodeJpeg(bad);
                EXPECT_TRUE(decoded ? !decoded.value().bitmap.empty() : !decoded.error().message.empty());
            }
    }
}

Data withSize(Data j, int width, int height)
{
    const std::size_t f = frameHeader(j);
    j[f + 3] = std::uint8_t(height >> 8), j[f + 4] = std::uint8_t(height);
    j[f + 5] = std::uint8_t(width >> 8), j[f + 6] = std::uint8_t(width);
    return j;
}

TEST(JpegDecode, RefusedFiles)
{
    const Data jpeg = encodeJpeg(test::photoLike(17, 9), 90).value();
    const std::size_t f = frameHeader(jpeg);
    const std::int64_t exact = Bitmap::strideFor(17) * 9;
    Data twelveBit = jpeg, lossless = jpeg;
    twelveBit[f + 2] = 12;
    lossless[f - 1] = 0xC3;
    // Every coefficient of a grey picture sent alone and refined bit by bit: 704 valid scans.
    std::vector<jpeg_scan_info> script;
    for (int k = 0; k < 64; ++k)
        for (int al = 10; al >= 0; --al)
            script.push_back({1, {0}, k, k, al == 10 ? 0 : al + 1, al});
    const Data manyScans = libjpeg(Data(256, 99), 16, 1, JCS_GRAYSCALE, [&](jpeg_compress_struct* c) {
        c->scan_info = script.data();
        c->num_scans = int(script.size());
    });
    struct Case {
        Data bytes;
        ErrorCode code;
        std::int64_t limit = kMaxBitmapBytes;
        std::string says = {};
    };
    std::vector<Case> cases{
        {{}, ErrorCode::Corrupt},
        {{'h', 'e', 'l', 'l', 'o'}, ErrorCode::Corrupt},
        {{0x89, 'P', 'N', 'G', 13, 10, 26, 10, 0, 0, 0, 13}, ErrorCode::Corrupt},
        {{0xFF, 0xD8, 0xFF, 0xD9}, ErrorCode::Corrupt},
        {twelveBit, ErrorCode::Unsupported, kMaxBitmapBytes, "12-bit JPEG is not supported"},
        {lossless, ErrorCode::Unsupported, kMaxBitmapBytes, "lossless JPEG is not supported"},
        {withSize(jpeg, 65000, 65000), ErrorCode::TooLarge},
        // Far more blocks than the file has bits: refused before any pixel is allocated.
        {withSize(jpeg, 4000, 3000), ErrorCode::Corrupt, kMaxBitmapBytes, "too small"},
        {jpeg, ErrorCode::TooLarge, exact - 1},
        {manyScans, ErrorCode::Corrupt},
    };
    if (haveTools()) {
        test::TempDir dir;
        // A big progressive frame with nothing behind it fails on its data, not on memory.
        cases.push_back({withSize(cjpeg(dir, test::photoLike(17, 9), "-progressive"), 8000, 8000), ErrorCode::Corrupt});
        Data lostSync = cjpeg(dir, test::photoLike(33, 65), "-restart 1");
        for (std::size_t i = findSegment(lostSync, 0xDA, 0xDA); i + 1 < lostSync.size(); ++i)
            if (lostSync[i] == 0xFF && lostSync[i + 1] == 0xD1) {
                lostSync[i + 1] = 0xD4;
                break;
            }
        cases.push_back({lostSync, ErrorCode::Corrupt});
    }
    for (std::size_t i = 0; i < cases.size(); ++i) {
        auto decoded = decodeJpeg(cases[i].bytes, DecodeLimits{cases[i].limit});
        ASSERT_FALSE(decoded) << "case " << i;
        EXPECT_EQ(decoded.error().code, cases[i].code) << "case " << i << ": " << decoded.error().message;
        EXPECT_NE(decoded.error().message.find(cases[i].says), std::string::npos) << decoded.error().message;
        // The header probe refuses what the headers already show, for the same reason.
        const HeaderProbe probe = probeJpeg(cases[i].bytes, cases[i].bytes.size(), DecodeLimits{cases[i].limit});
        if (!probe.size && cases[i].code != ErrorCode::Corrupt) {
            EXPECT_EQ(probe.size.error().message, decoded.error().message) << "case " << i;
        }
    }
    EXPECT_TRUE(decodeJpeg(jpeg, DecodeLimits{exact}));
}

TEST(JpegDecode, StrayBytesBetweenSegmentsAreIgnored)
{
    const Data clean = encodeJpeg(test::photoLike(33, 65), 90).value();
    Data stray = clean;
    stray.insert(stray.begin() + 20, {0x00, 0x17, 0x00});  // after APP0
    auto a = decodeJpeg(clean);
    auto b = decodeJpeg(stray);
    ASSERT_TRUE(a && b);
    EXPECT_TRUE(a.value().bitmap == b.value().bitmap);
}

// Arithmetic-coded data may stop early and decode as zeros (the standard allows it), so
// there a small file can be a big picture; Huffman-coded files cannot.
TEST(JpegDecode, ArithmeticCodedFilesMayEndEarly)
{
    const Data arithmetic =
        libjpeg(Data(16 * 16 * 3, 77), 16, 3, JCS_RGB, [](jpeg_compress_struct* c) { c->arith_code = TRUE; });
    Data big = arithmetic;
    const std::size_t f = findSegment(big, 0xC9, 0xC9);  // arithmetic sequential frame
    ASSERT_NE(f, 0u);
    big[f + 3] = 0, big[f + 4] = 160, big[f + 5] = 0, big[f + 6] = 160;
    auto decoded = decodeJpeg(big);
    ASSERT_TRUE(decoded) << decoded.error().message;
    EXPECT_EQ(decoded.value().bitmap.width(), 160);
}

TEST(JpegProbe, GivesTheDecodersSizeFromTheMarkersBeforeTheFirstScan)
{
    std::vector<Data> files{
        encodeJpeg(test::photoLike(17, 9), 90).value(),
        libjpeg(Data(40 * 8, 5), 40, 1, JCS_GRAYSCALE, [](jpeg_compress_struct* c) { jpeg_simple_progression(c); })};
    for (const Data& file : files) {
        auto decoded = decodeJpeg(file);
        ASSERT_TRUE(decoded);
        const std::size_t scan = findSegment(file, 0xDA, 0xDA);
        ASSERT_NE(scan, 0u);
        const std::size_t headers = scan + (file[scan] << 8 | file[scan + 1]);
        const HeaderProbe probe = probeJpeg(Bytes(file.data(), headers), file.size());
        ASSERT_TRUE(probe.size) << probe.size.error().message;
        EXPECT_EQ(probe.size.value(), (PictureSize{decoded.value().bitmap.width(), decoded.value().bitmap.height()}));
        const HeaderProbe cut = probeJpeg(Bytes(file.data(), scan - 4), file.size());
        EXPECT_FALSE(cut.size);
        EXPECT_TRUE(cut.needsMore);
        EXPECT_FALSE(probeJpeg(Bytes(file.data(), scan - 4), scan - 4).needsMore);  // that was all of it
    }
}

}  // namespace
}  // namespace trimlet
