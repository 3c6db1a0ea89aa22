// The work area's zoom, driven by its keys: the frame stays on picture pixels, so the window's
// cut, its status line and trimlet-cli agree; at 100 % one picture pixel is one screen pixel.

#include <QtTest>

#include <QProcess>
#include <QRegularExpression>
#include <QScrollBar>

#include "codecs/picture_file.h"
#include "forms/main/work_area_zoom.h"
#include "forms/preview/frm_preview.h"
#include "platform/qimage_bridge.h"
#include "tests/forms/test_main_window.h"

using namespace trimlet;

namespace {

struct Zoomed {
    test::FakeDesktop fake;
    test::TempDir dir;
    test::TestMain frm;
    TfrmPreview preview;
    Bitmap bitmap = test::photoLike(1000, 800, 7);
    std::string path = dir.file("picture.bmp");

    Zoomed()
    {
        frm.setPreviewWindow(&preview);
        preview.setTempJpeg(dir.file("trimlet.jpg"));
        frm.show();
        frm.activateWindow();
        if (!QTest::qWaitForWindowActive(&frm) || !writeBmpFile(bitmap, path))
            qFatal("no window or picture");
        frm.edtSizeW->setText(QStringLiteral("24"));
        frm.edtSizeH->setText(QStringLiteral("32"));
        frm.edtPower->setText(QStringLiteral("100"));
        frm.LoadPictureFile(QString::fromStdString(path));
        frm.imgSource->setFocus();
    }
    void press(int key, Qt::KeyboardModifiers mods = {}, int times = 1)
    {
        for (int i = 0; i < times; ++i)
            QTest::keyClick(frm.windowHandle(), Qt::Key(key), mods);
    }
    int percent() const { return frm.findChild<WorkAreaZoom*>()->percent(); }
    Bitmap piece(int x, int y, int w, int h) const
    {
        Bitmap out(w, h);
        for (int r = 0; r < h; ++r)
            std::memcpy(out.row(r), bitmap.row(y + r) + x * 3, std::size_t(w) * 3);
        return out;
    }
};

Bitmap loaded(const std::string& path)
{
    auto picture = loadPictureAsStored(path);
    return picture.ok() ? picture.value().bitmap() : Bitmap{};
}

}  // namespace

class FrmMainZoomTest : public QObject {
    Q_OBJECT
private slots:
    void keysPlaceTheFrameOnPicturePixelsAt400();
    void oneHundredPercentShowsPicturePixelsOneToOne();
};

