// Tests of password health: the strength bands, the findings over a small set of entries, the
// breach list's binary search, and a cancelled run wiping the passwords it held.
#include "app/PasswordHealth.h"
#include "app/PasswordStrength.h"
#include "data/BreachList.h"
#include "platform/AppError.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <optional>
#include <sys/stat.h>

using namespace Qt::StringLiterals;
using PS = PasswordStrength;
using PH = PasswordHealth;

namespace {

// Sorted "HASH:count" lines for the passwords "pw0" to "pw1999" (count i + 1) and the extra
// ones given.
QList<QByteArray> breachLines(const QList<std::pair<QString, qint64>>& extra = {})
{
    QList<QByteArray> lines;
    for (int i = 0; i < 2000; ++i) {
        lines << BreachList::Sha1Hex(u"pw"_s + QString::number(i)) + ':' +
                     QByteArray::number(i + 1);
    }
    for (const auto& [password, count] : extra) {
        lines << BreachList::Sha1Hex(password) + ':' + QByteArray::number(count);
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

QString writeFile(const QTemporaryDir& dir, const QByteArray& content)
{
    const QString path = dir.filePath(u"breach.txt"_s);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(content) != content.size()) {
        qFatal("cannot write the breach list");
    }
    return path;
}

} // namespace

class tst_Health : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Known passwords fall in their bands with their time to guess; the entry's own words
    // (title, web address's host) lower the score of a password built from them.
    void strength_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("web");
        QTest::addColumn<int>("band");
        QTest::addColumn<QString>("time");
        QTest::newRow("common word")
            << u"password"_s << QString() << QString() << int(PS::Bad) << u"under a second"_s;
        QTest::newRow("word and year")
            << u"Summer2023!"_s << QString() << QString() << int(PS::Poor) << u"under a second"_s;
        QTest::newRow("leet word")
            << u"Tr0ub4dor&3"_s << QString() << QString() << int(PS::Weak) << u"3 hours"_s;
        QTest::newRow("random 16")
            << u"kX9#mQ2$vL7!pR4&"_s << QString() << QString() << int(PS::Good) << u"centuries"_s;
        QTest::newRow("random 24") << u"aB3$kL9!mQ2#xZ7&pR5*wT8^"_s << QString() << QString()
                                   << int(PS::Excellent) << u"centuries"_s;
        QTest::newRow("site name, no words")
            << u"Quillonsoftware2023!"_s << QString() << QString() << int(PS::Weak) << QString();
        QTest::newRow("site name, its own entry")
            << u"Quillonsoftware2023!"_s << u"Quillon"_s << u"https://www.quillonsoftware.com/"_s
            << int(PS::Poor) << QString();
    }
    void strength()
    {
        QFETCH(QString, password);
        QFETCH(QString, title);
        QFETCH(QString, web);
        QFETCH(int, band);
        QFETCH(QString, time);
        const double bits = PS::Bits(password, PS::UserWords(title, QString(), web));
        QCOMPARE(int(PS::BandOf(bits)), band);
        if (!time.isEmpty()) {
            QCOMPARE(PS::TimeToGuess(bits), time);
        }
    }

    // One set of entries: each row's entry has exactly its findings (weakness aside, which the
    // strength table covers), told in words.
    void findings_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("kinds");
        QTest::addColumn<QString>("text");
        QTest::newRow("nearly: trimmed and lower-cased")
            << u"Bank"_s << int(PH::NearlyReused) << u"nearly reused in Mail"_s;
        QTest::newRow("nearly: the other way")
            << u"Mail"_s << int(PH::NearlyReused) << u"nearly reused in Bank"_s;
        QTest::newRow("nearly: one edit, both sides")
            << u"Shop"_s << int(PH::NearlyReused) << u"nearly reused in Forum, Club"_s;
        QTest::newRow("nearly: edit in the first half")
            << u"Forum"_s << int(PH::NearlyReused) << u"nearly reused in Shop"_s;
        QTest::newRow("nearly: one character more")
            << u"Club"_s << int(PH::NearlyReused) << u"nearly reused in Shop"_s;
        QTest::newRow("reused") << u"Work"_s << int(PH::Reused) << u"reused in Home"_s;
        QTest::newRow("master password")
            << u"Admin"_s << int(PH::Master) << u"the master password"_s;
        QTest::newRow("own title") << u"Github"_s << int(PH::OwnTitle) << u"contains its title"_s;
        QTest::newRow("own user name")
            << u"Chat"_s << int(PH::OwnUser) << u"contains its user name"_s;
        QTest::newRow("breached") << u"Leaky"_s << int(PH::Breached)
                                  << u"in a breach list (seen 42 times)"_s;
        QTest::newRow("no password") << u"Blank"_s << int(PH::NoPassword) << u"no password"_s;
        QTest::newRow("none") << u"Notes"_s << 0 << QString();
    }
    void findings()
    {
        QFETCH(QString, title);
        QFETCH(int, kinds);
        QFETCH(QString, text);
        QTemporaryDir dir;
        QByteArray list = breachLines({{u"Tq7#vLp2Xz9!"_s, 42}}).join('\n');
        const QString breach = writeFile(dir, list + '\n');
        const QList<PH::Entry> entries = {
            {u"2"_s, u"Bank"_s, u"jdoe"_s, u"Summer2023!"_s, {}},
            {u"3"_s, u"Mail"_s, u"jdoe"_s, u"summer2024"_s, {}},
            {u"4"_s, u"Shop"_s, u"a"_s, u"Xk29!pLmQw8#Vb"_s, {}},
            {u"5"_s, u"Forum"_s, u"b"_s, u"Yk29!pLmQw8#Vb"_s, {}},
            {u"6"_s, u"Club"_s, u"c"_s, u"Xk29!pLmQw8#V"_s, {}},
            {u"7"_s, u"Work"_s, u"d"_s, u"Pz8#kQ2!vN5@"_s, {}},
            {u"8"_s, u"Home"_s, u"e"_s, u"Pz8#kQ2!vN5@"_s, {}},
            {u"9"_s, u"Admin"_s, u"f"_s, u"M4ster!Secret#2024"_s, {}},
            {u"10"_s, u"Github"_s, u"octocat"_s, u"xGithub#77Lq!Tz"_s, {}},
            {u"11"_s, u"Chat"_s, u"mallory"_s, u"mallory-Qx7#pL2!z"_s, {}},
            {u"12"_s, u"Leaky"_s, u"g"_s, u"Tq7#vLp2Xz9!"_s, {}},
            {u"13"_s, u"Notes"_s, u"h"_s, u"kX9#mQ2$vL7!pR4&"_s, {}},
            {u"14"_s, u"Blank"_s, u"i"_s, QString(), {}},
        };
        PH health(entries, u"M4ster!Secret#2024"_s, breach);
        const std::atomic<bool> cancel{false};
        QVERIFY(health.Run(cancel));
        QCOMPARE(health.BreachProblem(), QString());
        int index = 0;
        while (health.EntryAt(index).TITLE_TX != title) {
            ++index;
        }
        const PH::Finding& finding = health.FindingAt(index);
        QCOMPARE(int(finding.kinds & ~PH::Kinds(PH::Weak)), kinds);
        QVERIFY2(text.isEmpty() ? finding.Text().isEmpty() : finding.Text().contains(text),
                 qPrintable(finding.Text()));
    }

    // Near reuse by buckets finds what comparing every pair finds, also where hundreds of
    // passwords share a half (the buckets matched through their deletions), and where the edit
    // is next to the shared half.
    void oneEditLikePairs()
    {
        QStringList texts;
        for (int i = 0; i < 400; ++i) {
            texts << u"Password"_s + QString::number(i * 7 % 1000)
                  << u"Pasword"_s + QString::number(i) << QString::number(i) + u"xWinter"_s;
            // Substitutions right next to the shared half, on either side.
            const QChar next(u'A' + i % 50);
            texts << u"Sunny"_s + next + u"2024"_s << u"Rain"_s + next + u"y2024"_s;
        }
        texts.removeDuplicates();
        const std::vector<QStringView> views(texts.cbegin(), texts.cend());
        const auto partners = PH::OneEditApart(views);
        int pairs = 0;
        for (std::size_t a = 0; a < views.size(); ++a) {
            for (std::size_t b = 0; b < views.size(); ++b) {
                const QStringView x = views[a];
                const QStringView y = views[b];
                bool near = false;
                if (a != b && x.size() >= 8 && y.size() >= 8 &&
                    std::abs(x.size() - y.size()) <= 1) {
                    qsizetype p = 0;
                    while (p < x.size() && p < y.size() && x[p] == y[p]) {
                        ++p;
                    }
                    near = x.size() == y.size()  ? x.sliced(p + 1) == y.sliced(p + 1)
                           : x.size() < y.size() ? x.sliced(p) == y.sliced(p + 1)
                                                 : x.sliced(p + 1) == y.sliced(p);
                }
                pairs += near;
                QCOMPARE(std::binary_search(partners[a].begin(), partners[a].end(), int(b)), near);
            }
        }
        QVERIFY(pairs > 1000);
    }

    // The breach list found by binary search: the first, a middle and the last line, a hash it
    // lacks, a last line without its line end; a broken, unsorted or missing file is refused
    // with its reason (-1).
    void breach_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QByteArray>("hash");
        QTest::addColumn<qint64>("count");
        const QList<QByteArray> lines = breachLines();
        const QByteArray file = lines.join('\n') + '\n';
        auto hashOf = [&](qsizetype i) { return lines[i].left(40); };
        auto countOf = [&](qsizetype i) { return lines[i].mid(41).toLongLong(); };
        QTest::newRow("first line") << file << hashOf(0) << countOf(0);
        QTest::newRow("middle line") << file << hashOf(1234) << countOf(1234);
        QTest::newRow("last line") << file << hashOf(1999) << countOf(1999);
        QTest::newRow("not listed") << file << BreachList::Sha1Hex(u"not listed"_s) << qint64(0);
        QTest::newRow("no line end at the end")
            << lines.join('\n') << hashOf(1999) << countOf(1999);
        QList<QByteArray> broken = lines;
        broken[1000] = broken[1000].left(40) + "=7";
        QTest::newRow("broken line") << broken.join('\n') << hashOf(1000) << qint64(-1);
        QList<QByteArray> unsorted = lines;
        std::reverse(unsorted.begin(), unsorted.end());
        QTest::newRow("unsorted") << unsorted.join('\n') << hashOf(5) << qint64(-1);
        QTest::newRow("missing") << QByteArray() << hashOf(5) << qint64(-1);
        // Refused without waiting for a writer.
        QTest::newRow("a pipe") << QByteArray("|") << hashOf(5) << qint64(-1);
    }
    void breach()
    {
        QFETCH(QByteArray, content);
        QFETCH(QByteArray, hash);
        QFETCH(qint64, count);
        QTemporaryDir dir;
        const QString path = content.isEmpty() || content == "|" ? dir.filePath(u"list.txt"_s)
                                                                 : writeFile(dir, content);
        if (content == "|") {
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        }
        std::optional<qint64> found;
        try {
            BreachList list(path);
            found = list.CountHash(hash);
            // A search, never a scan.
            QVERIFY(list.LastReads() <= 20);
        } catch (const AppError& error) {
            QVERIFY(error.Description().contains(path));
        }
        QCOMPARE(found.value_or(-1), count);
    }

    // A run cancelled part way stops there and wipes every password it held, in every copy.
    void cancelWipes()
    {
        // Texts of their own (a literal's text cannot be overwritten).
        const QString first = u"first secret "_s + QString::number(1);
        const QString second = u"second secret "_s + QString::number(2);
        PH health({{u"2"_s, u"A"_s, u"a"_s, first, {}}, {u"3"_s, u"B"_s, u"b"_s, second, {}}},
                  QString(), QString());
        std::atomic<bool> cancel{false};
        health.StepHook = [&cancel](int) { cancel = true; };
        QVERIFY(!health.Run(cancel));
        QCOMPARE(health.Done(), 1);
        for (const QString& kept : {first, second}) {
            QCOMPARE(kept.count(QChar(0)), kept.size());
        }
    }
};

QTEST_MAIN(tst_Health)
#include "tst_health.moc"
