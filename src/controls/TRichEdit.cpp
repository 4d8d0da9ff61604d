#include "controls/TRichEdit.h"

#include "controls/ScriptLayout.h"
#include "core/CorvantaError.h"
#include "controls/WidgetColours.h"
#include "formats/RtfReader.h"
#include "formats/RtfWriter.h"
#include "formats/ScriptDocumentIO.h"

#include <QAbstractTextDocumentLayout>
#include <QBuffer>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QPainter>
#include <QPaintEvent>
#include <QScrollBar>
#include <QStyle>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QTextLayout>
#include <QtMath>
#include <QTextList>

TRichEdit::TRichEdit(QWidget *parent) : QTextEdit(parent)
{
    document()->setDocumentLayout(new ScriptLayout(document()));
    // Whole-pixel line positions: no document margin, no frame.
    document()->setDocumentMargin(0);
    // Changing the margin counts as an edit; a new control holds no unsaved work.
    document()->setModified(false);
    document()->setUndoRedoEnabled(true);
    setFrameStyle(QFrame::NoFrame);
    setTabChangesFocus(false);
    setAcceptRichText(true);
    setAutoFillBackground(true);
    viewport()->setAutoFillBackground(true);

    // Keep the selection visible when another control has the focus.
    QPalette pal = palette();
    pal.setColor(QPalette::Inactive, QPalette::Highlight, pal.color(QPalette::Active, QPalette::Highlight));
    pal.setColor(QPalette::Inactive, QPalette::HighlightedText, pal.color(QPalette::Active, QPalette::HighlightedText));
    setPalette(pal);

    connect(document(), &QTextDocument::contentsChange, this, [this] { m_cache = QPixmap(); });
    connect(document(), &QTextDocument::contentsChanged, this, [this] {
        // The measuring control needs its answer during the change itself.
        if (OnResizeRequest)
            OnResizeRequest(QRect(QPoint(0, 0), ContentSize()));
    });
    // The text control asks to see the caret at the rectangle the paragraph's own layout
    // gives; for a paragraph laid out in pieces that is the paragraph's top. The request
    // comes here first; the view answers the others as before.
    for (QObject *child : children()) {
        if (child->inherits("QWidgetTextControl")) {
            m_viewAnswersFirst
                = !disconnect(child, SIGNAL(visibilityRequest(QRectF)), this, SLOT(_q_ensureVisible(QRectF)));
            connect(child, SIGNAL(visibilityRequest(QRectF)), this, SLOT(scrollToCaretInPieces(QRectF)));
            // Its repaints of the caret and the selection are placed the same way.
            connect(child, SIGNAL(updateRequest(QRectF)), this, SLOT(repaintCaretInPieces()));
            break;
        }
    }
    connect(this, &QTextEdit::selectionChanged, this, [this] {
        if (OnSelectionChange)
            OnSelectionChange();
    });
    connect(this, &QTextEdit::cursorPositionChanged, this, [this] {
        if (OnSelectionChange && !textCursor().hasSelection())
            OnSelectionChange();
    });
}

// ---- Content ----

bool TRichEdit::LoadFromFile(const QString &path, QString *notice)
{
    const bool rich = ScriptDocumentIO::load(document(), path, PlainText, notice);
    document()->setDocumentMargin(0);
    return rich;
}

void TRichEdit::SaveToFile(const QString &path) const
{
    ScriptDocumentIO::save(document(), path, PlainText);
}

void TRichEdit::Clear()
{
    clear();
}

void TRichEdit::AppendLine(const QString &line)
{
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    if (!document()->isEmpty())
        cursor.insertBlock();
    cursor.insertText(line);
}

QString TRichEdit::Text() const
{
    return document()->toPlainText();
}

QString TRichEdit::LineText(int line) const
{
    const ScriptLayout::PlacedLine placed = layout().DisplayLine(line);
    if (!placed.isValid())
        return {};
    const QTextLine tl = placed.line;
    if (placed.offset > 0 || layout().InPieces(placed.blockPosition))
        return placed.layout->text().mid(tl.textStart(), tl.textLength());
    return document()->findBlockByNumber(placed.blockNumber).text().mid(tl.textStart(), tl.textLength());
}

void TRichEdit::SetLineText(int line, const QString &text)
{
    const ScriptLayout::PlacedLine placed = layout().DisplayLine(line);
    if (!placed.isValid())
        return;
    QTextCursor cursor(document());
    cursor.setPosition(placed.start());
    cursor.setPosition(placed.end(), QTextCursor::KeepAnchor);
    cursor.insertText(text);
}

void TRichEdit::InsertAtLineStart(int line, const QString &text)
{
    const int start = line >= 0 ? LineIndex(line) : -1;
    if (start < 0)
        return;
    SetSelection(start, 0);
    SetSelText(text);
}

