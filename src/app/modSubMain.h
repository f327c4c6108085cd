// The program's entry procedure: screen metrics, the report folder, the data file, the master
// row and the login window.
#pragma once

#include <QString>

class QWidget;

namespace modSubMain {

// Twips per pixel of the screen, set once at start-up (15 on a 96-dpi screen).
inline int ScreenTwipsPerPixelX = 15;
inline int ScreenTwipsPerPixelY = 15;

// The maker's support address shown when the data file cannot be opened.
inline constexpr char16_t SUPPORT_ADDRESS[] = u"support@quillonsoftware.example";

// The message shown when the data file cannot be opened.
QString ConnectFailureMessage(const QString& sDatabasePath);
// The message shown when an installed copy cannot make the user's first data file: the file's
// name, its folder and the cause, the system's words where the system refused.
QString CreateFailureMessage(const QString& sDatabasePath, const QString& sCause);

// The message shown on a later start in installed mode when the data file KeyCask made is gone,
// with the choices: restore a backup (when there are any), make a new empty data file, or quit.
QString MissingFileMessage(const QString& sDatabasePath, bool bBackups);

// The question asked when the data file cannot be opened and backups of it are kept.
inline constexpr char16_t OFFER_BACKUPS[] =
    u"KeyCask keeps backups of the data file. Restore one now?";
// Asks that question when the folder of the backups holds any (the session's data file could
// not be opened, or its master row not read), then shows the list of them; true when one took
// the data file's place, and the session is then open on it with its master row read.
bool OfferBackups(QWidget* parent = nullptr);

// Puts the backup sPath, made at sMade, in the place of a data file that no session could open,
// or that is missing, once the user agrees; a protected backup asks for its own master password.
// The damaged file is kept beside. True when the backup took its place: the session is then
// open on it. Every refusal and failure is told.
bool RestoreBackupAtStart(const QString& sPath, const QString& sMade, QWidget* parent);

// The message shown when the lock file of the data file is in the way and cannot be taken.
QString LockFailureMessage(const QString& sLockPath);

// Keeps the process's memory out of core files and away from debuggers of the same user: on
// Linux the process is made non-dumpable and its core size limit is set to 0. Runs first in
// Main, before any secret is read.
void HardenProcess();

// Runs start-up. Returns false when the program must end at once (the data file could not be
// opened and the user has been told); true when a window is up and the event loop should run.
bool Main();

// Set when start-up ended because another running copy holds the data file and has been asked
// to show itself: a normal end, not a failure.
inline bool HandedOverToRunningCopy = false;

} // namespace modSubMain
