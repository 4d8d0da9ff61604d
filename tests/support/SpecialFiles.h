#pragma once

#include <QFile>
#include <QFileInfo>
#include <QString>

#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

// Things in the file system that are not regular files, for the tests of what reading
// refuses. Each returns false when it cannot be made.
inline bool MakeFifo(const QString &path)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat info
    {
    };
    if (::stat(native.constData(), &info) == 0)
        return S_ISFIFO(info.st_mode);
    return ::mkfifo(native.constData(), 0600) == 0;
}

// A listening socket nobody serves; the file stays after the descriptor is closed.
inline bool MakeSocket(const QString &path)
{
    if (QFileInfo::exists(path))
        return true;
    const QByteArray native = QFile::encodeName(path);
    sockaddr_un address{};
    if (native.size() >= qsizetype(sizeof address.sun_path))
        return false;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, native.constData(), size_t(native.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    const bool bound = fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
    if (fd >= 0)
        ::close(fd);
    return bound;
}