// ---- Selection ----

int TRichEdit::SelStart() const
{
    return textCursor().selectionStart();
}

int TRichEdit::SelLength() const
{
    const QTextCursor c = textCursor();
    return c.selectionEnd() - c.selectionStart();
}

void TRichEdit::SetSelStart(int position)
{
    SetSelection(position, 0);
}

void TRichEdit::SetSelLength(int length)
{
    SetSelection(SelStart(), length);
}

void TRichEdit::SetSelection(int start, int length)
{
    const int last = document()->characterCount() - 1;
    start = std::clamp(start, 0, last);
    const int end = std::clamp(start + std::max(length, 0), start, last);
    QTextCursor c = textCursor();
    c.setPosition(start);
    c.setPosition(end, QTextCursor::KeepAnchor);
    setTextCursor(c);
    ensureCursorVisible();
}

void TRichEdit::CollapseSelection()
{
    const int view = verticalScrollBar()->value();
    QTextCursor c = textCursor();
    c.setPosition(c.selectionStart());
    setTextCursor(c);
    verticalScrollBar()->setValue(view);
}

void TRichEdit::SelectAll()
{
    selectAll();
}

QString TRichEdit::SelText() const
{
    QString text = textCursor().selectedText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    return text;
}

void TRichEdit::EnsureRoomFor(qsizetype added, qsizetype removed) const
{
    const qsizetype after = document()->characterCount() - 1 - removed + added;
    if (added > removed && after > MaxCharacters)
        throw CorvantaError(ScriptTooLongText(after, MaxCharacters));
}

void TRichEdit::SetSelText(const QString &text)
{
    EnsureRoomFor(text.size(), SelLength());
    QTextCursor c = textCursor();
    // The new text takes the format found at the selection's start.
    QTextCursor at(document());
    at.setPosition(c.selectionStart());
    if (c.hasSelection())
        at.movePosition(QTextCursor::NextCharacter);
    const QTextCharFormat format = c.hasSelection() ? at.charFormat() : c.charFormat();
    c.insertText(text, format);
    setTextCursor(c);
}

// ---- Character format ----

QColor TRichEdit::ToQColor(qint32 bgr)
{
    return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF);
}

qint32 TRichEdit::FromQColor(const QColor &color)
{
    return color.red() | (color.green() << 8) | (color.blue() << 16);
}

namespace {

TextAttributes attributesOf(const QTextCharFormat &format, const QFont &base)
{
    TextAttributes a;
    const QFont font = format.font().resolve(base);
    a.Name = font.family();
    a.Size = format.hasProperty(QTextFormat::FontPointSize) ? format.fontPointSize() : font.pointSizeF();
    if (a.Size <= 0 && font.pixelSize() > 0)
        a.Size = font.pixelSize() * 72.0 / 96.0;
    a.Color = format.foreground().style() == Qt::NoBrush ? -1 : TRichEdit::FromQColor(format.foreground().color());
    a.Bold = font.bold();
    a.Italic = font.italic();
    a.Underline = font.underline();
    return a;
}

unsigned sameAs(const TextAttributes &a, const TextAttributes &b)
{
    unsigned c = 0;
    if (a.Name == b.Name)
        c |= TextAttributes::caFace;
    if (qFuzzyCompare(a.Size, b.Size))
        c |= TextAttributes::caSize;
    if (a.Color == b.Color)
        c |= TextAttributes::caColor;
    if (a.Bold == b.Bold)
        c |= TextAttributes::caBold;
    if (a.Italic == b.Italic)
        c |= TextAttributes::caItalic;
    if (a.Underline == b.Underline)
        c |= TextAttributes::caUnderline;
    return c;
}

}

TextAttributes TRichEdit::AttributesOf(const QTextCharFormat &format) const
{
    return attributesOf(format, document()->defaultFont());
}

TextAttributes TRichEdit::AttributesAt(int position) const
{
    QTextCursor c(document());
    c.setPosition(std::clamp(position, 0, document()->characterCount() - 1));
    if (!c.atBlockEnd())
        c.movePosition(QTextCursor::NextCharacter);
    return AttributesOf(c.charFormat());
}

TextAttributes TRichEdit::SelAttributes() const
{
    const QTextCursor c = textCursor();
    const QFont base = document()->defaultFont();
    if (!c.hasSelection())
        return attributesOf(c.charFormat(), base);

    const int start = c.selectionStart();
    const int end = c.selectionEnd();
    QTextCursor first(document());
    first.setPosition(start);
    first.movePosition(QTextCursor::NextCharacter);
    TextAttributes result = attributesOf(first.charFormat(), base);
    unsigned consistent = TextAttributes::caAll;
    for (QTextBlock b = document()->findBlock(start); b.isValid() && b.position() < end && consistent; b = b.next()) {
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment f = it.fragment();
            if (f.position() + f.length() <= start || f.position() >= end)
                continue;
            consistent &= sameAs(result, attributesOf(f.charFormat(), base));
        }
    }
    result.ConsistentAttributes = consistent;
    return result;
}

