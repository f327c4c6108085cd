// The tables of a new data file, and the making of one.
#pragma once

#include <QString>
#include <QStringList>

namespace modSchema {

// The statements that create the tables of a new data file.
QStringList CreateStatements();
// The columns of one of those tables, in order; empty for another table.
QStringList Columns(const QString& sTable);

// Creates a new data file with the tables, keyed with the data-file key. A missing folder of
// the file is made for its owner alone (0700) and the file is created readable by its owner
// alone (0600) from the start. Refuses a path where a file already exists; on any failure
// leaves nothing behind and raises the error.
void CreateDataFile(const QString& sPath);

// Creates an empty file that only its owner may read and write (0600), without following a
// symbolic link: anything already at the path, a link included, is refused with an error.
void CreatePrivateFile(const QString& sPath);

} // namespace modSchema
