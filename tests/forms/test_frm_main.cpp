#include <QtTest>

#include <QAbstractButton>
#include <QCursor>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <filesystem>

#include "codecs/picture_file.h"
#include "forms/main/frm_main.h"
#include "forms/main/work_area_widgets.h"
#include "forms/widgets/path_text.h"
#include "forms/widgets/up_down.h"
#include "imaging/region.h"
#include "platform/paths.h"
#include "settings/profile_file.h"
#include "tests/forms/fake_desktop.h"
#include "tests/forms/test_main_window.h"
#include "tests/support/test_support.h"

using namespace trimlet;

namespace {

const char* const kPictureCommands[] = {
    "btnRevH",       "btnRevW",         "btnRotR",        "btnRotL",         "btnRot180",   "btnRotFree",
    "btnCutAndLoad", "btnCopy",         "btnAllCopy",     "btnQuickSave",    "btnPreview",  "btnSave",
    "spdTop",        "spdTopBottom",    "spdBottom",      "spdTopBottomCut", "spdLeft",     "spdLeftRight",
    "spdRight",      "spdLeftRightCut", "btnBGColor",     "pnlBGColor",      "btnTmpSave1", "btnTmpSave2",
    "btnTmpSave3",   "btnTmpCutSave1",  "btnTmpCutSave2", "btnTmpCutSave3",  "btnTmpLoad1", "btnTmpLoad2",
    "btnTmpLoad3"};

QString writePicture(const test::TempDir& dir, const std::string& name, int w, int h)
{
    const std::string path = dir.file(name);
    const Bitmap b = test::photoLike(w, h);
    const bool jpeg = name.ends_with(".jpg") || name.ends_with(".JPG");
    if (!(jpeg ? writeJpegFile(b, 90, path) : writeBmpFile(b, path)))
        qFatal("cannot write %s", path.c_str());
    return QString::fromStdString(path);
}

}  // namespace

class FrmMainTest : public QObject {
    Q_OBJECT
private slots:
    void startState();
    void inventoryTexts();
    void commandLineAndDropLoad();
    void dropTakesFirstFileInsideTheClientAreaOnly();
    void dropsAreTakenAsCopies();
    void namesThatAreNotUtf8TravelAsBytes();
    void shortcutLoadsItsTargetUnderTheTargetsName();
    void unloadableFileWarnsAndKeepsThePicture();
    void reloadAfterDeletion();
    void pasteWithAndWithoutAnImage();
    void largePictureQuestion();
    void openDialog();
    void folderButton();
    void dropOnTheConcatenationPageJoins();
    void closingDeletesTheTemporaryFile();
    void upDownKeepsTheLastValidPosition();
};

void FrmMainTest::startState()
{
    test::FakeDesktop fake;
    test::TestMain frm;
    frm.show();
    QCOMPARE(frm.windowTitle(), QStringLiteral("trimlet"));
    QCOMPARE(frm.minimumSize(), QSize(800, 480));
    QVERIFY(frm.lblNotice->isVisible());
    QCOMPARE(frm.lblNotice->text(), QStringLiteral("ここに画像をドロップしてください"));
    QVERIFY(!frm.btnReload->isEnabled());
    QVERIFY(frm.btnOpen->isEnabled() && frm.btnPaste->isEnabled() && frm.btnOpenDir->isEnabled());
    QCOMPARE(frm.lblFileNameF->text(), QStringLiteral("(ファイル名)"));
    QCOMPARE(frm.lblFileNameB->text(), QStringLiteral("(ファイル名)"));
    for (QLabel* l : {frm.lblSrcSizeW, frm.lblSrcSizeH, frm.lblCutSizeW, frm.lblCutSizeH, frm.lblSizeW, frm.lblSizeH})
        QCOMPARE(l->text(), QStringLiteral("---"));
    for (const char* name : kPictureCommands) {
        auto* w = frm.findChild<QWidget*>(QLatin1String(name));
        QVERIFY2(w, name);
        QVERIFY2(!w->isEnabled(), name);
    }
    QVERIFY(!frm.imgSource->isVisible());
    QVERIFY(frm.statusText().isEmpty());
    QVERIFY(frm.progressBar->isHidden());
    QCOMPARE(frm.pnlButton->height(), 100);
    QCOMPARE(frm.pnlConsole->height(), 117);
    frm.resize(500, 300);
    QVERIFY(frm.width() >= 800 && frm.height() >= 480);
}

