// The tables of a new data file, and the making of one.
#pragma once

#include <QString>
#include <QStringList>

namespace modSchema {

// The statements that create the tables of a new data file.
QStringList CreateStatements();

// Creates a new data file with the tables, keyed with the data-file key. Refuses a path where
// a file already exists; on any failure leaves nothing behind and raises the error.
void CreateDataFile(const QString& sPath);

} // namespace modSchema
