// Message boxes over QMessageBox with classic flags, or a test responder in place of the user.
#include "platform/MsgBox.h"

#include <QApplication>
#include <QIcon>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QStyle>

namespace {

MsgBox::Responder& responder()
{
    static MsgBox::Responder r;
    return r;
}

} // namespace

namespace MsgBox {

QString AppTitle()
{
    return QStringLiteral("KeyCask");
}

void SetResponder(Responder r)
{
    responder() = std::move(r);
}

int Show(const QString& sPrompt, int lFlags, const QString& sTitle, QWidget* parent,
         const QStringList& captions)
{
    const QString title = sTitle.isEmpty() ? AppTitle() : sTitle;
    if (responder()) {
        return responder()(Call{sPrompt, lFlags, title, captions});
    }

    QMessageBox box(parent ? parent : QApplication::activeWindow());
    box.setWindowTitle(title);
    box.setText(sPrompt);
    QString image;
    switch (lFlags & 0x70) {
    case vbCritical:
        box.setIcon(QMessageBox::Critical);
        image = QStringLiteral("critical");
        break;
    case vbQuestion:
        box.setIcon(QMessageBox::Question);
        image = QStringLiteral("question");
        break;
    case vbExclamation:
        box.setIcon(QMessageBox::Warning);
        image = QStringLiteral("warning");
        break;
    case vbInformation:
        box.setIcon(QMessageBox::Information);
        image = QStringLiteral("information");
        break;
    default:
        break;
    }
    if (!image.isEmpty()) {
        // The style's signs are small bitmaps, blurred when scaled: the sign is drawn from its
        // SVG at the screen's pixel density instead. The box keeps its kind of icon, which a
        // screen reader announces.
        const int side = box.style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, &box);
        const QPixmap sign = QIcon(QStringLiteral(":/images/msg_%1.svg").arg(image))
                                 .pixmap(QSize(side, side), qApp ? qApp->devicePixelRatio() : 1.0);
        if (auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgboxex_icon_label"))) {
            label->setPixmap(sign);
        } else {
            box.setIconPixmap(sign);
        }
    }
    switch (lFlags & 0x0F) {
    case vbOKCancel:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        break;
    case vbYesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    case vbYesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        break;
    default:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    }
    const QMessageBox::StandardButton order[] = {QMessageBox::Ok, QMessageBox::Yes, QMessageBox::No,
                                                 QMessageBox::Cancel};
    qsizetype next = 0;
    for (QMessageBox::StandardButton standard : order) {
        if (QAbstractButton* button = box.button(standard); button && next < captions.size()) {
            button->setText(captions[next++]);
        }
    }
    // The style's button pictures are small bitmaps too, blurred on a dense screen; the captions
    // say it all.
    for (QAbstractButton* button : box.buttons()) {
        button->setIcon(QIcon());
    }
    if (lFlags & vbDefaultButton2) {
        box.setDefaultButton((lFlags & 0x0F) == vbOKCancel ? QMessageBox::Cancel : QMessageBox::No);
    }
    if ((lFlags & vbDefaultButton3) && (lFlags & 0x0F) == vbYesNoCancel) {
        box.setDefaultButton(QMessageBox::Cancel);
    }
    switch (box.exec()) {
    case QMessageBox::Yes:
        return vbYes;
    case QMessageBox::No:
        return vbNo;
    case QMessageBox::Ok:
        return vbOK;
    default:
        // Closing a box that has a Cancel button counts as Cancel; otherwise as OK.
        return (lFlags & 0x0F) == vbOKOnly ? vbOK : vbCancel;
    }
}

} // namespace MsgBox
