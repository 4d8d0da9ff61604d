#include "controls/DcbValues.h"

#include <QtTest>

Q_DECLARE_METATYPE(ComPortLineSettings)

// The values the serial line is configured from.
class tst_DcbValues : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void dcb_data();
    void dcb();
    void rates_data();
    void rates();
    void timeoutsAndPurge();
    void devices_data();
    void devices();
};

static ComPortLineSettings controllerLink(quint16 inBufSize)
{
    ComPortLineSettings line;
    line.Speed = br1200;
    line.SwHandshaking = shXONXOFF;
    line.InBufSize = inBufSize;
    return line;
}

void tst_DcbValues::dcb_data()
{
    QTest::addColumn<ComPortLineSettings>("line");
    QTest::addColumn<uint>("flags");
    QTest::addColumn<uint>("baudRate");
    QTest::addColumn<int>("xonLim");
    QTest::addColumn<int>("byteSize");
    QTest::addColumn<int>("parity");
    QTest::addColumn<int>("stopBits");

    QTest::newRow("controller link, driver's buffer") << controllerLink(2048) << 0x311u << 1200u << 512 << 8 << 0 << 0;
    QTest::newRow("controller link, settings file's buffer") << controllerLink(2) << 0x311u << 1200u << 0 << 8 << 0 << 0;
    QTest::newRow("buffer not a multiple of 4") << controllerLink(7) << 0x311u << 1200u << 1 << 8 << 0 << 0;
    QTest::newRow("driver defaults") << ComPortLineSettings{} << 0x11u << 9600u << 512 << 8 << 0 << 0;
    QTest::newRow("DTR off") << ComPortLineSettings{br9600, db8BITS, sb1BITS, ptNONE, hhNONE, shNONE, false, 100}
                             << 0x1u << 9600u << 25 << 8 << 0 << 0;
    QTest::newRow("RTS/CTS") << ComPortLineSettings{br19200, db7BITS, sb2BITS, ptEVEN, hhRTSCTS, shNONE, true, 2048}
                             << 0x2015u << 19200u << 512 << 7 << 2 << 2;
    QTest::newRow("both handshakes, no DTR")
        << ComPortLineSettings{br110, db5BITS, sb1HALFBITS, ptSPACE, hhRTSCTS, shXONXOFF, false, 65535}
        << 0x2305u << 110u << 16383 << 5 << 4 << 1;
    QTest::newRow("6 bits, odd") << ComPortLineSettings{br300, db6BITS, sb1BITS, ptODD, hhNONE, shNONE, true, 0}
                                 << 0x11u << 300u << 0 << 6 << 1 << 0;
    QTest::newRow("mark") << ComPortLineSettings{br600, db8BITS, sb1BITS, ptMARK, hhNONE, shNONE, true, 4}
                          << 0x11u << 600u << 1 << 8 << 3 << 0;
}

void tst_DcbValues::dcb()
{
    QFETCH(ComPortLineSettings, line);
    QFETCH(uint, flags);
    QFETCH(uint, baudRate);
    QFETCH(int, xonLim);
    QFETCH(int, byteSize);
    QFETCH(int, parity);
    QFETCH(int, stopBits);

    const Dcb dcb = DcbValues::Make(line);
    QCOMPARE(dcb.DCBlength, 28u);
    QCOMPARE(dcb.Flags, flags);
    QCOMPARE(dcb.BaudRate, baudRate);
    QCOMPARE(int(dcb.XonLim), xonLim);
    QCOMPARE(int(dcb.XoffLim), 1);
    QCOMPARE(int(dcb.ByteSize), byteSize);
    QCOMPARE(int(dcb.Parity), parity);
    QCOMPARE(int(dcb.StopBits), stopBits);
    QCOMPARE(int(dcb.XonChar), 0x11);
    QCOMPARE(int(dcb.XoffChar), 0x13);
    QCOMPARE(int(dcb.ErrorChar), 0);
    QCOMPARE(int(dcb.EofChar), 0);
    QCOMPARE(int(dcb.EvtChar), 0);
}

void tst_DcbValues::rates_data()
{
    QTest::addColumn<int>("speed");
    QTest::addColumn<uint>("rate");
    const uint rates[] = {110, 300, 600, 1200, 2400, 4800, 9600, 14400, 19200, 38400, 56000, 57600, 115200};
    for (int i = 0; i < int(std::size(rates)); ++i)
        QTest::addRow("%u", rates[i]) << i << rates[i];
}

// The ordinal picks the rate, so the order of the list matters as much as its values.
void tst_DcbValues::rates()
{
    QFETCH(int, speed);
    QFETCH(uint, rate);
    QCOMPARE(DcbValues::BaudRate(TComPortBaudRate(speed)), rate);
}

void tst_DcbValues::timeoutsAndPurge()
{
    const CommTimeouts t = DcbValues::Timeouts();
    QCOMPARE(t.ReadIntervalTimeout, 1u);
    QCOMPARE(t.ReadTotalTimeoutMultiplier, 0u);
    QCOMPARE(t.ReadTotalTimeoutConstant, 1u);
    QCOMPARE(t.WriteTotalTimeoutMultiplier, 0u);
    QCOMPARE(t.WriteTotalTimeoutConstant, 0u);

    QCOMPARE(DcbValues::PurgeMask(true, true), 0x0Fu);
    QCOMPARE(DcbValues::PurgeMask(true, false), 0x0Au);
    QCOMPARE(DcbValues::PurgeMask(false, true), 0x05u);
    QCOMPARE(DcbValues::PurgeMask(false, false), 0u);
}

void tst_DcbValues::devices_data()
{
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("configured");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("path");
    QTest::newRow("COM1") << int(pnCOM1) << QString() << "COM1" << "/dev/ttyS0";
    QTest::newRow("COM2") << int(pnCOM2) << QString() << "COM2" << "/dev/ttyS1";
    QTest::newRow("COM4") << int(pnCOM4) << QString() << "COM4" << "/dev/ttyS3";
    QTest::newRow("COM2 configured") << int(pnCOM2) << "/dev/ttyUSB0" << "COM2" << "/dev/ttyUSB0";
}

void tst_DcbValues::devices()
{
    QFETCH(int, port);
    QFETCH(QString, configured);
    QFETCH(QString, name);
    QFETCH(QString, path);
    QCOMPARE(DcbValues::DeviceName(TComPortNumber(port)), name);
    QCOMPARE(DcbValues::DevicePath(TComPortNumber(port), configured), path);
}

QTEST_GUILESS_MAIN(tst_DcbValues)
#include "tst_dcbvalues.moc"
