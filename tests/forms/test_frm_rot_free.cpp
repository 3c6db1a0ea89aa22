#include <QtTest>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>

#include "codecs/picture_file.h"
#include "forms/frm_preview.h"
#include "forms/frm_rot_free.h"
#include "forms/up_down.h"
#include "forms/window_placement.h"
#include "forms/work_area_widgets.h"
#include "imaging/flip.h"
#include "imaging/quarter_turn.h"
#include "imaging/rotate.h"
#include "platform/qimage_bridge.h"
#include "settings/profile_file.h"
#include "tests/forms/fake_desktop.h"
#include "tests/forms/test_main_window.h"

using namespace trimlet;

namespace {

// The main window with its free-rotation window, loaded with a generated picture.
struct Rig {
    test::FakeDesktop fake;
    test::TempDir dir;
    test::TestMain frm;
    TfrmPreview preview;
    TfrmRotFree rotFree;
    Bitmap bitmap;

    Rig(int w, int h)
    {
        frm.setPreviewWindow(&preview);
        frm.setRotFreeWindow(&rotFree);
        rotFree.setMainWindow(&frm);
        frm.show();
        bitmap = test::photoLike(w, h);
        const std::string path = dir.file("picture.bmp");
        if (!writeBmpFile(bitmap, path))
            qFatal("cannot write picture");
        frm.LoadPictureFile(QString::fromStdString(path));
    }

    // Opens the tool window the way the main window does, but without its modal loop.
    void open()
    {
        rotFree.setPreviewBase(bitmap);
        rotFree.show();
    }
};

}  // namespace

class FrmRotFreeTest : public QObject {
    Q_OBJECT
private slots:
    void turnsAndFlipsReplaceThePicture();
    void plusMinusThirtyStopAtTheLimits();
    void angleZeroDoesNothing();
    void stoppedRotationKeepsThePicture();
    void completedRotationClosesAndReports();
    void liveModeRepairsTextAtOnce();
    void liveModeTakesATypedNegativeAngle();
    void controlKeysWorkInTheAngle();
    void opensBesideThePictureAndKeepsItsPlace();
    void placementKeepsClearOfThePicture();
    void withoutLiveModeTheTextIsClampedOnExit();
    void backgroundColourDialog();
};

void FrmRotFreeTest::turnsAndFlipsReplaceThePicture()
{
    Rig r(31, 17);
    r.frm.btnRotR->click();
    QVERIFY(r.frm.editingPicture().bitmap() == turnRight(r.bitmap));
    QCOMPARE(r.frm.lblSrcSizeW->text(), QStringLiteral("17"));
    QCOMPARE(r.frm.lblSrcSizeH->text(), QStringLiteral("31"));
    QCOMPARE(r.frm.statusText(), QStringLiteral("右90°回転"));
    QVERIFY(r.frm.progressBar->isHidden());
    r.frm.popitemRotL->trigger();
    QVERIFY(r.frm.editingPicture().bitmap() == r.bitmap);
    QCOMPARE(r.frm.statusText(), QStringLiteral("左90°回転"));

    const QRect frame = r.frm.shpRange->geometry();
    r.frm.btnRevH->click();
    QVERIFY(r.frm.editingPicture().bitmap() == flipVertical(r.bitmap));
    QCOMPARE(r.frm.statusText(), QStringLiteral("上下反転"));
    r.frm.btnRevW->click();
    r.frm.btnRot180->click();
    QVERIFY(r.frm.editingPicture().bitmap() == r.bitmap);  // two flips and a half turn cancel out
    QCOMPARE(r.frm.statusText(), QStringLiteral("180°回転"));
    QCOMPARE(r.frm.shpRange->geometry(), frame);  // no layout pass for flips and the half turn
    QCOMPARE(r.frm.editingPicture().kind(), PictureKind::Bitmap);
}

void FrmRotFreeTest::plusMinusThirtyStopAtTheLimits()
{
    Rig r(20, 10);
    r.open();
    r.rotFree.udDegree->setPosition(340);
    r.rotFree.btnAdd->click();
    QCOMPARE(r.rotFree.edtDegree->text(), QStringLiteral("359"));
    r.rotFree.udDegree->setPosition(-340);
    r.rotFree.btnSub->click();
    QCOMPARE(r.rotFree.edtDegree->text(), QStringLiteral("-359"));
}

void FrmRotFreeTest::angleZeroDoesNothing()
{
    Rig r(20, 10);
    r.open();
    const QString status = r.frm.statusText();
    r.rotFree.btnOK->click();
    QVERIFY(r.rotFree.isVisible());
    QCOMPARE(r.frm.statusText(), status);
    QVERIFY(r.frm.editingPicture().bitmap() == r.bitmap);
}

