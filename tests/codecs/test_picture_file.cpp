#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <sys/resource.h>

#include "codecs/bmp.h"
#include "codecs/picture_file.h"
#include "tests/support/test_support.h"

namespace trimlet {
namespace {

using test::TempDir;

TEST(FormatTable, ExtensionDecidesInAnyLetterCase)
{
    const std::vector<std::pair<std::string, std::optional<PictureKind>>> cases{
        {"SCAN.JPEG", PictureKind::Jpeg},   {"scan.jpg", PictureKind::Jpeg},   {"/a/b/Scan.Jpg", PictureKind::Jpeg},
        {"photo.Png", PictureKind::Png},    {"anim.GIF", PictureKind::Gif},    {"x.bmp", PictureKind::Bitmap},
        {"a.b.c.bmp", PictureKind::Bitmap}, {"scan.jfif", std::nullopt},       {"scan.tif", std::nullopt},
        {"scan.jpg.txt", std::nullopt},     {"noextension", std::nullopt},     {"dir.jpg/file", std::nullopt},
        {"trailingdot.", std::nullopt},     {"x.jpgg", std::nullopt},          {"x.pn", std::nullopt},
    };
    for (const auto& [path, kind] : cases)
        EXPECT_EQ(kindForPath(path), kind) << path;
}

class LoadPictureFile : public ::testing::Test {
protected:
    TempDir dir;
    // A small valid BMP to put under various names.
    std::vector<std::uint8_t> bmpBytes() const { return encodeBmp(test::photoLike(5, 3)); }
};

TEST_F(LoadPictureFile, ContentNeverChoosesTheDecoder)
{
    const auto bmp = bmpBytes();
    test::writeBytes(dir.file("ok.BMP"), bmp);
    auto ok = loadPictureFile(dir.file("ok.BMP"));
    ASSERT_TRUE(ok) << ok.error().message;
    EXPECT_EQ(ok.value().kind(), PictureKind::Bitmap);
    EXPECT_EQ(ok.value().width(), 5);
    EXPECT_EQ(ok.value().height(), 3);

    // The same bytes under other names: wrong decoder, or no decoder at all.
    for (const char* name : {"as.gif", "as.png", "as.jpg", "as.jfif", "as.tif", "as"}) {
        test::writeBytes(dir.file(name), bmp);
        auto r = loadPictureFile(dir.file(name));
        EXPECT_FALSE(r) << name;
    }
    EXPECT_EQ(loadPictureFile(dir.file("as.tif")).error().code, ErrorCode::Unsupported);
}

TEST_F(LoadPictureFile, MissingFilesAndFoldersFailAsIo)
{
    EXPECT_EQ(loadPictureFile(dir.file("none.png")).error().code, ErrorCode::Io);
    std::filesystem::create_directory(dir.file("folder.png"));
    EXPECT_EQ(loadPictureFile(dir.file("folder.png")).error().code, ErrorCode::Io);
}

TEST_F(LoadPictureFile, AFailedLoadLeavesTheCallersPictureAlone)
{
    Picture current(test::photoLike(4, 4));
    const Picture before = current;
    test::writeBytes(dir.file("broken.bmp"), {'B', 'M', 1, 2, 3});
    if (auto loaded = loadPictureFile(dir.file("broken.bmp")))
        current = loaded.value();
    EXPECT_EQ(current.bitmap(), before.bitmap());
}


std::vector<std::string> namesIn(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(WriteFileAtomic, ReplacesOrRefusesAndNeverLeavesAPartialFile)
{
    TempDir dir;
    const std::string target = dir.file("out.jpg");
    const std::vector<std::uint8_t> oldBytes(100, 'o'), newBytes(5000, 'n');
    test::writeBytes(target, oldBytes);

    const Status refused = writeFileAtomic(target, newBytes, WriteMode::NoReplace);
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().code, ErrorCode::Exists);
    EXPECT_EQ(test::readBytes(target), oldBytes);

    test::withFileSizeLimit(1000, [&] { EXPECT_FALSE(writeFileAtomic(target, newBytes, WriteMode::Replace)); });
    EXPECT_EQ(test::readBytes(target), oldBytes);
    EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"out.jpg"});

    ASSERT_TRUE(writeFileAtomic(target, newBytes, WriteMode::Replace));
    EXPECT_EQ(test::readBytes(target), newBytes);

    ASSERT_TRUE(writeFileAtomic(dir.file("fresh.bmp"), newBytes, WriteMode::NoReplace));
    EXPECT_EQ(test::readBytes(dir.file("fresh.bmp")), newBytes);
    EXPECT_EQ(namesIn(dir.path()), (std::vector<std::string>{"fresh.bmp", "out.jpg"}));

    EXPECT_FALSE(writeFileAtomic(dir.file("gone/out.jpg"), newBytes));
    EXPECT_FALSE(test::fileExists(dir.file("gone")));
}

TEST(WritePictureFiles, EmptyPicturesWriteNothing)
{
    TempDir dir;
    EXPECT_FALSE(writeJpegFile(Bitmap(), 90, dir.file("a.jpg")));
    EXPECT_FALSE(writeBmpFile(Bitmap(), dir.file("a.bmp")));
    EXPECT_FALSE(writeJpegFile(Bitmap(0, 5), 90, dir.file("b.jpg")));
    EXPECT_TRUE(namesIn(dir.path()).empty());
}

TEST(WritePictureFiles, WrittenFilesLoadBack)
{
    TempDir dir;
    const Bitmap b = test::photoLike(33, 7);
    ASSERT_TRUE(writeBmpFile(b, dir.file("a.bmp")));
    ASSERT_TRUE(writeJpegFile(b, 95, dir.file("a.jpeg")));
    EXPECT_EQ(loadPictureFile(dir.file("a.bmp")).value().bitmap(), b);
    const Picture jpeg = loadPictureFile(dir.file("a.jpeg")).value();
    EXPECT_EQ(jpeg.kind(), PictureKind::Jpeg);
    EXPECT_EQ(jpeg.fileBytes(), test::readBytes(dir.file("a.jpeg")));
    EXPECT_LE(test::maxChannelDifference(jpeg.bitmap(), b), 40);
}

}  // namespace
}  // namespace trimlet
