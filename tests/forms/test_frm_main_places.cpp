// Where the main window stands and where it sends the user: the window's stored placement,
// maximised or not, the open dialog's first folder, the folder button's report when the
// desktop cannot open a folder, and the save folder.

#include <QtTest>

#include <QComboBox>
#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>

#include "codecs/picture_file.h"
#include "forms/main/frm_main.h"
#include "forms/widgets/path_text.h"
#include "platform/paths.h"
#include "settings/profile_file.h"
#include "tests/forms/fake_desktop.h"
#include "tests/forms/test_main_window.h"
#include "tests/support/test_support.h"

using namespace trimlet;

namespace {

void writeText(const std::string& path, const std::string& text) { test::writeBytes(path, {text.begin(), text.end()}); }

// main_x, main_y, main_w, main_h and main_max as the file holds them.
QString placementIn(const std::string& settings)
{
    const ProfileFile f(settings);
    QStringList values;
    for (const char* key : {"main_x", "main_y", "main_w", "main_h", "main_max"})
        values << QString::fromStdString(f.readString("winPosition", key, "-"));
    return values.join(QLatin1Char(' '));
}

QString folderOf(const std::string& path) { return QString::fromStdString(std::filesystem::path(path).parent_path()); }

}  // namespace

class FrmMainPlacesTest : public QObject {
    Q_OBJECT
private slots:
    // Stored maximised, it comes back maximised, and saves its normal placement until it is
    // un-maximised.
    void maximisedWindowKeepsItsNormalPlacement()
    {
        test::FakeDesktop fake;
        test::TempDir dir;
        const std::string own = dir.file("trimlet.ini");
        writeText(own, "[winPosition]\r\nmain_w=900\r\nmain_h=560\r\nmain_x=40\r\nmain_y=30\r\nmain_max=1\r\n");
        test::TestMain frm({}, own);
        frm.show();
        QTRY_VERIFY(frm.isMaximized());
        QVERIFY(frm.SaveSettings());
        QCOMPARE(placementIn(own), QStringLiteral("40 30 900 560 1"));

        frm.showNormal();
        QTRY_COMPARE(frm.size(), QSize(900, 560));
        QCOMPARE(frm.pos(), QPoint(40, 30));
        frm.close();
        QCOMPARE(placementIn(own), QStringLiteral("40 30 900 560 0"));
    }

    // A place left of or above the screen's origin is kept while enough of the window stays
    // on the screen; a place on no screen comes back onto it, and the title bar never lies
    // above the screen.
    void negativeStoredPositionsAreKeptWhileReachable()
    {
        test::FakeDesktop fake;
        test::TempDir dir;
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        const struct {
            int x, y;
            QPoint expected;
        } cases[] = {
            {screen.left() - 300, screen.top() + 40, {screen.left() - 300, screen.top() + 40}},
            {screen.left() - 704, screen.top() + 10, {screen.left() - 704, screen.top() + 10}},  // 96 pixels on it
            {screen.left() - 5000, screen.top() + 10, {screen.left() + 96 - 800, screen.top() + 10}},
            {screen.left() + 100, screen.top() - 40, {screen.left() + 100, screen.top()}},
            {screen.right() + 500,
             screen.bottom() + 500,
             {screen.left() + screen.width() - 96, screen.top() + screen.height() - 96}},
        };
        for (const auto& c : cases) {
            const std::string own = dir.file("trimlet.ini");
            writeText(own, "[winPosition]\r\nmain_w=800\r\nmain_h=480\r\nmain_x=" + std::to_string(c.x) +
                               "\r\nmain_y=" + std::to_string(c.y) + "\r\n");
            test::TestMain frm({}, own);
            frm.show();
            QCOMPARE(frm.pos(), c.expected);
            frm.close();
            // Saved as it stands, negative coordinates included.
            QCOMPARE(placementIn(own), QStringLiteral("%1 %2 800 480 0").arg(c.expected.x()).arg(c.expected.y()));
        }
    }

    void openDialogStartsWhereThePicturesAre()
    {
        test::FakeDesktop fake;
        test::TempDir dir;
        test::TestMain frm;
        frm.show();
        // This test program runs portably from the build tree: its own folder.
        QVERIFY(runsPortably(executablePath()));
        frm.btnOpen->click();
        test::settleLoads(frm);
        QCOMPARE(fake.fileDialogs.back().initialFolder, QString::fromStdString(defaultPictureFolder(executablePath())));
        QCOMPARE(fake.fileDialogs.back().initialFolder, folderOf(executablePath()));

        // The folder of the last saved picture while it exists, else the default again.
        QVERIFY(ProfileFile(frm.settingsPath()).writeString("output", "path", dir.file("out(1).jpg")));
        frm.btnOpen->click();
        test::settleLoads(frm);
        QCOMPARE(fake.fileDialogs.back().initialFolder, QString::fromStdString(dir.path()));
        QVERIFY(ProfileFile(frm.settingsPath()).writeString("output", "path", dir.file("gone/out(1).jpg")));
        frm.btnOpen->click();
        test::settleLoads(frm);
        QCOMPARE(fake.fileDialogs.back().initialFolder, folderOf(executablePath()));
    }

