#include "forms/work_area_widgets.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QPainter>

#include "forms/guarded.h"
#include "imaging/cut_geometry.h"
#include "imaging/reduce.h"
#include "platform/qimage_bridge.h"

namespace trimlet {

QImage displayImage(const Bitmap& picture, int w, int h)
{
    // Reduced here rather than scaled at painting: a 400-megapixel photo then costs the work
    // area a few megabytes instead of a second full-size copy, and area averages show fine
    // detail truer than the painter's smoothing.
    if (w <= 0 || h <= 0)
        return {};
    if (w >= picture.width() && h >= picture.height())
        return imageOf(picture);
    return imageOf(reduceArea(picture, std::min(w, picture.width()), std::min(h, picture.height())));
}

PictureView::PictureView(QWidget* parent) : MouseReporter(parent) { setAttribute(Qt::WA_OpaquePaintEvent); }

void PictureView::setImage(QImage image)
{
    image_ = std::move(image);
    scaled_ = QImage();
    update();
}

void PictureView::paintEvent(QPaintEvent*)
{
    if (image_.isNull())
        return;
    QPainter p(this);
    if (image_.size() == size()) {
        p.drawImage(0, 0, image_);
        return;
    }
    if (scaled_.size() != size())
        scaled_ = image_.scaled(size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    p.drawImage(0, 0, scaled_);
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
    // stays visible on every picture.
    QPainter p(this);
    if (hatch_ == Qt::NoBrush) {
        const QRect outer = rect().adjusted(0, 0, -1, -1);
        p.setPen(Qt::white);
        p.drawRect(outer);
        p.setPen(Qt::black);
        if (outer.width() > 2 && outer.height() > 2)
            p.drawRect(outer.adjusted(1, 1, -1, -1));
        return;
    }
    constexpr int kSpacing = 8;
    const bool rows = hatch_ == Qt::HorPattern || hatch_ == Qt::CrossPattern;
    const bool columns = hatch_ == Qt::VerPattern || hatch_ == Qt::CrossPattern;
    for (int offset = 0; offset < 2; ++offset) {
        p.setPen(offset == 0 ? Qt::white : Qt::black);
        if (rows)
            for (int y = kSpacing - 1; y + offset < height(); y += kSpacing)
                p.drawLine(0, y + offset, width() - 1, y + offset);
        if (columns)
            for (int x = kSpacing - 1; x + offset < width(); x += kSpacing)
                p.drawLine(x + offset, 0, x + offset, height() - 1);
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
    if (placement_.isEmpty()) {
        image_ = QImage();
    } else if (fit.w <= rendering.width() && fit.h <= rendering.height()) {
        image_ = toQImage(reduceArea(rendering, fit.w, fit.h));
    } else {
        image_ = toQImage(rendering).scaled(fit.w, fit.h, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    update();
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
    p.drawImage(imageRect().topLeft(), image_);
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
