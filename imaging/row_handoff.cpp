#include "imaging/row_handoff.h"

#include <condition_variable>
#include <cstring>
#include <deque>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace trimlet {

namespace {

// Large enough that a hand-over costs little against the rows' work, few enough to stay in
// cache: the caller fills one chunk while the thread works through the others.
constexpr int kChunkRows = 32;
constexpr int kChunks = 3;

struct Chunk {
    Bitmap rows;
    int first = 0;
    int count = 0;
};

}  // namespace

struct RowHandoff::Shared {
    std::mutex lock;
    std::condition_variable changed;
    std::vector<Chunk> free;
    std::deque<Chunk> full;
    Chunk filling;
    bool finished = false;
    std::exception_ptr failed;
    std::thread thread;

    void serve(const Consumer& consumer)
    {
        for (;;) {
            Chunk chunk;
            {
                std::unique_lock<std::mutex> held(lock);
                changed.wait(held, [&] { return !full.empty() || finished; });
                if (full.empty())
                    return;
                chunk = std::move(full.front());
                full.pop_front();
            }
            try {
                if (!failed)
                    consumer(chunk.rows, chunk.first, chunk.count);
            } catch (...) {
                failed = std::current_exception();
            }
            const std::lock_guard<std::mutex> held(lock);
            free.push_back(std::move(chunk));
            changed.notify_all();
        }
    }

    // Hands the filled chunk over and takes a free one, waiting for it if need be.
    void pass(int next)
    {
        std::unique_lock<std::mutex> held(lock);
        full.push_back(std::move(filling));
        changed.notify_all();
        changed.wait(held, [&] { return !free.empty(); });
        filling = std::move(free.back());
        free.pop_back();
        filling.first = next;
        filling.count = 0;
    }

    void stop()
    {
        if (!thread.joinable())
            return;
        {
            const std::lock_guard<std::mutex> held(lock);
            if (filling.count > 0)
                full.push_back(std::move(filling));
            finished = true;
        }
        changed.notify_all();
        thread.join();
    }
};

RowHandoff::RowHandoff(int width, Consumer consumer, bool onOwnThread) : consumer_(std::move(consumer))
{
    if (!onOwnThread)
        return;
    auto shared = std::make_unique<Shared>();
    shared->filling.rows = Bitmap(width, kChunkRows, Bitmap::Init::Uninitialized);
    for (int i = 1; i < kChunks; ++i)
        shared->free.push_back({Bitmap(width, kChunkRows, Bitmap::Init::Uninitialized), 0, 0});
    try {
        shared->thread = std::thread([s = shared.get(), c = &consumer_] { s->serve(*c); });
    } catch (const std::system_error&) {
        return;  // the consumer runs on the caller's thread then
    }
    shared_ = std::move(shared);
}

RowHandoff::~RowHandoff()
{
    if (shared_)
        shared_->stop();
}

void RowHandoff::add(const Bitmap& band, int count)
{
    if (!shared_) {
        consumer_(band, next_, count);
        next_ += count;
        return;
    }
    Shared& s = *shared_;
    const std::size_t rowBytes = std::size_t(band.width()) * 3;
    for (int i = 0; i < count; ++i) {
        std::memcpy(s.filling.rows.row(s.filling.count), band.row(i), rowBytes);
        ++next_;
        if (++s.filling.count == kChunkRows)
            s.pass(next_);
    }
}

void RowHandoff::finish()
{
    if (!shared_)
        return;
    shared_->stop();
    const std::exception_ptr failed = shared_->failed;
    shared_.reset();
    if (failed)
        std::rethrow_exception(failed);
}

}  // namespace trimlet
