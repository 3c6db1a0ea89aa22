#include "forms/main/main_files.h"

#include <QCoreApplication>
#include <QDropEvent>
#include <QMimeData>
#include <filesystem>

#include "base/byte_path.h"
#include "codecs/picture_file.h"
#include "codecs/shell_link.h"
#include "forms/widgets/path_text.h"
#include "platform/paths.h"
#include "platform/qimage_bridge.h"
#include "platform/trace.h"

namespace trimlet {

namespace {

bool hasLinkExtension(const std::string& path)
{
    const std::string name = fileNamePart(path);
    const std::size_t dot = name.rfind('.');
    return dot != std::string::npos && QByteArray::fromStdString(name.substr(dot)).toLower() == ".lnk";
}

// A filter of every extension a picture is read by, so that no kind is hidden until the user
// picks its own filter. Dialogs match filters regardless of case, as the loaders do.
QString allPicturesFilter()
{
    QStringList patterns;
    for (const std::string_view extension : pictureExtensions())
        patterns << QStringLiteral("*.") + QLatin1String(extension);
    return QCoreApplication::translate("MainFiles", "すべての画像ファイル (%1)").arg(patterns.join(u' '));
}

}  // namespace

std::string resolvePictureShortcut(const std::string& requested)
{
    if (!hasLinkExtension(requested))
        return requested;
    const std::string target = resolveShortcut(requested);
    return target.empty() ? target : expandToLongPath(absoluteLocalPath(target));
}

FileDialogRequest openPictureRequest(const std::string& lastSaved)
{
    FileDialogRequest request;
    // Until something is saved, an installed copy starts among the user's pictures, never
    // in its own program or cache folder.
    std::string folder = lastSaved.empty() ? std::string() : folderPart(absoluteLocalPath(lastSaved));
    std::error_code ec;
    if (folder.empty() || !std::filesystem::is_directory(folder, ec))
        folder = defaultPictureFolder(executablePath());
    request.initialFolder = displayPath(utf8Ancestor(folder));
    request.filters = {allPicturesFilter(),
                       QStringLiteral("bitmap files (*.bmp)"),
                       QStringLiteral("GIF files (*.gif)"),
                       QStringLiteral("JPEG files (*.jpg *.jpeg)"),
                       QStringLiteral("PNG files (*.png)"),
                       QStringLiteral("WebP files (*.webp)"),
                       QStringLiteral("AVIF files (*.avif)"),
                       QStringLiteral("HEIF files (*.heic *.heif)"),
                       QStringLiteral("TIFF files (*.tif *.tiff)"),
                       QStringLiteral("JPEG XL files (*.jxl)"),
                       QStringLiteral("camera raw files (*.arw *.cr2 *.cr3 *.dng *.nef *.orf *.pef *.raf *.rw2)"),
                       QCoreApplication::translate("MainFiles", "すべてのファイル (*)")};
    request.selectedFilter = 0;
    request.defaultSuffix = QStringLiteral("jpg");
    return request;
}

std::string folderToOpen(const std::string& document, const std::string& lastSaved)
{
    const std::string file = document.empty() ? lastSaved : document;
    return file.empty() ? defaultPictureFolder(executablePath()) : folderPart(absoluteLocalPath(file));
}

bool acceptFilesAsCopy(QDropEvent* event)
{
    if (!event->mimeData()->hasUrls() || !(event->possibleActions() & Qt::CopyAction))
        return false;
    event->setDropAction(Qt::CopyAction);
    event->accept();
    return true;
}

std::vector<std::string> droppedFiles(const QMimeData& data)
{
    std::vector<std::string> paths;
    for (const QUrl& url : data.urls())
        if (std::string path = localPathOfUrl(url); !path.empty())
            paths.push_back(std::move(path));
    return paths;
}

void openFolder(QWidget* parent, const std::string& folder)
{
    std::error_code ec;
    if (!std::filesystem::is_directory(folder, ec))
        desktop().message(
            parent, MessageKind::Information,
            QCoreApplication::translate("MainFiles", "フォルダ %1 は存在しません。").arg(displayPath(folder)));
    else if (!desktop().openUrl(urlOfLocalPath(folder)))
        desktop().message(
            parent, MessageKind::Warning,
            QCoreApplication::translate("MainFiles", "フォルダ %1 を開けませんでした。").arg(displayPath(folder)));
}

void warnOfLargePicture(QWidget* parent, std::int64_t pixels, bool& askAgain,
                        const std::function<void(const QString&)>& status)
{
    if (pixels <= 10'000'000)
        return;
    const QString warning =
        QCoreApplication::translate("trimlet::TfrmMain", "10Mピクセルを超える画像は処理に失敗する場合があります。");
    status(warning);
    if (!askAgain)
        return;
    trace("question-asked");
    const QString question =
        warning + QCoreApplication::translate("trimlet::TfrmMain", "\n\nこの警告を今後も表示しますか？");
    askAgain = desktop().askYesNo(parent, MessageKind::Warning, question, DefaultAnswer::No);
    trace("question-answered");
}

Bitmap pastedPicture(const std::function<void(const QString&, StatusKind)>& status)
{
    if (!desktop().clipboardHasImage()) {
        status(QCoreApplication::translate("trimlet::TfrmMain", "クリップボードに画像がありません。"),
               StatusKind::skInformation);
        return {};
    }
    Bitmap pasted = fromQImage(desktop().clipboardImage());
    if (pasted.empty())
        status(QCoreApplication::translate("trimlet::TfrmMain", "クリップボードの画像を読み込めませんでした。"),
               StatusKind::skWarning);
    return pasted;
}

}  // namespace trimlet
