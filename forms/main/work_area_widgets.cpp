#include "forms/main/work_area_widgets.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QPainter>
#include <QTransform>
#include <algorithm>
#include <cmath>
#include <new>

#include "forms/widgets/guarded.h"
#include "imaging/cut_geometry.h"
#include "imaging/enlarge.h"
#include "imaging/reduce.h"
#include "platform/qimage_bridge.h"
#include "platform/trace.h"

namespace trimlet {

QImage displayImage(const Bitmap& picture, int w, int h)
{
    // Reduced here rather than scaled at painting: a 400-megapixel photo then costs the work
    // area a few megabytes instead of a second full-size copy, and area averages show fine
    // detail truer than the painter's smoothing.
    if (w <= 0 || h <= 0 || picture.empty())
        return {};
    const int reducedW = std::min(w, picture.width());
    const int reducedH = std::min(h, picture.height());
    Bitmap reduced;
    if (reducedW < picture.width() || reducedH < picture.height())
        reduced = reduceArea(picture, reducedW, reducedH);
    const Bitmap& base = reduced.empty() ? picture : reduced;
    if (reducedW == w && reducedH == h)
        return imageOf(base);
    return imageOf(enlargeNearest(base, w, h));
}

int deviceExtent(int logical, qreal ratio)
{
    // The tolerance keeps 10 × 1.1 = 11.000000000000002 at 11.
    return logical <= 0 ? 0 : int(std::ceil(logical * ratio - 1e-6));
}

QSize deviceSize(const QSize& logical, qreal ratio)
{
    return {deviceExtent(logical.width(), ratio), deviceExtent(logical.height(), ratio)};
}

QSize paintInDevicePixels(QPainter& p, const QRect& area)
{
    // The painter's own transform scales by the ratio and may put the widget's origin between
    // pixels; a world transform that undoes it down to a whole-pixel shift leaves every
    // coordinate a screen pixel.
    const QTransform toDevice = p.deviceTransform();
    const QPointF begin = toDevice.map(QPointF(area.topLeft()));
    const QPointF end = toDevice.map(QPointF(area.x() + area.width(), area.y() + area.height()));
    const qreal x = std::round(begin.x());
    const qreal y = std::round(begin.y());
    p.setWorldTransform(QTransform::fromTranslate(x, y) * toDevice.inverted());
    return {int(std::round(end.x()) - x), int(std::round(end.y()) - y)};
}

PictureView::PictureView(QWidget* parent) : MouseReporter(parent) { setAttribute(Qt::WA_OpaquePaintEvent); }

void PictureView::setImage(QImage image)
{
    source_ = std::move(image);
    shown_ = QImage();
    update();
}

const QImage& PictureView::rendering() const
{
    const QSize device = deviceSize();
    if (source_.isNull() || device.isEmpty()) {
        shown_ = QImage();
    } else if (shown_.size() != device) {
        if (source_.size() == device) {
            shown_ = source_;
        } else if (render_) {
            // The new rendering replaces the old one, which no size needs any more.
            source_ = render_(device);
            shown_ = source_;
        } else {
            shown_ = displayImage(fromQImage(source_), device.width(), device.height());
        }
    }
    return shown_;
}

bool changesPixelRatio(const QEvent& event)
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 6, 0)
    if (event.type() == QEvent::DevicePixelRatioChange)
        return true;
#endif
    return event.type() == QEvent::ScreenChangeInternal;
}

bool PictureView::event(QEvent* event)
{
    if (changesPixelRatio(*event))
        update();  // the next paint renders for the new ratio
    return MouseReporter::event(event);
}

void PictureView::paintEvent(QPaintEvent*)
{
    if (source_.isNull())
        return;
    QPainter p(this);
    const QImage* shown = nullptr;
    try {
        shown = &rendering();
    } catch (const std::bad_alloc&) {
        // No memory for a rendering at this size: the one there is, stretched, until the next
        // layout pass reports the shortage.
        p.drawImage(rect(), source_);
        return;
    }
    if (shown->isNull())
        return;
    paintInDevicePixels(p, rect());
    p.drawImage(QRect(QPoint(0, 0), shown->size()), *shown);
    if (tracing() && shown->cacheKey() != tracedKey_) {
        tracedKey_ = shown->cacheKey();
        trace(
            "picture-painted",
            QStringLiteral("%1 %2x%3").arg(objectName()).arg(shown->width()).arg(shown->height()).toUtf8().constData());
    }
}

FrameShape::FrameShape(QWidget* parent) : MouseReporter(parent)
{
    setAttribute(Qt::WA_NoSystemBackground);
    setAttribute(Qt::WA_TranslucentBackground);
}

