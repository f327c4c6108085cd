// Password strength through zxcvbn's C library, with the band and time-to-guess wording.
#include "app/PasswordStrength.h"

#include "platform/SecretText.h"

#include <cmath>
#include <vector>
#include <zxcvbn.h>

double PasswordStrength::Bits(const QString& sPassword, const QStringList& asUserWords)
{
    if (sPassword.isEmpty()) {
        return 0;
    }
    qsizetype scored = std::min<qsizetype>(sPassword.size(), SCORED_LENGTH);
    if (scored < sPassword.size() && sPassword[scored - 1].isHighSurrogate()) {
        --scored;
    }
    QByteArray utf8 = QStringView(sPassword).first(scored).toUtf8();
    // The words, lower-cased, one after another with their ends in one buffer.
    QByteArray words;
    std::vector<qsizetype> starts;
    for (const QString& word : asUserWords) {
        // Shorter words would only mark single letters of every password.
        if (word.size() >= 3) {
            starts.push_back(words.size());
            words += (word.isLower() ? word : word.toLower()).toUtf8();
            words += '\0';
        }
    }
    std::vector<const char*> dictionary;
    dictionary.reserve(starts.size() + 1);
    for (qsizetype start : starts) {
        dictionary.push_back(words.constData() + start);
    }
    dictionary.push_back(nullptr);
    double bits = ZxcvbnMatch(utf8.constData(), dictionary.data(), nullptr);
    SecretText::Wipe(utf8);
    if (scored < sPassword.size()) {
        bits = bits * double(sPassword.size()) / double(scored);
    }
    return bits;
}

PasswordStrength::Band PasswordStrength::BandOf(double dBits)
{
    if (dBits <= 0) {
        return Bad;
    }
    if (dBits < 40) {
        return Poor;
    }
    if (dBits < 75) {
        return Weak;
    }
    return dBits < 100 ? Good : Excellent;
}

QString PasswordStrength::BandName(Band eBand)
{
    switch (eBand) {
    case Bad:
        return QStringLiteral("Bad");
    case Poor:
        return QStringLiteral("Poor");
    case Weak:
        return QStringLiteral("Weak");
    case Good:
        return QStringLiteral("Good");
    case Excellent:
        break;
    }
    return QStringLiteral("Excellent");
}

QString PasswordStrength::TimeToGuess(double dBits)
{
    const double seconds = std::exp2(std::max(dBits, 0.0)) / GUESSES_PER_SECOND;
    if (seconds < 1) {
        return QStringLiteral("under a second");
    }
    constexpr double kYear = 365.2425 * 86400;
    const struct
    {
        double length;
        const char* singular;
        const char* plural;
    } units[] = {{1, "second", "seconds"},        {60, "minute", "minutes"},
                 {3600, "hour", "hours"},         {86400, "day", "days"},
                 {kYear / 12, "month", "months"}, {kYear, "year", "years"}};
    for (std::size_t i = 0; i < std::size(units); ++i) {
        const double next = i + 1 < std::size(units) ? units[i + 1].length : 100 * kYear;
        if (seconds < next) {
            const auto count = static_cast<long long>(std::floor(seconds / units[i].length));
            return QStringLiteral("%1 %2").arg(count).arg(
                QLatin1String(count == 1 ? units[i].singular : units[i].plural));
        }
    }
    return QStringLiteral("centuries");
}

QStringList PasswordStrength::UserWords(const QString& sTitle, const QString& sUser,
                                        const QString& sWeb)
{
    QStringList words{sTitle, sUser};
    // The title's words, where it has more than one.
    const QStringList titleWords = sTitle.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (titleWords.size() > 1) {
        words += titleWords;
    }
    if (sUser.contains(QLatin1Char('@'))) {
        words << sUser.section(QLatin1Char('@'), 0, 0);
    }
    // The host: after the scheme and any user part, before the port, path, query or fragment.
    QStringView host = QStringView(sWeb).trimmed();
    if (const qsizetype scheme = host.indexOf(u"://"); scheme >= 0) {
        host = host.sliced(scheme + 3);
    }
    for (const QChar end : {u'/', u'?', u'#'}) {
        if (const qsizetype at = host.indexOf(end); at >= 0) {
            host.truncate(at);
        }
    }
    if (const qsizetype at = host.lastIndexOf(u'@'); at >= 0) {
        host = host.sliced(at + 1);
    }
    if (const qsizetype at = host.indexOf(u':'); at >= 0) {
        host.truncate(at);
    }
    if (host.startsWith(u"www.", Qt::CaseInsensitive)) {
        host = host.sliced(4);
    }
    if (!host.isEmpty()) {
        words << host.toString() << host.left(host.indexOf(u'.')).toString();
    }
    words.removeDuplicates();
    return words;
}
