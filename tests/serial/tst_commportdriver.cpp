#include "PseudoTerminal.h"

#include "controls/TCommPortDriver.h"

#include <QRandomGenerator>
#include <QSerialPort>
#include <QtTest>

#include <memory>

// The serial driver against a pseudo-terminal standing in for the hand controller.
class tst_CommPortDriver : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void openReceiveClose();
    void openFails_data();
    void openFails();
    void openWhenOpenChangesNothing();
    void frozenWhileOpen_data();
    void frozenWhileOpen();
    void portLineFromDcb_data();
    void portLineFromDcb();
    void lineSettingsReachThePort_data();
    void lineSettingsReachThePort();
    void lineChangeWhileOpenPurges();
    void pollingDelayRestartsOnlyOnChange();
    void readsAtMostTheBufferSize_data();
    void readsAtMostTheBufferSize();
    void nothingReceivedRaisesNothing();
    void bytesWithoutHandlerAreDropped();
    void batchSurvivesNestedReads();
    void controllerUnpluggedWhilePolling();
    void opensWhenTheDeviceComesBack_data();
    void opensWhenTheDeviceComesBack();
    void oneTickReadsEverything();
    void newBufferSizeAtNextOpening();
    void burstOfRandomBytes();

private:
    // Opens the pseudo-terminal as COM1, with the given buffer and polling period.
    bool open(quint16 inBufSize = 2048, quint16 pollingDelay = 10);
    // The serial port inside the driver: what it has received and not yet handed on.
    const QSerialPort *port() const { return m_driver->findChild<QSerialPort *>(); }
    void collect();

    std::unique_ptr<PseudoTerminal> m_pty;
    std::unique_ptr<TCommPortDriver> m_driver;
    QByteArray m_received;
    QList<QByteArray> m_batches;
};

// Whether another program could take the device now.
static bool deviceIsFree(const QString &path)
{
    QSerialPort other;
    other.setPortName(path);
    return other.open(QIODevice::ReadWrite);
}

void tst_CommPortDriver::init()
{
    m_pty = std::make_unique<PseudoTerminal>();
    QVERIFY(m_pty->isValid());
    m_driver = std::make_unique<TCommPortDriver>();
    m_driver->SetDevicePath(pnCOM1, m_pty->slavePath());
    m_driver->SetComPort(pnCOM1);
    m_driver->SetComPortSwHandshaking(shXONXOFF);
    m_received.clear();
    m_batches.clear();
}

void tst_CommPortDriver::cleanup()
{
    m_driver.reset();
    m_pty.reset();
}

bool tst_CommPortDriver::open(quint16 inBufSize, quint16 pollingDelay)
{
    m_driver->SetComPortInBufSize(inBufSize);
    m_driver->SetComPortPollingDelay(pollingDelay);
    collect();
    return m_driver->OpenPort();
}

void tst_CommPortDriver::collect()
{
    m_driver->OnReceiveData = [this](TCommPortDriver *sender, const quint8 *data, qint32 size) {
        QCOMPARE(sender, m_driver.get());
        const QByteArray batch(reinterpret_cast<const char *>(data), size);
        m_batches << batch;
        m_received += batch;
    };
}

void tst_CommPortDriver::openReceiveClose()
{
    QVERIFY(open());
    QVERIFY(m_driver->IsOpen());
    QVERIFY(m_driver->PollingTimer().isActive());
    QVERIFY(!deviceIsFree(m_pty->slavePath()));
    QVERIFY(m_pty->send("hello"));
    QTRY_COMPARE(m_received, QByteArray("hello"));

    m_driver->ClosePort();
    QVERIFY(!m_driver->IsOpen());
    QVERIFY(!m_driver->PollingTimer().isActive());
    QVERIFY(deviceIsFree(m_pty->slavePath()));
    m_driver->ClosePort(); // harmless when closed

    // The driver's own defaults when nothing is set.
    const TCommPortDriver fresh;
    QCOMPARE(fresh.ComPort(), pnCOM2);
    QCOMPARE(fresh.ComPortSpeed(), br9600);
    QCOMPARE(fresh.ComPortSwHandshaking(), shNONE);
    QCOMPARE(fresh.ComPortInBufSize(), quint16(2048));
    QCOMPARE(fresh.ComPortPollingDelay(), quint16(50));
    QVERIFY(fresh.EnableDTROnOpen());
    QCOMPARE(fresh.DevicePath(pnCOM3), QStringLiteral("/dev/ttyS2"));
}

