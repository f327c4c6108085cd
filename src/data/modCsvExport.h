// Export of every entry to comma-separated files that other password managers and browsers
// read: the password entries to the file the user names, the file-folder entries beside it.
#pragma once

#include <QString>

namespace modCsvExport {

// The question asked before anything is written.
QString WarningText();

// The file of the file-folder entries: the path with "-file-folders" before its extension.
QString FoldersPath(const QString& sPath);

// Writes the password entries to sPath and, when there are any, the file-folder entries to
// FoldersPath(sPath). Each file is written whole or not at all, readable by its owner only
// from the start; a path that is a symbolic link is refused. A failure is shown in one message
// and gives false.
bool Export(const QString& sPath);

} // namespace modCsvExport