void FrmMainTest::inventoryTexts()
{
    test::FakeDesktop fake;
    test::TestMain frm;
    QCOMPARE(frm.pcEdit->tabText(0), QStringLiteral("ファイル(&F)"));
    QCOMPARE(frm.pcEdit->tabText(1), QStringLiteral(" 加　工　(&E)"));
    QCOMPARE(frm.pcEdit->tabText(2), QStringLiteral("連結モード(&A)"));
    const std::pair<const char*, const char*> captions[] = {
        {"btnOpen", "開く (&O)"},  {"btnPreview", " プレビュー(&D)"}, {"btnRot180", "180゜回転(&T)"},
        {"btnExit", "終 了 (&Q)"}, {"spdTopBottomCut", "中抜き"},     {"btnSizeLoad", "呼出"}};
    for (const auto& [name, caption] : captions)
        QCOMPARE(frm.findChild<QAbstractButton*>(QLatin1String(name))->text(), QString::fromUtf8(caption));
    QCOMPARE(frm.btnOpen->toolTip(),
             QStringLiteral("画像ファイルを読み込みます（ドラッグ＆ドロップでも読み込めます）"));
    QVERIFY(frm.spdTopBottomCut->isChecked() && frm.spdLeftRightCut->isChecked());
    QVERIFY(!frm.spdTop->isChecked());
    QCOMPARE(frm.edtSizeW->text(), QStringLiteral("240"));
    QCOMPARE(frm.edtSizeH->text(), QStringLiteral("320"));
    QCOMPARE(frm.edtPower->text(), QStringLiteral("100"));
    QCOMPARE(frm.udSizeW->minimum(), 24);
    QCOMPARE(frm.udSizeH->minimum(), 32);
    QCOMPARE(frm.udPower->minimum(), 5);
    QCOMPARE(frm.edtSizeW->maxLength(), 4);
    QCOMPARE(frm.edtPower->maxLength(), 3);
    QVERIFY(frm.btnPreview->isDefault());
    QVERIFY(frm.lblConcat->text().startsWith(QStringLiteral("≪ヒント≫\n『連結モード』")));
    QCOMPARE(frm.popEdit->actions().size(), 17);
    for (int i = 1; i <= 20; ++i)
        QVERIFY(frm.popTpl->findChild<QAction*>(QStringLiteral("item%1").arg(i)));
    QCOMPARE(frm.popTmpSave->actions().size(), 3);

    // A click on the button that is down raises it and leaves the group with none down.
    frm.spdTopBottomCut->setEnabled(true);
    frm.spdTopBottomCut->click();
    QVERIFY(!frm.spdTopBottomCut->isChecked());
    frm.spdTop->setEnabled(true);
    frm.spdTop->click();
    frm.spdTopBottom->setEnabled(true);
    frm.spdTopBottom->click();
    QVERIFY(!frm.spdTop->isChecked() && frm.spdTopBottom->isChecked());
    QVERIFY(frm.spdLeftRightCut->isChecked());
}

