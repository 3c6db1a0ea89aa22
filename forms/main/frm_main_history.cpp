// The main window's side of undo and redo, which UndoCommands runs: the document as an
// EditState, taken before each edit and put back.

#include <algorithm>

#include "forms/main/frm_main.h"
#include "forms/main/undo_commands.h"
#include "forms/widgets/up_down.h"

namespace trimlet {

void TfrmMain::connectHistoryHandlers()
{
    UndoCommands::Document document{[this] { return editState(); },
                                    [this](const EditState& state) { restoreEditState(state); },
                                    [this](const QString& text) { ShowStatus(text, StatusKind::statusOnly); }};
    new UndoCommands(this, popEdit, history_, std::move(document), failureReport());
}

EditState TfrmMain::editState() const
{
    return {doc_.picture, doc_.path, frame_.centre, cutSettings().rate, doc_.edited};
}

void TfrmMain::rememberEdit(const QString& name, EditState before, std::optional<Transform> operation)
{
    doc_.edited = true;
    if (!before.picture.isEmpty())
        history_.record(name.toStdString(), std::move(before), operation);
}

void TfrmMain::restoreEditState(const EditState& state)
{
    // The picture first: when its display copy cannot be made, nothing has changed.
    setEditingPicture(state.picture);
    doc_.edited = state.edited;
    if (state.document != doc_.path)
        showDocument(state.document);
    showSourceSize();
    frame_.centre = state.frameCentre;
    UpdateMinimumRate();
    applySpin(udPower, edtPower, std::max(state.rate, udPower->minimum()));
    LayoutWorkArea(false, false);
}

}  // namespace trimlet
