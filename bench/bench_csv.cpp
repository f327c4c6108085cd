// Speed of comma-separated import and export over 100,000 entries: importing a file (reading,
// recognising, mapping, checking duplicates, storing in one transaction) against inserting the
// same rows with the same field encryption in one transaction; exporting against reading the
// entries with OpenRecords and writing their texts plainly; and the peak memory of reading and
// checking a 60 MB file of one-character fields, against the file's size.
#include "app/clsApp.h"
#include "app/modGeneral.h"
#include "crypto/modFieldEncryption.h"
#include "data/CsvFile.h"
#include "data/CsvImport.h"
#include "data/clsDB.h"
#include "data/clsPWD.h"
#include "data/modCsvExport.h"
#include "data/modSchema.h"
#include "platform/AppError.h"
#include "platform/MsgBox.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <memory>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int kEntries = 100000;

QString Q(const QString& sText)
{
    return modGeneral::QuoteSQL(sText, QStringLiteral("NULL"));
}

void insertRow(int lID, const QStringList& fields)
{
    clsDB::shared().Execute(
        QStringLiteral("INSERT INTO PWD (PASSWORD_ID, TITLE_TX, USER_NM, PASSWORD_TX, "
                       "WEB_SITE_TX, NOTES_TX) VALUES (%1, %2, %3, %4, %5, %6)")
            .arg(lID)
            .arg(Q(fields[0]), Q(fields[1]), Q(modFieldEncryption::EncryptField(fields[2])),
                 Q(fields[3]), Q(fields[4])));
}

// The five fields of entry n, with a quote, a comma and a line break in some of them.
QStringList entry(int n)
{
    return {QStringLiteral("Entry \"%1\", main").arg(n, 6, 10, QChar(u'0')),
            QStringLiteral("user%1@example.com").arg(n), QStringLiteral("pw-%1-Xy!").arg(n * 31),
            QStringLiteral("https://site%1.example.com/login").arg(n),
            n % 3 ? QStringLiteral("Notes for entry %1\r\nsecond line").arg(n) : QString()};
}

// A fresh data file holding the master row only, the session pointed at it.
struct FreshFile
{
    QTemporaryDir dir;
    FreshFile()
    {
        const QString path = dir.filePath(QStringLiteral("Database/pwd.quillondata"));
        modSchema::CreateDataFile(path);
        clsDB::shared().CloseConnection();
        clsDB::shared().Database = path;
        clsApp::shared().SetApplicationFolder(dir.path());
        insertRow(1, {QStringLiteral("KeyCask"), QStringLiteral("KeyCask"),
                      QStringLiteral("master"), QString(), QString()});
    }
};

// The file every import reads, in the format KeyCask exports.
const QString& importFile()
{
    static QTemporaryDir dir;
    static QString path;
    if (path.isEmpty()) {
        QList<QStringList> records = {{QStringLiteral("Group"), QStringLiteral("Title"),
                                       QStringLiteral("Username"), QStringLiteral("Password"),
                                       QStringLiteral("URL"), QStringLiteral("Notes")}};
        for (int n = 0; n < kEntries; ++n) {
            records.append(QStringList{QString()} + entry(n));
        }
        path = dir.filePath(QStringLiteral("in.csv"));
        QFile file(path);
        if (file.open(QIODevice::WriteOnly)) {
            file.write(CsvFile::Write(records));
        }
    }
    return path;
}

void BM_ImportCsv(benchmark::State& state)
{
    const QString& path = importFile();
    for (auto _ : state) {
        state.PauseTiming();
        auto file = std::make_unique<FreshFile>();
        state.ResumeTiming();
        try {
            CsvImport import;
            import.Load(path);
            if (import.Store().imported != kEntries) {
                state.SkipWithError("wrong number of entries");
                break;
            }
        } catch (const AppError& error) {
            state.SkipWithError(error.what());
            break;
        }
        state.PauseTiming();
        file.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kEntries);
}
BENCHMARK(BM_ImportCsv)->Unit(benchmark::kMillisecond)->Iterations(2);

// The floor of an import: the same rows, already in memory, encrypted and inserted.
void BM_InsertSameRows(benchmark::State& state)
{
    QList<QStringList> rows;
    for (int n = 0; n < kEntries; ++n) {
        rows.append(entry(n));
    }
    for (auto _ : state) {
        state.PauseTiming();
        auto file = std::make_unique<FreshFile>();
        state.ResumeTiming();
        clsDB::shared().Execute(QStringLiteral("BEGIN"));
        int id = 2;
        for (const QStringList& row : std::as_const(rows)) {
            insertRow(id++, row);
        }
        clsDB::shared().Execute(QStringLiteral("COMMIT"));
        state.PauseTiming();
        file.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kEntries);
}
BENCHMARK(BM_InsertSameRows)->Unit(benchmark::kMillisecond)->Iterations(2);

