#include "forms/preview/frm_preview.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QShowEvent>
#include <QSlider>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <cmath>
#include <filesystem>

#include "base/byte_path.h"
#include "document/output_job.h"
#include "forms/main/work_area_widgets.h"
#include "forms/widgets/guarded.h"
#include "forms/widgets/path_text.h"
#include "platform/desktop.h"
#include "platform/paths.h"
#include "platform/qimage_bridge.h"

namespace trimlet {

namespace {

constexpr int kWheelStep = 8;
QIcon themed(const char* name, QStyle::StandardPixmap fallback)
{
    return QIcon::fromTheme(QLatin1String(name), QApplication::style()->standardIcon(fallback));
}

QPushButton* commandButton(QWidget* parent, const char* name, const QString& caption, const QString& hint)
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    b->setToolTip(hint);
    return b;
}

// The logical extent that holds a picture of that many screen pixels.
QSize logicalSize(const QSize& device, qreal ratio)
{
    const auto extent = [ratio](int d) { return int(std::ceil(d / ratio - 1e-6)); };
    return {extent(device.width()), extent(device.height())};
}

// Shows its pixmap one picture pixel on one screen pixel at every ratio, as this window exists
// to judge compression; a label would scale it by the ratio and smooth it.
class DevicePixelLabel : public QLabel {
public:
    using QLabel::QLabel;

    // Sizes the label, and the scrolled panel while it is the one shown, to hold the picture
    // at the current ratio.
    void showPicture(QPixmap picture)
    {
        const qreal ratio = devicePixelRatioF();
        picture.setDevicePixelRatio(ratio);
        setPixmap(picture);
        resize(logicalSize(picture.size(), ratio));
        if (isVisibleTo(parentWidget()))
            parentWidget()->resize(size());
    }

protected:
    bool event(QEvent* event) override
    {
        if (changesPixelRatio(*event) && !pixmap().isNull())
            showPicture(pixmap());
        return QLabel::event(event);
    }
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        paintInDevicePixels(p, rect());
        const QPixmap shown = pixmap();
        p.drawPixmap(QRect(QPoint(0, 0), shown.size()), shown);
    }
};

}  // namespace

TfrmPreview::TfrmPreview(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMaximizeButtonHint |
                          Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("frmPreview"));
    setWindowTitle(tr("プレビュー"));
    setMinimumSize(560, 360);
    resize(560, 360);
    buildControls();
    run_.setReporter({[this] { return dialogParent(); }, [this](const QString& text) { emit statusChanged(text); },
                      [this](const std::string& path) { emit saved(path); }, [this] { emit copied(); }});
}

