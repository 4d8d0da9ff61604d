#include "controls/ScriptLayout.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPalette>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextLayout>
#include <QTextList>
#include <QTimer>
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

ScriptLayout::ScriptLayout(QTextDocument *document) : QAbstractTextDocumentLayout(document), m_settle(new QTimer(this))
{
    m_settle->setSingleShot(true);
    m_settle->setInterval(0);
    connect(m_settle, &QTimer::timeout, this, &ScriptLayout::settlePieces);
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
        const qreal marker
            = isBullet(style) ? metrics.lineSpacing() / 3 : metrics.horizontalAdvance(list->itemText(block));
        unit = std::max(unit, marker + 2 * metrics.horizontalAdvance(u' '));
    }
    return levels * unit;
}

ScriptLayout::Setup ScriptLayout::setupOf(const QTextBlock &block) const
{
    Setup setup;
    setup.format = block.blockFormat();
    const QTextBlockFormat &format = setup.format;
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
    setup.option = option;

    const qreal indent = indentOf(block);
    setup.left = format.leftMargin() + (direction == Qt::RightToLeft ? 0 : indent);
    setup.right = width < 0 ? -1 : width - format.rightMargin() - (direction == Qt::RightToLeft ? indent : 0);
    return setup;
}

qreal ScriptLayout::setLines(QTextLayout *layout, const Setup &setup, bool firstOfParagraph)
{
    const QTextBlockFormat &format = setup.format;
    const bool rightToLeft = setup.option.textDirection() == Qt::RightToLeft;
    qreal y = 0;
    layout->beginLayout();
    for (bool first = firstOfParagraph;; first = false) {
        QTextLine line = layout->createLine();
        if (!line.isValid())
            break;
        line.setLeadingIncluded(true);
        qreal lineLeft = setup.left;
        qreal lineRight = setup.right < 0 ? setup.left + UnboundedWidth : setup.right;
        if (first) {
            if (rightToLeft)
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
    return y;
}

bool ScriptLayout::wantsPieces(const QTextBlock &block) const
{
    // An unwrapped paragraph is one line, which pieces cannot split.
    return block.length() > m_piecedParagraph && availableWidth() >= 0 && !block.blockFormat().nonBreakableLines()
        && document()->defaultTextOption().wrapMode() != QTextOption::NoWrap
        && document()->defaultTextOption().wrapMode() != QTextOption::ManualWrap;
}

ScriptLayout::Extent ScriptLayout::layOutBlock(const QTextBlock &block, const Extent *old, int from, int removed,
                                               int added)
{
    const Setup setup = setupOf(block);
    Extent extent;
    extent.top = setup.format.topMargin();
    extent.bottom = setup.format.bottomMargin();
    if (wantsPieces(block)) {
        // Qt's own cursor code reads the block's layout: no lines there is better than
        // lines of an older text.
        block.layout()->clearLayout();
        extent.pieces
            = layOutPieces(block, setup, old && old->pieces ? old->pieces.get() : nullptr, from, removed, added);
        const Piece &last = extent.pieces->pieces.back();
        extent.height = last.top + last.height;
        extent.lines = std::max(1, extent.pieces->firstLines.back() + last.lines);
        return extent;
    }
    QTextLayout *layout = block.layout();
    layout->setTextOption(setup.option);
    layout->setCacheEnabled(block.length() > LongParagraph);
    extent.height = setLines(layout, setup, true);
    extent.lines = std::max(1, layout->lineCount());
    return extent;
}

std::shared_ptr<QTextLayout> ScriptLayout::layOutSlice(const QTextBlock &block, const Setup &setup, int from, int to,
                                                       qreal *height)
{
    // Not through a cursor: placing one works out the paragraph's own layout, all of it.
    QString text;
    text.reserve(to - from);
    QList<QTextLayout::FormatRange> formats;
    for (QTextBlock::iterator it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment fragment = it.fragment();
        const int start = fragment.position() - block.position();
        const int end = start + fragment.length();
        if (end <= from)
            continue;
        if (start >= to)
            break;
        const int first = std::max(start, from);
        const int last = std::min(end, to);
        if (fragment.length() <= 2 * (last - first)) {
            text += QStringView(fragment.text()).mid(first - start, last - first);
        } else {
            // A fragment much longer than the slice is read a character at a time.
            const QTextDocument *doc = document();
            for (int i = first; i < last; ++i)
                text += doc->characterAt(block.position() + i);
        }
        QTextLayout::FormatRange range;
        range.start = first - from;
        range.length = last - first;
        range.format = fragment.charFormat();
        formats << range;
    }
    QFont font = document()->defaultFont();
    if (paintDevice())
        font = QFont(font, paintDevice());
    auto layout = std::make_shared<QTextLayout>(text, font, paintDevice());
    layout->setFormats(formats);
    layout->setTextOption(setup.option);
    layout->setCacheEnabled(false);
    *height = setLines(layout.get(), setup, from == 0);
    return layout;
}

namespace {

// The last line of the first `count` of a layout that starts at or before a position.
int lineAtOffset(const QTextLayout &layout, int count, int offset)
{
    int lo = 0;
    int hi = std::min(count, layout.lineCount()) - 1;
    while (lo < hi) {
        const int mid = lo + (hi - lo + 1) / 2;
        if (layout.lineAt(mid).textStart() <= offset)
            lo = mid;
        else
            hi = mid - 1;
    }
    return std::max(0, lo);
}

}

std::shared_ptr<ScriptLayout::Pieces> ScriptLayout::layOutPieces(const QTextBlock &block, const Setup &setup,
                                                                 const Pieces *old, int from, int removed, int added)
{
    const int length = block.length() - 1;
    const int delta = added - removed;
    auto result = std::make_shared<Pieces>();
    std::vector<Piece> &out = result->pieces;
    int pos = 0;
    std::size_t next = 0; // the old piece whose start may come back in step
    if (old && !old->pieces.empty()) {
        // Lines before the edited one stay; the one before it may take up a shortened word,
        // so laying out starts at the piece holding that line.
        const int k = old->pieceOf(from);
        const Piece &piece = old->pieces[k];
        const int line = lineAtOffset(*piece.layout, piece.lines, from - piece.start);
        const int restart = line == 0 && k > 0 ? k - 1 : k;
        out.assign(old->pieces.begin(), old->pieces.begin() + restart);
        pos = old->pieces[restart].start;
        next = restart + 1;
    } else {
        old = nullptr;
    }
    // An edit lays out this much at most before it cuts at an old piece's start.
    const int budget = old ? pos + 3 * m_pieceCharacters + std::max(added, 0) + (from - pos) : length;
    for (int size = m_pieceCharacters;;) {
        int target = -1;
        if (old) {
            while (next < old->pieces.size()
                   && (old->pieces[next].start < from + removed || old->pieces[next].start + delta <= pos))
                ++next;
            if (next < old->pieces.size())
                target = old->pieces[next].start + delta;
        }
        int end = pos + size;
        const bool near = target > pos && target - pos <= 2 * size;
        const bool forced = near && pos >= budget;
        if (forced)
            end = target;
        else if (near)
            end = target + size / 4;
        end = std::min(end, length);
        qreal height = 0;
        Piece piece;
        piece.start = pos;
        piece.layout = layOutSlice(block, setup, pos, end, &height);
        const QTextLayout &layout = *piece.layout;
        piece.lines = layout.lineCount();
        piece.height = height;
        if (end >= length) {
            out.push_back(piece);
            break;
        }
        if (forced) {
            piece.forcedEnd = true;
            out.push_back(piece);
            for (std::size_t i = next; i < old->pieces.size(); ++i) {
                out.push_back(old->pieces[i]);
                out.back().start += delta;
            }
            break;
        }
        // A line is kept only when the slice runs on well past its end: the last lines of
        // a slice were broken without the text that follows them.
        int longest = 0;
        for (int i = 0; i < layout.lineCount(); ++i)
            longest = std::max(longest, layout.lineAt(i).textLength());
        const int margin = std::max(size / 8, 2 * longest);
        int cut = -1;
        bool inStep = false;
        if (target > pos && target <= end - margin) {
            const int i = lineAtOffset(layout, layout.lineCount(), target - pos);
            if (i > 0 && pos + layout.lineAt(i).textStart() == target) {
                cut = i;
                inStep = true;
            }
        }
        if (cut < 0) {
            const int i = lineAtOffset(layout, layout.lineCount(), end - margin - pos);
            if (i > 0)
                cut = i;
        }
        if (cut < 0) {
            // Not one line ends well inside the slice: take a longer one.
            size *= 2;
            continue;
        }
        piece.lines = cut;
        piece.height = layout.lineAt(cut).y();
        out.push_back(piece);
        if (inStep) {
            for (std::size_t i = next; i < old->pieces.size(); ++i) {
                out.push_back(old->pieces[i]);
                out.back().start += delta;
            }
            break;
        }
        pos += layout.lineAt(cut).textStart();
        size = m_pieceCharacters;
    }
    result->firstLines.resize(out.size());
    qreal top = 0;
    int lines = 0;
    for (std::size_t i = 0; i < out.size(); ++i) {
        out[i].top = top;
        result->firstLines[i] = lines;
        top += out[i].height;
        lines += out[i].lines;
    }
    return result;
}

int ScriptLayout::Pieces::pieceOf(int offset) const
{
    const auto it = std::upper_bound(pieces.begin(), pieces.end(), offset,
                                     [](int value, const Piece &piece) { return value < piece.start; });
    return std::max(0, int(it - pieces.begin()) - 1);
}

int ScriptLayout::Pieces::firstForced() const
{
    for (std::size_t i = 0; i < pieces.size(); ++i)
        if (pieces[i].forcedEnd)
            return int(i);
    return -1;
}

const ScriptLayout::Pieces *ScriptLayout::piecesOf(int blockNumber) const
{
    return blockNumber >= 0 && blockNumber < int(m_extents.size()) ? m_extents[blockNumber].pieces.get() : nullptr;
}

std::vector<int> ScriptLayout::PieceStarts(int blockNumber) const
{
    std::vector<int> starts;
    if (const Pieces *pieces = piecesOf(blockNumber))
        for (const Piece &piece : pieces->pieces)
            starts.push_back(piece.start);
    return starts;
}

bool ScriptLayout::Settled() const
{
    return !m_settle->isActive();
}

void ScriptLayout::settlePieces()
{
    if (m_suspended || m_pending)
        return;
    for (int n = 0; n < int(m_extents.size()); ++n) {
        const Pieces *pieces = m_extents[n].pieces.get();
        const int forced = pieces ? pieces->firstForced() : -1;
        if (forced < 0)
            continue;
        const QSizeF oldSize = documentSize();
        const QTextBlock block = document()->findBlockByNumber(n);
        const Extent old = m_extents[n];
        const Extent fresh = layOutBlock(block, &old, pieces->pieces[forced + 1].start, 0, 0);
        m_totalLines += fresh.lines - old.lines;
        m_totalHeight += fresh.height - old.height;
        m_piecedCount += (fresh.pieces != nullptr) - 1;
        m_extents[n] = fresh;
        m_validPrefix = std::min(m_validPrefix, n + 1);
        if (fresh.pieces && fresh.pieces->firstForced() >= 0)
            m_settle->start();
        Q_EMIT update(QRectF(0, BlockTop(n) + old.pieces->pieces[forced].top, qreal(1e9), qreal(1e18)));
        if (documentSize() != oldSize)
            Q_EMIT documentSizeChanged(documentSize());
        return;
    }
}

int ScriptLayout::Pieces::pieceOfLine(int line) const
{
    const auto it = std::upper_bound(firstLines.begin(), firstLines.end(), line);
    return std::max(0, int(it - firstLines.begin()) - 1);
}

int ScriptLayout::Pieces::pieceAt(qreal y) const
{
    const auto it = std::upper_bound(pieces.begin(), pieces.end(), y,
                                     [](qreal value, const Piece &piece) { return value < piece.top + piece.height; });
    return std::min(int(it - pieces.begin()), int(pieces.size()) - 1);
}

void ScriptLayout::SetPieceSizes(int piecedParagraph, int pieceCharacters)
{
    m_piecedParagraph = piecedParagraph;
    m_pieceCharacters = std::max(pieceCharacters, 16);
    relayoutAll();
    Q_EMIT update();
    Q_EMIT documentSizeChanged(documentSize());
}

bool ScriptLayout::Inputs::operator==(const Inputs &other) const
{
    return characters == other.characters && font == other.font && option.alignment() == other.option.alignment()
        && option.wrapMode() == other.option.wrapMode() && option.flags() == other.option.flags()
        && option.textDirection() == other.option.textDirection()
        && option.tabStopDistance() == other.option.tabStopDistance() && indentWidth == other.indentWidth
        && margin == other.margin;
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
    m_piecedCount = 0;
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
        m_extents.push_back(layOutBlock(b));
        m_piecedCount += m_extents.back().pieces != nullptr;
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

    const bool inOnePieced = changed == 1 && replaced == 1 && oldCount == newCount && m_extents[firstNumber].pieces;
    if (oldCount == 0 || availableWidth() != m_layoutWidth || replaced < 1 || firstNumber + replaced > oldCount
        || (changed == newCount && !inOnePieced)) {
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
        // An edit inside one paragraph laid out in pieces lays out again only around it.
        const Extent *old = changed == 1 && replaced == 1 ? &m_extents[firstNumber] : nullptr;
        for (QTextBlock b = first; fresh.size() < std::size_t(changed); b = b.next()) {
            fresh.push_back(layOutBlock(b, old, from - b.position(), charsRemoved, charsAdded));
            m_piecedCount += fresh.back().pieces != nullptr;
            if (fresh.back().pieces && fresh.back().pieces->firstForced() >= 0)
                m_settle->start();
        }
        for (int i = firstNumber; i < firstNumber + replaced; ++i)
            m_piecedCount -= m_extents[i].pieces != nullptr;
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
    const PlacedLine placedLine = placed(blockNumber, inBlock);
    if (!placedLine.layout)
        return 0;
    return placedLine.isValid() ? placedLine.origin.y() + placedLine.line.y() : placedLine.origin.y();
}

int ScriptLayout::LineBelow(qreal y) const
{
    const int blockNumber = blockAt(y);
    const QTextLayout *layout = layoutOf(blockNumber);
    if (!layout)
        return 0;
    qreal top = m_tops[blockNumber];
    int first = m_firstLines[blockNumber];
    int count = layout->lineCount();
    if (const Pieces *pieces = m_extents[blockNumber].pieces.get()) {
        const int k = pieces->pieceAt(y - top);
        layout = pieces->pieces[k].layout.get();
        top += pieces->pieces[k].top;
        first += pieces->firstLines[k];
        count = pieces->pieces[k].lines;
    }
    for (int i = 0; i < count; ++i) {
        const QTextLine line = layout->lineAt(i);
        if (top + line.y() + line.height() > y)
            return first + i;
    }
    return m_firstLines[blockNumber] + std::max(0, m_extents[blockNumber].lines - 1);
}

ScriptLayout::PlacedLine ScriptLayout::placed(int blockNumber, int lineInBlock) const
{
    PlacedLine result;
    const QTextLayout *layout = layoutOf(blockNumber);
    if (!layout)
        return result;
    result.blockNumber = blockNumber;
    result.blockPosition = document()->findBlockByNumber(blockNumber).position();
    result.origin = QPointF(document()->documentMargin(), BlockTop(blockNumber));
    result.displayLine = FirstLineOf(blockNumber) + lineInBlock;
    int count = layout->lineCount();
    if (const Pieces *pieces = m_extents[blockNumber].pieces.get()) {
        const int k = pieces->pieceOfLine(lineInBlock);
        const Piece &piece = pieces->pieces[k];
        layout = piece.layout.get();
        result.offset = piece.start;
        result.origin.ry() += piece.top;
        lineInBlock -= pieces->firstLines[k];
        count = piece.lines;
        result.lastOfBlock = std::size_t(k) + 1 == pieces->pieces.size() && lineInBlock + 1 >= count;
    } else {
        result.lastOfBlock = lineInBlock + 1 >= count;
    }
    result.layout = layout;
    if (lineInBlock >= 0 && lineInBlock < count)
        result.line = layout->lineAt(lineInBlock);
    return result;
}

ScriptLayout::PlacedLine ScriptLayout::DisplayLine(int line) const
{
    int inBlock = 0;
    const int blockNumber = BlockOfLine(line, &inBlock);
    return placed(blockNumber, inBlock);
}

ScriptLayout::PlacedLine ScriptLayout::LineOfPosition(int position) const
{
    if (m_pending || m_extents.empty())
        return {};
    const QTextBlock block = document()->findBlock(std::clamp(position, 0, document()->characterCount() - 1));
    if (!block.isValid() || block.blockNumber() >= int(m_extents.size()))
        return {};
    const int offset = position - block.position();
    int line = 0;
    if (const Pieces *pieces = m_extents[block.blockNumber()].pieces.get()) {
        const int k = pieces->pieceOf(offset);
        const Piece &piece = pieces->pieces[k];
        line = pieces->firstLines[k] + lineAtOffset(*piece.layout, piece.lines, offset - piece.start);
    } else {
        // By halving: the stock search walks every line.
        line = lineAtOffset(*block.layout(), block.layout()->lineCount(), offset);
    }
    return placed(block.blockNumber(), line);
}

bool ScriptLayout::InPieces(int position) const
{
    if (m_piecedCount == 0 || m_pending)
        return false;
    return piecesOf(document()->findBlock(position).blockNumber()) != nullptr;
}

int ScriptLayout::NextCursorPosition(int position, QTextLayout::CursorMode mode) const
{
    const QTextBlock block = document()->findBlock(position);
    const Pieces *pieces = piecesOf(block.blockNumber());
    const int offset = position - block.position();
    if (!pieces || offset >= block.length() - 1)
        return std::min(position + 1, document()->characterCount() - 1);
    const Piece &piece = pieces->pieces[pieces->pieceOf(offset)];
    return block.position() + piece.start + piece.layout->nextCursorPosition(offset - piece.start, mode);
}

int ScriptLayout::PreviousCursorPosition(int position, QTextLayout::CursorMode mode) const
{
    const QTextBlock block = document()->findBlock(position);
    const Pieces *pieces = piecesOf(block.blockNumber());
    const int offset = position - block.position();
    if (!pieces || offset <= 0)
        return std::max(position - 1, 0);
    // The piece before a piece's start holds the characters before it.
    const Piece &piece = pieces->pieces[pieces->pieceOf(offset - 1)];
    return block.position() + piece.start + piece.layout->previousCursorPosition(offset - piece.start, mode);
}

QRectF ScriptLayout::PlacedLine::caretRect(int position, int width) const
{
    if (!isValid())
        return QRectF(origin, QSizeF(width, 10));
    const qreal x = line.cursorToX(position - blockPosition - offset);
    return QRectF(origin.x() + x, origin.y() + line.y(), width, line.height());
}

int ScriptLayout::PlacedLine::positionAt(qreal documentX) const
{
    if (!isValid())
        return blockPosition + offset;
    return blockPosition + offset + line.xToCursor(documentX - origin.x());
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
    qreal y = point.y() - m_tops[blockNumber];
    const qreal x = point.x() - document()->documentMargin();
    int position = block.position();
    int count = layout->lineCount();
    if (const Pieces *pieces = m_extents[blockNumber].pieces.get()) {
        const Piece &piece = pieces->pieces[pieces->pieceAt(y)];
        layout = piece.layout.get();
        y -= piece.top;
        position += piece.start;
        count = piece.lines;
    }
    if (count == 0)
        return accuracy == Qt::ExactHit ? -1 : block.position();
    int i = 0;
    while (i + 1 < count && layout->lineAt(i).y() + layout->lineAt(i).height() <= y)
        ++i;
    const QTextLine line = layout->lineAt(i);
    if (accuracy == Qt::ExactHit) {
        const QRectF text = line.naturalTextRect();
        if (y < line.y() || y >= line.y() + line.height() || x < text.left() || x > text.right())
            return -1;
    }
    return position + line.xToCursor(x);
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

void ScriptLayout::drawBlock(QPainter *painter, const PaintContext &context, const QTextBlock &block, qreal top) const
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
    if (const Pieces *pieces = m_extents[block.blockNumber()].pieces.get()) {
        drawPieces(painter, context, block, selections, *pieces);
        if (block.textList())
            drawListMarker(painter, context, block);
        painter->restore();
        return;
    }
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

// The painter stands at the paragraph's place.
void ScriptLayout::drawPieces(QPainter *painter, const PaintContext &context, const QTextBlock &block,
                              const QList<QTextLayout::FormatRange> &selections, const Pieces &pieces) const
{
    const qreal margin = document()->documentMargin();
    const qreal top = BlockTop(block.blockNumber());
    const QRectF clip = context.clip.isValid() ? context.clip.translated(-margin, -top)
                                               : QRectF(0, 0, qreal(1e9), m_extents[block.blockNumber()].height);
    const int cursor = context.cursorPosition - block.position();
    for (std::size_t k = pieces.pieceAt(clip.top()); k < pieces.pieces.size(); ++k) {
        const Piece &piece = pieces.pieces[k];
        if (piece.top > clip.bottom())
            break;
        const int end = k + 1 < pieces.pieces.size() ? pieces.pieces[k + 1].start : block.length();
        QList<QTextLayout::FormatRange> local;
        // A selection running on past either end of the piece is given as running past
        // the piece's text too: the text layout fills a line whole only when the selection
        // neither starts nor ends on it.
        const int textLength = int(piece.layout->text().size());
        for (const QTextLayout::FormatRange &range : selections) {
            if (range.start >= end || range.start + range.length <= piece.start)
                continue;
            const int from = std::max(range.start - piece.start, -1);
            const int to = std::min(range.start + range.length - piece.start, textLength + 1);
            local << QTextLayout::FormatRange{from, to - from, range.format};
        }
        painter->save();
        painter->translate(0, piece.top);
        // The piece's layout runs on into the next piece: draw only its own lines.
        const QRectF own
            = clip.translated(0, -piece.top).intersected(QRectF(clip.left(), 0, clip.width(), piece.height));
        painter->setClipRect(own, Qt::IntersectClip);
        piece.layout->draw(painter, QPointF(0, 0), local, own.adjusted(0, 0, 0, -0.5));
        if (cursor >= piece.start && cursor < end) {
            bool ok = false;
            int cursorWidth = property("cursorWidth").toInt(&ok);
            if (!ok)
                cursorWidth = 1;
            piece.layout->drawCursor(painter, QPointF(0, 0), cursor - piece.start, cursorWidth);
        }
        painter->restore();
    }
}

void ScriptLayout::drawListMarker(QPainter *painter, const PaintContext &context, const QTextBlock &block) const
{
    const int style = listStyleOf(block);
    const Pieces *pieces = m_extents[block.blockNumber()].pieces.get();
    const QTextLayout *layout = pieces ? pieces->pieces.front().layout.get() : block.layout();
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
