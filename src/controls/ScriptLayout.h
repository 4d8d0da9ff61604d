#pragma once

#include <QAbstractTextDocumentLayout>
#include <QFont>
#include <QTextOption>

#include <vector>

class QTextBlock;
class QTextLayout;

// The document layout of every text view. Each paragraph is laid out on its own, with
// line positions relative to the paragraph; paragraphs are stacked with floating-point
// offsets. A script of any length therefore lays out in one pass and stays addressable
// by pixel (the stock layout keeps positions in 26.6 fixed point and stops making
// progress past a few million pixels). It also keeps the display-line numbering the
// prompter works with: every line of a wrapped paragraph counts as one line.
//
// What scripts hold is supported: character formats, alignment, margins and indents,
// first-line indents, block backgrounds and list markers. Tables and floating frames
// are laid out as the plain sequence of their paragraphs.
class ScriptLayout : public QAbstractTextDocumentLayout
{
    Q_OBJECT

public:
    explicit ScriptLayout(QTextDocument *document);

    void draw(QPainter *painter, const PaintContext &context) override;
    int hitTest(const QPointF &point, Qt::HitTestAccuracy accuracy) const override;
    int pageCount() const override { return 1; }
    QSizeF documentSize() const override;
    QRectF frameBoundingRect(QTextFrame *frame) const override;
    QRectF blockBoundingRect(const QTextBlock &block) const override;

    // Display lines
    int LineCount() const { return m_totalLines; }
    // The first display line of a paragraph.
    int FirstLineOf(int blockNumber) const;
    // The paragraph holding a display line, and the line's index within it.
    int BlockOfLine(int line, int *lineInBlock) const;
    // Top of a display line in document pixels.
    qreal LineTop(int line) const;
    // The first display line whose bottom lies below y.
    int LineBelow(qreal y) const;
    // Top of a paragraph's first line in document pixels.
    qreal BlockTop(int blockNumber) const;

    // While suspended, changes are only noted; resuming lays the document out once.
    // Loading a script and then giving it one face and size costs one layout, not three.
    void Suspend();
    void Resume();

protected:
    void documentChanged(int from, int charsRemoved, int charsAdded) override;

private:
    struct Extent
    {
        qreal top = 0;     // space above the first line (the paragraph's top margin)
        qreal height = 0;  // the lines
        qreal bottom = 0;  // space below the last line
        int lines = 1;
    };

    Extent layOutBlock(const QTextBlock &block);
    qreal availableWidth() const;
    qreal indentOf(const QTextBlock &block) const;
    void relayoutAll();
    void ensurePrefix(int blockNumber) const;
    qreal advanceBefore(int blockNumber) const;
    int blockAt(qreal y) const;
    const QTextLayout *layoutOf(int blockNumber) const;
    void drawBlock(QPainter *painter, const PaintContext &context, const QTextBlock &block, qreal top) const;
    void drawListMarker(QPainter *painter, const PaintContext &context, const QTextBlock &block) const;
    QFont markerFont(const QTextBlock &block) const;

    // Per paragraph, by block number.
    std::vector<Extent> m_extents;
    // Running sums up to each paragraph, valid below m_validPrefix.
    mutable std::vector<qreal> m_tops;
    mutable std::vector<int> m_firstLines;
    mutable int m_validPrefix = 0;

    qreal m_totalHeight = 0;
    int m_totalLines = 0;
    qreal m_widest = 0;
    qreal m_layoutWidth = -1;

    // What the whole layout was made with: a change notice for the whole document that
    // changes none of these (the view setting the same width again) costs nothing.
    struct Inputs
    {
        int characters = -1;
        QFont font;
        QTextOption option;
        qreal indentWidth = 0;
        qreal margin = 0;
        bool operator==(const Inputs &other) const;
    };
    Inputs currentInputs() const;
    Inputs m_inputs;
    int m_suspended = 0;
    bool m_pending = false;
};
