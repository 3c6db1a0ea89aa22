// Keyboard framing, the preset menu's screen item and stepping through a folder, with keys
// sent through the window system's path (shortcuts first) and real wheel events.

#include <QtTest>

#include <QWheelEvent>
#include <filesystem>
#include <fstream>

#include "codecs/picture_file.h"
#include "settings/profile_file.h"
#include "tests/forms/test_main_window.h"

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
    }
    std::string write(const std::string& name, int w, int h)
    {
        const std::string path = dir.file(name);
        const Bitmap b = test::photoLike(w, h, std::uint32_t(w + h));
        if (!(name.ends_with(".jpg") ? writeJpegFile(b, 90, path) : writeBmpFile(b, path)))
            qFatal("cannot write %s", path.c_str());
        return path;
    }
    void press(int key, Qt::KeyboardModifiers mods = {}, int times = 1)
    {
        for (int i = 0; i < times; ++i) {
            QTest::keyClick(frm.windowHandle(), Qt::Key(key), mods);
            test::settleLoads(frm);
        }
    }
    void wheel(QWidget* over, int delta, Qt::KeyboardModifiers mods = Qt::ControlModifier)
    {
        const QPointF at(over->width() / 2.0, over->height() / 2.0);
        QWheelEvent e(at, over->mapToGlobal(at), {}, QPoint(0, delta), Qt::NoButton, mods, Qt::NoScrollPhase, false);
        QApplication::sendEvent(over, &e);
    }
    QRect frame() const { return frm.shpRange->geometry(); }
    QRect display() const { return frm.imgSource->geometry(); }
    QString status(int n, int count, const char* name) const
    {
        return QStringLiteral("%1 / %2　ファイルドロップ：%3")
            .arg(n)
            .arg(count)
            .arg(QString::fromStdString(dir.file(name)));
    }
};

}  // namespace

class FrmMainKeysTest : public QObject {
    Q_OBJECT
private slots:
    void arrowsMoveTheFrameInsideThePicture();
    void workAreaKeepsTheOtherKeys();
    void ctrlWheelStepsTheRateWithinItsLimits();
    void screenItemSetsTheScreensDevicePixels();
    void pageKeysStepThroughTheFolderInNaturalOrder();
    void stepKeepsRateAndPlaceAndGoesOnAfterABrokenFile();
    void nextPhotoIsDecodedAheadAndASaveWaitsForItsLoad();
};

void FrmMainKeysTest::arrowsMoveTheFrameInsideThePicture()
{
    Window w;
    w.frm.LoadPictureFile(w.write("p.bmp", 1600, 1200));
    QTest::mouseClick(w.frm.shpRange, Qt::LeftButton, {}, QPoint(3, 3));
    QVERIFY(w.frm.imgSource->hasFocus());  // a click on the frame gives the work area the keys
    const QRect start = w.frame();
    const QRect d = w.display();
    w.press(Qt::Key_Right);
    w.press(Qt::Key_Down, Qt::ShiftModifier);
    QCOMPARE(w.frame(), start.translated(1, 10));
    w.press(Qt::Key_Left, Qt::ShiftModifier);
    w.press(Qt::Key_Up);
    QCOMPARE(w.frame(), start.translated(-9, 9));

    // Remembered as the end of a drag remembers it: the same move by mouse, the same centre.
    const IntPoint byKeys = w.frm.frameState().centre;
    w.press(Qt::Key_Home);
    QCOMPARE(w.frame(), start);
    QTest::mousePress(w.frm.shpRange, Qt::LeftButton, {}, QPoint(20, 20));
    QMouseEvent move(QEvent::MouseMove, QPointF(11, 29), w.frm.shpRange->mapToGlobal(QPointF(11, 29)), Qt::NoButton,
                     Qt::LeftButton, {});
    QApplication::sendEvent(w.frm.shpRange, &move);
    QTest::mouseRelease(w.frm.shpRange, Qt::LeftButton, {}, QPoint(11, 29));
    QCOMPARE(w.frm.frameState().centre, byKeys);

    // Edges stop it, and presses past an edge are not kept: the first one back moves it.
    w.press(Qt::Key_Left, Qt::ShiftModifier, 40);
    w.press(Qt::Key_Up, Qt::ShiftModifier, 40);
    QCOMPARE(w.frame().topLeft(), d.topLeft());
    w.press(Qt::Key_Right, {}, 400);
    w.press(Qt::Key_Down, Qt::ShiftModifier, 40);
    QCOMPARE(w.frame().bottomRight(), d.bottomRight());
    QCOMPARE(w.frame().size(), start.size());
    w.press(Qt::Key_Left);
    QCOMPARE(w.frame().right(), d.right() - 1);
    // A cut larger than the picture fills the display and cannot move.
    w.frm.edtSizeW->setText(QStringLiteral("4096"));
    w.frm.edtSizeH->setText(QStringLiteral("4096"));
    w.frm.imgSource->setFocus();
    w.press(Qt::Key_Right, Qt::ShiftModifier);
    w.press(Qt::Key_Up);
    QCOMPARE(w.frame(), d);
}

