#include "forms/main/early_look.h"

#include <new>
#include <utility>

#include "base/byte_path.h"
#include "base/file_io.h"
#include "codecs/jpeg.h"
#include "codecs/picture_file.h"
#include "forms/main/work_area_widgets.h"
#include "imaging/orientation.h"
#include "platform/trace.h"
#include "settings/profile_file.h"
#include "settings/settings_keys.h"

namespace trimlet {

std::optional<ScaledLook> decodeScaledLook(const std::string& path, const DecodeLimits& limits,
                                           const std::function<QSize(int width, int height)>& needed)
{
    if (kindForPath(path) != PictureKind::Jpeg)
        return std::nullopt;
    try {
        const auto file = RegularFile::open(path);
        if (!file)
            return std::nullopt;
        const auto bytes = file.value().readAt(0, std::size_t(file.value().size()));
        if (!bytes)
            return std::nullopt;
        const HeaderProbe probe = probeJpeg(bytes.value(), file.value().size(), limits);
        if (!probe.size)
            return std::nullopt;
        const bool across = probe.orientation >= 5;  // turned by a quarter
        const int w = across ? probe.size.value().height : probe.size.value().width;
        const int h = across ? probe.size.value().width : probe.size.value().height;
        const QSize device = needed(w, h);
        int denominator = 8;
        while (denominator > 1 && ((w + denominator - 1) / denominator < device.width() ||
                                   (h + denominator - 1) / denominator < device.height()))
            denominator /= 2;
        if (denominator == 1)
            return std::nullopt;  // the whole decode is hardly slower
        auto decoded = decodeJpegScaled(bytes.value(), denominator, limits);
        if (!decoded || !settleDecoded(decoded.value(), limits))
            return std::nullopt;
        return ScaledLook{orientBitmap(std::move(decoded.value().bitmap), decoded.value().orientation), w, h};
    } catch (const std::bad_alloc&) {
        return std::nullopt;  // only a head start: the whole decode comes all the same
    }
}

EarlyLook::EarlyLook(std::string path, const DecodeLimits& limits, QSize bound)
    : path_(std::move(path)), limits_(limits), bound_(bound)
{
    done_ = std::async(std::launch::async, [this] {
        auto look = decodeScaledLook(path_, limits_, [this](int w, int h) {
            return QSize(w, h).scaled(bound_, Qt::KeepAspectRatio).boundedTo(QSize(w, h));
        });
        trace("look-decoded");
        DeviceSize deviceSize;
        Show show;
        {
            const std::lock_guard lock(mutex_);
            look_ = std::move(look);
            decoded_ = true;
            deviceSize = std::move(deviceSize_);
            show = std::move(show_);
        }
        if (show)
            deliver(deviceSize, show);
    });
}

EarlyLook::~EarlyLook()
{
    if (done_.valid())
        done_.wait();
}

bool EarlyLook::decoded()
{
    const std::lock_guard lock(mutex_);
    return decoded_;
}

void EarlyLook::showWith(DeviceSize deviceSize, Show show)
{
    {
        const std::lock_guard lock(mutex_);
        if (!decoded_) {
            deviceSize_ = std::move(deviceSize);
            show_ = std::move(show);
            return;
        }
    }
    deliver(deviceSize, show);
}

void EarlyLook::deliver(const DeviceSize& deviceSize, const Show& show) const
{
    // look_ is set once, before decoded_, and only read after.
    if (!look_)
        return;
    const Bitmap& bitmap = look_->upright;
    const QSize device = deviceSize(look_->width, look_->height);
    if (device.isEmpty() || bitmap.width() < device.width() || bitmap.height() < device.height())
        return;  // an enlarged look would be a blurred one
    try {
        show(displayImage(bitmap, device.width(), device.height()), look_->width, look_->height);
    } catch (const std::bad_alloc&) {
        // The whole picture comes all the same.
    }
}

std::unique_ptr<EarlyLook> EarlyLook::fromCommandLine(int argc, char** argv, const std::string& settingsPath)
{
    // A first argument that is one of Qt's options leaves the window to load what it loads.
    if (argc < 2 || argv[1][0] == '-')
        return nullptr;
    const std::string path = absoluteLocalPath(argv[1]);
    if (kindForPath(path) != PictureKind::Jpeg)
        return nullptr;
    const ProfileFile settings(settingsPath);
    DecodeLimits limits;
    limits.colourManagement = settings.readInt(keys::colorManagement.section, keys::colorManagement.key,
                                               keys::colorManagement.defaultValue) != 0;
    // The window's last size; maximised, it is the screen's, which Qt does not know yet.
    const bool maximised = settings.readInt(keys::mainMax.section, keys::mainMax.key, 0) != 0;
    const QSize bound = maximised
                            ? QSize(3840, 2160)
                            : QSize(settings.readInt(keys::mainW.section, keys::mainW.key, keys::mainW.defaultValue),
                                    settings.readInt(keys::mainH.section, keys::mainH.key, keys::mainH.defaultValue));
    return std::make_unique<EarlyLook>(path, limits, bound.expandedTo(QSize(1, 1)));
}

}  // namespace trimlet
