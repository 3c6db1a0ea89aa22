#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <thread>

#include "imaging/region.h"
#include "imaging/row_handoff.h"
#include "tests/support/test_support.h"

namespace trimlet {
namespace {

// Every row reaches the consumer once, in order, with its own index, whatever the bands.
TEST(RowHandoff, HandsEveryRowOverOnceInOrder)
{
    const Bitmap src = test::noisePicture(37, 203, 3);
    for (const bool ownThread : {false, true})
        for (const int bandRows : {1, 5, 16, 32, 33, 203}) {
            Bitmap joined(37, 203);
            int next = 0;
            bool otherThread = false;
            const auto caller = std::this_thread::get_id();
            RowHandoff handoff(
                37,
                [&](const Bitmap& rows, int first, int count) {
                    EXPECT_EQ(first, next);
                    next = first + count;
                    otherThread = otherThread || std::this_thread::get_id() != caller;
                    for (int i = 0; i < count; ++i)
                        std::copy_n(rows.row(i), 3 * 37, joined.row(first + i));
                },
                ownThread);
            for (int first = 0; first < 203; first += bandRows) {
                const int count = std::min(bandRows, 203 - first);
                handoff.add(copyRegion(src, 0, first, 37, count), count);
            }
            handoff.finish();
            EXPECT_EQ(next, 203);
            EXPECT_TRUE(joined == src) << bandRows;
            EXPECT_EQ(otherThread, ownThread);
        }
}

TEST(RowHandoff, AFailedConsumerGetsNoMoreRowsAndItsErrorComesBack)
{
    int calls = 0;
    RowHandoff handoff(
        4,
        [&](const Bitmap&, int, int) {
            ++calls;
            throw std::runtime_error("consumer failed");
        },
        true);
    const Bitmap band = test::noisePicture(4, 50, 1);
    for (int i = 0; i < 4; ++i)
        handoff.add(band, 50);
    EXPECT_THROW(handoff.finish(), std::runtime_error);
    EXPECT_EQ(calls, 1);
    // Abandoned half-way, as when the decoder fails: its thread ends with it.
    RowHandoff abandoned(
        4, [](const Bitmap&, int, int) {}, true);
    abandoned.add(band, 50);
}

}  // namespace
}  // namespace trimlet
