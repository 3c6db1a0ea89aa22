#pragma once
// The main window as the window tests use it: with a settings file of its own in a temporary
// folder, so that no test reads what another one saved.

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QStatusBar>
#include <QStringList>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <atomic>
#include <filesystem>
#include <string>

#include "forms/main/frm_main.h"
#include "forms/main/output_commands.h"
#include "forms/main/picture_loads.h"
#include "forms/main/slot_strip.h"
#include "forms/main/work_area_widgets.h"
#include "forms/preview/frm_preview.h"
#include "forms/widgets/up_down.h"
#include "tests/forms/fake_desktop.h"
#include "tests/support/test_support.h"

namespace trimlet::test {

inline const TempDir& settingsFolder()
{
    static const TempDir dir;
    return dir;
}

// Command-line arguments as the file system's bytes, from names given as text.
inline std::vector<std::string> localPaths(const QStringList& names)
{
    std::vector<std::string> paths;
    for (const QString& name : names)
        paths.push_back(QFile::encodeName(name).toStdString());
    return paths;
}

// Marks arguments given as bytes, as main() passes them.
struct ByteArgs {};

// The window's child of that type and object name; a missing one ends the test program, so
// every control the tests reach has its name.
template <class T>
T* control(const QObject& window, const char* name)
{
    T* found = window.findChild<T*>(QLatin1String(name));
    if (!found)
        qFatal("no control named %s", name);
    return found;
}

class TestMain : public TfrmMain {
public:
    explicit TestMain(const QStringList& args = {}, const std::string& settingsFile = {})
        : TestMain(ByteArgs{}, localPaths(args), settingsFile)
    {}
    TestMain(ByteArgs, std::vector<std::string> args, const std::string& settingsFile = {}) : TfrmMain(std::move(args))
    {
        static std::atomic<int> counter{0};
        std::string path = settingsFile;
        if (path.empty()) {
            path = settingsFolder().file("trimlet-" + std::to_string(++counter) + ".ini");
            std::filesystem::remove(path);
        }
        setSettingsPath(path);
        for (int i = 0; i < 3; ++i) {
            const QByteArray n = QByteArray::number(i + 1);
            pnlTmpSave[i] = control<SlotPanel>(*this, ("pnlTmpSave" + n).constData());
            btnTmpSave[i] = control<QToolButton>(*this, ("btnTmpSave" + n).constData());
            btnTmpCutSave[i] = control<QToolButton>(*this, ("btnTmpCutSave" + n).constData());
            btnTmpLoad[i] = control<QToolButton>(*this, ("btnTmpLoad" + n).constData());
        }
        for (int i = 0; i < 20; ++i)
            popTplItems[i] = control<QAction>(*this, ("item" + QByteArray::number(i + 1)).constData());
    }

