#include <QtTest>

#include <QButtonGroup>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QToolButton>
#include <QWheelEvent>

#include "codecs/picture_file.h"
#include "forms/main/frm_main.h"
#include "forms/main/work_area_widgets.h"
#include "forms/preview/frm_preview.h"
#include "forms/widgets/up_down.h"
#include "imaging/reduce.h"
#include "imaging/region.h"
#include "platform/qimage_bridge.h"
#include "tests/forms/fake_desktop.h"
#include "tests/forms/test_main_window.h"
#include "tests/support/test_support.h"

using namespace trimlet;

namespace {

// A main window with its preview window, loaded with a generated picture of the given size.
struct Loaded {
    test::FakeDesktop fake;
    test::TempDir dir;
    test::TestMain frm;
    TfrmPreview preview;
    Bitmap bitmap;

    Loaded(int w, int h)
    {
        frm.setPreviewWindow(&preview);
        preview.setTempJpeg(dir.file("trimlet.jpg"));
        frm.show();
        frm.edtSizeW->setText(QStringLiteral("240"));
        frm.edtSizeH->setText(QStringLiteral("320"));
        frm.edtPower->setText(QStringLiteral("100"));
        bitmap = test::photoLike(w, h);
        const std::string path = dir.file("picture.bmp");
        if (!writeBmpFile(bitmap, path))
            qFatal("cannot write picture");
        frm.LoadPictureFile(QString::fromStdString(path));
    }

    QPoint frameCentreOnScreen() const { return frm.shpRange->geometry().center(); }

    void drag(const QPoint& by)
    {
        const QPoint grab(3, 3);
        QTest::mousePress(frm.shpRange, Qt::LeftButton, {}, grab);
        QMouseEvent move(QEvent::MouseMove, QPointF(grab + by), frm.shpRange->mapToGlobal(QPointF(grab + by)),
                         Qt::NoButton, Qt::LeftButton, {});
        QApplication::sendEvent(frm.shpRange, &move);
        QTest::mouseRelease(frm.shpRange, Qt::LeftButton, {}, grab + by);
    }

    void typeInto(QLineEdit* edit, const QString& text)
    {
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, text);
    }

    void leave(QLineEdit* edit)
    {
        QFocusEvent out(QEvent::FocusOut);
        QApplication::sendEvent(edit, &out);
    }
};

}  // namespace

class FrmMainFrameTest : public QObject {
    Q_OBJECT
private slots:
    void loadCentresTheFrameAndFillsTheLabels();
    void dragStopsAtEveryEdge();
    void resizesKeepTheFrameOnTheSameRegion();
    void workAreaHoldsOnlyTheReducedPicture();
    void editsFilterKeysAndRepairOnExit();
    void swapExchangesWidthAndHeight();
    void rateAndClippedLabels();
    void cutAtFullRateIsTheRegionExactly();
    void cutAndContinueReplacesThePicture();
    void wholePictureWhenTheCutIsLarger();
    void formatSwitchRewritesTailTexts();
    void copyWholePicture();
    void enterPressesPreviewOrTheFocusedButton();
    void controlKeysPassTheKeyFilters();
    void statusNamesTheCutForTrimletCli();
    void chosenJoinAlignmentStandsOut();
    void aHigherMinimumRateRaisesTheRateField();
    void everyDigitIsTypedAndShortcutsPass();
    void fitGivesEveryPictureTheFullCutSize();
};

void FrmMainFrameTest::loadCentresTheFrameAndFillsTheLabels()
{
    Loaded l(1600, 1200);
    const QRect d = l.frm.imgSource->geometry();
    const QRect f = l.frm.shpRange->geometry();
    QVERIFY(d.width() < 1600);
    QCOMPARE(f.center().x() / 2, d.center().x() / 2);
    QCOMPARE(l.frm.lblCutSizeW->text(), QStringLiteral("240"));
    QCOMPARE(l.frm.lblCutSizeH->text(), QStringLiteral("320"));
    QCOMPARE(l.frm.lblSizeW->text(), QStringLiteral("240"));
    QCOMPARE(l.frm.frameState().cutSrcWidth, 240);
    QVERIFY(std::abs(l.frm.frameState().centre.x - 800) <= 5);
    QCOMPARE(l.frm.udPower->minimum(), 15);
    QCOMPARE(l.frm.lblSizeW->palette().color(QPalette::WindowText),
             QApplication::palette().color(QPalette::WindowText));
}

