// Speed of password health: the report over 10,000 entries against the zxcvbn calls alone on
// the same passwords; near reuse over 100,000 entries against exact reuse hashing alone; one
// breach lookup in a generated sorted list of 10,000,000 lines (its reads counted); and the
// editor's strength estimate for one key of a 64-character password.
#include "app/PasswordGenerator.h"
#include "app/PasswordHealth.h"
#include "app/PasswordStrength.h"
#include "data/BreachList.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <benchmark/benchmark.h>
#include <vector>
#include <zxcvbn.h>

namespace {

// Entries as people keep them: most generated, some a word with digits and symbols (often
// nearly alike), some reused outright.
// lWords base words: 10 makes dense families of nearly alike passwords, 1,000 sparse ones.
QList<PasswordHealth::Entry> makeEntries(int lCount, int lWords = 10)
{
    static const char* const words[] = {"summer",   "winter",   "dragon", "monkey", "sunshine",
                                        "football", "princess", "shadow", "master", "letmein"};
    QRandomGenerator random(42);
    QList<PasswordHealth::Entry> entries;
    entries.reserve(lCount);
    for (int i = 0; i < lCount; ++i) {
        PasswordHealth::Entry entry;
        entry.PASSWORD_ID = QString::number(i + 2);
        entry.TITLE_TX = QStringLiteral("Site %1").arg(i);
        entry.USER_NM = QStringLiteral("user%1@example.com").arg(i % 97);
        entry.WEB_SITE_TX = QStringLiteral("https://www.site%1.example/").arg(i);
        const int kind = int(random.bounded(10));
        if (kind < 6) {
            entry.PASSWORD_TX = PasswordGenerator::Generate(
                12 + int(random.bounded(9)), PasswordGenerator::AllClasses(),
                [&random] { return random.generate(); });
        } else if (kind < 9 || i == 0) {
            const int w = int(random.bounded(lWords));
            QString word = QString::fromLatin1(words[w % 10]);
            if (w >= 10) {
                word += QString::fromLatin1(words[(w / 10) % 10]).left(3 + w / 100);
            }
            if (random.bounded(2)) {
                word[0] = word[0].toUpper();
            }
            entry.PASSWORD_TX = word + QString::number(random.bounded(10000)) +
                                QLatin1Char("!#$%"[random.bounded(4)]);
        } else {
            entry.PASSWORD_TX = entries[random.bounded(i)].PASSWORD_TX;
        }
        entries.append(entry);
    }
    return entries;
}

// A copy whose passwords have buffers of their own, for a report that wipes them.
QList<PasswordHealth::Entry> deepCopy(const QList<PasswordHealth::Entry>& entries)
{
    QList<PasswordHealth::Entry> copy = entries;
    for (PasswordHealth::Entry& entry : copy) {
        entry.PASSWORD_TX = QString(entry.PASSWORD_TX.constData(), entry.PASSWORD_TX.size());
    }
    return copy;
}

const QList<PasswordHealth::Entry>& entries10k()
{
    static const auto entries = makeEntries(10000);
    return entries;
}

const QList<PasswordHealth::Entry>& entries100k(int lWords)
{
    static const auto dense = makeEntries(100000, 10);
    static const auto sparse = makeEntries(100000, 1000);
    return lWords == 10 ? dense : sparse;
}

std::vector<QStringView> passwordsOf(const QList<PasswordHealth::Entry>& entries)
{
    std::vector<QStringView> views;
    for (const auto& entry : entries) {
        views.push_back(entry.PASSWORD_TX);
    }
    return views;
}

void BM_Report(benchmark::State& state)
{
    const auto& entries = entries10k();
    const std::atomic<bool> cancel{false};
    for (auto _ : state) {
        state.PauseTiming();
        auto health = std::make_unique<PasswordHealth>(
            deepCopy(entries), QStringLiteral("Master#Password1"), QString());
        state.ResumeTiming();
        benchmark::DoNotOptimize(health->Run(cancel));
        state.PauseTiming();
        health.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_Report)->Unit(benchmark::kMillisecond);

// The same passwords and user dictionaries handed to zxcvbn directly.
void BM_ZxcvbnAlone(benchmark::State& state)
{
    const auto& entries = entries10k();
    std::vector<QByteArray> passwords;
    std::vector<std::vector<QByteArray>> words;
    for (const auto& entry : entries) {
        passwords.push_back(entry.PASSWORD_TX.toUtf8());
        std::vector<QByteArray> list;
        for (const QString& word :
             PasswordStrength::UserWords(entry.TITLE_TX, entry.USER_NM, entry.WEB_SITE_TX)) {
            list.push_back(word.toLower().toUtf8());
        }
        words.push_back(list);
    }
    std::vector<std::vector<const char*>> dictionaries;
    for (const auto& list : words) {
        std::vector<const char*> dictionary;
        for (const QByteArray& word : list) {
            dictionary.push_back(word.constData());
        }
        dictionary.push_back(nullptr);
        dictionaries.push_back(dictionary);
    }
    for (auto _ : state) {
        double total = 0;
        for (std::size_t i = 0; i < passwords.size(); ++i) {
            total += ZxcvbnMatch(passwords[i].constData(), dictionaries[i].data(), nullptr);
        }
        benchmark::DoNotOptimize(total);
    }
}
BENCHMARK(BM_ZxcvbnAlone)->Unit(benchmark::kMillisecond);

void BM_ExactReuse(benchmark::State& state)
{
    const auto passwords = passwordsOf(entries100k(int(state.range(0))));
    for (auto _ : state) {
        int groups = 0;
        benchmark::DoNotOptimize(PasswordHealth::ExactGroups(passwords, groups));
    }
}
BENCHMARK(BM_ExactReuse)->ArgName("words")->Arg(10)->Arg(1000)->Unit(benchmark::kMillisecond);

// Near reuse over the distinct passwords the exact step leaves: trimmed and lower-cased groups,
// and one edit apart.
void BM_NearReuse(benchmark::State& state)
{
    const auto passwords = passwordsOf(entries100k(int(state.range(0))));
    int groups = 0;
    const auto group = PasswordHealth::ExactGroups(passwords, groups);
    std::vector<QStringView> distinct(static_cast<std::size_t>(groups));
    for (std::size_t i = 0; i < passwords.size(); ++i) {
        distinct[std::size_t(group[i])] = passwords[i];
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(PasswordHealth::NearMatches(distinct));
    }
}
BENCHMARK(BM_NearReuse)->ArgName("words")->Arg(10)->Arg(1000)->Unit(benchmark::kMillisecond);

// A sorted list of 10,000,000 lines, written once to the temporary folder and kept there for
// the next run: spread hashes (each line's first 16 digits grow with its number), random rest.
QString breachFile()
{
    const QString path = QDir::temp().filePath(QStringLiteral("keycask_bench_breach.txt"));
    constexpr quint64 kLines = 10000000;
    if (QFile::exists(path)) {
        return path;
    }
    QFile file(path + QStringLiteral(".part"));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        return QString();
    }
    QRandomGenerator random(7);
    QByteArray chunk;
    const quint64 step = ~quint64(0) / kLines;
    for (quint64 i = 0; i < kLines; ++i) {
        chunk += QByteArray::number(i * step, 16).rightJustified(16, '0').toUpper();
        for (int part = 0; part < 3; ++part) {
            chunk += QByteArray::number(random.generate(), 16).rightJustified(8, '0').toUpper();
        }
        chunk += ':' + QByteArray::number(1 + random.bounded(100000)) + '\n';
        if (chunk.size() > (1 << 20)) {
            file.write(chunk);
            chunk.clear();
        }
    }
    file.write(chunk);
    file.close();
    QFile::rename(path + QStringLiteral(".part"), path);
    return path;
}

void BM_BreachLookup(benchmark::State& state)
{
    BreachList list(breachFile());
    QRandomGenerator random(9);
    int maxReads = 0;
    qint64 lookups = 0;
    for (auto _ : state) {
        const QString password = QStringLiteral("password %1").arg(random.generate());
        benchmark::DoNotOptimize(list.Count(password));
        maxReads = std::max(maxReads, list.LastReads());
        ++lookups;
    }
    state.counters["max_reads"] = maxReads;
    state.counters["lookups"] = double(lookups);
}
BENCHMARK(BM_BreachLookup)->Unit(benchmark::kMicrosecond);

// What the editor does on each key of a 64-character password.
void BM_StrengthKey(benchmark::State& state)
{
    const QString password = PasswordGenerator::Generate(50, PasswordGenerator::AllClasses()) +
                             QStringLiteral("x7#Kq!2mZp9$Lw4&");
    for (auto _ : state) {
        benchmark::DoNotOptimize(PasswordStrength::Bits(
            password.left(64),
            PasswordStrength::UserWords(QStringLiteral("My Bank"),
                                        QStringLiteral("jane.doe@example.com"),
                                        QStringLiteral("https://www.bank.example/"))));
    }
}
BENCHMARK(BM_StrengthKey)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
