#include "forms/widgets/app_icon.h"

#include <QApplication>
#include <QIconEngine>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>
#include <algorithm>
#include <map>
#include <vector>

namespace trimlet {

namespace {

// Each size is drawn separately, so Qt picks a hand-made small icon instead of shrinking, and
// each has its double, which Qt picks on a screen of pixel ratio 2.
constexpr int kDrawnSizes[] = {16, 32, 48, 64, 96, 128, 256, 512};

// Reads a drawn size only when it is first asked for. Qt's own engine decodes every file as it
// is added, which cost the first paint tens of milliseconds for sizes no widget shows.
class DrawnSizesEngine : public QIconEngine {
public:
    explicit DrawnSizesEngine(std::vector<int> sizes) : sizes_(std::move(sizes)) {}

    QIconEngine* clone() const override { return new DrawnSizesEngine(*this); }
    QString key() const override { return QStringLiteral("trimlet-drawn-sizes"); }

    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override
    {
        QList<QSize> list;
        for (const int s : sizes_)
            list.append(QSize(s, s));
        return list;
    }

    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override
    {
        const int side = std::min({size.width(), size.height(), drawnFor(size)});
        return QSize(side, side);
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State) override
    {
        if (size.isEmpty())
            return {};
        QPixmap drawn = decoded(drawnFor(size));
        const int side = std::min(size.width(), size.height());
        if (!drawn.isNull() && drawn.width() > side)
            drawn = drawn.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        if (mode != QIcon::Normal && !drawn.isNull() && qobject_cast<QApplication*>(QCoreApplication::instance())) {
            QStyleOption option;
            option.palette = QApplication::palette();
            drawn = QApplication::style()->generatedIconPixmap(mode, drawn, &option);
        }
        return drawn;
    }

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override
    {
        const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        QPixmap pm = pixmap(rect.size() * ratio, mode, state);
        if (pm.isNull())
            return;
        pm.setDevicePixelRatio(ratio);
        const QSizeF shown = QSizeF(pm.size()) / ratio;
        painter->drawPixmap(
            QPointF(rect.x() + (rect.width() - shown.width()) / 2, rect.y() + (rect.height() - shown.height()) / 2),
            pm);
    }

private:
    // The smallest drawn size that fills the request, else the largest.
    int drawnFor(const QSize& size) const
    {
        const int want = std::max(size.width(), size.height());
        for (const int s : sizes_)
            if (s >= want)
                return s;
        return sizes_.back();
    }

    QPixmap decoded(int size)
    {
        auto it = cache_.find(size);
        if (it == cache_.end())
            it = cache_.emplace(size, QPixmap(QStringLiteral(":/icons/trimlet-%1.png").arg(size))).first;
        return it->second;
    }

    std::vector<int> sizes_;
    std::map<int, QPixmap> cache_;
};

const QIcon& madeOnce(std::vector<int> sizes, const QIcon*& slot)
{
    // Never freed, since a pixmap must not outlive the application object.
    if (!slot)
        slot = new QIcon(new DrawnSizesEngine(std::move(sizes)));
    return *slot;
}

}  // namespace

QIcon applicationIcon()
{
    static const QIcon* icon = nullptr;
    return madeOnce({std::begin(kDrawnSizes), std::end(kDrawnSizes)}, icon);
}

QIcon windowManagerIcon()
{
    // The X window's icon carries every size it has, converted and sent at each window's
    // creation; 512 (1 MiB) is only the double of 256 in the program's own widgets.
    static const QIcon* icon = nullptr;
    return madeOnce({std::begin(kDrawnSizes), std::end(kDrawnSizes) - 1}, icon);
}

}  // namespace trimlet
