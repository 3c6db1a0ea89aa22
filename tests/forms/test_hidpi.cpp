// The work area on a dense screen: run once for each of QT_SCALE_FACTOR 1.25, 1.5, 2 and 3
// (set by CTest), it checks that the picture, the cut frame, the rotation preview and the slots
// are drawn from renderings in device pixels, and that the logical layout stays as it is. One
// more run on two screens of different pixel ratios moves the window from one to the other.

#include <QtTest>

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QToolButton>
#include <QWindow>
#include <cmath>

#include "codecs/picture_file.h"
#include "forms/main/frm_main.h"
#include "forms/main/work_area_widgets.h"
#include "forms/preview/frm_preview.h"
#include "forms/rotation/frm_rot_free.h"
#include "forms/widgets/app_icon.h"
#include "imaging/reduce.h"
#include "platform/qimage_bridge.h"
#include "tests/forms/fake_desktop.h"
#include "tests/forms/test_main_window.h"
#include "tests/support/test_support.h"

using namespace trimlet;

namespace {

constexpr QRgb kBlack = 0xff000000;
constexpr QRgb kWhite = 0xffffffff;

// One-pixel black and white squares: any blur or half-pixel shift turns them grey.
Bitmap checkerboard(int w, int h)
{
    Bitmap b(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const std::uint8_t v = (x + y) % 2 ? 255 : 0;
            std::uint8_t* p = b.row(y) + std::ptrdiff_t(x) * 3;
            p[0] = p[1] = p[2] = v;
        }
    return b;
}

Bitmap flat(int w, int h, std::uint8_t r, std::uint8_t g, std::uint8_t b)
{
    Bitmap out(w, h);
    out.fill(b, g, r);
    return out;
}

struct Window {
    test::FakeDesktop fake;
    test::TempDir dir;
    test::TestMain frm;
    TfrmPreview preview;
    TfrmRotFree rotFree;
    Bitmap bitmap;

    Window()
    {
        frm.setPreviewWindow(&preview);
        frm.setRotFreeWindow(&rotFree);
        preview.setTempJpeg(dir.file("trimlet.jpg"));
        frm.resize(900, 640);
        frm.show();
        frm.edtSizeW->setText(QStringLiteral("40"));
        frm.edtSizeH->setText(QStringLiteral("32"));
        frm.edtPower->setText(QStringLiteral("100"));
    }

    void load(const Bitmap& picture)
    {
        bitmap = picture;
        const std::string path = dir.file("picture.bmp");
        if (!writeBmpFile(bitmap, path))
            qFatal("cannot write picture");
        frm.LoadPictureFile(QString::fromStdString(path));
    }

    qreal ratio() const { return frm.devicePixelRatioF(); }
    // Where a child's top-left lands in a grab of the whole window: the painter shifts each
    // widget to a whole pixel, rounding its scaled position.
    QPoint deviceOrigin(const QWidget* w) const
    {
        const QPoint at = w->mapTo(&frm, QPoint(0, 0));
        return {int(std::round(at.x() * ratio())), int(std::round(at.y() * ratio()))};
    }
    QPoint deviceEnd(const QWidget* w) const
    {
        const QPoint at = w->mapTo(&frm, QPoint(w->width(), w->height()));
        return {int(std::round(at.x() * ratio())), int(std::round(at.y() * ratio()))};
    }
};

}  // namespace

class HiDpiTest : public QObject {
    Q_OBJECT

private slots:
    void runsAtTheRatioItWasStartedWith();
    void onePixelDetailStaysSharpOnScreenPixels();
    void pictureCoversItsScreenPixelsEdgeToEdge();
    void frameLinesAreOneScreenPixelEach();
    void largePictureIsReducedToScreenPixels();
    void rotationPreviewIsMadeForScreenPixels();
    void guideLinesAreOneScreenPixelEach();
    void slotThumbnailsAreMadeForScreenPixels();
    void previewShowsEachPicturePixelOnOneScreenPixel();
    void iconsHaveDrawnDoubles();
    void iconsAreTheDrawnSizesAndGreyWhenDisabled();
    void movingToADenserScreenRendersAgain();
    void previewOnADenserScreenStaysOnScreenPixels();
};

