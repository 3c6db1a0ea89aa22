#include "forms/main/set_outlines.h"

#include <QPainter>
#include <QPen>

namespace trimlet {

SetOutlines::SetOutlines(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("shpSetOutlines"));
    // Only drawn over the picture: presses go to the picture and the frame beneath.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    hide();
}

void SetOutlines::show(const IntRect& display, int pw, int ph, const std::vector<SetPiece>& pieces, bool span)
{
    outlines_.clear();
    if (pw > 0 && ph > 0 && display.w > 0 && display.h > 0) {
        const double sx = double(display.w) / pw, sy = double(display.h) / ph;
        for (std::size_t i = span ? 0 : 1; i < pieces.size(); ++i) {
            const SetPiece& p = pieces[i];
            const QRectF picture = p.part
                                       ? QRectF(p.part->x, p.part->y, p.part->w, p.part->h)
                                       : QRectF(p.region.origin.x, p.region.origin.y, p.region.width, p.region.height);
            QString caption = QStringLiteral("%1×%2").arg(p.size.width).arg(p.size.height);
            if (span)
                caption = QStringLiteral("%1: %2").arg(i + 1).arg(caption);
            outlines_.push_back(
                {QRectF(picture.x() * sx, picture.y() * sy, picture.width() * sx, picture.height() * sy), caption,
                 p.moved});
        }
    }
    setGeometry(0, 0, display.w, display.h);  // over the picture, whose child it is
    setVisible(!outlines_.empty());
    update();
}

void SetOutlines::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    QFont small = font();
    small.setPointSizeF(std::max(6.0, small.pointSizeF() * 0.8));
    p.setFont(small);
    const QFontMetrics metrics(small);
    for (const Outline& o : outlines_) {
        const QRectF r = o.rect.adjusted(0.5, 0.5, -0.5, -0.5);
        // Black under light dashes, so that the line shows on any picture.
        p.setPen(QPen(Qt::black, 1));
        p.drawRect(r);
        QPen dashes(o.moved ? QColor(255, 153, 0) : QColor(Qt::white), 1, Qt::CustomDashLine);
        dashes.setDashPattern({4, 3});
        p.setPen(dashes);
        p.drawRect(r);
        const QRectF label(r.x() + 2, r.y() + 2, metrics.horizontalAdvance(o.caption) + 6, metrics.height() + 2);
        if (label.width() < r.width() && label.height() < r.height()) {
            p.fillRect(label, QColor(0, 0, 0, 150));
            p.setPen(o.moved ? QColor(255, 153, 0) : QColor(Qt::white));
            p.drawText(label, Qt::AlignCenter, o.caption);
        }
    }
}

}  // namespace trimlet
