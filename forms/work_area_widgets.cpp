#include "forms/work_area_widgets.h"

#include <QPainter>

namespace trimlet {

PictureView::PictureView(QWidget* parent)
    : MouseReporter(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

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

FrameShape::FrameShape(QWidget* parent)
    : MouseReporter(parent)
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

SlotPanel::SlotPanel(int number, QWidget* parent)
    : QFrame(parent), number_(number)
{
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
}

void SlotPanel::setImage(QImage image)
{
    image_ = std::move(image);
    update();
}

void SlotPanel::paintEvent(QPaintEvent* event)
{
    QFrame::paintEvent(event);
    QPainter p(this);
    const QRect inner = contentsRect();
    if (image_.isNull()) {
        QFont f = font();
        f.setPixelSize(43);
        p.setFont(f);
        p.setPen(Qt::gray);
        p.drawText(inner, Qt::AlignCenter, QString::number(number_));
        return;
    }
    const QSize fitted = image_.size().scaled(inner.size(), Qt::KeepAspectRatio);
    const QRect target(inner.center() - QPoint(fitted.width() / 2, fitted.height() / 2), fitted);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(target, image_);
}

}  // namespace trimlet