void FrmMainFrameTest::dragStopsAtEveryEdge()
{
    Loaded l(1600, 1200);
    const QRect d = l.frm.imgSource->geometry();
    const QSize size = l.frm.shpRange->size();
    l.drag({-5000, 0});
    QCOMPARE(l.frm.shpRange->x(), d.left());
    l.drag({5000, 0});
    QCOMPARE(l.frm.shpRange->geometry().right(), d.right());
    l.drag({0, -5000});
    QCOMPARE(l.frm.shpRange->y(), d.top());
    l.drag({0, 5000});
    QCOMPARE(l.frm.shpRange->geometry().bottom(), d.bottom());
    QCOMPARE(l.frm.shpRange->size(), size);
    QVERIFY(!l.frm.frameState().dragging);
    QVERIFY(l.frm.frameState().centre.y > 1000);  // stored on release
}

void FrmMainFrameTest::resizesKeepTheFrameOnTheSameRegion()
{
    Loaded l(1603, 1201);
    l.drag({-40, -25});
    const int cx = l.frm.frameState().centre.x, cy = l.frm.frameState().centre.y;
    auto resizeTo = [&](QSize s) {
        l.frm.resize(s);
        l.frm.tmrCheckResizeTimer();  // sees the resize
        l.frm.tmrCheckResizeTimer();  // quiet tick: relayout
    };
    resizeTo(QSize(1000, 700));
    resizeTo(QSize(800, 480));
    const QRect settled = l.frm.shpRange->geometry();
    for (int round = 0; round < 5; ++round)
        for (const QSize s : {QSize(1000, 700), QSize(900, 600), QSize(1200, 780), QSize(800, 480)})
            resizeTo(s);
    QCOMPARE(l.frm.frameState().centre.x, cx);
    QCOMPARE(l.frm.frameState().centre.y, cy);
    QCOMPARE(l.frm.shpRange->geometry(), settled);

    // While the window keeps being resized, nothing is laid out.
    const QRect picture = l.frm.imgSource->geometry();
    l.frm.resize(1100, 760);
    l.frm.tmrCheckResizeTimer();
    l.frm.resize(1150, 770);
    l.frm.tmrCheckResizeTimer();
    QCOMPARE(l.frm.imgSource->geometry(), picture);
    l.frm.tmrCheckResizeTimer();
    QVERIFY(l.frm.imgSource->geometry() != picture);
}

void FrmMainFrameTest::workAreaHoldsOnlyTheReducedPicture()
{
    // The work area shows the picture's area averages at the display's own size: no full-size
    // copy of a large photo is kept for the screen, after a load, a resize or an edit.
    Loaded l(1603, 1201);
    auto shownIsReduced = [&](const Bitmap& picture) {
        const QRect d = l.frm.imgSource->geometry();
        QVERIFY(d.width() < picture.width());
        QCOMPARE(l.frm.imgSource->image().size(), d.size());
        QCOMPARE(fromQImage(l.frm.imgSource->image()), reduceArea(picture, d.width(), d.height()));
    };
    shownIsReduced(l.bitmap);
    l.frm.resize(1000, 700);
    l.frm.tmrCheckResizeTimer();
    l.frm.tmrCheckResizeTimer();
    shownIsReduced(l.bitmap);
    l.frm.btnRevW->click();
    shownIsReduced(l.frm.editingPicture().bitmap());

    Loaded small(300, 200);  // fits: shown as it is
    QCOMPARE(fromQImage(small.frm.imgSource->image()), small.bitmap);
}

void FrmMainFrameTest::editsFilterKeysAndRepairOnExit()
{
    Loaded l(1600, 1200);
    l.typeInto(l.frm.edtSizeW, QStringLiteral("abc"));
    QCOMPARE(l.frm.edtSizeW->text(), QStringLiteral("240"));  // the letters never arrive
    l.frm.edtSizeW->setText(QStringLiteral("300"));
    QTest::keyClicks(l.frm.edtSizeW, QStringLiteral("x-+ "));
    QCOMPARE(l.frm.edtSizeW->text(), QStringLiteral("300"));

    // Pasted text is repaired when the edit is left.
    l.frm.edtSizeW->setText(QStringLiteral("abc"));
    l.leave(l.frm.edtSizeW);
    QCOMPARE(l.frm.edtSizeW->text(), QStringLiteral("300"));
    l.frm.edtSizeW->setText(QStringLiteral("9999"));
    l.leave(l.frm.edtSizeW);
    QCOMPARE(l.frm.edtSizeW->text(), QStringLiteral("4096"));
    l.frm.edtSizeH->setText(QStringLiteral("3"));
    l.leave(l.frm.edtSizeH);
    QCOMPARE(l.frm.edtSizeH->text(), QStringLiteral("32"));
    l.frm.edtPower->setText(QStringLiteral("1"));
    l.leave(l.frm.edtPower);
    QCOMPARE(l.frm.edtPower->text(), QString::number(l.frm.udPower->minimum()));
}

