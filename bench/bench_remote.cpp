// The remote's figures, over loopback, against the real window and its prompt commands.
//
//   bench_remote latency [samples]
//       From a client's send (a thread of its own, OSC or WebSocket) to the moment the
//       window's PromptState shows the effect: keyboard rows 6 and 5 in turn while
//       prompting (steady and busy-wait method); while not prompting, where a row is
//       answered as ignored and changes nothing, to the command layer's answer. The UI
//       thread looks after every event it delivers, so the time ends with the event that
//       carried the command. A stand-in command layer without a window gives the remote's
//       own share. One command at a time, 12 ms apart (under the rate limit).
//   bench_remote flood [seconds]
//       A steady-method run at key 5 for 30 s (unless given) twice in one process: once
//       with nothing sent, once while a child process sends 10,000 messages a second on
//       loopback (half OSC, half WebSocket; a fifth of them garbage, unknown commands,
//       wrong types or oversize). Speed against the expected, steps within 2 ms of their
//       frame, RSS and the heap in use at start, middle and end, processor time, and the
//       remote's counts.
//
// Run offscreen or on a display, for example
//   QT_QPA_PLATFORM=offscreen build/bench/bench_remote latency
//   xvfb-run -a -s "-screen 0 1920x1080x24" build/bench/bench_remote flood
// (bench_remote client PORT SECONDS is the flood's sender, started by the flood itself.)

#include "app/TMainForm.h"
#include "prompt/PromptState.h"
#include "remote/RemoteCommand.h"
#include "remote/RemoteDialog.h"
#include "remote/RemoteServer.h"
#include "settings/ProfileFile.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QUdpSocket>
#include <QWebSocket>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <malloc.h>
#include <vector>

#include "PrompterSupport.h"

namespace {

qint64 nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Looks at the state after every event the UI thread delivers, nested ones too.
class ProbingApplication : public QApplication
{
public:
    using QApplication::QApplication;
    std::function<void()> probe;

    bool notify(QObject *receiver, QEvent *event) override
    {
        const bool result = QApplication::notify(receiver, event);
        if (probe)
            probe();
        return result;
    }
};

// The offscreen platform says this of every window shown; it says nothing about the remote.
QtMessageHandler previousHandler = nullptr;
void quietHandler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (message.contains(QLatin1String("propagateSizeHints")))
        return;
    if (previousHandler)
        previousHandler(type, context, message);
    else
        std::fprintf(stderr, "%s\n", qPrintable(message));
}

ProbingApplication *probingApp()
{
    return static_cast<ProbingApplication *>(QCoreApplication::instance());
}

long rssKiB()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').front().toLong();
    return -1;
}

// What the program holds of the heap: RSS also keeps what was freed and not given back.
long heapInUseKiB()
{
    const struct mallinfo2 m = mallinfo2();
    return long((m.uordblks + m.hblkhd) / 1024);
}

QString loadAverage()
{
    QFile f(QStringLiteral("/proc/loadavg"));
    if (!f.open(QIODevice::ReadOnly))
        return QStringLiteral("?");
    return QString::fromLatin1(f.readAll()).section(u' ', 0, 2);
}

quint16 freePort()
{
    for (int attempt = 0; attempt < 20; ++attempt) {
        QTcpServer tcp;
        if (!tcp.listen(QHostAddress::LocalHost, 0))
            continue;
        QUdpSocket udp;
        if (udp.bind(QHostAddress::LocalHost, tcp.serverPort()))
            return tcp.serverPort();
    }
    fail("no free port");
}

// The settings file the next window reads: the remote on, on loopback, at this port.
void writeRemoteSettings(quint16 port)
{
    Settings defaults;
    TakeSettingsDir(defaults);
    WriteDefaultSettings(defaults);
    const QString path = SettingsFilePath(defaults);
    ProfileFile file;
    if (!file.load(path) || !file.setValue(QStringLiteral("REMOTE"), QStringLiteral("ENABLED"), QStringLiteral("YES"))
        || !file.setValue(QStringLiteral("REMOTE"), QStringLiteral("PORT"), QString::number(port)) || !file.save(path))
        fail("cannot write the settings file");
}

