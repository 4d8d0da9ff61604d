#include "controls/ScriptLayout.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPalette>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextLayout>
#include <QTextList>
#include <QtMath>

#include <algorithm>

namespace {

// Alignment as the paragraph's direction turns it: left and right swap in a
// right-to-left paragraph unless the alignment is absolute.
Qt::Alignment visualAlignment(Qt::LayoutDirection direction, Qt::Alignment alignment)
{
    if (alignment & Qt::AlignAbsolute || direction != Qt::RightToLeft)
        return alignment;
    const Qt::Alignment horizontal = alignment & Qt::AlignHorizontal_Mask;
    Qt::Alignment result = alignment & ~Qt::AlignHorizontal_Mask;
    if (horizontal & Qt::AlignLeft)
        result |= Qt::AlignRight;
    else if (horizontal & Qt::AlignRight)
        result |= Qt::AlignLeft;
    else
        result |= horizontal;
    return result;
}

bool isBullet(int style)
{
    return style == QTextListFormat::ListDisc || style == QTextListFormat::ListCircle
        || style == QTextListFormat::ListSquare;
}

int listStyleOf(const QTextBlock &block)
{
    const QTextList *list = block.textList();
    if (!list)
        return QTextListFormat::ListStyleUndefined;
    const QTextBlockFormat format = block.blockFormat();
    if (format.hasProperty(QTextFormat::ListStyle))
        return format.intProperty(QTextFormat::ListStyle);
    return list->format().style();
}

// The widest a single line may be laid out: QTextLine keeps widths in 26.6 fixed point.
constexpr qreal UnboundedWidth = 4.0e6;

// A paragraph longer than this keeps its shaped text after it is laid out. Without it,
// every caret blink and caret move works out the character attributes of the whole
// paragraph again; short paragraphs redo that cheaply and keep no memory for it.
constexpr int LongParagraph = 4096;

}

ScriptLayout::ScriptLayout(QTextDocument *document)
    : QAbstractTextDocumentLayout(document)
{
}

// ---- Laying out ----

qreal ScriptLayout::availableWidth() const
{
    const qreal page = document()->pageSize().width();
    if (page < 0)
        return -1;
    return std::max<qreal>(0, page - 2 * document()->documentMargin());
}

QFont ScriptLayout::markerFont(const QTextBlock &block) const
{
    // The marker takes the look of the paragraph's first character, so that it grows and
    // shrinks with the text rather than keeping the size of the paragraph mark.
    QTextCharFormat format = block.charFormat();
    const QTextBlock::iterator first = block.begin();
    if (!first.atEnd())
        format = first.fragment().charFormat();
    QFont font = format.font().resolve(document()->defaultFont());
    if (paintDevice())
        font = QFont(font, paintDevice());
    return font;
}

qreal ScriptLayout::indentOf(const QTextBlock &block) const
{
    const QTextBlockFormat format = block.blockFormat();
    qreal levels = format.indent();
    const QTextList *list = block.textList();
    if (list)
        levels += list->format().indent();
    if (qIsNull(levels))
        return 0;
    qreal unit = document()->indentWidth();
    if (list) {
        // Room for the marker and a space on either side of it, at the text's size.
        const QFontMetricsF metrics(markerFont(block));
        const int style = listStyleOf(block);
        const qreal marker = isBullet(style) ? metrics.lineSpacing() / 3
                                             : metrics.horizontalAdvance(list->itemText(block));
        unit = std::max(unit, marker + 2 * metrics.horizontalAdvance(u' '));
    }
    return levels * unit;
}

