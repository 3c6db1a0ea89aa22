#pragma once
// Pieces of the full cut size: the 自動 box beside 縮小率, which gives every picture the layout
// pass lays out its fit rate until the rate is set by hand, and the status line's account of a
// piece that still comes out smaller than the cut size.

#include <QObject>
#include <QString>

#include "document/piece.h"
#include "document/work_values.h"

class QCheckBox;
class QLineEdit;

namespace trimlet {

class ConsoleBinding;
class UpDown;

class FitRate : public QObject {
    Q_OBJECT
public:
    struct Controls {
        QCheckBox* fit;                 // chkFit
        UpDown* rate;                   // udPower
        QLineEdit* rateEdit;            // edtPower
        const ConsoleBinding* console;  // the cut size
    };
    // Follows the box, and unchecks it when the rate is typed, stepped or wheeled.
    explicit FitRate(const Controls& controls);

    bool isOn() const;
    void setOn(bool on);
    // The pw × ph picture the layout pass lays out, before it places the frame: it gets the fit
    // rate while the box is checked, and when the box is checked later.
    void follow(int pw, int ph);

private:
    void apply();

    Controls c_;
    int pw_ = 0;
    int ph_ = 0;
};

// How the status line names a cut of piece, which made `made` for the console's cut: in
// trimlet-cli's terms ("--cut 240x320@75:120,40"; nothing for the whole picture), then the size
// made when it is smaller than the cut size ("、実サイズ 160 × 320").
QString cutReport(const PieceRequest& piece, const CutSettings& cut, const Picture& made);

}  // namespace trimlet