// Runs `body` on a thread of its own while this thread sits in its event loop, as the
// program does between runs.
void whileWaiting(const std::function<void()> &body)
{
    QThread *thread = QThread::create(body);
    QEventLoop loop;
    QObject::connect(thread, &QThread::finished, &loop, &QEventLoop::quit, Qt::QueuedConnection);
    thread->start();
    loop.exec();
    thread->wait();
    delete thread;
}

// ---- latency ----

// A command layer that does nothing but remember the last row: the remote's own share.
class StandInControl : public PromptControl
{
public:
    Outcome Start() override { return Outcome::Done; }
    Outcome Leave() override { return Outcome::Done; }
    Outcome KeyboardRow(int row) override
    {
        lastRow = row;
        return Outcome::Done;
    }
    Outcome ControllerValue(int) override { return Outcome::Done; }
    Outcome ToggleDirection() override { return Outcome::Done; }
    Outcome Jump(bool) override { return Outcome::Done; }
    Outcome FlagLine() override { return Outcome::Done; }
    Outcome RestartFromTop() override { return Outcome::Done; }
    Outcome LayOutAgain() override { return Outcome::Done; }
    PromptStatus Status() const override { return {}; }
    int lastRow = -1;
};

int rowOf(int sample)
{
    return sample % 2 == 0 ? 6 : 5;
}

// One measurement: the client sends sample i and waits until the UI thread has seen it
// take effect, so every effect belongs to exactly one send.
struct Samples
{
    explicit Samples(int n) : sent(size_t(n)), seenAt(size_t(n)) { }
    std::vector<qint64> sent;
    std::vector<qint64> seenAt;
    std::atomic<int> seen = 0;
    bool lost = false;

    // In the client's thread, after sending sample i.
    void awaitSeen(int i)
    {
        const qint64 deadline = nowNs() + 2'000'000'000;
        while (seen.load(std::memory_order_acquire) <= i) {
            if (nowNs() > deadline) {
                lost = true;
                return;
            }
            QThread::usleep(100);
        }
    }
};

enum class Transport { Osc, WebSocket };

void oscClient(quint16 port, Samples &s, int gapMs)
{
    QUdpSocket socket;
    for (int i = 0; i < int(s.sent.size()) && !s.lost; ++i) {
        const QByteArray message = Remote::OscMessage(QStringLiteral("/corvanta/speed"), {{rowOf(i), {}}});
        s.sent[size_t(i)] = nowNs();
        socket.writeDatagram(message, QHostAddress::LocalHost, port);
        s.awaitSeen(i);
        QThread::msleep(gapMs);
    }
}

void webClient(quint16 port, Samples &s, int gapMs)
{
    // A client that sends at once, as browsers do (Nagle off); Qt's client socket cannot
    // be told to, so the handshake and the frames are written here.
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(5000))
        fail("no WebSocket connection");
    socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    socket.write(QByteArrayLiteral("GET /ws HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\n"
                                   "Connection: Upgrade\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n"
                                   "Sec-WebSocket-Version: 13\r\n\r\n"));
    socket.waitForBytesWritten(5000);
    QByteArray head;
    while (!head.contains("\r\n\r\n") && socket.waitForReadyRead(5000))
        head += socket.readAll();
    if (!head.startsWith("HTTP/1.1 101"))
        fail("the WebSocket handshake was refused");
    for (int i = 0; i < int(s.sent.size()) && !s.lost; ++i) {
        const QByteArray payload = QStringLiteral(R"({"command":"speed","value":%1})").arg(rowOf(i)).toUtf8();
        QByteArray frame;
        frame.append(char(0x81)); // final text frame
        frame.append(char(0x80 | payload.size())); // masked, short length
        frame.append(QByteArray(4, '\0')); // a zero mask leaves the payload as it is
        frame.append(payload);
        s.sent[size_t(i)] = nowNs();
        socket.write(frame);
        socket.flush();
        s.awaitSeen(i);
        // The answers are read and dropped while waiting.
        QElapsedTimer gap;
        gap.start();
        while (gap.elapsed() < gapMs) {
            socket.waitForReadyRead(1);
            socket.readAll();
        }
    }
}

