#pragma once

#include "prompt/FramePainter.h"
#include "prompt/PromptFrame.h"

#include <QImage>
#include <QWidget>

#include <functional>

class QTextDocument;

// Paints the prompter's frames from the script's document: the talent's full-screen
// window (the script's width across the screen, mirrored for the glass), or, inside the
// main window, the operator's own view mirrored for a one-screen rig.
class FrameView : public QWidget
{
public:
    enum class Fit {
        Operator, // the operator's window as it is, margin and all, at scale 1
        Talent, // the script's width across the whole width; the arrow's line at the same height
    };

    FrameView(const QTextDocument *document, Fit fit, QWidget *parent = nullptr);

    void SetMirror(Mirror mirror);
    Mirror CurrentMirror() const { return m_mirror; }
    // Keeps the frame to paint and asks for a paint; the picture follows with the next
    // update of the window system, in the same pass as the operator's panes.
    void ShowFrame(const PromptFrame &frame);
    const PromptFrame &Frame() const { return m_frame; }

    // After each paint, with the frame it showed (for tests and measurements).
    std::function<void(const PromptFrame &)> OnPainted;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    const QTextDocument *m_document;
    Fit m_fit;
    Mirror m_mirror = Mirror::None;
    PromptFrame m_frame;
    FramePainter::Cache m_cache;
    QImage m_straight; // kept between frames: one picture's worth of memory, allocated once
};
