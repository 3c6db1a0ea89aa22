#include "forms/main/live_size.h"

namespace trimlet {

LiveSizeWorker::LiveSizeWorker(QObject* parent) : QObject(parent), thread_([this] { run(); }) {}

LiveSizeWorker::~LiveSizeWorker()
{
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
        waiting_.reset();
    }
    wake_.notify_one();
    thread_.join();
}

std::uint64_t LiveSizeWorker::request(LiveSizeJob job)
{
    std::uint64_t generation = 0;
    {
        const std::lock_guard lock(mutex_);
        generation = ++generation_;
        waiting_ = std::move(job);
    }
    wake_.notify_one();
    return generation;
}

void LiveSizeWorker::cancel()
{
    const std::lock_guard lock(mutex_);
    ++generation_;
    waiting_.reset();
}

bool LiveSizeWorker::superseded(std::uint64_t generation) const { return stopping_ || generation != generation_; }

void LiveSizeWorker::run()
{
    for (;;) {
        LiveSizeJob job;
        std::uint64_t generation = 0;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || waiting_.has_value(); });
            if (stopping_)
                return;
            job = std::move(*waiting_);
            waiting_.reset();
            generation = generation_;
        }
        LiveSizeResult result = measurePiece(job, [this, generation] { return superseded(generation); });
        result.generation = generation;
        // Dropped in the queue too if a newer request comes before the owner's loop runs it;
        // the event dies with this object, which outlives the thread.
        if (!superseded(generation))
            QMetaObject::invokeMethod(
                this,
                [this, result] {
                    if (result.generation == generation_)
                        emit measured(result);
                },
                Qt::QueuedConnection);
    }
}

}  // namespace trimlet
