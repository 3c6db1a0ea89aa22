#include <QtTest>

#include <QButtonGroup>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSlider>
#include <QToolButton>
#include <cstdio>
#include <sys/stat.h>

#include "forms/main/stored_settings.h"
#include "forms/preview/frm_preview.h"
#include "forms/widgets/up_down.h"
#include "settings/cut_size_presets.h"
#include "settings/profile_file.h"
#include "tests/forms/fake_desktop.h"
#include "tests/forms/test_main_window.h"

using namespace trimlet;

namespace {

void writeText(const std::string& path, const std::string& text) { test::writeBytes(path, {text.begin(), text.end()}); }

std::string readText(const std::string& path)
{
    const auto bytes = test::readBytes(path);
    return {bytes.begin(), bytes.end()};
}

}  // namespace

class FrmMainSettingsTest : public QObject {
    Q_OBJECT
private slots:
    void firstStartUsesTheDefaults();
    void siblingFileSharesQualityAndCutSize();
    void siblingThatIsNoFileIsIgnored();
    void storedValuesAreClampedAndRepaired();
    void everyKeyRoundTrips();
    void pngAndWebpFormatsPersist();
    void unwritableSettingsWarnOnceAndClose();
    void presetsRecallAndRemember();
    void presetNamesFromElsewhereInShiftJis();
    void presetMenuWorksFromTheKeyboard();
};

void FrmMainSettingsTest::firstStartUsesTheDefaults()
{
    test::FakeDesktop fake;
    test::TestMain frm;
    TfrmPreview preview;
    frm.setPreviewWindow(&preview);
    frm.show();
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    QCOMPARE(frm.size(), QSize(800, 480));
    QCOMPARE(frm.pos(), QPoint((screen.width() - 800) / 2, (screen.height() - 480) / 2));
    QCOMPARE(preview.size(), QSize(560, 360));
    QCOMPARE(frm.edtPower->text(), QStringLiteral("100"));
    QVERIFY(!frm.chkFit->isChecked());
    QCOMPARE(frm.tbarQual->value(), 90);
    QCOMPARE(frm.lblQual->text(), QStringLiteral("90"));
    QCOMPARE(frm.edtSizeW->text(), QStringLiteral("640"));
    QCOMPARE(frm.edtSizeH->text(), QStringLiteral("640"));
    QCOMPARE(frm.rdgpFormatItems->checkedId(), 0);
    QCOMPARE(frm.rdgpTailItems->checkedId(), 0);
    QCOMPARE(frm.rdgpTailItems->button(0)->text(), QStringLiteral("filename(1).jpg"));
    QCOMPARE(frm.backgroundColour(), QColor(Qt::white));
    QVERIFY(frm.spdTopBottom->isChecked() && !frm.spdTopBottomCut->isChecked());
    QVERIFY(frm.spdLeftRight->isChecked() && !frm.spdLeftRightCut->isChecked());
}

void FrmMainSettingsTest::siblingFileSharesQualityAndCutSize()
{
    test::FakeDesktop fake;
    test::TempDir dir;
    const std::string own = dir.file("trimlet.ini");
    const std::string sibling = dir.file("postlet.ini");
    writeText(sibling, "[other]\r\nkeep=1\r\n");
    {
        test::TestMain frm({}, own);
        frm.show();
        QCOMPARE(frm.edtSizeW->text(), QStringLiteral("320"));
        QCOMPARE(frm.edtSizeH->text(), QStringLiteral("240"));
        QCOMPARE(frm.tbarQual->value(), 90);
        frm.tbarQual->setValue(77);
        frm.edtSizeW->setText(QStringLiteral("1000"));
        frm.close();
    }
    const ProfileFile s(sibling), o(own);
    QCOMPARE(s.readInt("jpeg", "quality", 0), 77);
    QCOMPARE(s.readInt("size", "width", 0), 1000);
    QCOMPARE(s.readInt("size", "height", 0), 240);
    QCOMPARE(s.readInt("other", "keep", 0), 1);
    for (const char* key : {"main_w", "main_h", "main_x", "main_y", "prev_w", "prev_h"})
        QVERIFY2(o.readString("winPosition", key, "-") != "-", key);
    QCOMPARE(o.readInt("size", "power", 0), 100);
    QCOMPARE(o.readInt("concat", "bgcolor", 0), 0xFFFFFF);
    QCOMPARE(o.readInt("concat", "topbottom", 0), 2);
}

