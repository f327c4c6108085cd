// Writes report files and opens targets with their associated programs.
#include "app/FileHelper.h"

#include "platform/AppError.h"
#include "platform/Win1252.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QUrl>
#include <cstring>

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
    if (m_file) {
        m_file->cancelWriting();
    }
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
    if (m_file) {
        m_file->cancelWriting();
        m_file.reset();
    }
    auto file = std::make_unique<QSaveFile>(sPath);
    if (!file->open(QIODevice::WriteOnly)) {
        raiseFileError(QStringLiteral("Cannot create the file"), sPath, file->errorString());
    }
    // Reports hold passwords in plain text: only their owner may read them.
    file->setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    m_file = std::move(file);
    m_lastPath = sPath;
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
    if (m_file->write(bytes) != bytes.size()) {
        const QString reason = m_file->errorString();
        m_file->cancelWriting();
        m_file.reset();
        raiseFileError(QStringLiteral("Cannot write the file"), m_lastPath, reason);
    }
}

void FileHelper::CloseFile()
{
    if (!m_file) {
        return;
    }
    auto file = std::move(m_file);
    if (!file->commit()) {
        raiseFileError(QStringLiteral("Cannot complete the file"), m_lastPath, file->errorString());
    }
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
