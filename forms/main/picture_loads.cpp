#include "forms/main/picture_loads.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QAbstractSpinBox>
#include <QApplication>
#include <QEventLoop>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <exception>
#include <fstream>
#include <optional>
#include <string_view>
#include <system_error>
#include <thread>

#include "forms/main/early_look.h"
#include "forms/main/work_area_keys.h"
#include "forms/main/work_area_widgets.h"

namespace trimlet {

namespace {

// The file's change time and size: a file saved anew since its decode ahead began is read
// again.
std::int64_t stampOf(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return -2;
    return std::int64_t(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec + std::int64_t(st.st_size) * 7919;
}

std::int64_t memAvailableBytes()
{
    std::ifstream meminfo("/proc/meminfo");
    std::string key;
    std::int64_t kib = 0;
    while (meminfo >> key >> kib) {
        if (key == "MemAvailable:")
            return kib * 1024;
        meminfo.ignore(64, '\n');
    }
    return -1;
}

// Typing into a field or moving between controls only sets values the load leaves as they are.
bool isTyping(QObject* watched, const QKeyEvent& key)
{
    if (key.key() == Qt::Key_Tab || key.key() == Qt::Key_Backtab)
        return true;
    const bool field = qobject_cast<QLineEdit*>(watched) || qobject_cast<QAbstractSpinBox*>(watched);
    return field && (key.modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier)) == 0 && key.key() != Qt::Key_Return &&
           key.key() != Qt::Key_Enter;
}

constexpr std::int64_t kLeastRoomAhead = 32 << 20;

}  // namespace

QSize fittedDeviceSize(const PictureLoads::Display& display, int w, int h)
{
    const IntRect d = fitPicture(w, h, display.area.w, display.area.h, display.area.y);
    return deviceSize(QSize(d.w, d.h), display.ratio);
}

PhotoPrefetch::Render fittedRender(const PictureLoads::Display& display)
{
    return [display](const Picture& picture) {
        const QSize device = fittedDeviceSize(display, picture.width(), picture.height());
        return displayImage(picture.bitmap(), device.width(), device.height());
    };
}

PictureLoads::PictureLoads(Window window) : QObject(window.widget), window_(std::move(window))
{
    qApp->installEventFilter(this);
}

PictureLoads::~PictureLoads() = default;  // the decodes hold no handle a person could wait on

std::int64_t PictureLoads::roomAhead()
{
    std::int64_t room = memAvailableBytes() / 4;
    rlimit limit{};
    if (getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) {
        std::ifstream statm("/proc/self/statm");
        std::int64_t pages = 0;
        statm >> pages;
        room = std::min(room, (std::int64_t(limit.rlim_cur) - pages * sysconf(_SC_PAGESIZE)) / 4);
    }
    return room;
}

PictureLoads::Job PictureLoads::start(const std::string& path, const DecodeLimits& limits, bool wanted)
{
    Job job;
    job.limits = limits;
    job.stamp = stampOf(path);
    const Display display = window_.display();
    PhotoPrefetch::FirstLook look;
    if (wanted)
        look = firstLook(display);
    job.decode = std::make_unique<PhotoPrefetch>(
        path, limits, [this] { QMetaObject::invokeMethod(this, &PictureLoads::collect, Qt::QueuedConnection); },
        std::move(look));
    job.decode->renderWith(fittedRender(display));
    if (held_)
        job.decode->hold();
    return job;
}

PhotoPrefetch::FirstLook PictureLoads::firstLook(const Display& display)
{
    if (!window_.firstLook)
        return {};
    PhotoPrefetch::FirstLook look;
    look.deviceSize = [display](int w, int h) { return fittedDeviceSize(display, w, h); };
    look.show = [this, generation = generation_](QImage image, int w, int h) {
        QMetaObject::invokeMethod(
            this,
            [this, generation, image = std::move(image), w, h] {
                if (generation == generation_ && pending()) {
                    window_.firstLook(image, w, h);
                    emit lookShown();
                }
            },
            Qt::QueuedConnection);
    };
    return look;
}

void PictureLoads::adopt(std::unique_ptr<PhotoPrefetch> startup)
{
    if (!startup)
        return;
    Job job;
    job.limits = startup->limits();
    job.stamp = stampOf(startup->path());
    job.decode = std::move(startup);
    job.decode->notify([this] { QMetaObject::invokeMethod(this, &PictureLoads::collect, Qt::QueuedConnection); });
    ahead_.push_back(std::move(job));
}

void PictureLoads::hold()
{
    held_ = true;
    if (current_.decode)
        current_.decode->hold();
    for (Job& job : ahead_)
        if (job.decode)
            job.decode->hold();
}

void PictureLoads::release()
{
    held_ = false;
    if (current_.decode)
        current_.decode->release();
    for (Job& job : ahead_)
        if (job.decode)
            job.decode->release();
}

void PictureLoads::load(const std::string& path, bool fresh, Done done)
{
    const DecodeLimits limits = window_.limits();
    ++generation_;
    if (current_.decode)
        dispose(std::move(current_.decode));
    current_ = {};
    std::erase(queued_, path);
    const auto ahead = std::find_if(ahead_.begin(), ahead_.end(), [&](const Job& job) {
        return job.decode->path() == path && job.limits.colourManagement == limits.colourManagement &&
               job.limits.rawPreview == limits.rawPreview;
    });
    if (ahead != ahead_.end()) {
        Job job = std::move(*ahead);
        ahead_.erase(ahead);
        if (!fresh && job.stamp == stampOf(path)) {
            job.decode->renderWith(fittedRender(window_.display()));  // for one still decoding: as the window is now
            early_ = job.decode->takeEarlyLook();
            if (early_ && !job.decode->ready()) {
                PhotoPrefetch::FirstLook look = firstLook(window_.display());
                if (look.show)
                    early_->showWith(std::move(look.deviceSize), std::move(look.show));
            }
            current_ = std::move(job);
        } else
            dispose(std::move(job.decode));
    }
    wanted_ = limits;
    if (!current_.decode)
        current_ = start(path, limits, true);
    done_ = std::move(done);
    if (current_.decode->ready())
        QMetaObject::invokeMethod(this, &PictureLoads::collect, Qt::QueuedConnection);
}

void PictureLoads::collect()
{
    for (auto decode = retired_.begin(); decode != retired_.end();)
        if ((*decode)->ready()) {
            dispose(std::move(*decode));
            decode = retired_.erase(decode);
        } else {
            ++decode;
        }
    if (done_ && current_.decode && current_.decode->ready()) {
        const std::string path = current_.decode->path();
        std::optional<PhotoPrefetch::Taken> taken;
        std::exception_ptr failure;
        try {
            taken = current_.decode->take(path, current_.limits);
        } catch (...) {
            failure = std::current_exception();
        }
        if (taken && !taken->picture && current_.limits.maxBitmapBytes < wanted_.maxBitmapBytes) {
            // Decoded ahead within less memory than a load may take: this load tries with all of it.
            current_ = start(path, wanted_, true);
            return;
        }
        current_ = {};
        const Done done = std::move(done_);
        done_ = {};
        emit delivered();  // before done(), which may open a box that waits for a reply
        done([&]() -> PhotoPrefetch::Taken {
            if (failure)
                std::rethrow_exception(failure);
            return taken ? std::move(*taken) : PhotoPrefetch::Taken{makeError(ErrorCode::Io, "no decode"), {}};
        });
    }
    if (roomAhead() < kLeastRoomAhead)
        retireAhead([](const Job&) { return true; });  // memory is short: they are only a head start
    startAhead();
}

void PictureLoads::settle()
{
    if (!pending())
        return;
    QEventLoop loop;
    connect(this, &PictureLoads::delivered, &loop, &QEventLoop::quit);
    // Also looks for itself, in case the decode's news could not be posted for want of memory.
    QTimer look;
    connect(&look, &QTimer::timeout, this, &PictureLoads::collect);
    look.start(50);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

void PictureLoads::lookAhead(std::vector<std::string> paths)
{
    const DecodeLimits limits = window_.limits();
    retireAhead([&](const Job& job) {
        return std::find(paths.begin(), paths.end(), job.decode->path()) == paths.end() ||
               job.limits.colourManagement != limits.colourManagement || job.limits.rawPreview != limits.rawPreview;
    });
    std::erase_if(paths, [&](const std::string& path) {
        return std::any_of(ahead_.begin(), ahead_.end(), [&](const Job& job) { return job.decode->path() == path; });
    });
    queued_ = std::move(paths);
    startAhead();
}

void PictureLoads::dispose(std::unique_ptr<PhotoPrefetch> decode)
{
    // Neither waited for nor freed here: giving back a large photo's pages takes the window's
    // thread away for tens of milliseconds.
    if (!decode->ready()) {
        decode->abandon();
        retired_.push_back(std::move(decode));
        return;
    }
    try {
        std::thread([gone = std::move(decode)]() mutable { gone.reset(); }).detach();
    } catch (const std::system_error&) {
        // No thread to be had: freed here after all, as the unique_ptr goes.
    }
}

void PictureLoads::retireAhead(const std::function<bool(const Job&)>& which)
{
    for (auto job = ahead_.begin(); job != ahead_.end();)
        if (which(*job)) {
            dispose(std::move(job->decode));
            job = ahead_.erase(job);
        } else {
            ++job;
        }
}

std::vector<std::string> PictureLoads::decodedAhead() const
{
    std::vector<std::string> paths;
    for (const Job& job : ahead_)
        if (job.decode->ready())
            paths.push_back(job.decode->path());
    return paths;
}

void PictureLoads::startAhead()
{
    // One decode at a time: the window's own load, or else the next one ahead.
    if ((current_.decode && !current_.decode->ready()) ||
        std::any_of(ahead_.begin(), ahead_.end(), [](const Job& job) { return !job.decode->ready(); }))
        return;
    while (!queued_.empty()) {
        const std::string path = queued_.front();
        queued_.erase(queued_.begin());
        DecodeLimits limits = window_.limits();
        limits.maxBitmapBytes = std::min(limits.maxBitmapBytes, roomAhead());
        if (limits.maxBitmapBytes < kLeastRoomAhead)
            continue;
        ahead_.push_back(start(path, limits));
        return;
    }
}

bool PictureLoads::eventFilter(QObject* watched, QEvent* event)
{
    if (!pending())
        return false;
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::ShortcutOverride: {
        const auto& key = static_cast<const QKeyEvent&>(*event);
        if (WorkAreaKeys::isFolderKey(key) || isTyping(watched, key))
            return false;
        break;
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::Drop: break;
    default: return false;
    }
    const auto* widget = qobject_cast<QWidget*>(watched);
    if (widget && widget->window() == window_.widget)
        settle();
    return false;
}

}  // namespace trimlet
