// Comma-separated values: reading a file's bytes into text (byte-order mark, else UTF-8, else
// Windows-1252, or an encoding the user picks), splitting the text into records of fields, and
// writing records back, after RFC 4180 or the dialect that escapes quotes and backslashes with a
// backslash.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
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

    // The encodings a file can be read in; the UTF-32 ones only where a byte-order mark says so.
    enum class Encoding { Utf8, Utf16LE, Utf16BE, Windows1252, Iso885915, Utf32LE, Utf32BE };
    static QString EncodingName(Encoding eEncoding);

    // One record as ScanRecord finds it.
    struct Scan
    {
        // Where the next record starts.
        qsizetype end = 0;
        // The line breaks the record spans, the one that ends it included.
        qsizetype lines = 0;
        qsizetype fields = 0;
        // False when a quote is never closed; unclosedLine then counts the lines before the
        // one where it opens.
        bool closed = true;
        qsizetype unclosedLine = 0;
    };

    // The largest file Read takes.
    static constexpr qint64 MaxFileBytes = 64LL * 1024 * 1024;

    // The text of a file; its bytes are wiped once decoded. Raises AppError (with a sentence for
    // the user) for a file that cannot be opened, is larger than MaxFileBytes, or is no regular
    // file (a pipe, a device or a folder is refused without waiting on it).
    static QString Read(const QString& sPath);
    // The bytes of the file, with the same checks and errors as Read.
    static QByteArray ReadBytes(const QString& sPath);
    // The encoding of bytes: a byte-order mark decides; else UTF-8 unless lines that are not
    // valid UTF-8 outnumber the lines with valid characters beyond ASCII; else Windows-1252.
    static Encoding Detect(QByteArrayView abBytes);
    // Bytes to text in the encoding, its byte-order mark dropped. In UTF-8 a line that is not
    // valid UTF-8 is decoded with replacement characters and its number (counted from 1 as
    // Parse counts lines) added to pBadLines.
    static QString Decode(QByteArrayView abBytes, Encoding eEncoding,
                          QList<qsizetype>* pBadLines = nullptr);
    // Bytes to text in the encoding Detect gives.
    static QString Decode(const QByteArray& abBytes);
    // The delimiter of a text: whichever of comma, semicolon and tab occurs most often outside
    // quotes on its first line; a comma when none does.
    static QChar Delimiter(QStringView text);
    // The records of a text, at most lMaxRecords of them (all when negative). A record ends at
    // LF, CR LF or CR outside quotes; line breaks inside quotes stay in the field as they are. An
    // empty line is a record of one empty field; a final line break adds no record. Raises
    // AppError naming the line where a quote opens that is never closed.
    // The record that starts at iStart; its fields are appended to pFields when given.
    static Scan ScanRecord(QStringView text, qsizetype iStart, QChar delimiter, Dialect eDialect,
                           QStringList* pFields = nullptr);
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
