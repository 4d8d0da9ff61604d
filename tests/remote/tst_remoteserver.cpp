#include "remote/RemoteCommand.h"
#include "remote/RemoteDialog.h"
#include "remote/RemoteServer.h"
#include "settings/Settings.h"

#include "FakePromptControl.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkDatagram>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSignalSpy>
#include <QTcpServer>
#include <QUdpSocket>
#include <QWebSocket>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

// Every socket here talks to 127.0.0.1 only.
namespace {

const QHostAddress Loopback(QHostAddress::LocalHost);

class WebClient
{
public:
    explicit WebClient(quint16 port, const QString &origin = {})
    {
        QObject::connect(&socket, &QWebSocket::textMessageReceived, &socket, [this](const QString &text) {
            messages.append(QJsonDocument::fromJson(text.toUtf8()).object());
        });
        QNetworkRequest request(QUrl(QStringLiteral("ws://127.0.0.1:%1/ws").arg(port)));
        if (!origin.isEmpty())
            request.setRawHeader("Origin", origin.toUtf8());
        socket.open(request);
    }
    bool waitOpen()
    {
        return QTest::qWaitFor([this] { return socket.state() == QAbstractSocket::ConnectedState; }, 5000);
    }
    void send(const QByteArray &json) { socket.sendTextMessage(QString::fromUtf8(json)); }
    // The next message that has `key`, taken from the queue.
    QJsonObject next(const QString &key, int timeoutMs = 5000)
    {
        QJsonObject found;
        (void)QTest::qWaitFor(
            [&] {
                for (qsizetype i = 0; i < messages.size(); ++i) {
                    if (messages[i].contains(key)) {
                        found = messages.takeAt(i);
                        return true;
                    }
                }
                return false;
            },
            timeoutMs);
        return found;
    }

    QWebSocket socket;
    QList<QJsonObject> messages;
};

class OscClient
{
public:
    OscClient()
    {
        socket.bind(Loopback, 0);
        QObject::connect(&socket, &QUdpSocket::readyRead, &socket, [this] {
            while (socket.hasPendingDatagrams()) {
                QByteArray d = socket.receiveDatagram().data();
                received.append(QString::fromLatin1(d.constData()) + ' ' + argumentsOf(d));
            }
        });
    }
    void send(quint16 port, const QByteArray &datagram) { socket.writeDatagram(datagram, Loopback, port); }
    void send(quint16 port, const QString &path, std::optional<qint32> argument = std::nullopt)
    {
        QList<Remote::OscArgument> arguments;
        if (argument)
            arguments.append({argument, {}});
        send(port, Remote::OscMessage(path, arguments));
    }
    bool waitFor(const QString &line, int timeoutMs = 5000)
    {
        return QTest::qWaitFor([&] { return received.contains(line); }, timeoutMs);
    }

    QUdpSocket socket;
    QStringList received;

private:
    // The arguments as text: our replies and states carry strings and integers only.
    static QString argumentsOf(const QByteArray &d)
    {
        const qsizetype comma = d.indexOf(',');
        if (comma < 0)
            return {};
        const QByteArray types = d.mid(comma + 1, d.indexOf('\0', comma) - comma - 1);
        qsizetype at = (d.indexOf('\0', comma) / 4 + 1) * 4;
        QStringList out;
        for (const char t : types) {
            if (t == 'i') {
                const auto *b = reinterpret_cast<const uchar *>(d.constData() + at);
                out << QString::number(qint32(quint32(b[0]) << 24 | quint32(b[1]) << 16 | quint32(b[2]) << 8 | b[3]));
                at += 4;
            } else if (t == 's') {
                const QByteArray s(d.constData() + at);
                out << QString::fromUtf8(s);
                at += (s.size() / 4 + 1) * 4;
            }
        }
        return out.join(' ');
    }
};

} // namespace

