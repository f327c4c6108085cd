// Vertical two-colour gradients for banners and bars.
#include "ui/controls/modGradient.h"

#include <QPainter>
#include <QWidget>
#include <array>
#include <cmath>

namespace {

struct GradientEnds
{
    std::array<int, 3> start;
    std::array<int, 3> end;
};

constexpr std::array<GradientEnds, modGradient::STYLE_COUNT> kStyles = {{
    {{25, 25, 25}, {100, 100, 100}},
    {{41, 89, 169}, {89, 135, 214}},
    {{0, 102, 0}, {98, 200, 98}},
    {{244, 244, 244}, {200, 200, 200}},
    {{89, 135, 214}, {255, 255, 255}},
}};

const GradientEnds& styleEnds(int lStyle)
{
    if (lStyle < 0 || lStyle >= modGradient::STYLE_COUNT) {
        return kStyles[0];
    }
    return kStyles[static_cast<std::size_t>(lStyle)];
}

// Nearest whole number, an exact half going to the even neighbour (2.5 -> 2, 3.5 -> 4).
int roundHalfEven(double dValue)
{
    const double whole = std::floor(dValue);
    const double fraction = dValue - whole;
    double result = whole;
    if (fraction > 0.5) {
        result = whole + 1.0;
    } else if (fraction == 0.5 && std::fmod(whole, 2.0) != 0.0) {
        result = whole + 1.0;
    }
    return static_cast<int>(result);
}

} // namespace

namespace modGradient {

double SafeDivide(double a, double b)
{
    if (b == 0.0) {
        return 0.0;
    }
    return a / b;
}

QColor GradientColor(int lStyle, int lOffset, int lHeight)
{
    const GradientEnds& ends = styleEnds(lStyle);
    // The height over the offset, so that the first row (offset 0) divides by zero and keeps
    // the start colour.
    const double ratio = SafeDivide(lHeight, lOffset);
    std::array<int, 3> channel{};
    for (std::size_t i = 0; i < channel.size(); ++i) {
        channel[i] = roundHalfEven(ends.start[i] + SafeDivide(ends.end[i] - ends.start[i], ratio));
    }
    return QColor(channel[0], channel[1], channel[2]);
}

void PaintGradient(QWidget* surface, int lStyle)
{
    const QRect client = surface->rect();
    const int top = client.top();
    // The row below the last one lies outside the client area; painting it is harmless.
    const int bottom = client.top() + client.height();
    const int height = bottom - top;
    QPainter painter(surface);
    for (int y = top; y <= bottom; ++y) {
        painter.fillRect(QRect(client.left(), y, client.width(), 1),
                         GradientColor(lStyle, y - top, height));
    }
}

} // namespace modGradient
