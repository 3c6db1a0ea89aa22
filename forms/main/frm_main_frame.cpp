// The main window's work area and cut frame: the layout pass, the resize debounce, frame
// sizing, dragging and clamping, the size and rate edits, and the editing pop-up menu.

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>

#include "forms/main/fit_rate.h"
#include "forms/main/frm_main.h"
#include "forms/main/output_commands.h"
#include "forms/main/work_area_widgets.h"
#include "forms/main/work_area_zoom.h"
#include "forms/widgets/guarded.h"
#include "forms/widgets/up_down.h"
#include "platform/trace.h"

namespace trimlet {

namespace {

IntRect toIntRect(const QRect& r) { return {r.x(), r.y(), r.width(), r.height()}; }

}  // namespace

void TfrmMain::connectFrameHandlers()
{
    // The view renders the picture again for a new size or screen pixel ratio.
    zoom_ = new WorkAreaZoom(*this, imgSource, shpRange);
    imgSource->setRender([this](const QSize& device) { return zoom_->render(doc_.picture.bitmap(), device); });
    connect(shpRange, &FrameShape::mousePressed, this, guarded(&TfrmMain::shpRangeMouseDown));
    connect(shpRange, &FrameShape::mouseMoved, this, guarded(&TfrmMain::shpRangeMouseMove));
    connect(shpRange, &FrameShape::mouseReleased, this, guarded(&TfrmMain::shpRangeMouseUp));
    connect(imgSource, &PictureView::mouseReleased, this, guarded(&TfrmMain::imgSourceMouseUp));
    connect(edtSizeW, &QLineEdit::textChanged, this, guarded(&TfrmMain::edtSizeWChange));
    connect(edtSizeH, &QLineEdit::textChanged, this, guarded(&TfrmMain::edtSizeWChange));
    connect(edtPower, &QLineEdit::textChanged, this, guarded(&TfrmMain::edtPowerChange));
    connect(btnSwap, &QPushButton::clicked, this, guarded(&TfrmMain::btnSwapClick));
    connect(tmrCheckResize, &QTimer::timeout, this, guarded(&TfrmMain::tmrCheckResizeTimer));
    for (QLineEdit* edit : {edtSizeW, edtSizeH, edtPower})
        edit->installEventFilter(this);
    // The wheel anywhere over the window hands the focus to the rate field.
    qApp->installEventFilter(this);
}

IntRect TfrmMain::displayRect() const { return zoom_->frameSpace(toIntRect(imgSource->geometry())); }

void TfrmMain::showCutFrame()
{
    frame_.snap(displayRect(), doc_.picture.width(), doc_.picture.height());
    frame_.rect = zoom_->placeFrame(frame_.rect);  // as the widget took it
    requestLiveSize();
}

void TfrmMain::LayoutWorkArea(bool recentre, bool recomputeMinimumRate)
{
    if (doc_.picture.isEmpty())
        return;
    trace("layout-begin");
    if (recomputeMinimumRate)
        UpdateMinimumRate();
    fit->follow(doc_.picture.width(), doc_.picture.height());
    const IntRect d = zoom_->viewGeometry(fittedDisplay(doc_.picture.width(), doc_.picture.height()));
    imgSource->setGeometry(d.x, d.y, d.w, d.h);
    (void)imgSource->rendering();  // rendered now, where a shortage of memory is reported
    PlaceCutFrame(recentre);
    shpRange->raise();
    lblFileNameB->raise();
    lblFileNameF->raise();
    trace("layout-end");
}

IntRect TfrmMain::fittedDisplay(int pw, int ph) const
{
    const IntRect area = workArea(centralWidget()->size());
    return fitPicture(pw, ph, area.w, area.h, area.y);
}

void TfrmMain::UpdateMinimumRate()
{
    applyMinimumRate(
        minimumRate(doc_.picture.width(), doc_.picture.height(), cutSettings().width, cutSettings().height));
}

void TfrmMain::ResizeCutFrame(bool storeCentre)
{
    if (doc_.picture.isEmpty())
        return;
    const CutSettings cut = framingCut(doc_.picture.width(), doc_.picture.height());
    const FrameSizing s = frame_.resize(displayRect(), doc_.picture.width(), doc_.picture.height(), cut.width,
                                        cut.height, cut.rate, storeCentre);
    lblCutSizeW->setText(QString::number(frame_.cutSrcWidth));
    lblCutSizeH->setText(QString::number(frame_.cutSrcHeight));
    showSizeLabel(lblSizeW, s.reducedWidth, edtSizeW);
    showSizeLabel(lblSizeH, s.reducedHeight, edtSizeH);
    showCutFrame();
}

void TfrmMain::ClampCutFrame(int x, int y)
{
    frame_.clamp(x, y, displayRect());
    showCutFrame();
}

void TfrmMain::StoreFrameCentre() { frame_.storeCentre(displayRect(), doc_.picture.width(), doc_.picture.height()); }

void TfrmMain::frameMoved()
{
    frame_.endDrag(displayRect(), doc_.picture.width(), doc_.picture.height());
    if (const QString framed = output_->frameReport(); !framed.isEmpty())
        ShowStatus(framed, StatusKind::statusOnly);
}

void TfrmMain::PlaceCutFrame(bool recentre)
{
    frame_.place(recentre, displayRect(), doc_.picture.width(), doc_.picture.height());
    showCutFrame();
    ResizeCutFrame(recentre);
}

void TfrmMain::shpRangeMouseDown(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        frame_.beginDrag(zoom_->frameUnits(event->position()));
}

void TfrmMain::shpRangeMouseMove(QMouseEvent* event)
{
    if (frame_.dragTo(zoom_->frameUnits(QPointF(event->position().toPoint())), displayRect()))
        showCutFrame();
}

void TfrmMain::shpRangeMouseUp(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        frameMoved();
    else if (event->button() == Qt::RightButton)
        popupEditMenu(shpRange, event->position().toPoint());
}

void TfrmMain::imgSourceMouseUp(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton)
        popupEditMenu(imgSource, event->position().toPoint());
}

