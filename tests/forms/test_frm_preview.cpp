#include <QtTest>

#include <QButtonGroup>
#include <QCheckBox>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSlider>
#include <QTimer>
#include <csignal>
#include <filesystem>
#include <sys/mount.h>
#include <sys/resource.h>
#include <unistd.h>

#include "codecs/picture_file.h"
#include "codecs/webp.h"
#include "forms/preview/frm_preview.h"
#include "platform/qimage_bridge.h"
#include "settings/profile_file.h"
#include "tests/forms/fake_desktop.h"
#include "tests/forms/test_main_window.h"

using namespace trimlet;
namespace fs = std::filesystem;

namespace {

const QString kMessage4 =
    QStringLiteral(" の保存に失敗しました。\nディスクの空き容量が充分かどうかを確認してください。");

// The main window and its preview, whose temporary JPEG lives in a folder of its own.
struct Session : test::MainWithPreview {
    test::TempDir dir;
    Bitmap bitmap;

    Session() { frm.show(); }
    // Loads a generated picture as the PNG document dir/name.
    std::string load(const std::string& name, int w = 50, int h = 40)
    {
        const std::string path = dir.file(name);
        fs::create_directories(fs::path(path).parent_path());
        if (!toQImage(test::photoLike(w, h)).save(QString::fromStdString(path), "PNG"))
            qFatal("cannot write %s", path.c_str());
        frm.LoadPictureFile(QString::fromStdString(path));
        bitmap = frm.editingPicture().bitmap();
        return path;
    }
    void paste(const Bitmap& picture)
    {
        fake.clipboard = toQImage(picture);
        frm.btnPasteClick();
        bitmap = picture;
    }
    // The whole picture through a hidden mode, or shown as a preview (not run modally).
    void run(OutputMode mode)
    {
        preview.setCutResult(Picture(bitmap), test::outputCommands(frm).options());
        preview.outputMode = mode;
        if (mode != OutputMode::Preview)
            return preview.FormShow();
        preview.hide();
        preview.show();
    }
    std::string outputPath() const { return ProfileFile(frm.settingsPath()).readString("output", "path", "(none)"); }
    QString lastMessage() const { return fake.messages.empty() ? QString() : fake.messages.back().text; }
    std::vector<std::uint8_t> tempBytes() const { return test::readBytes(preview.tempJpeg()); }
};

// The preview on its own: options given as values, and what it reports spied on and recorded
// in the order it came.
struct Alone {
    test::FakeDesktop fake;
    test::TempDir dir;
    test::TempDir tempDir;
    TfrmPreview preview;
    Bitmap bitmap = test::photoLike(48, 36, 5);
    QSignalSpy statusSpy{&preview, &TfrmPreview::statusChanged};
    QSignalSpy savedSpy{&preview, &TfrmPreview::saved};
    QSignalSpy copiedSpy{&preview, &TfrmPreview::copied};
    QStringList reports;

    Alone()
    {
        preview.setTempJpeg(tempDir.file("trimlet.jpg"));
        QObject::connect(&preview, &TfrmPreview::statusChanged, [this](const QString& text) { reports << text; });
        QObject::connect(&preview, &TfrmPreview::saved, [this](const std::string& path) {
            reports << QStringLiteral("saved ") + QString::fromStdString(path);
        });
        QObject::connect(&preview, &TfrmPreview::copied, [this] { reports << QStringLiteral("copied"); });
    }
    OutputOptions document(const std::string& name) const
    {
        OutputOptions options;
        options.documentPath = dir.file(name);
        options.documentName = QString::fromStdString(options.documentPath);
        return options;
    }
    void run(OutputMode mode, OutputOptions options, const QString& cutCommand = {})
    {
        preview.setCutResult(Picture(bitmap), std::move(options), cutCommand);
        preview.outputMode = mode;
        if (mode != OutputMode::Preview)
            return preview.FormShow();
        preview.hide();
        preview.show();
    }
    std::string savedPath(int i) const { return savedSpy.at(i).at(0).value<std::string>(); }
};

}  // namespace

class FrmPreviewTest : public QObject {
    Q_OBJECT
private slots:
    void serialSavesFillGapsAndFollowTheOptions();
    void pastedPictureSavesUnderTheLastOutputPath();
    void saveAsOntoTheTemporaryFileIsRefused();
    void previewShowsSizeQualityAndKilobytes();
    void largePreviewFitsTheScreenAndScrolls();
    void copyPutsTheUncompressedResultOnTheClipboard();
    void failedWritesLeaveNoFileAndKeepTheWindowUsable();
    void existingFilesAreReplacedOnlyAfterTheQuestion();
    void unwritableTemporaryLocationAbortsTheBuild();
    void freeSpaceBelowTheDocumentSizeWarns();
    void uncompressedViewShowsTheCurrentCut();
    void failedBuildsSayWhyAndClearTheSavedReport();
    void pictureTooLargeForJpegPointsToBmp();
    void webpPreviewShowsAndSavesTheMeasuredBytes();
    void pngPreviewShowsTheExactSizeOfTheLosslessFile();
    void kilobytesShownAreTheOutputJobs();
    void saveAsOffersTheChosenFormat();
    void pictureTooWideForWebpPointsToPng();
    void aFullDiskFailsInWords();
    void aRefusedFolderAndALongNameFailInTheirOwnWords();
    void aloneItWritesWithTheQualityFormatAndTailGiven();
    void aloneAPictureWithoutFileIsNamedAfterTheLastOutput();
    void aloneCopiesAndReportsInOrder();
    void aloneFailuresReachTheStatusLine();
};

