#pragma once

#include <Qt>

struct MainControls;
struct PromptState;

// The cue arrow, the read-out labels in the margin, the clock tick and font smoothing.
class DisplayAids
{
public:
    explicit DisplayAids(MainControls &controls);

    void Panel1MouseMove(Qt::MouseButtons buttons, Qt::KeyboardModifiers keys, int x, int y);
    void Panel1MouseUp(Qt::MouseButton button, int x, int y);
    void Panel1DblClick();
    void FontSmoothing1Click();
    void SteadySpeed1Click();
    void Timer1Timer();
    void Timer3Timer();

private:
    void updateRates();
    void updateCaption();
    void updateReadingTime();
    int remainingCharacters() const;

    MainControls &m_c;
    PromptState &P;
};