void HiDpiTest::runsAtTheRatioItWasStartedWith()
{
    // Guards the set-up: a test run at ratio 1 would prove nothing.
    bool ok = false;
    const double wanted = qEnvironmentVariable("QT_SCALE_FACTOR").toDouble(&ok);
    QVERIFY2(ok, "QT_SCALE_FACTOR is not set");
    Window w;
    QCOMPARE(w.ratio(), wanted);
}

void HiDpiTest::onePixelDetailStaysSharpOnScreenPixels()
{
    Window w;
    w.load(checkerboard(161, 121));  // odd sizes: fractional device edges
    PictureView* view = w.frm.imgSource;
    // Layout is logical: the picture fits, so it is shown at its own logical size.
    QCOMPARE(view->size(), QSize(161, 121));
    const QImage shown = view->rendering().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(shown.size(), deviceSize(QSize(161, 121), w.ratio()));

    // Every screen pixel is black or white, every picture column is there, in order, each on
    // ⌊ratio⌋ or ⌈ratio⌉ screen pixels.
    const int low = int(std::floor(w.ratio())), high = int(std::ceil(w.ratio()));
    for (int y = 0; y < shown.height(); y += 7) {
        int runs = 1, run = 1;
        for (int x = 0; x < shown.width(); ++x) {
            const QRgb c = shown.pixel(x, y);
            QVERIFY2(c == kBlack || c == kWhite, qPrintable(QStringLiteral("grey at %1,%2").arg(x).arg(y)));
            if (x == 0)
                continue;
            if (c == shown.pixel(x - 1, y)) {
                ++run;
                continue;
            }
            QVERIFY(run >= low && run <= high);
            ++runs, run = 1;
        }
        // The last column may be cut by the widget's edge.
        QCOMPARE(runs, 161);
    }
    if (w.ratio() == 2.0) {
        for (int y = 0; y < shown.height(); ++y)
            for (int x = 0; x < shown.width(); ++x)
                QCOMPARE(shown.pixel(x, y), ((x / 2 + y / 2) % 2) ? kWhite : kBlack);
    }

    // The widget paints exactly that rendering, pixel for pixel.
    QImage grabbed = view->grab().toImage().convertToFormat(QImage::Format_RGB32);
    grabbed.setDevicePixelRatio(1);
    QVERIFY(grabbed.width() >= shown.width() - 1 && grabbed.width() <= shown.width());
    QCOMPARE(grabbed, shown.copy(QRect(QPoint(0, 0), grabbed.size())));
}

void HiDpiTest::pictureCoversItsScreenPixelsEdgeToEdge()
{
    // In the window the picture starts wherever its scaled position falls, between pixels at a
    // fractional ratio: still no screen pixel of it is left unpainted or painted twice.
    Window w;
    w.load(checkerboard(161, 121));
    const QImage window = w.frm.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QImage shown = w.frm.imgSource->rendering().convertToFormat(QImage::Format_RGB32);
    const QPoint begin = w.deviceOrigin(w.frm.imgSource);
    const QPoint end = w.deviceEnd(w.frm.imgSource);
    const QRect frame(w.deviceOrigin(w.frm.shpRange), w.deviceEnd(w.frm.shpRange) - QPoint(1, 1));
    for (int y = begin.y(); y < end.y(); ++y)
        for (int x = begin.x(); x < end.x(); ++x) {
            if (frame.adjusted(-1, -1, 1, 1).contains(x, y))
                continue;
            QCOMPARE(window.pixel(x, y), shown.pixel(x - begin.x(), y - begin.y()));
        }
    // Just outside: the window's ground, neither black nor white.
    for (const QPoint outside : {QPoint(begin.x() - 1, begin.y() + 5), QPoint(end.x(), begin.y() + 5),
                                 QPoint(begin.x() + 5, begin.y() - 1), QPoint(begin.x() + 5, end.y())}) {
        const QRgb c = window.pixel(outside);
        QVERIFY2(c != kBlack && c != kWhite, qPrintable(QStringLiteral("%1,%2").arg(outside.x()).arg(outside.y())));
    }
}

