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
    // The talent reads the script, not the operator's read-outs.
    options.fill = m_fit == Fit::Talent;
    options.readouts = m_fit == Fit::Operator;
    if (m_mirror == Mirror::None) {
        FramePainter::Paint(painter, rect(), m_frame, *m_document, options, &m_cache);
    } else {
        // Text drawn through a turned transform is rasterized apart from straight text (its
        // glyphs land on other pixels): the picture is drawn straight, then its pixels are turned,
        // so that the talent reads exactly the operator's letters.
        const qreal ratio = devicePixelRatioF();
        const QSize pixels = (QSizeF(size()) * ratio).toSize();
        if (m_straight.size() != pixels) {
            // Opaque, as the window's own pixels are: it is copied, not blended.
            m_straight = QImage(pixels, QImage::Format_RGB32);
            m_straight.setDevicePixelRatio(ratio);
        }
        {
            QPainter straight(&m_straight);
            FramePainter::Paint(straight, rect(), m_frame, *m_document, options, &m_cache);
        }
        m_straight.mirror(m_mirror != Mirror::Vertical, m_mirror != Mirror::Horizontal);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawImage(QPoint(), m_straight);
    }
    if (OnPainted)
        OnPainted(m_frame);
}
