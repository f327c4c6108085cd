// Copies of the data file kept in "Backups" beside it: made before a session's first change,
// the newest few kept, listed for a restore.
#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

class QFile;

namespace modBackup {

// How many copies are kept by default, and at most. None at all turns the copies off.
inline constexpr int DEFAULT_KEEP = 3;
inline constexpr int MAX_KEEP = 20;

// The folder of the copies: "Backups" in the data file's folder.
QString Folder(const QString& sDataFile);
// The names KeyCask gives the copies of sDataFileName: "<name>.YYYYMMDD-HHMMSS.bak", with
// "-<n>" before ".bak" when that second already has a copy.
bool IsBackupFileName(const QString& sDataFileName, const QString& sName);
// When the copy of that name was made; invalid for other names.
QDateTime MadeAt(const QString& sDataFileName, const QString& sName);

// Copies the data file's bytes as they are, read from its start through dataFile (opened here
// when it is not open yet), to a new copy in the folder, which is made or kept its owner's
// alone; the copy is its owner's alone from the start, never written through a link, and on
// the disk when this returns. Raises with the cause; a failed copy is removed.
QString CopyFile(QFile& dataFile);
// Copies the bytes of source (opened here when it is not open yet) to sTarget, a new file of the
// owner's alone, and flushes it to the disk. Raises with the cause; the target is removed on a
// failure.
void CopyPrivate(QFile& source, const QString& sTarget);
// Reads source again from its start and sCopy, and raises unless they hold the same bytes.
void CompareCopy(QFile& source, const QString& sCopy);
// Deletes the copies of the data file beyond the newest lKeep; other files are left alone.
void Rotate(const QString& sDataFile, int lKeep);

struct Entry
{
    QString path;
    QDateTime made;
    // Rows of each table; both -1 when the copy does not open with the key.
    qint64 passwords = -1;
    qint64 folders = -1;
    bool Readable() const { return passwords >= 0; }
};
// The copies of the data file, newest first, each opened with the key to count its entries.
QList<Entry> List(const QString& sDataFile, const QString& sKey, int lKdfIter);
// The rows of the password and file-folder tables of the file, master row left out; raises
// when it does not open with the key.
Entry Count(const QString& sPath, const QString& sKey, int lKdfIter);

// Whether the master password stored in the copy is the one of the session's master row.
bool SameMaster(const QString& sPath, const QString& sKey, int lKdfIter);
// Puts the copy sBackup in the place of the session's data file. The copy is first copied
// beside the data file and checked to open with the session's key; the current data file is
// then kept as a backup, and the checked copy replaces it in one rename, so that a cut-off
// restore leaves either file whole. The session reopens the file and reads its master row.
// Raises with the cause; the data file is then unchanged.
void Restore(const QString& sBackup);

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
