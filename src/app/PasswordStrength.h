// How strong a password is: zxcvbn's estimate in bits, the band the editor shows, and the time
// an offline attacker needs to guess it, in words.
#pragma once

#include <QString>
#include <QStringList>

class PasswordStrength
{
public:
    enum Band { Bad, Poor, Weak, Good, Excellent };

    // Only this many characters are handed to zxcvbn; a longer password is scored by its start
    // and extrapolated per character, so that a pasted page cannot stall typing.
    static constexpr int SCORED_LENGTH = 256;
    // Guesses per second of an offline attack on a fast hash.
    static constexpr double GUESSES_PER_SECOND = 1e10;

    // The estimated entropy in bits; words of the user dictionary (the entry's own title, user
    // name, host) count as easily guessed parts. The copies made for the estimate are zeroed.
    static double Bits(const QString& sPassword, const QStringList& asUserWords = {});
    // <= 0 Bad, < 40 Poor, < 75 Weak, < 100 Good, else Excellent.
    static Band BandOf(double dBits);
    // "Bad", "Poor", "Weak", "Good", "Excellent".
    static QString BandName(Band eBand);
    // The time to guess at GUESSES_PER_SECOND: "under a second", "3 hours", "centuries".
    static QString TimeToGuess(double dBits);
    // The words of an entry that its password should not be built from: the title and its
    // words, the user name and the part before its "@", the web address's host and its name.
    static QStringList UserWords(const QString& sTitle, const QString& sUser, const QString& sWeb);
};
