#include "document/edit_history.h"

#include <new>
#include <vector>

namespace trimlet {

namespace {

std::int64_t pictureBytes(const Picture& p)
{
    return std::int64_t(p.bitmap().byteCount() + p.mask().size() + p.fileBytes().size());
}

// What a turn's inverse gives back pixel for pixel with nothing lost: an edit's picture. A
// file's picture keeps a kind, a mask or the file's bytes that no turn makes again.
bool turnsBackExactly(const Picture& p)
{
    return p.kind() == PictureKind::Bitmap && !p.hasTransparency() && p.fileBytes().empty();
}

EditHistory::Step makeStep(std::string name, EditState state, std::optional<Transform> operation)
{
    if (operation && turnsBackExactly(state.picture))
        state.picture = Picture();
    return {std::move(name), std::move(state), operation};
}

EditState reached(const EditHistory::Step* step, const EditState& current, bool back)
{
    if (!step)
        return {};
    EditState state = step->state;
    if (step->operation && state.picture.isEmpty()) {
        const Transform mode = back ? inverseOf(*step->operation) : *step->operation;
        state.picture = transformedPicture(current.picture, mode, [](int) {});
    }
    return state;
}

}  // namespace

void EditHistory::record(std::string name, EditState before, std::optional<Transform> operation)
{
    redo_.clear();
    undo_.push_back(makeStep(std::move(name), std::move(before), operation));
    trim();
}

void EditHistory::recordLoad(std::string name, EditState before)
{
    if (before.edited && !before.picture.isEmpty())
        record(std::move(name), std::move(before));
    else
        clear();  // a new document; its edits start here
}

EditState EditHistory::undoState(const EditState& current) const { return reached(undoStep(), current, true); }

EditState EditHistory::redoState(const EditState& current) const { return reached(redoStep(), current, false); }

void EditHistory::stepBack(EditState current)
{
    if (undo_.empty())
        return;
    Step& step = undo_.back();
    redo_.push_back(makeStep(std::move(step.name), std::move(current), step.operation));
    undo_.pop_back();
    trim();
}

void EditHistory::stepForward(EditState current)
{
    if (redo_.empty())
        return;
    Step& step = redo_.back();
    undo_.push_back(makeStep(std::move(step.name), std::move(current), step.operation));
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
