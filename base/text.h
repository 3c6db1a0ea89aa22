#pragma once
// Text as bytes: UTF-8 checked and written by hand, code page 932 converted, and names made
// safe to print.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace trimlet {

// The length of the well-formed UTF-8 sequence at the start of s; 0 when there is none (s empty,
// a stray or truncated byte, an overlong form, a surrogate, a code point past U+10FFFF).
std::size_t utf8SequenceLength(std::string_view s);

// Appends code point c, below U+110000, to out as UTF-8.
void appendUtf8(std::string& out, char32_t c);

// Code page 932 (Windows' Shift_JIS, in which 0x5C stays a backslash) bytes as UTF-8, and UTF-8
// as those bytes. nullopt when any byte or character does not convert, a sequence is cut off,
// or the system has no table for the code page.
std::optional<std::string> cp932ToUtf8(std::string_view bytes);
std::optional<std::string> utf8ToCp932(std::string_view text);

// Text as it is printed: control characters (C0, DEL and C1) as \t, \n, \r or \xHH, so a name
// can neither break a line or a field nor steer a terminal; for a terminal also bytes that are
// not UTF-8, which an 8-bit terminal could take for controls; a backslash as \\, so that every
// escape can be undone. Everything else stays as it is, so ordinary names are printed byte for
// byte.
std::string escapeForPrinting(std::string_view text, bool forTerminal);

}  // namespace trimlet