    // The window's controls, found by their object names.
    QWidget* pnlButton = control<QWidget>(*this, "pnlButton");
    QTabWidget* pcEdit = control<QTabWidget>(*this, "pcEdit");
    QWidget* tabFile = control<QWidget>(*this, "tabFile");
    QWidget* tabEdit = control<QWidget>(*this, "tabEdit");
    QWidget* tabConcat = control<QWidget>(*this, "tabConcat");
    QPushButton* btnOpen = control<QPushButton>(*this, "btnOpen");
    QPushButton* btnPaste = control<QPushButton>(*this, "btnPaste");
    QPushButton* btnReload = control<QPushButton>(*this, "btnReload");
    QPushButton* btnOpenDir = control<QPushButton>(*this, "btnOpenDir");
    QPushButton* btnCopy = control<QPushButton>(*this, "btnCopy");
    QPushButton* btnAllCopy = control<QPushButton>(*this, "btnAllCopy");
    QPushButton* btnSave = control<QPushButton>(*this, "btnSave");
    QPushButton* btnQuickSave = control<QPushButton>(*this, "btnQuickSave");
    QPushButton* btnPreview = control<QPushButton>(*this, "btnPreview");
    QPushButton* btnRotL = control<QPushButton>(*this, "btnRotL");
    QPushButton* btnRotR = control<QPushButton>(*this, "btnRotR");
    QPushButton* btnRot180 = control<QPushButton>(*this, "btnRot180");
    QPushButton* btnRevH = control<QPushButton>(*this, "btnRevH");
    QPushButton* btnRevW = control<QPushButton>(*this, "btnRevW");
    QPushButton* btnRotFree = control<QPushButton>(*this, "btnRotFree");
    QPushButton* btnCutAndLoad = control<QPushButton>(*this, "btnCutAndLoad");
    QPushButton* btnBGColor = control<QPushButton>(*this, "btnBGColor");
    QPushButton* pnlBGColor = control<QPushButton>(*this, "pnlBGColor");
    QToolButton* spdTop = control<QToolButton>(*this, "spdTop");
    QToolButton* spdTopBottom = control<QToolButton>(*this, "spdTopBottom");
    QToolButton* spdBottom = control<QToolButton>(*this, "spdBottom");
    QToolButton* spdTopBottomCut = control<QToolButton>(*this, "spdTopBottomCut");
    QToolButton* spdLeft = control<QToolButton>(*this, "spdLeft");
    QToolButton* spdLeftRight = control<QToolButton>(*this, "spdLeftRight");
    QToolButton* spdRight = control<QToolButton>(*this, "spdRight");
    QToolButton* spdLeftRightCut = control<QToolButton>(*this, "spdLeftRightCut");
    QLabel* lblConcat = control<QLabel>(*this, "lblConcat");
    QGroupBox* gbxTmpSave = control<QGroupBox>(*this, "gbxTmpSave");
    PictureView* imgSource = control<PictureView>(*this, "imgSource");
    FrameShape* shpRange = control<FrameShape>(*this, "shpRange");
    QLabel* lblNotice = control<QLabel>(*this, "lblNotice");
    QLabel* lblFileNameF = control<QLabel>(*this, "lblFileNameF");
    QLabel* lblFileNameB = control<QLabel>(*this, "lblFileNameB");
    PictureView* imgRotPreview = control<PictureView>(*this, "imgRotPreview");
    FrameShape* shpRotPreview = control<FrameShape>(*this, "shpRotPreview");
    QWidget* pnlConsole = control<QWidget>(*this, "pnlConsole");
    QLabel* lblCutSizeW = control<QLabel>(*this, "lblCutSizeW");
    QLabel* lblCutSizeH = control<QLabel>(*this, "lblCutSizeH");
    QLabel* lblSizeW = control<QLabel>(*this, "lblSizeW");
    QLabel* lblSizeH = control<QLabel>(*this, "lblSizeH");
    QLabel* lblSrcSizeW = control<QLabel>(*this, "lblSrcSizeW");
    QLabel* lblSrcSizeH = control<QLabel>(*this, "lblSrcSizeH");
    QLineEdit* edtPower = control<QLineEdit>(*this, "edtPower");
    QLineEdit* edtSizeW = control<QLineEdit>(*this, "edtSizeW");
    QLineEdit* edtSizeH = control<QLineEdit>(*this, "edtSizeH");
    UpDown* udPower = control<UpDown>(*this, "udPower");
    UpDown* udSizeW = control<UpDown>(*this, "udSizeW");
    UpDown* udSizeH = control<UpDown>(*this, "udSizeH");
    QCheckBox* chkFit = control<QCheckBox>(*this, "chkFit");
    QPushButton* btnSwap = control<QPushButton>(*this, "btnSwap");
    QPushButton* btnSizeLoad = control<QPushButton>(*this, "btnSizeLoad");
    QPushButton* btnSizeSave = control<QPushButton>(*this, "btnSizeSave");
    QComboBox* cmbSize = control<QComboBox>(*this, "cmbSize");
    QSlider* tbarQual = control<QSlider>(*this, "tbarQual");
    QLabel* lblQual = control<QLabel>(*this, "lblQual");
    QGroupBox* rdgpFormat = control<QGroupBox>(*this, "rdgpFormat");
    QGroupBox* rdgpTail = control<QGroupBox>(*this, "rdgpTail");
    QButtonGroup* rdgpFormatItems = control<QButtonGroup>(*this, "rdgpFormatItems");
    QButtonGroup* rdgpTailItems = control<QButtonGroup>(*this, "rdgpTailItems");
    QPushButton* btnAbout = control<QPushButton>(*this, "btnAbout");
    QPushButton* btnExit = control<QPushButton>(*this, "btnExit");
    QStatusBar* statusBar = control<QStatusBar>(*this, "statusBar");
    QProgressBar* progressBar = control<QProgressBar>(*this, "progressBar");
    QTimer* tmrCheckResize = control<QTimer>(*this, "tmrCheckResize");
    QMenu* popEdit = control<QMenu>(*this, "popEdit");
    QAction* popitemRevH = control<QAction>(*this, "popitemRevH");
    QAction* popitemRevW = control<QAction>(*this, "popitemRevW");
    QAction* popitemRotR = control<QAction>(*this, "popitemRotR");
    QAction* popitemRotL = control<QAction>(*this, "popitemRotL");
    QAction* popitemRot180 = control<QAction>(*this, "popitemRot180");
    QAction* popitemRotFree = control<QAction>(*this, "popitemRotFree");
    QAction* popitemPaste = control<QAction>(*this, "popitemPaste");
    QAction* popitemReload = control<QAction>(*this, "popitemReload");
    QAction* popitemQuickSave = control<QAction>(*this, "popitemQuickSave");
    QAction* popitemPreview = control<QAction>(*this, "popitemPreview");
    QAction* popitemSave = control<QAction>(*this, "popitemSave");
    QMenu* popTpl = control<QMenu>(*this, "popTpl");
    QMenu* popTmpSave = control<QMenu>(*this, "popTmpSave");
    QAction* popItemTmpSave = control<QAction>(*this, "popItemTmpSave");
    QAction* popItemTmpCutSave = control<QAction>(*this, "popItemTmpCutSave");
    QAction* popItemTmpLoad = control<QAction>(*this, "popItemTmpLoad");
    SlotPanel* pnlTmpSave[3] = {};
    QToolButton* btnTmpSave[3] = {};
    QToolButton* btnTmpCutSave[3] = {};
    QToolButton* btnTmpLoad[3] = {};
    QAction* popTplItems[20] = {};
};

// Shows the window and lets its first showing finish, which loads the command-line picture
// once the window has been painted. False when it never finishes.
inline void settleLoads(TfrmMain& frm);
inline bool showStarted(TfrmMain& frm)
{
    frm.show();
    if (!QTest::qWaitFor([&frm] { return frm.started(); }))
        return false;
    settleLoads(frm);
    return true;
}

// The output the main window's last direct save, copy or cut carried out with no window.
inline const OutputCommands& outputCommands(const TfrmMain& frm) { return *frm.findChild<OutputCommands*>(); }
inline const OutputRun& lastOutput(const TfrmMain& frm) { return outputCommands(frm).lastRun(); }
// Waits for a load started by a key, a button or a drop, as the window's own input would.
inline void settleLoads(TfrmMain& frm) { frm.findChild<PictureLoads*>()->settle(); }

// The main window wired to its preview as the program wires them, with a fake desktop and the
// preview's temporary JPEG in a folder of its own. Shown once the derived fixture is built.
struct MainWithPreview {
    FakeDesktop fake;
    TempDir tempDir;
    TestMain frm;
    TfrmPreview preview;

    MainWithPreview()
    {
        frm.setPreviewWindow(&preview);
        preview.setTempJpeg(tempDir.file("trimlet.jpg"));
    }
};

}  // namespace trimlet::test
