#pragma once
// The main window's controls: the command band with its pages, the work area, the console,
// the status bar and the pop-up menus, with the names the behaviour is written in. The
// window inherits this privately and builds it once with setupUi; what each control does is
// the window's business.

#include <QCoreApplication>
#include <QPoint>
#include <QSize>
#include <memory>

#include "codecs/bitmap.h"
#include "document/stored_settings.h"
#include "document/work_values.h"
#include "forms/preview/output_options.h"
#include "imaging/cut_geometry.h"
#include "imaging/join.h"

class QAction;
class QImage;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMainWindow;
class QMenu;
class QProgressBar;
class QPushButton;
class QSlider;
class QStatusBar;
class QTabWidget;
class QTimer;
class QToolButton;
class QWidget;

namespace trimlet {

class ConsoleBinding;
class CutSetChoice;
class FitRate;
class LosslessPieces;
class FrameShape;
class PictureView;
class SaveFolderChoice;
class SetOutlines;
class SlotStrip;
class UpDown;

// The work area of a client area of that size: between the command band (100 pixels high)
// and the console (117 pixels high). The one place those heights are written.
IntRect workArea(const QSize& client);

struct MainControls {
    Q_DECLARE_TR_FUNCTIONS(MainControls)

public:
    MainControls();
    ~MainControls();

    // Builds every control into window, which gets a central widget, a status bar and the menus.
    void setupUi(QMainWindow* window);
    // Puts the band, the console and the work area's labels in place for the client's size.
    void layoutRegions(const QSize& client);

    // The commands that need a picture, and the picture with its frame in place of the notice.
    void setPictureControlsEnabled(bool enabled);
    // A load's first look over the display rect `at`, the frame hidden until the picture comes:
    // dropFirstLook() once it has, undoFirstLook() when the load failed, which brings back
    // what was shown before.
    void showFirstLook(const QImage& look, const IntRect& at);
    void dropFirstLook();
    void undoFirstLook();
    // A derived size in the console, in red while it differs from the size asked for in edit.
    static void showSizeLabel(QLabel* label, int value, const QLineEdit* edit);
    // Opens popEdit at a point of source, each item enabled as its command button.
    void popupEditMenu(QWidget* source, const QPoint& local);

    // A settings value into a spin control and its edit, as the control keeps it; a radio
    // choice by index, clamped to the group's items, -1 checking none.
    static void applySpin(UpDown* ud, QLineEdit* edit, int value);
    static void selectRadio(QButtonGroup* group, int index);
    // The console's and the concatenation page's share of the settings.
    StoredSettings consoleSettings() const;
    // Puts them into the controls, the sibling's share last (the background is the window's).
    void applyConsoleSettings(const StoredSettings& settings);
    // The serial-name examples and the quality slider follow the chosen format.
    void showOutputFormat();
    // Shows the free-rotation preview's place over the work area of a client of that size
    // and returns the picture reduced to it.
    Bitmap showRotationPreview(const Bitmap& picture, const QSize& client);
    // The rotation preview in place of the picture and its frame, or the picture back.
    void setRotationPreviewShown(bool visible);
    // Guide lines over the rotation preview; Qt::NoBrush for none.
    void showRotationGuides(Qt::BrushStyle hatch);
    // Stops the periodic resize check until the returned holder goes, on every way out.
    std::unique_ptr<QTimer, void (*)(QTimer*)> suspendResizeCheck();
    // The console's output choices: quality, format, serial tail and save folder.
    OutputOptions outputChoices() const;
    // The values the console's controls show.
    const CutSettings& cutSettings() const;
    // The cut the frame is sized by on a pw × ph picture: the console's, or a chosen span's.
    CutSettings framingCut(int pw, int ph) const;
    const OutputChoice& outputChoice() const;
    // The document's name over the work area.
    void showFileName(const QString& name);
    // The smallest rate the cut size allows; a typed rate below it, or none, becomes it.
    void applyMinimumRate(int minimum);
    // The colour swatch of the background button, its text readable on it.
    void showBackgroundColour(const QColor& colour);
    // 横 and 縦 exchanged, or set.
    void swapCutSize();
    void setCutSize(int width, int height);

    // The join groups' stored codes: 1 to 4 for the buttons in order, 2 also for none down;
    // pressing a code outside 1 to 4 changes nothing.
    int topBottomCode() const;
    int leftRightCode() const;
    void pressTopBottom(int code);
    void pressLeftRight(int code);
    // The join alignment the concatenation page's buttons choose.
    AlignH joinAlignH() const;
    AlignV joinAlignV() const;

