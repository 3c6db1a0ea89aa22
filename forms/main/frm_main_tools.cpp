// The main window's side of its tool windows: what it hands the preview and the free-rotation
// window, and how it takes what they report.

#include "document/stored_settings.h"
#include "forms/main/frm_main.h"
#include "forms/main/work_area_widgets.h"
#include "forms/preview/frm_preview.h"
#include "forms/rotation/frm_rot_free.h"

namespace trimlet {

OutputOptions TfrmMain::outputOptions() const
{
    OutputOptions options = outputChoices();
    options.documentPath = currentFileName_;
    options.documentName = currentFileName();
    if (currentFileName_.empty())
        options.lastOutputPath = outputPathSetting();
    return options;
}

void TfrmMain::setPreviewWindow(TfrmPreview* preview)
{
    // Once per window: a second set of connections would report everything twice.
    if (preview == frmPreview_)
        return;
    frmPreview_ = preview;
    if (!preview)
        return;
    connect(preview, &TfrmPreview::statusChanged, this,
            guarded([this](const QString& text) { ShowStatus(text, StatusKind::statusOnly); }));
    // The picture is safely saved; a settings file that refuses the path only loses the
    // proposal for the next pasted picture.
    connect(preview, &TfrmPreview::saved, this,
            guarded([this](const std::string& path) { (void)writeLastOutputPath(settingsPath_, path); }));
    // A refused settings file is reported when the program closes and writes it again.
    connect(preview, &TfrmPreview::copied, this, guarded([this] { (void)SaveSettings(); }));
}

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