void tst_CommPortDriver::openFails_data()
{
    QTest::addColumn<bool>("held");
    QTest::newRow("missing device") << false;
    QTest::newRow("held by another program") << true;
}

void tst_CommPortDriver::openFails()
{
    QFETCH(bool, held);
    QSerialPort other;
    if (held) {
        other.setPortName(m_pty->slavePath());
        QVERIFY(other.open(QIODevice::ReadWrite));
    } else {
        m_driver->SetDevicePath(pnCOM1, QStringLiteral("/nonexistent/ttyCorvanta"));
    }
    QVERIFY(!open());
    QVERIFY(!m_driver->IsOpen());
    QVERIFY(!m_driver->PollingTimer().isActive());
    m_driver->ClosePort();
    QVERIFY(!m_driver->IsOpen());
    if (held) {
        // The other program keeps its port and its bytes.
        QVERIFY(other.isOpen());
        QVERIFY(m_pty->send("x"));
        QTRY_COMPARE(other.bytesAvailable(), qint64(1));
    }
    QVERIFY(m_received.isEmpty());
}

void tst_CommPortDriver::openWhenOpenChangesNothing()
{
    QVERIFY(open(2048, 60000));
    QVERIFY(m_pty->send("kept"));
    QTRY_COMPARE(port()->bytesAvailable(), qint64(4));
    QTest::qWait(50);
    const int remaining = m_driver->PollingTimer().remainingTime();
    QVERIFY(remaining < 60000 - 40);
    // No second configuration (whose purge would drop the waiting bytes), no new timer.
    QVERIFY(m_driver->OpenPort());
    QCOMPARE(port()->bytesAvailable(), qint64(4));
    QVERIFY(m_driver->PollingTimer().remainingTime() <= remaining);
    m_driver->SetComPortPollingDelay(10);
    QTRY_COMPARE(m_received, QByteArray("kept"));
}

void tst_CommPortDriver::frozenWhileOpen_data()
{
    QTest::addColumn<int>("property");
    QTest::newRow("ComPort") << 0;
    QTest::newRow("ComPortInBufSize") << 1;
    QTest::newRow("ComPortOutBufSize") << 2;
}

void tst_CommPortDriver::frozenWhileOpen()
{
    QFETCH(int, property);
    auto set = [this, property] {
        switch (property) {
        case 0: m_driver->SetComPort(pnCOM4); break;
        case 1: m_driver->SetComPortInBufSize(7); break;
        default: m_driver->SetComPortOutBufSize(9); break;
        }
    };
    auto changed = [this, property] {
        switch (property) {
        case 0: return m_driver->ComPort() == pnCOM4;
        case 1: return m_driver->ComPortInBufSize() == 7;
        default: return m_driver->ComPortOutBufSize() == 9;
        }
    };
    QVERIFY(open(4));
    set();
    QVERIFY(!changed());
    // Still the port and the buffer it was opened with.
    QVERIFY(m_pty->send("abcdefgh"));
    QTRY_COMPARE(m_received, QByteArray("abcdefgh"));
    for (const QByteArray &batch : std::as_const(m_batches))
        QVERIFY(batch.size() <= 4);
    m_driver->ClosePort();
    set();
    QVERIFY(changed());
}

Q_DECLARE_METATYPE(ComPortLineSettings)
Q_DECLARE_METATYPE(TCommPortDriver::PortLine)

