// The one database session over SQLCipher.
#include "data/clsDB.h"

#include "app/clsApp.h"
#include "data/clsPWD.h"
#include "data/modBackup.h"
#include "platform/AppError.h"
#include "platform/MsgBox.h"

#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QStringList>
#include <future>
#include <sqlite3.h>
#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace {

// A data file holds both tables of entries. A file without them (made by something else, or
// emptied) is refused as no data file at all, before anything reads or writes it.
void requireTables(SqlConnection& connection)
{
    QStringList tables;
    for (auto rs = connection.Execute(
             QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table'"));
         !rs->EndOfRows(); rs->MoveNext()) {
        tables << rs->FieldAt(0);
    }
    for (const QString& required : clsDB::RequiredTables()) {
        if (!tables.contains(required, Qt::CaseInsensitive)) {
            throw AppError(
                SQLITE_NOTADB,
                QStringLiteral("file is not a data file: it has no table %1").arg(required));
        }
    }
}

// A statement's first word: the letters after any leading blanks.
QStringView firstWord(const QString& sSql)
{
    qsizetype start = 0;
    while (start < sSql.size() && sSql[start].isSpace()) {
        ++start;
    }
    qsizetype end = start;
    while (end < sSql.size() &&
           ((sSql[end] >= u'A' && sSql[end] <= u'Z') || (sSql[end] >= u'a' && sSql[end] <= u'z'))) {
        ++end;
    }
    return QStringView(sSql).sliced(start, end - start);
}

// Whether a statement of that first word changes the file.
bool isChange(QStringView word)
{
    for (const char* change :
         {"INSERT", "UPDATE", "DELETE", "REPLACE", "BEGIN", "CREATE", "DROP", "ALTER"}) {
        if (word.compare(QLatin1String(change), Qt::CaseInsensitive) == 0) {
            return true;
        }
    }
    return false;
}

// The user's message for a change that was not made, with its cause.
AppError refusal(const QString& sBefore, const QString& sCause)
{
    QString cause = sCause.trimmed();
    while (cause.endsWith(QLatin1Char('.'))) {
        cause.chop(1);
    }
    return AppError(AppError::ChangeRefused,
                    sBefore + cause + QStringLiteral(". Your change was not saved."));
}

} // namespace

clsDB::~clsDB()
{
    try {
        CloseConnection();
    } catch (...) {
    }
}

clsDB& clsDB::shared()
{
    static clsDB db;
    return db;
}

QStringList clsDB::RequiredTables()
{
    return {QStringLiteral("PWD"), QStringLiteral("MY_FILE")};
}

QString clsDB::DatabasePassword()
{
    return QStringLiteral("lamp2917");
}

bool clsDB::OpenConnection(bool /*bUseAccess*/)
{
    return open(Key, KdfIter);
}

bool clsDB::OpenConnectionWithRawKey(const QString& sRawKey)
{
    return open(sRawKey, 0);
}

bool clsDB::open(const QString& sKey, int lKdfIter)
{
    if (!m_connection) {
        m_connection = std::make_unique<SqlConnection>();
    }
    if (!m_connection->IsOpen()) {
        m_connection->Open(
            Database, sKey,
            ReadOnly ? SqlConnection::Mode::ReadOnly : SqlConnection::Mode::ReadWrite, lKdfIter);
        try {
            requireTables(*m_connection);
        } catch (...) {
            m_connection->Close();
            throw;
        }
        m_stamp = stamp();
        m_stampPath = Database;
    }
    return m_connection->IsOpen();
}

void clsDB::ExportTo(const QString& sPath, const QString& sKey, int lKdfIter)
{
    OpenConnection(true);
    m_connection->ExportTo(sPath, sKey, lKdfIter);
}

