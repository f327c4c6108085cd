// File dialogs over QFileDialog, or a test responder in place of the user.
#include "platform/FileDialog.h"

#include <QFileDialog>

namespace {

FileDialog::Responder& responder()
{
    static FileDialog::Responder r;
    return r;
}

} // namespace

namespace FileDialog {

void SetResponder(Responder r)
{
    responder() = std::move(r);
}

QString OpenFileName(QWidget* parent, const QString& sCaption, const QString& sFilter)
{
    if (responder()) {
        return responder()(Call{false, sCaption, QString(), sFilter});
    }
    return QFileDialog::getOpenFileName(parent, sCaption, QString(), sFilter);
}

QString SaveFileName(QWidget* parent, const QString& sCaption, const QString& sSuggested,
                     const QString& sFilter)
{
    if (responder()) {
        return responder()(Call{true, sCaption, sSuggested, sFilter});
    }
    return QFileDialog::getSaveFileName(parent, sCaption, sSuggested, sFilter, nullptr,
                                        QFileDialog::DontConfirmOverwrite);
}

} // namespace FileDialog
