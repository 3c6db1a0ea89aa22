#pragma once
// Whole-file reads and all-or-nothing writes.

#include <cstdint>
#include <string>
#include <vector>

#include "codecs/decoded.h"

namespace trimlet {

// Reads a whole regular file; files larger than maxBytes are refused (TooLarge).
Result<std::vector<std::uint8_t>> readFileBytes(const std::string& path, std::uint64_t maxBytes = std::uint64_t{1} << 32);

enum class WriteMode { Replace, NoReplace };

// Writes bytes to a temporary file in the target's folder, flushes it to disk and renames it
// onto path, so that path holds either the complete new file or what it held before.
// NoReplace fails with Exists when path already exists (checked atomically at the rename).
Status writeFileAtomic(const std::string& path, Bytes bytes, WriteMode mode = WriteMode::Replace);

}  // namespace trimlet
