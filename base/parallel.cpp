#include "base/parallel.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <sched.h>
#include <thread>
#include <vector>

namespace trimlet {

namespace {

constexpr int kMaxThreads = 8;
constexpr std::int64_t kPixelsPerExtraThread = std::int64_t{1} << 20;

int threadsAtStart()
{
    int threads = std::min(usableCores(), kMaxThreads);
    if (const char* named = std::getenv("TRIMLET_THREADS")) {
        int wanted = 0;
        const char* end = named + std::strlen(named);
        const auto [at, error] = std::from_chars(named, end, wanted);
        if (error == std::errc{} && at == end && wanted >= 1)
            threads = std::min(threads, wanted);
    }
    return threads;
}

std::atomic<int>& limit()
{
    static std::atomic<int> threads{threadsAtStart()};
    return threads;
}

thread_local int threadShare = 0;

}  // namespace

int usableCores()
{
    cpu_set_t set;
    CPU_ZERO(&set);
    if (::sched_getaffinity(0, sizeof set, &set) == 0)
        return std::max(1, CPU_COUNT(&set));
    return int(std::max(1u, std::thread::hardware_concurrency()));
}

int threadsFor(std::int64_t pixels)
{
    if (pixels < kPixelsPerExtraThread)
        return 1;
    int threads = limit().load(std::memory_order_relaxed);
    if (threadShare > 0)
        threads = std::min(threads, threadShare);
    return int(std::min<std::int64_t>(threads, pixels / kPixelsPerExtraThread));
}

void setThreadShare(int threads) { threadShare = std::max(0, threads); }

void setThreadLimit(int threads)
{
    static const int atStart = threadsAtStart();
    limit().store(threads >= 1 ? std::min(threads, atStart) : atStart, std::memory_order_relaxed);
}

void parallelFor(int count, int threads, const std::function<void(int, int)>& part, int grain)
{
    if (count <= 0)
        return;
    grain = std::max(1, grain);
    const int grains = (count + grain - 1) / grain;
    const int runs = std::clamp(threads, 1, grains);
    // Run r covers grains [r·grains/runs, (r+1)·grains/runs).
    const auto bound = [&](int r) { return std::min(count, int(std::int64_t(r) * grains / runs) * grain); };
    std::vector<std::exception_ptr> failed(static_cast<std::size_t>(runs));
    const auto guarded = [&](int r) {
        try {
            part(bound(r), bound(r + 1));
        } catch (...) {
            failed[std::size_t(r)] = std::current_exception();
        }
    };
    std::vector<std::thread> helpers;
    int started = 1;
    try {
        helpers.reserve(std::size_t(runs - 1));
        for (; started < runs; ++started)
            helpers.emplace_back(guarded, started);
    } catch (const std::exception&) {
        // no more threads to be had: the runs not started are done here
    }
    guarded(0);
    for (int r = started; r < runs; ++r)
        guarded(r);
    for (std::thread& t : helpers)
        t.join();
    for (const std::exception_ptr& e : failed)
        if (e)
            std::rethrow_exception(e);
}

}  // namespace trimlet