// What a row of the table shows: where the commands go and what counts as their effect.
struct Target
{
    const RemoteServer *server;
    std::function<bool(int sample)> shows; // the effect of sample i is visible
};

void measure(const char *label, Transport transport, quint16 port, const Target &target, int n,
             const std::function<void(const std::function<void()> &)> &runClient)
{
    Samples s(n);
    const qint64 answered0 = target.server->counts().done + target.server->counts().ignored;
    int next = 0;
    probingApp()->probe = [&] {
        if (next >= n)
            return;
        const RemoteServer::Counts &c = target.server->counts();
        if (c.done + c.ignored < answered0 + next + 1 || !target.shows(next))
            return;
        s.seenAt[size_t(next)] = nowNs();
        ++next;
        s.seen.store(next, std::memory_order_release);
    };
    constexpr int GapMs = 12;
    runClient([&] {
        if (transport == Transport::Osc)
            oscClient(port, s, GapMs);
        else
            webClient(port, s, GapMs);
    });
    probingApp()->probe = nullptr;
    if (s.lost)
        fail("a command was not answered within 2 s");
    std::vector<double> ms;
    for (int i = 0; i < n; ++i)
        ms.push_back((s.seenAt[size_t(i)] - s.sent[size_t(i)]) / 1e6);
    const auto slowest = int(std::max_element(ms.begin(), ms.end()) - ms.begin());
    std::sort(ms.begin(), ms.end());
    const double p99 = ms[std::min(ms.size() - 1, ms.size() * 99 / 100)];
    std::printf("  %-34s %-9s %6d %9.3f %9.3f %9.3f  (max at #%d)%s\n", label,
                transport == Transport::Osc ? "OSC" : "WebSocket", n, ms[ms.size() / 2], p99, ms.back(), slowest,
                p99 < 16.7 ? "" : " p99 over a frame");
}

void latency(int n, quint16 port)
{
    std::printf("load average %s\n", qPrintable(loadAverage()));
    std::printf("  %-34s %-9s %6s %9s %9s %9s   (ms, send to effect)\n", "", "", "count", "median", "p99", "max");
    {
        StandInControl control;
        RemoteServer server(control);
        if (!server.start({0, false}))
            fail(qPrintable(server.errorString()));
        const Target target{&server, [&](int i) { return control.lastRow == rowOf(i); }};
        for (Transport t : {Transport::Osc, Transport::WebSocket})
            measure("stand-in command layer, no window", t, t == Transport::Osc ? server.udpPort() : server.tcpPort(),
                    target, n, whileWaiting);
    }
    for (bool steady : {true, false}) {
        writeRemoteSettings(port);
        Prompter p(4000, steady);
        RemoteServer &server = p.form.Remote->Server();
        if (!server.isRunning())
            fail("the window's remote is not listening");
        const PromptState &state = p.form.Prompt;
        const auto &table = p.form.SettingsRecord->KeyboardSpeedTable;
        if (table[5].Speed == table[6].Speed)
            fail("rows 5 and 6 have the same speed");
        const Target target{&server, [&](int i) { return state.CurrentSpeed == table[rowOf(i)].Speed; }};
        for (Transport t : {Transport::Osc, Transport::WebSocket}) {
            // The client runs while the run goes on; the run ends when it is done.
            std::atomic<bool> finished = false;
            QThread *client = nullptr;
            std::function<void()> body;
            auto whilePrompting = [&](const std::function<void()> &b) {
                body = b;
                p.run(nullptr, [&] {
                    if (!client) {
                        if (state.CurrentSpeed != table[5].Speed) {
                            p.key(5);
                            return true;
                        }
                        client = QThread::create([&] {
                            body();
                            finished = true;
                        });
                        client->start();
                    }
                    return !finished.load();
                });
                client->wait();
                delete client;
                client = nullptr;
                finished = false;
            };
            measure(steady ? "prompting, steady method (FRAME)" : "prompting, busy-wait method (WIN)", t, port, target,
                    n, whilePrompting);
        }
        if (steady) {
            // Between runs a row changes nothing: the answer is the effect. The window
            // settles first: the end of a run is not what is measured.
            QEventLoop settle;
            QTimer::singleShot(500, &settle, &QEventLoop::quit);
            settle.exec();
            const Target idle{&server, [](int) { return true; }};
            for (Transport t : {Transport::Osc, Transport::WebSocket})
                measure("not prompting (answered ignored)", t, port, idle, n, whileWaiting);
        }
    }
    std::printf("load average %s\n", qPrintable(loadAverage()));
}