void FrmRotFreeTest::stoppedRotationKeepsThePicture()
{
    Rig r(300, 400);
    r.open();
    r.rotFree.udDegree->setPosition(30);
    QTimer::singleShot(0, r.rotFree.btnStop, &QPushButton::click);
    r.rotFree.btnOK->click();
    QVERIFY(r.frm.editingPicture().bitmap() == r.bitmap);
    QCOMPARE(r.frm.statusText(), QStringLiteral("回転を中止しました"));
    QVERIFY(r.rotFree.isVisible());
    QVERIFY(r.rotFree.btnOK->isEnabled() && r.rotFree.btnCancel->isEnabled());
    QVERIFY(r.rotFree.btnStop->isHidden());
}

void FrmRotFreeTest::completedRotationClosesAndReports()
{
    Rig r(41, 23);
    r.frm.setBackgroundColour(QColor(10, 20, 30));
    r.open();
    QVERIFY(r.frm.imgSource->isHidden());
    r.rotFree.udDegree->setPosition(-45);
    r.rotFree.btnOK->click();
    QCOMPARE(r.frm.statusText(), QStringLiteral("-45°回転"));
    QVERIFY(!r.rotFree.isVisible());
    QVERIFY(r.frm.imgSource->isVisible());
    QVERIFY(r.frm.imgRotPreview->isHidden());
    const auto expected = rotateBilinear(r.bitmap, -45, Rgb{10, 20, 30});
    QVERIFY(expected.has_value());
    QVERIFY(r.frm.editingPicture().bitmap() == *expected);
}

void FrmRotFreeTest::liveModeRepairsTextAtOnce()
{
    Rig r(20, 10);
    r.open();
    QVERIFY(r.rotFree.chkRealtime->isChecked());
    QVERIFY(!r.rotFree.btnPreview->isEnabled());
    r.rotFree.udDegree->setPosition(12);
    // An angle being typed is left alone; the position stays the last valid one.
    for (const QString& typing : {QStringLiteral("-"), QString()}) {
        r.rotFree.edtDegree->setText(typing);
        QCOMPARE(r.rotFree.edtDegree->text(), typing);
        QCOMPARE(r.rotFree.degree(), 12);
    }
    r.rotFree.edtDegree->setText(QStringLiteral("500"));
    QCOMPARE(r.rotFree.edtDegree->text(), QStringLiteral("12"));
    QVERIFY(!r.frm.imgRotPreview->image().isNull());
}

void FrmRotFreeTest::liveModeTakesATypedNegativeAngle()
{
    Rig r(41, 23);
    r.open();
    r.rotFree.activateWindow();
    r.rotFree.edtDegree->setFocus();
    QTest::keyClick(r.rotFree.edtDegree, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(r.rotFree.edtDegree, QStringLiteral("-45"));
    QCOMPARE(r.rotFree.edtDegree->text(), QStringLiteral("-45"));
    QCOMPARE(r.rotFree.degree(), -45);
    QVERIFY(fromQImage(r.frm.imgRotPreview->image()) == rotationPreview(r.bitmap, -45, Rgb{255, 255, 255}));
    r.rotFree.btnOK->click();
    QCOMPARE(r.frm.statusText(), QStringLiteral("-45°回転"));
    QVERIFY(r.frm.editingPicture().bitmap() == *rotateBilinear(r.bitmap, -45, Rgb{255, 255, 255}));
}

void FrmRotFreeTest::controlKeysWorkInTheAngle()
{
    Rig r(20, 10);
    r.open();
    r.rotFree.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&r.rotFree));
    QLineEdit* edit = r.rotFree.edtDegree;
    edit->setFocus();
    r.rotFree.udDegree->setPosition(123);
    QTest::keyClick(edit, Qt::Key_Home);
    QTest::keyClick(edit, Qt::Key_Delete);
    QCOMPARE(edit->text(), QStringLiteral("23"));
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(edit->selectedText(), QStringLiteral("23"));
    QTest::keyClick(edit, Qt::Key_Delete);
    QCOMPARE(edit->text(), QString());

    // Tab leaves the field, which is then repaired; Shift+Tab comes back.
    QTest::keyClick(edit, Qt::Key_Tab);
    QVERIFY(!edit->hasFocus());
    QCOMPARE(edit->text(), QStringLiteral("23"));
    QTest::keyClick(r.rotFree.focusWidget(), Qt::Key_Tab, Qt::ShiftModifier);
    QVERIFY(edit->hasFocus());

    // Esc in the field presses 閉じる.
    QTest::keyClick(edit, Qt::Key_Escape);
    QVERIFY(!r.rotFree.isVisible());
    QCOMPARE(r.rotFree.result(), int(QDialog::Rejected));
}

