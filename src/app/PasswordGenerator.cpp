// Random passwords for the password editor: alphabets, unbiased choice by rejection sampling,
// and whole passwords redrawn until every chosen class is in them.
#include "app/PasswordGenerator.h"
#include "platform/SecretText.h"

#include <QRandomGenerator>
#include <algorithm>
#include <array>

namespace {

constexpr quint64 kTwoTo32 = quint64(1) << 32;

const struct
{
    PasswordGenerator::CharClass eClass;
    const char* chars;
} kClasses[] = {
    {PasswordGenerator::Upper, "ABCDEFGHIJKLMNOPQRSTUVWXYZ"},
    {PasswordGenerator::Lower, "abcdefghijklmnopqrstuvwxyz"},
    {PasswordGenerator::Digits, "0123456789"},
    // Every printable ASCII character that is neither a letter, a digit nor the space.
    {PasswordGenerator::Punctuation, R"x(!"#$%&'()*+,-./:;<=>?@[\]^_`{|}~)x"},
};

PasswordGenerator::CharClass classOf(QChar ch)
{
    if (ch >= u'A' && ch <= u'Z') {
        return PasswordGenerator::Upper;
    }
    if (ch >= u'a' && ch <= u'z') {
        return PasswordGenerator::Lower;
    }
    if (ch >= u'0' && ch <= u'9') {
        return PasswordGenerator::Digits;
    }
    return PasswordGenerator::Punctuation;
}

} // namespace

PasswordGenerator::CharClasses PasswordGenerator::AllClasses()
{
    return Upper | Lower | Digits | Punctuation;
}

QString PasswordGenerator::Alphabet(CharClasses classes)
{
    QString text;
    for (const auto& entry : kClasses) {
        if (classes & entry.eClass) {
            text += QLatin1StringView(entry.chars);
        }
    }
    return text;
}

int PasswordGenerator::ClampLength(int lLength)
{
    return std::clamp(lLength, MIN_LENGTH, MAX_LENGTH);
}

QString PasswordGenerator::Generate(int lLength, CharClasses classes)
{
    // One request to the operating system per batch of values rather than per character.
    std::array<quint32, 64> buffer{};
    std::size_t next = buffer.size();
    QString text = Generate(lLength, classes, [&buffer, &next]() {
        if (next == buffer.size()) {
            QRandomGenerator::system()->fillRange(buffer.data(), buffer.size());
            next = 0;
        }
        return buffer[next++];
    });
    // The drawn values tell the password; none is left behind in memory.
    SecretText::Zero(buffer.data(), sizeof(buffer));
    return text;
}

QString PasswordGenerator::Generate(int lLength, CharClasses classes, const Source& source)
{
    const int length = ClampLength(lLength);
    CharClasses chosen = classes & AllClasses();
    if (!chosen) {
        chosen = AllClasses();
    }
    const QString alphabet = Alphabet(chosen);
    const auto size = static_cast<quint32>(alphabet.size());
    QString text(length, Qt::Uninitialized);
    // A password that misses a chosen class is drawn again whole, rather than mended: every
    // password holding all chosen classes stays equally likely. The shortest length exceeds the
    // number of classes, so a random source soon gives one.
    for (;;) {
        CharClasses seen;
        for (int i = 0; i < length; ++i) {
            const QChar ch = alphabet[UniformIndex(size, source)];
            text[i] = ch;
            seen |= classOf(ch);
        }
        if (seen == chosen) {
            return text;
        }
    }
}

quint64 PasswordGenerator::RejectionLimit(quint32 lSize)
{
    if (lSize == 0) {
        return 0;
    }
    return kTwoTo32 - kTwoTo32 % lSize;
}

quint32 PasswordGenerator::UniformIndex(quint32 lSize, const Source& source)
{
    if (lSize == 0) {
        return 0;
    }
    // A plain remainder would favour the low indices whenever lSize does not divide 2^32.
    const quint64 limit = RejectionLimit(lSize);
    for (;;) {
        const quint32 value = source();
        if (value < limit) {
            return value % lSize;
        }
    }
}
