#pragma once
// Automatic serial file names: NAME(1).jpg, NAME(2).jpg, … or NAME-1.bmp, NAME-1.png, NAME-1.webp, …
// beside a base file.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace trimlet {

enum class SerialTail { Paren = 0, Hyphen = 1 };

// The base path without the extension of its file name ("/p/cat.png" gives "/p/cat"). A
// leading dot starts a name, not an extension (".hidden" stays as it is).
std::string serialStem(std::string_view base);

// stem + "(n)" or "-n" + extension (extension with its dot, e.g. ".jpg").
std::string serialCandidate(std::string_view stem, SerialTail tail, std::uint64_t n, std::string_view extension);

// The first candidate, counting from 1, for which exists() is false; so a gap left by a
// deleted file is filled before the numbers go on.
std::string serialName(std::string_view base, SerialTail tail, std::string_view extension,
                       const std::function<bool(const std::string&)>& exists);

}  // namespace trimlet
