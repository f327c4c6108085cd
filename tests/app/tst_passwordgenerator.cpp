// Tests of the password generator: the alphabets, the classes in every password, the length
// limits, unbiased choice by rejection sampling and passwords that do not repeat.
#include "app/PasswordGenerator.h"

#include <QSet>
#include <QTest>
#include <array>
#include <limits>
#include <vector>

using namespace Qt::StringLiterals;
using PG = PasswordGenerator;

namespace {

// The class a character belongs to, told by its code alone; 0 outside the alphabets.
int classOf(QChar ch)
{
    const char16_t c = ch.unicode();
    if (c >= u'A' && c <= u'Z') {
        return PG::Upper;
    }
    if (c >= u'a' && c <= u'z') {
        return PG::Lower;
    }
    if (c >= u'0' && c <= u'9') {
        return PG::Digits;
    }
    if (c > u' ' && c < 0x7F) {
        return PG::Punctuation;
    }
    return 0;
}

// The classes present in a text.
int classesIn(const QString& sText)
{
    int classes = 0;
    for (QChar ch : sText) {
        classes |= classOf(ch);
    }
    return classes;
}

QString nameOf(int lClasses)
{
    QStringList names;
    const char* all[] = {"upper", "lower", "digits", "punctuation"};
    for (int i = 0; i < 4; ++i) {
        if (lClasses & (1 << i)) {
            names << QString::fromLatin1(all[i]);
        }
    }
    return names.isEmpty() ? u"none"_s : names.join(u'+');
}

// A source that gives the listed values in turn and counts how many were taken.
struct Script
{
    std::vector<quint32> values;
    std::size_t taken = 0;
    PG::Source source()
    {
        return [this] { return taken < values.size() ? values[taken++] : 0u; };
    }
};

} // namespace

