#pragma once
// Sharing a kernel's rows out to the processor's cores.

#include <cstdint>
#include <functional>

namespace trimlet {

// The cores this process may run on (its affinity, as taskset or a container's CPU set leave
// them), at least 1: more threads than that only take turns on the same cores.
int usableCores();

// The threads a kernel touching `pixels` pixels should use: 1 below about a megapixel, where
// starting a thread costs more than it saves, else usableCores capped at 8. The
// environment variable TRIMLET_THREADS (a number from 1), read once, or setThreadLimit lower
// that cap.
int threadsFor(std::int64_t pixels);

// Caps threadsFor at limit from now on (0: back to usableCores and TRIMLET_THREADS).
// For tests and benchmarks.
void setThreadLimit(int limit);

// Caps threadsFor further on the calling thread alone (0: no cap of its own), for work that
// runs beside other such work and shares the cores with it.
void setThreadShare(int threads);

// Calls part(begin, end) on contiguous runs covering [0, count), at most `threads` of them,
// each but the last a multiple of grain long, one a thread, the calling thread taking the
// first. Returns when every run is done; an exception thrown by a run is thrown again here
// once all have ended. A thread that cannot be started leaves its run to the calling thread.
void parallelFor(int count, int threads, const std::function<void(int begin, int end)>& part, int grain = 1);

}  // namespace trimlet
