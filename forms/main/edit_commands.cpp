#include "forms/main/edit_commands.h"

#include <QAction>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <string>

#include "forms/main/frm_main.h"
#include "forms/main/main_controls.h"
#include "forms/main/work_area_widgets.h"
#include "forms/rotation/frm_rot_free.h"
#include "platform/desktop.h"
#include "platform/trace.h"

namespace trimlet {

EditCommands::EditCommands(TfrmMain& window, MainControls& c) : QObject(&window), window_(window), c_(c)
{
    struct Command {
        QPushButton* button;
        QAction* item;
        Transform mode;
        const char* name;
    };
    const Command commands[] = {
        {c.btnRotL, c.popitemRotL, Transform::TurnLeft, QT_TRANSLATE_NOOP("trimlet::EditCommands", "左90°回転")},
        {c.btnRotR, c.popitemRotR, Transform::TurnRight, QT_TRANSLATE_NOOP("trimlet::EditCommands", "右90°回転")},
        {c.btnRot180, c.popitemRot180, Transform::HalfTurn, QT_TRANSLATE_NOOP("trimlet::EditCommands", "180°回転")},
        {c.btnRevH, c.popitemRevH, Transform::FlipVertical, QT_TRANSLATE_NOOP("trimlet::EditCommands", "上下反転")},
        {c.btnRevW, c.popitemRevW, Transform::FlipHorizontal, QT_TRANSLATE_NOOP("trimlet::EditCommands", "左右反転")}};
    for (const Command& command : commands) {
        const auto handler =
            window.guarded([this, mode = command.mode, name = command.name] { transform(mode, tr(name)); });
        connect(command.button, &QPushButton::clicked, this, handler);
        connect(command.item, &QAction::triggered, this, handler);
    }
    connect(c.btnRotFree, &QPushButton::clicked, this, window.guarded([this] { rotateFreely(); }));
    connect(c.popitemRotFree, &QAction::triggered, this, window.guarded([this] { rotateFreely(); }));
    connect(c.btnBGColor, &QPushButton::clicked, this, window.guarded([this] { chooseBackground(); }));
    connect(c.pnlBGColor, &QPushButton::clicked, this, window.guarded([this] { chooseBackground(); }));
}

// A failed transform leaves its error in the status line rather than the name of one that did
// not happen. Those that keep the size keep the frame where it is.
bool EditCommands::transform(Transform mode, const QString& name)
{
    QProgressBar* progress = c_.progressBar;
    const auto setProgress = [progress](int position) {
        progress->setValue(position);
        progress->repaint();
    };
    progress->setGeometry(c_.statusBar->rect());
    progress->show();
    setProgress(30);
    const bool turned = mode == Transform::TurnLeft || mode == Transform::TurnRight;
    const bool done = window_.applyEdit(
        name,
        [&] {
            trace("turn-begin");
            Picture result = transformedPicture(window_.editingPicture(), mode, setProgress);
            trace("turn-kernel-end");
            setProgress(100);
            return result;
        },
        turned ? EditShown::StatusAndLayout : EditShown::Status, {}, mode);
    progress->hide();
    if (done)
        trace("turn-end");
    return done;
}

void EditCommands::setRotFreeWindow(TfrmRotFree* rotFree)
{
    if (rotFree == rotFree_)
        return;
    rotFree_ = rotFree;
    if (!rotFree)
        return;
    TfrmMain& w = window_;
    connect(rotFree, &TfrmRotFree::previewVisibilityChanged, this,
            w.guarded([this](bool visible) { c_.setRotationPreviewShown(visible); }));
    connect(rotFree, &TfrmRotFree::previewChanged, this,
            w.guarded([this](const QImage& image) { c_.imgRotPreview->setImage(image); }));
    connect(rotFree, &TfrmRotFree::guideLinesChanged, this,
            w.guarded([this](Qt::BrushStyle hatch) { c_.showRotationGuides(hatch); }));
    connect(rotFree, &TfrmRotFree::statusChanged, this,
            w.guarded([&w](const QString& text) { w.ShowStatus(text, StatusKind::statusOnly); }));
    connect(rotFree, &TfrmRotFree::failed, this, w.guarded([&w](const QString& text) { w.failureReport()(text); }));
    // A picture whose display copy cannot be made is refused, and the old one stays.
    connect(rotFree, &TfrmRotFree::pictureRotated, this, [this](const Picture& picture) {
        trace("rotated", std::to_string(rotFree_->degree()).c_str());
        return window_.applyEdit(
            tr("%1°回転").arg(rotFree_->degree()), [&] { return picture; }, EditShown::Nothing);
    });
}

void EditCommands::rotateFreely()
{
    const Picture& picture = window_.editingPicture();
    if (picture.isEmpty() || !rotFree_)
        return;
    const auto suspended = c_.suspendResizeCheck();
    Bitmap base = c_.showRotationPreview(picture.bitmap(), window_.centralWidget()->size());
    rotFree_->setPicture(picture);
    rotFree_->setBackgroundColour(window_.backgroundColour());
    rotFree_->setPreviewBase(std::move(base));
    const QScreen* screen = window_.screen();
    rotFree_->placeNextTo(QRect(c_.imgRotPreview->mapToGlobal(QPoint(0, 0)), c_.imgRotPreview->size()),
                          screen ? screen->availableGeometry() : QRect());
    rotFree_->exec();
    rotFree_->setPreviewBase(Bitmap());
}

void EditCommands::chooseBackground()
{
    if (const auto chosen = desktop().chooseColor(&window_, window_.backgroundColour()))
        window_.setBackgroundColour(QColor(chosen->red(), chosen->green(), chosen->blue()));
}

}  // namespace trimlet
