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
#include "forms/main/live_size_view.h"
#include "forms/preview/frm_preview.h"
#include "forms/widgets/up_down.h"
#include "imaging/cut_geometry.h"
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

TfrmMain::CutResult TfrmMain::MakeCutResult() const
{
    // The same request the live size measures, so that both see the same piece.
    const PieceRequest piece = pieceRequest();
    CutResult cut{Picture(cutPiece(piece)), {}};
    if (!piece.whole)
        cut.command = cutCommand(cutSettings().width, cutSettings().height, piece.rate, piece.origin);
    return cut;
}

void TfrmMain::outputCut(OutputMode mode)
{
    CutResult cut = MakeCutResult();
    frmPreview_->setCutResult(std::move(cut.picture), outputOptions(), std::move(cut.command));
    runPreview(mode);
}

PieceRequest TfrmMain::pieceRequest() const
{
    PieceRequest r;
    r.source = editing_;
    const int pw = editing_.width(), ph = editing_.height();
    const CutSettings& cut = cutSettings();
    if (cutsRegion(pw, ph, cut.width, cut.height)) {
        r.whole = false;
        r.origin = frame_.cutOrigin(displayRect(), pw, ph);
        r.cutW = frame_.cutSrcWidth;
        r.cutH = frame_.cutSrcHeight;
        r.rate = cut.rate;
    }
    return r;
}

void TfrmMain::connectLiveSizeHandlers()
{
    const auto piece = [this]() -> std::optional<PieceRequest> {
        if (editing_.isEmpty() || closing_)
            return std::nullopt;
        return pieceRequest();
    };
    liveSize_ = new LiveSizeView(
        this, {lblLiveSize, tbarQual, edtMaxKb, udMaxKb}, piece, [this] { return outputChoice(); }, failureReport());
    connect(udMaxKb, &UpDown::positionChanged, this, guarded(&TfrmMain::udMaxKbChange));
}

void TfrmMain::requestLiveSize()
{
    if (liveSize_)
        liveSize_->request();
}

void TfrmMain::udMaxKbChange()
{
    showOutputFormat();
    requestLiveSize();
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

void TfrmMain::btnPreviewClick() { outputCut(OutputMode::Preview); }

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
void TfrmMain::btnSaveClick() { outputCut(OutputMode::Save); }
void TfrmMain::btnCutCopyClick() { outputCut(OutputMode::Copy); }

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
    CutResult cut = MakeCutResult();
    setEditingPicture(std::move(cut.picture));
    const QString name = tr("画像の切り出し");
    rememberEdit(name, std::move(before));
    showSourceSize();
    LayoutWorkArea(true, true);
    ShowStatus(cut.command.isEmpty() ? name : tr("%1（%2）").arg(name, cut.command), StatusKind::statusOnly);
}

void TfrmMain::rdgpFormatClick()
{
    showOutputFormat();
    requestLiveSize();
}

void TfrmMain::tbarQualChange()
{
    lblQual->setText(QString::number(outputChoice().quality));
    // Under a limit the slider only shows the quality the measurement chose.
    if (outputChoice().maxKb == 0)
        requestLiveSize();
}

}  // namespace trimlet
