#include "app/automation.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMessageBox>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTimer>
#include <cstdio>

#include "forms/main/picture_loads.h"

namespace trimlet {

namespace {

constexpr int kLongestWait = 600'000;

// The windows a click may reach: only the modal window on top while there is one, as for a
// person; otherwise the active window first, then every other showing window.
QList<QWidget*> reachableWindows()
{
    if (QWidget* modal = QApplication::activeModalWidget())
        return {modal};
    QList<QWidget*> windows;
    if (QWidget* active = QApplication::activeWindow())
        windows << active;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && !qobject_cast<QMenu*>(w) && !windows.contains(w))
            windows << w;
    return windows;
}

// The window whose menu holds the item: pop-up menus are windows of their own.
QWidget* windowOfAction(const QAction* action)
{
    auto* owner = qobject_cast<QWidget*>(action->parent());
    while (auto* menu = qobject_cast<QMenu*>(owner))
        owner = menu->parentWidget();
    return owner ? owner->window() : nullptr;
}

// Brings forward every page between the control and its window, as clicking the tabs would.
void showPagesOf(QWidget* control, const QWidget* window)
{
    for (QWidget* w = control; w && w != window; w = w->parentWidget()) {
        auto* stack = qobject_cast<QStackedWidget*>(w->parentWidget());
        if (!stack)
            continue;
        if (auto* tabs = qobject_cast<QTabWidget*>(stack->parentWidget()))
            tabs->setCurrentWidget(w);
        else
            stack->setCurrentWidget(w);
    }
}

}  // namespace

Automation::Parsed Automation::parse(const QString& script)
{
    Parsed parsed;
    const QStringList pieces = script.split(QLatin1Char(';'));
    for (const QString& piece : pieces) {
        const QString text = piece.trimmed();
        if (text.isEmpty())
            continue;
        if (!parsed.steps.empty() && parsed.steps.back().kind == Step::Close) {
            parsed.error = QStringLiteral("'%1' comes after close").arg(text);
            return parsed;
        }
        Step step{Step::Close, {}, 0, text};
        const QString argument = text.section(QLatin1Char(':'), 1).trimmed();
        const bool named = !argument.isEmpty() && !argument.contains(QLatin1Char(' '));
        if ((text.startsWith(QLatin1String("click:")) || text.startsWith(QLatin1String("focus:"))) && named) {
            step.kind = text.startsWith(QLatin1String("click:")) ? Step::Click : Step::Focus;
            step.name = argument;
        } else if (text.startsWith(QLatin1String("wait:"))) {
            bool ok = false;
            step.kind = Step::Wait;
            step.milliseconds = argument.toInt(&ok);
            if (!ok || step.milliseconds < 0 || step.milliseconds > kLongestWait) {
                parsed.error = QStringLiteral("'%1': the wait is 0 to %2 milliseconds").arg(text).arg(kLongestWait);
                return parsed;
            }
        } else if (text != QLatin1String("close")) {
            parsed.error = QStringLiteral("unknown step '%1'").arg(text);
            return parsed;
        }
        parsed.steps.push_back(step);
    }
    if (parsed.steps.empty() && parsed.error.isEmpty())
        parsed.error = QStringLiteral("no steps");
    return parsed;
}

std::unique_ptr<Automation> Automation::fromEnvironment(QWidget* mainWindow)
{
    if (qEnvironmentVariableIsEmpty(kActionsVariable))
        return nullptr;
    return std::make_unique<Automation>(qEnvironmentVariable(kActionsVariable), mainWindow);
}

Automation::Automation(const QString& script, QWidget* mainWindow, QObject* parent)
    : QObject(parent), parsed_(parse(script)), mainWindow_(mainWindow)
{}

void Automation::start()
{
    QTimer::singleShot(0, this, [this] {
        if (!parsed_.error.isEmpty())
            fail(parsed_.error);
        else
            runNext();
    });
}

