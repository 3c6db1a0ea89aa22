#include "forms/rotation/frm_rot_free.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMetaMethod>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <thread>

#include "forms/main/work_area_widgets.h"
#include "forms/rotation/tool_window_place.h"
#include "forms/widgets/app_icon.h"
#include "forms/widgets/guarded.h"
#include "forms/widgets/up_down.h"
#include "imaging/rotate.h"
#include "platform/desktop.h"
#include "platform/qimage_bridge.h"

namespace trimlet {

namespace {

template <class W>
W* place(W* w, const char* name, int x, int y, int width = -1, int height = -1)
{
    w->setObjectName(QLatin1String(name));
    if (width < 0)
        w->move(x, y);
    else
        w->setGeometry(x, y, width, height);
    return w;
}

}  // namespace

TfrmRotFree::TfrmRotFree(QWidget* parent) : QDialog(parent, Qt::Tool)
{
    setObjectName(QStringLiteral("frmRotFree"));
    setWindowTitle(tr("自由回転"));
    setFixedSize(314, 121);
    setModal(true);

    Label6 = place(new QLabel(tr("角度"), this), "Label6", 16, 28);
    edtDegree = place(new QLineEdit(this), "edtDegree", 56, 24, 41, 20);
    edtDegree->setToolTip(tr("角度を指定します（マイナス 左⇔右 プラス）"));
    edtDegree->setAttribute(Qt::WA_InputMethodEnabled, false);
    udDegree = place(new UpDown(edtDegree, -359, 359, 0, this), "udDegree", 97, 24, 16, 20);

    QFont small = font();
    small.setPixelSize(9);
    btnAdd = place(new QPushButton(QStringLiteral("▲+30"), this), "btnAdd", 82, 8, 31, 17);
    btnSub = place(new QPushButton(QStringLiteral("▼-30"), this), "btnSub", 82, 44, 31, 17);
    for (QPushButton* b : {btnAdd, btnSub}) {
        b->setFont(small);
        b->setAutoDefault(false);
    }
    // The arrows sit between the edit and the ±30 buttons, so give the edit room to the left.
    udDegree->raise();

    chkRealtime = place(new QCheckBox(tr("リアルタイム"), this), "chkRealtime", 24, 68, 89, 17);
    chkRealtime->setToolTip(tr("角度を変更すると即座にプレビューを表示します"));
    chkRealtime->setChecked(true);
    lblRealtime = place(new QLabel(tr("プレビュー"), this), "lblRealtime", 42, 84);

    rdgpViewShape = place(new QGroupBox(tr("補助線"), this), "rdgpViewShape", 128, 6, 70, 94);
    rdgpViewShape->setToolTip(tr("水平・垂直の参考となる線を表示します"));
    auto* column = new QVBoxLayout(rdgpViewShape);
    column->setContentsMargins(6, 2, 4, 2);
    column->setSpacing(0);
    rdgpViewShapeItems = new QButtonGroup(rdgpViewShape);
    const QString shapes[] = {tr("なし"), tr("横"), tr("縦"), tr("クロス")};
    for (int i = 0; i < 4; ++i) {
        auto* r = new QRadioButton(shapes[i], rdgpViewShape);
        rdgpViewShapeItems->addButton(r, i);
        column->addWidget(r);
    }
    rdgpViewShapeItems->button(0)->setChecked(true);

    auto button = [&](const char* name, const QString& text, const QString& hint, int y) {
        auto* b = place(new QPushButton(text, this), name, 208, y, 96, 25);
        b->setToolTip(hint);
        b->setAutoDefault(false);
        return b;
    };
    btnPreview = button("btnPreview", tr("回転プレビュー"), tr("指定した角度で回転した際のプレビューを表示します"), 10);
    btnOK = button("btnOK", tr(" 実 行 (&R)"), tr("指定した角度での回転を実行します"), 42);
    btnCancel = button("btnCancel", tr(" 閉じる(&Q)"), tr("自由回転メニューを終了します"), 74);
    btnStop = place(new QPushButton(tr(" 中 止 !!"), this), "btnStop", 208, 10, 97, 89);
    btnStop->setToolTip(tr("演算を中止します"));
    btnStop->setAutoDefault(false);
    btnStop->hide();
    progressBar = place(new QProgressBar(this), "progressBar", 0, 106, 314, 15);
    progressBar->setRange(0, 100);
    progressBar->setTextVisible(false);

    QWidget::setTabOrder(edtDegree, udDegree);
    QWidget::setTabOrder(udDegree, btnAdd);
    QWidget::setTabOrder(btnAdd, btnSub);
    QWidget::setTabOrder(btnSub, chkRealtime);
    QWidget::setTabOrder(chkRealtime, rdgpViewShape);
    QWidget::setTabOrder(rdgpViewShape, btnPreview);
    QWidget::setTabOrder(btnPreview, btnOK);
    QWidget::setTabOrder(btnOK, btnCancel);
    QWidget::setTabOrder(btnCancel, progressBar);
    QWidget::setTabOrder(progressBar, btnStop);

    auto guarded = [this](auto handler) { return guardedSlot(std::move(handler), failureReport()); };
    connect(edtDegree, &QLineEdit::textChanged, this, guarded([this] { edtDegreeChange(); }));
    connect(chkRealtime, &QCheckBox::clicked, this, guarded([this] { chkRealtimeClick(); }));
    connect(btnAdd, &QPushButton::clicked, this, guarded([this] { btnAddSubClick(+30); }));
    connect(btnSub, &QPushButton::clicked, this, guarded([this] { btnAddSubClick(-30); }));
    connect(rdgpViewShapeItems, &QButtonGroup::idClicked, this, guarded([this] { rdgpViewShapeClick(); }));
    connect(btnPreview, &QPushButton::clicked, this, guarded([this] { RenderRotationPreview(); }));
    connect(btnOK, &QPushButton::clicked, this, guarded([this] { RotatePicture(); }));
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(btnStop, &QPushButton::clicked, this, [this] { stopRequested = true; });
    edtDegree->installEventFilter(this);
    installEventFilter(this);
}

int TfrmRotFree::degree() const { return udDegree->position(); }

FailureReport TfrmRotFree::failureReport()
{
    return [this](const QString& text) {
        if (isSignalConnected(QMetaMethod::fromSignal(&TfrmRotFree::failed)))
            emit failed(text);
        else
            desktop().message(this, MessageKind::Error, text);
    };
}

void TfrmRotFree::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    runGuarded([this] { FormShow(); }, failureReport());
}

