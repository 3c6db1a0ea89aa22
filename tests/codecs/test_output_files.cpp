#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <vector>

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
