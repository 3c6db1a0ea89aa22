#include <QtTest>

#include "codecs/jpeg.h"
#include "imaging/orientation.h"
#include "imaging/photo.h"
#include "settings/profile_file.h"
#include "tests/codecs/photo_fixtures.h"
#include "tests/forms/fake_desktop.h"
#include "tests/forms/test_main_window.h"

using namespace trimlet;

namespace {

// A 30 × 17 photo that its EXIF turns right, in Adobe RGB.
struct Photo {
    test::Data stored = encodeJpeg(test::photoLike(30, 17, 6), 93).value();
    test::Data file =
        test::withProfile(test::withSegments(stored, {{0xE1, test::exifApp1(test::orientationBlock(false, 6))}}),
                          test::readBytes(test::kAdobeRgb), 3);
};

void writeText(const std::string& path, const std::string& text) { test::writeBytes(path, {text.begin(), text.end()}); }

}  // namespace

class FrmMainPhotoTest : public QObject {
    Q_OBJECT
private slots:
    void photoLoadsUprightInItsColoursAndUnedited();
    void settingsKeyKeepsStoredColoursAndIsWrittenBack();
};

void FrmMainPhotoTest::photoLoadsUprightInItsColoursAndUnedited()
{
    test::FakeDesktop fake;
    test::TempDir dir;
    const Photo photo;
    test::writeBytes(dir.file("p.jpg"), photo.file);
    test::TestMain frm;
    frm.show();
    frm.LoadPictureFile(dir.file("p.jpg"));
    QCOMPARE(frm.lblSrcSizeW->text(), QStringLiteral("17"));
    QCOMPARE(frm.lblSrcSizeH->text(), QStringLiteral("30"));
    const Picture& shown = frm.editingPicture();
    QCOMPARE(shown.kind(), PictureKind::Jpeg);
    QVERIFY(shown.bitmap() == decodePictureUpright(PictureKind::Jpeg, photo.file).value().bitmap());
    QVERIFY(test::maxChannelDifference(shown.bitmap(), orientBitmap(decodeJpeg(photo.stored).value().bitmap, 6)) > 10);
}

void FrmMainPhotoTest::settingsKeyKeepsStoredColoursAndIsWrittenBack()
{
    test::FakeDesktop fake;
    test::TempDir dir;
    const Photo photo;
    test::writeBytes(dir.file("p.jpg"), photo.file);
    const Bitmap asStored = orientBitmap(decodeJpeg(photo.stored).value().bitmap, 6);
    const std::string settings = dir.file("trimlet.ini");
    // Off, any other value (on, kept as it is), and missing (on, written as 1).
    const std::pair<const char*, int> cases[] = {
        {"[load]\ncolor_management=0\n", 0}, {"[load]\ncolor_management=7\n", 7}, {"", 1}};
    for (const auto& [text, kept] : cases) {
        writeText(settings, text);
        {
            test::TestMain frm({}, settings);
            frm.show();
            frm.LoadPictureFile(dir.file("p.jpg"));
            QCOMPARE(frm.editingPicture().bitmap() == asStored, kept == 0);
            frm.close();
        }
        QCOMPARE(ProfileFile(settings).readInt("load", "color_management", -1), kept);
    }
}

QTEST_MAIN(FrmMainPhotoTest)
#include "test_frm_main_photo.moc"