void FrmMainZoomTest::keysPlaceTheFrameOnPicturePixelsAt400()
{
    Zoomed z;
    z.press(Qt::Key_1, Qt::ControlModifier);
    QCOMPARE(z.percent(), 100);
    z.press(Qt::Key_Plus, Qt::ControlModifier, 3);
    z.press(Qt::Key_Equal, Qt::ControlModifier);
    QCOMPARE(z.percent(), 400);
    QCOMPARE(z.frm.statusText(), QStringLiteral("表示倍率：400 %"));

    // Home centres the frame on the picture; each arrow is one picture pixel, four on the screen.
    z.press(Qt::Key_Home);
    QCOMPARE(z.frm.frameState().rect, (IntRect{500 - 12, 400 - 16, 24, 32}));
    const QRect before = z.frm.shpRange->geometry();
    z.press(Qt::Key_Right, {}, 3);
    z.press(Qt::Key_Down, Qt::ShiftModifier);
    z.press(Qt::Key_Up);
    QCOMPARE(z.frm.frameState().rect, (IntRect{491, 393, 24, 32}));
    const int block = int(4 / z.frm.imgSource->devicePixelRatioF());
    QCOMPARE(z.frm.shpRange->geometry(), before.translated(3 * block, 9 * block));

    // A left drag on the picture beside the frame scrolls it, the frame on the same pixels.
    const QRect placed = z.frm.shpRange->geometry();
    auto* bar = z.frm.findChild<QScrollBar*>(QStringLiteral("sbZoomH"));
    const int scrolled = bar->value();
    QWidget* view = z.frm.imgSource;
    const QPoint grab = view->mapFrom(view->parentWidget(), placed.center()) - QPoint(200, 0),
                 to = grab - QPoint(40, 20);
    QTest::mousePress(view, Qt::LeftButton, {}, grab);
    QMouseEvent move(QEvent::MouseMove, QPointF(to), view->mapToGlobal(QPointF(to)), Qt::NoButton, Qt::LeftButton, {});
    QApplication::sendEvent(view, &move);
    QTest::mouseRelease(view, Qt::LeftButton, {}, to);
    QCOMPARE(z.frm.shpRange->geometry(), placed.translated(-40, -20));
    QCOMPARE(z.frm.frameState().rect, (IntRect{491, 393, 24, 32}));
    QCOMPARE(bar->value(), scrolled + int(40 * z.frm.imgSource->devicePixelRatioF()));
    bar->setValue(scrolled);  // and the bar scrolls back
    QCOMPARE(z.frm.shpRange->geometry().x(), placed.x());

    z.frm.rdgpFormatItems->button(1)->click();  // BMP, to compare pixels exactly
    z.frm.btnSave->click();
    const std::string saved = z.dir.file("picture(1).bmp");
    QCOMPARE(loaded(saved), z.piece(491, 393, 24, 32));
    const QRegularExpressionMatch cut = QRegularExpression(QStringLiteral("--cut (\\S+)）")).match(z.frm.statusText());
    QVERIFY2(cut.hasMatch(), qPrintable(z.frm.statusText()));
    QCOMPARE(cut.captured(1), QStringLiteral("24x32@100:491,393"));
    const std::string byCli = z.dir.file("cli.bmp");
    QProcess cli;
    cli.start(QStringLiteral(TRIMLET_CLI), {QString::fromStdString(z.path), QStringLiteral("--cut"), cut.captured(1),
                                            QStringLiteral("--output"), QString::fromStdString(byCli)});
    QVERIFY(cli.waitForFinished(30000));
    QCOMPARE(cli.exitCode(), 0);
    QCOMPARE(loaded(byCli), loaded(saved));

    // Back to fit, the frame keeps its picture place and the fitted layout returns.
    z.press(Qt::Key_0, Qt::ControlModifier);
    QCOMPARE(z.percent(), 0);
    QCOMPARE(z.frm.frameState().centre, (IntPoint{491 + 12, 393 + 16}));
}

void FrmMainZoomTest::oneHundredPercentShowsPicturePixelsOneToOne()
{
    Zoomed z;
    z.press(Qt::Key_1, Qt::ControlModifier);
    QCOMPARE(z.percent(), 100);
    const QImage shown = z.frm.imgSource->rendering();
    QCOMPARE(shown.size(), z.frm.imgSource->deviceSize());
    // The frame's corner tells where the picture stands, within the rounding of a widget's
    // place at a fractional logical pixel; one offset must match a block exactly.
    const qreal ratio = z.frm.imgSource->devicePixelRatioF();
    const IntRect r = z.frm.frameState().rect;
    const QPoint corner = (z.frm.shpRange->geometry().topLeft() - z.frm.imgSource->geometry().topLeft()) * ratio;
    const Bitmap screen = fromQImage(shown.convertToFormat(QImage::Format_RGB32));
    bool matched = false;
    for (int oy = -1; oy <= 1 && !matched; ++oy)
        for (int ox = -1; ox <= 1 && !matched; ++ox) {
            const int sx = corner.x() + ox, sy = corner.y() + oy;
            // Every shown row, across the whole view: a stretch anywhere breaks it.
            const int px = r.x - sx, py = r.y - sy;  // the picture pixel at the screen's (0, 0)
            const int x0 = std::max(0, -px), x1 = std::min(screen.width(), z.bitmap.width() - px);
            const int y0 = std::max(0, -py), y1 = std::min(screen.height(), z.bitmap.height() - py);
            bool same = x1 - x0 > 200 && y1 - y0 > 100;
            for (int y = y0; y < y1 && same; ++y)
                same = std::memcmp(screen.row(y) + x0 * 3, z.bitmap.row(py + y) + (px + x0) * 3,
                                   std::size_t(x1 - x0) * 3) == 0;
            matched = same;
        }
    QVERIFY(matched);
}

QTEST_MAIN(FrmMainZoomTest)
#include "test_frm_main_zoom.moc"
