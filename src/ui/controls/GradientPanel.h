// A plain panel whose background is one of the gradient styles; used for banners, bars and
// the About window's strip.
#pragma once

#include <QWidget>

class GradientPanel : public QWidget
{
    Q_OBJECT

public:
    explicit GradientPanel(int lStyle, QWidget* parent = nullptr);

    int GradientStyle() const { return m_style; }
    void setGradientStyle(int lStyle);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_style;
};
