#include <QtTest>

#include <QButtonGroup>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>

#include "codecs/picture_file.h"
#include "forms/main/work_area_widgets.h"
#include "forms/preview/frm_preview.h"
#include "forms/rotation/frm_rot_free.h"
#include "forms/rotation/tool_window_place.h"
#include "forms/widgets/up_down.h"
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
        rotFree.setPicture(frm.editingPicture());
        rotFree.setBackgroundColour(frm.backgroundColour());
        rotFree.setPreviewBase(bitmap);
        rotFree.show();
    }
};

// The rotation window on its own, with spies on what it reports. The receiver of the rotated
// picture takes it unless told to refuse.
struct Alone {
    test::FakeDesktop fake;
    TfrmRotFree rotFree;
    QSignalSpy shown{&rotFree, &TfrmRotFree::previewVisibilityChanged};
    QSignalSpy previews{&rotFree, &TfrmRotFree::previewChanged};
    QSignalSpy guides{&rotFree, &TfrmRotFree::guideLinesChanged};
    QSignalSpy status{&rotFree, &TfrmRotFree::statusChanged};
    std::vector<Bitmap> taken;
    bool refuse = false;

    Alone(const Bitmap& picture, const QColor& background)
    {
        rotFree.setPicture(Picture(picture));
        rotFree.setPreviewBase(picture);
        rotFree.setBackgroundColour(background);
        QObject::connect(&rotFree, &TfrmRotFree::pictureRotated, [this](const Picture& rotated) {
            if (refuse)
                return false;
            taken.push_back(rotated.bitmap());
            return true;
        });
    }
    Bitmap lastPreview() const { return fromQImage(previews.last().at(0).value<QImage>()); }
    Qt::BrushStyle lastGuides() const { return guides.last().at(0).value<Qt::BrushStyle>(); }
    QStringList statusTexts() const
    {
        QStringList texts;
        for (const QList<QVariant>& args : status)
            texts << args.at(0).toString();
        return texts;
    }
};

// Every pixel of a distinct colour (blue tells the column, green the row, for sides up to 256),
// so that a preview turned by a wrong angle cannot match.
Bitmap distinctPixels(int w, int h)
{
    Bitmap b(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            std::uint8_t* p = b.row(y) + 3 * x;
            p[0] = std::uint8_t(10 + 7 * x);
            p[1] = std::uint8_t(20 + 11 * y);
            p[2] = std::uint8_t(x * h + y);
        }
    return b;
}

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
    void typingReplacesTheAngleOnEveryOpening();
    void controlKeysWorkInTheAngle();
    void opensBesideThePictureAndKeepsItsPlace();
    void placementKeepsClearOfThePicture();
    void withoutLiveModeTheTextIsClampedOnExit();
    void backgroundColourDialog();
    void guideLinesShowOverThePreview();
    void aloneItReportsWhatTheOwnerDraws();
    void aloneARefusedPictureKeepsTheWindowOpen();
    void livePreviewFollowsEveryWholeAngle();
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

void FrmRotFreeTest::typingReplacesTheAngleOnEveryOpening()
{
    // Opened from the main window and typed into at once: the first opening, then one after
    // 実行 by its key left the field focused, then one after a click on 実行 took the focus.
    Rig r(41, 23);
    Bitmap expected = r.bitmap;
    for (const int angle : {-45, -20, -7}) {
        const QString typed = QString::number(angle);
        bool focused = false;
        bool previewed = false;
        QTimer::singleShot(0, [&] {
            focused = QTest::qWaitForWindowActive(&r.rotFree) && QApplication::focusWidget() == r.rotFree.edtDegree;
            QTest::keyClicks(QApplication::focusWidget(), typed);
            previewed = r.rotFree.degree() == angle && fromQImage(r.frm.imgRotPreview->image()) ==
                                                           rotationPreview(expected, angle, Rgb{255, 255, 255});
            if (angle == -20)
                r.rotFree.btnOK->setFocus(Qt::MouseFocusReason);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_R, Qt::AltModifier);
            // A key that missed would leave the window open: a failure below, not a test that never ends.
            if (!QTest::qWaitFor([&] { return !r.rotFree.isVisible(); }))
                r.rotFree.reject();
        });
        r.frm.btnRotFree->click();
        QVERIFY2(focused, qPrintable(typed));
        QVERIFY2(previewed, qPrintable(typed));
        QCOMPARE(r.frm.statusText(), typed + QStringLiteral("°回転"));
        expected = *rotateBilinear(expected, angle, Rgb{255, 255, 255});
        QVERIFY2(r.frm.editingPicture().bitmap() == expected, qPrintable(typed));
    }
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

void FrmRotFreeTest::guideLinesShowOverThePreview()
{
    Rig r(40, 30);
    r.open();
    QVERIFY(r.frm.imgSource->isHidden() && r.frm.shpRange->isHidden());
    QVERIFY(r.frm.shpRotPreview->isHidden());
    for (int choice : {1, 2, 3}) {
        r.rotFree.rdgpViewShapeItems->button(choice)->click();
        QVERIFY(!r.frm.shpRotPreview->isHidden());
    }
    r.rotFree.rdgpViewShapeItems->button(0)->click();
    QVERIFY(r.frm.shpRotPreview->isHidden());
    r.rotFree.rdgpViewShapeItems->button(3)->click();
    r.rotFree.btnCancel->click();
    QVERIFY(r.frm.shpRotPreview->isHidden() && r.frm.imgRotPreview->isHidden());
    QVERIFY(r.frm.imgSource->isVisible() && r.frm.shpRange->isVisible());
}