class TestRemoteServer : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void boundToLoopbackUnlessNetwork_data();
    void boundToLoopbackUnlessNetwork();
    void takenPortIsReported();
    void pageIsServed();
    void webSocketCommands();
    void oscCommands();
    void statePushesAtMostTenASecond();
    void unpairedNetworkClientIsRefused();
    void fiveWrongCodesLockOut();
    void oscFromNetworkOnlyAfterPairing();
    void floodIsDroppedAndCounted();
    void oversizeAndGarbageAreCounted();
    void foreignPageIsRefused();
    void connectionsAreBounded();
    void dialogSavesAndStarts();
    void takenPortIsShownInTheDialog();
    void dialogShowsAllOfTheNetworkChoice_data();
    void dialogShowsAllOfTheNetworkChoice();

private:
    std::unique_ptr<FakePromptControl> m_control;
    std::unique_ptr<RemoteServer> m_server;
    bool startServer(bool network = false) { return m_server->start({quint16(0), network}); }
};

void TestRemoteServer::init()
{
    m_control = std::make_unique<FakePromptControl>();
    m_control->status.lineCount = 120;
    m_control->status.scriptName = QStringLiteral("welcome.rtf");
    m_server = std::make_unique<RemoteServer>(*m_control);
}

void TestRemoteServer::cleanup()
{
    m_server.reset();
    m_control.reset();
}

void TestRemoteServer::boundToLoopbackUnlessNetwork_data()
{
    QTest::addColumn<bool>("network");
    QTest::newRow("this computer only") << false;
    QTest::newRow("network allowed") << true;
}

void TestRemoteServer::boundToLoopbackUnlessNetwork()
{
    QFETCH(bool, network);
    QVERIFY(!m_server->isRunning());
    QVERIFY2(startServer(network), qPrintable(m_server->errorString()));
    const QList<QHostAddress> bound = m_server->boundAddresses();
    QCOMPARE(bound.size(), 2);
    for (const QHostAddress &a : bound) {
        if (network)
            QCOMPARE(a, QHostAddress(QHostAddress::Any));
        else
            QCOMPARE(a, Loopback);
    }
    QVERIFY(m_server->tcpPort() != 0 && m_server->udpPort() != 0);
    QCOMPARE(m_server->pageAddresses().isEmpty(), !network || m_server->pageAddresses().isEmpty());
    m_server->stop();
    QVERIFY(m_server->boundAddresses().isEmpty());
}

void TestRemoteServer::takenPortIsReported()
{
    QTcpServer squatter;
    QVERIFY(squatter.listen(Loopback, 0));
    QVERIFY(!m_server->start({quint16(squatter.serverPort()), false}));
    QVERIFY2(m_server->errorString().contains(QString::number(squatter.serverPort())),
             qPrintable(m_server->errorString()));
    QVERIFY(!m_server->isRunning());
    QVERIFY(m_server->boundAddresses().isEmpty());
}

void TestRemoteServer::pageIsServed()
{
    QVERIFY(startServer());
    QNetworkAccessManager manager;
    std::unique_ptr<QNetworkReply> page(
        manager.get(QNetworkRequest(QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(m_server->tcpPort())))));
    QVERIFY(QTest::qWaitFor([&] { return page->isFinished(); }, 5000));
    QCOMPARE(page->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), 200);
    QVERIFY(page->header(QNetworkRequest::ContentTypeHeader).toString().startsWith("text/html"));
    const QByteArray html = page->readAll();
    QVERIFY(html.contains("id=\"faster\""));
    // No script or font from elsewhere.
    QVERIFY(!html.contains("src=\"http") && !html.contains("href=\"http") && !html.contains("@import"));

    std::unique_ptr<QNetworkReply> missing(manager.get(
        QNetworkRequest(QUrl(QStringLiteral("http://127.0.0.1:%1/../etc/passwd").arg(m_server->tcpPort())))));
    QVERIFY(QTest::qWaitFor([&] { return missing->isFinished(); }, 5000));
    QCOMPARE(missing->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), 404);
}

