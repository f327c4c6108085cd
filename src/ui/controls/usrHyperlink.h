// The program's link control: a caption that underlines and shows a hand pointer while the
// mouse is over it, with an optional icon beside it, raising Click when either is clicked.
#pragma once

#include <QColor>
#include <QFont>
#include <QPixmap>
#include <QString>
#include <QWidget>

class QLabel;

class usrHyperlink : public QWidget
{
    Q_OBJECT

public:
    explicit usrHyperlink(QWidget* parent = nullptr);

    // The two parts: the caption and the icon (hidden while there is no picture).
    QLabel* lbl = nullptr;
    QLabel* imgIcon = nullptr;

    // The underline the caption returns to when the pointer leaves; takes effect then.
    bool AlwaysUnderline() const { return m_alwaysUnderline; }
    void setAlwaysUnderline(bool bValue);

    // True: the control's width follows the caption. False: the caption fills the control
    // below and right of its indents and wraps its words.
    bool Autosize() const { return m_autosize; }
    void setAutosize(bool bValue);

    // Until set, the container's background shows through.
    QColor BackColor() const;
    void setBackColor(const QColor& clrValue);

    QString Caption() const;
    void setCaption(const QString& sCaption);

    // The control's own enabled state (a disabled container does not change it). The caption
    // is drawn in ForeColor while enabled and in the disabled link colour otherwise.
    bool Enabled() const;
    void setEnabled(bool bValue);

    // The caption font; until set, the container's.
    QFont Font() const;
    void setFont(const QFont& fntValue);
    bool FontBold() const { return m_bold; }
    void setFontBold(bool bValue);

    // Setting it shows the colour at once, also on a disabled control.
    QColor ForeColor() const { return m_foreColor; }
    void setForeColor(const QColor& clrValue);

    // Positions of the parts inside the control, in pixels.
    double IndentCaptionLeft() const;
    void setIndentCaptionLeft(double dPixels);
    double IndentCaptionTop() const;
    void setIndentCaptionTop(double dPixels);
    double IndentIconLeft() const;
    void setIndentIconLeft(double dPixels);
    double IndentIconTop() const;
    void setIndentIconTop(double dPixels);

    QPixmap Picture() const { return m_picture; }
    void setPicture(const QPixmap& picValue);

    // The caption's tool tip; the icon gets it too only if it has a picture at the time.
    QString ToolTip() const { return m_toolTip; }
    void setToolTip(const QString& sToolTip);

    QSize sizeHint() const override;

Q_SIGNALS:
    // A left-button press and release over the same part (caption or icon).
    void Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    // A link that takes the focus (its focus policy) shows it underlined and raises Click on
    // Space or Enter, as a click would.
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void setUnderlined(bool bValue);
    void applyCaptionFont();
    void applyCaptionColour();
    void showCaptionColour(const QColor& clrValue);
    void captionChanged();
    void fillWithCaption();
    void placeParts();
    QWidget* partAt(const QPoint& posInControl) const;

    bool m_alwaysUnderline = false;
    bool m_autosize = true;
    bool m_bold = false;
    bool m_underlined = false;
    QColor m_foreColor;
    QPixmap m_picture;
    QString m_toolTip;
    // The indents in twips, as the parts hold them.
    double m_captionLeft = 0;
    double m_captionTop = 0;
    double m_iconLeft = 0;
    double m_iconTop = 0;
    // The part a left press started on, until its release.
    QWidget* m_pressedPart = nullptr;
};
