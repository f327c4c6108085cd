// Export of the entries to comma-separated files.
#include "data/modCsvExport.h"

#include "app/FileHelper.h"
#include "data/CsvFile.h"
#include "data/clsDB.h"
#include "data/clsMY_FILE.h"
#include "data/clsPWD.h"
#include "data/modBackup.h"
#include "data/modData.h"
#include "platform/AppError.h"
#include "platform/MsgBox.h"
#include "platform/SecretText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSaveFile>
#include <memory>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

modCsvExport::CommitHook& commitHook()
{
    static modCsvExport::CommitHook hook;
    return hook;
}

QString native(const QString& sPath)
{
    return QDir::toNativeSeparators(sPath);
}

[[noreturn]] void refuse(const QString& sPath, const QString& sReason)
{
    throw AppError(AppError::FileError,
                   QStringLiteral("Nothing was exported: \"%1\" %2").arg(native(sPath), sReason));
}

// Whether the path lies in the data file's folder or below it (where its backups are), or in
// the folder of the file a linked data file points to; folders are compared as they truly are.
bool inDataFolder(const QString& sPath)
{
    const QString dataFile = clsDB::shared().Database;
    const QString folder = QFileInfo(QFileInfo(sPath).absolutePath()).canonicalFilePath();
    if (dataFile.isEmpty() || folder.isEmpty()) {
        return false;
    }
    const QString guarded[] = {QFileInfo(dataFile).absolutePath(),
                               QFileInfo(QFileInfo(dataFile).canonicalFilePath()).absolutePath(),
                               modBackup::Folder(dataFile)};
    for (const QString& path : guarded) {
        QString canonical = QFileInfo(path).canonicalFilePath();
        if (canonical.isEmpty()) {
            continue;
        }
        if (!canonical.endsWith(QLatin1Char('/'))) {
            canonical += QLatin1Char('/');
        }
        if ((folder + QLatin1Char('/')).startsWith(canonical)) {
            return true;
        }
    }
    return false;
}

// One file of the export: its bytes, written to a temporary file that takes the file's name on
// commit, readable and writable by its owner only.
struct Part
{
    QString path;
    QByteArray bytes;
    qsizetype entries = 0;
    std::unique_ptr<QSaveFile> file;

    ~Part() { SecretText::Wipe(bytes); }

    void write()
    {
        file = std::make_unique<QSaveFile>(path);
#ifdef Q_OS_UNIX
        // The temporary file is created with the mode the process mask leaves; only the owner's
        // bits survive this mask, so no one else can open it even for a moment.
        const mode_t previous = ::umask(077);
#endif
        const bool opened = file->open(QIODevice::WriteOnly);
#ifdef Q_OS_UNIX
        ::umask(previous);
#endif
        // Over an existing file the copy takes that file's mode; the export never shares.
        if (!opened || !file->setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
            fail(file->errorString());
        }
        QString reason = FileHelper::Write(*file, bytes);
        if (reason.isEmpty()) {
            reason = FileHelper::CompleteWrite(*file, bytes.size());
        }
        if (!reason.isEmpty()) {
            fail(reason);
        }
    }

    void commit()
    {
        if (commitHook()) {
            commitHook()(path);
        }
        if (!file->commit()) {
            fail(file->errorString());
        }
    }

    // The temporary file goes; the file of this name stays as it was.
    [[noreturn]] void fail(const QString& sReason)
    {
        file->cancelWriting();
        file.reset();
        refuse(path, QStringLiteral("could not be written: ") + sReason);
    }
};

// An existing file kept under a spare name in its folder while a new file takes its name, so
// that an export that fails afterwards can put it back.
class Kept
{
public:
    explicit Kept(const QString& sPath) : m_path(sPath)
    {
        if (!QFileInfo::exists(sPath)) {
            return;
        }
        const QFileInfo info(sPath);
        for (int attempt = 0; attempt < 100 && m_spare.isEmpty(); ++attempt) {
            const QString spare = info.absoluteDir().filePath(
                QStringLiteral(".%1.%2.old")
                    .arg(info.fileName(),
                         QString::number(QRandomGenerator::global()->generate(), 16)));
            if (QFileInfo::exists(spare) || QFileInfo(spare).isSymLink()) {
                continue;
            }
#ifdef Q_OS_UNIX
            // A second name for the same file; where the file system has none, the file moves.
            const QByteArray from = QFile::encodeName(sPath), to = QFile::encodeName(spare);
            if (::link(from.constData(), to.constData()) == 0 ||
                (errno != EEXIST && ::rename(from.constData(), to.constData()) == 0)) {
                m_spare = spare;
            } else if (errno != EEXIST) {
                break;
            }
#else
            if (!QFile::copy(sPath, spare)) {
                break;
            }
            m_spare = spare;
#endif
        }
        if (m_spare.isEmpty()) {
            refuse(sPath, QStringLiteral("could not be kept while the export is written."));
        }
    }
    // The kept file goes back to a name left empty (it moved and no new file took the name),
    // else the spare name goes.
    ~Kept()
    {
        if (m_spare.isEmpty()) {
            return;
        }
        if (!QFileInfo::exists(m_path) && !QFileInfo(m_path).isSymLink()) {
            QFile::rename(m_spare, m_path);
        } else {
            QFile::remove(m_spare);
        }
    }
    Kept(const Kept&) = delete;
    Kept& operator=(const Kept&) = delete;

