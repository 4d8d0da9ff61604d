#pragma once

#include <QtGlobal>

#include <array>
#include <functional>

// The one record the scroll loop shares with every handler that runs while prompting.
struct PromptState
{
    // Speed and timing
    qint32 CurrentSpeed = 0;
    qint32 CurrentDelay = 0;
    qint32 ActiveDelay = 0;

    // Run control
    quint8 Prompting = 0;
    quint8 LoopRunning = 0;
    quint8 RepeatPrompt = 0;
    qint32 Reverse = 0;
    quint8 FirstWrapPending = 0;
    quint8 ShowSpeedLabels = 0;
    // Set by a command that replaces the running run (Ctrl+Home, the controller's jump):
    // the loop ends, and the next run starts from the editor's caret without the
    // ending steps of the one it replaces.
    quint8 RestartPending = 0;
    // The line the next run shows at the top of the window, exactly; -1: the editor's
    // first visible line, aligned down to a page boundary.
    qint32 StartLine = -1;

    // Script position
    qint32 TopLine = 0;
    qint32 NextLine = 0;
    qint32 LineCount = 0;
    qint32 PageLines = 0;
    qint32 RecycleLines = 0;

    // Pane geometry
    qint32 PaneATop = 0;
    qint32 PaneBTop = 0;
    qint32 PaneAPrevTop = 0;
    qint32 PaneBPrevTop = 0;
    quint8 PaneAWrapped = 0;
    quint8 PaneBWrapped = 0;
    qint32 PaneAHeight = 0;
    qint32 PaneBHeight = 0;
    qint32 PaneWidth = 0;

    // Layout measurement
    struct Rect { qint32 Left = 0, Top = 0, Right = 0, Bottom = 0; };
    Rect MeasuredLineRect;
    qint32 MeasuredHeight = 0;

    // Error marks: slots 0 to 99 hold flagged lines, slot 100 absorbs the rest.
    static constexpr int MaxErrorMarks = 100;
    std::array<qint32, MaxErrorMarks + 1> ErrorMarkLines {};
    qint32 ErrorMarkCount = 0;

    // Editor caret
    qint32 SavedSelStart = 0;

    // Rate display
    qint32 TickScanLines = 0;
    qint32 TickSteps = 0;
    qint32 RateSum = 0;
    qint32 RateTicks = 1;
    qint32 RatePrevSpeed = 0;
    qint32 RatePrevDelay = 0;

    // What the run-control flags mean together, and the only ways they are set while a
    // run goes on (the engine itself sets them when it starts and ends a run):
    //
    //   request            Prompting LoopRunning RepeatPrompt RestartPending  then
    //   RequestLeave           0         0            0             -         leave; the editor is back
    //   RequestRelayout        0         0            -             -         a new run at once, laid out
    //                                                                         from the line on screen
    //   RequestReplace         -         0            -             1         a new run at once from the
    //                                                                         caret (or StartLine), without
    //                                                                         the ending steps of this one
    //   RequestEndSession      -         0            0             -         between runs: none follows
    //   (- : left as it is)
    void RequestLeave();
    void RequestRelayout(qint32 startLine = -1);
    void RequestReplace(qint32 startLine = -1);
    void RequestEndSession();

    // A new script: prompting starts again from its first line.
    void ResetPosition(qint32 lineCount);
    void RecordErrorMark();
    // Flags a line given by the caller (the line at the top of the window).
    void RecordErrorMark(qint32 line);
    void ClearErrorMarks();
    // Hands every recorded line to insertMarkerAt (which puts the error marker at its
    // start), in the order recorded, and empties the list.
    void InsertErrorMarks(const std::function<void(qint32 line)> &insertMarkerAt);
};