void FrmRotFreeTest::opensBesideThePictureAndKeepsItsPlace()
{
    Rig r(400, 300);
    QRect placed, picture, available;
    const auto look = [&] {
        placed = r.rotFree.frameGeometry();
        picture = QRect(r.frm.imgRotPreview->mapToGlobal(QPoint(0, 0)), r.frm.imgRotPreview->size());
        available = r.frm.screen()->availableGeometry();
        r.rotFree.move(placed.topLeft() + QPoint(-30, 20));  // the user moves it
        r.rotFree.btnCancel->click();
    };
    QTimer::singleShot(0, look);
    r.frm.btnRotFree->click();
    QVERIFY(!placed.intersects(picture));
    QVERIFY(available.contains(placed));

    QPoint again;
    QTimer::singleShot(0, [&] {
        again = r.rotFree.pos();
        r.rotFree.btnCancel->click();
    });
    r.frm.btnRotFree->click();
    QCOMPARE(again, placed.topLeft() + QPoint(-30, 20));
}

void FrmRotFreeTest::placementKeepsClearOfThePicture()
{
    const QRect screen(0, 0, 1280, 800);
    const QSize tool(330, 160);
    // Room on the right of the picture: there, level with its top.
    QCOMPARE(placeBeside(QRect(100, 100, 600, 400), tool, screen), QPoint(708, 100));
    // None on the right: on the left.
    QCOMPARE(placeBeside(QRect(500, 100, 700, 400), tool, screen), QPoint(162, 100));
    // A picture as wide as the screen: below it, else above it.
    QCOMPARE(placeBeside(QRect(0, 100, 1280, 400), tool, screen), QPoint(0, 508));
    QCOMPARE(placeBeside(QRect(0, 400, 1280, 300), tool, screen), QPoint(0, 232));
    // Nowhere clear: the place that covers least of it, still on the screen.
    const QPoint least = placeBeside(QRect(10, 10, 1260, 780), tool, screen);
    QVERIFY(screen.contains(QRect(least, tool)));
    QCOMPARE(QRect(least, tool).intersected(QRect(10, 10, 1260, 780)).size(), QSize(330, 150));
    // A remembered place that is now off the screen comes back onto it.
    QCOMPARE(keepInside(QPoint(1200, -40), tool, screen), QPoint(950, 0));
    QCOMPARE(keepInside(QPoint(5, 5), QSize(2000, 900), screen), QPoint(0, 0));
}

void FrmRotFreeTest::withoutLiveModeTheTextIsClampedOnExit()
{
    Rig r(20, 10);
    r.open();
    r.rotFree.chkRealtime->click();
    QVERIFY(r.rotFree.btnPreview->isEnabled());
    r.rotFree.edtDegree->setText(QStringLiteral("500"));
    QCOMPARE(r.rotFree.edtDegree->text(), QStringLiteral("500"));
    QFocusEvent out(QEvent::FocusOut);
    QApplication::sendEvent(r.rotFree.edtDegree, &out);
    QCOMPARE(r.rotFree.edtDegree->text(), QStringLiteral("359"));
    r.rotFree.edtDegree->setText(QStringLiteral("-20"));
    QApplication::sendEvent(r.rotFree.edtDegree, &out);
    QCOMPARE(r.rotFree.edtDegree->text(), QStringLiteral("-20"));
    r.rotFree.edtDegree->clear();
    QTest::keyClicks(r.rotFree.edtDegree, QStringLiteral("-12x34"));
    QCOMPARE(r.rotFree.edtDegree->text(), QStringLiteral("-12"));  // three typed characters, digits and minus only
}

void FrmRotFreeTest::backgroundColourDialog()
{
    Rig r(20, 10);
    r.fake.colourAnswers = {std::nullopt};
    r.frm.btnBGColor->click();
    QCOMPARE(r.frm.backgroundColour(), QColor(Qt::white));
    r.fake.colourAnswers = {QColor::fromRgba(0x80336699)};
    r.frm.pnlBGColor->click();
    QCOMPARE(r.frm.backgroundColour(), QColor(0x33, 0x66, 0x99));
    QVERIFY(r.frm.SaveSettings());
    QCOMPARE(ProfileFile(r.frm.settingsPath()).readInt("concat", "bgcolor", -1), 0x996633);
}

QTEST_MAIN(FrmRotFreeTest)
#include "test_frm_rot_free.moc"
