// The output job both front ends save through: serial saves under races and failures, the
// encode within a limit and the preview's build against the encoder itself, the program's kB.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "codecs/webp.h"
#include "document/output_job.h"
#include "tests/support/test_support.h"

using namespace trimlet;

namespace {

const std::vector<std::uint8_t> kMine{'m', 'i', 'n', 'e'};

}  // namespace

TEST(OutputJob, SerialSaveSkipsANameTakenAfterTheLookAndNeverReplaces)
{
    test::TempDir dir;
    const Bitmap picture = test::photoLike(20, 10);
    const auto bmp = encodeOutput(picture, OutputFormat::Bmp, 0).value();
    const SerialPlace place{dir.file("cat.png"), SerialTail::Paren};

    // Someone else writes cat(1).bmp right after the save has found it free.
    bool raced = false;
    const auto racing = [&](const std::string& name) {
        if (!raced && name == dir.file("cat(1).bmp")) {
            raced = true;
            test::writeBytes(name, kMine);
            return false;
        }
        return pathExists(name);
    };
    const SerialSave save = saveSerial(place, {OutputFormat::Bmp, {}, &picture}, racing);
    ASSERT_TRUE(save.written) << save.written.error().message;
    EXPECT_EQ(save.name, dir.file("cat(2).bmp"));
    EXPECT_EQ(test::readBytes(dir.file("cat(1).bmp")), kMine);
    EXPECT_EQ(test::readBytes(save.name), bmp);  // the pixels written as the encoder makes them

    // A look that never sees the file there gives up after its tries, replacing nothing.
    const SerialSave blind = saveSerial(place, {OutputFormat::Bmp, bmp}, [](const std::string&) { return false; });
    EXPECT_FALSE(blind.written);
    EXPECT_EQ(blind.written.error().code, ErrorCode::Exists);
    EXPECT_EQ(blind.written.error().message, "no free serial name beside " + place.base);
    EXPECT_EQ(test::readBytes(dir.file("cat(1).bmp")), kMine);
    EXPECT_EQ(test::entryNames(dir.path()), (std::vector<std::string>{"cat(1).bmp", "cat(2).bmp"}));
}

TEST(OutputJob, AFailedSaveGivesTheWritesOwnReason)
{
    test::TempDir dir;
    test::writeBytes(dir.file("plain"), {'x'});
    // A path through a regular file refuses even root.
    const SerialSave save = saveSerial({dir.file("plain/cat.png"), SerialTail::Hyphen}, {OutputFormat::Png, kMine});
    EXPECT_EQ(save.name, dir.file("plain/cat-1.png"));
    ASSERT_FALSE(save.written);
    const Status direct = writeFileAtomic(save.name, kMine, WriteMode::NoReplace);
    EXPECT_EQ(save.written.error().code, direct.error().code);
    EXPECT_EQ(save.written.error().message, direct.error().message);
    EXPECT_NE(save.written.error().message.find("Not a directory"), std::string::npos);
}

TEST(OutputJob, EncodeAndBuildMakeWhatTheEncoderMakes)
{
    test::TempDir dir;
    const Bitmap cut = test::photoLike(64, 48, 3);
    const std::string temp = dir.file("trimlet.jpg");
    for (OutputFormat format : {OutputFormat::Jpeg, OutputFormat::Bmp, OutputFormat::Png, OutputFormat::Webp}) {
        const std::uint64_t whole = encodeOutput(cut, format, 80).value().size();
        // No limit, one that takes a lower quality (or refuses a lossless file), and one nothing meets.
        for (const std::uint64_t limit : {std::uint64_t(0), whole - 1, std::uint64_t(10)}) {
            SCOPED_TRACE(testing::Message() << int(format) << " within " << limit);
            const FittedOutput reference = encodeOutputWithin(cut, format, 80, limit).value();
            const EncodedOutput encoded = encodeWithinLimit(cut, format, 80, limit).value();
            EXPECT_EQ(encoded.format, format);
            EXPECT_EQ(encoded.quality, reference.quality);
            EXPECT_EQ(encoded.fits, reference.fits);
            EXPECT_TRUE(encoded.bytes == reference.bytes);

            const OutputBuild build = buildOutput(cut, format, 80, limit, temp);
            if (!reference.fits) {
                EXPECT_EQ(build.failure, BuildFailure::OverLimit);
                EXPECT_TRUE(build.encoded.bytes == reference.bytes);  // the smallest, for the message
                EXPECT_EQ(build.encoded.quality, 80);
                continue;
            }
            ASSERT_EQ(build.failure, BuildFailure::None);
            EXPECT_EQ(build.encoded.quality, reference.quality);
            if (format == OutputFormat::Bmp)
                continue;  // written from the pixels
            EXPECT_TRUE(build.fileBytes() == reference.bytes);
            if (format == OutputFormat::Jpeg) {
                EXPECT_TRUE(test::readBytes(temp) == reference.bytes);
            } else if (format == OutputFormat::Webp) {
                EXPECT_TRUE(build.decoded.bitmap() == decodeWebp(reference.bytes).value().bitmap);
            }
        }
    }
    // A side too long for the format is refused before any encode.
    EXPECT_EQ(buildOutput(Bitmap(kMaxWebpSide + 1, 1), OutputFormat::Webp, 80, 0, temp).failure,
              BuildFailure::SideTooLong);
    EXPECT_EQ(buildOutput(Bitmap(kMaxWebpSide + 1, 1), OutputFormat::Png, 80, 0, temp).failure, BuildFailure::None);
}