void FrmMainFrameTest::swapExchangesWidthAndHeight()
{
    Loaded l(1600, 1200);
    const QSize before = l.frm.shpRange->size();
    l.frm.btnSwap->click();
    QCOMPARE(l.frm.edtSizeW->text(), QStringLiteral("320"));
    QCOMPARE(l.frm.edtSizeH->text(), QStringLiteral("240"));
    QCOMPARE(l.frm.udSizeW->position(), 320);
    QCOMPARE(l.frm.udSizeH->position(), 240);
    QCOMPARE(l.frm.shpRange->size(), before.transposed());
}

void FrmMainFrameTest::rateAndClippedLabels()
{
    Loaded l(2000, 100);
    l.frm.edtSizeW->setText(QStringLiteral("241"));
    l.frm.edtPower->setText(QStringLiteral("50"));
    QCOMPARE(l.frm.lblCutSizeW->text(), QStringLiteral("482"));
    QCOMPARE(l.frm.lblSizeW->text(), QStringLiteral("241"));
    QCOMPARE(l.frm.lblSizeW->palette().color(QPalette::WindowText),
             QApplication::palette().color(QPalette::WindowText));
    // The height is clipped at the picture's 100 rows: 50 % of them is not the 320 asked for.
    QCOMPARE(l.frm.lblCutSizeH->text(), QStringLiteral("100"));
    QCOMPARE(l.frm.lblSizeH->text(), QStringLiteral("50"));
    QCOMPARE(l.frm.lblSizeH->palette().color(QPalette::WindowText), QColor(255, 0, 0));
}

void FrmMainFrameTest::cutAtFullRateIsTheRegionExactly()
{
    Loaded l(1000, 800);
    l.drag({-5000, -5000});
    l.frm.btnSave->click();
    const Bitmap& cut = test::lastOutput(l.frm).cutResult().bitmap();
    QCOMPARE(test::outputCommands(l.frm).lastMode(), OutputMode::Save);
    QCOMPARE(cut.width(), 240);
    QCOMPARE(cut.height(), 320);
    QVERIFY(cut == copyRegion(l.bitmap, 0, 0, 240, 320));

    l.frm.edtPower->setText(QStringLiteral("50"));
    l.drag({-5000, -5000});
    l.frm.btnCopy->click();
    QCOMPARE(test::outputCommands(l.frm).lastMode(), OutputMode::Copy);
    QCOMPARE(test::lastOutput(l.frm).cutResult().width(), 240);
    QCOMPARE(l.frm.frameState().cutSrcWidth, 480);
}

void FrmMainFrameTest::cutAndContinueReplacesThePicture()
{
    Loaded l(1000, 800);
    l.frm.edtPower->setText(QStringLiteral("30"));
    l.frm.edtSizeW->setText(QStringLiteral("100"));
    l.frm.btnCutAndLoad->click();
    QCOMPARE(l.frm.editingPicture().width(), 100);
    QCOMPARE(l.frm.lblSrcSizeW->text(), QStringLiteral("100"));
    QCOMPARE(l.frm.lblFileNameF->text(), QStringLiteral("picture.bmp"));
    // The region is clipped to the picture's height, so it starts on its top row, and the
    // piece is only 240 rows high.
    QVERIFY(l.frm.statusText().startsWith(QStringLiteral("画像の切り出し（--cut 100x320@30:")));
    QVERIFY(l.frm.statusText().endsWith(QStringLiteral(",0、実サイズ 100 × 240）")));
    QCOMPARE(l.frm.editingPicture().kind(), PictureKind::Bitmap);
    const QRect d = l.frm.imgSource->geometry();
    QVERIFY(std::abs(l.frm.shpRange->geometry().center().x() - d.center().x()) <= 1);
}

void FrmMainFrameTest::wholePictureWhenTheCutIsLarger()
{
    Loaded l(200, 150);
    QCOMPARE(l.frm.udPower->minimum(), 100);
    l.frm.btnSave->click();
    QVERIFY(test::lastOutput(l.frm).cutResult().bitmap() == l.bitmap);
    l.frm.btnQuickSave->click();
    QVERIFY(test::lastOutput(l.frm).cutResult().bitmap() == l.bitmap);
    QCOMPARE(test::outputCommands(l.frm).lastMode(), OutputMode::Save);
}