void TfrmPreview::buildControls()
{
    Panel1 = new QWidget(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFixedHeight(33);
    chkCutSrc = new QCheckBox(tr("圧縮前の状態を表示"), Panel1);
    chkCutSrc->setObjectName(QStringLiteral("chkCutSrc"));
    chkCutSrc->setToolTip(tr("圧縮後の画像と圧縮前の画像の表示を切り替えます"));
    btnSave = commandButton(Panel1, "btnSave", tr("保　存 (&S)"), tr("ファイル名は自動的に決まります"));
    btnSaveAs = commandButton(Panel1, "btnSaveAs", tr("別名保存(&A)"), tr("ファイル名を指定して保存します"));
    btnCopy = commandButton(Panel1, "btnCopy", tr("画像コピー(&C)"), tr("画像をクリップボードにコピーします"));
    btnCancel = commandButton(Panel1, "btnCancel", tr("閉じる(&Q)"), tr("プレビュー画面を閉じます"));
    btnSave->setDefault(true);
    auto* row = new QHBoxLayout(Panel1);
    row->setContentsMargins(6, 2, 6, 2);
    row->addWidget(chkCutSrc);
    row->addStretch(1);
    for (QPushButton* b : {btnSave, btnSaveAs, btnCopy, btnCancel})
        row->addWidget(b);

    sbImgScroll = new QScrollArea(this);
    sbImgScroll->setObjectName(QStringLiteral("sbImgScroll"));
    sbImgScroll->setWidgetResizable(false);
    sbImgScroll->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    sbImgScroll->verticalScrollBar()->setSingleStep(kWheelStep);
    sbImgScroll->horizontalScrollBar()->setSingleStep(kWheelStep);
    pnlImages_ = new QWidget;
    imgCutSrc = new DevicePixelLabel(pnlImages_);
    imgCutSrc->setObjectName(QStringLiteral("imgCutSrc"));
    imgPreview = new DevicePixelLabel(pnlImages_);
    imgPreview->setObjectName(QStringLiteral("imgPreview"));
    for (QLabel* image : {imgCutSrc, imgPreview}) {
        image->move(0, 0);
        image->hide();
        image->installEventFilter(this);
    }
    sbImgScroll->setWidget(pnlImages_);
    sbImgScroll->viewport()->installEventFilter(this);

    statusBar = new QStatusBar(this);
    statusBar->setObjectName(QStringLiteral("statusBar"));
    statusBar->setSizeGripEnabled(false);
    statusLine_ = new QLabel(statusBar);
    statusLine_->setObjectName(QStringLiteral("statusLine"));
    statusBar->addWidget(statusLine_, 1);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(Panel1);
    column->addWidget(sbImgScroll, 1);
    column->addWidget(statusBar);

    popPreview = new QMenu(this);
    popPreview->setObjectName(QStringLiteral("popPreview"));
    popitemSave = popPreview->addAction(tr("保存"));
    popitemSave->setObjectName(QStringLiteral("popitemSave"));
    popitemSaveAs = popPreview->addAction(tr("名前をつけて保存"));
    popitemSaveAs->setObjectName(QStringLiteral("popitemSaveAs"));
    popitemCopy = popPreview->addAction(tr("画像をコピー"));
    popitemCopy->setObjectName(QStringLiteral("popitemCopy"));

    tmrClose = new QTimer(this);
    tmrClose->setObjectName(QStringLiteral("tmrClose"));
    tmrClose->setInterval(100);
    tmrClose->setSingleShot(true);

    auto guarded = [this](auto handler) { return guardedSlot(std::move(handler), failureReport()); };
    connect(btnSave, &QPushButton::clicked, this, guarded([this] { btnSaveClick(false); }));
    connect(popitemSave, &QAction::triggered, this, guarded([this] { btnSaveClick(false); }));
    connect(btnSaveAs, &QPushButton::clicked, this, guarded([this] { btnSaveClick(true); }));
    connect(popitemSaveAs, &QAction::triggered, this, guarded([this] { btnSaveClick(true); }));
    connect(btnCopy, &QPushButton::clicked, this, guarded([this] { btnCopyClick(); }));
    connect(popitemCopy, &QAction::triggered, this, guarded([this] { btnCopyClick(); }));
    connect(btnCancel, &QPushButton::clicked, this, &TfrmPreview::btnCancelClick);
    connect(chkCutSrc, &QCheckBox::clicked, this, guarded([this] { chkCutSrcClick(); }));
    connect(tmrClose, &QTimer::timeout, this, &TfrmPreview::tmrCloseTimer);
}

QString TfrmPreview::statusText() const { return statusLine_->text(); }

void TfrmPreview::setStatus(const QString& text)
{
    statusLine_->setText(text);
    statusLine_->repaint();
}

void TfrmPreview::showEvent(QShowEvent* event)
{
    if (btnSave->icon().isNull()) {
        // Read when the window is first shown: the window is made at start, where the theme's
        // files would delay the main window's first paint.
        const QIcon save = themed("document-save", QStyle::SP_DialogSaveButton);
        const QIcon saveAs = themed("document-save-as", QStyle::SP_DriveFDIcon);
        const QIcon copy = themed("edit-copy", QStyle::SP_FileDialogContentsView);
        btnSave->setIcon(save);
        btnSaveAs->setIcon(saveAs);
        btnCopy->setIcon(copy);
        btnCancel->setIcon(themed("window-close", QStyle::SP_DialogCloseButton));
        popitemSave->setIcon(save);
        popitemSaveAs->setIcon(saveAs);
        popitemCopy->setIcon(copy);
    }
    QDialog::showEvent(event);
    // The window system's own re-showing (after a restore) is no request for a new build.
    if (!event->spontaneous())
        FormShow();
}

FailureReport TfrmPreview::failureReport()
{
    return [this](const QString& text) {
        desktop().message(dialogParent(), MessageKind::Error, text);
        emit statusChanged(text);
    };
}

void TfrmPreview::FormShow()
{
    // A close still pending from the previous hidden run must not close this one.
    tmrClose->stop();
    dragging = false;
    dragStart = QPoint(0, 0);
    sbImgScroll->horizontalScrollBar()->setValue(0);
    sbImgScroll->verticalScrollBar()->setValue(0);
    cutSrcPainted_ = false;
    // Whatever failed has been reported; nothing is saved or copied, as after any failed build.
    if (!runGuarded([this] { buildAndAct(); }, failureReport())) {
        run_.forget();
        EnableCommands(false);
        setStatus(tr("エラーによる中断"));
        tmrClose->start();
    }
}

void TfrmPreview::buildAndAct()
{
    setStatus(tr("プレビュー画像を作成中..."));
    chkCutSrc->setChecked(false);
    imgCutSrc->hide();
    imgPreview->hide();

    const bool writes = outputMode == OutputMode::Preview || outputMode == OutputMode::Save;
    const OutputRun::Outcome outcome = run_.build(writes);
    if (outcome.stage == OutputRun::Stage::Refused || run_.builtFormat() == OutputFormat::Bmp)
        showImage(imgCutSrc);
    // Lossless: what a PNG shows is the cut itself.
    else if (outcome.stage == OutputRun::Stage::Built)
        showImage(run_.builtFormat() == OutputFormat::Png ? imgCutSrc : imgPreview);
    setStatus(run_.sizeText());

    EnableCommands(false);
    if (outcome.stage != OutputRun::Stage::Built) {
        setStatus(tr("エラーによる中断"));
        // A cut to keep editing needs no JPEG; every other command has failed and says why.
        if (!outcome.failure.isEmpty() && outputMode != OutputMode::CutOnly)
            run_.report(MessageKind::Error, outcome.failure);
        tmrClose->start();
        return;
    }
    btnSave->setEnabled(false);
    switch (outputMode) {
    case OutputMode::Save:
        btnSaveClick(run_.options().documentName.isEmpty() && !run_.options().set);
        tmrClose->start();
        break;
    case OutputMode::Copy:
        btnCopyClick();
        tmrClose->start();
        break;
    case OutputMode::CutOnly: tmrClose->start(); break;
    case OutputMode::Preview:
        EnableCommands(true);
        (btnSave->isEnabled() ? btnSave : btnSaveAs)->setFocus();
        placeForPreview();
        break;
    }
}

void TfrmPreview::showImage(QLabel* image)
{
    if (image == imgCutSrc)
        cutSrcPainted_ = true;
    // Hidden runs never show the pictures; a large one would be copied twice for nothing.
    if (outputMode == OutputMode::Preview) {
        const Picture& picture = image == imgCutSrc ? run_.cutResult() : run_.output().decoded;
        static_cast<DevicePixelLabel*>(image)->showPicture(QPixmap::fromImage(imageOf(picture.bitmap())));
        pnlImages_->resize(image->size());
    }
    image->show();
}

void TfrmPreview::placeForPreview()
{
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const Picture& cut = run_.cutResult();
    const QSize picture = logicalSize(QSize(cut.width(), cut.height()), devicePixelRatioF());
    const int w = std::max(minimumWidth(), std::min(picture.width() + 40, screen.width()));
    const int h = std::max(minimumHeight(), std::min(picture.height() + 116, screen.height() - 84));
    resize(w, h);
    move((screen.width() - w) / 2, (screen.height() - h) / 2);
}

void TfrmPreview::EnableCommands(bool enable)
{
    // Only a lossy build has an uncompressed picture to show beside it.
    const OutputFormat format = run_.builtFormat();
    chkCutSrc->setEnabled(
        enable && (format == OutputFormat::Jpeg || format == OutputFormat::Webp || format == OutputFormat::Jxl));
    for (QPushButton* b : {btnSave, btnSaveAs, btnCopy, btnCancel})
        b->setEnabled(enable);
    // A set goes under serial names even without a document's name.
    btnSave->setEnabled(!run_.options().documentName.isEmpty() || run_.options().set);
}

void TfrmPreview::chkCutSrcClick()
{
    const bool uncompressed = chkCutSrc->isChecked();
    imgPreview->setVisible(!uncompressed);
    // A JPEG build paints only the compressed picture; the other one is painted when first asked for.
    if (uncompressed && !cutSrcPainted_)
        showImage(imgCutSrc);
    imgCutSrc->setVisible(uncompressed);
}

void TfrmPreview::tmrCloseTimer()
{
    tmrClose->stop();
    close();
}

void TfrmPreview::btnCancelClick() { done(QDialog::Rejected); }

QWidget* TfrmPreview::dialogParent()
{
    // A hidden run's boxes belong to the window that asked for it.
    if (isVisible() || !parentWidget())
        return this;
    return parentWidget();
}

void TfrmPreview::btnSaveClick(bool saveAs)
{
    if (run_.save(saveAs))
        done(QDialog::Accepted);
    else
        EnableCommands(true);
}

void TfrmPreview::btnCopyClick()
{
    if (run_.copy())
        done(QDialog::Accepted);
    else
        EnableCommands(true);
}

bool TfrmPreview::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == sbImgScroll->viewport() && event->type() == QEvent::Wheel)
        return FormMouseWheel(static_cast<QWheelEvent*>(event));
    auto* image = qobject_cast<QLabel*>(watched);
    if (image != imgCutSrc && image != imgPreview)
        return QDialog::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseButtonPress: imgCutSrcMouseDown(image, static_cast<QMouseEvent*>(event)); return true;
    case QEvent::MouseMove: imgCutSrcMouseMove(image, static_cast<QMouseEvent*>(event)); return true;
    case QEvent::MouseButtonRelease: imgCutSrcMouseUp(image, static_cast<QMouseEvent*>(event)); return true;
    case QEvent::Wheel: return FormMouseWheel(static_cast<QWheelEvent*>(event));
    default: return QDialog::eventFilter(watched, event);
    }
}

