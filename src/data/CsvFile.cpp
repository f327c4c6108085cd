// Reading and writing comma-separated values.
#include "data/CsvFile.h"

#include "platform/AppError.h"
#include "platform/SecretText.h"
#include "platform/Win1252.h"

#include <QFile>
#include <QFileInfo>
#include <QStringConverter>
#include <QStringDecoder>
#include <algorithm>
#include <array>
#include <system_error>
#include <utility>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

const QString kUnreadable = QStringLiteral("The file could not be read: ");

[[noreturn]] void unreadable(const QString& sReason)
{
    throw AppError(AppError::FileError, kUnreadable + sReason);
}

[[noreturn]] void tooLarge()
{
    unreadable(QStringLiteral("it is larger than 64 MB."));
}

// Appends part to the text; where the text's buffer is too small, the old buffer is wiped
// before it is given back, so that no copy of the text's start is left in freed memory.
void appendWhole(QString& rsText, QStringView part)
{
    if (rsText.capacity() - rsText.size() < part.size()) {
        QString grown;
        grown.reserve(rsText.size() + part.size());
        grown += rsText;
        SecretText::Wipe(rsText);
        rsText = std::move(grown);
    }
    rsText += part;
}

// The bytes of a regular file of at most MaxFileBytes. Anything else (a pipe, a device, a
// folder) is refused before a byte is read, and opening it never waits for a writer.
QByteArray readBytes(const QString& sPath)
{
    QFile file;
#ifdef Q_OS_UNIX
    const int fd = ::open(QFile::encodeName(sPath).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        unreadable(QString::fromStdString(std::generic_category().message(errno)) +
                   QLatin1Char('.'));
    }
    struct stat info = {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        unreadable(QStringLiteral("it is not a regular file."));
    }
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        unreadable(file.errorString() + QLatin1Char('.'));
    }
    const qint64 size = info.st_size;
#else
    file.setFileName(sPath);
    if (!QFileInfo(sPath).isFile()) {
        unreadable(QStringLiteral("it is not a regular file."));
    }
    if (!file.open(QIODevice::ReadOnly)) {
        unreadable(file.errorString() + QLatin1Char('.'));
    }
    const qint64 size = file.size();
#endif
    if (size > CsvFile::MaxFileBytes) {
        tooLarge();
    }
    // One byte more than the file holds shows a file that grew meanwhile, which is read on up
    // to one byte past the limit.
    QByteArray bytes(qsizetype(size) + 1, Qt::Uninitialized);
    qint64 read = file.read(bytes.data(), bytes.size());
    if (read == bytes.size()) {
        QByteArray rest = file.read(CsvFile::MaxFileBytes + 1 - read);
        QByteArray all;
        all.reserve(bytes.size() + rest.size());
        all.append(bytes).append(rest);
        SecretText::Wipe(bytes);
        SecretText::Wipe(rest);
        bytes = std::move(all);
        read = bytes.size();
    }
    if (read < 0 || file.error() != QFileDevice::NoError) {
        SecretText::Wipe(bytes);
        unreadable(file.errorString() + QLatin1Char('.'));
    }
    bytes.resize(read);
    if (bytes.size() > CsvFile::MaxFileBytes) {
        SecretText::Wipe(bytes);
        tooLarge();
    }
    return bytes;
}

} // namespace

QByteArray CsvFile::ReadBytes(const QString& sPath)
{
    return readBytes(sPath);
}

QString CsvFile::Read(const QString& sPath)
{
    QByteArray bytes = readBytes(sPath);
    QString text = Decode(bytes);
    SecretText::Wipe(bytes);
    return text;
}

QString CsvFile::EncodingName(Encoding eEncoding)
{
    switch (eEncoding) {
    case Encoding::Utf8:
        return QStringLiteral("UTF-8");
    case Encoding::Utf16LE:
        return QStringLiteral("UTF-16 LE");
    case Encoding::Utf16BE:
        return QStringLiteral("UTF-16 BE");
    case Encoding::Windows1252:
        return QStringLiteral("Windows-1252");
    case Encoding::Iso885915:
        return QStringLiteral("ISO-8859-15");
    case Encoding::Utf32LE:
        return QStringLiteral("UTF-32 LE");
    case Encoding::Utf32BE:
        return QStringLiteral("UTF-32 BE");
    }
    return QString();
}

namespace {

// The lines of bytes, each without its line break: LF, CR LF and CR end a line, as in Parse.
template <typename Visit> void forEachLine(QByteArrayView bytes, Visit visit)
{
    qsizetype start = 0;
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char c = bytes[i];
        if (c == '\n' || c == '\r') {
            const qsizetype breakLength = c == '\r' && i + 1 < n && bytes[i + 1] == '\n' ? 2 : 1;
            visit(bytes.sliced(start, i - start), bytes.sliced(i, breakLength));
            i += breakLength - 1;
            start = i + 1;
        }
    }
    if (start < n) {
        visit(bytes.sliced(start), QByteArrayView());
    }
}