void TRichEdit::mergeSelFormat(const QTextCharFormat &format)
{
    QTextCursor c = textCursor();
    if (c.hasSelection())
        c.mergeCharFormat(format);
    else
        mergeCurrentCharFormat(format);
}

void TRichEdit::SetSelFontName(const QString &name)
{
    QTextCharFormat f;
    f.setFontFamilies({name});
    mergeSelFormat(f);
}

void TRichEdit::SetSelSize(double points)
{
    if (points <= 0)
        return;
    QTextCharFormat f;
    f.setFontPointSize(points);
    mergeSelFormat(f);
}

void TRichEdit::SetSelColor(qint32 bgr)
{
    QTextCharFormat f;
    f.setForeground(ToQColor(bgr));
    mergeSelFormat(f);
}

void TRichEdit::SetSelBold(bool on)
{
    QTextCharFormat f;
    f.setFontWeight(on ? QFont::Bold : QFont::Normal);
    mergeSelFormat(f);
}

void TRichEdit::SetSelItalic(bool on)
{
    QTextCharFormat f;
    f.setFontItalic(on);
    mergeSelFormat(f);
}

void TRichEdit::SetSelUnderline(bool on)
{
    QTextCharFormat f;
    f.setFontUnderline(on);
    mergeSelFormat(f);
}

void TRichEdit::SetSelStyle(bool bold, bool italic, bool underline)
{
    QTextCharFormat f;
    f.setFontWeight(bold ? QFont::Bold : QFont::Normal);
    f.setFontItalic(italic);
    f.setFontUnderline(underline);
    mergeSelFormat(f);
}

void TRichEdit::SetBaseFont(const QString &name, double points, qint32 bgr)
{
    QFont font(name);
    font.setPointSizeF(points);
    document()->setDefaultFont(font);
    setFont(font);
    SetPaletteColour(this, QPalette::Text, bgr);
}

qint32 TRichEdit::BackgroundColor() const
{
    return FromQColor(palette().color(QPalette::Base));
}

void TRichEdit::SetBackgroundColor(qint32 bgr)
{
    SetPaletteColour(this, QPalette::Base, bgr);
    SetPaletteColour(this, QPalette::Window, bgr);
}

// ---- Paragraph format ----

void TRichEdit::mergeBlockFormat(const QTextBlockFormat &format)
{
    QTextCursor c = textCursor();
    c.mergeBlockFormat(format);
}

Qt::Alignment TRichEdit::ParagraphAlignment() const
{
    return textCursor().blockFormat().alignment()
        & (Qt::AlignLeft | Qt::AlignRight | Qt::AlignHCenter | Qt::AlignJustify);
}

void TRichEdit::SetParagraphAlignment(Qt::Alignment alignment)
{
    QTextBlockFormat f;
    f.setAlignment(alignment | Qt::AlignAbsolute);
    mergeBlockFormat(f);
}

bool TRichEdit::Bullets() const
{
    // The paragraph where the selection starts decides, whichever way it was made.
    return document()->findBlock(textCursor().selectionStart()).textList() != nullptr;
}

void TRichEdit::SetBullets(bool on)
{
    QTextCursor c = textCursor();
    c.beginEditBlock();
    if (on) {
        if (!c.currentList()) {
            QTextListFormat list;
            list.setStyle(QTextListFormat::ListDisc);
            c.createList(list);
        }
    } else {
        const int end = c.selectionEnd();
        for (QTextBlock b = document()->findBlock(c.selectionStart()); b.isValid() && b.position() <= end;
             b = b.next()) {
            if (QTextList *list = b.textList())
                list->remove(b);
            QTextCursor bc(b);
            QTextBlockFormat f = b.blockFormat();
            f.setIndent(0);
            bc.setBlockFormat(f);
        }
    }
    c.endEditBlock();
}

double TRichEdit::RightIndent() const
{
    return textCursor().blockFormat().rightMargin() * 72.0 / logicalDpiX();
}

void TRichEdit::SetRightIndent(double points)
{
    QTextBlockFormat f;
    f.setRightMargin(std::max(0.0, points) * logicalDpiX() / 72.0);
    mergeBlockFormat(f);
}

// ---- Line messages ----

const ScriptLayout &TRichEdit::layout() const
{
    ensureLayout();
    return *static_cast<const ScriptLayout *>(document()->documentLayout());
}