TEST(OutputJob, KilobytesAreWholeUnitsOf1024RoundedUp)
{
    for (std::uint64_t bytes = 0; bytes < 5000; ++bytes)
        ASSERT_EQ(kilobytesOf(bytes), std::uint64_t(std::ceil(double(bytes) / 1024))) << bytes;
    EXPECT_EQ(kilobytesOf(std::uint64_t(1) << 40), std::uint64_t(1) << 30);
    EXPECT_EQ(kilobytesOf((std::uint64_t(1) << 40) + 1), (std::uint64_t(1) << 30) + 1);
}

TEST(OutputJob, ASetSavesUnderOneNumberAllOrNothing)
{
    test::TempDir dir;
    const SerialPlace place{dir.file("cat.jpg"), SerialTail::Paren};
    const std::vector<std::uint8_t> big(4000, 'b');
    const std::vector<SetFile> files{{"_1920x1080", {OutputFormat::Png, kMine}},
                                     {"_1080x2400", {OutputFormat::Png, big}}};
    // Number 1 is the single save's, number 2 holds one of the set's names.
    test::writeBytes(dir.file("cat(1).png"), kMine);
    test::writeBytes(dir.file("cat(2)_1080x2400.png"), kMine);
    // Someone writes number 3's second name right after the look found it free.
    bool raced = false;
    const auto racing = [&](const std::string& name) {
        if (!raced && name == dir.file("cat(3)_1080x2400.png")) {
            raced = true;
            test::writeBytes(name, kMine);
            return false;
        }
        return pathExists(name);
    };
    const SetSave save = saveSetSerial(place, files, racing);
    ASSERT_TRUE(save.written) << save.written.error().message;
    EXPECT_EQ(save.names,
              (std::vector<std::string>{dir.file("cat(4)_1920x1080.png"), dir.file("cat(4)_1080x2400.png")}));
    EXPECT_EQ(test::readBytes(save.names[1]), big);
    EXPECT_EQ(test::readBytes(dir.file("cat(3)_1080x2400.png")), kMine);
    EXPECT_EQ(test::entryNames(dir.path()),
              (std::vector<std::string>{"cat(1).png", "cat(2)_1080x2400.png", "cat(3)_1080x2400.png",
                                        "cat(4)_1080x2400.png", "cat(4)_1920x1080.png"}));

    // A write that fails for another reason fails the set and takes its first file away again.
    test::TempDir other;
    SetSave full;
    test::withFileSizeLimit(1000, [&] { full = saveSetSerial({place.base, SerialTail::Hyphen, other.path()}, files); });
    EXPECT_FALSE(full.written);
    EXPECT_NE(full.written.error().code, ErrorCode::Exists);
    EXPECT_TRUE(full.names.empty());
    EXPECT_EQ(full.failedName, other.file("cat-1_1080x2400.png"));
    EXPECT_TRUE(test::entryNames(other.path()).empty());

    // A look that never sees the second names there writes each number's first name, takes it
    // away again, and gives up after its tries.
    test::TempDir crowded;
    for (int n = 1; n <= kSerialTries; ++n)
        test::writeBytes(crowded.file("cat(" + std::to_string(n) + ")_1080x2400.png"), kMine);
    const SetSave blind =
        saveSetSerial({place.base, SerialTail::Paren, crowded.path()}, files, [](const std::string&) { return false; });
    EXPECT_FALSE(blind.written);
    EXPECT_EQ(blind.written.error().code, ErrorCode::Exists);
    EXPECT_TRUE(blind.names.empty());
    EXPECT_EQ(test::entryNames(crowded.path()).size(), std::size_t(kSerialTries));
}
