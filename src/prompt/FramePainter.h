#pragma once

#include "prompt/PromptFrame.h"

#include <QImage>
#include <QPointer>

#include <map>

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

// The script drawn once, in bands, at the scale and turn an output paints it: text this
// large is not kept by the font cache and costs tens of milliseconds a frame drawn afresh.
// One per output; it follows edits of the document by itself.
class Cache
{
public:
    // Draws the document's y range starting at documentY (scaled pixels) into the
    // target-local rectangle area, as it stands before the mirror, onto a painter with
    // no transform of ours.
    void Draw(QPainter &painter, const QRect &target, Mirror mirror, const QRect &area, int documentY, qreal scale,
              const QTextDocument &document, const PromptFrame &frame);

private:
    const QImage &band(int index, const QTextDocument &document, const PromptFrame &frame);

    static constexpr int BandHeight = 256;
    static constexpr std::size_t MaxBands = 48;
    QPointer<QObject> m_document;
    int m_revision = -1;
    qreal m_scale = 0;
    int m_width = 0;
    Mirror m_mirror = Mirror::None;
    QRgb m_text = 0, m_background = 0;
    std::map<int, QImage> m_bands;
};

// Paints the frame into target. With a cache the script's text is drawn from it.
void Paint(QPainter &painter, const QRect &target, const PromptFrame &frame, const QTextDocument &document,
           const Options &options = {}, Cache *cache = nullptr);

}
