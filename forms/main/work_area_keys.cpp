#include "forms/main/work_area_keys.h"

#include <QAction>
#include <QKeyEvent>
#include <QWheelEvent>
#include <QWidget>
#include <algorithm>

#include "forms/main/console_binding.h"
#include "forms/widgets/up_down.h"

namespace trimlet {

namespace {

constexpr int kWheelNotch = 120;  // angleDelta of one notch of a classic wheel
constexpr int kShiftStep = 10;

}  // namespace

bool WorkAreaKeys::isFolderKey(const QKeyEvent& key)
{
    const Qt::KeyboardModifiers mods = key.modifiers() & ~Qt::KeypadModifier;
    const int k = key.key();
    return (mods == Qt::NoModifier && (k == Qt::Key_PageUp || k == Qt::Key_PageDown)) ||
           (mods == Qt::AltModifier && (k == Qt::Key_Left || k == Qt::Key_Right));
}

WorkAreaKeys::WorkAreaKeys(QWidget* window, const Controls& controls, Commands commands, FailureReport failure)
    : QObject(window), window_(window), c_(controls), commands_(std::move(commands)), failure_(std::move(failure))
{
    // The work area takes the focus by click and Tab; a click on the frame focuses it too.
    c_.picture->setFocusPolicy(Qt::StrongFocus);
    c_.frame->setFocusPolicy(Qt::ClickFocus);
    c_.frame->setFocusProxy(c_.picture);

    const auto step = [&](const char* name, const QKeySequence& page, const QKeySequence& alt, int direction) {
        auto* action = new QAction(window);
        action->setObjectName(QLatin1String(name));
        action->setShortcuts({page, alt});
        action->setShortcutContext(Qt::WindowShortcut);
        window->addAction(action);
        connect(action, &QAction::triggered, this,
                guardedSlot([this, direction] { commands_.stepPicture(direction); }, failure_));
    };
    step("actNextPicture", QKeySequence(Qt::Key_PageDown), QKeySequence(Qt::ALT | Qt::Key_Right), +1);
    step("actPreviousPicture", QKeySequence(Qt::Key_PageUp), QKeySequence(Qt::ALT | Qt::Key_Left), -1);
}

bool WorkAreaKeys::eventFilter(QObject* watched, QEvent* event)
{
    // Called for every event of the application: the type is looked at first.
    switch (event->type()) {
    case QEvent::ShortcutOverride: {
        // The folder keys are the window's whatever control has the focus: a slider or a
        // spin box would take PageDown as its page step, and "one key per photo" would turn
        // into stepping the quality. Dialogs and the preview are other windows and keep theirs.
        const auto* widget = qobject_cast<const QWidget*>(watched);
        if (!widget || widget->window() != window_ || !isFolderKey(*static_cast<QKeyEvent*>(event)))
            return false;
        event->ignore();  // not overridden: the shortcut map triggers the step
        return true;
    }
    case QEvent::KeyPress:
        return watched == c_.picture && commands_.hasPicture() && keyPress(static_cast<QKeyEvent*>(event));
    case QEvent::Wheel: {
        const auto* wheel = static_cast<QWheelEvent*>(event);
        if ((watched != c_.picture && watched != c_.frame) || !(wheel->modifiers() & Qt::ControlModifier))
            return false;
        runGuarded([&] { wheelRate(wheel); }, failure_);
        return true;
    }
    default: return false;
    }
}

bool WorkAreaKeys::keyPress(const QKeyEvent* key)
{
    const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
    if (mods != Qt::NoModifier && mods != Qt::ShiftModifier)
        return false;
    const int by = mods == Qt::ShiftModifier ? kShiftStep : 1;
    int dx = 0, dy = 0;
    switch (key->key()) {
    case Qt::Key_Left: dx = -by; break;
    case Qt::Key_Right: dx = by; break;
    case Qt::Key_Up: dy = -by; break;
    case Qt::Key_Down: dy = by; break;
    case Qt::Key_Home:
        if (mods != Qt::NoModifier)
            return false;
        runGuarded([&] { commands_.centreFrame(); }, failure_);
        return true;
    default: return false;
    }
    runGuarded([&] { commands_.moveFrameBy(dx, dy); }, failure_);
    return true;
}

void WorkAreaKeys::wheelRate(const QWheelEvent* event)
{
    const QPoint delta = event->angleDelta();
    wheelRemainder_ += delta.y() != 0 ? delta.y() : delta.x();
    const int notches = wheelRemainder_ / kWheelNotch;
    wheelRemainder_ -= notches * kWheelNotch;
    if (notches == 0 || !commands_.hasPicture())
        return;
    UpDown* rate = c_.rate;
    const int now = c_.console->cut().rate;
    const int to = std::clamp(now + notches, rate->minimum(), rate->maximum());
    if (to != now)
        rate->stepTo(to);  // the edit's change resizes the frame around its centre
}

}  // namespace trimlet
