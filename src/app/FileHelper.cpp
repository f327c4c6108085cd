// Writes report files and opens targets with their associated programs.
#include "app/FileHelper.h"

#include "platform/AppError.h"
#include "platform/Win1252.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>
#include <cerrno>
#include <cstring>
#include <system_error>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

FileHelper::LaunchHook& launchHook()
{
    static FileHelper::LaunchHook hook;
    return hook;
}

[[noreturn]] void raiseFileError(const QString& sWhat, const QString& sPath, const QString& sReason)
{
    throw AppError(
        AppError::FileError,
        QStringLiteral("%1 \"%2\": %3").arg(sWhat, QDir::toNativeSeparators(sPath), sReason));
}

// How many names OpenFile tries before it gives up: the path, then "_2" up to this number.
constexpr int kMaxNameAttempts = 999;

// The path with "_<n>" before its extension (the path itself for 1).
QString numberedPath(const QString& sPath, int n)
{
    if (n == 1) {
        return sPath;
    }
    const QString suffix = QFileInfo(sPath).suffix();
    const QString number = QStringLiteral("_") + QString::number(n);
    return suffix.isEmpty() ? sPath + number
                            : sPath.chopped(suffix.size() + 1) + number + QLatin1Char('.') + suffix;
}

// Creates the file new for its owner alone, never through a link at its name. On failure gives
// null, the reason, and whether the name was taken.
std::unique_ptr<QFile> createNew(const QString& sPath, QString& rsReason, bool& rbTaken)
{
#ifdef Q_OS_UNIX
    const int fd = ::open(QFile::encodeName(sPath).constData(),
                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        const int error = errno;
        rbTaken = error == EEXIST;
        rsReason = QString::fromStdString(std::generic_category().message(error));
        return nullptr;
    }
    auto file = std::make_unique<QFile>(sPath);
    if (!file->open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)) {
        rbTaken = false;
        rsReason = file->errorString();
        ::close(fd);
        QFile::remove(sPath);
        return nullptr;
    }
    return file;
#else
    auto file = std::make_unique<QFile>(sPath);
    if (!file->open(QIODevice::WriteOnly | QIODevice::NewOnly,
                    QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        const QFileInfo info(sPath);
        rbTaken = info.exists() || info.isSymLink();
        rsReason = file->errorString();
        return nullptr;
    }
    return file;
#endif
}

// Whether every character is ASCII, which Windows-1252 keeps as it is (the bulk of every
// report). Four characters are looked at in one 64-bit word.
bool isAscii(QStringView text)
{
    const char16_t* chars = text.utf16();
    const qsizetype size = text.size();
    quint64 seen = 0;
    qsizetype i = 0;
    for (; i + 4 <= size; i += 4) {
        quint64 four;
        std::memcpy(&four, chars + i, sizeof four);
        seen |= four;
    }
    for (; i < size; ++i) {
        seen |= chars[i];
    }
    return (seen & 0xFF80'FF80'FF80'FF80) == 0;
}

} // namespace

FileHelper::FileHelper() = default;

FileHelper::~FileHelper()
{
    discard();
}

void FileHelper::discard()
{
    if (!m_file) {
        return;
    }
    m_file->close();
    m_file.reset();
    QFile::remove(m_lastPath);
}

FileHelper& FileHelper::shared()
{
    static FileHelper helper;
    return helper;
}

void FileHelper::SetLaunchHook(LaunchHook hook)
{
    launchHook() = std::move(hook);
}

void FileHelper::OpenFile(const QString& sPath, int /*lMode*/)
{
    discard();
    // Reports hold passwords in plain text: a new file for its owner alone, and a link planted
    // at the name is never written through.
    QString reason;
    bool taken = true;
    for (int n = 1; n <= kMaxNameAttempts && taken; ++n) {
        const QString path = numberedPath(sPath, n);
        if (auto file = createNew(path, reason, taken)) {
            m_file = std::move(file);
            m_lastPath = path;
            m_written = 0;
            return;
        }
    }
    raiseFileError(QStringLiteral("Cannot create the file"), sPath, reason);
}