// ---- flood ----

struct RunFigures
{
    double pixelsPerSecond = 0;
    double expected = 0;
    size_t steps = 0;
    double within2ms = 0;
    double lateP99 = 0;
    long rssBeforeWarmUp = 0;
    long rss[3] = {0, 0, 0};
    long heap[3] = {0, 0, 0};
    double cpuShare = 0;
    RemoteServer::Counts counts;
    QByteArray clientReport;
};

constexpr int WarmUpMs = 2000;

RunFigures floodRun(quint16 port, int seconds, bool send)
{
    writeRemoteSettings(port);
    Prompter p(8000, true);
    if (!p.form.Remote->Server().isRunning())
        fail("the window's remote is not listening");
    const SpeedEntry row = p.form.SettingsRecord->KeyboardSpeedTable[5];
    const PromptState &state = p.form.Prompt;
    MotionMeter meter(p.form);
    RunFigures f;
    std::vector<double> late;
    QElapsedTimer warm, clock;
    qint64 firstNs = 0, lastNs = 0;
    double cpu0 = 0;

    QProcess sender;
    sender.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    bool senderReady = !send;
    QObject::connect(&sender, &QProcess::readyReadStandardOutput, [&] {
        f.clientReport += sender.readAllStandardOutput();
        senderReady = senderReady || f.clientReport.contains("sending");
    });

    p.run(
        [&](bool after) {
            if (!clock.isValid())
                return;
            if (!after) {
                late.push_back(p.form.Engine->LastStepLateNs() / 1e6);
                return;
            }
            meter.step();
            // Motion is counted from the first step in the window to the last.
            if (firstNs == 0) {
                firstNs = clock.nsecsElapsed();
                meter.reset();
            }
            lastNs = clock.nsecsElapsed();
        },
        [&] {
            if (state.CurrentSpeed != row.Speed || state.ActiveDelay != row.Delay) {
                p.key(5);
                return true;
            }
            if (send && sender.state() == QProcess::NotRunning && f.clientReport.isEmpty()) {
                sender.start(
                    QCoreApplication::applicationFilePath(),
                    {QStringLiteral("client"), QString::number(port), QString::number(seconds + WarmUpMs / 1000 + 1)});
                return true;
            }
            if (!senderReady)
                return true;
            // The first seconds of a run fill the caches of the panes; the window comes after.
            if (!warm.isValid()) {
                warm.start();
                f.rssBeforeWarmUp = rssKiB();
                return true;
            }
            if (warm.elapsed() < WarmUpMs)
                return true;
            if (!clock.isValid()) {
                clock.start();
                firstNs = 0;
                cpu0 = cpuSeconds();
                f.rss[0] = rssKiB();
                f.heap[0] = heapInUseKiB();
                return true;
            }
            if (f.rss[1] == 0 && clock.elapsed() >= seconds * 500) {
                f.rss[1] = rssKiB();
                f.heap[1] = heapInUseKiB();
            }
            if (clock.elapsed() < seconds * 1000)
                return true;
            f.rss[2] = rssKiB();
            f.heap[2] = heapInUseKiB();
            f.cpuShare = (cpuSeconds() - cpu0) / (clock.elapsed() / 1000.0);
            return false;
        });
    if (send) {
        // The remote goes on taking what is still sent until the sender is done.
        QEventLoop loop;
        QObject::connect(&sender, &QProcess::finished, &loop, &QEventLoop::quit);
        QTimer::singleShot(15000, &loop, &QEventLoop::quit);
        if (sender.state() != QProcess::NotRunning)
            loop.exec();
        if (sender.state() != QProcess::NotRunning)
            fail("the sender did not finish");
        f.clientReport += sender.readAllStandardOutput();
    }
    for (int m : meter.moves())
        if (m != row.Speed && m != 0)
            fail("a step moved the text by other than the speed");
    if (meter.pixels() <= 0 || late.empty())
        fail("the panes did not move");
    f.pixelsPerSecond = meter.pixels() / ((lastNs - firstNs) / 1e9);
    f.expected = row.Speed * refreshRate(p.form) / (1.0 + row.Delay / 1e6);
    f.steps = late.size();
    std::sort(late.begin(), late.end());
    f.within2ms
        = double(std::count_if(late.begin(), late.end(), [](double ms) { return ms <= 2.0; })) / double(late.size());
    f.lateP99 = late[late.size() * 99 / 100];
    f.counts = p.form.Remote->Server().counts();
    return f;
}