void HiDpiTest::frameLinesAreOneScreenPixelEach()
{
    Window w;
    w.load(flat(300, 200, 200, 60, 30));
    const QRgb picture = qRgb(200, 60, 30);
    // The frame keeps its logical geometry: 40 × 32 display pixels for 40 × 32 at 100 %.
    QCOMPARE(w.frm.shpRange->size(), QSize(40, 32));
    const QImage window = w.frm.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QPoint begin = w.deviceOrigin(w.frm.shpRange);
    const QPoint last = w.deviceEnd(w.frm.shpRange) - QPoint(1, 1);
    const int midY = (begin.y() + last.y()) / 2;
    const int midX = (begin.x() + last.x()) / 2;
    // Across each side: picture, one white pixel, one black pixel, picture.
    const QRgb across[] = {picture, kWhite, kBlack, picture};
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(window.pixel(begin.x() - 1 + i, midY), across[i]);
        QCOMPARE(window.pixel(last.x() + 1 - i, midY), across[i]);
        QCOMPARE(window.pixel(midX, begin.y() - 1 + i), across[i]);
        QCOMPARE(window.pixel(midX, last.y() + 1 - i), across[i]);
    }
    // The outline runs unbroken along the whole side.
    for (int y = begin.y(); y <= last.y(); ++y) {
        QCOMPARE(window.pixel(begin.x(), y), kWhite);
        QCOMPARE(window.pixel(last.x(), y), kWhite);
    }
}

void HiDpiTest::largePictureIsReducedToScreenPixels()
{
    // A photo larger than the work area: area averages of the photo straight onto the screen's
    // pixels, not a logical-size copy enlarged.
    Window w;
    w.load(test::photoLike(2003, 1501));
    PictureView* view = w.frm.imgSource;
    const QSize device = view->deviceSize();
    QVERIFY(device.width() > view->width());
    const QSize reduced(std::min(device.width(), 2003), std::min(device.height(), 1501));
    const Bitmap shown = fromQImage(view->rendering());
    QCOMPARE(QSize(shown.width(), shown.height()), device);
    if (reduced == device)
        QVERIFY(shown == reduceArea(w.bitmap, device.width(), device.height()));

    // A resize renders once more for the new size, still in screen pixels.
    const QSize before = view->size();
    w.frm.resize(1200, 860);
    w.frm.tmrCheckResizeTimer();
    w.frm.tmrCheckResizeTimer();
    QVERIFY(view->size() != before);
    QCOMPARE(view->image().size(), view->deviceSize());
    QCOMPARE(view->rendering().size(), view->deviceSize());
}

void HiDpiTest::rotationPreviewIsMadeForScreenPixels()
{
    Window w;
    w.load(test::photoLike(2400, 1800));
    QSize base, device, logical, rendered;
    QTimer::singleShot(0, &w.rotFree, [&] {
        base = w.frm.imgRotPreview->image().size();
        device = w.frm.imgRotPreview->deviceSize();
        logical = w.frm.imgRotPreview->size();
        rendered = w.frm.imgRotPreview->rendering().size();
        w.rotFree.reject();
    });
    w.frm.btnRotFree->click();
    QVERIFY(!logical.isEmpty());
    QCOMPARE(base, QSize(std::min(device.width(), 2400), std::min(device.height(), 1800)));
    QVERIFY(base.width() > logical.width());
    QCOMPARE(rendered, device);
}

void HiDpiTest::guideLinesAreOneScreenPixelEach()
{
    Window w;
    w.load(flat(2400, 1800, 200, 60, 30));
    const QRgb picture = qRgb(200, 60, 30);
    QImage window;
    QTimer::singleShot(0, &w.rotFree, [&] {
        w.rotFree.rdgpViewShapeItems->button(1)->click();  // horizontal lines
        window = w.frm.grab().toImage().convertToFormat(QImage::Format_RGB32);
        w.rotFree.reject();
    });
    w.frm.btnRotFree->click();
    QVERIFY(!window.isNull());
    // Down the middle of the preview: a white and a black screen pixel every 8 logical pixels,
    // the picture between them.
    const int column = (w.deviceOrigin(w.frm.imgRotPreview).x() + w.deviceEnd(w.frm.imgRotPreview).x()) / 2;
    const int top = w.deviceOrigin(w.frm.shpRotPreview).y();
    QSet<int> white, black;
    for (int y = 7; y < w.frm.shpRotPreview->height(); y += 8) {
        white.insert(top + int(std::round(y * w.ratio())));
        black.insert(top + int(std::round(y * w.ratio())) + 1);
    }
    for (int y = w.deviceOrigin(w.frm.imgRotPreview).y() + 1; y < w.deviceEnd(w.frm.imgRotPreview).y() - 1; ++y) {
        const QRgb expected = white.contains(y) ? kWhite : black.contains(y) ? kBlack : picture;
        QCOMPARE(window.pixel(column, y), expected);
    }
}

