// The live size beside the quality, and the size limit that picks the quality: what the
// console shows is what the saved file holds, byte for byte.

#include <QtTest>

#include <QSignalSpy>
#include <filesystem>
#include <memory>

#include "codecs/output_file.h"
#include "codecs/picture_file.h"
#include "forms/main/live_size.h"
#include "settings/profile_file.h"
#include "tests/forms/test_main_window.h"

using namespace trimlet;

namespace {

struct LiveWindow : test::MainWithPreview {
    QLabel* lblLiveSize = test::control<QLabel>(frm, "lblLiveSize");
    QLineEdit* edtMaxKb = test::control<QLineEdit>(frm, "edtMaxKb");
    QTimer* tmrLiveSize = test::control<QTimer>(frm, "tmrLiveSize");
    std::string stem;

    // A w × h picture file, loaded, with a cut of cw × ch from it.
    explicit LiveWindow(const Bitmap& picture, int cw, int ch)
    {
        stem = tempDir.file("photo");
        if (!writeBmpFile(picture, stem + ".bmp"))
            qFatal("cannot write the picture");
        frm.show();
        frm.edtSizeW->setText(QString::number(cw));
        frm.edtSizeH->setText(QString::number(ch));
        frm.LoadPictureFile(stem + ".bmp");
    }

    // The newest measurement is shown: nothing waits to start and the figure is no longer grey.
    bool settled() const
    {
        return !tmrLiveSize->isActive() && lblLiveSize->isEnabled() && !lblLiveSize->text().isEmpty();
    }

    std::uint64_t shownBytes() const
    {
        QString digits = lblLiveSize->text();
        digits.remove(QRegularExpression(QStringLiteral("[^0-9]")));
        return digits.toULongLong();
    }

    Bitmap piece() const { return cutPiece(frm.pieceRequest()); }

    void setLimit(int kilobytes)
    {
        edtMaxKb->selectAll();
        QTest::keyClicks(edtMaxKb, QString::number(kilobytes));
    }
};

std::uint64_t encodedBytes(const Bitmap& bitmap, OutputFormat format, int quality)
{
    auto bytes = encodeOutput(bitmap, format, quality);
    return bytes ? bytes.value().size() : 0;
}

PieceRequest whole(const Picture& picture)
{
    PieceRequest r;
    r.source = picture;
    return r;
}

std::uint64_t fileSize(const std::string& path)
{
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    return ec ? 0 : size;
}

}  // namespace

class FrmMainLiveTest : public QObject {
    Q_OBJECT
private slots:
    void liveSizeIsTheSavedFileInEveryFormat();
    void liveSizeFollowsTheFrameAndTheRate();
    void limitPicksTheHighestQualityThatFits();
    void nothingIsSavedOverTheLimit();
    void onlyTheNewestMeasurementIsReported();
    void closingWhileMeasuringIsSafe();
    void limitIsKeptInTheSettings();
};

void FrmMainLiveTest::liveSizeIsTheSavedFileInEveryFormat()
{
    LiveWindow w(test::photoLike(500, 400), 240, 160);
    const struct {
        int item;
        const char* extension;
    } formats[] = {{0, ".jpg"}, {1, ".bmp"}, {2, ".png"}, {3, ".webp"}, {4, ".jxl"}};
    w.frm.tbarQual->setValue(83);
    for (const auto& f : formats) {
        w.frm.rdgpFormatItems->button(f.item)->click();
        QTRY_VERIFY(w.settled());
        const std::uint64_t shown = w.shownBytes();
        QVERIFY(shown > 0);
        w.frm.btnSave->click();
        const std::string saved = w.stem + "(1)" + f.extension;
        QVERIFY2(test::fileExists(saved), saved.c_str());
        QCOMPARE(fileSize(saved), shown);
        // The preview's own figure is the same size, counted in kB.
        if (f.item != 1)
            QVERIFY2(test::lastOutput(w.frm).sizeText().contains(
                         QStringLiteral("ファイルサイズ:%1kB").arg((shown + 1023) / 1024)),
                     qPrintable(test::lastOutput(w.frm).sizeText()));
    }
    QVERIFY(w.fake.messages.empty());
}