void FrmMainKeysTest::workAreaKeepsTheOtherKeys()
{
    Window w;
    w.frm.LoadPictureFile(w.write("p.bmp", 1000, 1000));
    QObject::disconnect(w.frm.btnPreview, &QPushButton::clicked, nullptr, nullptr);
    QSignalSpy preview(w.frm.btnPreview, &QPushButton::clicked);
    w.frm.imgSource->setFocus();
    w.press(Qt::Key_Return);  // Enter on the work area is Enter on the page
    QCOMPARE(preview.count(), 1);

    w.frm.btnOpen->setFocus();  // Tab reaches the work area and leaves it again
    for (int tabs = 0; tabs < 60 && !w.frm.imgSource->hasFocus(); ++tabs)
        w.press(Qt::Key_Tab);
    QVERIFY(w.frm.imgSource->hasFocus());
    w.press(Qt::Key_Tab);
    QVERIFY(!w.frm.imgSource->hasFocus());

    // The folder keys are the window's on any control; the slider keeps its arrows.
    w.write("q.bmp", 800, 600);
    w.frm.tbarQual->setValue(50);
    w.frm.tbarQual->setFocus();
    w.press(Qt::Key_PageDown);
    QCOMPARE(w.frm.currentFilePath(), w.dir.file("q.bmp"));
    QCOMPARE(w.frm.tbarQual->value(), 50);
    w.frm.tbarQual->setFocus();
    w.press(Qt::Key_Right);
    w.press(Qt::Key_Right);
    w.press(Qt::Key_Left, Qt::AltModifier);
    QCOMPARE(w.frm.tbarQual->value(), 52);
    QCOMPARE(w.frm.currentFilePath(), w.dir.file("p.bmp"));
    w.press(Qt::Key_Left);
    QCOMPARE(w.frm.tbarQual->value(), 51);
    w.frm.edtPower->setFocus();
    w.press(Qt::Key_PageDown);
    QCOMPARE(w.frm.currentFilePath(), w.dir.file("q.bmp"));
}

void FrmMainKeysTest::ctrlWheelStepsTheRateWithinItsLimits()
{
    Window w;
    w.frm.LoadPictureFile(w.write("p.bmp", 1000, 1000));  // rate 24 to 100
    w.frm.edtPower->setText(QStringLiteral("50"));
    w.frm.imgSource->setFocus();
    const QPoint centre = w.frame().center();
    w.wheel(w.frm.imgSource, 120);
    QCOMPARE(w.frm.edtPower->text(), QStringLiteral("51"));
    w.wheel(w.frm.shpRange, -240);
    QCOMPARE(w.frm.udPower->position(), 49);
    // The frame follows the rate around its centre; the keys stay with the work area.
    QVERIFY((w.frame().center() - centre).manhattanLength() <= 1);
    QCOMPARE(w.frame().width(), w.display().width() * 240 * 100 / (1000 * 49));
    QVERIFY(w.frm.imgSource->hasFocus());

    for (int delta : {40, 40, 40, -60, 30})  // a touchpad's small steps add up to notches
        w.wheel(w.frm.imgSource, delta);
    QCOMPARE(w.frm.udPower->position(), 50);
    for (int i = 0; i < 30; ++i)
        w.wheel(w.frm.imgSource, -120);
    QCOMPARE(w.frm.udPower->position(), 24);
    w.frm.edtPower->setText(QStringLiteral("99"));
    w.wheel(w.frm.imgSource, 360);
    QCOMPARE(w.frm.udPower->position(), 100);
    // Without Ctrl the wheel keeps its old meaning: the focus to the rate, the rate as it is.
    w.wheel(w.frm.imgSource, -120, {});
    QCOMPARE(w.frm.udPower->position(), 100);
    QVERIFY(w.frm.edtPower->hasFocus());
}

