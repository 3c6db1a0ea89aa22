#include "platform/window_placement.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace trimlet {

namespace {

constexpr int kReachable = 96;

// What pos() says on Wayland is no place on the screen.
bool platformTellsPositions() { return !QGuiApplication::platformName().startsWith(QLatin1String("wayland")); }

}  // namespace

WindowPlacement fitPlacement(WindowPlacement stored, const QRect& screen, const QSize& minimum)
{
    const QSize size = stored.clientSize = stored.clientSize.expandedTo(minimum);
    QPoint& p = stored.framePos;
    if (p.x() + size.width() < screen.left() + kReachable)
        p.setX(screen.left() + kReachable - size.width());
    if (p.x() > screen.left() + screen.width() - kReachable)
        p.setX(screen.left() + screen.width() - kReachable);
    if (p.y() < screen.top())
        p.setY(screen.top());
    if (p.y() > screen.top() + screen.height() - kReachable)
        p.setY(screen.top() + screen.height() - kReachable);
    return stored;
}

PlacementTracker::PlacementTracker(QWidget* window, const WindowPlacement& initial)
    : QObject(window), window_(window), normal_(initial), givenPos_(initial.framePos),
      maximiseWhenManaged_(initial.maximised)
{
    normal_.maximised = false;
    window->resize(initial.clientSize);
    window->move(initial.framePos);
    window->installEventFilter(this);
}

bool PlacementTracker::isNormal() const
{
    return !(window_->windowState() & (Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen));
}

WindowPlacement PlacementTracker::placement() const
{
    WindowPlacement p = isNormal() ? WindowPlacement{window_->pos(), window_->size()} : normal_;
    if (!platformTellsPositions())
        p.framePos = givenPos_;
    p.maximised = (window_->windowState() & Qt::WindowMaximized) || (maximiseWhenManaged_ && !managed_);
    return p;
}

bool PlacementTracker::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (watched != window_ || !(type == QEvent::Move || type == QEvent::Resize || type == QEvent::Show) ||
        !window_->isVisible() || !isNormal())
        return false;
    normal_ = {window_->pos(), window_->size()};
    // The frame is known once it differs from the window: at the showing on some platforms,
    // after the window manager has taken the window in on others.
    if (!managed_ && window_->frameGeometry().size() != window_->size())
        managed();
    return false;
}

void PlacementTracker::managed()
{
    managed_ = true;
    if (const QScreen* screen = window_->screen()) {
        const QRect available = screen->availableGeometry();
        const QRect frame = window_->frameGeometry();
        const QSize excess = frame.size() - available.size();
        const QSize room = window_->size() - window_->minimumSize();
        const bool narrower = excess.width() > 0 && excess.width() <= room.width();
        const bool lower = excess.height() > 0 && excess.height() <= room.height();
        if (narrower || lower) {
            window_->resize(window_->width() - (narrower ? excess.width() : 0),
                            window_->height() - (lower ? excess.height() : 0));
            window_->move(narrower ? available.left() : frame.left(), lower ? available.top() : frame.top());
        }
    }
    if (maximiseWhenManaged_)
        window_->setWindowState(window_->windowState() | Qt::WindowMaximized);
}

}  // namespace trimlet
