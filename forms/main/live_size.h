#pragma once
// The exact size of the piece as it would be saved, measured on a thread of its own while
// the user frames, so that the window never waits for an encoder.

#include <QObject>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

#include "codecs/output_file.h"
#include "codecs/picture.h"
#include "imaging/cut_geometry.h"

namespace trimlet {

// What the frame cuts: a region of the source reduced by a rate, or the whole source. The
// source is shared with the window, so a request costs no pixels.
struct PieceRequest {
    Picture source;
    bool whole = true;
    IntPoint origin;
    int cutW = 0;
    int cutH = 0;
    int rate = 100;
};

// The piece the preview, a save and the live size all start from.
Bitmap cutPiece(const PieceRequest& request);

struct LiveSizeJob {
    PieceRequest piece;
    OutputFormat format = OutputFormat::Jpeg;
    int quality = 90;
    std::uint64_t maxBytes = 0;  // 0: no limit
};

struct LiveSizeResult {
    std::uint64_t generation = 0;
    bool ok = false;   // false: the piece could not be cut or encoded
    bool fits = true;  // false: not even the smallest file keeps to the limit
    std::uint64_t bytes = 0;
    int quality = 0;  // the quality the bytes were encoded at
};

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

// The measuring step itself, on whatever thread calls it.
LiveSizeResult measurePiece(const LiveSizeJob& job, const std::function<bool()>& superseded = {});

}  // namespace trimlet