void FrmPreviewTest::serialSavesFillGapsAndFollowTheOptions()
{
    Session s;
    s.load("cat.png");
    const std::string cat1 = s.dir.file("cat(1).jpg");
    s.frm.btnQuickSave->click();
    QCOMPARE(s.frm.statusText(), QString::fromStdString(cat1) + QStringLiteral(" を保存しました。"));
    QCOMPARE(s.outputPath(), cat1);
    // Byte for byte the file the preview measured.
    QCOMPARE(test::readBytes(cat1), s.tempBytes());
    QVERIFY(
        test::lastOutput(s.frm).sizeText().endsWith(QStringLiteral("%1kB").arg((s.tempBytes().size() + 1023) / 1024)));
    // A direct save opens no window.
    QVERIFY(!s.preview.isVisible());

    s.frm.btnQuickSave->click();
    QCOMPARE(s.outputPath(), s.dir.file("cat(2).jpg"));
    fs::remove(cat1);
    s.frm.btnQuickSave->click();
    QCOMPARE(s.outputPath(), cat1);
    s.frm.rdgpTailItems->button(1)->click();
    s.frm.btnQuickSave->click();
    s.frm.rdgpTailItems->button(0)->click();
    s.frm.rdgpFormatItems->button(1)->click();
    s.frm.btnQuickSave->click();
    QVERIFY(loadPictureAsStored(s.dir.file("cat(1).bmp")).value().bitmap() == s.bitmap);
    QCOMPARE(test::entryNames(s.dir.path()),
             (std::vector<std::string>{"cat(1).bmp", "cat(1).jpg", "cat(2).jpg", "cat-1.jpg", "cat.png"}));
    QVERIFY(s.fake.messages.empty() && s.fake.fileDialogs.empty());
}

void FrmPreviewTest::pastedPictureSavesUnderTheLastOutputPath()
{
    Session s;
    s.load("out/cat.png");
    s.frm.btnQuickSave->click();
    s.paste(test::photoLike(20, 30, 7));
    const std::string chosen = s.dir.file("chosen.jpg");
    s.fake.fileAnswers = {QString::fromStdString(chosen)};
    s.frm.btnQuickSave->click();
    const FileDialogRequest r = s.fake.fileDialogs.at(0);
    QCOMPARE(r.initialFolder, QString::fromStdString(s.dir.file("out")));
    QCOMPARE(r.fileName, QStringLiteral("cat(1)(1).jpg"));
    QCOMPARE(r.filters, QStringList{QStringLiteral("JPEG files (*.jpg)")});
    QCOMPARE(r.defaultSuffix, QStringLiteral("jpg"));
    QVERIFY(r.confirmOverwrite && r.requireExistingFolder);
    QCOMPARE(test::readBytes(chosen), s.tempBytes());

    // Cancelled: nothing written, the output path stays.
    s.frm.rdgpFormatItems->button(1)->click();
    s.frm.btnQuickSave->click();
    QCOMPARE(s.fake.fileDialogs.back().fileName, QStringLiteral("chosen(1).bmp"));
    QCOMPARE(s.fake.fileDialogs.back().filters, QStringList{QStringLiteral("Bitmap files (*.bmp)")});
    QCOMPARE(s.outputPath(), chosen);

    // The menu's 保存 saves at once under the automatic name, although btnSave is off.
    s.run(OutputMode::Preview);
    QVERIFY(!s.preview.btnSave->isEnabled());
    QCOMPARE(s.preview.focusWidget(), s.preview.btnSaveAs);
    s.preview.popitemSave->trigger();
    QVERIFY(loadPictureAsStored(s.dir.file("chosen(1).bmp")).value().bitmap() == s.bitmap);
    QVERIFY(!s.preview.isVisible());
    QCOMPARE(s.preview.result(), int(QDialog::Accepted));
    QCOMPARE(s.fake.fileDialogs.size(), std::size_t(2));
}

void FrmPreviewTest::saveAsOntoTheTemporaryFileIsRefused()
{
    Session s;
    s.load("cat.png");
    s.run(OutputMode::Preview);
    const auto before = s.tempBytes();
    for (const std::string& name : {s.preview.tempJpeg(), s.tempDir.path() + "/./trimlet.jpg"}) {
        s.fake.fileAnswers = {QString::fromStdString(name)};
        s.preview.btnSaveAs->click();
        QCOMPARE(s.fake.messages.back().kind, MessageKind::Information);
        QCOMPARE(s.lastMessage(), QStringLiteral("ファイル ") + QString::fromStdString(name) +
                                      QStringLiteral(" は trimletが使用中です。\n別のファイル名を指定してください。"));
        QVERIFY(s.preview.isVisible() && s.preview.btnSaveAs->isEnabled());
    }
    QCOMPARE(s.tempBytes(), before);
    QCOMPARE(test::entryNames(s.tempDir.path()), std::vector<std::string>{"trimlet.jpg"});
    QCOMPARE(test::entryNames(s.dir.path()), std::vector<std::string>{"cat.png"});
    QCOMPARE(s.outputPath(), std::string("(none)"));
}

