#pragma once
// File names in the order people expect of a folder: "2" before "10", "a" before "B".

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace trimlet {

// Negative, zero or positive as a sorts before, with or after b. Runs of ASCII digits compare
// by their value, other bytes by their ASCII lower case; names that are equal that way
// ("Img01", "img1") fall back to plain byte order, so only equal names compare equal.
// Bytes are never decoded: names need not be UTF-8.
int naturalCompare(std::string_view a, std::string_view b);
inline bool naturalLess(std::string_view a, std::string_view b) { return naturalCompare(a, b) < 0; }

// The index of the name one step after (direction > 0) or before (direction < 0) name in
// names, which are in natural order; name itself need not be among them (a file that has
// gone since). Nothing past either end.
std::optional<std::size_t> neighbourInOrder(const std::vector<std::string>& names, std::string_view name,
                                            int direction);

}  // namespace trimlet
