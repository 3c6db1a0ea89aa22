// The main window's folder stepping: PageDown / PageUp load the neighbouring picture file of
// the current file's folder, so that a folder is cut with one key per photo.

#include <algorithm>

#include "base/byte_path.h"
#include "base/folder_files.h"
#include "base/natural_order.h"
#include "codecs/picture_file.h"
#include "forms/main/frm_main.h"
#include "forms/widgets/up_down.h"

namespace trimlet {

namespace {

std::string joinName(const std::string& folder, const std::string& name)
{
    if (folder.empty())
        return name;
    return folder == "/" ? folder + name : folder + "/" + name;
}

// The centre's coordinate c on a side of n pixels as a share of that side, and back.
double shareOf(int c, int n) { return n > 0 ? (c + 0.5) / n : 0.5; }
int atShare(double share, int n) { return std::clamp(int(share * n), 0, std::max(n - 1, 0)); }

}  // namespace

void TfrmMain::stepPictureFile(int direction)
{
    if (currentFileName_.empty())
        return;  // a pasted picture has no folder
    // Nothing changed since the last step: it goes on from that step's file (also one that
    // failed to load) with what the user chose.
    const bool untouched = !step_.to.empty() && step_.from == currentFileName_;
    const std::string from = untouched ? step_.to : currentFileName_;
    const std::string folder = folderPart(from);
    const std::vector<std::string> names =
        filesInFolder(folder.empty() ? std::string(".") : folder,
                      [](std::string_view name) { return kindForPath(name).has_value(); });
    const auto count = QString::number(names.size());
    const auto next = neighbourInOrder(names, fileNamePart(from), direction);
    if (!next) {
        const QString end = direction > 0 ? tr("フォルダの最後の画像です。") : tr("フォルダの最初の画像です。");
        const auto at = std::find(names.begin(), names.end(), fileNamePart(from));
        ShowStatus(at == names.end() ? end : tr("%1 / %2　%3").arg(QString::number(at - names.begin() + 1), count, end),
                   StatusKind::statusOnly);
        return;
    }

    const int rate = untouched && udPower->position() == step_.rateShown ? step_.rate : udPower->position();
    double shareX = shareOf(frame_.centre.x, editing_.width());
    double shareY = shareOf(frame_.centre.y, editing_.height());
    if (untouched && frame_.centre == step_.centreShown) {
        shareX = step_.shareX;
        shareY = step_.shareY;
    }
    const std::string target = joinName(folder, names[*next]);
    stepping_ = true;
    struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{stepping_};
    LoadPictureFile(target);  // the cut size stays as it is; a failure leaves everything
    step_.to = target;
    step_.from = currentFileName_;

    if (currentFileName_ == target) {
        if (udPower->position() != rate)
            udPower->setPosition(rate);  // no lower than the new picture allows
        frame_.centre = {atShare(shareX, editing_.width()), atShare(shareY, editing_.height())};
        LayoutWorkArea(false, false);  // the frame over that point, inside the picture
    }
    step_.rate = rate;
    step_.rateShown = udPower->position();
    step_.shareX = shareX;
    step_.shareY = shareY;
    step_.centreShown = frame_.centre;
    ShowStatus(tr("%1 / %2　%3").arg(QString::number(*next + 1), count, statusText()), StatusKind::statusOnly);
}

}  // namespace trimlet