void FrmPreviewTest::previewShowsSizeQualityAndKilobytes()
{
    Session s;
    s.load("dot.png", 1, 1);
    s.frm.tbarQual->setValue(90);
    s.run(OutputMode::Preview);
    TfrmPreview& p = s.preview;
    QCOMPARE(p.statusText(), QStringLiteral(" 横1ピクセル×縦1ピクセル　画質:90　ファイルサイズ:1kB"));
    QVERIFY(p.imgPreview->isVisible() && !p.imgCutSrc->isVisible() && p.chkCutSrc->isEnabled());
    QCOMPARE(p.focusWidget(), p.btnSave);
    QCOMPARE(p.previewPicture().fileBytes(), s.tempBytes());
    // The commands' icons, read at the first showing rather than at start.
    for (const QPushButton* b : {p.btnSave, p.btnSaveAs, p.btnCopy, p.btnCancel})
        QVERIFY2(!b->icon().isNull(), qPrintable(b->objectName()));
    for (const QAction* item : {p.popitemSave, p.popitemSaveAs, p.popitemCopy})
        QVERIFY2(!item->icon().isNull(), qPrintable(item->objectName()));
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    QCOMPARE(QRect(p.pos(), p.size()), QRect((screen.width() - 560) / 2, (screen.height() - 360) / 2, 560, 360));
    p.chkCutSrc->click();
    QVERIFY(p.imgCutSrc->isVisible() && !p.imgPreview->isVisible());
    QVERIFY(fromQImage(p.imgCutSrc->pixmap().toImage()) == s.bitmap);
    s.run(OutputMode::Preview);  // every build starts from the compressed view
    QVERIFY(!p.chkCutSrc->isChecked() && p.imgPreview->isVisible());

    s.load("cat.png", 33, 17);
    s.frm.rdgpFormatItems->button(1)->click();
    s.run(OutputMode::Preview);
    QCOMPARE(p.statusText(), QStringLiteral(" 横33ピクセル×縦17ピクセル"));
    QVERIFY(p.imgCutSrc->isVisible() && !p.imgPreview->isVisible() && !p.chkCutSrc->isEnabled());
    QVERIFY(fromQImage(p.imgCutSrc->pixmap().toImage()) == s.bitmap);
}

void FrmPreviewTest::largePreviewFitsTheScreenAndScrolls()
{
    Session s;
    s.load("big.png", 2000, 1500);
    s.run(OutputMode::Preview);
    TfrmPreview& p = s.preview;
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    QCOMPARE(QRect(p.pos(), p.size()), QRect(0, 42, screen.width(), screen.height() - 84));

    QScrollBar* h = p.sbImgScroll->horizontalScrollBar();
    QScrollBar* v = p.sbImgScroll->verticalScrollBar();
    QLabel* image = p.imgPreview;
    auto moveTo = [&](QPoint at) {
        QMouseEvent move(QEvent::MouseMove, QPointF(at), image->mapToGlobal(QPointF(at)), Qt::NoButton, Qt::LeftButton,
                         {});
        QApplication::sendEvent(image, &move);
    };
    QTest::mousePress(image, Qt::LeftButton, {}, QPoint(300, 200));
    moveTo(QPoint(240, 170));  // the picture follows the mouse
    QCOMPARE(QPoint(h->value(), v->value()), QPoint(60, 30));
    moveTo(QPoint(900, 900));  // beyond the top-left edge: stops at 0
    QCOMPARE(QPoint(h->value(), v->value()), QPoint(0, 0));
    QTest::mouseRelease(image, Qt::LeftButton, {}, QPoint(900, 900));
    QVERIFY(!p.dragging);

    auto wheel = [&](int delta, QWidget* over) {
        QWheelEvent e(QPointF(5, 5), over->mapToGlobal(QPointF(5, 5)), {}, QPoint(0, delta), Qt::NoButton, {},
                      Qt::NoScrollPhase, false);
        QApplication::sendEvent(over, &e);
    };
    wheel(-120, image);
    wheel(-120, p.sbImgScroll->viewport());
    wheel(60, image);  // half a notch does not scroll yet
    QCOMPARE(v->value(), 16);
    wheel(60, image);
    wheel(-120, p.btnSave);  // outside the scroll box
    QCOMPARE(v->value(), 8);
    QTest::mouseClick(image, Qt::RightButton, {}, QPoint(10, 10));
    QVERIFY(p.popPreview->isVisible());
    p.popPreview->close();
}

void FrmPreviewTest::copyPutsTheUncompressedResultOnTheClipboard()
{
    Session s;
    s.load("cat.png", 64, 48);
    s.frm.tbarQual->setValue(20);
    s.run(OutputMode::Copy);
    QVERIFY(fromQImage(s.fake.clipboard) == s.bitmap);  // not the JPEG-decoded picture
    QCOMPARE(s.frm.statusText(), QStringLiteral("画像の枠内をクリップボードにコピー"));
    QCOMPARE(ProfileFile(s.frm.settingsPath()).readInt("jpeg", "quality", 0), 20);

    // A refused clipboard is not reported as a copy, from the preview or from 枠内コピー.
    s.fake.clipboardRefuses = true;
    const QString refused = QStringLiteral("クリップボードにコピーできませんでした。");
    s.run(OutputMode::Preview);
    s.preview.btnCopy->click();
    QCOMPARE(s.fake.messages.size(), std::size_t(1));
    QCOMPARE(s.lastMessage(), refused);
    QCOMPARE(s.frm.statusText(), refused);
    QVERIFY(s.preview.isVisible() && s.preview.btnCopy->isEnabled());
    s.preview.hide();
    s.frm.ShowStatus(QStringLiteral("-"), StatusKind::statusOnly);
    s.run(OutputMode::Copy);
    QCOMPARE(s.fake.messages.size(), std::size_t(2));
    QCOMPARE(s.fake.messages.back().kind, MessageKind::Error);
    QCOMPARE(s.frm.statusText(), refused);
    s.frm.btnAllCopy->click();
    QCOMPARE(s.lastMessage(), refused);
}

