// A panel painted with a gradient style on every paint.
#include "ui/controls/GradientPanel.h"

#include "ui/controls/modGradient.h"

GradientPanel::GradientPanel(int lStyle, QWidget* parent) : QWidget(parent), m_style(lStyle)
{
    // Every pixel is painted, so Qt need not clear the area first.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void GradientPanel::setGradientStyle(int lStyle)
{
    if (lStyle != m_style) {
        m_style = lStyle;
        update();
    }
}

void GradientPanel::paintEvent(QPaintEvent* /*event*/)
{
    modGradient::PaintGradient(this, m_style);
}
