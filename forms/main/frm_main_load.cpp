// The main window's loading side: files, shortcuts, drops, reload, paste, the folder button,
// the status line and the switching of picture-dependent controls.

#include <QAction>
#include <QCursor>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolButton>
#include <filesystem>

#include "base/byte_path.h"
#include "codecs/picture_file.h"
#include "document/stored_settings.h"
#include "forms/main/frm_main.h"
#include "forms/main/lossless_pieces.h"
#include "forms/main/main_files.h"
#include "forms/main/picture_loads.h"
#include "forms/main/recent_menu.h"
#include "forms/main/slot_strip.h"
#include "forms/main/work_area_widgets.h"
#include "forms/widgets/guarded.h"
#include "forms/widgets/path_text.h"
#include "imaging/photo_streamed.h"
#include "platform/desktop.h"
#include "platform/paths.h"
#include "platform/qimage_bridge.h"
#include "platform/trace.h"

namespace trimlet {

namespace {

const char* const kPastedName = QT_TRANSLATE_NOOP("trimlet::TfrmMain", "クリップボードからの貼り付け");

}  // namespace

void TfrmMain::connectLoadHandlers()
{
    connect(btnOpen, &QPushButton::clicked, this, guarded(&TfrmMain::btnOpenClick));
    recent_ = new RecentMenu(btnOpen, popEdit, settingsPath_, [this](auto& path) { startLoad(path, {}, false); });
    connect(btnPaste, &QPushButton::clicked, this, guarded(&TfrmMain::btnPasteClick));
    connect(btnReload, &QPushButton::clicked, this, guarded(&TfrmMain::btnReloadClick));
    connect(btnOpenDir, &QPushButton::clicked, this, guarded(&TfrmMain::btnOpenDirClick));
    connect(popitemPaste, &QAction::triggered, this, guarded(&TfrmMain::btnPasteClick));
    connect(popitemReload, &QAction::triggered, this, guarded(&TfrmMain::btnReloadClick));
}

void TfrmMain::ShowStatus(const QString& text, StatusKind kind)
{
    if (const auto box = messageKindOf(kind))
        desktop().message(this, *box, text);
    // One line: a box's line break would make the status bar grow.
    statusLine->setText(QString(text).replace(QLatin1Char('\n'), QLatin1Char(' ')));
}

QString TfrmMain::statusText() const { return statusLine->text(); }

QString TfrmMain::currentFileName() const { return displayPath(doc_.path); }

void TfrmMain::SetCurrentFile(const std::string& path)
{
    doc_.path = path;
    showFileName(displayPath(fileNamePart(path)));
}

void TfrmMain::SetEditingEnabled(bool enabled) { setPictureControlsEnabled(enabled); }

QSize TfrmMain::displayDeviceSize(int pw, int ph) const
{
    const IntRect d = fittedDisplay(pw, ph);
    return deviceSize(QSize(d.w, d.h), imgSource->devicePixelRatioF());
}

void TfrmMain::setEditingPicture(Picture picture, QImage rendered)
{
    // The display copy first: when it cannot be made, the old picture stays, whole and shown.
    const QSize device = displayDeviceSize(picture.width(), picture.height());
    QImage shown = rendered.size() == device ? std::move(rendered)
                                             : displayImage(picture.bitmap(), device.width(), device.height());
    doc_.picture = std::move(picture);
    imgSource->setImage(std::move(shown));
    lossless->follow(doc_.picture);
    requestLiveSize();
}

void TfrmMain::showSourceSize()
{
    lblSrcSizeW->setText(QString::number(doc_.picture.width()));
    lblSrcSizeH->setText(QString::number(doc_.picture.height()));
}

void TfrmMain::LoadPictureFile(const QString& path) { LoadPictureFile(QFile::encodeName(path).toStdString()); }

void TfrmMain::LoadPictureFile(const std::string& path, std::optional<QPoint> joinAt)
{
    startLoad(path, joinAt, false);
    loads_->settle();
}

void TfrmMain::startLoad(const std::string& requested, std::optional<QPoint> joinAt, bool fresh,
                         std::function<void()> landed)
{
    trace("load-begin");
    const std::string path = resolvePictureShortcut(requested);
    // What the user saw when asking decides: a step never joins, a drop joins where it fell.
    const bool joining = pcEdit->currentWidget() == tabConcat && !doc_.picture.isEmpty() && !landed;
    const QPoint at = joinAt.value_or(mapFromGlobal(QCursor::pos()));
    auto done = [this, path, joining, at, landed = std::move(landed)](const PictureLoads::Result& result) {
        runGuarded([&] { finishLoad(path, result(), joining, at, bool(landed)); }, failureReport());
        if (landed)
            runGuarded(landed, failureReport());
    };
    if (path.empty())
        return done([] { return PhotoPrefetch::Taken{makeError(ErrorCode::Io, "unresolved shortcut"), {}}; });
    ShowStatus(tr("%1を読み込んでいます…").arg(displayPath(fileNamePart(path))), StatusKind::statusOnly);
    loads_->load(path, fresh, std::move(done));
}

void TfrmMain::finishLoad(const std::string& path, PhotoPrefetch::Taken taken, bool joining, QPoint at, bool stepped)
{
    trace("load-decoded");
    auto& loaded = taken.picture;
    if (!loaded) {
        undoFirstLook();
        ShowStatus(tr("%1は読み込めませんでした。").arg(displayPath(fileNamePart(path))), StatusKind::skWarning);
        return;
    }

    const QString dropped = tr("ファイルドロップ：%1").arg(displayPath(path));
    ShowStatus(dropped, StatusKind::statusOnly);
    EditState before = editState();
    dropFirstLook();
    if (!joining) {
        recent_->opened(doc_.path, path, stepped);
        setEditingPicture(std::move(loaded).value(), std::move(taken.shown));
        SetCurrentFile(path);
        history_.recordLoad(dropped.toStdString(), std::move(before));
        doc_.edited = false;
    } else {
        if (!ConcatenatePicture(loaded.value(), at))
            return;  // the error box and the status line have said why; the picture is as it was
        rememberEdit(dropped, std::move(before));
    }

    showSourceSize();
    LayoutWorkArea(true, true);
    loads_->lookAhead(stepper_.neighbours(doc_.path));
    warnOfLargePicture(this, std::int64_t(doc_.picture.width()) * doc_.picture.height(), largePictureAnswer_,
                       [this](const QString& text) { ShowStatus(text, StatusKind::statusOnly); });
    SetEditingEnabled(true);
    btnReload->setEnabled(true);
    trace("load-end");
}

void TfrmMain::btnOpenClick()
{
    const QString chosen = desktop().openFileName(this, openPictureRequest(outputPathSetting()));
    if (!chosen.isEmpty())
        startLoad(pathFromDialog(chosen), std::nullopt, false);
}

void TfrmMain::btnReloadClick() { startLoad(doc_.path, std::nullopt, true); }

void TfrmMain::btnPasteClick()
{
    // The picture is taken before the document's name is cleared, so that a clipboard that
    // cannot be read, or a picture too large for memory, leaves the document as it was.
    Bitmap pasted = pastedPicture([this](const QString& text, StatusKind kind) { ShowStatus(text, kind); });
    if (pasted.empty())
        return;
    EditState before = editState();
    setEditingPicture(Picture(std::move(pasted)));
    showDocument({});
    rememberEdit(tr(kPastedName), std::move(before));
    ShowStatus(tr(kPastedName), StatusKind::statusOnly);
    showSourceSize();
    LayoutWorkArea(true, true);
    SetEditingEnabled(true);
}

void TfrmMain::showDocument(const std::string& path)
{
    SetCurrentFile(path);
    btnReload->setEnabled(!path.empty());
    if (path.empty())
        showFileName(tr(kPastedName));
}

void TfrmMain::btnOpenDirClick() { openFolder(this, folderToOpen(doc_.path, outputPathSetting())); }

std::string TfrmMain::outputPathSetting() const { return readLastOutputPath(settingsPath_); }

void TfrmMain::dropFiles(const std::vector<std::string>& paths, const QPoint& clientPoint)
{
    if (paths.empty() || !rect().contains(clientPoint))
        return;
    activateWindow();
    raise();
    // The drop's own point: Wayland has no global cursor position to read it back from.
    startLoad(paths.front(), clientPoint, false);
}

void TfrmMain::dragEnterEvent(QDragEnterEvent* event)
{
    // Drags of our own are let in and judged at every move: a window that refuses the entry
    // hears nothing more of that drag, not even over the picture.
    if (event->source() == imgSource || tmpSave->slotOfPanel(event->source()))
        event->acceptProposedAction();
    else if (!acceptFilesAsCopy(event))
        event->ignore();
}

void TfrmMain::dragMoveEvent(QDragMoveEvent* event)
{
    if (event->source() != imgSource && !tmpSave->slotOfPanel(event->source()) && acceptFilesAsCopy(event))
        return;
    if (FormDragOver(event->source(), event->position().toPoint()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void TfrmMain::dropEvent(QDropEvent* event)
{
    const QPoint at = event->position().toPoint();
    if (event->source() == imgSource || tmpSave->slotOfPanel(event->source())) {
        if (FormDragOver(event->source(), at)) {
            event->acceptProposedAction();
            runGuarded([&] { FormDragDrop(event->source(), at); }, failureReport());
        }
        return;
    }
    const std::vector<std::string> paths = droppedFiles(*event->mimeData());
    if (paths.empty() || !acceptFilesAsCopy(event))
        return;
    runGuarded([&] { dropFiles(paths, at); }, failureReport());
}

}  // namespace trimlet
