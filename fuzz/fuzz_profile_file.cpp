// Profile file reading and key replacement, off the disk. The input is the file's bytes,
// optionally preceded by "section\0key\0value\0" to choose what is written.
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "settings/profile_file.h"

namespace {

std::string_view takeField(std::string_view& s, std::string_view fallback)
{
    const std::size_t nul = s.find('\0');
    if (nul == std::string_view::npos || nul > 64)
        return fallback;
    const std::string_view field = s.substr(0, nul);
    s.remove_prefix(nul + 1);
    return field;
}

bool sameAsciiName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

void check(bool ok)
{
    if (!ok)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > trimlet::kMaxProfileBytes)
        return 0;
    std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::string_view section = takeField(text, "size");
    const std::string_view key = takeField(text, "width");
    const std::string_view value = takeField(text, "\x89\xA1VGA");

    const auto before = trimlet::findProfileValue(text, section, key);
    if (before)
        trimlet::parseProfileInt(*before, 0);
    const auto other = trimlet::findProfileValue(text, "jpeg", "quality");

    const auto changed = trimlet::setProfileValue(text, section, key, value);
    if (!changed)
        return 0;
    const std::string& out = changed.value();
    // The value reads back, a second identical write changes nothing, the file grows by at
    // most one new section and key, and a key elsewhere keeps its value.
    check(trimlet::findProfileValue(out, section, key) == value);
    check(trimlet::setProfileValue(out, section, key, value).value() == out);
    check(out.size() <= text.size() + section.size() + key.size() + value.size() + 16);
    if (!sameAsciiName(section, "jpeg") || !sameAsciiName(key, "quality"))
        check(trimlet::findProfileValue(out, "jpeg", "quality") == other);
    return 0;
}
