// Binary search with seeks over a sorted list of SHA-1 hashes, and the checks of its form.
#include "data/BreachList.h"

#include "platform/AppError.h"
#include "platform/SecretText.h"

#include <QCryptographicHash>
#include <QDir>

namespace {

constexpr int kHashLength = 40;
// A line is a hash, a colon, a count of at most 18 digits and the line end.
constexpr int kMaxLineLength = kHashLength + 1 + 18 + 2;
// A range this small is read at once and scanned instead of halved again.
constexpr qint64 kScanBytes = 4096;

bool isUpperHex(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

} // namespace

BreachList::BreachList(const QString& sPath) : m_path(sPath), m_file(sPath)
{
    if (!QFile::exists(sPath)) {
        fail(QStringLiteral("the file does not exist"));
    }
    // A pipe or a device is refused before it is opened: opening a pipe waits for a writer.
    if (!QFileInfo(sPath).isFile()) {
        fail(QStringLiteral("the file cannot be read"));
    }
    if (!m_file.open(QIODevice::ReadOnly | QIODevice::Unbuffered) || m_file.isSequential()) {
        fail(QStringLiteral("the file cannot be read"));
    }
    m_size = m_file.size();
    const Line first = lineAt(0, m_size);
    if (first.start < 0) {
        fail(QStringLiteral("the file holds no lines"));
    }
    // The lines the first seek lands on, and the last line, must follow in order.
    QByteArray previous = first.hash;
    Line line = lineAt(m_size / 2, m_size);
    for (int i = 0; i < 3 && line.start >= 0; ++i) {
        if (line.hash < previous) {
            fail(QStringLiteral("its lines are not sorted by hash"));
        }
        previous = line.hash;
        line = lineAt(line.next, m_size);
    }
    const Line last = lineAt(std::max<qint64>(0, m_size - kMaxLineLength), m_size);
    if (last.start >= 0 && last.hash < previous) {
        fail(QStringLiteral("its lines are not sorted by hash"));
    }
}

QString BreachList::ProblemText(const QString& sPath, const QString& sReason)
{
    return QStringLiteral("The breach list \"%1\" cannot be used: %2.\r\n\r\nChoose a file of "
                          "SHA-1 hashes ordered by hash, one HASH:count a line.")
        .arg(QDir::toNativeSeparators(sPath), sReason);
}

void BreachList::fail(const QString& sReason) const
{
    throw AppError(AppError::FileError, ProblemText(m_path, sReason));
}

QByteArray BreachList::Sha1Hex(const QString& sPassword)
{
    QByteArray utf8 = sPassword.toUtf8();
    QByteArray digest = QCryptographicHash::hash(utf8, QCryptographicHash::Sha1);
    SecretText::Wipe(utf8);
    QByteArray hex = digest.toHex().toUpper();
    SecretText::Wipe(digest);
    return hex;
}

qint64 BreachList::Count(const QString& sPassword)
{
    QByteArray hash = Sha1Hex(sPassword);
    const qint64 count = CountHash(hash);
    SecretText::Wipe(hash);
    return count;
}

QByteArray BreachList::readAt(qint64 lPos, qint64 lSize)
{
    ++m_reads;
    if (!m_file.seek(lPos)) {
        fail(QStringLiteral("the file cannot be read"));
    }
    QByteArray data = m_file.read(std::min(lSize, m_size - lPos));
    if (data.size() != std::min(lSize, m_size - lPos)) {
        fail(QStringLiteral("the file cannot be read"));
    }
    return data;
}

void BreachList::parse(const QByteArray& sText, qint64 lStart, Line& rLine) const
{
    QByteArray text = sText;
    if (text.endsWith('\r')) {
        text.chop(1);
    }
    const qsizetype digits = text.size() - kHashLength - 1;
    bool ok = digits >= 1 && digits <= 18 && text[kHashLength] == ':';
    for (qsizetype i = 0; ok && i < kHashLength; ++i) {
        ok = isUpperHex(text[i]);
    }
    qint64 count = 0;
    for (qsizetype i = kHashLength + 1; ok && i < text.size(); ++i) {
        ok = text[i] >= '0' && text[i] <= '9';
        count = count * 10 + (text[i] - '0');
    }
    if (!ok) {
        fail(QStringLiteral("the line at byte %1 is not HASH:count").arg(lStart));
    }
    rLine.hash = text.left(kHashLength);
    rLine.count = count;
}

BreachList::Line BreachList::lineAt(qint64 lPos, qint64 lEnd)
{
    Line line;
    // From one byte before the position, the first line end found is that of the line before;
    // the line after it starts at or after the position.
    const qint64 from = lPos > 0 ? lPos - 1 : 0;
    QByteArray data = readAt(from, 2 * kMaxLineLength);
    qsizetype begin = 0;
    if (lPos > 0) {
        const qsizetype end = data.indexOf('\n');
        if (end < 0) {
            if (from + data.size() >= m_size) {
                return line;
            }
            fail(QStringLiteral("the line at byte %1 is not HASH:count").arg(from));
        }
        begin = end + 1;
    }
    if (from + begin >= lEnd || from + begin >= m_size) {
        return line;
    }
    qsizetype end = data.indexOf('\n', begin);
    if (end < 0) {
        if (from + data.size() < m_size) {
            fail(QStringLiteral("the line at byte %1 is not HASH:count").arg(from + begin));
        }
        end = data.size(); // the last line may end without a line end
    }
    line.start = from + begin;
    line.next = from + end + 1;
    parse(data.mid(begin, end - begin), line.start, line);
    return line;
}

qint64 BreachList::CountHash(const QByteArray& sHash)
{
    m_reads = 0;
    // Every line starting before lo is below the hash; every line starting at or after hi is
    // above it.
    qint64 lo = 0;
    qint64 hi = m_size;
    while (hi - lo > kScanBytes) {
        const qint64 mid = lo + (hi - lo) / 2;
        const Line line = lineAt(mid, hi);
        if (line.start < 0) {
            hi = mid;
            continue;
        }
        const int order = line.hash.compare(sHash);
        if (order == 0) {
            return line.count;
        }
        if (order < 0) {
            lo = line.next;
        } else {
            hi = mid;
        }
    }
    // The rest is read at once (lo is a line start) and scanned.
    if (lo >= hi) {
        return 0;
    }
    const QByteArray block = readAt(lo, hi - lo + kMaxLineLength);
    qsizetype begin = 0;
    while (begin < block.size() && lo + begin < hi) {
        qsizetype end = block.indexOf('\n', begin);
        if (end < 0) {
            if (lo + block.size() < m_size) {
                fail(QStringLiteral("the line at byte %1 is not HASH:count").arg(lo + begin));
            }
            end = block.size();
        }
        Line line;
        parse(block.mid(begin, end - begin), lo + begin, line);
        const int order = line.hash.compare(sHash);
        if (order == 0) {
            return line.count;
        }
        if (order > 0) {
            return 0;
        }
        begin = end + 1;
    }
    return 0;
}
