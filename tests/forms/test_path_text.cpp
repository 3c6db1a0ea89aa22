#include <gtest/gtest.h>

#include <QFile>
#include <filesystem>
#include <unistd.h>

#include "base/byte_path.h"
#include "forms/widgets/path_text.h"
#include "tests/support/test_support.h"

using namespace trimlet;

namespace {

// 画像 and 写真 as an old Japanese archive stores them: Shift_JIS bytes, not UTF-8.
const std::string kPicture = "\x89\xe6\x91\x9c";
const std::string kPhotos = "\x8e\xca\x90\x5e";

}  // namespace

TEST(LocalPath, ShowsUtf8AndShiftJisComponentsAsTextAndTheRestWithReplacements)
{
    EXPECT_EQ(displayPath("/tmp/写真/a b.png"), QStringLiteral("/tmp/写真/a b.png"));
    // Each component on its own: a UTF-8 folder around a Shift_JIS name.
    EXPECT_EQ(displayPath("/tmp/写真/" + kPicture + ".png"), QStringLiteral("/tmp/写真/画像.png"));
    EXPECT_EQ(displayPath("/" + kPhotos + "/" + kPicture + "(1).jpg"), QStringLiteral("/写真/画像(1).jpg"));
    // Latin-1 café is neither: the byte that does not decode shows as U+FFFD.
    EXPECT_EQ(displayPath("/tmp/caf\xe9.png"), QStringLiteral("/tmp/caf\uFFFD.png"));
}

TEST(LocalPath, SplitsAndCompletesPathsByBytes)
{
    EXPECT_EQ(fileNamePart("/a/" + kPicture + ".png"), kPicture + ".png");
    EXPECT_EQ(folderPart("/a/" + kPicture + ".png"), "/a");
    EXPECT_EQ(folderPart("/x.png"), "/");
    EXPECT_EQ(folderPart("x.png"), "");
    EXPECT_EQ(fileNamePart("x.png"), "x.png");

    const std::string cwd = std::filesystem::current_path().string();
    EXPECT_EQ(absoluteLocalPath(kPhotos + "/" + kPicture + ".png"), cwd + "/" + kPhotos + "/" + kPicture + ".png");
    EXPECT_EQ(absoluteLocalPath("/a/./b/../" + kPicture), "/a/" + kPicture);
    EXPECT_EQ(absoluteLocalPath("/a/b/"), "/a/b");
    EXPECT_EQ(absoluteLocalPath(""), "");
}

TEST(LocalPath, FileUrlsCarryEveryByteBothWays)
{
    // What a file manager sends for a Shift_JIS name: its bytes percent-encoded.
    EXPECT_EQ(localPathOfUrl(QUrl::fromEncoded("file:///tmp/%89%E6%91%9C.png")), "/tmp/" + kPicture + ".png");
    EXPECT_EQ(localPathOfUrl(QUrl::fromEncoded("file:///a%20b/%23c%25d%3F.png")), "/a b/#c%d?.png");
    EXPECT_EQ(localPathOfUrl(QUrl::fromEncoded("file://server/share/x.png")), "//server/share/x.png");
    EXPECT_EQ(localPathOfUrl(QUrl(QStringLiteral("https://example.org/x.png"))), "");

    std::string everyByte = "/";
    for (int b = 1; b < 256; ++b)
        if (b != '/')
            everyByte += char(b);
    for (const std::string& path : {everyByte, "/" + kPhotos + "/" + kPicture + ".png", std::string("/写真/x y.png")}) {
        const QUrl url = urlOfLocalPath(path);
        EXPECT_TRUE(url.isValid());
        EXPECT_EQ(localPathOfUrl(url), path);
        // Also through the text a drag carries.
        EXPECT_EQ(localPathOfUrl(QUrl::fromEncoded(url.toEncoded())), path);
    }
}

TEST(LocalPath, DialogAnswersFindTheirBytes)
{
    const test::TempDir dir;
    const std::string sjis = dir.file(kPicture + ".png");
    test::writeBytes(sjis, {1});

    // Text without lost bytes is taken as UTF-8, whether or not the file exists.
    EXPECT_EQ(pathFromDialog(QStringLiteral("/tmp/写真/new.jpg")), "/tmp/写真/new.jpg");
    EXPECT_EQ(pathFromDialog(QString()), "");
    // The proposal, shown decoded or with replacement characters, means the proposal's bytes.
    const std::string proposal = dir.file(kPicture + "(1).jpg");
    EXPECT_EQ(pathFromDialog(displayPath(proposal), {proposal}), proposal);
    EXPECT_EQ(pathFromDialog(QFile::decodeName(QByteArray::fromStdString(proposal)), {proposal}), proposal);
    // A name that lost bytes is found among its folder's entries.
    EXPECT_EQ(pathFromDialog(QFile::decodeName(QByteArray::fromStdString(sjis))), sjis);
    const std::string lost = dir.file("\xff\xfe.png");
    test::writeBytes(lost, {1});
    const QString shown = QString::fromStdString(dir.path()) + QStringLiteral("/\uFFFD\uFFFD.png");
    EXPECT_EQ(pathFromDialog(shown), lost);
    // Two entries that show alike: neither is guessed.
    test::writeBytes(dir.file("\xfe\xff.png"), {1});
    EXPECT_EQ(pathFromDialog(shown), QFile::encodeName(shown).toStdString());
}

TEST(LocalPath, DialogsStartInTheNearestFolderThatIsText)
{
    EXPECT_EQ(utf8Ancestor("/tmp/写真"), "/tmp/写真");
    EXPECT_EQ(utf8Ancestor("/tmp/" + kPhotos + "/inner"), "/tmp");
    EXPECT_EQ(utf8Ancestor("/" + kPhotos), "/");
    EXPECT_EQ(utf8Ancestor("rel/" + kPhotos), "rel");
}
