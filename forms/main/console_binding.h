#pragma once
// The console's controls bound to the work's values: every change of a control, typed or set,
// writes its value here, and the commands, the live size and the settings read the values.
// The one place that reads what the controls hold.

#include "document/work_values.h"

class QButtonGroup;
class QCheckBox;
class QSlider;

namespace trimlet {

class UpDown;

class ConsoleBinding {
public:
    struct Controls {
        UpDown* width;
        UpDown* height;
        UpDown* rate;
        QSlider* quality;
        UpDown* maxKb;
        QButtonGroup* format;  // item ids 0 JPEG, 1 BMP, 2 PNG, 3 WebP, 4 JPEG XL
        QButtonGroup* tail;    // item ids 0 "(1)", 1 "-1"
        QCheckBox* lossless;
    };
    // Takes the controls' values as they stand and follows their changes; connected before
    // any handler of the window, so that a handler already sees the new value.
    explicit ConsoleBinding(const Controls& controls);

    const CutSettings& cut() const { return cut_; }
    const OutputChoice& output() const { return output_; }
    // The checked item of each radio group as the settings file keeps it: -1 for none.
    int formatItem() const { return formatItem_; }
    int tailItem() const { return tailItem_; }

private:
    CutSettings cut_;
    OutputChoice output_;
    int formatItem_ = -1;
    int tailItem_ = -1;
};

// What an item of the format group writes; no item checked (a settings value of -1) writes
// JPEG, as the first item would.
OutputFormat formatOfItem(int item);

}  // namespace trimlet
