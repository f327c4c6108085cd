// Speed of protecting a data file with the master password and of returning it to the built-in
// password, over files of 10,000 and 100,000 entries, against sqlcipher_export of the same file
// alone; of signing in on a protected file against the key derivation alone; of a backup of the
// data file against a plain copy and one open with the key; and of the check for a replaced file
// against the save it precedes.
#include "app/clsApp.h"
#include "app/modGeneral.h"
#include "crypto/modFieldEncryption.h"
#include "data/clsDB.h"
#include "data/clsPWD.h"
#include "data/modBackup.h"
#include "data/modProtection.h"
#include "data/modSchema.h"
#include "platform/AppError.h"
#include "platform/MsgBox.h"
#include "platform/SqlConnection.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <map>
#include <memory>
#ifdef KEYCASK_HAVE_OPENSSL
#include <openssl/evp.h>
#endif

namespace {

const QString kMaster = QStringLiteral("Bench master pw");

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

// An unprotected data file with the master row and lEntries entries; the session is on it.
bool useDataFile(int lEntries)
{
    clsDB& db = clsDB::shared();
    auto& file = dataFiles()[lEntries];
    try {
        if (!file) {
            file = std::make_unique<DataFile>();
            file->path = file->dir.filePath(QStringLiteral("pwd.quillondata"));
            modSchema::CreateDataFile(file->path);
            db.CloseConnection();
            db.Database = file->path;
            db.Key = clsDB::DatabasePassword();
            db.KdfIter = 0;
            db.Execute(QStringLiteral("BEGIN"));
            for (int i = 1; i <= lEntries + 1; ++i) {
                db.Execute(QStringLiteral("INSERT INTO PWD (PASSWORD_ID, TITLE_TX, USER_NM, "
                                          "PASSWORD_TX, WEB_SITE_TX, NOTES_TX) VALUES (%1, %2, %3, "
                                          "%4, %5, %6)")
                               .arg(i)
                               .arg(Q(QStringLiteral("Entry %1").arg(i)),
                                    Q(QStringLiteral("user%1@example.com").arg(i)),
                                    Q(modFieldEncryption::EncryptField(
                                        i == 1 ? kMaster : QStringLiteral("pw-%1").arg(i))),
                                    Q(QStringLiteral("https://site%1.example.com").arg(i)),
                                    Q(QStringLiteral("Notes for entry %1").arg(i))));
            }
            db.Execute(QStringLiteral("COMMIT"));
        }
        db.CloseConnection();
        db.Database = file->path;
        db.Key = clsDB::DatabasePassword();
        db.KdfIter = 0;
        return db.OpenConnection(true);
    } catch (const AppError& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return false;
    }
}

// Protecting: copy under the master password, check, rename, reopen. Put back outside the time.
void BM_Protect(benchmark::State& state)
{
    if (!useDataFile(int(state.range(0)))) {
        state.SkipWithError("no data file");
        return;
    }
    for (auto _ : state) {
        modProtection::Protect(kMaster);
        state.PauseTiming();
        modProtection::Unprotect();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_Protect)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_Unprotect(benchmark::State& state)
{
    if (!useDataFile(int(state.range(0)))) {
        state.SkipWithError("no data file");
        return;
    }
    for (auto _ : state) {
        state.PauseTiming();
        modProtection::Protect(kMaster);
        state.ResumeTiming();
        modProtection::Unprotect();
    }
}
BENCHMARK(BM_Unprotect)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3);

// The floor: sqlcipher_export of the same file under the master password, nothing else.
void BM_ExportAlone(benchmark::State& state)
{
    if (!useDataFile(int(state.range(0)))) {
        state.SkipWithError("no data file");
        return;
    }
    const QString copy = clsDB::shared().Database + QStringLiteral(".export");
    for (auto _ : state) {
        state.PauseTiming();
        QFile::remove(copy);
        QFile empty(copy);
        empty.open(QIODevice::WriteOnly);
        empty.close();
        state.ResumeTiming();
        clsDB::shared().ExportTo(copy, kMaster, modProtection::PROTECTED_KDF_ITER);
    }
    QFile::remove(copy);
}
BENCHMARK(BM_ExportAlone)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3);

