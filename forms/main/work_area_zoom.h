#pragma once
// The work area's zoom, owned by the main window: the zoom keys, the rendering of only the
// visible picture pixels, the frame widget placed from picture pixels, and scrolling by a left
// drag on the picture. At fit it stands aside and the window's own layout holds.

#include <QImage>
#include <QObject>
#include <QPointF>
#include <optional>
#include <string>

#include "document/zoom_view.h"

class QScrollBar;
class QWidget;

namespace trimlet {

class Bitmap;
class PictureView;
class TfrmMain;

class WorkAreaZoom : public QObject {
    Q_OBJECT

public:
    WorkAreaZoom(TfrmMain& window, PictureView* view, QWidget* frame);

    bool zoomed() const { return percent_ != 0; }
    // Percent of one picture pixel per screen pixel; 0 at fit.
    int percent() const { return percent_; }
    // Where the view stands: the fitted display at fit, else the whole work area. A new
    // picture (another file or size) goes back to fit.
    IntRect viewGeometry(const IntRect& fitted);
    // The rectangle the frame's arithmetic works in: the picture's own while zoomed, so the
    // frame is kept in picture pixels.
    IntRect frameSpace(const IntRect& onScreen) const;
    // Puts the frame widget on r (in frameSpace) and returns the frame as it now stands; while
    // zoomed the view scrolls to keep it in sight.
    IntRect placeFrame(const IntRect& r);
    // A point on the frame widget in the frame's units.
    IntPoint frameUnits(const QPointF& at) const;
    // An arrow key's step in frame units: one screen pixel below 100 %, else one picture pixel.
    int keyStep(int by) const;
    // The picture on device.width() × device.height() screen pixels as the view shows it.
    QImage render(const Bitmap& picture, const QSize& device) const;
    // The picture's whole extent in the window's coordinates, for outlines drawn over it.
    IntRect shownPicture(const IntRect& onScreen) const;

    // 0 for fit; a step at or below fit is fit.
    void zoomTo(int percent);
    void step(int direction);

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    double fitPercent() const;
    IntRect area() const;
    QSize deviceView() const;
    void scrollBy(double dx, double dy);
    void showView();
    // The bars show the zoomed view's scroll in device pixels; moving one scrolls.
    void syncBars();
    void barMoved();

    TfrmMain& window_;
    PictureView* view_;
    QWidget* frame_;
    int percent_ = 0;
    ZoomView zoom_;
    IntRect fitted_;
    std::string shownPath_;
    int shownW_ = 0, shownH_ = 0;
    std::optional<QPointF> scrollFrom_;
    QScrollBar* hbar_;
    QScrollBar* vbar_;
    bool syncing_ = false;
};

}  // namespace trimlet
