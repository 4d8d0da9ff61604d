#pragma once

#include <QString>

struct MainControls;

// Which input drives the scrolling: the keyboard or a hand controller on serial port 1 or 2.
// The choice lives in the check marks of the Scroll Control menu.
class ControlSource
{
public:
    explicit ControlSource(MainControls &controls) : m_c(controls) { }

    void ScrollControls1Click();
    void COM11Click();
    void Com21Click();

    // Opens or closes the controller's port for a prompt run, by the check marks.
    void ApplyAtPromptStart();
    // The controller's port has opened, been lost or been closed. While it is wanted (a
    // run prompts with it) and not working, the margin's sign shows it, and the third
    // status panel says so for when prompting ends.
    void ShowConnection();
    // The third panel's text for a controller that is not connected.
    static QString NotConnectedText(int source);
    static QString StatusText(int source);
    // What drives the scrolling now, as the third panel says it, whatever the panel shows
    // at the moment; empty when no source is checked.
    QString CurrentText() const;

private:
    void choose(int source);

    MainControls &m_c;
};
