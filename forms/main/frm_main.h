#pragma once
// The main window: command band, work area, console and status bar. Handlers are named after
// their control and event; the computations they need live in codecs/ and imaging/, the
// controls in MainControls, the frame in FrameState and the slots in SlotStrip.

#include <QColor>
#include <QImage>
#include <QMainWindow>
#include <QPoint>
#include <QSize>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "codecs/picture.h"
#include "document/edit_history.h"
#include "document/editing_document.h"
#include "document/folder_step.h"
#include "document/frame_state.h"
#include "document/picture_transform.h"
#include "document/stored_settings.h"
#include "forms/main/main_controls.h"
#include "forms/main/photo_prefetch.h"
#include "forms/main/status_kind.h"
#include "forms/preview/output_options.h"
#include "forms/widgets/guarded.h"

class QLineEdit;
class QTimer;

namespace trimlet {

class EditCommands;
class OutputCommands;
class PictureLoads;
struct PieceRequest;
class PlacementTracker;
class RecentMenu;
class SlotCommands;
class SlotStrip;
class TfrmPreview;
class TfrmRotFree;
class WorkAreaKeys;
class WorkAreaZoom;

// What the frame cuts out of the editing picture, and the cut in trimlet-cli's terms ("--cut
// 240x320@75:120,40", none for the whole picture) with the size of a piece smaller than asked.
struct CutResult {
    Picture picture;
    QString command;
};

// What an edit of the document shows besides the picture: nothing, its name in the status
// line, or also the new size with the work area laid out anew.
enum class EditShown { Nothing, Status, StatusAndLayout };

class TfrmMain : public QMainWindow, private MainControls {
    Q_OBJECT

public:
    // args: the program's command-line arguments after its name, as the file system's bytes;
    // the first one is loaded at the first showing.
    explicit TfrmMain(std::vector<std::string> args = {}, QWidget* parent = nullptr);
    ~TfrmMain() override;

    // The editing document.
    const EditingDocument& document() const { return doc_; }
    const Picture& editingPicture() const { return doc_.picture; }
    // The document's path as the file system's bytes, and as shown (for labels and messages).
    const std::string& currentFilePath() const { return doc_.path; }
    QString currentFileName() const;
    bool largePictureAnswer() const { return largePictureAnswer_; }
    // Stepping through the document's folder (PageDown, PageUp).
    FolderStepper& folderStepper() { return stepper_; }
    QString statusText() const;

    // A load on the concatenation page joins the file at joinAt (client coordinates), by
    // default where the mouse is. Returns once the load is over, as startLoad()'s do later.
    void LoadPictureFile(const std::string& path, std::optional<QPoint> joinAt = std::nullopt);
    // A name that is text already (typed, or from a dialog, which only ever gives UTF-8).
    void LoadPictureFile(const QString& path);
    void ShowStatus(const QString& text, StatusKind kind);
    void SetCurrentFile(const std::string& path);
    void SetEditingEnabled(bool enabled);
    // Loads the first file of a drop at a point in client coordinates; drops outside the
    // client area are ignored. Public for the window tests, which cannot drag from a shell.
    void dropFiles(const std::vector<std::string>& paths, const QPoint& clientPoint);

    // Replaces the editing picture by it joined with `added` on the side of the work area that
    // holds the drop point, aligned by the concatenation page's buttons.
    // False when the joined picture could not be made (the error box has been shown).
    bool ConcatenatePicture(const Picture& added, const QPoint& clientPoint);
    // Fits the picture into the work area and places the cut frame.
    void LayoutWorkArea(bool recentre, bool recomputeMinimumRate);

    // The frame state (frameCentreX/Y, cutSrcWidth/Height and the drag), as the frame widget shows it.
    FrameState& frameState() { return frame_; }
    // Temporary slots, numbered 1 to 3 as their captions.
    SlotStrip& slotStrip() const { return *tmpSave; }
    SlotCommands& slotCommands() const { return *slots_; }
    // Drags of a slot onto the work area. Public for the window tests, which cannot run the
    // toolkit's drag loop.
    bool FormDragOver(const QObject* source, const QPoint& clientPoint) const;
    void FormDragDrop(const QObject* source, const QPoint& clientPoint);

    // Replaces the editing picture without a layout pass (the transforms that keep the size).
    // `rendered` is its display copy when one was made ahead, used if the layout asks that size.
    void setEditingPicture(Picture picture, QImage rendered = {});

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

    // The preview window the cut results go to, and the free-rotation window; main() and the
    // tests set them, and the main window takes what they report.
    void setPreviewWindow(TfrmPreview* preview);
    void setRotFreeWindow(TfrmRotFree* rotFree);