ScriptLayout::Extent ScriptLayout::layOutBlock(const QTextBlock &block)
{
    const QTextBlockFormat format = block.blockFormat();
    QTextLayout *layout = block.layout();
    const Qt::LayoutDirection direction = block.textDirection();

    QTextOption option = document()->defaultTextOption();
    option.setTextDirection(direction);
    option.setTabs(format.tabPositions());
    Qt::Alignment alignment = option.alignment();
    if (format.hasProperty(QTextFormat::BlockAlignment))
        alignment = format.alignment();
    option.setAlignment(visualAlignment(direction, alignment));
    const qreal width = availableWidth();
    if (format.nonBreakableLines() || width < 0)
        option.setWrapMode(QTextOption::ManualWrap);
    layout->setTextOption(option);
    layout->setCacheEnabled(block.length() > LongParagraph);

    const qreal indent = indentOf(block);
    const qreal left = format.leftMargin() + (direction == Qt::RightToLeft ? 0 : indent);
    const qreal right = width < 0 ? -1 : width - format.rightMargin() - (direction == Qt::RightToLeft ? indent : 0);
    qreal y = 0;
    layout->beginLayout();
    for (bool first = true;; first = false) {
        QTextLine line = layout->createLine();
        if (!line.isValid())
            break;
        line.setLeadingIncluded(true);
        qreal lineLeft = left;
        qreal lineRight = right < 0 ? left + UnboundedWidth : right;
        if (first) {
            if (direction == Qt::RightToLeft)
                lineRight -= format.textIndent();
            else
                lineLeft += format.textIndent();
        }
        line.setLineWidth(std::max<qreal>(lineRight - lineLeft, 0));
        line.setPosition(QPointF(lineLeft, y));
        m_widest = std::max(m_widest, lineLeft + line.naturalTextWidth() + format.rightMargin());
        // Lines advance by whole pixels, so that a page is a whole number of them.
        const qreal raw = qCeil(line.ascent() + line.descent() + line.leading());
        y += format.lineHeightType() == QTextBlockFormat::SingleHeight ? raw : format.lineHeight(raw, 1.0);
    }
    layout->endLayout();
    layout->setPosition(QPointF(0, 0));

    Extent extent;
    extent.top = format.topMargin();
    extent.height = y;
    extent.bottom = format.bottomMargin();
    extent.lines = std::max(1, layout->lineCount());
    return extent;
}

bool ScriptLayout::Inputs::operator==(const Inputs &other) const
{
    return characters == other.characters && font == other.font && option.alignment() == other.option.alignment()
        && option.wrapMode() == other.option.wrapMode() && option.flags() == other.option.flags()
        && option.textDirection() == other.option.textDirection() && option.tabStopDistance() == other.option.tabStopDistance()
        && indentWidth == other.indentWidth && margin == other.margin;
}

ScriptLayout::Inputs ScriptLayout::currentInputs() const
{
    const QTextDocument *doc = document();
    return {doc->characterCount(), doc->defaultFont(), doc->defaultTextOption(), doc->indentWidth(),
            doc->documentMargin()};
}

void ScriptLayout::Suspend()
{
    ++m_suspended;
}

void ScriptLayout::Resume()
{
    if (m_suspended > 0 && --m_suspended == 0 && m_pending) {
        m_pending = false;
        const QSizeF oldSize = documentSize();
        relayoutAll();
        Q_EMIT update();
        if (documentSize() != oldSize)
            Q_EMIT documentSizeChanged(documentSize());
    }
}

void ScriptLayout::relayoutAll()
{
    QTextDocument *doc = document();
    m_inputs = currentInputs();
    m_layoutWidth = availableWidth();
    m_extents.clear();
    m_extents.reserve(doc->blockCount());
    m_widest = 0;
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
        m_extents.push_back(layOutBlock(b));
    }
    m_validPrefix = 0;
    m_totalLines = 0;
    qreal total = 0;
    for (std::size_t i = 0; i < m_extents.size(); ++i) {
        m_totalLines += m_extents[i].lines;
        total += advanceBefore(int(i)) + m_extents[i].height;
    }
    m_totalHeight = total + (m_extents.empty() ? 0 : m_extents.back().bottom);
}

// The space between the previous paragraph's last line and this one's first: the larger
// of the two margins, as adjacent paragraph margins collapse.
qreal ScriptLayout::advanceBefore(int blockNumber) const
{
    if (blockNumber == 0)
        return m_extents[0].top;
    return std::max(m_extents[blockNumber - 1].bottom, m_extents[blockNumber].top);
}

