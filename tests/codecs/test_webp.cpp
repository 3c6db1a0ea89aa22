#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "codecs/picture_file.h"
#include "codecs/webp.h"
#include "tests/support/test_support.h"

namespace trimlet {
namespace {

using Data = std::vector<std::uint8_t>;

// The tools are part of the build's dependencies; a missing one fails here rather than skips.
void requireTools()
{
    for (const char* tool : {"cwebp", "dwebp", "webpmux"})
        ASSERT_TRUE(test::haveProgram(tool)) << tool << " is missing (package webp)";
}

void run(const std::string& command) { EXPECT_EQ(test::runCommand(command).exitCode, 0) << command; }

// P7 with alpha, which cwebp reads as it is.
Data toPam(const Bitmap& colours, const std::vector<std::uint8_t>& alpha)
{
    const std::string header = "P7\nWIDTH " + std::to_string(colours.width()) + "\nHEIGHT " +
                               std::to_string(colours.height()) + "\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n";
    Data out(header.begin(), header.end());
    for (int y = 0; y < colours.height(); ++y)
        for (int x = 0; x < colours.width(); ++x) {
            const std::uint8_t* p = colours.row(y) + 3 * x;
            out.insert(out.end(), {p[2], p[1], p[0], alpha[std::size_t(y) * colours.width() + x]});
        }
    return out;
}

struct Pam {
    Bitmap colours;
    std::vector<std::uint8_t> alpha;
};

Pam fromPam(const Data& pam)
{
    const std::string text(pam.begin(), pam.end());
    const auto end = text.find("ENDHDR\n");
    const auto number = [&](const char* key) { return std::stoi(text.substr(text.find(key) + std::strlen(key))); };
    Pam out{Bitmap(number("WIDTH "), number("HEIGHT ")), {}};
    const std::uint8_t* s = pam.data() + end + 7;
    for (int y = 0; y < out.colours.height(); ++y)
        for (int x = 0; x < out.colours.width(); ++x, s += 4) {
            std::uint8_t* d = out.colours.row(y) + 3 * x;
            d[0] = s[2];
            d[1] = s[1];
            d[2] = s[0];
            out.alpha.push_back(s[3]);
        }
    return out;
}

class WebpFiles : public ::testing::Test {
protected:
    void SetUp() override { requireTools(); }

    Data cwebp(const Bitmap& picture, const std::string& args)
    {
        test::writeBytes(dir.file("in.ppm"), test::toPpm(picture));
        run("cwebp -quiet " + args + " " + dir.file("in.ppm") + " -o " + dir.file("c.webp"));
        return test::readBytes(dir.file("c.webp"));
    }
    Data cwebpAlpha(const Bitmap& colours, const std::vector<std::uint8_t>& alpha, const std::string& args)
    {
        test::writeBytes(dir.file("in.pam"), toPam(colours, alpha));
        run("cwebp -quiet " + args + " " + dir.file("in.pam") + " -o " + dir.file("c.webp"));
        return test::readBytes(dir.file("c.webp"));
    }
    Bitmap dwebp(const Data& webp)
    {
        test::writeBytes(dir.file("d.webp"), webp);
        run("dwebp -quiet " + dir.file("d.webp") + " -ppm -o " + dir.file("d.ppm"));
        return test::fromPnm(test::readBytes(dir.file("d.ppm")));
    }
    Pam dwebpAlpha(const Data& webp)
    {
        test::writeBytes(dir.file("d.webp"), webp);
        run("dwebp -quiet " + dir.file("d.webp") + " -pam -o " + dir.file("d.pam"));
        return fromPam(test::readBytes(dir.file("d.pam")));
    }

