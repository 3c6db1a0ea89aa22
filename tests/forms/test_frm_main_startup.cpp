// The first showing with a picture on the command line: the window paints itself before the
// picture is decoded, the large-picture question stands over the shown window, and what the
// work area shows is the exact area reduction of the picture through load, resize, turn and
// undo.

#include <QtTest>

#include "codecs/jpeg.h"
#include "codecs/picture_file.h"
#include "forms/main/photo_prefetch.h"
#include "forms/main/picture_loads.h"
#include "imaging/photo.h"
#include "imaging/quarter_turn.h"
#include "imaging/reduce.h"
#include "platform/qimage_bridge.h"
#include "tests/codecs/photo_fixtures.h"
#include "tests/forms/test_main_window.h"

using namespace trimlet;

namespace {

QString writeJpeg(const test::TempDir& dir, const std::string& name, int w, int h)
{
    const std::string path = dir.file(name);
    if (!writeJpegFile(test::photoLike(w, h), 90, path))
        qFatal("cannot write %s", path.c_str());
    return QString::fromStdString(path);
}

// What the window held at its first paint.
class FirstPaint : public QObject {
public:
    FirstPaint(test::TestMain& frm, const test::FakeDesktop& fake) : frm_(frm), fake_(fake)
    {
        frm.installEventFilter(this);
    }
    bool seen = false;
    bool pictureLoaded = false;
    std::size_t questions = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == &frm_ && event->type() == QEvent::Paint && !seen) {
            seen = true;
            pictureLoaded = !frm_.editingPicture().isEmpty();
            questions = fake_.questions.size();
        }
        return false;
    }

private:
    test::TestMain& frm_;
    const test::FakeDesktop& fake_;
};

// The work area's pixels as painted; offscreen, one device pixel a logical one.
Bitmap shownPixels(const test::TestMain& frm) { return fromQImage(frm.imgSource->grab().toImage()); }

Bitmap exactReduction(const Bitmap& picture, const QSize& size)
{
    return reduceArea(picture, size.width(), size.height());
}

}  // namespace

class FrmMainStartupTest : public QObject {
    Q_OBJECT
private slots:
    void windowPaintsBeforeTheCommandLinePictureLoads();
    void largePictureQuestionStandsOverTheShownWindow();
    void shownPixelsAreTheExactReductionThroughResizeTurnAndUndo();
    void prefetchGivesTheLoadItsOwnPicture();
    void prefetchIsTakenOnlyByTheLoadItWasMadeFor();
    void earlyLookComesFirstOnlyForItsPicture();
};

void FrmMainStartupTest::windowPaintsBeforeTheCommandLinePictureLoads()
{
    test::FakeDesktop fake;
    test::TempDir dir;
    const QString photo = writeJpeg(dir, "photo.jpg", 640, 400);
    test::TestMain frm({photo});
    const FirstPaint first(frm, fake);
    bool paintedBeforeLoading = false;
    connect(&frm, &TfrmMain::startupLoading, this,
            [&] { paintedBeforeLoading = first.seen && frm.editingPicture().isEmpty(); });

    frm.show();
    QVERIFY(frm.editingPicture().isEmpty());  // nothing decoded inside the show
    QVERIFY(!frm.tmrCheckResize->isActive());
    QVERIFY(QTest::qWaitFor([&] { return frm.started(); }));
    test::settleLoads(frm);
    QVERIFY(first.seen && !first.pictureLoaded);
    QVERIFY(paintedBeforeLoading);
    QCOMPARE(frm.statusText(), QStringLiteral("ファイルドロップ：") + photo);
    QCOMPARE(frm.lblSrcSizeW->text(), QStringLiteral("640"));
    QVERIFY(frm.imgSource->isVisible() && frm.lblNotice->isHidden());
    QVERIFY(frm.tmrCheckResize->isActive());

    // Without a picture the first showing finishes all the same.
    test::TestMain empty;
    QVERIFY(test::showStarted(empty));
    QVERIFY(empty.editingPicture().isEmpty() && empty.tmrCheckResize->isActive());
}