void FrmPreviewTest::failedWritesLeaveNoFileAndKeepTheWindowUsable()
{
    Session s;
    const std::string folder = fs::path(s.load("photos/cat.png", 200, 150)).parent_path();

    // The document's folder removed between preview and save, for either format: the cause named.
    for (int format : {1, 0}) {
        s.frm.rdgpFormatItems->button(format)->click();
        s.run(OutputMode::Preview);
        fs::remove_all(folder);
        s.preview.btnSave->click();
        QCOMPARE(s.fake.messages.back().kind, MessageKind::Error);
        QCOMPARE(s.lastMessage(),
                 QString::fromStdString("ファイル " + folder + (format ? "/cat(1).bmp" : "/cat(1).jpg")) +
                     QStringLiteral(" を保存できませんでした。\n保存先のフォルダがありません。"));
        QVERIFY(s.frm.statusText().endsWith(QStringLiteral(" を保存できませんでした。")));
        QVERIFY(s.preview.isVisible() && s.preview.btnSave->isEnabled() && s.preview.btnCancel->isEnabled());
        QVERIFY(!fs::exists(folder));
        fs::create_directories(folder);
    }

    // Folders that refuse writing; a path through a regular file refuses even root.
    test::writeBytes(s.dir.file("plain"), {'x'});
    std::vector<std::string> refusing{s.dir.file("plain/cut.jpg")};
    if (::geteuid() != 0) {
        fs::create_directories(s.dir.file("locked"));
        fs::permissions(s.dir.file("locked"), fs::perms::owner_read | fs::perms::owner_exec);
        refusing.push_back(s.dir.file("locked/cut.jpg"));
    }
    for (const std::string& target : refusing) {
        s.fake.fileAnswers = {QString::fromStdString(target)};
        s.preview.btnSaveAs->click();
        // A locked folder says so; a path through a file is no cause the system names.
        const QString why = target.find("locked") != std::string::npos
                                ? QStringLiteral(" を保存できませんでした。\nフォルダに書き込む権限がありません。")
                                : kMessage4;
        QCOMPARE(s.lastMessage(), QString::fromStdString("ファイル " + target) + why);
    }

    // A disk that fills up during the write leaves no truncated picture, not even a hidden one.
    test::withFileSizeLimit(1000, [&] { s.preview.btnSave->click(); });
    QCOMPARE(s.lastMessage(), QString::fromStdString("ファイル " + folder + "/cat(1).jpg") + kMessage4);
    QCOMPARE(test::entryNames(folder), std::vector<std::string>{});
    QCOMPARE(test::entryNames(s.tempDir.path()), std::vector<std::string>{"trimlet.jpg"});
    QCOMPARE(s.outputPath(), std::string("(none)"));
    s.preview.btnSave->click();  // the same window then saves
    QCOMPARE(test::readBytes(folder + "/cat(1).jpg"), s.tempBytes());
}

void FrmPreviewTest::existingFilesAreReplacedOnlyAfterTheQuestion()
{
    Session s;
    s.load("cat.png");
    const std::string cat1 = s.dir.file("cat(1).jpg");
    const std::vector<std::uint8_t> mine{'m', 'i', 'n', 'e'};
    test::writeBytes(cat1, mine);
    fs::create_directory(s.dir.file("cat(2).jpg"));
    s.run(OutputMode::Save);  // whatever holds a serial name, even a folder, is skipped
    QCOMPARE(test::readBytes(cat1), mine);
    QVERIFY(test::fileExists(s.dir.file("cat(3).jpg")));

    // Replacing is left to a name from the dialog, which asks first; a failure keeps the old file.
    s.run(OutputMode::Preview);
    s.fake.fileAnswers = {QString::fromStdString(cat1)};
    test::withFileSizeLimit(100, [&] { s.preview.btnSaveAs->click(); });
    QVERIFY(s.fake.fileDialogs.back().confirmOverwrite);
    QVERIFY(s.lastMessage().endsWith(kMessage4));
    QCOMPARE(test::readBytes(cat1), mine);
    s.fake.fileAnswers = {QString::fromStdString(cat1)};
    s.preview.btnSaveAs->click();
    QCOMPARE(test::readBytes(cat1), s.tempBytes());
}

void FrmPreviewTest::unwritableTemporaryLocationAbortsTheBuild()
{
    Session s;
    s.load("cat.png");
    s.run(OutputMode::Preview);  // a good build first: its picture must not be saved later
    test::writeBytes(s.dir.file("plain"), {'x'});
    s.preview.setTempJpeg(s.dir.file("plain/trimlet.jpg"));
    const QString said = QStringLiteral("一時ファイル ") + QString::fromStdString(s.dir.file("plain/trimlet.jpg")) +
                         QStringLiteral(" を書き込めませんでした。");
    for (OutputMode mode : {OutputMode::Save, OutputMode::Copy}) {
        s.frm.ShowStatus(QStringLiteral("-"), StatusKind::statusOnly);
        s.run(mode);
        QCOMPARE(s.preview.statusText(), QStringLiteral("エラーによる中断"));
        QVERIFY(s.preview.tmrClose->isActive());
        QVERIFY(!s.preview.btnSaveAs->isEnabled() && !s.preview.btnCopy->isEnabled());
        QCOMPARE(s.fake.messages.back().kind, MessageKind::Error);
        QVERIFY(s.lastMessage().startsWith(said + QLatin1Char('\n')));
        QCOMPARE(s.frm.statusText(), said);
    }
    QVERIFY(s.fake.clipboard.isNull());
    // A cut to go on editing needs no JPEG and reports nothing.
    s.fake.messages.clear();
    s.run(OutputMode::CutOnly);
    QVERIFY(s.fake.messages.empty());

    // The menu, which is never disabled, finds nothing to save after a failed build.
    s.preview.popitemSave->trigger();
    QCOMPARE(s.lastMessage(), QStringLiteral("画像がありません。"));
    QCOMPARE(s.frm.statusText(), QStringLiteral("画像がありません。"));
    QCOMPARE(test::entryNames(s.dir.path()), (std::vector<std::string>{"cat.png", "plain"}));
    s.run(OutputMode::Preview);  // a shown preview closes itself shortly after
    QTRY_VERIFY(!s.preview.isVisible());
}

