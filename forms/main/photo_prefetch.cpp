#include "forms/main/photo_prefetch.h"

#include <sys/resource.h>
#include <unistd.h>

#include <new>
#include <utility>

#include "base/file_io.h"
#include "codecs/picture_file.h"
#include "document/stored_settings.h"
#include "forms/main/early_look.h"
#include "forms/main/main_files.h"
#include "forms/main/work_area_widgets.h"
#include "imaging/photo_streamed.h"
#include "platform/trace.h"

namespace trimlet {

PhotoPrefetch::PhotoPrefetch(std::string path, const DecodeLimits& limits, std::function<void()> whenDone,
                             FirstLook firstLook)
    : path_(std::move(path)), limits_(limits), whenDone_(std::move(whenDone)), firstLook_(std::move(firstLook))
{
    limits_.betweenBands = [this] {
        std::unique_lock lock(mutex_);
        released_.wait(lock, [this] { return !held_; });
    };
    result_ = std::async(std::launch::async, [this] { return run(); });
}

PhotoPrefetch::Taken PhotoPrefetch::run()
{
    trace("prefetch-begin");
    // Yields to the window and the display server while they build and paint the first
    // frame on a machine with few cores; once they are idle the decode has the core anyway.
    // Linux applies the nice value to this thread alone (and to the threads it starts).
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), 5);
    // Whoever waits hears of the end also when the decode throws (take() rethrows it).
    struct Finish {
        PhotoPrefetch* self;
        ~Finish() { self->finish(); }
    } finish{this};
    if (firstLook_.show)
        showFirstLook();
    Taken taken{loadPictureUprightStreamed(path_, limits_), {}};
    trace("prefetch-decoded");
    if (abandoned_)
        return {makeError(ErrorCode::Io, "abandoned"), {}};  // its pixels go here, not on the window's thread
    Render render;
    {
        const std::lock_guard lock(mutex_);
        render = std::move(render_);
    }
    if (taken.picture && render) {
        try {
            taken.shown = render(taken.picture.value());
        } catch (const std::bad_alloc&) {
            // The window renders it itself, and reports a shortage then.
        }
    }
    return taken;
}

void PhotoPrefetch::finish() noexcept
{
    // The future is set only once run() returns; take() waits for those few instructions.
    std::function<void()> whenDone;
    {
        const std::lock_guard lock(mutex_);
        finished_ = true;
        whenDone = std::move(whenDone_);
    }
    try {
        if (whenDone)
            whenDone();
    } catch (...) {
        // Posting the news took memory there was not; the window still finds the result ready.
    }
}

void PhotoPrefetch::showFirstLook()
{
    const auto look = decodeScaledLook(path_, limits_, firstLook_.deviceSize);
    if (!look)
        return;
    try {
        const QSize device = firstLook_.deviceSize(look->width, look->height);
        firstLook_.show(displayImage(look->upright, device.width(), device.height()), look->width, look->height);
    } catch (const std::bad_alloc&) {
        // Only a head start: the whole decode comes all the same.
    }
}

void PhotoPrefetch::renderWith(Render render)
{
    const std::lock_guard lock(mutex_);
    render_ = std::move(render);
}

void PhotoPrefetch::hold()
{
    const std::lock_guard lock(mutex_);
    held_ = true;
}

void PhotoPrefetch::release()
{
    {
        const std::lock_guard lock(mutex_);
        held_ = false;
    }
    released_.notify_all();
}

PhotoPrefetch::~PhotoPrefetch()
{
    release();
    if (result_.valid())
        result_.wait();
}

bool PhotoPrefetch::ready() const { return finished_; }

void PhotoPrefetch::notify(std::function<void()> whenDone)
{
    {
        const std::lock_guard lock(mutex_);
        if (!finished_) {
            whenDone_ = std::move(whenDone);
            return;
        }
    }
    whenDone();
}

std::optional<PhotoPrefetch::Taken> PhotoPrefetch::take(const std::string& path, const DecodeLimits& limits)
{
    if (!result_.valid() || path != path_ || limits.colourManagement != limits_.colourManagement ||
        limits.rawPreview != limits_.rawPreview || limits.maxBitmapBytes != limits_.maxBitmapBytes)
        return std::nullopt;
    release();  // whoever waits for it wants it now
    return result_.get();
}

std::unique_ptr<PhotoPrefetch> prefetchCommandLinePhoto(const std::string& argument, const std::string& settingsPath,
                                                        std::unique_ptr<EarlyLook> look)
{
    const std::string path = resolvePictureShortcut(argument);
    if (path.empty())
        return nullptr;
    const DecodeLimits limits = readLoadChoices(settingsPath).limits();
    auto prefetch = std::make_unique<PhotoPrefetch>(path, limits);
    if (look && look->path() == path && look->colourManagement() == limits.colourManagement)
        prefetch->earlyLook_ = std::move(look);
    return prefetch;
}

}  // namespace trimlet
