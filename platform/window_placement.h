#pragma once
// The main window's place from one run to the next, as the settings file keeps it: the
// frame's top-left corner, the size of the window without its frame, and whether it was
// maximised. A position given to a window that is already mapped is taken for its client
// area, so the frame would move by the title bar at every start; applying the placement
// before the window exists and reading the frame's corner back keeps the two the same.

#include <QObject>
#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

namespace trimlet {

struct WindowPlacement {
    QPoint framePos;   // the frame's top-left corner, title bar included
    QSize clientSize;  // the window without its frame
    bool maximised = false;
};

// The stored placement made reachable on this screen: the size at least `minimum`, then at
// least 96 pixels of the frame's width on the screen, its top not above the screen and at
// least 96 pixels above the screen's bottom.
WindowPlacement fitPlacement(WindowPlacement stored, const QRect& screen, const QSize& minimum);

// Follows a top-level window and remembers its last normal placement (neither maximised
// nor minimised), which is what a window closed while maximised comes back to.
//
// Given to a window that has not been shown yet, it places the window there at once. Once
// the window has its frame, a frame larger than the available area (a size stored without
// the frame, or for a larger screen) is made to fit where the window's minimum size
// allows it, and only then is a window that was closed maximised maximised again: mapped
// maximised, the window manager would never learn the normal place it un-maximises to.
// Without a frame (no window manager) the window stays at its normal placement.
// On Wayland, which never tells a window where it is, the placement keeps the position it
// was given, so that a Wayland session does not replace the place an X11 session stored.
class PlacementTracker : public QObject {
public:
    PlacementTracker(QWidget* window, const WindowPlacement& initial);

    // The normal placement, and whether the window is maximised now.
    WindowPlacement placement() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool isNormal() const;
    void managed();

    QWidget* window_;
    WindowPlacement normal_;
    QPoint givenPos_;
    bool maximiseWhenManaged_;
    bool managed_ = false;
};

}  // namespace trimlet