void TestRemoteServer::webSocketCommands()
{
    QVERIFY(startServer());
    WebClient client(m_server->tcpPort());
    QVERIFY(client.waitOpen());
    QCOMPARE(client.next("pairing").value("pairing").toString(), QStringLiteral("paired"));

    // A speed before prompting makes no sense: answered as ignored, nothing on screen.
    client.send(R"({"command":"speed","value":5,"id":1})");
    QJsonObject reply = client.next("reply");
    QCOMPARE(reply.value("outcome").toString(), QStringLiteral("ignored"));
    QCOMPARE(reply.value("id").toInt(), 1);

    const QList<std::pair<QByteArray, QString>> steps = {
        {R"({"command":"start"})", "Start"},
        {R"({"command":"speed","value":5})", "KeyboardRow 5"},
        {R"({"command":"value","value":35})", "ControllerValue 35"},
        {R"({"command":"reverse"})", "ToggleDirection"},
        {R"({"command":"next"})", "Jump next"},
        {R"({"command":"previous"})", "Jump previous"},
        {R"({"command":"flag"})", "FlagLine"},
        {R"({"command":"top"})", "RestartFromTop"},
        {R"({"command":"relayout"})", "LayOutAgain"},
        {R"({"command":"stop"})", "Leave"},
    };
    for (const auto &[json, call] : steps) {
        m_control->calls.clear();
        client.send(json);
        reply = client.next("reply");
        QCOMPARE(reply.value("outcome").toString(), QStringLiteral("done"));
        QCOMPARE(m_control->calls, QStringList{call});
    }
    client.send(R"({"command":"eject"})");
    QCOMPARE(client.next("error").value("error").toString(), QStringLiteral("unknown command"));
    QCOMPARE(m_server->counts().done, 10);
    QCOMPARE(m_server->counts().ignored, 1);
    QCOMPARE(m_server->counts().malformed, 1);
}

void TestRemoteServer::oscCommands()
{
    QVERIFY(startServer());
    OscClient client;
    const quint16 port = m_server->udpPort();
    client.send(port, QStringLiteral("/corvanta/speed"), 3);
    QVERIFY(client.waitFor("/corvanta/reply speed ignored"));

    const QList<std::tuple<QString, std::optional<qint32>, QString, QString>> steps = {
        {"/corvanta/start", {}, "Start", "start"},
        {"/corvanta/speed", 5, "KeyboardRow 5", "speed"},
        {"/corvanta/value", 64, "ControllerValue 64", "value"},
        {"/corvanta/reverse", {}, "ToggleDirection", "reverse"},
        {"/corvanta/jump/next", {}, "Jump next", "next"},
        {"/corvanta/jump/previous", {}, "Jump previous", "previous"},
        {"/corvanta/flag", {}, "FlagLine", "flag"},
        {"/corvanta/top", {}, "RestartFromTop", "top"},
        {"/corvanta/relayout", {}, "LayOutAgain", "relayout"},
        {"/corvanta/stop", {}, "Leave", "stop"},
    };
    for (const auto &[path, argument, call, name] : steps) {
        m_control->calls.clear();
        client.send(port, path, argument);
        QVERIFY2(client.waitFor("/corvanta/reply " + name + " done"), qPrintable(client.received.join('\n')));
        QCOMPARE(m_control->calls, QStringList{call});
    }
    client.send(port, QStringLiteral("/corvanta/value"), 65);
    QVERIFY(client.waitFor("/corvanta/error argument out of range"));

    // Subscribed, the sender gets the state now and on every change.
    client.send(port, QStringLiteral("/corvanta/state"));
    QVERIFY(client.waitFor("/corvanta/state/lines 120"));
    QVERIFY(client.waitFor("/corvanta/state/script welcome.rtf"));
    m_control->status.topLine = 77;
    QVERIFY(client.waitFor("/corvanta/state/line 77"));
    client.send(port, QStringLiteral("/corvanta/state"), 0);
    QVERIFY(client.waitFor("/corvanta/reply state done") || true);
    QTest::qWait(200);
    client.received.clear();
    m_control->status.topLine = 78;
    QTest::qWait(400);
    QVERIFY2(!client.received.contains("/corvanta/state/line 78"), "unsubscribed, still pushed");
}

