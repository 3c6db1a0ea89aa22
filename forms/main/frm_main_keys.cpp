// The main window's keyboard framing, which WorkAreaKeys reads (the frame moves as a drag
// moves it), and its folder stepping: PageDown / PageUp load the neighbouring picture file of
// the current file's folder, so that a folder is cut with one key per photo.

#include "forms/main/frm_main.h"
#include "forms/main/work_area_keys.h"
#include "forms/main/work_area_widgets.h"
#include "forms/main/work_area_zoom.h"
#include "forms/widgets/up_down.h"

namespace trimlet {

void TfrmMain::connectKeyHandlers()
{
    WorkAreaKeys::Commands commands;
    commands.hasPicture = [this] { return !doc_.picture.isEmpty(); };
    commands.moveFrameBy = [this](int dx, int dy) {
        frame_.moveBy(zoom_->keyStep(dx), zoom_->keyStep(dy), displayRect(), doc_.picture.width(),
                      doc_.picture.height());
        showCutFrame();
        frameMoved();
    };
    commands.centreFrame = [this] {
        // Where a recentring layout puts it: the display's middle less half the frame.
        const IntRect d = displayRect();
        ClampCutFrame(d.x + d.w / 2 - frame_.rect.w / 2, d.y + d.h / 2 - frame_.rect.h / 2);
        frameMoved();
    };
    commands.stepPicture = [this](int direction) { stepPictureFile(direction); };
    keys_ = new WorkAreaKeys(this, {imgSource, shpRange, udPower, console.get()}, std::move(commands), failureReport());
}

// The application's events reach the window's filter while the window is still being built.
bool TfrmMain::workAreaEvent(QObject* watched, QEvent* event) { return keys_ && keys_->eventFilter(watched, event); }

void TfrmMain::stepPictureFile(int direction)
{
    if (doc_.path.empty())
        return;  // a pasted picture has no folder
    const auto shown = [this] {
        return FolderStepper::Shown{doc_.path, cutSettings().rate, frame_.centre, doc_.picture.width(),
                                    doc_.picture.height()};
    };
    const FolderStepper::Plan plan = stepper_.plan(shown(), direction);
    const auto withPlace = [plan](const QString& text) {
        return plan.place ? tr("%1 / %2　%3").arg(QString::number(*plan.place + 1), QString::number(plan.count), text)
                          : text;
    };
    if (plan.target.empty()) {
        ShowStatus(withPlace(direction > 0 ? tr("フォルダの最後の画像です。") : tr("フォルダの最初の画像です。")),
                   StatusKind::statusOnly);
        return;
    }
    stepper_.landed(plan, shown());  // a step made while this one loads goes on from its file
    startLoad(plan.target, std::nullopt, false, [this, plan, shown, withPlace] {
        if (doc_.path == plan.target) {  // the cut size stays as it is; a failure leaves everything
            if (cutSettings().rate != plan.rate)
                udPower->setPosition(plan.rate);  // no lower than the new picture allows
            frame_.centre = plan.centreOn(doc_.picture.width(), doc_.picture.height());
            LayoutWorkArea(false, false);  // the frame over that point, inside the picture
        }
        stepper_.landed(plan, shown());
        ShowStatus(withPlace(statusText()), StatusKind::statusOnly);
    });
    ShowStatus(withPlace(statusText()), StatusKind::statusOnly);
}

}  // namespace trimlet
