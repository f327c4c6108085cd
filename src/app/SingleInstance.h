// Keeps one running copy of the program per data file: the first copy holds a lock file beside
// the data file and listens on a local socket; a later copy asks it to come to the front and ends.
#pragma once

#include <QObject>
#include <QString>
#include <memory>

class QLocalServer;
class QLockFile;

class SingleInstance : public QObject
{
    Q_OBJECT

public:
    // The one guard of this process.
    static SingleInstance& shared();

    // Takes the data file for this process. True when this process holds it (also when it already
    // did); false when another running copy holds it, which has then been asked to show itself.
    // A lock left behind by a copy that crashed is taken over.
    bool Acquire(const QString& sDatabasePath);

    // Gives the data file up (the lock file is removed).
    void Release();

    // The socket name the copies of one data file meet on.
    static QString ServerName(const QString& sDatabasePath);

Q_SIGNALS:
    // Another copy was started on the same data file.
    void ActivateRequested();

private:
    SingleInstance();
    ~SingleInstance() override;
    bool askRunningCopy(const QString& sServerName) const;

    QString m_path;
    std::unique_ptr<QLockFile> m_lock;
    std::unique_ptr<QLocalServer> m_server;
};
