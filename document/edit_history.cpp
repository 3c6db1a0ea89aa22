#include "document/edit_history.h"

#include <vector>

namespace trimlet {

namespace {

std::int64_t pictureBytes(const Picture& p)
{
    return std::int64_t(p.bitmap().byteCount() + p.mask().size() + p.fileBytes().size());
}

}  // namespace

void EditHistory::record(std::string name, EditState before)
{
    redo_.clear();
    undo_.push_back({std::move(name), std::move(before)});
    trim();
}

void EditHistory::recordLoad(std::string name, EditState before)
{
    if (before.edited && !before.picture.isEmpty())
        record(std::move(name), std::move(before));
    else
        clear();  // a new document; its edits start here
}

void EditHistory::stepBack(EditState current)
{
    if (undo_.empty())
        return;
    redo_.push_back({std::move(undo_.back().name), std::move(current)});
    undo_.pop_back();
    trim();
}

void EditHistory::stepForward(EditState current)
{
    if (redo_.empty())
        return;
    undo_.push_back({std::move(redo_.back().name), std::move(current)});
    redo_.pop_back();
    trim();
}

void EditHistory::clear()
{
    undo_.clear();
    redo_.clear();
}

std::int64_t EditHistory::bytes() const
{
    // Steps come back to pictures they share (a slot loaded twice, an undone edit redone), so
    // each picture's memory is counted once; the history never holds more than a few dozen.
    std::vector<const Picture*> seen;
    std::int64_t total = 0;
    for (const auto* side : {&undo_, &redo_})
        for (const Step& step : *side) {
            const Picture& p = step.state.picture;
            bool counted = false;
            for (const Picture* other : seen)
                counted = counted || other->sharesDataWith(p);
            if (!counted) {
                seen.push_back(&p);
                total += pictureBytes(p);
            }
        }
    return total;
}

void EditHistory::setLimits(std::size_t maxSteps, std::int64_t maxBytes)
{
    maxSteps_ = maxSteps;
    maxBytes_ = maxBytes;
    trim();
}

void EditHistory::trim()
{
    while (!undo_.empty() || !redo_.empty()) {
        if (undo_.size() + redo_.size() <= maxSteps_ && bytes() <= maxBytes_)
            return;
        if (!undo_.empty())
            undo_.pop_front();
        else
            redo_.pop_front();
    }
}

}  // namespace trimlet
