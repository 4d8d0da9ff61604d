#include "TestWindow.h"
#include "PromptRunner.h"

#include "app/TMainForm.h"
#include "controls/ClientArea.h"
#include "controls/TRichEdit.h"
#include "prompt/PromptCommands.h"
#include "prompt/PromptEngine.h"
#include "remote/RemoteCommand.h"
#include "remote/RemoteDialog.h"
#include "remote/RemoteServer.h"

#include <QAction>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkDatagram>
#include <QTcpServer>
#include <QUdpSocket>
#include <QWebSocket>
#include <QtTest>

#include <deque>
#include <functional>
#include <memory>
#include <optional>

// The remote in the real window: opened from the settings, and a run driven over loopback
// through the real prompt commands. Every socket here talks to 127.0.0.1 only.
namespace {

const QHostAddress Loopback(QHostAddress::LocalHost);

// A port free for TCP and UDP on loopback just now.
quint16 freePort()
{
    for (int attempt = 0; attempt < 20; ++attempt) {
        QTcpServer tcp;
        if (!tcp.listen(Loopback, 0))
            continue;
        QUdpSocket udp;
        if (udp.bind(Loopback, tcp.serverPort()))
            return tcp.serverPort();
    }
    return 0;
}

// What a client saw, the same for both transports: replies as "name outcome", state pushes
// as "field=value".
class RemoteClient
{
public:
    virtual ~RemoteClient() = default;
    virtual bool open(quint16 port) = 0;
    virtual void send(const QString &verb, std::optional<int> argument = std::nullopt) = 0;

    QStringList replies;
    QStringList states;
};

class OscClient : public RemoteClient
{
public:
    bool open(quint16 port) override
    {
        m_port = port;
        QObject::connect(&m_socket, &QUdpSocket::readyRead, &m_socket, [this] { read(); });
        return m_socket.bind(Loopback, 0);
    }
    void send(const QString &verb, std::optional<int> argument) override
    {
        static const QHash<QString, QString> paths{{"next", "/corvanta/jump/next"},
                                                   {"previous", "/corvanta/jump/previous"}};
        QList<Remote::OscArgument> arguments;
        if (argument)
            arguments.append({argument, {}});
        const QString path = paths.value(verb, QStringLiteral("/corvanta/") + verb);
        m_socket.writeDatagram(Remote::OscMessage(path, arguments), Loopback, m_port);
    }

private:
    // Our replies carry two strings, our states one integer or one string.
    void read()
    {
        while (m_socket.hasPendingDatagrams()) {
            const QByteArray d = m_socket.receiveDatagram().data();
            const QString path = QString::fromLatin1(d.constData());
            const qsizetype comma = d.indexOf(',');
            if (comma < 0)
                continue;
            const QByteArray types(d.constData() + comma + 1);
            qsizetype at = (d.indexOf('\0', comma) / 4 + 1) * 4;
            QStringList values;
            for (const char t : types) {
                if (t == 'i' && at + 4 <= d.size()) {
                    const auto *b = reinterpret_cast<const uchar *>(d.constData() + at);
                    values << QString::number(
                        qint32(quint32(b[0]) << 24 | quint32(b[1]) << 16 | quint32(b[2]) << 8 | b[3]));
                    at += 4;
                } else if (t == 's' && at < d.size()) {
                    const QByteArray s(d.constData() + at);
                    values << QString::fromUtf8(s);
                    at += (s.size() / 4 + 1) * 4;
                }
            }
            if (path == QStringLiteral("/corvanta/reply"))
                replies << values.join(u' ');
            else if (path.startsWith(QStringLiteral("/corvanta/state/")) && !values.isEmpty())
                states << path.mid(16) + u'=' + values.first();
        }
    }

    QUdpSocket m_socket;
    quint16 m_port = 0;
};

class WebClient : public RemoteClient
{
public:
    bool open(quint16 port) override
    {
        QObject::connect(&m_socket, &QWebSocket::textMessageReceived, &m_socket, [this](const QString &text) {
            const QJsonObject o = QJsonDocument::fromJson(text.toUtf8()).object();
            if (o.contains(QStringLiteral("reply")))
                replies << o.value(QStringLiteral("reply")).toString() + u' '
                        + o.value(QStringLiteral("outcome")).toString();
            const QJsonObject state = o.value(QStringLiteral("state")).toObject();
            for (auto it = state.begin(); it != state.end(); ++it) {
                const QJsonValue v = it.value();
                const QString value = v.isBool() ? QString::number(v.toBool() ? 1 : 0)
                    : v.isString()               ? v.toString()
                                                 : QString::number(v.toInteger());
                states << it.key().toLower() + u'=' + value;
            }
        });
        m_socket.open(QUrl(QStringLiteral("ws://127.0.0.1:%1/ws").arg(port)));
        return QTest::qWaitFor([this] { return m_socket.state() == QAbstractSocket::ConnectedState; }, 10000);
    }
    void send(const QString &verb, std::optional<int> argument) override
    {
        QJsonObject o{{QStringLiteral("command"), verb}};
        if (argument)
            o.insert(QStringLiteral("value"), *argument);
        m_socket.sendTextMessage(QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact)));
    }

