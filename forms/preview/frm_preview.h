#pragma once
// The preview window: encodes the cut result as it will be saved, shows it with its size and
// file size, and saves or copies it.

#include <QDialog>
#include <QPoint>
#include <string>
#include <vector>

#include "base/result.h"
#include "codecs/picture.h"
#include "forms/preview/output_options.h"
#include "forms/preview/output_run.h"
#include "forms/widgets/guarded.h"
#include "platform/desktop.h"

class QAction;
class QCheckBox;
class QLabel;
class QMenu;
class QMouseEvent;
class QPushButton;
class QScrollArea;
class QStatusBar;
class QTimer;
class QWheelEvent;

namespace trimlet {

class TfrmPreview : public QDialog {
    Q_OBJECT
public:
    explicit TfrmPreview(QWidget* parent = nullptr);

    // The cut result the main window hands over, the options to write it with, and what to do
    // with it. cutCommand names the region in trimlet-cli's terms ("--cut 240x320@75:120,40");
    // empty for a whole picture.
    void setCutResult(Picture picture, OutputOptions options, QString cutCommand = {})
    {
        run_.setCut(std::move(picture), std::move(options), std::move(cutCommand));
    }
    const Picture& cutResult() const { return run_.cutResult(); }
    QString withCutCommand(const QString& report) const { return run_.withCutCommand(report); }
    OutputMode outputMode = OutputMode::Preview;

    // The result as decoded back from the temporary JPEG (with that file's bytes) or from the
    // WebP bytes.
    const Picture& previewPicture() const { return run_.output().decoded; }
    // What a save writes for a JPEG, PNG or WebP build, as measured for the status line.
    const std::vector<std::uint8_t>& outputBytes() const { return run_.output().fileBytes(); }

    // Where builds write the encoded output; tests point it into a folder of their own.
    const std::string& tempJpeg() const { return run_.tempJpeg(); }
    void setTempJpeg(std::string path) { run_.setTempJpeg(std::move(path)); }

    QString statusText() const;

    // Builds the output for outputMode and carries out the mode's action.
    void FormShow();
    void EnableCommands(bool enable);
    // saveAs: the name comes from the save dialog instead of the serial numbering.
    void btnSaveClick(bool saveAs);
    void btnCopyClick();
    void btnCancelClick();
    void chkCutSrcClick();
    void tmrCloseTimer();

    // Controls, named as everywhere in the program.
    QWidget* Panel1 = nullptr;
    QCheckBox* chkCutSrc = nullptr;
    QPushButton *btnSave = nullptr, *btnSaveAs = nullptr, *btnCopy = nullptr, *btnCancel = nullptr;
    QScrollArea* sbImgScroll = nullptr;
    QLabel* imgCutSrc = nullptr;
    QLabel* imgPreview = nullptr;
    QStatusBar* statusBar = nullptr;
    QMenu* popPreview = nullptr;
    QAction *popitemSave = nullptr, *popitemSaveAs = nullptr, *popitemCopy = nullptr;
    QTimer* tmrClose = nullptr;

    bool dragging = false;
    QPoint dragStart;

signals:
    // A line for the main window's status bar: what was saved or copied, and every failure.
    void statusChanged(const QString& text);
    // The output was written to path (the file system's bytes), after its status line.
    void saved(const std::string& path);
    // The output was placed on the clipboard, after its status line.
    void copied();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void buildAndAct();
    FailureReport failureReport();
    void placeForPreview();
    void setStatus(const QString& text);
    void showImage(QLabel* image);
    QWidget* dialogParent();
    void imgCutSrcMouseDown(QLabel* image, QMouseEvent* event);
    void imgCutSrcMouseMove(QLabel* image, QMouseEvent* event);
    void imgCutSrcMouseUp(QLabel* image, QMouseEvent* event);
    bool FormMouseWheel(QWheelEvent* event);

    QLabel* statusLine_ = nullptr;
    QWidget* pnlImages_ = nullptr;
    OutputRun run_;
    bool cutSrcPainted_ = false;  // imgCutSrc shows this build's picture
    int wheelRest_ = 0;
};

}  // namespace trimlet
