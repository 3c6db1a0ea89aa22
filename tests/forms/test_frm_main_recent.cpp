// The open button's list of recent pictures, across a restart of the window and with a file
// gone from the disk, and a walk through a folder that keeps one entry.

#include <QtTest>

#include <filesystem>

#include "codecs/picture_file.h"
#include "tests/forms/test_main_window.h"

using namespace trimlet;

namespace {

std::string write(const test::TempDir& dir, const std::string& name, int w)
{
    const std::string path = dir.file(name);
    if (!writeBmpFile(test::photoLike(w, 40, std::uint32_t(w)), path))
        qFatal("cannot write %s", path.c_str());
    return path;
}

// The entries as the menu shows them when it opens: caption and whether it can be chosen.
QList<QAction*> shownEntries(const test::TestMain& frm)
{
    auto* menu = test::control<QMenu>(frm, "popRecent");
    emit menu->aboutToShow();
    QList<QAction*> entries;
    for (QAction* a : menu->actions())
        if (!a->isSeparator() && a->objectName().isEmpty())
            entries.push_back(a);
    return entries;
}

}  // namespace

class FrmMainRecentTest : public QObject {
    Q_OBJECT
private slots:
    void listSurvivesARestartAndGreysMissingFiles();
    void folderStepsKeepOneEntry();
};

void FrmMainRecentTest::listSurvivesARestartAndGreysMissingFiles()
{
    test::FakeDesktop fake;
    test::TempDir dir;
    const std::string settings = dir.file("trimlet.ini");
    const std::vector<std::string> files{write(dir, "a.bmp", 10), write(dir, "b&c.bmp", 20), write(dir, "d.bmp", 30)};
    {
        test::TestMain frm({}, settings);
        frm.show();
        for (const std::string& f : files)
            frm.LoadPictureFile(f);
        frm.LoadPictureFile(files[0]);  // again: moves to the top, no second entry
        frm.close();
    }
    QCOMPARE(fake.recentFiles, (std::vector<std::string>{files[0], files[1], files[2], files[0]}));

    test::TestMain frm({}, settings);
    frm.show();
    QVERIFY(test::control<QToolButton>(frm, "btnOpenRecent")->parent() == frm.btnOpen);
    QCOMPARE(test::control<QAction>(frm, "popitemRecent")->menu(), test::control<QMenu>(frm, "popRecent"));
    std::filesystem::remove(files[1]);
    QList<QAction*> entries = shownEntries(frm);
    QCOMPARE(entries.size(), 3);
    const QStringList captions{entries[0]->text(), entries[1]->text(), entries[2]->text()};
    QCOMPARE(captions, QStringList({QString::fromStdString(files[0]), QString::fromStdString(files[2]),
                                    QString::fromStdString(dir.file("b&&c.bmp"))}));
    QVERIFY(entries[0]->isEnabled() && entries[1]->isEnabled() && !entries[2]->isEnabled());

    entries[2]->trigger();
    test::settleLoads(frm);
    QVERIFY(frm.currentFilePath().empty());
    // A file that goes after the menu opened does not load either.
    std::filesystem::remove(files[2]);
    entries[1]->trigger();
    test::settleLoads(frm);
    QVERIFY(frm.currentFilePath().empty());
    entries[0]->trigger();
    test::settleLoads(frm);
    QCOMPARE(frm.currentFilePath(), files[0]);
    QCOMPARE(frm.editingPicture().width(), 10);

    test::control<QAction>(frm, "popitemRecentRemoveMissing")->trigger();
    entries = shownEntries(frm);
    QCOMPARE(entries.size(), 1);
    test::control<QAction>(frm, "popitemRecentClear")->trigger();
    QVERIFY(shownEntries(frm).isEmpty());
}

void FrmMainRecentTest::folderStepsKeepOneEntry()
{
    test::FakeDesktop fake;
    test::TempDir dir;
    const std::string other = write(dir, "other.bmp", 5);
    std::filesystem::create_directory(dir.file("walk"));
    const std::string first = write(dir, "walk/p1.bmp", 10);
    write(dir, "walk/p2.bmp", 20);
    const std::string last = write(dir, "walk/p3.bmp", 30);
    test::TestMain frm;
    frm.show();
    frm.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&frm));
    frm.LoadPictureFile(other);
    frm.LoadPictureFile(first);
    for (int i = 0; i < 2; ++i) {
        QTest::keyClick(frm.windowHandle(), Qt::Key_PageDown);
        test::settleLoads(frm);
    }
    QCOMPARE(frm.currentFilePath(), last);
    const QList<QAction*> entries = shownEntries(frm);
    QCOMPARE(entries.size(), 2);
    QCOMPARE(entries[0]->text(), QString::fromStdString(last));
    QCOMPARE(entries[1]->text(), QString::fromStdString(other));
    QCOMPARE(fake.recentFiles, (std::vector<std::string>{other, first}));
}

QTEST_MAIN(FrmMainRecentTest)
#include "test_frm_main_recent.moc"
