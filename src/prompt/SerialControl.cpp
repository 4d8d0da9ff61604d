#include "prompt/SerialControl.h"

#include "controls/MainControls.h"
#include "controls/TCommPortDriver.h"
#include "controls/TRichEdit.h"
#include "formats/MarkerChars.h"
#include "prompt/KeyRules.h"
#include "prompt/PromptState.h"
#include "prompt/SerialBytes.h"
#include "settings/Settings.h"

#include <QLabel>
#include <QTimer>

SerialControl::SerialControl(MainControls &controls, Hooks hooks)
    : m_c(controls), P(*controls.prompt), m_hooks(std::move(hooks))
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
            m_c.Label1->setText(KeyRules::ArrowFor(P.Reverse));
        } else {
            stopAndJump();
            // The new run starts at rest; the rest of the batch waits for its end.
            return;
        }
    }
    showSpeed();
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
        showSpeed();
    }
    // As when a run ends: the text is at rest.
    P.CurrentSpeed = 0;
}

void SerialControl::showSpeed()
{
    m_c.Label2->setText(QString::number(P.CurrentDelay));
    m_c.Label3->setText(QString::number(P.CurrentSpeed));
}

void SerialControl::stopAndJump()
{
    m_c.CommPortDriver1->ClosePort();
    m_c.Timer3->start();
    TRichEdit *editor = m_c.RichEdit1;
    P.InsertErrorMarks([editor](qint32 line) { editor->InsertAtLineStart(line, QString(ErrorMarker)); });
    const auto target = SerialJump::Target(*m_c.markers, editor->Text(), P,
                                           [editor](int line) { return editor->LineIndex(line); });
    if (target)
        editor->SetSelection(target->start, target->length);
    m_hooks.replaceRun();
}
