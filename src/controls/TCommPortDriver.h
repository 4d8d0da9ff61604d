#pragma once

#include <QObject>

// The hand controller's serial port. It holds the buffer size and polling period
// the settings give it; the port itself is opened while a serial source prompts.
class TCommPortDriver : public QObject
{
    Q_OBJECT

public:
    enum PortNumber { pnCOM1 = 1, pnCOM2, pnCOM3, pnCOM4 };

    explicit TCommPortDriver(QObject *parent = nullptr) : QObject(parent) {}

    int ComPortInBufSize = 2048;
    int ComPortPollingDelay = 110;
    PortNumber ComPort = pnCOM1;

    bool OpenPort() { return false; }
    void ClosePort() {}
    bool Connected() const { return false; }
};