void FrmMainLiveTest::liveSizeFollowsTheFrameAndTheRate()
{
    // Noise: every other piece of the picture makes a file of another size.
    LiveWindow w(test::noisePicture(600, 400, 7), 120, 90);
    QTRY_VERIFY(w.settled());
    const std::uint64_t before = w.shownBytes();
    QCOMPARE(before, encodedBytes(w.piece(), OutputFormat::Jpeg, w.frm.tbarQual->value()));

    // A drag moves the frame; the figure follows the piece now framed.
    const QPoint grab = w.frm.shpRange->rect().center();
    QTest::mousePress(w.frm.shpRange, Qt::LeftButton, {}, grab);
    QMouseEvent move(QEvent::MouseMove, QPointF(grab - QPoint(40, 30)),
                     w.frm.shpRange->mapToGlobal(QPointF(grab - QPoint(40, 30))), Qt::NoButton, Qt::LeftButton, {});
    QApplication::sendEvent(w.frm.shpRange, &move);
    QTest::mouseRelease(w.frm.shpRange, Qt::LeftButton, {}, grab - QPoint(40, 30));
    QTRY_VERIFY(w.settled());
    QCOMPARE(w.shownBytes(), encodedBytes(w.piece(), OutputFormat::Jpeg, w.frm.tbarQual->value()));

    // The rate reduces twice the region into the piece, and so changes the file.
    w.frm.edtPower->setText(QStringLiteral("50"));
    QTRY_VERIFY(w.settled());
    QCOMPARE(w.frm.lblCutSizeW->text(), QStringLiteral("240"));
    QCOMPARE(w.shownBytes(), encodedBytes(w.piece(), OutputFormat::Jpeg, w.frm.tbarQual->value()));

    // So does the quality.
    w.frm.tbarQual->setValue(20);
    QTRY_VERIFY(w.settled());
    QCOMPARE(w.shownBytes(), encodedBytes(w.piece(), OutputFormat::Jpeg, 20));

    // A change while a measurement runs: the figure is the newest input's, not the running one's.
    w.frm.rdgpFormatItems->button(2)->click();
    QTRY_VERIFY(!w.tmrLiveSize->isActive());
    w.frm.rdgpFormatItems->button(0)->click();
    QTRY_VERIFY(w.settled());
    QCOMPARE(w.shownBytes(), encodedBytes(w.piece(), OutputFormat::Jpeg, 20));
}

void FrmMainLiveTest::limitPicksTheHighestQualityThatFits()
{
    LiveWindow w(test::photoLike(640, 480, 3), 320, 240);
    for (const OutputFormat format : {OutputFormat::Jpeg, OutputFormat::Webp}) {
        w.frm.rdgpFormatItems->button(int(format))->click();
        w.setLimit(0);
        QTRY_VERIFY(w.settled());
        const Bitmap piece = w.piece();
        // A limit somewhere in the middle of the quality range.
        const int kilobytes = int(encodedBytes(piece, format, 60) / 1024);
        QVERIFY(kilobytes > 0);
        w.setLimit(kilobytes);
        QTRY_VERIFY(w.settled());
        QVERIFY(!w.frm.tbarQual->isEnabled());
        const int q = w.frm.tbarQual->value();
        const std::uint64_t limit = std::uint64_t(kilobytes) * 1024;
        QVERIFY(q >= 1 && q < 100);
        QVERIFY(encodedBytes(piece, format, q) <= limit);
        QVERIFY2(encodedBytes(piece, format, q + 1) > limit, qPrintable(QString::number(q)));
        QCOMPARE(w.shownBytes(), encodedBytes(piece, format, q));
        QCOMPARE(w.frm.lblQual->text(), QString::number(q));

        // The save writes that very file.
        w.frm.btnSave->click();
        const std::string saved = w.stem + "(1)" + outputExtension(format);
        QCOMPARE(fileSize(saved), w.shownBytes());
        QVERIFY(test::lastOutput(w.frm).sizeText().contains(QStringLiteral("画質:%1").arg(q)));
    }
    // Without a limit the slider is the user's again.
    w.setLimit(0);
    QVERIFY(w.frm.tbarQual->isEnabled());
    QVERIFY(w.fake.messages.empty());
}

