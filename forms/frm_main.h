#pragma once
// The main window: command band, work area, console and status bar. Handlers are named after
// their control and event; the computations they need live in codecs/ and imaging/.

#include <QColor>
#include <QMainWindow>
#include <QPoint>
#include <memory>
#include <string>
#include <vector>

#include "codecs/picture.h"
#include "base/result.h"
#include "forms/frm_preview.h"
#include "forms/guarded.h"
#include "imaging/cut_geometry.h"

class QButtonGroup;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QAction;
class QProgressBar;
class QPushButton;
class QSlider;
class QStatusBar;
class QTabWidget;
class QTimer;
class QToolButton;
class QRadioButton;

namespace trimlet {

class FrameShape;
class PictureView;
class PlacementTracker;
class TfrmPreview;
class TfrmRotFree;
class SlotPanel;
class UpDown;

// Report kinds of ShowStatus: a message box of that kind, or the status line only.
enum StatusKind { skWarning = 0, skError = 1, skInformation = 2, skConfirmation = 3, statusOnly = 4 };

class TfrmMain : public QMainWindow {
    Q_OBJECT
public:
    // args: the program's command-line arguments after its name, as the file system's bytes;
    // the first one is loaded at the first showing.
    explicit TfrmMain(std::vector<std::string> args = {}, QWidget* parent = nullptr);
    ~TfrmMain() override;

    // The editing document.
    const Picture& editingPicture() const { return editing_; }
    // The document's path as the file system's bytes, and as shown (for labels and messages).
    const std::string& currentFilePath() const { return currentFileName_; }
    QString currentFileName() const;
    bool largePictureAnswer() const { return largePictureAnswer_; }
    QString statusText() const;

    void LoadPictureFile(const std::string& path);
    // A name that is text already (typed, or from a dialog, which only ever gives UTF-8).
    void LoadPictureFile(const QString& path);
    void ShowStatus(const QString& text, int kind);
    void SetCurrentFile(const std::string& path);
    void SetEditingEnabled(bool enabled);
    void UpdateSlotLoadButtons();
    // Loads the first file of a drop at a point in client coordinates; drops outside the
    // client area are ignored. Public for the window tests, which cannot drag from a shell.
    void dropFiles(const std::vector<std::string>& paths, const QPoint& clientPoint);

    // Replaces the editing picture by it joined with `added` on the side of the work area that
    // holds the drop point, aligned by the concatenation page's buttons.
    // False when the joined picture could not be made (the error box has been shown).
    bool ConcatenatePicture(const Picture& added, const QPoint& clientPoint);
    // Fits the picture into the work area and places the cut frame.
    void LayoutWorkArea(bool recentre, bool recomputeMinimumRate);

    // Controls, named as everywhere in the program.
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
    QGroupBox* gbxTmpSave = nullptr;
    SlotPanel* pnlTmpSave[3] = {};
    QToolButton* btnTmpSave[3] = {};
    QToolButton* btnTmpCutSave[3] = {};
    QToolButton* btnTmpLoad[3] = {};

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
    QPushButton *btnSwap = nullptr, *btnSizeLoad = nullptr, *btnSizeSave = nullptr;
    QComboBox* cmbSize = nullptr;
    QSlider* tbarQual = nullptr;
    QLabel* lblQual = nullptr;
    QGroupBox* rdgpFormat = nullptr;
    QGroupBox* rdgpTail = nullptr;
    QButtonGroup* rdgpFormatItems = nullptr;
    QButtonGroup* rdgpTailItems = nullptr;
    QPushButton *btnAbout = nullptr, *btnExit = nullptr;

    QStatusBar* statusBar = nullptr;
    QProgressBar* progressBar = nullptr;
    QTimer* tmrCheckResize = nullptr;

    QMenu* popEdit = nullptr;
    QAction *popitemRevH = nullptr, *popitemRevW = nullptr, *popitemRotR = nullptr, *popitemRotL = nullptr;
    QAction *popitemRot180 = nullptr, *popitemRotFree = nullptr, *popitemPaste = nullptr, *popitemReload = nullptr;
    QAction *popitemQuickSave = nullptr, *popitemPreview = nullptr, *popitemSave = nullptr;
    QMenu* popTpl = nullptr;
    QAction* popTplItems[20] = {};
    QMenu* popTmpSave = nullptr;
    QAction *popItemTmpSave = nullptr, *popItemTmpCutSave = nullptr, *popItemTmpLoad = nullptr;

    // Temporary slots, numbered 1 to 3 as their captions; imgTmpSave[n - 1] is slot n.
    Picture imgTmpSave[3];
    int slotPopupTarget = 0;  // the slot popTmpSave was last opened on
    // The slot a command is meant for: a slot's button, or a menu item on slotPopupTarget; 0 for none.
    int SlotForSender(const QObject* sender) const;
    void btnTmpSaveClick(QObject* sender);
    void btnTmpCutSaveClick(QObject* sender);
    void btnTmpLoadClick(QObject* sender);
    void imgTmpSaveMouseUp(int slot, QMouseEvent* event);
    // Drags inside the window come from imgSource or a slot panel. Public for the window tests,
    // which cannot run the toolkit's drag loop.
    bool imgTmpSaveDragOver(const QObject* source, int slot) const;
    void imgTmpSaveDragDrop(const QObject* source, int slot);
    bool FormDragOver(const QObject* source, const QPoint& clientPoint) const;
    void FormDragDrop(const QObject* source, const QPoint& clientPoint);

    // Fields of the cut frame and the resize debounce, with their starting values.
    int dragOffsetX = 0, dragOffsetY = 0;
    bool dragging = false;
    int frameCentreX = 0, frameCentreY = 0;
    int cutSrcWidth = 0, cutSrcHeight = 0;
    int resizeEventCount = 0;
    bool resizePending = false;

