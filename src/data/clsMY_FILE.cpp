// The file-folder record class: SQL for table MY_FILE.
#include "data/clsMY_FILE.h"

#include "app/modGeneral.h"
#include "data/clsDB.h"
#include "data/modData.h"
#include "platform/AppError.h"

namespace {

QString Q(const QString& sText)
{
    return modGeneral::QuoteSQL(sText, QStringLiteral("NULL"));
}

// The columns after the identifier, in the table's order.
const QStringList& textColumns()
{
    static const QStringList columns = {QStringLiteral("MY_FILE_NM"),
                                        QStringLiteral("MY_FILE_PATH_TX"),
                                        QStringLiteral("NOTES_TX")};
    return columns;
}

} // namespace

void clsMY_FILE::readRow(const Recordset& rs)
{
    MY_FILE_ID = rs.Field(QStringLiteral("MY_FILE_ID"));
    MY_FILE_NM = rs.Field(QStringLiteral("MY_FILE_NM"));
    MY_FILE_PATH_TX = rs.Field(QStringLiteral("MY_FILE_PATH_TX"));
    NOTES_TX = rs.Field(QStringLiteral("NOTES_TX"));
    m_storedRow = {MY_FILE_ID, MY_FILE_NM, MY_FILE_PATH_TX, NOTES_TX};
}

bool clsMY_FILE::Delete(const QString& rsMY_FILE_ID)
{
    try {
        modData::RequireDigits(rsMY_FILE_ID);
        modData::ExecuteRequired(QStringLiteral("DELETE FROM MY_FILE WHERE MY_FILE_ID = ") +
                                 rsMY_FILE_ID);
        return true;
    } catch (const AppError& error) {
        modData::ShowError(error);
        return false;
    }
}

bool clsMY_FILE::DeleteStoredRow(const QStringList& asRead)
{
    return modData::DeleteStoredRow(QStringLiteral("MY_FILE"), QStringLiteral("MY_FILE_ID"),
                                    textColumns(), asRead);
}

void clsMY_FILE::OpenRecord(const QString& rsMY_FILE_ID)
{
    try {
        modData::RequireDigits(rsMY_FILE_ID);
        auto rs = modData::ExecuteRequired(
            QStringLiteral("SELECT * FROM MY_FILE WHERE MY_FILE_ID = ") + rsMY_FILE_ID);
        if (!rs->EndOfRows()) {
            readRow(*rs);
        }
    } catch (const AppError& error) {
        modData::ShowError(error);
    }
}

std::optional<QList<clsMY_FILE>> clsMY_FILE::OpenRecords()
{
    try {
        auto rs =
            modData::ExecuteRequired(QStringLiteral("SELECT * FROM MY_FILE ORDER BY MY_FILE_NM"));
        QList<clsMY_FILE> list;
        while (!rs->EndOfRows()) {
            list.emplace_back().readRow(*rs);
            rs->MoveNext();
        }
        return list;
    } catch (const AppError& error) {
        modData::ShowError(error);
        return std::nullopt;
    }
}

bool clsMY_FILE::Save(bool bAddRecord)
{
    try {
        // A replaced data file is reloaded before a new entry's number is taken from it.
        clsDB::shared().PrepareChange();
        if (bAddRecord) {
            AssignNewID();
            insert();
        } else {
            modData::RequireDigits(MY_FILE_ID);
            // An entry read from the file is updated only while its row is as read.
            const QString asRead =
                m_storedRow.value(0) == MY_FILE_ID
                    ? QStringLiteral(" AND ") +
                          modData::MatchesStored(textColumns(), m_storedRow.mid(1))
                    : QString();
            modData::ExecuteRequired(QStringLiteral("UPDATE MY_FILE SET MY_FILE_NM = ") +
                                     Q(MY_FILE_NM) + QStringLiteral(", MY_FILE_PATH_TX = ") +
                                     Q(MY_FILE_PATH_TX) + QStringLiteral(", NOTES_TX = ") +
                                     Q(NOTES_TX) + QStringLiteral(" WHERE MY_FILE_ID = ") +
                                     MY_FILE_ID + asRead);
        }
        if (!bAddRecord && clsDB::shared().Changes() == 0) {
            // The entry left the data file, or another program changed it, while it was edited:
            // what was typed is kept as a new entry.
            modData::ReportAddedAgain();
            return Save(true);
        }
        m_storedRow = {MY_FILE_ID, MY_FILE_NM, MY_FILE_PATH_TX, NOTES_TX};
        return true;
    } catch (const AppError& error) {
        modData::ShowError(error);
        return false;
    }
}

void clsMY_FILE::Add()
{
    if (MY_FILE_ID.isEmpty()) {
        AssignNewID();
    }
    modData::RequireDigits(MY_FILE_ID);
    insert();
}

void clsMY_FILE::insert()
{
    modData::ExecuteRequired(
        QStringLiteral("INSERT INTO MY_FILE (MY_FILE_ID, MY_FILE_NM, MY_FILE_PATH_TX, NOTES_TX) "
                       "VALUES (") +
        Q(MY_FILE_ID) + QStringLiteral(", ") + Q(MY_FILE_NM) + QStringLiteral(", ") +
        Q(MY_FILE_PATH_TX) + QStringLiteral(", ") + Q(NOTES_TX) + QStringLiteral(")"));
}

void clsMY_FILE::AssignNewID()
{
    auto rs = modData::ExecuteRequired(
        QStringLiteral("SELECT Max(MY_FILE_ID) + 1 AS MAXID FROM MY_FILE"));
    const QString id = rs->EndOfRows() ? QString() : rs->Field(QStringLiteral("MAXID"));
    MY_FILE_ID = id.isEmpty() ? QStringLiteral("1") : id;
}