void FrmMainSettingsTest::siblingThatIsNoFileIsIgnored()
{
    // A FIFO or a folder of the sibling's name reads as nothing: its defaults must not replace
    // the user's cut size, and closing must neither wait on it nor fail over it.
    test::FakeDesktop fake;
    test::TempDir dir;
    const std::string own = dir.file("trimlet.ini");
    writeText(own, "[size]\r\nwidth=800\r\nheight=600\r\n[jpeg]\r\nquality=55\r\n");
    for (const bool fifo : {true, false}) {
        const std::string sibling = dir.file("postlet.ini");
        QVERIFY(fifo ? ::mkfifo(sibling.c_str(), 0600) == 0 : ::mkdir(sibling.c_str(), 0700) == 0);
        {
            test::TestMain frm({}, own);
            frm.show();
            QCOMPARE(frm.edtSizeW->text(), QStringLiteral("800"));
            QCOMPARE(frm.edtSizeH->text(), QStringLiteral("600"));
            QCOMPARE(frm.tbarQual->value(), 55);
            frm.close();
        }
        QVERIFY(fake.messages.empty());
        QVERIFY(::remove(sibling.c_str()) == 0);
    }
}

void FrmMainSettingsTest::storedValuesAreClampedAndRepaired()
{
    test::FakeDesktop fake;
    test::TempDir dir;
    const std::string own = dir.file("trimlet.ini");
    writeText(own,
              "[winPosition]\nmain_x=-5000\nmain_y=99999\n[size]\npower=3\nwidth=70000\n[jpeg]\nquality=0x32\n"
              "[concat]\ntopbottom=7\nleftright=3\nbgcolor=blue\n[output]\nformat=5\ntail=1\n");
    test::TestMain frm({}, own);
    frm.show();
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    QCOMPARE(frm.x(), 96 - 800);
    QCOMPARE(frm.y(), screen.height() - 96);
    QCOMPARE(frm.edtPower->text(), QStringLiteral("5"));
    QCOMPARE(frm.tbarQual->value(), 50);
    QCOMPARE(frm.edtSizeW->text(), QString::number(std::clamp(int(std::int16_t(70000)), 24, 4096)));
    QVERIFY(frm.spdTopBottomCut->isChecked());  // 7 maps to nothing
    QVERIFY(frm.spdRight->isChecked() && !frm.spdLeftRightCut->isChecked());
    QCOMPARE(frm.backgroundColour(), QColor(Qt::white));
    // Past the last format item: the last one, JPEG XL.
    QCOMPARE(frm.rdgpFormatItems->checkedId(), 4);
    QVERIFY(frm.tbarQual->isEnabled());
    QCOMPARE(frm.rdgpTailItems->checkedId(), 1);
    QCOMPARE(frm.rdgpTailItems->button(1)->text(), QStringLiteral("filename-1.jxl"));

    writeText(own, "[size]\npower=250\n[output]\nformat=-9\n[concat]\nbgcolor=0x0000FF\n");
    test::TestMain second({}, own);
    second.show();
    QCOMPARE(second.edtPower->text(), QStringLiteral("100"));
    QCOMPARE(second.rdgpFormatItems->checkedId(), -1);
    QCOMPARE(second.backgroundColour(), QColor(255, 0, 0));  // red in the lowest byte
}

