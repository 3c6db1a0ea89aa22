// The main window's output side: cutting the framed part for the preview window, the
// whole-picture commands, cut-and-continue and the output options of the console.

#include <QAbstractButton>
#include <QButtonGroup>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTimer>

#include "forms/main/frm_main.h"
#include "forms/preview/frm_preview.h"
#include "forms/main/live_size.h"
#include "forms/widgets/up_down.h"
#include "platform/desktop.h"
#include "platform/qimage_bridge.h"

namespace trimlet {

namespace {

// The cut in trimlet-cli's terms, so that a user can repeat it exactly: the cut size, the
// rate and the region's top-left in picture pixels.
QString cutCommand(int W, int H, int R, const IntPoint& origin)
{
    return QStringLiteral("--cut %1x%2@%3:%4,%5").arg(W).arg(H).arg(R).arg(origin.x).arg(origin.y);
}

}  // namespace

void TfrmMain::connectOutputHandlers()
{
    connect(btnPreview, &QPushButton::clicked, this, guarded(&TfrmMain::btnPreviewClick));
    connect(btnSave, &QPushButton::clicked, this, guarded(&TfrmMain::btnSaveClick));
    connect(btnCopy, &QPushButton::clicked, this, guarded(&TfrmMain::btnCutCopyClick));
    connect(btnQuickSave, &QPushButton::clicked, this, guarded(&TfrmMain::btnQuickSaveClick));
    connect(btnAllCopy, &QPushButton::clicked, this, guarded(&TfrmMain::btnAllCopyClick));
    connect(btnCutAndLoad, &QPushButton::clicked, this, guarded(&TfrmMain::btnCutAndLoadClick));
    connect(popitemPreview, &QAction::triggered, this, guarded(&TfrmMain::btnPreviewClick));
    connect(popitemSave, &QAction::triggered, this, guarded(&TfrmMain::btnSaveClick));
    connect(popitemQuickSave, &QAction::triggered, this, guarded(&TfrmMain::btnQuickSaveClick));
    connect(rdgpFormatItems, &QButtonGroup::idClicked, this, guarded(&TfrmMain::rdgpFormatClick));
    connect(rdgpTailItems, &QButtonGroup::idClicked, this, guarded(&TfrmMain::rdgpFormatClick));
    connect(tbarQual, &QSlider::valueChanged, this, guarded(&TfrmMain::tbarQualChange));
}

void TfrmMain::MakeCutResult(OutputMode mode)
{
    // The same request the live size measures, so that both see the same piece.
    const PieceRequest piece = pieceRequest();
    QString command;
    if (!piece.whole)
        command = cutCommand(udSizeW->position(), udSizeH->position(), piece.rate, piece.origin);
    frmPreview_->setCutResult(Picture(cutPiece(piece)), outputOptions(), command);
    runPreview(mode);
}

void TfrmMain::runPreview(OutputMode mode)
{
    frmPreview_->outputMode = mode;
    const auto suspended = suspendResizeCheck();
    if (mode == OutputMode::Preview)
        frmPreview_->exec();
    else
        frmPreview_->FormShow();
}

std::unique_ptr<QTimer, void (*)(QTimer*)> TfrmMain::suspendResizeCheck()
{
    tmrCheckResize->stop();
    return {tmrCheckResize, [](QTimer* timer) { timer->start(); }};
}

void TfrmMain::btnPreviewClick() { MakeCutResult(OutputMode::Preview); }

void TfrmMain::keyPressEvent(QKeyEvent* event)
{
    // A main window has no default button of its own: Enter that no control took presses the
    // focused button, else プレビュー while its page shows.
    if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter)
        return QMainWindow::keyPressEvent(event);
    QAbstractButton* target = buttonForEnter(focusWidget(), btnPreview);
    if (target->isVisible() && target->isEnabled())
        target->click();
}
void TfrmMain::btnSaveClick() { MakeCutResult(OutputMode::Save); }
void TfrmMain::btnCutCopyClick() { MakeCutResult(OutputMode::Copy); }

void TfrmMain::btnQuickSaveClick()
{
    frmPreview_->setCutResult(Picture(editing_.bitmap()), outputOptions());
    runPreview(OutputMode::Save);
}

void TfrmMain::btnAllCopyClick()
{
    // An unedited GIF also goes out as its own file, so GIF-aware programs keep its palette.
    QByteArray gif;
    if (editing_.kind() == PictureKind::Gif)
        gif = QByteArray(reinterpret_cast<const char*>(editing_.fileBytes().data()),
                         qsizetype(editing_.fileBytes().size()));
    if (!desktop().setClipboard(imageOf(editing_.bitmap()), gif)) {
        ShowStatus(tr("クリップボードにコピーできませんでした。"), StatusKind::skError);
        return;
    }
    ShowStatus(tr("画像全体をクリップボードにコピー"), StatusKind::statusOnly);
}

void TfrmMain::btnCutAndLoadClick()
{
    EditState before = editState();
    MakeCutResult(OutputMode::CutOnly);
    setEditingPicture(Picture(frmPreview_->cutResult().bitmap()));
    const QString name = tr("画像の切り出し");
    rememberEdit(name, std::move(before));
    showSourceSize();
    LayoutWorkArea(true, true);
    ShowStatus(frmPreview_->withCutCommand(name), StatusKind::statusOnly);
}

void TfrmMain::rdgpFormatClick()
{
    showOutputFormat();
    requestLiveSize();
}

void TfrmMain::tbarQualChange()
{
    lblQual->setText(QString::number(tbarQual->value()));
    // Under a limit the slider only shows the quality the measurement chose.
    if (outputChoices().maxKb == 0)
        requestLiveSize();
}

}  // namespace trimlet