private:
    QWebSocket m_socket;
};

// "When this holds, do that", checked from a timer of its own whether a run is going or
// not: the remote's start begins the run from the event loop, under the waiting test.
class Steps : public QObject
{
public:
    // leave ends a run that is going when a step failed or time ran out.
    Steps(std::function<void()> leave, int timeoutMs) : m_leave(std::move(leave)), m_timeoutMs(timeoutMs)
    {
        m_timer.setInterval(2);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            if (QTest::currentTestFailed() || m_clock.elapsed() > m_timeoutMs) {
                m_steps.clear();
                m_leave();
                return;
            }
            if (!m_steps.empty() && m_steps.front().first()) {
                auto action = std::move(m_steps.front().second);
                m_steps.pop_front();
                action();
            }
        });
    }
    void when(std::function<bool()> condition, std::function<void()> action)
    {
        m_steps.emplace_back(std::move(condition), std::move(action));
    }
    void start()
    {
        m_clock.start();
        m_timer.start();
    }
    bool done() const { return m_steps.empty(); }
    std::size_t left() const { return m_steps.size(); }

private:
    std::function<void()> m_leave;
    int m_timeoutMs;
    QTimer m_timer;
    QElapsedTimer m_clock;
    std::deque<std::pair<std::function<bool()>, std::function<void()>>> m_steps;
};

} // namespace

class tst_RemoteWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void settingsOpenTheRemote_data();
    void settingsOpenTheRemote();
    void runDrivenOverLoopback_data();
    void runDrivenOverLoopback();

private:
    void makeForm();
    std::unique_ptr<TestWindow> m_window;
    TMainForm *m_form = nullptr;
};

void tst_RemoteWindow::init()
{
    m_window = std::make_unique<TestWindow>();
}

void tst_RemoteWindow::makeForm()
{
    m_form = &m_window->open();
    QVERIFY(m_window->show({600, 400}));
    m_window->slowKeys();
}

void tst_RemoteWindow::cleanup()
{
    QVERIFY2(m_window->clean(), qPrintable(m_window->errors()));
    m_form = nullptr;
    m_window.reset();
}

void tst_RemoteWindow::settingsOpenTheRemote_data()
{
    QTest::addColumn<QString>("enabled");
    QTest::addColumn<bool>("listening");
    QTest::newRow("switched on") << "YES" << true;
    QTest::newRow("switched on, lower case") << "yes" << true;
    QTest::newRow("switched off") << "NO" << false;
    QTest::newRow("garbage") << "MAYBE" << false;
    QTest::newRow("absent") << "" << false;
}

// At start the window listens as [REMOTE] says, on loopback only, and stops on exit.
void tst_RemoteWindow::settingsOpenTheRemote()
{
    QFETCH(QString, enabled);
    QFETCH(bool, listening);
    const quint16 port = freePort();
    QVERIFY(port != 0);
    QList<SettingsKey> keys{{"REMOTE", "PORT", QString::number(port)}};
    if (!enabled.isEmpty())
        keys.append({"REMOTE", "ENABLED", enabled});
    QVERIFY(m_window->settings(keys));
    makeForm();
    RemoteServer &server = m_form->Remote->Server();
    QCOMPARE(server.isRunning(), listening);
    if (listening) {
        QCOMPARE(server.tcpPort(), port);
        QCOMPARE(server.udpPort(), port);
        for (const QHostAddress &a : server.boundAddresses())
            QVERIFY2(a.isLoopback(), qPrintable(a.toString()));
        QVERIFY(!server.boundAddresses().isEmpty());
    }
    // The menu item shows the dialog with the choice read from the file.
    m_form->Action(QStringLiteral("RemoteControlItem"))->trigger();
    QVERIFY(m_form->Remote->Dialog() && m_form->Remote->Dialog()->isVisible());
    m_form->Remote->Dialog()->close();
    m_form->close();
    QVERIFY(!server.isRunning());
    QTcpServer again;
    QVERIFY2(again.listen(Loopback, port), "the port is still held after exit");
}

void tst_RemoteWindow::runDrivenOverLoopback_data()
{
    QTest::addColumn<bool>("webSocket");
    QTest::newRow("OSC") << false;
    QTest::newRow("WebSocket") << true;
}

