#include <gtest/gtest.h>

#include <set>

#include "imaging/serial_name.h"

namespace trimlet {
namespace {

TEST(SerialName, StemDropsOnlyTheFileNamesLastExtension)
{
    EXPECT_EQ(serialStem("/pics/cat.tar.gz"), "/pics/cat.tar");
    EXPECT_EQ(serialStem("/pics.d/cat"), "/pics.d/cat");
    EXPECT_EQ(serialStem("/pics/.hidden"), "/pics/.hidden");
    EXPECT_EQ(serialStem("cat.jpg"), "cat");
}

TEST(SerialName, FirstFreeNumberForEachTailAndFormat)
{
    std::set<std::string> files{"/p/cat(1).jpg", "/p/cat(2).jpg", "/p/cat(4).jpg", "/p/cat-1.jpg", "/p/cat(3).bmp"};
    const auto exists = [&](const std::string& f) { return files.count(f) > 0; };
    EXPECT_EQ(serialName("/p/cat.png", SerialTail::Paren, ".jpg", exists), "/p/cat(3).jpg");
    EXPECT_EQ(serialName("/p/cat.png", SerialTail::Hyphen, ".jpg", exists), "/p/cat-2.jpg");
    EXPECT_EQ(serialName("/p/cat.png", SerialTail::Paren, ".bmp", exists), "/p/cat(1).bmp");
    EXPECT_EQ(serialName("/p/cat(1).jpg", SerialTail::Paren, ".jpg", exists), "/p/cat(1)(1).jpg");
    // Each format numbers on its own; a four-letter extension goes as a whole.
    files.insert("/p/cat(1).png");
    EXPECT_EQ(serialName("/p/cat.webp", SerialTail::Paren, ".png", exists), "/p/cat(2).png");
    EXPECT_EQ(serialName("/p/cat.webp", SerialTail::Hyphen, ".webp", exists), "/p/cat-1.webp");
    files.erase("/p/cat(1).jpg");
    EXPECT_EQ(serialName("/p/cat.png", SerialTail::Paren, ".jpg", exists), "/p/cat(1).jpg");

    // No upper limit on the number.
    const auto below1000 = [](const std::string& f) { return f.size() < std::string("/p/cat(1000).jpg").size(); };
    EXPECT_EQ(serialName("/p/cat.png", SerialTail::Paren, ".jpg", below1000), "/p/cat(1000).jpg");
}

}  // namespace
}  // namespace trimlet
