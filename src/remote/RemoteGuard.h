#pragma once

#include <QHash>
#include <QSet>
#include <QString>
#include <QtGlobal>

// Who may command the prompter from the network. Addresses are the peers' numeric
// addresses as text; times are milliseconds of one monotonic clock.
namespace Remote {

class PairingBook
{
public:
    static constexpr int TriesBeforeLockOut = 5;
    static constexpr qint64 LockOutMs = 60'000;

    enum class Answer { Paired, Wrong, LockedOut };

    explicit PairingBook(const QString &code = NewCode());

    // Six random digits.
    static QString NewCode();

    const QString &code() const { return m_code; }
    // A new code; every pairing made with the old one ends.
    void renew(const QString &code = NewCode());

    // While an address is locked out every try is refused, the right code too.
    Answer tryCode(const QString &address, const QString &code, qint64 nowMs);
    bool isPaired(const QString &address) const { return m_paired.contains(address); }
    bool isLockedOut(const QString &address, qint64 nowMs) const;
    int wrongTries(const QString &address) const;
    qint64 lockOuts() const { return m_lockOuts; }

private:
    struct Tries
    {
        int wrong = 0;
        qint64 lockedUntil = 0;
    };
    QString m_code;
    QSet<QString> m_paired;
    QHash<QString, Tries> m_tries;
    qint64 m_lockOuts = 0;
};

// At most `perSecond` messages in any one-second window of a client; the rest are dropped.
class RateLimit
{
public:
    static constexpr int DefaultPerSecond = 100;
    explicit RateLimit(int perSecond = DefaultPerSecond) : m_perSecond(perSecond) { }

    bool admit(qint64 nowMs);
    qint64 dropped() const { return m_dropped; }

private:
    int m_perSecond;
    qint64 m_windowStart = -1;
    int m_inWindow = 0;
    qint64 m_dropped = 0;
};

// Whether a browser's WebSocket handshake may be taken. A page on another site can open a
// WebSocket to this computer; browsers say which page asked (Origin), and a site that makes
// its own name point here (DNS rebinding) still arrives with its name as the Host. So: the
// Host must be an address or "localhost", and an Origin, when there is one, must be that Host.
bool HandshakeAllowed(const QString &host, const QString &origin);

} // namespace Remote