    // Replaces the editing picture without a layout pass (the transforms that keep the size).
    void setEditingPicture(Picture picture);

    // Settings: read once at the first showing, written at closing (and after a copy).
    void LoadSettings();
    Status SaveSettings();
    // Gives the window its stored size and place before it is first shown (LoadPlacement).
    void setVisible(bool visible) override;
    const std::string& settingsPath() const { return settingsPath_; }
    // Tests point the window at a settings file of their own before showing it.
    void setSettingsPath(std::string path) { settingsPath_ = std::move(path); }
    // The background colour of rotations and joins.
    QColor backgroundColour() const { return bgColour_; }
    void setBackgroundColour(const QColor& colour);
    // Presets.
    void btnSizeLoadAndSaveClick(QPushButton* sender);
    void itemCutSizeClick(int slot);
    QPushButton* presetButton = nullptr;

    // The preview window the cut results go to, and the free-rotation window; main() and the
    // tests set them, and the main window takes what they report.
    void setPreviewWindow(TfrmPreview* preview);
    void setRotFreeWindow(TfrmRotFree* rotFree);
    // The console's output choices for the document as it is now.
    OutputOptions outputOptions() const;

    // Transforms.
    // False when the picture could not be made; the error box and status line say so.
    bool TransformPicture(int mode);
    void btnRotLClick();
    void btnRotRClick();
    void btnRot180Click();
    void btnRevHClick();
    void btnRevWClick();
    void btnRotFreeClick();
    void btnBGColorClick();
    // How a failure that escaped a handler of this window or its tool windows is reported: an
    // error box, and the status line.
    FailureReport failureReport();
    // Slots for connect() that run a handler of this window, or any callable, guarded.
    template <class... Args>
    auto guarded(void (TfrmMain::*handler)(Args...))
    {
        return guardedSlot([this, handler](Args... args) { (this->*handler)(args...); }, failureReport());
    }
    template <class Handler>
    auto guarded(Handler handler)
    {
        return guardedSlot(std::move(handler), failureReport());
    }

    // Cut frame.
    void UpdateMinimumRate();
    void ResizeCutFrame(bool storeCentre);
    void PlaceCutFrame(bool recentre);
    void StoreFrameCentre();
    void ClampCutFrame(int x, int y);
    // Cutting and output.
    void MakeCutResult(OutputMode mode);

    // Handlers.
    void shpRangeMouseDown(QMouseEvent* event);
    void shpRangeMouseMove(QMouseEvent* event);
    void shpRangeMouseUp(QMouseEvent* event);
    void imgSourceMouseUp(QMouseEvent* event);
    void edtSizeWChange();
    void edtPowerChange();
    void edtExit(QLineEdit* edit);
    void btnSwapClick();
    void tmrCheckResizeTimer();
    void btnPreviewClick();
    void btnSaveClick();
    void btnCutCopyClick();
    void btnQuickSaveClick();
    void btnAllCopyClick();
    void btnCutAndLoadClick();
    void rdgpFormatClick();
    void tbarQualChange();
    void btnOpenClick();
    void btnReloadClick();
    void btnPasteClick();
    void btnOpenDirClick();
    void btnExitClick();
    void btnAboutClick();

signals:
    // Asks the program to show the version window; main() connects it.
    void aboutRequested();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void FormShow();
    bool FormClose();
    void buildCommandBand(QWidget* client);
    void buildFilePage();
    void buildEditPage();
    void buildConcatPage();
    void buildSlotGroup();
    void buildWorkArea(QWidget* client);
    void buildConsole(QWidget* client);
    void buildMenus();
    void layoutRegions();
    void connectFrameHandlers();
    void connectOutputHandlers();
    void connectTransformHandlers();
    void connectSlotHandlers();
    int slotOfPanel(const QObject* object) const;
    void setSlotPicture(int slot, Picture picture);
    void expandSlot(int slot);
    void startPictureDrag(QWidget* source);
    void setProgress(int position);
    void quarterTurn(int mode, const QString& status);
    void popupEditMenu(QWidget* source, const QPoint& local);
    void showSizeLabel(QLabel* label, int value, const QLineEdit* edit);
    IntRect displayRect() const;
    // Where a pw × ph picture goes in the work area as it is now.
    IntRect fittedDisplay(int pw, int ph) const;
    // The picture as the work area shows it at w × h: reduced by area averages when larger.
    static QImage displayImage(const Bitmap& picture, int w, int h);
    IntRect frameRect() const;
    void setFrameRect(const IntRect& r);
    void runPreview(OutputMode mode);
    // Stops the periodic resize check until the returned holder goes, on every way out.
    std::unique_ptr<QTimer, void (*)(QTimer*)> suspendResizeCheck();
    void buildPresetMenu();
    void applySpin(UpDown* ud, QLineEdit* edit, int value);
    // The settings' window placement, applied once, before the native window exists.
    void LoadPlacement();
    void showSourceSize();
    // The last saved picture's path from the settings, as the file system's bytes; empty
    // when none is stored.
    std::string outputPathSetting() const;
    // What the tool windows report.
    void previewSaved(const std::string& path);
    void showRotationPreview(bool visible);
    void showRotationGuides(Qt::BrushStyle hatch);

    QLabel* statusLine_ = nullptr;
    PlacementTracker* placement_ = nullptr;
    TfrmPreview* frmPreview_ = nullptr;
    TfrmRotFree* frmRotFree_ = nullptr;
    std::string settingsPath_;
    QColor bgColour_{Qt::white};
    std::vector<std::string> args_;
    bool shownOnce_ = false;
    bool closing_ = false;
    Picture editing_;
    std::string currentFileName_;
    bool largePictureAnswer_ = true;
};

}  // namespace trimlet
