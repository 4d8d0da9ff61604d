#pragma once

#include "controls/DcbValues.h"

#include <QByteArray>
#include <QObject>
#include <QSerialPort>
#include <QString>
#include <QTimer>

#include <array>
#include <functional>

// A receive-only serial port: opens one of four ports, configures the line and polls
// it on the user-interface thread, handing every non-empty batch to OnReceiveData.
// Failures raise no error: a port that cannot be opened, or whose device goes away,
// delivers nothing and is tried again at every polling period until ClosePort. Whoever
// must show it asks Lost() when OnConnectionChanged is raised.
class TCommPortDriver : public QObject
{
    Q_OBJECT

public:
    using TComPortReceiveDataEvent
        = std::function<void(TCommPortDriver *Sender, const quint8 *DataPtr, qint32 DataSize)>;

    explicit TCommPortDriver(QObject *owner = nullptr);
    ~TCommPortDriver() override;

    // Frozen while the port is open: setting them then is ignored.
    TComPortNumber ComPort() const { return m_comPort; }
    void SetComPort(TComPortNumber port);
    // The size reads are made in. One set while the port is open is kept for its next opening.
    quint16 ComPortInBufSize() const { return m_line.InBufSize; }
    void SetComPortInBufSize(quint16 size);
    quint16 ComPortOutBufSize() const { return m_outBufSize; }
    void SetComPortOutBufSize(quint16 size);

    // Line settings: an open port is configured again at once.
    TComPortBaudRate ComPortSpeed() const { return m_line.Speed; }
    void SetComPortSpeed(TComPortBaudRate speed);
    TComPortDataBits ComPortDataBits() const { return m_line.DataBits; }
    void SetComPortDataBits(TComPortDataBits bits);
    TComPortStopBits ComPortStopBits() const { return m_line.StopBits; }
    void SetComPortStopBits(TComPortStopBits bits);
    TComPortParity ComPortParity() const { return m_line.Parity; }
    void SetComPortParity(TComPortParity parity);
    TComPortHwHandshaking ComPortHwHandshaking() const { return m_line.HwHandshaking; }
    void SetComPortHwHandshaking(TComPortHwHandshaking handshaking);
    TComPortSwHandshaking ComPortSwHandshaking() const { return m_line.SwHandshaking; }
    void SetComPortSwHandshaking(TComPortSwHandshaking handshaking);

    quint16 ComPortPollingDelay() const { return m_pollingDelay; }
    void SetComPortPollingDelay(quint16 milliseconds);
    // Takes effect the next time the line is configured.
    bool EnableDTROnOpen() const { return m_line.EnableDTROnOpen; }
    void SetEnableDTROnOpen(bool enable) { m_line.EnableDTROnOpen = enable; }
    // Kept for completeness: nothing is ever sent.
    quint16 OutputTimeout() const { return m_outputTimeout; }
    void SetOutputTimeout(quint16 milliseconds) { m_outputTimeout = milliseconds; }

    // Raised from the polling tick only, with the bytes of one read of at most the input
    // buffer's size; a tick reads everything received, one read after another. The bytes
    // stay valid for the whole call, even when the handler runs a nested event loop in
    // which later reads arrive.
    TComPortReceiveDataEvent OnReceiveData;
    // Raised when the port opens, is lost, or stops being wanted.
    std::function<void()> OnConnectionChanged;

    // The device that stands for "COMn"; an empty path means the system's own port.
    void SetDevicePath(TComPortNumber port, const QString &path);
    QString DevicePath(TComPortNumber port) const;

    // True when the port is open afterwards. An open port is left exactly as it is. A port
    // that does not open is wanted all the same: it is tried again until ClosePort.
    bool OpenPort();
    void ClosePort();
    bool IsOpen() const;
    bool Connected() const { return IsOpen(); }
    // Between OpenPort and ClosePort, open or not.
    bool Wanted() const { return m_wanted; }
    // Wanted but not open: the device is missing, held by another program, or gone.
    bool Lost() const { return m_wanted && !IsOpen(); }
    // Line state first, then the purge of both queues, then the queue sizes.
    void ApplyPortSettings();
    void PurgeBuffers(bool input, bool output);

    // The polling timer, for those who must know whether polling runs.
    const QTimer &PollingTimer() const { return m_timer; }
    // Runs instead while the port is lost, at the same period.
    const QTimer &ReopenTimer() const { return m_reopenTimer; }

    // The device control block in the serial port's own terms.
    struct PortLine
    {
        qint32 BaudRate = 0;
        QSerialPort::DataBits DataBits = QSerialPort::Data8;
        QSerialPort::Parity Parity = QSerialPort::NoParity;
        QSerialPort::StopBits StopBits = QSerialPort::OneStop;
        QSerialPort::FlowControl FlowControl = QSerialPort::NoFlowControl;
        bool RtsCtsWithXonXoff = false; // more than one flow control can say
        bool DataTerminalReady = false;
        bool RequestToSend = false; // without RTS/CTS: RTS raised

        bool operator==(const PortLine &) const = default;
    };
    static PortLine PortLineOf(const Dcb &dcb);

private:
    void pollingTick();
    bool openDevice();
    void deviceLost();
    void connectionChanged();
    void applyLineState(const Dcb &dcb);
    void setLineCharacters(const Dcb &dcb, bool rtsCtsToo);
    void lineSettingChanged();

    QSerialPort *m_port;
    QTimer m_timer;
    QTimer m_reopenTimer;
    QByteArray m_receiveBuffer;
    quint16 m_nextInBufSize = 2048;
    bool m_wanted = false;
    quint64 m_openings = 0;
    TComPortNumber m_comPort = pnCOM2;
    ComPortLineSettings m_line;
    quint16 m_outBufSize = 2048;
    quint16 m_pollingDelay = 50;
    quint16 m_outputTimeout = 4000;
    std::array<QString, 4> m_devicePaths;
};
