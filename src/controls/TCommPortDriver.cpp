#include "controls/TCommPortDriver.h"

#include <QSerialPort>

#include <algorithm>

#ifdef Q_OS_UNIX
#include <termios.h>
#endif

namespace {

QSerialPort::Parity parityOf(quint8 code)
{
    static constexpr QSerialPort::Parity Parities[] = {
        QSerialPort::NoParity, QSerialPort::OddParity, QSerialPort::EvenParity,
        QSerialPort::MarkParity, QSerialPort::SpaceParity,
    };
    return code < std::size(Parities) ? Parities[code] : QSerialPort::NoParity;
}

QSerialPort::StopBits stopBitsOf(quint8 code)
{
    switch (code) {
    case 1:
        return QSerialPort::OneAndHalfStop;
    case 2:
        return QSerialPort::TwoStop;
    default:
        return QSerialPort::OneStop;
    }
}

}

TCommPortDriver::TCommPortDriver(QObject *owner)
    : QObject(owner), m_port(new QSerialPort(this)), m_receiveBuffer(m_line.InBufSize, '\0')
{
    // Ticks at the period asked for, as a window timer would, not at a rounded one.
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, [this] { pollingTick(); });
}

TCommPortDriver::~TCommPortDriver()
{
    ClosePort();
}

// ---- Properties ----

void TCommPortDriver::SetComPort(TComPortNumber port)
{
    if (!IsOpen())
        m_comPort = port;
}

void TCommPortDriver::SetComPortInBufSize(quint16 size)
{
    if (IsOpen())
        return;
    m_line.InBufSize = size;
    m_receiveBuffer = QByteArray(size, '\0');
}

void TCommPortDriver::SetComPortOutBufSize(quint16 size)
{
    if (!IsOpen())
        m_outBufSize = size;
}

void TCommPortDriver::SetComPortSpeed(TComPortBaudRate speed)
{
    m_line.Speed = speed;
    lineSettingChanged();
}

void TCommPortDriver::SetComPortDataBits(TComPortDataBits bits)
{
    m_line.DataBits = bits;
    lineSettingChanged();
}

void TCommPortDriver::SetComPortStopBits(TComPortStopBits bits)
{
    m_line.StopBits = bits;
    lineSettingChanged();
}

void TCommPortDriver::SetComPortParity(TComPortParity parity)
{
    m_line.Parity = parity;
    lineSettingChanged();
}

void TCommPortDriver::SetComPortHwHandshaking(TComPortHwHandshaking handshaking)
{
    m_line.HwHandshaking = handshaking;
    lineSettingChanged();
}

void TCommPortDriver::SetComPortSwHandshaking(TComPortSwHandshaking handshaking)
{
    m_line.SwHandshaking = handshaking;
    lineSettingChanged();
}

void TCommPortDriver::lineSettingChanged()
{
    if (IsOpen())
        ApplyPortSettings();
}

void TCommPortDriver::SetComPortPollingDelay(quint16 milliseconds)
{
    if (milliseconds == m_pollingDelay)
        return;
    const bool polling = IsOpen();
    if (polling)
        m_timer.stop();
    m_pollingDelay = milliseconds;
    if (polling)
        m_timer.start(m_pollingDelay);
}

void TCommPortDriver::SetDevicePath(TComPortNumber port, const QString &path)
{
    m_devicePaths.at(port) = path;
}

QString TCommPortDriver::DevicePath(TComPortNumber port) const
{
    return DcbValues::DevicePath(port, m_devicePaths.at(port));
}

// ---- Opening and closing ----

bool TCommPortDriver::OpenPort()
{
    if (IsOpen())
        return true;
    m_port->setPortName(DevicePath(m_comPort));
    // Qt locks the device for this program alone, like an exclusive open.
    if (!m_port->open(QIODevice::ReadWrite))
        return false;
    ApplyPortSettings();
    // The read time-outs need no setting here: a tick takes what has already been
    // received and never waits for more.
    m_timer.start(m_pollingDelay);
    return true;
}

void TCommPortDriver::ClosePort()
{
    if (!IsOpen())
        return;
    m_timer.stop();
    m_port->close();
}

bool TCommPortDriver::IsOpen() const
{
    return m_port->isOpen();
}

// ---- Line configuration ----