void TfrmRotFree::FormShow()
{
    emit previewChanged(toQImage(previewBase_));
    emit previewVisibilityChanged(true);
    rdgpViewShapeClick();
    if (chkRealtime->isChecked()) {
        btnPreview->setEnabled(false);
        RenderRotationPreview();
    }
}

void TfrmRotFree::FormClose()
{
    emit previewVisibilityChanged(false);
    picture_ = Picture();
}

void TfrmRotFree::done(int result)
{
    if (running_) {
        stopRequested = true;  // the close box during a rotation asks it to stop first
        return;
    }
    FormClose();
    lastPlace_ = pos();
    QDialog::done(result);
}

void TfrmRotFree::placeNextTo(const QRect& picture, const QRect& available)
{
    // The frame's size is known once the window has been shown; before that, allow for a
    // title bar and borders.
    QSize frame = frameGeometry().size();
    if (frame == size())
        frame += QSize(8, 32);
    move(lastPlace_ ? keepInside(*lastPlace_, frame, available) : placeBeside(picture, frame, available));
}

void TfrmRotFree::closeEvent(QCloseEvent* event) { QDialog::closeEvent(event); }

void TfrmRotFree::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        if (running_)
            stopRequested = true;
        else
            reject();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool TfrmRotFree::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == edtDegree && event->type() == QEvent::KeyPress) {
        // Typed characters are digits and the minus sign, three at most (angles written by the
        // program, such as -359, may be longer); keys that type nothing pass untouched.
        const auto* key = static_cast<QKeyEvent*>(event);
        if (typesText(*key)) {
            if (!onlyDigits(key->text(), true))
                return true;
            if (edtDegree->text().size() - edtDegree->selectedText().size() >= 3)
                return true;
        }
    } else if (watched == edtDegree && event->type() == QEvent::FocusIn) {
        // Selected, what is typed replaces the angle (a kept "0" turned "-45" into 45), also at
        // each opening, where the focus comes with the window. A click places the cursor, and a
        // closed context menu gives the field back as it was.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::MouseFocusReason && reason != Qt::PopupFocusReason)
            edtDegree->selectAll();
    } else if (watched == edtDegree && event->type() == QEvent::FocusOut) {
        edtDegreeExit();
    } else if (event->type() == QEvent::Wheel) {
        edtDegree->setFocus(Qt::OtherFocusReason);
    }
    return QDialog::eventFilter(watched, event);
}

