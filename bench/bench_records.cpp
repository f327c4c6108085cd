// Speed of the password list over data files of 10,000 and 100,000 entries: reading with
// decryption against a plain read of the same rows, building the main window's list against
// reading alone, one keystroke of filtering against a plain scan of the same texts, sorting,
// the printed report against writing the same texts with a plain text stream, deleting one
// entry from a long list, and opening a data file against a bare open with its key (the part of
// start-up bench/startup.sh cannot take from a window).
#include "app/clsApp.h"
#include "app/modGeneral.h"
#include "crypto/modFieldEncryption.h"
#include "data/clsDB.h"
#include "data/clsPWD.h"
#include "data/modSchema.h"
#include "platform/AppError.h"
#include "platform/Grid.h"
#include "platform/MsgBox.h"
#include "reports/clsRTFPassword.h"
#include "ui/main/frmMain.h"
#include "ui/main/modGrid.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTextStream>
#include <benchmark/benchmark.h>
#include <cstdio>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <map>
#include <memory>
#include <sqlite3.h>
#include <vector>

namespace {

struct DataFile
{
    QTemporaryDir dir;
    QString path;
};

std::map<int, std::unique_ptr<DataFile>>& dataFiles()
{
    static std::map<int, std::unique_ptr<DataFile>> files;
    return files;
}

QString Q(const QString& sText)
{
    return modGeneral::QuoteSQL(sText, QStringLiteral("NULL"));
}

void pointSessionAt(const DataFile& file)
{
    clsDB& db = clsDB::shared();
    if (db.Database != file.path) {
        db.CloseConnection();
        db.Database = file.path;
        clsApp::shared().SetApplicationFolder(file.dir.path());
    }
}

void insertRow(int lID, const QString& sTitle, const QString& sUser, const QString& sPassword,
               const QString& sWeb, const QString& sNotes)
{
    clsDB::shared().Execute(
        QStringLiteral("INSERT INTO PWD (PASSWORD_ID, TITLE_TX, USER_NM, PASSWORD_TX, "
                       "WEB_SITE_TX, NOTES_TX) VALUES (%1, %2, %3, %4, %5, %6)")
            .arg(lID)
            .arg(Q(sTitle), Q(sUser), Q(modFieldEncryption::EncryptField(sPassword)), Q(sWeb),
                 Q(sNotes)));
}

// A data file with the master row and lEntries entries in scrambled title order, made on first
// use; the shared session is pointed at it.
bool useDataFile(int lEntries)
{
    auto& file = dataFiles()[lEntries];
    try {
        if (!file) {
            file = std::make_unique<DataFile>();
            file->path = file->dir.filePath(QStringLiteral("Database/pwd.quillondata"));
            modSchema::CreateDataFile(file->path);
            pointSessionAt(*file);
            clsDB::shared().Execute(QStringLiteral("BEGIN"));
            insertRow(1, QStringLiteral("KeyCask"), QStringLiteral("KeyCask"),
                      QStringLiteral("master"), QString(), QString());
            for (int i = 0; i < lEntries; ++i) {
                const int n = int((qint64(i) * 7919) % lEntries);
                insertRow(i + 2,
                          QStringLiteral("%1 %2")
                              .arg(n % 2 ? "Entry" : "entry")
                              .arg(n, 6, 10, QChar(u'0')),
                          QStringLiteral("user%1@example.com").arg(n),
                          QStringLiteral("pw-%1-Xy!").arg(n * 31),
                          QStringLiteral("https://site%1.example.com/login").arg(n),
                          n % 3 ? QStringLiteral("Notes for entry %1").arg(n) : QString());
            }
            clsDB::shared().Execute(QStringLiteral("COMMIT"));
        }
        pointSessionAt(*file);
        return clsDB::shared().OpenConnection(true);
    } catch (const AppError& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return false;
    }
}

void BM_OpenRecords(benchmark::State& state)
{
    const int entries = int(state.range(0));
    if (!useDataFile(entries)) {
        state.SkipWithError("no data file");
        return;
    }
    for (auto _ : state) {
        auto list = clsPWD().OpenRecords();
        if (!list || list->size() != entries) {
            state.SkipWithError("wrong number of entries");
            break;
        }
        benchmark::DoNotOptimize(list->constData());
        // The list is freed outside the time: a read the user waits for (sign-in, unlock) never
        // frees an earlier list, which went when the window locked.
        state.PauseTiming();
        list.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * entries);
}
BENCHMARK(BM_OpenRecords)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// The same query and the same field reads as OpenRecords, without decryption or list building.
void BM_PlainSelect(benchmark::State& state)
{
    const int entries = int(state.range(0));
    if (!useDataFile(entries)) {
        state.SkipWithError("no data file");
        return;
    }
    const QString columns[] = {QStringLiteral("PASSWORD_ID"), QStringLiteral("TITLE_TX"),
                               QStringLiteral("USER_NM"),     QStringLiteral("PASSWORD_TX"),
                               QStringLiteral("WEB_SITE_TX"), QStringLiteral("NOTES_TX")};
    for (auto _ : state) {
        auto rs = clsDB::shared().Execute(
            QStringLiteral("SELECT * FROM PWD WHERE PASSWORD_ID > 1 ORDER BY TITLE_TX"));
        int rows = 0;
        qsizetype characters = 0;
        while (rs && !rs->EndOfRows()) {
            for (const QString& column : columns) {
                characters += rs->Field(column).size();
            }
            ++rows;
            rs->MoveNext();
        }
        if (rows != entries) {
            state.SkipWithError("wrong number of rows");
            break;
        }
        benchmark::DoNotOptimize(characters);
    }
    state.SetItemsProcessed(state.iterations() * entries);
}
BENCHMARK(BM_PlainSelect)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// Opening the data file as start-up does: key, checks, the text order.
void BM_OpenDataFile(benchmark::State& state)
{
    if (!useDataFile(0)) {
        state.SkipWithError("no data file");
        return;
    }
    for (auto _ : state) {
        clsDB::shared().CloseConnection();
        if (!clsDB::shared().OpenConnection(true)) {
            state.SkipWithError("not opened");
            break;
        }
    }
}
BENCHMARK(BM_OpenDataFile)->Unit(benchmark::kMillisecond);

// The floor of opening: the library's open, the key and the first read of the schema, which
// derives the key.
void BM_OpenDataFilePlain(benchmark::State& state)
{
    if (!useDataFile(0)) {
        state.SkipWithError("no data file");
        return;
    }
    const QByteArray path = dataFiles()[0]->path.toUtf8();
    const QByteArray key = clsDB::DatabasePassword().toUtf8();
    for (auto _ : state) {
        sqlite3* db = nullptr;
        int rc = sqlite3_open_v2(path.constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
        if (rc == SQLITE_OK) {
            rc = sqlite3_key(db, key.constData(), int(key.size()));
        }
        if (rc == SQLITE_OK) {
            rc = sqlite3_exec(db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
        }
        sqlite3_close_v2(db);
        if (rc != SQLITE_OK) {
            state.SkipWithError("not opened");
            break;
        }
    }
}
BENCHMARK(BM_OpenDataFilePlain)->Unit(benchmark::kMillisecond);

// The main window the list benchmarks fill; closed before the application object goes.
std::unique_ptr<frmMain>& mainWindowSlot()
{
    static std::unique_ptr<frmMain> window;
    return window;
}

frmMain& mainWindow()
{
    if (!mainWindowSlot()) {
        mainWindowSlot() = std::make_unique<frmMain>();
    }
    return *mainWindowSlot();
}

// The main window with the password list of the benchmark's size, or null after reporting.
frmMain* filledWindow(benchmark::State& state)
{
    if (!useDataFile(int(state.range(0)))) {
        state.SkipWithError("no data file");
        return nullptr;
    }
    frmMain& window = mainWindow();
    window.FillPasswordGrid();
    return &window;
}

void BM_FillPasswordGrid(benchmark::State& state)
{
    if (!useDataFile(int(state.range(0)))) {
        state.SkipWithError("no data file");
        return;
    }
    frmMain& window = mainWindow();
    for (auto _ : state) {
        window.FillPasswordGrid();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_FillPasswordGrid)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

const QString kTyped = QStringLiteral("entry 0012");

// The plain scan: the list's cell texts in one vector, searched without the grid.
void BM_PlainScan(benchmark::State& state)
{
    frmMain* window = filledWindow(state);
    if (!window) {
        return;
    }
    const Grid* grid = window->grid;
    const int columns = grid->GridColumnCount();
    std::vector<QString> cells;
    for (int i = 1; i <= grid->GridRowCount(); ++i) {
        for (int j = 1; j <= columns; ++j) {
            cells.push_back(grid->GridCellText(i, j));
        }
    }
    for (auto _ : state) {
        long count = 0;
        for (std::size_t row = 0; row < cells.size(); row += std::size_t(columns)) {
            for (int j = 0; j < columns; ++j) {
                if (cells[row + std::size_t(j)].contains(kTyped, Qt::CaseInsensitive)) {
                    ++count;
                    break;
                }
            }
        }
        benchmark::DoNotOptimize(count);
    }
}
BENCHMARK(BM_PlainScan)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_FilterGrid(benchmark::State& state)
{
    frmMain* window = filledWindow(state);
    if (!window) {
        return;
    }
    for (auto _ : state) {
        long count = 0;
        modGrid::FilterGrid(window->grid, kTyped, window->grid->GridColumnCount(), count);
        benchmark::DoNotOptimize(count);
    }
}
BENCHMARK(BM_FilterGrid)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_SortGrid(benchmark::State& state)
{
    frmMain* window = filledWindow(state);
    if (!window) {
        return;
    }
    for (auto _ : state) {
        modGrid::SortGrid(window->grid, 2);
    }
}
BENCHMARK(BM_SortGrid)->Arg(100000)->Unit(benchmark::kMillisecond);

// One key typed into the search box and taken back over the 100,000-entry list, with the idle
// lock off (argument 0) and on (1): the window's application-wide input filter stamps every
// key when the lock is on.
void BM_SearchKeystroke(benchmark::State& state)
{
    if (!useDataFile(100000)) {
        state.SkipWithError("no data file");
        return;
    }
    frmMain& window = mainWindow();
    window.FillPasswordGrid();
    clsApp::shared().setIdleLockMinutes(state.range(0) ? 5 : 0);
    window.ApplyIdleSetting();
    window.txtSearch->setText(QStringLiteral("entry 001"));
    for (auto _ : state) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_2, Qt::NoModifier, QStringLiteral("2"));
        QApplication::sendEvent(window.txtSearch, &press);
        QKeyEvent back(QEvent::KeyPress, Qt::Key_Backspace, Qt::NoModifier);
        QApplication::sendEvent(window.txtSearch, &back);
    }
    clsApp::shared().setIdleLockMinutes(0);
    window.ApplyIdleSetting();
}
BENCHMARK(BM_SearchKeystroke)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The printed report: reading the entries, decrypting them and writing the RTF file.
void BM_RTFPasswordBuild(benchmark::State& state)
{
    if (!useDataFile(int(state.range(0)))) {
        state.SkipWithError("no data file");
        return;
    }
    clsApp::shared().MakeReportPath();
    for (auto _ : state) {
        clsRTFPassword report;
        try {
            report.Build(true);
        } catch (const AppError& error) {
            state.SkipWithError(error.what());
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_RTFPasswordBuild)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// The same entries read the same way, their five texts written to a file by a plain text
// stream, one line each: the floor the report's writer is measured against.
void BM_PlainTextStreamReport(benchmark::State& state)
{
    if (!useDataFile(int(state.range(0)))) {
        state.SkipWithError("no data file");
        return;
    }
    clsApp::shared().MakeReportPath();
    const QString path = clsApp::shared().ReportPath() + QStringLiteral("/plain.txt");
    for (auto _ : state) {
        const auto entries = clsPWD().OpenRecords();
        QFile file(path);
        if (!entries || !file.open(QIODevice::WriteOnly)) {
            state.SkipWithError("no entries or no file");
            break;
        }
        QTextStream out(&file);
        for (const clsPWD& entry : *entries) {
            out << entry.TITLE_TX << '\t' << entry.USER_NM << '\t' << entry.PASSWORD_TX << '\t'
                << entry.WEB_SITE_TX << '\t' << entry.NOTES_TX << '\n';
        }
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_PlainTextStreamReport)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// The resident set of this process in bytes, as the system counts it; 0 where it cannot be read.
double residentBytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly)) {
        return 0;
    }
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toDouble() * 4096 : 0;
}

// Resident memory the password list of 100,000 entries takes above the empty list: the list is
// built empty, the allocator hands back what it holds unused, then the long list is built.
void BM_ListResidentMemory(benchmark::State& state)
{
    const int entries = int(state.range(0));
    if (!useDataFile(entries) || !useDataFile(0)) {
        state.SkipWithError("no data file");
        return;
    }
    for (auto _ : state) {
        useDataFile(0);
        mainWindow().FillPasswordGrid();
#ifdef __GLIBC__
        malloc_trim(0);
#endif
        const double before = residentBytes();
#ifdef __GLIBC__
        const struct mallinfo2 heapBefore = mallinfo2();
#endif
        useDataFile(entries);
        mainWindow().FillPasswordGrid();
        const double after = residentBytes();
#ifdef __GLIBC__
        // What the allocator holds in use (small blocks and mapped ones) against what it keeps.
        const struct mallinfo2 heapAfter = mallinfo2();
        state.counters["heap_in_use_per_entry"] =
            (double(heapAfter.uordblks + heapAfter.hblkhd) -
             double(heapBefore.uordblks + heapBefore.hblkhd)) /
            entries;
        state.counters["heap_free_per_entry"] =
            (double(heapAfter.fordblks) - double(heapBefore.fordblks)) / entries;
#endif
        state.counters["rss_empty_MB"] = before / 1e6;
        state.counters["rss_filled_MB"] = after / 1e6;
        state.counters["bytes_per_entry"] = (after - before) / entries;
    }
}
BENCHMARK(BM_ListResidentMemory)->Arg(100000)->Iterations(1)->Unit(benchmark::kMillisecond);

// Runs the event loop until the work a change queued is done: deferred layout, row heights
// fitted to the list's width, painting.
void settle()
{
    for (int round = 0; round < 20; ++round) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
}

// Sign-in as the user sees it: the main window made, its list filled, shown and painted, and
// every piece of work it queued done.
void BM_SignInListSettled(benchmark::State& state)
{
    if (!useDataFile(int(state.range(0)))) {
        state.SkipWithError("no data file");
        return;
    }
    for (auto _ : state) {
        auto window = std::make_unique<frmMain>();
        window->show();
        settle();
        state.PauseTiming();
        window.reset();
        settle();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_SignInListSettled)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// Unlocking a shown window over the list of the benchmark's size: the list is read again from
// the data file and shown as before the lock. Compare with BM_FillPasswordGrid, sign-in's
// reading and filling of the same list.
void BM_UnlockList(benchmark::State& state)
{
    if (!useDataFile(int(state.range(0)))) {
        state.SkipWithError("no data file");
        return;
    }
    auto window = std::make_unique<frmMain>();
    window->show();
    settle();
    for (auto _ : state) {
        state.PauseTiming();
        window->LockWindow();
        state.ResumeTiming();
        window->cmdUnlock->setEnabled(true);
        window->cmdUnlock->click();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_UnlockList)->Arg(100000)->Unit(benchmark::kMillisecond);

// A search in a shown window that narrows the whole list to one row (the last key of the
// search, or a paste), to the final screen with nothing left queued.
void BM_SearchNarrowsSettled(benchmark::State& state)
{
    if (!useDataFile(int(state.range(0)))) {
        state.SkipWithError("no data file");
        return;
    }
    auto window = std::make_unique<frmMain>();
    window->show();
    settle();
    window->txtSearch->setFocus();
    for (auto _ : state) {
        window->txtSearch->setText(QStringLiteral("entry 000012"));
        settle();
        state.PauseTiming();
        window->txtSearch->setText(QString());
        settle();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_SearchNarrowsSettled)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// Deleting the selected entry of a long list: one confirmed delete, one row removed. The row is
// put back, outside the measured time, for the next round.
void BM_DeleteSelectedEntry(benchmark::State& state)
{
    frmMain* window = filledWindow(state);
    if (!window) {
        return;
    }
    Grid* grid = window->grid;
    const int middle = grid->GridRowCount() / 2;
    for (auto _ : state) {
        state.PauseTiming();
        clsPWD entry;
        entry.OpenRecord(QString::number(grid->GridRowID(middle)));
        grid->GridSelectCell(middle, 1, true);
        state.ResumeTiming();
        window->DeleteSelectedEntry();
        state.PauseTiming();
        if (grid->GridRowCount() != int(state.range(0)) - 1) {
            state.SkipWithError("the row was not removed");
            break;
        }
        insertRow(int(entry.PASSWORD_ID.toLong()), entry.TITLE_TX, entry.USER_NM, entry.PASSWORD_TX,
                  entry.WEB_SITE_TX, entry.NOTES_TX);
        window->AddPasswordRow(entry);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_DeleteSelectedEntry)->Arg(100000)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // Column widths and placement go to a settings file of this run only.
    QTemporaryDir settings;
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings.path());
    // A failure must not wait for a click on a window nobody sees.
    MsgBox::SetResponder([](const MsgBox::Call& call) {
        // The delete benchmark confirms its question; anything else is a failure to see.
        if (call.title == QStringLiteral("Delete")) {
            return int(MsgBox::vbYes);
        }
        std::fprintf(stderr, "message: %s\n", qPrintable(call.prompt));
        return int(MsgBox::vbOK);
    });
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    mainWindowSlot().reset();
    clsDB::shared().CloseConnection();
    clsApp::shared().SetApplicationFolder(QString());
    dataFiles().clear();
    return 0;
}
