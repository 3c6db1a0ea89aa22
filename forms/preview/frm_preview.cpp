#include "forms/preview/frm_preview.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
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
#include <filesystem>

#include "base/byte_path.h"
#include "document/output_job.h"
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

}  // namespace

TfrmPreview::TfrmPreview(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMaximizeButtonHint |
                          Qt::WindowCloseButtonHint),
      tempJpeg_(tempJpegPath())
{
    setObjectName(QStringLiteral("frmPreview"));
    setWindowTitle(tr("プレビュー"));
    setMinimumSize(560, 360);
    resize(560, 360);
    buildControls();
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
    imgCutSrc = new QLabel(pnlImages_);
    imgCutSrc->setObjectName(QStringLiteral("imgCutSrc"));
    imgPreview = new QLabel(pnlImages_);
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
    built_ = false;
    cutSrcPainted_ = false;
    // Whatever failed has been reported; nothing is saved or copied, as after any failed build.
    if (!runGuarded([this] { buildAndAct(); }, failureReport())) {
        built_ = false;
        EnableCommands(false);
        setStatus(tr("エラーによる中断"));
        tmrClose->start();
    }
}

void TfrmPreview::buildAndAct()
{
    const int quality = options_.quality;
    builtFormat_ = options_.format;
    build_ = {};
    setStatus(tr("プレビュー画像を作成中..."));
    chkCutSrc->setChecked(false);
    imgCutSrc->hide();
    imgPreview->hide();

    QString failure;
    bool ok = canWriteFile(tempJpeg_);
    if (!ok)
        failure = tempFailureText();
    else
        ok = enoughFreeSpace();
    if (!ok || builtFormat_ == OutputFormat::Bmp) {
        showImage(imgCutSrc);
        setStatus(tr(" 横%1ピクセル×縦%2ピクセル").arg(cutResult_.width()).arg(cutResult_.height()));
    }
    if (ok) {
        failure = build(quality);
        ok = failure.isEmpty();
    }

    EnableCommands(false);
    if (!ok) {
        setStatus(tr("エラーによる中断"));
        // A cut to keep editing needs no JPEG; every other command has failed and says why.
        if (!failure.isEmpty() && outputMode != OutputMode::CutOnly)
            report(MessageKind::Error, failure);
        tmrClose->start();
        return;
    }
    built_ = true;
    btnSave->setEnabled(false);
    switch (outputMode) {
    case OutputMode::Save:
        btnSaveClick(options_.documentName.isEmpty());
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

bool TfrmPreview::enoughFreeSpace()
{
    const QString folder = displayPath(folderPart(absoluteLocalPath(tempJpeg_)));
    if (enoughSpaceFor(desktop().freeSpace(folder), options_.documentPath))
        return true;
    report(MessageKind::Warning, tr("ドライブ%1の空き容量が充分でありません。\n作業を中断します。").arg(folder));
    return false;
}

QString TfrmPreview::tempFailureText() const
{
    return tr("一時ファイル %1 を書き込めませんでした。\n書き込みの権限とディスクの空き容量を確認してください。")
        .arg(displayPath(tempJpeg_));
}

std::uint64_t TfrmPreview::sizeLimit() const
{
    // The limit is the saved file's; a copy or a cut to keep editing writes no file.
    const bool writes = outputMode == OutputMode::Preview || outputMode == OutputMode::Save;
    return writes ? limitBytes(options_.maxKb) : 0;
}

QString TfrmPreview::overLimitText(const EncodedOutput& smallest) const
{
    const std::uint64_t kilobytes = kilobytesOf(smallest.bytes.size());
    if (hasQuality(builtFormat_))
        return tr("画質を1にしてもファイルサイズ(%1kB)が上限の%2kBを超えます。\n保存しません。")
            .arg(kilobytes)
            .arg(options_.maxKb);
    return tr("ファイルサイズ(%1kB)が上限の%2kBを超えます。\n保存しません。").arg(kilobytes).arg(options_.maxKb);
}

QString TfrmPreview::build(int quality)
{
    build_ = buildOutput(cutResult_.bitmap(), builtFormat_, quality, sizeLimit(), tempJpeg_);
    const QString failure = buildFailureText();
    if (builtFormat_ == OutputFormat::Bmp || build_.failure == BuildFailure::SideTooLong)
        return failure;
    // Lossless: what a PNG shows is the cut itself.
    if (failure.isEmpty())
        showImage(builtFormat_ == OutputFormat::Png ? imgCutSrc : imgPreview);
    // The save writes these very bytes, so what is measured here is what is saved.
    showFileSize(failure.isEmpty() ? build_.fileBytes().size() : 0,
                 builtFormat_ == OutputFormat::Png ? -1 : build_.encoded.quality);
    return failure;
}

QString TfrmPreview::buildFailureText() const
{
    const int w = cutResult_.width(), h = cutResult_.height();
    const bool jpeg = builtFormat_ == OutputFormat::Jpeg;
    const QString name = builtFormat_ == OutputFormat::Bmp    ? QStringLiteral("BMP")
                         : builtFormat_ == OutputFormat::Webp ? QStringLiteral("WebP")
                                                              : QStringLiteral("PNG");
    switch (build_.failure) {
    case BuildFailure::None: break;
    case BuildFailure::SideTooLong:
        if (jpeg)
            return tr("横%1×縦%2ピクセルの画像はJPEGで保存できません（JPEGは一辺%3ピクセルまで）。"
                      "保存形式をBMPにしてください。")
                .arg(w)
                .arg(h)
                .arg(maxOutputSide(builtFormat_));
        return tr("横%1×縦%2ピクセルの画像はWebPで保存できません（WebPは一辺%3ピクセルまで）。"
                  "保存形式をPNGにしてください。")
            .arg(w)
            .arg(h)
            .arg(maxOutputSide(builtFormat_));
    case BuildFailure::NotMade:
        return jpeg ? tr("JPEG画像を作成できませんでした。") : tr("%1画像を作成できませんでした。").arg(name);
    case BuildFailure::OverLimit: return overLimitText(build_.encoded);
    case BuildFailure::TempFile: return tempFailureText();
    case BuildFailure::OutOfMemory:
        return jpeg ? tr("メモリが足りないため、JPEG画像を作成できませんでした。")
                    : tr("メモリが足りないため、%1画像を作成できませんでした。").arg(name);
    }
    return {};
}

void TfrmPreview::showFileSize(std::uint64_t bytes, int quality)
{
    const std::uint64_t kilobytes = kilobytesOf(bytes);
    const int w = cutResult_.width(), h = cutResult_.height();
    // Quality -1: a lossless format has none to show.
    if (quality < 0)
        setStatus(tr(" 横%1ピクセル×縦%2ピクセル　ファイルサイズ:%3kB").arg(w).arg(h).arg(kilobytes));
    else
        setStatus(
            tr(" 横%1ピクセル×縦%2ピクセル　画質:%3　ファイルサイズ:%4kB").arg(w).arg(h).arg(quality).arg(kilobytes));
}

void TfrmPreview::report(MessageKind kind, const QString& text)
{
    desktop().message(dialogParent(), kind, text);
    emit statusChanged(text.section(QLatin1Char('\n'), 0, 0));
}

QString TfrmPreview::withCutCommand(const QString& text) const
{
    return cutCommand_.isEmpty() ? text : tr("%1（%2）").arg(text, cutCommand_);
}

void TfrmPreview::showImage(QLabel* image)
{
    if (image == imgCutSrc)
        cutSrcPainted_ = true;
    // Hidden runs never show the pictures; a large one would be copied twice for nothing.
    if (outputMode == OutputMode::Preview) {
        const Picture& picture = image == imgCutSrc ? cutResult_ : build_.decoded;
        image->setPixmap(QPixmap::fromImage(imageOf(picture.bitmap())));
        image->resize(picture.width(), picture.height());
        pnlImages_->resize(image->size());
    }
    image->show();
}

void TfrmPreview::placeForPreview()
{
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const int w = std::max(minimumWidth(), std::min(cutResult_.width() + 40, screen.width()));
    const int h = std::max(minimumHeight(), std::min(cutResult_.height() + 116, screen.height() - 84));
    resize(w, h);
    move((screen.width() - w) / 2, (screen.height() - h) / 2);
}

void TfrmPreview::EnableCommands(bool enable)
{
    // Only a lossy build has an uncompressed picture to show beside it.
    chkCutSrc->setEnabled(enable && (builtFormat_ == OutputFormat::Jpeg || builtFormat_ == OutputFormat::Webp));
    for (QPushButton* b : {btnSave, btnSaveAs, btnCopy, btnCancel})
        b->setEnabled(enable);
    btnSave->setEnabled(!options_.documentName.isEmpty());
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

SerialPlace TfrmPreview::serialPlace() const
{
    std::string base = options_.documentPath;
    if (base.empty())
        base = options_.lastOutputPath;
    // Without either, an empty base would put the pictures into whatever the working folder
    // happens to be.
    if (base.empty())
        base = tempJpeg_;
    return {base, options_.tail};
}

bool TfrmPreview::isTempJpeg(const std::string& chosen) const
{
    // Another spelling of the same file would be overwritten by the next preview and deleted
    // at closing, so it is refused as well.
    if (chosen == tempJpeg_)
        return true;
    std::error_code ec1, ec2;
    const auto a = std::filesystem::weakly_canonical(chosen, ec1);
    const auto b = std::filesystem::weakly_canonical(tempJpeg_, ec2);
    return !ec1 && !ec2 && a == b;
}

OutputFile TfrmPreview::outputFile() const
{
    // A BMP is written from the pixels, never held as a file.
    if (builtFormat_ == OutputFormat::Bmp)
        return {builtFormat_, {}, &cutResult_.bitmap()};
    return {builtFormat_, outputBytes()};
}

bool TfrmPreview::hasOutput()
{
    if (built_ && !cutResult_.isEmpty())
        return true;
    report(MessageKind::Information, tr("画像がありません。"));
    EnableCommands(true);
    return false;
}

void TfrmPreview::btnSaveClick(bool saveAs)
{
    if (!hasOutput())
        return;
    std::string name;
    Status written;
    if (saveAs) {
        name = freeSerialName(serialPlace(), builtFormat_);
        FileDialogRequest request;
        request.initialFolder = displayPath(utf8Ancestor(folderPart(name)));
        request.fileName = displayPath(fileNamePart(name));
        request.filters = {outputFilter(builtFormat_)};
        request.defaultSuffix = QString::fromLatin1(outputExtension(builtFormat_) + 1);
        request.confirmOverwrite = true;
        request.requireExistingFolder = true;
        // The dialog shows a proposal that is not UTF-8 as text and gives that text back.
        name = pathFromDialog(desktop().saveFileName(dialogParent(), request), {name});
        if (name.empty()) {
            emit statusChanged(tr("保存を取り消しました。"));
            EnableCommands(true);
            return;
        }
        if (isTempJpeg(name)) {
            report(
                MessageKind::Information,
                tr("ファイル %1 は trimletが使用中です。\n別のファイル名を指定してください。").arg(displayPath(name)));
            EnableCommands(true);
            return;
        }
        // The dialog has asked before overwriting.
        written = writeOutputFile(name, outputFile(), WriteMode::Replace);
    } else {
        SerialSave save = saveSerial(serialPlace(), outputFile());
        name = std::move(save.name);
        written = std::move(save.written);
    }
    if (!written) {
        report(MessageKind::Error,
               tr("ファイル %1 の保存に失敗しました。\nディスクの空き容量が充分かどうかを確認してください。")
                   .arg(displayPath(name)));
        EnableCommands(true);
        return;
    }
    emit statusChanged(withCutCommand(tr("%1 を保存しました。").arg(displayPath(name))));
    emit saved(name);
    done(QDialog::Accepted);
}

void TfrmPreview::btnCopyClick()
{
    if (!hasOutput())
        return;
    if (!desktop().setClipboard(imageOf(cutResult_.bitmap()), {})) {
        report(MessageKind::Error, tr("クリップボードにコピーできませんでした。"));
        EnableCommands(true);
        return;
    }
    emit statusChanged(withCutCommand(tr("画像の枠内をクリップボードにコピー")));
    emit copied();
    done(QDialog::Accepted);
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
