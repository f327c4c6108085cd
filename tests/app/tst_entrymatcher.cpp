// Tests of EntryMatcher: which stored entries a window title names.
#include "app/EntryMatcher.h"

#include <QTest>

class tst_EntryMatcher : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Each entry is "title|web address"; the entries that match are given by their titles.
    void matching_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QStringList>("expected");
        const QStringList mixed{"GitHub|", "Code host|https://github.com/login",
                                "Bank|bank.example", "Git|git-scm.com"};
        QTest::newRow("browser suffix")
            << "GitHub - Sign in - Mozilla Firefox" << mixed << QStringList{"GitHub", "Code host"};
        QTest::newRow("host with www.")
            << "Welcome to bank.example — Chromium" << QStringList{"Home|http://www.bank.example/"}
            << QStringList{"Home"};
        QTest::newRow("site name under co.uk")
            << "BBC Account - Sign in" << QStringList{"News|www.bbc.co.uk"} << QStringList{"News"};
        QTest::newRow("letter case")
            << "MAIL - inbox" << QStringList{"mail|"} << QStringList{"mail"};
        QTest::newRow("inside a longer word")
            << "Digital banking - Firefox" << QStringList{"Git|", "bank|"} << QStringList{};
        QTest::newRow("no match") << "Terminal" << mixed << QStringList{};
        QTest::newRow("empty title and address")
            << "Login" << QStringList{" |", "Router|192.168.1.1"} << QStringList{};
        QTest::newRow("address by number")
            << "192.168.1.1 - admin" << QStringList{"Router|192.168.1.1"} << QStringList{"Router"};
        QTest::newRow("several") << "Git and GitHub" << mixed
                                 << QStringList{"GitHub", "Code host", "Git"};
    }

    void matching()
    {
        QFETCH(QString, window);
        QFETCH(QStringList, entries);
        QFETCH(QStringList, expected);
        QList<EntryMatcher::Candidate> candidates;
        for (const QString& entry : entries) {
            candidates.append(
                {long(candidates.size()), entry.section('|', 0, 0), entry.section('|', 1)});
        }
        QStringList matched;
        for (const long id : EntryMatcher::Matching(window, candidates)) {
            matched.append(entries.at(id).section('|', 0, 0));
        }
        QCOMPARE(matched, expected);
    }
};

QTEST_GUILESS_MAIN(tst_EntryMatcher)
#include "tst_entrymatcher.moc"