void FrmPreviewTest::freeSpaceBelowTheDocumentSizeWarns()
{
    Session s;
    const auto size = fs::file_size(s.load("cat.png"));
    const QString folder = QString::fromStdString(s.tempDir.path());
    s.fake.freeBytes = size - 1;
    s.run(OutputMode::Save);
    QCOMPARE(s.fake.freeSpaceFolders.back(), folder);
    QCOMPARE(s.fake.messages.back().kind, MessageKind::Warning);
    QCOMPARE(s.lastMessage(), QStringLiteral("ドライブ") + folder +
                                  QStringLiteral("の空き容量が充分でありません。\n作業を中断します。"));
    QCOMPARE(s.preview.statusText(), QStringLiteral("エラーによる中断"));
    QCOMPARE(test::entryNames(s.dir.path()), std::vector<std::string>{"cat.png"});
    s.fake.freeBytes = size;
    s.run(OutputMode::Save);
    QVERIFY(test::fileExists(s.dir.file("cat(1).jpg")));

    // Without a document file there is nothing to compare with.
    s.fake.freeBytes = 0;
    s.paste(test::photoLike(8, 8));
    s.fake.fileAnswers = {QString::fromStdString(s.dir.file("pasted.jpg"))};
    s.run(OutputMode::Save);
    QVERIFY(test::fileExists(s.dir.file("pasted.jpg")));
    QCOMPARE(s.fake.messages.size(), std::size_t(1));
}

void FrmPreviewTest::uncompressedViewShowsTheCurrentCut()
{
    Session s;
    TfrmPreview& p = s.preview;
    // A BMP preview first: its picture must not stand in for the next cut.
    s.load("old.png", 30, 20);
    s.frm.rdgpFormatItems->button(1)->click();
    s.run(OutputMode::Preview);
    s.frm.rdgpFormatItems->button(0)->click();
    s.load("new.png", 40, 25);
    s.run(OutputMode::Preview);
    p.chkCutSrc->click();
    QVERIFY(p.imgCutSrc->isVisible());
    QCOMPARE(p.imgCutSrc->size(), QSize(40, 25));
    QVERIFY(fromQImage(p.imgCutSrc->pixmap().toImage()) == s.bitmap);
    p.chkCutSrc->click();
    QVERIFY(p.imgPreview->isVisible() && !p.imgCutSrc->isVisible());
    QVERIFY(fromQImage(p.imgPreview->pixmap().toImage()) == p.previewPicture().bitmap());
}

void FrmPreviewTest::failedBuildsSayWhyAndClearTheSavedReport()
{
    Session s;
    s.load("cat.png", 300, 200);
    s.frm.btnQuickSave->click();
    QVERIFY(s.frm.statusText().endsWith(QStringLiteral(" を保存しました。")));
    // The disk fills up while the JPEG is written: the save fails in words, not silently.
    test::withFileSizeLimit(1000, [&] { s.frm.btnQuickSave->click(); });
    QCOMPARE(s.fake.messages.size(), std::size_t(1));
    QCOMPARE(s.fake.messages.back().kind, MessageKind::Error);
    const QString said = QStringLiteral("一時ファイル ") + QString::fromStdString(s.preview.tempJpeg()) +
                         QStringLiteral(" を書き込めませんでした。");
    QCOMPARE(s.lastMessage(), said + QStringLiteral("\n書き込みの権限とディスクの空き容量を確認してください。"));
    QCOMPARE(s.frm.statusText(), said);
    QCOMPARE(test::entryNames(s.dir.path()), (std::vector<std::string>{"cat(1).jpg", "cat.png"}));

    // The preview itself says so too, instead of flashing by.
    s.fake.messages.clear();
    test::withFileSizeLimit(1000, [&] { s.run(OutputMode::Preview); });
    QCOMPARE(s.fake.messages.size(), std::size_t(1));
    QCOMPARE(s.frm.statusText(), said);
    QTRY_VERIFY(!s.preview.isVisible());

    // The disk-space warning also replaces the report of the last save.
    s.frm.btnQuickSave->click();
    s.fake.freeBytes = 0;
    s.frm.btnQuickSave->click();
    QVERIFY(s.frm.statusText().endsWith(QStringLiteral("の空き容量が充分でありません。")));
}

void FrmPreviewTest::pictureTooLargeForJpegPointsToBmp()
{
    Session s;
    s.load("strip.png", 20, 2);
    s.bitmap = test::photoLike(65501, 2);
    s.frm.ShowStatus(QStringLiteral("-"), StatusKind::statusOnly);
    s.run(OutputMode::Save);
    const QString said = QStringLiteral(
        "横65501×縦2ピクセルの画像はJPEGで保存できません（JPEGは一辺65500ピクセルまで）。"
        "保存形式をBMPにしてください。");
    QCOMPARE(s.lastMessage(), said);
    QCOMPARE(s.frm.statusText(), said);
    QCOMPARE(test::entryNames(s.dir.path()), std::vector<std::string>{"strip.png"});
    // As BMP it saves.
    s.frm.rdgpFormatItems->button(1)->click();
    s.run(OutputMode::Save);
    QVERIFY(loadPictureAsStored(s.dir.file("strip(1).bmp")).value().bitmap() == s.bitmap);
    QCOMPARE(s.fake.messages.size(), std::size_t(1));
}

QString kilobytesOf(const std::vector<std::uint8_t>& bytes)
{
    return QStringLiteral("ファイルサイズ:%1kB").arg((bytes.size() + 1023) / 1024);
}

