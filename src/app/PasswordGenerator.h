// Random passwords for the password editor: a chosen length drawn from chosen classes of
// characters, every chosen class present, each character chosen without bias.
#pragma once

#include <QFlags>
#include <QString>
#include <QtGlobal>
#include <functional>

class PasswordGenerator
{
public:
    enum CharClass {
        Upper = 0x1,
        Lower = 0x2,
        Digits = 0x4,
        Punctuation = 0x8,
    };
    Q_DECLARE_FLAGS(CharClasses, CharClass)

    static constexpr int MIN_LENGTH = 8;
    static constexpr int MAX_LENGTH = 50;
    static constexpr int DEFAULT_LENGTH = 20;

    // A source of uniformly distributed 32-bit values.
    using Source = std::function<quint32()>;

    // Every class, in the order their alphabets are joined.
    static CharClasses AllClasses();
    // The characters of one class: A-Z, a-z, 0-9, or the 32 printable ASCII punctuation
    // characters. Of a combination, the classes' alphabets joined; no class gives empty text.
    static QString Alphabet(CharClasses classes);

    // The length brought inside MIN_LENGTH to MAX_LENGTH.
    static int ClampLength(int lLength);

    // A password of lLength characters (brought inside the limits) drawn from the chosen classes
    // (all four when none is chosen), holding at least one character of every chosen class.
    // Drawn from the operating system's random source.
    static QString Generate(int lLength, CharClasses classes);
    // The same, drawing from the given source.
    static QString Generate(int lLength, CharClasses classes, const Source& source);

    // Drawn values at or above this limit are thrown away, so that the rest divide evenly among
    // lSize choices: the largest multiple of lSize not above 2^32; 0 for a size of 0.
    static quint64 RejectionLimit(quint32 lSize);
    // An index below lSize, every index equally likely, from values of the source; 0 for a size
    // of 0.
    static quint32 UniformIndex(quint32 lSize, const Source& source);
};

Q_DECLARE_OPERATORS_FOR_FLAGS(PasswordGenerator::CharClasses)
