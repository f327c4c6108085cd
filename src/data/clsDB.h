// The one database session: a single connection to the data file that runs the record
// classes' SQL statements and reopens itself when closed.
#pragma once

#include "data/modBackup.h"
#include "platform/Recordset.h"
#include "platform/SqlConnection.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

class clsDB
{
public:
    clsDB() = default;
    ~clsDB();
    clsDB(const clsDB&) = delete;
    clsDB& operator=(const clsDB&) = delete;

    // The one shared session, created on first use.
    static clsDB& shared();

    // The full path of the data file.
    QString Database;
    // Opens the data file read-only (for tests of a file the program may not write).
    bool ReadOnly = false;
    // The key the data file is opened with and its key derivation's iterations (0: the
    // default). The built-in database password unless the file is protected by the master
    // password.
    QString Key = DatabasePassword();
    int KdfIter = 0;

    // Opens the connection unless it is open; returns whether it is open afterwards. Errors of
    // the database (missing file, wrong key, not a database, locked) are raised; so is a file
    // that lacks one of the RequiredTables, which is then left closed.
    bool OpenConnection(bool bUseAccess);
    // The same with sRawKey, the raw form of the key that Key and KdfIter derive (see
    // SqlConnection::RawKey), in place of Key: the slow key derivation is spared. Later opens
    // derive the key from Key again.
    bool OpenConnectionWithRawKey(const QString& sRawKey);
    // Runs one statement, opening the connection first if needed. Returns nothing when the
    // connection cannot be opened.
    // A statement that changes the file (INSERT, UPDATE, DELETE, BEGIN …) is a change: see
    // PrepareChange.
    std::unique_ptr<Recordset> Execute(const QString& sSql);
    void CloseConnection();
    // The rows the last change changed.
    int Changes() const;

    // A session is the signed-in user's work on the data file; its first change is preceded by
    // a backup of the file (when backups are kept). Its end forgets the file's state too.
    void BeginSession();
    void EndSession();
    // Runs before every change. A data file that another program replaced since it was opened
    // is reloaded first (OnReloaded), or, when the session cannot use it, refused
    // (OnForeignFile) until SetSessionKey accepts it; then the session's first change makes a
    // backup. Raises ChangeRefused, with the message for the user, when the change must not be
    // made.
    void PrepareChange();
    // Makes a backup now, before a larger change (an import, a restore, a re-encryption), with
    // its reason in its name, whether or not the session has made one yet; a replaced data file
    // is reloaded first. Backups turned off make none, except the copy kept before a restore.
    // When no backup can be made, the user is asked whether to go on without one this time;
    // otherwise ChangeRefused is raised, already told (AppError::Told).
    void BackupBefore(modBackup::Reason eReason);
    // Ends a larger change (BackupBefore) that makes no statement of its own at its end: a later
    // change makes its backup again.
    void EndChange() { m_withoutBackup = false; }
    // What the message on a failed backup adds: the ways to go on.
    static constexpr char16_t BACKUP_WAY_OUT[] =
        u"Free some space or make the Backups folder writable, or set 'Keep 0 backups' in "
        u"Options to save without backups.";
    // The same check without a change: when the window becomes active.
    void CheckForReplacement();
    // Copies the data file into the backup folder now, checks that the copy holds the file's
    // bytes and opens with the session's key, and deletes the copies beyond lKeep (none when it
    // is below 1), never the new one. Raises with the cause.
    QString MakeBackup(int lKeep, modBackup::Reason eReason = modBackup::Reason::Change);
    // Whether a replaced data file waits for the master password that opens it.
    bool Refused() const { return m_refused; }
    // The key that opens the data file from now on (a file replaced by another program, or a
    // restored backup): the file is reopened with it and writes are allowed again.
    void AcceptFile(const QString& sKey, int lKdfIter);
    // After a reload of a replaced file, and when a replaced file cannot be used.
    std::function<void()> OnReloaded;
    std::function<void()> OnForeignFile;
    // Writes a copy of the whole data file under another key (see SqlConnection::ExportTo),
    // opening the connection first if needed.
    void ExportTo(const QString& sPath, const QString& sKey, int lKdfIter);
    bool IsOpen() const { return m_connection && m_connection->IsOpen(); }

    // The key of every data file.
    static QString DatabasePassword();
    // The tables every data file holds.
    static QStringList RequiredTables();

private:
    bool open(const QString& sKey, int lKdfIter);
    // Device, inode, size and time of change of the data file; nothing when it is missing.
    struct FileStamp
    {
        qint64 device = 0, inode = 0, size = 0, modified = 0;
        bool operator==(const FileStamp&) const = default;
    };
    std::optional<FileStamp> stamp() const;
    void reloadIfReplaced();
    // Closes the connection and opens the file now at the path: the session goes on with it
    // (OnReloaded) when it opens with the session's master password, else refuse().
    void reload();
    // Whether the file the connection has open is no longer the file at the path, whose stamp
    // is now.
    bool fileReplacedUnderConnection(const std::optional<FileStamp>& now) const;
    // A write went into a file that another program has replaced: the new file is loaded and
    // the change reported as not saved.
    [[noreturn]] void writeLost();
    [[noreturn]] void refuse();
    void backup(modBackup::Reason eReason, int lKeep);

    std::unique_ptr<SqlConnection> m_connection;
    std::optional<FileStamp> m_stamp;
    QString m_stampPath;
    bool m_session = false;
    bool m_backupMade = false;
    bool m_refused = false;
    // The user chose to save the change under way without a backup, none could be made.
    bool m_withoutBackup = false;
};
