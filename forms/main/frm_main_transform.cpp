// The main window's transforms: quarter and half turns, flips, the free-rotation window and
// the background colour.

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>

#include "forms/main/frm_main.h"
#include "forms/main/work_area_widgets.h"
#include "forms/rotation/frm_rot_free.h"
#include "imaging/join.h"
#include "platform/desktop.h"
#include "platform/qimage_bridge.h"
#include "platform/trace.h"

namespace trimlet {

void TfrmMain::connectTransformHandlers()
{
    const std::pair<QPushButton*, QAction*> twins[] = {{btnRotL, popitemRotL},     {btnRotR, popitemRotR},
                                                       {btnRot180, popitemRot180}, {btnRevH, popitemRevH},
                                                       {btnRevW, popitemRevW},     {btnRotFree, popitemRotFree}};
    const std::function<void()> handlers[] = {[this] { btnRotLClick(); },   [this] { btnRotRClick(); },
                                              [this] { btnRot180Click(); }, [this] { btnRevHClick(); },
                                              [this] { btnRevWClick(); },   [this] { btnRotFreeClick(); }};
    for (std::size_t i = 0; i < std::size(twins); ++i) {
        connect(twins[i].first, &QPushButton::clicked, this, guarded(handlers[i]));
        connect(twins[i].second, &QAction::triggered, this, guarded(handlers[i]));
    }
    connect(btnBGColor, &QPushButton::clicked, this, guarded(&TfrmMain::btnBGColorClick));
    connect(pnlBGColor, &QPushButton::clicked, this, guarded(&TfrmMain::btnBGColorClick));
}

FailureReport TfrmMain::failureReport()
{
    return [this](const QString& text) { ShowStatus(text, StatusKind::skError); };
}

void TfrmMain::setProgress(int position)
{
    progressBar->setValue(position);
    progressBar->repaint();
}

bool TfrmMain::TransformPicture(Transform mode)
{
    progressBar->setGeometry(statusBar->rect());
    progressBar->show();
    setProgress(30);
    const bool done = runGuarded(
        [&] {
            trace("turn-begin");
            Bitmap result = transformPicture(editing_.bitmap(), mode, [this](int position) { setProgress(position); });
            trace("turn-kernel-end");
            setProgress(100);
            if (result.empty())
                throw std::bad_alloc();
            setEditingPicture(Picture(std::move(result)));
        },
        failureReport());
    progressBar->hide();
    return done;
}

// A failed transform leaves its error in the status line rather than the name of one that did
// not happen. Those that keep the size keep the frame where it is.
void TfrmMain::quarterTurn(Transform mode, const QString& status)
{
    EditState before = editState();
    if (!TransformPicture(mode))
        return;
    rememberEdit(status, std::move(before));
    const bool turned = mode == Transform::TurnLeft || mode == Transform::TurnRight;
    if (turned)
        showSourceSize();
    ShowStatus(status, StatusKind::statusOnly);
    if (turned)
        LayoutWorkArea(true, true);
    trace("turn-end");
}

void TfrmMain::btnRotLClick() { quarterTurn(Transform::TurnLeft, tr("左90°回転")); }
void TfrmMain::btnRotRClick() { quarterTurn(Transform::TurnRight, tr("右90°回転")); }

void TfrmMain::btnRot180Click() { quarterTurn(Transform::HalfTurn, tr("180°回転")); }
void TfrmMain::btnRevHClick() { quarterTurn(Transform::FlipVertical, tr("上下反転")); }
void TfrmMain::btnRevWClick() { quarterTurn(Transform::FlipHorizontal, tr("左右反転")); }

void TfrmMain::btnRotFreeClick()
{
    if (editing_.isEmpty() || !frmRotFree_)
        return;
    const auto suspended = suspendResizeCheck();
    Bitmap base = showRotationPreview(editing_.bitmap(), centralWidget()->size());
    frmRotFree_->setPicture(editing_);
    frmRotFree_->setBackgroundColour(bgColour_);
    frmRotFree_->setPreviewBase(std::move(base));
    const QScreen* screen = this->screen();
    frmRotFree_->placeNextTo(QRect(imgRotPreview->mapToGlobal(QPoint(0, 0)), imgRotPreview->size()),
                             screen ? screen->availableGeometry() : QRect());
    frmRotFree_->exec();
    frmRotFree_->setPreviewBase(Bitmap());
}

bool TfrmMain::ConcatenatePicture(const Picture& added, const QPoint& clientPoint)
{
    const JoinSide side = joinSide({clientPoint.x(), clientPoint.y()}, workArea(centralWidget()->size()));
    const AlignH alignH = joinAlignH();
    const AlignV alignV = joinAlignV();
    return runGuarded(
        [&] {
            Bitmap joined = joinPictures(editing_, added, side, alignH, alignV, toRgb(bgColour_));
            if (joined.empty())
                throw std::bad_alloc();  // beyond the picture size cap
            setEditingPicture(Picture(std::move(joined)));
        },
        failureReport());
}

void TfrmMain::btnBGColorClick()
{
    if (const auto chosen = desktop().chooseColor(this, bgColour_))
        setBackgroundColour(QColor(chosen->red(), chosen->green(), chosen->blue()));
}

}  // namespace trimlet
