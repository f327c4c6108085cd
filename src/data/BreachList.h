// An offline list of breached passwords: SHA-1 hashes ordered by hash, one "HASH:count" a line,
// looked up by binary search over the file with seeks, never read whole.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

class BreachList
{
public:
    // Opens the file and checks its first line, the lines around the first seek and its last
    // line; raises an AppError with one clear message when it is missing, unreadable, or not
    // sorted well-formed lines.
    explicit BreachList(const QString& sPath);

    // How often the password was seen; 0 when the list does not hold it. Raises an AppError
    // when the search meets a broken line. The password's bytes and hash are zeroed after use.
    qint64 Count(const QString& sPassword);
    // The same for an upper-case hexadecimal SHA-1 of 40 characters.
    qint64 CountHash(const QByteArray& sHash);
    // The reads the last lookup made.
    int LastReads() const { return m_reads; }

    // The upper-case hexadecimal SHA-1 of the password's UTF-8 bytes.
    static QByteArray Sha1Hex(const QString& sPassword);

    // The message for a file that cannot be used, naming it and the reason.
    static QString ProblemText(const QString& sPath, const QString& sReason);

private:
    struct Line
    {
        qint64 start = -1; // -1: no line starts in the range
        qint64 next = 0;   // where the line after it starts
        QByteArray hash;
        qint64 count = 0;
    };
    // The first line that starts at or after lPos and before lEnd.
    Line lineAt(qint64 lPos, qint64 lEnd);
    // Reads up to lSize bytes at lPos.
    QByteArray readAt(qint64 lPos, qint64 lSize);
    // Splits one line (without its end) into hash and count; raises when it is broken.
    void parse(const QByteArray& sText, qint64 lStart, Line& rLine) const;
    [[noreturn]] void fail(const QString& sReason) const;

    QString m_path;
    QFile m_file;
    qint64 m_size = 0;
    int m_reads = 0;
};
