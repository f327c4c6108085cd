// The program's link control: caption and icon, hover underline, hand pointer and Click.
#include "ui/controls/usrHyperlink.h"

#include "app/modGeneral.h"
#include "app/modSubMain.h"
#include "ui/controls/clsColor.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPalette>
#include <utility>

namespace {

int toPixelsX(double dTwips)
{
    return qRound(dTwips / modSubMain::ScreenTwipsPerPixelX);
}

int toPixelsY(double dTwips)
{
    return qRound(dTwips / modSubMain::ScreenTwipsPerPixelY);
}

} // namespace

usrHyperlink::usrHyperlink(QWidget* parent)
    : QWidget(parent), m_foreColor(clsColor::shared().Hyperlink())
{
    // The icon first, so that the caption lies above it where the two overlap.
    imgIcon = new QLabel(this);
    imgIcon->setObjectName(QStringLiteral("imgIcon"));
    imgIcon->hide();
    lbl = new QLabel(QStringLiteral("set_caption"), this);
    lbl->setObjectName(QStringLiteral("lbl"));
    lbl->setTextFormat(Qt::PlainText);
    lbl->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    for (QLabel* part : {lbl, imgIcon}) {
        part->setMouseTracking(true);
        part->installEventFilter(this);
        modGeneral::SetHandCursor(part);
    }

    applyCaptionFont();
    applyCaptionColour();
    lbl->adjustSize();
    resize(lbl->size());
}

void usrHyperlink::setAlwaysUnderline(bool bValue)
{
    m_alwaysUnderline = bValue;
}

void usrHyperlink::setAutosize(bool bValue)
{
    m_autosize = bValue;
    lbl->setWordWrap(!bValue);
    if (bValue) {
        captionChanged();
    } else {
        fillWithCaption();
    }
}

QColor usrHyperlink::BackColor() const
{
    return palette().color(QPalette::Window);
}

void usrHyperlink::setBackColor(const QColor& clrValue)
{
    QPalette pal = palette();
    pal.setColor(QPalette::Window, clrValue);
    setPalette(pal);
    setAutoFillBackground(true);
}

QString usrHyperlink::Caption() const
{
    return lbl->text();
}

void usrHyperlink::setCaption(const QString& sCaption)
{
    lbl->setText(sCaption);
    captionChanged();
}

bool usrHyperlink::Enabled() const
{
    return !testAttribute(Qt::WA_ForceDisabled);
}

void usrHyperlink::setEnabled(bool bValue)
{
    QWidget::setEnabled(bValue);
    // Also when the state did not change, so that a colour given while disabled is replaced.
    applyCaptionColour();
}

QFont usrHyperlink::Font() const
{
    QFont fnt = QWidget::font();
    fnt.setBold(m_bold);
    return fnt;
}

void usrHyperlink::setFont(const QFont& fntValue)
{
    m_bold = fntValue.bold();
    QWidget::setFont(fntValue);
    applyCaptionFont();
    captionChanged();
}

void usrHyperlink::setFontBold(bool bValue)
{
    m_bold = bValue;
    applyCaptionFont();
    captionChanged();
}

void usrHyperlink::setForeColor(const QColor& clrValue)
{
    m_foreColor = clrValue;
    showCaptionColour(clrValue);
}

double usrHyperlink::IndentCaptionLeft() const
{
    return m_captionLeft / modSubMain::ScreenTwipsPerPixelX;
}

void usrHyperlink::setIndentCaptionLeft(double dPixels)
{
    m_captionLeft = dPixels * modSubMain::ScreenTwipsPerPixelX;
    placeParts();
    captionChanged();
}

double usrHyperlink::IndentCaptionTop() const
{
    return m_captionTop / modSubMain::ScreenTwipsPerPixelY;
}

void usrHyperlink::setIndentCaptionTop(double dPixels)
{
    m_captionTop = dPixels * modSubMain::ScreenTwipsPerPixelY;
    placeParts();
}

double usrHyperlink::IndentIconLeft() const
{
    return m_iconLeft / modSubMain::ScreenTwipsPerPixelX;
}

void usrHyperlink::setIndentIconLeft(double dPixels)
{
    m_iconLeft = dPixels * modSubMain::ScreenTwipsPerPixelX;
    placeParts();
}

double usrHyperlink::IndentIconTop() const
{
    return m_iconTop / modSubMain::ScreenTwipsPerPixelY;
}

void usrHyperlink::setIndentIconTop(double dPixels)
{
    m_iconTop = dPixels * modSubMain::ScreenTwipsPerPixelY;
    placeParts();
}

void usrHyperlink::setPicture(const QPixmap& picValue)
{
    m_picture = picValue;
    imgIcon->setPixmap(picValue);
    imgIcon->resize(picValue.deviceIndependentSize().toSize());
    imgIcon->setVisible(!picValue.isNull());
    updateGeometry();
}

void usrHyperlink::setToolTip(const QString& sToolTip)
{
    m_toolTip = sToolTip;
    lbl->setToolTip(sToolTip);
    if (!m_picture.isNull()) {
        imgIcon->setToolTip(sToolTip);
    }
}

