// Pieces copied from a JPEG's blocks, as a user makes them: the 無劣化 box, the frame moved by
// keys on the block grid, a turn, and the saves; each file is what jpegtran makes of the photo.

#include <QtTest>

#include <QRegularExpression>
#include <filesystem>

#include "codecs/output_file.h"
#include "tests/forms/test_main_window.h"

using namespace trimlet;

namespace {

struct LosslessWindow : test::MainWithPreview {
    QCheckBox* chkLossless = test::control<QCheckBox>(frm, "chkLossless");
    QLabel* lblLiveSize = test::control<QLabel>(frm, "lblLiveSize");
    QTimer* tmrLiveSize = test::control<QTimer>(frm, "tmrLiveSize");
    std::string photo = tempDir.file("photo.jpg");

    LosslessWindow()
    {
        // 4:2:0, so the grid is 16 pixels; whole blocks, so that jpegtran turns it as it is.
        if (!writeJpegFile(test::photoLike(800, 608, 5), 90, photo))
            qFatal("cannot write the photo");
        frm.show();
        frm.activateWindow();
        if (!QTest::qWaitForWindowActive(&frm))
            qFatal("window not active");
        // Sides that end inside a block.
        frm.edtSizeW->setText(QStringLiteral("250"));
        frm.edtSizeH->setText(QStringLiteral("170"));
        frm.LoadPictureFile(photo);
    }
    void press(int key, int times = 1)
    {
        for (int i = 0; i < times; ++i)
            QTest::keyClick(frm.windowHandle(), Qt::Key(key));
    }
    // The corner the status line names for trimlet-cli.
    QPoint namedOrigin() const
    {
        const auto m =
            QRegularExpression(QStringLiteral("--cut 250x170@100:(\\d+),(\\d+) --lossless")).match(frm.statusText());
        return m.hasMatch() ? QPoint(m.captured(1).toInt(), m.captured(2).toInt()) : QPoint(-1, -1);
    }
    std::uint64_t liveBytes() const
    {
        if (!QTest::qWaitFor([this] { return !tmrLiveSize->isActive() && lblLiveSize->isEnabled(); }, 10000))
            return 0;
        QString digits = lblLiveSize->text();
        digits.remove(QRegularExpression(QStringLiteral("[^0-9]")));
        return digits.toULongLong();
    }
};

// The pixels djpeg decodes from a file, with or without jpegtran's transform and crop first.
Bitmap decoded(const std::string& path, const std::string& jpegtran = {})
{
    const std::string quoted = "'" + path + "'";
    const auto r = test::runCommand(
        jpegtran.empty() ? "djpeg -ppm " + quoted : "jpegtran -copy none " + jpegtran + " " + quoted + " | djpeg -ppm");
    return test::fromPnm({r.out.begin(), r.out.end()});
}

bool samePixels(const Bitmap& a, const Bitmap& b)
{
    if (a.width() != b.width() || a.height() != b.height() || a.empty())
        return false;
    for (int y = 0; y < a.height(); ++y)
        if (std::memcmp(a.row(y), b.row(y), std::size_t(a.width()) * 3) != 0)
            return false;
    return true;
}

std::uint64_t fileSize(const std::string& path)
{
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    return ec ? 0 : size;
}

}  // namespace

class FrmMainLosslessTest : public QObject {
    Q_OBJECT
private slots:
    void framedPiecesAreTheBlocksOfThePhoto();
    void aPieceThatCannotBeCopiedIsRefused();
};

