// Real key presses: xdotool types into the real windows on an X server of their own, so that
// what the window system does with Tab, Esc and the accelerators is part of the test.

#include <QtTest>

#include <QElapsedTimer>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTimer>
#include <algorithm>
#include <functional>

#include "codecs/picture_file.h"
#include "forms/main/work_area_widgets.h"
#include "forms/preview/frm_preview.h"
#include "forms/rotation/frm_rot_free.h"
#include "forms/widgets/up_down.h"
#include "imaging/rotate.h"
#include "platform/qimage_bridge.h"
#include "tests/forms/fake_desktop.h"
#include "tests/forms/test_main_window.h"

using namespace trimlet;

namespace {

// Key presses as a user makes them, through the X server's test extension.
void xdo(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral("xdotool"), args);
    if (!p.waitForFinished(10000) || p.exitCode() != 0)
        qWarning("xdotool %s failed: %s", qPrintable(args.join(u' ')), p.readAllStandardError().constData());
}

void keys(const QString& sequence)
{
    xdo(QStringList{QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("40")} + sequence.split(u' '));
}

// Without a window manager nobody hands a new window the keyboard; the test does what a
// click on the window would.
void focus(QWidget* window)
{
    xdo({QStringLiteral("windowfocus"), QStringLiteral("--sync"), QString::number(window->winId())});
}

// Steps run one after another from the event loop, each once its condition holds, so that the
// script goes on inside the modal loop of a window it opened.
class Script : public QObject {
public:
    struct Step {
        std::function<bool()> ready;
        std::function<void()> act;
    };
    explicit Script(std::vector<Step> steps) : steps_(std::move(steps))
    {
        timer_.setInterval(30);
        clock_.start();
        connect(&timer_, &QTimer::timeout, this, [this] {
            // A step that never becomes ready must not leave a modal window waiting forever.
            if (clock_.hasExpired(20000)) {
                timer_.stop();
                if (QWidget* modal = QApplication::activeModalWidget())
                    modal->close();
                return;
            }
            if (next_ < steps_.size() && steps_[next_].ready()) {
                steps_[next_].act();
                ++next_;
            }
        });
        timer_.start();
    }
    bool done() const { return next_ == steps_.size(); }
    std::size_t reached() const { return next_; }

private:
    std::vector<Step> steps_;
    std::size_t next_ = 0;
    QTimer timer_;
    QElapsedTimer clock_;
};

struct Rig : test::MainWithPreview {
    TfrmRotFree rotFree;
    test::TempDir dir;
    Bitmap bitmap;

    Rig()
    {
        frm.setRotFreeWindow(&rotFree);
        frm.resize(900, 640);
        frm.show();
        frm.edtSizeW->setText(QStringLiteral("240"));
        frm.edtSizeH->setText(QStringLiteral("320"));
        bitmap = test::photoLike(1000, 1000);
        const std::string path = dir.file("square.bmp");
        if (!writeBmpFile(bitmap, path))
            qFatal("cannot write picture");
        frm.LoadPictureFile(QString::fromStdString(path));
        frm.activateWindow();
    }
};

}  // namespace

class RealKeysTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void tabLeavesTheRateFieldAndRaisesItToTheMinimum();
    void freeRotationTakesANegativeAngleAndEsc();
    void arrowsMoveTheFrameAndPageDownOpensTheNextFile();
    void keysAreHandledAtOnceWhileALargePhotoLoads();
};

void RealKeysTest::initTestCase()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        QSKIP("real keys need an X server (run under xvfb-run)");
    QVERIFY2(!QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty(), "xdotool is missing");
}

