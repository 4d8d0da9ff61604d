#include "prompt/FramePainter.h"

#include <QAbstractTextDocumentLayout>
#include <QFont>
#include <QPainter>
#include <QTextDocument>

#include <algorithm>
#include <utility>

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

namespace {

// From the frame's pixels to the target's, before the mirror.
struct Mapping
{
    qreal ox = 0, oy = 0, scale = 1;
    QRect toTarget(const QRectF &r) const
    {
        const int x0 = qRound(ox + r.left() * scale), y0 = qRound(oy + r.top() * scale);
        const int x1 = qRound(ox + r.right() * scale), y1 = qRound(oy + r.bottom() * scale);
        return QRect(QPoint(x0, y0), QPoint(x1 - 1, y1 - 1));
    }
};

}

void Cache::Draw(QPainter &painter, const QRect &target, Mirror mirror, const QRect &area, int documentY, qreal scale,
                 const QTextDocument &document, const PromptFrame &frame)
{
    const int width = area.width();
    if (m_document != &document || m_revision != document.revision() || !qFuzzyCompare(m_scale, scale)
        || m_width != width || m_mirror != mirror || m_text != frame.text.rgba()
        || m_background != frame.background.rgba()) {
        m_bands.clear();
        m_document = const_cast<QTextDocument *>(&document);
        m_revision = document.revision();
        m_scale = scale;
        m_width = width;
        m_mirror = mirror;
        m_text = frame.text.rgba();
        m_background = frame.background.rgba();
    }
    const bool h = mirror == Mirror::Horizontal || mirror == Mirror::Both;
    const bool v = mirror == Mirror::Vertical || mirror == Mirror::Both;
    const QRect clip = area.intersected(QRect(0, 0, target.width(), target.height()));
    if (clip.isEmpty())
        return;
    const int first = (documentY + (clip.top() - area.top())) / BandHeight - (documentY < 0 ? 1 : 0);
    for (int index = std::max(0, first);; ++index) {
        // The band's place on the target, before the mirror.
        const QRect placed(area.left(), area.top() + index * BandHeight - documentY, width, BandHeight);
        if (placed.top() > clip.bottom())
            break;
        const QRect part = placed.intersected(clip);
        if (part.isEmpty())
            continue;
        const QImage &image = band(index, document, frame);
        QRect source(part.topLeft() - placed.topLeft(), part.size());
        QRect onTarget = part;
        if (h) {
            source.moveLeft(width - source.right() - 1);
            onTarget.moveLeft(target.width() - part.right() - 1);
        }
        if (v) {
            source.moveTop(BandHeight - source.bottom() - 1);
            onTarget.moveTop(target.height() - part.bottom() - 1);
        }
        painter.drawImage(onTarget.translated(target.topLeft()), image, source);
    }
}

const QImage &Cache::band(int index, const QTextDocument &document, const PromptFrame &frame)
{
    if (auto it = m_bands.find(index); it != m_bands.end())
        return it->second;
    if (m_bands.size() >= MaxBands) {
        // The bands farthest from this one go first: the text moves on steadily.
        auto farthest = std::max_element(m_bands.begin(), m_bands.end(), [index](const auto &a, const auto &b) {
            return qAbs(a.first - index) < qAbs(b.first - index);
        });
        m_bands.erase(farthest);
    }
    QImage image(m_width, BandHeight, QImage::Format_ARGB32_Premultiplied);
    {
        QPainter painter(&image);
        const qreal top = index * BandHeight / m_scale;
        painter.scale(m_scale, m_scale);
        paintDocument(painter, document, frame, QRectF(0, 0, m_width / m_scale, BandHeight / m_scale), top);
    }
    const bool h = m_mirror == Mirror::Horizontal || m_mirror == Mirror::Both;
    const bool v = m_mirror == Mirror::Vertical || m_mirror == Mirror::Both;
    if (h || v)
        image = std::move(image).mirrored(h, v);
    return m_bands.emplace(index, std::move(image)).first->second;
}

void Paint(QPainter &painter, const QRect &target, const PromptFrame &frame, const QTextDocument &document,
           const Options &options, Cache *cache)
{
    if (frame.width <= 0 || frame.height <= 0 || target.isEmpty())
        return;
    const int left = options.margin ? 0 : frame.marginWidth;
    const int sourceWidth = std::max(1, frame.width - left);
    const qreal tw = target.width();
    const qreal th = target.height();

    painter.save();
    painter.setClipRect(target, Qt::IntersectClip);
    const QTransform base = painter.worldTransform();
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
        const QRectF area(frame.marginWidth, top, frame.width - frame.marginWidth, bottom - top);
        if (cache) {
            const Mapping map{-left * scale, offset, scale};
            painter.save();
            painter.setWorldTransform(base);
            cache->Draw(painter, target, options.mirror, map.toTarget(area), qRound(documentY * scale), scale, document,
                        frame);
            painter.restore();
        } else {
            paintDocument(painter, document, frame, area, documentY);
        }
        if (options.margin)
            paintMargin(painter, frame, QRectF(0, top, frame.marginWidth, bottom - top), options.readouts);
    } else {
        const qreal scale = std::min(tw / sourceWidth, th / frame.height);
        const Mapping map{qreal(qRound((tw - sourceWidth * scale) / 2 - left * scale)),
                          qreal(qRound((th - frame.height * scale) / 2)), scale};
        painter.translate(map.ox, map.oy);
        painter.scale(scale, scale);
        painter.setClipRect(QRectF(left, 0, sourceWidth, frame.height), Qt::IntersectClip);
        for (const PromptFrame::Pane *pane : {&frame.a, &frame.b}) {
            const QRectF area = QRectF(frame.marginWidth, pane->top, frame.width - frame.marginWidth, pane->height)
                                    .intersected(QRectF(0, 0, frame.width, frame.height));
            if (area.isEmpty())
                continue;
            const qreal documentY = pane->documentY + (area.top() - pane->top);
            if (cache) {
                painter.save();
                painter.setWorldTransform(base);
                QRect onTarget = map.toTarget(area);
                const QRect visible = map.toTarget(QRectF(left, 0, sourceWidth, frame.height));
                const int cut = std::max(0, visible.top() - onTarget.top());
                onTarget = onTarget.intersected(visible);
                cache->Draw(painter, target, options.mirror, onTarget, qRound(documentY * scale) + cut, scale, document,
                            frame);
                painter.restore();
            } else {
                paintDocument(painter, document, frame, area, documentY);
            }
        }
        if (options.margin)
            paintMargin(painter, frame, QRectF(0, 0, frame.marginWidth, frame.height), options.readouts);
    }
    painter.restore();
}

}