void FrmMainLosslessTest::framedPiecesAreTheBlocksOfThePhoto()
{
    QVERIFY2(test::haveProgram("jpegtran") && test::haveProgram("djpeg"), "scripts/install-deps.sh installs them");
    LosslessWindow w;
    QVERIFY(w.chkLossless->isEnabled());
    w.chkLossless->click();
    QVERIFY(!w.frm.tbarQual->isEnabled());
    // A click on the frame gives the work area the keys.
    QTest::mouseClick(w.frm.shpRange, Qt::LeftButton, {}, w.frm.shpRange->rect().center());

    // Each arrow moves the corner by one block of the grid, and the status line names it.
    w.press(Qt::Key_Right);
    const QPoint first = w.namedOrigin();
    QVERIFY2(first.x() % 16 == 0 && first.y() % 16 == 0, qPrintable(w.frm.statusText()));
    w.press(Qt::Key_Right, 2);
    w.press(Qt::Key_Down);
    const QPoint at = w.namedOrigin();
    QCOMPARE(at, first + QPoint(32, 16));

    const std::uint64_t live = w.liveBytes();
    w.frm.btnSave->click();
    const std::string saved = w.tempDir.file("photo(1).jpg");
    QCOMPARE(fileSize(saved), live);
    QVERIFY(test::lastOutput(w.frm).sizeText().contains(
        QStringLiteral("無劣化　ファイルサイズ:%1kB").arg((live + 1023) / 1024)));
    const std::string crop = "-crop 250x170+" + std::to_string(at.x()) + "+" + std::to_string(at.y());
    QVERIFY(samePixels(decoded(saved), decoded(w.photo, crop)));

    // After a quarter turn the piece is the turned photo's; the preview shows that very file,
    // and its 別名保存 writes it.
    w.frm.btnRotR->click();
    w.press(Qt::Key_Left);
    const QPoint turned = w.namedOrigin();
    QVERIFY(turned.x() >= 0);
    const std::uint64_t turnedLive = w.liveBytes();
    const std::string second = w.tempDir.file("turned.jpg");
    w.fake.fileAnswers = {QString::fromStdString(second)};
    QString previewText;
    QTimer::singleShot(0, w.preview.btnSaveAs, [&] {
        previewText = w.preview.statusText();
        w.preview.btnSaveAs->click();
    });
    w.frm.btnPreview->click();
    QCOMPARE(fileSize(second), turnedLive);
    QVERIFY2(previewText.contains(QStringLiteral("無劣化　ファイルサイズ:%1kB").arg((turnedLive + 1023) / 1024)),
             qPrintable(previewText));
    const std::string turnedCrop =
        "-rotate 90 -crop 250x170+" + std::to_string(turned.x()) + "+" + std::to_string(turned.y());
    QVERIFY(samePixels(decoded(second), decoded(w.photo, turnedCrop)));
    QVERIFY(w.fake.messages.empty());
}

void FrmMainLosslessTest::aPieceThatCannotBeCopiedIsRefused()
{
    LosslessWindow w;
    w.chkLossless->click();
    // A reduced piece has pixels of its own: it is refused, never encoded behind the user's back.
    w.frm.edtPower->setText(QStringLiteral("50"));
    w.frm.btnSave->click();
    QCOMPARE(w.fake.messages.size(), std::size_t(1));
    QVERIFY(w.fake.messages.back().text.contains(QStringLiteral("縮小率を100")));
    QCOMPARE(w.liveBytes(), std::uint64_t(0));
    QCOMPARE(w.lblLiveSize->text(), QStringLiteral("---"));
    // So is a photo saved anew since it was read.
    w.frm.edtPower->setText(QStringLiteral("100"));
    QVERIFY(writeJpegFile(test::photoLike(800, 608, 6), 90, w.photo));
    w.frm.btnSave->click();
    QCOMPARE(w.fake.messages.size(), std::size_t(2));
    QVERIFY(w.fake.messages.back().text.contains(QStringLiteral("リロード")));
    QCOMPARE(test::entryNames(w.tempDir.path()).size(), std::size_t(1));  // the photo alone

    // Another edit than turns and flips, or another format, makes pixels again: the box is off.
    w.frm.rdgpFormatItems->button(2)->click();
    QVERIFY(!w.chkLossless->isEnabled());
    w.frm.rdgpFormatItems->button(0)->click();
    QVERIFY(w.chkLossless->isEnabled());
    w.frm.btnCutAndLoad->click();
    QVERIFY(!w.chkLossless->isEnabled());
    QVERIFY(w.frm.tbarQual->isEnabled());
}

QTEST_MAIN(FrmMainLosslessTest)
#include "test_frm_main_lossless.moc"