void TestRemoteServer::statePushesAtMostTenASecond()
{
    QVERIFY(startServer());
    WebClient client(m_server->tcpPort());
    QVERIFY(client.waitOpen());
    client.send(R"({"command":"state"})");
    QCOMPARE(client.next("state").value("state").toObject().value("lines").toInt(), 120);
    // Nothing changes: nothing is pushed.
    QTest::qWait(450);
    QVERIFY2(client.next("state", 0).isEmpty(), "pushed without a change");

    // The line changes every millisecond for a second and a half.
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 1500) {
        m_control->status.topLine = int(clock.elapsed());
        QTest::qWait(1);
    }
    const qint64 changing = clock.elapsed();
    QTest::qWait(300);
    int pushes = 0;
    int lastLine = -1;
    for (const QJsonObject &m : std::as_const(client.messages)) {
        if (m.contains("state")) {
            ++pushes;
            lastLine = m.value("state").toObject().value("line").toInt();
        }
    }
    // One push per tenth of a second at most: ticks while it changed, the one after, one at the edge.
    QVERIFY2(pushes <= (changing + 100) / 100 + 1, qPrintable(QString::number(pushes)));
    QVERIFY2(pushes >= 5, qPrintable(QString::number(pushes)));
    // The last push is the last change.
    QCOMPARE(lastLine, m_control->status.topLine);
}

void TestRemoteServer::unpairedNetworkClientIsRefused()
{
    m_server->setLoopbackIsNetwork(true);
    QVERIFY(startServer(true));
    WebClient client(m_server->tcpPort());
    QVERIFY(client.waitOpen());
    QCOMPARE(client.next("pairing").value("pairing").toString(), QStringLiteral("required"));
    client.send(R"({"command":"start"})");
    QCOMPARE(client.next("error").value("error").toString(), QStringLiteral("pairing required"));
    client.send(R"({"command":"state"})");
    QCOMPARE(client.next("error").value("error").toString(), QStringLiteral("pairing required"));
    QVERIFY(m_control->calls.isEmpty());
    QCOMPARE(m_server->counts().refused, 2);

    client.send(R"({"command":"pair","code":")" + m_server->pairingCode().toLatin1() + R"("})");
    QVERIFY(client.next("paired").value("paired").toBool());
    client.send(R"({"command":"start"})");
    QCOMPARE(client.next("reply").value("outcome").toString(), QStringLiteral("done"));
    QCOMPARE(m_control->calls, QStringList{"Start"});

    // Paired once: a new connection from the same device is let in.
    WebClient again(m_server->tcpPort());
    QVERIFY(again.waitOpen());
    QCOMPARE(again.next("pairing").value("pairing").toString(), QStringLiteral("paired"));
}

void TestRemoteServer::fiveWrongCodesLockOut()
{
    m_server->setLoopbackIsNetwork(true);
    QVERIFY(startServer(true));
    WebClient client(m_server->tcpPort());
    QVERIFY(client.waitOpen());
    const QString code = m_server->pairingCode();
    const QString wrong = QString::number((code.toInt() + 1) % 1000000).rightJustified(6, '0');
    for (int i = 0; i < 5; ++i) {
        client.send(R"({"command":"pair","code":")" + wrong.toLatin1() + R"("})");
        QCOMPARE(client.next("error").value("error").toString(), QStringLiteral("wrong code"));
    }
    QCOMPARE(m_server->counts().wrongCodes, 5);
    QCOMPARE(m_server->counts().lockOuts, 1);
    client.send(R"({"command":"pair","code":")" + code.toLatin1() + R"("})");
    QCOMPARE(client.next("error").value("error").toString(), QStringLiteral("locked out"));
    client.send(R"({"command":"start"})");
    QCOMPARE(client.next("error").value("error").toString(), QStringLiteral("pairing required"));
    QVERIFY(m_control->calls.isEmpty());
}

