// The remote's figures, over loopback, against a stand-in for the prompt commands:
//   latency  from a client's send to the prompt command being called (median, p99), for
//            OSC and for the WebSocket, sent from a thread of their own
//   flood    10,000 messages a second (half OSC, half WebSocket) for N seconds while a
//            60 Hz timer stands in for the frames: frames on time, memory, drop counts
//   idle     the same frames with nothing sent, to compare with
// bench_remote [latency|flood|idle] [seconds]
#include "remote/RemoteCommand.h"
#include "remote/RemoteServer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>
#include <QUdpSocket>
#include <QWebSocket>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <vector>

namespace {

qint64 nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

class TimingControl : public PromptControl
{
public:
    std::vector<qint64> calledAt;
    Outcome Start() override { return Outcome::Done; }
    Outcome Leave() override { return Outcome::Done; }
    Outcome KeyboardRow(int) override
    {
        calledAt.push_back(nowNs());
        return Outcome::Done;
    }
    Outcome ControllerValue(int) override { return Outcome::Done; }
    Outcome ToggleDirection() override { return Outcome::Done; }
    Outcome Jump(bool) override { return Outcome::Done; }
    Outcome FlagLine() override
    {
        ++flags;
        return Outcome::Done;
    }
    Outcome RestartFromTop() override { return Outcome::Done; }
    Outcome LayOutAgain() override { return Outcome::Done; }
    PromptStatus Status() const override { return status; }
    PromptStatus status;
    qint64 flags = 0;
};

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

// Runs `body` on a thread with an event loop of its own and waits for it, while the main
// loop (the server's) keeps running.
template<typename Body>
void onThread(Body body)
{
    std::atomic<bool> finished = false;
    QThread *thread = QThread::create([&] {
        body();
        finished = true;
    });
    thread->start();
    while (!finished)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    thread->wait();
    delete thread;
}

void report(const char *what, std::vector<qint64> sent, const std::vector<qint64> &called)
{
    std::vector<double> ms;
    for (size_t i = 0; i < std::min(sent.size(), called.size()); ++i)
        ms.push_back((called[i] - sent[i]) / 1e6);
    std::sort(ms.begin(), ms.end());
    if (ms.empty()) {
        std::printf("%-10s no samples\n", what);
        return;
    }
    std::printf("%-10s %zu of %zu commands: median %.3f ms, p99 %.3f ms, max %.3f ms\n", what, ms.size(), sent.size(),
                ms[ms.size() / 2], ms[std::min(ms.size() - 1, ms.size() * 99 / 100)], ms.back());
}

void latency(RemoteServer &server, TimingControl &control)
{
    constexpr int Samples = 400;
    // 12 ms apart: well under the rate limit of 100 a second.
    constexpr int GapMs = 12;
    const quint16 udpPort = server.udpPort();
    const quint16 tcpPort = server.tcpPort();

    std::vector<qint64> sent;
    control.calledAt.clear();
    onThread([&] {
        QUdpSocket socket;
        const QByteArray message = Remote::OscMessage(QStringLiteral("/corvanta/speed"), {{5, {}}});
        for (int i = 0; i < Samples; ++i) {
            sent.push_back(nowNs());
            socket.writeDatagram(message, QHostAddress::LocalHost, udpPort);
            QThread::msleep(GapMs);
        }
    });
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 300)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    report("OSC", sent, control.calledAt);

    sent.clear();
    control.calledAt.clear();
    onThread([&] {
        // A client that sends at once, as browsers do (Nagle off); Qt's client socket cannot
        // be told to, so the handshake and the frames are written here.
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, tcpPort);
        if (!socket.waitForConnected(5000))
            return;
        socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
        socket.write(QByteArrayLiteral("GET /ws HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\n"
                                       "Connection: Upgrade\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n"
                                       "Sec-WebSocket-Version: 13\r\n\r\n"));
        socket.waitForBytesWritten(5000);
        QByteArray head;
        while (!head.contains("\r\n\r\n") && socket.waitForReadyRead(5000))
            head += socket.readAll();
        const QByteArray payload = QByteArrayLiteral(R"({"command":"speed","value":5})");
        QByteArray frame;
        frame.append(char(0x81)); // final text frame
        frame.append(char(0x80 | payload.size())); // masked, short length
        frame.append(QByteArray(4, '\0')); // a zero mask leaves the payload as it is
        frame.append(payload);
        for (int i = 0; i < Samples; ++i) {
            sent.push_back(nowNs());
            socket.write(frame);
            socket.flush();
            QElapsedTimer gap;
            gap.start();
            while (gap.elapsed() < GapMs) {
                socket.waitForReadyRead(1);
                socket.readAll();
            }
        }
    });
    settle.restart();
    while (settle.elapsed() < 300)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    report("WebSocket", sent, control.calledAt);
}

