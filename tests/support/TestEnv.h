// A private world for one test: its own application folder with a fresh data file, settings in
// a temporary folder, message boxes answered and recorded, launches recorded instead of run.
#pragma once

#include "platform/FileDialog.h"
#include "platform/MsgBox.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>
#include <functional>

class QWidget;

class TestEnv
{
public:
    // Creates the world; with bCreateDataFile the data file exists and the session is open.
    explicit TestEnv(bool bCreateDataFile = true);
    ~TestEnv();
    TestEnv(const TestEnv&) = delete;
    TestEnv& operator=(const TestEnv&) = delete;

    QString AppFolder() const;
    QString DataFilePath() const;

    // Every message shown, in order.
    QList<MsgBox::Call> messages;
    // The answer given to the next messages (OK by default).
    std::function<int(const MsgBox::Call&)> answer;
    // Every file dialog asked for, in order, and the file chosen in each (empty: cancelled).
    QList<FileDialog::Call> fileRequests;
    QString chosenFile;
    // Every launched address, in order.
    QList<QUrl> launches;

    // Runs one SQL statement directly on the data file (outside the program's session).
    void RawExecute(const QString& sSql) const;
    // The text of the first column of the first row of a query, run directly on the data file.
    QString RawScalar(const QString& sSql) const;
    // Reopens the program's session read-only (the program may not write the file).
    void ReopenReadOnly();

    // Stores an entry through the record classes; gives the new identifier.
    static QString AddPassword(const QString& sTitle, const QString& sUser,
                               const QString& sPassword, const QString& sSite = QString(),
                               const QString& sNotes = QString());
    static QString AddFolder(const QString& sName, const QString& sPath,
                             const QString& sNotes = QString());

    // The names a screen reader says for the controls that Tab visits, from the first one (which
    // takes the focus) until the focus comes back to it; the window must be active.
    static QStringList TabNames(QWidget* first);
    // What a screen reader makes of each image of a window, in the order they were made: its
    // name, "(silent)" when it is not announced, "(unnamed)" when it is announced without a name.
    static QStringList ImageNames(const QWidget* window);

private:
    QTemporaryDir m_dir;
};