void Automation::afterEvents()
{
    // Zero-time single shots are queued calls, handled in order: the second hop lands behind
    // whatever the step's own handlers queued, also inside a modal window's event loop.
    QTimer::singleShot(0, this, [this] { QTimer::singleShot(0, this, &Automation::runNext); });
}

void Automation::runNext()
{
    if (failed_ || next_ >= parsed_.steps.size())
        return;
    // A click acts on the picture being loaded, as a person's click waits for it; a box the
    // load opens is reached all the same, since the wait ends as the picture arrives.
    const auto* loads = mainWindow_->findChild<PictureLoads*>();
    const Step::Kind kind = parsed_.steps[next_].kind;
    if ((kind == Step::Click || kind == Step::Focus) && loads && loads->pending()) {
        connect(loads, &PictureLoads::delivered, this, &Automation::runNext,
                Qt::ConnectionType(Qt::QueuedConnection | Qt::SingleShotConnection));
        return;
    }
    const Step& step = parsed_.steps[next_++];
    switch (step.kind) {
    case Step::Wait: QTimer::singleShot(step.milliseconds, this, &Automation::runNext); return;
    case Step::Close: closeWindows(); return;
    case Step::Click:
        if (click(step))
            afterEvents();
        return;
    case Step::Focus:
        // Where a click or a Tab would leave the keyboard, for the keys a script sends next.
        for (QWidget* window : reachableWindows())
            for (QWidget* widget : window->findChildren<QWidget*>(step.name))
                if (widget->window() == window && widget->isVisible() && widget->isEnabled()) {
                    widget->setFocus(Qt::OtherFocusReason);
                    afterEvents();
                    return;
                }
        fail(QStringLiteral("'%1': no control %2 that can take the focus").arg(step.text, step.name));
        return;
    }
}

bool Automation::click(const Step& step)
{
    for (QWidget* window : reachableWindows()) {
        for (QAbstractButton* button : window->findChildren<QAbstractButton*>(step.name)) {
            if (button->window() != window)
                continue;
            showPagesOf(button, window);
            if (!button->isVisible() || !button->isEnabled()) {
                fail(QStringLiteral("'%1': %2 is %3")
                         .arg(step.text, step.name,
                              button->isVisible() ? QStringLiteral("disabled") : QStringLiteral("not showing")));
                return false;
            }
            // Queued, so that a modal window the click opens runs its loop outside this step.
            QTimer::singleShot(0, button, [button] { button->click(); });
            return true;
        }
        for (QAction* action : window->findChildren<QAction*>(step.name)) {
            if (windowOfAction(action) != window)
                continue;
            if (!action->isEnabled()) {
                fail(QStringLiteral("'%1': %2 is disabled").arg(step.text, step.name));
                return false;
            }
            QTimer::singleShot(0, action, [action] { action->trigger(); });
            return true;
        }
    }
    // Name the window in the way, with a message box's text, so that a failed run says why.
    QString blocking;
    if (QWidget* modal = QApplication::activeModalWidget()) {
        blocking = QStringLiteral(" (%1 \"%2\" is open").arg(modal->metaObject()->className(), modal->windowTitle());
        if (auto* box = qobject_cast<QMessageBox*>(modal))
            blocking += QStringLiteral(": ") + box->text().simplified();
        blocking += QLatin1Char(')');
    }
    fail(QStringLiteral("'%1': no button or menu item %2 in a window that can be clicked%3")
             .arg(step.text, step.name, blocking));
    return false;
}

void Automation::closeWindows()
{
    // Modal windows first, as a person would have to; one that refuses (a rotation still
    // stopping) stays, and the main window closes anyway.
    while (QWidget* modal = QApplication::activeModalWidget()) {
        if (modal == mainWindow_)
            break;
        modal->close();
        if (modal->isVisible())
            break;
    }
    mainWindow_->close();
}

void Automation::fail(const QString& message)
{
    failed_ = true;
    std::fprintf(stderr, "trimlet: %s: %s\n", kActionsVariable, qPrintable(message));
    closeWindows();
}

}  // namespace trimlet