void tst_CommPortDriver::portLineFromDcb_data()
{
    QTest::addColumn<ComPortLineSettings>("line");
    QTest::addColumn<TCommPortDriver::PortLine>("port");
    using P = QSerialPort;
    ComPortLineSettings controller;
    controller.Speed = br1200;
    controller.SwHandshaking = shXONXOFF;
    QTest::newRow("controller link") << controller
        << TCommPortDriver::PortLine{1200, P::Data8, P::NoParity, P::OneStop, P::SoftwareControl, false, true, false};
    QTest::newRow("7 bits, odd, 2 stop, no DTR")
        << ComPortLineSettings{br115200, db7BITS, sb2BITS, ptODD, hhNONE, shNONE, false, 2048}
        << TCommPortDriver::PortLine{115200, P::Data7, P::OddParity, P::TwoStop, P::NoFlowControl, false, false, false};
    QTest::newRow("5 bits, even, 1.5 stop")
        << ComPortLineSettings{br300, db5BITS, sb1HALFBITS, ptEVEN, hhNONE, shNONE, true, 2048}
        << TCommPortDriver::PortLine{300, P::Data5, P::EvenParity, P::OneAndHalfStop, P::NoFlowControl, false, true, false};
    QTest::newRow("6 bits, mark, RTS/CTS")
        << ComPortLineSettings{br56000, db6BITS, sb1BITS, ptMARK, hhRTSCTS, shNONE, true, 2048}
        << TCommPortDriver::PortLine{56000, P::Data6, P::MarkParity, P::OneStop, P::HardwareControl, false, true, false};
    QTest::newRow("space, both handshakes")
        << ComPortLineSettings{br14400, db8BITS, sb1BITS, ptSPACE, hhRTSCTS, shXONXOFF, true, 2048}
        << TCommPortDriver::PortLine{14400, P::Data8, P::SpaceParity, P::OneStop, P::SoftwareControl, true, true, false};
}

void tst_CommPortDriver::portLineFromDcb()
{
    QFETCH(ComPortLineSettings, line);
    QFETCH(TCommPortDriver::PortLine, port);
    const TCommPortDriver::PortLine got = TCommPortDriver::PortLineOf(DcbValues::Make(line));
    QCOMPARE(got.BaudRate, port.BaudRate);
    QCOMPARE(got.DataBits, port.DataBits);
    QCOMPARE(got.Parity, port.Parity);
    QCOMPARE(got.StopBits, port.StopBits);
    QCOMPARE(got.FlowControl, port.FlowControl);
    QCOMPARE(got.RtsCtsWithXonXoff, port.RtsCtsWithXonXoff);
    QCOMPARE(got.DataTerminalReady, port.DataTerminalReady);
    QCOMPARE(got.RequestToSend, port.RequestToSend);
}

void tst_CommPortDriver::lineSettingsReachThePort_data()
{
    QTest::addColumn<ComPortLineSettings>("line");
    QTest::addColumn<bool>("live");
    QTest::addColumn<int>("baud");
    QTest::addColumn<bool>("twoStopBits");
    QTest::addColumn<bool>("rtsCts");
    QTest::addColumn<bool>("xonXoff");

    for (const bool live : {false, true}) {
        const char *when = live ? "changed while open" : "at open";
        QTest::addRow("controller link %s", when)
            << ComPortLineSettings{br1200, db8BITS, sb1BITS, ptNONE, hhNONE, shXONXOFF, true, 2048} << live
            << int(B1200) << false << false << true;
        QTest::addRow("115200, 2 stop bits %s", when)
            << ComPortLineSettings{br115200, db8BITS, sb2BITS, ptNONE, hhNONE, shNONE, true, 2048} << live
            << int(B115200) << true << false << false;
        QTest::addRow("300, RTS/CTS %s", when)
            << ComPortLineSettings{br300, db8BITS, sb1BITS, ptNONE, hhRTSCTS, shNONE, true, 2048} << live
            << int(B300) << false << true << false;
        QTest::addRow("2400, both handshakes %s", when)
            << ComPortLineSettings{br2400, db8BITS, sb1BITS, ptNONE, hhRTSCTS, shXONXOFF, true, 2048} << live
            << int(B2400) << false << true << true;
    }
}

