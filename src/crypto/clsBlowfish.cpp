// Blowfish key schedule, block functions, CBC chaining and the cipher-text layout of stored
// passwords, plus the text forms used by the data file.
#include "crypto/clsBlowfish.h"

#include "crypto/BlowfishTables.h"
#include "crypto/modEncrypt.h"
#include "platform/AppError.h"
#include "platform/SecretText.h"
#include "platform/Win1252.h"

#include <QRandomGenerator>
#include <QScopeGuard>
#include <QStringDecoder>
#include <QtEndian>

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

using Sboxes = quint32[4][256];
using Subkeys = quint32[clsBlowfish::Rounds + 2];

constexpr qsizetype HeaderSize = 12; // two random words and the length
constexpr qsizetype BlockSize = 8;
constexpr char Utf8Marker[] = "\xEF\xBB\xBF";
constexpr char16_t Utf8MarkerAsText[] = u"\u00EF\u00BB\u00BF";

[[noreturn]] void throwSubscriptOutOfRange()
{
    throw AppError(AppError::SubscriptOutOfRange, QStringLiteral("Subscript out of range"));
}

Q_ALWAYS_INLINE quint32 f(const Sboxes& s, quint32 x)
{
    using modEncrypt::AddWrapped;
    const quint32 sum = AddWrapped(s[0][x >> 24], s[1][(x >> 16) & 0xFF]);
    return AddWrapped(sum ^ s[2][(x >> 8) & 0xFF], s[3][x & 0xFF]);
}

// Two rounds per step, so the halves never need swapping; the output is (r, l) crossed over
// as in the published algorithm. The steps are unrolled at compile time.
template <std::size_t... Step>
Q_ALWAYS_INLINE void encipherRounds(const Subkeys& p, const Sboxes& s, quint32& l, quint32& r,
                                    std::index_sequence<Step...>)
{
    ((l ^= p[2 * Step], r ^= f(s, l), r ^= p[2 * Step + 1], l ^= f(s, r)), ...);
}

template <std::size_t... Step>
Q_ALWAYS_INLINE void decipherRounds(const Subkeys& p, const Sboxes& s, quint32& l, quint32& r,
                                    std::index_sequence<Step...>)
{
    constexpr std::size_t Last = clsBlowfish::Rounds + 1;
    ((l ^= p[Last - 2 * Step], r ^= f(s, l), r ^= p[Last - 2 * Step - 1], l ^= f(s, r)), ...);
}

Q_ALWAYS_INLINE void encipher(const Subkeys& p, const Sboxes& s, quint32& left, quint32& right)
{
    quint32 l = left;
    quint32 r = right;
    encipherRounds(p, s, l, r, std::make_index_sequence<clsBlowfish::Rounds / 2>());
    left = r ^ p[clsBlowfish::Rounds + 1];
    right = l ^ p[clsBlowfish::Rounds];
}

Q_ALWAYS_INLINE void decipher(const Subkeys& p, const Sboxes& s, quint32& left, quint32& right)
{
    quint32 l = left;
    quint32 r = right;
    decipherRounds(p, s, l, r, std::make_index_sequence<clsBlowfish::Rounds / 2>());
    left = r ^ p[0];
    right = l ^ p[1];
}

// The random first words: two values in [0, 2^31 - 1], little-endian, from the system's
// random source (a clock-seeded generator would repeat within one clock tick).
void writeRandomWords(char* at)
{
    quint32 values[2];
    QRandomGenerator::system()->fillRange(values);
    qToLittleEndian<quint32>(values[0] >> 1, at);
    qToLittleEndian<quint32>(values[1] >> 1, at + 4);
}

// Plain bytes that start with the marker and continue as valid UTF-8 are UTF-8 text.
bool decodeMarkedUtf8(const QByteArray& plain, QString& text)
{
    if (!plain.startsWith(Utf8Marker)) {
        return false;
    }
    // Keep a leading U+FEFF of the text itself: only the marker is ours.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless |
                                                     QStringDecoder::Flag::ConvertInitialBom);
    QString decoded = decoder(QByteArrayView(plain).sliced(sizeof(Utf8Marker) - 1));
    if (decoder.hasError()) {
        return false;
    }
    text = std::move(decoded);
    return true;
}

} // namespace

clsBlowfish::clsBlowfish()
{
    std::copy(BlowfishTables::InitialP.begin(), BlowfishTables::InitialP.end(), m_p);
    for (int box = 0; box < 4; ++box) {
        std::copy(BlowfishTables::InitialS[box].begin(), BlowfishTables::InitialS[box].end(),
                  m_s[box]);
    }
}

clsBlowfish& clsBlowfish::shared()
{
    static clsBlowfish instance;
    return instance;
}

void clsBlowfish::setKey(const QString& key)
{
    if (key == m_key) {
        return;
    }
    const QByteArray bytes = Win1252::fromUnicode(key);
    if (bytes.isEmpty()) {
        // There are no key bytes to mix in once a key has been set.
        throwSubscriptOutOfRange();
    }
    m_key = key;

    const auto* k = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qsizetype m = bytes.size();
    qsizetype j = 0;
    for (quint32& subkey : m_p) {
        quint32 word = 0;
        for (int b = 0; b < 4; ++b) {
            word = (word << 8) | k[j];
            j = (j + 1) % m;
        }
        subkey ^= word;
    }

    quint32 l = 0;
    quint32 r = 0;
    for (int i = 0; i < Rounds + 2; i += 2) {
        encipher(m_p, m_s, l, r);
        m_p[i] = l;
        m_p[i + 1] = r;
    }
    for (auto& box : m_s) {
        for (int entry = 0; entry < 256; entry += 2) {
            encipher(m_p, m_s, l, r);
            box[entry] = l;
            box[entry + 1] = r;
        }
    }
}