QSize TRichEdit::ContentSize() const
{
    ensureLayout();
    const QSizeF size = document()->size();
    return QSize(qCeil(size.width()), qCeil(size.height()));
}

void TRichEdit::ensureLayout() const
{
    // A hidden control (the staging control, a window not yet shown) has not been
    // given its text width; lay it out at the width it would have.
    if (isVisible())
        return;
    QTextDocument *doc = document();
    qreal width = -1;
    if (lineWrapMode() == QTextEdit::WidgetWidth) {
        width = this->width() - 2 * frameWidth();
        if (verticalScrollBarPolicy() == Qt::ScrollBarAlwaysOn)
            width -= style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
        width = std::max<qreal>(width, 1);
    }
    if (doc->textWidth() != width)
        doc->setTextWidth(width);
}

int TRichEdit::GetLineCount() const
{
    return layout().LineCount();
}

int TRichEdit::LineIndex(int line) const
{
    if (line < 0)
        line = LineFromChar(-1);
    const ScriptLayout::PlacedLine placed = layout().DisplayLine(line);
    if (!placed.layout)
        return -1;
    return placed.isValid() ? placed.start() : placed.blockPosition + placed.offset;
}

int TRichEdit::LineFromChar(int position) const
{
    if (position < 0)
        position = textCursor().selectionStart();
    const ScriptLayout::PlacedLine placed = layout().LineOfPosition(position);
    return std::max(0, placed.displayLine);
}

int TRichEdit::LineTop(int line) const
{
    return qRound(layout().LineTop(line));
}

int TRichEdit::LineAt(int y) const
{
    return layout().LineBelow(y + 0.5);
}

int TRichEdit::GetFirstVisibleLine() const
{
    // A line counts as visible once more than half a pixel of it shows.
    return layout().LineBelow(verticalScrollBar()->value() + 0.5);
}

void TRichEdit::LineScroll(int count)
{
    const int target = std::clamp(GetFirstVisibleLine() + count, 0, std::max(0, GetLineCount() - 1));
    const int top = LineTop(target);
    QScrollBar *bar = verticalScrollBar();
    // The scroll range follows the document size with a delay; make sure it reaches the target.
    if (top > bar->maximum())
        bar->setRange(0, top);
    bar->setValue(top);
}

void TRichEdit::HoldLayout(bool on)
{
    auto *script = static_cast<ScriptLayout *>(document()->documentLayout());
    if (on)
        script->Suspend();
    else
        script->Resume();
}

// ---- Control ----

bool TRichEdit::Modified() const
{
    return document()->isModified();
}

void TRichEdit::SetModified(bool modified)
{
    document()->setModified(modified);
}

void TRichEdit::SetWordWrap(bool on)
{
    setLineWrapMode(on ? QTextEdit::WidgetWidth : QTextEdit::NoWrap);
}

void TRichEdit::SetWrapWidth(int pixels)
{
    if (pixels > 0) {
        if (lineWrapMode() != QTextEdit::FixedPixelWidth || lineWrapColumnOrWidth() != pixels) {
            setLineWrapColumnOrWidth(pixels);
            setLineWrapMode(QTextEdit::FixedPixelWidth);
        }
    } else if (lineWrapMode() == QTextEdit::FixedPixelWidth) {
        setLineWrapMode(QTextEdit::WidgetWidth);
    }
}

