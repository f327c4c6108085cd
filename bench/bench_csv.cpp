// Speed of comma-separated import and export over 100,000 entries: importing a file (reading,
// recognising, mapping, checking duplicates, storing in one transaction) against inserting the
// same rows with the same field encryption in one transaction; exporting against reading the
// entries with OpenRecords and writing their texts plainly.
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
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <memory>

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
