// Keyboard framing, the preset menu's screen item and stepping through a folder, driven by
// key events through the window system's path (shortcuts included) and real wheel events.

#include <QtTest>

#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QWheelEvent>
#include <filesystem>
#include <fstream>

#include "codecs/picture_file.h"
#include "forms/frm_main.h"
#include "forms/up_down.h"
#include "forms/work_area_widgets.h"
#include "settings/profile_file.h"
#include "tests/forms/fake_desktop.h"
#include "tests/forms/test_main_window.h"
#include "tests/support/test_support.h"

using namespace trimlet;

namespace {

struct Window {
    test::FakeDesktop fake;
    test::TempDir dir;
    test::TestMain frm;

    Window()
    {
        frm.show();
        frm.activateWindow();
        if (!QTest::qWaitForWindowActive(&frm))
            qFatal("window not active");
        frm.edtSizeW->setText(QStringLiteral("240"));
        frm.edtSizeH->setText(QStringLiteral("320"));
        frm.edtPower->setText(QStringLiteral("100"));
    }

    std::string write(const std::string& name, int w, int h, std::uint32_t seed = 1)
    {
        const std::string path = dir.file(name);
        const bool jpeg = name.ends_with(".jpg") || name.ends_with(".JPG");
        const Bitmap b = test::photoLike(w, h, seed);
        if (!(jpeg ? writeJpegFile(b, 90, path) : writeBmpFile(b, path)))
            qFatal("cannot write %s", path.c_str());
        return path;
    }

    void load(int w, int h) { frm.LoadPictureFile(write("picture.bmp", w, h)); }

    // Keys go where the window system sends them: shortcuts first, then the focused control.
    void press(int key, Qt::KeyboardModifiers mods = {}) { QTest::keyClick(frm.windowHandle(), Qt::Key(key), mods); }

    void wheel(QWidget* over, int delta, Qt::KeyboardModifiers mods = Qt::ControlModifier)
    {
        const QPointF at(over->width() / 2.0, over->height() / 2.0);
        QWheelEvent e(at, over->mapToGlobal(at), {}, QPoint(0, delta), Qt::NoButton, mods, Qt::NoScrollPhase, false);
        QApplication::sendEvent(over, &e);
    }

    QRect frame() const { return frm.shpRange->geometry(); }
    QRect display() const { return frm.imgSource->geometry(); }
};

QAction* screenItem(const Window& w) { return test::control<QAction>(w.frm, "itemScreen"); }

}  // namespace

class FrmMainKeysTest : public QObject {
    Q_OBJECT
private slots:
    void arrowsMoveTheFrameAsADragDoes();
    void arrowsStopAtThePicturesEdgesAndHomeCentres();
    void workAreaKeepsTheOtherKeys();
    void ctrlWheelStepsTheRateWithinItsLimits();
    void screenItemSetsTheScreensDevicePixels();
    void screenItemFromTheKeyboard();
    void pageKeysStepThroughTheFolderInNaturalOrder();
    void stepKeepsCutSizeRateAndRelativeCentre();
    void stepOverABrokenFileAndWithoutAFile();
};

void FrmMainKeysTest::arrowsMoveTheFrameAsADragDoes()
{
    Window w;
    w.load(1600, 1200);
    // A click on the frame gives the work area the keyboard.
    QTest::mouseClick(w.frm.shpRange, Qt::LeftButton, {}, QPoint(3, 3));
    QVERIFY(w.frm.imgSource->hasFocus());

    const QRect start = w.frame();
    w.press(Qt::Key_Right);
    QCOMPARE(w.frame(), start.translated(1, 0));
    w.press(Qt::Key_Down, Qt::ShiftModifier);
    QCOMPARE(w.frame(), start.translated(1, 10));
    w.press(Qt::Key_Left, Qt::ShiftModifier);
    w.press(Qt::Key_Up);
    QCOMPARE(w.frame(), start.translated(-9, 9));

    // The new place is remembered in picture pixels, as the end of a drag remembers it: a
    // relayout puts the frame back on it, and the same move by mouse gives the same centre.
    const IntPoint byKeys = w.frm.cutFrame().centre;
    w.frm.LayoutWorkArea(false, false);
    QVERIFY((w.frame().topLeft() - start.translated(-9, 9).topLeft()).manhattanLength() <= 2);
    w.press(Qt::Key_Home);
    QCOMPARE(w.frame(), start);
    QTest::mousePress(w.frm.shpRange, Qt::LeftButton, {}, QPoint(20, 20));
    QMouseEvent move(QEvent::MouseMove, QPointF(11, 29), w.frm.shpRange->mapToGlobal(QPointF(11, 29)), Qt::NoButton,
                     Qt::LeftButton, {});
    QApplication::sendEvent(w.frm.shpRange, &move);
    QTest::mouseRelease(w.frm.shpRange, Qt::LeftButton, {}, QPoint(11, 29));
    QCOMPARE(w.frame(), start.translated(-9, 9));
    QCOMPARE(w.frm.cutFrame().centre, byKeys);
}