// Start, speed, reverse, a jump, a flag and leave, each from the client, each seen in the
// prompter's state and pushed back to the client.
void tst_RemoteWindow::runDrivenOverLoopback()
{
    QFETCH(bool, webSocket);
    const quint16 port = freePort();
    QVERIFY(port != 0);
    QVERIFY(m_window->settings({{"REMOTE", "ENABLED", "YES"}, {"REMOTE", "PORT", QString::number(port)}}));
    makeForm();
    QVERIFY(m_form->Remote->Server().isRunning());

    m_form->RichEdit1->setPlainText(QStringLiteral("a\nb"));
    const int page = m_window->pageLines();
    QVERIFY(page > 2);
    const int marker = 30 * page + 1;
    m_window->loadLines(60 * page, {marker});

    std::unique_ptr<RemoteClient> client;
    if (webSocket)
        client = std::make_unique<WebClient>();
    else
        client = std::make_unique<OscClient>();
    QVERIFY(client->open(port));

    const PromptState &p = m_form->Prompt;
    PromptEngine &engine = *m_form->Engine;
    auto running = [&p] { return p.Prompting && p.LoopRunning; };
    auto replied = [&client](const QString &reply) { return client->replies.contains(reply); };
    const qint64 runs = engine.RunsStarted();
    int flagged = -1;
    Steps steps([this] { m_form->Commands->Leave(); }, 40000);
    // Each command is answered, and its effect pushed back, before the next is sent.
    qsizetype mark = 0;
    auto send = [&](const QString &verb, std::optional<int> argument = std::nullopt) {
        mark = client->states.size();
        client->send(verb, argument);
    };
    auto pushed = [&](const QString &state) { return client->states.mid(mark).contains(state); };
    send(QStringLiteral("state"));
    // Before the first run the count is the editor's, as the top line is.
    const int editorLines = m_form->RichEdit1->GetLineCount();
    QVERIFY(editorLines >= 60 * page);
    steps.when([&] { return pushed(QStringLiteral("prompting=0")); },
               [&] {
                   QVERIFY2(pushed(QStringLiteral("lines=%1").arg(editorLines)), qPrintable(client->states.join(u' ')));
                   send(QStringLiteral("start"));
               });
    steps.when([&] { return running() && pushed(QStringLiteral("prompting=1")); },
               [&] { send(QStringLiteral("speed"), 2); });
    steps.when([&] { return replied(QStringLiteral("speed done")) && pushed(QStringLiteral("speed=2")); },
               [&] {
                   QCOMPARE(p.CurrentSpeed, 2);
                   send(QStringLiteral("reverse"));
               });
    steps.when([&] { return replied(QStringLiteral("reverse done")) && pushed(QStringLiteral("reverse=1")); },
               [&] {
                   QCOMPARE(p.Reverse, 1);
                   send(QStringLiteral("reverse"));
               });
    steps.when([&] { return pushed(QStringLiteral("reverse=0")); },
               [&] {
                   QCOMPARE(p.Reverse, 0);
                   QVERIFY2(engine.LineAtTop() < marker,
                            qPrintable(QStringLiteral("%1 %2").arg(engine.LineAtTop()).arg(marker)));
                   send(QStringLiteral("next"));
               });
    // The jump stops at the marker and starts a new run there.
    steps.when(
        [&] {
            return replied(QStringLiteral("next done")) && engine.RunsStarted() == runs + 2 && running()
                && pushed(QStringLiteral("line=%1").arg(marker));
        },
        [&] {
            QCOMPARE(engine.LineAtTop(), marker);
            QCOMPARE(p.CurrentSpeed, 0);
            flagged = engine.LineAtTop();
            send(QStringLiteral("flag"));
        });
    steps.when([&] { return replied(QStringLiteral("flag done")); }, [&] { send(QStringLiteral("stop")); });
    steps.start();
    QTRY_VERIFY2_WITH_TIMEOUT(
        steps.done() && !engine.Active() && replied(QStringLiteral("stop done")),
        qPrintable(QStringLiteral("%1 steps left; replies: %2; pushes: %3")
                       .arg(steps.left())
                       .arg(client->replies.join(QStringLiteral(", ")), client->states.join(u' '))),
        50000);
    QTRY_VERIFY_WITH_TIMEOUT(pushed(QStringLiteral("prompting=0")), 5000);

    QCOMPARE(client->replies,
             (QStringList{"start done", "speed done", "reverse done", "reverse done", "next done", "flag done",
                          "stop done"}));
    // The flag was marked in the script when the run ended, at the line the jump showed.
    QCOMPARE(flagged, marker);
    const TRichEdit *editor = m_form->RichEdit1;
    QCOMPARE(editor->Text().count(ErrorMarker), 1);
    QVERIFY2(editor->LineText(marker).contains(ErrorMarker), qPrintable(editor->LineText(marker)));
    QVERIFY(client->states.contains(QStringLiteral("lines=%1").arg(m_form->Commands->Status().lineCount)));
}

QTEST_MAIN(tst_RemoteWindow)
#include "tst_remotewindow.moc"