    QWidget* pnlButton = nullptr;
    QTabWidget* pcEdit = nullptr;
    QWidget* tabFile = nullptr;
    QWidget* tabEdit = nullptr;
    QWidget* tabConcat = nullptr;
    QPushButton *btnOpen = nullptr, *btnPaste = nullptr, *btnReload = nullptr, *btnOpenDir = nullptr;
    QPushButton *btnCopy = nullptr, *btnAllCopy = nullptr, *btnSave = nullptr, *btnQuickSave = nullptr;
    QPushButton* btnPreview = nullptr;
    QPushButton *btnRotL = nullptr, *btnRotR = nullptr, *btnRot180 = nullptr, *btnRevH = nullptr;
    QPushButton *btnRevW = nullptr, *btnRotFree = nullptr, *btnCutAndLoad = nullptr, *btnBGColor = nullptr;
    QPushButton* pnlBGColor = nullptr;
    QToolButton *spdTop = nullptr, *spdTopBottom = nullptr, *spdBottom = nullptr, *spdTopBottomCut = nullptr;
    QToolButton *spdLeft = nullptr, *spdLeftRight = nullptr, *spdRight = nullptr, *spdLeftRightCut = nullptr;
    QLabel* lblConcat = nullptr;
    // The temporary slots' group and menu.
    std::unique_ptr<SlotStrip> tmpSave;

    PictureView* imgSource = nullptr;
    FrameShape* shpRange = nullptr;
    QLabel* lblNotice = nullptr;
    QLabel* lblFileNameF = nullptr;
    QLabel* lblFileNameB = nullptr;
    PictureView* imgRotPreview = nullptr;
    FrameShape* shpRotPreview = nullptr;

    QWidget* pnlConsole = nullptr;
    QLabel *lblCutSizeW = nullptr, *lblCutSizeH = nullptr, *lblSizeW = nullptr, *lblSizeH = nullptr;
    QLabel *lblSrcSizeW = nullptr, *lblSrcSizeH = nullptr;
    QLineEdit *edtPower = nullptr, *edtSizeW = nullptr, *edtSizeH = nullptr;
    UpDown *udPower = nullptr, *udSizeW = nullptr, *udSizeH = nullptr;
    QCheckBox* chkFit = nullptr;
    std::unique_ptr<FitRate> fit;  // what chkFit does to the rate
    QPushButton *btnSwap = nullptr, *btnSizeLoad = nullptr, *btnSizeSave = nullptr;
    CutSetChoice* cutSets = nullptr;     // btnCutSet, on the cut size's title line
    SetOutlines* setOutlines = nullptr;  // the set's other pieces over the picture
    QComboBox* cmbSize = nullptr;
    QSlider* tbarQual = nullptr;
    QLabel* lblQual = nullptr;
    // Live size and size limit.
    QLabel* lblLiveSize = nullptr;
    QLineEdit* edtMaxKb = nullptr;
    UpDown* udMaxKb = nullptr;
    std::unique_ptr<ConsoleBinding> console;
    QGroupBox* rdgpFormat = nullptr;
    QGroupBox* rdgpTail = nullptr;
    QButtonGroup* rdgpFormatItems = nullptr;
    QButtonGroup* rdgpTailItems = nullptr;
    QCheckBox* chkLossless = nullptr;  // 無劣化, beside JPEG
    LosslessPieces* lossless = nullptr;
    SaveFolderChoice* saveFolder = nullptr;
    QPushButton *btnAbout = nullptr, *btnExit = nullptr;

    QStatusBar* statusBar = nullptr;
    QLabel* statusLine = nullptr;
    QProgressBar* progressBar = nullptr;
    QTimer* tmrCheckResize = nullptr;

    QMenu* popEdit = nullptr;
    QAction *popitemRevH = nullptr, *popitemRevW = nullptr, *popitemRotR = nullptr, *popitemRotL = nullptr;
    QAction *popitemRot180 = nullptr, *popitemRotFree = nullptr, *popitemPaste = nullptr, *popitemReload = nullptr;
    QAction *popitemQuickSave = nullptr, *popitemPreview = nullptr, *popitemSave = nullptr;
    QMenu* popTpl = nullptr;
    QAction* popTplItems[20] = {};
    QAction* popTplScreen = nullptr;  // the size of the screen showing the window, for 呼出 only

private:
    void buildCommandBand(QWidget* client);
    void buildFilePage();
    void buildEditPage();
    void buildConcatPage();
    void buildWorkArea(QWidget* client);
    void buildConsole(QWidget* client);
    void buildMenus(QMainWindow* window);

    struct ShownBefore;
    std::unique_ptr<ShownBefore> beforeLook_;  // while a first look is shown
};

}  // namespace trimlet