void TRichEdit::SetScrollBar(bool on)
{
    setVerticalScrollBarPolicy(on ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
}

void TRichEdit::SetPaintCache(bool on)
{
    m_paintCache = on;
    m_cache = QPixmap();
    viewport()->update();
}

void TRichEdit::paintEvent(QPaintEvent *event)
{
    if (!m_paintCache) {
        QTextEdit::paintEvent(event);
        return;
    }
    // Lines are drawn into the picture as they first come into view, whole lines at a
    // time, so a pane moving a pixel a step draws a line once instead of every step.
    const int scroll = verticalScrollBar()->value();
    const qreal ratio = viewport()->devicePixelRatioF();
    if (m_cache.isNull() || m_cache.size() != viewport()->size() * ratio || m_cacheScroll != scroll) {
        m_cache = QPixmap(viewport()->size() * ratio);
        m_cache.setDevicePixelRatio(ratio);
        m_cache.fill(palette().color(QPalette::Base));
        m_cached = QRegion();
        m_cacheScroll = scroll;
    }
    const QRegion missing = event->region() - m_cached;
    if (!missing.isEmpty())
        renderLines(missing.boundingRect());
    QPainter painter(viewport());
    for (const QRect &r : event->region())
        painter.drawPixmap(r, m_cache, QRectF(r.topLeft() * ratio, r.size() * ratio));
}

void TRichEdit::renderLines(const QRect &area)
{
    // Widen the area to the display lines it touches.
    const int scroll = m_cacheScroll;
    int top = area.top() + scroll;
    int bottom = area.bottom() + 1 + scroll;
    QAbstractTextDocumentLayout *layout = document()->documentLayout();
    const ScriptLayout &lines = this->layout();
    const int firstLine = lines.LineBelow(top);
    const int lastLine = lines.LineBelow(bottom);
    for (int n : {firstLine - 1, firstLine, firstLine + 1, lastLine - 1, lastLine, lastLine + 1}) {
        const ScriptLayout::PlacedLine placed = lines.DisplayLine(n);
        if (!placed.isValid())
            continue;
        const int lt = qFloor(placed.origin.y() + placed.line.y());
        const int lb = qCeil(placed.origin.y() + placed.line.y() + placed.line.height());
        if (lt <= top && lb > top)
            top = lt;
        if (lt < bottom && lb >= bottom)
            bottom = lb;
    }
    const QRect band(0, top - scroll, viewport()->width(), bottom - top);
    QPainter painter(&m_cache);
    painter.setClipRect(band);
    painter.fillRect(band, palette().color(QPalette::Base));
    painter.translate(0, -scroll);
    QAbstractTextDocumentLayout::PaintContext context;
    context.palette = palette();
    context.clip = QRectF(0, top, viewport()->width(), bottom - top);
    layout->draw(&painter, context);
    m_cached += band;
}

void TRichEdit::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::FontChange)
        m_cache = QPixmap();
    QTextEdit::changeEvent(event);
}

// ---- Keys ----

namespace {

QChar characterOf(const QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Escape:
        return QChar(27);
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return QChar(13);
    case Qt::Key_Backspace:
        return QChar(8);
    case Qt::Key_Tab:
        return QChar(9);
    default:
        break;
    }
    const QString text = event->text();
    return text.isEmpty() ? QChar() : text.at(0);
}

}

bool TRichEdit::event(QEvent *e)
{
    if (e->type() == QEvent::ShortcutOverride && KeepAllKeys && KeepAllKeys()) {
        e->accept();
        return true;
    }
    // Paste is a command of the window where it has one (the script's paste reformats
    // the text): its shortcut must not be taken over by the control's own paste.
    // Without such a command the key comes back here as a key press and pastes.
    if (e->type() == QEvent::ShortcutOverride && static_cast<QKeyEvent *>(e)->matches(QKeySequence::Paste)) {
        e->ignore();
        return true;
    }
    return QTextEdit::event(e);
}

void TRichEdit::keyPressEvent(QKeyEvent *event)
{
    int key = event->key();
    if (OnKeyDown)
        OnKeyDown(key, event->modifiers());
    // As with the native control, the character of a key still arrives after a
    // swallowed key-down.
    QChar ch = characterOf(event);
    if (!ch.isNull() && !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) && OnKeyPress)
        OnKeyPress(ch);
    if (key == 0 || (ch.isNull() && !characterOf(event).isNull())) {
        event->accept();
        return;
    }
    if (!event->text().isEmpty() && !event->text().at(0).isNull() && event->text().at(0) >= QChar(' ')
        && document()->characterCount() > MaxCharacters) {
        event->accept();
        return;
    }
    if (modifierInPieces(event) || typeInPieces(event) || moveInPieces(event)) {
        event->accept();
        return;
    }
    QTextEdit::keyPressEvent(event);
}

// A modifier pressed on its own changes nothing, but Qt's control measures the caret's
// whole paragraph for it: in a pieced paragraph every capital letter would cost that.
bool TRichEdit::modifierInPieces(const QKeyEvent *event) const
{
    switch (event->key()) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_Hyper_L:
    case Qt::Key_Hyper_R:
    case Qt::Key_CapsLock:
    case Qt::Key_NumLock:
        return layout().HasPieces() && layout().InPieces(textCursor().position());
    default:
        return false;
    }
}

bool TRichEdit::typeInPieces(QKeyEvent *event)
{
    if (isReadOnly() || !layout().HasPieces())
        return false;
    QTextCursor c = textCursor();
    if (!layout().InPieces(c.position()))
        return false;
    const QString text = event->text();
    const bool backspace = event->key() == Qt::Key_Backspace && !(event->modifiers() & ~Qt::ShiftModifier);
    const bool typed = !text.isEmpty() && (text.at(0).isPrint() || text.at(0) == u'\t')
        && !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
    // Backspace at the paragraph's start joins paragraphs: Qt's own handling is kept.
    if (!typed && !(backspace && (c.hasSelection() || !c.atBlockStart())))
        return false;
    const bool join = !c.hasSelection() && c.position() == m_typedAt && m_typedBackspace == backspace
        && document()->availableUndoSteps() == m_typedSteps;
    // Inside an edit block the cursor does not measure its line afterwards.
    if (join)
        c.joinPreviousEditBlock();
    else
        c.beginEditBlock();
    if (backspace)
        c.deletePreviousChar();
    else
        c.insertText(text);
    c.endEditBlock();
    m_typedAt = c.position();
    m_typedSteps = document()->availableUndoSteps();
    m_typedBackspace = backspace;
    keepCaretInView();
    return true;
}