void ScriptLayout::documentChanged(int from, int charsRemoved, int charsAdded)
{
    QTextDocument *doc = document();
    if (m_suspended) {
        m_pending = true;
        return;
    }
    const bool wholeDocument = from == 0 && charsRemoved == 0 && charsAdded == doc->characterCount();
    if (wholeDocument && availableWidth() == m_layoutWidth && int(m_extents.size()) == doc->blockCount()
        && currentInputs() == m_inputs)
        return;
    const QSizeF oldSize = documentSize();
    const int oldCount = int(m_extents.size());
    const int newCount = doc->blockCount();
    const QTextBlock first = doc->findBlock(from).isValid() ? doc->findBlock(from) : doc->lastBlock();
    QTextBlock last = doc->findBlock(from + charsAdded);
    if (!last.isValid())
        last = doc->lastBlock();
    const int firstNumber = first.blockNumber();
    const int changed = last.blockNumber() - firstNumber + 1;
    const int replaced = changed - (newCount - oldCount);

    if (oldCount == 0 || availableWidth() != m_layoutWidth || replaced < 1 || firstNumber + replaced > oldCount
        || changed == newCount) {
        relayoutAll();
        Q_EMIT update();
    } else {
        // Take out what the replaced paragraphs contributed, lay out their successors,
        // and put in what those contribute. The margin between a paragraph and the next
        // depends on both, so the paragraph after the change is counted on both sides.
        const int afterOld = std::min(firstNumber + replaced, oldCount - 1);
        qreal removedHeight = 0;
        for (int i = firstNumber; i <= afterOld; ++i) {
            removedHeight += advanceBefore(i) + (i < firstNumber + replaced ? m_extents[i].height : 0);
            if (i < firstNumber + replaced)
                m_totalLines -= m_extents[i].lines;
        }
        if (firstNumber + replaced == oldCount)
            removedHeight += m_extents.back().bottom;

        std::vector<Extent> fresh;
        fresh.reserve(changed);
        for (QTextBlock b = first; fresh.size() < std::size_t(changed); b = b.next()) {
            fresh.push_back(layOutBlock(b));
        }
        m_extents.erase(m_extents.begin() + firstNumber, m_extents.begin() + firstNumber + replaced);
        m_extents.insert(m_extents.begin() + firstNumber, fresh.begin(), fresh.end());

        const int afterNew = std::min(firstNumber + changed, newCount - 1);
        qreal addedHeight = 0;
        for (int i = firstNumber; i <= afterNew; ++i) {
            addedHeight += advanceBefore(i) + (i < firstNumber + changed ? m_extents[i].height : 0);
            if (i < firstNumber + changed)
                m_totalLines += m_extents[i].lines;
        }
        if (firstNumber + changed == newCount)
            addedHeight += m_extents.back().bottom;
        m_totalHeight += addedHeight - removedHeight;
        m_validPrefix = std::min(m_validPrefix, firstNumber);
        m_inputs.characters = doc->characterCount();

        const qreal top = BlockTop(firstNumber);
        if (qFuzzyCompare(addedHeight + 1, removedHeight + 1))
            Q_EMIT update(QRectF(0, top, qreal(1e9), addedHeight + 1));
        else
            Q_EMIT update(QRectF(0, top, qreal(1e9), qreal(1e18)));
    }
    if (documentSize() != oldSize)
        Q_EMIT documentSizeChanged(documentSize());
}

// ---- Positions ----

// The layout of a paragraph by number; none while the numbering is out of date.
const QTextLayout *ScriptLayout::layoutOf(int blockNumber) const
{
    if (blockNumber < 0 || m_pending)
        return nullptr;
    const QTextBlock block = document()->findBlockByNumber(blockNumber);
    return block.isValid() ? block.layout() : nullptr;
}

void ScriptLayout::ensurePrefix(int blockNumber) const
{
    const int count = int(m_extents.size());
    blockNumber = std::min(blockNumber, count - 1);
    if (blockNumber < m_validPrefix)
        return;
    m_tops.resize(count);
    m_firstLines.resize(count);
    for (int i = m_validPrefix; i <= blockNumber; ++i) {
        if (i == 0) {
            m_tops[0] = document()->documentMargin() + m_extents[0].top;
            m_firstLines[0] = 0;
        } else {
            m_tops[i] = m_tops[i - 1] + m_extents[i - 1].height + advanceBefore(i);
            m_firstLines[i] = m_firstLines[i - 1] + m_extents[i - 1].lines;
        }
    }
    m_validPrefix = blockNumber + 1;
}

qreal ScriptLayout::BlockTop(int blockNumber) const
{
    if (m_extents.empty())
        return document()->documentMargin();
    blockNumber = std::clamp(blockNumber, 0, int(m_extents.size()) - 1);
    ensurePrefix(blockNumber);
    return m_tops[blockNumber];
}

int ScriptLayout::FirstLineOf(int blockNumber) const
{
    if (m_extents.empty())
        return 0;
    blockNumber = std::clamp(blockNumber, 0, int(m_extents.size()) - 1);
    ensurePrefix(blockNumber);
    return m_firstLines[blockNumber];
}

