#pragma once
// The main window's output commands: the framed part to the preview window, shown or saved
// and copied hidden, the whole picture saved or copied, the console's output choices that
// the live size follows, and what the preview window reports back.

#include <QObject>

#include "forms/preview/output_options.h"

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
    // The frame's cut handed to the preview window, shown (Preview) or carried out hidden.
    void outputCut(OutputMode mode);
    // Asks for a new live size once the current burst of changes is over.
    void requestLiveSize();

private:
    void run(OutputMode mode);
    void saveWhole();
    void copyWhole();

    TfrmMain& window_;
    MainControls& c_;
    TfrmPreview* preview_ = nullptr;
    LiveSizeView* liveSize_ = nullptr;
};

}  // namespace trimlet
