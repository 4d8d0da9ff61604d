#pragma once

#include <QFile>
#include <QFileInfo>
#include <QString>

#include <atomic>
#include <cstring>
#include <fcntl.h>
#include <thread>
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

// Opens a named pipe for writing after a while and closes it again, so that code which
// wrongly waits on the pipe comes back (with nothing read) and its test fails instead of
// hanging.
class LateWriter
{
public:
    explicit LateWriter(const QString &fifo, int afterMs = 1500)
        : m_thread([path = QFile::encodeName(fifo), afterMs, this] {
              for (int waited = 0; waited < afterMs && !m_stop; waited += 10)
                  ::usleep(10000);
              const int fd = ::open(path.constData(), O_WRONLY | O_NONBLOCK);
              if (fd >= 0)
                  ::close(fd);
          })
    { }
    ~LateWriter()
    {
        m_stop = true;
        m_thread.join();
    }
    LateWriter(const LateWriter &) = delete;
    LateWriter &operator=(const LateWriter &) = delete;

private:
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};
