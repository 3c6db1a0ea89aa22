// The screens as sets and spans take them, from Qt's description of them.

#include <QtTest>

#include "platform/screens.h"

using namespace trimlet;

namespace {

QString text(const std::vector<SpanScreen>& screens) { return QString::fromStdString(formatSpanScreens(screens)); }

QString text(const std::vector<PieceSize>& sizes) { return QString::fromStdString(formatSizeList(sizes)); }

}  // namespace

class ScreensTest : public QObject {
    Q_OBJECT
private slots:
    void devicePixelsFromQtsDescription()
    {
        // X11 under Qt 6: the 2× screen is 1280 × 720 in Qt's pixels, at its device place. A
        // projector mirrors the first screen and claims 16 mm; the second screen tells no width.
        const std::vector<ScreenInfo> x11 = {{1920, 0, 1280, 720, 2, 0},
                                             {0, 0, 1920, 1080, 1, 527},
                                             {0, 0, 1920, 1080, 1, 16},
                                             {0, 1080, 1920, 1080, 1, 16}};
        QCOMPARE(text(spanScreensOf(x11)),
                 QStringLiteral("1920x1080+0+0/527,1920x1080+0+1080/508,2560x1440+1920+0/677.3"));
        QCOMPARE(text(distinctScreenSizes(spanScreensOf(x11))), QStringLiteral("1920x1080,2560x1440"));
        // Wayland (and Qt 5): places in Qt's pixels too.
        const std::vector<ScreenInfo> wayland = {{0, 0, 1280, 720, 2, 597}, {1280, 0, 960, 540, 2, 527}};
        QCOMPARE(text(spanScreensOf(wayland)), QStringLiteral("2560x1440+0+0/597,1920x1080+2560+0/527"));
        QVERIFY(spanScreensOf({{0, 0, 0, 0, 1, 0}}).empty());
    }

    void desktopScreensInDevicePixels()
    {
        // tests/forms/two_screens.json: 1600 × 1000 and, beside it, 2400 × 1500 at a ratio of
        // 1.5; the same at any QT_SCALE_FACTOR.
        QCOMPARE(text(desktopScreens()), QStringLiteral("1600x1000+0+0/406.4,3600x2250+1600+0/609.6"));
        QCOMPARE(text(desktopScreenSizes()), QStringLiteral("1600x1000,3600x2250"));
    }
};

QTEST_MAIN(ScreensTest)
#include "test_screens.moc"