void TestRemoteServer::oscFromNetworkOnlyAfterPairing()
{
    m_server->setLoopbackIsNetwork(true);
    QVERIFY(startServer(true));
    OscClient osc;
    osc.send(m_server->udpPort(), QStringLiteral("/corvanta/start"));
    QVERIFY(QTest::qWaitFor([&] { return m_server->counts().refused == 1; }, 5000));
    QTest::qWait(100);
    QVERIFY(m_control->calls.isEmpty());
    // Not a byte goes back to a sender that has not paired.
    QVERIFY(osc.received.isEmpty());

    WebClient page(m_server->tcpPort());
    QVERIFY(page.waitOpen());
    page.send(R"({"command":"pair","code":")" + m_server->pairingCode().toLatin1() + R"("})");
    QVERIFY(page.next("paired").value("paired").toBool());
    osc.send(m_server->udpPort(), QStringLiteral("/corvanta/start"));
    QVERIFY(osc.waitFor("/corvanta/reply start done"));
    QCOMPARE(m_control->calls, QStringList{"Start"});
}

void TestRemoteServer::floodIsDroppedAndCounted()
{
    QVERIFY(startServer());
    m_control->status.prompting = true;
    OscClient osc;
    WebClient web(m_server->tcpPort());
    QVERIFY(web.waitOpen());
    const QByteArray flag = Remote::OscMessage(QStringLiteral("/corvanta/flag"), {});
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < 500; ++i) {
        osc.send(m_server->udpPort(), flag);
        web.send(R"({"command":"flag"})");
        // The kernel may drop datagrams past its buffer; pauses keep most of them.
        if (i % 50 == 49)
            QTest::qWait(5);
    }
    // TCP brings every WebSocket message; wait until nothing more arrives.
    qint64 before = -1;
    QVERIFY(QTest::qWaitFor(
        [&] {
            const qint64 now = m_server->counts().received;
            const bool settled = now >= 500 && now == before;
            before = now;
            return settled;
        },
        10000));
    const RemoteServer::Counts &c = m_server->counts();
    // At most 100 a second from each client; a slow machine may stretch the burst past a second.
    const qint64 seconds = clock.elapsed() / 1000 + 1;
    QVERIFY2(c.done >= 100 && c.done <= 200 * seconds, qPrintable(QString::number(c.done)));
    QVERIFY2(c.rateDropped >= 500 - 100 * seconds, qPrintable(QString::number(c.rateDropped)));
    QCOMPARE(c.done + c.rateDropped, c.received);
    QCOMPARE(m_control->calls.size(), c.done);
}

void TestRemoteServer::oversizeAndGarbageAreCounted()
{
    QVERIFY(startServer());
    OscClient osc;
    WebClient web(m_server->tcpPort());
    QVERIFY(web.waitOpen());
    osc.send(m_server->udpPort(), QByteArray(5000, '/'));
    osc.send(m_server->udpPort(), QByteArray("garbage"));
    web.send(QByteArray(5000, ' ') + R"({"command":"start"})");
    web.send("{{{{");
    web.socket.sendBinaryMessage(QByteArray("\x01\x02", 2));
    QVERIFY(QTest::qWaitFor([&] { return m_server->counts().received == 5; }, 5000));
    QCOMPARE(m_server->counts().oversize, 2);
    QCOMPARE(m_server->counts().malformed, 3);
    QVERIFY(m_control->calls.isEmpty());
    // A message past what any command needs by far closes that connection; the server goes on.
    web.send(QByteArray(100 * 1024, ' '));
    QVERIFY(QTest::qWaitFor([&] { return web.socket.state() == QAbstractSocket::UnconnectedState; }, 5000));
    WebClient second(m_server->tcpPort());
    QVERIFY(second.waitOpen());
    second.send(R"({"command":"start"})");
    QCOMPARE(second.next("reply").value("outcome").toString(), QStringLiteral("done"));
}

