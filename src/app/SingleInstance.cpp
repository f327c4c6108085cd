// One running copy per data file: a lock file in the data file's folder, a local socket in the
// user's private runtime folder to wake the running copy.
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
#include <QStandardPaths>
#include <QSysInfo>
#include <QThread>
#include <algorithm>
#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
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
// locked for as long as it runs; anything else at that path is stale, whatever it holds: an empty
// or cut-off file, garbage, another machine's lock, a folder, a link or a pipe. Held: a live copy
// holds it (one still starting or closing). Stuck: it cannot be removed.
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
    const int fd = ::open(name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
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

enum class Take {
    // The lock file is this process's.
    Taken,
    // A running copy holds it.
    Held,
    // Something is in the way that no copy holds (a folder, a link, a pipe, a file that cannot
    // be written).
    Stale,
    // The folder cannot hold a lock file (read-only media).
    NoLock,
    // The file went while it was being taken; look again.
    Again,
};

#ifdef Q_OS_UNIX
// Opens the lock file, making it when missing, and locks it. A link is never followed and the
// open never waits (a pipe at that path would block it); what is not a regular file is refused
// before anything is read or written. Nothing of the file is read: only the lock tells whether a
// copy holds it.
Take takeLock(const QString& sLockPath, int& rFd)
{
    const QByteArray name = QFile::encodeName(sLockPath);
    const int fd = ::open(name.constData(),
                          O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0600);
    struct stat seen = {};
    if (fd < 0) {
        return ::lstat(name.constData(), &seen) == 0 ? Take::Stale : Take::NoLock;
    }
    struct stat opened = {};
    Take result = Take::Taken;
    if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
        result = Take::Stale;
    } else if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        result = Take::Held;
    } else if (::lstat(name.constData(), &seen) != 0 || seen.st_dev != opened.st_dev ||
               seen.st_ino != opened.st_ino) {
        // Another start removed it as stale between the open and the lock.
        result = Take::Again;
    } else {
        // What a lock file says, as Qt's lock files say it: process, program and machine.
        const QByteArray info =
            QByteArray::number(QCoreApplication::applicationPid()) + '\n' +
            QFileInfo(QCoreApplication::applicationFilePath()).fileName().toUtf8() + '\n' +
            QSysInfo::machineHostName().toUtf8() + '\n';
        // The contents are for people; the lock is what counts, so a failed write is no matter.
        if (::ftruncate(fd, 0) == 0) {
            const ssize_t written = ::pwrite(fd, info.constData(), size_t(info.size()), 0);
            Q_UNUSED(written);
        }
        rFd = fd;
        return result;
    }
    ::close(fd);
    return result;
}
#else
Take takeLock(std::unique_ptr<QLockFile>& rLock)
{
    // A lock whose process is gone is stale at once; a live one never goes stale by age.
    rLock->setStaleLockTime(0);
    if (rLock->tryLock(0)) {
        return Take::Taken;
    }
    return rLock->error() == QLockFile::LockFailedError ? Take::Held : Take::NoLock;
}
#endif

// A folder only this user can reach: owned by the user, no link, no rights for others.
bool isPrivateFolder(const QString& sFolder)
{
#ifdef Q_OS_UNIX
    struct stat seen = {};
    return !sFolder.isEmpty() && ::lstat(QFile::encodeName(sFolder).constData(), &seen) == 0 &&
           S_ISDIR(seen.st_mode) && seen.st_uid == ::geteuid() && (seen.st_mode & 077) == 0;
#else
    return !sFolder.isEmpty() && QFileInfo(sFolder).isDir();
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
    // The name is a hash of the user and the file. The socket lies in the user's private runtime
    // folder, where no other user can put one first; only where there is none (or its path would
    // be too long for a socket) is it a bare name in the shared temporary folder, and there the
    // peer's user is what makes it trusted.
#ifdef Q_OS_UNIX
    const QString user = QString::number(::geteuid());
#else
    const QString user = qEnvironmentVariable("USERNAME");
#endif
    const QByteArray key = (user + QLatin1Char('\n') + canonicalPath(sDatabasePath)).toUtf8();
    const QString name =
        QStringLiteral("KeyCask-") +
        QString::fromLatin1(
            QCryptographicHash::hash(key, QCryptographicHash::Sha256).toHex().left(24));
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    const QString path = QDir(folder).filePath(name);
    // A socket's path has room for about a hundred bytes.
    constexpr int kMaxSocketPath = 100;
    return isPrivateFolder(folder) && QFile::encodeName(path).size() < kMaxSocketPath ? path : name;
}

