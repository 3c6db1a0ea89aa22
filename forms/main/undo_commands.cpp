#include "forms/main/undo_commands.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QWidget>

namespace trimlet {

namespace {

QString withShortcut(const QString& caption, const QKeySequence& keys)
{
    // A menu shows what follows the tab as the item's keys, without owning them: the window's
    // actions do, also while the items are disabled.
    return caption + QLatin1Char('\t') + keys.toString(QKeySequence::NativeText);
}

}  // namespace

UndoCommands::UndoCommands(QWidget* window, QMenu* popEdit, EditHistory& history, Document document,
                           const FailureReport& failure)
    : QObject(window), history_(history), document_(std::move(document))
{
    const QKeySequence undoKeys(Qt::CTRL | Qt::Key_Z);
    const QList<QKeySequence> redoKeys{QKeySequence(Qt::CTRL | Qt::Key_Y),
                                       QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)};

    // Window shortcuts: a focused line edit takes its own Ctrl+Z first, as its text's undo.
    auto* actUndo = new QAction(window);
    actUndo->setObjectName(QStringLiteral("actUndo"));
    actUndo->setShortcut(undoKeys);
    auto* actRedo = new QAction(window);
    actRedo->setObjectName(QStringLiteral("actRedo"));
    actRedo->setShortcuts(redoKeys);
    for (QAction* action : {actUndo, actRedo}) {
        action->setShortcutContext(Qt::WindowShortcut);
        window->addAction(action);
    }

    popitemUndo = new QAction(withShortcut(tr("元に戻す"), undoKeys), popEdit);
    popitemUndo->setObjectName(QStringLiteral("popitemUndo"));
    popitemRedo = new QAction(withShortcut(tr("やり直し"), redoKeys.front()), popEdit);
    popitemRedo->setObjectName(QStringLiteral("popitemRedo"));
    QAction* first = popEdit->actions().value(0);
    popEdit->insertActions(first, {popitemUndo, popitemRedo});
    popEdit->insertSeparator(first);
    connect(popEdit, &QMenu::aboutToShow, this, [this] {
        popitemUndo->setEnabled(history_.undoStep() != nullptr);
        popitemRedo->setEnabled(history_.redoStep() != nullptr);
    });

    for (QAction* action : {actUndo, popitemUndo})
        connect(action, &QAction::triggered, this, guardedSlot([this] { undo(); }, failure));
    for (QAction* action : {actRedo, popitemRedo})
        connect(action, &QAction::triggered, this, guardedSlot([this] { redo(); }, failure));
}

// The history moves only once the state is back, so that a failed restore (a turn or a display
// copy beyond memory) leaves both the window and the history as they were.
void UndoCommands::undo()
{
    const EditHistory::Step* step = history_.undoStep();
    if (!step) {
        document_.status(tr("元に戻す編集はありません"));
        return;
    }
    const QString name = QString::fromStdString(step->name);
    EditState current = document_.state();
    document_.restore(history_.undoState(current));
    history_.stepBack(std::move(current));
    document_.status(tr("元に戻す: %1").arg(name));
}

void UndoCommands::redo()
{
    const EditHistory::Step* step = history_.redoStep();
    if (!step) {
        document_.status(tr("やり直す編集はありません"));
        return;
    }
    const QString name = QString::fromStdString(step->name);
    EditState current = document_.state();
    document_.restore(history_.redoState(current));
    history_.stepForward(std::move(current));
    document_.status(tr("やり直し: %1").arg(name));
}

}  // namespace trimlet
