#include <gtest/gtest.h>

#include "base/cpu.h"

namespace trimlet {
namespace {

TEST(CpuLevel, IsCappedAtWhatTheProcessorRuns)
{
    const CpuLevel before = cpuLevel();
    const CpuLevel detected = detectedCpuLevel();
    EXPECT_LE(before, detected);
    for (const CpuLevel wanted : {CpuLevel::Portable, CpuLevel::Ssse3, CpuLevel::Avx2}) {
        const CpuLevel expected = wanted < detected ? wanted : detected;
        EXPECT_EQ(setCpuLevel(wanted), expected) << cpuLevelName(wanted);
        EXPECT_EQ(cpuLevel(), expected) << cpuLevelName(wanted);
    }
    setCpuLevel(before);
    EXPECT_EQ(cpuLevel(), before);
}

TEST(CpuLevel, NamesAreTheOnesTheEnvironmentTakes)
{
    EXPECT_STREQ(cpuLevelName(CpuLevel::Portable), "portable");
    EXPECT_STREQ(cpuLevelName(CpuLevel::Ssse3), "ssse3");
    EXPECT_STREQ(cpuLevelName(CpuLevel::Avx2), "avx2");
}

}  // namespace
}  // namespace trimlet
