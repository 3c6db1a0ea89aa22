// Undo and redo of the edits of the picture: each edit leaves the document it replaced in an
// EditHistory, and Ctrl+Z / Ctrl+Y (Ctrl+Shift+Z) put it back and take it forward again.

#include <QAction>
#include <QKeySequence>
#include <QLineEdit>
#include <QMenu>
#include <algorithm>

#include "forms/main/frm_main.h"
#include "forms/widgets/up_down.h"

namespace trimlet {

namespace {

QString withShortcut(const QString& caption, const QKeySequence& keys)
{
    // A menu shows what follows the tab as the item's keys, without owning them: the window's
    // actions do, also while the items are disabled.
    return caption + QLatin1Char('\t') + keys.toString(QKeySequence::NativeText);
}

}  // namespace

void TfrmMain::connectHistoryHandlers()
{
    const QKeySequence undoKeys(Qt::CTRL | Qt::Key_Z);
    const QList<QKeySequence> redoKeys{QKeySequence(Qt::CTRL | Qt::Key_Y),
                                       QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)};

    // Window shortcuts: a focused line edit takes its own Ctrl+Z first, as its text's undo.
    actUndo = new QAction(this);
    actUndo->setObjectName(QStringLiteral("actUndo"));
    actUndo->setShortcut(undoKeys);
    actRedo = new QAction(this);
    actRedo->setObjectName(QStringLiteral("actRedo"));
    actRedo->setShortcuts(redoKeys);
    for (QAction* action : {actUndo, actRedo}) {
        action->setShortcutContext(Qt::WindowShortcut);
        addAction(action);
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
        connect(action, &QAction::triggered, this, guarded(&TfrmMain::undoEdit));
    for (QAction* action : {actRedo, popitemRedo})
        connect(action, &QAction::triggered, this, guarded(&TfrmMain::redoEdit));
}

EditState TfrmMain::editState() const { return {editing_, currentFileName_, frame_.centre, udPower->position()}; }

void TfrmMain::rememberEdit(const QString& name, EditState before)
{
    if (!before.picture.isEmpty())
        history_.record(name.toStdString(), std::move(before));
}

void TfrmMain::restoreEditState(const EditState& state)
{
    // The picture first: when its display copy cannot be made, nothing has changed.
    setEditingPicture(state.picture);
    if (state.document != currentFileName_)
        showDocument(state.document);
    showSourceSize();
    frame_.centre = state.frameCentre;
    UpdateMinimumRate();
    applySpin(udPower, edtPower, std::max(state.rate, udPower->minimum()));
    LayoutWorkArea(false, false);
}

// The history moves only once the state is back, so that a failed restore (a display copy
// beyond memory) leaves both the window and the history as they were.
void TfrmMain::undoEdit()
{
    const EditHistory::Step* step = history_.undoStep();
    if (!step) {
        ShowStatus(tr("元に戻す編集はありません"), StatusKind::statusOnly);
        return;
    }
    const QString name = QString::fromStdString(step->name);
    EditState current = editState();
    restoreEditState(step->state);
    history_.stepBack(std::move(current));
    ShowStatus(tr("元に戻す: %1").arg(name), StatusKind::statusOnly);
}

void TfrmMain::redoEdit()
{
    const EditHistory::Step* step = history_.redoStep();
    if (!step) {
        ShowStatus(tr("やり直す編集はありません"), StatusKind::statusOnly);
        return;
    }
    const QString name = QString::fromStdString(step->name);
    EditState current = editState();
    restoreEditState(step->state);
    history_.stepForward(std::move(current));
    ShowStatus(tr("やり直し: %1").arg(name), StatusKind::statusOnly);
}

}  // namespace trimlet
