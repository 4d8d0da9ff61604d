#pragma once

#include <QtGlobal>

#include <functional>
#include <memory>
#include <vector>

class SerialByteReader;
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
        // Ends the running run; the next one starts from the line the editor shows.
        std::function<void()> replaceRun;
    };

    SerialControl(MainControls &controls, Hooks hooks);
    ~SerialControl();

    void CommPortDriver1ReceiveData(TCommPortDriver *Sender, const quint8 *DataPtr, qint32 DataSize);

    // Prompting has ended. The bytes that came in a batch after a stop-and-jump belong
    // to the end of the run the jump started: their speeds take effect now, the last
    // batch first, and any command among them is locked out.
    void PromptingEnded();

private:
    void read(SerialByteReader &reader);
    void stopAndJump();
    void showSpeed();

    MainControls &m_c;
    PromptState &P;
    Hooks m_hooks;
    std::vector<std::unique_ptr<SerialByteReader>> m_waiting;
};
