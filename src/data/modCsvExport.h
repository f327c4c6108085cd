// Export of every entry to comma-separated files that other password managers and browsers
// read: the password entries to the file the user names, the file-folder entries beside it.
#pragma once

#include <QString>
#include <functional>

namespace modCsvExport {

// The question asked before anything is written.
QString WarningText();

// The file of the file-folder entries: the path with "-file-folders" before its extension.
QString FoldersPath(const QString& sPath);

// The path with ".csv" after a file name that has no extension.
QString WithExtension(const QString& sPath);

// Writes the password entries to WithExtension(sPath) and, when there are any, the file-folder
// entries to its FoldersPath. A path in the data file's folder (or below it, as its backups
// are) is refused; replacing an existing file is asked first, No being the default. Both files
// are written whole and checked before either takes its name, and neither or both take it;
// each is readable by its owner only from the start; a path that is a symbolic link is refused.
// Success names the files written and their entries, a failure gives its cause, each in one
// message; gives whether the files were written.
bool Export(const QString& sPath);

// Called with the path of each written file just before the file takes its name, in the order
// they take it (the file-folder file first); tests change the world there. An empty function
// removes it.
using CommitHook = std::function<void(const QString& sPath)>;
void SetCommitHook(CommitHook hook);

} // namespace modCsvExport
