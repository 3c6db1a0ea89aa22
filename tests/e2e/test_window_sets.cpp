// A set and a span framed in the window as a user frames them: chosen from the menu beside the
// cut size, their outlines over the picture, saved by 枠内保存 and by the preview's 保存; and the
// same framing given to trimlet-cli, which must write the same bytes.

#include <QtTest>

#include <QCheckBox>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QToolButton>
#include <filesystem>

#include "codecs/picture_file.h"
#include "forms/main/cut_set_choice.h"
#include "forms/main/set_outlines.h"
#include "forms/main/work_area_widgets.h"
#include "forms/preview/frm_preview.h"
#include "settings/profile_file.h"
#include "tests/forms/test_main_window.h"

using namespace trimlet;
namespace fs = std::filesystem;

namespace {

struct SetWindow : test::MainWithPreview {
    CutSetChoice* sets = test::control<CutSetChoice>(frm, "cutSets");
    QToolButton* btnCutSet = test::control<QToolButton>(frm, "btnCutSet");
    SetOutlines* outlines = test::control<SetOutlines>(frm, "shpSetOutlines");
    QCheckBox* chkFit = test::control<QCheckBox>(frm, "chkFit");
    // Apart from the temporary JPEG, so that the pieces' folder can be made read-only alone.
    std::string folder = tempDir.file("photos");
    std::string photo = folder + "/photo.jpg";

