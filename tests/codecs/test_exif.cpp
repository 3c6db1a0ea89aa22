#include <gtest/gtest.h>

#include "codecs/colour_profile.h"
#include "codecs/exif.h"
#include "tests/codecs/photo_fixtures.h"

namespace trimlet {
namespace {

using test::Data;
using test::IfdEntry;
using test::tiffBlock;

int orientationOf(const Data& tiff) { return exifOrientation(tiff); }

TEST(ExifOrientation, ReadsEveryValueInBothByteOrders)
{
    for (bool bigEndian : {false, true})
        for (int value = 1; value <= 8; ++value)
            EXPECT_EQ(orientationOf(test::orientationBlock(bigEndian, value)), value) << bigEndian;
}

TEST(ExifOrientation, FindsTheTagAmongOthersAndBehindAnIfdOffset)
{
    const std::vector<IfdEntry> entries{
        {0x010F, 2, 6, 0x1A}, {0x0110, 2, 6, 0x20}, {0x0112, 3, 1, 6}, {0x011A, 5, 1, 0}};
    EXPECT_EQ(orientationOf(tiffBlock(true, entries)), 6);
    EXPECT_EQ(orientationOf(tiffBlock(false, entries, 40)), 6);
    // A SHORT is read from the start of the value field in either byte order, never as a LONG.
    EXPECT_EQ(orientationOf(tiffBlock(true, {{0x0112, 3, 1, 8}})), 8);
}

TEST(ExifOrientation, DamagedOrUnusableDataMeansAsStored)
{
    const Data good = test::orientationBlock(false, 6);
    EXPECT_EQ(orientationOf({}), 1);
    EXPECT_EQ(orientationOf(Data(good.begin(), good.begin() + 7)), 1);  // header cut
    for (std::size_t cut = 8; cut < good.size() - 4; ++cut)
        EXPECT_EQ(orientationOf(Data(good.begin(), good.begin() + std::ptrdiff_t(cut))), 1) << cut;
    Data wrongMagic = good;
    wrongMagic[2] = 43;  // BigTIFF
    EXPECT_EQ(orientationOf(wrongMagic), 1);
    Data mixed = good;
    mixed[0] = 'M';
    EXPECT_EQ(orientationOf(mixed), 1);
    for (int value : {0, 9, 255, 0xFFFF})
        EXPECT_EQ(orientationOf(tiffBlock(false, {{0x0112, 3, 1, std::uint32_t(value)}})), 1) << value;
    EXPECT_EQ(orientationOf(tiffBlock(false, {{0x0112, 4, 1, 6}})), 1);  // LONG
    EXPECT_EQ(orientationOf(tiffBlock(false, {{0x0112, 3, 0, 6}})), 1);  // no values
}

TEST(ExifOrientation, HostileOffsetsAndCountsStayInside)
{
    // IFD0 past the end, at the header, at the very last bytes, and the largest offsets.
    for (std::uint32_t offset : {0u, 4u, 7u, 200u, 0xFFFFFFF0u, 0xFFFFFFFFu}) {
        Data d = test::orientationBlock(true, 6);
        d[4] = std::uint8_t(offset >> 24), d[5] = std::uint8_t(offset >> 16);
        d[6] = std::uint8_t(offset >> 8), d[7] = std::uint8_t(offset);
        EXPECT_EQ(orientationOf(d), 1) << offset;
    }
    // A count of 65535 entries where one is stored: the one whole entry is still read.
    Data huge = test::orientationBlock(true, 3);
    huge[8] = huge[9] = 0xFF;
    EXPECT_EQ(orientationOf(huge), 3);
    // IFD0 whose next-IFD pointer loops back to itself, and one that names itself as IFD0's
    // entries with no orientation: only IFD0 is read, once.
    EXPECT_EQ(orientationOf(tiffBlock(false, {{0x0100, 3, 1, 5}}, 8, 8)), 1);
    EXPECT_EQ(orientationOf(tiffBlock(false, {{0x0112, 3, 1, 2}}, 8, 8)), 2);
}

TEST(ExifOrientation, JpegPayloadNeedsTheExifSignature)
{
    const Data tiff = test::orientationBlock(false, 5);
    EXPECT_EQ(jpegExifOrientation(test::exifApp1(tiff)), 5);
    Data xmp{'h', 't', 't', 'p', ':', '/', '/'};
    xmp.insert(xmp.end(), tiff.begin(), tiff.end());
    EXPECT_EQ(jpegExifOrientation(xmp), 1);
    EXPECT_EQ(jpegExifOrientation(Data{'E', 'x', 'i', 'f', 0}), 1);
}

TEST(ExifOrientation, ShownSizeSwapsForTheTransposingFive)
{
    for (int o = 0; o <= 9; ++o) {
        const PictureSize shown = shownSize({30, 20}, o);
        EXPECT_EQ(shown, (o >= 5 && o <= 8 ? PictureSize{20, 30} : PictureSize{30, 20})) << o;
    }
}

// ---- ICC chunks in JPEG APP2 ------------------------------------------------------------------

Data sampleProfile(std::size_t size)
{
    Data d(size);
    for (std::size_t i = 0; i < size; ++i)
        d[i] = std::uint8_t(i * 7 + 3);
    return d;
}

std::vector<Bytes> views(const std::vector<Data>& payloads) { return {payloads.begin(), payloads.end()}; }

TEST(IccChunks, JoinsInSequenceOrderWhateverTheFileOrder)
{
    const Data profile = sampleProfile(1000);
    EXPECT_EQ(joinIccChunks(views(test::iccChunks(profile, 1))), profile);
    std::vector<Data> chunks = test::iccChunks(profile, 3);
    EXPECT_EQ(joinIccChunks(views(chunks)), profile);
    std::swap(chunks[0], chunks[2]);
    EXPECT_EQ(joinIccChunks(views(chunks)), profile);
    // Other APP2 users (FlashPix, MPF) in between are passed over.
    chunks.insert(chunks.begin() + 1, Data{'M', 'P', 'F', 0, 1, 2, 3});
    chunks.insert(chunks.begin(), Data{});
    EXPECT_EQ(joinIccChunks(views(chunks)), profile);
    EXPECT_TRUE(joinIccChunks({}).empty());
}

TEST(IccChunks, InconsistentSetsGiveNoProfile)
{
    const Data profile = sampleProfile(900);
    const std::vector<Data> three = test::iccChunks(profile, 3);
    auto without = [&](std::size_t i) {
        std::vector<Data> c = three;
        c.erase(c.begin() + std::ptrdiff_t(i));
        return c;
    };
    EXPECT_TRUE(joinIccChunks(views(without(1))).empty()) << "missing middle";
    EXPECT_TRUE(joinIccChunks(views(without(2))).empty()) << "missing last";
    std::vector<Data> duplicated = three;
    duplicated.push_back(three[1]);
    EXPECT_TRUE(joinIccChunks(views(duplicated)).empty());
    std::vector<Data> counts = three;
    counts[2][13] = 4;  // "of 4" in one chunk, "of 3" in the others
    EXPECT_TRUE(joinIccChunks(views(counts)).empty());
    std::vector<Data> zero = three;
    zero[0][12] = 0;  // sequence numbers start at 1
    EXPECT_TRUE(joinIccChunks(views(zero)).empty());
    std::vector<Data> beyond = three;
    beyond[0][12] = 9;
    EXPECT_TRUE(joinIccChunks(views(beyond)).empty());
    std::vector<Data> none = three;
    for (Data& c : none)
        c[13] = 0;
    EXPECT_TRUE(joinIccChunks(views(none)).empty());
}

TEST(ProfileSpace, ReadsTheHeadersColourSpace)
{
    Data header(128, 0);
    auto with = [&](const char* space) {
        std::copy(space, space + 4, header.begin() + 16);
        return profileSpace(header);
    };
    EXPECT_EQ(with("RGB "), ProfileSpace::Rgb);
    EXPECT_EQ(with("GRAY"), ProfileSpace::Grey);
    EXPECT_EQ(with("CMYK"), ProfileSpace::Cmyk);
    EXPECT_EQ(with("Lab "), ProfileSpace::Other);
    EXPECT_EQ(profileSpace(Data(header.begin(), header.begin() + 127)), ProfileSpace::Other);
}

}  // namespace
}  // namespace trimlet