void FrmMainFrameTest::formatSwitchRewritesTailTexts()
{
    Loaded l(300, 300);
    l.frm.rdgpTailItems->button(1)->click();
    l.frm.rdgpFormatItems->button(1)->click();
    QCOMPARE(l.frm.rdgpTailItems->button(0)->text(), QStringLiteral("filename(1).bmp"));
    QCOMPARE(l.frm.rdgpTailItems->button(1)->text(), QStringLiteral("filename-1.bmp"));
    QVERIFY(!l.frm.tbarQual->isEnabled());
    QCOMPARE(l.frm.rdgpTailItems->checkedId(), 1);
    l.frm.rdgpFormatItems->button(0)->click();
    QCOMPARE(l.frm.rdgpTailItems->button(1)->text(), QStringLiteral("filename-1.jpg"));
    QVERIFY(l.frm.tbarQual->isEnabled());
    l.frm.tbarQual->setValue(42);
    QCOMPARE(l.frm.lblQual->text(), QStringLiteral("42"));
}

void FrmMainFrameTest::copyWholePicture()
{
    Loaded l(64, 48);
    l.frm.btnAllCopy->click();
    QCOMPARE(l.fake.clipboard.size(), QSize(64, 48));
    QVERIFY(l.fake.clipboardGif.isEmpty());
    QCOMPARE(l.frm.statusText(), QStringLiteral("画像全体をクリップボードにコピー"));
}

void FrmMainFrameTest::enterPressesPreviewOrTheFocusedButton()
{
    Loaded l(1600, 1200);
    // Counted instead of run: the preview would open modally.
    QObject::disconnect(l.frm.btnPreview, &QPushButton::clicked, nullptr, nullptr);
    QObject::disconnect(l.frm.btnCopy, &QPushButton::clicked, nullptr, nullptr);
    QSignalSpy preview(l.frm.btnPreview, &QPushButton::clicked);
    QSignalSpy copy(l.frm.btnCopy, &QPushButton::clicked);
    l.frm.activateWindow();

    l.typeInto(l.frm.edtSizeW, QStringLiteral("480"));
    QTest::keyClick(l.frm.edtSizeW, Qt::Key_Return);
    QCOMPARE(preview.count(), 1);
    QCOMPARE(l.frm.udSizeW->position(), 480);

    l.frm.btnCopy->setFocus();
    QTest::keyClick(l.frm.btnCopy, Qt::Key_Enter);
    QCOMPARE(copy.count(), 1);
    QCOMPARE(preview.count(), 1);

    // A radio button is a choice, not a command: Enter there is Enter on the page.
    QAbstractButton* bmp = l.frm.rdgpFormatItems->button(1);
    bmp->setFocus();
    QTest::keyClick(bmp, Qt::Key_Return);
    QCOMPARE(preview.count(), 2);
    QCOMPARE(l.frm.rdgpFormatItems->checkedId(), 0);

    l.frm.pcEdit->setCurrentWidget(l.frm.tabEdit);  // the button is out of sight there
    l.frm.edtPower->setFocus();
    QTest::keyClick(l.frm.edtPower, Qt::Key_Return);
    QCOMPARE(preview.count(), 2);
}

void FrmMainFrameTest::controlKeysPassTheKeyFilters()
{
    Loaded l(1000, 1000);
    l.frm.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&l.frm));
    QCOMPARE(l.frm.udPower->minimum(), 24);

    // "5" then Tab: the focus moves on and the rate is raised to its minimum on the way out.
    l.typeInto(l.frm.edtPower, QStringLiteral("5"));
    QCOMPARE(l.frm.edtPower->text(), QStringLiteral("5"));
    QTest::keyClick(l.frm.edtPower, Qt::Key_Tab);
    QVERIFY(!l.frm.edtPower->hasFocus());
    QCOMPARE(l.frm.edtPower->text(), QStringLiteral("24"));
    QCOMPARE(l.frm.udPower->position(), 24);

    // Shift+Tab, Home, Delete, Ctrl+A and the arrows in the size fields.
    QLineEdit* w = l.frm.edtSizeW;
    QLineEdit* h = l.frm.edtSizeH;
    h->setFocus();
    QTest::keyClick(h, Qt::Key_Backtab, Qt::ShiftModifier);
    QVERIFY(w->hasFocus());
    QTest::keyClick(w, Qt::Key_Home);
    QTest::keyClick(w, Qt::Key_Delete);
    QCOMPARE(w->text(), QStringLiteral("40"));
    QTest::keyClick(w, Qt::Key_Right);
    QTest::keyClicks(w, QStringLiteral("5"));
    QCOMPARE(w->text(), QStringLiteral("450"));
    QTest::keyClick(w, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(w->selectedText(), QStringLiteral("450"));
    QTest::keyClick(w, Qt::Key_Tab);
    QVERIFY(h->hasFocus());
    QCOMPARE(l.frm.udSizeW->position(), 450);
    // Still only digits are typed.
    QTest::keyClicks(h, QStringLiteral("x -"));
    QTest::sendKeyEvent(QTest::Click, h, Qt::Key_9, QStringLiteral("９"), {});  // a full-width digit
    QCOMPARE(h->text(), QStringLiteral("320"));
}