void FrmPreviewTest::webpPreviewShowsAndSavesTheMeasuredBytes()
{
    Session s;
    s.load("cat.png", 300, 200);
    s.frm.tbarQual->setValue(70);
    s.frm.rdgpFormatItems->button(3)->click();
    s.run(OutputMode::Preview);
    TfrmPreview& p = s.preview;
    const std::vector<std::uint8_t> measured = p.outputBytes();
    QVERIFY(measured.size() > 1024);
    QCOMPARE(p.statusText(), QStringLiteral(" 横300ピクセル×縦200ピクセル　画質:70　") + kilobytesOf(measured));
    // What is shown is what the bytes decode to; the uncompressed cut is one click away.
    QVERIFY(p.imgPreview->isVisible() && !p.imgCutSrc->isVisible() && p.chkCutSrc->isEnabled());
    QVERIFY(p.previewPicture().bitmap() == decodeWebp(measured).value().bitmap);
    QVERIFY(fromQImage(p.imgPreview->pixmap().toImage()) == p.previewPicture().bitmap());
    QVERIFY(p.previewPicture().bitmap() != s.bitmap);
    p.chkCutSrc->click();
    QVERIFY(fromQImage(p.imgCutSrc->pixmap().toImage()) == s.bitmap);

    p.btnSave->click();
    QCOMPARE(test::readBytes(s.dir.file("cat(1).webp")), measured);
    QCOMPARE(s.frm.statusText(),
             QString::fromStdString(s.dir.file("cat(1).webp")) + QStringLiteral(" を保存しました。"));
    // Another quality is another file.
    s.frm.tbarQual->setValue(20);
    s.run(OutputMode::Save);
    QVERIFY(test::readBytes(s.dir.file("cat(2).webp")).size() < measured.size());
    QVERIFY(s.fake.messages.empty());
}

void FrmPreviewTest::pngPreviewShowsTheExactSizeOfTheLosslessFile()
{
    Session s;
    s.load("cat.png", 120, 90);
    s.frm.rdgpFormatItems->button(2)->click();
    s.frm.rdgpTailItems->button(1)->click();
    s.run(OutputMode::Preview);
    TfrmPreview& p = s.preview;
    const std::vector<std::uint8_t> measured = p.outputBytes();
    QCOMPARE(p.statusText(), QStringLiteral(" 横120ピクセル×縦90ピクセル　") + kilobytesOf(measured));
    QVERIFY(p.imgCutSrc->isVisible() && !p.imgPreview->isVisible() && !p.chkCutSrc->isEnabled());
    QVERIFY(fromQImage(p.imgCutSrc->pixmap().toImage()) == s.bitmap);
    p.btnSave->click();
    QCOMPARE(test::readBytes(s.dir.file("cat-1.png")), measured);
    QVERIFY(loadPictureAsStored(s.dir.file("cat-1.png")).value().bitmap() == s.bitmap);

    // Back to BMP: no file size, as before.
    s.frm.rdgpFormatItems->button(1)->click();
    s.run(OutputMode::Preview);
    QCOMPARE(p.statusText(), QStringLiteral(" 横120ピクセル×縦90ピクセル"));
    QVERIFY(s.fake.messages.empty());
}

void FrmPreviewTest::kilobytesShownAreTheOutputJobs()
{
    // A PNG a few bytes past a whole kB, where a rounding a little short shows one kB less; the
    // main window's live size counts with the same function.
    Alone a;
    std::uint64_t size = 0;
    for (int w = 16; w < 2000 && (size % 1024 == 0 || size % 1024 > 16); ++w) {
        a.bitmap = test::photoLike(w, 30);
        size = encodeOutput(a.bitmap, OutputFormat::Png, 0).value().size();
    }
    QVERIFY(size % 1024 != 0 && size % 1024 <= 16);
    OutputOptions options = a.document("cat.png");
    options.format = OutputFormat::Png;
    a.run(OutputMode::Preview, options);
    QCOMPARE(std::uint64_t(a.preview.outputBytes().size()), size);
    QCOMPARE(trimlet::kilobytesOf(size), size / 1024 + 1);
    QCOMPARE(
        a.preview.statusText(),
        QStringLiteral(" 横%1ピクセル×縦30ピクセル　ファイルサイズ:%2kB").arg(a.bitmap.width()).arg(size / 1024 + 1));
}

void FrmPreviewTest::saveAsOffersTheChosenFormat()
{
    Session s;
    s.load("cat.png", 30, 20);
    const struct {
        int item;
        QString filter, suffix;
        std::string proposed;
    } cases[] = {{0, QStringLiteral("JPEG files (*.jpg)"), QStringLiteral("jpg"), "cat(1).jpg"},
                 {1, QStringLiteral("Bitmap files (*.bmp)"), QStringLiteral("bmp"), "cat(1).bmp"},
                 {2, QStringLiteral("PNG files (*.png)"), QStringLiteral("png"), "cat(1).png"},
                 {3, QStringLiteral("WebP files (*.webp)"), QStringLiteral("webp"), "cat(1).webp"}};
    for (const auto& c : cases) {
        s.frm.rdgpFormatItems->button(c.item)->click();
        s.run(OutputMode::Preview);
        const std::string chosen = s.dir.file("chosen" + std::to_string(c.item) + "." + c.suffix.toStdString());
        s.fake.fileAnswers = {QString::fromStdString(chosen)};
        s.preview.btnSaveAs->click();
        const FileDialogRequest& asked = s.fake.fileDialogs.back();
        QCOMPARE(asked.filters, QStringList{c.filter});
        QCOMPARE(asked.defaultSuffix, c.suffix);
        QCOMPARE(asked.fileName, QString::fromStdString(c.proposed));
        auto saved = loadPictureAsStored(chosen);
        if (c.item == 0 || c.item == 3)  // lossy: the file holds the measured bytes
            QVERIFY(test::readBytes(chosen) == s.preview.outputBytes());
        else
            QVERIFY(saved && saved.value().bitmap() == s.bitmap);
    }
}

