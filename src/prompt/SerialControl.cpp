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
    auto reader = std::make_unique<SerialByteReader>(QByteArray(reinterpret_cast<const char *>(DataPtr), DataSize),
                                                     P, m_c.settings->SerialSpeedTable);
    read(*reader);
    if (!reader->AtEnd())
        m_waiting.push_back(std::move(reader));
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
            stopAndJump();
            // The new run starts at rest; the rest of the batch waits for its end.
            return;
        }
    }
    m_commands.ShowSpeed();
}

void SerialControl::PromptingEnded()
{
    if (m_waiting.empty())
        return;
    while (!m_waiting.empty()) {
        std::unique_ptr<SerialByteReader> reader = std::move(m_waiting.back());
        m_waiting.pop_back();
        while (reader->Next(true) != SerialByteReader::Request::Done) {
        }
        m_commands.ShowSpeed();
    }
    // As when a run ends: the text is at rest.
    P.CurrentSpeed = 0;
}

void SerialControl::stopAndJump()
{
    // The port is opened again by the new run; the lock-out keeps a held button from
    // jumping twice.
    m_c.CommPortDriver1->ClosePort();
    m_c.Timer3->start();
    m_commands.Jump(P.Reverse == 0);
}