bool SingleInstance::SameUser(qintptr socketDescriptor)
{
#ifdef Q_OS_LINUX
    struct ucred peer = {};
    socklen_t size = sizeof(peer);
    return ::getsockopt(static_cast<int>(socketDescriptor), SOL_SOCKET, SO_PEERCRED, &peer,
                        &size) == 0 &&
           peer.uid == ::geteuid();
#else
    Q_UNUSED(socketDescriptor);
    return true;
#endif
}

SingleInstance::Outcome SingleInstance::Acquire(const QString& sDatabasePath)
{
    const QString path = canonicalPath(sDatabasePath);
    if (holdsLock() && path == m_path) {
        return Outcome::Held;
    }
    Release();

    if (!QFileInfo(QFileInfo(path).absolutePath()).isDir()) {
        // No data file folder: the open will fail and say so; there is nothing to share.
        return Outcome::Held;
    }
    const QString lockPath = LockPath(path);
    const QString name = ServerName(path);
#ifndef Q_OS_UNIX
    m_lock = std::make_unique<QLockFile>(lockPath);
#endif
    const QDeadlineTimer deadline(WaitForCopyMs);
    for (;;) {
#ifdef Q_OS_UNIX
        const Take taken = takeLock(lockPath, m_lockFd);
#else
        const Take taken = takeLock(m_lock);
#endif
        if (taken == Take::Taken) {
            break;
        }
        if (taken == Take::NoLock) {
            // The folder cannot hold a lock file (read-only media): run unguarded.
            Release();
            return Outcome::Held;
        }
        if (taken == Take::Held && askRunningCopy(name, deadline) == Answer::Shown) {
            Release();
            return Outcome::HandedOver;
        }
        const StaleLock stale =
            taken == Take::Again ? StaleLock::Removed : removeStaleLock(lockPath);
        if (stale == StaleLock::Stuck || deadline.hasExpired()) {
            Release();
            return Outcome::Blocked;
        }
        if (stale == StaleLock::Held) {
            // A copy still starting listens soon; one closing lets go soon.
            QThread::msleep(kRetryMs);
        }
    }
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
            if (!SameUser(socket->socketDescriptor())) {
                // Another user's program learns nothing and wakes nothing.
                socket->abort();
                socket->deleteLater();
                continue;
            }
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
    // Only a copy run by this user is trusted with the start.
    if (!socket.waitForConnected(waitMs(deadline)) || !SameUser(socket.socketDescriptor())) {
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

bool SingleInstance::holdsLock() const
{
#ifdef Q_OS_UNIX
    return m_lockFd >= 0;
#else
    return m_lock && m_lock->isLocked();
#endif
}

void SingleInstance::Release()
{
    m_server.reset();
#ifdef Q_OS_UNIX
    if (m_lockFd >= 0) {
        // The name goes while the lock is still held, and only when it is still this lock's.
        const QByteArray name = QFile::encodeName(LockPath(m_path));
        struct stat opened = {};
        struct stat seen = {};
        if (!m_path.isEmpty() && ::fstat(m_lockFd, &opened) == 0 &&
            ::lstat(name.constData(), &seen) == 0 && opened.st_dev == seen.st_dev &&
            opened.st_ino == seen.st_ino) {
            ::unlink(name.constData());
        }
        ::close(m_lockFd);
        m_lockFd = -1;
    }
#else
    if (m_lock) {
        m_lock->unlock();
        m_lock.reset();
    }
#endif
    m_path.clear();
}
