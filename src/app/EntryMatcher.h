// Which password entries belong to a window: its title names the entry's title or the host of
// its web address, as a whole word and in any letter case.
#pragma once

#include <QList>
#include <QString>

namespace EntryMatcher {

// What an entry offers to the matching.
struct Candidate
{
    long id = 0;
    QString title;
    QString webSite;
};

// The name a web address stands for in a window title: its host without "www.", and the name
// the owner registered ("github" for github.com, "bbc" for www.bbc.co.uk). Empty without a host.
QString HostOf(const QString& sWebSite);
QString SiteNameOf(const QString& sWebSite);

// True when the window title holds the entry's title, its host or its site name as a whole word
// (not inside a longer word), ignoring letter case.
bool Matches(const QString& sWindowTitle, const Candidate& oEntry);

// The identifiers of the candidates that match, in their order.
QList<long> Matching(const QString& sWindowTitle, const QList<Candidate>& aoEntries);

} // namespace EntryMatcher