void FrmMainFrameTest::statusNamesTheCutForTrimletCli()
{
    Loaded l(1000, 800);
    l.drag({-5000, -5000});
    l.frm.btnSave->click();
    const QString saved = QString::fromStdString(l.dir.file("picture(1).jpg"));
    QCOMPARE(l.frm.statusText(), saved + QStringLiteral(" を保存しました。（--cut 240x320@100:0,0）"));

    // At 50 % in the bottom-right corner the 480 × 640 region starts at (520, 160).
    l.frm.edtPower->setText(QStringLiteral("50"));
    l.drag({5000, 5000});
    l.frm.btnCopy->click();
    QCOMPARE(l.frm.statusText(), QStringLiteral("画像の枠内をクリップボードにコピー（--cut 240x320@50:520,160）"));
    l.frm.btnCutAndLoad->click();
    QCOMPARE(l.frm.statusText(), QStringLiteral("画像の切り出し（--cut 240x320@50:520,160）"));
    QVERIFY(l.frm.editingPicture().bitmap() == reduceArea(l.bitmap, 520, 160, 480, 640, 240, 320));

    // The whole picture is no cut.
    l.frm.btnQuickSave->click();
    QCOMPARE(l.frm.statusText(),
             QString::fromStdString(l.dir.file("picture(2).jpg")) + QStringLiteral(" を保存しました。"));
}

void FrmMainFrameTest::chosenJoinAlignmentStandsOut()
{
    Loaded l(300, 300);
    l.frm.pcEdit->setCurrentWidget(l.frm.tabConcat);
    QToolButton* down = l.frm.spdTopBottom;
    QToolButton* up = l.frm.spdTop;
    down->setChecked(true);
    QVERIFY(!up->isChecked());
    // The mean brightness of the two buttons as drawn, enabled and disabled.
    const auto brightness = [](QToolButton* b) {
        const QImage image = b->grab().toImage();
        double sum = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                sum += qGray(image.pixel(x, y));
        return sum / (image.width() * image.height());
    };
    for (bool enabled : {true, false}) {
        l.frm.SetEditingEnabled(enabled);
        const double difference = std::abs(brightness(down) - brightness(up));
        QVERIFY2(difference > 40, qPrintable(QStringLiteral("enabled %1: %2").arg(enabled).arg(difference)));
    }
}

void FrmMainFrameTest::aHigherMinimumRateRaisesTheRateField()
{
    test::FakeDesktop fake;
    test::TempDir dir;
    const std::string path = dir.file("picture.bmp");
    QVERIFY(writeBmpFile(test::photoLike(480, 640), path));
    // 480 × 640 gives a 240 × 320 cut from 50 % on: a rate below it is raised, one above it kept.
    for (const auto& [typed, shown] : {std::pair{49, 50}, {30, 50}, {50, 50}, {51, 51}}) {
        test::TestMain frm;
        frm.show();
        frm.edtSizeW->setText(QStringLiteral("240"));
        frm.edtSizeH->setText(QStringLiteral("320"));
        frm.edtPower->setText(QString::number(typed));
        frm.LoadPictureFile(QString::fromStdString(path));
        QCOMPARE(frm.udPower->minimum(), 50);
        QCOMPARE(frm.edtPower->text(), QString::number(shown));
        QCOMPARE(frm.udPower->position(), shown);
    }
    QVERIFY(fake.messages.empty());
}

