#pragma once

#include "prompt/PromptControl.h"
#include "remote/RemoteCommand.h"
#include "remote/RemoteGuard.h"

#include <QElapsedTimer>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QTimer>

#include <memory>
#include <vector>

class QHttpServer;
class QTcpServer;
class QUdpSocket;
class QWebSocket;

// The remote's sockets: the phone page and the WebSocket on one TCP port, OSC on the UDP
// port of the same number. Everything runs on the thread of the event loop, so a command
// arriving during a run is handled between two of its steps.
class RemoteServer : public QObject
{
    Q_OBJECT

public:
    struct Options
    {
        quint16 port = 8910;
        // Other devices may connect (after pairing); else only this computer.
        bool network = false;
    };

    // What the dialog shows: everything taken, acted on, and dropped.
    struct Counts
    {
        qint64 received = 0;
        qint64 done = 0;
        qint64 ignored = 0;
        qint64 malformed = 0; // not JSON/OSC, unknown commands, wrong arguments
        qint64 oversize = 0;
        qint64 rateDropped = 0;
        qint64 refused = 0; // from a peer that may not command
        qint64 wrongCodes = 0;
        qint64 lockOuts = 0;
    };

    explicit RemoteServer(PromptControl &control, QObject *parent = nullptr);
    ~RemoteServer() override;

    // Listens as the options say; port 0 takes any free ports (tests). False, with
    // errorString(), when a port is taken; nothing listens then.
    bool start(const Options &options);
    void stop();
    bool isRunning() const { return m_tcp != nullptr; }
    QString errorString() const { return m_error; }
    const Options &options() const { return m_options; }

    quint16 tcpPort() const;
    quint16 udpPort() const;
    // Every address a socket of ours listens on.
    QList<QHostAddress> boundAddresses() const;
    // The page's addresses for a phone: this computer's network addresses.
    QStringList pageAddresses() const;

    QString pairingCode() const { return m_pairing.code(); }
    const Counts &counts() const { return m_counts; }

    // Tests: a loopback peer is handled as a device on the network.
    void setLoopbackIsNetwork(bool on) { m_loopbackIsNetwork = on; }

Q_SIGNALS:
    void countsChanged();

private:
    struct WebClient;
    struct OscClient;

    void takeWebSockets();
    void webMessage(WebClient &client, const QString &text);
    void readDatagrams();
    void oscMessage(const QHostAddress &peer, quint16 port, const QByteArray &datagram);
    void pushState();
    void send(WebClient &client, const QByteArray &json);
    void sendOsc(const QHostAddress &peer, quint16 port, const QByteArray &message);
    bool isNetworkPeer(const QHostAddress &peer) const;
    bool mayCommand(const QHostAddress &peer) const;
    void count(qint64 Counts::*field);
    void countFault(Remote::Fault fault);
    void reply(PromptControl::Outcome outcome);
    void updateTimer();

    PromptControl &m_control;
    Options m_options;
    QString m_error;
    QElapsedTimer m_clock;
    Remote::PairingBook m_pairing;
    bool m_loopbackIsNetwork = false;

    std::unique_ptr<QHttpServer> m_http;
    QTcpServer *m_tcp = nullptr; // owned by m_http once bound
    std::unique_ptr<QUdpSocket> m_udp;
    std::vector<std::unique_ptr<WebClient>> m_webClients;
    QHash<QString, Remote::RateLimit> m_oscRates;
    QList<OscClient> m_oscSubscribers;

    QTimer m_stateTimer;
    PromptStatus m_lastPushed;
    bool m_pushedOnce = false;
    Counts m_counts;
};
