#include "cli/batch.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace trimlet::cli {

namespace {

std::exception_ptr guarded(const std::function<void(std::size_t)>& work, std::size_t index)
{
    try {
        work(index);
    } catch (...) {
        return std::current_exception();
    }
    return nullptr;
}

void runHere(std::size_t from, std::size_t count, const std::function<void(std::size_t)>& work,
             const std::function<void(std::size_t)>& finished,
             const std::function<void(std::size_t, std::exception_ptr)>& take)
{
    for (std::size_t i = from; i < count; ++i) {
        std::exception_ptr failed = guarded(work, i);
        finished(i);
        take(i, std::move(failed));
    }
}

// What the calling thread and the workers share, under one lock.
class Board {
public:
    Board(std::size_t count, std::size_t jobs) : count_(count), jobs_(jobs), done_(count), failed_(count) {}

    // The next index for a worker, once fewer than jobs are begun and not taken; count when
    // there is nothing more to begin.
    std::size_t claim()
    {
        std::unique_lock lock(mutex_);
        roomy_.wait(lock, [&] { return stopping_ || next_ >= count_ || next_ < taken_ + jobs_; });
        return stopping_ || next_ >= count_ ? count_ : next_++;
    }

    std::size_t count() const { return count_; }

    void finish(std::size_t index, std::exception_ptr failed)
    {
        const std::lock_guard lock(mutex_);
        done_[index] = true;
        failed_[index] = std::move(failed);
        ended_.push_back(index);
        changed_.notify_one();
    }

    // Waits for the index to be taken next, calling finished for every work that ends
    // meanwhile; gives what it threw.
    std::exception_ptr awaitTurn(std::size_t index, const std::function<void(std::size_t)>& finished)
    {
        std::unique_lock lock(mutex_);
        for (;;) {
            while (!ended_.empty()) {
                const std::size_t ended = ended_.front();
                ended_.pop_front();
                lock.unlock();
                finished(ended);
                lock.lock();
            }
            if (done_[index])
                return std::move(failed_[index]);
            changed_.wait(lock, [&] { return !ended_.empty(); });
        }
    }

    void taken()
    {
        const std::lock_guard lock(mutex_);
        ++taken_;
        roomy_.notify_all();
    }

    void stop()
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
        roomy_.notify_all();
    }

    // When no worker could be started, the calling thread goes on from here itself.
    std::size_t unclaimed()
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
        return next_;
    }

private:
    std::mutex mutex_;
    std::condition_variable roomy_;    // for the workers: room to begin one more
    std::condition_variable changed_;  // for the calling thread: a work has ended
    const std::size_t count_;
    const std::size_t jobs_;
    std::size_t next_ = 0;
    std::size_t taken_ = 0;
    bool stopping_ = false;
    std::vector<bool> done_;
    std::vector<std::exception_ptr> failed_;
    std::deque<std::size_t> ended_;
};

// The workers, stopped and joined however the calling thread leaves.
class Crew {
public:
    explicit Crew(Board& board) : board_(board) {}
    Crew(const Crew&) = delete;
    Crew& operator=(const Crew&) = delete;
    ~Crew()
    {
        board_.stop();
        for (std::thread& t : threads_)
            t.join();
    }

    void start(std::size_t wanted, const std::function<void(std::size_t)>& work)
    {
        threads_.reserve(wanted);  // so that only starting a thread can fail
        for (std::size_t t = 0; t < wanted; ++t) {
            try {
                threads_.emplace_back([this, &work] {
                    for (std::size_t i; (i = board_.claim()) != board_.count();)
                        board_.finish(i, guarded(work, i));
                });
            } catch (const std::system_error&) {
                break;  // the threads there are share the files
            }
        }
    }

    bool empty() const { return threads_.empty(); }

private:
    Board& board_;
    std::vector<std::thread> threads_;
};

}  // namespace

void runInOrder(std::size_t count, int jobs, const std::function<void(std::size_t)>& work,
                const std::function<void(std::size_t)>& finished,
                const std::function<void(std::size_t, std::exception_ptr)>& take)
{
    const std::size_t workers = std::min(count, std::size_t(std::max(1, jobs)));
    if (workers <= 1) {
        runHere(0, count, work, finished, take);
        return;
    }
    Board board(count, workers);
    Crew crew(board);
    crew.start(workers, work);
    if (crew.empty()) {
        runHere(board.unclaimed(), count, work, finished, take);
        return;
    }
    for (std::size_t i = 0; i < count; ++i) {
        std::exception_ptr failed = board.awaitTurn(i, finished);
        take(i, std::move(failed));
        board.taken();
    }
}

}  // namespace trimlet::cli
