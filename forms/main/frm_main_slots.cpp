// The three temporary slots as commands of the window: parking the editing picture or its
// framed part, expanding a slot, and the drags between the slots, the picture and the work
// area. The slots themselves are a SlotStrip.

#include <QAction>
#include <QMouseEvent>
#include <QTabWidget>
#include <QToolButton>

#include "forms/main/frm_main.h"
#include "forms/main/slot_strip.h"
#include "forms/main/work_area_widgets.h"
#include "forms/preview/frm_preview.h"

namespace trimlet {

namespace {

QString slotTag(int slot) { return QStringLiteral("[") + QString::number(slot) + QStringLiteral("]"); }

}  // namespace

void TfrmMain::connectSlotHandlers()
{
    const auto startDrag = [](QWidget* source, QMouseEvent* event) {
        if (event->button() == Qt::LeftButton)
            startPictureDrag(source);
    };
    tmpSave->connectCommands(this, {guarded([this](QObject* sender) { btnTmpSaveClick(sender); }),
                                    guarded([this](QObject* sender) { btnTmpCutSaveClick(sender); }),
                                    guarded([this](QObject* sender) { btnTmpLoadClick(sender); }),
                                    [this](QObject* source, int slot) { return imgTmpSaveDragOver(source, slot); },
                                    guarded([this](QObject* source, int slot) { imgTmpSaveDragDrop(source, slot); }),
                                    guarded(startDrag),
                                    guarded([this](int slot, QMouseEvent* event) { imgTmpSaveMouseUp(slot, event); })});
    connect(imgSource, &PictureView::mousePressed, this,
            guarded([this, startDrag](QMouseEvent* event) { startDrag(imgSource, event); }));
}

int TfrmMain::SlotForSender(const QObject* sender) const { return tmpSave->slotForSender(sender); }

void TfrmMain::UpdateSlotLoadButtons() { tmpSave->updateLoadButtons(); }

void TfrmMain::btnTmpSaveClick(QObject* sender)
{
    if (const int slot = SlotForSender(sender)) {
        tmpSave->setPicture(slot, editing_);
        ShowStatus(tr("編集画像全体を一時保存領域%1へ保存").arg(slotTag(slot)), StatusKind::statusOnly);
    }
    UpdateSlotLoadButtons();
}

void TfrmMain::btnTmpCutSaveClick(QObject* sender)
{
    if (const int slot = SlotForSender(sender)) {
        tmpSave->setPicture(slot, MakeCutResult().picture);
        ShowStatus(tr("編集画像の枠内を一時保存領域%1へ保存").arg(slotTag(slot)), StatusKind::statusOnly);
    }
    UpdateSlotLoadButtons();
}

void TfrmMain::btnTmpLoadClick(QObject* sender)
{
    const int slot = SlotForSender(sender);
    if (!slot)
        return;
    if (tmpSave->picture(slot).isEmpty()) {
        ShowStatus(tr("一時保存された画像はありません"), StatusKind::statusOnly);
        return;
    }
    expandSlot(slot);
}

void TfrmMain::expandSlot(int slot)
{
    EditState before = editState();
    setEditingPicture(tmpSave->picture(slot));
    const QString name = tr("一時保存領域%1の画像を展開").arg(slotTag(slot));
    rememberEdit(name, std::move(before));
    ShowStatus(name, StatusKind::statusOnly);
    showSourceSize();
    LayoutWorkArea(true, true);
}

void TfrmMain::imgTmpSaveMouseUp(int slot, QMouseEvent* event)
{
    if (event->button() == Qt::RightButton)
        tmpSave->popupMenu(slot, event->position().toPoint());
}

bool TfrmMain::imgTmpSaveDragOver(const QObject* source, int slot) const
{
    return tmpSave->acceptsDrag(source, slot, imgSource);
}

void TfrmMain::imgTmpSaveDragDrop(const QObject* source, int slot)
{
    if (!imgTmpSaveDragOver(source, slot))
        return;
    if (source == imgSource) {
        btnTmpSaveClick(tmpSave->saveButton(slot));
        return;
    }
    const int from = tmpSave->slotOfPanel(source);
    tmpSave->setPicture(slot, tmpSave->picture(from));
    ShowStatus(tr("一時保存領域の複写：%1→%2").arg(slotTag(from), slotTag(slot)), StatusKind::statusOnly);
    UpdateSlotLoadButtons();
}

bool TfrmMain::FormDragOver(const QObject* source, const QPoint& clientPoint) const
{
    if (!tmpSave->filledSlotOf(source) || !rect().contains(clientPoint))
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
    const int from = tmpSave->slotOfPanel(source);
    if (pcEdit->currentWidget() != tabConcat)
        return expandSlot(from);
    EditState before = editState();
    if (!ConcatenatePicture(tmpSave->picture(from), clientPoint))
        return;
    const QString name = tr("一時保存領域%1の画像を連結").arg(slotTag(from));
    rememberEdit(name, std::move(before));
    ShowStatus(name, StatusKind::statusOnly);
    showSourceSize();
    LayoutWorkArea(true, true);
}

}  // namespace trimlet