    // An edit called name: make gives the new picture, throwing when it cannot (the error box
    // and the status line say why, and the document stays). The document before it, or the turn
    // or flip `operation`, is kept for the undo; what `shown` says is shown (status, or name).
    bool applyEdit(const QString& name, const std::function<Picture()>& make, EditShown shown,
                   const QString& status = {}, std::optional<Transform> operation = {});
    // The picture joined with added on the side of the work area that holds the point;
    // throws std::bad_alloc beyond the picture size cap.
    Picture joinedPicture(const Picture& added, const QPoint& clientPoint) const;
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
    // What the frame cuts out of the editing picture now.
    CutResult MakeCutResult() const;
    // The cut handed to the preview window, shown (Preview) or carried out hidden.
    void outputCut(OutputMode mode);
    // Asks for a new live size once the current burst of changes is over.
    void requestLiveSize();
    bool closing() const { return closing_; }
    // What the frame cuts out of the editing picture now.
    PieceRequest pieceRequest() const;

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
    void btnCutAndLoadClick();
    void btnOpenClick();
    void btnReloadClick();
    void btnPasteClick();
    void btnOpenDirClick();
    void btnExitClick();
    void btnAboutClick();

    // The screen that shows the window, in device pixels; what the preset menu's first item sets.
    QSize screenPixelSize() const;
    // Undo and redo of the picture's edits; tests lower the history's bounds.
    EditHistory& editHistory() { return history_; }

    // The command-line picture, decoding since before the window was built; the first
    // showing's load takes it.
    void setPrefetch(std::unique_ptr<PhotoPrefetch> prefetch);
    // The first showing's work is done, the command-line picture loaded (or refused).
    bool started() const { return started_; }

signals:
    // Asks the program to show the version window; main() connects it.
    void aboutRequested();
    // The first showing goes on to the command-line picture, once the window has been painted.
    // A box the load opens (the large-picture question) comes after this.
    void startupLoading();

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    using MainControls::statusBar;  // the field, not QMainWindow's function

    void FormCreate();
    void FormShow();
    // What the first showing does once the window is on the screen.
    void finishFormShow();
    bool FormClose();
    void connectLoadHandlers();
    void connectFrameHandlers();
    void connectOutputHandlers();
    void connectTransformHandlers();
    void connectSlotHandlers();
    void connectPresetHandlers();
    IntRect displayRect() const;
    // Where a pw × ph picture goes in the work area as it is now.
    IntRect fittedDisplay(int pw, int ph) const;
    // The screen pixels a pw × ph picture is shown on in the work area as it is now.
    QSize displayDeviceSize(int pw, int ph) const;
    // Puts the frame widget where frame_ says.
    void showCutFrame();
    // A drag or a key has put the frame where it stays.
    void frameMoved();
    // The settings' window placement, applied once, before the native window exists.
    void LoadPlacement();
    void showSourceSize();
    // The last saved picture's path from the settings, as the file system's bytes; empty
    // when none is stored.
    std::string outputPathSetting() const;

    // Keyboard framing and stepping through the folder.
    void connectKeyHandlers();
    bool workAreaEvent(QObject* watched, QEvent* event);
    // Loads the next (+1) or previous (-1) picture file of the current file's folder in natural
    // order, keeping the cut size, the rate and the frame's place relative to the picture.
    void stepPictureFile(int direction);
    // Decodes off the window's thread and shows the picture then; landed (a folder step's
    // own work) follows, and means the load never joins. A fresh load skips a decode ahead.
    void startLoad(const std::string& requested, std::optional<QPoint> joinAt, bool fresh,
                   std::function<void()> landed = {});
    void finishLoad(const std::string& path, PhotoPrefetch::Taken taken, bool joining, QPoint at, bool stepped);
    PictureLoads* loads_ = nullptr;
    WorkAreaKeys* keys_ = nullptr;
    WorkAreaZoom* zoom_ = nullptr;
    RecentMenu* recent_ = nullptr;
    FolderStepper stepper_;
    // Undo and redo of the picture's edits.
    void connectHistoryHandlers();
    EditState editState() const;
    // Puts a state back: picture, document, frame and rate, laid out anew.
    void restoreEditState(const EditState& state);
    // Keeps `before` for an undo of the edit just made; an edit of no picture has none.
    void rememberEdit(const QString& name, EditState before, std::optional<Transform> operation = {});
    // The document's path; empty for a pasted picture.
    void showDocument(const std::string& path);
    EditHistory history_;

    FrameState frame_;
    int resizeEventCount = 0;
    bool resizePending = false;
    PlacementTracker* placement_ = nullptr;
    EditCommands* edits_ = nullptr;
    SlotCommands* slots_ = nullptr;
    std::string settingsPath_;
    QColor bgColour_{Qt::white};
    LoadChoices load_;  // the settings' [load] section
    std::vector<std::string> args_;
    bool shownOnce_ = false;
    bool paintedOnce_ = false;
    bool startupPending_ = false;
    bool started_ = false;
    bool closing_ = false;
    EditingDocument doc_;
    bool largePictureAnswer_ = true;
    OutputCommands* output_ = nullptr;
};

}  // namespace trimlet
