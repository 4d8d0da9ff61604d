#include "remote/RemoteServer.h"

#include <QFile>
#include <QHttpServer>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QHttpServerResponse>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkDatagram>
#include <QNetworkInterface>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUdpSocket>
#include <QWebSocket>

#include <algorithm>

using namespace Remote;

namespace {

// A browser's WebSocket may not send more than this at all: Qt closes the connection.
// Between this and MaxMessageBytes a message is dropped and counted.
constexpr quint64 HardMessageLimit = 64 * 1024;
constexpr int MaxOscSubscribers = 16;
constexpr size_t MaxWebClients = 32;
constexpr int MaxOscRateEntries = 1024;
constexpr int StateIntervalMs = 100;

// One key per device, whether it came over IPv4 or as an IPv4-mapped IPv6 address.
QString peerKey(const QHostAddress &peer)
{
    bool isV4 = false;
    const quint32 v4 = peer.toIPv4Address(&isV4);
    if (isV4)
        return QHostAddress(v4).toString();
    QHostAddress plain = peer;
    plain.setScopeId(QString());
    return plain.toString();
}

QByteArray jsonObject(const QJsonObject &o)
{
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

// Each command and its answer are one small write: sent at once, not held for the next.
class LowDelayTcpServer : public QTcpServer
{
public:
    using QTcpServer::QTcpServer;

protected:
    void incomingConnection(qintptr handle) override
    {
        auto *socket = new QTcpSocket(this);
        if (!socket->setSocketDescriptor(handle)) {
            delete socket;
            return;
        }
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        addPendingConnection(socket);
    }
};

} // namespace

struct RemoteServer::WebClient
{
    std::unique_ptr<QWebSocket> socket;
    QHostAddress peer;
    RateLimit rate;
    bool subscribed = false;
};

struct RemoteServer::OscClient
{
    QHostAddress address;
    quint16 port = 0;
};

RemoteServer::RemoteServer(PromptControl &control, QObject *parent) : QObject(parent), m_control(control)
{
    m_clock.start();
    // A coarse timer may fire a little early: ten a second must not become eleven.
    m_stateTimer.setTimerType(Qt::PreciseTimer);
    m_stateTimer.setInterval(StateIntervalMs);
    connect(&m_stateTimer, &QTimer::timeout, this, [this] { pushState(); });
}

RemoteServer::~RemoteServer()
{
    stop();
}

bool RemoteServer::start(const Options &options)
{
    stop();
    m_options = options;
    m_error.clear();
    const QHostAddress address
        = options.network ? QHostAddress(QHostAddress::Any) : QHostAddress(QHostAddress::LocalHost);

    auto http = std::make_unique<QHttpServer>();
    auto *tcp = new LowDelayTcpServer(http.get());
    if (!tcp->listen(address, options.port)) {
        m_error = QStringLiteral("TCP port %1: %2").arg(options.port).arg(tcp->errorString());
        return false;
    }
    auto udp = std::make_unique<QUdpSocket>();
    if (!udp->bind(address, options.port)) {
        m_error = QStringLiteral("UDP port %1: %2").arg(options.port).arg(udp->errorString());
        return false;
    }

    http->route(QStringLiteral("/"), [] {
        QFile page(QStringLiteral(":/remote/index.html"));
        if (!page.open(QIODevice::ReadOnly))
            return QHttpServerResponse(QHttpServerResponse::StatusCode::NotFound);
        return QHttpServerResponse(QByteArrayLiteral("text/html; charset=utf-8"), page.readAll());
    });
    // Qt upgrades only a request that a route has taken and answered with nothing.
    http->route(QStringLiteral("/ws"), [](const QHttpServerRequest &request, QHttpServerResponder &&responder) {
        if (request.value(QByteArrayLiteral("upgrade")).compare(QByteArrayLiteral("websocket"), Qt::CaseInsensitive)
            == 0)
            return;
        responder.write(QHttpServerResponder::StatusCode::BadRequest);
    });
    connect(http.get(), &QAbstractHttpServer::newWebSocketConnection, this, [this] { takeWebSockets(); });
    http->bind(tcp);
    connect(udp.get(), &QUdpSocket::readyRead, this, [this] { readDatagrams(); });

    m_http = std::move(http);
    m_tcp = tcp;
    m_udp = std::move(udp);
    return true;
}

void RemoteServer::stop()
{
    m_stateTimer.stop();
    for (auto &client : m_webClients) {
        client->socket->disconnect(this);
        client->socket->abort();
    }
    m_webClients.clear();
    m_oscSubscribers.clear();
    m_oscRates.clear();
    m_udp.reset();
    m_http.reset();
    m_tcp = nullptr;
    m_pushedOnce = false;
}

quint16 RemoteServer::tcpPort() const
{
    return m_tcp ? m_tcp->serverPort() : 0;
}

quint16 RemoteServer::udpPort() const
{
    return m_udp ? m_udp->localPort() : 0;
}

QList<QHostAddress> RemoteServer::boundAddresses() const
{
    QList<QHostAddress> addresses;
    if (m_tcp)
        addresses.append(m_tcp->serverAddress());
    if (m_udp)
        addresses.append(m_udp->localAddress());
    return addresses;
}

QStringList RemoteServer::pageAddresses() const
{
    QStringList pages;
    if (!m_tcp || !m_options.network)
        return pages;
    for (const QHostAddress &a : QNetworkInterface::allAddresses()) {
        if (a.protocol() == QAbstractSocket::IPv4Protocol && !a.isLoopback() && !a.isLinkLocal())
            pages.append(QStringLiteral("http://%1:%2/").arg(a.toString()).arg(tcpPort()));
    }
    return pages;
}

bool RemoteServer::isNetworkPeer(const QHostAddress &peer) const
{
    return m_loopbackIsNetwork || !peer.isLoopback();
}

bool RemoteServer::mayCommand(const QHostAddress &peer) const
{
    if (!isNetworkPeer(peer))
        return true;
    return m_options.network && m_pairing.isPaired(peerKey(peer));
}

void RemoteServer::count(qint64 Counts::*field)
{
    ++(m_counts.*field);
}

void RemoteServer::countFault(Fault fault)
{
    count(fault == Fault::Oversize ? &Counts::oversize : &Counts::malformed);
}

void RemoteServer::reply(PromptControl::Outcome outcome)
{
    count(outcome == PromptControl::Outcome::Done ? &Counts::done : &Counts::ignored);
}

void RemoteServer::takeWebSockets()
{
    while (m_http && m_http->hasPendingWebSocketConnections()) {
        std::unique_ptr<QWebSocket> socket = m_http->nextPendingWebSocketConnection();
        if (!socket)
            continue;
        const QUrl url = socket->requestUrl();
        // The request's URL is made of its Host header and path.
        const bool allowed = url.path() == QLatin1String("/ws")
            && HandshakeAllowed(url.authority(QUrl::FullyEncoded), socket->origin());
        if (!allowed || m_webClients.size() >= MaxWebClients) {
            count(&Counts::refused);
            socket->abort();
            socket.release()->deleteLater();
            continue;
        }
        socket->setMaxAllowedIncomingMessageSize(HardMessageLimit);
        socket->setMaxAllowedIncomingFrameSize(HardMessageLimit);

        auto client = std::make_unique<WebClient>();
        client->peer = socket->peerAddress();
        client->socket = std::move(socket);
        WebClient *c = client.get();
        QWebSocket *s = c->socket.get();
        connect(s, &QWebSocket::textMessageReceived, this, [this, c](const QString &text) { webMessage(*c, text); });
        connect(s, &QWebSocket::binaryMessageReceived, this, [this, c](const QByteArray &) {
            count(&Counts::received);
            if (c->rate.admit(m_clock.elapsed()))
                count(&Counts::malformed);
            else
                count(&Counts::rateDropped);
        });
        connect(s, &QWebSocket::disconnected, this, [this, c] {
            const auto it = std::find_if(m_webClients.begin(), m_webClients.end(),
                                         [c](const auto &each) { return each.get() == c; });
            if (it == m_webClients.end())
                return;
            // Not deleted inside its own signal.
            (*it)->socket.release()->deleteLater();
            m_webClients.erase(it);
            updateTimer();
        });
        const bool paired = !isNetworkPeer(c->peer) || m_pairing.isPaired(peerKey(c->peer));
        m_webClients.push_back(std::move(client));
        send(*c,
             jsonObject({{QStringLiteral("pairing"), paired ? QStringLiteral("paired") : QStringLiteral("required")}}));
    }
}

void RemoteServer::send(WebClient &client, const QByteArray &json)
{
    client.socket->sendTextMessage(QString::fromUtf8(json));
}

void RemoteServer::webMessage(WebClient &client, const QString &text)
{
    count(&Counts::received);
    if (!client.rate.admit(m_clock.elapsed())) {
        count(&Counts::rateDropped);
        return;
    }
    const QByteArray bytes = text.toUtf8();
    const Parsed parsed = ParseJson(bytes);
    if (!parsed.command) {
        countFault(parsed.fault);
        send(client, JsonError(FaultText(parsed.fault), parsed.name));
        return;
    }
    const Command &command = *parsed.command;
    if (command.verb == Verb::Pair) {
        if (!isNetworkPeer(client.peer)) {
            send(client, jsonObject({{QStringLiteral("paired"), true}}));
            return;
        }
        if (!m_options.network) {
            count(&Counts::refused);
            send(client, JsonError(QStringLiteral("network not allowed")));
            return;
        }
        const qint64 lockOutsBefore = m_pairing.lockOuts();
        switch (m_pairing.tryCode(peerKey(client.peer), command.code, m_clock.elapsed())) {
        case PairingBook::Answer::Paired:
            send(client, jsonObject({{QStringLiteral("paired"), true}}));
            break;
        case PairingBook::Answer::Wrong:
            count(&Counts::wrongCodes);
            send(client, JsonError(QStringLiteral("wrong code")));
            break;
        case PairingBook::Answer::LockedOut:
            count(&Counts::refused);
            send(client, JsonError(QStringLiteral("locked out")));
            break;
        }
        m_counts.lockOuts += m_pairing.lockOuts() - lockOutsBefore;
        return;
    }
    if (!mayCommand(client.peer)) {
        count(&Counts::refused);
        send(client, JsonError(QStringLiteral("pairing required"), parsed.name));
        return;
    }
    if (command.verb == Verb::State) {
        client.subscribed = command.subscribe;
        if (client.subscribed)
            send(client, JsonState(m_control.Status()));
        reply(PromptControl::Outcome::Done);
        updateTimer();
        return;
    }
    const PromptControl::Outcome outcome = Apply(command, m_control);
    reply(outcome);
    send(client, JsonReply(parsed.name, outcome, command.id));
}

void RemoteServer::readDatagrams()
{
    while (m_udp && m_udp->hasPendingDatagrams()) {
        const qint64 size = m_udp->pendingDatagramSize();
        if (size > MaxMessageBytes) {
            m_udp->readDatagram(nullptr, 0);
            count(&Counts::received);
            count(&Counts::oversize);
            continue;
        }
        const QNetworkDatagram datagram = m_udp->receiveDatagram(MaxMessageBytes);
        if (!datagram.isValid())
            continue;
        oscMessage(datagram.senderAddress(), quint16(datagram.senderPort()), datagram.data());
    }
}

void RemoteServer::sendOsc(const QHostAddress &peer, quint16 port, const QByteArray &message)
{
    if (m_udp && port != 0)
        m_udp->writeDatagram(message, peer, port);
}

void RemoteServer::oscMessage(const QHostAddress &peer, quint16 port, const QByteArray &datagram)
{
    count(&Counts::received);
    const QString key = peerKey(peer);
    if (!m_oscRates.contains(key) && m_oscRates.size() >= MaxOscRateEntries)
        m_oscRates.clear();
    if (!m_oscRates[key].admit(m_clock.elapsed())) {
        count(&Counts::rateDropped);
        return;
    }
    // Nothing goes back to a sender that may not command: no answer to feed a reflection.
    if (!mayCommand(peer)) {
        count(&Counts::refused);
        return;
    }
    const Parsed parsed = ParseOsc(datagram);
    if (!parsed.command) {
        countFault(parsed.fault);
        sendOsc(peer, port, OscError(FaultText(parsed.fault)));
        return;
    }
    const Command &command = *parsed.command;
    if (command.verb == Verb::State) {
        const auto same = [&](const OscClient &c) { return c.address == peer && c.port == port; };
        m_oscSubscribers.erase(std::remove_if(m_oscSubscribers.begin(), m_oscSubscribers.end(), same),
                               m_oscSubscribers.end());
        if (command.subscribe) {
            if (m_oscSubscribers.size() >= MaxOscSubscribers)
                m_oscSubscribers.removeFirst();
            m_oscSubscribers.append({peer, port});
            for (const QByteArray &message : OscState(m_control.Status()))
                sendOsc(peer, port, message);
        }
        reply(PromptControl::Outcome::Done);
        updateTimer();
        return;
    }
    const PromptControl::Outcome outcome = Apply(command, m_control);
    reply(outcome);
    sendOsc(peer, port, OscReply(parsed.name, outcome));
}

void RemoteServer::updateTimer()
{
    const bool any = !m_oscSubscribers.isEmpty()
        || std::any_of(m_webClients.begin(), m_webClients.end(), [](const auto &c) { return c->subscribed; });
    if (any && !m_stateTimer.isActive()) {
        m_lastPushed = m_control.Status();
        m_pushedOnce = true;
        m_stateTimer.start();
    } else if (!any) {
        m_stateTimer.stop();
    }
}

void RemoteServer::pushState()
{
    const PromptStatus status = m_control.Status();
    if (m_pushedOnce && SameStatus(status, m_lastPushed))
        return;
    m_lastPushed = status;
    m_pushedOnce = true;
    const QByteArray json = JsonState(status);
    for (auto &client : m_webClients)
        if (client->subscribed)
            send(*client, json);
    if (!m_oscSubscribers.isEmpty()) {
        const QList<QByteArray> messages = OscState(status);
        for (const OscClient &c : std::as_const(m_oscSubscribers))
            for (const QByteArray &message : messages)
                sendOsc(c.address, c.port, message);
    }
}
