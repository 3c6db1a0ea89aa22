#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "base/cpu.h"
#include "imaging/flip.h"
#include "imaging/quarter_turn.h"
#include "imaging/reduce.h"
#include "imaging/rotate.h"
#include "tests/support/test_support.h"

namespace trimlet {
namespace {

// Puts the level back for the tests that follow in the same process.
class LevelGuard {
public:
    LevelGuard() : saved_(cpuLevel()) {}
    ~LevelGuard() { setCpuLevel(saved_); }
    LevelGuard(const LevelGuard&) = delete;
    LevelGuard& operator=(const LevelGuard&) = delete;

private:
    CpuLevel saved_;
};

TEST(CpuPaths, TheEnvironmentChoosesThePortablePaths)
{
    const char* asked = std::getenv("TRIMLET_CPU");
    if (!asked) {
        EXPECT_EQ(cpuLevel(), detectedCpuLevel());
    } else if (std::string(asked) == "portable") {
        EXPECT_EQ(cpuLevel(), CpuLevel::Portable);
    } else {
        GTEST_SKIP() << "TRIMLET_CPU=" << asked;
    }
}

// Every entry point that has a vector path, on one picture.
std::vector<Bitmap> everyKernel(const Bitmap& src)
{
    std::vector<Bitmap> r;
    r.push_back(turnRight(src));
    r.push_back(turnLeft(src));
    r.push_back(halfTurn(src));
    r.push_back(flipHorizontal(src));
    r.push_back(flipVertical(src));
    // Halving, also of a region that starts a pixel in and ends at the row's end.
    const int w = src.width() & ~1;
    const int h = src.height() & ~1;
    r.push_back(reduceArea(src, 0, 0, w, h, w / 2, h / 2));
    r.push_back(reduceArea(src, src.width() - (w - 2), 0, w - 2, h, w / 2 - 1, h / 2));
    for (const int degrees : {1, 45, 90, -73, 180, 359})
        for (const int threads : {1, 3}) {
            auto rotated = rotateBilinear(src, degrees, Rgb{1, 2, 3}, {}, threads);
            r.push_back(rotated ? std::move(*rotated) : Bitmap{});
        }
    return r;
}

TEST(CpuPaths, EveryLevelGivesThePortablePixels)
{
    const LevelGuard guard;
    // Widths around the 16-pixel reversal block and the 4 × 4 turn block, single rows and
    // columns, odd sizes, and rows whose last wide load ends at the stride.
    const std::vector<std::pair<int, int>> sizes = {{1, 1},  {1, 7},  {7, 1},   {3, 4},   {4, 4},    {5, 5},
                                                    {15, 9}, {16, 9}, {17, 9},  {31, 33}, {32, 4},   {33, 6},
                                                    {47, 3}, {48, 5}, {49, 50}, {6, 61},  {613, 19}, {19, 517}};
    for (const auto& [w, h] : sizes) {
        SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
        const Bitmap src = test::noisePicture(w, h, std::uint32_t(w * 131 + h));
        setCpuLevel(CpuLevel::Portable);
        const std::vector<Bitmap> portable = everyKernel(src);
        for (const CpuLevel level : {CpuLevel::Ssse3, CpuLevel::Avx2}) {
            if (setCpuLevel(level) != level)
                continue;  // this processor has no such path
            const std::vector<Bitmap> fast = everyKernel(src);
            for (std::size_t k = 0; k < portable.size(); ++k)
                EXPECT_TRUE(fast[k] == portable[k]) << cpuLevelName(level) << ", kernel " << k;
        }
    }
}

}  // namespace
}  // namespace trimlet
