#include "forms/widgets/up_down.h"

#include <QAbstractButton>
#include <QKeyEvent>
#include <QLineEdit>
#include <QRadioButton>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <limits>

namespace trimlet {

bool typesText(const QKeyEvent& key)
{
    const QString text = key.text();
    if (text.isEmpty() || text[0].category() == QChar::Other_Control)
        return false;
    const Qt::KeyboardModifiers mods = key.modifiers() & ~Qt::KeypadModifier;
    return mods != Qt::ControlModifier && mods != (Qt::ControlModifier | Qt::ShiftModifier);
}

bool onlyDigits(const QString& text, bool minus)
{
    return std::all_of(text.begin(), text.end(),
                       [minus](QChar c) { return (c >= u'0' && c <= u'9') || (minus && c == u'-'); });
}

UpDown::UpDown(QLineEdit* buddy, int minimum, int maximum, int position, QWidget* parent)
    : QWidget(parent), buddy_(buddy), minimum_(minimum), maximum_(maximum), position_(position)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    up_ = new QToolButton(this);
    down_ = new QToolButton(this);
    up_->setArrowType(Qt::UpArrow);
    down_->setArrowType(Qt::DownArrow);
    for (QToolButton* b : {up_, down_}) {
        b->setAutoRepeat(true);
        b->setFocusPolicy(Qt::NoFocus);
        b->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
        b->setFixedWidth(16);
        layout->addWidget(b);
    }
    connect(up_, &QToolButton::clicked, this, [this] { step(+1); });
    connect(down_, &QToolButton::clicked, this, [this] { step(-1); });
    connect(buddy_, &QLineEdit::textChanged, this, &UpDown::takeBuddyText);
    buddy_->installEventFilter(this);
    buddy_->setText(QString::number(position_));
}

void UpDown::storePosition(int position)
{
    if (position == position_)
        return;
    position_ = position;
    emit positionChanged(position_);
}

void UpDown::takeBuddyText()
{
    bool ok = false;
    const int value = buddy_->text().trimmed().toInt(&ok);
    // The position is a 16-bit value; anything outside the range is not a position.
    if (ok && value >= minimum_ && value <= maximum_ && value >= std::numeric_limits<short>::min() &&
        value <= std::numeric_limits<short>::max())
        storePosition(value);
}

int UpDown::valueOf(const QString& text) const
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    return std::min(std::max(ok ? value : position_, minimum_), maximum_);
}

void UpDown::setPosition(int position)
{
    position = std::clamp(position, minimum_, maximum_);
    storePosition(position);
    buddy_->setText(QString::number(position_));
}

void UpDown::setRange(int minimum, int maximum)
{
    minimum_ = minimum;
    maximum_ = std::max(minimum, maximum);
    storePosition(std::clamp(position_, minimum_, maximum_));
}

void UpDown::step(int direction)
{
    // Like the platform control, a valid number typed into the edit is where the step starts.
    takeBuddyText();
    stepTo(position_ + direction);
}

void UpDown::stepTo(int position)
{
    setPosition(position);
    emit stepped();
}

bool UpDown::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == buddy_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            step(key == Qt::Key_Up ? +1 : -1);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

QAbstractButton* buttonForEnter(QWidget* focused, QAbstractButton* fallback)
{
    auto* button = qobject_cast<QAbstractButton*>(focused);
    return button && !qobject_cast<QRadioButton*>(button) ? button : fallback;
}

}  // namespace trimlet
