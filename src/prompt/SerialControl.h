#pragma once

#include <QtGlobal>

#include <functional>

class TCommPortDriver;
struct MainControls;
struct PromptState;

// The hand controller while prompting: what each batch of bytes from the serial
// driver does to the scrolling, the cue arrow and the margin labels.
class SerialControl
{
public:
    struct Hooks
    {
        // Starts a new prompt run from the line the editor shows, and returns when it
        // and its repeats have ended.
        std::function<void()> startRun;
    };

    SerialControl(MainControls &controls, Hooks hooks);

    void CommPortDriver1ReceiveData(TCommPortDriver *Sender, const quint8 *DataPtr, qint32 DataSize);

private:
    void stopAndJump();

    MainControls &m_c;
    PromptState &P;
    Hooks m_hooks;
};
