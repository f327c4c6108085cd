// The entry editors' shared window and banner.
#include "ui/dialogs/modEditor.h"

#include "app/modGeneral.h"
#include "platform/MsgBox.h"
#include "ui/controls/GradientPanel.h"
#include "ui/controls/modAccessibility.h"
#include "ui/controls/modImage.h"

#include <QDialog>
#include <QFontMetrics>
#include <QIcon>
#include <QLabel>

namespace modEditor {

Banner SetUpWindow(QDialog* frm, const QString& sName, const QString& sBannerImage,
                   int lClientWidth, int lClientHeight, int lBannerHeight)
{
    using modGeneral::TwipsToPixels;
    frm->setObjectName(sName);
    frm->setWindowIcon(QIcon(QStringLiteral(":/images/app_icon.svg")));
    QFont font(QStringLiteral("Verdana"));
    font.setPointSizeF(8.25);
    frm->setFont(font);
    frm->setFixedSize(modGeneral::TwipsToPixelsX(lClientWidth),
                      modGeneral::TwipsToPixelsY(lClientHeight));
    QPalette pal = frm->palette();
    pal.setColor(QPalette::Window, QColor(244, 244, 244));
    frm->setPalette(pal);
    frm->setAutoFillBackground(true);

    Banner banner;
    banner.picTop = new GradientPanel(1, frm);
    banner.picTop->setObjectName(QStringLiteral("picTop"));
    banner.picTop->setGeometry(TwipsToPixels(0, 0, lClientWidth, lBannerHeight));
    banner.imgTop = new QLabel(banner.picTop);
    banner.imgTop->setObjectName(QStringLiteral("imgTop"));
    banner.imgTop->setGeometry(TwipsToPixels(150, 60, 480, 480));
    banner.imgTop->setPixmap(modImage::SvgPixmap(sBannerImage, banner.imgTop->size()));
    // A press on the pictures is a press on the banner (which may move the window).
    banner.imgTop->setAttribute(Qt::WA_TransparentForMouseEvents);
    modAccessibility::SetDecorative(banner.imgTop);

    QLabel* title = new QLabel(banner.picTop);
    title->setObjectName(QStringLiteral("lblTop"));
    // The entry's name is shown as typed, never read as formatting.
    title->setTextFormat(Qt::PlainText);
    QFont bannerFont(QStringLiteral("Verdana"));
    bannerFont.setPointSize(9);
    bannerFont.setBold(true);
    title->setFont(bannerFont);
    QPalette bannerPal = title->palette();
    bannerPal.setColor(QPalette::WindowText, Qt::white);
    title->setPalette(bannerPal);
    title->setGeometry(modGeneral::TwipsToPixelsX(750), modGeneral::TwipsToPixelsY(195),
                       modGeneral::TwipsToPixelsX(lClientWidth - 750 - 150),
                       QFontMetrics(bannerFont).height());
    banner.lblTop = title;

    banner.imgDropShadow = new QLabel(frm);
    banner.imgDropShadow->setObjectName(QStringLiteral("imgDropShadow"));
    banner.imgDropShadow->setGeometry(TwipsToPixels(0, lBannerHeight, lClientWidth, 105));
    banner.imgDropShadow->setScaledContents(true);
    banner.imgDropShadow->setPixmap(modImage::SvgPixmap(QStringLiteral(":/images/drop_shadow.svg"),
                                                        banner.imgDropShadow->size()));
    banner.imgDropShadow->setAttribute(Qt::WA_TransparentForMouseEvents);
    modAccessibility::SetDecorative(banner.imgDropShadow);
    return banner;
}

CloseAnswer AskSaveChanges(QDialog* frm, const std::function<bool()>& save)
{
    switch (MsgBox::Show(QStringLiteral("Save Changes?"),
                         MsgBox::vbYesNoCancel | MsgBox::vbQuestion, QString(), frm)) {
    case MsgBox::vbYes:
        return save() ? CloseAnswer::Saved : CloseAnswer::Stay;
    case MsgBox::vbNo:
        return CloseAnswer::Discard;
    default:
        return CloseAnswer::Stay;
    }
}

} // namespace modEditor
