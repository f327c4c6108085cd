// A forward-only set of rows from one SQL statement, with fields read by column name.
#pragma once

#include <QHash>
#include <QString>

struct sqlite3;
struct sqlite3_stmt;

class Recordset
{
public:
    Recordset(sqlite3* db, sqlite3_stmt* stmt);
    ~Recordset();
    Recordset(const Recordset&) = delete;
    Recordset& operator=(const Recordset&) = delete;

    // True when there is no current row: the rows are used up, or the statement gave none.
    bool EndOfRows() const { return m_atEnd; }
    // Moves to the next row; errors of the database are raised.
    void MoveNext();

    // The current row's value of a column as text; NULL gives empty text. Raises an error for
    // an unknown column or when there is no current row.
    QString Field(const QString& sName) const;
    bool IsNull(const QString& sName) const;
    // The current row's value of a column by position (0-based), as Field gives it.
    QString FieldAt(int lIndex) const;
    // The position of a column, for reading many rows with FieldAt; raises the errors of Field.
    int FieldIndex(const QString& sName) const;

private:
    QString textAt(int lIndex) const;
    void step();

    sqlite3* m_db;
    sqlite3_stmt* m_stmt;
    QHash<QString, int> m_columns;      // lower-case column name -> index
    QHash<QString, int> m_exactColumns; // column name as the statement gives it -> index
    bool m_atEnd = false;
};