void TfrmPreview::imgCutSrcMouseDown(QLabel*, QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    dragStart = event->position().toPoint();
    dragging = true;
}

void TfrmPreview::imgCutSrcMouseMove(QLabel* image, QMouseEvent* event)
{
    if (!dragging) {
        image->unsetCursor();
        return;
    }
    // Positions are in the image's coordinates, which move with the scrolling, so the point
    // grabbed stays under the mouse.
    const QPoint at = event->position().toPoint();
    QScrollBar* h = sbImgScroll->horizontalScrollBar();
    QScrollBar* v = sbImgScroll->verticalScrollBar();
    h->setValue(std::max(0, h->value() + dragStart.x() - at.x()));
    v->setValue(std::max(0, v->value() + dragStart.y() - at.y()));
    image->setCursor(Qt::SizeAllCursor);
}

void TfrmPreview::imgCutSrcMouseUp(QLabel* image, QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        dragging = false;
    else if (event->button() == Qt::RightButton)
        popPreview->popup(image->mapToGlobal(event->position().toPoint()));
    image->unsetCursor();
}

bool TfrmPreview::FormMouseWheel(QWheelEvent* event)
{
    const int delta = event->angleDelta().y();
    if (delta == 0)
        return false;
    // Fine-grained wheels send fractions of a notch; only whole notches scroll.
    if ((wheelRest_ > 0) != (delta > 0))
        wheelRest_ = 0;
    wheelRest_ += delta;
    const int notches = wheelRest_ / 120;
    wheelRest_ -= notches * 120;
    QScrollBar* v = sbImgScroll->verticalScrollBar();
    v->setValue(v->value() - notches * kWheelStep);
    event->accept();
    return true;
}

}  // namespace trimlet
