#include "prompt/ScrollRules.h"

#include "prompt/PromptState.h"

#include <algorithm>

namespace ScrollRules {

namespace {

// Where the recycled pane goes: its text continues the text of the pane that stays, above it
// or below, so that a line crossing the seam keeps the pitch it has inside a pane. Placed by
// the window's top instead, the seam would open by the overshoot of the step.
int continuing(int stayingTop, const PromptPane &staying, const PromptPane &recycled)
{
    return stayingTop + (recycled.TextY() - staying.TextY());
}

}

QList<int> FillInOffsets(int speed, bool smoothing, bool reverse)
{
    if (!smoothing || reverse)
        return {0};
    QList<int> offsets;
    // Before the move: the text shown a little lower, where the last step left it.
    if (speed == 3)
        offsets << 1;
    else if (speed >= 4)
        offsets << 2;
    offsets << 0;
    // After the move: a little higher, towards where the next step takes it.
    if (speed >= 5)
        offsets << -2;
    else if (speed >= 2)
        offsets << -1;
    return offsets;
}

void ForwardStep(PromptState &p, PromptPane &a, PromptPane &b)
{
    p.PaneAPrevTop = p.PaneATop;
    p.PaneBPrevTop = p.PaneBTop;
    if (p.TopLine < p.LineCount - p.RecycleLines) {
        p.PaneATop -= p.CurrentSpeed;
        p.PaneBTop -= p.CurrentSpeed;
    } else {
        p.CurrentSpeed = 0; // the end of the script: stand still
    }
    p.PaneAWrapped = p.PaneAPrevTop >= 0 && p.PaneATop < 0;
    p.PaneBWrapped = p.PaneBPrevTop >= 0 && p.PaneBTop < 0;
    if (p.PaneAWrapped) {
        p.TopLine = a.FirstVisibleLine();
        // Pane B already holds the page after pane A at the start of a run.
        if (!p.FirstWrapPending) {
            b.LineScroll(p.RecycleLines);
            p.NextLine += p.RecycleLines;
        }
        p.FirstWrapPending = 0;
        p.PaneBTop = continuing(p.PaneATop, a, b);
    }
    if (p.PaneBWrapped) {
        p.TopLine = b.FirstVisibleLine();
        a.LineScroll(p.RecycleLines);
        p.NextLine += p.RecycleLines;
        p.PaneATop = continuing(p.PaneBTop, b, a);
    }
}

void ReverseStep(PromptState &p, PromptPane &a, PromptPane &b)
{
    p.PaneAPrevTop = p.PaneATop;
    p.PaneBPrevTop = p.PaneBTop;
    const bool aMayMove = p.PaneATop < -p.CurrentSpeed || a.FirstVisibleLine() != 0;
    const bool bMayMove = p.PaneBTop < -p.CurrentSpeed || b.FirstVisibleLine() != 0;
    if (!aMayMove || !bMayMove)
        return; // the start of the script
    p.PaneATop += p.CurrentSpeed;
    p.PaneBTop += p.CurrentSpeed;
    p.PaneAWrapped = p.PaneAPrevTop <= 0 && p.PaneATop > 0;
    p.PaneBWrapped = p.PaneBPrevTop <= 0 && p.PaneBTop > 0;
    if (p.PaneAWrapped) {
        p.TopLine = a.FirstVisibleLine();
        b.LineScroll(-p.RecycleLines);
        p.NextLine -= p.RecycleLines;
        p.PaneBTop = continuing(p.PaneATop, a, b);
    }
    if (p.PaneBWrapped) {
        p.TopLine = b.FirstVisibleLine();
        a.LineScroll(-p.RecycleLines);
        p.NextLine -= p.RecycleLines;
        p.PaneATop = continuing(p.PaneBTop, b, a);
    }
}

void Step(PromptState &p, PromptPane &a, PromptPane &b)
{
    if (p.Reverse == 0)
        ForwardStep(p, a, b);
    else
        ReverseStep(p, a, b);
}

int LeavingTopLine(const PromptState &p, int fa, int fb, int lineHeight)
{
    const int h = std::max(1, lineHeight);
    if (fb > fa || fa == p.TopLine)
        return (-p.PaneATop) / h + fa + 2;
    return (-p.PaneBTop) / h + fb + 2;
}

bool AlignStartLine(PromptState &p)
{
    if (p.TopLine > p.PageLines) {
        p.TopLine -= p.TopLine % std::max(1, p.PageLines);
        p.NextLine = p.TopLine + 1;
        return false;
    }
    p.TopLine = 0;
    p.NextLine = 1;
    return true;
}

void RebaseLineCursor(PromptState &p)
{
    p.NextLine = p.TopLine + p.RecycleLines + 1;
}

}
