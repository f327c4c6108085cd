// The password record class: SQL for table PWD and encryption of the password column.
#include "data/clsPWD.h"

#include "app/modGeneral.h"
#include "crypto/modFieldEncryption.h"
#include "data/clsDB.h"
#include "data/modData.h"
#include "platform/AppError.h"
#include "platform/SecretText.h"
#include "platform/SqlConnection.h"

#include <QScopeGuard>

using modGeneral::QuoteSQL;

namespace {

QString Q(const QString& sText)
{
    return QuoteSQL(sText, QStringLiteral("NULL"));
}

// The columns after the identifier, in the table's order.
const QStringList& textColumns()
{
    static const QStringList columns = {QStringLiteral("TITLE_TX"), QStringLiteral("USER_NM"),
                                        QStringLiteral("PASSWORD_TX"),
                                        QStringLiteral("WEB_SITE_TX"), QStringLiteral("NOTES_TX")};
    return columns;
}

// Decrypts a stored password for a list. An unreadable one comes back empty; the first such
// failure of a listing is kept so that it is reported once.
QString decryptForList(const QString& sStored, const QString& sTitle,
                       std::optional<QString>& rsFirstFailure)
{
    try {
        return modFieldEncryption::DecryptField(sStored);
    } catch (const AppError& error) {
        if (!rsFirstFailure) {
            rsFirstFailure =
                sTitle.isEmpty()
                    ? QStringLiteral("A stored password cannot be read: ") + error.Description()
                    : QStringLiteral("The password of \"%1\" cannot be read: %2")
                          .arg(sTitle, error.Description());
        }
        return QString();
    }
}

} // namespace

clsPWD& clsPWD::Master()
{
    static clsPWD master;
    return master;
}

void clsPWD::SealPassword()
{
    if (m_sealedPassword || PASSWORD_TX.isEmpty()) {
        return;
    }
    try {
        m_sealedPassword = modFieldEncryption::EncryptField(PASSWORD_TX);
    } catch (const AppError&) {
        return;
    }
    SecretText::Wipe(PASSWORD_TX);
}

void clsPWD::UnsealPassword()
{
    if (!m_sealedPassword) {
        return;
    }
    try {
        PASSWORD_TX = modFieldEncryption::DecryptField(*m_sealedPassword);
    } catch (const AppError&) {
        // Our own cipher text of a moment ago reads back.
    }
    m_sealedPassword.reset();
}

bool clsPWD::TestStoredMaster(SqlConnection& connection,
                              const std::function<bool(const QString&)>& bTest)
{
    auto rs =
        connection.Execute(QStringLiteral("SELECT PASSWORD_TX FROM PWD WHERE PASSWORD_ID = 1"));
    const QString stored = rs->EndOfRows() ? QString() : rs->FieldAt(0);
    QString master = stored.isEmpty() ? QString() : modFieldEncryption::DecryptField(stored);
    const auto wipe = qScopeGuard([&master] { SecretText::Wipe(master); });
    return bTest(master);
}

bool clsPWD::StoreMasterRow(SqlConnection& connection) const
{
    if (!m_sealedPassword && PASSWORD_TX.isEmpty()) {
        return false;
    }
    const QString cipher =
        m_sealedPassword ? *m_sealedPassword : modFieldEncryption::EncryptField(PASSWORD_TX);
    connection.Execute(QStringLiteral("INSERT OR REPLACE INTO PWD (PASSWORD_ID, TITLE_TX, USER_NM, "
                                      "PASSWORD_TX, WEB_SITE_TX, NOTES_TX) VALUES (1, ") +
                       Q(TITLE_TX) + QStringLiteral(", ") + Q(USER_NM) + QStringLiteral(", ") +
                       Q(cipher) + QStringLiteral(", ") + Q(WEB_SITE_TX) + QStringLiteral(", ") +
                       Q(NOTES_TX) + QStringLiteral(")"));
    return true;
}

bool clsPWD::PasswordMatches(const QString& sTyped) const
{
    if (!m_sealedPassword) {
        return !PASSWORD_TX.isEmpty() && sTyped == PASSWORD_TX;
    }
    QString plain;
    try {
        plain = modFieldEncryption::DecryptField(*m_sealedPassword);
    } catch (const AppError&) {
        return false;
    }
    const bool matches = !plain.isEmpty() && sTyped == plain;
    SecretText::Wipe(plain);
    return matches;
}