void FrameShape::setHatch(Qt::BrushStyle hatch)
{
    hatch_ = hatch;
    update();
}

void FrameShape::paintEvent(QPaintEvent*)
{
    // An XOR pen vanishes on mid-grey (0x80 ^ 0xFF = 0x7F); a black line beside a white one
    // stays visible on every picture. Each line is one screen pixel, at any pixel ratio.
    QPainter p(this);
    const QSize device = paintInDevicePixels(p, rect());
    const QPen white(Qt::white, 0);
    const QPen black(Qt::black, 0);
    if (hatch_ == Qt::NoBrush) {
        const QRect outer = QRect(QPoint(0, 0), device).adjusted(0, 0, -1, -1);
        p.setPen(white);
        p.drawRect(outer);
        p.setPen(black);
        if (outer.width() > 2 && outer.height() > 2)
            p.drawRect(outer.adjusted(1, 1, -1, -1));
        return;
    }
    // The lines keep their logical spacing, so the guides look alike on every screen.
    constexpr int kSpacing = 8;
    const qreal ratio = devicePixelRatioF();
    auto at = [ratio](int logical) { return int(std::round(logical * ratio)); };
    const bool rows = hatch_ == Qt::HorPattern || hatch_ == Qt::CrossPattern;
    const bool columns = hatch_ == Qt::VerPattern || hatch_ == Qt::CrossPattern;
    for (int offset = 0; offset < 2; ++offset) {
        p.setPen(offset == 0 ? white : black);
        if (rows)
            for (int y = kSpacing - 1; at(y) + offset < device.height(); y += kSpacing)
                p.drawLine(0, at(y) + offset, device.width() - 1, at(y) + offset);
        if (columns)
            for (int x = kSpacing - 1; at(x) + offset < device.width(); x += kSpacing)
                p.drawLine(at(x) + offset, 0, at(x) + offset, device.height() - 1);
    }
}

SlotPanel::SlotPanel(int number, QWidget* parent) : QFrame(parent), number_(number)
{
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setAcceptDrops(true);
    // A button-face ground keeps the grey digit readable on the darker window.
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, p.color(QPalette::Button));
    setPalette(p);
}

void SlotPanel::setPicture(const Bitmap& rendering)
{
    const QRect inner = contentsRect();
    const IntRect fit = stretchPicture(rendering.width(), rendering.height(), inner.width(), inner.height());
    placement_ = QRect(fit.x, fit.y, fit.w, fit.h);
    render(rendering);
    update();
}

void SlotPanel::render(const Bitmap& rendering)
{
    const QSize device = deviceSize(placement_.size(), devicePixelRatioF());
    if (device.isEmpty() || rendering.empty()) {
        image_ = QImage();
    } else if (device.width() <= rendering.width() && device.height() <= rendering.height()) {
        image_ = toQImage(reduceArea(rendering, device.width(), device.height()));
    } else {
        image_ = toQImage(rendering).scaled(device, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
}

bool SlotPanel::event(QEvent* event)
{
    if (changesPixelRatio(*event))
        update();
    return QFrame::event(event);
}

QRect SlotPanel::imageRect() const
{
    return image_.isNull() ? QRect() : placement_.translated(contentsRect().topLeft());
}

void SlotPanel::paintEvent(QPaintEvent* event)
{
    QFrame::paintEvent(event);
    QPainter p(this);
    if (image_.isNull()) {
        QFont f = font();
        f.setPixelSize(43);
        p.setFont(f);
        p.setPen(Qt::gray);
        p.drawText(contentsRect(), Qt::AlignCenter, QString::number(number_));
        return;
    }
    if (source && image_.size() != deviceSize(placement_.size(), devicePixelRatioF())) {
        // On a screen of another pixel ratio now; a failed rendering keeps the old one.
        try {
            render(source());
        } catch (const std::bad_alloc&) {}
    }
    paintInDevicePixels(p, imageRect());
    p.drawImage(0, 0, image_);
}

void SlotPanel::dragEnterEvent(QDragEnterEvent* event)
{
    // Refused drags travel on to the window, which decides on files and refuses the rest.
    if (acceptsDrag && acceptsDrag(event->source()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void SlotPanel::dragMoveEvent(QDragMoveEvent* event)
{
    if (acceptsDrag && acceptsDrag(event->source()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void SlotPanel::dropEvent(QDropEvent* event)
{
    if (!acceptsDrag || !acceptsDrag(event->source()))
        return event->ignore();
    event->acceptProposedAction();
    if (dropped)
        dropped(event->source());
}

Rgb toRgb(const QColor& c) { return {std::uint8_t(c.red()), std::uint8_t(c.green()), std::uint8_t(c.blue())}; }

}  // namespace trimlet
