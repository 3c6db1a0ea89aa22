#include "forms/main/slot_strip.h"

#include <QDrag>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QToolButton>
#include <QVBoxLayout>

#include "forms/main/work_area_widgets.h"

namespace trimlet {

namespace {

// Drags of our own carry no data: the drop looks at the widget the drag came from.
const QString kPictureDragType = QStringLiteral("application/x-trimlet-picture");

}  // namespace

SlotStrip::SlotStrip(QWidget* band)
{
    gbxTmpSave_ = new QGroupBox(tr("一時保存エリア"), band);
    gbxTmpSave_->setObjectName(QStringLiteral("gbxTmpSave"));
    gbxTmpSave_->resize(265, 90);
    auto* row = new QHBoxLayout(gbxTmpSave_);
    row->setContentsMargins(4, 0, 4, 3);
    row->setSpacing(2);
    const QString slotHint = tr("ドラッグ＆ドロップで編集中の画像を一時保存または展開できます");
    for (int i = 0; i < 3; ++i) {
        const QByteArray n = QByteArray::number(i + 1);
        auto* cell = new QVBoxLayout;
        cell->setSpacing(1);
        pnlTmpSave_[i] = new SlotPanel(i + 1, gbxTmpSave_);
        pnlTmpSave_[i]->setObjectName(QLatin1String("pnlTmpSave" + n));
        pnlTmpSave_[i]->setToolTip(slotHint);
        pnlTmpSave_[i]->source = [this, i]() -> const Bitmap& { return imgTmpSave_[i].bitmap(); };
        // 82 × 42 inside the border, whatever the style's frame width.
        const int border = 2 * pnlTmpSave_[i]->frameWidth();
        pnlTmpSave_[i]->setFixedSize(82 + border, 42 + border);
        cell->addWidget(pnlTmpSave_[i]);
        auto* buttons = new QHBoxLayout;
        buttons->setSpacing(1);
        auto glyph = [&](QToolButton*& field, const QByteArray& name, const QString& text, const QString& hint) {
            field = new QToolButton(gbxTmpSave_);
            field->setObjectName(QLatin1String(name));
            field->setText(text);
            field->setToolTip(hint);
            field->setFixedHeight(20);
            field->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
            buttons->addWidget(field);
        };
        glyph(btnTmpSave_[i], "btnTmpSave" + n, tr("全"), tr("画像全体を一時保存します"));
        glyph(btnTmpCutSave_[i], "btnTmpCutSave" + n, tr("枠"), tr("画像の枠内を一時保存します"));
        glyph(btnTmpLoad_[i], "btnTmpLoad" + n, tr("展"), tr("一時保存した画像を展開します"));
        cell->addLayout(buttons);
        row->addLayout(cell);
    }

    popTmpSave_ = new QMenu(band->window());
    popTmpSave_->setObjectName(QStringLiteral("popTmpSave"));
    auto item = [this](QAction*& field, const char* name, const QString& caption) {
        field = popTmpSave_->addAction(caption);
        field->setObjectName(QLatin1String(name));
    };
    item(popItemTmpSave_, "popItemTmpSave", tr("編集中の画像を一時保存"));
    item(popItemTmpCutSave_, "popItemTmpCutSave", tr("編集中の画像の枠内を一時保存"));
    item(popItemTmpLoad_, "popItemTmpLoad", tr("画像を展開"));
}

void SlotStrip::connectCommands(QObject* context, const SlotCallbacks& c)
{
    for (int i = 0; i < 3; ++i) {
        const int slot = i + 1;
        QToolButton* save = btnTmpSave_[i];
        QToolButton* cutSave = btnTmpCutSave_[i];
        QToolButton* load = btnTmpLoad_[i];
        QObject::connect(save, &QToolButton::clicked, context, [f = c.save, save] { f(save); });
        QObject::connect(cutSave, &QToolButton::clicked, context, [f = c.cutSave, cutSave] { f(cutSave); });
        QObject::connect(load, &QToolButton::clicked, context, [f = c.load, load] { f(load); });
        SlotPanel* panel = pnlTmpSave_[i];
        panel->acceptsDrag = [f = c.acceptsDrag, slot](QObject* source) { return f(source, slot); };
        panel->dropped = [f = c.dropped, slot](QObject* source) { f(source, slot); };
        QObject::connect(panel, &SlotPanel::mousePressed, context,
                         [f = c.pressed, panel](QMouseEvent* e) { f(panel, e); });
        QObject::connect(panel, &SlotPanel::mouseReleased, context,
                         [f = c.released, slot](QMouseEvent* e) { f(slot, e); });
    }
    QObject::connect(popItemTmpSave_, &QAction::triggered, context, [f = c.save, a = popItemTmpSave_] { f(a); });
    QObject::connect(popItemTmpCutSave_, &QAction::triggered, context,
                     [f = c.cutSave, a = popItemTmpCutSave_] { f(a); });
    QObject::connect(popItemTmpLoad_, &QAction::triggered, context, [f = c.load, a = popItemTmpLoad_] { f(a); });
}

void SlotStrip::setPicture(int slot, Picture picture)
{
    imgTmpSave_[slot - 1] = std::move(picture);
    pnlTmpSave_[slot - 1]->setPicture(imgTmpSave_[slot - 1].bitmap());
}

int SlotStrip::slotForSender(const QObject* sender) const
{
    for (int i = 0; i < 3; ++i)
        if (sender == btnTmpSave_[i] || sender == btnTmpCutSave_[i] || sender == btnTmpLoad_[i])
            return i + 1;
    if (sender == popItemTmpSave_ || sender == popItemTmpCutSave_ || sender == popItemTmpLoad_)
        return popupTarget >= 1 && popupTarget <= 3 ? popupTarget : 0;
    return 0;
}

int SlotStrip::slotOfPanel(const QObject* object) const
{
    for (int i = 0; i < 3; ++i)
        if (object == pnlTmpSave_[i])
            return i + 1;
    return 0;
}

int SlotStrip::filledSlotOf(const QObject* source) const
{
    const int from = slotOfPanel(source);
    return from && !picture(from).isEmpty() ? from : 0;
}

bool SlotStrip::acceptsDrag(const QObject* source, int slot, const QObject* editingView) const
{
    if (source == editingView)
        return true;
    const int from = filledSlotOf(source);
    return from && from != slot;
}

void SlotStrip::setEditingEnabled(bool enabled)
{
    for (int i = 0; i < 3; ++i) {
        btnTmpSave_[i]->setEnabled(enabled);
        btnTmpCutSave_[i]->setEnabled(enabled);
    }
    if (enabled)
        updateLoadButtons();
    else
        for (QToolButton* b : btnTmpLoad_)
            b->setEnabled(false);
}

void SlotStrip::updateLoadButtons()
{
    for (int i = 0; i < 3; ++i)
        btnTmpLoad_[i]->setEnabled(!imgTmpSave_[i].isEmpty());
}

void SlotStrip::popupMenu(int slot, const QPoint& local)
{
    popItemTmpSave_->setEnabled(btnTmpSave_[slot - 1]->isEnabled());
    popItemTmpCutSave_->setEnabled(btnTmpCutSave_[slot - 1]->isEnabled());
    popItemTmpLoad_->setEnabled(btnTmpLoad_[slot - 1]->isEnabled());
    popupTarget = slot;
    popTmpSave_->popup(pnlTmpSave_[slot - 1]->mapToGlobal(local));
}

void startPictureDrag(QWidget* source)
{
    auto* drag = new QDrag(source);
    auto* data = new QMimeData;
    data->setData(kPictureDragType, {});
    drag->setMimeData(data);
    const SlotPanel* panel = qobject_cast<SlotPanel*>(source);
    // The grab is in device pixels, and so is the thumbnail made of it.
    const qreal ratio = source->devicePixelRatioF();
    QImage thumbnail = panel ? panel->image()
                             : source->grab().toImage().scaled(deviceSize(QSize(82, 42), ratio), Qt::KeepAspectRatio,
                                                               Qt::SmoothTransformation);
    thumbnail.setDevicePixelRatio(ratio);
    if (!thumbnail.isNull())
        drag->setPixmap(QPixmap::fromImage(thumbnail));
    drag->exec(Qt::CopyAction);
}

}  // namespace trimlet