void FrmMainKeysTest::arrowsStopAtThePicturesEdgesAndHomeCentres()
{
    Window w;
    w.load(1600, 1200);
    w.frm.imgSource->setFocus();
    const QRect centred = w.frame();
    const QRect d = w.display();
    for (int i = 0; i < 40; ++i)
        w.press(Qt::Key_Left, Qt::ShiftModifier);
    for (int i = 0; i < 40; ++i)
        w.press(Qt::Key_Up, Qt::ShiftModifier);
    QCOMPARE(w.frame().topLeft(), d.topLeft());
    QCOMPARE(w.frame().size(), centred.size());
    for (int i = 0; i < 400; ++i)
        w.press(Qt::Key_Right);
    for (int i = 0; i < 40; ++i)
        w.press(Qt::Key_Down, Qt::ShiftModifier);
    QCOMPARE(w.frame().bottomRight(), d.bottomRight());
    // Presses past the edge are not kept: the first one back moves the frame.
    w.press(Qt::Key_Left);
    QCOMPARE(w.frame().right(), d.right() - 1);
    w.press(Qt::Key_Home);
    QCOMPARE(w.frame(), centred);
    // A cut larger than the picture: the frame fills the display and cannot move.
    w.frm.edtSizeW->setText(QStringLiteral("4096"));
    w.frm.edtSizeH->setText(QStringLiteral("4096"));
    w.frm.edtPower->setText(QStringLiteral("100"));
    w.frm.imgSource->setFocus();
    const QRect full = w.frame();
    QCOMPARE(full, d);
    w.press(Qt::Key_Right, Qt::ShiftModifier);
    w.press(Qt::Key_Up);
    QCOMPARE(w.frame(), full);
}

void FrmMainKeysTest::workAreaKeepsTheOtherKeys()
{
    Window w;
    w.load(1000, 1000);
    QObject::disconnect(w.frm.btnPreview, &QPushButton::clicked, nullptr, nullptr);
    QSignalSpy preview(w.frm.btnPreview, &QPushButton::clicked);
    w.frm.imgSource->setFocus();
    w.press(Qt::Key_Return);  // Enter on the work area is Enter on the page
    QCOMPARE(preview.count(), 1);

    // Tab reaches the work area and leaves it again.
    w.frm.btnOpen->setFocus();
    int tabs = 0;
    while (!w.frm.imgSource->hasFocus() && tabs < 60) {
        w.press(Qt::Key_Tab);
        ++tabs;
    }
    QVERIFY(w.frm.imgSource->hasFocus());
    w.press(Qt::Key_Tab);
    QVERIFY(!w.frm.imgSource->hasFocus());

    // Arrows elsewhere do what they did: the size field spins, the frame stays.
    const QRect before = w.frame();
    w.frm.edtSizeW->setFocus();
    w.press(Qt::Key_Up);
    QCOMPARE(w.frm.udSizeW->position(), 241);
    w.press(Qt::Key_Down);
    QCOMPARE(w.frm.udSizeW->position(), 240);
    QCOMPARE(w.frame(), before);
    // PageUp / PageDown on the quality slider page it, they do not step through the folder.
    w.frm.tbarQual->setValue(50);
    w.frm.tbarQual->setFocus();
    w.press(Qt::Key_PageDown);
    QCOMPARE(w.frm.tbarQual->value(), 40);
    QCOMPARE(w.frm.currentFileName(), QString::fromStdString(w.dir.file("picture.bmp")));
}