void FrmMainFrameTest::everyDigitIsTypedAndShortcutsPass()
{
    Loaded l(1000, 1000);
    l.typeInto(l.frm.edtSizeW, QStringLiteral("1234"));
    QCOMPARE(l.frm.edtSizeW->text(), QStringLiteral("1234"));
    l.typeInto(l.frm.edtSizeH, QStringLiteral("5678"));
    QCOMPARE(l.frm.edtSizeH->text(), QStringLiteral("5678"));
    l.typeInto(l.frm.edtPower, QStringLiteral("90"));
    QCOMPARE(l.frm.edtPower->text(), QStringLiteral("90"));

    // Undo and redo reach the field with the letters they carry.
    QLineEdit* w = l.frm.edtSizeW;
    l.typeInto(w, QStringLiteral("300"));
    QTest::keyClick(w, Qt::Key_Z, Qt::ControlModifier);
    QVERIFY(w->text() != QStringLiteral("300"));
    QTest::keyClick(w, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(w->text(), QStringLiteral("300"));
}

void FrmMainFrameTest::fitGivesEveryPictureTheFullCutSize()
{
    // 480 × 270 pieces of a 1200 × 800 and an 800 × 1200 photo: their fit rates are 40 and 60.
    Loaded l(1200, 800);
    const std::string portrait = l.dir.file("portrait.bmp");
    QVERIFY(writeBmpFile(test::photoLike(800, 1200), portrait));
    QCheckBox* fit = l.frm.chkFit;
    l.frm.edtSizeW->setText(QStringLiteral("480"));
    l.frm.edtSizeH->setText(QStringLiteral("270"));
    const auto piece = [&] {
        l.frm.btnSave->click();
        const Picture& cut = test::lastOutput(l.frm).cutResult();
        return QSize(cut.width(), cut.height());
    };
    const auto rate = [&] { return l.frm.edtPower->text().toInt(); };

    // Off, the rate carries over and the status line names the smaller piece it gives.
    l.frm.edtPower->setText(QStringLiteral("40"));
    l.frm.LoadPictureFile(QString::fromStdString(portrait));
    QCOMPARE(piece(), QSize(320, 270));
    QVERIFY2(l.frm.statusText().contains(QStringLiteral("（--cut 480x270@40:")), qPrintable(l.frm.statusText()));
    QVERIFY(l.frm.statusText().endsWith(QStringLiteral("、実サイズ 320 × 270）")));

    // On, at once and for every picture after: a step, a turn and a swapped cut size.
    fit->click();
    QCOMPARE(rate(), 60);
    QCOMPARE(piece(), QSize(480, 270));
    QVERIFY(l.frm.statusText().contains(QStringLiteral("@60:")) && !l.frm.statusText().contains(u'実'));
    l.drag({0, 14});
    const auto share = [&] {
        return double(l.frm.shpRange->geometry().center().y() - l.frm.imgSource->y()) / l.frm.imgSource->height();
    };
    const double before = share();
    test::control<QAction>(l.frm, "actPreviousPicture")->trigger();
    test::settleLoads(l.frm);
    QCOMPARE(l.frm.currentFilePath(), l.dir.file("picture.bmp"));
    QCOMPARE(rate(), 40);
    QCOMPARE(piece(), QSize(480, 270));
    QVERIFY2(std::abs(share() - before) < 0.02, qPrintable(QStringLiteral("%1 %2").arg(share()).arg(before)));
    l.frm.btnRotR->click();
    QCOMPARE(rate(), 60);
    QCOMPARE(piece(), QSize(480, 270));
    l.frm.btnSwap->click();
    QCOMPARE(rate(), 40);
    QCOMPARE(piece(), QSize(270, 480));

    // A rate set by hand, stepped, wheeled or typed, turns it off and stays.
    QTest::keyClick(l.frm.edtPower, Qt::Key_Up);
    QVERIFY(!fit->isChecked());
    QCOMPARE(rate(), 41);
    fit->click();
    QCOMPARE(rate(), 40);
    const QPointF at(10, 10);
    QWheelEvent wheel(at, l.frm.imgSource->mapToGlobal(at), {}, QPoint(0, 240), Qt::NoButton, Qt::ControlModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(l.frm.imgSource, &wheel);
    QVERIFY(!fit->isChecked());
    QCOMPARE(rate(), 42);
    fit->click();
    l.typeInto(l.frm.edtPower, QStringLiteral("55"));
    QVERIFY(!fit->isChecked());
    l.frm.btnRotL->click();
    QCOMPARE(rate(), 55);
}

QTEST_MAIN(FrmMainFrameTest)
#include "test_frm_main_frame.moc"
