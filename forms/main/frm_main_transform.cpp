// The main window's edits of its document: how an edit replaces the picture and is kept for
// the undo, and the join of a picture dropped on the concatenation page.

#include "forms/main/edit_commands.h"
#include "forms/main/frm_main.h"
#include "forms/main/work_area_widgets.h"
#include "imaging/join.h"
#include "platform/qimage_bridge.h"

namespace trimlet {

void TfrmMain::connectTransformHandlers() { edits_ = new EditCommands(*this, *this); }

void TfrmMain::setRotFreeWindow(TfrmRotFree* rotFree) { edits_->setRotFreeWindow(rotFree); }

FailureReport TfrmMain::failureReport()
{
    return [this](const QString& text) { ShowStatus(text, StatusKind::skError); };
}

bool TfrmMain::applyEdit(const QString& name, const std::function<Picture()>& make, EditShown shown,
                         const QString& status, std::optional<Transform> operation)
{
    EditState before = editState();
    if (!runGuarded([&] { setEditingPicture(make()); }, failureReport()))
        return false;
    rememberEdit(name, std::move(before), operation);
    if (shown == EditShown::StatusAndLayout)
        showSourceSize();
    if (shown != EditShown::Nothing)
        ShowStatus(status.isEmpty() ? name : status, StatusKind::statusOnly);
    if (shown == EditShown::StatusAndLayout)
        LayoutWorkArea(true, true);
    return true;
}

Picture TfrmMain::joinedPicture(const Picture& added, const QPoint& clientPoint) const
{
    const JoinSide side = joinSide({clientPoint.x(), clientPoint.y()}, workArea(centralWidget()->size()));
    Bitmap joined = joinPictures(doc_.picture, added, side, joinAlignH(), joinAlignV(), toRgb(bgColour_));
    if (joined.empty())
        throw std::bad_alloc();  // beyond the picture size cap
    return Picture(std::move(joined));
}

bool TfrmMain::ConcatenatePicture(const Picture& added, const QPoint& clientPoint)
{
    return runGuarded([&] { setEditingPicture(joinedPicture(added, clientPoint)); }, failureReport());
}

}  // namespace trimlet