void HiDpiTest::slotThumbnailsAreMadeForScreenPixels()
{
    Window w;
    w.load(test::photoLike(1000, 500));
    w.frm.btnTmpSave[0]->click();
    SlotPanel* panel = w.frm.pnlTmpSave[0];
    QCOMPARE(panel->imageRect().size(), QSize(82, 41));  // logical, as on any screen
    const QSize device = deviceSize(QSize(82, 41), w.ratio());
    QVERIFY(fromQImage(panel->image()) == reduceArea(w.bitmap, device.width(), device.height()));
    // Painted pixel for pixel: no grey seam from stretching by a fraction of a pixel.
    const QImage grabbed = panel->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QPoint at(int(std::round(panel->imageRect().x() * w.ratio())),
                    int(std::round(panel->imageRect().y() * w.ratio())));
    const QImage thumb = panel->image().convertToFormat(QImage::Format_RGB32);
    int differing = 0;
    for (int y = 0; y < device.height() - 1; ++y)
        for (int x = 0; x < device.width() - 1; ++x)
            differing += grabbed.pixel(at + QPoint(x, y)) != thumb.pixel(x, y);
    QCOMPARE(differing, 0);
}

void HiDpiTest::previewShowsEachPicturePixelOnOneScreenPixel()
{
    // The window that exists to judge compression: neither the cut nor the decoded JPEG may be
    // enlarged by the ratio and smoothed, and the scrolling covers every screen pixel of them.
    Window w;
    const Bitmap cut = checkerboard(161, 121);
    w.preview.setCutResult(Picture(cut), test::outputCommands(w.frm).options());
    w.preview.outputMode = OutputMode::Preview;
    w.preview.show();
    const auto shownExactly = [&](QLabel* image, const Bitmap& expected) {
        QVERIFY(image->isVisible());
        QCOMPARE(image->size(), QSize(int(std::ceil(161 / w.ratio() - 1e-6)), int(std::ceil(121 / w.ratio() - 1e-6))));
        QCOMPARE(w.preview.sbImgScroll->widget()->size(), image->size());
        QImage grabbed = image->grab().toImage().convertToFormat(QImage::Format_RGB32);
        grabbed.setDevicePixelRatio(1);
        QVERIFY(grabbed.width() >= 161 && grabbed.height() >= 121);
        QVERIFY(fromQImage(grabbed.copy(0, 0, 161, 121)) == expected);
    };
    shownExactly(w.preview.imgPreview, w.preview.previewPicture().bitmap());
    w.preview.chkCutSrc->click();
    shownExactly(w.preview.imgCutSrc, cut);
    w.preview.reject();
}

void HiDpiTest::iconsHaveDrawnDoubles()
{
    // Every size of the icon has a drawn double, which Qt hands a screen at ratio 2 instead
    // of enlarging the single one.
    const QIcon icon = applicationIcon();
    for (int size : {16, 32, 48, 64, 128, 256}) {
        const QPixmap pixmap = icon.pixmap(QSize(size, size), 2.0);
        QCOMPARE(pixmap.size(), QSize(2 * size, 2 * size));
        QCOMPARE(pixmap.devicePixelRatio(), 2.0);
        const QImage drawn(QStringLiteral(":/icons/trimlet-%1.png").arg(2 * size));
        QImage given = pixmap.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
        given.setDevicePixelRatio(1);
        QCOMPARE(given, drawn.convertToFormat(QImage::Format_ARGB32_Premultiplied));
    }
}