QSize usrHyperlink::sizeHint() const
{
    if (!m_autosize) {
        return QWidget::sizeHint();
    }
    QRect extent = lbl->geometry();
    if (!imgIcon->isHidden()) {
        extent = extent.united(imgIcon->geometry());
    }
    return QSize(lbl->x() + lbl->width(), extent.bottom() + 1);
}

bool usrHyperlink::eventFilter(QObject* watched, QEvent* event)
{
    if ((watched != lbl && watched != imgIcon) || !isEnabled()) {
        return QWidget::eventFilter(watched, event);
    }
    auto* part = static_cast<QWidget*>(watched);
    switch (event->type()) {
    case QEvent::Enter:
    case QEvent::MouseMove:
        // Either part underlines the caption; the caption shows the hover for the control.
        setUnderlined(true);
        break;
    case QEvent::Leave:
        setUnderlined(m_alwaysUnderline);
        break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        // A double click's second press starts nothing, so it raises no second Click.
        if (event->type() == QEvent::MouseButtonPress && mouse->button() == Qt::LeftButton) {
            m_pressedPart = part;
        }
        mouse->accept();
        return true;
    }
    case QEvent::MouseButtonRelease: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        mouse->accept();
        if (mouse->button() != Qt::LeftButton) {
            return true;
        }
        QWidget* pressed = std::exchange(m_pressedPart, nullptr);
        // The release comes to the part that was pressed; what counts is where it ends.
        const QPoint pos = part->mapTo(this, mouse->position().toPoint());
        if (pressed && partAt(pos) == pressed) {
            setUnderlined(m_alwaysUnderline);
            Q_EMIT Click();
        }
        return true;
    }
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void usrHyperlink::changeEvent(QEvent* event)
{
    switch (event->type()) {
    case QEvent::FontChange:
        // A new font of our own or of the container.
        applyCaptionFont();
        captionChanged();
        break;
    case QEvent::EnabledChange:
        if (!isEnabled()) {
            m_pressedPart = nullptr;
            setUnderlined(m_alwaysUnderline);
        }
        // The colour follows the control's own state; a disabled container leaves it alone.
        applyCaptionColour();
        break;
    default:
        break;
    }
    QWidget::changeEvent(event);
}

void usrHyperlink::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (!m_autosize) {
        fillWithCaption();
    }
}

void usrHyperlink::mousePressEvent(QMouseEvent* event)
{
    // The whole area belongs to the control: a press between or beside the parts goes no
    // further, though it raises nothing.
    event->accept();
}

void usrHyperlink::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
}

void usrHyperlink::keyPressEvent(QKeyEvent* event)
{
    const int key = event->key();
    if (isEnabled() && event->modifiers() == Qt::NoModifier &&
        (key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter)) {
        event->accept();
        Q_EMIT Click();
        return;
    }
    QWidget::keyPressEvent(event);
}

void usrHyperlink::focusInEvent(QFocusEvent* event)
{
    setUnderlined(true);
    QWidget::focusInEvent(event);
}

void usrHyperlink::focusOutEvent(QFocusEvent* event)
{
    setUnderlined(m_alwaysUnderline || underMouse());
    QWidget::focusOutEvent(event);
}

void usrHyperlink::setUnderlined(bool bValue)
{
    if (m_underlined != bValue) {
        m_underlined = bValue;
        applyCaptionFont();
    }
}

void usrHyperlink::applyCaptionFont()
{
    QFont fnt = QWidget::font();
    fnt.setBold(m_bold);
    fnt.setUnderline(m_underlined);
    lbl->setFont(fnt);
}

void usrHyperlink::applyCaptionColour()
{
    showCaptionColour(Enabled() ? m_foreColor : clsColor::shared().HyperlinkDisabled());
}

void usrHyperlink::showCaptionColour(const QColor& clrValue)
{
    // In every colour group, so that a disabled container does not grey the caption.
    QPalette pal = lbl->palette();
    pal.setColor(QPalette::WindowText, clrValue);
    lbl->setPalette(pal);
}

void usrHyperlink::captionChanged()
{
    if (m_autosize) {
        lbl->adjustSize();
        resize(lbl->x() + lbl->width(), height());
    }
    updateGeometry();
    update();
}

void usrHyperlink::fillWithCaption()
{
    lbl->resize(qMax(0, width() - lbl->x()), qMax(0, height() - lbl->y()));
}

void usrHyperlink::placeParts()
{
    lbl->move(toPixelsX(m_captionLeft), toPixelsY(m_captionTop));
    imgIcon->move(toPixelsX(m_iconLeft), toPixelsY(m_iconTop));
    if (!m_autosize) {
        fillWithCaption();
    }
}

QWidget* usrHyperlink::partAt(const QPoint& posInControl) const
{
    QWidget* child = childAt(posInControl);
    if (child == lbl || child == imgIcon) {
        return child;
    }
    return nullptr;
}
