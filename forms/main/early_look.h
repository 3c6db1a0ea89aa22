#pragma once
// A small first look at a large JPEG, decoded by the DCT at 1/2, 1/4 or 1/8 of its size: the
// picture is on screen while the whole of it still decodes. The command-line picture's look
// starts as soon as main() has the path, before Qt is up, on a thread of its own.

#include <QImage>
#include <QSize>
#include <condition_variable>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "codecs/bitmap.h"
#include "codecs/decoded.h"

namespace trimlet {

struct ScaledLook {
    Bitmap upright;             // the look, turned as the file asks
    int width = 0, height = 0;  // the whole upright picture's size
};

// The DCT-scaled decode of a JPEG at the smallest scale that still has needed(upright width,
// height) pixels; nothing for another kind of file, a failure, or a picture that would be
// decoded at its full size anyway.
std::optional<ScaledLook> decodeScaledLook(const std::string& path, const DecodeLimits& limits,
                                           const std::function<QSize(int width, int height)>& needed);

class EarlyLook {
public:
    // Starts decoding path's look at once, for a display of at most bound() pixels.
    EarlyLook(std::string path, const DecodeLimits& limits, QSize bound);
    // Waits for the look's decode, a fraction of the whole one.
    ~EarlyLook();
    EarlyLook(const EarlyLook&) = delete;
    EarlyLook& operator=(const EarlyLook&) = delete;

    const std::string& path() const { return path_; }
    bool colourManagement() const { return limits_.colourManagement; }
    // The look's decode is over (with a look or without).
    bool decoded();

    // Hands show the display copy of deviceSize(width, height) once the look is decoded: here if
    // it is already, else on the decoding thread. Never when there is no look, or when it has
    // fewer pixels than the display needs.
    using DeviceSize = std::function<QSize(int width, int height)>;
    using Show = std::function<void(QImage look, int width, int height)>;
    void showWith(DeviceSize deviceSize, Show show);

    // The command line's first argument as main() gets it, before Qt takes its own options
    // out: a look when it names a JPEG. The window takes the look only for the path it loads.
    static std::unique_ptr<EarlyLook> fromCommandLine(int argc, char** argv, const std::string& settingsPath);

private:
    void deliver(const DeviceSize& deviceSize, const Show& show) const;

    std::string path_;
    DecodeLimits limits_;
    QSize bound_;
    std::mutex mutex_;
    std::optional<ScaledLook> look_;
    bool decoded_ = false;
    DeviceSize deviceSize_;
    Show show_;
    std::future<void> done_;
};

}  // namespace trimlet
