// Speed of the main window's list: filtering one keystroke against a plain scan of the same
// cell texts, building the password list against reading the records alone, and sorting.
#include "app/clsApp.h"
#include "app/modGeneral.h"
#include "crypto/modFieldEncryption.h"
#include "data/clsDB.h"
#include "data/clsPWD.h"
#include "data/modSchema.h"
#include "platform/Grid.h"
#include "ui/main/frmMain.h"
#include "ui/main/modGrid.h"

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <map>
#include <memory>

namespace {

// One data file per row count, filled once and reused by every benchmark of that size.
struct DataSet
{
    std::unique_ptr<QTemporaryDir> dir;
    QString path;
};

const QString& dataFileFor(int rows)
{
    static std::map<int, DataSet> sets;
    auto it = sets.find(rows);
    if (it == sets.end()) {
        DataSet set;
        set.dir = std::make_unique<QTemporaryDir>();
        set.path = set.dir->filePath(QStringLiteral("pwd.quillondata"));
        modSchema::CreateDataFile(set.path);
        clsDB db;
        db.Database = set.path;
        db.Execute(QStringLiteral("BEGIN"));
        const QString cipher = modFieldEncryption::EncryptField(QStringLiteral("s3cret-Pass!"));
        for (int i = 2; i <= rows + 1; ++i) {
            const QString notes = i % 3 == 0 ? QStringLiteral("Account number %1, opened in "
                                                              "spring; call the branch first.")
                                                   .arg(i)
                                             : QString();
            db.Execute(
                QStringLiteral("INSERT INTO PWD VALUES (%1, %2, %3, %4, %5, %6)")
                    .arg(i)
                    .arg(modGeneral::QuoteSQL(QStringLiteral("Entry %1 bank").arg(i * 7919 % rows),
                                              "NULL"),
                         modGeneral::QuoteSQL(QStringLiteral("user%1").arg(i % 97), "NULL"),
                         modGeneral::QuoteSQL(cipher, "NULL"),
                         modGeneral::QuoteSQL(QStringLiteral("www.site%1.example").arg(i), "NULL"),
                         modGeneral::QuoteSQL(notes, "NULL")));
        }
        db.Execute(QStringLiteral("COMMIT"));
        it = sets.emplace(rows, std::move(set)).first;
    }
    return it->second.path;
}

void useDataFile(int rows)
{
    clsDB& db = clsDB::shared();
    const QString& path = dataFileFor(rows);
    if (db.Database != path) {
        db.CloseConnection();
        db.Database = path;
        db.OpenConnection(true);
    }
}

frmMain& mainWindow()
{
    static std::unique_ptr<frmMain> window = [] {
        useDataFile(1000);
        return std::make_unique<frmMain>();
    }();
    return *window;
}

void BM_OpenRecords(benchmark::State& state)
{
    useDataFile(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        auto records = clsPWD().OpenRecords();
        benchmark::DoNotOptimize(records);
    }
}

void BM_FillPasswordGrid(benchmark::State& state)
{
    useDataFile(static_cast<int>(state.range(0)));
    frmMain& window = mainWindow();
    for (auto _ : state) {
        window.FillPasswordGrid();
    }
}

// The plain scan: the same cell texts in a vector, searched without the grid.
void BM_PlainScan(benchmark::State& state)
{
    useDataFile(static_cast<int>(state.range(0)));
    frmMain& window = mainWindow();
    window.FillPasswordGrid();
    Grid* grid = window.grid;
    std::vector<QString> cells;
    for (int i = 1; i <= grid->GridRowCount(); ++i) {
        for (int j = 1; j <= grid->GridColumnCount(); ++j) {
            cells.push_back(grid->GridCellText(i, j));
        }
    }
    const int columns = grid->GridColumnCount();
    const QString text = QStringLiteral("bank 12");
    for (auto _ : state) {
        long count = 0;
        for (std::size_t row = 0; row < cells.size(); row += static_cast<std::size_t>(columns)) {
            for (int j = 0; j < columns; ++j) {
                if (cells[row + static_cast<std::size_t>(j)].contains(text, Qt::CaseInsensitive)) {
                    ++count;
                    break;
                }
            }
        }
        benchmark::DoNotOptimize(count);
    }
}

void BM_FilterGrid(benchmark::State& state)
{
    useDataFile(static_cast<int>(state.range(0)));
    frmMain& window = mainWindow();
    window.FillPasswordGrid();
    Grid* grid = window.grid;
    const QString text = QStringLiteral("bank 12");
    for (auto _ : state) {
        long count = 0;
        modGrid::FilterGrid(grid, text, grid->GridColumnCount(), count);
        benchmark::DoNotOptimize(count);
    }
}

void BM_SortGrid(benchmark::State& state)
{
    useDataFile(static_cast<int>(state.range(0)));
    frmMain& window = mainWindow();
    window.FillPasswordGrid();
    for (auto _ : state) {
        modGrid::SortGrid(window.grid, 2);
    }
}

} // namespace

BENCHMARK(BM_OpenRecords)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FillPasswordGrid)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainScan)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FilterGrid)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SortGrid)->Arg(100000)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir settings;
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings.path());
    clsApp::shared().SetApplicationFolder(settings.path());
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    clsDB::shared().CloseConnection();
    return 0;
}