void FrmMainKeysTest::screenItemSetsTheScreensDevicePixels()
{
    // The test screen (forms/wide_screen.json) has 1366 × 768 device pixels; also run at
    // QT_SCALE_FACTOR=2, where Qt calls it 683 × 384.
    Window w;
    auto* item = test::control<QAction>(w.frm, "itemScreen");
    const auto press = [&](Qt::Key key) {
        QVERIFY(w.frm.popTpl->isVisible());
        QTest::keyClick(w.frm.popTpl->windowHandle(), key);
    };
    w.frm.btnSizeLoad->click();
    QCOMPARE(item->text(), QStringLiteral("この画面 (1366×768)"));
    press(Qt::Key_Up);  // the menu opens on the first stored size; the item is above it
    press(Qt::Key_Return);
    QVERIFY(!w.frm.popTpl->isVisible());
    QCOMPARE(w.frm.edtSizeW->text(), QStringLiteral("1366"));
    QCOMPARE(w.frm.udSizeH->position(), 768);

    w.frm.btnSizeLoad->click();
    press(Qt::Key_End);
    press(Qt::Key_Down);  // past the last size to the item, and on to the first size
    press(Qt::Key_Right);
    press(Qt::Key_Down);
    press(Qt::Key_Enter);
    QCOMPARE(w.frm.edtSizeW->text(), QStringLiteral("640"));

    // 記憶 cannot overwrite the screen: neither the item nor its line, and Up wraps to the last.
    w.fake.textAnswers = {QStringLiteral("last")};
    w.frm.btnSizeSave->click();
    QVERIFY(!item->isVisible());
    QVERIFY(!w.frm.popTpl->findChild<QWidget*>(QStringLiteral("lineScreen"))->isVisible());
    press(Qt::Key_Up);
    press(Qt::Key_Return);
    QCOMPARE(ProfileFile(w.frm.settingsPath()).readString("size", "caption19", ""), std::string("last"));
}

void FrmMainKeysTest::pageKeysStepThroughTheFolderInNaturalOrder()
{
    Window w;
    w.write("img10.bmp", 300, 400);
    w.write("IMG2.jpg", 640, 480);
    w.write("img1.bmp", 400, 300);
    w.write("img3.bmp", 200, 100);
    w.write(".img5.bmp", 100, 100);  // hidden, as the open dialog hides it
    std::ofstream(w.dir.file("img4.txt")) << "not a picture";
    std::filesystem::create_directory(w.dir.file("img7.bmp"));
    w.frm.LoadPictureFile(w.dir.file("img1.bmp"));

    w.press(Qt::Key_PageDown);
    QCOMPARE(w.frm.statusText(), w.status(2, 4, "IMG2.jpg"));
    QCOMPARE(w.frm.editingPicture().width(), 640);
    w.press(Qt::Key_Right, Qt::AltModifier);
    w.press(Qt::Key_PageDown);
    QCOMPARE(w.frm.statusText(), w.status(4, 4, "img10.bmp"));
    QCOMPARE(w.frm.currentFilePath(), w.dir.file("img10.bmp"));
    w.press(Qt::Key_PageDown);  // no wrap: the status line says so and the picture stays
    QCOMPARE(w.frm.statusText(), QStringLiteral("4 / 4　フォルダの最後の画像です。"));
    QCOMPARE(w.frm.editingPicture().width(), 300);
    w.press(Qt::Key_PageUp);
    QCOMPARE(w.frm.statusText(), w.status(3, 4, "img3.bmp"));
    w.press(Qt::Key_Left, Qt::AltModifier, 3);
    QCOMPARE(w.frm.statusText(), QStringLiteral("1 / 4　フォルダの最初の画像です。"));
    QVERIFY(w.fake.messages.empty());

    // On the concatenation page a step loads the next file instead of joining it.
    w.frm.pcEdit->setCurrentWidget(w.frm.tabConcat);
    w.press(Qt::Key_PageDown);
    QCOMPARE(w.frm.currentFilePath(), w.dir.file("IMG2.jpg"));
    QCOMPARE(w.frm.editingPicture().width(), 640);

    // A pasted picture has no folder: the keys do nothing.
    w.fake.clipboard = QImage(50, 40, QImage::Format_RGB32);
    w.frm.btnPaste->click();
    w.press(Qt::Key_PageDown);
    QCOMPARE(w.frm.statusText(), QStringLiteral("クリップボードからの貼り付け"));
}