void TfrmRotFree::edtDegreeChange()
{
    if (!chkRealtime->isChecked() || !isVisible())
        return;
    // An empty field or a lone minus sign is an angle still being typed: the redraw would
    // write the last angle over it.
    const QString text = edtDegree->text().trimmed();
    if (text.isEmpty() || text == QStringLiteral("-"))
        return;
    RenderRotationPreview();
}

void TfrmRotFree::edtDegreeExit()
{
    bool ok = false;
    int value = edtDegree->text().trimmed().toInt(&ok);
    if (!ok)
        value = udDegree->position();
    edtDegree->setText(QString::number(std::clamp(value, -359, 359)));
}

void TfrmRotFree::chkRealtimeClick()
{
    btnPreview->setEnabled(!chkRealtime->isChecked());
    if (chkRealtime->isChecked())
        RenderRotationPreview();
}

void TfrmRotFree::btnAddSubClick(int step)
{
    udDegree->setPosition(std::clamp(udDegree->position() + step, -359, 359));
    edtDegree->setFocus();
    edtDegree->deselect();
    edtDegree->end(false);
}

void TfrmRotFree::rdgpViewShapeClick()
{
    static constexpr Qt::BrushStyle kHatches[] = {Qt::NoBrush, Qt::HorPattern, Qt::VerPattern, Qt::CrossPattern};
    const int choice = std::max(0, rdgpViewShapeItems->checkedId());
    emit guideLinesChanged(kHatches[choice]);
}

void TfrmRotFree::RenderRotationPreview()
{
    edtDegree->setText(QString::number(udDegree->position()));
    if (previewBase_.empty())
        return;
    const Bitmap preview = rotationPreview(previewBase_, udDegree->position(), toRgb(background_));
    emit previewChanged(imageOf(preview));
}

void TfrmRotFree::setRunning(bool running)
{
    running_ = running;
    for (QWidget* w : std::initializer_list<QWidget*>{edtDegree, btnAdd, udDegree, btnSub, chkRealtime, lblRealtime,
                                                      rdgpViewShape, btnOK, btnCancel})
        w->setEnabled(!running);
    btnPreview->setEnabled(!running && !chkRealtime->isChecked());
    btnStop->setVisible(running);
}

void TfrmRotFree::RotatePicture()
{
    const int d = udDegree->position();
    if (d == 0 || picture_.isEmpty())
        return;
    stopRequested = false;
    edtDegree->setText(QString::number(d));
    emit statusChanged(tr("回転中"));
    progressBar->setValue(0);
    progressBar->show();
    progressBar->setValue(1);
    setRunning(true);

    // A rotation that fails (memory for the new picture, above all) leaves the picture as it
    // was and its error in the status line, and the window usable again.
    bool completed = false;
    bool refused = false;
    const bool failed = !runGuarded(
        [&] {
            const int threads = int(std::clamp(std::thread::hardware_concurrency(), 1u, 8u));
            std::optional<Bitmap> rotated = rotateBilinear(
                picture_.bitmap(), d, toRgb(background_),
                [this](int, int percent) {
                    progressBar->setValue(std::min(percent, progressBar->maximum()));
                    QApplication::processEvents();
                    return stopRequested;
                },
                threads);
            if (!rotated || stopRequested)
                return;
            completed = emit pictureRotated(Picture(std::move(*rotated)));
            refused = !completed;
        },
        failureReport());
    if (completed)
        emit statusChanged(tr("%1°回転").arg(d));
    else if (!failed && !refused)
        emit statusChanged(tr("回転を中止しました"));
    progressBar->setValue(0);
    setRunning(false);
    if (completed)
        accept();
}

}  // namespace trimlet
