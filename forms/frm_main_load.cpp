// The main window's loading side: files, shortcuts, drops, reload, paste, the folder button,
// the status line and the switching of picture-dependent controls.

#include <QCursor>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolButton>

#include "codecs/picture_file.h"
#include "codecs/shell_link.h"
#include "forms/frm_main.h"
#include "forms/work_area_widgets.h"
#include "platform/desktop.h"
#include "platform/paths.h"
#include "platform/qimage_bridge.h"
#include "settings/profile_file.h"
#include "settings/settings_keys.h"

namespace trimlet {

namespace {

constexpr std::int64_t kLargePicturePixels = 10'000'000;

const QString kLargePictureText = QStringLiteral("10Mピクセルを超える画像は処理に失敗する場合があります。");
const QString kPastedName = QStringLiteral("クリップボードからの貼り付け");

std::string toLocalPath(const QString& path) { return QFile::encodeName(path).toStdString(); }
QString fromLocalPath(const std::string& path) { return QFile::decodeName(QByteArray::fromStdString(path)); }

}  // namespace

void TfrmMain::ShowStatus(const QString& text, int kind)
{
    if (kind != statusOnly)
        desktop().message(this, MessageKind(kind), text);
    statusLine_->setText(text);
}

QString TfrmMain::statusText() const { return statusLine_->text(); }


void TfrmMain::SetCurrentFile(const QString& path)
{
    currentFileName_ = path;
    const QString name = path.isEmpty() ? QString() : QFileInfo(path).fileName();
    lblFileNameF->setText(name);
    lblFileNameB->setText(name);
}

void TfrmMain::SetEditingEnabled(bool enabled)
{
    for (QWidget* w : std::initializer_list<QWidget*>{
             btnRevH, btnRevW, btnRotR, btnRotL, btnRot180, btnRotFree, btnCutAndLoad, btnCopy, btnAllCopy,
             btnQuickSave, btnPreview, btnSave, spdTop, spdTopBottom, spdBottom, spdTopBottomCut, spdLeft,
             spdLeftRight, spdRight, spdLeftRightCut, btnBGColor, pnlBGColor})
        w->setEnabled(enabled);
    for (int i = 0; i < 3; ++i) {
        btnTmpSave[i]->setEnabled(enabled);
        btnTmpCutSave[i]->setEnabled(enabled);
    }
    if (enabled)
        UpdateSlotLoadButtons();
    else
        for (QToolButton* b : btnTmpLoad)
            b->setEnabled(false);
    imgSource->setVisible(enabled);
    shpRange->setVisible(enabled);
    lblNotice->setVisible(!enabled);
}

void TfrmMain::UpdateSlotLoadButtons()
{
    for (int i = 0; i < 3; ++i)
        btnTmpLoad[i]->setEnabled(!imgTmpSave[i].isEmpty());
}

void TfrmMain::setEditingPicture(Picture picture)
{
    editing_ = std::move(picture);
    imgSource->setImage(toQImage(editing_.bitmap()));
}

void TfrmMain::showSourceSize()
{
    lblSrcSizeW->setText(QString::number(editing_.width()));
    lblSrcSizeH->setText(QString::number(editing_.height()));
}

void TfrmMain::LoadPictureFile(const QString& requested)
{
    QString path = requested;
    if (QFileInfo(path).suffix().compare(QLatin1String("lnk"), Qt::CaseInsensitive) == 0) {
        path = fromLocalPath(resolveShortcut(toLocalPath(path)));
        if (!path.isEmpty())
            path = fromLocalPath(expandToLongPath(toLocalPath(QFileInfo(path).absoluteFilePath())));
    }

    auto loaded = path.isEmpty() ? Result<Picture>(makeError(ErrorCode::Io, "unresolved shortcut"))
                                 : loadPictureFile(toLocalPath(path));
    if (!loaded) {
        ShowStatus(QFileInfo(path).fileName() + QStringLiteral("は読み込めませんでした。"), skWarning);
        return;
    }

    ShowStatus(QStringLiteral("ファイルドロップ：") + path, statusOnly);
    const bool joining = pcEdit->currentWidget() == tabConcat && !editing_.isEmpty();
    if (!joining || !joinPicture(loaded.value(), mapFromGlobal(QCursor::pos()))) {
        setEditingPicture(std::move(loaded).value());
        SetCurrentFile(path);
    }

    showSourceSize();
    LayoutWorkArea(true, true);
    if (std::int64_t(editing_.width()) * editing_.height() > kLargePicturePixels) {
        ShowStatus(kLargePictureText, statusOnly);
        if (largePictureAnswer_)
            largePictureAnswer_ = desktop().askYesNo(
                this, MessageKind::Warning, kLargePictureText + QStringLiteral("\n\nこの警告を今後も表示しますか？"));
    }
    SetEditingEnabled(true);
    btnReload->setEnabled(true);
}

bool TfrmMain::joinPicture(const Picture& picture, const QPoint& clientPoint)
{
    ConcatenatePicture(picture, clientPoint);
    return true;
}

void TfrmMain::btnOpenClick()
{
    FileDialogRequest request;
    // Until something is saved, an installed copy starts among the user's pictures, never
    // in its own program or cache folder.
    const QString saved = outputPathSetting();
    request.initialFolder = saved.isEmpty() ? QString() : QFileInfo(saved).absolutePath();
    if (request.initialFolder.isEmpty() || !QFileInfo(request.initialFolder).isDir())
        request.initialFolder = fromLocalPath(defaultPictureFolder(executablePath()));
    request.filters = {QStringLiteral("bitmap files (*.bmp)"), QStringLiteral("GIF files (*.gif)"),
                       QStringLiteral("JPEG files (*.jpg *.jpeg)"), QStringLiteral("PNG files (*.png)"),
                       QStringLiteral("すべてのファイル (*)")};
    request.selectedFilter = 2;
    request.defaultSuffix = QStringLiteral("jpg");
    const QString chosen = desktop().openFileName(this, request);
    if (!chosen.isEmpty())
        LoadPictureFile(chosen);
}

void TfrmMain::btnReloadClick() { LoadPictureFile(currentFileName_); }

void TfrmMain::btnPasteClick()
{
    if (!desktop().clipboardHasImage()) {
        ShowStatus(QStringLiteral("クリップボードに画像がありません。"), skInformation);
        return;
    }
    SetCurrentFile(QString());
    btnReload->setEnabled(false);
    lblFileNameF->setText(kPastedName);
    lblFileNameB->setText(kPastedName);
    ShowStatus(kPastedName, statusOnly);

    Bitmap pasted = fromQImage(desktop().clipboardImage());
    if (pasted.empty()) {
        // Announced but unreadable: say so rather than leave the old picture under the new name.
        ShowStatus(QStringLiteral("クリップボードの画像を読み込めませんでした。"), skWarning);
        return;
    }
    setEditingPicture(Picture(std::move(pasted)));
    showSourceSize();
    LayoutWorkArea(true, true);
    SetEditingEnabled(true);
}

void TfrmMain::btnOpenDirClick()
{
    const QString file = currentFileName_.isEmpty() ? outputPathSetting() : currentFileName_;
    const QString folder = file.isEmpty() ? fromLocalPath(defaultPictureFolder(executablePath()))
                                          : QDir::cleanPath(QFileInfo(file).absolutePath());
    if (!QFileInfo(folder).isDir())
        desktop().message(this, MessageKind::Information,
                          QStringLiteral("フォルダ ") + folder + QStringLiteral(" は存在しません。"));
    else if (!desktop().openUrl(QUrl::fromLocalFile(folder)))
        desktop().message(this, MessageKind::Warning,
                          QStringLiteral("フォルダ ") + folder + QStringLiteral(" を開けませんでした。"));
}

QString TfrmMain::outputPathSetting() const
{
    return fromLocalPath(ProfileFile(settingsPath_).readString(keys::outputPath.section, keys::outputPath.key, ""));
}

void TfrmMain::dropFiles(const QStringList& paths, const QPoint& clientPoint)
{
    if (paths.isEmpty() || !rect().contains(clientPoint))
        return;
    activateWindow();
    raise();
    LoadPictureFile(paths.first());
}

namespace {

// Files are only ever read: a drop is taken as a copy, whatever the source proposed, so that
// no file manager deletes the user's file after a "move" onto the window.
bool acceptFilesAsCopy(QDropEvent* event)
{
    if (!event->mimeData()->hasUrls() || !(event->possibleActions() & Qt::CopyAction))
        return false;
    event->setDropAction(Qt::CopyAction);
    event->accept();
    return true;
}

}  // namespace

void TfrmMain::dragEnterEvent(QDragEnterEvent* event)
{
    // Drags of our own are let in and judged at every move: a window that refuses the entry
    // hears nothing more of that drag, not even over the picture.
    if (event->source() == imgSource || slotOfPanel(event->source()))
        event->acceptProposedAction();
    else if (!acceptFilesAsCopy(event))
        event->ignore();
}

void TfrmMain::dragMoveEvent(QDragMoveEvent* event)
{
    if (event->source() != imgSource && !slotOfPanel(event->source()) && acceptFilesAsCopy(event))
        return;
    if (FormDragOver(event->source(), event->position().toPoint()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void TfrmMain::dropEvent(QDropEvent* event)
{
    const QPoint at = event->position().toPoint();
    if (event->source() == imgSource || slotOfPanel(event->source())) {
        if (FormDragOver(event->source(), at)) {
            event->acceptProposedAction();
            FormDragDrop(event->source(), at);
        }
        return;
    }
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile())
            paths << url.toLocalFile();
    if (paths.isEmpty() || !acceptFilesAsCopy(event))
        return;
    dropFiles(paths, at);
}

}  // namespace trimlet