void FrmMainLiveTest::nothingIsSavedOverTheLimit()
{
    LiveWindow w(test::noisePicture(400, 400, 11), 240, 320);
    w.setLimit(1);
    for (const int item : {0, 2, 1}) {  // JPEG, PNG, BMP
        w.frm.rdgpFormatItems->button(item)->click();
        QTRY_VERIFY(w.settled());
        QCOMPARE(w.lblLiveSize->text(), QStringLiteral("上限超過"));
        const std::size_t shown = w.fake.messages.size();
        w.frm.btnSave->click();
        QCOMPARE(w.fake.messages.size(), shown + 1);
        QCOMPARE(w.fake.messages.back().kind, MessageKind::Error);
        QVERIFY2(w.fake.messages.back().text.contains(QStringLiteral("上限の1kB")),
                 qPrintable(w.fake.messages.back().text));
        QVERIFY(!w.frm.statusText().contains(QStringLiteral("保存しました")));
    }
    QCOMPARE(test::entryNames(w.tempDir.path()).size(), std::size_t(1));  // the picture only

    // A copy writes no file, so the limit does not stand in its way.
    w.frm.btnCopy->click();
    QVERIFY(!w.fake.clipboard.isNull());
}

void FrmMainLiveTest::onlyTheNewestMeasurementIsReported()
{
    LiveSizeWorker worker;
    std::vector<LiveSizeResult> reported;
    connect(&worker, &LiveSizeWorker::measured, this, [&](const LiveSizeResult& r) { reported.push_back(r); });
    // A slow job, then a change of input while it runs, and another before the loop turns.
    const Picture large(test::noisePicture(1600, 1200, 5));
    worker.request({whole(large), OutputFormat::Png, 90, 0});
    const Picture small(test::photoLike(64, 48));
    worker.request({whole(small), OutputFormat::Jpeg, 90, 0});
    const std::uint64_t newest = worker.request({whole(small), OutputFormat::Jpeg, 40, 0});
    QTRY_COMPARE(reported.size(), std::size_t(1));
    QTest::qWait(300);  // long enough for an abandoned job to have come back, were it reported
    QCOMPARE(reported.size(), std::size_t(1));
    QCOMPARE(reported[0].generation, newest);
    QCOMPARE(reported[0].bytes, encodedBytes(small.bitmap(), OutputFormat::Jpeg, 40));

    // A cancelled job says nothing.
    worker.request({whole(large), OutputFormat::Jpeg, 90, 0});
    worker.cancel();
    QTest::qWait(300);
    QCOMPARE(reported.size(), std::size_t(1));
}

void FrmMainLiveTest::closingWhileMeasuringIsSafe()
{
    test::FakeDesktop fake;
    test::TempDir dir;
    const std::string path = dir.file("large.bmp");
    QVERIFY(writeBmpFile(test::noisePicture(1600, 1200, 9), path));
    auto frm = std::make_unique<test::TestMain>();
    frm->show();
    frm->LoadPictureFile(path);
    frm->rdgpFormatItems->button(2)->click();  // PNG of noise: a slow encode
    QTRY_VERIFY(!test::control<QTimer>(*frm, "tmrLiveSize")->isActive());
    frm->close();
    frm.reset();  // waits for the running encode, drops its result
    QTest::qWait(50);
}

void FrmMainLiveTest::limitIsKeptInTheSettings()
{
    test::TempDir dir;
    const std::string ini = dir.file("trimlet.ini");
    for (const auto& [stored, shown] : {std::pair{"-5", 0}, std::pair{"junk", 0}, std::pair{"250", 250}}) {
        test::writeBytes(ini, {});
        QVERIFY(ProfileFile(ini).writeString("output", "max_kb", stored));
        test::TestMain frm({}, ini);
        frm.show();
        QCOMPARE(test::control<UpDown>(frm, "udMaxKb")->position(), shown);
        QCOMPARE(test::control<QLineEdit>(frm, "edtMaxKb")->text(), QString::number(shown));
        QCOMPARE(frm.tbarQual->isEnabled(), shown == 0);
    }
    {
        test::TestMain frm({}, ini);
        frm.show();
        QTest::keyClick(test::control<QLineEdit>(frm, "edtMaxKb"), Qt::Key_Up);
        QVERIFY(frm.SaveSettings());
    }
    QCOMPARE(ProfileFile(ini).readInt("output", "max_kb", -1), 251);
}

QTEST_MAIN(FrmMainLiveTest)
#include "test_frm_main_live.moc"