void FrmMainKeysTest::stepKeepsRateAndPlaceAndGoesOnAfterABrokenFile()
{
    Window w;
    w.write("a1.bmp", 1600, 1200);
    w.write("a2.bmp", 2000, 1500);
    w.write("a3.bmp", 200, 150);  // smaller than the cut: rate 100 only
    std::ofstream(w.dir.file("a4.png"), std::ios::binary) << "\x89PNG broken";
    w.write("a5.bmp", 1600, 1200);
    w.frm.LoadPictureFile(w.dir.file("a1.bmp"));
    w.frm.edtPower->setText(QStringLiteral("50"));
    w.frm.imgSource->setFocus();
    w.press(Qt::Key_Left, Qt::ShiftModifier, 8);
    const IntPoint first = w.frm.frameState().centre;
    const QRect frameOnFirst = w.frame();

    w.press(Qt::Key_PageDown);
    QCOMPARE(w.frm.udSizeW->position(), 240);
    QCOMPARE(w.frm.udPower->position(), 50);
    QVERIFY(std::abs(w.frm.frameState().centre.x - first.x * 5 / 4) <= 1);
    QVERIFY(std::abs(w.frm.frameState().centre.y - first.y * 5 / 4) <= 1);
    w.press(Qt::Key_PageDown);  // too small for rate 50: raised to what it allows
    QCOMPARE(w.frm.udPower->position(), 100);
    QVERIFY(w.display().contains(w.frame()));

    // The broken file: the load's own report, with its place; the picture stays.
    w.press(Qt::Key_PageDown);
    QCOMPARE(w.fake.messages.size(), std::size_t(1));
    QCOMPARE(w.frm.statusText(), QStringLiteral("4 / 5　a4.pngは読み込めませんでした。"));
    QCOMPARE(w.frm.currentFilePath(), w.dir.file("a3.bmp"));
    // On from there; large again: the rate and the place chosen before come back.
    w.press(Qt::Key_PageDown);
    QCOMPARE(w.frm.currentFilePath(), w.dir.file("a5.bmp"));
    QCOMPARE(w.frm.udPower->position(), 50);
    QCOMPARE(w.frm.frameState().centre, first);
    QVERIFY((w.frame().topLeft() - frameOnFirst.topLeft()).manhattanLength() <= 2);
    w.press(Qt::Key_PageUp);  // back over the broken file, which is reported again
    QCOMPARE(w.fake.messages.size(), std::size_t(2));
    // A file opened otherwise is where the next step starts.
    w.frm.LoadPictureFile(w.dir.file("a1.bmp"));
    w.press(Qt::Key_PageDown);
    QCOMPARE(w.frm.currentFilePath(), w.dir.file("a2.bmp"));
}

void FrmMainKeysTest::nextPhotoIsDecodedAheadAndASaveWaitsForItsLoad()
{
    Window w;
    const std::string next = w.write("b.bmp", 400, 300);
    w.write("c.jpg", 3000, 2000);  // long enough to decode that the next key finds it decoding
    w.frm.LoadPictureFile(w.write("a.bmp", 300, 400));
    const auto& loads = *w.frm.findChild<PictureLoads*>();
    QVERIFY(QTest::qWaitFor([&] { return loads.decodedAhead() == std::vector<std::string>{next}; }));
    const Bitmap ahead = test::photoLike(400, 300, 400 + 300);  // as write() made it
    // Rewritten under the same size and time: the step shows what was decoded ahead, and a
    // reload reads the file anew.
    const auto stamp = std::filesystem::last_write_time(next);
    const Bitmap rewritten = test::photoLike(400, 300, 99);
    QVERIFY(writeBmpFile(rewritten, next));
    std::filesystem::last_write_time(next, stamp);

    // A save pressed right after the key cuts the photo the key went to.
    QTest::keyClick(w.frm.windowHandle(), Qt::Key_PageDown);
    QTest::mouseClick(w.frm.btnSave, Qt::LeftButton);
    QVERIFY(test::fileExists(w.dir.file("b(1).jpg")));
    QVERIFY(!test::fileExists(w.dir.file("a(1).jpg")));
    QVERIFY(w.frm.editingPicture().bitmap() == ahead);
    QTest::keyClick(w.frm.windowHandle(), Qt::Key_PageDown);  // onto c.jpg, still decoding ahead
    QTest::mouseClick(w.frm.btnSave, Qt::LeftButton);
    QVERIFY(test::fileExists(w.dir.file("c(1).jpg")));
    QVERIFY(!test::fileExists(w.dir.file("b(2).jpg")));
    QTest::keyClick(w.frm.windowHandle(), Qt::Key_PageUp);
    w.frm.btnReload->click();
    test::settleLoads(w.frm);
    QVERIFY(w.frm.editingPicture().bitmap() == rewritten);

    // A large JPEG read anew shows a DCT-scaled first look, then the picture itself.
    w.frm.LoadPictureFile(w.dir.file("c.jpg"));
    const Picture whole = w.frm.editingPicture();
    QSignalSpy looks(&loads, &PictureLoads::lookShown);
    w.frm.btnReload->click();
    test::settleLoads(w.frm);
    QCOMPARE(looks.count(), 1);
    QVERIFY(w.frm.editingPicture().bitmap() == whole.bitmap());
    QVERIFY(w.frm.shpRange->isVisible());
    QCOMPARE(w.frm.imgSource->image().size(), w.frm.imgSource->deviceSize());
}

QTEST_MAIN(FrmMainKeysTest)
#include "test_frm_main_keys.moc"
