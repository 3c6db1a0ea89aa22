#pragma once
// An up-down control bound to an edit, as the console's size and rate inputs need it: the
// control's position is the last valid number, and text that is not a number within the
// range leaves the position alone (the exit handlers repair such text later).

#include <QWidget>

class QAbstractButton;
class QKeyEvent;
class QLineEdit;
class QToolButton;

namespace trimlet {

// True when the key would type text into an edit, as the edit itself decides: a printable
// character without Ctrl. Tab, Esc, Return, Backspace, Delete, Ctrl+A and the arrows type
// nothing, so key filters that drop unwanted characters let them through.
bool typesText(const QKeyEvent& key);
// True when every character of text is one of the ASCII digits 0 to 9 (or, with minus, '-').
bool onlyDigits(const QString& text, bool minus = false);
// The button Enter presses: the focused one, else fallback. Radio buttons are choices, not
// commands: Enter on them is Enter anywhere on the page.
QAbstractButton* buttonForEnter(QWidget* focused, QAbstractButton* fallback);

class UpDown : public QWidget {
    Q_OBJECT
public:
    UpDown(QLineEdit* buddy, int minimum, int maximum, int position, QWidget* parent = nullptr);

    int position() const { return position_; }
    int minimum() const { return minimum_; }
    int maximum() const { return maximum_; }
    QLineEdit* buddy() const { return buddy_; }

    // The number text stands for, pulled into the range; the position when text is no number.
    int valueOf(const QString& text) const;
    // Moves the position within the range and writes it to the edit.
    void setPosition(int position);
    // Changes the range; a position outside it is pulled in without touching the edit's text.
    void setRange(int minimum, int maximum);
    void setMinimum(int minimum) { setRange(minimum, maximum_); }
    // One step up (+1) or down (-1), no wrap-around, as the arrow buttons and keys do.
    void step(int direction);
    // Moves the position as a hand on the control does: setPosition, then stepped().
    void stepTo(int position);

signals:
    void positionChanged(int position);
    // The user moved the position (arrows, keys, wheel); not sent for positions set otherwise.
    void stepped();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void takeBuddyText();
    void storePosition(int position);

    QLineEdit* buddy_;
    QToolButton* up_;
    QToolButton* down_;
    int minimum_;
    int maximum_;
    int position_;
};

}  // namespace trimlet
