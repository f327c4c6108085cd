// Protection of the data file by the master password: the file's key becomes the master password
// (with a slower key derivation) instead of the built-in database password, and back again.
#pragma once

#include "data/modBackup.h"

#include <QMap>
#include <QString>
#include <QStringList>
#include <functional>

namespace modProtection {

// Rows per table, the count of every table of the file, read through a connection or the session.
template <typename Connection> QMap<QString, qint64> TableRows(Connection& connection)
{
    QStringList tables;
    for (auto rs = connection.Execute(
             QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table'"));
         rs && !rs->EndOfRows(); rs->MoveNext()) {
        tables << rs->FieldAt(0);
    }
    QMap<QString, qint64> rows;
    for (QString table : tables) {
        const QString name = table;
        table.replace(QLatin1Char('"'), QLatin1String("\"\""));
        auto rs = connection.Execute(QStringLiteral("SELECT count(*) FROM \"%1\"").arg(table));
        rows.insert(name, !rs || rs->EndOfRows() ? 0 : rs->FieldAt(0).toLongLong());
    }
    return rows;
}

// Iterations of the key derivation of a protected file.
inline constexpr int PROTECTED_KDF_ITER = 256000;

// Whether the file opens with the built-in database password (a separate, read-only look).
bool OpensWithBuiltInPassword(const QString& sPath);
// Whether a file that the session could not open looks protected: it exists, is not empty, is
// not a plain SQLite file and does not open with the built-in password.
bool LooksProtected(const QString& sPath);
// Whether the session works on a protected file.
bool SessionProtected();

// Points the session at the file with a typed password as its key; true when it opened. On
// failure the session is left closed with the built-in key.
bool OpenWithPassword(const QString& sPassword);

// The copy of the data file at sPath that is written beside it before it takes the file's place.
QString CopyPath(const QString& sPath);
// Removes what an interrupted re-encryption or restore of the data file at sPath may have left
// beside it: its copy and the copy's journal, by those names only.
void RemoveLeftOverCopy(const QString& sPath);

// Re-encrypts the session's data file under a new key: a copy readable by its owner alone is
// written beside it, checked to open and to hold every row, then put in the file's place in one
// rename; the session goes on with the new key. The key is derived once. bBeforeReplace, when
// given, may write into the copy (its path is passed) with the session pointed at it. A backup
// (of eReason) is made first; afterwards every backup is brought to the new key and the shared
// master record's password (modBackup::BringAlong). Any failure raises an error with the cause,
// removes the copy and leaves the file, its key and the session as they were. Gives how many
// backups could not be brought along and were removed.
int Reencrypt(const QString& sNewKey, int lNewKdfIter,
              const std::function<void(const QString&)>& bBeforeReplace = {},
              modBackup::Reason eReason = modBackup::Reason::Protect);
// Protects the session's file with the master password, or returns it to the built-in password.
int Protect(const QString& sMasterPassword);
int Unprotect();
// Changes the master password of a protected file: the new master row is written into the copy
// keyed with the new password before it replaces the file. The shared master record must
// already hold the new password. Raises on failure, with everything as it was.
int ChangeMasterPassword(const QString& sNewPassword);

// Takes the data file that another program put in the session's place when sPassword is its
// master password: the file is opened with the key that password gives it, the session goes on
// with that key and the file's master row. False, with the session unchanged, otherwise.
bool AcceptReplacedFile(const QString& sPassword);

// Puts a checked copy in the file's place in one rename that lasts through a power cut: the file
// is either the old one or the new one. Raises when the rename fails.
void ReplaceWithCopy(const QString& sCopy, const QString& sPath);
// The salt at the start of a file of the version 3 format, over which its key is derived.
QByteArray FileSalt(const QString& sPath);
// Makes the renames in a folder last through a power cut.
void SyncFolder(const QString& sFolder);

// The steps of a re-encryption once its copy is written: the copy opened as the session, and
// the copy about to replace the file. Tests install a hook that may fail a step or change the
// copy; none is installed otherwise.
enum class Step { CopyOpened, Replacing };
void SetStepHook(std::function<void(Step)> hook);

} // namespace modProtection
