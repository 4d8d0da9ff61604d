#include "remote/RemoteGuard.h"

#include <QRandomGenerator>
#include <QStringList>
#include <QUrl>

namespace Remote {

PairingBook::PairingBook(const QString &code) : m_code(code)
{ }

QString PairingBook::NewCode()
{
    return QStringLiteral("%1").arg(QRandomGenerator::system()->bounded(1'000'000), 6, 10, QLatin1Char('0'));
}

void PairingBook::renew(const QString &code)
{
    m_code = code;
    m_paired.clear();
}

bool PairingBook::isLockedOut(const QString &address, qint64 nowMs) const
{
    const auto it = m_tries.constFind(address);
    return it != m_tries.cend() && nowMs < it->lockedUntil;
}

int PairingBook::wrongTries(const QString &address) const
{
    return m_tries.value(address).wrong;
}

PairingBook::Answer PairingBook::tryCode(const QString &address, const QString &code, qint64 nowMs)
{
    Tries &tries = m_tries[address];
    if (nowMs < tries.lockedUntil)
        return Answer::LockedOut;
    if (tries.lockedUntil != 0) {
        // The minute is over: a fresh set of tries.
        tries = Tries{};
    }
    if (code == m_code) {
        m_tries.remove(address);
        m_paired.insert(address);
        return Answer::Paired;
    }
    if (++tries.wrong >= TriesBeforeLockOut) {
        tries.lockedUntil = nowMs + LockOutMs;
        ++m_lockOuts;
    }
    return Answer::Wrong;
}

bool RateLimit::admit(qint64 nowMs)
{
    if (m_windowStart < 0 || nowMs - m_windowStart >= 1000 || nowMs < m_windowStart) {
        m_windowStart = nowMs;
        m_inWindow = 0;
    }
    if (m_inWindow >= m_perSecond) {
        ++m_dropped;
        return false;
    }
    ++m_inWindow;
    return true;
}

static bool isIPv4Literal(const QString &name)
{
    const QStringList parts = name.split(u'.');
    if (parts.size() != 4)
        return false;
    for (const QString &part : parts) {
        bool ok = false;
        const int n = part.toInt(&ok);
        if (!ok || part.isEmpty() || part.size() > 3 || n < 0 || n > 255 || !part.front().isDigit())
            return false;
    }
    return true;
}

bool HandshakeAllowed(const QString &host, const QString &origin)
{
    if (host.isEmpty())
        return false;
    const QUrl hostUrl(QStringLiteral("http://") + host);
    if (!hostUrl.isValid() || !hostUrl.path().isEmpty() || !hostUrl.userInfo().isEmpty())
        return false;
    const QString name = hostUrl.host();
    // QUrl has already checked an IPv6 literal in brackets.
    const bool literal = name.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0 || isIPv4Literal(name)
        || host.startsWith(u'[');
    if (!literal)
        return false;
    if (origin.isEmpty())
        return true;
    const QUrl originUrl(origin);
    return originUrl.scheme() == QLatin1String("http") && originUrl.host().compare(name, Qt::CaseInsensitive) == 0
        && originUrl.port(80) == hostUrl.port(80) && originUrl.path().isEmpty();
}

} // namespace Remote
