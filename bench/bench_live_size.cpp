// How soon the live size follows the frame, and whether measuring ever holds up the window:
// a 1920 × 1080 cut of a 24-megapixel photo-like JPEG, dragged in bursts as a hand drags at
// 60 Hz, timed with the window's own event loop. Run by bench/live_size.sh.
//   bench_live_size [RUNS] [MAX_KB|off]
// "off" drags the same way with the live size switched off: the machine's own noise floor for
// the event loop's gaps (other programs on the same cores show up there too).

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "codecs/jpeg.h"
#include "forms/main/frm_main.h"
#include "forms/main/live_size.h"
#include "forms/main/work_area_widgets.h"
#include "forms/preview/frm_preview.h"
#include "tests/forms/fake_desktop.h"
#include "tests/support/test_support.h"

using namespace trimlet;

namespace {

constexpr int kMovesPerBurst = 10;
constexpr int kMoveIntervalMs = 16;

void runLoopFor(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

void sendMouse(QWidget* w, QEvent::Type type, const QPoint& at, Qt::MouseButtons buttons)
{
    QMouseEvent e(type, QPointF(at), w->mapToGlobal(QPointF(at)), Qt::LeftButton, buttons, {});
    QApplication::sendEvent(w, &e);
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    const bool off = argc > 2 && std::string(argv[2]) == "off";
    const int maxKb = argc > 2 && !off ? std::max(0, std::atoi(argv[2])) : 0;

    test::FakeDesktop desktop;
    test::TempDir dir;
    const std::string photo = dir.file("photo.jpg");
    test::writeBytes(photo, encodeJpeg(test::photoLike(6000, 4000), 90).value());

    TfrmMain frm;
    TfrmPreview preview;
    frm.setSettingsPath(dir.file("trimlet.ini"));
    frm.setPreviewWindow(&preview);
    frm.resize(1280, 760);
    frm.show();
    frm.findChild<QLineEdit*>(QStringLiteral("edtSizeW"))->setText(QStringLiteral("1920"));
    frm.findChild<QLineEdit*>(QStringLiteral("edtSizeH"))->setText(QStringLiteral("1080"));
    frm.findChild<QLineEdit*>(QStringLiteral("edtMaxKb"))->setText(QString::number(maxKb));
    frm.LoadPictureFile(photo);
    runLoopFor(1500);

    auto* shpRange = frm.findChild<FrameShape*>(QStringLiteral("shpRange"));
    if (off)
        QObject::disconnect(frm.findChild<QTimer*>(QStringLiteral("tmrLiveSize")), &QTimer::timeout, nullptr, nullptr);
    LiveSizeWorker& worker = *frm.findChild<LiveSizeWorker*>();
    QElapsedTimer clock;
    clock.start();

    // The event loop's longest gap: a 1 ms timer that should fire every millisecond.
    qint64 lastTick = clock.nsecsElapsed();
    qint64 longestGap = 0;
    int slowGaps = 0;  // longer than a 60 Hz frame
    int ticks = 0;
    bool watching = false;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(1);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        if (watching) {
            longestGap = std::max(longestGap, now - lastTick);
            slowGaps += now - lastTick > 16'000'000 ? 1 : 0;
            ++ticks;
        }
        lastTick = now;
    });
    ticker.start();

    std::uint64_t awaitedAfter = 0;
    qint64 lastMoveAt = 0;
    qint64 shownAt = -1;
    LiveSizeResult shown;
    QObject::connect(&worker, &LiveSizeWorker::measured, [&](const LiveSizeResult& r) {
        if (r.generation > awaitedAfter && shownAt < 0) {
            shownAt = clock.nsecsElapsed();
            shown = r;
        }
    });

    std::vector<double> latencies;
    qint64 longestMove = 0;
    for (int run = 0; run < runs; ++run) {
        const QPoint grab = shpRange->rect().center();
        lastTick = clock.nsecsElapsed();
        watching = true;
        sendMouse(shpRange, QEvent::MouseButtonPress, grab, Qt::LeftButton);
        for (int i = 1; i <= kMovesPerBurst; ++i) {
            runLoopFor(kMoveIntervalMs);
            // Back and forth, so that every burst stays inside the picture.
            const int dx = (run % 2 == 0 ? 6 : -6) * i;
            const qint64 before = clock.nsecsElapsed();
            sendMouse(shpRange, QEvent::MouseMove, grab + QPoint(dx, dx / 2), Qt::LeftButton);
            longestMove = std::max(longestMove, clock.nsecsElapsed() - before);
        }
        awaitedAfter = worker.generation();
        lastMoveAt = clock.nsecsElapsed();
        shownAt = -1;
        sendMouse(shpRange, QEvent::MouseButtonRelease, grab + QPoint(0, 0), Qt::NoButton);
        QElapsedTimer wait;
        wait.start();
        while (!off && shownAt < 0 && wait.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (off) {
            runLoopFor(60);
            shownAt = clock.nsecsElapsed();
        }
        watching = false;
        if (shownAt < 0) {
            std::fprintf(stderr, "run %d: no live size within 5 s\n", run + 1);
            return 1;
        }
        latencies.push_back(double(shownAt - lastMoveAt) / 1e6);
        runLoopFor(100);
    }
    std::printf("piece 1920x1080 of a 6000x4000 JPEG, %s, %d runs of %d moves every %d ms\n",
                off ? "live size off" : ("limit " + std::to_string(maxKb) + " kB").c_str(), runs, kMovesPerBurst,
                kMoveIntervalMs);
    if (!off) {
        std::printf("last file: %llu bytes at quality %d\n", static_cast<unsigned long long>(shown.bytes),
                    shown.quality);
        std::printf("live size after the last move: median %.1f ms, max %.1f ms\n", median(latencies),
                    *std::max_element(latencies.begin(), latencies.end()));
    }
    std::printf(
        "longest move handler: %.2f ms; event loop while dragging and measuring: longest gap %.2f ms, "
        "%d of %d gaps over 16 ms\n",
        double(longestMove) / 1e6, double(longestGap) / 1e6, slowGaps, ticks);
    frm.close();
    return 0;
}
