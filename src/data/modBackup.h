// Copies of the data file kept in "Backups" beside it: made before a session's first change and
// before every import, restore and re-encryption, the newest few kept, listed for a restore.
#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <functional>

class QFile;
class clsPWD;

namespace modBackup {

// How many copies are kept by default, and at most. None at all turns the copies off.
inline constexpr int DEFAULT_KEEP = 3;
inline constexpr int MAX_KEEP = 20;

// Why a copy was made; part of its name and shown in the restore list.
enum class Reason { Change, Import, Restore, Protect, Unprotect, NewPassword };
// "before a change", "before import", …
QString ReasonText(Reason eReason);

// The clock the copies are named by (UTC); tests install another. An empty function puts the
// system clock back.
void SetClock(std::function<QDateTime()> now);
QDateTime Now();

// The folder of the copies: "Backups" in the data file's folder.
QString Folder(const QString& sDataFile);
// The names KeyCask gives the copies of sDataFileName: "<name>.YYYYMMDDTHHMMSSZ.<reason>.bak"
// in UTC, with "-<n>" after the time when that second already has a copy; and the older
// "<name>.YYYYMMDD-HHMMSS[-<n>].bak" in local time.
bool IsBackupFileName(const QString& sDataFileName, const QString& sName);
// When the copy of that name was made; invalid for other names.
QDateTime MadeAt(const QString& sDataFileName, const QString& sName);
// What the name says the copy was made before; empty for the older names and other names.
QString ReasonOf(const QString& sDataFileName, const QString& sName);

// Copies the data file's bytes as they are, read from its start through dataFile (opened here
// when it is not open yet), into the folder, which is made or kept its owner's alone. The copy
// is written under a temporary name, handed to bCheck (which raises when it is not good), and
// only then renamed to its final name, which is returned: a copy cut off or refused never
// carries a backup's name. It is its owner's alone from the start, never written through a
// link, and on the disk when this returns. Raises with the cause; nothing is left behind.
QString CopyFile(QFile& dataFile, Reason eReason,
                 const std::function<void(const QString&)>& bCheck = {});
// Copies the bytes of source (opened here when it is not open yet) to sTarget, a new file of the
// owner's alone, and flushes it to the disk. Raises with the cause; the target is removed on a
// failure.
void CopyPrivate(QFile& source, const QString& sTarget);
// Reads source again from its start and sCopy, and raises unless they hold the same bytes.
void CompareCopy(QFile& source, const QString& sCopy);
// Deletes the copies of the data file beyond the newest lKeep; a copy dated in the future
// counts as the oldest, sKeep (the copy just made) is never deleted, and other files are left
// alone. lKeep below 1 (backups off) deletes nothing.
void Rotate(const QString& sDataFile, int lKeep, const QString& sKeep = QString());

// Brings every copy of the data file to the data file's key (sNewKey, lNewKdfIter) and, when
// master holds a password, writes master as each copy's master row. Each copy is opened with
// sOldKey (or the built-in key), written anew under a temporary name, checked to open with the
// new key and to hold every row, flushed and renamed over the copy. A copy that cannot be
// brought along is removed. Gives how many were removed.
int BringAlong(const QString& sDataFile, const QString& sOldKey, int lOldKdfIter,
               const QString& sNewKey, int lNewKdfIter, const clsPWD& master);
// The user's message for copies that BringAlong removed; empty for none.
QString RemovedText(int lRemoved);

// Steps of the making of a copy, for tests: the copy written under its temporary name (passed)
// before it is checked.
void SetCopyHook(std::function<void(const QString&)> hook);

struct Entry
{
    QString path;
    QDateTime made;
    // "before import", …; empty when the name does not say.
    QString reason;
    // Rows of each table; both -1 when the copy cannot be restored.
    qint64 passwords = -1;
    qint64 folders = -1;
    // Why it cannot be restored.
    QString problem;
    bool Readable() const { return passwords >= 0; }
};
// The copies of the data file, newest first, each opened with the key to count its entries.
QList<Entry> List(const QString& sDataFile, const QString& sKey, int lKdfIter);
// The rows of the password and file-folder tables of the file, master row left out; raises
// when it does not open with the key or its tables or columns are not a data file's.
Entry Count(const QString& sPath, const QString& sKey, int lKdfIter);

// Whether the master password stored in the copy is the one of the session's master row.
bool SameMaster(const QString& sPath, const QString& sKey, int lKdfIter);
// Whether sPassword is the master password stored in the copy.
bool MasterIs(const QString& sPath, const QString& sKey, int lKdfIter, const QString& sPassword);
// Puts the copy sBackup in the place of the session's data file. The copy is first copied
// beside the data file and checked to open with the session's key; the current data file is
// then kept as a backup, and the checked copy replaces it in one rename, so that a cut-off
// restore leaves either file whole. The session reopens the file and reads its master row; a
// master password that changed is written into every backup. Raises with the cause; the data
// file is then unchanged. Gives how many backups could not take the new master password and
// were removed.
int Restore(const QString& sBackup);

// Whether the folder of the copies holds a copy of the data file.
bool HasCopies(const QString& sDataFile);
// Puts the copy sBackup, which opens with sKey and lKdfIter, in the place of the data file
// sDataFile when no session could open it (damaged) or it is missing. The copy is first copied
// beside the data file and checked to open; a data file that is there is then kept beside as
// "<name>.damaged-<UTC time>", its owner's alone, and the checked copy replaces it in one rename.
// Gives the kept file's path, empty when there was no data file. Raises with the cause; the data
// file is then unchanged and nothing new is left.
QString RestoreOverDamaged(const QString& sBackup, const QString& sDataFile, const QString& sKey,
                           int lKdfIter);

} // namespace modBackup