void clsPWD::readRow(const Recordset& rs)
{
    m_sealedPassword.reset();
    PASSWORD_ID = rs.Field(QStringLiteral("PASSWORD_ID"));
    TITLE_TX = rs.Field(QStringLiteral("TITLE_TX"));
    USER_NM = rs.Field(QStringLiteral("USER_NM"));
    // The password read before (the master row is read more than once) goes zeroed, unless a
    // copy of it is still held elsewhere.
    SecretText::Release(PASSWORD_TX);
    const QString stored = rs.Field(QStringLiteral("PASSWORD_TX"));
    PASSWORD_TX = modFieldEncryption::DecryptField(stored);
    WEB_SITE_TX = rs.Field(QStringLiteral("WEB_SITE_TX"));
    NOTES_TX = rs.Field(QStringLiteral("NOTES_TX"));
    m_storedRow = {PASSWORD_ID, TITLE_TX, USER_NM, stored, WEB_SITE_TX, NOTES_TX};
}

bool clsPWD::Delete(const QString& rsPASSWORD_ID)
{
    try {
        modData::RequireDigits(rsPASSWORD_ID);
        modData::ExecuteRequired(QStringLiteral("DELETE FROM PWD WHERE PASSWORD_ID = ") +
                                 rsPASSWORD_ID);
        return true;
    } catch (const AppError& error) {
        modData::ShowError(error);
        return false;
    }
}

bool clsPWD::DeleteStoredRow(const QStringList& asRead)
{
    return modData::DeleteStoredRow(QStringLiteral("PWD"), QStringLiteral("PASSWORD_ID"),
                                    textColumns(), asRead);
}

std::optional<QList<clsPWD>> clsPWD::GetPasswords()
{
    try {
        auto rs = modData::ExecuteRequired(QStringLiteral(
            "SELECT Distinct PASSWORD_TX FROM PWD WHERE PASSWORD_ID > 1 ORDER BY PASSWORD_TX"));
        QList<clsPWD> list;
        std::optional<QString> failure;
        while (!rs->EndOfRows()) {
            clsPWD& entry = list.emplace_back();
            entry.PASSWORD_TX =
                decryptForList(rs->Field(QStringLiteral("PASSWORD_TX")), QString(), failure);
            rs->MoveNext();
        }
        if (failure) {
            modData::ShowError(*failure);
        }
        return list;
    } catch (const AppError& error) {
        modData::ShowError(error);
        return std::nullopt;
    }
}

std::optional<QList<clsPWD>> clsPWD::GetUserNames()
{
    try {
        auto rs = modData::ExecuteRequired(
            QStringLiteral("SELECT Distinct USER_NM FROM PWD ORDER BY USER_NM"));
        QList<clsPWD> list;
        while (!rs->EndOfRows()) {
            list.emplace_back().USER_NM = rs->Field(QStringLiteral("USER_NM"));
            rs->MoveNext();
        }
        return list;
    } catch (const AppError&) {
        return std::nullopt;
    }
}

void clsPWD::OpenRecord(const QString& rsPASSWORD_ID)
{
    try {
        modData::RequireDigits(rsPASSWORD_ID);
        auto rs = modData::ExecuteRequired(
            QStringLiteral("SELECT * FROM PWD WHERE PASSWORD_ID = ") + rsPASSWORD_ID);
        if (!rs->EndOfRows()) {
            readRow(*rs);
        }
    } catch (const AppError& error) {
        modData::ShowError(error);
    }
}

std::optional<QList<clsPWD>> clsPWD::OpenRecords()
{
    QList<clsPWD> list;
    // Each entry's texts move into the list: the record is refilled from the next row anyway.
    if (!ReadRecords([&list](clsPWD& entry) { list.append(std::move(entry)); })) {
        return std::nullopt;
    }
    return list;
}

bool clsPWD::ReadRecords(const std::function<void(clsPWD&)>& visit)
{
    clsPWD entry;
    try {
        auto rs = modData::ExecuteRequired(
            QStringLiteral("SELECT * FROM PWD WHERE PASSWORD_ID > 1 ORDER BY TITLE_TX"));
        std::optional<QString> failure;
        // The columns are looked up by name once, on the first row.
        int columns[6] = {};
        bool bColumnsKnown = false;
        while (!rs->EndOfRows()) {
            if (!bColumnsKnown) {
                const QString names[] = {
                    QStringLiteral("PASSWORD_ID"), QStringLiteral("TITLE_TX"),
                    QStringLiteral("USER_NM"),     QStringLiteral("PASSWORD_TX"),
                    QStringLiteral("WEB_SITE_TX"), QStringLiteral("NOTES_TX")};
                for (int i = 0; i < 6; ++i) {
                    columns[i] = rs->FieldIndex(names[i]);
                }
                bColumnsKnown = true;
            }
            entry.PASSWORD_ID = rs->FieldAt(columns[0]);
            entry.TITLE_TX = rs->FieldAt(columns[1]);
            entry.USER_NM = rs->FieldAt(columns[2]);
            const QString stored = rs->FieldAt(columns[3]);
            entry.PASSWORD_TX = decryptForList(stored, entry.TITLE_TX, failure);
            entry.WEB_SITE_TX = rs->FieldAt(columns[4]);
            entry.NOTES_TX = rs->FieldAt(columns[5]);
            entry.m_storedRow = {entry.PASSWORD_ID, entry.TITLE_TX, entry.USER_NM, stored,
                                 entry.WEB_SITE_TX, entry.NOTES_TX};
            visit(entry);
            SecretText::Release(entry.PASSWORD_TX);
            rs->MoveNext();
        }
        if (failure) {
            modData::ShowError(*failure);
        }
        return true;
    } catch (const AppError& error) {
        SecretText::Release(entry.PASSWORD_TX);
        modData::ShowError(error);
        return false;
    }
}

