// File dialogs behind two functions, and a responder that tests install to choose the file in
// place of the user.
#pragma once

#include <QStandardPaths>
#include <QString>
#include <functional>

class QWidget;

namespace FileDialog {

// One request for a file name as the program makes it.
struct Call
{
    bool save = false;
    QString caption;
    QString suggested;
    QString filter;
};

using Responder = std::function<QString(const Call&)>;

// The file the user picks to read, or empty text when the dialog is cancelled. The dialog starts
// in sFolder (in the call's suggested), or where the platform's dialog chooses without one.
QString OpenFileName(QWidget* parent, const QString& sCaption, const QString& sFilter,
                     const QString& sFolder = QString());
// The user's folder of that kind when it exists, else the home folder.
QString StandardFolder(QStandardPaths::StandardLocation eLocation);
// The file the user names to write (suggested name first), or empty text when cancelled. The
// dialog does not ask about replacing an existing file: the caller asks, naming every file it
// replaces.
QString SaveFileName(QWidget* parent, const QString& sCaption, const QString& sSuggested,
                     const QString& sFilter);

// Replaces the user: every request goes to the responder instead of a dialog. Pass an empty
// function to show real dialogs again.
void SetResponder(Responder responder);

} // namespace FileDialog
