#pragma once

#include <QColor>
#include <QList>
#include <QString>
#include <QtGlobal>

// What the prompter shows after one step, in the operator window's pixels: enough to paint
// the same picture on any other output, at any scale and with any mirror. The engine
// publishes one after every step and whenever a run is laid out.
struct PromptFrame
{
    struct Pane
    {
        int top = 0;          // the pane's top edge in the prompt area; negative above it
        int height = 0;
        qreal documentY = 0;  // the script document's y (layout pixels) at the pane's top edge
    };

    // A line of text in the margin (speed, delay, rate, the controller's sign).
    struct Readout
    {
        int top = 0;
        int height = 0;
        int pixelSize = 0;    // the font's size in pixels
        QString text;
    };

    qint64 step = 0;          // the engine's step count when it was published
    bool prompting = false;   // false: the script standing where the next run starts
    int width = 0;            // the prompt area, margin included
    int height = 0;
    int marginWidth = 0;      // the margin on the left; the text starts right of it
    int wrapWidth = 0;        // the width the script is laid out at
    Pane a, b;
    int arrowTop = 0;         // the cue arrow's top and height in the prompt area
    int arrowHeight = 0;
    bool reverse = false;
    QColor background;        // the panes'
    QColor margin;
    QColor arrowColour;

    QColor text;              // the script's text where it has no colour of its own
    int arrowPixelSize = 0;   // the arrow glyph's font size in pixels
    QList<Readout> readouts;  // top to bottom as the margin shows them
    QColor readoutColour;
};

// How an output is turned: a beam-splitter glass needs left-right; both is a half turn.
enum class Mirror { None, Horizontal, Vertical, Both };
