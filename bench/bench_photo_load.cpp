// Loading a large photo file as the window does (a chunk of the file at a time, no file bytes
// kept) against loadPictureUpright (the whole file read, then decoded, its bytes kept), on the file
// that TRIMLET_BENCH_PHOTO names (default: bench/scale.sh's 100-megapixel JPEG).
//   bench_photo_load [--benchmark_repetitions=N ...]

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include "imaging/photo.h"
#include "imaging/photo_streamed.h"

namespace {

using namespace trimlet;

std::string photoPath()
{
    const char* path = std::getenv("TRIMLET_BENCH_PHOTO");
    return path && *path ? path : "/tmp/trimlet-scale/photo100.jpg";
}

template <Result<Picture> (*Load)(const std::string&, const DecodeLimits&)>
void loadFile(benchmark::State& state)
{
    const std::string path = photoPath();
    for (auto _ : state) {
        auto picture = Load(path, {});
        if (!picture) {
            state.SkipWithError(picture.error().message.c_str());
            return;
        }
        benchmark::DoNotOptimize(picture.value().bitmap().data());
    }
}

void BM_LoadPhoto(benchmark::State& state) { loadFile<loadPictureUpright>(state); }
void BM_LoadPhotoStreamed(benchmark::State& state) { loadFile<loadPictureUprightStreamed>(state); }

BENCHMARK(BM_LoadPhoto)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
BENCHMARK(BM_LoadPhotoStreamed)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

}  // namespace

BENCHMARK_MAIN();
