// Shared steps of the record classes: checked identifiers, statements that must reach the data
// file, and the way errors are shown to the user.
#pragma once

#include "platform/AppError.h"
#include "platform/Recordset.h"

#include <QString>
#include <QStringList>
#include <memory>

namespace modData {

// Raises an error unless the identifier is one or more decimal digits, so that no other text
// ever reaches a statement unquoted.
void RequireDigits(const QString& sID);

// Runs the statement through the shared session. A session without a connection is an error
// here, so a write that never reached the file is not taken for a success.
std::unique_ptr<Recordset> ExecuteRequired(const QString& sSql);

// The condition that a row still holds exactly the texts read from it: each column's stored text
// compared byte by byte with its value (a NULL reads as empty text).
QString MatchesStored(const QStringList& columns, const QStringList& values);
// Deletes the row of sTable whose number (in sIdColumn) is asRead's first value only while it
// still holds the rest of asRead in columns; a row changed or gone meanwhile is kept and the user
// told. False when nothing was deleted.
bool DeleteStoredRow(const QString& sTable, const QString& sIdColumn, const QStringList& columns,
                     const QStringList& asRead);

// Shows an error's description as the record classes report failures: the text alone, an OK
// button, no icon, the application's title.
void ShowError(const AppError& error);
// Says that an edited entry was no longer in the data file and was saved as a new one.
void ReportAddedAgain();
void ShowError(const QString& sDescription);

} // namespace modData
