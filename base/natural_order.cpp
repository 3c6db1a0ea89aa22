#include "base/natural_order.h"

#include <algorithm>

namespace trimlet {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

char lower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

// Compares the digit runs starting at a[i] and b[j] by value, with no limit on their length,
// and moves both indices past them.
int compareNumbers(std::string_view a, std::size_t& i, std::string_view b, std::size_t& j)
{
    while (i < a.size() && a[i] == '0')
        ++i;
    while (j < b.size() && b[j] == '0')
        ++j;
    const std::size_t startA = i;
    const std::size_t startB = j;
    while (i < a.size() && isDigit(a[i]))
        ++i;
    while (j < b.size() && isDigit(b[j]))
        ++j;
    const std::size_t lengthA = i - startA;
    const std::size_t lengthB = j - startB;
    if (lengthA != lengthB)
        return lengthA < lengthB ? -1 : 1;
    const int c = a.substr(startA, lengthA).compare(b.substr(startB, lengthB));
    return c < 0 ? -1 : c > 0 ? 1 : 0;
}

int compareIgnoringCaseAndZeros(std::string_view a, std::string_view b)
{
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (isDigit(a[i]) && isDigit(b[j])) {
            if (const int c = compareNumbers(a, i, b, j))
                return c;
            continue;
        }
        // A number against another character sorts where its digits sort among the bytes.
        const auto x = static_cast<unsigned char>(lower(a[i]));
        const auto y = static_cast<unsigned char>(lower(b[j]));
        if (x != y)
            return x < y ? -1 : 1;
        ++i;
        ++j;
    }
    if (i < a.size())
        return 1;
    return j < b.size() ? -1 : 0;
}

}  // namespace

int naturalCompare(std::string_view a, std::string_view b)
{
    if (const int c = compareIgnoringCaseAndZeros(a, b))
        return c;
    const int c = a.compare(b);
    return c < 0 ? -1 : c > 0 ? 1 : 0;
}

std::optional<std::size_t> neighbourInOrder(const std::vector<std::string>& names, std::string_view name, int direction)
{
    if (direction > 0) {
        const auto after = std::upper_bound(names.begin(), names.end(), name,
                                            [](std::string_view n, const auto& e) { return naturalLess(n, e); });
        if (after == names.end())
            return std::nullopt;
        return std::size_t(after - names.begin());
    }
    const auto at = std::lower_bound(names.begin(), names.end(), name,
                                     [](const auto& e, std::string_view n) { return naturalLess(e, n); });
    if (at == names.begin())
        return std::nullopt;
    return std::size_t(at - names.begin()) - 1;
}

}  // namespace trimlet
