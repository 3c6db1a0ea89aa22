// The windows when memory runs out: every command that needs a copy of the whole picture runs
// under an address-space ceiling a little above what the process holds, and must report the
// failure with the drawing-error box and the status line, keep the picture, the slots and the
// document, write nothing, and leave the window working.

#include <QtTest>

#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <filesystem>
#include <fstream>
#include <sys/resource.h>

#include "codecs/picture_file.h"
#include "forms/preview/frm_preview.h"
#include "forms/rotation/frm_rot_free.h"
#include "forms/widgets/guarded.h"
#include "forms/widgets/up_down.h"
#include "settings/profile_file.h"
#include "tests/forms/fake_desktop.h"
#include "tests/forms/test_main_window.h"

using namespace trimlet;

namespace {

constexpr int kWidth = 6000, kHeight = 4000;  // 72 MB as a working bitmap
constexpr std::uint64_t kHeadroom = 24u << 20;

std::uint64_t mappedBytes()
{
    std::ifstream status("/proc/self/status");
    std::string key;
    std::uint64_t kib = 0;
    while (status >> key)
        if (key == "VmSize:" && status >> kib)
            return kib * 1024;
    qFatal("no VmSize");
}

// Lowers the soft address-space limit to what is mapped now plus headroom, for its lifetime.
class MemoryCeiling {
public:
    explicit MemoryCeiling(std::uint64_t headroom = kHeadroom)
    {
        getrlimit(RLIMIT_AS, &saved_);
        rlimit lowered = saved_;
        lowered.rlim_cur = mappedBytes() + headroom;
        if (setrlimit(RLIMIT_AS, &lowered) != 0)
            qFatal("cannot lower RLIMIT_AS");
    }
    ~MemoryCeiling() { setrlimit(RLIMIT_AS, &saved_); }
    MemoryCeiling(const MemoryCeiling&) = delete;
    MemoryCeiling& operator=(const MemoryCeiling&) = delete;

private:
    rlimit saved_{};
};

std::string writeFlat(const test::TempDir& dir, const std::string& name, int w, int h)
{
    Bitmap b(w, h, Bitmap::Init::Uninitialized);
    b.fill(40, 80, 120);
    const std::string path = dir.file(name);
    if (!writeBmpFile(b, path))
        qFatal("cannot write %s", path.c_str());
    return path;
}

// The main window with its preview and rotation windows, a large picture loaded from a file
// and slot 1 holding it.
struct Rig : test::MainWithPreview {
    test::TempDir dir;
    TfrmRotFree rotFree;
    std::string picturePath;
    const std::uint8_t* pixels = nullptr;

    Rig()
    {
        frm.setRotFreeWindow(&rotFree);
        picturePath = writeFlat(dir, "large.bmp", kWidth, kHeight);
        if (!test::showStarted(frm))
            qFatal("the first showing did not finish");
        frm.LoadPictureFile(picturePath);
        frm.btnTmpSave[0]->click();
        pixels = frm.editingPicture().bitmap().data();
        fake.messages.clear();
    }

    // The failure was reported as the drawing error, and nothing of the document changed.
    void verifyReportedAndKept(const char* what)
    {
        QVERIFY2(!fake.messages.empty(), what);
        QCOMPARE(fake.messages.back().kind, MessageKind::Error);
        QCOMPARE(fake.messages.back().text, outOfMemoryText());
        QCOMPARE(frm.statusText(), QString(outOfMemoryText()).replace(QLatin1Char('\n'), QLatin1Char(' ')));
        QVERIFY2(frm.editingPicture().bitmap().data() == pixels, what);
        QCOMPARE(frm.editingPicture().width(), kWidth);
        QCOMPARE(frm.lblSrcSizeW->text(), QString::number(kWidth));
        QVERIFY(frm.slotStrip().picture(1).bitmap().data() == pixels);
        QVERIFY(frm.slotStrip().picture(2).isEmpty());
        QCOMPARE(frm.currentFilePath(), picturePath);
        QVERIFY(frm.btnReload->isEnabled());
        QVERIFY(frm.progressBar->isHidden());
        QVERIFY(frm.tmrCheckResize->isActive());
        QCOMPARE(test::entryNames(dir.path()), std::vector<std::string>{"large.bmp"});
        fake.messages.clear();
    }
};

}  // namespace

class FrmMainMemoryTest : public QObject {
    Q_OBJECT
private slots:
    void wholePictureCommandsFailAndKeepEverything();
    void framedCommandsStillWork();
    void joinTooLargeForMemory();
    void rotationFailsAndTheWindowStaysUsable();
    void loadAndPasteTooLargeForMemory();
    void aCopyThatThrowsEndsItsRun();
    void closingUnderTheCeilingWritesTheSettings();
};

void FrmMainMemoryTest::wholePictureCommandsFailAndKeepEverything()
{
    Rig r;
    const std::pair<const char*, QAbstractButton*> commands[] = {{"このまま保存", r.frm.btnQuickSave},
                                                                 {"このままコピー", r.frm.btnAllCopy},
                                                                 {"右回転", r.frm.btnRotR},
                                                                 {"左回転", r.frm.btnRotL},
                                                                 {"180°回転", r.frm.btnRot180},
                                                                 {"上下反転", r.frm.btnRevH},
                                                                 {"左右反転", r.frm.btnRevW}};
    for (const auto& [what, button] : commands) {
        {
            MemoryCeiling ceiling;
            button->click();
        }
        r.verifyReportedAndKept(what);
    }
    // The same through the editing menu.
    {
        MemoryCeiling ceiling;
        r.frm.popitemQuickSave->trigger();
    }
    r.verifyReportedAndKept("popitemQuickSave");
    QVERIFY(r.fake.clipboard.isNull());

    // With the memory back, the same commands work.
    r.frm.btnRotR->click();
    QCOMPARE(r.frm.editingPicture().width(), kHeight);
    QCOMPARE(r.frm.statusText(), QStringLiteral("右90°回転"));
}