void FrmMainKeysTest::ctrlWheelStepsTheRateWithinItsLimits()
{
    Window w;
    w.load(1000, 1000);  // rate 24 to 100
    QCOMPARE(w.frm.udPower->minimum(), 24);
    w.frm.edtPower->setText(QStringLiteral("50"));
    w.frm.imgSource->setFocus();
    const QPoint centre = w.frame().center();

    w.wheel(w.frm.imgSource, 120);
    QCOMPARE(w.frm.udPower->position(), 51);
    QCOMPARE(w.frm.edtPower->text(), QStringLiteral("51"));
    w.wheel(w.frm.shpRange, -240);
    QCOMPARE(w.frm.udPower->position(), 49);
    // The frame follows the rate around its centre; the keyboard stays on the work area.
    QVERIFY((w.frame().center() - centre).manhattanLength() <= 1);
    QCOMPARE(w.frame().width(), w.display().width() * 240 * 100 / (1000 * 49));
    QVERIFY(w.frm.imgSource->hasFocus());

    // A touchpad's small steps add up to a notch.
    for (int i = 0; i < 3; ++i)
        w.wheel(w.frm.imgSource, 40);
    QCOMPARE(w.frm.udPower->position(), 50);
    w.wheel(w.frm.imgSource, -60);
    w.wheel(w.frm.imgSource, 30);
    QCOMPARE(w.frm.udPower->position(), 50);

    for (int i = 0; i < 30; ++i)
        w.wheel(w.frm.imgSource, -120);
    QCOMPARE(w.frm.udPower->position(), 24);
    w.frm.edtPower->setText(QStringLiteral("99"));
    w.wheel(w.frm.imgSource, 360);
    QCOMPARE(w.frm.udPower->position(), 100);

    // Without Ctrl the wheel keeps its old meaning: the rate field gets the focus, the rate stays.
    w.wheel(w.frm.imgSource, -120, {});
    QCOMPARE(w.frm.udPower->position(), 100);
    QVERIFY(w.frm.edtPower->hasFocus());
}

void FrmMainKeysTest::screenItemSetsTheScreensDevicePixels()
{
    // The test screen (forms/wide_screen.json) is 1366 × 768 device pixels; run also at
    // QT_SCALE_FACTOR=2, where Qt calls it 683 × 384.
    Window w;
    w.frm.btnSizeLoad->click();
    QVERIFY(screenItem(w)->isVisible());
    QCOMPARE(screenItem(w)->text(), QStringLiteral("この画面 (1366×768)"));
    QCOMPARE(w.frm.popTplItems[0]->text(), QStringLiteral("横VGA(640×480)"));
    screenItem(w)->trigger();
    QVERIFY(!w.frm.popTpl->isVisible());
    QCOMPARE(w.frm.edtSizeW->text(), QStringLiteral("1366"));
    QCOMPARE(w.frm.edtSizeH->text(), QStringLiteral("768"));
    QCOMPARE(w.frm.udSizeH->position(), 768);

    // 記憶 cannot overwrite the screen: the item and its line are not offered there.
    w.frm.btnSizeSave->click();
    QVERIFY(!screenItem(w)->isVisible());
    QVERIFY(!w.frm.popTpl->findChild<QWidget*>(QStringLiteral("lineScreen"))->isVisible());
    w.frm.popTpl->close();
}

