// Matching of window titles to password entries.
#include "app/EntryMatcher.h"

#include <QStringList>
#include <QUrl>

namespace EntryMatcher {

namespace {

// Second-level labels under which names are registered in many countries (co.uk, com.au).
bool isRegistryLabel(const QString& sLabel)
{
    static const QStringList labels{"ac", "co", "com", "edu", "gov", "net", "or", "org"};
    return labels.contains(sLabel);
}

bool isWordCharacter(QChar c)
{
    return c.isLetterOrNumber();
}

// The needle stands in the haystack with no letter or digit right before or after it.
bool containsWord(const QString& sHaystack, const QString& sNeedle)
{
    if (sNeedle.isEmpty()) {
        return false;
    }
    for (qsizetype at = sHaystack.indexOf(sNeedle, 0, Qt::CaseInsensitive); at >= 0;
         at = sHaystack.indexOf(sNeedle, at + 1, Qt::CaseInsensitive)) {
        const qsizetype end = at + sNeedle.size();
        const bool startsWord =
            at == 0 || !isWordCharacter(sHaystack.at(at - 1)) || !isWordCharacter(sNeedle.front());
        const bool endsWord = end == sHaystack.size() || !isWordCharacter(sHaystack.at(end)) ||
                              !isWordCharacter(sNeedle.back());
        if (startsWord && endsWord) {
            return true;
        }
    }
    return false;
}

} // namespace

QString HostOf(const QString& sWebSite)
{
    const QString text = sWebSite.trimmed();
    if (text.isEmpty()) {
        return QString();
    }
    QString host = QUrl::fromUserInput(text).host().toLower();
    if (host.startsWith(QLatin1String("www."))) {
        host.remove(0, 4);
    }
    return host;
}

QString SiteNameOf(const QString& sWebSite)
{
    const QString host = HostOf(sWebSite);
    QStringList labels = host.split(QLatin1Char('.'), Qt::SkipEmptyParts);
    // An address by number (or a single name) has no shorter name than itself.
    bool numeric = false;
    labels.value(labels.size() - 1).toInt(&numeric);
    if (labels.size() < 2 || numeric || host.contains(QLatin1Char(':'))) {
        return host;
    }
    labels.removeLast();
    if (labels.size() > 1 && isRegistryLabel(labels.last())) {
        labels.removeLast();
    }
    return labels.last();
}

bool Matches(const QString& sWindowTitle, const Candidate& oEntry)
{
    return containsWord(sWindowTitle, oEntry.title.trimmed()) ||
           containsWord(sWindowTitle, HostOf(oEntry.webSite)) ||
           containsWord(sWindowTitle, SiteNameOf(oEntry.webSite));
}

QList<long> Matching(const QString& sWindowTitle, const QList<Candidate>& aoEntries)
{
    QList<long> ids;
    for (const Candidate& entry : aoEntries) {
        if (Matches(sWindowTitle, entry)) {
            ids.append(entry.id);
        }
    }
    return ids;
}

} // namespace EntryMatcher
