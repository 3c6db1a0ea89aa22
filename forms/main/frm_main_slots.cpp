// A slot's picture dragged onto the work area: brought back as the document, or on the
// concatenation page joined to it. The slots' own commands are SlotCommands.

#include <QAction>
#include <QMouseEvent>
#include <QTabWidget>
#include <QToolButton>

#include "forms/main/frm_main.h"
#include "forms/main/slot_commands.h"
#include "forms/main/slot_strip.h"
#include "forms/main/work_area_widgets.h"
#include "forms/preview/frm_preview.h"

namespace trimlet {

void TfrmMain::connectSlotHandlers() { slots_ = new SlotCommands(*this, *this); }

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
        return slots_->expand(from);
    applyEdit(
        tr("一時保存領域%1の画像を連結").arg(slotTag(from)),
        [&] { return joinedPicture(tmpSave->picture(from), clientPoint); }, EditShown::StatusAndLayout);
}

}  // namespace trimlet
