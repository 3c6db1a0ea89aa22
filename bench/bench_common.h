#pragma once
// What the benchmark programs share: the 6000 × 4000 photo-like picture, its q90 JPEG file and
// a plain copy of its bytes, the yardstick the kernels are measured against.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "codecs/jpeg.h"
#include "tests/support/test_support.h"

namespace trimlet::bench {

inline const Bitmap& photo()
{
    static const Bitmap bitmap = test::photoLike(6000, 4000);
    return bitmap;
}

inline const std::vector<std::uint8_t>& photoJpeg()
{
    static const std::vector<std::uint8_t> bytes = encodeJpeg(photo(), 90).value();
    return bytes;
}

inline void memcpyPhoto(benchmark::State& state)
{
    ByteBuffer copy(photo().byteCount());
    for (auto _ : state) {
        std::memcpy(copy.data(), photo().data(), copy.size());
        benchmark::DoNotOptimize(copy.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * std::int64_t(copy.size()));
}

// The benchmark program's main: the picture is made before timing starts (a lazy first use
// would land in the first benchmark's figure); with TRIMLET_BENCH_WRITE=DIR, writeFiles(DIR)
// first puts the picture and our results there, so the peers run on the very same data.
inline int runBenchmarks(int argc, char** argv, const std::function<void(const std::string& dir)>& writeFiles)
{
    photo();
    if (const char* dir = std::getenv("TRIMLET_BENCH_WRITE")) {
        test::writeBytes(std::string(dir) + "/photo.ppm", test::toPpm(photo()));
        writeFiles(dir);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

}  // namespace trimlet::bench
