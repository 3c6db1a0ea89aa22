#pragma once
// The undo and redo history of the editing picture: the document as it was on the other side
// of each edit, bounded by a number of steps and by the memory its pictures hold. Turns and
// flips keep the operation instead of the picture, since their inverse gives it back. No Qt.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>

#include "codecs/picture.h"
#include "document/picture_transform.h"
#include "imaging/cut_geometry.h"

namespace trimlet {

// What an undo gives back. The picture keeps its kind and file bytes, so an unedited photo
// comes back unedited.
struct EditState {
    Picture picture;
    std::string document;  // the file's path as bytes; empty for a pasted picture
    IntPoint frameCentre;  // picture pixels
    int rate = 100;
    bool edited = false;  // edited since the file was loaded
};

class EditHistory {
public:
    static constexpr std::size_t kMaxSteps = 20;
    static constexpr std::int64_t kMaxBytes = std::int64_t{1} << 30;

    struct Step {
        std::string name;  // the edit as the status line names it, UTF-8
        EditState state;   // the document on the other side of the edit
        // A turn or flip: the other side's picture is the window's turned back (undo) or again
        // (redo), and state.picture is empty unless no turn gives it back as it is (a file's
        // picture, with its kind and bytes).
        std::optional<Transform> operation;
    };

    // An edit called `name` has replaced the document `before`; `operation` when it was that
    // turn or flip. The redo side is dropped, and then the oldest steps while the history is
    // beyond its bounds: a step whose picture alone is larger than the byte bound is not kept.
    void record(std::string name, EditState before, std::optional<Transform> operation = {});
    // A load has replaced the document `before`: an edited one stays a step back, so that no
    // edit is lost; after an unedited one the history starts anew.
    void recordLoad(std::string name, EditState before);
    // The step an undo would go back to, and the one a redo would go forward to; null for none.
    const Step* undoStep() const { return undo_.empty() ? nullptr : &undo_.back(); }
    const Step* redoStep() const { return redo_.empty() ? nullptr : &redo_.back(); }
    // The state an undo goes back to from `current` (a redo forward to): the step's, its picture
    // made from current's where the step keeps an operation. Throws std::bad_alloc when that
    // picture cannot be made; an empty state when there is no step.
    EditState undoState(const EditState& current) const;
    EditState redoState(const EditState& current) const;
    // The window has gone back to undoStep()'s state (forward to redoStep()'s); `current` is
    // the state it left, kept for the way back. The bounds hold afterwards too, the steps
    // farthest from the window's state going first.
    void stepBack(EditState current);
    void stepForward(EditState current);
    void clear();

    std::size_t undoCount() const { return undo_.size(); }
    std::size_t redoCount() const { return redo_.size(); }
    // The bytes the kept pictures hold (pixels, mask, file bytes), a picture shared by several
    // steps counted once; an operation holds none.
    std::int64_t bytes() const;
    // Tests lower the bounds instead of filling a gigabyte.
    void setLimits(std::size_t maxSteps, std::int64_t maxBytes);

private:
    void trim();

    std::deque<Step> undo_;  // oldest first
    std::deque<Step> redo_;  // farthest first
    std::size_t maxSteps_ = kMaxSteps;
    std::int64_t maxBytes_ = kMaxBytes;
};

}  // namespace trimlet
