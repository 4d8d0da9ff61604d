#pragma once

struct MainControls;

// Which input drives the scrolling: the keyboard or a hand controller on serial port 1 or 2.
// The choice lives in the check marks of the Scroll Control menu.
class ControlSource
{
public:
    explicit ControlSource(MainControls &controls) : m_c(controls) {}

    void ScrollControls1Click();
    void COM11Click();
    void Com21Click();

    // Opens or closes the controller's port for a prompt run, by the check marks.
    void ApplyAtPromptStart();

private:
    void choose(int source);

    MainControls &m_c;
};