void FrmMainTest::commandLineAndDropLoad()
{
    test::FakeDesktop fake;
    test::TempDir dir;
    const QString first = writePicture(dir, "first.bmp", 64, 48);
    const QString second = writePicture(dir, "second.jpg", 30, 20);

    test::TestMain frm({first, QStringLiteral("ignored.bmp")});
    QVERIFY(test::showStarted(frm));
    QCOMPARE(frm.statusText(), QStringLiteral("ファイルドロップ：") + first);
    QCOMPARE(frm.currentFileName(), first);
    QCOMPARE(frm.lblFileNameF->text(), QStringLiteral("first.bmp"));
    QCOMPARE(frm.lblFileNameB->text(), QStringLiteral("first.bmp"));
    QCOMPARE(frm.lblSrcSizeW->text(), QStringLiteral("64"));
    QCOMPARE(frm.lblSrcSizeH->text(), QStringLiteral("48"));
    QVERIFY(frm.btnReload->isEnabled());
    QVERIFY(frm.lblNotice->isHidden());
    QVERIFY(frm.imgSource->isVisible());
    for (const char* name : kPictureCommands) {
        const bool slotLoad = QByteArray(name).startsWith("btnTmpLoad");
        QCOMPARE(frm.findChild<QWidget*>(QLatin1String(name))->isEnabled(), !slotLoad);
    }
    QVERIFY(fake.messages.empty());

    frm.dropFiles(test::localPaths({second}), QPoint(400, 300));
    test::settleLoads(frm);
    QCOMPARE(frm.statusText(), QStringLiteral("ファイルドロップ：") + second);
    QCOMPARE(frm.lblFileNameF->text(), QStringLiteral("second.jpg"));
    QCOMPARE(frm.editingPicture().kind(), PictureKind::Jpeg);
    QCOMPARE(frm.lblSrcSizeW->text(), QStringLiteral("30"));
}

void FrmMainTest::dropTakesFirstFileInsideTheClientAreaOnly()
{
    test::FakeDesktop fake;
    test::TempDir dir;
    const QString a = writePicture(dir, "a.bmp", 10, 10), b = writePicture(dir, "b.bmp", 20, 20),
                  c = writePicture(dir, "c.bmp", 30, 30);
    test::TestMain frm;
    frm.show();
    frm.dropFiles(test::localPaths({a, b, c}), QPoint(10, 10));
    test::settleLoads(frm);
    QCOMPARE(frm.currentFileName(), a);
    QCOMPARE(frm.editingPicture().width(), 10);

    frm.dropFiles(test::localPaths({b}), QPoint(-5, 100));  // over the title bar
    test::settleLoads(frm);
    frm.dropFiles(test::localPaths({b}), QPoint(100, frm.height() + 3));
    test::settleLoads(frm);
    QCOMPARE(frm.currentFileName(), a);
}

void FrmMainTest::dropsAreTakenAsCopies()
{
    test::FakeDesktop fake;
    test::TempDir dir;
    const QString path = writePicture(dir, "a.bmp", 10, 10);
    test::TestMain frm;
    frm.show();
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(path)});
    const QPointF at(400, 300);

    // Shift asks a file manager for a move; the window takes a copy, so the source keeps its file.
    QDragEnterEvent enter(at.toPoint(), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::ShiftModifier);
    QApplication::sendEvent(&frm, &enter);
    QVERIFY(enter.isAccepted());
    QCOMPARE(enter.dropAction(), Qt::CopyAction);
    QDragMoveEvent move(at.toPoint(), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::ShiftModifier);
    QApplication::sendEvent(&frm, &move);
    QVERIFY(move.isAccepted());
    QCOMPARE(move.dropAction(), Qt::CopyAction);
    QDropEvent drop(at, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::ShiftModifier);
    QApplication::sendEvent(&frm, &drop);
    test::settleLoads(frm);
    QVERIFY(drop.isAccepted());
    QCOMPARE(drop.dropAction(), Qt::CopyAction);
    QCOMPARE(frm.currentFileName(), path);

    // A source that only offers a move is refused.
    test::TestMain other;
    other.show();
    QDropEvent moveOnly(at, Qt::MoveAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(&other, &moveOnly);
    test::settleLoads(other);
    QVERIFY(!moveOnly.isAccepted() || moveOnly.dropAction() != Qt::MoveAction);
    QVERIFY(other.currentFileName().isEmpty());
    QVERIFY(test::fileExists(path.toStdString()));
}

