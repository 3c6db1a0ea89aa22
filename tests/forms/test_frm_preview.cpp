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
#include <QSlider>
#include <QTimer>
#include <csignal>
#include <filesystem>
#include <sys/mount.h>
#include <sys/resource.h>
#include <unistd.h>

#include "codecs/picture_file.h"
#include "forms/frm_preview.h"
#include "platform/qimage_bridge.h"
#include "settings/profile_file.h"
#include "tests/forms/fake_desktop.h"
#include "tests/forms/test_main_window.h"

using namespace trimlet;
namespace fs = std::filesystem;

namespace {

const QString kMessage4 = QStringLiteral(" の保存に失敗しました。\nディスクの空き容量が充分かどうかを確認してください。");

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
        preview.setCutResult(Picture(bitmap));
        preview.outputMode = mode;
        if (mode != omPreview)
            return preview.FormShow();
        preview.hide();
        preview.show();
    }
    std::string outputPath() const { return ProfileFile(frm.settingsPath()).readString("output", "path", "(none)"); }
    QString lastMessage() const { return fake.messages.empty() ? QString() : fake.messages.back().text; }
    std::vector<std::uint8_t> tempBytes() const { return test::readBytes(preview.tempJpeg()); }
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
    void aFullDiskFailsInWords();
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
    QVERIFY(s.preview.statusText().endsWith(QStringLiteral("%1kB").arg((s.tempBytes().size() + 1023) / 1024)));
    QTRY_VERIFY(!s.preview.tmrClose->isActive());

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
    QVERIFY(loadPictureFile(s.dir.file("cat(1).bmp")).value().bitmap() == s.bitmap);
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
    s.run(omPreview);
    QVERIFY(!s.preview.btnSave->isEnabled());
    QCOMPARE(s.preview.focusWidget(), s.preview.btnSaveAs);
    s.preview.popitemSave->trigger();
    QVERIFY(loadPictureFile(s.dir.file("chosen(1).bmp")).value().bitmap() == s.bitmap);
    QVERIFY(!s.preview.isVisible());
    QCOMPARE(s.preview.result(), int(QDialog::Accepted));
    QCOMPARE(s.fake.fileDialogs.size(), std::size_t(2));
}

void FrmPreviewTest::saveAsOntoTheTemporaryFileIsRefused()
{
    Session s;
    s.load("cat.png");
    s.run(omPreview);
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
    s.run(omPreview);
    TfrmPreview& p = s.preview;
    QCOMPARE(p.statusText(), QStringLiteral(" 横1ピクセル×縦1ピクセル　画質:90　ファイルサイズ:1kB"));
    QVERIFY(p.imgPreview->isVisible() && !p.imgCutSrc->isVisible() && p.chkCutSrc->isEnabled());
    QCOMPARE(p.focusWidget(), p.btnSave);
    QCOMPARE(p.previewPicture().fileBytes(), s.tempBytes());
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    QCOMPARE(QRect(p.pos(), p.size()), QRect((screen.width() - 560) / 2, (screen.height() - 360) / 2, 560, 360));
    p.chkCutSrc->click();
    QVERIFY(p.imgCutSrc->isVisible() && !p.imgPreview->isVisible());
    QVERIFY(fromQImage(p.imgCutSrc->pixmap().toImage()) == s.bitmap);
    s.run(omPreview);  // every build starts from the compressed view
    QVERIFY(!p.chkCutSrc->isChecked() && p.imgPreview->isVisible());

    s.load("cat.png", 33, 17);
    s.frm.rdgpFormatItems->button(1)->click();
    s.run(omPreview);
    QCOMPARE(p.statusText(), QStringLiteral(" 横33ピクセル×縦17ピクセル"));
    QVERIFY(p.imgCutSrc->isVisible() && !p.imgPreview->isVisible() && !p.chkCutSrc->isEnabled());
    QVERIFY(fromQImage(p.imgCutSrc->pixmap().toImage()) == s.bitmap);
}