void FrmMainSettingsTest::everyKeyRoundTrips()
{
    test::FakeDesktop fake;
    test::TempDir dir;
    const std::string own = dir.file("trimlet.ini");
    writeText(own, "; kept\r\n[output]\r\npath=/pictures/cat(1).jpg\r\n[unknown]\r\nx=y\r\n");
    {
        test::TestMain frm({}, own);
        TfrmPreview preview;
        frm.setPreviewWindow(&preview);
        frm.show();
        frm.resize(900, 600);
        frm.move(40, 30);
        preview.resize(700, 500);
        frm.edtPower->setText(QStringLiteral("100"));
        frm.chkFit->click();
        frm.tbarQual->setValue(33);
        frm.edtSizeW->setText(QStringLiteral("1234"));
        frm.edtSizeH->setText(QStringLiteral("567"));
        frm.rdgpFormatItems->button(1)->click();
        frm.rdgpTailItems->button(1)->click();
        frm.spdBottom->setEnabled(true);
        frm.spdBottom->click();
        frm.spdLeftRight->setEnabled(true);
        frm.spdLeftRight->click();  // raised: none down stores 2
        QVERIFY(!frm.spdLeft->isChecked() && !frm.spdLeftRight->isChecked() && !frm.spdRight->isChecked() &&
                !frm.spdLeftRightCut->isChecked());
        frm.setBackgroundColour(QColor(1, 2, 3));
        QVERIFY(frm.SaveSettings());
    }
    const std::string first = readText(own);
    QVERIFY(first.find("; kept\r\n") == 0);
    QVERIFY(first.find("path=/pictures/cat(1).jpg\r\n") != std::string::npos);
    QVERIFY(first.find("[unknown]\r\nx=y\r\n") != std::string::npos);
    {
        test::TestMain frm({}, own);
        TfrmPreview preview;
        frm.setPreviewWindow(&preview);
        frm.show();
        QCOMPARE(frm.size(), QSize(900, 600));
        QCOMPARE(preview.size(), QSize(700, 500));
        QCOMPARE(frm.tbarQual->value(), 33);
        QVERIFY(frm.chkFit->isChecked());
        QCOMPARE(frm.edtSizeW->text(), QStringLiteral("1234"));
        QCOMPARE(frm.edtSizeH->text(), QStringLiteral("567"));
        QCOMPARE(frm.rdgpFormatItems->checkedId(), 1);
        QCOMPARE(frm.rdgpTailItems->checkedId(), 1);
        QVERIFY(frm.spdBottom->isChecked());
        QVERIFY(frm.spdLeftRight->isChecked());
        QCOMPARE(frm.backgroundColour(), QColor(1, 2, 3));
        QVERIFY(frm.SaveSettings());
    }
    QCOMPARE(readText(own), first);
}

void FrmMainSettingsTest::pngAndWebpFormatsPersist()
{
    test::FakeDesktop fake;
    test::TempDir dir;
    const std::string own = dir.file("trimlet.ini");
    const struct {
        int item;
        QString tail;
        bool quality;
    } cases[] = {{2, QStringLiteral("filename(1).png"), false}, {3, QStringLiteral("filename(1).webp"), true}};
    for (const auto& c : cases) {
        {
            test::TestMain frm({}, own);
            frm.show();
            frm.rdgpFormatItems->button(c.item)->click();
            QCOMPARE(frm.rdgpTailItems->button(0)->text(), c.tail);
            QCOMPARE(frm.tbarQual->isEnabled(), c.quality);
            QVERIFY(frm.SaveSettings());
        }
        QCOMPARE(readStoredSettings(own).format, c.item);
        test::TestMain frm({}, own);
        frm.show();
        QCOMPARE(frm.rdgpFormatItems->checkedId(), c.item);
        QCOMPARE(frm.rdgpTailItems->button(0)->text(), c.tail);
        QCOMPARE(frm.tbarQual->isEnabled(), c.quality);
        QCOMPARE(int(test::outputCommands(frm).options().format), c.item);
    }
    QVERIFY(fake.messages.empty());
}

void FrmMainSettingsTest::unwritableSettingsWarnOnceAndClose()
{
    test::FakeDesktop fake;
    test::TempDir dir;
    writeText(dir.file("blocker"), "a file where a folder should be");
    test::TestMain frm({}, dir.file("blocker/trimlet.ini"));
    frm.show();
    frm.btnExit->click();
    QCOMPARE(fake.messages.size(), size_t(1));
    QCOMPARE(fake.messages[0].kind, MessageKind::Warning);
    QCOMPARE(fake.messages[0].text, QStringLiteral("設定の保存ができませんでした。"));
    QVERIFY(!frm.isVisible());
}