void FrmMainStartupTest::largePictureQuestionStandsOverTheShownWindow()
{
    test::TempDir dir;
    const QString large = writeJpeg(dir, "large.jpg", 4000, 2501);  // 10,004,000 pixels
    const QString text = QStringLiteral("10Mピクセルを超える画像は処理に失敗する場合があります。");
    for (const bool answer : {true, false}) {
        test::FakeDesktop fake;
        fake.yesNoAnswers = {answer};
        test::TestMain frm({large});
        const FirstPaint first(frm, fake);
        QVERIFY(test::showStarted(frm));
        QVERIFY(first.seen);
        QCOMPARE(first.questions, std::size_t(0));
        QCOMPARE(fake.questions.size(), std::size_t(1));
        QCOMPARE(fake.questions[0].text, text + QStringLiteral("\n\nこの警告を今後も表示しますか？"));
        QCOMPARE(frm.largePictureAnswer(), answer);
        QCOMPARE(frm.editingPicture().height(), 2501);
        QCOMPARE(frm.statusText(), text);

        // Yes asks again at the next large picture, No never again.
        frm.btnReload->click();
        test::settleLoads(frm);
        QCOMPARE(fake.questions.size(), std::size_t(answer ? 2 : 1));
        QCOMPARE(frm.statusText(), text);
    }
}

void FrmMainStartupTest::shownPixelsAreTheExactReductionThroughResizeTurnAndUndo()
{
    test::FakeDesktop fake;
    test::TempDir dir;
    const QString photo = writeJpeg(dir, "photo.jpg", 1999, 1201);
    test::TestMain frm({photo});
    QVERIFY(test::showStarted(frm));
    const Picture loaded = frm.editingPicture();

    const QSize before = frm.imgSource->size();
    QVERIFY(before.width() < loaded.width());
    QVERIFY(shownPixels(frm) == exactReduction(loaded.bitmap(), before));

    // A resize is laid out once the timer finds it settled.
    frm.resize(frm.width() + 301, frm.height() + 157);
    QVERIFY(QTest::qWaitFor([&] { return frm.imgSource->size() != before; }));
    const QSize after = frm.imgSource->size();
    QVERIFY(after.width() > before.width());
    QVERIFY(shownPixels(frm) == exactReduction(loaded.bitmap(), after));

    QTest::mouseClick(frm.btnRotR, Qt::LeftButton);
    QCOMPARE(frm.statusText(), QStringLiteral("右90°回転"));
    const Bitmap turned = turnRight(loaded.bitmap());
    QVERIFY(frm.editingPicture().bitmap() == turned);
    QVERIFY(shownPixels(frm) == exactReduction(turned, frm.imgSource->size()));

    QTest::keyClick(&frm, Qt::Key_Z, Qt::ControlModifier);
    QVERIFY(frm.editingPicture().sharesDataWith(loaded));  // the undo holds no copy of its own
    QCOMPARE(frm.imgSource->size(), after);
    QVERIFY(shownPixels(frm) == exactReduction(loaded.bitmap(), after));
}

void FrmMainStartupTest::prefetchGivesTheLoadItsOwnPicture()
{
    // An Adobe RGB photo, whose pixels tell whether its profile was applied.
    test::FakeDesktop fake;
    test::TempDir dir;
    const std::string photo = dir.file("adobe.jpg");
    test::writeBytes(photo, test::withProfile(encodeJpeg(test::photoLike(1203, 801, 3), 92).value(),
                                              test::readBytes(test::kAdobeRgb)));
    const std::string settings = dir.file("trimlet.ini");
    for (const bool colours : {true, false}) {
        const std::string text = colours ? "" : "[load]\ncolor_management=0\n";
        test::writeBytes(settings, test::Data(text.begin(), text.end()));
        DecodeLimits limits;
        limits.colourManagement = colours;
        const Bitmap expected = loadPictureUpright(photo, limits).value().bitmap();
        test::TestMain frm(test::ByteArgs{}, {photo}, settings);
        frm.setPrefetch(prefetchCommandLinePhoto(photo, settings));
        QVERIFY(test::showStarted(frm));
        QVERIFY(frm.editingPicture().bitmap() == expected);
        QCOMPARE(frm.editingPicture().kind(), PictureKind::Jpeg);
        QVERIFY(shownPixels(frm) == exactReduction(expected, frm.imgSource->size()));
        QCOMPARE(frm.statusText(), QStringLiteral("ファイルドロップ：") + QString::fromStdString(photo));

        // Made before the settings said otherwise: the load decodes for itself.
        DecodeLimits other;
        other.colourManagement = !colours;
        test::TestMain late(test::ByteArgs{}, {photo}, settings);
        late.setPrefetch(std::make_unique<PhotoPrefetch>(photo, other));
        QVERIFY(test::showStarted(late));
        QVERIFY(late.editingPicture().bitmap() == expected);
    }
}

