#pragma once
// Small widgets of the main window: the picture display, the cut frame and the slot panels.

#include <QColor>
#include <QFrame>
#include <QImage>
#include <QWidget>
#include <QtGlobal>
#include <functional>

#include "codecs/bitmap.h"
#include "imaging/rotate.h"

class QPainter;

namespace trimlet {

// A widget that hands its mouse events to the window's handlers.
class MouseReporter : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;

signals:
    void mousePressed(QMouseEvent* event);
    void mouseMoved(QMouseEvent* event);
    void mouseReleased(QMouseEvent* event);

protected:
    void mousePressEvent(QMouseEvent* event) override { emit mousePressed(event); }
    void mouseMoveEvent(QMouseEvent* event) override { emit mouseMoved(event); }
    void mouseReleaseEvent(QMouseEvent* event) override { emit mouseReleased(event); }
};

// The picture as the work area shows it on exactly w × h device pixels: area averages along a
// side that shrinks, whole-pixel blocks along one that grows, so one picture pixel on 1.5 or 2
// screen pixels stays sharp; a null image for an empty size or picture. Throws
// std::bad_alloc when memory is short.
QImage displayImage(const Bitmap& picture, int w, int h);

// The screen pixels that a logical extent takes at a device pixel ratio: enough for every
// pixel a widget of that extent covers wherever it stands, as a fractional ratio puts its
// edges between pixels (3 logical pixels at 1.25 cover 4 device pixels from x = 1, 3 from x = 2).
int deviceExtent(int logical, qreal ratio);
QSize deviceSize(const QSize& logical, qreal ratio);

// Turns p, freshly begun on a widget, to device pixels: one unit is one screen pixel and
// (0, 0) the pixel that the area's top-left (in widget coordinates) falls in, so lines and
// images land on whole pixels at every ratio. Returns the area's extent in those pixels.
QSize paintInDevicePixels(QPainter& p, const QRect& area);

// A move to a screen of another pixel ratio, or a change of the screen's own ratio.
bool changesPixelRatio(const QEvent& event);

// A colour as the kernels take a background.
Rgb toRgb(const QColor& colour);

// Shows a picture over the widget's bounds (the layout pass keeps the aspect), pixel for
// pixel on the screen at any device pixel ratio.
class PictureView : public MouseReporter {
    Q_OBJECT
public:
    // Makes the picture at a size in device pixels; may throw std::bad_alloc.
    using Render = std::function<QImage(const QSize& deviceSize)>;

    explicit PictureView(QWidget* parent = nullptr);
    // A rendering of the picture, best made at deviceSize() of the view's coming geometry; one
    // of another size is rendered anew, or resampled while there is no render function.
    void setImage(QImage image);
    // How to render the picture anew once the view's size or its screen's pixel ratio changes.
    void setRender(Render render) { render_ = std::move(render); }
    // The picture as last given or rendered.
    const QImage& image() const { return source_; }
    // What covers the view: the picture at deviceSize(), made once per size and ratio. Throws
    // std::bad_alloc when memory is short.
    const QImage& rendering() const;
    QSize deviceSize() const { return trimlet::deviceSize(size(), devicePixelRatioF()); }

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    // Replaced by a new rendering as soon as one is made, so only one is kept.
    mutable QImage source_;
    Render render_;
    mutable QImage shown_;
    qint64 tracedKey_ = 0;  // the rendering whose first paint was traced
};

// A rectangle outline that stays visible on any picture.
class FrameShape : public MouseReporter {
    Q_OBJECT
public:
    explicit FrameShape(QWidget* parent = nullptr);
    // With a hatch the shape is guide lines over its whole area instead of an outline.
    void setHatch(Qt::BrushStyle hatch);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Qt::BrushStyle hatch_ = Qt::NoBrush;
};

// A temporary slot: its digit in grey while empty, else its picture fitted and centred. Drags
// over it are decided by its owner through the two hooks.
class SlotPanel : public QFrame {
    Q_OBJECT
public:
    SlotPanel(int number, QWidget* parent = nullptr);
    int number() const { return number_; }
    // Shows a rendering scaled to the slot's device pixels once, so painting never touches the
    // full picture; an empty bitmap shows the digit again.
    void setPicture(const Bitmap& rendering);
    // Where the picture is drawn, in the panel's coordinates; empty while the slot is empty.
    QRect imageRect() const;
    // The picture as drawn, in device pixels.
    const QImage& image() const { return image_; }

    // The slot's picture, to render it again when the screen's pixel ratio changes.
    std::function<const Bitmap&()> source;

    std::function<bool(QObject* source)> acceptsDrag;
    std::function<void(QObject* source)> dropped;

signals:
    void mousePressed(QMouseEvent* event);
    void mouseReleased(QMouseEvent* event);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override { emit mousePressed(event); }
    void mouseReleaseEvent(QMouseEvent* event) override { emit mouseReleased(event); }
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool event(QEvent* event) override;

private:
    void render(const Bitmap& rendering);

    int number_;
    QImage image_;     // already at the device size of imageRect()
    QRect placement_;  // inside the contents rectangle
};

}  // namespace trimlet
