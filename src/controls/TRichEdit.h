#pragma once

#include "core/Limits.h"

#include <QColor>
#include <QPixmap>
#include <QRegion>
#include <QTextEdit>

#include <functional>

class QMimeData;
class ScriptLayout;

// Character attributes as the editor reports them for the selection (or the typing
// format when nothing is selected). Colours are 0x00BBGGRR; a negative colour means
// the text has no colour of its own.
struct TextAttributes
{
    enum Consistent : unsigned {
        caFace = 1,
        caSize = 2,
        caColor = 4,
        caBold = 8,
        caItalic = 16,
        caUnderline = 32,
        caAll = caFace | caSize | caColor | caBold | caItalic | caUnderline
    };

    QString Name;
    double Size = 0;
    qint32 Color = 0;
    bool Bold = false;
    bool Italic = false;
    bool Underline = false;
    unsigned ConsistentAttributes = caAll;
};

// The rich-text control every text view is built on: a QTextEdit with the operations
// the program needs, line numbering over display lines (a wrapped paragraph counts one
// line per screen row), and key notifications that can swallow a key.
class TRichEdit : public QTextEdit
{
    Q_OBJECT

public:
    static constexpr int MaxLength = int(MaxScriptCharacters);
    // The limit this control keeps (MaxLength; tests set smaller ones).
    qsizetype MaxCharacters = MaxLength;

    explicit TRichEdit(QWidget *parent = nullptr);

    // Content
    bool PlainText = false;
    // True when the file was read as rich text; notice, if given, receives what a damaged
    // file says may be missing (see ScriptDocumentIO::load).
    bool LoadFromFile(const QString &path, QString *notice = nullptr);
    void SaveToFile(const QString &path) const;
    void Clear();
    void AppendLine(const QString &line);
    QString Text() const;
    QString LineText(int line) const;
    void SetLineText(int line, const QString &text);
    // Puts the caret at the start of a display line and types text there; nothing
    // when the line does not exist.
    void InsertAtLineStart(int line, const QString &text);

    // Selection (0-based positions)
    int SelStart() const;
    int SelLength() const;
    void SetSelStart(int position);
    void SetSelLength(int length);
    void SetSelection(int start, int length);
    void SelectAll();
    // Length 0 at the selection's start, without scrolling the view.
    void CollapseSelection();
    QString SelText() const;
    // Throws CorvantaError, changing nothing, when the script would grow past MaxLength.
    void SetSelText(const QString &text);
    void EnsureRoomFor(qsizetype added, qsizetype removed = 0) const;

    // Character format of the selection
    TextAttributes SelAttributes() const;
    // Attributes of the character at a position, and of a format within this document.
    TextAttributes AttributesAt(int position) const;
    TextAttributes AttributesOf(const QTextCharFormat &format) const;
    void SetSelFontName(const QString &name);
    void SetSelSize(double points);
    void SetSelColor(qint32 bgr);
    void SetSelBold(bool on);
    void SetSelItalic(bool on);
    void SetSelUnderline(bool on);
    void SetSelStyle(bool bold, bool italic, bool underline);
    void SetBaseFont(const QString &name, double points, qint32 bgr);
    qint32 BackgroundColor() const;
    void SetBackgroundColor(qint32 bgr);

    // Paragraph format of the selected paragraphs
    Qt::Alignment ParagraphAlignment() const;
    void SetParagraphAlignment(Qt::Alignment alignment);
    bool Bullets() const;
    void SetBullets(bool on);
    double RightIndent() const;
    void SetRightIndent(double points);

    // Line messages over display lines
    int GetLineCount() const;
    int LineIndex(int line) const;
    int LineFromChar(int position) const;
    int GetFirstVisibleLine() const;
    // The display line at the script's y (layout pixels): the first of which more than half
    // a pixel shows below y, as for the first visible line.
    int LineAt(int y) const;
    void LineScroll(int lines);
    int LineTop(int line) const;