void FrmMainStartupTest::prefetchIsTakenOnlyByTheLoadItWasMadeFor()
{
    test::TempDir dir;
    const std::string photo = writeJpeg(dir, "photo.jpg", 40, 30).toStdString();
    const DecodeLimits limits;
    DecodeLimits smaller;
    smaller.maxBitmapBytes = 1000;
    PhotoPrefetch prefetch(photo, limits);
    prefetch.hold();  // as the window does until its first paint: a load that asks now gets it
    QVERIFY(!prefetch.take(dir.file("other.jpg"), limits));
    QVERIFY(!prefetch.take(photo, smaller));
    const auto taken = prefetch.take(photo, limits);
    QVERIFY(taken && taken->picture);
    QVERIFY(taken->picture.value().bitmap() == loadPictureUpright(photo).value().bitmap());
    QVERIFY(!prefetch.take(photo, limits));

    // A name that resolves to nothing is not prefetched; a missing file fails as its load would.
    QVERIFY(!prefetchCommandLinePhoto(dir.file("gone.lnk"), dir.file("trimlet.ini")));
    const auto missing = prefetchCommandLinePhoto(dir.file("missing.jpg"), dir.file("trimlet.ini"));
    QVERIFY(missing);
    const auto failed = missing->take(dir.file("missing.jpg"), limits);
    QVERIFY(failed && !failed->picture);
}

void FrmMainStartupTest::earlyLookComesFirstOnlyForItsPicture()
{
    test::FakeDesktop fake;
    test::TempDir dir;
    const std::string photo = writeJpeg(dir, "photo.jpg", 2400, 1600).toStdString();
    const std::string settings = dir.file("trimlet.ini");
    const std::string text = "[winPosition]\nmain_w=800\nmain_h=480\n";
    test::writeBytes(settings, test::Data(text.begin(), text.end()));
    std::string argv0 = "trimlet", option = "-platform", png = dir.file("a.png"), arg = photo;
    char* options[] = {argv0.data(), option.data()};
    char* pngs[] = {argv0.data(), png.data()};
    QVERIFY(!EarlyLook::fromCommandLine(2, options, settings));
    QVERIFY(!EarlyLook::fromCommandLine(2, pngs, settings));
    char* args[] = {argv0.data(), arg.data()};

    // Made for the saved window's size: a display that needs more pixels gets no look.
    const auto look = EarlyLook::fromCommandLine(2, args, settings);
    QVERIFY(look && QTest::qWaitFor([&] { return look->decoded(); }));
    QImage shown;
    look->showWith([](int, int) { return QSize(720, 480); },
                   [&](QImage image, int w, int h) {
                       QCOMPARE(QSize(w, h), QSize(2400, 1600));
                       shown = std::move(image);
                   });
    QCOMPARE(shown.size(), QSize(720, 480));
    shown = {};
    look->showWith([](int, int) { return QSize(1500, 1000); }, [&](QImage image, int, int) { shown = image; });
    QVERIFY(shown.isNull());

    // The window shows it before the whole picture, which then replaces it as any load's.
    test::TestMain frm(test::ByteArgs{}, {photo}, settings);
    auto early = EarlyLook::fromCommandLine(2, args, settings);
    QVERIFY(QTest::qWaitFor([&] { return early->decoded(); }));
    auto prefetch = prefetchCommandLinePhoto(photo, settings, std::move(early));
    prefetch->hold();  // the whole decode waits until the window's first paint is over
    frm.setPrefetch(std::move(prefetch));
    int looks = 0;
    connect(frm.findChild<PictureLoads*>(), &PictureLoads::lookShown, this, [&] {
        ++looks;
        QVERIFY(frm.editingPicture().isEmpty());
        QVERIFY(!frm.imgSource->image().isNull());
    });
    QVERIFY(test::showStarted(frm));
    QCOMPARE(looks, 1);
    const Bitmap whole = loadPictureUpright(photo).value().bitmap();
    QVERIFY(frm.editingPicture().bitmap() == whole);
    QVERIFY(shownPixels(frm) == exactReduction(whole, frm.imgSource->size()));
    QCOMPARE(frm.lblSrcSizeW->text(), QStringLiteral("2400"));
}

QTEST_MAIN(FrmMainStartupTest)
#include "test_frm_main_startup.moc"