void FrmMainMemoryTest::framedCommandsStillWork()
{
    Rig r;
    MemoryCeiling ceiling;
    r.frm.btnSave->click();  // a 640 × 640 cut at most
    const std::string saved = r.dir.file("large(1).jpg");
    QVERIFY(test::fileExists(saved));
    QCOMPARE(r.frm.statusText().left(int(saved.size())), QString::fromStdString(saved));
    r.frm.btnTmpCutSave[1]->click();
    QVERIFY(!r.frm.slotStrip().picture(2).isEmpty());
    r.frm.btnTmpSave[2]->click();  // a slot shares the picture, it does not copy it
    QVERIFY(r.frm.slotStrip().picture(3).bitmap().data() == r.pixels);
    // Nor does bringing one back, now that the work area shows only a reduced copy.
    r.frm.slotStrip().popupTarget = 1;
    r.frm.popItemTmpLoad->trigger();
    QVERIFY(r.frm.editingPicture().bitmap().data() == r.pixels);
    QVERIFY(r.fake.messages.empty());
}

void FrmMainMemoryTest::joinTooLargeForMemory()
{
    Rig r;
    // Joins are centred, not trimmed, by default: whichever side the pointer picks, the joined
    // picture is larger than the editing one.
    QVERIFY(r.frm.spdTopBottom->isChecked() && r.frm.spdLeftRight->isChecked());
    const std::string strip = writeFlat(r.dir, "strip.bmp", 200, 200);
    r.frm.pcEdit->setCurrentWidget(r.frm.tabConcat);
    {
        MemoryCeiling ceiling;
        r.frm.dropFiles({strip}, QPoint(r.frm.width() / 2, 101));
        test::settleLoads(r.frm);
    }
    std::filesystem::remove(strip);
    r.verifyReportedAndKept("join");
    r.frm.pcEdit->setCurrentWidget(r.frm.tabFile);
}

void FrmMainMemoryTest::rotationFailsAndTheWindowStaysUsable()
{
    Rig r;
    r.rotFree.setPicture(r.frm.editingPicture());
    r.rotFree.setPreviewBase(Bitmap(60, 40));
    r.rotFree.udDegree->setPosition(30);
    {
        MemoryCeiling ceiling;
        r.rotFree.btnOK->click();
    }
    r.verifyReportedAndKept("rotation");
    for (QWidget* w : std::initializer_list<QWidget*>{r.rotFree.btnOK, r.rotFree.btnCancel, r.rotFree.edtDegree})
        QVERIFY(w->isEnabled());
    QVERIFY(r.rotFree.btnStop->isHidden());
    QCOMPARE(r.rotFree.progressBar->value(), 0);
}

void FrmMainMemoryTest::loadAndPasteTooLargeForMemory()
{
    Rig r;
    const std::string other = writeFlat(r.dir, "other.bmp", kWidth, kHeight);
    r.fake.fileAnswers = {QString::fromStdString(other)};
    {
        MemoryCeiling ceiling;
        r.frm.btnOpen->click();
        test::settleLoads(r.frm);
    }
    std::filesystem::remove(other);
    // Refused with the load's own warning or with the drawing error: either way a box, and
    // the document as it was.
    QVERIFY(!r.fake.messages.empty());
    QCOMPARE(r.frm.currentFilePath(), r.picturePath);
    QVERIFY(r.frm.editingPicture().bitmap().data() == r.pixels);
    r.fake.messages.clear();

    r.fake.clipboard = QImage(kWidth, kHeight, QImage::Format_RGB32);
    r.fake.clipboard.fill(Qt::red);
    {
        MemoryCeiling ceiling;
        r.frm.btnPaste->click();
    }
    QVERIFY(!r.fake.messages.empty());
    QCOMPARE(r.frm.currentFilePath(), r.picturePath);
    QCOMPARE(r.frm.lblFileNameF->text(), QStringLiteral("large.bmp"));
    QVERIFY(r.frm.btnReload->isEnabled());
    QVERIFY(r.frm.editingPicture().bitmap().data() == r.pixels);
}

void FrmMainMemoryTest::aCopyThatThrowsEndsItsRun()
{
    Rig r;
    r.fake.clipboardThrows = true;
    r.frm.btnCopy->click();
    r.verifyReportedAndKept("枠内コピー");
    // Nothing of the broken run is left to save or copy.
    QVERIFY(!test::lastOutput(r.frm).built());
    // The next command builds afresh.
    r.fake.clipboardThrows = false;
    r.frm.btnCopy->click();
    QVERIFY(!r.fake.clipboard.isNull());
}

void FrmMainMemoryTest::closingUnderTheCeilingWritesTheSettings()
{
    Rig r;
    r.frm.edtSizeW->setText(QStringLiteral("333"));
    {
        MemoryCeiling ceiling;
        r.frm.btnQuickSave->click();
        r.frm.close();
    }
    QCOMPARE(ProfileFile(r.frm.settingsPath()).readInt("size", "width", 0), 333);
}

QTEST_MAIN(FrmMainMemoryTest)
#include "test_frm_main_memory.moc"
