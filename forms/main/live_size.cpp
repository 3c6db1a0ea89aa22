#include "forms/main/live_size.h"

#include <new>

#include "imaging/cut.h"

namespace trimlet {

Bitmap cutPiece(const PieceRequest& request)
{
    if (request.whole)
        return request.source.bitmap();
    return cutRegion(request.source.bitmap(), request.origin, request.cutW, request.cutH, request.rate);
}

LiveSizeResult measurePiece(const LiveSizeJob& job, const std::function<bool()>& superseded)
{
    LiveSizeResult result;
    try {
        // The whole picture is measured where it lies: a copy would hold it twice.
        const Bitmap cut = job.piece.whole ? Bitmap() : cutPiece(job.piece);
        const Bitmap& piece = job.piece.whole ? job.piece.source.bitmap() : cut;
        if (piece.empty())
            return result;
        auto fitted = encodeOutputWithin(piece, job.format, job.quality, job.maxBytes, superseded);
        if (!fitted)
            return result;
        result.ok = true;
        result.fits = fitted.value().fits;
        result.bytes = fitted.value().bytes.size();
        result.quality = fitted.value().quality;
    } catch (const std::bad_alloc&) {
        result.ok = false;
    }
    return result;
}

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