void clsBlowfish::EncryptBlock(quint32& left, quint32& right) const
{
    encipher(m_p, m_s, left, right);
}

void clsBlowfish::DecryptBlock(quint32& left, quint32& right) const
{
    decipher(m_p, m_s, left, right);
}

quint32 clsBlowfish::RoundFunction(quint32 x) const
{
    return f(m_s, x);
}

void clsBlowfish::encryptCbc(QByteArray& bytes, quint32 ivLeft, quint32 ivRight) const
{
    const qsizetype blocks = bytes.size() / BlockSize;
    uchar* data = reinterpret_cast<uchar*>(bytes.data());
    quint32 l = ivLeft;
    quint32 r = ivRight;
    for (qsizetype i = 0; i < blocks; ++i, data += BlockSize) {
        l ^= qFromBigEndian<quint32>(data);
        r ^= qFromBigEndian<quint32>(data + 4);
        encipher(m_p, m_s, l, r);
        qToBigEndian<quint32>(l, data);
        qToBigEndian<quint32>(r, data + 4);
    }
}

void clsBlowfish::decryptCbc(QByteArray& bytes, quint32 ivLeft, quint32 ivRight) const
{
    const qsizetype blocks = bytes.size() / BlockSize;
    uchar* data = reinterpret_cast<uchar*>(bytes.data());
    quint32 prevL = ivLeft;
    quint32 prevR = ivRight;
    for (qsizetype i = 0; i < blocks; ++i, data += BlockSize) {
        const quint32 cipherL = qFromBigEndian<quint32>(data);
        const quint32 cipherR = qFromBigEndian<quint32>(data + 4);
        quint32 l = cipherL;
        quint32 r = cipherR;
        decipher(m_p, m_s, l, r);
        qToBigEndian<quint32>(l ^ prevL, data);
        qToBigEndian<quint32>(r ^ prevR, data + 4);
        prevL = cipherL;
        prevR = cipherR;
    }
}

void clsBlowfish::EncryptByte(QByteArray& bytes, const QString& key)
{
    if (!key.isEmpty()) {
        setKey(key);
    }
    const qsizetype n = bytes.size();
    const qsizetype total = (HeaderSize + n + BlockSize - 1) / BlockSize * BlockSize;

    QByteArray buffer(total, '\0');
    char* out = buffer.data();
    writeRandomWords(out);
    qToLittleEndian<qint32>(static_cast<qint32>(n), out + 8);
    if (n > 0) {
        std::memcpy(out + HeaderSize, bytes.constData(), static_cast<std::size_t>(n));
    }
    encryptCbc(buffer);
    // The plain bytes go, zeroed, unless the caller still holds them.
    SecretText::Release(bytes);
    bytes = std::move(buffer);
}

void clsBlowfish::DecryptByte(QByteArray& bytes, const QString& key)
{
    if (!key.isEmpty()) {
        setKey(key);
    }
    const qsizetype c = bytes.size();
    decryptCbc(bytes);
    // A trailing partial block, or no room for the length field.
    if (c % BlockSize != 0 || c < HeaderSize) {
        throwSubscriptOutOfRange();
    }
    const qint32 n = qFromLittleEndian<qint32>(bytes.constData() + 8);
    const qint64 overhead = qint64(c) - n;
    if (overhead < HeaderSize || overhead > HeaderSize + BlockSize - 1) {
        throw AppError(SizeDescriptorError,
                       QStringLiteral("Incorrect size descriptor in Blowfish decryption"));
    }
    if (n < 0) {
        // Only a garbage length of -1 to -3 in a two-block text gets here.
        throwSubscriptOutOfRange();
    }
    // The plain text moves to the front of the same buffer, and the rest is zeroed: no copy of
    // it is left in freed memory.
    char* data = bytes.data();
    std::memmove(data, data + HeaderSize, static_cast<std::size_t>(n));
    SecretText::Zero(data + n, static_cast<std::size_t>(c - n));
    bytes.truncate(n);
}

QString clsBlowfish::EncryptString(const QString& text, const QString& key)
{
    QByteArray bytes;
    if (Win1252::fits(text) && !text.startsWith(QStringView(Utf8MarkerAsText))) {
        bytes = Win1252::fromUnicode(text);
    } else {
        // Windows-1252 would lose characters: store UTF-8 behind a marker instead.
        QByteArray utf8 = text.toUtf8();
        bytes.reserve(qsizetype(sizeof(Utf8Marker)) + utf8.size());
        bytes.append(Utf8Marker).append(utf8);
        SecretText::Wipe(utf8);
    }
    EncryptByte(bytes, key);
    return Win1252::toUnicode(bytes);
}

QString clsBlowfish::DecryptString(const QString& cipherText, const QString& key)
{
    QByteArray bytes = Win1252::fromUnicode(cipherText);
    // The plain bytes are zeroed whichever way this ends.
    const auto wipe = qScopeGuard([&bytes] { SecretText::Wipe(bytes); });
    DecryptByte(bytes, key);
    QString text;
    if (decodeMarkedUtf8(bytes, text)) {
        return text;
    }
    return Win1252::toUnicode(bytes);
}