void FrmPreviewTest::pictureTooWideForWebpPointsToPng()
{
    Session s;
    s.load("strip.png", 20, 2);
    s.bitmap = test::photoLike(16384, 2);
    s.frm.rdgpFormatItems->button(3)->click();
    s.frm.ShowStatus(QStringLiteral("-"), StatusKind::statusOnly);
    s.run(OutputMode::Save);
    const QString said = QStringLiteral(
        "横16384×縦2ピクセルの画像はWebPで保存できません（WebPは一辺16383ピクセルまで）。"
        "保存形式をPNGにしてください。");
    QCOMPARE(s.lastMessage(), said);
    QCOMPARE(s.frm.statusText(), said);
    QCOMPARE(test::entryNames(s.dir.path()), std::vector<std::string>{"strip.png"});
    s.frm.rdgpFormatItems->button(2)->click();
    s.run(OutputMode::Save);
    QVERIFY(loadPictureAsStored(s.dir.file("strip(1).png")).value().bitmap() == s.bitmap);
}

void FrmPreviewTest::aFullDiskFailsInWords()
{
    Session s;
    const std::string small = s.dir.file("small");
    fs::create_directories(small);
    if (::geteuid() != 0 || ::mount("tmpfs", small.c_str(), "tmpfs", 0, "size=64k") != 0)
        QSKIP("mounting a small file system needs root");
    struct Unmount {
        std::string path;
        ~Unmount() { ::umount2(path.c_str(), MNT_DETACH); }
    } unmount{small};

    // The temporary JPEG on a disk too small for it.
    s.load("cat.png", 400, 300);
    s.frm.tbarQual->setValue(100);
    s.preview.setTempJpeg(small + "/trimlet.jpg");
    s.frm.btnQuickSave->click();
    const QString said = QStringLiteral("一時ファイル ") + QString::fromStdString(small + "/trimlet.jpg") +
                         QStringLiteral(" を書き込めませんでした。");
    QCOMPARE(s.frm.statusText(), said);
    QCOMPARE(s.fake.messages.size(), std::size_t(1));
    QCOMPARE(test::entryNames(small), std::vector<std::string>{});

    // The document's folder fills up: the JPEG is built elsewhere, the save itself fails.
    s.preview.setTempJpeg(s.tempDir.file("trimlet.jpg"));
    s.load("small/dog.png", 60, 40);
    test::writeBytes(small + "/filler", std::vector<std::uint8_t>(fs::space(small).available, 'x'));
    s.frm.btnQuickSave->click();
    QCOMPARE(s.lastMessage(), QString::fromStdString("ファイル " + small + "/dog(1).jpg") + kMessage4);
    QCOMPARE(s.frm.statusText(),
             QString::fromStdString("ファイル " + small + "/dog(1).jpg") + QStringLiteral(" の保存に失敗しました。"));
    QCOMPARE(test::entryNames(small), (std::vector<std::string>{"dog.png", "filler"}));
}

void FrmPreviewTest::aRefusedFolderAndALongNameFailInTheirOwnWords()
{
    Session s;
    const std::string folder = fs::path(s.load("ro/cat.png")).parent_path();
    {
        const test::ReadOnlyFolder readOnly(folder);
        if (!readOnly.ok())
            QSKIP("cannot make a read-only folder here");
        s.frm.btnQuickSave->click();
        const QString target = QString::fromStdString("ファイル " + folder + "/cat(1).jpg");
        QCOMPARE(s.fake.messages.back().kind, MessageKind::Error);
        QCOMPARE(s.lastMessage(),
                 target + QStringLiteral(" を保存できませんでした。\nフォルダに書き込む権限がありません。"));
        QCOMPARE(s.frm.statusText(), target + QStringLiteral(" を保存できませんでした。"));
        QCOMPARE(test::entryNames(folder), std::vector<std::string>{"cat.png"});
    }

    // The picture's own name fits the file system's 255 bytes; its serial name does not.
    const std::string stem(250, 'n');
    s.load(stem + ".png");
    s.frm.btnQuickSave->click();
    const QString target = QString::fromStdString("ファイル " + s.dir.file(stem + "(1).jpg"));
    QCOMPARE(s.lastMessage(), target + QStringLiteral(" を保存できませんでした。\nファイル名が長すぎます。"));
    QCOMPARE(s.frm.statusText(), target + QStringLiteral(" を保存できませんでした。"));
    QCOMPARE(test::entryNames(s.dir.path()), (std::vector<std::string>{stem + ".png", "ro"}));
    QCOMPARE(s.outputPath(), std::string("(none)"));
}

void FrmPreviewTest::aloneItWritesWithTheQualityFormatAndTailGiven()
{
    Alone a;
    test::TempDir references;
    const std::string at37 = references.file("37.jpg"), at90 = references.file("90.jpg");
    QVERIFY(writeJpegFile(a.bitmap, 37, at37));
    QVERIFY(writeJpegFile(a.bitmap, 90, at90));
    QVERIFY(test::readBytes(at37) != test::readBytes(at90));

    OutputOptions options = a.document("cat.png");
    options.quality = 37;
    options.tail = SerialTail::Hyphen;
    a.run(OutputMode::Save, options);
    const std::string jpeg = a.dir.file("cat-1.jpg");
    // The bytes libjpeg makes at the quality given, not at the default.
    QCOMPARE(test::readBytes(jpeg), test::readBytes(at37));
    QVERIFY(a.preview.statusText().contains(QStringLiteral("画質:37　")));
    QCOMPARE(a.reports, (QStringList{QString::fromStdString(jpeg) + QStringLiteral(" を保存しました。"),
                                     QStringLiteral("saved ") + QString::fromStdString(jpeg)}));
    QCOMPARE(a.savedSpy.count(), 1);
    QCOMPARE(a.savedPath(0), jpeg);

    options.format = OutputFormat::Bmp;
    options.tail = SerialTail::Paren;
    a.run(OutputMode::Save, options, QStringLiteral("--cut 4x3@100:1,2"));
    const std::string bmp = a.dir.file("cat(1).bmp");
    QVERIFY(loadPictureAsStored(bmp).value().bitmap() == a.bitmap);
    QCOMPARE(a.statusSpy.last().at(0).toString(),
             QString::fromStdString(bmp) + QStringLiteral(" を保存しました。（--cut 4x3@100:1,2）"));
    QCOMPARE(a.savedPath(1), bmp);
    QCOMPARE(test::entryNames(a.dir.path()), (std::vector<std::string>{"cat(1).bmp", "cat-1.jpg"}));
    QVERIFY(a.fake.messages.empty() && a.fake.fileDialogs.empty());
    QCOMPARE(a.copiedSpy.count(), 0);
}

