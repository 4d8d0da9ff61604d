#pragma once

#include <QtGlobal>

struct MainControls;

// The screen colours that go with the script without being part of its text: the
// background (which pane B, the window and the margin share) and the cue arrow.
struct ScreenColours
{
    qint32 background = 0;
    qint32 arrow = 0;

    static ScreenColours Of(const MainControls &controls);
    void ApplyTo(const MainControls &controls) const;
    bool operator==(const ScreenColours &) const = default;
};

// Puts a change of the screen colours on the editor's undo stack, so that Undo and Redo
// give the script back its colours together with its text. Inside an edit block the
// change joins that block's one undo step.
void RecordScreenColours(const MainControls &controls, const ScreenColours &before, const ScreenColours &after);
