#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <functional>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utime.h>

#include "codecs/bmp.h"
#include "codecs/jpeg.h"
#include "codecs/picture_file.h"
#include "tests/support/test_support.h"

namespace trimlet {
namespace {

using test::TempDir;

TEST(FormatTable, ExtensionDecidesInAnyLetterCase)
{
    const std::vector<std::pair<std::string, std::optional<PictureKind>>> cases{
        {"SCAN.JPEG", PictureKind::Jpeg},     {"scan.jpg", PictureKind::Jpeg}, {"/a/b/Scan.Jpg", PictureKind::Jpeg},
        {"photo.Png", PictureKind::Png},      {"anim.GIF", PictureKind::Gif},  {"x.bmp", PictureKind::Bitmap},
        {"a.b.c.bmp", PictureKind::Bitmap},   {"scan.jfif", std::nullopt},     {"scan.tif", PictureKind::Tiff},
        {"scan.jpg.txt", std::nullopt},       {"noextension", std::nullopt},   {"dir.jpg/file", std::nullopt},
        {"trailingdot.", std::nullopt},       {"x.jpgg", std::nullopt},        {"x.pn", std::nullopt},
        {"IMG_0001.HEIC", PictureKind::Heif}, {"a.heif", PictureKind::Heif},   {"x.avif", PictureKind::Avif},
        {"SCAN.TIFF", PictureKind::Tiff},     {"x.tiff.bak", std::nullopt},    {"x.hei", std::nullopt},
        {"clip.WebP", PictureKind::Webp},     {"x.web", std::nullopt},         {"art.JXL", PictureKind::Jxl},
    };
    for (const auto& [path, kind] : cases)
        EXPECT_EQ(kindForPath(path), kind) << path;
    for (const char* path : {"IMG_1.CR2", "a.cr3", "DSC.NEF", "x.ARW", "x.raf", "P1.ORF", "x.Rw2", "x.dng", "IMGP.PEF"})
        EXPECT_EQ(kindForPath(path), PictureKind::Raw) << path;
    EXPECT_EQ(kindForPath("x.raw"), std::nullopt);
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
    auto ok = loadPictureAsStored(dir.file("ok.BMP"));
    ASSERT_TRUE(ok) << ok.error().message;
    EXPECT_EQ(ok.value().kind(), PictureKind::Bitmap);
    EXPECT_EQ(ok.value().width(), 5);
    EXPECT_EQ(ok.value().height(), 3);

    // The same bytes under other names: wrong decoder, or no decoder at all.
    for (const char* name : {"as.gif", "as.png", "as.jpg", "as.jfif", "as.tif", "as"}) {
        test::writeBytes(dir.file(name), bmp);
        auto r = loadPictureAsStored(dir.file(name));
        EXPECT_FALSE(r) << name;
    }
    EXPECT_EQ(loadPictureAsStored(dir.file("as.jfif")).error().code, ErrorCode::Unsupported);
}

TEST_F(LoadPictureFile, MissingFilesAndFoldersFailAsIo)
{
    EXPECT_EQ(loadPictureAsStored(dir.file("none.png")).error().code, ErrorCode::Io);
    std::filesystem::create_directory(dir.file("folder.png"));
    EXPECT_EQ(loadPictureAsStored(dir.file("folder.png")).error().code, ErrorCode::Io);
}

TEST_F(LoadPictureFile, AFailedLoadLeavesTheCallersPictureAlone)
{
    Picture current(test::photoLike(4, 4));
    const Picture before = current;
    test::writeBytes(dir.file("broken.bmp"), {'B', 'M', 1, 2, 3});
    if (auto loaded = loadPictureAsStored(dir.file("broken.bmp")))
        current = loaded.value();
    EXPECT_EQ(current.bitmap(), before.bitmap());
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
    EXPECT_EQ(test::entryNames(dir.path()), std::vector<std::string>{"out.jpg"});

    ASSERT_TRUE(writeFileAtomic(target, newBytes, WriteMode::Replace));
    EXPECT_EQ(test::readBytes(target), newBytes);

    ASSERT_TRUE(writeFileAtomic(dir.file("fresh.bmp"), newBytes, WriteMode::NoReplace));
    EXPECT_EQ(test::readBytes(dir.file("fresh.bmp")), newBytes);
    EXPECT_EQ(test::entryNames(dir.path()), (std::vector<std::string>{"fresh.bmp", "out.jpg"}));

    EXPECT_FALSE(writeFileAtomic(dir.file("gone/out.jpg"), newBytes));
    EXPECT_FALSE(test::fileExists(dir.file("gone")));
}

TEST(WritePictureFiles, EmptyPicturesWriteNothing)
{
    TempDir dir;
    EXPECT_FALSE(writeJpegFile(Bitmap(), 90, dir.file("a.jpg")));
    EXPECT_FALSE(writeBmpFile(Bitmap(), dir.file("a.bmp")));
    EXPECT_FALSE(writeJpegFile(Bitmap(0, 5), 90, dir.file("b.jpg")));
    EXPECT_TRUE(test::entryNames(dir.path()).empty());
}

TEST(WritePictureFiles, WrittenFilesLoadBack)
{
    TempDir dir;
    const Bitmap b = test::photoLike(33, 7);
    ASSERT_TRUE(writeBmpFile(b, dir.file("a.bmp")));
    ASSERT_TRUE(writeJpegFile(b, 95, dir.file("a.jpeg")));
    EXPECT_EQ(loadPictureAsStored(dir.file("a.bmp")).value().bitmap(), b);
    const Picture jpeg = loadPictureAsStored(dir.file("a.jpeg")).value();
    EXPECT_EQ(jpeg.kind(), PictureKind::Jpeg);
    EXPECT_EQ(jpeg.fileBytes(), test::readBytes(dir.file("a.jpeg")));
    EXPECT_LE(test::maxChannelDifference(jpeg.bitmap(), b), 40);
}

// Runs fn in a child process that is killed after `seconds`: a read that blocks fails the
// test instead of hanging it. True when fn returned true in time.
bool inChildWithin(unsigned seconds, const std::function<bool()>& fn)
{
    const pid_t child = ::fork();
    if (child == 0) {
        ::alarm(seconds);
        ::_exit(fn() ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST(ReadRegularFilesOnly, FifosSocketsAndDevicesAreRefusedWithoutWaiting)
{
    TempDir dir;
    ASSERT_EQ(::mkfifo(dir.file("pipe.jpg").c_str(), 0600), 0);
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string socketPath = dir.file("socket.png");
    ASSERT_LT(socketPath.size(), sizeof address.sun_path);
    std::copy(socketPath.begin(), socketPath.end(), address.sun_path);
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    std::filesystem::create_symlink("/dev/zero", dir.file("zero.bmp"));
    std::filesystem::create_symlink("/dev/null", dir.file("null.gif"));
    for (const char* name : {"pipe.jpg", "socket.png", "zero.bmp", "null.gif"}) {
        const std::string path = dir.file(name);
        EXPECT_TRUE(inChildWithin(10, [&] {
            auto bytes = readFileBytes(path);
            auto picture = loadPictureAsStored(path);
            auto probed = probePictureFile(path);
            return !bytes && bytes.error().code == ErrorCode::Io && !picture && !probed;
        })) << name;
    }
    ::close(sock);
}

TEST(ProbePictureFile, AgreesWithLoadingAndReadsOnPastLongMetadata)
{
    TempDir dir;
    const Bitmap picture = test::photoLike(37, 21);
    std::vector<std::uint8_t> jpeg = encodeJpeg(picture, 90).value();
    // Three full APP2 segments (as a large colour profile is stored) before the frame header.
    std::vector<std::uint8_t> app = {0xFF, 0xE2, 0xFF, 0xFF};
    app.resize(2 + 0xFFFF, 'p');
    for (int i = 0; i < 3; ++i)
        jpeg.insert(jpeg.begin() + 2, app.begin(), app.end());
    test::writeBytes(dir.file("profiled.jpg"), jpeg);
    test::writeBytes(dir.file("plain.bmp"), encodeBmp(picture));
    for (const char* name : {"profiled.jpg", "plain.bmp"}) {
        auto probed = probePictureFile(dir.file(name));
        ASSERT_TRUE(probed) << name << ": " << probed.error().message;
        const Picture loaded = loadPictureAsStored(dir.file(name)).value();
        EXPECT_EQ(probed.value().kind, loaded.kind()) << name;
        EXPECT_EQ(probed.value().size, (PictureSize{loaded.width(), loaded.height()})) << name;
    }
    jpeg.resize(2 + 2 * app.size());  // ends inside the metadata
    test::writeBytes(dir.file("cut.jpg"), jpeg);
    auto cut = probePictureFile(dir.file("cut.jpg"));
    ASSERT_FALSE(cut);
    EXPECT_EQ(cut.error().code, ErrorCode::Corrupt);
    EXPECT_EQ(probePictureFile(dir.file("none.png")).error().code, ErrorCode::Io);
    EXPECT_EQ(probePictureFile(dir.file("plain.jfif")).error().code, ErrorCode::Unsupported);
}

// Sets the umask for the lifetime of the object.
class Umask {
public:
    explicit Umask(mode_t mask) : old_(::umask(mask)) {}
    ~Umask() { ::umask(old_); }

private:
    mode_t old_;
};

mode_t modeOf(const std::string& path)
{
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st.st_mode & 07777;
}

const WriteOptions kNamed{WriteMode::Replace, FileAccess::Shared, false};

TEST(WriteFileAtomic, NewFilesAreNeverProgramsAndReplacingNeverWidensAccess)
{
    TempDir dir;
    const Umask mask(022);
    const std::vector<std::uint8_t> bytes(10, 'x');
    for (const WriteOptions& how : {WriteOptions{}, kNamed}) {
        const std::string fresh = dir.file("fresh.jpg"), setuid = dir.file("setuid.jpg"),
                          secret = dir.file("secret.ini");
        ASSERT_TRUE(writeFileAtomic(fresh, bytes, how));
        EXPECT_EQ(modeOf(fresh), 0644u);
        test::writeBytes(setuid, bytes);
        ::chmod(setuid.c_str(), 06755);
        ASSERT_TRUE(writeFileAtomic(setuid, bytes, how));  // as --force over it
        EXPECT_EQ(modeOf(setuid), 0644u);
        test::writeBytes(secret, bytes);
        ::chmod(secret.c_str(), 0600);
        ASSERT_TRUE(writeFileAtomic(secret, bytes, how));
        EXPECT_EQ(modeOf(secret), 0600u);
        WriteOptions ownerOnly = how;
        ownerOnly.access = FileAccess::OwnerOnly;
        ASSERT_TRUE(writeFileAtomic(fresh, bytes, ownerOnly));
        EXPECT_EQ(modeOf(fresh), 0600u);
        for (const std::string& p : {fresh, setuid, secret})
            std::filesystem::remove(p);
    }
}

TEST(WriteFileAtomic, NamesUpToTheFileSystemsLimitCanBeWritten)
{
    TempDir dir;
    const std::vector<std::uint8_t> bytes(100, 'y');
    for (const WriteOptions& how : {WriteOptions{}, kNamed})
        for (std::size_t length : {244u, 255u}) {
            const std::string name = std::string(length - 4, 'n') + ".jpg";
            ASSERT_TRUE(writeFileAtomic(dir.file(name), bytes, how)) << length;
            ASSERT_TRUE(writeFileAtomic(dir.file(name), bytes, how)) << length << ", replacing";
            EXPECT_EQ(test::readBytes(dir.file(name)), bytes);
            EXPECT_EQ(test::entryNames(dir.path()), std::vector<std::string>{name});
            std::filesystem::remove(dir.file(name));
        }
    EXPECT_FALSE(writeFileAtomic(dir.file(std::string(252, 'n') + ".jpg"), bytes));
    EXPECT_TRUE(test::entryNames(dir.path()).empty());
}

void makeOld(const std::string& path)
{
    const utimbuf twoDaysAgo{::time(nullptr) - 2 * 24 * 3600, ::time(nullptr) - 2 * 24 * 3600};
    ::utime(path.c_str(), &twoDaysAgo);
}

TEST(WriteFileAtomic, AKilledSaveLeavesNoTemporaryOrOneTheNextSaveRemoves)
{
    TempDir dir;
    // Killed in the middle of writing 200 MB: a nameless temporary leaves nothing.
    const pid_t child = ::fork();
    if (child == 0) {
        const std::vector<std::uint8_t> big(200u << 20, 'b');
        (void)writeFileAtomic(dir.file("big.bmp"), big);  // killed before it returns
        ::_exit(0);
    }
    ::usleep(150 * 1000);
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    const auto left = test::entryNames(dir.path());
    EXPECT_TRUE(left.empty() || left == std::vector<std::string>{"big.bmp"});

    // Where named temporaries are used, ours older than a day go at the next save there.
    std::filesystem::remove(dir.file("big.bmp"));
    for (const char* name : {".trimlet-Ab3xY9", ".trimlet-fresh1", ".trimlet-toolong7", ".notours-Ab3xY9"}) {
        test::writeBytes(dir.file(name), {1});
        if (std::string(name) != ".trimlet-fresh1")
            makeOld(dir.file(name));
    }
    std::filesystem::create_directory(dir.file(".trimlet-Dir123"));
    makeOld(dir.file(".trimlet-Dir123"));
    ASSERT_TRUE(writeFileAtomic(dir.file("next.jpg"), std::vector<std::uint8_t>(10, 'n'), kNamed));
    EXPECT_EQ(test::entryNames(dir.path()),
              (std::vector<std::string>{".notours-Ab3xY9", ".trimlet-Dir123", ".trimlet-fresh1", ".trimlet-toolong7",
                                        "next.jpg"}));
}

}  // namespace
}  // namespace trimlet