void TCommPortDriver::ApplyPortSettings()
{
    if (!IsOpen())
        return;
    const Dcb dcb = DcbValues::Make(m_line);
    applyLineState(dcb);
    PurgeBuffers(true, true);
    // The input queue is the port's read buffer, so no more than a tick's worth waits
    // in the program; the rest stays with the system, which holds the sender off with
    // XOFF. Zero would mean "unlimited" here; one byte is the nearest to nothing.
    m_port->setReadBufferSize(std::max<qint64>(1, m_line.InBufSize));
    // Nothing is ever sent, so the output queue size has nothing to size.
}

TCommPortDriver::PortLine TCommPortDriver::PortLineOf(const Dcb &dcb)
{
    PortLine line;
    line.BaudRate = qint32(dcb.BaudRate);
    line.DataBits = QSerialPort::DataBits(dcb.ByteSize);
    line.Parity = parityOf(dcb.Parity);
    line.StopBits = stopBitsOf(dcb.StopBits);
    const bool ctsFlow = dcb.Flags & Dcb::fOutxCtsFlow;
    const bool xonXoff = dcb.Flags & (Dcb::fOutX | Dcb::fInX);
    line.FlowControl = xonXoff   ? QSerialPort::SoftwareControl
                       : ctsFlow ? QSerialPort::HardwareControl
                                 : QSerialPort::NoFlowControl;
    line.RtsCtsWithXonXoff = ctsFlow && xonXoff;
    line.DataTerminalReady = (dcb.Flags & Dcb::DtrControlMask) == Dcb::DtrControlEnable;
    line.RequestToSend = (dcb.Flags & Dcb::RtsControlMask) == Dcb::RtsControlEnable;
    return line;
}

void TCommPortDriver::applyLineState(const Dcb &dcb)
{
    const PortLine line = PortLineOf(dcb);
    m_port->setBaudRate(line.BaudRate);
    m_port->setDataBits(line.DataBits);
    m_port->setParity(line.Parity);
    m_port->setStopBits(line.StopBits);
    m_port->setFlowControl(line.FlowControl);
    m_port->setDataTerminalReady(line.DataTerminalReady);
    // Under RTS/CTS the line drives RTS itself.
    if (line.FlowControl != QSerialPort::HardwareControl && !line.RtsCtsWithXonXoff)
        m_port->setRequestToSend(line.RequestToSend);
    setLineCharacters(dcb, line.RtsCtsWithXonXoff);
    // The system keeps its own XON and XOFF thresholds; XonLim and XoffLim have no
    // counterpart to set.
}

// What Qt's setters leave out: the XON/XOFF characters, and RTS/CTS together with XON/XOFF.
void TCommPortDriver::setLineCharacters([[maybe_unused]] const Dcb &dcb, [[maybe_unused]] bool rtsCtsToo)
{
#ifdef Q_OS_UNIX
    const int fd = int(m_port->handle());
    termios tio {};
    if (::tcgetattr(fd, &tio) != 0)
        return;
    tio.c_cc[VSTART] = dcb.XonChar;
    tio.c_cc[VSTOP] = dcb.XoffChar;
    if (rtsCtsToo)
        tio.c_cflag |= CRTSCTS;
    ::tcsetattr(fd, TCSANOW, &tio);
#endif
}

void TCommPortDriver::PurgeBuffers(bool input, bool output)
{
    if (!IsOpen())
        return;
    const quint32 mask = DcbValues::PurgeMask(input, output);
    QSerialPort::Directions directions;
    if (mask & (DcbValues::PurgeRxAbort | DcbValues::PurgeRxClear))
        directions |= QSerialPort::Input;
    if (mask & (DcbValues::PurgeTxAbort | DcbValues::PurgeTxClear))
        directions |= QSerialPort::Output;
    if (directions)
        m_port->clear(directions);
}

// ---- Polling ----

void TCommPortDriver::pollingTick()
{
    if (!IsOpen())
        return;
    const qint64 count = m_port->read(m_receiveBuffer.data(), m_receiveBuffer.size());
    if (count <= 0 || !OnReceiveData)
        return;
    // The handler may run a nested event loop (the controller's jump starts a new prompt
    // run) whose ticks read into the same buffer; these bytes must stay as they came.
    const QByteArray batch(m_receiveBuffer.constData(), count);
    const TComPortReceiveDataEvent handler = OnReceiveData;
    handler(this, reinterpret_cast<const quint8 *>(batch.constData()), qint32(count));
}
