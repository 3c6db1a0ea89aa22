// A batch's files made side by side: the same files, lines and status as one after the other.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <map>
#include <mutex>
#include <regex>
#include <stdexcept>
#include <thread>

#include "base/parallel.h"
#include "cli/batch.h"
#include "codecs/jpeg.h"
#include "tests/cli/cli_run.h"
#include "tests/support/test_support.h"

namespace trimlet {
namespace {

namespace fs = std::filesystem;

TEST(RunInOrder, TakesInOrderWithinTheBoundAndHandsOverWhatWasThrown)
{
    for (const int jobs : {1, 3}) {
        constexpr std::size_t kCount = 30;
        std::atomic<int> begun{0}, taken{0}, most{0};
        std::vector<std::size_t> order;
        std::vector<bool> finished(kCount);
        const auto caller = std::this_thread::get_id();
        cli::runInOrder(
            kCount, jobs,
            [&](std::size_t i) {
                const int open = ++begun - taken.load();
                most = std::max(most.load(), open);
                // Later files end first now and then, so that the order has to be restored.
                std::this_thread::sleep_for(std::chrono::milliseconds((kCount - i) % 4));
                if (i % 7 == 3)
                    throw std::runtime_error(std::to_string(i));
            },
            [&](std::size_t i) {
                EXPECT_EQ(std::this_thread::get_id(), caller);
                finished[i] = true;
            },
            [&](std::size_t i, const std::exception_ptr& thrown) {
                EXPECT_EQ(std::this_thread::get_id(), caller);
                EXPECT_TRUE(finished[i]);
                EXPECT_EQ(bool(thrown), i % 7 == 3) << i;
                order.push_back(i);
                ++taken;
            });
        ASSERT_EQ(order.size(), kCount);
        for (std::size_t i = 0; i < kCount; ++i)
            EXPECT_EQ(order[i], i);
        EXPECT_LE(most.load(), jobs);
    }
}

TEST(ThreadShare, CapsTheCallingThreadAlone)
{
    setThreadLimit(8);
    constexpr std::int64_t kBig = std::int64_t{64} << 20;
    const int all = threadsFor(kBig);
    int shared = 0, beside = 0;
    std::thread([&] {
        setThreadShare(1);
        shared = threadsFor(kBig);
    }).join();
    std::thread([&] { beside = threadsFor(kBig); }).join();
    setThreadLimit(0);
    EXPECT_EQ(shared, 1);
    EXPECT_EQ(beside, all);
}

// The folder's files and their bytes.
std::map<std::string, std::vector<std::uint8_t>> contents(const std::string& folder)
{
    std::map<std::string, std::vector<std::uint8_t>> files;
    for (const std::string& name : test::entryNames(folder))
        files[name] = test::readBytes(folder + "/" + name);
    return files;
}

// The progress line's shows and wipes taken out of standard error.
std::string withoutProgress(const std::string& err)
{
    return std::regex_replace(err, std::regex("\r(\\[[0-9]+/[0-9]+\\] [^\r]*| *)"), "");
}

TEST(CliBatch, SideBySideWritesAndSaysWhatOneAfterTheOtherDoes)
{
    test::TempDir dir;
    const auto fill = [&](const std::string& folder) {
        fs::create_directories(folder);
        test::writeBytes(folder + "/big.jpg", encodeJpeg(test::photoLike(1600, 1200, 3), 85).value());
        test::writeBytes(folder + "/small.jpg", encodeJpeg(test::photoLike(200, 150, 4), 85).value());
        test::writeBytes(folder + "/broken.jpg", {0xFF, 0xD8, 0xFF, 0xE0, 0x00});
        test::writeBytes(folder + "/tall.jpg", encodeJpeg(test::photoLike(700, 1300, 5), 85).value());
    };
    // big.jpg twice takes two serial names; big(1).jpg is only there once the first is written,
    // and then an input like any other, though its job has begun before.
    const std::vector<std::string> inputs{"big.jpg", "big(1).jpg", "missing.jpg", "small.jpg",
                                          "big.jpg", "broken.jpg", "tall.jpg"};
    const std::vector<std::vector<std::string>> stepLists{{"--cut", "640x480@50"},
                                                          {"--turn", "right", "--cut-set", "320x240,240x320@fit"}};
    int round = 0;
    for (const auto& steps : stepLists) {
        std::map<std::string, std::vector<std::uint8_t>> written[2];
        CliRun runs[2];
        for (const int jobs : {1, 3}) {
            const int r = jobs == 1 ? 0 : 1;
            // Run from within the folder, so that the printed paths are the same words.
            const std::string folder = dir.file(std::to_string(round++));
            fill(folder);
            std::vector<std::string> args = inputs;
            args.insert(args.end(), steps.begin(), steps.end());
            args.insert(args.end(), {"--save", "--jobs", std::to_string(jobs)});
            const fs::path old = fs::current_path();
            fs::current_path(folder);
            runs[r] = runCli(args, {jobs > 1, 60});
            fs::current_path(old);
            written[r] = contents(folder);
        }
        EXPECT_EQ(runs[1].status, runs[0].status);
        EXPECT_EQ(runs[0].status, 1);
        EXPECT_EQ(runs[1].out, runs[0].out);
        // A set writes big(1)_320x240.jpg and the like, and leaves big(1).jpg missing.
        EXPECT_EQ(runs[0].out.find("big(1)(1).jpg") != std::string::npos, steps[0] == "--cut") << runs[0].out;
        EXPECT_EQ(withoutProgress(runs[1].err), runs[0].err);
        EXPECT_NE(runs[1].err.find("[7/7]"), std::string::npos) << runs[1].err;
        EXPECT_TRUE(written[1] == written[0]) << runs[0].out << runs[1].out;
    }
}

}  // namespace
}  // namespace trimlet