bool ascii(QByteArrayView bytes)
{
    return std::all_of(bytes.begin(), bytes.end(), [](char c) { return uchar(c) < 0x80; });
}

// ISO-8859-15 is Latin-1 but for eight characters.
QString fromIso885915(QByteArrayView bytes)
{
    QString text = QString::fromLatin1(bytes);
    for (QChar& ch : text) {
        switch (ch.unicode()) {
        case 0xA4:
            ch = QChar(0x20AC);
            break;
        case 0xA6:
            ch = QChar(0x0160);
            break;
        case 0xA8:
            ch = QChar(0x0161);
            break;
        case 0xB4:
            ch = QChar(0x017D);
            break;
        case 0xB8:
            ch = QChar(0x017E);
            break;
        case 0xBC:
            ch = QChar(0x0152);
            break;
        case 0xBD:
            ch = QChar(0x0153);
            break;
        case 0xBE:
            ch = QChar(0x0178);
            break;
        default:
            break;
        }
    }
    return text;
}

} // namespace

CsvFile::Encoding CsvFile::Detect(QByteArrayView abBytes)
{
    if (const auto encoding = QStringConverter::encodingForData(abBytes)) {
        switch (*encoding) {
        case QStringConverter::Utf16LE:
            return Encoding::Utf16LE;
        case QStringConverter::Utf16BE:
            return Encoding::Utf16BE;
        case QStringConverter::Utf32LE:
            return Encoding::Utf32LE;
        case QStringConverter::Utf32BE:
            return Encoding::Utf32BE;
        default:
            return Encoding::Utf8;
        }
    }
    if (abBytes.isValidUtf8()) {
        return Encoding::Utf8;
    }
    qsizetype valid = 0, invalid = 0;
    forEachLine(abBytes, [&valid, &invalid](QByteArrayView line, QByteArrayView) {
        if (!line.isValidUtf8()) {
            ++invalid;
        } else if (!ascii(line)) {
            ++valid;
        }
    });
    return valid >= invalid ? Encoding::Utf8 : Encoding::Windows1252;
}