void FrmPreviewTest::aloneAPictureWithoutFileIsNamedAfterTheLastOutput()
{
    Alone a;
    fs::create_directories(a.dir.file("out"));
    OutputOptions pasted;
    pasted.lastOutputPath = a.dir.file("out/last.jpg");
    pasted.tail = SerialTail::Hyphen;
    // Without a document the save asks for a name; cancelled, it says so and saves nothing.
    a.run(OutputMode::Save, pasted);
    QCOMPARE(a.fake.fileDialogs.size(), std::size_t(1));
    QCOMPARE(a.fake.fileDialogs[0].initialFolder, QString::fromStdString(a.dir.file("out")));
    QCOMPARE(a.fake.fileDialogs[0].fileName, QStringLiteral("last-1.jpg"));
    QCOMPARE(a.reports, QStringList{QStringLiteral("保存を取り消しました。")});
    QCOMPARE(a.savedSpy.count(), 0);

    // Nothing saved yet either: the names go beside the temporary file.
    a.fake.fileAnswers = {QString::fromStdString(a.dir.file("chosen.jpg"))};
    a.run(OutputMode::Save, OutputOptions{});
    QCOMPARE(a.fake.fileDialogs.back().fileName, QStringLiteral("trimlet(1).jpg"));
    QCOMPARE(a.fake.fileDialogs.back().initialFolder, QString::fromStdString(a.tempDir.path()));
    QCOMPARE(a.savedSpy.count(), 1);
    QCOMPARE(a.savedPath(0), a.dir.file("chosen.jpg"));

    // 保存 needs a document name; the menu's 保存 still takes the automatic one.
    a.run(OutputMode::Preview, pasted);
    QVERIFY(!a.preview.btnSave->isEnabled() && a.preview.btnSaveAs->isEnabled());
    a.preview.popitemSave->trigger();
    QCOMPARE(a.savedPath(1), a.dir.file("out/last-1.jpg"));
    a.run(OutputMode::Preview, a.document("cat.png"));
    QVERIFY(a.preview.btnSave->isEnabled());
    a.preview.btnCancel->click();
    QCOMPARE(a.savedSpy.count(), 2);
}

void FrmPreviewTest::aloneCopiesAndReportsInOrder()
{
    Alone a;
    a.run(OutputMode::Copy, a.document("cat.png"), QStringLiteral("--cut 4x3@100:1,2"));
    QVERIFY(fromQImage(a.fake.clipboard) == a.bitmap);
    QCOMPARE(a.reports, (QStringList{QStringLiteral("画像の枠内をクリップボードにコピー（--cut 4x3@100:1,2）"),
                                     QStringLiteral("copied")}));
    QCOMPARE(a.savedSpy.count(), 0);

    a.reports.clear();
    a.fake.clipboardRefuses = true;
    a.run(OutputMode::Copy, a.document("cat.png"));
    QCOMPARE(a.reports, QStringList{QStringLiteral("クリップボードにコピーできませんでした。")});
    QCOMPARE(a.copiedSpy.count(), 1);
    QCOMPARE(a.fake.messages.back().kind, MessageKind::Error);
    QCOMPARE(test::entryNames(a.dir.path()), std::vector<std::string>{});
}

void FrmPreviewTest::aloneFailuresReachTheStatusLine()
{
    Alone a;
    test::writeBytes(a.dir.file("plain"), {'x'});
    a.preview.setTempJpeg(a.dir.file("plain/trimlet.jpg"));
    a.run(OutputMode::Save, a.document("cat.png"));
    // The first line of the box, for the status bar.
    QCOMPARE(a.reports,
             QStringList{QStringLiteral("一時ファイル ") + QString::fromStdString(a.dir.file("plain/trimlet.jpg")) +
                         QStringLiteral(" を書き込めませんでした。")});
    QCOMPARE(a.preview.statusText(), QStringLiteral("エラーによる中断"));
    QCOMPARE(a.savedSpy.count(), 0);

    // Saving onto a folder that refuses: the box, its first line reported, the window usable.
    a.preview.setTempJpeg(a.tempDir.file("trimlet.jpg"));
    a.run(OutputMode::Preview, a.document("plain/cat.png"));
    a.reports.clear();
    a.preview.btnSave->click();
    QCOMPARE(a.reports, QStringList{QString::fromStdString("ファイル " + a.dir.file("plain/cat(1).jpg")) +
                                    QStringLiteral(" の保存に失敗しました。")});
    QVERIFY(a.preview.isVisible() && a.preview.btnSave->isEnabled());
    QCOMPARE(a.savedSpy.count(), 0);
}

QTEST_MAIN(FrmPreviewTest)
#include "test_frm_preview.moc"
