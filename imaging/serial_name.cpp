#include "imaging/serial_name.h"

namespace trimlet {

std::string serialStem(std::string_view base)
{
    const std::size_t slash = base.rfind('/');
    const std::size_t nameStart = slash == std::string_view::npos ? 0 : slash + 1;
    const std::size_t dot = base.rfind('.');
    if (dot == std::string_view::npos || dot <= nameStart)
        return std::string(base);
    return std::string(base.substr(0, dot));
}

std::string serialCandidate(std::string_view stem, SerialTail tail, std::uint64_t n, std::string_view extension)
{
    std::string name(stem);
    const std::string number = std::to_string(n);
    if (tail == SerialTail::Paren)
        name.append("(").append(number).append(")");
    else
        name.append("-").append(number);
    return name.append(extension);
}

std::string serialName(std::string_view base, SerialTail tail, std::string_view extension,
                       const std::function<bool(const std::string&)>& exists)
{
    const std::string stem = serialStem(base);
    for (std::uint64_t n = 1;; ++n) {
        std::string candidate = serialCandidate(stem, tail, n, extension);
        if (!exists(candidate))
            return candidate;
    }
}

}  // namespace trimlet
