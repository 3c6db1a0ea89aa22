#pragma once
// The free-rotation tool window: angle input, live preview, guide lines, and the rotation
// itself with progress and a stop button. It draws nothing outside itself: the preview, the
// guide lines and the result go out as signals to the window whose picture it turns.

#include <QColor>
#include <QDialog>
#include <QImage>
#include <QPoint>
#include <optional>

#include "codecs/bitmap.h"
#include "codecs/picture.h"
#include "forms/widgets/guarded.h"

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace trimlet {

class UpDown;

class TfrmRotFree : public QDialog {
    Q_OBJECT
public:
    explicit TfrmRotFree(QWidget* parent = nullptr);

    // The picture a rotation turns; let go when the window closes.
    void setPicture(Picture picture) { picture_ = std::move(picture); }
    // The reduced copy of the picture the previews are drawn from.
    void setPreviewBase(Bitmap base) { previewBase_ = std::move(base); }
    // The colour of what a rotation uncovers.
    void setBackgroundColour(const QColor& colour) { background_ = colour; }

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

signals:
    // The preview takes the picture's place while the window is open (true) and gives it back.
    void previewVisibilityChanged(bool visible);
    // The picture to show in the preview: the base at first, then each rotation preview.
    void previewChanged(const QImage& image);
    // The guide lines over the preview: their hatch, Qt::NoBrush for none.
    void guideLinesChanged(Qt::BrushStyle hatch);
    // A line for the status bar.
    void statusChanged(const QString& text);
    // A failure that escaped a handler, for an error box and the status line. Unconnected,
    // the window shows the box itself.
    void failed(const QString& text);
    // The rotated picture, to replace the one given. The receiver answers whether it took it;
    // one that could not has reported why, and the window stays open.
    bool pictureRotated(const Picture& picture);

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
    FailureReport failureReport();

    Picture picture_;
    Bitmap previewBase_;
    QColor background_{Qt::white};
    bool running_ = false;
    std::optional<QPoint> lastPlace_;
};

}  // namespace trimlet