void FrmMainKeysTest::screenItemFromTheKeyboard()
{
    Window w;
    const auto press = [&](Qt::Key key) {
        QVERIFY(w.frm.popTpl->isVisible());
        QTest::keyClick(w.frm.popTpl->windowHandle(), key);
    };
    // The menu opens on the first stored size; Up from there is the screen's item.
    w.frm.btnSizeLoad->click();
    press(Qt::Key_Up);
    press(Qt::Key_Return);
    QVERIFY(!w.frm.popTpl->isVisible());
    QCOMPARE(w.frm.edtSizeW->text(), QStringLiteral("1366"));

    w.frm.btnSizeLoad->click();
    press(Qt::Key_End);
    press(Qt::Key_Down);   // past the last stored size
    press(Qt::Key_Right);  // the single item has no second column
    press(Qt::Key_Down);
    press(Qt::Key_Enter);  // 横VGA
    QCOMPARE(w.frm.edtSizeW->text(), QStringLiteral("640"));
    w.frm.btnSizeLoad->click();
    press(Qt::Key_Right);
    press(Qt::Key_Home);
    press(Qt::Key_Space);
    QCOMPARE(w.frm.edtSizeH->text(), QStringLiteral("768"));

    // Under 記憶 the item is gone from the walk too: Up from the first wraps to the last.
    w.fake.textAnswers = {QStringLiteral("last")};
    w.frm.btnSizeSave->click();
    press(Qt::Key_Up);
    press(Qt::Key_Return);
    QCOMPARE(ProfileFile(w.frm.settingsPath()).readString("size", "caption19", ""), std::string("last"));
}

void FrmMainKeysTest::pageKeysStepThroughTheFolderInNaturalOrder()
{
    Window w;
    w.write("img10.bmp", 300, 400, 4);
    w.write("IMG2.jpg", 640, 480, 2);
    w.write("img1.bmp", 400, 300, 1);
    w.write("img3.bmp", 200, 100, 3);
    w.write(".img5.bmp", 100, 100, 5);  // hidden, as the open dialog hides it
    std::ofstream(w.dir.file("img4.txt")) << "not a picture";
    std::ofstream(w.dir.file("img6.TIF.doc")) << "not a picture";
    std::filesystem::create_directory(w.dir.file("img7.bmp"));
    w.frm.LoadPictureFile(w.dir.file("img1.bmp"));

    const auto expect = [&](const char* name, int n, int width) {
        QCOMPARE(w.frm.currentFilePath(), w.dir.file(name));
        QCOMPARE(w.frm.editingPicture().width(), width);
        QCOMPARE(w.frm.statusText(),
                 QStringLiteral("%1 / 4　ファイルドロップ：%2").arg(n).arg(QString::fromStdString(w.dir.file(name))));
    };
    w.press(Qt::Key_PageDown);
    expect("IMG2.jpg", 2, 640);
    w.press(Qt::Key_Right, Qt::AltModifier);
    expect("img3.bmp", 3, 200);
    w.press(Qt::Key_PageDown);
    expect("img10.bmp", 4, 300);
    // No wrap at the end: the status line says so and the picture stays.
    w.press(Qt::Key_PageDown);
    QCOMPARE(w.frm.currentFilePath(), w.dir.file("img10.bmp"));
    QCOMPARE(w.frm.statusText(), QStringLiteral("4 / 4　フォルダの最後の画像です。"));
    w.press(Qt::Key_PageUp);
    expect("img3.bmp", 3, 200);
    w.press(Qt::Key_Left, Qt::AltModifier);
    w.press(Qt::Key_PageUp);
    expect("img1.bmp", 1, 400);
    w.press(Qt::Key_PageUp);
    QCOMPARE(w.frm.statusText(), QStringLiteral("1 / 4　フォルダの最初の画像です。"));
    QVERIFY(w.fake.messages.empty());

    // On the concatenation page a step loads the next file instead of joining it.
    w.frm.pcEdit->setCurrentWidget(w.frm.tabConcat);
    w.press(Qt::Key_PageDown);
    expect("IMG2.jpg", 2, 640);
    QCOMPARE(w.frm.editingPicture().height(), 480);
}

