#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QString>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

// A hand controller on a pseudo-terminal: the program opens the slave side by its
// path, as it would a serial port, and the test writes on the master side.
class PseudoTerminal
{
public:
    PseudoTerminal()
    {
        m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0) {
            closeMaster();
            return;
        }
        if (const char *name = ::ptsname(m_master))
            m_slavePath = QString::fromLocal8Bit(name);
    }
    ~PseudoTerminal() { closeMaster(); }
    PseudoTerminal(const PseudoTerminal &) = delete;
    PseudoTerminal &operator=(const PseudoTerminal &) = delete;

    bool isValid() const { return m_master >= 0 && !m_slavePath.isEmpty(); }
    QString slavePath() const { return m_slavePath; }

    // Writes everything, letting the program's event loop drain the line as it goes
    // (the line holds only a few kilobytes). False when it does not drain in time.
    bool send(const QByteArray &bytes, int timeoutMs = 20000)
    {
        QDeadlineTimer deadline(timeoutMs);
        qsizetype done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(m_master, bytes.constData() + done, size_t(bytes.size() - done));
            if (n > 0)
                done += n;
            else if (n < 0 && errno != EAGAIN && errno != EINTR)
                return false;
            if (done < bytes.size()) {
                if (deadline.hasExpired())
                    return false;
                QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            }
        }
        return true;
    }

    // Writes what the line takes now, without waiting; the bytes written are removed.
    void sendSome(QByteArray &bytes)
    {
        const ssize_t n = ::write(m_master, bytes.constData(), size_t(bytes.size()));
        if (n > 0)
            bytes.remove(0, n);
    }

    // The line settings as the program left them (both sides share them).
    termios lineSettings() const
    {
        termios tio {};
        ::tcgetattr(m_master, &tio);
        return tio;
    }
    void setLineSettings(const termios &tio) { ::tcsetattr(m_master, TCSANOW, &tio); }

    // The controller unplugged.
    void closeMaster()
    {
        if (m_master >= 0)
            ::close(m_master);
        m_master = -1;
    }

private:
    int m_master = -1;
    QString m_slavePath;
};
