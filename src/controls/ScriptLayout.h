#pragma once

#include <QAbstractTextDocumentLayout>
#include <QFont>
#include <QTextLayout>
#include <QTextOption>

#include <memory>
#include <vector>

class QTextBlock;
class QTimer;

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
//
// A wrapped paragraph longer than PiecedParagraph characters is laid out in pieces of
// about PieceCharacters, each its own text layout over a slice of the paragraph, cut at
// line starts so that the lines are those of the whole paragraph. An edit lays out again
// only from the piece it falls in until the lines fall back in step with the old ones:
// a key in a paragraph of megabytes costs a piece, not the paragraph. The paragraph's own
// block layout then holds no lines; read lines through PlacedLine, never block.layout().
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

    // A line as laid out, wherever it is held. Positions inside `layout` are relative to
    // `offset`, the paragraph position of the layout's first character; the layout's
    // origin is at `origin` in document pixels.
    struct PlacedLine
    {
        const QTextLayout *layout = nullptr;
        QTextLine line;
        int blockNumber = -1;
        int blockPosition = 0;
        int offset = 0;
        QPointF origin;
        int displayLine = -1;
        bool lastOfBlock = true;
        bool isValid() const { return line.isValid(); }
        // Document positions of the line's first character and just past its last.
        int start() const { return blockPosition + offset + line.textStart(); }
        int end() const { return start() + line.textLength(); }
        // The caret at a document position on this line, in document pixels.
        QRectF caretRect(int position, int width = 1) const;
        int positionAt(qreal documentX) const;
    };
    PlacedLine DisplayLine(int line) const;
    // The line holding a document position (at a line start, the line that starts there).
    PlacedLine LineOfPosition(int position) const;
    // Whether the paragraph at a position is laid out in pieces; whether any is.
    bool InPieces(int position) const;
    bool HasPieces() const { return m_piecedCount > 0; }
    // Whether every paragraph laid out in pieces has its final lines (an edit lays out a
    // few pieces at once and leaves the rest to the event loop).
    bool Settled() const;
    // The next and previous caret stops of a paragraph laid out in pieces, read from the
    // piece around the position (the paragraph's own layout would take in all of it).
    int NextCursorPosition(int position, QTextLayout::CursorMode mode) const;
    int PreviousCursorPosition(int position, QTextLayout::CursorMode mode) const;

    static constexpr int PiecedParagraph = 100000;
    static constexpr int PieceCharacters = 20000;
    // Smaller sizes let the pieces be tried on small texts; the document is laid out again.
    void SetPieceSizes(int piecedParagraph, int pieceCharacters);
    // Paragraph positions where a paragraph's pieces start; none when it is laid out whole.
    std::vector<int> PieceStarts(int blockNumber) const;

    // While suspended, changes are only noted; resuming lays the document out once.
    // Loading a script and then giving it one face and size costs one layout, not three.
    void Suspend();
    void Resume();

protected:
    void documentChanged(int from, int charsRemoved, int charsAdded) override;

private:
    struct Piece
    {
        int start = 0; // paragraph position of the piece's first character, a line start
        int lines = 0; // the piece's lines; its layout goes on past them, into the next piece
        qreal top = 0; // of the first line, from the paragraph's first line
        qreal height = 0;
        std::shared_ptr<QTextLayout> layout;
        // The last line was cut where the next piece starts, not where the text breaks:
        // an edit's relayout stopped there, and the lines after it settle from the event loop.
        bool forcedEnd = false;
    };
    struct Pieces
    {
        std::vector<Piece> pieces;
        std::vector<int> firstLines; // of each piece within the paragraph
        int pieceOf(int offset) const;
        int pieceOfLine(int line) const;
        int pieceAt(qreal y) const;
        int firstForced() const;
    };
    struct Extent
    {
        qreal top = 0; // space above the first line (the paragraph's top margin)
        qreal height = 0; // the lines
        qreal bottom = 0; // space below the last line
        int lines = 1;
        std::shared_ptr<Pieces> pieces; // set when the paragraph is laid out in pieces
    };
    // How a paragraph's lines are set: the same for the whole layout and for pieces.
    struct Setup
    {
        QTextOption option;
        qreal left = 0;
        qreal right = -1;
        QTextBlockFormat format;
    };

    Setup setupOf(const QTextBlock &block) const;
    qreal setLines(QTextLayout *layout, const Setup &setup, bool firstOfParagraph);
    Extent layOutBlock(const QTextBlock &block, const Extent *old = nullptr, int from = 0, int removed = 0,
                       int added = 0);
    bool wantsPieces(const QTextBlock &block) const;
    std::shared_ptr<QTextLayout> layOutSlice(const QTextBlock &block, const Setup &setup, int from, int to,
                                             qreal *height);
    // The pieces of a paragraph, or null for one laid out whole or out of range.
    const Pieces *piecesOf(int blockNumber) const;
    std::shared_ptr<Pieces> layOutPieces(const QTextBlock &block, const Setup &setup, const Pieces *old, int from,
                                         int removed, int added);
    void settlePieces();
    PlacedLine placed(int blockNumber, int lineInBlock) const;
    void drawPieces(QPainter *painter, const PaintContext &context, const QTextBlock &block,
                    const QList<QTextLayout::FormatRange> &selections, const Pieces &pieces) const;
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
    int m_piecedCount = 0;
    QTimer *m_settle = nullptr;
    int m_piecedParagraph = PiecedParagraph;
    int m_pieceCharacters = PieceCharacters;
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