void FrmRotFreeTest::aloneItReportsWhatTheOwnerDraws()
{
    const Bitmap picture = test::photoLike(37, 21);
    Alone a(picture, QColor(10, 20, 30));
    a.rotFree.show();
    QCOMPARE(a.shown.count(), 1);
    QCOMPARE(a.shown.at(0).at(0).toBool(), true);
    QCOMPARE(a.guides.count(), 1);
    QCOMPARE(a.lastGuides(), Qt::NoBrush);
    // The base first, then, live, the preview at 0°.
    QVERIFY(a.previews.count() >= 2);
    QVERIFY(fromQImage(a.previews.at(0).at(0).value<QImage>()) == picture);
    QVERIFY(a.lastPreview() == rotationPreview(picture, 0, Rgb{10, 20, 30}));

    const Qt::BrushStyle hatches[] = {Qt::NoBrush, Qt::HorPattern, Qt::VerPattern, Qt::CrossPattern};
    for (int choice : {2, 3, 1, 0}) {
        a.rotFree.rdgpViewShapeItems->button(choice)->click();
        QCOMPARE(a.lastGuides(), hatches[choice]);
    }
    QCOMPARE(a.guides.count(), 5);

    a.rotFree.udDegree->setPosition(-30);
    QVERIFY(a.lastPreview() == rotationPreview(picture, -30, Rgb{10, 20, 30}));
    QVERIFY(a.statusTexts().isEmpty());
    a.rotFree.btnOK->click();
    QCOMPARE(a.taken.size(), std::size_t(1));
    QVERIFY(a.taken[0] == *rotateBilinear(picture, -30, Rgb{10, 20, 30}));
    QCOMPARE(a.statusTexts(), (QStringList{QStringLiteral("回転中"), QStringLiteral("-30°回転")}));
    QVERIFY(!a.rotFree.isVisible());
    QCOMPARE(a.shown.count(), 2);
    QCOMPARE(a.shown.at(1).at(0).toBool(), false);
    // The picture was let go: another rotation without a new one turns nothing.
    a.rotFree.show();
    a.rotFree.btnOK->click();
    QCOMPARE(a.taken.size(), std::size_t(1));
}

void FrmRotFreeTest::aloneARefusedPictureKeepsTheWindowOpen()
{
    const Bitmap picture = test::photoLike(20, 12);
    Alone a(picture, QColor(Qt::white));
    a.refuse = true;
    a.rotFree.show();
    a.rotFree.udDegree->setPosition(15);
    a.rotFree.btnOK->click();
    // The receiver has said why; no success and no stop is reported over it.
    QCOMPARE(a.statusTexts(), QStringList{QStringLiteral("回転中")});
    QVERIFY(a.rotFree.isVisible());
    QVERIFY(a.rotFree.btnOK->isEnabled() && a.rotFree.btnStop->isHidden());
    QCOMPARE(a.shown.count(), 1);
    a.refuse = false;
    a.rotFree.btnOK->click();
    QCOMPARE(a.statusTexts().last(), QStringLiteral("15°回転"));
    QVERIFY(a.taken.at(0) == *rotateBilinear(picture, 15, Rgb{255, 255, 255}));
}

void FrmRotFreeTest::livePreviewFollowsEveryWholeAngle()
{
    // Large enough that one degree moves a corner by more than a pixel along x or y, so that
    // the corners, which are rounded to whole pixels, differ from one degree to the next.
    const Bitmap base = distinctPixels(150, 90);
    const Rgb background{1, 2, 3};
    Alone a(base, QColor(1, 2, 3));
    a.rotFree.show();
    int angle = 0;
    for (int typed = -360; typed <= 360; ++typed) {
        const int before = a.previews.count();
        a.rotFree.edtDegree->setText(QString::number(typed));
        // Beyond ±359 the text is not an angle: the last one stays and is written back.
        if (typed >= -359 && typed <= 359)
            angle = typed;
        QVERIFY2(a.previews.count() > before, qPrintable(QString::number(typed)));
        QCOMPARE(a.rotFree.degree(), angle);
        QCOMPARE(a.rotFree.edtDegree->text(), QString::number(angle));
        QVERIFY2(a.lastPreview() == rotationPreview(base, angle, background), qPrintable(QString::number(typed)));
    }
    // Neighbouring angles give different pictures, so an angle off by one would not pass.
    for (int d = -359; d < 359; ++d)
        QVERIFY2(!(rotationPreview(base, d, background) == rotationPreview(base, d + 1, background)),
                 qPrintable(QString::number(d)));
    QVERIFY(!(rotationPreview(base, 30, background) == rotationPreview(base, -30, background)));
}

QTEST_MAIN(FrmRotFreeTest)
#include "test_frm_rot_free.moc"
