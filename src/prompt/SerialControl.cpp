#include "prompt/SerialControl.h"

#include "controls/MainControls.h"
#include "controls/TCommPortDriver.h"
#include "prompt/PromptCommands.h"
#include "prompt/PromptState.h"
#include "prompt/SerialBytes.h"
#include "settings/Settings.h"

#include <QTimer>

SerialControl::SerialControl(MainControls &controls, PromptCommands &commands)
    : m_c(controls), P(*controls.prompt), m_commands(commands)
{
}

SerialControl::~SerialControl() = default;

void SerialControl::CommPortDriver1ReceiveData(TCommPortDriver *, const quint8 *DataPtr, qint32 DataSize)
{
    SerialByteReader reader(QByteArray(reinterpret_cast<const char *>(DataPtr), DataSize), P,
                            m_c.settings->SerialSpeedTable);
    read(reader);
}

void SerialControl::read(SerialByteReader &reader)
{
    using Request = SerialByteReader::Request;
    for (Request r; (r = reader.Next(m_c.Timer3->isActive())) != Request::Done;) {
        // Either command locks the next ones out for a moment: a held button acts once.
        if (r == Request::Toggled) {
            m_c.Timer3->start();
            m_commands.ShowArrow();
        } else {
            // The new run starts at rest; the rest of the batch acts in it.
            stopAndJump();
        }
    }
    m_commands.ShowSpeed();
}

void SerialControl::stopAndJump()
{
    // The port is opened again by the new run; the lock-out keeps a held button from
    // jumping twice.
    m_c.CommPortDriver1->ClosePort();
    m_c.Timer3->start();
    m_commands.Jump(P.Reverse == 0);
}