void HiDpiTest::iconsAreTheDrawnSizesAndGreyWhenDisabled()
{
    const auto argb = [](const QPixmap& p) { return p.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied); };
    const auto drawn = [&](int size) { return argb(QPixmap(QStringLiteral(":/icons/trimlet-%1.png").arg(size))); };
    const QIcon icon = applicationIcon();
    // A drawn size as drawn; between two, the larger one made smaller, never the smaller enlarged.
    QCOMPARE(argb(icon.pixmap(QSize(48, 48), 1.0)), drawn(48));
    QCOMPARE(icon.actualSize(QSize(20, 20)), QSize(20, 20));
    QCOMPARE(argb(icon.pixmap(QSize(20, 20), 1.0)),
             argb(QPixmap::fromImage(drawn(32).scaled(20, 20, Qt::KeepAspectRatio, Qt::SmoothTransformation))));
    QCOMPARE(icon.pixmap(QSize(1000, 1000), 1.0).size(), QSize(512, 512));
    const QImage disabled = argb(icon.pixmap(QSize(32, 32), 1.0, QIcon::Disabled));
    QCOMPARE(disabled.size(), QSize(32, 32));
    QVERIFY(disabled != drawn(32));

    // The frames' icon: every drawn size up to 256, each as drawn.
    const QIcon frames = windowManagerIcon();
    QCOMPARE(frames.availableSizes(),
             (QList<QSize>{{16, 16}, {32, 32}, {48, 48}, {64, 64}, {96, 96}, {128, 128}, {256, 256}}));
    for (const QSize& size : frames.availableSizes())
        QCOMPARE(argb(frames.pixmap(size, 1.0)), drawn(size.width()));
}

void HiDpiTest::movingToADenserScreenRendersAgain()
{
    const QList<QScreen*> screens = QGuiApplication::screens();
    if (screens.size() < 2 || screens[0]->devicePixelRatio() == screens[1]->devicePixelRatio())
        QSKIP("needs two screens of different pixel ratios");
    Window w;
    w.frm.windowHandle()->setScreen(screens[0]);
    w.load(test::photoLike(2003, 1501));
    w.frm.btnTmpSave[0]->click();
    PictureView* view = w.frm.imgSource;
    SlotPanel* panel = w.frm.pnlTmpSave[0];
    const QRect picture = view->geometry();
    const QRect frame = w.frm.shpRange->geometry();
    QCOMPARE(view->image().size(), view->deviceSize());

    w.frm.windowHandle()->setScreen(screens[1]);
    const qreal ratio = screens[1]->devicePixelRatio();
    QCOMPARE(w.ratio(), ratio);
    (void)w.frm.grab();  // painted on the new screen
    // The same logical layout, with renderings made anew from the pictures for the new ratio.
    QCOMPARE(view->geometry(), picture);
    QCOMPARE(w.frm.shpRange->geometry(), frame);
    const QSize device = deviceSize(picture.size(), ratio);
    QCOMPARE(view->image().size(), device);
    QVERIFY(fromQImage(view->image()) == reduceArea(w.bitmap, device.width(), device.height()));
    const QSize thumb = deviceSize(panel->imageRect().size(), ratio);
    QVERIFY(fromQImage(panel->image()) == reduceArea(w.bitmap, thumb.width(), thumb.height()));
}

void HiDpiTest::previewOnADenserScreenStaysOnScreenPixels()
{
    const QList<QScreen*> screens = QGuiApplication::screens();
    if (screens.size() < 2 || screens[0]->devicePixelRatio() == screens[1]->devicePixelRatio())
        QSKIP("needs two screens of different pixel ratios");
    Window w;
    const Bitmap cut = checkerboard(161, 121);
    w.preview.setCutResult(Picture(cut), test::outputCommands(w.frm).options());
    w.preview.outputMode = OutputMode::Preview;
    w.preview.show();
    w.preview.windowHandle()->setScreen(screens[0]);
    w.preview.chkCutSrc->click();
    w.preview.windowHandle()->setScreen(screens[1]);
    const qreal ratio = screens[1]->devicePixelRatio();
    QLabel* image = w.preview.imgCutSrc;
    // Still one picture pixel on one screen pixel, and the scrolling still covers them all.
    QCOMPARE(image->size(), QSize(int(std::ceil(161 / ratio - 1e-6)), int(std::ceil(121 / ratio - 1e-6))));
    QCOMPARE(w.preview.sbImgScroll->widget()->size(), image->size());
    QImage grabbed = image->grab().toImage().convertToFormat(QImage::Format_RGB32);
    grabbed.setDevicePixelRatio(1);
    QVERIFY(fromQImage(grabbed.copy(0, 0, 161, 121)) == cut);
    w.preview.reject();
}

QTEST_MAIN(HiDpiTest)
#include "test_hidpi.moc"
