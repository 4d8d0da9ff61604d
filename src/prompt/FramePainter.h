#pragma once

#include "prompt/PromptFrame.h"

class QPainter;
class QRect;
class QTextDocument;

// Paints a published frame from the script's document onto any paint device.
namespace FramePainter {

struct Options
{
    Mirror mirror = Mirror::None;
    // Off: the operator's picture, scaled to fit the target whole (bands of background
    // where the aspect differs). On: the text is scaled so that the script's width fills
    // the target's width and runs on above and below the operator's panes to the target's
    // edges; the cue arrow's line stands at the same fraction of the height.
    bool fill = false;
    bool margin = true; // the margin and its cue arrow
    bool readouts = true; // the read-outs in the margin (only with the margin)
};

void Paint(QPainter &painter, const QRect &target, const PromptFrame &frame, const QTextDocument &document,
           const Options &options = {});

}