// What reaches the line itself. A pseudo-terminal always carries 8 bits without
// parity, so those two are left to the table above.
void tst_CommPortDriver::lineSettingsReachThePort()
{
    QFETCH(ComPortLineSettings, line);
    QFETCH(bool, live);
    QFETCH(int, baud);
    QFETCH(bool, twoStopBits);
    QFETCH(bool, rtsCts);
    QFETCH(bool, xonXoff);

    // Someone left other flow-control characters on the line.
    termios before = m_pty->lineSettings();
    before.c_cc[VSTART] = 'q';
    before.c_cc[VSTOP] = 's';
    m_pty->setLineSettings(before);

    auto apply = [&] {
        m_driver->SetComPortSpeed(line.Speed);
        m_driver->SetComPortStopBits(line.StopBits);
        m_driver->SetComPortHwHandshaking(line.HwHandshaking);
        m_driver->SetComPortSwHandshaking(line.SwHandshaking);
    };
    if (!live)
        apply();
    QVERIFY(open());
    if (live)
        apply();

    const termios tio = m_pty->lineSettings();
    QCOMPARE(int(cfgetispeed(&tio)), baud);
    QCOMPARE(int(cfgetospeed(&tio)), baud);
    QCOMPARE(bool(tio.c_cflag & CSTOPB), twoStopBits);
    QCOMPARE(bool(tio.c_cflag & CRTSCTS), rtsCts);
    QCOMPARE(tio.c_iflag & (IXON | IXOFF), xonXoff ? tcflag_t(IXON | IXOFF) : tcflag_t(0));
    QCOMPARE(int(tio.c_cc[VSTART]), 0x11);
    QCOMPARE(int(tio.c_cc[VSTOP]), 0x13);
}

void tst_CommPortDriver::lineChangeWhileOpenPurges()
{
    QVERIFY(open(2048, 60000));
    QVERIFY(m_pty->send("stale"));
    QTRY_COMPARE(port()->bytesAvailable(), qint64(5));
    m_driver->SetComPortSpeed(br1200); // the same value: applied again all the same
    QVERIFY(m_pty->send("Z"));
    m_driver->SetComPortPollingDelay(10);
    QTRY_VERIFY(m_received.contains('Z'));
    QCOMPARE(m_received, QByteArray("Z"));
}

void tst_CommPortDriver::pollingDelayRestartsOnlyOnChange()
{
    const QTimer &timer = m_driver->PollingTimer();
    m_driver->SetComPortPollingDelay(5000);
    QVERIFY(!timer.isActive()); // no polling while closed
    QVERIFY(open(2048, 5000));
    QCOMPARE(timer.interval(), 5000);
    QTest::qWait(50);
    m_driver->SetComPortPollingDelay(5000);
    QVERIFY(timer.remainingTime() <= 5000 - 40);
    m_driver->SetComPortPollingDelay(6000);
    QVERIFY(timer.isActive());
    QCOMPARE(timer.interval(), 6000);
    QVERIFY(timer.remainingTime() > 5000);
    m_driver->ClosePort();
    m_driver->SetComPortPollingDelay(7000);
    QVERIFY(!timer.isActive());
}

void tst_CommPortDriver::readsAtMostTheBufferSize_data()
{
    QTest::addColumn<int>("size");
    QTest::newRow("2 bytes, the settings file's") << 2;
    QTest::newRow("5 bytes") << 5;
    QTest::newRow("2048 bytes, the driver's own") << 2048;
}

void tst_CommPortDriver::readsAtMostTheBufferSize()
{
    QFETCH(int, size);
    QVERIFY(open(quint16(size), 5));
    const QByteArray sent("0123456789ABCDEFGHIJ");
    QVERIFY(m_pty->send(sent));
    QTRY_COMPARE(m_received, sent);
    for (const QByteArray &batch : std::as_const(m_batches))
        QVERIFY2(!batch.isEmpty() && batch.size() <= size, batch.constData());
    if (size < sent.size())
        QVERIFY(m_batches.size() >= sent.size() / size);
}

void tst_CommPortDriver::nothingReceivedRaisesNothing()
{
    QVERIFY(open(2048, 5));
    QTest::qWait(100);
    QVERIFY(m_batches.isEmpty());
}

void tst_CommPortDriver::bytesWithoutHandlerAreDropped()
{
    QVERIFY(open(2048, 60000));
    m_driver->OnReceiveData = nullptr;
    QVERIFY(m_pty->send("lost"));
    QTRY_COMPARE(port()->bytesAvailable(), qint64(4));
    m_driver->SetComPortPollingDelay(5);
    QTRY_COMPARE(port()->bytesAvailable(), qint64(0)); // read by a tick, and dropped
    collect();
    QVERIFY(m_pty->send("Y"));
    QTRY_VERIFY(!m_received.isEmpty());
    QCOMPARE(m_received, QByteArray("Y"));
}

