// The main window's keyboard framing: arrows and Home on the focused work area, Ctrl+wheel
// over the picture, and the keys that step through the folder.

#include <QAbstractScrollArea>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QAction>
#include <QKeyEvent>
#include <QWheelEvent>
#include <algorithm>

#include "forms/main/frm_main.h"
#include "forms/main/work_area_widgets.h"
#include "forms/widgets/guarded.h"
#include "forms/widgets/up_down.h"

namespace trimlet {

namespace {

constexpr int kWheelNotch = 120;  // angleDelta of one notch of a classic wheel
constexpr int kShiftStep = 10;

// Keys that controls of their own use (a slider's page step) stay theirs.
bool wantsPageKeys(const QObject* focused)
{
    return qobject_cast<const QAbstractSlider*>(focused) || qobject_cast<const QAbstractSpinBox*>(focused) ||
           qobject_cast<const QAbstractScrollArea*>(focused);
}

}  // namespace

void TfrmMain::connectKeyHandlers()
{
    // The work area takes the focus by click and Tab; a click on the frame focuses it too.
    imgSource->setFocusPolicy(Qt::StrongFocus);
    shpRange->setFocusPolicy(Qt::ClickFocus);
    shpRange->setFocusProxy(imgSource);

    const auto step = [this](const char* name, const QKeySequence& page, const QKeySequence& alt, int direction) {
        auto* action = new QAction(this);
        action->setObjectName(QLatin1String(name));
        action->setShortcuts({page, alt});
        action->setShortcutContext(Qt::WindowShortcut);
        addAction(action);
        connect(action, &QAction::triggered, this, guarded([this, direction] { stepPictureFile(direction); }));
    };
    step("actNextPicture", QKeySequence(Qt::Key_PageDown), QKeySequence(Qt::ALT | Qt::Key_Right), +1);
    step("actPreviousPicture", QKeySequence(Qt::Key_PageUp), QKeySequence(Qt::ALT | Qt::Key_Left), -1);
}

bool TfrmMain::workAreaEvent(QObject* watched, QEvent* event)
{
    // Called for every event of the application: the type is looked at first.
    switch (event->type()) {
    case QEvent::ShortcutOverride: {
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_PageUp || key->key() == Qt::Key_PageDown) && wantsPageKeys(watched)) {
            event->accept();
            return true;
        }
        return false;
    }
    case QEvent::KeyPress: {
        if (watched != imgSource || editing_.isEmpty())
            return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
        if (mods != Qt::NoModifier && mods != Qt::ShiftModifier)
            return false;
        const int by = mods == Qt::ShiftModifier ? kShiftStep : 1;
        switch (key->key()) {
        case Qt::Key_Left: runGuarded([&] { moveCutFrameBy(-by, 0); }, failureReport()); return true;
        case Qt::Key_Right: runGuarded([&] { moveCutFrameBy(by, 0); }, failureReport()); return true;
        case Qt::Key_Up: runGuarded([&] { moveCutFrameBy(0, -by); }, failureReport()); return true;
        case Qt::Key_Down: runGuarded([&] { moveCutFrameBy(0, by); }, failureReport()); return true;
        case Qt::Key_Home:
            if (mods != Qt::NoModifier)
                return false;
            runGuarded([&] { centreCutFrame(); }, failureReport());
            return true;
        default: return false;
        }
    }
    case QEvent::Wheel: {
        const auto* wheel = static_cast<QWheelEvent*>(event);
        if ((watched != imgSource && watched != shpRange) || !(wheel->modifiers() & Qt::ControlModifier))
            return false;
        runGuarded([&] { wheelRate(wheel); }, failureReport());
        return true;
    }
    default: return false;
    }
}

void TfrmMain::moveCutFrameBy(int dx, int dy)
{
    if (editing_.isEmpty())
        return;
    ClampCutFrame(frame_.rect.x + dx, frame_.rect.y + dy);
    StoreFrameCentre();
}

void TfrmMain::centreCutFrame()
{
    if (editing_.isEmpty())
        return;
    // Where a recentring layout puts it: the display's middle less half the frame.
    const QRect d = imgSource->geometry();
    ClampCutFrame(d.x() + d.width() / 2 - frame_.rect.w / 2, d.y() + d.height() / 2 - frame_.rect.h / 2);
    StoreFrameCentre();
}

void TfrmMain::wheelRate(const QWheelEvent* event)
{
    const QPoint delta = event->angleDelta();
    wheelRemainder_ += delta.y() != 0 ? delta.y() : delta.x();
    const int notches = wheelRemainder_ / kWheelNotch;
    wheelRemainder_ -= notches * kWheelNotch;
    if (notches == 0 || editing_.isEmpty())
        return;
    const int rate = std::clamp(udPower->position() + notches, udPower->minimum(), udPower->maximum());
    if (rate != udPower->position())
        udPower->setPosition(rate);  // the edit's change resizes the frame around its centre
}

}  // namespace trimlet