    explicit SetWindow(const std::string& setValue)
    {
        fs::create_directory(folder);
        if (!ProfileFile(frm.settingsPath()).writeString("sets", "机", setValue))
            qFatal("cannot write the set");
        if (!writeJpegFile(test::photoLike(4000, 3000, 7), 90, photo))
            qFatal("cannot write the photo");
        frm.show();
        frm.activateWindow();
        if (!QTest::qWaitForWindowActive(&frm))
            qFatal("window not active");
        frm.LoadPictureFile(photo);
    }
    // Picks an item of the menu under btnCutSet, as a click on it does.
    void chooseFromMenu(const QString& caption)
    {
        QTimer::singleShot(0, btnCutSet, [&] {
            QMenu* menu = btnCutSet->menu();
            for (QAction* a : menu->actions())
                if (a->text().startsWith(caption))
                    a->trigger();
            menu->close();
        });
        btnCutSet->click();
    }
    // The framing the status line names for trimlet-cli, split into its arguments.
    QStringList namedFraming() const
    {
        const auto m = QRegularExpression(QStringLiteral("セットの枠：(.*)$")).match(frm.statusText());
        return m.hasMatch() ? m.captured(1).split(QLatin1Char(' ')) : QStringList();
    }
};

int runCli(const QStringList& args)
{
    QProcess process;
    process.start(QStringLiteral(TRIMLET_CLI), args);
    if (!process.waitForFinished(120000))
        return -1;
    if (process.exitCode() != 0)
        qWarning("trimlet-cli: %s", process.readAllStandardError().constData());
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

// The pieces trimlet-cli writes for framing into a folder of their own, each the same bytes
// as the window's file of that name.
void verifyCliWritesTheSame(const SetWindow& w, const QStringList& framing, const std::vector<std::string>& names)
{
    const std::string cliDir = w.tempDir.file("cli");
    fs::create_directory(cliDir);
    QStringList args{QString::fromStdString(w.photo)};
    args << framing << QStringLiteral("--save") << QStringLiteral("--save-dir") << QString::fromStdString(cliDir);
    QCOMPARE(runCli(args), 0);
    QCOMPARE(test::entryNames(cliDir), names);
    for (const std::string& name : names)
        QVERIFY2(test::readBytes(cliDir + "/" + name) == test::readBytes(w.folder + "/" + name), name.c_str());
}

PictureSize sizeOf(const std::string& path)
{
    const auto probed = probePictureFile(path);
    return probed ? probed.value().size : PictureSize{};
}

// The outline's edges as painted: along each, the dashes and the black line under them.
bool outlineDrawn(const QImage& shown, const QRectF& r)
{
    for (int y = std::max(0, int(r.top()) - 1); y <= int(r.top()) + 1; ++y) {
        int dark = 0, light = 0, count = 0;
        for (int x = int(r.left()) + 4; x < int(r.right()) - 4; ++x, ++count) {
            const QRgb p = shown.pixel(x, y);
            dark += qGray(p) < 8;
            light += qGray(p) > 200;
        }
        if (count > 0 && dark > count / 5 && light > count / 5)
            return true;
    }
    return false;
}

}  // namespace

class WindowSetsTest : public QObject {
    Q_OBJECT
private slots:
    void aSetIsFramedOnceAndSavedWhole();
    void aSpanGivesEachScreenItsPart();
};

void WindowSetsTest::aSetIsFramedOnceAndSavedWhole()
{
    SetWindow w(QStringLiteral("1920x1080,1080x2400,2560x1600").toStdString());
    w.chooseFromMenu(QStringLiteral("机"));
    QVERIFY(w.sets->chosen());
    // The main piece is the set's first size; the others are outlined around it.
    QCOMPARE(w.frm.edtSizeW->text(), QStringLiteral("1920"));
    w.chkFit->click();
    QTest::mouseClick(w.frm.shpRange, Qt::LeftButton, {}, w.frm.shpRange->rect().center());
    QTest::keyClick(w.frm.windowHandle(), Qt::Key_Right);
    QTest::keyClick(w.frm.windowHandle(), Qt::Key_Up);
    const QStringList framing = w.namedFraming();
    QVERIFY2(framing.size() == 2 && framing[1].startsWith(QStringLiteral("1920x1080,1080x2400,2560x1600@fit:")),
             qPrintable(w.frm.statusText()));

    QCOMPARE(w.outlines->outlines().size(), std::size_t(2));
    const QImage shown = w.frm.imgSource->grab().toImage();
    for (const SetOutlines::Outline& o : w.outlines->outlines())
        QVERIFY2(outlineDrawn(shown, o.rect), qPrintable(o.caption));

    w.frm.btnSave->click();
    QVERIFY(w.fake.messages.empty());
    const std::vector<std::string> names{"photo(1)_1080x2400.jpg", "photo(1)_1920x1080.jpg", "photo(1)_2560x1600.jpg"};
    for (const std::string& name : names) {
        const PictureSize size = sizeOf(w.folder + "/" + name);
        QCOMPARE(name.find(std::to_string(size.width) + "x" + std::to_string(size.height)), std::size_t(9));
        QVERIFY2(w.frm.statusText().contains(QString::fromStdString(name)), qPrintable(w.frm.statusText()));
    }
    verifyCliWritesTheSame(w, framing, names);

    // The preview shows the main piece; its 保存 writes the whole set under the next number.
    QTimer::singleShot(0, w.preview.btnSave, [&] { w.preview.btnSave->click(); });
    w.frm.btnPreview->click();
    QVERIFY(test::fileExists(w.folder + "/photo(2)_2560x1600.jpg"));
    QVERIFY(test::fileExists(w.folder + "/photo(2)_1080x2400.jpg"));

    // A set that cannot be written says so, and none of it stays.
    {
        test::ReadOnlyFolder readOnly(w.folder);
        if (readOnly.ok()) {
            w.frm.btnSave->click();
            QCOMPARE(w.fake.messages.size(), std::size_t(1));
            QVERIFY(w.fake.messages.back().text.contains(QStringLiteral("どれも保存していません")));
        }
    }
    for (const std::string& name : test::entryNames(w.folder))
        QVERIFY2(name.find("(3)") == std::string::npos, name.c_str());
}

void WindowSetsTest::aSpanGivesEachScreenItsPart()
{
    SetWindow w("span:2560x1440+0+0/597,1920x1080+2560+180/527;bezel:10");
    QVERIFY(w.sets->choose(QStringLiteral("机")));
    // The frame takes the layout's proportions, 1134 mm by 338.4 mm, whatever the cut size.
    const double aspect = double(w.frm.shpRange->width()) / w.frm.shpRange->height();
    QVERIFY2(std::abs(aspect - 1134.0 / 338.42) < 0.05, qPrintable(QString::number(aspect)));
    QCOMPARE(w.outlines->outlines().size(), std::size_t(2));
    const QRectF left = w.outlines->outlines()[0].rect, right = w.outlines->outlines()[1].rect;
    QVERIFY(left.right() < right.left());  // the bezels' gap between them

    QTest::mouseClick(w.frm.shpRange, Qt::LeftButton, {}, w.frm.shpRange->rect().center());
    QTest::keyClick(w.frm.windowHandle(), Qt::Key_Down);
    const QStringList framing = w.namedFraming();
    QVERIFY2(framing.size() == 4 && framing[0] == QStringLiteral("--span"), qPrintable(w.frm.statusText()));
    w.frm.btnSave->click();
    QVERIFY(w.fake.messages.empty());
    const std::vector<std::string> names{"photo(1)_1920x1080.jpg", "photo(1)_2560x1440.jpg"};
    QCOMPARE(sizeOf(w.folder + "/" + names[0]).width, 1920);
    QCOMPARE(sizeOf(w.folder + "/" + names[1]).height, 1440);
    verifyCliWritesTheSame(w, framing, names);
}

QTEST_MAIN(WindowSetsTest)
#include "test_window_sets.moc"
