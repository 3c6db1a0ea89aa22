#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <zlib.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "base/parallel.h"
#include "codecs/picture_file.h"
#include "codecs/png.h"
#include "codecs/webp.h"
#include "tests/support/test_support.h"

namespace trimlet {
namespace {

using Data = std::vector<std::uint8_t>;
using test::TempDir;

// The chunk types of a PNG file in order.
std::vector<std::string> pngChunks(const Data& png)
{
    std::vector<std::string> types;
    for (std::size_t at = 8; at + 8 <= png.size();) {
        const std::size_t length = std::size_t(png[at]) << 24 | png[at + 1] << 16 | png[at + 2] << 8 | png[at + 3];
        types.emplace_back(png.begin() + std::ptrdiff_t(at + 4), png.begin() + std::ptrdiff_t(at + 8));
        at += 12 + length;
    }
    return types;
}

TEST(PngOutput, RoundTripsExactlyWithOnlyTheImageChunks)
{
    for (const auto& [w, h] : {std::pair{1, 1}, {3, 5}, {101, 67}, {640, 2}}) {
        const Bitmap source = test::noisePicture(w, h, std::uint32_t(w + h));
        auto png = encodePng(source);
        ASSERT_TRUE(png);
        auto back = decodePng(png.value());
        ASSERT_TRUE(back);
        EXPECT_EQ(back.value().bitmap, source) << w << "x" << h;
        EXPECT_TRUE(back.value().mask.empty());
        const std::vector<std::string> chunks = pngChunks(png.value());
        ASSERT_GE(chunks.size(), 3u);
        EXPECT_EQ(chunks.front(), "IHDR");
        EXPECT_EQ(chunks.back(), "IEND");
        for (std::size_t i = 1; i + 1 < chunks.size(); ++i)
            EXPECT_EQ(chunks[i], "IDAT");
        EXPECT_EQ(png.value()[24], 8);  // bit depth
        EXPECT_EQ(png.value()[25], 2);  // truecolour, no alpha
    }
    EXPECT_FALSE(encodePng(Bitmap()));
}

// The filter byte of every row, from the inflated image data.
std::set<int> rowFilters(const Data& png, int width, int height)
{
    Data idat;
    for (std::size_t at = 8; at + 8 <= png.size();) {
        const std::size_t length = std::size_t(png[at]) << 24 | png[at + 1] << 16 | png[at + 2] << 8 | png[at + 3];
        if (std::equal(png.begin() + std::ptrdiff_t(at + 4), png.begin() + std::ptrdiff_t(at + 8), "IDAT"))
            idat.insert(idat.end(), png.begin() + std::ptrdiff_t(at + 8),
                        png.begin() + std::ptrdiff_t(at + 8 + length));
        at += 12 + length;
    }
    const std::size_t rowBytes = 1 + std::size_t(width) * 3;
    Data rows(rowBytes * std::size_t(height));
    uLongf size = rows.size();
    if (uncompress(rows.data(), &size, idat.data(), idat.size()) != Z_OK || size != rows.size())
        return {};
    std::set<int> filters;
    for (std::size_t y = 0; y < std::size_t(height); ++y)
        filters.insert(rows[y * rowBytes]);
    return filters;
}

// Rows that each favour another filter: flat (none), a ramp shifted from row to row (sub), a
// repeated noisy row (up) and photo content (mostly Paeth), at sizes with odd widths and at one
// large enough to be filtered by two threads, whose file must equal the one-thread file. Row
// 516, where the threads part, repeats the row above: only there does Up beat none and sub.
TEST(PngOutput, EveryRowFilterRoundTripsAndThreadsChangeNoByte)
{
    const Bitmap noise = test::noisePicture(2048, 1, 5);
    for (const auto& [w, h] : {std::pair{1, 1}, {1, 9}, {7, 3}, {333, 41}, {1920, 1080}, {2048, 1032}}) {
        Bitmap source = test::photoLike(w, h, 3);
        for (int y = 0; y < h; ++y) {
            std::uint8_t* row = source.row(y);
            for (int i = 0; i < w * 3; ++i) {
                if (y % 8 == 1)
                    row[i] = 0;
                else if (y % 8 == 6)
                    row[i] = std::uint8_t(i + 37 * y);
                else if (y % 8 == 3 || y % 8 == 4)
                    row[i] = noise.row(0)[i];
            }
        }
        setThreadLimit(1);
        const auto single = encodePng(source);
        setThreadLimit(0);
        const auto png = encodePng(source);
        ASSERT_TRUE(single && png);
        EXPECT_TRUE(png.value() == single.value()) << w << "x" << h;
        auto back = decodePng(png.value());
        ASSERT_TRUE(back);
        EXPECT_EQ(back.value().bitmap, source) << w << "x" << h;
        if (h >= 1000) {
            EXPECT_EQ(rowFilters(png.value(), w, h), (std::set<int>{0, 1, 2, 4}));
            if (test::haveProgram("vips")) {
                TempDir dir;
                test::writeBytes(dir.file("out.png"), png.value());
                ASSERT_EQ(test::runCommand("vips copy " + dir.file("out.png") + " " + dir.file("out.ppm")).exitCode, 0);
                EXPECT_EQ(test::fromPnm(test::readBytes(dir.file("out.ppm"))), source);
            }
        }
    }
}

TEST(PngOutput, AnIndependentReaderSeesTheSamePixels)
{
    ASSERT_TRUE(test::haveProgram("convert")) << "ImageMagick is missing";
    TempDir dir;
    const Bitmap source = test::photoLike(57, 31, 4);
    ASSERT_TRUE(writePngFile(source, dir.file("out.png")));
    const auto r = test::runCommand("convert " + dir.file("out.png") + " " + dir.file("out.ppm"));
    ASSERT_EQ(r.exitCode, 0);
    EXPECT_EQ(test::fromPnm(test::readBytes(dir.file("out.ppm"))), source);
}

TEST(WebpOutput, DwebpReadsItAtItsSizeAndTheFileHoldsTheEncodedBytes)
{
    ASSERT_TRUE(test::haveProgram("dwebp")) << "dwebp is missing (package webp)";
    TempDir dir;
    const Bitmap source = test::photoLike(211, 97, 2);
    ASSERT_TRUE(writeWebpFile(source, 80, dir.file("out.webp")));
    const Data written = test::readBytes(dir.file("out.webp"));
    EXPECT_EQ(written, encodeWebp(source, 80).value());
    const auto r = test::runCommand("dwebp -quiet " + dir.file("out.webp") + " -ppm -o " + dir.file("d.ppm"));
    ASSERT_EQ(r.exitCode, 0);
    const Bitmap decoded = test::fromPnm(test::readBytes(dir.file("d.ppm")));
    EXPECT_EQ(decoded.width(), 211);
    EXPECT_EQ(decoded.height(), 97);
    EXPECT_EQ(loadPictureAsStored(dir.file("out.webp")).value().bitmap(), decoded);
}

TEST(OutputWriters, FailuresLeaveNoFileAndKeepTheOldOne)
{
    TempDir dir;
    const Bitmap big = test::noisePicture(300, 200, 8);  // compresses badly: well past 4 kB
    const Data old(10, 'o');
    const auto writers = {
        std::pair<std::string, std::function<Status(const std::string&)>>{
            "out.png", [&](const std::string& path) { return writePngFile(big, path); }},
        {"out.webp", [&](const std::string& path) { return writeWebpFile(big, 90, path); }},
    };
    for (const auto& [name, write] : writers) {
        const std::string target = dir.file(name);
        test::writeBytes(target, old);
        test::withFileSizeLimit(4096, [&] { EXPECT_FALSE(write(target)) << name; });
        EXPECT_EQ(test::readBytes(target), old) << name;
        EXPECT_FALSE(write(dir.file("missing/" + name)));
        EXPECT_FALSE(writePngFile(Bitmap(), dir.file("empty.png")));
        EXPECT_FALSE(writeWebpFile(Bitmap(), 90, dir.file("empty.webp")));
        EXPECT_FALSE(writeWebpFile(big, 0, dir.file("q0.webp")));
        ASSERT_TRUE(write(target));
        EXPECT_NE(test::readBytes(target), old);
    }
    EXPECT_EQ(test::entryNames(dir.path()), (std::vector<std::string>{"out.png", "out.webp"}));

    if (::geteuid() != 0) {  // root writes anywhere
        const std::string locked = dir.file("locked");
        ASSERT_EQ(::mkdir(locked.c_str(), 0500), 0);
        EXPECT_FALSE(writePngFile(big, locked + "/a.png"));
        EXPECT_FALSE(writeWebpFile(big, 50, locked + "/a.webp"));
        EXPECT_TRUE(test::entryNames(locked).empty());
        ::chmod(locked.c_str(), 0700);
    }
}

}  // namespace
}  // namespace trimlet
