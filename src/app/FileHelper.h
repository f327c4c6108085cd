// Writes a text file piece by piece and opens documents, folders and web addresses with the
// program the system associates with them.
#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>

class QFile;
class QFileDevice;
class QUrl;

class FileHelper
{
public:
    FileHelper();
    ~FileHelper();
    FileHelper(const FileHelper&) = delete;
    FileHelper& operator=(const FileHelper&) = delete;

    // The instance shared by the windows and the help procedure, created on first use.
    static FileHelper& shared();

    // Creates a new file, readable and writable by its owner only, and keeps it open for
    // writing. An existing file or link of that name is left alone: the file takes the next free
    // name, "_2", "_3" and so on before the extension. The mode number is accepted for its
    // callers and has no further meaning.
    void OpenFile(const QString& sPath, int lMode);
    // Appends the text in Windows-1252; a first number of 1 ends the piece with CR LF.
    void WriteText(const QString& sText, int lLineEnd, int lReserved);
    // Completes the file on disk: every byte written reached it (see CompleteWrite). A file that
    // fails or is never completed is removed again.
    void CloseFile();
    // Opens the target with its associated program and returns at once. An empty target opens
    // the file last opened by this instance. Returns whether the system accepted it.
    bool Launch(const QString& sTarget, bool bWait);

    // The address Launch hands to the system for a target.
    QUrl TargetUrl(const QString& sTarget) const;

    // Replaces the system's opener (tests record the targets instead of opening them). An
    // empty function restores the system's opener.
    using LaunchHook = std::function<bool(const QUrl&)>;
    static void SetLaunchHook(LaunchHook hook);

    // Writes the bytes to the open file. Gives the reason for the user when they are not all
    // taken, else empty text.
    static QString Write(QFileDevice& file, const QByteArray& abBytes);
    // Makes sure that the lBytes written to the open file are all in it and on the disk: writes
    // out what is still buffered, compares the file's size with lBytes and has the system store
    // it. Gives the reason for the user when a step fails (a full disk shows here), else empty
    // text. Every file KeyCask writes passes this before it is closed or committed.
    static QString CompleteWrite(QFileDevice& file, qint64 lBytes);

private:
    // Closes and removes the file being written, if any.
    void discard();

    std::unique_ptr<QFile> m_file;
    QString m_lastPath;
    // The bytes written to m_file.
    qint64 m_written = 0;
};
