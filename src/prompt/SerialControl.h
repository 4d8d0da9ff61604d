#pragma once

#include <QtGlobal>

#include <functional>
#include <memory>
#include <vector>

class PromptCommands;
class SerialByteReader;
class TCommPortDriver;
struct MainControls;
struct PromptState;

// The hand controller while prompting: what each batch of bytes from the serial
// driver does to the scrolling, the cue arrow and the margin labels.
class SerialControl
{
public:
    SerialControl(MainControls &controls, PromptCommands &commands);
    ~SerialControl();

    void CommPortDriver1ReceiveData(TCommPortDriver *Sender, const quint8 *DataPtr, qint32 DataSize);

private:
    void read(SerialByteReader &reader);
    void stopAndJump();

    MainControls &m_c;
    PromptState &P;
    PromptCommands &m_commands;
};
