#include "document/folder_step.h"

#include <algorithm>
#include <vector>

#include "base/byte_path.h"
#include "base/folder_files.h"
#include "base/natural_order.h"
#include "codecs/picture_file.h"

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

IntPoint FolderStepper::Plan::centreOn(int width, int height) const
{
    return {atShare(shareX, width), atShare(shareY, height)};
}

FolderStepper::Plan FolderStepper::plan(const Shown& shown, int direction) const
{
    const bool untouched = !to_.empty() && from_ == shown.document;
    const std::string from = untouched ? to_ : shown.document;
    const std::string folder = folderPart(from);
    const std::vector<std::string> names =
        filesInFolder(folder.empty() ? std::string(".") : folder,
                      [](std::string_view name) { return kindForPath(name).has_value(); });
    Plan plan;
    plan.count = names.size();
    const auto next = neighbourInOrder(names, fileNamePart(from), direction);
    if (!next) {
        const auto at = std::find(names.begin(), names.end(), fileNamePart(from));
        if (at != names.end())
            plan.place = std::size_t(at - names.begin());
        return plan;
    }
    plan.target = joinName(folder, names[*next]);
    plan.place = *next;
    // A rate or a place the user changed since the last step is taken as it is.
    plan.rate = untouched && shown.rate == rateShown_ ? rate_ : shown.rate;
    if (untouched && shown.centre == centreShown_) {
        plan.shareX = shareX_;
        plan.shareY = shareY_;
    } else {
        plan.shareX = shareOf(shown.centre.x, shown.width);
        plan.shareY = shareOf(shown.centre.y, shown.height);
    }
    return plan;
}

void FolderStepper::landed(const Plan& plan, const Shown& shown)
{
    to_ = plan.target;
    from_ = shown.document;
    rate_ = plan.rate;
    rateShown_ = shown.rate;
    shareX_ = plan.shareX;
    shareY_ = plan.shareY;
    centreShown_ = shown.centre;
}

}  // namespace trimlet
