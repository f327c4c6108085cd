// One running copy per data file: a lock file in the data file's folder, a local socket to wake
// the running copy.
#include "app/SingleInstance.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QThread>
#include <algorithm>
#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

// How long a start sleeps between two looks at a lock whose holder does not answer yet.
constexpr int kRetryMs = 50;
const QByteArray kActivate = QByteArrayLiteral("activate\n");
const QByteArray kShown = QByteArrayLiteral("shown\n");

QString canonicalPath(const QString& sPath)
{
    const QFileInfo info(sPath);
    const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
    return QDir(folder.isEmpty() ? info.absolutePath() : folder).filePath(info.fileName());
}

// The time left to wait, at least one retry's worth.
int waitMs(const QDeadlineTimer& deadline)
{
    return static_cast<int>(
        std::clamp<qint64>(deadline.remainingTime(), kRetryMs, SingleInstance::WaitForCopyMs));
}

enum class StaleLock { Removed, Held, Stuck };

// Takes away a lock file no running copy has answered for. A running copy keeps its lock file
// locked for as long as it runs (QLockFile locks it); anything else at that path is stale,
// whatever it holds: an empty or cut-off file, garbage, another machine's lock, a folder or a
// link. Held: a live copy holds it (one still starting or closing). Stuck: it cannot be removed.
StaleLock removeStaleLock(const QString& sLockPath)
{
#ifdef Q_OS_UNIX
    const QByteArray name = QFile::encodeName(sLockPath);
    struct stat seen = {};
    if (::lstat(name.constData(), &seen) != 0) {
        return errno == ENOENT ? StaleLock::Removed : StaleLock::Stuck;
    }
    if (S_ISDIR(seen.st_mode)) {
        // Only an empty folder goes: what lies in one was not written by a copy of KeyCask.
        return ::rmdir(name.constData()) == 0 || errno == ENOENT ? StaleLock::Removed
                                                                 : StaleLock::Stuck;
    }
    if (!S_ISREG(seen.st_mode)) {
        // A link goes, not what it leads to.
        return ::unlink(name.constData()) == 0 || errno == ENOENT ? StaleLock::Removed
                                                                  : StaleLock::Stuck;
    }
    const int fd = ::open(name.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        return errno == ENOENT ? StaleLock::Removed : StaleLock::Stuck;
    }
    StaleLock result = StaleLock::Removed;
    struct stat opened = {};
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        result = StaleLock::Held;
    } else if (::fstat(fd, &opened) == 0 && ::lstat(name.constData(), &seen) == 0 &&
               opened.st_dev == seen.st_dev && opened.st_ino == seen.st_ino &&
               ::unlink(name.constData()) != 0 && errno != ENOENT) {
        // (A file another start put there meanwhile is left to the next look.)
        result = StaleLock::Stuck;
    }
    ::close(fd);
    return result;
#else
    // A running copy keeps its lock file open, which keeps it from being removed.
    if (QFile::remove(sLockPath) || QDir().rmdir(sLockPath) || !QFileInfo::exists(sLockPath)) {
        return StaleLock::Removed;
    }
    return StaleLock::Held;
#endif
}

} // namespace

SingleInstance& SingleInstance::shared()
{
    static SingleInstance instance;
    return instance;
}

SingleInstance::SingleInstance() = default;

SingleInstance::~SingleInstance()
{
    Release();
}

QString SingleInstance::LockPath(const QString& sDatabasePath)
{
    return canonicalPath(sDatabasePath) + QStringLiteral(".lock");
}

QString SingleInstance::ServerName(const QString& sDatabasePath)
{
    // Socket names are short and carry no path separators: a hash of the user and the file.
    const QByteArray key =
        (qEnvironmentVariable("USER") + QLatin1Char('\n') + canonicalPath(sDatabasePath)).toUtf8();
    return QStringLiteral("KeyCask-") +
           QString::fromLatin1(
               QCryptographicHash::hash(key, QCryptographicHash::Sha256).toHex().left(24));
}

SingleInstance::Outcome SingleInstance::Acquire(const QString& sDatabasePath)
{
    const QString path = canonicalPath(sDatabasePath);
    if (m_lock && path == m_path) {
        return Outcome::Held;
    }
    Release();

    if (!QFileInfo(QFileInfo(path).absolutePath()).isDir()) {
        // No data file folder: the open will fail and say so; there is nothing to share.
        return Outcome::Held;
    }
    const QString lockPath = LockPath(path);
    const QString name = ServerName(path);
    auto lock = std::make_unique<QLockFile>(lockPath);
    // A lock whose process is gone is stale at once; a live one never goes stale by age.
    lock->setStaleLockTime(0);
    const QDeadlineTimer deadline(WaitForCopyMs);
    while (!lock->tryLock(0)) {
        if (lock->error() != QLockFile::LockFailedError) {
            // The folder cannot hold a lock file (read-only media): run unguarded.
            return Outcome::Held;
        }
        if (askRunningCopy(name, deadline) == Answer::Shown) {
            return Outcome::HandedOver;
        }
        const StaleLock stale = removeStaleLock(lockPath);
        if (stale == StaleLock::Stuck || deadline.hasExpired()) {
            return Outcome::Blocked;
        }
        if (stale == StaleLock::Held) {
            // A copy still starting listens soon; one closing lets go soon.
            QThread::msleep(kRetryMs);
        }
    }
    m_lock = std::move(lock);
    m_path = path;
    m_closing = false;
    // The socket goes with the application object, not with the end of the process.
    if (QCoreApplication* app = QCoreApplication::instance()) {
        connect(app, &QCoreApplication::aboutToQuit, this, &SingleInstance::Release,
                Qt::UniqueConnection);
    }
    if (auto* gui = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        connect(gui, &QGuiApplication::lastWindowClosed, this, &SingleInstance::onLastWindowClosed,
                Qt::UniqueConnection);
    }
    listen(name);
    return Outcome::Held;
}

void SingleInstance::listen(const QString& sServerName)
{
    QLocalServer::removeServer(sServerName);
    m_server = std::make_unique<QLocalServer>();
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server.get(), &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                // A copy that is ending shows nothing: the new start waits for it instead.
                if (socket->readAll().contains(kActivate.trimmed()) && !m_closing) {
                    Q_EMIT ActivateRequested();
                    socket->write(kShown);
                }
                socket->disconnectFromServer();
            });
        }
    });
    m_server->listen(sServerName);
}

SingleInstance::Answer SingleInstance::askRunningCopy(const QString& sServerName,
                                                      const QDeadlineTimer& deadline)
{
    QLocalSocket socket;
    socket.connectToServer(sServerName);
    if (!socket.waitForConnected(waitMs(deadline))) {
        return Answer::None;
    }
    socket.write(kActivate);
    socket.flush();
    // The copy says so once it has shown itself; one that is ending closes the connection.
    QByteArray reply;
    while (!reply.contains('\n') && socket.waitForReadyRead(waitMs(deadline))) {
        reply += socket.readAll();
    }
    return reply == kShown ? Answer::Shown : Answer::None;
}

void SingleInstance::onLastWindowClosed()
{
    if (QGuiApplication::quitOnLastWindowClosed()) {
        m_closing = true;
    }
}

void SingleInstance::Release()
{
    m_server.reset();
    if (m_lock) {
        m_lock->unlock();
        m_lock.reset();
    }
    m_path.clear();
}
