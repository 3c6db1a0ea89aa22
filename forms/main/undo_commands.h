#pragma once
// Undo and redo of the edits of the picture: each edit leaves the document it replaced in an
// EditHistory, and Ctrl+Z / Ctrl+Y (Ctrl+Shift+Z) or the edit menu put it back and take it
// forward again.

#include <QObject>
#include <functional>

#include "document/edit_history.h"
#include "forms/widgets/guarded.h"

class QAction;
class QMenu;
class QWidget;

namespace trimlet {

class UndoCommands : public QObject {
    Q_OBJECT

public:
    // The window's document.
    struct Document {
        std::function<EditState()> state;
        // Puts a state back: picture, document, frame and rate, laid out anew.
        std::function<void(const EditState&)> restore;
        std::function<void(const QString&)> status;  // for the status line
    };
    // Gives window the shortcuts and popEdit the items at its top; history is the window's.
    UndoCommands(QWidget* window, QMenu* popEdit, EditHistory& history, Document document,
                 const FailureReport& failure);

    // Goes back to the document before the last edit (forward again), or says there is none.
    void undo();
    void redo();

private:
    EditHistory& history_;
    Document document_;
    QAction* popitemUndo;
    QAction* popitemRedo;
};

}  // namespace trimlet
