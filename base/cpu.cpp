#include "base/cpu.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <optional>

namespace trimlet {

namespace {

std::optional<CpuLevel> levelNamed(const char* name)
{
    for (const CpuLevel level : {CpuLevel::Portable, CpuLevel::Ssse3, CpuLevel::Avx2})
        if (std::strcmp(name, cpuLevelName(level)) == 0)
            return level;
    return std::nullopt;
}

CpuLevel atMostDetected(CpuLevel wanted)
{
    const CpuLevel detected = detectedCpuLevel();
    return wanted < detected ? wanted : detected;
}

CpuLevel levelAtStart()
{
    const char* asked = std::getenv("TRIMLET_CPU");
    const std::optional<CpuLevel> named = asked ? levelNamed(asked) : std::nullopt;
    return named ? atMostDetected(*named) : detectedCpuLevel();
}

// Set once from the environment before any kernel reads it; a kernel reads it once per call.
std::atomic<CpuLevel>& current()
{
    static std::atomic<CpuLevel> level{levelAtStart()};
    return level;
}

}  // namespace

CpuLevel detectedCpuLevel()
{
    static const CpuLevel detected = [] {
#ifdef TRIMLET_X86
        __builtin_cpu_init();
        if (!__builtin_cpu_supports("ssse3"))
            return CpuLevel::Portable;
        return __builtin_cpu_supports("avx2") ? CpuLevel::Avx2 : CpuLevel::Ssse3;
#else
        return CpuLevel::Portable;
#endif
    }();
    return detected;
}

CpuLevel cpuLevel() { return current().load(std::memory_order_relaxed); }

CpuLevel setCpuLevel(CpuLevel wanted)
{
    const CpuLevel level = atMostDetected(wanted);
    current().store(level, std::memory_order_relaxed);
    return level;
}

const char* cpuLevelName(CpuLevel level)
{
    switch (level) {
    case CpuLevel::Portable: return "portable";
    case CpuLevel::Ssse3: return "ssse3";
    case CpuLevel::Avx2: return "avx2";
    }
    return "portable";
}

}  // namespace trimlet
