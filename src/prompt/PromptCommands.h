#pragma once

#include "prompt/PromptControl.h"

#include <QChar>

#include <functional>

class PromptEngine;
struct MainControls;
struct PromptState;

// The one place where an operator's command takes effect, whichever input gave it: the
// prompt state, the margin's labels and arrow, the error marks and the jump. The keys,
// the hand controller and a remote are adapters that call it.
class PromptCommands : public PromptControl
{
public:
    struct Hooks
    {
        // Runs the prompter until the operator leaves it, under the window's error guard.
        std::function<void()> runPrompter;
        // The script's file name without its folder, or "Untitled".
        std::function<QString()> scriptName;
        // The control source as the third status panel says it.
        std::function<QString()> controller;
    };

    PromptCommands(MainControls &controls, PromptEngine &engine, Hooks hooks);

    Outcome Start() override;
    Outcome Leave() override;
    Outcome KeyboardRow(int row) override;
    Outcome ControllerValue(int value) override;
    Outcome ToggleDirection() override;
    Outcome Jump(bool forward) override;
    Outcome FlagLine() override;
    Outcome RestartFromTop() override;
    Outcome LayOutAgain() override;
    PromptStatus Status() const override;

    // A character key while prompting, as the keyboard's rules read it (digits, Space,
    // Escape, Enter; any other key only re-applies the delay).
    Outcome KeyboardCharacter(QChar key);
    // The controller's bytes have changed speed and delay: the margin shows them.
    void ShowSpeed();
    // The reader of the controller's bytes has turned the direction: the arrow follows.
    void ShowArrow();

private:
    void insertErrorMarks();

    MainControls &m_c;
    PromptState &P;
    PromptEngine &m_engine;
    Hooks m_hooks;
    bool m_startQueued = false;
};
