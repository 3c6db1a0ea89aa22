#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base/folder_files.h"
#include "base/natural_order.h"
#include "tests/support/test_support.h"

namespace trimlet {
namespace {

TEST(NaturalCompare, SortsAFolderAsAPersonWould)
{
    // Case ignored, numbers by value however long.
    const std::vector<std::string> names = {
        "a.png",
        "B.png",
        "img2.jpg",
        "IMG10.jpg",
        "img10a.jpg",
        "img10B.jpg",
        "img100.jpg",
        "x99999999999999999999.png",
        "x100000000000000000000.png",
        "z.png",
    };
    for (std::size_t i = 0; i + 1 < names.size(); ++i)
        EXPECT_LT(naturalCompare(names[i], names[i + 1]), 0) << names[i] << " < " << names[i + 1];
}

TEST(NaturalCompare, IsATotalOrderOverAwkwardNames)
{
    // Mixed case, leading zeros, digits against punctuation, bytes above 127 (Latin-1 and
    // broken UTF-8), empty: every pair is ordered one way only, only equal names are equal,
    // and the order is transitive, so sorting cannot depend on where names start.
    const std::vector<std::string> names = {"",     "a",    "A",    "a0",   "a00",       "a1",
                                            "a01",  "a001", "A1",   "a1b",  "a01B",      "a-",
                                            "a_",   "a9",   "a10",  "a 10", "\xe9t\xe9", "\xc3\xa9t\xc3\xa9",
                                            "\xff", "Z",    "z",    "0",    "00",        "007",
                                            "7",    "1a2",  "1a10", "1A2"};
    for (const auto& x : names) {
        EXPECT_EQ(naturalCompare(x, x), 0);
        for (const auto& y : names) {
            EXPECT_EQ(naturalCompare(x, y), -naturalCompare(y, x)) << x << " / " << y;
            if (x != y) {
                EXPECT_NE(naturalCompare(x, y), 0) << x << " / " << y;
            }
            for (const auto& z : names) {
                if (naturalLess(x, y) && naturalLess(y, z)) {
                    EXPECT_TRUE(naturalLess(x, z)) << x << " < " << y << " < " << z;
                }
            }
        }
    }
    // Equal but for case or zeros: byte order decides.
    EXPECT_LT(naturalCompare("A1", "a1"), 0);
    EXPECT_LT(naturalCompare("a01", "a1"), 0);
    EXPECT_LT(naturalCompare("a01B", "a1b"), 0);
}

TEST(NeighbourInOrder, StepsWithoutWrappingAndFromNamesNotInTheList)
{
    const std::vector<std::string> names = {"p2.jpg", "p10.jpg", "P11.jpg"};
    EXPECT_EQ(neighbourInOrder(names, "p2.jpg", +1), 1u);
    EXPECT_EQ(neighbourInOrder(names, "p10.jpg", -1), 0u);
    EXPECT_EQ(neighbourInOrder(names, "P11.jpg", +1), std::nullopt);
    EXPECT_EQ(neighbourInOrder(names, "p2.jpg", -1), std::nullopt);
    // A name that has gone, or was never listed, steps to where it would stand.
    EXPECT_EQ(neighbourInOrder(names, "p5.txt", +1), 1u);
    EXPECT_EQ(neighbourInOrder(names, "p5.txt", -1), 0u);
    EXPECT_EQ(neighbourInOrder(names, "p1.jpg", -1), std::nullopt);
    EXPECT_EQ(neighbourInOrder(names, "p1.jpg", +1), 0u);
    EXPECT_EQ(neighbourInOrder({}, "p1.jpg", +1), std::nullopt);
}

TEST(FilesInFolder, ListsVisibleRegularFilesThatAreKeptInNaturalOrder)
{
    test::TempDir dir;
    for (const char* name : {"b10.jpg", "B2.JPG", "a.txt", ".hidden.jpg", "c1.jpg", "\xff\xfe.jpg"})
        std::ofstream(dir.file(name)) << "x";
    std::filesystem::create_directory(dir.file("d.jpg"));  // a folder is no picture
    std::filesystem::create_symlink(dir.file("c1.jpg"), dir.file("link.jpg"));
    std::filesystem::create_symlink(dir.file("gone.jpg"), dir.file("dangling.jpg"));
    const auto jpegs = [](std::string_view name) {
        std::string lowered(name);
        std::transform(lowered.begin(), lowered.end(), lowered.begin(),
                       [](unsigned char c) { return std::tolower(c); });
        return lowered.ends_with(".jpg");
    };
    EXPECT_EQ(filesInFolder(dir.path(), jpegs),
              (std::vector<std::string>{"B2.JPG", "b10.jpg", "c1.jpg", "link.jpg", "\xff\xfe.jpg"}));
    EXPECT_TRUE(filesInFolder(dir.file("missing"), jpegs).empty());
}

}  // namespace
}  // namespace trimlet
