#pragma once

#include <QString>
#include <Qt>

class QAction;

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
    void toggleScrollSetting(QAction *item, const QString &key, const QString &on, const QString &off);
    void updateRates();
    void updateCaption();
    void updateReadingTime();
    int remainingCharacters() const;

    MainControls &m_c;
    PromptState &P;
};