    // After a new file took the name: the kept file replaces it again, or where there was none,
    // the new file goes.
    void Restore()
    {
        if (m_spare.isEmpty()) {
            QFile::remove(m_path);
            return;
        }
#ifdef Q_OS_UNIX
        const bool back = ::rename(QFile::encodeName(m_spare).constData(),
                                   QFile::encodeName(m_path).constData()) == 0;
#else
        const bool back = QFile::remove(m_path) && QFile::rename(m_spare, m_path);
#endif
        if (back) {
            m_spare.clear();
        }
    }

private:
    QString m_path;
    QString m_spare;
};

QString entries(qsizetype n, const char* sOne, const char* sMany)
{
    return QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? sOne : sMany));
}

} // namespace

namespace modCsvExport {

QString WarningText()
{
    return QStringLiteral("The exported file holds every password in plain text. Anyone who can "
                          "read the file can read your passwords. Export anyway?");
}

QString FoldersPath(const QString& sPath)
{
    const QFileInfo info(sPath);
    const QString suffix = info.suffix();
    const QString base = suffix.isEmpty() ? sPath : sPath.chopped(suffix.size() + 1);
    return base + QStringLiteral("-file-folders") +
           (suffix.isEmpty() ? QString() : QLatin1Char('.') + suffix);
}

QString WithExtension(const QString& sPath)
{
    return QFileInfo(sPath).suffix().isEmpty() ? sPath + QStringLiteral(".csv") : sPath;
}

void SetCommitHook(CommitHook hook)
{
    commitHook() = std::move(hook);
}

bool Export(const QString& sTypedPath)
{
    const QString sPath = WithExtension(sTypedPath);
    try {
        if (inDataFolder(sPath)) {
            refuse(sPath, QStringLiteral("is in the folder of the data file, beside the "
                                         "encrypted file and its backups. Choose another "
                                         "folder."));
        }
    } catch (const AppError& error) {
        modData::ShowError(error);
        return false;
    }
    // A list that cannot be read has been reported by its record class.
    const auto passwords = clsPWD().OpenRecords();
    if (!passwords) {
        return false;
    }
    const auto folders = clsMY_FILE().OpenRecords();
    if (!folders) {
        return false;
    }
    Part passwordPart{sPath, {}, passwords->size(), {}};
    Part folderPart{FoldersPath(sPath), {}, folders->size(), {}};
    QList<Part*> parts = {&passwordPart};
    if (!folders->isEmpty()) {
        parts.prepend(&folderPart);
    }
    try {
        QStringList replaced;
        for (const Part* part : std::as_const(parts)) {
            if (QFileInfo(part->path).isSymLink()) {
                refuse(part->path, QStringLiteral("is a symbolic link."));
            }
            if (QFileInfo::exists(part->path)) {
                replaced.append(native(part->path));
            }
        }
        if (!replaced.isEmpty()) {
            const QString question =
                replaced.size() == 1
                    ? QStringLiteral("The file \"%1\" exists already. Replace it?").arg(replaced[0])
                    : QStringLiteral("These files exist already:\r\n\r\n%1\r\n\r\nReplace them?")
                          .arg(replaced.join(QStringLiteral("\r\n")));
            if (MsgBox::Show(question, MsgBox::vbYesNo | MsgBox::vbQuestion |
                                           MsgBox::vbDefaultButton2) != MsgBox::vbYes) {
                return false;
            }
        }

        QList<QStringList> records = {QStringList{
            QStringLiteral("Group"), QStringLiteral("Title"), QStringLiteral("Username"),
            QStringLiteral("Password"), QStringLiteral("URL"), QStringLiteral("Notes")}};
        records.reserve(passwords->size() + 1);
        for (const clsPWD& entry : *passwords) {
            records.append(QStringList{QString(), entry.TITLE_TX, entry.USER_NM, entry.PASSWORD_TX,
                                       entry.WEB_SITE_TX, entry.NOTES_TX});
        }
        passwordPart.bytes = CsvFile::Write(records);
        SecretText::Wipe(records);
        records = {
            QStringList{QStringLiteral("Name"), QStringLiteral("Folder"), QStringLiteral("Notes")}};
        for (const clsMY_FILE& entry : *folders) {
            records.append(QStringList{entry.MY_FILE_NM, entry.MY_FILE_PATH_TX, entry.NOTES_TX});
        }
        folderPart.bytes = CsvFile::Write(records);
        SecretText::Wipe(records);

        // Half an export is none: every file is written and checked before any takes its name,
        // and a file replaced by an earlier commit comes back when a later one fails.
        for (Part* part : std::as_const(parts)) {
            part->write();
        }
        if (parts.size() > 1) {
            Kept older(folderPart.path);
            folderPart.commit();
            try {
                passwordPart.commit();
            } catch (const AppError&) {
                older.Restore();
                throw;
            }
        } else {
            passwordPart.commit();
        }
    } catch (const AppError& error) {
        modData::ShowError(error);
        return false;
    }
    QString done =
        QStringLiteral("%1 written to \"%2\".")
            .arg(entries(passwordPart.entries, "password entry was", "password entries were"),
                 native(passwordPart.path));
    if (parts.size() > 1) {
        done += QStringLiteral("\r\n%1 written to \"%2\".")
                    .arg(entries(folderPart.entries, "file-folder entry was",
                                 "file-folder entries were"),
                         native(folderPart.path));
    }
    MsgBox::Show(done, MsgBox::vbInformation | MsgBox::vbOKOnly);
    return true;
}

} // namespace modCsvExport