void flood(RemoteServer &server, TimingControl &control, int seconds, bool send)
{
    // A frame every 16.7 ms; late when it fires more than half a frame after its time.
    std::vector<double> lateness;
    QElapsedTimer frames;
    frames.start();
    qint64 nextFrameNs = 0;
    QTimer frame;
    frame.setTimerType(Qt::PreciseTimer);
    frame.setInterval(16);
    QObject::connect(&frame, &QTimer::timeout, [&] {
        const qint64 t = frames.nsecsElapsed();
        if (nextFrameNs != 0)
            lateness.push_back(std::max<qint64>(0, t - nextFrameNs) / 1e6);
        nextFrameNs = t + 16'666'667;
        // The frame's own work: a status read, as the prompter's step would update it.
        control.status.topLine++;
    });
    frame.start();

    const long rssBefore = rssKiB();
    const quint16 udpPort = server.udpPort();
    const quint16 tcpPort = server.tcpPort();
    std::atomic<qint64> sentOsc = 0, sentWeb = 0;
    onThread([&] {
        QUdpSocket udp;
        QWebSocket web;
        web.open(QUrl(QStringLiteral("ws://127.0.0.1:%1/ws").arg(tcpPort)));
        QElapsedTimer wait;
        wait.start();
        while (web.state() != QAbstractSocket::ConnectedState && wait.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        const QByteArray osc = Remote::OscMessage(QStringLiteral("/corvanta/flag"), {});
        const QString json = QStringLiteral(R"({"command":"flag"})");
        QElapsedTimer clock;
        clock.start();
        qint64 due = 0;
        // 5,000 of each a second, in batches of 50 every 10 ms.
        while (clock.elapsed() < seconds * 1000) {
            if (send && clock.elapsed() >= due) {
                for (int i = 0; i < 50; ++i) {
                    udp.writeDatagram(osc, QHostAddress::LocalHost, udpPort);
                    web.sendTextMessage(json);
                }
                web.flush();
                sentOsc += 50;
                sentWeb += 50;
                due += 10;
            }
            QCoreApplication::processEvents(QEventLoop::AllEvents);
            QThread::msleep(1);
        }
        web.flush();
        wait.restart();
        while (web.bytesToWrite() > 0 && wait.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        web.close();
    });
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 1000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    frame.stop();
    const long rssAfter = rssKiB();

    std::sort(lateness.begin(), lateness.end());
    const auto onTime = std::count_if(lateness.begin(), lateness.end(), [](double ms) { return ms <= 8.33; });
    const RemoteServer::Counts &c = server.counts();
    std::printf("%s %d s: sent OSC %lld, WebSocket %lld; received %lld, acted on %lld, rate-dropped %lld, "
                "lost before the socket %lld\n",
                send ? "flood" : "idle", seconds, qint64(sentOsc), qint64(sentWeb), c.received, control.flags,
                c.rateDropped, qint64(sentOsc) + qint64(sentWeb) - c.received);
    std::printf("frames: %zu, on time (within half a frame) %.2f %%, lateness median %.2f ms, p99 %.2f ms\n",
                lateness.size(), 100.0 * onTime / std::max<size_t>(1, lateness.size()),
                lateness.empty() ? 0 : lateness[lateness.size() / 2],
                lateness.empty() ? 0 : lateness[lateness.size() * 99 / 100]);
    std::printf("memory: RSS %ld KiB before, %ld KiB after\n", rssBefore, rssAfter);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QString what = argc > 1 ? QString::fromLatin1(argv[1]) : QStringLiteral("latency");
    const int seconds = argc > 2 ? std::max(1, atoi(argv[2])) : 30;
    TimingControl control;
    control.status.prompting = true;
    RemoteServer server(control);
    if (!server.start({0, false})) {
        std::fprintf(stderr, "%s\n", qPrintable(server.errorString()));
        return 1;
    }
    if (what == QLatin1String("latency"))
        latency(server, control);
    else
        flood(server, control, seconds, what == QLatin1String("flood"));
    return 0;
}