void FileHelper::WriteText(const QString& sText, int lLineEnd, int /*lReserved*/)
{
    if (!m_file) {
        throw AppError(AppError::FileError, QStringLiteral("No file is open for writing."));
    }
    QByteArray bytes = isAscii(sText) ? sText.toLatin1() : Win1252::fromUnicode(sText);
    if (lLineEnd == 1) {
        bytes.append("\r\n");
    }
    if (const QString reason = Write(*m_file, bytes); !reason.isEmpty()) {
        discard();
        raiseFileError(QStringLiteral("Cannot write the file"), m_lastPath, reason);
    }
    m_written += bytes.size();
}

void FileHelper::CloseFile()
{
    if (!m_file) {
        return;
    }
    // A failure to complete the file leaves no partial file behind.
    QString reason = CompleteWrite(*m_file, m_written);
    if (reason.isEmpty()) {
        m_file->close();
        if (m_file->error() != QFileDevice::NoError) {
            reason = m_file->errorString();
        }
    }
    if (!reason.isEmpty()) {
        discard();
        raiseFileError(QStringLiteral("Cannot complete the file"), m_lastPath, reason);
    }
    m_file.reset();
}

namespace {

// Why a write failed: the system's error the call left (the device's own text may have lost it
// on a short write), else the device's text.
QString writeFailure(const QFileDevice& file, int error)
{
    if (error != 0) {
        return QString::fromStdString(std::generic_category().message(error));
    }
    const QString reason = file.errorString();
    return reason.isEmpty() ? QStringLiteral("the data could not be written") : reason;
}

} // namespace

QString FileHelper::Write(QFileDevice& file, const QByteArray& abBytes)
{
    errno = 0;
    if (file.write(abBytes) != abBytes.size() || file.error() != QFileDevice::NoError) {
        return writeFailure(file, errno);
    }
    return QString();
}

QString FileHelper::CompleteWrite(QFileDevice& file, qint64 lBytes)
{
    errno = 0;
    if (!file.flush() || file.error() != QFileDevice::NoError) {
        return writeFailure(file, errno);
    }
#ifdef Q_OS_UNIX
    struct stat info = {};
    if (::fstat(file.handle(), &info) != 0) {
        return writeFailure(file, errno);
    }
    const qint64 size = info.st_size;
#else
    const qint64 size = file.size();
#endif
    if (size != lBytes) {
        return QStringLiteral("only %1 of %2 bytes reached the file").arg(size).arg(lBytes);
    }
#ifdef Q_OS_UNIX
    if (::fsync(file.handle()) != 0) {
        return writeFailure(file, errno);
    }
#endif
    return QString();
}

QUrl FileHelper::TargetUrl(const QString& sTarget) const
{
    const QString target = sTarget.isEmpty() ? m_lastPath : sTarget.trimmed();
    if (target.isEmpty()) {
        return QUrl();
    }
    // An existing path is a file or folder, even where it looks like an address.
    if (QFileInfo::exists(target)) {
        return QUrl::fromLocalFile(QFileInfo(target).absoluteFilePath());
    }
    // A scheme of two letters or more (one letter is a drive on Windows).
    const QUrl url(target, QUrl::StrictMode);
    if (url.isValid() && url.scheme().size() > 1) {
        return url;
    }
    // Addresses typed without their scheme, as the Windows shell opens them.
    if (target.startsWith(QLatin1String("www."), Qt::CaseInsensitive)) {
        return QUrl(QStringLiteral("http://") + target, QUrl::TolerantMode);
    }
    if (target.startsWith(QLatin1String("ftp."), Qt::CaseInsensitive)) {
        return QUrl(QStringLiteral("ftp://") + target, QUrl::TolerantMode);
    }
    return QUrl::fromLocalFile(target);
}

bool FileHelper::Launch(const QString& sTarget, bool /*bWait*/)
{
    const QUrl url = TargetUrl(sTarget);
    if (url.isEmpty()) {
        return false;
    }
    if (launchHook()) {
        return launchHook()(url);
    }
    return QDesktopServices::openUrl(url);
}