void TfrmMain::edtSizeWChange() { LayoutWorkArea(false, true); }

void TfrmMain::edtPowerChange() { ResizeCutFrame(false); }

void TfrmMain::edtExit(QLineEdit* edit)
{
    UpDown* ud = edit == edtSizeW ? udSizeW : edit == edtSizeH ? udSizeH : udPower;
    const int value = ud->valueOf(edit->text());
    const QString text = QString::number(value);
    if (edit->text() == text) {
        // Written back even when unchanged, so the change handler runs once more.
        ud->setPosition(value);
        if (edit == edtPower)
            edtPowerChange();
        else
            edtSizeWChange();
    } else {
        edit->setText(text);
    }
}

void TfrmMain::btnSwapClick() { swapCutSize(); }

void TfrmMain::tmrCheckResizeTimer()
{
    if (resizeEventCount != 0) {
        resizePending = true;
    } else if (resizePending) {
        LayoutWorkArea(false, false);
        resizePending = false;
    }
    resizeEventCount = 0;
}

bool TfrmMain::eventFilter(QObject* watched, QEvent* event)
{
    if (workAreaEvent(watched, event))
        return true;
    auto* edit = qobject_cast<QLineEdit*>(watched);
    const bool ownEdit = edit && (edit == edtSizeW || edit == edtSizeH || edit == edtPower);
    if (ownEdit && event->type() == QEvent::KeyPress) {
        // Only typed characters are filtered, and only digits get through; keys that type
        // nothing (Tab, Esc, Return, Delete, Ctrl+A, arrows) keep their usual meaning.
        const auto* key = static_cast<QKeyEvent*>(event);
        if (typesText(*key) && !onlyDigits(key->text()))
            return true;
    } else if (ownEdit && event->type() == QEvent::FocusOut) {
        runGuarded([&] { edtExit(edit); }, failureReport());
    } else if (event->type() == QEvent::Wheel) {
        auto* w = qobject_cast<QWidget*>(watched);
        if (w && w->window() == this && w != edtPower && edtPower->isEnabled())
            edtPower->setFocus(Qt::OtherFocusReason);
    }
    return QMainWindow::eventFilter(watched, event);
}

}  // namespace trimlet
