#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

#include <sys/wait.h>
#include <unistd.h>

// Runs a check with the permissions of an ordinary user: file permissions do not bind
// root, and the tests may run as root. As root the check runs in a child process as the
// user "nobody"; what it returns comes back through a pipe. Otherwise it simply runs.
inline QString RunUnprivileged(const std::function<QString()> &check)
{
    if (::geteuid() != 0)
        return check();
    int fds[2];
    if (::pipe(fds) != 0)
        return QStringLiteral("no pipe");
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(fds[0]);
        QByteArray out = QByteArrayLiteral("no user");
        if (::setgid(65534) == 0 && ::setuid(65534) == 0)
            out = check().toUtf8();
        const char *p = out.constData();
        for (qsizetype left = out.size(); left > 0;) {
            const ssize_t n = ::write(fds[1], p, size_t(left));
            if (n <= 0)
                break;
            p += n;
            left -= n;
        }
        ::_exit(0);
    }
    ::close(fds[1]);
    QByteArray in;
    char buffer[4096];
    for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;)
        in.append(buffer, n);
    ::close(fds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    return QString::fromUtf8(in);
}
