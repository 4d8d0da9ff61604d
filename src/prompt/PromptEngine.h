#pragma once

#include "prompt/FramePacer.h"
#include "prompt/PromptFrame.h"

#include <QElapsedTimer>
#include <QRect>
#include <QSize>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QScreen;
class TRichEdit;
struct MainControls;
struct PromptState;

// Prompt mode: strips the window to two panes holding one page of the script each and
// moves them up step by step, recycling the pane that leaves the top underneath the other.
// Runs follow each other in one loop: an automatic restart (F10, a resize) and a run that
// replaces the running one (Ctrl+Home, the controller's jump) never nest.
class PromptEngine
{
public:
    // What the prompter asks of other parts of the program, connected by the frame.
    struct Hooks
    {
        std::function<void()> applyControlSource;   // open or close the controller's port
        std::function<void()> showSelectionFormat;  // the tool bar follows the editor again
        std::function<void()> promptingEnded;       // the editor is back
    };

    PromptEngine(MainControls &controls, Hooks hooks);
    ~PromptEngine();

    // Starts prompting; returns when the operator has left it.
    void SpeedButton1Click();
    void Prompt1Click() { SpeedButton1Click(); }
    void Prompt2Click() { SpeedButton1Click(); }

    // Ends the running run and starts a new one from the editor's caret line, after the
    // caller has put the caret there, or showing startLine at the top of the window; the
    // error marks are the caller's to insert.
    void ReplaceRun(int startLine = -1);

    // The display line at the top of the window: while prompting, in whichever pane
    // covers it; otherwise the editor's first visible line.
    int LineAtTop() const;

    // Sets PageLines to the lines, from line 0, that fill the window's client height.
    void MeasurePageLines();
    void FormResize();

    // True from the start of prompting until the editor is given back.
    bool Active() const { return m_active; }

    // Steps the loop has made, and runs set up, since the program started (for measurements).
    qint64 StepsMade() const { return m_steps; }
    qint64 RunsStarted() const { return m_runs; }
    // In the steady method, how long after its frame the last step started.
    qint64 LastStepLateNs() const { return m_lateNs; }

    // The screen whose refresh the steady method keeps time with, when not the window's
    // own (the talent's screen); null for the window's.
    std::function<QScreen *()> PacingScreen;

    // Called just before and just after every step's move (for tests and measurements).
    std::function<void(bool after)> OnStep;

    // What is on screen: published after every step, when a run has been laid out and when
    // the editor's view changes between runs.
    void AddFrameListener(std::function<void(const PromptFrame &)> listener);
    const PromptFrame &CurrentFrame() const { return m_frame; }
    // Takes the frame from the window as it stands now and tells the listeners.
    void PublishFrame();

private:
    enum class RunEnd { Left, Replaced, Empty };

    RunEnd runOnce();
    bool setUpRun();
    void unifyFaceAndSize();
    void stripWindow();
    void restoreWindow();
    void alignPageStart();
    void startAtLine(int line);
    void appendBlankTail();
    void layOutPaneA();
    void layOutPaneB();
    void scrollLoop();
    void waitForStep();
    void busyWait();
    void waitForFrame();
    void scheduleNextStep();
    void showPanes();
    void showRecycledPane();
    void leaveRun();
    int measureLine(TRichEdit *pane, int line, bool withStyle);
    void scrollToTop(TRichEdit *pane, int line);
    void movePane(TRichEdit *pane, int top, int height);
    int clientHeight() const;
    int editorClientWidth() const;
    void setPanesTakeMouse(bool take);
    void setBorder(bool on);
    bool steadySpeed() const;

    MainControls &m_c;
    PromptState &P;
    Hooks m_hooks;
    bool m_stripped = false;
    bool m_settingUp = false;
    bool m_active = false;
    QSize m_runWindowSize;
    int m_lastA = 0;
    qint64 m_steps = 0;
    qint64 m_runs = 0;
    qint64 m_lateNs = 0;
    class KeyHold;
    std::unique_ptr<KeyHold> m_keyHold;
    QElapsedTimer m_clock;
    std::optional<FramePacer> m_pacer;
    PromptFrame m_frame;
    std::vector<std::function<void(const PromptFrame &)>> m_frameListeners;
};
