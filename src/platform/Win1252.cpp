// Windows-1252 text conversion: the table of the 0x80-0x9F range and the two directions.
#include "platform/Win1252.h"

#include <array>

namespace {

// 0x80-0x9F; the five unassigned bytes map to the C1 control of the same value.
constexpr std::array<char16_t, 32> kHigh = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// The bytes of the characters U+0000-U+2122 (the highest one the code page holds), 0 where the
// code page has none; U+0000 is the one character whose byte really is 0.
constexpr char16_t kLastMapped = 0x2122;
constexpr std::array<unsigned char, kLastMapped + 1> kBytes = [] {
    std::array<unsigned char, kLastMapped + 1> bytes{};
    for (unsigned b = 1; b < 0x100; ++b) {
        bytes[(b >= 0x80 && b <= 0x9F) ? kHigh[b - 0x80] : b] = static_cast<unsigned char>(b);
    }
    return bytes;
}();

// Returns the byte for a character, or -1 when Windows-1252 has none.
int toByte(char16_t ch)
{
    if (ch > kLastMapped) {
        return -1;
    }
    const unsigned char b = kBytes[ch];
    return (b != 0 || ch == 0) ? b : -1;
}

} // namespace

namespace Win1252 {

char16_t toChar(unsigned char byte)
{
    return (byte >= 0x80 && byte <= 0x9F) ? kHigh[byte - 0x80] : char16_t(byte);
}

bool fits(QStringView text)
{
    for (QChar ch : text) {
        if (toByte(ch.unicode()) < 0) {
            return false;
        }
    }
    return true;
}

QByteArray fromUnicode(QStringView text)
{
    QByteArray bytes(text.size(), Qt::Uninitialized);
    char* out = bytes.data();
    const QChar* in = text.data();
    for (qsizetype i = 0; i < text.size(); ++i) {
        // A surrogate pair is one character outside the code page: one "?".
        const char16_t ch = in[i].unicode();
        if (QChar::isHighSurrogate(ch) && i + 1 < text.size() &&
            QChar::isLowSurrogate(in[i + 1].unicode())) {
            ++i;
        }
        const int b = toByte(ch);
        *out++ = static_cast<char>(b < 0 ? '?' : b);
    }
    bytes.truncate(out - bytes.data());
    return bytes;
}

QString toUnicode(QByteArrayView bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        out[i] = QChar(toChar(static_cast<unsigned char>(bytes[i])));
    }
    return text;
}

} // namespace Win1252
