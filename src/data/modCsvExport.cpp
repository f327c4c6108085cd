// Export of the entries to comma-separated files.
#include "data/modCsvExport.h"

#include "data/CsvFile.h"
#include "data/clsMY_FILE.h"
#include "data/clsPWD.h"
#include "data/modData.h"
#include "platform/AppError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <memory>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace {

[[noreturn]] void refuse(const QString& sPath, const QString& sReason)
{
    throw AppError(AppError::FileError, QStringLiteral("Nothing was exported: \"%1\" %2")
                                            .arg(QDir::toNativeSeparators(sPath), sReason));
}

// Opens a file that replaces sPath when committed, readable and writable by its owner only.
std::unique_ptr<QSaveFile> openPrivate(const QString& sPath)
{
    if (QFileInfo(sPath).isSymLink()) {
        refuse(sPath, QStringLiteral("is a symbolic link."));
    }
    auto file = std::make_unique<QSaveFile>(sPath);
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
        refuse(sPath, QStringLiteral("could not be written: ") + file->errorString());
    }
    return file;
}

void writeAll(QSaveFile& file, const QByteArray& abBytes)
{
    if (file.write(abBytes) != abBytes.size()) {
        refuse(file.fileName(), QStringLiteral("could not be written: ") + file.errorString());
    }
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

bool Export(const QString& sPath)
{
    // A list that cannot be read has been reported by its record class.
    const auto passwords = clsPWD().OpenRecords();
    if (!passwords) {
        return false;
    }
    const auto folders = clsMY_FILE().OpenRecords();
    if (!folders) {
        return false;
    }
    try {
        QList<QStringList> records = {QStringList{
            QStringLiteral("Group"), QStringLiteral("Title"), QStringLiteral("Username"),
            QStringLiteral("Password"), QStringLiteral("URL"), QStringLiteral("Notes")}};
        records.reserve(passwords->size() + 1);
        for (const clsPWD& entry : *passwords) {
            records.append(QStringList{QString(), entry.TITLE_TX, entry.USER_NM, entry.PASSWORD_TX,
                                       entry.WEB_SITE_TX, entry.NOTES_TX});
        }
        const auto passwordFile = openPrivate(sPath);
        writeAll(*passwordFile, CsvFile::Write(records));
        std::unique_ptr<QSaveFile> folderFile;
        const QString folderPath = FoldersPath(sPath);
        const bool folderFileExisted = QFileInfo(folderPath).exists();
        if (!folders->isEmpty()) {
            records = {QStringList{QStringLiteral("Name"), QStringLiteral("Folder"),
                                   QStringLiteral("Notes")}};
            for (const clsMY_FILE& entry : *folders) {
                records.append(
                    QStringList{entry.MY_FILE_NM, entry.MY_FILE_PATH_TX, entry.NOTES_TX});
            }
            folderFile = openPrivate(folderPath);
            writeAll(*folderFile, CsvFile::Write(records));
            if (!folderFile->commit()) {
                refuse(folderFile->fileName(),
                       QStringLiteral("could not be written: ") + folderFile->errorString());
            }
        }
        if (!passwordFile->commit()) {
            // Half an export is none: a folder file this export made goes again.
            if (folderFile && !folderFileExisted) {
                QFile::remove(folderPath);
            }
            refuse(sPath, QStringLiteral("could not be written: ") + passwordFile->errorString());
        }
        return true;
    } catch (const AppError& error) {
        modData::ShowError(error);
        return false;
    }
}

} // namespace modCsvExport
