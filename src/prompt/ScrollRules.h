#pragma once

#include <QList>

struct PromptState;

// What the scroll rules need of a prompt pane: its first visible display line, line
// scrolling, its height, and the script's y at its top edge. The panes are text controls;
// tests use plain stand-ins.
class PromptPane
{
public:
    virtual ~PromptPane() = default;
    virtual int FirstVisibleLine() const = 0;
    virtual void LineScroll(int lines) = 0;
    virtual int Height() const = 0;
    virtual int TextY() const = 0;
};

// The arithmetic of the scroll loop, free of windows: how the two panes move in one step,
// when and how they leapfrog, and which line the editor returns to.
namespace ScrollRules {

// The offsets from the panes' tops at which one step shows the panes, in order. Font
// smoothing fills in the scan lines a long jump would skip, going forward only.
QList<int> FillInOffsets(int speed, bool smoothing, bool reverse);

// One step forward: both panes move up by CurrentSpeed; the pane that leaves the top is
// scrolled on by RecycleLines and put under the other where its text continues the other's
// (the seam keeps the line pitch). At the end of the script the speed drops to 0 and the
// text stands still.
void ForwardStep(PromptState &p, PromptPane &a, PromptPane &b);

// One step back: the mirror image, standing still at the top of the script.
void ReverseStep(PromptState &p, PromptPane &a, PromptPane &b);

// The step in the current direction.
void Step(PromptState &p, PromptPane &a, PromptPane &b);

// The line the editor returns to when a run ends: the line at the top of the window,
// two lines on, from whichever pane showed it. fa and fb are the panes' first visible
// lines, lineHeight the pixel height of the script's text.
int LeavingTopLine(const PromptState &p, int fa, int fb, int lineHeight);

// A run starts on a page boundary: TopLine (the editor's first visible line) is aligned
// down to a multiple of PageLines, and a start within the first page starts at line 0.
// Returns true when the start is at the script's first line.
bool AlignStartLine(PromptState &p);

// The line cursor counts both panes' lines at every crossing while the text moves on by
// one pane, so it reaches the end of the script early. The run then goes on from where
// it is: the cursor is set back to the line after the lower pane.
void RebaseLineCursor(PromptState &p);

}
