#pragma once

#include <QString>
#include <QtGlobal>

// The serial line's settings. Their ordinals are the codes the line is configured
// with (an index into the rate table, data bits - 5, the stop-bit and parity codes),
// so the order of every list below is fixed.
enum TComPortNumber { pnCOM1, pnCOM2, pnCOM3, pnCOM4 };
enum TComPortBaudRate {
    br110, br300, br600, br1200, br2400, br4800, br9600,
    br14400, br19200, br38400, br56000, br57600, br115200,
};
enum TComPortDataBits { db5BITS, db6BITS, db7BITS, db8BITS };
enum TComPortStopBits { sb1BITS, sb1HALFBITS, sb2BITS };
enum TComPortParity { ptNONE, ptODD, ptEVEN, ptMARK, ptSPACE };
enum TComPortHwHandshaking { hhNONE, hhRTSCTS };
enum TComPortSwHandshaking { shNONE, shXONXOFF };

// Everything the device control block is computed from.
struct ComPortLineSettings
{
    TComPortBaudRate Speed = br9600;
    TComPortDataBits DataBits = db8BITS;
    TComPortStopBits StopBits = sb1BITS;
    TComPortParity Parity = ptNONE;
    TComPortHwHandshaking HwHandshaking = hhNONE;
    TComPortSwHandshaking SwHandshaking = shNONE;
    bool EnableDTROnOpen = true;
    quint16 InBufSize = 2048;
};

// The classic 28-byte device control block, field by field; the port is configured
// from these values, so they are what the line really gets.
struct Dcb
{
    // Bits of Flags
    static constexpr quint32 fBinary = 0x1;
    static constexpr quint32 fOutxCtsFlow = 0x4;
    static constexpr quint32 DtrControlMask = 0x30;
    static constexpr quint32 DtrControlEnable = 0x10;
    static constexpr quint32 fOutX = 0x100;
    static constexpr quint32 fInX = 0x200;
    static constexpr quint32 RtsControlMask = 0x3000;
    static constexpr quint32 RtsControlEnable = 0x1000;
    static constexpr quint32 RtsControlHandshake = 0x2000;

    quint32 DCBlength = 28;
    quint32 BaudRate = 0;
    quint32 Flags = 0;
    quint16 XonLim = 0;
    quint16 XoffLim = 0;
    quint8 ByteSize = 0;
    quint8 Parity = 0;   // 0 none, 1 odd, 2 even, 3 mark, 4 space
    quint8 StopBits = 0; // 0 one, 1 one and a half, 2 two
    quint8 XonChar = 0;
    quint8 XoffChar = 0;
    quint8 ErrorChar = 0;
    quint8 EofChar = 0;
    quint8 EvtChar = 0;

    bool operator==(const Dcb &) const = default;
};

// Read and write time-outs in milliseconds.
struct CommTimeouts
{
    quint32 ReadIntervalTimeout = 0;
    quint32 ReadTotalTimeoutMultiplier = 0;
    quint32 ReadTotalTimeoutConstant = 0;
    quint32 WriteTotalTimeoutMultiplier = 0;
    quint32 WriteTotalTimeoutConstant = 0;

    bool operator==(const CommTimeouts &) const = default;
};

namespace DcbValues {

// Bits of a purge request.
constexpr quint32 PurgeTxAbort = 0x1;
constexpr quint32 PurgeRxAbort = 0x2;
constexpr quint32 PurgeTxClear = 0x4;
constexpr quint32 PurgeRxClear = 0x8;

quint32 BaudRate(TComPortBaudRate speed);
Dcb Make(const ComPortLineSettings &line);
// A read returns after about a millisecond with whatever has arrived, possibly nothing.
CommTimeouts Timeouts();
quint32 PurgeMask(bool input, bool output);

// "COM1" to "COM4".
QString DeviceName(TComPortNumber port);
// The device that stands for the port: the one the operator configured for it, or
// the system's serial port of that number.
QString DevicePath(TComPortNumber port, const QString &configured);

}
