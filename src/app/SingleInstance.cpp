// One running copy per data file: a lock file in the data file's folder, a local socket to wake
// the running copy.
#include "app/SingleInstance.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>

namespace {

constexpr int kConnectTimeoutMs = 2000;
const QByteArray kActivate = QByteArrayLiteral("activate\n");

QString canonicalPath(const QString& sPath)
{
    const QFileInfo info(sPath);
    const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
    return QDir(folder.isEmpty() ? info.absolutePath() : folder).filePath(info.fileName());
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

QString SingleInstance::ServerName(const QString& sDatabasePath)
{
    // Socket names are short and carry no path separators: a hash of the user and the file.
    const QByteArray key =
        (qEnvironmentVariable("USER") + QLatin1Char('\n') + canonicalPath(sDatabasePath)).toUtf8();
    return QStringLiteral("KeyCask-") +
           QString::fromLatin1(
               QCryptographicHash::hash(key, QCryptographicHash::Sha256).toHex().left(24));
}

bool SingleInstance::Acquire(const QString& sDatabasePath)
{
    const QString path = canonicalPath(sDatabasePath);
    if (m_lock && path == m_path) {
        return true;
    }
    Release();

    const QString folder = QFileInfo(path).absolutePath();
    if (!QFileInfo(folder).isDir()) {
        // No data file folder: the open will fail and say so; there is nothing to share.
        return true;
    }
    auto lock = std::make_unique<QLockFile>(path + QStringLiteral(".lock"));
    // A lock whose process is gone is stale at once; a live one never goes stale by age.
    lock->setStaleLockTime(0);
    if (!lock->tryLock(0)) {
        if (lock->error() == QLockFile::LockFailedError) {
            if (askRunningCopy(ServerName(path))) {
                return false;
            }
            // A holder that does not answer may be a copy still starting or ending; give it a
            // moment. One that keeps the lock without answering still owns the file: this copy
            // must not write beside it.
            if (!lock->tryLock(kConnectTimeoutMs)) {
                askRunningCopy(ServerName(path));
                return false;
            }
        } else {
            // The folder cannot hold a lock file (read-only media): run unguarded.
            return true;
        }
    }
    m_lock = std::move(lock);
    m_path = path;
    // The socket goes with the application object, not with the end of the process.
    if (QCoreApplication* app = QCoreApplication::instance()) {
        connect(app, &QCoreApplication::aboutToQuit, this, &SingleInstance::Release,
                Qt::UniqueConnection);
    }

    const QString name = ServerName(path);
    QLocalServer::removeServer(name);
    m_server = std::make_unique<QLocalServer>();
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server.get(), &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (socket->readAll().contains(kActivate.trimmed())) {
                    Q_EMIT ActivateRequested();
                }
                socket->disconnectFromServer();
            });
        }
    });
    m_server->listen(name);
    return true;
}

bool SingleInstance::askRunningCopy(const QString& sServerName) const
{
    QLocalSocket socket;
    socket.connectToServer(sServerName);
    if (!socket.waitForConnected(kConnectTimeoutMs)) {
        return false;
    }
    socket.write(kActivate);
    const bool sent = socket.waitForBytesWritten(kConnectTimeoutMs);
    socket.disconnectFromServer();
    return sent;
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
