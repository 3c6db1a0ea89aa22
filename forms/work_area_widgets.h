#pragma once
// Small widgets of the main window: the picture display, the cut frame and the slot panels.

#include <QColor>
#include <QFrame>
#include <QImage>
#include <QWidget>
#include <functional>

#include "codecs/bitmap.h"
#include "imaging/rotate.h"

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

// The picture as the work area shows it at w × h: reduced by area averages when larger,
// as it is when not; a null image for an empty size.
QImage displayImage(const Bitmap& picture, int w, int h);

// A colour as the kernels take a background.
Rgb toRgb(const QColor& colour);

// Shows a picture stretched to the widget's bounds (the layout pass keeps the aspect).
class PictureView : public MouseReporter {
    Q_OBJECT
public:
    explicit PictureView(QWidget* parent = nullptr);
    void setImage(QImage image);
    const QImage& image() const { return image_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage image_;
    QImage scaled_;  // image_ at the widget's size, made once per size
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
    // Shows a rendering scaled to the slot once, so painting never touches the full picture;
    // an empty bitmap shows the digit again.
    void setPicture(const Bitmap& rendering);
    // Where the picture is drawn, in the panel's coordinates; empty while the slot is empty.
    QRect imageRect() const;
    const QImage& image() const { return image_; }

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

private:
    int number_;
    QImage image_;     // already at the size of imageRect()
    QRect placement_;  // inside the contents rectangle
};

}  // namespace trimlet