QString CsvFile::Decode(QByteArrayView abBytes, Encoding eEncoding, QList<qsizetype>* pBadLines)
{
    const auto decode = [abBytes](QStringConverter::Encoding encoding) {
        QStringDecoder decoder(encoding, QStringConverter::Flag::Default);
        return QString(decoder(abBytes));
    };
    switch (eEncoding) {
    case Encoding::Utf16LE:
        return decode(QStringConverter::Utf16LE);
    case Encoding::Utf16BE:
        return decode(QStringConverter::Utf16BE);
    case Encoding::Utf32LE:
        return decode(QStringConverter::Utf32LE);
    case Encoding::Utf32BE:
        return decode(QStringConverter::Utf32BE);
    case Encoding::Windows1252:
        return Win1252::toUnicode(abBytes);
    case Encoding::Iso885915:
        return fromIso885915(abBytes);
    case Encoding::Utf8:
        break;
    }
    if (abBytes.startsWith("\xEF\xBB\xBF")) {
        abBytes = abBytes.sliced(3);
    }
    if (abBytes.isValidUtf8()) {
        return QString::fromUtf8(abBytes);
    }
    // Line by line: only the lines that are not valid UTF-8 are marked, the others are exact.
    // The text is made in one buffer that never moves: UTF-8 never takes fewer code units.
    QString text(abBytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    qsizetype number = 0;
    forEachLine(abBytes, [&](QByteArrayView line, QByteArrayView lineBreak) {
        ++number;
        if (pBadLines && !line.isValidUtf8()) {
            pBadLines->append(number);
        }
        out = decoder.appendToBuffer(out, line);
        for (const char c : lineBreak) {
            *out++ = QLatin1Char(c);
        }
    });
    text.truncate(out - text.constData());
    return text;
}

QString CsvFile::Decode(const QByteArray& abBytes)
{
    return Decode(abBytes, Detect(abBytes));
}

QChar CsvFile::Delimiter(QStringView text)
{
    // Comma first: it wins a tie.
    constexpr std::array<char16_t, 3> candidates = {u',', u';', u'\t'};
    std::array<int, 3> counts = {};
    bool quoted = false;
    for (const QChar ch : text) {
        if (ch == u'"') {
            quoted = !quoted;
        } else if (!quoted && (ch == u'\r' || ch == u'\n')) {
            break;
        } else if (!quoted) {
            for (std::size_t i = 0; i < candidates.size(); ++i) {
                counts[i] += ch == candidates[i] ? 1 : 0;
            }
        }
    }
    std::size_t best = 0;
    for (std::size_t i = 1; i < candidates.size(); ++i) {
        if (counts[i] > counts[best]) {
            best = i;
        }
    }
    return QChar(candidates[best]);
}

CsvFile::Scan CsvFile::ScanRecord(QStringView text, qsizetype iStart, QChar delimiter,
                                  Dialect eDialect, QStringList* pFields)
{
    // Each field is made in one piece: a field grown character by character would leave
    // copies of its start (a password's) in freed memory.
    const bool backslash = eDialect == Dialect::Backslash;
    const auto escaped = [backslash, text](qsizetype i) {
        return backslash && text[i] == u'\\' && i + 1 < text.size() &&
               (text[i + 1] == u'"' || text[i + 1] == u'\\');
    };
    Scan scan;
    QString field;
    const auto endField = [&scan, &field, pFields] {
        ++scan.fields;
        if (pFields) {
            pFields->append(std::exchange(field, QString()));
        }
    };
    bool atFieldStart = true;
    const qsizetype n = text.size();
    qsizetype i = iStart;
    while (i < n) {
        const QChar ch = text[i];
        if (atFieldStart && ch == u'"') {
            // The closing quote and the field's length, then the field.
            qsizetype end = i + 1;
            qsizetype length = 0;
            qsizetype lines = 0;
            bool closed = false;
            while (end < n) {
                const QChar c = text[end];
                if (c == u'"' && (backslash || end + 1 >= n || text[end + 1] != u'"')) {
                    closed = true;
                    break;
                }
                if (c == u'"' || escaped(end)) {
                    end += 2;
                    ++length;
                    continue;
                }
                // A line break inside quotes stays as it is; CR LF counts as one line.
                if (c == u'\n' || (c == u'\r' && (end + 1 >= n || text[end + 1] != u'\n'))) {
                    ++lines;
                }
                ++end;
                ++length;
            }
            if (!closed) {
                SecretText::Wipe(field);
                scan.closed = false;
                scan.unclosedLine = scan.lines;
                scan.end = n;
                return scan;
            }
            if (pFields) {
                field.reserve(length);
                for (qsizetype j = i + 1; j < end; ++j) {
                    if (text[j] == u'"' || escaped(j)) {
                        ++j;
                    }
                    field += text[j];
                }
            }
            scan.lines += lines;
            i = end + 1;
            atFieldStart = false;
            continue;
        }
        if (ch == delimiter) {
            endField();
            atFieldStart = true;
            ++i;
            continue;
        }
        if (ch == u'\r' || ch == u'\n') {
            endField();
            scan.lines += 1;
            scan.end = i + ((ch == u'\r' && i + 1 < n && text[i + 1] == u'\n') ? 2 : 1);
            return scan;
        }
        // Text outside quotes, also after a closing quote, is taken as it stands.
        qsizetype end = i + 1;
        while (end < n && text[end] != delimiter && text[end] != u'\r' && text[end] != u'\n') {
            ++end;
        }
        if (pFields) {
            appendWhole(field, text.sliced(i, end - i));
        }
        atFieldStart = false;
        i = end;
    }
    endField();
    scan.end = n;
    return scan;
}

QList<QStringList> CsvFile::Parse(QStringView text, QChar delimiter, Dialect eDialect,
                                  qsizetype lMaxRecords)
{
    QList<QStringList> records;
    qsizetype line = 1;
    qsizetype i = 0;
    while (i < text.size() && (lMaxRecords < 0 || records.size() < lMaxRecords)) {
        QStringList record;
        const Scan scan = ScanRecord(text, i, delimiter, eDialect, &record);
        if (!scan.closed) {
            SecretText::Wipe(records);
            unreadable(QStringLiteral("line %1 has a quote that is never closed.")
                           .arg(line + scan.unclosedLine));
        }
        records.append(std::move(record));
        line += scan.lines;
        i = scan.end;
    }
    return records;
}

void CsvFile::AppendRecord(QString& rsOut, const QStringList& fields, QChar delimiter,
                           Dialect eDialect)
{
    const bool backslash = eDialect == Dialect::Backslash;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i > 0) {
            rsOut += delimiter;
        }
        rsOut += u'"';
        for (const QChar ch : fields[i]) {
            if (ch == u'"') {
                rsOut += backslash ? u'\\' : u'"';
            } else if (backslash && ch == u'\\') {
                rsOut += u'\\';
            }
            rsOut += ch;
        }
        rsOut += u'"';
    }
}

QByteArray CsvFile::Write(const QList<QStringList>& records, QChar delimiter, Dialect eDialect)
{
    // Room for every field with each character escaped: the text never moves to a larger
    // buffer, which would leave a copy behind in freed memory.
    qsizetype room = 0;
    for (const QStringList& record : records) {
        for (const QString& value : record) {
            room += 2 * value.size() + 3;
        }
        room += 2;
    }
    QString text;
    text.reserve(room);
    for (const QStringList& record : records) {
        AppendRecord(text, record, delimiter, eDialect);
        text += QStringLiteral("\r\n");
    }
    QByteArray bytes = text.toUtf8();
    SecretText::Wipe(text);
    return bytes;
}