void FrmMainSettingsTest::presetsRecallAndRemember()
{
    test::FakeDesktop fake;
    test::TempDir dir;
    const std::string own = dir.file("trimlet.ini");
    test::TestMain frm({}, own);
    frm.show();
    frm.btnSizeLoad->click();
    QCOMPARE(frm.popTplItems[0]->text(), QStringLiteral("横VGA(640×480)"));
    QCOMPARE(frm.popTplItems[19]->text(), QStringLiteral("MSX2(256×212)"));
    frm.popTplItems[19]->trigger();
    QCOMPARE(frm.edtSizeW->text(), QStringLiteral("256"));
    QCOMPARE(frm.edtSizeH->text(), QStringLiteral("212"));

    frm.edtSizeW->setText(QStringLiteral("300"));
    frm.edtSizeH->setText(QStringLiteral("200"));
    fake.textAnswers = {QStringLiteral("test")};
    frm.btnSizeSave->click();
    frm.popTplItems[0]->trigger();
    const ProfileFile file(own);
    QCOMPARE(file.readString("size", "caption0", ""), std::string("test"));
    QCOMPARE(file.readInt("size", "width0", 0), 300);
    QCOMPARE(file.readInt("size", "height0", 0), 200);

    frm.btnSizeLoad->click();
    QCOMPARE(frm.popTplItems[0]->text(), QStringLiteral("test(300×200)"));
    frm.edtSizeW->setText(QStringLiteral("999"));
    frm.popTplItems[0]->trigger();
    QCOMPARE(frm.edtSizeW->text(), QStringLiteral("300"));

    // The input dialog's title names the slot; a Japanese name is stored as Shift_JIS.
    fake.textAnswers = {QStringLiteral("壁紙")};
    frm.btnSizeSave->click();
    frm.popTplItems[5]->trigger();
    QCOMPARE(file.readString("size", "caption5", ""), utf8ToShiftJis("壁紙"));
    fake.textAnswers = {QString()};  // an empty name gives the slot back to its built-in size
    frm.btnSizeSave->click();
    frm.popTplItems[0]->trigger();
    frm.btnSizeLoad->click();
    QCOMPARE(frm.popTplItems[0]->text(), QStringLiteral("横VGA(640×480)"));
    QCOMPARE(frm.popTplItems[5]->text(), QStringLiteral("壁紙(300×200)"));

    fake.textAnswers = {};  // cancelled: nothing written
    frm.btnSizeSave->click();
    frm.popTplItems[1]->trigger();
    QCOMPARE(file.readString("size", "caption1", "-"), std::string("-"));
}

void FrmMainSettingsTest::presetMenuWorksFromTheKeyboard()
{
    test::FakeDesktop fake;
    test::TempDir dir;
    test::TestMain frm({}, dir.file("trimlet.ini"));
    frm.show();
    frm.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&frm));
    // Keys go where the window system sends them: to the open menu's focused item.
    const auto press = [&](Qt::Key key) {
        QVERIFY(frm.popTpl->isVisible());
        QTest::keyClick(frm.popTpl->windowHandle(), key);
    };
    frm.btnSizeLoad->click();
    press(Qt::Key_Down);
    press(Qt::Key_Down);
    press(Qt::Key_Return);  // the third item, 横SVGA
    QVERIFY(!frm.popTpl->isVisible());
    QCOMPARE(frm.edtSizeW->text(), QStringLiteral("800"));
    QCOMPARE(frm.edtSizeH->text(), QStringLiteral("600"));

    // Right goes to the second column, Up from its top to the end of the first, End to the last.
    frm.btnSizeLoad->click();
    press(Qt::Key_Right);
    press(Qt::Key_Enter);  // 縦VGA
    QCOMPARE(frm.edtSizeW->text(), QStringLiteral("480"));
    QCOMPARE(frm.edtSizeH->text(), QStringLiteral("640"));
    frm.btnSizeLoad->click();
    press(Qt::Key_Right);
    press(Qt::Key_Up);
    press(Qt::Key_Space);  // 横FHD
    QCOMPARE(frm.edtSizeW->text(), QStringLiteral("1920"));
    frm.btnSizeLoad->click();
    press(Qt::Key_End);
    press(Qt::Key_Return);  // MSX2
    QCOMPARE(frm.edtSizeH->text(), QStringLiteral("212"));

    // Esc closes the menu and changes nothing.
    frm.btnSizeLoad->click();
    press(Qt::Key_Down);
    press(Qt::Key_Escape);
    QVERIFY(!frm.popTpl->isVisible());
    QCOMPARE(frm.edtSizeW->text(), QStringLiteral("256"));
}

void FrmMainSettingsTest::presetNamesFromElsewhereInShiftJis()
{
    test::FakeDesktop fake;
    test::TempDir dir;
    const std::string own = dir.file("trimlet.ini");
    // "縦長" in Shift_JIS, as the sibling Windows program writes it.
    writeText(own, "[size]\r\ncaption3=\x8f\x63\x92\xb7\r\nwidth3=720\r\nheight3=1280\r\n");
    test::TestMain frm({}, own);
    frm.show();
    frm.btnSizeLoad->click();
    QCOMPARE(frm.popTplItems[3]->text(), QStringLiteral("縦長(720×1280)"));
}

QTEST_MAIN(FrmMainSettingsTest)
#include "test_frm_main_settings.moc"