// The first paragraph whose last line ends below y (the last paragraph when none does).
int ScriptLayout::blockAt(qreal y) const
{
    const int count = int(m_extents.size());
    if (count == 0)
        return -1;
    // Extend the running sums only as far as the search needs, so that an edit near the
    // top of a long script does not cost a pass over the whole of it.
    int known = m_validPrefix;
    while (known < count && (known == 0 || m_tops[known - 1] + m_extents[known - 1].height <= y)) {
        known = std::min(count, std::max(known * 2, known + 1024));
        ensurePrefix(known - 1);
    }
    // Bottoms grow with the paragraph number: find the first below y.
    int lo = 0;
    int hi = m_validPrefix - 1;
    while (lo < hi) {
        const int mid = lo + (hi - lo) / 2;
        if (m_tops[mid] + m_extents[mid].height > y)
            hi = mid;
        else
            lo = mid + 1;
    }
    return lo;
}

int ScriptLayout::BlockOfLine(int line, int *lineInBlock) const
{
    const int count = int(m_extents.size());
    if (count == 0 || line < 0 || line >= m_totalLines)
        return -1;
    int known = m_validPrefix;
    while (known < count && (known == 0 || m_firstLines[known - 1] + m_extents[known - 1].lines <= line)) {
        known = std::min(count, std::max(known * 2, known + 1024));
        ensurePrefix(known - 1);
    }
    const auto begin = m_firstLines.begin();
    const auto it = std::upper_bound(begin, begin + m_validPrefix, line);
    const int block = int(it - begin) - 1;
    *lineInBlock = line - m_firstLines[block];
    return block;
}

qreal ScriptLayout::LineTop(int line) const
{
    int inBlock = 0;
    const int blockNumber = BlockOfLine(line, &inBlock);
    const QTextLayout *layout = layoutOf(blockNumber);
    if (!layout)
        return 0;
    const qreal top = m_tops[blockNumber];
    return inBlock < layout->lineCount() ? top + layout->lineAt(inBlock).y() : top;
}

int ScriptLayout::LineBelow(qreal y) const
{
    const int blockNumber = blockAt(y);
    const QTextLayout *layout = layoutOf(blockNumber);
    if (!layout)
        return 0;
    const qreal top = m_tops[blockNumber];
    for (int i = 0; i < layout->lineCount(); ++i) {
        const QTextLine line = layout->lineAt(i);
        if (top + line.y() + line.height() > y)
            return m_firstLines[blockNumber] + i;
    }
    return m_firstLines[blockNumber] + std::max(0, m_extents[blockNumber].lines - 1);
}

QSizeF ScriptLayout::documentSize() const
{
    const qreal margin = document()->documentMargin();
    const qreal width = m_layoutWidth >= 0 ? std::max(m_layoutWidth, m_widest) : m_widest;
    return QSizeF(width + 2 * margin, m_totalHeight + 2 * margin);
}

QRectF ScriptLayout::blockBoundingRect(const QTextBlock &block) const
{
    if (!block.isValid() || block.document() != document() || block.blockNumber() >= int(m_extents.size()))
        return QRectF();
    const int number = block.blockNumber();
    const qreal width = m_layoutWidth >= 0 ? m_layoutWidth : m_widest;
    return QRectF(document()->documentMargin(), BlockTop(number), width, m_extents[number].height);
}

QRectF ScriptLayout::frameBoundingRect(QTextFrame *frame) const
{
    if (!frame || frame == document()->rootFrame())
        return QRectF(QPointF(0, 0), documentSize());
    const QRectF first = blockBoundingRect(frame->firstCursorPosition().block());
    const QRectF last = blockBoundingRect(frame->lastCursorPosition().block());
    return first.united(last);
}

int ScriptLayout::hitTest(const QPointF &point, Qt::HitTestAccuracy accuracy) const
{
    const int blockNumber = blockAt(point.y());
    const QTextLayout *layout = layoutOf(blockNumber);
    if (!layout)
        return -1;
    const QTextBlock block = document()->findBlockByNumber(blockNumber);
    const qreal y = point.y() - m_tops[blockNumber];
    const qreal x = point.x() - document()->documentMargin();
    if (layout->lineCount() == 0)
        return accuracy == Qt::ExactHit ? -1 : block.position();
    int i = 0;
    while (i + 1 < layout->lineCount() && layout->lineAt(i).y() + layout->lineAt(i).height() <= y)
        ++i;
    const QTextLine line = layout->lineAt(i);
    if (accuracy == Qt::ExactHit) {
        const QRectF text = line.naturalTextRect();
        if (y < line.y() || y >= line.y() + line.height() || x < text.left() || x > text.right())
            return -1;
    }
    return block.position() + line.xToCursor(x);
}

