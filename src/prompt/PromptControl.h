#pragma once

#include <QString>
#include <QtGlobal>

// What the prompter shows of itself to any input: enough for a remote to draw its page.
struct PromptStatus
{
    bool prompting = false;
    qint32 speed = 0;       // pixels a step
    qint32 delay = 0;
    bool reverse = false;
    qint32 topLine = 0;     // the display line at the top of the window
    qint32 lineCount = 0;
    qint32 secondsLeft = 0; // reading time of the rest of the script
    QString scriptName;     // the file name without its folder, or "Untitled"
    QString controller;     // the control source as the status bar says it, without the leading blank
};

// Every thing an operator can ask of the prompter, one operation each, whatever the input
// (the keys, the hand controller, a remote). Each effect (labels, arrow, error marks, the
// jump) is carried out behind this interface, in one place.
class PromptControl
{
public:
    // Ignored: the command makes no sense now (a speed while not prompting); nothing changed.
    enum class Outcome { Done, Ignored };

    virtual ~PromptControl() = default;

    // Starts prompting. Queued: returns at once, the run starts from the event loop.
    virtual Outcome Start() = 0;
    // Ends prompting and gives the editor back (Escape).
    virtual Outcome Leave() = 0;
    // A row of the keyboard speed table, 0 to 9.
    virtual Outcome KeyboardRow(int row) = 0;
    // A row of the controller's speed table, 0 to 64.
    virtual Outcome ControllerValue(int value) = 0;
    virtual Outcome ToggleDirection() = 0;
    // Stops and jumps to the next jump marker after the line at the top (forward) or the
    // last one before it (back).
    virtual Outcome Jump(bool forward) = 0;
    // Flags the line at the top of the window for an error marker.
    virtual Outcome FlagLine() = 0;
    // Starts again from the first line (Ctrl+Home).
    virtual Outcome RestartFromTop() = 0;
    // Lays the panes out again from the line on screen (F10 while prompting).
    virtual Outcome LayOutAgain() = 0;

    virtual PromptStatus Status() const = 0;
};