bool TRichEdit::moveInPieces(QKeyEvent *event)
{
    const ScriptLayout &map = layout();
    if (!map.HasPieces())
        return false;
    enum Move { Up, Down, PageUp, PageDown, Home, End, NextChar, PreviousChar, NextWord, PreviousWord };
    struct Binding
    {
        QKeySequence::StandardKey move;
        QKeySequence::StandardKey select;
        Move what;
    };
    static const Binding bindings[] = {
        {QKeySequence::MoveToPreviousLine, QKeySequence::SelectPreviousLine, Up},
        {QKeySequence::MoveToNextLine, QKeySequence::SelectNextLine, Down},
        {QKeySequence::MoveToPreviousPage, QKeySequence::SelectPreviousPage, PageUp},
        {QKeySequence::MoveToNextPage, QKeySequence::SelectNextPage, PageDown},
        {QKeySequence::MoveToStartOfLine, QKeySequence::SelectStartOfLine, Home},
        {QKeySequence::MoveToEndOfLine, QKeySequence::SelectEndOfLine, End},
        {QKeySequence::MoveToNextChar, QKeySequence::SelectNextChar, NextChar},
        {QKeySequence::MoveToPreviousChar, QKeySequence::SelectPreviousChar, PreviousChar},
        {QKeySequence::MoveToNextWord, QKeySequence::SelectNextWord, NextWord},
        {QKeySequence::MoveToPreviousWord, QKeySequence::SelectPreviousWord, PreviousWord},
    };
    QTextCursor c = textCursor();
    const int position = c.position();
    const bool inPieces = map.InPieces(position);
    const bool editable = !isReadOnly();

    // Deletions that Qt would measure over the whole paragraph.
    if (inPieces && editable
        && (event->matches(QKeySequence::Delete) || event->matches(QKeySequence::DeleteEndOfWord)
            || event->matches(QKeySequence::DeleteStartOfWord))) {
        if (!c.hasSelection()) {
            const int to = event->matches(QKeySequence::Delete)
                ? map.NextCursorPosition(position, QTextLayout::SkipCharacters)
                : event->matches(QKeySequence::DeleteEndOfWord)
                ? map.NextCursorPosition(position, QTextLayout::SkipWords)
                : map.PreviousCursorPosition(position, QTextLayout::SkipWords);
            c.setPosition(to, QTextCursor::KeepAnchor);
        }
        c.removeSelectedText();
        setTextCursor(c);
        return true;
    }

    const Binding *binding = nullptr;
    bool select = false;
    for (const Binding &b : bindings) {
        if (event->matches(b.move) || event->matches(b.select)) {
            binding = &b;
            select = event->matches(b.select);
            break;
        }
    }
    if (!binding)
        return false;
    const ScriptLayout::PlacedLine line = map.LineOfPosition(position);
    const bool vertical = binding->what == Up || binding->what == Down;
    const int step = binding->what == Up ? -1 : 1;
    // Qt moves the caret well within and between ordinary paragraphs.
    if (vertical ? !inPieces && !map.InPieces(map.DisplayLine(line.displayLine + step).start())
                 : !inPieces && binding->what != PageUp && binding->what != PageDown)
        return false;
    const QTextCursor::MoveMode mode = select ? QTextCursor::KeepAnchor : QTextCursor::MoveAnchor;
    const bool rightToLeft = document()->findBlock(position).textDirection() == Qt::RightToLeft;
    const qreal x = m_stickyPosition == position ? m_stickyX : line.caretRect(position).left();
    int target = position;
    switch (binding->what) {
    case Up:
    case Down: {
        const ScriptLayout::PlacedLine next = map.DisplayLine(line.displayLine + step);
        if (next.isValid())
            target = next.positionAt(x);
        break;
    }
    case PageUp:
    case PageDown: {
        QScrollBar *bar = verticalScrollBar();
        const int page = viewport()->height() * (binding->what == PageUp ? -1 : 1);
        const QRectF caret = line.caretRect(position);
        const ScriptLayout::PlacedLine next = map.DisplayLine(map.LineBelow(caret.center().y() + page));
        target = next.positionAt(x);
        bar->setValue(bar->value() + page);
        break;
    }
    case Home:
        target = line.start();
        break;
    case End:
        target = line.end();
        // Before the space the line was broken at, so that the caret stays on this line.
        if (!line.lastOfBlock && line.line.textLength() > 0
            && line.layout->text().at(line.line.textStart() + line.line.textLength() - 1).isSpace())
            --target;
        break;
    case NextChar:
    case PreviousChar: {
        const bool forward = (binding->what == NextChar) != rightToLeft;
        if (!select && c.hasSelection())
            target = forward ? c.selectionEnd() : c.selectionStart();
        else
            target = forward ? map.NextCursorPosition(position, QTextLayout::SkipCharacters)
                             : map.PreviousCursorPosition(position, QTextLayout::SkipCharacters);
        break;
    }
    case NextWord:
    case PreviousWord: {
        const bool forward = (binding->what == NextWord) != rightToLeft;
        target = forward ? map.NextCursorPosition(position, QTextLayout::SkipWords)
                         : map.PreviousCursorPosition(position, QTextLayout::SkipWords);
        break;
    }
    }
    c.setPosition(std::clamp(target, 0, document()->characterCount() - 1), mode);
    setTextCursor(c);
    if (vertical || binding->what == PageUp || binding->what == PageDown) {
        m_stickyX = x;
        m_stickyPosition = c.position();
    }
    return true;
}

