#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "codecs/heif_avif_module.h"
#include "tests/support/test_support.h"

namespace trimlet {
namespace {

void expectRefused(const Result<const HeifAvifModule*>& loaded, const std::string& path)
{
    ASSERT_FALSE(loaded) << path;
    EXPECT_EQ(loaded.error().code, ErrorCode::Unsupported) << path;
    EXPECT_NE(loaded.error().message.find("HEIF and AVIF support"), std::string::npos) << loaded.error().message;
    EXPECT_NE(loaded.error().message.find(path), std::string::npos) << loaded.error().message;
}

TEST(HeifAvifModule, WhatIsNotTheModuleIsRefusedAsMissingSupport)
{
    test::TempDir dir;
    test::writeBytes(dir.file("text.so"), {'n', 'o', ' ', 'E', 'L', 'F', '\n'});
    test::writeBytes(dir.file("empty.so"), {});
    std::filesystem::create_directory(dir.file("folder.so"));
    for (const std::string& path : {dir.file("missing.so"), dir.file("text.so"), dir.file("empty.so"),
                                    dir.file("folder.so"), std::string(STAND_IN_NO_ENTRY_MODULE)})
        expectRefused(loadHeifAvifModule(path), path);

    const auto foreign = loadHeifAvifModule(STAND_IN_FOREIGN_MODULE);
    expectRefused(foreign, STAND_IN_FOREIGN_MODULE);
    EXPECT_NE(foreign.error().message.find("another build"), std::string::npos) << foreign.error().message;
}

TEST(HeifAvifModule, TheProgramsOwnIsLoadedOnceForEveryThread)
{
    const std::string path = heifAvifModulePath();
    ASSERT_TRUE(std::filesystem::is_regular_file(path)) << path;
    EXPECT_EQ(std::filesystem::path(path).parent_path().filename(), "trimlet");

    // Threads that all ask first get one module (the window probes while it decodes).
    std::vector<const HeifAvifModule*> seen(8);
    std::vector<std::thread> threads;
    for (auto& module : seen)
        threads.emplace_back([&module] {
            const auto loaded = heifAvifModule();
            module = loaded ? loaded.value() : nullptr;
        });
    for (auto& thread : threads)
        thread.join();
    const auto again = loadHeifAvifModule(path);
    ASSERT_TRUE(again) << again.error().message;
    for (const HeifAvifModule* module : seen)
        EXPECT_EQ(module, again.value());
    EXPECT_EQ(again.value()->version, kHeifAvifModuleVersion);
}

}  // namespace
}  // namespace trimlet