    // Holds the layout back while on (as many times off as on); the document is laid out
    // once when the last hold ends. Nothing may ask for lines or positions meanwhile.
    void HoldLayout(bool on);

    // Control
    bool Modified() const;
    void SetModified(bool modified);
    void SetWordWrap(bool on);
    // Wraps the text at a fixed width in pixels, whatever the control's own width; 0 wraps
    // at the control's width again.
    void SetWrapWidth(int pixels);
    // While on, the visible text is drawn once into a picture and repainted from it, so
    // that moving the control costs no text drawing (prompting moves it every step).
    void SetPaintCache(bool on);
    void SetScrollBar(bool on);

    // Whether the data holds anything the control can paste (text, HTML or RTF).
    static bool CanPaste(const QMimeData *source);

    // Colour conversions between 0x00BBGGRR and QColor
    static QColor ToQColor(qint32 bgr);
    static qint32 FromQColor(const QColor &color);

    // Notifications. Setting the key (or character) to 0 makes the control ignore it.
    std::function<void(int &key, Qt::KeyboardModifiers shift)> OnKeyDown;
    std::function<void(QChar &key)> OnKeyPress;
    std::function<void()> OnSelectionChange;
    // Set: a local file dragged onto the control is handed here instead of its name
    // being dropped into the text.
    std::function<void(const QString &path)> OnFileDropped;
    // The local file a drag carries, or empty.
    static QString DroppedFile(const QMimeData *mime);
    std::function<void(const QRect &rect)> OnResizeRequest;
    // The size the text takes, laid out now (what OnResizeRequest reports).
    QSize ContentSize() const;
    // Consulted on shortcut overrides: true keeps every key for this control,
    // so window shortcuts do not act (used while prompting).
    std::function<bool()> KeepAllKeys;

    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;
    using QTextEdit::inputMethodQuery;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    QMimeData *createMimeDataFromSelection() const override;
    bool canInsertFromMimeData(const QMimeData *source) const override;
    void insertFromMimeData(const QMimeData *source) override;

private Q_SLOTS:
    void scrollToCaretInPieces(const QRectF &requested);
    void repaintCaretInPieces();

private:
    const ScriptLayout &layout() const;
    void ensureLayout() const;
    // Caret moves and deletions in a paragraph laid out in pieces, whose own block layout
    // holds no lines for Qt's cursor code to move over; false for keys left to Qt.
    bool moveInPieces(QKeyEvent *event);
    // Typing and Backspace in such a paragraph, done so that Qt's text control does not
    // measure the whole paragraph for the caret afterwards.
    bool modifierInPieces(const QKeyEvent *event) const;
    bool typeInPieces(QKeyEvent *event);
    void keepCaretInView();
    void mergeSelFormat(const QTextCharFormat &format);
    void mergeBlockFormat(const QTextBlockFormat &format);
    void enforceMaxLength();

    void renderLines(const QRect &area);

    bool m_paintCache = false;
    QPixmap m_cache;
    QRegion m_cached; // the part of m_cache that holds text, in viewport coordinates
    int m_cacheScroll = -1;
    // The column Up and Down keep in a paragraph laid out in pieces, while the caret
    // stays where they put it.
    qreal m_stickyX = 0;
    int m_stickyPosition = -1;
    // Where the last run of typing (or of Backspace) in such a paragraph ended, so that a
    // run is undone as one step, as Qt's own typing is.
    int m_typedAt = -1;
    int m_typedSteps = -1;
    bool m_typedBackspace = false;
    // Set when the view's own answer to the text control's requests to be seen could not
    // be taken over (it then answers before scrollToCaretInPieces).
    bool m_viewAnswersFirst = true;
    bool m_caretWasInPieces = false;
    int m_paintedPosition = -1;
    int m_paintedAnchor = -1;
    QRect m_paintedCaret; // in viewport coordinates
};
