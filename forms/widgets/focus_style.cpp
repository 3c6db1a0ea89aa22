#include "forms/widgets/focus_style.h"

#include <QPainter>
#include <QStyleOption>

namespace trimlet {

namespace {

// Two pixels of the selection colour, inside the rectangle.
void drawFocusMark(const QStyleOption* option, QPainter* painter, const QRect& around)
{
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, false);
    painter->setBrush(Qt::NoBrush);
    QPen pen(option->palette.color(QPalette::Active, QPalette::Highlight), 2);
    pen.setJoinStyle(Qt::MiterJoin);
    painter->setPen(pen);
    painter->drawRect(QRectF(around).adjusted(1, 1, -1, -1));
    painter->restore();
}

}  // namespace

FocusStyle::FocusStyle(const QString& baseKey) : QProxyStyle(baseKey) {}

void FocusStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                               const QWidget* widget) const
{
    // Buttons, radio buttons and check boxes draw their focus through this; the base style
    // leaves it out after a click, which is how the slider trap began.
    if (element == PE_FrameFocusRect) {
        drawFocusMark(option, painter, option->rect);
        return;
    }
    QProxyStyle::drawPrimitive(element, option, painter, widget);
}

void FocusStyle::drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                             const QWidget* widget) const
{
    QProxyStyle::drawControl(element, option, painter, widget);
    if (element == CE_PushButton && (option->state & State_HasFocus))
        drawFocusMark(option, painter, option->rect);
}

void FocusStyle::drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                                    const QWidget* widget) const
{
    QProxyStyle::drawComplexControl(control, option, painter, widget);
    if (control == CC_Slider && (option->state & State_HasFocus))
        drawFocusMark(option, painter, option->rect);
}

}  // namespace trimlet
