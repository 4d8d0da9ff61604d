#include "core/RegularFile.h"

#include "core/CorvantaError.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class Descriptor
{
public:
    explicit Descriptor(int fd) : m_fd(fd) { }
    ~Descriptor()
    {
        if (m_fd >= 0) {
            const int saved = errno;
            ::close(m_fd);
            errno = saved;
        }
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    int fd() const { return m_fd; }

private:
    int m_fd;
};

void refuseUnlessRegular(const struct stat &info, const QString &path)
{
    if (!S_ISREG(info.st_mode))
        throw CorvantaError(RegularFile::NotRegularText(path));
}

} // namespace

namespace RegularFile {

QString NotRegularText(const QString &path)
{
    return QStringLiteral("%1 is not a regular file").arg(QDir::toNativeSeparators(path));
}

Outcome read(const QString &path, QByteArray &bytes)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat info
    {
    };
    // Looked at before it is opened: opening some devices already does something.
    if (::stat(native.constData(), &info) == 0)
        refuseUnlessRegular(info, path);
    // Non-blocking, so that a pipe put in the file's place since the look cannot hold the
    // open; fstat then judges what was really opened.
    const Descriptor file(::open(native.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (file.fd() < 0)
        return Outcome::CannotOpen;
    if (::fstat(file.fd(), &info) != 0)
        return Outcome::CannotOpen;
    refuseUnlessRegular(info, path);

    bytes.clear();
    // One allocation for the usual file; a huge one grows as it is read and fails there.
    if (info.st_size > 0 && info.st_size <= qint64(1) << 30)
        bytes.reserve(qsizetype(info.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(file.fd(), buffer, sizeof buffer);
        if (n > 0)
            bytes.append(buffer, qsizetype(n));
        else if (n == 0)
            return Outcome::Read;
        else if (errno != EINTR)
            return Outcome::ReadFailed;
    }
}

}
