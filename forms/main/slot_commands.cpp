#include "forms/main/slot_commands.h"

#include <QMouseEvent>
#include <QToolButton>

#include "forms/main/frm_main.h"
#include "forms/main/main_controls.h"
#include "forms/main/slot_strip.h"
#include "forms/main/work_area_widgets.h"

namespace trimlet {

QString slotTag(int slot) { return QStringLiteral("[") + QString::number(slot) + QStringLiteral("]"); }

SlotCommands::SlotCommands(TfrmMain& window, MainControls& c) : QObject(&window), window_(window), c_(c)
{
    const auto startDrag = [](QWidget* source, QMouseEvent* event) {
        if (event->button() == Qt::LeftButton)
            startPictureDrag(source);
    };
    c.tmpSave->connectCommands(this, {window.guarded([this](QObject* sender) { park(sender); }),
                                      window.guarded([this](QObject* sender) { parkFramed(sender); }),
                                      window.guarded([this](QObject* sender) { bringBack(sender); }),
                                      [this](QObject* source, int slot) { return acceptsDrag(source, slot); },
                                      window.guarded([this](QObject* source, int slot) { dropped(source, slot); }),
                                      window.guarded(startDrag), window.guarded([this](int slot, QMouseEvent* event) {
                                          if (event->button() == Qt::RightButton)
                                              c_.tmpSave->popupMenu(slot, event->position().toPoint());
                                      })});
    connect(c.imgSource, &PictureView::mousePressed, this,
            window.guarded([this, startDrag](QMouseEvent* event) { startDrag(c_.imgSource, event); }));
}

void SlotCommands::park(QObject* sender)
{
    if (const int slot = c_.tmpSave->slotForSender(sender)) {
        c_.tmpSave->setPicture(slot, window_.editingPicture());
        window_.ShowStatus(tr("編集画像全体を一時保存領域%1へ保存").arg(slotTag(slot)), StatusKind::statusOnly);
    }
    c_.tmpSave->updateLoadButtons();
}

void SlotCommands::parkFramed(QObject* sender)
{
    if (const int slot = c_.tmpSave->slotForSender(sender)) {
        c_.tmpSave->setPicture(slot, window_.MakeCutResult().picture);
        window_.ShowStatus(tr("編集画像の枠内を一時保存領域%1へ保存").arg(slotTag(slot)), StatusKind::statusOnly);
    }
    c_.tmpSave->updateLoadButtons();
}

void SlotCommands::bringBack(QObject* sender)
{
    const int slot = c_.tmpSave->slotForSender(sender);
    if (!slot)
        return;
    if (c_.tmpSave->picture(slot).isEmpty()) {
        window_.ShowStatus(tr("一時保存された画像はありません"), StatusKind::statusOnly);
        return;
    }
    expand(slot);
}

void SlotCommands::expand(int slot)
{
    window_.applyEdit(
        tr("一時保存領域%1の画像を展開").arg(slotTag(slot)), [&] { return c_.tmpSave->picture(slot); },
        EditShown::StatusAndLayout);
}

bool SlotCommands::acceptsDrag(const QObject* source, int slot) const
{
    return c_.tmpSave->acceptsDrag(source, slot, c_.imgSource);
}

void SlotCommands::dropped(const QObject* source, int slot)
{
    if (!acceptsDrag(source, slot))
        return;
    SlotStrip& strip = *c_.tmpSave;
    if (source == c_.imgSource)
        return park(strip.saveButton(slot));
    const int from = strip.slotOfPanel(source);
    strip.setPicture(slot, strip.picture(from));
    window_.ShowStatus(tr("一時保存領域の複写：%1→%2").arg(slotTag(from), slotTag(slot)), StatusKind::statusOnly);
    strip.updateLoadButtons();
}

}  // namespace trimlet
