// The main window's placement: how a stored one is made to fit the screen, and what a window
// that was maximised or moved reports for the settings.

#include <QtTest>

#include <QGuiApplication>
#include <QScreen>

#include "platform/window_placement.h"

using trimlet::WindowPlacement;

namespace {

WindowPlacement fit(QPoint at, QSize size, QRect screen = {0, 0, 1280, 800})
{
    return trimlet::fitPlacement({at, size, true}, screen, {800, 480});
}

// The offscreen platform draws a frame of 2 pixels round each window on an 800 × 800 screen.
QSize frameExtra(const QWidget& window) { return window.frameGeometry().size() - window.size(); }

}  // namespace

class WindowPlacementTest : public QObject {
    Q_OBJECT
private slots:
    void storedPlacementIsMadeToFit()
    {
        // Reachable: 96 pixels of the width on the screen, the title bar below its top, 96
        // pixels above its bottom.
        QCOMPARE(fit({-5000, 40}, {800, 480}).framePos, QPoint(96 - 800, 40));
        QCOMPARE(fit({5000, 40}, {800, 480}).framePos, QPoint(1280 - 96, 40));
        QCOMPARE(fit({10, -30}, {800, 480}).framePos, QPoint(10, 0));
        QCOMPARE(fit({10, 99999}, {800, 480}).framePos, QPoint(10, 800 - 96));
        QCOMPARE(fit({-703, 704}, {800, 480}).framePos, QPoint(-703, 704));  // just reachable: kept
        // Never smaller than the window allows; the size is judged once the frame is known.
        QCOMPARE(fit({0, 0}, {10, 10}).clientSize, QSize(800, 480));
        QCOMPARE(fit({0, 0}, {1000, 600}).clientSize, QSize(1000, 600));
        QVERIFY(fit({0, 0}, {1000, 600}).maximised);
        // A screen that does not start at the origin.
        const QRect right(1280, 100, 1024, 768);
        QCOMPARE(fit({-5000, 0}, {800, 480}, right).framePos, QPoint(1280 + 96 - 800, 100));
        QCOMPARE(fit({9000, 9000}, {800, 480}, right).framePos, QPoint(1280 + 1024 - 96, 100 + 768 - 96));
    }

    void maximisedWindowReportsItsNormalPlacement()
    {
        QWidget window;
        window.setMinimumSize(200, 100);
        trimlet::PlacementTracker tracker(&window, {{30, 40}, {300, 200}, false});
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(window.pos(), QPoint(30, 40));
        QCOMPARE(window.size(), QSize(300, 200));

        window.move(50, 60);
        window.resize(320, 210);
        QTRY_COMPARE(tracker.placement().framePos, QPoint(50, 60));
        QCOMPARE(tracker.placement().clientSize, QSize(320, 210));
        QVERIFY(!tracker.placement().maximised);

        window.showMaximized();
        QTRY_VERIFY(window.size() != QSize(320, 210));
        const WindowPlacement maximised = tracker.placement();
        QCOMPARE(maximised.framePos, QPoint(50, 60));
        QCOMPARE(maximised.clientSize, QSize(320, 210));
        QVERIFY(maximised.maximised);

        window.showMinimized();  // minimised from maximised: still comes back maximised
        QVERIFY(tracker.placement().maximised);
        QCOMPARE(tracker.placement().clientSize, QSize(320, 210));

        window.showNormal();
        window.move(70, 80);
        QTRY_COMPARE(tracker.placement().framePos, QPoint(70, 80));
        QVERIFY(!tracker.placement().maximised);
    }

    // Mapped maximised, the window would never learn the place it un-maximises to: it is
    // shown at its normal placement and maximised once it has its frame.
    void storedMaximisedComesBackMaximised()
    {
        QWidget window;
        trimlet::PlacementTracker tracker(&window, {{20, 30}, {400, 300}, true});
        QVERIFY(tracker.placement().maximised);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTRY_VERIFY(window.isMaximized());
        QCOMPARE(tracker.placement().framePos, QPoint(20, 30));
        QCOMPARE(tracker.placement().clientSize, QSize(400, 300));
        window.showNormal();
        QTRY_COMPARE(window.size(), QSize(400, 300));
        QCOMPARE(window.pos(), QPoint(20, 30));
        QVERIFY(!tracker.placement().maximised);
    }

    // A size that fitted the screen without its frame (an older trimlet stored the client
    // area of a maximised window) is made to fit with it; a minimum size that cannot fit
    // is left alone.
    void frameLargerThanTheScreenIsMadeToFit()
    {
        const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
        QWidget window;
        window.setMinimumSize(200, 100);
        trimlet::PlacementTracker tracker(&window, {{30, 5}, available.size(), false});
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(!frameExtra(window).isNull());
        QTRY_COMPARE(window.frameGeometry(), available);
        QCOMPARE(tracker.placement().framePos, available.topLeft());

        QWidget wide;
        wide.setMinimumSize(available.width(), 100);
        trimlet::PlacementTracker wideTracker(&wide, {{0, 40}, {available.width(), 300}, false});
        wide.show();
        QVERIFY(QTest::qWaitForWindowExposed(&wide));
        QCOMPARE(wide.size(), QSize(available.width(), 300));
        QCOMPARE(wide.pos(), QPoint(0, 40));
    }
};

QTEST_MAIN(WindowPlacementTest)
#include "test_window_placement.moc"
