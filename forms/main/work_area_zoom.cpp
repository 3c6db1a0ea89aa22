#include "forms/main/work_area_zoom.h"

#include <QAction>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <algorithm>
#include <cmath>
#include <cstring>

#include "forms/main/frm_main.h"
#include "forms/main/main_controls.h"
#include "forms/main/work_area_widgets.h"
#include "forms/widgets/guarded.h"

namespace trimlet {

namespace {

// Whole device pixels at the view's corner, so every picture pixel takes the same block.
ZoomView onDevicePixels(ZoomView z)
{
    z.originX = std::round(z.originX * z.scale) / z.scale;
    z.originY = std::round(z.originY * z.scale) / z.scale;
    return z;
}

Bitmap region(const Bitmap& picture, const IntRect& r)
{
    Bitmap out(r.w, r.h, Bitmap::Init::Uninitialized);
    for (int y = 0; y < r.h; ++y)
        std::memcpy(out.row(y), picture.row(r.y + y) + std::size_t(r.x) * 3, std::size_t(r.w) * 3);
    return out;
}

QKeySequence keypad(Qt::Key key)
{
    return QKeySequence(QKeyCombination(Qt::ControlModifier | Qt::KeypadModifier, key));
}

}  // namespace

WorkAreaZoom::WorkAreaZoom(TfrmMain& window, PictureView* view, QWidget* frame)
    : QObject(&window), window_(window), view_(view), frame_(frame)
{
    const auto add = [&](const char* name, const QString& caption, const QList<QKeySequence>& keys, auto run) {
        auto* action = new QAction(caption, &window);
        action->setObjectName(QLatin1String(name));
        action->setShortcuts(keys);
        action->setShortcutContext(Qt::WindowShortcut);
        window.addAction(action);
        connect(action, &QAction::triggered, this, guardedSlot(run, window.failureReport()));
    };
    add("actZoomIn", tr("拡大"),
        {QKeySequence(Qt::CTRL | Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::Key_Equal), keypad(Qt::Key_Plus)},
        [this] { step(+1); });
    add("actZoomOut", tr("縮小"), {QKeySequence(Qt::CTRL | Qt::Key_Minus), keypad(Qt::Key_Minus)},
        [this] { step(-1); });
    add("actZoomFit", tr("全体表示"), {QKeySequence(Qt::CTRL | Qt::Key_0), keypad(Qt::Key_0)}, [this] { zoomTo(0); });
    add("actZoomActual", tr("等倍表示"), {QKeySequence(Qt::CTRL | Qt::Key_1), keypad(Qt::Key_1)},
        [this] { zoomTo(100); });
    view_->installEventFilter(this);
    hbar_ = new QScrollBar(Qt::Horizontal, view_->parentWidget());
    vbar_ = new QScrollBar(Qt::Vertical, view_->parentWidget());
    hbar_->setObjectName(QStringLiteral("sbZoomH"));
    vbar_->setObjectName(QStringLiteral("sbZoomV"));
    for (QScrollBar* bar : {hbar_, vbar_}) {
        bar->hide();
        connect(bar, &QScrollBar::valueChanged, this, guardedSlot([this] { barMoved(); }, window.failureReport()));
    }
}

IntRect WorkAreaZoom::area() const
{
    IntRect a = workArea(window_.centralWidget()->size());
    if (zoomed()) {  // the bars take their room from the view
        const int bar = view_->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, view_);
        a.w = std::max(a.w - bar, 1);
        a.h = std::max(a.h - bar, 1);
    }
    return a;
}

void WorkAreaZoom::syncBars()
{
    const IntRect a = area();
    const QSize v = deviceView();
    const Picture& picture = window_.editingPicture();
    syncing_ = true;
    const auto set = [&](QScrollBar* bar, double origin, int size, int side) {
        bar->setRange(0, std::max(int(std::lround(size * zoom_.scale)) - side, 0));
        bar->setPageStep(side);
        bar->setSingleStep(std::max(int(zoom_.scale), 8));
        bar->setValue(int(std::lround(origin * zoom_.scale)));
    };
    set(hbar_, zoom_.originX, picture.width(), v.width());
    set(vbar_, zoom_.originY, picture.height(), v.height());
    syncing_ = false;
    const int bar = view_->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, view_);
    hbar_->setGeometry(a.x, a.y + a.h, a.w, bar);
    vbar_->setGeometry(a.x + a.w, a.y, bar, a.h);
    hbar_->show();
    vbar_->show();
    hbar_->raise();
    vbar_->raise();
}

