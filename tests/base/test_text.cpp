#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/text.h"

namespace trimlet {
namespace {

// Independent of the byte-range tables: decode by the bit patterns alone, then accept only what
// encodes back to the same bytes (no overlong form) and is a scalar value.
std::size_t referenceLength(const std::string& s)
{
    if (s.empty())
        return 0;
    const std::uint8_t b = std::uint8_t(s[0]);
    std::size_t n = b < 0x80 ? 1 : (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : (b & 0xF8) == 0xF0 ? 4 : 0;
    if (n == 0 || s.size() < n)
        return 0;
    char32_t c = n == 1 ? b : n == 2 ? b & 0x1F : n == 3 ? b & 0x0F : b & 0x07;
    for (std::size_t i = 1; i < n; ++i) {
        if ((std::uint8_t(s[i]) & 0xC0) != 0x80)
            return 0;
        c = c << 6 | (std::uint8_t(s[i]) & 0x3F);
    }
    if (c > 0x10FFFF || (c >= 0xD800 && c < 0xE000))
        return 0;
    std::string again;
    appendUtf8(again, c);
    return again == s.substr(0, n) ? n : 0;
}

TEST(Utf8, SequenceLengthAgreesWithDecodingByBits)
{
    int wrong = 0;
    const std::uint8_t thirds[] = {0x00, 0x41, 0x7F, 0x80, 0x9F, 0xA0, 0xBF, 0xC0, 0xFF};
    for (int a = 0; a < 256; ++a) {
        const std::string one(1, char(a));
        wrong += utf8SequenceLength(one) != referenceLength(one);
        for (int b = 0; b < 256; ++b) {
            const std::string two{char(a), char(b)};
            wrong += utf8SequenceLength(two) != referenceLength(two);
            if (a < 0xE0)
                continue;  // a longer tail changes nothing for shorter leads
            for (const std::uint8_t c : thirds)
                for (const std::uint8_t d : thirds) {
                    const std::string three{char(a), char(b), char(c)};
                    const std::string four{char(a), char(b), char(c), char(d)};
                    wrong += utf8SequenceLength(three) != referenceLength(three);
                    wrong += utf8SequenceLength(four) != referenceLength(four);
                }
        }
    }
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(utf8SequenceLength(""), 0u);
}

TEST(Utf8, EveryScalarValueEncodesToOneWholeSequence)
{
    int wrong = 0;
    for (char32_t c = 0; c < 0x110000; ++c) {
        if (c >= 0xD800 && c < 0xE000)
            continue;
        std::string s;
        appendUtf8(s, c);
        const std::size_t expected = c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
        wrong += s.size() != expected || utf8SequenceLength(s) != expected;
    }
    EXPECT_EQ(wrong, 0);
    std::string s;
    appendUtf8(s, U'画');
    EXPECT_EQ(s, "\xE7\x94\xBB");
}

TEST(Cp932, ConvertsBothWaysAsWindowsDoes)
{
    // 表 (0x5C second byte), a lone backslash and tilde that SHIFT_JIS would turn into a yen sign
    // and an overline, a half-width kana (one byte, three in UTF-8) and ① from the NEC rows.
    const std::string bytes = "\x95\x5C\\~\xB1\x87\x40";
    const std::string text = "表\\~ｱ①";
    EXPECT_EQ(cp932ToUtf8(bytes), text);
    EXPECT_EQ(utf8ToCp932(text), bytes);
    std::string kana;
    for (int i = 0; i < 50; ++i)
        kana += "ｱ";
    EXPECT_EQ(cp932ToUtf8(std::string(50, '\xB1')), kana);
    EXPECT_EQ(cp932ToUtf8("\x89"), std::nullopt);  // a lead byte cut off
    EXPECT_EQ(utf8ToCp932("\xF0\x9F\x98\x80"), std::nullopt);
}

TEST(EscapeForPrinting, ShowsControlsAndKeepsEverythingElse)
{
    // C0, DEL and C1 controls, a backslash doubled; a no-break space and CJK stay as they are.
    const std::string name = std::string("a\tb\nc\rd\x1b[1m\x7f\xc2\x9b\xc2\x9f\xc2\xa0\\\xe7\x94\xbb") + '\0' + "e";
    const std::string expected = "a\\tb\\nc\\rd\\x1b[1m\\x7f\\xc2\\x9b\\xc2\\x9f\xc2\xa0\\\\\xe7\x94\xbb\\x00e";
    EXPECT_EQ(escapeForPrinting(name, false), expected);
    EXPECT_EQ(escapeForPrinting(name, true), expected);
}

TEST(EscapeForPrinting, ShowsBytesThatAreNotUtf8OnlyToATerminal)
{
    // Shift_JIS, a lone continuation byte, an overlong slash, a sequence cut off at the end.
    const std::string name = "\x95\x5c\x8e\xa6/\x80/\xc0\xaf/\xe7\x94";
    EXPECT_EQ(escapeForPrinting(name, false), "\x95\\\\\x8e\xa6/\x80/\xc0\xaf/\xe7\x94");
    EXPECT_EQ(escapeForPrinting(name, true), "\\x95\\\\\\x8e\\xa6/\\x80/\\xc0\\xaf/\\xe7\\x94");
    EXPECT_EQ(escapeForPrinting("", true), "");
}

// The escapes read back as a shell's printf %b reads them, apart from raw bytes left as they are.
std::string unescaped(std::string_view shown)
{
    std::string out;
    for (std::size_t i = 0; i < shown.size(); ++i) {
        if (shown[i] != '\\') {
            out += shown[i];
            continue;
        }
        const char c = shown.at(++i);
        if (c == 'x') {
            out += char(std::stoi(std::string(shown.substr(i + 1, 2)), nullptr, 16));
            i += 2;
        } else {
            out += c == 'n' ? '\n' : c == 't' ? '\t' : c == 'r' ? '\r' : c;
        }
    }
    return out;
}

TEST(EscapeForPrinting, EveryNameReadsBackExactly)
{
    // A literal backslash-n beside a newline, backslashes before escapes and at the end, Shift_JIS.
    const std::vector<std::string> names = {
        "a\\nb", "a\nb", "\\\\x41\\", "\\\x1b\\t\t", "\x95\x5c\x8e\xa6\\", std::string("\\\0\\0", 4)};
    for (const std::string& name : names) {
        for (const bool terminal : {false, true}) {
            const std::string shown = escapeForPrinting(name, terminal);
            EXPECT_EQ(unescaped(shown), name) << shown;
            EXPECT_EQ(shown.find('\n'), std::string::npos) << shown;
        }
    }
    EXPECT_NE(escapeForPrinting("a\\nb", false), escapeForPrinting("a\nb", false));
}

}  // namespace
}  // namespace trimlet
