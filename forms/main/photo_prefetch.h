#pragma once
// One picture decoded on a thread of its own, for the load that then asks for it: the picture
// named on the command line while the windows are built and first painted, and every load of
// the window after it.

#include <QImage>
#include <QSize>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "codecs/picture.h"
#include "codecs/picture_file.h"
#include "forms/main/early_look.h"

namespace trimlet {

class PhotoPrefetch {
public:
    // Starts loadPictureUprightStreamed(path, limits); path is a resolved one, as a load resolves it.
    // A first look while the whole picture decodes: for a JPEG shown at most half its size, a
    // DCT-scaled decode made into the display copy of deviceSize(upright width, height) and
    // given to show, on the decoding thread, before the whole decode starts.
    struct FirstLook {
        std::function<QSize(int width, int height)> deviceSize;
        std::function<void(QImage look, int width, int height)> show;
    };
    // whenDone runs on the decoding thread once the result is there (and the render made).
    PhotoPrefetch(std::string path, const DecodeLimits& limits, std::function<void()> whenDone = {},
                  FirstLook firstLook = {});
    // Waits for the decode: it holds no handle a person could wait on, only memory and time.
    ~PhotoPrefetch();
    PhotoPrefetch(const PhotoPrefetch&) = delete;
    PhotoPrefetch& operator=(const PhotoPrefetch&) = delete;

    // How the window will show the picture, once it knows its work area: run on the decoding
    // thread right after the decode, if that is still to come, so that it overlaps as well.
    // Must not touch the window.
    using Render = std::function<QImage(const Picture&)>;
    void renderWith(Render render);

    struct Taken {
        Result<Picture> picture;
        QImage shown;  // the render's image, or null
    };
    // Between hold() and release() the decode stops between bands of rows, so that on a
    // machine with few cores it leaves the window and the display server alone while they make
    // the first paint. take() and the destructor release it.
    void hold();
    void release();

    // The decode's result, once it is done, when it was made of that path with those limits;
    // nothing for any other load, which decodes for itself. Gives it out once.
    std::optional<Taken> take(const std::string& path, const DecodeLimits& limits);
    const std::string& path() const { return path_; }
    const DecodeLimits& limits() const { return limits_; }
    // The result is there: take() will not wait.
    bool ready() const;
    // Nobody will take the result: the decoding thread drops it itself.
    void abandon() { abandoned_ = true; }
    // Runs whenDone once the result is there: on the decoding thread, or here if it is already.
    void notify(std::function<void()> whenDone);
    // The command-line picture's first look, decoding since main() began; given out once.
    std::unique_ptr<EarlyLook> takeEarlyLook() { return std::move(earlyLook_); }

private:
    Taken run();
    void showFirstLook();
    void finish() noexcept;

    std::string path_;
    DecodeLimits limits_;
    std::mutex mutex_;
    Render render_;
    std::function<void()> whenDone_;
    FirstLook firstLook_;
    std::atomic<bool> finished_ = false;
    std::atomic<bool> abandoned_ = false;
    bool held_ = false;
    std::condition_variable released_;
    std::future<Taken> result_;
    std::unique_ptr<EarlyLook> earlyLook_;  // last: its thread is waited for first

    friend std::unique_ptr<PhotoPrefetch> prefetchCommandLinePhoto(const std::string&, const std::string&,
                                                                   std::unique_ptr<EarlyLook>);
};

// A prefetch of the command-line argument as the window's first showing will load it, with the
// colour setting of the settings file at settingsPath, and look when it is of that picture
// and setting; none for an argument that resolves to nothing.
std::unique_ptr<PhotoPrefetch> prefetchCommandLinePhoto(const std::string& argument, const std::string& settingsPath,
                                                        std::unique_ptr<EarlyLook> look = nullptr);

}  // namespace trimlet
