// Vertical two-colour gradients for banners and bars, painted one pixel row at a time.
#pragma once

#include <QColor>

class QWidget;

namespace modGradient {

// The colour styles, top colour to bottom colour:
// 0 dark grey, 1 blue (banners, the main window's top bar and lock panel), 2 green,
// 3 light grey (the main window's bottom bar), 4 blue to white (the About window's strip).
// Any other number paints as style 0.
inline constexpr int STYLE_COUNT = 5;

// a / b in double precision, or 0 when b is 0.
double SafeDivide(double a, double b);

// The colour of the row at offset pixels below the top of a surface height pixels high. Offset
// 0 gives the start colour and offset == height the end colour; channels are rounded to the
// nearest whole number, halves to the even one.
QColor GradientColor(int lStyle, int lOffset, int lHeight);

// Paints the whole client area of the surface with the style's gradient. Call it from the
// surface's paint event.
void PaintGradient(QWidget* surface, int lStyle);

} // namespace modGradient
