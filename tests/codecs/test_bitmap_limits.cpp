// Sizes a bitmap can take whatever the byte cap a caller passes.
#include <gtest/gtest.h>

#include <cstdint>

#include "codecs/bitmap.h"

namespace trimlet {
namespace {

TEST(Bitmap, RowsWiderThanAnIntCanCountAreRefusedWhateverTheCap)
{
    constexpr std::int64_t kNoCap = INT64_MAX / 4;
    // A row's bytes are counted in an int.
    EXPECT_TRUE(Bitmap::sizeAllowed(INT32_MAX / 3, 1, kNoCap));
    EXPECT_FALSE(Bitmap::sizeAllowed(INT32_MAX / 3 + 1, 1, kNoCap));
    EXPECT_FALSE(Bitmap::sizeAllowed(INT32_MAX, 1, kNoCap));
    EXPECT_TRUE(Bitmap::sizeAllowed(1, INT32_MAX, kNoCap));
    EXPECT_FALSE(Bitmap::sizeAllowed(1, std::int64_t(INT32_MAX) + 1, kNoCap));
    // The cap itself, to the byte: 4 bytes a row for 1 pixel.
    EXPECT_TRUE(Bitmap::sizeAllowed(1, 1000, 4000));
    EXPECT_FALSE(Bitmap::sizeAllowed(1, 1001, 4000));
}

}  // namespace
}  // namespace trimlet
