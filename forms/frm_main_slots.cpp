// The three temporary slots: their buttons, their menu and the drags between them and the
// editing picture.

#include <QDrag>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMenu>
#include <QMimeData>
#include <QTabWidget>
#include <QToolButton>

#include "forms/frm_main.h"
#include "forms/work_area_widgets.h"

namespace trimlet {

namespace {

// Drags of our own carry no data: the drop looks at the widget the drag came from.
const QString kPictureDragType = QStringLiteral("application/x-trimlet-picture");

QString slotTag(int slot) { return QStringLiteral("[") + QString::number(slot) + QStringLiteral("]"); }

}  // namespace

void TfrmMain::connectSlotHandlers()
{
    for (int i = 0; i < 3; ++i) {
        const int slot = i + 1;
        connect(btnTmpSave[i], &QToolButton::clicked, this, guarded([this, i] { btnTmpSaveClick(btnTmpSave[i]); }));
        connect(btnTmpCutSave[i], &QToolButton::clicked, this,
                guarded([this, i] { btnTmpCutSaveClick(btnTmpCutSave[i]); }));
        connect(btnTmpLoad[i], &QToolButton::clicked, this, guarded([this, i] { btnTmpLoadClick(btnTmpLoad[i]); }));
        SlotPanel* panel = pnlTmpSave[i];
        panel->acceptsDrag = [this, slot](QObject* source) { return imgTmpSaveDragOver(source, slot); };
        panel->dropped = guarded([this, slot](QObject* source) { imgTmpSaveDragDrop(source, slot); });
        connect(panel, &SlotPanel::mousePressed, this, guarded([this, panel](QMouseEvent* event) {
                    if (event->button() == Qt::LeftButton)
                        startPictureDrag(panel);
                }));
        connect(panel, &SlotPanel::mouseReleased, this,
                guarded([this, slot](QMouseEvent* event) { imgTmpSaveMouseUp(slot, event); }));
    }
    connect(popItemTmpSave, &QAction::triggered, this, guarded([this] { btnTmpSaveClick(popItemTmpSave); }));
    connect(popItemTmpCutSave, &QAction::triggered, this, guarded([this] { btnTmpCutSaveClick(popItemTmpCutSave); }));
    connect(popItemTmpLoad, &QAction::triggered, this, guarded([this] { btnTmpLoadClick(popItemTmpLoad); }));
    connect(imgSource, &PictureView::mousePressed, this, guarded([this](QMouseEvent* event) {
                if (event->button() == Qt::LeftButton)
                    startPictureDrag(imgSource);
            }));
}

int TfrmMain::SlotForSender(const QObject* sender) const
{
    for (int i = 0; i < 3; ++i)
        if (sender == btnTmpSave[i] || sender == btnTmpCutSave[i] || sender == btnTmpLoad[i])
            return i + 1;
    if (sender == popItemTmpSave || sender == popItemTmpCutSave || sender == popItemTmpLoad)
        return slotPopupTarget >= 1 && slotPopupTarget <= 3 ? slotPopupTarget : 0;
    return 0;
}

int TfrmMain::slotOfPanel(const QObject* object) const
{
    for (int i = 0; i < 3; ++i)
        if (object == pnlTmpSave[i])
            return i + 1;
    return 0;
}

void TfrmMain::setSlotPicture(int slot, Picture picture)
{
    imgTmpSave[slot - 1] = std::move(picture);
    pnlTmpSave[slot - 1]->setPicture(imgTmpSave[slot - 1].bitmap());
}

void TfrmMain::btnTmpSaveClick(QObject* sender)
{
    if (const int slot = SlotForSender(sender)) {
        setSlotPicture(slot, editing_);
        ShowStatus(QStringLiteral("編集画像全体を一時保存領域") + slotTag(slot) + QStringLiteral("へ保存"), statusOnly);
    }
    UpdateSlotLoadButtons();
}

void TfrmMain::btnTmpCutSaveClick(QObject* sender)
{
    if (const int slot = SlotForSender(sender); slot && frmPreview_) {
        MakeCutResult(OutputMode::CutOnly);
        setSlotPicture(slot, frmPreview_->cutResult());
        ShowStatus(QStringLiteral("編集画像の枠内を一時保存領域") + slotTag(slot) + QStringLiteral("へ保存"), statusOnly);
    }
    UpdateSlotLoadButtons();
}

void TfrmMain::btnTmpLoadClick(QObject* sender)
{
    const int slot = SlotForSender(sender);
    if (!slot)
        return;
    if (imgTmpSave[slot - 1].isEmpty()) {
        ShowStatus(QStringLiteral("一時保存された画像はありません"), statusOnly);
        return;
    }
    expandSlot(slot);
}

void TfrmMain::expandSlot(int slot)
{
    setEditingPicture(imgTmpSave[slot - 1]);
    ShowStatus(QStringLiteral("一時保存領域") + slotTag(slot) + QStringLiteral("の画像を展開"), statusOnly);
    showSourceSize();
    LayoutWorkArea(true, true);
}

void TfrmMain::imgTmpSaveMouseUp(int slot, QMouseEvent* event)
{
    if (event->button() != Qt::RightButton)
        return;
    popItemTmpSave->setEnabled(btnTmpSave[slot - 1]->isEnabled());
    popItemTmpCutSave->setEnabled(btnTmpCutSave[slot - 1]->isEnabled());
    popItemTmpLoad->setEnabled(btnTmpLoad[slot - 1]->isEnabled());
    slotPopupTarget = slot;
    popTmpSave->popup(pnlTmpSave[slot - 1]->mapToGlobal(event->position().toPoint()));
}

void TfrmMain::startPictureDrag(QWidget* source)
{
    auto* drag = new QDrag(source);
    auto* data = new QMimeData;
    data->setData(kPictureDragType, {});
    drag->setMimeData(data);
    const SlotPanel* panel = qobject_cast<SlotPanel*>(source);
    const QImage thumbnail = panel ? panel->image()
                                   : imgSource->grab().toImage().scaled(82, 42, Qt::KeepAspectRatio,
                                                                        Qt::SmoothTransformation);
    if (!thumbnail.isNull())
        drag->setPixmap(QPixmap::fromImage(thumbnail));
    drag->exec(Qt::CopyAction);
}

bool TfrmMain::imgTmpSaveDragOver(const QObject* source, int slot) const
{
    if (source == imgSource)
        return true;
    const int from = slotOfPanel(source);
    return from && from != slot && !imgTmpSave[from - 1].isEmpty();
}

void TfrmMain::imgTmpSaveDragDrop(const QObject* source, int slot)
{
    if (!imgTmpSaveDragOver(source, slot))
        return;
    if (source == imgSource) {
        btnTmpSaveClick(btnTmpSave[slot - 1]);
        return;
    }
    const int from = slotOfPanel(source);
    setSlotPicture(slot, imgTmpSave[from - 1]);
    ShowStatus(QStringLiteral("一時保存領域の複写：") + slotTag(from) + QStringLiteral("→") + slotTag(slot), statusOnly);
    UpdateSlotLoadButtons();
}

bool TfrmMain::FormDragOver(const QObject* source, const QPoint& clientPoint) const
{
    const int from = slotOfPanel(source);
    if (!from || imgTmpSave[from - 1].isEmpty() || !rect().contains(clientPoint))
        return false;
    // The work area is the window's own surface and the picture with its frame; panels,
    // buttons and pages refuse.
    const QWidget* target = childAt(clientPoint);
    return target == nullptr || target == centralWidget() || target == imgSource || target == shpRange;
}

void TfrmMain::FormDragDrop(const QObject* source, const QPoint& clientPoint)
{
    if (!FormDragOver(source, clientPoint))
        return;
    const int from = slotOfPanel(source);
    if (pcEdit->currentWidget() != tabConcat)
        return expandSlot(from);
    if (!ConcatenatePicture(imgTmpSave[from - 1], clientPoint))
        return;
    ShowStatus(QStringLiteral("一時保存領域") + slotTag(from) + QStringLiteral("の画像を連結"), statusOnly);
    showSourceSize();
    LayoutWorkArea(true, true);
}

}  // namespace trimlet
