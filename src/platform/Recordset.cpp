// A forward-only set of rows over a prepared SQLCipher statement.
#include "platform/Recordset.h"

#include "platform/AppError.h"
#include "platform/BusyCursor.h"

#include <QStringDecoder>
#include <sqlite3.h>

Recordset::Recordset(sqlite3* db, sqlite3_stmt* stmt) : m_db(db), m_stmt(stmt)
{
    const int count = sqlite3_column_count(m_stmt);
    for (int i = 0; i < count; ++i) {
        const QString name = QString::fromUtf8(sqlite3_column_name(m_stmt, i));
        const QString lower = name.toLower();
        if (!m_columns.contains(lower)) {
            m_columns.insert(lower, i);
        }
        // A name as the statement spells it finds the column its lower case finds.
        if (!m_exactColumns.contains(name)) {
            m_exactColumns.insert(name, m_columns.value(lower));
        }
    }
    try {
        step();
    } catch (...) {
        sqlite3_finalize(m_stmt);
        throw;
    }
}

Recordset::~Recordset()
{
    sqlite3_finalize(m_stmt);
}

void Recordset::step()
{
    const int rc = sqlite3_step(m_stmt);
    // A step that waited for a locked file put up the wait cursor.
    BusyCursor::Restore();
    if (rc == SQLITE_ROW) {
        m_atEnd = false;
    } else if (rc == SQLITE_DONE) {
        m_atEnd = true;
    } else {
        m_atEnd = true;
        throw AppError(rc, QString::fromUtf8(sqlite3_errmsg(m_db)));
    }
}

void Recordset::MoveNext()
{
    if (m_atEnd) {
        throw AppError(3021, QStringLiteral("Either BOF or EOF is True, or the current record "
                                            "has been deleted."));
    }
    step();
}

int Recordset::FieldIndex(const QString& sName) const
{
    if (m_atEnd) {
        throw AppError(3021, QStringLiteral("Either BOF or EOF is True, or the current record "
                                            "has been deleted."));
    }
    // Callers spell names as the statement does: that look-up needs no lower-case copy.
    if (const auto exact = m_exactColumns.constFind(sName); exact != m_exactColumns.constEnd()) {
        return exact.value();
    }
    const auto it = m_columns.constFind(sName.toLower());
    if (it == m_columns.constEnd()) {
        throw AppError(3265, QStringLiteral("Item cannot be found in the collection "
                                            "corresponding to the requested name: ") +
                                 sName);
    }
    return it.value();
}

QString Recordset::Field(const QString& sName) const
{
    return textAt(FieldIndex(sName));
}

QString Recordset::FieldAt(int lIndex) const
{
    if (m_atEnd || lIndex < 0 || lIndex >= sqlite3_column_count(m_stmt)) {
        throw AppError(AppError::SubscriptOutOfRange, QStringLiteral("Subscript out of range"));
    }
    return textAt(lIndex);
}

QString Recordset::textAt(int i) const
{
    if (sqlite3_column_type(m_stmt, i) == SQLITE_NULL) {
        return QString();
    }
    // The byte count, not a terminating NUL, gives the length: texts may hold NUL. A leading
    // U+FEFF belongs to the stored text and is kept, not skipped as a byte-order mark.
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, i));
    const QByteArrayView bytes(text, sqlite3_column_bytes(m_stmt, i));
    // QString::fromUtf8 decodes the same way, except that it drops a leading byte-order mark.
    if (!bytes.startsWith(QByteArrayView("\xEF\xBB\xBF"))) {
        return QString::fromUtf8(bytes);
    }
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless |
                                                     QStringDecoder::Flag::ConvertInitialBom);
    return decoder(bytes);
}

bool Recordset::IsNull(const QString& sName) const
{
    return sqlite3_column_type(m_stmt, FieldIndex(sName)) == SQLITE_NULL;
}