void RealKeysTest::tabLeavesTheRateFieldAndRaisesItToTheMinimum()
{
    Rig r;
    QVERIFY(QTest::qWaitForWindowActive(&r.frm));
    QCOMPARE(r.frm.udPower->minimum(), 24);  // a 240 × 320 cut of a 1000 × 1000 picture
    r.frm.edtPower->setFocus();
    keys(QStringLiteral("ctrl+a 5"));
    QTRY_COMPARE(r.frm.edtPower->text(), QStringLiteral("5"));
    keys(QStringLiteral("Tab"));
    QTRY_VERIFY(!r.frm.edtPower->hasFocus());
    QCOMPARE(r.frm.edtPower->text(), QStringLiteral("24"));
    QCOMPARE(r.frm.udPower->position(), 24);
    QCOMPARE(r.frm.frameState().cutSrcWidth, 1000);

    // Shift+Tab comes back, and Delete works in the field.
    keys(QStringLiteral("shift+Tab"));
    QTRY_VERIFY(r.frm.edtPower->hasFocus());
    keys(QStringLiteral("End BackSpace Home Delete"));
    QTRY_COMPARE(r.frm.edtPower->text(), QString());
}

void RealKeysTest::freeRotationTakesANegativeAngleAndEsc()
{
    Rig r;
    QVERIFY(QTest::qWaitForWindowActive(&r.frm));
    const QString statusBefore = r.frm.statusText();
    QString typed;
    int typedPosition = 0;
    Bitmap atZero, livePreview;
    bool focusLeft = false;
    const auto inAngle = [&] { return r.rotFree.isVisible() && r.rotFree.edtDegree->hasFocus(); };
    Script script({
        {[] { return true; }, [] { keys(QStringLiteral("alt+e alt+y")); }},
        {[&] { return r.rotFree.isVisible(); }, [&] { focus(&r.rotFree); }},
        {inAngle,
         [&] {
             atZero = fromQImage(r.frm.imgRotPreview->image());
             keys(QStringLiteral("ctrl+a minus 4 5"));
         }},
        {[&] { return r.rotFree.edtDegree->text() == QStringLiteral("-45"); },
         [&] {
             typed = r.rotFree.edtDegree->text();
             typedPosition = r.rotFree.degree();
             livePreview = fromQImage(r.frm.imgRotPreview->image());
             keys(QStringLiteral("Tab"));
         }},
        {[&] { return r.rotFree.isVisible() && !r.rotFree.edtDegree->hasFocus(); },
         [&] {
             focusLeft = true;
             keys(QStringLiteral("Escape"));
         }},
        {[&] { return !r.rotFree.isVisible(); }, [] {}},
    });
    QTRY_VERIFY2_WITH_TIMEOUT(script.done(), qPrintable(QStringLiteral("stopped before step %1").arg(script.reached())),
                              25000);
    QCOMPARE(typed, QStringLiteral("-45"));
    QCOMPARE(typedPosition, -45);
    QVERIFY(focusLeft);
    // The live preview shows the turn by -45 of the picture shown at 0.
    QVERIFY(livePreview == rotationPreview(atZero, -45, Rgb{255, 255, 255}));
    QCOMPARE(r.frm.statusText(), statusBefore);  // Esc closed without rotating
    QVERIFY(r.frm.editingPicture().bitmap() == r.bitmap);
    QVERIFY(r.frm.imgSource->isVisible());

    // Opened again, the angle is still -45, and 実行 (Alt+R) turns by it.
    Script run({
        {[] { return true; },
         [&] {
             focus(&r.frm);
             keys(QStringLiteral("alt+y"));
         }},
        {[&] { return r.rotFree.isVisible(); }, [&] { focus(&r.rotFree); }},
        {[&] { return QApplication::activeWindow() == &r.rotFree; }, [] { keys(QStringLiteral("alt+r")); }},
        {[&] { return !r.rotFree.isVisible(); }, [] {}},
    });
    QTRY_VERIFY2_WITH_TIMEOUT(run.done(), qPrintable(QStringLiteral("stopped before step %1").arg(run.reached())),
                              25000);
    QCOMPARE(r.frm.statusText(), QStringLiteral("-45°回転"));
    const auto expected = rotateBilinear(r.bitmap, -45, Rgb{255, 255, 255});
    QVERIFY(expected && r.frm.editingPicture().bitmap() == *expected);
}

