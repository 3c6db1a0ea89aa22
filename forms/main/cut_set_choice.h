#pragma once
// The cut set on the title line of 切り出しサイズ: none, この画面すべて (every connected screen's
// size), or a set or span stored under [sets], edited in the sets dialog. While one is chosen,
// the frame's region is the main piece's and every other piece is cut around it; a span also
// sizes the frame, to its layout's proportions.

#include <QObject>
#include <QString>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "codecs/jpeg_lossless.h"
#include "document/cut_set.h"
#include "document/piece.h"
#include "document/work_values.h"

class QMenu;
class QToolButton;
class QWidget;

namespace trimlet {

class CutSetChoice : public QObject {
    Q_OBJECT
public:
    struct Work {
        std::function<const std::string&()> settingsPath;
        std::function<std::vector<SpanScreen>()> screens;  // the desktop's, in device pixels
        std::function<void(int width, int height)> setCutSize;
    };
    explicit CutSetChoice(QWidget* parent);
    // What the choice works with; given once the window that owns it has its settings file.
    void setWork(Work work) { work_ = std::move(work); }

    // btnCutSet, which opens the menu of sets.
    QToolButton* button() const { return button_; }

    // The set chosen, as it stands now (この画面すべて with the screens of now); none for none.
    const std::optional<CutSet>& chosen() const { return chosen_; }
    // Chooses the stored set of that name, この画面すべて, or none for an empty name; false when
    // there is no such set.
    bool choose(const QString& name);
    // Opens the sets dialog and stores what it gives.
    void edit();

    // The cut the frame is sized by on a pw × ph picture: the console's own, or a span's region
    // at the rate 100.
    CutSettings framingCut(int pw, int ph, const CutSettings& console, bool fit) const;

    // Every piece of the chosen set for the frame's piece main, the main piece first: the
    // console's size for a set (then the set's other sizes), the screens in order for a span.
    // With a grid, the pieces' regions are put on it.
    std::vector<SetPiece> pieces(const PieceRequest& main, const CutSettings& console, bool fit,
                                 const std::optional<LosslessGrid>& grid) const;
    // The framing in trimlet-cli's terms ("--cut-set 1920x1080,1080x2400@fit:120,40" or
    // "--span …@100:0,12 --bezel 10"); empty for no set or the whole picture.
    QString command(const PieceRequest& main, const CutSettings& console, bool fit) const;

signals:
    // Another set, or the chosen set edited: the frame is laid out anew.
    void changed();

private:
    void fillMenu();
    void setChosen(std::optional<CutSet> set);
    // The sizes of the pieces of a set: the console's first, then the others in the set's order.
    std::vector<PieceSize> sizesWith(const CutSettings& console) const;

    Work work_;
    QToolButton* button_;
    QMenu* menu_;
    std::optional<CutSet> chosen_;
    std::optional<SpanLayout> layout_;  // of a chosen span
};

// The built-in set's name.
QString thisScreenSetName();

}  // namespace trimlet
