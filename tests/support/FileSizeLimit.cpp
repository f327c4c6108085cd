// A child process with a limit on the size of the files it writes.
#include "FileSizeLimit.h"

#include <QByteArray>
#include <cerrno>
#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace FileSizeLimit {

QString Run(qint64 lBytes, const std::function<QString()>& fn)
{
    int fds[2];
    if (::pipe(fds) != 0) {
        return QStringLiteral("no pipe to the child");
    }
    const pid_t pid = ::fork();
    if (pid < 0) {
        return QStringLiteral("no child process");
    }
    if (pid == 0) {
        ::close(fds[0]);
        const rlimit limit = {rlim_t(lBytes), rlim_t(lBytes)};
        QByteArray out;
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0 || std::signal(SIGXFSZ, SIG_IGN) == SIG_ERR) {
            out = "the limit could not be set";
        } else {
            try {
                out = fn().toUtf8();
            } catch (...) {
                out = "the child raised an exception";
            }
        }
        for (qsizetype done = 0; done < out.size();) {
            const ssize_t n = ::write(fds[1], out.constData() + done, size_t(out.size() - done));
            if (n <= 0) {
                break;
            }
            done += n;
        }
        ::_exit(0);
    }
    ::close(fds[1]);
    QByteArray in;
    char buffer[4096];
    for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) != 0;) {
        if (n > 0) {
            in.append(buffer, n);
        } else if (errno != EINTR) {
            break;
        }
    }
    ::close(fds[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        return QStringLiteral("the child ended with status %1").arg(status);
    }
    return QString::fromUtf8(in);
}

} // namespace FileSizeLimit
