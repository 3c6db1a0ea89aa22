#pragma once
// Helpers shared by the unit tests and the benchmarks.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "codecs/bitmap.h"

namespace trimlet::test {

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

std::vector<std::uint8_t> readBytes(const std::string& path);
void writeBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);
bool fileExists(const std::string& path);
// The names in a folder, sorted.
std::vector<std::string> entryNames(const std::string& folder);

struct CommandResult {
    int exitCode = -1;
    std::string out;  // standard output only
};
// Set in address-sanitizer builds, whose shadow memory no address-space budget can hold.
#if defined(__SANITIZE_ADDRESS__)
#define TRIMLET_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TRIMLET_ASAN 1
#endif
#endif

// The text work returns, run in a forked child whose address space may grow by at most budget
// bytes past what it holds once prepare has run; nothing when the child died.
std::optional<std::string> textInChildWithin(std::uint64_t budget, const std::function<std::string()>& work,
                                             const std::function<void()>& prepare = {});

// Runs a shell command line and collects its standard output.
CommandResult runCommand(const std::string& commandLine);
// True when a program of that name is on PATH.
bool haveProgram(const std::string& name);

// Runs fn with every file write limited to maxBytes, as on a disk that fills up.
void withFileSizeLimit(std::uint64_t maxBytes, const std::function<void()>& fn);

// Makes a folder refuse writing while the object lives: a read-only bind mount for root, whom
// permissions do not stop, its write bits taken away for anyone else. ok() is false where
// neither took.
class ReadOnlyFolder {
public:
    explicit ReadOnlyFolder(std::string folder);
    ~ReadOnlyFolder();
    ReadOnlyFolder(const ReadOnlyFolder&) = delete;
    ReadOnlyFolder& operator=(const ReadOnlyFolder&) = delete;
    bool ok() const { return ok_; }

private:
    std::string folder_;
    bool mounted_ = false;
    bool ok_ = false;
};

// Binary PPM (P6) of the bitmap's pixels, and back. fromPnm also takes P5 (grey) as equal
// blue, green, red.
std::vector<std::uint8_t> toPpm(const Bitmap& bitmap);
Bitmap fromPnm(const std::vector<std::uint8_t>& pnm);

// Deterministic picture with smooth gradients, edges and fine noise, like a photo for codecs.
Bitmap photoLike(int width, int height, std::uint32_t seed = 1);
// Uniform random bytes from a seed: a pixel moved as the wrong bytes, or a wrong weight, shows
// where smooth content could hide it.
Bitmap noisePicture(int width, int height, std::uint32_t seed);
// Bitmap from 0xRRGGBB values, row by row, for small hand-checked pictures.
Bitmap bitmapFromRows(const std::vector<std::vector<std::uint32_t>>& rgbRows);
// 0xRRGGBB of one pixel.
std::uint32_t pixelAt(const Bitmap& bitmap, int x, int y);
// Largest absolute difference of one channel over all pixels (sizes must match).
int maxChannelDifference(const Bitmap& a, const Bitmap& b);

}  // namespace trimlet::test
