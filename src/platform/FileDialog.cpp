// File dialogs over QFileDialog, or a test responder in place of the user.
#include "platform/FileDialog.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

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

QString OpenFileName(QWidget* parent, const QString& sCaption, const QString& sFilter,
                     const QString& sFolder)
{
    if (responder()) {
        return responder()(Call{false, sCaption, sFolder, sFilter});
    }
    return QFileDialog::getOpenFileName(parent, sCaption, sFolder, sFilter);
}

QString StandardFolder(QStandardPaths::StandardLocation eLocation)
{
    const QString folder = QStandardPaths::writableLocation(eLocation);
    return !folder.isEmpty() && QFileInfo(folder).isDir() ? folder : QDir::homePath();
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