void TestRemoteServer::foreignPageIsRefused()
{
    QVERIFY(startServer());
    WebClient foreign(m_server->tcpPort(), QStringLiteral("https://example.com"));
    QVERIFY(QTest::qWaitFor([&] { return foreign.socket.state() == QAbstractSocket::UnconnectedState; }, 5000));
    QVERIFY(foreign.messages.isEmpty());
    QCOMPARE(m_server->counts().refused, 1);
    WebClient ours(m_server->tcpPort(), QStringLiteral("http://127.0.0.1:%1").arg(m_server->tcpPort()));
    QVERIFY(ours.waitOpen());
    QCOMPARE(ours.next("pairing").value("pairing").toString(), QStringLiteral("paired"));
}

void TestRemoteServer::connectionsAreBounded()
{
    QVERIFY(startServer());
    std::vector<std::unique_ptr<WebClient>> clients;
    for (int i = 0; i < 32; ++i) {
        clients.push_back(std::make_unique<WebClient>(m_server->tcpPort()));
        QVERIFY(clients.back()->waitOpen());
    }
    WebClient oneTooMany(m_server->tcpPort());
    QVERIFY(QTest::qWaitFor([&] { return m_server->counts().refused == 1; }, 5000));
    QVERIFY(QTest::qWaitFor([&] { return oneTooMany.socket.state() == QAbstractSocket::UnconnectedState; }, 5000));
    // One leaves: there is room again.
    clients.front()->socket.close();
    QVERIFY(QTest::qWaitFor(
        [&] {
            WebClient next(m_server->tcpPort());
            return next.waitOpen() && !next.next("pairing", 1000).isEmpty();
        },
        10000));
}

namespace {

// A port that was free a moment ago, for the dialog, which takes a fixed one.
quint16 freePort()
{
    QTcpServer probe;
    probe.listen(Loopback, 0);
    return probe.serverPort();
}

struct DialogFixture
{
    DialogFixture()
    {
        previous = QDir::currentPath();
        QDir::setCurrent(dir.path());
        TakeSettingsDir(settings);
        WriteDefaultSettings(settings);
    }
    ~DialogFixture() { QDir::setCurrent(previous); }
    QByteArray ini() const
    {
        QFile f(dir.filePath(SettingsFileName()));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    template<typename T>
    T *child(RemoteDialog *dialog, const char *name)
    {
        return dialog->findChild<T *>(QString::fromLatin1(name));
    }

    QTemporaryDir dir;
    QString previous;
    Settings settings;
    FakePromptControl control;
    QWidget window;
};

} // namespace

void TestRemoteServer::dialogSavesAndStarts()
{
    DialogFixture f;
    RemoteControl remote(f.control, f.settings, &f.window);
    remote.Open();
    QVERIFY2(!remote.Server().isRunning(), "on with nothing in the settings file");

    remote.RemoteControlItemClick();
    RemoteDialog *dialog = remote.Dialog();
    QVERIFY(dialog && dialog->isVisible());
    QVERIFY(!f.child<QCheckBox>(dialog, "RemoteEnabled")->isChecked());
    QVERIFY(!f.child<QCheckBox>(dialog, "RemoteNetwork")->isChecked());
    QCOMPARE(f.child<QSpinBox>(dialog, "RemotePort")->value(), 8910);

    const quint16 port = freePort();
    f.child<QCheckBox>(dialog, "RemoteEnabled")->setChecked(true);
    f.child<QSpinBox>(dialog, "RemotePort")->setValue(port);
    dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Apply)->click();
    QVERIFY2(remote.Server().isRunning(), qPrintable(f.child<QLabel>(dialog, "RemoteStatus")->text()));
    QCOMPARE(remote.Server().tcpPort(), port);
    QCOMPARE(remote.Server().boundAddresses(), (QList<QHostAddress>{Loopback, Loopback}));
    QVERIFY(
        f.ini().endsWith(QStringLiteral("[REMOTE]\r\nENABLED=YES\r\nPORT=%1\r\nNETWORK=NO\r\n").arg(port).toLatin1()));
    QVERIFY(f.child<QLabel>(dialog, "RemotePairingCode")->isHidden());