void WorkAreaZoom::barMoved()
{
    if (syncing_ || !zoomed())
        return;
    scrollBy(hbar_->value() - zoom_.originX * zoom_.scale, vbar_->value() - zoom_.originY * zoom_.scale);
}

QSize WorkAreaZoom::deviceView() const
{
    const IntRect a = area();
    return deviceSize(QSize(a.w, a.h), view_->devicePixelRatioF());
}

double WorkAreaZoom::fitPercent() const
{
    const int pw = window_.editingPicture().width();
    return pw <= 0 ? 100 : 100.0 * deviceExtent(fitted_.w, view_->devicePixelRatioF()) / pw;
}

IntRect WorkAreaZoom::viewGeometry(const IntRect& fitted)
{
    fitted_ = fitted;
    const Picture& picture = window_.editingPicture();
    if (picture.width() != shownW_ || picture.height() != shownH_ || window_.currentFilePath() != shownPath_) {
        shownW_ = picture.width();
        shownH_ = picture.height();
        shownPath_ = window_.currentFilePath();
        percent_ = 0;
    }
    if (!zoomed()) {
        hbar_->hide();
        vbar_->hide();
        return fitted;
    }
    const QSize v = deviceView();
    zoom_ = onDevicePixels(clampScroll(zoom_, v.width(), v.height(), shownW_, shownH_));
    syncBars();
    return area();
}

IntRect WorkAreaZoom::frameSpace(const IntRect& onScreen) const
{
    return zoomed() ? IntRect{0, 0, window_.editingPicture().width(), window_.editingPicture().height()} : onScreen;
}

IntRect WorkAreaZoom::shownPicture(const IntRect& onScreen) const
{
    if (!zoomed())
        return onScreen;
    const IntRect a = area();
    const double ratio = view_->devicePixelRatioF();
    const Picture& picture = window_.editingPicture();
    return {a.x + int(std::floor(zoom_.toDeviceX(0) / ratio)), a.y + int(std::floor(zoom_.toDeviceY(0) / ratio)),
            int(std::ceil(picture.width() * zoom_.scale / ratio)),
            int(std::ceil(picture.height() * zoom_.scale / ratio))};
}

IntRect WorkAreaZoom::placeFrame(const IntRect& r)
{
    if (!zoomed()) {
        frame_->setGeometry(r.x, r.y, r.w, r.h);
        const QRect g = frame_->geometry();
        return {g.x(), g.y(), g.width(), g.height()};
    }
    if (!scrollFrom_) {
        // A frame moved out of sight by keys or a relayout brings the view along.
        const QSize v = deviceView();
        ZoomView z = zoom_;
        const auto follow = [&](double& origin, int at, int side, int viewSide) {
            const double shown = viewSide / z.scale;
            if (at + side > origin + shown)
                origin = at + side - shown;
            if (at < origin)
                origin = at;
        };
        follow(z.originX, r.x, r.w, v.width());
        follow(z.originY, r.y, r.h, v.height());
        z = onDevicePixels(clampScroll(z, v.width(), v.height(), shownW_, shownH_));
        if (z.originX != zoom_.originX || z.originY != zoom_.originY) {
            zoom_ = z;
            showView();
        }
    }
    // Clipped to the view, so a frame larger than it never covers the controls beside it.
    const IntRect a = area();
    const double ratio = view_->devicePixelRatioF();
    const auto logical = [&](double device, int base, int lo, int hi) {
        return std::clamp(base + int(std::lround(device / ratio)), lo, hi);
    };
    const int x0 = logical(zoom_.toDeviceX(r.x), a.x, a.x, a.x + a.w);
    const int x1 = logical(zoom_.toDeviceX(r.x + r.w), a.x, a.x, a.x + a.w);
    const int y0 = logical(zoom_.toDeviceY(r.y), a.y, a.y, a.y + a.h);
    const int y1 = logical(zoom_.toDeviceY(r.y + r.h), a.y, a.y, a.y + a.h);
    frame_->setGeometry(x0, y0, std::max(x1 - x0, 1), std::max(y1 - y0, 1));
    return r;
}

