// Shared steps of the record classes.
#include "data/modData.h"

#include "app/modGeneral.h"
#include "data/clsDB.h"
#include "platform/MsgBox.h"

#include <algorithm>

namespace modData {

void RequireDigits(const QString& sID)
{
    const bool digits = !sID.isEmpty() && std::all_of(sID.begin(), sID.end(), [](QChar ch) {
        return ch >= QLatin1Char('0') && ch <= QLatin1Char('9');
    });
    if (!digits) {
        throw AppError(
            AppError::TypeMismatch,
            QStringLiteral("The entry identifier \"%1\" is not a whole number.").arg(sID));
    }
}

std::unique_ptr<Recordset> ExecuteRequired(const QString& sSql)
{
    auto rs = clsDB::shared().Execute(sSql);
    if (!rs) {
        throw AppError(91, QStringLiteral("Object variable or With block variable not set"));
    }
    return rs;
}

QString MatchesStored(const QStringList& columns, const QStringList& values)
{
    QStringList terms;
    for (qsizetype i = 0; i < columns.size(); ++i) {
        terms << QStringLiteral("IFNULL(CAST(%1 AS TEXT), '') = %2 COLLATE BINARY")
                     .arg(columns[i], modGeneral::QuoteSQL(values.value(i), QStringLiteral("''")));
    }
    return terms.join(QStringLiteral(" AND "));
}

bool DeleteStoredRow(const QString& sTable, const QString& sIdColumn, const QStringList& columns,
                     const QStringList& asRead)
{
    try {
        RequireDigits(asRead.value(0));
        ExecuteRequired(
            QStringLiteral("DELETE FROM %1 WHERE %2 = %3 AND ").arg(sTable, sIdColumn, asRead[0]) +
            MatchesStored(columns, asRead.mid(1)));
        if (clsDB::shared().Changes() == 0) {
            ShowError(
                QStringLiteral("This entry was changed by another program and was not deleted."));
            return false;
        }
        return true;
    } catch (const AppError& error) {
        ShowError(error);
        return false;
    }
}

void ShowError(const AppError& error)
{
    if (!error.Told()) {
        ShowError(error.Description());
    }
}

void ReportAddedAgain()
{
    MsgBox::Show(QStringLiteral("This entry is no longer in the data file, which another program "
                                "changed. It has been added again as a new entry."),
                 MsgBox::vbInformation | MsgBox::vbOKOnly);
}

void ShowError(const QString& sDescription)
{
    MsgBox::Show(sDescription, MsgBox::vbOKOnly);
}

} // namespace modData
