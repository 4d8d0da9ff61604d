#include "talent/FrameView.h"

#include "prompt/FramePainter.h"

#include <QPainter>
#include <QTextDocument>

FrameView::FrameView(const QTextDocument *document, Fit fit, QWidget *parent)
    : QWidget(parent), m_document(document), m_fit(fit)
{
    // Every pixel is painted from the frame: nothing behind it needs drawing first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
}

void FrameView::SetMirror(Mirror mirror)
{
    if (mirror == m_mirror)
        return;
    m_mirror = mirror;
    update();
}

void FrameView::ShowFrame(const PromptFrame &frame)
{
    m_frame = frame;
    update();
}

void FrameView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    if (m_frame.width <= 0 || m_frame.height <= 0) {
        painter.fillRect(rect(), Qt::black);
        return;
    }
    FramePainter::Options options;
    options.mirror = m_mirror;
    // The talent reads the script, not the operator's read-outs.
    options.fill = m_fit == Fit::Talent;
    options.readouts = m_fit == Fit::Operator;
    FramePainter::Paint(painter, rect(), m_frame, *m_document, options);
    if (OnPainted)
        OnPainted(m_frame);
}