void FrmPreviewTest::largePreviewFitsTheScreenAndScrolls()
{
    Session s;
    s.load("big.png", 2000, 1500);
    s.run(omPreview);
    TfrmPreview& p = s.preview;
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    QCOMPARE(QRect(p.pos(), p.size()), QRect(0, 42, screen.width(), screen.height() - 84));

    QScrollBar* h = p.sbImgScroll->horizontalScrollBar();
    QScrollBar* v = p.sbImgScroll->verticalScrollBar();
    QLabel* image = p.imgPreview;
    auto moveTo = [&](QPoint at) {
        QMouseEvent move(QEvent::MouseMove, QPointF(at), image->mapToGlobal(QPointF(at)), Qt::NoButton, Qt::LeftButton, {});
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
    s.run(omCopy);
    QVERIFY(fromQImage(s.fake.clipboard) == s.bitmap);  // not the JPEG-decoded picture
    QCOMPARE(s.frm.statusText(), QStringLiteral("画像の枠内をクリップボードにコピー"));
    QCOMPARE(ProfileFile(s.frm.settingsPath()).readInt("jpeg", "quality", 0), 20);

    // A refused clipboard is not reported as a copy, from the preview or from 枠内コピー.
    s.fake.clipboardRefuses = true;
    const QString refused = QStringLiteral("クリップボードにコピーできませんでした。");
    s.run(omPreview);
    s.preview.btnCopy->click();
    QCOMPARE(s.fake.messages.size(), std::size_t(1));
    QCOMPARE(s.lastMessage(), refused);
    QCOMPARE(s.frm.statusText(), refused);
    QVERIFY(s.preview.isVisible() && s.preview.btnCopy->isEnabled());
    s.preview.hide();
    s.frm.ShowStatus(QStringLiteral("-"), statusOnly);
    s.run(omCopy);
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

    // The document's folder removed between preview and save, for either format.
    for (int format : {1, 0}) {
        s.frm.rdgpFormatItems->button(format)->click();
        s.run(omPreview);
        fs::remove_all(folder);
        s.preview.btnSave->click();
        QCOMPARE(s.fake.messages.back().kind, MessageKind::Error);
        QCOMPARE(s.lastMessage(), QString::fromStdString("ファイル " + folder + (format ? "/cat(1).bmp" : "/cat(1).jpg")) + kMessage4);
        QVERIFY(s.frm.statusText().endsWith(QStringLiteral(" の保存に失敗しました。")));
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
        QCOMPARE(s.lastMessage(), QString::fromStdString("ファイル " + target) + kMessage4);
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
    s.run(omSave);  // whatever holds a serial name, even a folder, is skipped
    QCOMPARE(test::readBytes(cat1), mine);
    QVERIFY(test::fileExists(s.dir.file("cat(3).jpg")));

    // Replacing is left to a name from the dialog, which asks first; a failure keeps the old file.
    s.run(omPreview);
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
    s.run(omPreview);  // a good build first: its picture must not be saved later
    test::writeBytes(s.dir.file("plain"), {'x'});
    s.preview.setTempJpeg(s.dir.file("plain/trimlet.jpg"));
    const QString said = QStringLiteral("一時ファイル ") + QString::fromStdString(s.dir.file("plain/trimlet.jpg")) +
                         QStringLiteral(" を書き込めませんでした。");
    for (OutputMode mode : {omSave, omCopy}) {
        s.frm.ShowStatus(QStringLiteral("-"), statusOnly);
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
    s.run(omCutOnly);
    QVERIFY(s.fake.messages.empty());

    // The menu, which is never disabled, finds nothing to save after a failed build.
    s.preview.popitemSave->trigger();
    QCOMPARE(s.lastMessage(), QStringLiteral("画像がありません。"));
    QCOMPARE(s.frm.statusText(), QStringLiteral("画像がありません。"));
    QCOMPARE(test::entryNames(s.dir.path()), (std::vector<std::string>{"cat.png", "plain"}));
    s.run(omPreview);  // a shown preview closes itself shortly after
    QTRY_VERIFY(!s.preview.isVisible());
}

void FrmPreviewTest::freeSpaceBelowTheDocumentSizeWarns()
{
    Session s;
    const auto size = fs::file_size(s.load("cat.png"));
    const QString folder = QString::fromStdString(s.tempDir.path());
    s.fake.freeBytes = size - 1;
    s.run(omSave);
    QCOMPARE(s.fake.freeSpaceFolders.back(), folder);
    QCOMPARE(s.fake.messages.back().kind, MessageKind::Warning);
    QCOMPARE(s.lastMessage(), QStringLiteral("ドライブ") + folder + QStringLiteral("の空き容量が充分でありません。\n作業を中断します。"));
    QCOMPARE(s.preview.statusText(), QStringLiteral("エラーによる中断"));
    QCOMPARE(test::entryNames(s.dir.path()), std::vector<std::string>{"cat.png"});
    s.fake.freeBytes = size;
    s.run(omSave);
    QVERIFY(test::fileExists(s.dir.file("cat(1).jpg")));

    // Without a document file there is nothing to compare with.
    s.fake.freeBytes = 0;
    s.paste(test::photoLike(8, 8));
    s.fake.fileAnswers = {QString::fromStdString(s.dir.file("pasted.jpg"))};
    s.run(omSave);
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
    s.run(omPreview);
    s.frm.rdgpFormatItems->button(0)->click();
    s.load("new.png", 40, 25);
    s.run(omPreview);
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
    test::withFileSizeLimit(1000, [&] { s.run(omPreview); });
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
    s.frm.ShowStatus(QStringLiteral("-"), statusOnly);
    s.run(omSave);
    const QString said = QStringLiteral("横65501×縦2ピクセルの画像はJPEGで保存できません（JPEGは一辺65500ピクセルまで）。"
                                        "保存形式をBMPにしてください。");
    QCOMPARE(s.lastMessage(), said);
    QCOMPARE(s.frm.statusText(), said);
    QCOMPARE(test::entryNames(s.dir.path()), std::vector<std::string>{"strip.png"});
    // As BMP it saves.
    s.frm.rdgpFormatItems->button(1)->click();
    s.run(omSave);
    QVERIFY(loadPictureFile(s.dir.file("strip(1).bmp")).value().bitmap() == s.bitmap);
    QCOMPARE(s.fake.messages.size(), std::size_t(1));
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
    QCOMPARE(s.frm.statusText(), QString::fromStdString("ファイル " + small + "/dog(1).jpg") +
                                     QStringLiteral(" の保存に失敗しました。"));
    QCOMPARE(test::entryNames(small), (std::vector<std::string>{"dog.png", "filler"}));
}

QTEST_MAIN(FrmPreviewTest)
#include "test_frm_preview.moc"