IntPoint WorkAreaZoom::frameUnits(const QPointF& at) const
{
    if (!zoomed())
        return {int(at.x()), int(at.y())};
    // Through the view, as the widget may be clipped: the offset from the frame's picture corner.
    const QPointF onView = view_->mapFromGlobal(frame_->mapToGlobal(at)) * view_->devicePixelRatioF();
    const IntPoint p = zoom_.toPicture(onView.x(), onView.y());
    const IntRect& r = window_.frameState().rect;
    return {p.x - r.x, p.y - r.y};
}

int WorkAreaZoom::keyStep(int by) const
{
    return zoomed() && zoom_.scale < 1 ? by * int(std::max(1L, std::lround(1 / zoom_.scale))) : by;
}

QImage WorkAreaZoom::render(const Bitmap& picture, const QSize& device) const
{
    if (!zoomed())
        return displayImage(picture, device.width(), device.height());
    if (device.isEmpty() || picture.empty())
        return {};
    QImage out(device, QImage::Format_RGB32);
    out.fill(view_->palette().color(QPalette::Window));
    const IntRect vis = visiblePixels(zoom_, device.width(), device.height(), picture.width(), picture.height());
    if (vis.w <= 0 || vis.h <= 0)
        return out;
    const int x0 = int(std::lround(zoom_.toDeviceX(vis.x))), x1 = int(std::lround(zoom_.toDeviceX(vis.x + vis.w)));
    const int y0 = int(std::lround(zoom_.toDeviceY(vis.y))), y1 = int(std::lround(zoom_.toDeviceY(vis.y + vis.h)));
    const QImage shown = displayImage(region(picture, vis), x1 - x0, y1 - y0);
    QPainter p(&out);
    p.drawImage(x0, y0, shown);
    return out;
}

void WorkAreaZoom::showView()
{
    view_->setImage(render(window_.editingPicture().bitmap(), view_->deviceSize()));
    syncBars();
}

void WorkAreaZoom::step(int direction) { zoomTo(nextZoom(percent_, direction, fitPercent())); }

void WorkAreaZoom::zoomTo(int percent)
{
    const Picture& picture = window_.editingPicture();
    if (picture.isEmpty())
        return;
    if (percent != 0 && percent <= fitPercent() + 1e-9)
        percent = 0;
    if (percent != 0) {
        // The frame's centre stays where it is on the screen.
        const IntRect a = area();
        const QSize v = deviceView();
        const double ratio = view_->devicePixelRatioF();
        const QPointF at = QRectF(frame_->geometry()).center();
        const double ax = std::clamp((at.x() - a.x) * ratio, 0.0, double(v.width()));
        const double ay = std::clamp((at.y() - a.y) * ratio, 0.0, double(v.height()));
        const IntPoint c = window_.frameState().centre;
        ZoomView z;
        z.scale = percent / 100.0;
        z.originX = c.x - ax / z.scale;
        z.originY = c.y - ay / z.scale;
        zoom_ = onDevicePixels(clampScroll(z, v.width(), v.height(), picture.width(), picture.height()));
    }
    percent_ = percent;
    window_.LayoutWorkArea(false, false);
    if (zoomed())
        showView();
    window_.ShowStatus(zoomed() ? tr("表示倍率：%1 %").arg(percent_) : tr("表示倍率：全体表示"),
                       StatusKind::statusOnly);
}

void WorkAreaZoom::scrollBy(double dx, double dy)
{
    const QSize v = deviceView();
    ZoomView z = zoom_;
    z.originX += dx / z.scale;
    z.originY += dy / z.scale;
    zoom_ = onDevicePixels(clampScroll(z, v.width(), v.height(), shownW_, shownH_));
    showView();
    placeFrame(window_.frameState().rect);
}

bool WorkAreaZoom::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != view_ || !zoomed())
        return false;
    const auto* mouse = static_cast<QMouseEvent*>(event);
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        if (mouse->button() != Qt::LeftButton)
            return false;
        scrollFrom_ = mouse->globalPosition();
        return true;
    case QEvent::MouseMove: {
        if (!scrollFrom_)
            return false;
        const QPointF by = (*scrollFrom_ - mouse->globalPosition()) * view_->devicePixelRatioF();
        scrollFrom_ = mouse->globalPosition();
        runGuarded([&] { scrollBy(by.x(), by.y()); }, window_.failureReport());
        return true;
    }
    case QEvent::MouseButtonRelease:
        if (mouse->button() != Qt::LeftButton || !scrollFrom_)
            return false;
        scrollFrom_.reset();
        return true;
    default: return false;
    }
}

}  // namespace trimlet
