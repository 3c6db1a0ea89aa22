#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

#include "base/parallel.h"

namespace trimlet {
namespace {

TEST(ParallelFor, CoversEveryIndexOnceInRunsOfWholeGrains)
{
    for (const int count : {1, 7, 16, 100, 1001})
        for (const int threads : {1, 2, 3, 8})
            for (const int grain : {1, 16}) {
                std::vector<std::atomic<int>> seen(static_cast<std::size_t>(count));
                std::atomic<int> runs{0};
                parallelFor(
                    count, threads,
                    [&](int begin, int end) {
                        ++runs;
                        EXPECT_TRUE(begin % grain == 0) << begin;
                        EXPECT_TRUE(end % grain == 0 || end == count) << end;
                        for (int i = begin; i < end; ++i)
                            ++seen[std::size_t(i)];
                    },
                    grain);
                for (const auto& s : seen)
                    ASSERT_EQ(s.load(), 1) << count << " " << threads << " " << grain;
                EXPECT_LE(runs.load(), threads);
            }
    int calls = 0;
    parallelFor(0, 2, [&](int, int) { ++calls; });
    EXPECT_EQ(calls, 0);
}

TEST(ParallelFor, ThrowsOnTheCallersThreadOnceAllRunsEnded)
{
    std::atomic<int> finished{0};
    const auto caller = std::this_thread::get_id();
    EXPECT_THROW(parallelFor(4, 4,
                             [&](int begin, int) {
                                 if (begin > 0 && std::this_thread::get_id() != caller)
                                     throw std::runtime_error("run failed");
                                 ++finished;
                             }),
                 std::runtime_error);
    EXPECT_GE(finished.load(), 1);
}

TEST(ThreadsFor, OneForSmallPicturesAndNeverPastTheLimit)
{
    EXPECT_EQ(threadsFor(0), 1);
    EXPECT_EQ(threadsFor(1000 * 1000), 1);
    const int most = threadsFor(std::int64_t{1} << 40);
    EXPECT_GE(most, 1);
    EXPECT_LE(most, 8);
    setThreadLimit(1);
    EXPECT_EQ(threadsFor(std::int64_t{1} << 40), 1);
    setThreadLimit(100);
    EXPECT_EQ(threadsFor(std::int64_t{1} << 40), most);
    setThreadLimit(0);
    EXPECT_EQ(threadsFor(std::int64_t{1} << 40), most);
}

}  // namespace
}  // namespace trimlet