void RealKeysTest::arrowsMoveTheFrameAndPageDownOpensTheNextFile()
{
    Rig r;
    QVERIFY(writeBmpFile(test::photoLike(300, 200), r.dir.file("t2.bmp")));
    QVERIFY(QTest::qWaitForWindowActive(&r.frm));
    focus(&r.frm);
    r.frm.imgSource->setFocus();
    const QRect start = r.frm.shpRange->geometry();
    keys(QStringLiteral("Right shift+Down"));
    QTRY_COMPARE(r.frm.shpRange->geometry(), start.translated(1, 10));
    keys(QStringLiteral("Home"));
    QTRY_COMPARE(r.frm.shpRange->geometry(), start);

    keys(QStringLiteral("Next"));
    QTRY_COMPARE(r.frm.currentFilePath(), r.dir.file("t2.bmp"));
    QVERIFY(r.frm.statusText().startsWith(QStringLiteral("2 / 2　")));
    keys(QStringLiteral("alt+Left"));
    QTRY_COMPARE(r.frm.currentFilePath(), r.dir.file("square.bmp"));
    // With the focus on the quality slider, as a click or a Tab leaves it.
    r.frm.tbarQual->setFocus();
    const int quality = r.frm.tbarQual->value();
    keys(QStringLiteral("Next"));
    QTRY_COMPARE(r.frm.currentFilePath(), r.dir.file("t2.bmp"));
    QCOMPARE(r.frm.tbarQual->value(), quality);
}

void RealKeysTest::keysAreHandledAtOnceWhileALargePhotoLoads()
{
    Rig r;
    QVERIFY(writeJpegFile(test::photoLike(8000, 6000), 90, r.dir.file("t2.jpg")));
    QVERIFY(writeBmpFile(test::photoLike(300, 200), r.dir.file("u3.bmp")));
    QVERIFY(QTest::qWaitForWindowActive(&r.frm));
    focus(&r.frm);
    r.frm.imgSource->setFocus();

    // The longest the window's thread was away from its event loop, and whether the large
    // photo, superseded before it was decoded, was ever shown.
    QElapsedTimer clock;
    qint64 last = 0, worst = 0;
    bool shownBig = false;
    QTimer tick;
    tick.setInterval(5);
    connect(&tick, &QTimer::timeout, [&] {
        if (r.frm.currentFilePath() == r.dir.file("u3.bmp"))
            return;  // landed: what follows is the work the key asked for
        worst = std::max(worst, clock.elapsed() - last);
        last = clock.elapsed();
        shownBig = shownBig || r.frm.currentFilePath() == r.dir.file("t2.jpg");
    });
    keys(QStringLiteral("Next"));
    QTRY_VERIFY(r.frm.statusText().contains(QStringLiteral("t2.jpg")));
    clock.start();
    tick.start();
    // xdotool runs on its own, so that waiting for it does not count as the window's pause.
    const auto keyNoWait = [](const char* key) {
        QProcess::startDetached(QStringLiteral("xdotool"), {QStringLiteral("key"), QLatin1String(key)});
    };
    keyNoWait("Tab");
    QTRY_VERIFY(!r.frm.imgSource->hasFocus());
    QCOMPARE(r.frm.currentFilePath(), r.dir.file("square.bmp"));  // still decoding
    keyNoWait("Next");
    QTRY_COMPARE(r.frm.currentFilePath(), r.dir.file("u3.bmp"));
    QVERIFY(r.frm.statusText().startsWith(QStringLiteral("3 / 3　")));
    QTest::qWait(100);
    qInfo("the window's longest pause during the load: %lld ms", worst);
    QVERIFY2(worst < 50, qPrintable(QStringLiteral("the window did not answer for %1 ms").arg(worst)));
    QVERIFY(!shownBig);
}

QTEST_MAIN(RealKeysTest)
#include "test_real_keys.moc"
