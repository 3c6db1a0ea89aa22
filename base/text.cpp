#include "base/text.h"

#include <cstdint>
#include <iconv.h>

namespace trimlet {

namespace {

void appendHex(std::string& out, std::string_view bytes)
{
    constexpr char kDigits[] = "0123456789abcdef";
    for (const char c : bytes)
        out.append("\\x").append(1, kDigits[std::uint8_t(c) >> 4]).append(1, kDigits[std::uint8_t(c) & 15]);
}

// iconv in one go. Neither direction grows past three bytes a byte: a half-width kana is one
// CP932 byte and three UTF-8 bytes, and no character takes more bytes in CP932 than in UTF-8.
// Not "SHIFT_JIS": that table turns 0x5C into a yen sign and breaks every path separator.
std::optional<std::string> convert(const char* to, const char* from, std::string_view in)
{
    const iconv_t cd = ::iconv_open(to, from);
    if (cd == iconv_t(-1))
        return std::nullopt;
    std::string out(in.size() * 3, '\0');
    char* src = const_cast<char*>(in.data());
    std::size_t srcLeft = in.size();
    char* dst = out.data();
    std::size_t dstLeft = out.size();
    const std::size_t r = ::iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    ::iconv_close(cd);
    if (r == std::size_t(-1) || srcLeft != 0)
        return std::nullopt;
    out.resize(out.size() - dstLeft);
    return out;
}

}  // namespace

std::size_t utf8SequenceLength(std::string_view s)
{
    if (s.empty())
        return 0;
    const auto at = [&](std::size_t i) { return std::uint8_t(s[i]); };
    const std::uint8_t b = at(0);
    if (b < 0x80)
        return 1;
    const std::size_t n = b >= 0xC2 && b <= 0xDF ? 2 : b >= 0xE0 && b <= 0xEF ? 3 : b >= 0xF0 && b <= 0xF4 ? 4 : 0;
    if (n == 0 || s.size() < n)
        return 0;
    // The second byte's range also rules out overlong forms, surrogates and code points past U+10FFFF.
    const std::uint8_t lo = b == 0xE0 ? 0xA0 : b == 0xF0 ? 0x90 : 0x80;
    const std::uint8_t hi = b == 0xED ? 0x9F : b == 0xF4 ? 0x8F : 0xBF;
    if (at(1) < lo || at(1) > hi)
        return 0;
    for (std::size_t i = 2; i < n; ++i)
        if ((at(i) & 0xC0) != 0x80)
            return 0;
    return n;
}

void appendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | c >> 6);
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | c >> 12);
        out += char(0x80 | (c >> 6 & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | c >> 18);
        out += char(0x80 | (c >> 12 & 0x3F));
        out += char(0x80 | (c >> 6 & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

std::optional<std::string> cp932ToUtf8(std::string_view bytes) { return convert("UTF-8", "CP932", bytes); }

std::optional<std::string> utf8ToCp932(std::string_view text) { return convert("CP932", "UTF-8", text); }

std::string escapeForPrinting(std::string_view text, bool forTerminal)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t n = utf8SequenceLength(text.substr(i));
        const std::uint8_t b = std::uint8_t(text[i]);
        if (n == 0) {
            if (forTerminal)
                appendHex(out, text.substr(i, 1));
            else
                out.push_back(text[i]);
            ++i;
        } else if (b == '\t' || b == '\n' || b == '\r' || b == '\\') {
            out.append(b == '\t' ? "\\t" : b == '\n' ? "\\n" : b == '\r' ? "\\r" : "\\\\");
            ++i;
        } else if (b < 0x20 || b == 0x7F || (b == 0xC2 && std::uint8_t(text[i + 1]) < 0xA0)) {
            appendHex(out, text.substr(i, n));
            i += n;
        } else {
            out.append(text.substr(i, n));
            i += n;
        }
    }
    return out;
}

}  // namespace trimlet