std::unique_ptr<Recordset> clsDB::Execute(const QString& sSql)
{
    const QStringView word = firstWord(sSql);
    const bool change = isChange(word);
    const bool select = word.compare(QLatin1String("SELECT"), Qt::CaseInsensitive) == 0;
    // A change let go without a backup ends with its first statement outside a transaction
    // (a whole import ends with its COMMIT or ROLLBACK), made or not, also when the file could
    // not be opened for it.
    const auto changeEnded = qScopeGuard([this, select] {
        if (!select && !(m_connection && m_connection->InTransaction())) {
            m_withoutBackup = false;
        }
    });
    if (change && !(m_connection && m_connection->InTransaction())) {
        PrepareChange();
    }
    if (!OpenConnection(true)) {
        return nullptr;
    }
    std::unique_ptr<Recordset> rs;
    try {
        rs = m_connection->Execute(sSql);
    } catch (const AppError&) {
        // The library refuses to write to a file that is no longer at its path.
        if (!select && fileReplacedUnderConnection(stamp())) {
            writeLost();
        }
        throw;
    }
    // What this session wrote is what the file now is, unless the file at the path is no longer
    // the one the connection wrote to. A SELECT never takes the stamp, or a file replaced
    // meanwhile would pass for ours.
    if (!m_connection->InTransaction() && !select) {
        const auto now = stamp();
        if (fileReplacedUnderConnection(now)) {
            writeLost();
        }
        m_stamp = now;
    }
    return rs;
}

bool clsDB::fileReplacedUnderConnection(const std::optional<FileStamp>& now) const
{
    if (!m_connection || !m_connection->IsOpen()) {
        return false;
    }
    if (m_connection->FileMoved()) {
        return true;
    }
    // The library compares inodes only; a path that now leads to another device is another
    // file too.
    return m_stamp && m_stampPath == Database && (!now || now->device != m_stamp->device);
}

void clsDB::writeLost()
{
    reload();
    throw AppError(AppError::ChangeRefused,
                   QStringLiteral("The data file was replaced by another program while KeyCask "
                                  "was saving. Your change was not saved; KeyCask has reloaded "
                                  "the file."));
}

int clsDB::Changes() const
{
    return m_connection ? m_connection->Changes() : 0;
}

void clsDB::BeginSession()
{
    m_session = true;
    m_backupMade = false;
    m_withoutBackup = false;
}

void clsDB::EndSession()
{
    m_session = false;
    m_refused = false;
    m_withoutBackup = false;
    m_stamp.reset();
}

std::optional<clsDB::FileStamp> clsDB::stamp() const
{
#ifdef Q_OS_UNIX
    struct stat info = {};
    if (::stat(QFile::encodeName(Database).constData(), &info) != 0) {
        return std::nullopt;
    }
    return FileStamp{static_cast<qint64>(info.st_dev), static_cast<qint64>(info.st_ino),
                     static_cast<qint64>(info.st_size),
                     static_cast<qint64>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec};
#else
    const QFileInfo info(Database);
    if (!info.exists()) {
        return std::nullopt;
    }
    return FileStamp{0, 0, info.size(), info.lastModified().toMSecsSinceEpoch()};
#endif
}

void clsDB::PrepareChange()
{
    if (m_refused) {
        refuse();
    }
    reloadIfReplaced();
    if (const int keep = clsApp::shared().KeepBackups(); m_session && !m_backupMade && keep > 0) {
        backup(modBackup::Reason::Change, keep);
    }
}

void clsDB::BackupBefore(modBackup::Reason eReason)
{
    // A larger change starts here: no earlier answer lets it go without a backup.
    m_withoutBackup = false;
    if (m_refused) {
        refuse();
    }
    reloadIfReplaced();
    const int keep = clsApp::shared().KeepBackups();
    // The current data is kept before a restore even with backups off, deleting none.
    if (keep > 0 || eReason == modBackup::Reason::Restore) {
        backup(eReason, keep);
    }
}

