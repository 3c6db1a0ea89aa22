#pragma once
// A batch's files worked on side by side and handed over in their order, so that what is
// written and printed is what one file after the other would give.

#include <cstddef>
#include <exception>
#include <functional>

namespace trimlet::cli {

// Runs work(i) for every i in [0, count) on up to `jobs` threads of its own and hands each
// one over to take(i, failed) on the calling thread in index order, failed holding what
// work(i) threw. At most `jobs` works are begun and not yet taken, so a batch holds no more
// than that many files' worth of memory however slow its earliest file is. finished(i) is
// called on the calling thread as each work ends, in any order, before its take. With one
// job, or no thread to be had, everything runs on the calling thread, one index after the
// other. A take that throws ends the batch: the works running are waited for, no other begins.
void runInOrder(std::size_t count, int jobs, const std::function<void(std::size_t)>& work,
                const std::function<void(std::size_t)>& finished,
                const std::function<void(std::size_t, std::exception_ptr)>& take);

}  // namespace trimlet::cli
