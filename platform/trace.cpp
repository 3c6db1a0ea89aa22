#include "platform/trace.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace trimlet {

namespace {

struct TraceFile {
    std::FILE* file = nullptr;
    std::mutex mutex;
    TraceFile()
    {
        if (const char* path = std::getenv(kTraceVariable); path && *path)
            file = std::fopen(path, "ae");
    }
};

TraceFile& traceFile()
{
    static TraceFile t;
    return t;
}

// The resident and peak resident memory in KiB, from the kernel's own account.
void memoryKib(long& rss, long& hwm)
{
    rss = hwm = -1;
    std::FILE* status = std::fopen("/proc/self/status", "re");
    if (!status)
        return;
    char line[256];
    while (std::fgets(line, sizeof line, status)) {
        if (std::strncmp(line, "VmRSS:", 6) == 0)
            rss = std::strtol(line + 6, nullptr, 10);
        else if (std::strncmp(line, "VmHWM:", 6) == 0)
            hwm = std::strtol(line + 6, nullptr, 10);
    }
    std::fclose(status);
}

}  // namespace

bool tracing() { return traceFile().file != nullptr; }

void trace(const char* event, const char* detail)
{
    TraceFile& t = traceFile();
    if (!t.file)
        return;
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    const long long micros = std::chrono::duration_cast<std::chrono::microseconds>(now).count();
    long rss = 0, hwm = 0;
    memoryKib(rss, hwm);
    const std::lock_guard lock(t.mutex);
    std::fprintf(t.file, "%lld.%06lld %s %s rss=%ld hwm=%ld\n", micros / 1'000'000, micros % 1'000'000, event,
                 *detail ? detail : "-", rss, hwm);
    std::fflush(t.file);
}

}  // namespace trimlet