    test::TempDir dir;
};

std::vector<std::uint8_t> maskOfAlpha(const std::vector<std::uint8_t>& alpha)
{
    std::vector<std::uint8_t> mask;
    for (std::uint8_t a : alpha)
        mask.push_back(a == 0);
    return mask;
}

// Alpha 0 in a band, partial alpha elsewhere, so that only the clear band becomes the mask.
std::vector<std::uint8_t> bandedAlpha(int width, int height)
{
    std::vector<std::uint8_t> alpha;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            alpha.push_back(x % 7 < 2 ? 0 : std::uint8_t(1 + (x * 37 + y * 11) % 255));
    return alpha;
}

TEST_F(WebpFiles, LosslessFilesDecodeToTheirSourceExactly)
{
    for (const auto& [w, h] : {std::pair{1, 1}, {37, 23}, {64, 3}, {301, 199}}) {
        const Bitmap source = test::photoLike(w, h, std::uint32_t(w * h));
        auto decoded = decodeWebp(cwebp(source, "-lossless"));
        ASSERT_TRUE(decoded) << decoded.error().message;
        EXPECT_EQ(decoded.value().bitmap, source) << w << "x" << h;
        EXPECT_TRUE(decoded.value().mask.empty());
        EXPECT_TRUE(decoded.value().iccProfile.empty());
    }
}

TEST_F(WebpFiles, LossyFilesDecodeExactlyAsDwebpDoes)
{
    for (const std::string args : {"-q 75", "-q 5 -sharp_yuv", "-q 100 -f 60", "-q 50 -segments 1 -sns 0"}) {
        const Data file = cwebp(test::photoLike(203, 117, 7), args);
        auto decoded = decodeWebp(file);
        ASSERT_TRUE(decoded) << decoded.error().message;
        EXPECT_EQ(decoded.value().bitmap, dwebp(file)) << args;
    }
}

TEST_F(WebpFiles, ClearPixelsBecomeTheMaskAndKeepTheirColour)
{
    const Bitmap colours = test::noisePicture(45, 19, 3);
    const auto alpha = bandedAlpha(45, 19);
    // -exact keeps the colour under alpha 0, so the lossless file holds the source as it is.
    auto lossless = decodeWebp(cwebpAlpha(colours, alpha, "-lossless -exact"));
    ASSERT_TRUE(lossless) << lossless.error().message;
    EXPECT_EQ(lossless.value().bitmap, colours);
    EXPECT_EQ(lossless.value().mask, maskOfAlpha(alpha));

    const Data lossyFile = cwebpAlpha(colours, alpha, "-q 70 -alpha_q 100 -exact");
    auto lossy = decodeWebp(lossyFile);
    ASSERT_TRUE(lossy) << lossy.error().message;
    const Pam reference = dwebpAlpha(lossyFile);
    EXPECT_EQ(lossy.value().bitmap, reference.colours);
    EXPECT_EQ(lossy.value().mask, maskOfAlpha(reference.alpha));
}

TEST_F(WebpFiles, AnOpaqueAlphaChannelLeavesNoMask)
{
    const Bitmap colours = test::photoLike(20, 10);
    auto decoded = decodeWebp(cwebpAlpha(colours, std::vector<std::uint8_t>(200, 255), "-lossless -exact"));
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded.value().bitmap, colours);
    const Picture picture(PictureKind::Webp, std::move(decoded).value());
    EXPECT_FALSE(picture.hasTransparency());
}

TEST_F(WebpFiles, TheProfileComesAlongAndTheProbeAgrees)
{
    const Data profile = test::readBytes("/usr/share/color/icc/sRGB.icc");
    ASSERT_FALSE(profile.empty()) << "icc-profiles-free is missing";
    const Data plain = cwebp(test::photoLike(33, 21), "-q 80");
    test::writeBytes(dir.file("p.webp"), plain);
    run("webpmux -set icc /usr/share/color/icc/sRGB.icc " + dir.file("p.webp") + " -o " + dir.file("icc.webp"));
    const Data tagged = test::readBytes(dir.file("icc.webp"));
    auto decoded = decodeWebp(tagged);
    ASSERT_TRUE(decoded) << decoded.error().message;
    EXPECT_EQ(decoded.value().iccProfile, profile);
    EXPECT_EQ(decoded.value().bitmap, dwebp(plain));

    // The probe reads the canvas from the first bytes; a head cut inside the profile asks for more.
    const HeaderProbe whole = probeWebp(tagged, tagged.size());
    ASSERT_TRUE(whole.size);
    EXPECT_EQ(whole.size.value(), (PictureSize{33, 21}));
    const HeaderProbe cut = probeWebp(Bytes(tagged.data(), 40), tagged.size());
    if (!cut.size) {
        EXPECT_TRUE(cut.needsMore);
    }
    const HeaderProbe tooShort = probeWebp(Bytes(tagged.data(), 10), tagged.size());
    EXPECT_FALSE(tooShort.size);
    EXPECT_TRUE(tooShort.needsMore);
}

class WebpAnimation : public WebpFiles {
protected:
    // Frame 1: 10 x 8 at (2, 4) with a clear column; frame 2: 16 x 14 at (0, 0).
    Data makeAnimation()
    {
        first = test::noisePicture(10, 8, 5);
        firstAlpha.assign(80, 255);
        for (int y = 0; y < 8; ++y)
            firstAlpha[std::size_t(y) * 10 + 3] = 0;
        test::writeBytes(dir.file("f1.webp"), cwebpAlpha(first, firstAlpha, "-lossless -exact"));
        test::writeBytes(dir.file("f2.webp"), cwebp(test::photoLike(16, 14), "-lossless"));
        run("webpmux -frame " + dir.file("f1.webp") + " +100+2+4+0-b -frame " + dir.file("f2.webp") + " +100 -o " +
            dir.file("anim.webp"));
        return test::readBytes(dir.file("anim.webp"));
    }
    static std::size_t findChunk(const Data& d, const char* fourcc, std::size_t from = 12)
    {
        for (std::size_t i = from; i + 4 <= d.size(); ++i)
            if (std::equal(fourcc, fourcc + 4, d.begin() + std::ptrdiff_t(i)))
                return i;
        return 0;
    }