// Signing in on a protected file: the typed password tried as its key, the file opened.
void BM_SignInProtected(benchmark::State& state)
{
    if (!useDataFile(10000)) {
        state.SkipWithError("no data file");
        return;
    }
    modProtection::Protect(kMaster);
    for (auto _ : state) {
        if (!modProtection::OpenWithPassword(kMaster)) {
            state.SkipWithError("did not open");
            break;
        }
        state.PauseTiming();
        clsDB::shared().CloseConnection();
        state.ResumeTiming();
    }
    modProtection::OpenWithPassword(kMaster);
    modProtection::Unprotect();
}
BENCHMARK(BM_SignInProtected)->Unit(benchmark::kMillisecond)->Iterations(5);

// A backup: the file copied under a read lock, the copy compared with it byte for byte and
// opened with the key. The copies go again outside the time.
void BM_Backup(benchmark::State& state)
{
    if (!useDataFile(int(state.range(0)))) {
        state.SkipWithError("no data file");
        return;
    }
    for (auto _ : state) {
        const QString copy = clsDB::shared().MakeBackup(modBackup::MAX_KEEP);
        state.PauseTiming();
        QFile::remove(copy);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_Backup)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(5);

// The floor: a plain copy of the file's bytes and one open of the copy with the key.
void BM_CopyAndOpenAlone(benchmark::State& state)
{
    if (!useDataFile(int(state.range(0)))) {
        state.SkipWithError("no data file");
        return;
    }
    const QString path = clsDB::shared().Database;
    const QString copy = path + QStringLiteral(".copy");
    for (auto _ : state) {
        QFile::copy(path, copy);
        SqlConnection connection;
        connection.Open(copy, clsDB::DatabasePassword(), SqlConnection::Mode::ReadOnly);
        state.PauseTiming();
        connection.Close();
        QFile::remove(copy);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_CopyAndOpenAlone)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(5);

// The look for a replaced data file that precedes every change.
void BM_ReplacedFileCheck(benchmark::State& state)
{
    if (!useDataFile(10000)) {
        state.SkipWithError("no data file");
        return;
    }
    for (auto _ : state) {
        clsDB::shared().PrepareChange();
    }
}
BENCHMARK(BM_ReplacedFileCheck)->Unit(benchmark::kMicrosecond);

// Saving one changed entry, as the editor does.
void BM_SaveEntry(benchmark::State& state)
{
    if (!useDataFile(10000)) {
        state.SkipWithError("no data file");
        return;
    }
    clsPWD entry;
    entry.OpenRecord(QStringLiteral("5000"));
    int round = 0;
    for (auto _ : state) {
        entry.NOTES_TX = QStringLiteral("Changed %1").arg(++round);
        entry.Save(false);
    }
}
BENCHMARK(BM_SaveEntry)->Unit(benchmark::kMicrosecond);

#ifdef KEYCASK_HAVE_OPENSSL
// The key derivation alone: PBKDF2-HMAC-SHA1 over 256,000 iterations, as the file's format
// derives its key.
void BM_KeyDerivationAlone(benchmark::State& state)
{
    const QByteArray password = kMaster.toUtf8();
    const unsigned char salt[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    unsigned char key[32];
    for (auto _ : state) {
        PKCS5_PBKDF2_HMAC_SHA1(password.constData(), int(password.size()), salt, sizeof salt,
                               modProtection::PROTECTED_KDF_ITER, sizeof key, key);
        benchmark::DoNotOptimize(key);
    }
}
BENCHMARK(BM_KeyDerivationAlone)->Unit(benchmark::kMillisecond)->Iterations(5);
#endif

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
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
    dataFiles().clear();
    return 0;
}