// The controller's jump closes the port, reopens it for a new prompt run and runs that
// run inside the receive handler; reads made meanwhile must not change the bytes the
// handler has yet to interpret.
void tst_CommPortDriver::batchSurvivesNestedReads()
{
    QVERIFY(open(2, 5));
    QByteArray outerRest;
    bool nested = false;
    m_driver->OnReceiveData = [&](TCommPortDriver *, const quint8 *data, qint32 size) {
        m_received += QByteArray(reinterpret_cast<const char *>(data), size);
        if (nested)
            return;
        nested = true;
        m_driver->ClosePort();
        QVERIFY(m_driver->OpenPort());
        QVERIFY(m_pty->send("XY"));
        QTRY_VERIFY(m_received.endsWith("XY"));
        outerRest = QByteArray(reinterpret_cast<const char *>(data), size);
    };
    QVERIFY(m_pty->send("AB"));
    QTRY_COMPARE(outerRest, QByteArray("AB"));
    QCOMPARE(m_received, QByteArray("ABXY"));
}

void tst_CommPortDriver::controllerUnpluggedWhilePolling()
{
    QVERIFY(open(2, 5));
    QVERIFY(m_pty->send("ok"));
    QTRY_COMPARE(m_received, QByteArray("ok"));
    const QString path = m_pty->slavePath();
    m_pty->closeMaster();

    // Polling goes on without events, and the rest of the program keeps running.
    bool timerRan = false;
    QTimer::singleShot(50, [&] { timerRan = true; });
    QTRY_VERIFY(timerRan);
    QTest::qWait(50);
    QCOMPARE(m_received, QByteArray("ok"));
    // The dead line is given up and tried again at the polling period instead.
    QTRY_VERIFY(m_driver->Lost());
    QVERIFY(!m_driver->PollingTimer().isActive());
    QVERIFY(m_driver->ReopenTimer().isActive());
    QCOMPARE(m_driver->ReopenTimer().interval(), 5);

    m_driver->ClosePort();
    QVERIFY(!m_driver->Lost());
    QVERIFY(!m_driver->ReopenTimer().isActive());
    QVERIFY(!m_driver->IsOpen());
    QVERIFY(!m_driver->PollingTimer().isActive());
    // The line is gone for good: opening it again fails quietly.
    QVERIFY(!m_driver->OpenPort());
    QVERIFY(!m_driver->PollingTimer().isActive());
}

void tst_CommPortDriver::opensWhenTheDeviceComesBack_data()
{
    QTest::addColumn<QString>("trouble");
    QTest::newRow("unplugged while open, plugged in again") << "unplugged";
    QTest::newRow("missing at opening, plugged in later") << "missing";
    QTest::newRow("held by another program, then let go") << "held";
}

