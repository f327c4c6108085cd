// Keeps one running copy of the program per data file: the first copy holds a lock file beside
// the data file and listens on a local socket in the user's private runtime folder; a later copy
// asks it to come to the front and ends.
#pragma once

#include <QObject>
#include <QString>
#include <memory>

class QDeadlineTimer;
class QLocalServer;
#ifndef Q_OS_UNIX
class QLockFile;
#endif

class SingleInstance : public QObject
{
    Q_OBJECT

public:
    enum class Outcome {
        // This process holds the data file (also when it already did, and when the folder
        // cannot hold a lock file at all).
        Held,
        // Another running copy holds it and has shown itself.
        HandedOver,
        // A lock file is in the way that no running copy answers for and that cannot be
        // removed, or a copy holds it that has not answered within WaitForCopyMs.
        Blocked,
    };

    // How long a start waits for a copy that holds the data file but does not answer (one still
    // starting or closing).
    static constexpr int WaitForCopyMs = 5000;

    // The one guard of this process.
    static SingleInstance& shared();

    // Takes the data file for this process. A lock that no running copy answers for is stale,
    // whatever it holds, and is replaced.
    Outcome Acquire(const QString& sDatabasePath);

    // Gives the data file up (the lock file is removed).
    void Release();

    // The lock file of a data file, and the socket the copies of one data file meet on: a path in
    // the user's private runtime folder, or a bare name where there is none.
    static QString LockPath(const QString& sDatabasePath);
    static QString ServerName(const QString& sDatabasePath);
    // True when the other end of a connected local socket runs as this process's user (always
    // true where the system cannot tell).
    static bool SameUser(qintptr socketDescriptor);

Q_SIGNALS:
    // Another copy was started on the same data file.
    void ActivateRequested();

private:
    enum class Answer { Shown, None };

    SingleInstance();
    ~SingleInstance() override;
    static Answer askRunningCopy(const QString& sServerName, const QDeadlineTimer& deadline);
    void listen(const QString& sServerName);
    void onLastWindowClosed();

    bool holdsLock() const;

    QString m_path;
#ifdef Q_OS_UNIX
    // The open, locked lock file.
    int m_lockFd = -1;
#else
    std::unique_ptr<QLockFile> m_lock;
#endif
    std::unique_ptr<QLocalServer> m_server;
    // Set once the program has begun to end: a later start then waits for it instead of being
    // told that it has shown itself.
    bool m_closing = false;
};
