#pragma once
// The work area's keys: arrows and Home move the frame over the focused picture, Ctrl+wheel
// over it steps the rate, and PageDown / PageUp (Alt+Right / Alt+Left) step through the folder
// from any control of the window.

#include <QObject>
#include <functional>

#include "forms/widgets/guarded.h"

class QKeyEvent;
class QWheelEvent;
class QWidget;

namespace trimlet {

class ConsoleBinding;

class UpDown;

class WorkAreaKeys : public QObject {
    Q_OBJECT

public:
    struct Controls {
        QWidget* picture;               // imgSource, which takes the keys
        QWidget* frame;                 // shpRange, over the picture
        UpDown* rate;                   // udPower
        const ConsoleBinding* console;  // the rate it holds
    };
    // What the keys do to the window's document.
    struct Commands {
        std::function<bool()> hasPicture;
        // The frame moved by display pixels and kept inside the picture, as a drag moves it.
        std::function<void(int dx, int dy)> moveFrameBy;
        // The frame centred on the picture, as a new picture gets it.
        std::function<void()> centreFrame;
        // The next (+1) or previous (-1) picture file of the folder.
        std::function<void(int direction)> stepPicture;
    };
    // Gives the picture the focus by click and Tab, and window the folder-step shortcuts.
    WorkAreaKeys(QWidget* window, const Controls& controls, Commands commands, FailureReport failure);

    // Meant for every event of the application, ahead of the window's other filtering; true
    // when the event was the work area's.
    bool eventFilter(QObject* watched, QEvent* event) override;
    // PageDown / PageUp and Alt+→ / Alt+←, which step through the folder from any control.
    static bool isFolderKey(const QKeyEvent& key);

private:
    // Arrows (Shift: ten pixels) and Home on the picture; true when the key was one of them.
    bool keyPress(const QKeyEvent* key);
    // Ctrl+wheel: the rate one up or down per notch, within its limits.
    void wheelRate(const QWheelEvent* event);

    QWidget* window_;
    Controls c_;
    Commands commands_;
    FailureReport failure_;
    int wheelRemainder_ = 0;  // a touchpad's part of a notch, kept for the next event
};

}  // namespace trimlet
