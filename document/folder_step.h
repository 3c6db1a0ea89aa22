#pragma once
// Stepping through a folder's picture files one key at a time, in natural order, passing over
// the pieces cut from them, and what a step carries to the next picture: the rate and the
// frame centre's place the user chose. No Qt.

#include <cstddef>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "imaging/cut_geometry.h"

namespace trimlet {

class FolderStepper {
public:
    // What the window shows when a step starts and when its load is over.
    struct Shown {
        std::string document;  // the file's path as bytes; not empty (a pasted picture has no folder)
        int rate = 100;
        IntPoint centre;  // the frame's centre, picture pixels
        int width = 0, height = 0;
    };
    // Where a step goes and what the picture gets there.
    struct Plan {
        std::string target;     // the file to load; empty past either end of the folder
        std::size_t count = 0;  // the folder's picture files
        // The target's place among them from 0; past an end the place of the file stepped
        // from, none when that file is not among them (gone since, or not a picture).
        std::optional<std::size_t> place;
        int rate = 100;                     // to be shown on the target, if it allows it
        double shareX = 0.5, shareY = 0.5;  // the frame's centre as a share of the picture
        // The centre at that share of a width × height picture.
        IntPoint centreOn(int width, int height) const;
    };

    // The step from what is shown to the next (direction > 0) or previous picture file of its
    // folder. When nothing changed since the last step it goes on from that step's file (also
    // one that failed to load) with the rate and the place the user chose before.
    Plan plan(const Shown& shown, int direction) const;
    // The next and the previous picture file of document's folder, those there are: what a
    // step from it would load.
    std::vector<std::string> neighbours(const std::string& document) const;
    // A file this program wrote; the steps pass over it.
    void wrote(const std::string& path);
    // The load of plan.target is over (loaded or not); shown is what the window shows now.
    void landed(const Plan& plan, const Shown& shown);

private:
    // The folder's picture files, without the serial outputs of its other pictures
    // (NAME(n).EXT and NAME-n.EXT beside a NAME.*) and the files written here.
    std::vector<std::string> pictures(const std::string& folder) const;

    // What the last step left. The rate and the share are what the user chose; a picture too
    // small for them shows less, and the next one gets them back unless the user changed
    // something in between.
    std::string to_;    // the file stepped to, loaded or not
    std::string from_;  // the document's file just after the step
    int rate_ = 0;
    int rateShown_ = 0;
    double shareX_ = 0.5, shareY_ = 0.5;
    IntPoint centreShown_;
    std::set<std::string> written_;
};

}  // namespace trimlet
