#pragma once
// The application's style with a focus mark that can be seen: the base style's is faint (a
// focused slider looks like any other), and a key then lands where the user does not expect.

#include <QProxyStyle>

namespace trimlet {

class FocusStyle : public QProxyStyle {
public:
    // Over the style the application would use otherwise (named by its key).
    explicit FocusStyle(const QString& baseKey);

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget = nullptr) const override;
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget = nullptr) const override;
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                            const QWidget* widget = nullptr) const override;
};

}  // namespace trimlet
