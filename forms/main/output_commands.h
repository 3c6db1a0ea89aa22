#pragma once
// The main window's output commands: the framed part shown in the preview window, or saved or
// copied directly with no window, the whole picture saved or copied, the console's output
// choices that the live size follows, and what the outputs report back.

#include <QObject>

#include "forms/preview/output_options.h"
#include "forms/preview/output_run.h"

namespace trimlet {

class LiveSizeView;
struct MainControls;
class TfrmMain;
class TfrmPreview;

class OutputCommands : public QObject {
    Q_OBJECT
public:
    OutputCommands(TfrmMain& window, MainControls& controls);

    // The preview window the results go to; main() and the tests set it, once.
    void setPreviewWindow(TfrmPreview* preview);
    TfrmPreview* previewWindow() const { return preview_; }
    // The frame's cut shown in the preview window (Preview), or carried out with no window.
    void outputCut(OutputMode mode);
    // The last output carried out with no window, and its mode.
    const OutputRun& lastRun() const { return hidden_; }
    OutputMode lastMode() const { return lastMode_; }
    // The console's output choices for the document as it is now.
    OutputOptions options() const;
    // Asks for a new live size once the current burst of changes is over.
    void requestLiveSize();
    // While a set is chosen or pieces are copied from the blocks, the status line's account of
    // where the frame stands, which trimlet-cli repeats; else nothing.
    QString frameReport() const;

private:
    void run(OutputMode mode, Picture picture, QString cutCommand, std::shared_ptr<const SetOutputs> set = {});
    void outputCopiedBlocks(OutputMode mode);
    // The chosen set's pieces: the main one shown or saved with the others.
    void outputSet(OutputMode mode);
    void showSetOutlines();
    void saveWhole();
    void showStatus(const QString& text);
    void rememberSaved(const std::string& path);
    void rememberCopied();
    void copyWhole();

    TfrmMain& window_;
    MainControls& c_;
    TfrmPreview* preview_ = nullptr;
    LiveSizeView* liveSize_ = nullptr;
    OutputRun hidden_;
    OutputMode lastMode_ = OutputMode::Preview;
};

}  // namespace trimlet
