#include "forms/main/frm_main.h"
#include "forms/main/output_commands.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <filesystem>

#include "forms/main/picture_loads.h"
#include "forms/main/slot_strip.h"
#include "forms/main/work_area_widgets.h"
#include "forms/preview/frm_preview.h"
#include "forms/widgets/app_icon.h"
#include "forms/widgets/path_text.h"
#include "imaging/cut_geometry.h"
#include "platform/desktop.h"
#include "platform/paths.h"
#include "platform/trace.h"

namespace trimlet {

namespace {

constexpr int kUnpaintedStartMs = 1000;

}  // namespace

TfrmMain::TfrmMain(std::vector<std::string> args, QWidget* parent) : QMainWindow(parent), args_(std::move(args))
{
    setObjectName(QStringLiteral("frmMain"));
    setMinimumSize(800, 480);
    resize(800, 480);
    setAcceptDrops(true);

    setupUi(this);
    settingsPath_ = settingsFilePath();

    connectLoadHandlers();
    connectFrameHandlers();
    connectOutputHandlers();
    connectTransformHandlers();
    connectSlotHandlers();
    connectPresetHandlers();
    connectKeyHandlers();
    connectHistoryHandlers();
    loads_ = new PictureLoads({this, [this] { return load_.limits(); },
                               [this] {
                                   return PictureLoads::Display{workArea(centralWidget()->size()), devicePixelRatioF()};
                               },
                               [this](const QImage& look, int w, int h) {
                                   if (pcEdit->currentWidget() != tabConcat)  // a join shows the joined picture
                                       showFirstLook(look, fittedDisplay(w, h));
                               }});
    connect(btnAbout, &QPushButton::clicked, this, guarded(&TfrmMain::btnAboutClick));
    connect(btnExit, &QPushButton::clicked, this, guarded(&TfrmMain::btnExitClick));
    FormCreate();
}

TfrmMain::~TfrmMain() = default;

void TfrmMain::setPrefetch(std::unique_ptr<PhotoPrefetch> prefetch) { loads_->adopt(std::move(prefetch)); }

void TfrmMain::FormCreate()
{
    const QRect frame = shpRange->geometry();
    frame_ = FrameState{};
    frame_.rect = {frame.x(), frame.y(), frame.width(), frame.height()};
    doc_.path.clear();
    resizeEventCount = 0;
    resizePending = false;
    largePictureAnswer_ = true;

    setWindowTitle(QStringLiteral("trimlet"));
    lblConcat->setText(
        tr("≪ヒント≫\n『連結モード』を表示した状態で、画像ファイルまたは一時保存をドラッグ＆ドロップで読み込ませると、"
           "編集中の画像とドロップした画像を連結できます。"));

    btnReload->setEnabled(false);
    SetEditingEnabled(false);
}

void TfrmMain::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    ++resizeEventCount;
    if (tracing())
        trace("resize", QStringLiteral("%1x%2").arg(width()).arg(height()).toUtf8().constData());
    runGuarded([this] { layoutRegions(centralWidget()->size()); }, failureReport());
}

void TfrmMain::paintEvent(QPaintEvent* event)
{
    QMainWindow::paintEvent(event);
    if (!paintedOnce_) {
        paintedOnce_ = true;
        trace("window-painted");
        // Queued, so that the frame just painted reaches the screen before a decode holds
        // the event loop.
        if (startupPending_)
            QTimer::singleShot(0, this, [this] { finishFormShow(); });
    }
}

void TfrmMain::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!shownOnce_) {
        shownOnce_ = true;
        loads_->hold();  // until the first paint
        FormShow();
    }
}

void TfrmMain::FormShow()
{
    // Each step on its own: a picture too large for memory must not keep the settings out.
    runGuarded([this] { LoadSettings(); }, failureReport());
    // The rest waits for the window's first paint: a large picture then decodes in front of
    // the user, and its question stands over the window, not before it. A window that is
    // never painted (shown off screen) goes on after a moment all the same.
    startupPending_ = true;
    QTimer::singleShot(kUnpaintedStartMs, this, [this] { finishFormShow(); });
}

void TfrmMain::finishFormShow()
{
    if (!startupPending_)
        return;
    startupPending_ = false;
    loads_->release();
    if (closing_)
        return;
    emit startupLoading();
    if (!args_.empty())
        runGuarded([this] { startLoad(args_.front(), std::nullopt, false); }, failureReport());
    tmrCheckResize->start();
    started_ = true;
}

void TfrmMain::closeEvent(QCloseEvent* event)
{
    if (!closing_) {
        closing_ = true;
        runGuarded([this] { FormClose(); }, failureReport());
    }
    event->accept();
}

bool TfrmMain::FormClose()
{
    bool saved = false;
    runGuarded([&] { saved = bool(SaveSettings()); }, [](const QString&) {});  // reported just below
    if (!saved)
        desktop().message(this, MessageKind::Warning, tr("設定の保存ができませんでした。"));
    const TfrmPreview* preview = output_->previewWindow();
    const std::string temp = preview ? preview->tempJpeg() : tempJpegPath();
    std::error_code ec;
    if (std::filesystem::exists(std::filesystem::symlink_status(temp, ec)) && !std::filesystem::remove(temp, ec))
        desktop().message(this, MessageKind::Warning,
                          tr("テンポラリファイル %1 の削除ができませんでした。").arg(displayPath(temp)));
    return true;
}

void TfrmMain::btnExitClick() { close(); }

void TfrmMain::btnAboutClick() { emit aboutRequested(); }

}  // namespace trimlet
