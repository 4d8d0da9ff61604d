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
        QSerialPort::NoParity,   QSerialPort::OddParity,   QSerialPort::EvenParity,
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
    m_reopenTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_reopenTimer, &QTimer::timeout, this, [this] { openDevice(); });
}

TCommPortDriver::~TCommPortDriver()
{
    // Whoever listens may be gone already.
    OnConnectionChanged = nullptr;
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
    m_nextInBufSize = size;
    if (IsOpen())
        return;
    m_line.InBufSize = size;
    m_receiveBuffer = QByteArray(std::max<int>(1, size), '\0');
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
    m_pollingDelay = milliseconds;
    for (QTimer *timer : {&m_timer, &m_reopenTimer}) {
        if (timer->isActive())
            timer->start(m_pollingDelay);
    }
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
    const bool wasWanted = m_wanted;
    m_wanted = true;
    if (openDevice())
        return true;
    // Opening never waits on a device, so trying again at the polling period costs a step
    // nothing.
    m_reopenTimer.start(m_pollingDelay);
    if (!wasWanted)
        connectionChanged();
    return false;
}

bool TCommPortDriver::openDevice()
{
    if (m_nextInBufSize != m_line.InBufSize) {
        m_line.InBufSize = m_nextInBufSize;
        m_receiveBuffer = QByteArray(std::max<int>(1, m_nextInBufSize), '\0');
    }
    m_port->setPortName(DevicePath(m_comPort));
    // Qt locks the device for this program alone, like an exclusive open.
    if (!m_port->open(QIODevice::ReadWrite))
        return false;
    ++m_openings;
    m_reopenTimer.stop();
    ApplyPortSettings();
    // The read time-outs need no setting here: a tick takes what has already been
    // received and never waits for more.
    m_timer.start(m_pollingDelay);
    connectionChanged();
    return true;
}

void TCommPortDriver::deviceLost()
{
    m_timer.stop();
    // Closing gives the device back to the system, so that it can come back under its name.
    m_port->close();
    m_reopenTimer.start(m_pollingDelay);
    connectionChanged();
}

void TCommPortDriver::ClosePort()
{
    const bool wasWanted = m_wanted;
    m_wanted = false;
    m_reopenTimer.stop();
    if (IsOpen()) {
        m_timer.stop();
        m_port->close();
    } else if (!wasWanted) {
        return;
    }
    connectionChanged();
}

void TCommPortDriver::connectionChanged()
{
    if (OnConnectionChanged) {
        const auto handler = OnConnectionChanged;
        handler();
    }
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
    // The port takes in whatever arrives, so that a tick can read all of it and a stale
    // backlog never builds up behind a small input buffer; the input buffer is only the
    // size of each read.
    m_port->setReadBufferSize(0);
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
    line.FlowControl = xonXoff ? QSerialPort::SoftwareControl
        : ctsFlow              ? QSerialPort::HardwareControl
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
    termios tio{};
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
    // A device that has gone (a controller unplugged) fails every read from now on.
    const auto gone = [this] {
        const QSerialPort::SerialPortError error = m_port->error();
        return error == QSerialPort::ResourceError || error == QSerialPort::ReadError;
    };
    if (gone()) {
        deviceLost();
        return;
    }
    const quint64 opening = m_openings;
    // Everything received, in reads of the buffer's size. A handler that closes the port
    // (or opens it again) ends the tick: what the new opening receives is its own.
    while (IsOpen() && opening == m_openings) {
        const qint64 count = m_port->read(m_receiveBuffer.data(), m_receiveBuffer.size());
        if (count < 0 || gone()) {
            deviceLost();
            return;
        }
        if (count == 0)
            return;
        if (!OnReceiveData)
            continue;
        // The handler may run a nested event loop (the controller's jump starts a new prompt
        // run) whose ticks read into the same buffer; these bytes must stay as they came.
        const QByteArray batch(m_receiveBuffer.constData(), count);
        const TComPortReceiveDataEvent handler = OnReceiveData;
        handler(this, reinterpret_cast<const quint8 *>(batch.constData()), qint32(count));
    }
}