class tst_PasswordGenerator : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Each alphabet is its class, whole and nothing else; together they are every printable
    // ASCII character but the space.
    void alphabets()
    {
        const PG::CharClass classes[] = {PG::Upper, PG::Lower, PG::Digits, PG::Punctuation};
        const qsizetype sizes[] = {26, 26, 10, 32};
        QString joined;
        for (int i = 0; i < 4; ++i) {
            const QString alphabet = PG::Alphabet(classes[i]);
            QCOMPARE(alphabet.size(), sizes[i]);
            QCOMPARE(classesIn(alphabet), int(classes[i]));
            joined += alphabet;
        }
        QCOMPARE(PG::Alphabet(PG::AllClasses()), joined);
        QString printable;
        for (char16_t c = 0x21; c < 0x7F; ++c) {
            printable += QChar(c);
        }
        QString sorted = joined;
        std::sort(sorted.begin(), sorted.end());
        QCOMPARE(sorted, printable);
        QVERIFY(PG::Alphabet({}).isEmpty());
    }

    void classes_data()
    {
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("classes");
        QTest::addColumn<int>("expected");
        for (int length : {8, 20, 50}) {
            for (int classes = 1; classes < 16; ++classes) {
                QTest::addRow("%d, %s", length, qPrintable(nameOf(classes)))
                    << length << classes << classes;
            }
        }
        // No class chosen: all four, as by default.
        QTest::newRow("20, none") << 20 << 0 << 15;
        // Bits outside the four classes are not classes.
        QTest::newRow("20, digits and an unknown bit") << 20 << (int(PG::Digits) | 0x10) << 4;
    }

    // Every chosen class is present and no other, at the shortest, default and longest length.
    void classes()
    {
        QFETCH(int, length);
        QFETCH(int, classes);
        QFETCH(int, expected);
        for (int draw = 0; draw < 300; ++draw) {
            const QString text = PG::Generate(length, PG::CharClasses(classes));
            QCOMPARE(text.size(), length);
            QCOMPARE(classesIn(text), expected);
        }
    }

    void lengthLimits_data()
    {
        QTest::addColumn<int>("asked");
        QTest::addColumn<int>("given");
        QTest::newRow("min int") << std::numeric_limits<int>::min() << 8;
        QTest::newRow("0") << 0 << 8;
        QTest::newRow("7") << 7 << 8;
        QTest::newRow("8") << 8 << 8;
        QTest::newRow("9") << 9 << 9;
        QTest::newRow("49") << 49 << 49;
        QTest::newRow("50") << 50 << 50;
        QTest::newRow("51") << 51 << 50;
        QTest::newRow("max int") << std::numeric_limits<int>::max() << 50;
    }

    // A length outside 8 to 50 is brought inside; a password holds all four classes even at the
    // shortest.
    void lengthLimits()
    {
        QFETCH(int, asked);
        QFETCH(int, given);
        QCOMPARE(PG::ClampLength(asked), given);
        const QString text = PG::Generate(asked, PG::AllClasses());
        QCOMPARE(text.size(), given);
        QCOMPARE(classesIn(text), 15);
    }

    void noRepeat_data()
    {
        QTest::addColumn<int>("length");
        QTest::newRow("default length 20") << 20;
        QTest::newRow("shortest length 8") << 8;
    }

    // 10,000 passwords from all classes, none twice.
    void noRepeat()
    {
        QFETCH(int, length);
        QSet<QString> seen;
        for (int draw = 0; draw < 10000; ++draw) {
            seen.insert(PG::Generate(length, PG::AllClasses()));
        }
        QCOMPARE(seen.size(), 10000);
    }

    // Every character of the alphabet is drawn about equally often: none left out at either
    // end of the alphabet, none strongly favoured. 100,000 characters over 94 give about 1064
    // each, with a standard deviation near 32; the bounds lie ten deviations away.
    void everyCharacterDrawn()
    {
        const QString alphabet = PG::Alphabet(PG::AllClasses());
        std::array<int, 128> counts{};
        for (int draw = 0; draw < 2000; ++draw) {
            for (QChar ch : PG::Generate(50, PG::AllClasses())) {
                ++counts[ch.unicode() & 0x7F];
            }
        }
        for (QChar ch : alphabet) {
            const int count = counts[ch.unicode()];
            QVERIFY2(count > 740 && count < 1390,
                     qPrintable(u"'%1' drawn %2 times"_s.arg(ch).arg(count)));
        }
    }

    void rejectionLimit_data()
    {
        QTest::addColumn<quint32>("size");
        QTest::addColumn<quint64>("limit");
        QTest::newRow("1") << 1u << Q_UINT64_C(4294967296);
        QTest::newRow("10, digits") << 10u << Q_UINT64_C(4294967290);
        QTest::newRow("26, letters of one case") << 26u << Q_UINT64_C(4294967274);
        QTest::newRow("32, punctuation: a power of two") << 32u << Q_UINT64_C(4294967296);
        QTest::newRow("62, letters and digits") << 62u << Q_UINT64_C(4294967292);
        QTest::newRow("94, all") << 94u << Q_UINT64_C(4294967254);
        QTest::newRow("3,000,000,000: one multiple") << 3000000000u << Q_UINT64_C(3000000000);
        QTest::newRow("2^32 - 1") << 4294967295u << Q_UINT64_C(4294967295);
    }

    // The limit is the largest multiple of the size not above 2^32.
    void rejectionLimit()
    {
        QFETCH(quint32, size);
        QFETCH(quint64, limit);
        QCOMPARE(PG::RejectionLimit(size), limit);
    }

    void uniformIndex_data()
    {
        QTest::addColumn<quint32>("size");
        QTest::addColumn<QList<quint32>>("values");
        QTest::addColumn<quint32>("index");
        QTest::addColumn<int>("taken");
        QTest::newRow("94: below the limit") << 94u << QList<quint32>{95} << 1u << 1;
        QTest::newRow("94: last value below the limit")
            << 94u << QList<quint32>{4294967253u} << 93u << 1;
        QTest::newRow("94: at the limit, above it, then below")
            << 94u << QList<quint32>{4294967254u, 4294967295u, 4294967253u} << 93u << 3;
        QTest::newRow("26: at the limit, then 0")
            << 26u << QList<quint32>{4294967274u, 0} << 0u << 2;
        QTest::newRow("32: nothing rejected") << 32u << QList<quint32>{4294967295u} << 31u << 1;
        QTest::newRow("1: nothing rejected") << 1u << QList<quint32>{4294967295u} << 0u << 1;
    }

    // Values at or above the limit are thrown away and the next one taken; the rest give their
    // remainder.
    void uniformIndex()
    {
        QFETCH(quint32, size);
        QFETCH(QList<quint32>, values);
        QFETCH(quint32, index);
        QFETCH(int, taken);
        Script script{std::vector<quint32>(values.begin(), values.end())};
        QCOMPARE(PG::UniformIndex(size, script.source()), index);
        QCOMPARE(int(script.taken), taken);
    }
};

QTEST_MAIN(tst_PasswordGenerator)
#include "tst_passwordgenerator.moc"