void printRun(const char *label, const RunFigures &f)
{
    const RemoteServer::Counts &c = f.counts;
    std::printf("%s:\n", label);
    std::printf("  speed %.2f px/s, expected %.2f (ratio %.4f); %zu steps, %.2f %% within 2 ms of their frame, "
                "99th percentile %.2f ms late\n",
                f.pixelsPerSecond, f.expected, f.pixelsPerSecond / f.expected, f.steps, f.within2ms * 100, f.lateP99);
    std::printf("  RSS %ld KiB before the warm-up, %ld at start, %ld in the middle, %ld at the end; %.1f %% of one "
                "core\n",
                f.rssBeforeWarmUp, f.rss[0], f.rss[1], f.rss[2], f.cpuShare * 100);
    std::printf("  heap in use %ld KiB at start, %ld in the middle, %ld at the end\n", f.heap[0], f.heap[1], f.heap[2]);
    std::printf("  remote: received %lld, done %lld, ignored %lld, rate-limited %lld, malformed %lld, oversize %lld, "
                "refused %lld\n",
                c.received, c.done, c.ignored, c.rateDropped, c.malformed, c.oversize, c.refused);
    if (!f.clientReport.isEmpty())
        std::printf("  sender: %s\n", f.clientReport.trimmed().replace('\n', "; ").constData());
}

void flood(int seconds, quint16 port)
{
    std::printf("load average %s\n", qPrintable(loadAverage()));
    const RunFigures quiet = floodRun(port, seconds, false);
    printRun("nothing sent", quiet);
    const RunFigures loud = floodRun(port, seconds, true);
    printRun("10,000 messages a second", loud);
    std::printf("flood/quiet: speed %.4f, steps within 2 ms %.4f, RSS growth start to end %+ld KiB (quiet %+ld), heap "
                "in use %+ld KiB "
                "(quiet %+ld), "
                "processor time %.2f\n",
                loud.pixelsPerSecond / quiet.pixelsPerSecond, loud.within2ms / quiet.within2ms,
                loud.rss[2] - loud.rss[0], quiet.rss[2] - quiet.rss[0], loud.heap[2] - loud.heap[0],
                quiet.heap[2] - quiet.heap[0], loud.cpuShare / quiet.cpuShare);
    std::printf("load average %s\n", qPrintable(loadAverage()));
}

// ---- the flood's sender ----