void FrmMainTest::namesThatAreNotUtf8TravelAsBytes()
{
    // 画像.bmp in a folder 写真, both in Shift_JIS bytes as an old archive unpacks them.
    test::MainWithPreview w;
    test::TempDir dir;
    const std::string folder = dir.file("\x8e\xca\x90\x5e");
    const std::string stem = folder + "/\x89\xe6\x91\x9c";
    std::filesystem::create_directory(folder);
    QVERIFY(writeBmpFile(test::photoLike(40, 30), stem + ".bmp"));
    w.frm.show();

    // Dropped as a file manager sends it: the bytes percent-encoded in the URL.
    QMimeData data;
    data.setData(QStringLiteral("text/uri-list"), urlOfLocalPath(stem + ".bmp").toEncoded() + "\r\n");
    QDragEnterEvent enter(QPoint(400, 300), Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(&w.frm, &enter);
    QDropEvent drop(QPointF(400, 300), Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(&w.frm, &drop);
    test::settleLoads(w.frm);
    QCOMPARE(w.frm.currentFilePath(), stem + ".bmp");
    QCOMPARE(w.frm.lblFileNameF->text(), QStringLiteral("画像.bmp"));
    QVERIFY(w.frm.statusText().endsWith(QStringLiteral("/写真/画像.bmp")));

    // Reload reads the same file again.
    QVERIFY(writeBmpFile(test::photoLike(24, 32), stem + ".bmp"));
    w.frm.btnReload->click();
    test::settleLoads(w.frm);
    QCOMPARE(w.frm.editingPicture().width(), 24);

    // The serial name is the picture's own bytes with the tail, and the settings keep them.
    w.frm.btnSave->click();
    QVERIFY(test::fileExists(stem + "(1).jpg"));
    QCOMPARE(ProfileFile(w.frm.settingsPath()).readString("output", "path", ""), stem + "(1).jpg");
    // The picture is smaller than the cut size, so it is taken whole, and the status says how large.
    QCOMPARE(w.frm.statusText(),
             displayPath(stem + "(1).jpg") + QStringLiteral(" を保存しました。（実サイズ 24 × 32）"));

    // Save As shows the proposal as text, in the nearest folder a dialog can open, and takes
    // that text back as the proposal's bytes.
    w.fake.fileAnswers = {displayPath(stem + "(2).jpg")};
    QTimer::singleShot(0, w.preview.btnSaveAs, &QPushButton::click);
    w.frm.btnPreview->click();
    QCOMPARE(w.fake.fileDialogs.back().fileName, QStringLiteral("画像(2).jpg"));
    QCOMPARE(w.fake.fileDialogs.back().initialFolder, QString::fromStdString(dir.path()));
    QVERIFY(test::fileExists(stem + "(2).jpg"));

    // The folder button hands the folder over by a URL that keeps its bytes.
    w.frm.btnOpenDir->click();
    QCOMPARE(localPathOfUrl(w.fake.openedUrls.back()), folder);
    QVERIFY(w.fake.messages.empty());
}

void FrmMainTest::shortcutLoadsItsTargetUnderTheTargetsName()
{
    test::FakeDesktop fake;
    test::TempDir dir;
    const QString target = writePicture(dir, "Target Photo.jpg", 16, 12);
    test::TestMain frm;
    frm.show();
    for (const char* name : {"link.LNK", "link2.lnk", "link3.Lnk"}) {
        const QString link = QString::fromStdString(dir.file(name));
        QVERIFY(QFile::link(target, link));
        frm.LoadPictureFile(link);
        QCOMPARE(frm.currentFileName(), target);
        QCOMPARE(frm.lblFileNameF->text(), QStringLiteral("Target Photo.jpg"));
        QCOMPARE(frm.statusText(), QStringLiteral("ファイルドロップ：") + target);
    }
    // A shortcut that leads nowhere names no file in its warning.
    const QString dangling = QString::fromStdString(dir.file("gone.lnk"));
    QVERIFY(QFile::link(QString::fromStdString(dir.file("missing.jpg")), dangling));
    frm.LoadPictureFile(dangling);
    QCOMPARE(fake.messages.back().text, QStringLiteral("は読み込めませんでした。"));
    QCOMPARE(frm.currentFileName(), target);
}

void FrmMainTest::unloadableFileWarnsAndKeepsThePicture()
{
    test::FakeDesktop fake;
    test::TempDir dir;
    const QString good = writePicture(dir, "good.bmp", 40, 30);
    const QString tif = writePicture(dir, "scan.bmp", 8, 8);
    QVERIFY(QFile::rename(tif, QString::fromStdString(dir.file("scan.tif"))));
    test::TestMain frm({good});
    QVERIFY(test::showStarted(frm));
    frm.LoadPictureFile(QString::fromStdString(dir.file("scan.tif")));
    QCOMPARE(fake.messages.size(), size_t(1));
    QCOMPARE(fake.messages[0].kind, MessageKind::Warning);
    QCOMPARE(fake.messages[0].text, QStringLiteral("scan.tifは読み込めませんでした。"));
    QCOMPARE(frm.statusText(), fake.messages[0].text);
    QCOMPARE(frm.editingPicture().width(), 40);
    QCOMPARE(frm.currentFileName(), good);
    QCOMPARE(frm.lblFileNameF->text(), QStringLiteral("good.bmp"));
}

void FrmMainTest::reloadAfterDeletion()
{
    test::FakeDesktop fake;
    test::TempDir dir;
    const QString file = writePicture(dir, "photo.bmp", 12, 9);
    test::TestMain frm({file});
    QVERIFY(test::showStarted(frm));
    QFile::remove(file);
    frm.btnReload->click();
    test::settleLoads(frm);
    QCOMPARE(fake.messages.back().text, QStringLiteral("photo.bmpは読み込めませんでした。"));
    QCOMPARE(frm.editingPicture().width(), 12);
    QVERIFY(frm.imgSource->isVisible());
}

void FrmMainTest::pasteWithAndWithoutAnImage()
{
    test::FakeDesktop fake;
    test::TempDir dir;
    test::TestMain frm({writePicture(dir, "photo.bmp", 12, 9)});
    QVERIFY(test::showStarted(frm));

    frm.btnPaste->click();
    QCOMPARE(fake.messages.back().kind, MessageKind::Information);
    QCOMPARE(fake.messages.back().text, QStringLiteral("クリップボードに画像がありません。"));
    QCOMPARE(frm.statusText(), QStringLiteral("クリップボードに画像がありません。"));
    QVERIFY(frm.btnReload->isEnabled());

    QImage image(7, 5, QImage::Format_RGB32);
    image.fill(QColor(10, 20, 30));
    fake.clipboard = image;
    frm.pcEdit->setCurrentWidget(frm.tabConcat);  // a paste replaces, also on this page
    frm.btnPaste->click();
    QCOMPARE(frm.editingPicture().kind(), PictureKind::Bitmap);
    QCOMPARE(frm.editingPicture().width(), 7);
    QCOMPARE(test::pixelAt(frm.editingPicture().bitmap(), 3, 3), 0x0A141Eu);
    QVERIFY(frm.currentFileName().isEmpty());
    QCOMPARE(frm.lblFileNameF->text(), QStringLiteral("クリップボードからの貼り付け"));
    QCOMPARE(frm.lblFileNameB->text(), QStringLiteral("クリップボードからの貼り付け"));
    QCOMPARE(frm.statusText(), QStringLiteral("クリップボードからの貼り付け"));
    QVERIFY(!frm.btnReload->isEnabled());
    QCOMPARE(frm.lblSrcSizeH->text(), QStringLiteral("5"));
}

void FrmMainTest::largePictureQuestion()
{
    test::FakeDesktop fake;
    test::TempDir dir;
    const QString exact = writePicture(dir, "exact.bmp", 4000, 2500);  // 10,000,000 pixels
    const QString over = writePicture(dir, "over.bmp", 11, 909091);    // 10,000,001 pixels
    const QString text = QStringLiteral("10Mピクセルを超える画像は処理に失敗する場合があります。");
    test::TestMain frm;
    frm.show();

    frm.LoadPictureFile(exact);
    QVERIFY(fake.questions.empty());
    QCOMPARE(frm.statusText(), QStringLiteral("ファイルドロップ：") + exact);

    fake.yesNoAnswers = {true, false};
    frm.LoadPictureFile(over);
    QCOMPARE(fake.questions.size(), size_t(1));
    QCOMPARE(fake.questions[0].kind, MessageKind::Warning);
    QCOMPARE(fake.questions[0].byDefault, DefaultAnswer::No);  // Enter keeps it quiet for the run
    QCOMPARE(fake.questions[0].text, text + QStringLiteral("\n\nこの警告を今後も表示しますか？"));
    QCOMPARE(frm.statusText(), text);
    QVERIFY(frm.largePictureAnswer());

    frm.LoadPictureFile(over);  // answered No this time
    QCOMPARE(fake.questions.size(), size_t(2));
    QVERIFY(!frm.largePictureAnswer());
    frm.LoadPictureFile(over);
    QCOMPARE(fake.questions.size(), size_t(2));
    QCOMPARE(frm.statusText(), text);
    QCOMPARE(frm.editingPicture().height(), 909091);
}

void FrmMainTest::openDialog()
{
    test::FakeDesktop fake;
    test::TempDir dir;
    const QString file = writePicture(dir, "chosen.jpg", 9, 7);
    test::TestMain frm;
    frm.show();
    frm.btnOpen->click();  // cancelled: nothing happens
    test::settleLoads(frm);
    QCOMPARE(fake.fileDialogs.size(), size_t(1));
    const FileDialogRequest& r = fake.fileDialogs[0];
    const QStringList filters = {
        QStringLiteral(
            "すべての画像ファイル (*.bmp *.jpeg *.jpg *.gif *.png *.avif *.heic *.heif *.tif *.tiff *.webp *.jxl *.arw "
            "*.cr2 *.cr3 *.dng *.nef *.orf *.pef *.raf *.rw2)"),
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
        QStringLiteral("すべてのファイル (*)")};
    QCOMPARE(r.filters, filters);
    QCOMPARE(r.selectedFilter, 0);
    // The first filter is every kind's filter together, and each of its names is one a picture
    // is read by, in capitals too.
    const auto patterns = [](const QString& filter) { return filter.section(u'(', 1).chopped(1).split(u' '); };
    QStringList kinds;
    for (qsizetype i = 1; i + 1 < r.filters.size(); ++i)
        kinds += patterns(r.filters[i]);
    QStringList all = patterns(r.filters[0]);
    for (const QString& pattern : all)
        QVERIFY2(kindForPath((QStringLiteral("A") + pattern.mid(1).toUpper()).toStdString()), qPrintable(pattern));
    all.sort();
    kinds.sort();
    QCOMPARE(all, kinds);
    QCOMPARE(r.defaultSuffix, QStringLiteral("jpg"));
    QCOMPARE(r.initialFolder, QFileInfo(QString::fromStdString(executablePath())).absolutePath());
    QVERIFY(frm.statusText().isEmpty());

    fake.fileAnswers = {file};
    frm.btnOpen->click();
    test::settleLoads(frm);
    QCOMPARE(frm.currentFileName(), file);
    QCOMPARE(frm.statusText(), QStringLiteral("ファイルドロップ：") + file);
}

void FrmMainTest::folderButton()
{
    test::FakeDesktop fake;
    test::TempDir dir;
    const QString file = writePicture(dir, "photo.bmp", 5, 5);
    test::TestMain frm;
    frm.show();
    frm.btnOpenDir->click();  // nothing loaded or saved yet: the temporary JPEG's folder
    QCOMPARE(fake.openedUrls.size(), size_t(1));
    QCOMPARE(fake.openedUrls[0].toLocalFile(), QFileInfo(QString::fromStdString(tempJpegPath())).absolutePath());
    QVERIFY(ProfileFile(frm.settingsPath()).writeString("output", "path", dir.file("sub/last(1).jpg")));
    QDir(QString::fromStdString(dir.path())).mkdir(QStringLiteral("sub"));
    frm.btnOpenDir->click();  // the folder of the last saved picture
    QCOMPARE(fake.openedUrls.back().toLocalFile(), QString::fromStdString(dir.file("sub")));

    frm.LoadPictureFile(file);
    frm.btnOpenDir->click();
    QCOMPARE(fake.openedUrls.back().toLocalFile(), QString::fromStdString(dir.path()));

    QFile::remove(file);
    QDir(QString::fromStdString(dir.path())).removeRecursively();
    const QString statusBefore = frm.statusText();
    frm.btnOpenDir->click();
    QCOMPARE(fake.messages.back().kind, MessageKind::Information);
    QCOMPARE(fake.messages.back().text,
             QStringLiteral("フォルダ ") + QString::fromStdString(dir.path()) + QStringLiteral(" は存在しません。"));
    QCOMPARE(frm.statusText(), statusBefore);
}

void FrmMainTest::dropOnTheConcatenationPageJoins()
{
    test::FakeDesktop fake;
    test::TempDir dir;
    const QString first = writePicture(dir, "first.bmp", 100, 50);
    const QString second = writePicture(dir, "second.bmp", 60, 80);
    test::TestMain frm;
    frm.show();
    frm.pcEdit->setCurrentWidget(frm.tabConcat);
    frm.LoadPictureFile(first);  // nothing loaded yet: a normal load
    QCOMPARE(frm.editingPicture().width(), 100);

    frm.spdLeftRightCut->setEnabled(true);
    if (!frm.spdLeftRightCut->isChecked())
        frm.spdLeftRightCut->click();
    // The drop's own point decides, wherever the pointer is said to be (Wayland tells none).
    QCursor::setPos(frm.mapToGlobal(QPoint(frm.width() / 2, frm.height() - 120)));
    frm.dropFiles(test::localPaths({second}), QPoint(frm.width() / 2, 101));  // the work area's top
    test::settleLoads(frm);
    QCOMPARE(frm.editingPicture().width(), 60);
    QCOMPARE(frm.editingPicture().height(), 130);
    const Bitmap added = test::photoLike(60, 80);
    QVERIFY(copyRegion(frm.editingPicture().bitmap(), 0, 0, 60, 80) == added);  // on top
    QCOMPARE(frm.lblFileNameF->text(), QStringLiteral("first.bmp"));
    QCOMPARE(frm.currentFileName(), first);
    QCOMPARE(frm.statusText(), QStringLiteral("ファイルドロップ：") + second);
    QCOMPARE(frm.lblSrcSizeH->text(), QStringLiteral("130"));
}

void FrmMainTest::closingDeletesTheTemporaryFile()
{
    test::FakeDesktop fake;
    const QString temp = QString::fromStdString(tempJpegPath());
    {
        QFile f(temp);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("x");
    }
    test::TestMain frm;
    frm.show();
    frm.btnExit->click();
    QVERIFY(!QFile::exists(temp));
    QVERIFY(fake.messages.empty());
}

void FrmMainTest::upDownKeepsTheLastValidPosition()
{
    test::FakeDesktop fake;
    test::TestMain frm;
    frm.edtSizeW->setText(QStringLiteral("1000"));
    QCOMPARE(frm.udSizeW->position(), 1000);
    frm.edtSizeW->setText(QStringLiteral("abc"));
    QCOMPARE(frm.udSizeW->position(), 1000);
    frm.edtSizeW->setText(QStringLiteral("9999"));  // out of range: not a position
    QCOMPARE(frm.udSizeW->position(), 1000);
    frm.edtSizeW->setText(QStringLiteral("4096"));
    frm.udSizeW->step(+1);  // no wrap-around
    QCOMPARE(frm.edtSizeW->text(), QStringLiteral("4096"));
    frm.edtSizeH->setText(QStringLiteral("33"));
    QTest::keyClick(frm.edtSizeH, Qt::Key_Down);
    QTest::keyClick(frm.edtSizeH, Qt::Key_Down);
    QCOMPARE(frm.edtSizeH->text(), QStringLiteral("32"));
    QCOMPARE(frm.udSizeH->position(), 32);
}

QTEST_MAIN(FrmMainTest)
#include "test_frm_main.moc"