// A file of about 60 MB in KeyCask's format whose fields are one character each, every row
// another: the most records and fields a file of that size holds for the import to keep.
const QString& oneCharacterFile()
{
    static QTemporaryDir dir;
    static QString path;
    if (path.isEmpty()) {
        path = dir.filePath(QStringLiteral("tiny.csv"));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly)) {
            return path;
        }
        file.write("Group,Title,Username,Password,URL,Notes\n");
        static constexpr char digits[] =
            "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUV";
        QByteArray chunk;
        for (qint64 n = 0; file.size() + chunk.size() < 60LL * 1000 * 1000; ++n) {
            qint64 rest = n;
            for (int field = 0; field < 6; ++field) {
                chunk.append(digits[rest % 58]).append(field < 5 ? ',' : '\n');
                rest /= 58;
            }
            if (chunk.size() > (1 << 20)) {
                file.write(chunk);
                chunk.clear();
            }
        }
        file.write(chunk);
    }
    return path;
}

qint64 residentKilobytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly)) {
        return 0;
    }
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.value(1).toLongLong() * (sysconf(_SC_PAGESIZE) / 1024);
}

// Reads and checks the file in a child process, whose peak memory beyond what it started with
// is the import's own.
void BM_ImportMemory60MB(benchmark::State& state)
{
    const QString& path = oneCharacterFile();
    const double size = double(QFileInfo(path).size());
    double peak = 0;
    for (auto _ : state) {
        int fds[2];
        if (::pipe(fds) != 0) {
            state.SkipWithError("no pipe");
            break;
        }
        const pid_t child = ::fork();
        if (child == 0) {
            ::close(fds[0]);
            qint64 grown = -1;
            try {
                FreshFile file;
                const qint64 before = residentKilobytes();
                CsvImport import;
                import.Load(path);
                rusage usage = {};
                ::getrusage(RUSAGE_SELF, &usage);
                if (import.Count(CsvImport::Status::Add) > 0) {
                    grown = qint64(usage.ru_maxrss) - before;
                }
            } catch (const AppError&) {
            }
            ssize_t written = ::write(fds[1], &grown, sizeof grown);
            ::_exit(written == sizeof grown ? 0 : 1);
        }
        ::close(fds[1]);
        qint64 grown = -1;
        const ssize_t got = ::read(fds[0], &grown, sizeof grown);
        ::close(fds[0]);
        ::waitpid(child, nullptr, 0);
        if (got != sizeof grown || grown < 0) {
            state.SkipWithError("the import failed");
            break;
        }
        peak = double(grown) * 1024;
    }
    state.counters["file_MB"] = size / 1e6;
    state.counters["peak_MB"] = peak / 1e6;
    state.counters["peak_per_file_size"] = peak / size;
}
BENCHMARK(BM_ImportMemory60MB)->Unit(benchmark::kMillisecond)->Iterations(1);

// A data file of kEntries entries for the export benchmarks, made on first use.
FreshFile& filledFile()
{
    static std::unique_ptr<FreshFile> file;
    if (!file) {
        file = std::make_unique<FreshFile>();
        clsDB::shared().Execute(QStringLiteral("BEGIN"));
        for (int n = 0; n < kEntries; ++n) {
            insertRow(n + 2, entry(n));
        }
        clsDB::shared().Execute(QStringLiteral("COMMIT"));
    }
    clsDB::shared().Database = file->dir.filePath(QStringLiteral("Database/pwd.quillondata"));
    return *file;
}

void BM_ExportCsv(benchmark::State& state)
{
    const QString path = filledFile().dir.filePath(QStringLiteral("out.csv"));
    for (auto _ : state) {
        if (!modCsvExport::Export(path)) {
            state.SkipWithError("not exported");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * kEntries);
}
BENCHMARK(BM_ExportCsv)->Unit(benchmark::kMillisecond)->Iterations(3);

// The floor of an export: OpenRecords and the five texts of each entry written plainly.
void BM_OpenRecordsPlainWrite(benchmark::State& state)
{
    const QString path = filledFile().dir.filePath(QStringLiteral("plain.txt"));
    for (auto _ : state) {
        const auto entries = clsPWD().OpenRecords();
        QFile file(path);
        if (!entries || !file.open(QIODevice::WriteOnly)) {
            state.SkipWithError("no entries or no file");
            break;
        }
        QString text;
        for (const clsPWD& e : *entries) {
            text += e.TITLE_TX + u'\t' + e.USER_NM + u'\t' + e.PASSWORD_TX + u'\t' + e.WEB_SITE_TX +
                    u'\t' + e.NOTES_TX + u'\n';
        }
        file.write(text.toUtf8());
    }
    state.SetItemsProcessed(state.iterations() * kEntries);
}
BENCHMARK(BM_OpenRecordsPlainWrite)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    // A failure must not wait for a click on a window nobody sees.
    MsgBox::SetResponder([](const MsgBox::Call& call) {
        std::fprintf(stderr, "message: %s\n", qPrintable(call.prompt));
        return int(MsgBox::vbOK);
    });
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    clsDB::shared().CloseConnection();
    clsApp::shared().SetApplicationFolder(QString());
    return 0;
}
