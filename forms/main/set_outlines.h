#pragma once
// The outlines of a set's other pieces over the work area's picture: each piece's region as a
// thin dashed line with its size, orange where the region had to leave the frame's centre to
// stay inside the picture; for a span, each screen's part inside the frame.

#include <QString>
#include <QWidget>
#include <vector>

#include "document/cut_set.h"
#include "imaging/cut_geometry.h"

namespace trimlet {

class SetOutlines : public QWidget {
    Q_OBJECT
public:
    explicit SetOutlines(QWidget* parent);

    // The pieces over the picture, shown at display as pw × ph pixels, the first (the frame's own) left
    // out for a set; none hides the outlines.
    void show(const IntRect& display, int pw, int ph, const std::vector<SetPiece>& pieces, bool span);

    struct Outline {
        QRectF rect;  // in the widget's coordinates
        QString caption;
        bool moved = false;
    };
    const std::vector<Outline>& outlines() const { return outlines_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::vector<Outline> outlines_;
};

}  // namespace trimlet
