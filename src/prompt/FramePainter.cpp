#include "prompt/FramePainter.h"

#include <QAbstractTextDocumentLayout>
#include <QFont>
#include <QPainter>
#include <QTextDocument>

#include <algorithm>

namespace FramePainter {

namespace {

void paintDocument(QPainter &painter, const QTextDocument &document, const PromptFrame &frame, const QRectF &area,
                   qreal documentYAtTop)
{
    // As the panes draw it: the text at the document's own coordinates, only the lines in
    // the area laid out on the painter.
    painter.save();
    painter.setClipRect(area, Qt::IntersectClip);
    painter.fillRect(area, frame.background);
    painter.translate(area.left(), area.top() - documentYAtTop);
    QAbstractTextDocumentLayout::PaintContext context;
    context.palette.setColor(QPalette::Text, frame.text);
    context.palette.setColor(QPalette::Base, frame.background);
    // Glyphs reach past their line's box: the lines just outside the area are drawn too.
    const qreal reach = std::max<qreal>(area.height(), 200);
    context.clip = QRectF(0, documentYAtTop - reach, area.width(), area.height() + 2 * reach);
    document.documentLayout()->draw(&painter, context);
    painter.restore();
}

QFont pixelFont(int pixels)
{
    // The margin's labels are drawn in this face in the operator window.
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(std::max(1, pixels));
    return font;
}

void paintMargin(QPainter &painter, const PromptFrame &frame, const QRectF &area, bool readouts)
{
    painter.fillRect(area, frame.margin);
    painter.setFont(pixelFont(frame.arrowPixelSize));
    painter.setPen(frame.arrowColour);
    painter.drawText(QRectF(0, frame.arrowTop, frame.marginWidth, frame.arrowHeight), Qt::AlignLeft | Qt::AlignVCenter,
                     frame.reverse ? QStringLiteral("<") : QStringLiteral(">"));
    if (!readouts)
        return;
    painter.setPen(frame.readoutColour);
    for (const PromptFrame::Readout &r : frame.readouts) {
        painter.setFont(pixelFont(r.pixelSize));
        painter.drawText(QRectF(0, r.top, frame.marginWidth, r.height), Qt::AlignLeft | Qt::AlignVCenter, r.text);
    }
}

// The pane that shows the prompt area's line y, or the nearer one.
const PromptFrame::Pane &paneAt(const PromptFrame &frame, qreal y)
{
    auto distance = [y](const PromptFrame::Pane &p) {
        if (p.height <= 0)
            return 1e12;
        if (y < p.top)
            return p.top - y;
        if (y >= p.top + p.height)
            return y - (p.top + p.height) + 1;
        return 0.0;
    };
    return distance(frame.b) < distance(frame.a) ? frame.b : frame.a;
}

}

void Paint(QPainter &painter, const QRect &target, const PromptFrame &frame, const QTextDocument &document,
           const Options &options)
{
    if (frame.width <= 0 || frame.height <= 0 || target.isEmpty())
        return;
    const int left = options.margin ? 0 : frame.marginWidth;
    const int sourceWidth = std::max(1, frame.width - left);
    const qreal tw = target.width();
    const qreal th = target.height();

    painter.save();
    painter.setClipRect(target, Qt::IntersectClip);
    painter.translate(target.topLeft());
    if (options.mirror == Mirror::Horizontal || options.mirror == Mirror::Both) {
        painter.translate(tw, 0);
        painter.scale(-1, 1);
    }
    if (options.mirror == Mirror::Vertical || options.mirror == Mirror::Both) {
        painter.translate(0, th);
        painter.scale(1, -1);
    }
    painter.fillRect(QRectF(0, 0, tw, th), frame.background);

    if (options.fill) {
        const qreal scale = tw / sourceWidth;
        const qreal arrowY = frame.arrowTop + frame.arrowHeight / 2.0;
        const qreal targetArrowY = frame.height > 0 ? arrowY / frame.height * th : 0;
        // Whole target pixels: at scale 1 the text lands on the pixels the panes show.
        const qreal offset = qRound(targetArrowY - arrowY * scale);
        painter.translate(-left * scale, offset);
        painter.scale(scale, scale);
        // The prompt area's lines that the target shows, in the frame's pixels.
        const qreal top = -offset / scale;
        const qreal bottom = (th - offset) / scale;
        // One stretch of the script, continuing the pane that shows the arrow's line.
        const PromptFrame::Pane &pane = paneAt(frame, arrowY);
        const qreal documentY = pane.documentY - pane.top + top;
        paintDocument(painter, document, frame,
                      QRectF(frame.marginWidth, top, frame.width - frame.marginWidth, bottom - top), documentY);
        if (options.margin)
            paintMargin(painter, frame, QRectF(0, top, frame.marginWidth, bottom - top), options.readouts);
    } else {
        const qreal scale = std::min(tw / sourceWidth, th / frame.height);
        painter.translate(qRound((tw - sourceWidth * scale) / 2 - left * scale),
                          qRound((th - frame.height * scale) / 2));
        painter.scale(scale, scale);
        painter.setClipRect(QRectF(left, 0, sourceWidth, frame.height), Qt::IntersectClip);
        for (const PromptFrame::Pane *pane : {&frame.a, &frame.b}) {
            const QRectF area = QRectF(frame.marginWidth, pane->top, frame.width - frame.marginWidth, pane->height)
                                    .intersected(QRectF(0, 0, frame.width, frame.height));
            if (!area.isEmpty())
                paintDocument(painter, document, frame, area, pane->documentY + (area.top() - pane->top));
        }
        if (options.margin)
            paintMargin(painter, frame, QRectF(0, 0, frame.marginWidth, frame.height), options.readouts);
    }
    painter.restore();
}

}
