#pragma once
// Which vector instructions the pixel kernels may use: looked up once for the whole program, so
// that no kernel asks the processor itself and tests can send every kernel down its portable
// path.

// Defined where the compiler targets x86 (32 or 64 bit): only there are the kernels' SSSE3 and
// AVX2 paths compiled in, each function marked with its target so the rest of the build stays
// portable.
#if defined(__x86_64__) || defined(__i386__)
#define TRIMLET_X86 1
#endif

namespace trimlet {

// Each level includes the ones before it.
enum class CpuLevel { Portable, Ssse3, Avx2 };

// The highest level this processor runs (Portable off x86).
CpuLevel detectedCpuLevel();

// The level the kernels use. The first call settles it: the detected level, lowered by the
// environment variable TRIMLET_CPU (portable, ssse3 or avx2) when that names a lower one; an
// unknown value is ignored.
CpuLevel cpuLevel();

// Makes the kernels use `wanted` from now on, capped at the detected level so that no kernel is
// sent to instructions the processor lacks. Returns the level now in use. For tests and
// benchmarks; a kernel already running keeps the level it started with.
CpuLevel setCpuLevel(CpuLevel wanted);

// The lowercase name TRIMLET_CPU takes for a level.
const char* cpuLevelName(CpuLevel level);

}  // namespace trimlet