void TRichEdit::scrollToCaretInPieces(const QRectF &requested)
{
    const ScriptLayout &map = layout();
    const int position = textCursor().position();
    // Only the request for the caret, which the paragraph's own layout could not place.
    if (map.InPieces(position) && qFuzzyCompare(requested.height(), 10)
        && qAbs(requested.top() - map.BlockTop(map.LineOfPosition(position).blockNumber)) <= 0.5) {
        keepCaretInView();
        return;
    }
    if (!m_viewAnswersFirst)
        QMetaObject::invokeMethod(this, "_q_ensureVisible", Qt::DirectConnection, Q_ARG(QRectF, requested));
}

void TRichEdit::repaintCaretInPieces()
{
    const ScriptLayout &map = layout();
    if (!map.HasPieces()) {
        m_caretWasInPieces = false;
        return;
    }
    const QTextCursor c = textCursor();
    const bool inPieces = map.InPieces(c.position()) || map.InPieces(c.anchor());
    const QRect caret = inPieces ? map.LineOfPosition(c.position())
                                       .caretRect(c.position())
                                       .adjusted(-2, 0, 2, 0)
                                       .translated(-horizontalScrollBar()->value(), -verticalScrollBar()->value())
                                       .toAlignedRect()
                                 : QRect();
    // A blink repaints the caret alone; a move repaints the view, the old place with it.
    if (inPieces && m_caretWasInPieces && c.position() == m_paintedPosition && c.anchor() == m_paintedAnchor)
        viewport()->update(caret.united(m_paintedCaret));
    else if (inPieces || m_caretWasInPieces)
        viewport()->update();
    m_caretWasInPieces = inPieces;
    m_paintedPosition = c.position();
    m_paintedAnchor = c.anchor();
    m_paintedCaret = caret;
}

void TRichEdit::keepCaretInView()
{
    const ScriptLayout &map = layout();
    const int position = textCursor().position();
    const QRectF caret = map.LineOfPosition(position).caretRect(position).adjusted(-5, 0, 5, 0);
    QScrollBar *bar = verticalScrollBar();
    if (bar->maximum() < caret.bottom() - viewport()->height())
        bar->setRange(0, qCeil(document()->size().height()) - viewport()->height());
    if (caret.top() < bar->value())
        bar->setValue(qFloor(caret.top()));
    else if (caret.bottom() > bar->value() + viewport()->height())
        bar->setValue(qCeil(caret.bottom()) - viewport()->height());
    QScrollBar *across = horizontalScrollBar();
    if (caret.left() < across->value())
        across->setValue(qFloor(caret.left()));
    else if (caret.right() > across->value() + viewport()->width())
        across->setValue(qCeil(caret.right()) - viewport()->width());
}

