#pragma once
// A read-only view of bytes: a file's contents, an encoded picture.

#include <cstdint>
#include <span>

namespace trimlet {

using Bytes = std::span<const std::uint8_t>;

}  // namespace trimlet
