#include "controls/DcbValues.h"

#include <array>

namespace DcbValues {

quint32 BaudRate(TComPortBaudRate speed)
{
    static constexpr std::array<quint32, 13> Rates = {
        110, 300, 600, 1200, 2400, 4800, 9600, 14400, 19200, 38400, 56000, 57600, 115200,
    };
    Q_ASSERT(speed >= br110 && speed <= br115200);
    return Rates[speed];
}

Dcb Make(const ComPortLineSettings &line)
{
    Dcb dcb;
    dcb.BaudRate = BaudRate(line.Speed);
    dcb.Flags = Dcb::fBinary;
    if (line.EnableDTROnOpen)
        dcb.Flags |= Dcb::DtrControlEnable;
    if (line.HwHandshaking == hhRTSCTS)
        dcb.Flags |= Dcb::fOutxCtsFlow | Dcb::RtsControlHandshake;
    if (line.SwHandshaking == shXONXOFF)
        dcb.Flags |= Dcb::fOutX | Dcb::fInX;
    dcb.XonLim = line.InBufSize / 4;
    dcb.XoffLim = 1;
    dcb.ByteSize = quint8(line.DataBits + 5);
    dcb.Parity = quint8(line.Parity);
    dcb.StopBits = quint8(line.StopBits);
    dcb.XonChar = 0x11;  // DC1
    dcb.XoffChar = 0x13; // DC3
    return dcb;
}

CommTimeouts Timeouts()
{
    CommTimeouts t;
    t.ReadIntervalTimeout = 1;
    t.ReadTotalTimeoutConstant = 1;
    return t;
}

quint32 PurgeMask(bool input, bool output)
{
    quint32 mask = 0;
    if (output)
        mask |= PurgeTxAbort | PurgeTxClear;
    if (input)
        mask |= PurgeRxAbort | PurgeRxClear;
    return mask;
}

QString DeviceName(TComPortNumber port)
{
    return QStringLiteral("COM%1").arg(int(port) + 1);
}

QString DevicePath(TComPortNumber port, const QString &configured)
{
    if (!configured.isEmpty())
        return configured;
#ifdef Q_OS_WIN
    return DeviceName(port);
#else
    return QStringLiteral("/dev/ttyS%1").arg(int(port));
#endif
}

}