bool clsPWD::Save(bool bAddRecord)
{
    try {
        // A replaced data file is reloaded before a new entry's number is taken from it.
        clsDB::shared().PrepareChange();
        if (bAddRecord) {
            AssignNewID();
        } else {
            modData::RequireDigits(PASSWORD_ID);
        }
    } catch (const AppError& error) {
        modData::ShowError(error);
        return false;
    }
    return write(bAddRecord);
}

bool clsPWD::SaveMasterRow()
{
    // Only the row with identifier 1 is ever read as the master row, also in a data file that
    // already holds entries without it.
    PASSWORD_ID = QStringLiteral("1");
    return write(true);
}

bool clsPWD::write(bool bAddRecord)
{
    try {
        writeOrRaise(bAddRecord);
    } catch (const AppError& error) {
        modData::ShowError(error);
        return false;
    }
    if (!bAddRecord && PASSWORD_ID != QLatin1String("1") && clsDB::shared().Changes() == 0) {
        // The entry left the data file, or another program changed it, while it was edited: what
        // was typed is kept as a new entry.
        modData::ReportAddedAgain();
        return Save(true);
    }
    return true;
}

void clsPWD::Add()
{
    if (PASSWORD_ID.isEmpty()) {
        AssignNewID();
    }
    writeOrRaise(true);
}

void clsPWD::writeOrRaise(bool bAddRecord)
{
    // Up to ten attempts, each with a fresh cipher text. A file that another program holds
    // locked has been waited for within the attempt (SqlConnection::BusyTimeoutMs): waiting
    // ten times over would freeze the window for long, so a busy file ends the attempts.
    // An entry read from the file is updated only while its row is as read; the master row goes
    // by its number.
    const QString asRead =
        !bAddRecord && PASSWORD_ID != QLatin1String("1") && m_storedRow.value(0) == PASSWORD_ID
            ? QStringLiteral(" AND ") + modData::MatchesStored(textColumns(), m_storedRow.mid(1))
            : QString();
    std::optional<AppError> lastError;
    for (int attempt = 1; attempt <= 10; ++attempt) {
        try {
            const QString cipher = modFieldEncryption::EncryptField(PASSWORD_TX);
            const QString sql =
                bAddRecord ? QStringLiteral("INSERT INTO PWD (PASSWORD_ID, TITLE_TX, USER_NM, "
                                            "PASSWORD_TX, WEB_SITE_TX, NOTES_TX) VALUES (") +
                                 Q(PASSWORD_ID) + QStringLiteral(", ") + Q(TITLE_TX) +
                                 QStringLiteral(", ") + Q(USER_NM) + QStringLiteral(", ") +
                                 Q(cipher) + QStringLiteral(", ") + Q(WEB_SITE_TX) +
                                 QStringLiteral(", ") + Q(NOTES_TX) + QStringLiteral(")")
                           : QStringLiteral("UPDATE PWD SET TITLE_TX = ") + Q(TITLE_TX) +
                                 QStringLiteral(", USER_NM = ") + Q(USER_NM) +
                                 QStringLiteral(", PASSWORD_TX = ") + Q(cipher) +
                                 QStringLiteral(", WEB_SITE_TX = ") + Q(WEB_SITE_TX) +
                                 QStringLiteral(", NOTES_TX = ") + Q(NOTES_TX) +
                                 QStringLiteral(" WHERE PASSWORD_ID = ") + PASSWORD_ID + asRead;
            modData::ExecuteRequired(sql);
            if (clsDB::shared().Changes() > 0) {
                m_storedRow = {PASSWORD_ID, TITLE_TX, USER_NM, cipher, WEB_SITE_TX, NOTES_TX};
            }
            return;
        } catch (const AppError& error) {
            lastError = error;
            if (SqlConnection::IsBusyError(error) || error.Number() == AppError::ChangeRefused) {
                break;
            }
        }
    }
    throw *lastError;
}

void clsPWD::AssignNewID()
{
    auto rs =
        modData::ExecuteRequired(QStringLiteral("SELECT Max(PASSWORD_ID) + 1 AS MAXID FROM PWD"));
    const QString id = rs->EndOfRows() ? QString() : rs->Field(QStringLiteral("MAXID"));
    PASSWORD_ID = id.isEmpty() ? QStringLiteral("1") : id;
}
