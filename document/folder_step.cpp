#include "document/folder_step.h"

#include <algorithm>
#include <set>
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

// How many digits stem ends with before end.
std::size_t digitsBefore(std::string_view stem, std::size_t end)
{
    std::size_t from = end;
    while (from > 0 && stem[from - 1] >= '0' && stem[from - 1] <= '9')
        --from;
    return end - from;
}

// stem without the "_WxH" or "_WxH_k" a piece of a set or span has after its serial number.
std::string_view withoutSetSuffix(std::string_view stem)
{
    std::size_t end = stem.size();
    const std::size_t k = digitsBefore(stem, end);
    if (k > 0 && k < end && stem[end - k - 1] == '_' && digitsBefore(stem, end - k - 1) > 0)
        end -= k + 1;  // the screen's number, when a span has two of one size
    const std::size_t h = digitsBefore(stem, end);
    if (h == 0 || h >= end || stem[end - h - 1] != 'x')
        return stem;
    const std::size_t w = digitsBefore(stem, end - h - 1);
    const std::size_t at = end - h - 1 - w;
    if (w == 0 || at == 0 || stem[at - 1] != '_')
        return stem;
    return stem.substr(0, at - 1);
}

// The name a serial output NAME(n).EXT or NAME-n.EXT (or a set's NAME(n)_WxH.EXT) was numbered
// after; empty for any other name.
std::string_view serialSource(std::string_view fullStem)
{
    const std::string_view stem = withoutSetSuffix(fullStem);
    std::size_t digits = stem.size();
    const bool paren = !stem.empty() && stem.back() == ')';
    if (paren)
        --digits;
    const std::size_t end = digits;
    while (digits > 0 && stem[digits - 1] >= '0' && stem[digits - 1] <= '9')
        --digits;
    if (digits == end || digits < 2 || stem[digits - 1] != (paren ? '(' : '-'))
        return {};
    return stem.substr(0, digits - 1);
}

std::string_view stemOf(std::string_view name)
{
    const std::size_t dot = name.rfind('.');
    return dot == std::string_view::npos || dot == 0 ? name : name.substr(0, dot);
}

}  // namespace

std::vector<std::string> FolderStepper::pictures(const std::string& folder) const
{
    std::vector<std::string> names = filesInFolder(folder.empty() ? std::string(".") : folder,
                                                   [](std::string_view name) { return kindForPath(name).has_value(); });
    // Pieces cut from a picture of the folder are not the photos the user goes through: a
    // second pass would land on the first pass's pieces and cut pieces out of pieces.
    // Copies: the names are moved out below, and a view into a moved string would change.
    std::set<std::string, std::less<>> stems;
    for (const std::string& name : names)
        stems.emplace(stemOf(name));
    std::vector<std::string> kept;
    for (std::string& name : names) {
        const std::string_view source = serialSource(stemOf(name));
        if ((source.empty() || !stems.count(source)) && !written_.count(joinName(folder, name)))
            kept.push_back(std::move(name));
    }
    return kept;
}

void FolderStepper::wrote(const std::string& path) { written_.insert(path); }

std::vector<std::string> FolderStepper::neighbours(const std::string& document) const
{
    std::vector<std::string> found;
    if (document.empty())
        return found;
    const std::string folder = folderPart(document);
    const std::vector<std::string> names = pictures(folder);
    for (const int direction : {1, -1})
        if (const auto at = neighbourInOrder(names, fileNamePart(document), direction))
            found.push_back(joinName(folder, names[*at]));
    return found;
}

IntPoint FolderStepper::Plan::centreOn(int width, int height) const
{
    return {atShare(shareX, width), atShare(shareY, height)};
}

FolderStepper::Plan FolderStepper::plan(const Shown& shown, int direction) const
{
    const bool untouched = !to_.empty() && from_ == shown.document;
    const std::string from = untouched ? to_ : shown.document;
    const std::string folder = folderPart(from);
    const std::vector<std::string> names = pictures(folder);
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
