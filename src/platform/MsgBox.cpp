// Message boxes over QMessageBox with classic flags, or a test responder in place of the user.
#include "platform/MsgBox.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>

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
    switch (lFlags & 0x70) {
    case vbCritical:
        box.setIcon(QMessageBox::Critical);
        break;
    case vbQuestion:
        box.setIcon(QMessageBox::Question);
        break;
    case vbExclamation:
        box.setIcon(QMessageBox::Warning);
        break;
    case vbInformation:
        box.setIcon(QMessageBox::Information);
        break;
    default:
        break;
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
