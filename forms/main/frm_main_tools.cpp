// The main window's side of the free-rotation window: what it hands the window, and how it
// takes what the window reports.

#include "forms/main/frm_main.h"
#include "forms/main/work_area_widgets.h"
#include "forms/rotation/frm_rot_free.h"

namespace trimlet {

void TfrmMain::setRotFreeWindow(TfrmRotFree* rotFree)
{
    if (rotFree == frmRotFree_)
        return;
    frmRotFree_ = rotFree;
    if (!rotFree)
        return;
    connect(rotFree, &TfrmRotFree::previewVisibilityChanged, this,
            guarded([this](bool visible) { setRotationPreviewShown(visible); }));
    connect(rotFree, &TfrmRotFree::previewChanged, this,
            guarded([this](const QImage& image) { imgRotPreview->setImage(image); }));
    connect(rotFree, &TfrmRotFree::guideLinesChanged, this,
            guarded([this](Qt::BrushStyle hatch) { showRotationGuides(hatch); }));
    connect(rotFree, &TfrmRotFree::statusChanged, this,
            guarded([this](const QString& text) { ShowStatus(text, StatusKind::statusOnly); }));
    connect(rotFree, &TfrmRotFree::failed, this, guarded([this](const QString& text) { failureReport()(text); }));
    // A picture whose display copy cannot be made is refused, and the old one stays.
    connect(rotFree, &TfrmRotFree::pictureRotated, this, [this](const Picture& picture) {
        return runGuarded(
            [&] {
                EditState before = editState();
                setEditingPicture(picture);
                rememberEdit(tr("%1°回転").arg(frmRotFree_->degree()), std::move(before));
            },
            failureReport());
    });
}

}  // namespace trimlet