    void folderTheDesktopCannotOpenIsReported()
    {
        test::FakeDesktop fake;
        test::TestMain frm;
        frm.show();
        frm.ShowStatus(QStringLiteral("前の報告"), StatusKind::statusOnly);
        fake.urlsRefused = true;
        frm.btnOpenDir->click();
        const QString folder = folderOf(executablePath());
        QCOMPARE(fake.openedUrls.back().toLocalFile(), folder);
        QCOMPARE(fake.messages.size(), size_t(1));
        QCOMPARE(fake.messages[0].kind, MessageKind::Warning);
        QCOMPARE(fake.messages[0].text, QStringLiteral("フォルダ ") + folder + QStringLiteral(" を開けませんでした。"));
        QCOMPARE(frm.statusText(), QStringLiteral("前の報告"));

        fake.urlsRefused = false;
        frm.btnOpenDir->click();
        QCOMPARE(fake.messages.size(), size_t(1));
    }

    // A chosen save folder takes every serial save, under the names counted there, and the
    // save-as proposal; it comes back after a restart, and beside the picture is one step away.
    void serialSavesGoToTheChosenFolderAcrossARestart()
    {
        test::MainWithPreview w;
        test::TempDir dir;
        const std::string picture = dir.file("cat.bmp"), folder = dir.file("pieces");
        std::filesystem::create_directory(folder);
        QVERIFY(trimlet::writeBmpFile(test::photoLike(400, 300), picture));
        w.frm.show();
        w.frm.LoadPictureFile(picture);
        QTRY_VERIFY(!w.frm.editingPicture().isEmpty());
        auto* combo = test::control<QComboBox>(w.frm, "cmbSaveDir");
        w.fake.folderAnswers = {QString::fromStdString(folder)};
        QTest::keyClick(combo, Qt::Key_End);  // フォルダを選択…
        QCOMPARE(w.fake.folderDialogs.size(), qsizetype(1));

        w.frm.btnSave->click();
        QCOMPARE(w.frm.statusText().section(QStringLiteral("（"), 0, 0),
                 displayPath(folder + "/cat(1).jpg") + QStringLiteral(" を保存しました。"));
        w.fake.fileAnswers = {QString::fromStdString(folder + "/cat(2).jpg")};
        QTimer::singleShot(0, w.preview.btnSaveAs, &QPushButton::click);
        w.frm.btnPreview->click();
        QCOMPARE(w.fake.fileDialogs.back().initialFolder, QString::fromStdString(folder));
        QCOMPARE(w.fake.fileDialogs.back().fileName, QStringLiteral("cat(2).jpg"));
        w.frm.btnQuickSave->click();
        QCOMPARE(test::entryNames(folder), (std::vector<std::string>{"cat(1).jpg", "cat(2).jpg", "cat(3).jpg"}));
        QCOMPARE(test::entryNames(dir.path()), (std::vector<std::string>{"cat.bmp", "pieces"}));
        QVERIFY(w.fake.messages.empty());
        w.frm.close();
        QCOMPARE(ProfileFile(w.frm.settingsPath()).readString("output", "folder", ""), folder);

        test::TestMain again({}, w.frm.settingsPath());
        again.setPreviewWindow(&w.preview);
        QVERIFY(test::showStarted(again));
        auto* shown = test::control<QComboBox>(again, "cmbSaveDir");
        QCOMPARE(shown->itemText(shown->currentIndex()), displayPath(folder));
        again.LoadPictureFile(picture);
        QTRY_VERIFY(!again.editingPicture().isEmpty());
        QTest::keyClick(shown, Qt::Key_Home);  // 画像と同じフォルダ
        again.btnSave->click();
        QVERIFY(test::fileExists(dir.file("cat(1).jpg")));
        QCOMPARE(test::entryNames(folder).size(), std::size_t(3));
    }

    // A chosen folder that is gone fails the save with that cause; nothing is written anywhere.
    void aSaveFolderThatIsGoneFailsTheSave()
    {
        test::FakeDesktop fake;
        test::TempDir dir, temp;
        const std::string picture = dir.file("cat.bmp"), folder = dir.file("pieces");
        QVERIFY(trimlet::writeBmpFile(test::photoLike(200, 150), picture));
        writeText(dir.file("trimlet.ini"), "[output]\r\nfolder=" + folder + "\r\n");
        test::TestMain frm({}, dir.file("trimlet.ini"));
        TfrmPreview preview;
        preview.setTempJpeg(temp.file("trimlet.jpg"));
        frm.setPreviewWindow(&preview);
        QVERIFY(test::showStarted(frm));
        frm.LoadPictureFile(picture);
        QTRY_VERIFY(!frm.editingPicture().isEmpty());
        for (QPushButton* save : {frm.btnSave, frm.btnQuickSave}) {
            save->click();
            QCOMPARE(fake.messages.size(), std::size_t(1));
            QCOMPARE(fake.messages.back().kind, MessageKind::Error);
            QCOMPARE(fake.messages.back().text,
                     QStringLiteral("ファイル %1 を保存できませんでした。\n保存先のフォルダがありません。")
                         .arg(displayPath(folder + "/cat(1).jpg")));
            QCOMPARE(frm.statusText(), fake.messages.back().text.section(QLatin1Char('\n'), 0, 0));
            fake.messages.clear();
        }
        QCOMPARE(test::entryNames(dir.path()), (std::vector<std::string>{"cat.bmp", "trimlet.ini"}));
    }
};

QTEST_MAIN(FrmMainPlacesTest)
#include "test_frm_main_places.moc"