void clsDB::backup(modBackup::Reason eReason, int lKeep)
{
    if (m_withoutBackup) {
        return;
    }
    try {
        MakeBackup(lKeep, eReason);
    } catch (const AppError& error) {
        // The user may save this one change without a backup; the next change tries again.
        AppError refused = refusal(QStringLiteral("No backup of the data file could be made: "),
                                   error.Description());
        if (MsgBox::Show(refused.Description() + QStringLiteral(" ") +
                             QString::fromUtf16(BACKUP_WAY_OUT),
                         MsgBox::vbExclamation | MsgBox::vbYesNo | MsgBox::vbDefaultButton2,
                         QString(), nullptr,
                         {QStringLiteral("&Save without a backup this time"),
                          QStringLiteral("&Don't Save")}) == MsgBox::vbYes) {
            m_withoutBackup = true;
            return;
        }
        refused.setTold();
        throw refused;
    }
    m_backupMade = true;
}

QString clsDB::MakeBackup(int lKeep, modBackup::Reason eReason)
{
    OpenConnection(true);
    // A read transaction keeps every other writer off the file while its bytes are copied and
    // compared; the first read takes the file's shared lock. The bytes are read through one
    // handle, closed only after the transaction has ended: closing any handle on the file
    // drops every lock this process holds on it.
    QFile file(Database);
    m_connection->Execute(QStringLiteral("BEGIN"));
    QString copy;
    try {
        m_connection->Execute(QStringLiteral("SELECT count(*) FROM sqlite_master"));
        // The copy is opened with the key on a connection of its own while its bytes are
        // compared with the file's: the same bytes hold the same rows, and the open shows the
        // key reads them. Only then does it take its name.
        copy = modBackup::CopyFile(file, eReason, [this, &file](const QString& sCopy) {
            auto opened = std::async(std::launch::async, [sCopy, key = Key, kdfIter = KdfIter] {
                SqlConnection connection;
                connection.Open(sCopy, key, SqlConnection::Mode::ReadOnly, kdfIter);
            });
            modBackup::CompareCopy(file, sCopy);
            opened.get();
        });
        m_connection->Execute(QStringLiteral("COMMIT"));
    } catch (...) {
        if (m_connection->InTransaction()) {
            try {
                m_connection->Execute(QStringLiteral("ROLLBACK"));
            } catch (const AppError&) {
            }
        }
        throw;
    }
    modBackup::Rotate(Database, lKeep, copy);
    return copy;
}

void clsDB::CheckForReplacement()
{
    if (m_refused) {
        return;
    }
    try {
        reloadIfReplaced();
    } catch (const AppError&) {
        // A file the session cannot use has been reported through OnForeignFile.
    }
}

void clsDB::reloadIfReplaced()
{
    if (!m_stamp || m_stampPath != Database || stamp() == m_stamp) {
        return;
    }
    reload();
}

void clsDB::reload()
{
    CloseConnection();
    try {
        open(Key, KdfIter);
        // The same master password, or the file is another person's. Without a master row read
        // (no one signed in yet) there is nothing to compare.
        const clsPWD& session = clsPWD::Master();
        if (!clsPWD::TestStoredMaster(*m_connection, [&session](const QString& sMaster) {
                return session.PASSWORD_ID.isEmpty() || session.PasswordMatches(sMaster);
            })) {
            refuse();
        }
    } catch (const AppError& error) {
        if (error.Number() == AppError::ChangeRefused) {
            throw;
        }
        refuse();
    }
    // A file that is new to the session gets its own backup before its first change.
    m_backupMade = false;
    if (OnReloaded) {
        OnReloaded();
    }
}

void clsDB::refuse()
{
    const bool first = !m_refused;
    m_refused = true;
    CloseConnection();
    if (first && OnForeignFile) {
        OnForeignFile();
    }
    throw AppError(AppError::ChangeRefused,
                   QStringLiteral("The data file was replaced by another program with one that "
                                  "does not open with your master password. Your change was not "
                                  "saved."));
}

void clsDB::AcceptFile(const QString& sKey, int lKdfIter)
{
    CloseConnection();
    Key = sKey;
    KdfIter = lKdfIter;
    m_refused = false;
    m_backupMade = false;
    m_withoutBackup = false;
    open(Key, KdfIter);
}

void clsDB::CloseConnection()
{
    if (m_connection) {
        m_connection->Close();
    }
}
