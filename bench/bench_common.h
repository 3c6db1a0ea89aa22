#pragma once
// What the benchmark programs share: the 6000 × 4000 photo-like picture and a plain copy of
// its bytes, the yardstick the kernels are measured against.

#include <benchmark/benchmark.h>

#include <cstring>

#include "tests/support/test_support.h"

namespace trimlet::bench {

inline const Bitmap& photo()
{
    static const Bitmap bitmap = test::photoLike(6000, 4000);
    return bitmap;
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

}  // namespace trimlet::bench