// The controller's device is reached by a name that stays (a link, as udev makes them),
// whichever pseudo-terminal stands behind it.
void tst_CommPortDriver::opensWhenTheDeviceComesBack()
{
    QFETCH(QString, trouble);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString link = dir.filePath(QStringLiteral("controller"));
    QVERIFY(QFile::link(m_pty->slavePath(), link));
    m_driver->SetDevicePath(pnCOM1, link);
    int changes = 0;
    m_driver->OnConnectionChanged = [&] { ++changes; };
    auto plugIn = [&] {
        QFile::remove(link);
        m_pty = std::make_unique<PseudoTerminal>();
        QVERIFY(m_pty->isValid());
        QVERIFY(QFile::link(m_pty->slavePath(), link));
    };

    QSerialPort other;
    if (trouble == u"held") {
        other.setPortName(link);
        QVERIFY(other.open(QIODevice::ReadWrite));
    } else if (trouble == u"missing") {
        m_pty->closeMaster();
        QFile::remove(link);
    }
    const bool openedAtOnce = open(2, 10);
    QCOMPARE(openedAtOnce, trouble == u"unplugged");
    QCOMPARE(changes, 1);
    QVERIFY(m_driver->Wanted());
    QCOMPARE(m_driver->Lost(), !openedAtOnce);
    if (trouble == u"unplugged") {
        QVERIFY(m_pty->send("ok"));
        QTRY_COMPARE(m_received, QByteArray("ok"));
        m_pty->closeMaster();
        QTRY_VERIFY(m_driver->Lost());
        QCOMPARE(changes, 2);
        plugIn();
    } else if (trouble == u"held") {
        QTest::qWait(50);
        QVERIFY(m_driver->Lost());
        QVERIFY(other.isOpen());
        other.close();
    } else {
        QTest::qWait(50);
        plugIn();
    }
    QVERIFY(m_driver->ReopenTimer().isActive());
    QTRY_VERIFY(m_driver->IsOpen());
    QVERIFY(!m_driver->Lost());
    QVERIFY(!m_driver->ReopenTimer().isActive());
    QVERIFY(m_driver->PollingTimer().isActive());
    const int changesOpen = openedAtOnce ? 3 : 2;
    QCOMPARE(changes, changesOpen);
    QVERIFY(m_pty->send("back"));
    QTRY_VERIFY(m_received.endsWith("back"));

    m_driver->ClosePort();
    QCOMPARE(changes, changesOpen + 1);
    QVERIFY(!m_driver->Wanted());
    QVERIFY(!m_driver->ReopenTimer().isActive());
    QVERIFY(deviceIsFree(link));
}

// A controller that streams its value: whatever piled up is read in one tick, in reads of
// the buffer's size, so the newest value is not kept waiting behind the old ones.
void tst_CommPortDriver::oneTickReadsEverything()
{
    QVERIFY(open(2, 60000));
    const QByteArray sent("0123456789ABCDEFGHIJ");
    QVERIFY(m_pty->send(sent));
    QTest::qWait(100);
    int ticks = 0;
    const QTimer &timer = m_driver->PollingTimer();
    m_driver->OnReceiveData = [&](TCommPortDriver *, const quint8 *data, qint32 size) {
        // The first read puts the next tick a minute away: the rest must come in this one.
        if (m_batches.isEmpty()) {
            ++ticks;
            m_driver->SetComPortPollingDelay(60000);
        }
        m_batches << QByteArray(reinterpret_cast<const char *>(data), size);
        m_received += m_batches.last();
    };
    m_driver->SetComPortPollingDelay(5);
    QTRY_VERIFY(!m_received.isEmpty());
    QCOMPARE(m_received, sent);
    QCOMPARE(ticks, 1);
    QVERIFY(timer.remainingTime() > 50000);
    for (const QByteArray &batch : std::as_const(m_batches))
        QCOMPARE(batch.size(), 2);
}

// A size read again from the settings while the port is open waits for its next opening.
void tst_CommPortDriver::newBufferSizeAtNextOpening()
{
    QVERIFY(open(4, 5));
    m_driver->SetComPortInBufSize(2);
    QCOMPARE(m_driver->ComPortInBufSize(), quint16(4));
    m_driver->ClosePort();
    QVERIFY(m_driver->OpenPort());
    QCOMPARE(m_driver->ComPortInBufSize(), quint16(2));
    QVERIFY(m_pty->send("abcdefgh"));
    QTRY_COMPARE(m_received, QByteArray("abcdefgh"));
    for (const QByteArray &batch : std::as_const(m_batches))
        QVERIFY(batch.size() <= 2);
}

void tst_CommPortDriver::burstOfRandomBytes()
{
    QVERIFY(open(2048, 5));
    QRandomGenerator random(20240611);
    QByteArray sent(10000, '\0');
    for (char &c : sent)
        c = char(random.bounded(256));
    QVERIFY(m_pty->send(sent));
    // Under XON/XOFF the line itself takes DC1 and DC3 out of the data.
    QByteArray expected = sent;
    expected.removeIf([](char c) { return c == 0x11 || c == 0x13; });
    QTRY_COMPARE_WITH_TIMEOUT(m_received.size(), expected.size(), 20000);
    QCOMPARE(m_received, expected);
    m_driver->ClosePort();
    QVERIFY(deviceIsFree(m_pty->slavePath()));
}

QTEST_GUILESS_MAIN(tst_CommPortDriver)
#include "tst_commportdriver.moc"
