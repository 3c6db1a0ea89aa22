// Files with restart markers decoded in bands on several threads against the one-thread decode:
// the same bytes for the whole picture and for regions, the same failure for damaged data.
#include <gtest/gtest.h>

#include <jpeglib.h>

#include "base/file_io.h"
#include "codecs/jpeg.h"
#include "codecs/jpeg_restart.h"
#include "tests/codecs/libjpeg_writer.h"
#include "tests/support/test_support.h"

namespace trimlet {
namespace {

using Data = std::vector<std::uint8_t>;

struct Layout {
    const char* name;
    int width, height;
    int h, v;        // the first component's sampling; 0 for greyscale
    int rows, mcus;  // restart interval in MCU rows, or in MCUs
};

Data restartFile(const Layout& l)
{
    const Bitmap picture = test::photoLike(l.width, l.height, 5);
    Data samples;
    for (int y = 0; y < l.height; ++y)
        for (int x = 0; x < l.width; ++x) {
            const std::uint8_t* p = picture.row(y) + 3 * x;
            if (l.h == 0)
                samples.push_back(p[1]);
            else
                samples.insert(samples.end(), {p[2], p[1], p[0]});
        }
    return test::libjpeg(samples, l.width, l.h == 0 ? 1 : 3, l.h == 0 ? JCS_GRAYSCALE : JCS_RGB,
                         [&](jpeg_compress_struct* c) {
                             if (l.h != 0) {
                                 c->comp_info[0].h_samp_factor = l.h;
                                 c->comp_info[0].v_samp_factor = l.v;
                             }
                             c->restart_in_rows = l.rows;
                             c->restart_interval = unsigned(l.mcus);
                         });
}

// The offsets of the restart markers.
std::vector<std::size_t> restarts(const Data& f)
{
    std::vector<std::size_t> at;
    for (std::size_t i = 0; i + 1 < f.size(); ++i)
        if (f[i] == 0xFF && f[i + 1] >= 0xD0 && f[i + 1] <= 0xD7)
            at.push_back(i);
    return at;
}

struct Bands {
    explicit Bands(int n) { jpeg_internal::setRestartBands(n); }
    ~Bands() { jpeg_internal::setRestartBands(0); }
};

Result<DecodedImage> oneThread(const Data& f, const JpegRegion* region = nullptr)
{
    const Bands off(-1);
    return region ? decodeJpegRegion(f, *region) : decodeJpeg(f);
}

bool sameRegion(const Bitmap& whole, const Bitmap& part, JpegRegion r)
{
    for (int y = 0; y < r.height; ++y)
        if (!std::equal(part.row(y), part.row(y) + 3 * r.width, whole.row(r.y + y) + 3 * r.x))
            return false;
    return true;
}

TEST(JpegRestart, BandsGiveTheOneThreadBytes)
{
    const Layout layouts[] = {
        {"4:2:0, every MCU row", 333, 203, 2, 2, 1, 0},     {"4:2:0, every MCU", 333, 203, 2, 2, 0, 1},
        {"4:2:0, 8 intervals a row", 381, 170, 2, 2, 0, 3}, {"4:2:0, 7 of 24 MCUs", 381, 240, 2, 2, 0, 7},
        {"4:2:2, every 2 rows", 301, 157, 2, 1, 2, 0},      {"4:4:0, every row", 170, 211, 1, 2, 1, 0},
        {"4:4:4, every row", 250, 99, 1, 1, 1, 0},          {"grey, every 3 rows", 203, 161, 0, 0, 3, 0},
    };
    const test::TempDir dir;
    for (const Layout& l : layouts) {
        SCOPED_TRACE(l.name);
        const Data file = restartFile(l);
        const std::string path = dir.file("r.jpg");
        test::writeBytes(path, file);
        auto onDisk = RegularFile::open(path);
        ASSERT_TRUE(onDisk);
        auto whole = oneThread(file);
        ASSERT_TRUE(whole);
        const Bitmap& expected = whole.value().bitmap;
        const int w = l.width, h = l.height;
        const JpegRegion regions[] = {{0, 0, w, h},     {5, 37, 100, 50}, {w - 61, h - 45, 61, 45},
                                      {17, 16, 80, 16}, {0, h / 2, w, 1}, {w / 3, 15, 1, h - 30}};
        for (int n : {1, 2, 3}) {
            SCOPED_TRACE(n);
            const Bands bands(n);
            const int before = jpeg_internal::bandedDecodes();
            auto full = decodeJpeg(file);
            ASSERT_TRUE(full);
            EXPECT_TRUE(full.value().bitmap == expected);
            // One band of the whole picture is the one-thread decode itself.
            EXPECT_EQ(jpeg_internal::bandedDecodes() - before, n > 1 ? 1 : 0);
            for (const JpegRegion& r : regions) {
                SCOPED_TRACE(testing::Message() << r.x << "," << r.y << " " << r.width << "×" << r.height);
                const int banded = jpeg_internal::bandedDecodes();
                auto part = decodeJpegRegion(file, r);
                auto fromDisk = decodeJpegRegion(onDisk.value(), r);
                ASSERT_TRUE(part && fromDisk);
                if (n > 1) {
                    EXPECT_EQ(jpeg_internal::bandedDecodes() - banded, 2);
                }
                EXPECT_TRUE(sameRegion(expected, part.value().bitmap, r));
                EXPECT_TRUE(sameRegion(expected, fromDisk.value().bitmap, r));
            }
        }
    }
}

TEST(JpegRestart, DamagedIntervalsFailAsOnOneThread)
{
    const Data good = restartFile({"", 333, 203, 2, 2, 1, 0});
    const auto at = restarts(good);
    ASSERT_EQ(at.size(), 12u);
    Data shortened = good;  // the interval before the sixth marker keeps one byte
    shortened.erase(shortened.begin() + std::ptrdiff_t(at[4] + 3), shortened.begin() + std::ptrdiff_t(at[5]));
    Data misnumbered = good;
    misnumbered[at[5] + 1] ^= 1;
    Data truncated(good.begin(), good.begin() + std::ptrdiff_t(at[9] + 40));
    const JpegRegion across{10, 64, 200, 48};  // rows of MCU rows 4..6
    for (const Data* f : {&shortened, &misnumbered, &truncated}) {
        auto whole = oneThread(*f);
        auto part = oneThread(*f, &across);
        ASSERT_FALSE(whole);
        ASSERT_FALSE(part);
        EXPECT_EQ(whole.error().code, ErrorCode::Corrupt);
        for (int n : {2, 3}) {
            const Bands bands(n);
            auto full = decodeJpeg(*f);
            auto region = decodeJpegRegion(*f, across);
            ASSERT_FALSE(full);
            ASSERT_FALSE(region);
            EXPECT_EQ(full.error().code, whole.error().code);
            EXPECT_EQ(full.error().message, whole.error().message);
            EXPECT_EQ(region.error().code, part.error().code);
            EXPECT_EQ(region.error().message, part.error().message);
        }
    }
}

}  // namespace
}  // namespace trimlet