    Bitmap first;
    std::vector<std::uint8_t> firstAlpha;
};

TEST_F(WebpAnimation, TheFirstFrameSitsOnItsCanvas)
{
    const Data anim = makeAnimation();
    auto decoded = decodeWebp(anim);
    ASSERT_TRUE(decoded) << decoded.error().message;
    const DecodedImage& image = decoded.value();
    ASSERT_EQ(image.bitmap.width(), 16);
    ASSERT_EQ(image.bitmap.height(), 14);
    for (int y = 0; y < 14; ++y)
        for (int x = 0; x < 16; ++x) {
            const bool inside = x >= 2 && x < 12 && y >= 4 && y < 12;
            const std::uint8_t expectMask = inside ? firstAlpha[std::size_t(y - 4) * 10 + (x - 2)] == 0 : 1;
            EXPECT_EQ(image.mask[std::size_t(y) * 16 + x], expectMask) << x << "," << y;
            EXPECT_EQ(test::pixelAt(image.bitmap, x, y), inside ? test::pixelAt(first, x - 2, y - 4) : 0u);
        }
    const HeaderProbe probe = probeWebp(anim, anim.size());
    ASSERT_TRUE(probe.size);
    EXPECT_EQ(probe.size.value(), (PictureSize{16, 14}));
}

TEST_F(WebpAnimation, BrokenLaterFramesDoNotMatterButABrokenFirstFrameDoes)
{
    const Data anim = makeAnimation();
    const std::size_t firstFrame = findChunk(anim, "ANMF");
    const std::size_t secondFrame = findChunk(anim, "ANMF", firstFrame + 4);
    ASSERT_GT(secondFrame, firstFrame);

    Data damagedSecond = anim;
    for (std::size_t i = secondFrame + 40; i < damagedSecond.size(); ++i)
        damagedSecond[i] ^= 0x5A;
    auto a = decodeWebp(damagedSecond);
    ASSERT_TRUE(a) << a.error().message;
    EXPECT_EQ(test::pixelAt(a.value().bitmap, 2, 4), test::pixelAt(first, 0, 0));

    const Data cutInSecond(anim.begin(), anim.begin() + std::ptrdiff_t(secondFrame + 30));
    EXPECT_TRUE(decodeWebp(cutInSecond));

    Data damagedFirst = anim;
    for (std::size_t i = firstFrame + 40; i < secondFrame; ++i)
        damagedFirst[i] = 0xFF;
    auto b = decodeWebp(damagedFirst);
    ASSERT_FALSE(b);
    EXPECT_EQ(b.error().code, ErrorCode::Corrupt);
}

// A RIFF WebP header with the given size field, then a chunk.
Data riff(std::uint32_t riffSize, const Data& chunks)
{
    Data d = {'R', 'I', 'F', 'F'};
    for (int i = 0; i < 4; ++i)
        d.push_back(std::uint8_t(riffSize >> (8 * i)));
    d.insert(d.end(), {'W', 'E', 'B', 'P'});
    d.insert(d.end(), chunks.begin(), chunks.end());
    return d;
}

Data vp8xChunk(std::uint8_t flags, int width, int height)
{
    Data c = {'V', 'P', '8', 'X', 10, 0, 0, 0, flags, 0, 0, 0};
    for (int v : {width - 1, height - 1})
        for (int i = 0; i < 3; ++i)
            c.push_back(std::uint8_t(v >> (8 * i)));
    return c;
}

TEST_F(WebpFiles, HostileFilesFailCleanly)
{
    const Data good = cwebp(test::photoLike(64, 48), "-q 60");
    const Data goodBody(good.begin() + 12, good.end());

    // Every prefix: a clean failure (or, for the full file, the picture), never a crash.
    for (std::size_t n = 0; n < good.size(); n += (n < 64 ? 1 : 7)) {
        const Data cut(good.begin(), good.begin() + std::ptrdiff_t(n));
        auto decoded = decodeWebp(cut);
        EXPECT_FALSE(decoded) << n;
        (void)probeWebp(cut, good.size());
    }

    // A still canvas of 16383 x 16383 around a 64 x 48 image: damaged, refused before any pixels.
    Data bigCanvas = riff(0, vp8xChunk(0, 16383, 16383));
    bigCanvas.insert(bigCanvas.end(), goodBody.begin(), goodBody.end());
    const auto riffSize = std::uint32_t(bigCanvas.size() - 8);
    std::memcpy(&bigCanvas[4], &riffSize, 4);
    auto canvas = decodeWebp(bigCanvas);
    ASSERT_FALSE(canvas);
    EXPECT_EQ(canvas.error().code, ErrorCode::Corrupt);

    // An animated 16383 x 16383 canvas is real but passes a lowered cap: refused by its header.
    DecodeLimits small;
    small.maxBitmapBytes = std::int64_t{64} << 20;
    const Data animated = riff(30, vp8xChunk(0x02, 16383, 16383));
    auto tooLarge = decodeWebp(animated, small);
    ASSERT_FALSE(tooLarge);
    EXPECT_EQ(tooLarge.error().code, ErrorCode::TooLarge);
    const HeaderProbe probe = probeWebp(animated, animated.size(), small);
    ASSERT_FALSE(probe.size);
    EXPECT_EQ(probe.size.error().code, ErrorCode::TooLarge);
    // Within the cap, an animation without frames has nothing to show.
    EXPECT_FALSE(decodeWebp(riff(30, vp8xChunk(0x02, 100, 100))));

    // RIFF sizes that lie: too small for the chunk, odd, far past the end of the file.
    for (std::uint32_t lie : {std::uint32_t(20), std::uint32_t(goodBody.size() + 3), std::uint32_t(0xFFFFFFF0)}) {
        auto decoded = decodeWebp(riff(lie, goodBody));
        if (decoded) {
            EXPECT_EQ(decoded.value().bitmap, dwebp(good)) << lie;  // the data is all there
        }
    }
    EXPECT_FALSE(decodeWebp(riff(20, goodBody)));

    // Not WebP at all, and flipped bytes all over the bitstream.
    EXPECT_FALSE(decodeWebp(test::toPpm(test::photoLike(4, 4))));
    for (std::size_t at = 30; at < good.size(); at += 13) {
        Data flipped = good;
        flipped[at] ^= 0xFF;
        (void)decodeWebp(flipped);
    }
}

TEST(WebpEncoding, LossyOutputDecodesToItsSizeAndTracksTheSource)
{
    const Bitmap source = test::photoLike(123, 77, 9);
    auto high = encodeWebp(source, 95);
    auto low = encodeWebp(source, 10);
    ASSERT_TRUE(high);
    ASSERT_TRUE(low);
    EXPECT_LT(low.value().size(), high.value().size());
    auto decoded = decodeWebp(high.value());
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded.value().bitmap.width(), 123);
    EXPECT_EQ(decoded.value().bitmap.height(), 77);
    EXPECT_LE(test::maxChannelDifference(decoded.value().bitmap, source), 64);
    // No metadata: a bare RIFF around one VP8 chunk.
    const Data& bytes = high.value();
    EXPECT_EQ(std::string(bytes.begin() + 12, bytes.begin() + 16), "VP8 ");
    EXPECT_EQ(bytes.size(), 20 + std::size_t(bytes[16] | bytes[17] << 8 | bytes[18] << 16) + (bytes[16] & 1));
}

TEST(WebpEncoding, RefusesWhatWebpCannotHold)
{
    EXPECT_FALSE(encodeWebp(Bitmap(), 80));
    EXPECT_FALSE(encodeWebp(Bitmap(2, 2), 0));
    EXPECT_FALSE(encodeWebp(Bitmap(2, 2), 101));
    auto wide = encodeWebp(Bitmap(kMaxWebpSide + 1, 1), 80);
    ASSERT_FALSE(wide);
    EXPECT_EQ(wide.error().code, ErrorCode::Invalid);
    EXPECT_TRUE(encodeWebp(Bitmap(kMaxWebpSide, 1), 80));
}

}  // namespace
}  // namespace trimlet