void TRichEdit::mouseDoubleClickEvent(QMouseEvent *event)
{
    QTextEdit::mouseDoubleClickEvent(event);
    // Qt selects the word only on a line of the paragraph's own layout, which a paragraph
    // laid out in pieces does not have. The word is found among the lines about the caret.
    QTextCursor c = textCursor();
    const ScriptLayout &map = layout();
    if (event->button() != Qt::LeftButton || c.hasSelection() || !map.InPieces(c.position()))
        return;
    const ScriptLayout::PlacedLine line = map.LineOfPosition(c.position());
    if (!line.isValid() || line.line.textLength() == 0)
        return;
    QString text;
    int from = -1;
    for (int n = line.displayLine - 1; n <= line.displayLine + 1; ++n) {
        const ScriptLayout::PlacedLine near = map.DisplayLine(n);
        if (!near.isValid() || near.blockNumber != line.blockNumber)
            continue;
        if (from < 0)
            from = near.start();
        text += near.layout->text().mid(near.line.textStart(), near.line.textLength());
    }
    QTextDocument words;
    QTextCursor word(&words);
    word.insertText(text);
    word.setPosition(c.position() - from);
    word.select(QTextCursor::WordUnderCursor);
    if (!word.hasSelection())
        return;
    c.setPosition(from + word.selectionStart());
    c.setPosition(from + word.selectionEnd(), QTextCursor::KeepAnchor);
    setTextCursor(c);
}

QVariant TRichEdit::inputMethodQuery(Qt::InputMethodQuery query) const
{
    if (query == Qt::ImCursorRectangle || query == Qt::ImAnchorRectangle) {
        const ScriptLayout &map = layout();
        const QTextCursor c = textCursor();
        const int position = query == Qt::ImCursorRectangle ? c.position() : c.anchor();
        if (map.InPieces(position)) {
            const QRectF caret = map.LineOfPosition(position).caretRect(position);
            return caret.translated(-horizontalScrollBar()->value(), -verticalScrollBar()->value()).toRect();
        }
    }
    return QTextEdit::inputMethodQuery(query);
}

// ---- Dropped files ----

QString TRichEdit::DroppedFile(const QMimeData *mime)
{
    if (!mime || !mime->hasUrls())
        return {};
    for (const QUrl &url : mime->urls())
        if (url.isLocalFile())
            return url.toLocalFile();
    return {};
}

void TRichEdit::dragEnterEvent(QDragEnterEvent *event)
{
    if (OnFileDropped && !DroppedFile(event->mimeData()).isEmpty()) {
        event->acceptProposedAction();
        return;
    }
    QTextEdit::dragEnterEvent(event);
}

void TRichEdit::dragMoveEvent(QDragMoveEvent *event)
{
    if (OnFileDropped && !DroppedFile(event->mimeData()).isEmpty()) {
        event->acceptProposedAction();
        return;
    }
    QTextEdit::dragMoveEvent(event);
}

void TRichEdit::dropEvent(QDropEvent *event)
{
    const QString path = OnFileDropped ? DroppedFile(event->mimeData()) : QString();
    if (path.isEmpty()) {
        QTextEdit::dropEvent(event);
        return;
    }
    event->acceptProposedAction();
    OnFileDropped(path);
}

// ---- Clipboard ----

namespace {

const QString RtfMime = QStringLiteral("text/rtf");
const QString RtfMimeAlias = QStringLiteral("application/rtf");

}

QMimeData *TRichEdit::createMimeDataFromSelection() const
{
    // Formatted text travels as RTF, which other programs read, besides HTML and plain text.
    const QTextDocumentFragment fragment = textCursor().selection();
    auto *mime = new QMimeData;
    mime->setText(fragment.toPlainText());
    mime->setHtml(fragment.toHtml());
    QTextDocument selection;
    selection.setDefaultFont(document()->defaultFont());
    QTextCursor(&selection).insertFragment(fragment);
    const QByteArray rtf = RtfWriter::toRtf(&selection);
    mime->setData(RtfMime, rtf);
    mime->setData(RtfMimeAlias, rtf);
    return mime;
}

bool TRichEdit::CanPaste(const QMimeData *source)
{
    // A cleared clipboard on X11 is an object with no formats, not a null one.
    if (!source || source->formats().isEmpty())
        return false;
    return source->hasFormat(RtfMime) || source->hasFormat(RtfMimeAlias) || source->hasText() || source->hasHtml();
}

bool TRichEdit::canInsertFromMimeData(const QMimeData *source) const
{
    return CanPaste(source);
}

void TRichEdit::insertFromMimeData(const QMimeData *source)
{
    if (!CanPaste(source))
        return;
    if (isReadOnly() || document()->characterCount() + source->text().size() > MaxCharacters)
        return;
    const QString format = source->hasFormat(RtfMime) ? RtfMime : RtfMimeAlias;
    if (source->hasFormat(format)) {
        QBuffer buffer;
        buffer.setData(source->data(format));
        buffer.open(QIODevice::ReadOnly);
        QTextCursor cursor = textCursor();
        cursor.beginEditBlock();
        cursor.removeSelectedText();
        RtfReader reader;
        const bool read = reader.read(&buffer, cursor);
        cursor.endEditBlock();
        if (read) {
            setTextCursor(cursor);
            ensureCursorVisible();
            return;
        }
    }
    QTextEdit::insertFromMimeData(source);
}