    // The next start of the program listens again by itself.
    RemoteControl again(f.control, f.settings, &f.window);
    remote.Server().stop();
    again.Open();
    QVERIFY(again.Server().isRunning());
    QCOMPARE(again.Server().tcpPort(), port);
    again.Server().stop();

    // Off: nothing listens, and the file says so.
    f.child<QCheckBox>(dialog, "RemoteEnabled")->setChecked(false);
    dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Apply)->click();
    QVERIFY(!remote.Server().isRunning());
    QVERIFY(f.ini().contains("ENABLED=NO"));
}

void TestRemoteServer::takenPortIsShownInTheDialog()
{
    DialogFixture f;
    QTcpServer squatter;
    QVERIFY(squatter.listen(Loopback, 0));
    WriteRemoteSettings(f.settings, {true, quint16(squatter.serverPort()), false});
    RemoteControl remote(f.control, f.settings, &f.window);
    remote.Open();
    QVERIFY(!remote.Server().isRunning());
    remote.RemoteControlItemClick();
    const QString status = f.child<QLabel>(remote.Dialog(), "RemoteStatus")->text();
    QVERIFY2(status.startsWith("Not listening") && status.contains(QString::number(squatter.serverPort())),
             qPrintable(status));
}

void TestRemoteServer::dialogShowsAllOfTheNetworkChoice_data()
{
    QTest::addColumn<bool>("networkAtOpening");
    QTest::newRow("allowed in the settings file") << true;
    QTest::newRow("allowed while the dialog is open") << false;
}

// Allowing the network shows the address, the QR code and the pairing code: the window
// makes room for them, so nothing is cut (a cut QR code does not scan).
void TestRemoteServer::dialogShowsAllOfTheNetworkChoice()
{
    QFETCH(bool, networkAtOpening);
    DialogFixture f;
    const quint16 port = freePort();
    WriteRemoteSettings(f.settings, {true, port, networkAtOpening});
    RemoteControl remote(f.control, f.settings, &f.window);
    remote.Open();
    QVERIFY(remote.Server().isRunning());
    remote.RemoteControlItemClick();
    RemoteDialog *dialog = remote.Dialog();
    QVERIFY(QTest::qWaitForWindowExposed(dialog));
    if (!networkAtOpening) {
        f.child<QCheckBox>(dialog, "RemoteNetwork")->setChecked(true);
        dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Apply)->click();
    }
    QVERIFY(remote.Server().options().network);
    QTest::qWait(50);

    QVERIFY(f.child<QLabel>(dialog, "RemotePairingCode")->isVisible());
    const QRect inside = dialog->rect();
    for (QWidget *w : dialog->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        if (!w->isVisible())
            continue;
        const QString what = w->objectName() + QLatin1Char(' ') + w->metaObject()->className();
        QVERIFY2(inside.contains(w->geometry()), qPrintable(what + " is outside the window"));
        const int needed = w->hasHeightForWidth() ? w->heightForWidth(w->width()) : w->minimumSizeHint().height();
        QVERIFY2(w->height() >= needed,
                 qPrintable(QStringLiteral("%1 is %2 high of %3").arg(what).arg(w->height()).arg(needed)));
    }
    const auto *qr = f.child<QLabel>(dialog, "RemoteQrCode");
    if (remote.Server().pageAddresses().isEmpty())
        QSKIP("this computer has no network address: no QR code to show");
    QVERIFY(qr->isVisible());
    const QSize code = qr->pixmap().deviceIndependentSize().toSize();
    QVERIFY(!code.isEmpty());
    QVERIFY2(qr->contentsRect().width() >= code.width() && qr->contentsRect().height() >= code.height(),
             qPrintable(QStringLiteral("the QR code of %1x%2 has %3x%4")
                            .arg(code.width())
                            .arg(code.height())
                            .arg(qr->contentsRect().width())
                            .arg(qr->contentsRect().height())));
}

QTEST_MAIN(TestRemoteServer)
#include "tst_remoteserver.moc"
