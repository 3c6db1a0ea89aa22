// The UTF-16 strings of a Windows shortcut, turned into UTF-8.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "codecs/shell_link.h"

namespace {

// The smallest shortcut that names itself: the header with HasName and IsUnicode, then the
// name as a count of UTF-16 units and the units, little-endian.
std::vector<std::uint8_t> namedLink(const std::u16string& name)
{
    std::vector<std::uint8_t> b{0x4C, 0, 0, 0, 0x01, 0x14, 0x02, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46};
    const std::uint32_t flags = 0x04 | 0x80;
    for (int i = 0; i < 4; ++i)
        b.push_back(std::uint8_t(flags >> (8 * i)));
    b.resize(0x4C, 0);
    b.push_back(std::uint8_t(name.size()));
    b.push_back(std::uint8_t(name.size() >> 8));
    for (char16_t c : name) {
        b.push_back(std::uint8_t(c));
        b.push_back(std::uint8_t(c >> 8));
    }
    return b;
}

std::string nameOf(const std::u16string& name)
{
    const auto link = trimlet::parseShellLink(namedLink(name));
    return link ? link->name : "(refused)";
}

TEST(ShellLinkText, SurrogatePairsBecomeOneCharacterAnywhereInTheString)
{
    EXPECT_EQ(nameOf(u"a\U0001F600b"), std::string("a\xF0\x9F\x98\x80") + "b");
    EXPECT_EQ(nameOf(u"\U0001F600"), "\xF0\x9F\x98\x80");
    EXPECT_EQ(nameOf(u"x\U00010000\U0010FFFF"), "x\xF0\x90\x80\x80\xF4\x8F\xBF\xBF");
    EXPECT_EQ(nameOf(u"写真\u00e9"), "写真\xC3\xA9");
}

TEST(ShellLinkText, LoneSurrogatesBecomeReplacementCharacters)
{
    EXPECT_EQ(nameOf(std::u16string{u'a', char16_t(0xD83D)}), "a\xEF\xBF\xBD");
    EXPECT_EQ(nameOf(std::u16string{char16_t(0xDE00), u'b'}), std::string("\xEF\xBF\xBD") + "b");
    EXPECT_EQ(nameOf(std::u16string{char16_t(0xD83D), u'c'}), std::string("\xEF\xBF\xBD") + "c");
}

}  // namespace