void FrmMainKeysTest::stepKeepsCutSizeRateAndRelativeCentre()
{
    Window w;
    w.write("a1.bmp", 1600, 1200, 1);
    w.write("a2.bmp", 2000, 1500, 2);
    w.write("a3.bmp", 200, 150, 3);  // smaller than the cut: rate 100 only
    w.write("a4.bmp", 1600, 1200, 4);
    w.frm.LoadPictureFile(w.dir.file("a1.bmp"));
    w.frm.edtSizeW->setText(QStringLiteral("320"));
    w.frm.edtSizeH->setText(QStringLiteral("240"));
    w.frm.edtPower->setText(QStringLiteral("50"));
    w.frm.imgSource->setFocus();
    for (int i = 0; i < 8; ++i)
        w.press(Qt::Key_Left, Qt::ShiftModifier);
    const IntPoint first = w.frm.cutFrame().centre;
    const QRect frameOnFirst = w.frame();
    // Where the frame's centre stands across the displayed picture, as a share of its width.
    const auto share = [&] { return double(w.frame().center().x() - w.display().x()) / w.display().width(); };
    const double shareOnFirst = share();
    QVERIFY(shareOnFirst < 0.4);

    w.press(Qt::Key_PageDown);
    QCOMPARE(w.frm.udSizeW->position(), 320);
    QCOMPARE(w.frm.udPower->position(), 50);
    QVERIFY(std::abs(w.frm.cutFrame().centre.x - first.x * 5 / 4) <= 1);
    QVERIFY(std::abs(w.frm.cutFrame().centre.y - first.y * 5 / 4) <= 1);
    QVERIFY(std::abs(share() - shareOnFirst) < 0.02);

    w.press(Qt::Key_PageDown);  // too small for rate 50: raised to what it allows
    QCOMPARE(w.frm.udPower->position(), 100);
    QVERIFY(w.display().contains(w.frame()));
    w.press(Qt::Key_PageDown);  // large again: the rate and the place chosen before come back
    QCOMPARE(w.frm.udPower->position(), 50);
    QCOMPARE(w.frm.cutFrame().centre, first);
    QVERIFY((w.frame().topLeft() - frameOnFirst.topLeft()).manhattanLength() <= 2);
    QCOMPARE(w.frm.edtSizeH->text(), QStringLiteral("240"));
}

void FrmMainKeysTest::stepOverABrokenFileAndWithoutAFile()
{
    Window w;
    w.write("p1.bmp", 300, 200, 1);
    std::ofstream(w.dir.file("p2.png"), std::ios::binary) << "\x89PNG broken";
    w.write("p3.bmp", 200, 300, 3);
    w.frm.LoadPictureFile(w.dir.file("p1.bmp"));
    w.press(Qt::Key_PageDown);
    // The load's own failure report, with the place in the folder.
    QCOMPARE(w.fake.messages.size(), std::size_t(1));
    QCOMPARE(w.fake.messages[0].text, QStringLiteral("p2.pngは読み込めませんでした。"));
    QCOMPARE(w.frm.statusText(), QStringLiteral("2 / 3　p2.pngは読み込めませんでした。"));
    QCOMPARE(w.frm.currentFilePath(), w.dir.file("p1.bmp"));
    QCOMPARE(w.frm.editingPicture().width(), 300);
    // Stepping on goes on from the broken file, both ways.
    w.press(Qt::Key_PageDown);
    QCOMPARE(w.frm.currentFilePath(), w.dir.file("p3.bmp"));
    w.press(Qt::Key_PageUp);
    QCOMPARE(w.fake.messages.size(), std::size_t(2));
    w.press(Qt::Key_PageUp);
    QCOMPARE(w.frm.currentFilePath(), w.dir.file("p1.bmp"));
    QCOMPARE(w.frm.statusText().left(6), QStringLiteral("1 / 3　"));

    // A file opened otherwise is where the next step starts.
    w.press(Qt::Key_PageDown);  // onto the broken one
    w.frm.LoadPictureFile(w.dir.file("p3.bmp"));
    w.press(Qt::Key_PageUp);
    QCOMPARE(w.fake.messages.size(), std::size_t(4));
    QCOMPARE(w.frm.currentFilePath(), w.dir.file("p3.bmp"));

    // A pasted picture has no folder: the keys do nothing.
    w.fake.clipboard = QImage(50, 40, QImage::Format_RGB32);
    w.frm.btnPaste->click();
    const QString status = w.frm.statusText();
    w.press(Qt::Key_PageDown);
    w.press(Qt::Key_PageUp);
    QCOMPARE(w.frm.statusText(), status);
    QCOMPARE(w.frm.editingPicture().width(), 50);
}

QTEST_MAIN(FrmMainKeysTest)
#include "test_frm_main_keys.moc"
