#pragma once
// The free-rotation tool window: angle input, live preview in the main window's work area,
// guide lines, and the rotation itself with progress and a stop button.

#include <QDialog>
#include <QPoint>
#include <optional>

#include "codecs/bitmap.h"
#include "forms/guarded.h"

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace trimlet {

class TfrmMain;
class UpDown;

class TfrmRotFree : public QDialog {
    Q_OBJECT
public:
    explicit TfrmRotFree(QWidget* parent = nullptr);

    void setMainWindow(TfrmMain* main) { frmMain_ = main; }
    // The reduced copy of the editing picture the previews are drawn from.
    void setPreviewBase(Bitmap base) { previewBase_ = std::move(base); }

    // Moves the window beside the picture it previews, inside the available screen area, or
    // back where the user last had it during this session.
    void placeNextTo(const QRect& picture, const QRect& available);

    void RenderRotationPreview();
    void RotatePicture();
    int degree() const;

    QLabel* Label6 = nullptr;
    QLineEdit* edtDegree = nullptr;
    UpDown* udDegree = nullptr;
    QPushButton *btnAdd = nullptr, *btnSub = nullptr;
    QCheckBox* chkRealtime = nullptr;
    QLabel* lblRealtime = nullptr;
    QGroupBox* rdgpViewShape = nullptr;
    QButtonGroup* rdgpViewShapeItems = nullptr;
    QPushButton *btnPreview = nullptr, *btnOK = nullptr, *btnCancel = nullptr, *btnStop = nullptr;
    QProgressBar* progressBar = nullptr;
    bool stopRequested = false;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void done(int result) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormShow();
    void FormClose();
    void edtDegreeChange();
    void edtDegreeExit();
    void chkRealtimeClick();
    void btnAddSubClick(int step);
    void rdgpViewShapeClick();
    void setRunning(bool running);
    // The main window's report of a failure that escaped a handler.
    FailureReport failureReport();

    TfrmMain* frmMain_ = nullptr;
    Bitmap previewBase_;
    bool running_ = false;
    std::optional<QPoint> lastPlace_;
};

}  // namespace trimlet