// 5,000 OSC datagrams and 5,000 WebSocket messages a second, in batches every 10 ms; of
// every 50, 40 are a valid keyboard row 5 (what the run is at) and the rest garbage, an
// unknown command, a wrong type and oversize messages.
int client(quint16 port, int seconds)
{
    QUdpSocket udp;
    QWebSocket web;
    qint64 answers = 0;
    QObject::connect(&web, &QWebSocket::textMessageReceived, [&](const QString &) { ++answers; });
    // Answers and state pushes to the OSC socket are read and dropped.
    QObject::connect(&udp, &QUdpSocket::readyRead, [&] {
        while (udp.hasPendingDatagrams()) {
            udp.readDatagram(nullptr, 0);
            ++answers;
        }
    });
    udp.bind(QHostAddress::LocalHost, 0);
    web.open(QUrl(QStringLiteral("ws://127.0.0.1:%1/ws").arg(port)));
    QElapsedTimer wait;
    wait.start();
    while (web.state() != QAbstractSocket::ConnectedState && wait.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    if (web.state() != QAbstractSocket::ConnectedState)
        fail("no WebSocket connection");

    const QList<QByteArray> osc{
        Remote::OscMessage(QStringLiteral("/corvanta/speed"), {{5, {}}}),
        QByteArrayLiteral("\x00\x01garbage not OSC at all"),
        Remote::OscMessage(QStringLiteral("/corvanta/nothing"), {}),
        Remote::OscMessage(QStringLiteral("/corvanta/speed"), {{{}, QStringLiteral("five")}}),
        QByteArray(5000, 'x'),
    };
    const QStringList json{
        QStringLiteral(R"({"command":"speed","value":5})"),
        QStringLiteral("{{{ not json"),
        QStringLiteral(R"({"command":"nothing"})"),
        QStringLiteral(R"({"command":"speed","value":"five"})"),
        QStringLiteral(R"({"command":"speed","value":5,"pad":"%1"})").arg(QString(5000, u'x')),
    };
    auto kind = [](int i) { return i < 40 ? 0 : i < 45 ? 1 : i < 47 ? 2 : i < 49 ? 3 : 4; };
    udp.writeDatagram(Remote::OscMessage(QStringLiteral("/corvanta/state"), {}), QHostAddress::LocalHost, port);
    web.sendTextMessage(QStringLiteral(R"({"command":"state"})"));
    std::printf("sending\n");
    std::fflush(stdout);

    qint64 sentOsc = 0, sentWeb = 0;
    QElapsedTimer clock;
    clock.start();
    qint64 due = 0;
    while (clock.elapsed() < seconds * 1000) {
        while (clock.elapsed() >= due) {
            for (int i = 0; i < 50; ++i) {
                udp.writeDatagram(osc[kind(i)], QHostAddress::LocalHost, port);
                if (i == 45)
                    web.sendBinaryMessage(QByteArrayLiteral("\x01\x02\x03"));
                else
                    web.sendTextMessage(json[kind(i)]);
            }
            sentOsc += 50;
            sentWeb += 50;
            due += 10;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        QThread::usleep(500);
    }
    web.flush();
    wait.restart();
    while (web.bytesToWrite() > 0 && wait.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    std::printf("sent OSC %lld, WebSocket %lld in %.1f s; %lld answers and state messages back\n", sentOsc, sentWeb,
                clock.elapsed() / 1000.0, answers);
    web.close();
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const QString what = argc > 1 ? QString::fromLatin1(argv[1]) : QStringLiteral("latency");
    if (what == u"client") {
        QCoreApplication app(argc, argv);
        if (argc < 4)
            fail("client PORT SECONDS");
        return client(quint16(std::atoi(argv[2])), std::atoi(argv[3]));
    }
    if (qEnvironmentVariableIsEmpty("QT_FONT_DPI"))
        qputenv("QT_FONT_DPI", "96");
    ProbingApplication app(argc, argv);
    previousHandler = qInstallMessageHandler(quietHandler);
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    std::printf("platform %s, refresh %.1f Hz\n", qPrintable(QGuiApplication::platformName()),
                QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->refreshRate() : 0.0);
    const quint16 port = freePort();
    if (what == u"latency")
        latency(argc > 2 ? std::max(100, std::atoi(argv[2])) : 1000, port);
    else if (what == u"flood")
        flood(argc > 2 ? std::max(1, std::atoi(argv[2])) : 30, port);
    else
        fail("unknown measurement");
    return 0;
}
