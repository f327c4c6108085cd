// The About window.
#include "ui/controls/frmAbout.h"

#include "app/FileHelper.h"
#include "app/clsApp.h"
#include "app/modGeneral.h"
#include "app/modSubMain.h"
#include "ui/controls/GradientPanel.h"
#include "ui/controls/modImage.h"
#include "ui/controls/usrHyperlink.h"

#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>
#include <QPushButton>
#include <utility>

namespace {

// The window's client area and the pieces on it, in twips.
constexpr int kClientWidth = 7170;
constexpr int kClientHeight = 5625;
constexpr int kTextLeft = 1005;
constexpr int kGradientStyle = 4;

QFont labelFont()
{
    QFont fnt(QStringLiteral("Verdana"));
    fnt.setPointSizeF(8.25);
    return fnt;
}

} // namespace

frmAbout::frmAbout(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                          Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About KeyCask"));
    setWindowIcon(QIcon(QStringLiteral(":/images/app_icon.svg")));
    setFont(QFont(QStringLiteral("Tahoma")));
    setFixedSize(modGeneral::TwipsToPixelsX(kClientWidth),
                 modGeneral::TwipsToPixelsY(kClientHeight));
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    pal.setColor(QPalette::WindowText, Qt::black);
    setPalette(pal);
    setAutoFillBackground(true);

    picGradient = new GradientPanel(kGradientStyle, this);
    picGradient->setObjectName(QStringLiteral("picGradient"));
    picGradient->setGeometry(0, 0, modGeneral::TwipsToPixelsX(885),
                             modGeneral::TwipsToPixelsY(kClientHeight));

    lblProduct = addLabel(QStringLiteral("KeyCask"), kTextLeft, 180);
    QFont bold = lblProduct->font();
    bold.setBold(true);
    lblProduct->setFont(bold);
    lblProduct->adjustSize();
    lblRelease = addLabel(clsApp::shared().Release(), kTextLeft, 390);
    lblUses = addLabel(QStringLiteral("This product uses:"), kTextLeft, 3015);

    // One link per credit, one below the other, each opening its page in the browser.
    const struct
    {
        usrHyperlink** link;
        const char* name;
        const char16_t* caption;
        const char16_t* address;
        int top;
    } links[] = {
        {&usrBlowfish, "usrBlowfish", u"Blowfish Encryption Algorithm", BLOWFISH_ADDRESS, 3225},
        {&usrQt, "usrQt", u"Qt", QT_ADDRESS, 3450},
        {&usrSQLCipher, "usrSQLCipher", u"SQLCipher", SQLCIPHER_ADDRESS, 3675}};
    for (const auto& entry : links) {
        auto* link = new usrHyperlink(this);
        *entry.link = link;
        link->setObjectName(QString::fromLatin1(entry.name));
        link->setFont(labelFont());
        link->setCaption(QString::fromUtf16(entry.caption));
        link->move(modGeneral::TwipsToPixelsX(kTextLeft), modGeneral::TwipsToPixelsY(entry.top));
        // Tab reaches each credit; Space or Enter opens it.
        link->setFocusPolicy(Qt::TabFocus);
        const QString address = QString::fromUtf16(entry.address);
        connect(link, &usrHyperlink::Click, this,
                [address] { FileHelper::shared().Launch(address, false); });
    }

    imgQuillonSoftware = new QLabel(this);
    imgQuillonSoftware->setObjectName(QStringLiteral("imgQuillonSoftware"));
    imgQuillonSoftware->setGeometry(
        modGeneral::TwipsToPixelsX(2775), modGeneral::TwipsToPixelsY(4965),
        modGeneral::TwipsToPixelsX(2475), modGeneral::TwipsToPixelsY(465));
    imgQuillonSoftware->setPixmap(modImage::SvgPixmap(QStringLiteral(":/images/quillon_logo.svg"),
                                                      imgQuillonSoftware->size()));
    imgQuillonSoftware->setToolTip(QStringLiteral("Quillon Software"));
    imgQuillonSoftware->setAccessibleName(imgQuillonSoftware->toolTip());
    modGeneral::SetHandCursor(imgQuillonSoftware);

    // Beside the logo, last in the Tab order.
    cmdClose = new QPushButton(QStringLiteral("&Close"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    cmdClose->setFont(labelFont());
    cmdClose->setGeometry(modGeneral::TwipsToPixels(5850, 5010, 1080, 375));
    cmdClose->resize(cmdClose->size().expandedTo(cmdClose->sizeHint()));
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::close);
    cmdClose->setFocus();

    // Keys are seen here before the controls get them (F1 wherever the focus is); the same
    // filter takes the logo's clicks.
    installEventFilter(this);
    for (QWidget* child : findChildren<QWidget*>()) {
        child->installEventFilter(this);
    }
}

QLabel* frmAbout::addLabel(const QString& sText, int lLeftTwips, int lTopTwips)
{
    auto* label = new QLabel(sText, this);
    label->setTextFormat(Qt::PlainText);
    label->setFont(labelFont());
    label->move(modGeneral::TwipsToPixelsX(lLeftTwips), modGeneral::TwipsToPixelsY(lTopTwips));
    label->adjustSize();
    return label;
}

bool frmAbout::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_F1) {
        modGeneral::ShowHelpTopic(1);
        return true;
    }
    if (watched == imgQuillonSoftware) {
        if (event->type() == QEvent::MouseButtonPress) {
            m_logoPressed = static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton;
            return true;
        }
        if (event->type() == QEvent::MouseButtonRelease) {
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() == Qt::LeftButton && std::exchange(m_logoPressed, false) &&
                imgQuillonSoftware->rect().contains(mouse->position().toPoint())) {
                FileHelper::shared().Launch(QString::fromUtf16(modGeneral::WEB_HOST), false);
            }
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void frmAbout::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    modGeneral::CenterOnScreen(this);
}

void frmAbout::mousePressEvent(QMouseEvent* event)
{
    // Presses on the labels and the strip come here too; only the bare background counts.
    m_backgroundPressed =
        event->button() == Qt::LeftButton && childAt(event->position().toPoint()) == nullptr;
    QDialog::mousePressEvent(event);
}

void frmAbout::mouseReleaseEvent(QMouseEvent* event)
{
    const bool bClick = event->button() == Qt::LeftButton &&
                        std::exchange(m_backgroundPressed, false) &&
                        rect().contains(event->position().toPoint()) &&
                        childAt(event->position().toPoint()) == nullptr;
    QDialog::mouseReleaseEvent(event);
    if (bClick) {
        close();
    }
}
