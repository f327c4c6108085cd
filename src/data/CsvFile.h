// Comma-separated values: reading a file's bytes into text (byte-order mark, else UTF-8, else
// Windows-1252), splitting the text into records of fields, and writing records back, after
// RFC 4180 or the dialect that escapes quotes and backslashes with a backslash.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

class CsvFile
{
public:
    // Standard: a quote inside a quoted field is doubled. Backslash: it is written \" and a
    // backslash \\ (the older KeePass export).
    enum class Dialect { Standard, Backslash };

    // The largest file Read takes.
    static constexpr qint64 MaxFileBytes = 64LL * 1024 * 1024;

    // The text of a file; its bytes are wiped once decoded. Raises AppError (with a sentence for
    // the user) for a file that cannot be opened, is larger than MaxFileBytes, or is no regular
    // file (a pipe, a device or a folder is refused without waiting on it).
    static QString Read(const QString& sPath);
    // Bytes to text: a byte-order mark decides (UTF-8, UTF-16, UTF-32) and is dropped; else the
    // bytes are UTF-8 when they are valid UTF-8, and Windows-1252 otherwise.
    static QString Decode(const QByteArray& abBytes);
    // The delimiter of a text: whichever of comma, semicolon and tab occurs most often outside
    // quotes on its first line; a comma when none does.
    static QChar Delimiter(QStringView text);
    // The records of a text, at most lMaxRecords of them (all when negative). A record ends at
    // LF, CR LF or CR outside quotes; line breaks inside quotes stay in the field as they are. An
    // empty line is a record of one empty field; a final line break adds no record. Raises
    // AppError naming the line where a quote opens that is never closed.
    static QList<QStringList> Parse(QStringView text, QChar delimiter,
                                    Dialect eDialect = Dialect::Standard,
                                    qsizetype lMaxRecords = -1);
    // The records as the file's bytes: every field quoted, each record ended by CR LF, UTF-8
    // without a byte-order mark.
    static QByteArray Write(const QList<QStringList>& records, QChar delimiter = QLatin1Char(','),
                            Dialect eDialect = Dialect::Standard);
    // One record as text, its fields quoted, without a line end.
    static void AppendRecord(QString& rsOut, const QStringList& fields, QChar delimiter,
                             Dialect eDialect);
};
