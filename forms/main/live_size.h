#pragma once
// The exact size of the piece as it would be saved, measured on a thread of its own while
// the user frames, so that the window never waits for an encoder.

#include <QObject>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <thread>

#include "document/piece.h"

namespace trimlet {

// Measures one job at a time. A request replaces a job still waiting, a running job is
// abandoned between encodes, and only the newest request's result is reported, on the
// owner's thread. Destroying the worker waits for at most one encode.
class LiveSizeWorker : public QObject {
    Q_OBJECT
public:
    explicit LiveSizeWorker(QObject* parent = nullptr);
    ~LiveSizeWorker() override;
    LiveSizeWorker(const LiveSizeWorker&) = delete;
    LiveSizeWorker& operator=(const LiveSizeWorker&) = delete;

    // The generation the job's result will carry.
    std::uint64_t request(LiveSizeJob job);
    // Forgets the waiting job and drops the running one's result.
    void cancel();
    std::uint64_t generation() const { return generation_; }

signals:
    void measured(const trimlet::LiveSizeResult& result);

private:
    void run();
    bool superseded(std::uint64_t generation) const;

    std::mutex mutex_;
    std::condition_variable wake_;
    std::optional<LiveSizeJob> waiting_;
    std::atomic<std::uint64_t> generation_{0};
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

}  // namespace trimlet