// ---- Drawing ----

void ScriptLayout::draw(QPainter *painter, const PaintContext &context)
{
    QTextDocument *doc = document();
    // Nothing is drawn from a layout that is being held back.
    if (m_extents.empty() || m_pending)
        return;
    const QRectF clip = context.clip.isValid() ? context.clip : QRectF(QPointF(0, 0), documentSize());
    int number = blockAt(clip.top());
    for (QTextBlock block = doc->findBlockByNumber(number); block.isValid(); block = block.next(), ++number) {
        const qreal top = BlockTop(number);
        if (top > clip.bottom())
            break;
        drawBlock(painter, context, block, top);
    }
}

void ScriptLayout::drawBlock(QPainter *painter, const PaintContext &context, const QTextBlock &block,
                             qreal top) const
{
    QTextLayout *layout = block.layout();
    const qreal margin = document()->documentMargin();
    const qreal height = m_extents[block.blockNumber()].height;
    const QBrush background = block.blockFormat().background();
    if (background.style() != Qt::NoBrush) {
        const qreal width = m_layoutWidth >= 0 ? m_layoutWidth : m_widest;
        painter->fillRect(QRectF(margin, top, width, height), background);
    }

    QList<QTextLayout::FormatRange> selections;
    const int start = block.position();
    const int end = start + block.length();
    for (const Selection &selection : context.selections) {
        const int from = std::max(selection.cursor.selectionStart(), start);
        const int to = std::min(selection.cursor.selectionEnd(), end);
        if (from >= to)
            continue;
        QTextLayout::FormatRange range;
        range.start = from - start;
        range.length = to - from;
        range.format = selection.format;
        selections << range;
    }

    // Positions inside a paragraph stay small: the painter carries the paragraph's place,
    // since the text layout keeps its own coordinates in fixed point.
    painter->save();
    painter->translate(margin, top);
    painter->setPen(context.palette.color(QPalette::Text));
    const QRectF localClip = context.clip.isValid() ? context.clip.translated(-margin, -top) : QRectF();
    layout->draw(painter, QPointF(0, 0), selections, localClip);
    if (block.textList())
        drawListMarker(painter, context, block);
    if (context.cursorPosition >= start && context.cursorPosition < end) {
        bool ok = false;
        int cursorWidth = property("cursorWidth").toInt(&ok);
        if (!ok)
            cursorWidth = 1;
        layout->drawCursor(painter, QPointF(0, 0), context.cursorPosition - start, cursorWidth);
    }
    painter->restore();
}

void ScriptLayout::drawListMarker(QPainter *painter, const PaintContext &context, const QTextBlock &block) const
{
    const int style = listStyleOf(block);
    const QTextLayout *layout = block.layout();
    if (style == QTextListFormat::ListStyleUndefined || layout->lineCount() == 0)
        return;
    const QFont font = markerFont(block);
    const QFontMetricsF metrics(font);
    const QTextLine line = layout->lineAt(0);
    const QRectF text = line.naturalTextRect();
    const qreal gap = metrics.horizontalAdvance(u' ');
    const qreal baseline = line.y() + line.ascent();

    QTextCharFormat format = block.charFormat();
    if (block.begin() != block.end())
        format = block.begin().fragment().charFormat();
    QBrush foreground = format.foreground();
    if (foreground.style() == Qt::NoBrush)
        foreground = context.palette.text();

    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(QPen(foreground, 0));
    if (isBullet(style)) {
        const qreal size = metrics.lineSpacing() / 3;
        const QRectF r(text.left() - gap - size, baseline - metrics.ascent() + (metrics.height() - size) / 2, size,
                       size);
        if (style == QTextListFormat::ListDisc) {
            painter->setBrush(foreground);
            painter->drawEllipse(r);
        } else if (style == QTextListFormat::ListCircle) {
            painter->drawEllipse(r);
        } else {
            painter->fillRect(r, foreground);
        }
    } else {
        const QString label = block.textList()->itemText(block);
        painter->setFont(font);
        painter->drawText(QPointF(text.left() - gap - metrics.horizontalAdvance(label), baseline), label);
    }
    painter->restore();
}
