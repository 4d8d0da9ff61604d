// Paragraphs laid out in pieces must read exactly like the same paragraphs laid out
// whole: the same lines, tops and height, after edits too, and the same caret moves,
// clicks and selections in the real control.
#include "controls/ScriptLayout.h"
#include "controls/TRichEdit.h"

#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QtTest>

#include <functional>
#include <limits>

class tst_LongParagraphs : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void piecesReadLikeTheWhole_data();
    void piecesReadLikeTheWhole();
    void editsReadLikeTheWhole_data();
    void editsReadLikeTheWhole();
    void realSizes();
    void keysMoveLikeQt_data();
    void keysMoveLikeQt();
    void typingAndUndo();
    void modifiersAloneCostNothing();
    void pointerLandsOnItsCharacter();
    void drawsLikeTheWhole();
    void repaintsWhereTheCaretWas();
    void caretStaysInViewWhileTyping();
};

namespace {

ScriptLayout &layoutOf(TRichEdit &edit)
{
    return *static_cast<ScriptLayout *>(edit.document()->documentLayout());
}

// A paragraph of words of varying length, so that its lines wrap irregularly.
QString words(int characters, quint32 seed = 7)
{
    static const char *const list[] = {"pier",       "harbour", "volunteers", "a",      "rebuilt", "the",  "of",
                                       "lighthouse", "storm",   "I",          "beacon", "tide,",   "rope."};
    QString text;
    quint32 state = seed;
    while (text.size() < characters) {
        state = state * 1103515245u + 12345u;
        text += QLatin1String(list[(state >> 16) % 13]);
        text += QLatin1Char(' ');
    }
    return text;
}

using Filler = std::function<void(QTextDocument *)>;

struct Pair
{
    TRichEdit whole;
    TRichEdit pieced;
    explicit Pair(int piecedParagraph = 400, int piece = 300)
    {
        for (TRichEdit *edit : {&whole, &pieced}) {
            edit->resize(420, 300);
            edit->SetBaseFont(QStringLiteral("Arial"), 16, 0);
        }
        layoutOf(whole).SetPieceSizes(std::numeric_limits<int>::max(), piece);
        layoutOf(pieced).SetPieceSizes(piecedParagraph, piece);
    }
    void fill(const Filler &filler)
    {
        filler(whole.document());
        filler(pieced.document());
    }
    void show()
    {
        whole.move(0, 0);
        pieced.move(440, 0);
        whole.show();
        pieced.show();
        QVERIFY(QTest::qWaitForWindowExposed(&whole));
        QVERIFY(QTest::qWaitForWindowExposed(&pieced));
    }
};

// Lines, tops and height as both controls report them.
void compareLines(TRichEdit &whole, TRichEdit &pieced)
{
    QTRY_VERIFY(layoutOf(pieced).Settled());
    QCOMPARE(pieced.Text(), whole.Text());
    QCOMPARE(pieced.GetLineCount(), whole.GetLineCount());
    for (int n = 0; n < whole.GetLineCount(); ++n) {
        QCOMPARE(pieced.LineIndex(n), whole.LineIndex(n));
        QCOMPARE(pieced.LineTop(n), whole.LineTop(n));
        QCOMPARE(pieced.LineText(n), whole.LineText(n));
    }
    const int length = whole.document()->characterCount();
    for (int p = 0; p < length; p += 37)
        QCOMPARE(pieced.LineFromChar(p), whole.LineFromChar(p));
    QCOMPARE(pieced.document()->size(), whole.document()->size());
}

int firstSeam(TRichEdit &edit, int block = 0, int which = 1)
{
    const std::vector<int> starts = layoutOf(edit).PieceStarts(block);
    if (int(starts.size()) <= which)
        return -1;
    return edit.document()->findBlockByNumber(block).position() + starts[which];
}

}

void tst_LongParagraphs::piecesReadLikeTheWhole_data()
{
    QTest::addColumn<Filler>("filler");
    QTest::newRow("words") << Filler([](QTextDocument *doc) { QTextCursor(doc).insertText(words(6000)); });
    QTest::newRow("unbroken word") << Filler([](QTextDocument *doc) {
        QTextCursor(doc).insertText(QString(3000, QLatin1Char('m')) + QStringLiteral(" end ") + words(800));
    });
    QTest::newRow("mixed sizes and faces") << Filler([](QTextDocument *doc) {
        QTextCursor c(doc);
        const double sizes[] = {16, 40, 9, 24};
        for (int i = 0; i < 60; ++i) {
            QTextCharFormat f;
            f.setFontPointSize(sizes[i % 4]);
            f.setFontWeight(i % 3 ? QFont::Normal : QFont::Bold);
            if (i % 5 == 0)
                f.setFontFamilies({QStringLiteral("Courier New")});
            c.insertText(words(60 + i, i), f);
        }
    });
    QTest::newRow("right to left") << Filler([](QTextDocument *doc) {
        QString text;
        while (text.size() < 4000)
            text += QStringLiteral("\u05e9\u05dc\u05d5\u05dd \u05e2\u05d5\u05dc\u05dd \u05d2\u05d3\u05d5\u05dc ");
        QTextCursor(doc).insertText(text);
    });
    QTest::newRow("tabs") << Filler([](QTextDocument *doc) {
        QString text = words(3000);
        for (int i = 5; i < text.size(); i += 47)
            text[i] = QLatin1Char('\t');
        QTextCursor(doc).insertText(text);
    });
    QTest::newRow("among short paragraphs, indented") << Filler([](QTextDocument *doc) {
        QTextCursor c(doc);
        c.insertText(QStringLiteral("Before."));
        c.insertBlock();
        QTextBlockFormat indented;
        indented.setTextIndent(30);
        indented.setLeftMargin(12);
        indented.setTopMargin(7);
        c.setBlockFormat(indented);
        c.insertText(words(5000, 3));
        c.insertBlock(QTextBlockFormat());
        c.insertText(QStringLiteral("After."));
    });
}

void tst_LongParagraphs::piecesReadLikeTheWhole()
{
    QFETCH(Filler, filler);
    Pair pair;
    pair.fill(filler);
    QVERIFY(layoutOf(pair.pieced).HasPieces());
    QVERIFY(!layoutOf(pair.whole).HasPieces());
    compareLines(pair.whole, pair.pieced);
    // A new width lays the pieces out again.
    pair.whole.resize(333, 300);
    pair.pieced.resize(333, 300);
    compareLines(pair.whole, pair.pieced);
}

using Edit = std::function<void(QTextDocument *, int seam)>;

void tst_LongParagraphs::editsReadLikeTheWhole_data()
{
    QTest::addColumn<Edit>("edit");
    QTest::newRow("insert at a seam") << Edit([](QTextDocument *doc, int seam) {
        QTextCursor c(doc);
        c.setPosition(seam);
        c.insertText(QStringLiteral("inserted "));
    });
    QTest::newRow("delete across a seam") << Edit([](QTextDocument *doc, int seam) {
        QTextCursor c(doc);
        c.setPosition(seam - 60);
        c.setPosition(seam + 70, QTextCursor::KeepAnchor);
        c.removeSelectedText();
    });
    QTest::newRow("shorten the first word of a piece") << Edit([](QTextDocument *doc, int seam) {
        QTextCursor c(doc);
        c.setPosition(seam);
        c.deleteChar();
        c.deleteChar();
    });
    QTest::newRow("type at the start of a piece") << Edit([](QTextDocument *doc, int seam) {
        QTextCursor c(doc);
        c.setPosition(seam);
        for (const QChar ch : QStringLiteral("typed"))
            c.insertText(QString(ch));
    });
    QTest::newRow("paste a long run") << Edit([](QTextDocument *doc, int seam) {
        QTextCursor c(doc);
        c.setPosition(seam + 5);
        c.insertText(words(2500, 11));
    });
    QTest::newRow("paste, then undo") << Edit([](QTextDocument *doc, int seam) {
        QTextCursor c(doc);
        c.setPosition(seam + 5);
        c.insertText(words(2500, 11));
        doc->undo();
    });
    QTest::newRow("a word made big across a seam") << Edit([](QTextDocument *doc, int seam) {
        QTextCursor c(doc);
        c.setPosition(seam - 10);
        c.setPosition(seam + 10, QTextCursor::KeepAnchor);
        QTextCharFormat f;
        f.setFontPointSize(48);
        c.mergeCharFormat(f);
    });
    QTest::newRow("one character made wide, lines shift far") << Edit([](QTextDocument *doc, int seam) {
        QTextCursor c(doc);
        c.setPosition(seam / 3);
        c.insertText(QStringLiteral("WWWWWWWWWWWW"));
    });
    QTest::newRow("at the very end") << Edit([](QTextDocument *doc, int) {
        QTextCursor c(doc);
        c.movePosition(QTextCursor::End);
        c.insertText(QStringLiteral(" the last words"));
    });
    QTest::newRow("at the very start") << Edit([](QTextDocument *doc, int) {
        QTextCursor c(doc);
        c.insertText(QStringLiteral("First "));
    });
}

void tst_LongParagraphs::editsReadLikeTheWhole()
{
    QFETCH(Edit, edit);
    Pair pair(400, 200);
    // Repeating text keeps an edit's shift from ever falling back in step, so the lines
    // after it settle from the event loop.
    pair.fill([](QTextDocument *doc) {
        QString text;
        while (text.size() < 9000)
            text += QStringLiteral("The harbour volunteers rebuilt the pier. ");
        QTextCursor c(doc);
        c.insertText(QStringLiteral("Short one."));
        c.insertBlock();
        c.insertText(text);
    });
    const int seam = firstSeam(pair.pieced, 1, 3);
    QVERIFY(seam > 0);
    edit(pair.whole.document(), seam);
    edit(pair.pieced.document(), seam);
    compareLines(pair.whole, pair.pieced);
    // And the same once more at the place the first edit left.
    edit(pair.whole.document(), seam);
    edit(pair.pieced.document(), seam);
    compareLines(pair.whole, pair.pieced);
}

void tst_LongParagraphs::realSizes()
{
    // The program's own sizes: a 300,000-character paragraph is laid out in pieces.
    TRichEdit whole, pieced;
    for (TRichEdit *edit : {&whole, &pieced}) {
        edit->resize(700, 400);
        edit->SetBaseFont(QStringLiteral("Arial"), 20, 0);
        edit->setPlainText(words(300000));
    }
    layoutOf(whole).SetPieceSizes(std::numeric_limits<int>::max(), ScriptLayout::PieceCharacters);
    QVERIFY(layoutOf(pieced).PieceStarts(0).size() > 3);
    compareLines(whole, pieced);
    for (TRichEdit *edit : {&whole, &pieced}) {
        QTextCursor c(edit->document());
        c.setPosition(75000);
        c.insertText(QStringLiteral("inserted words "));
    }
    // In varied text the lines fall back in step at once: nothing is left for later.
    QVERIFY(layoutOf(pieced).Settled());
    compareLines(whole, pieced);
}

// Keys, with and without Shift, from a starting place: Qt's moves in the whole
// paragraph are what the pieces must give.
void tst_LongParagraphs::keysMoveLikeQt_data()
{
    QTest::addColumn<QList<int>>("keys");
    QTest::addColumn<bool>("shift");
    QTest::addColumn<bool>("rightToLeft");
    const QList<int> downUp{Qt::Key_Down, Qt::Key_Down, Qt::Key_Down, Qt::Key_Up, Qt::Key_Down};
    QTest::newRow("down and up") << downUp << false << false;
    QTest::newRow("down and up, selecting") << downUp << true << false;
    const QList<int> homeEnd{Qt::Key_End, Qt::Key_Home, Qt::Key_Down, Qt::Key_End, Qt::Key_Down, Qt::Key_Home};
    QTest::newRow("home and end") << homeEnd << false << false;
    QTest::newRow("home and end, selecting") << homeEnd << true << false;
    const QList<int> pages{Qt::Key_PageDown, Qt::Key_PageDown, Qt::Key_PageUp};
    QTest::newRow("pages") << pages << false << false;
    QTest::newRow("pages, selecting") << pages << true << false;
    const QList<int> sideways{Qt::Key_Right, Qt::Key_Right, Qt::Key_Left, Qt::Key_Right};
    QTest::newRow("left and right") << sideways << false << false;
    QTest::newRow("left and right, selecting") << sideways << true << false;
    const QList<int> back{Qt::Key_Left, Qt::Key_Left, Qt::Key_Right, Qt::Key_Left};
    QTest::newRow("left") << back << false << false;
    QTest::newRow("left, selecting") << back << true << false;
    QTest::newRow("left and right, right to left") << sideways << false << true;
    QTest::newRow("left, right to left, selecting") << back << true << true;
}

void tst_LongParagraphs::keysMoveLikeQt()
{
    QFETCH(QList<int>, keys);
    QFETCH(bool, shift);
    QFETCH(bool, rightToLeft);
    Pair pair(400, 250);
    pair.fill([rightToLeft](QTextDocument *doc) {
        QTextCursor c(doc);
        c.insertText(QStringLiteral("A short paragraph above."));
        c.insertBlock();
        QString text = words(30000);
        if (rightToLeft)
            for (QChar &ch : text)
                if (ch.isLetter())
                    ch = QChar(0x05d0 + ch.unicode() % 27);
        c.insertText(text);
    });
    pair.show();
    const int seam = firstSeam(pair.pieced, 1, 2);
    for (const int start : {seam - 3, seam, seam + 1, 12}) {
        for (TRichEdit *edit : {&pair.whole, &pair.pieced}) {
            edit->SetSelection(start, 0);
            edit->setFocus();
        }
        for (const int key : keys) {
            const Qt::KeyboardModifiers modifiers = shift ? Qt::ShiftModifier : Qt::NoModifier;
            QTest::keyClick(&pair.whole, Qt::Key(key), modifiers);
            QTest::keyClick(&pair.pieced, Qt::Key(key), modifiers);
            const QTextCursor w = pair.whole.textCursor();
            const QTextCursor p = pair.pieced.textCursor();
            QCOMPARE(p.position(), w.position());
            QCOMPARE(p.anchor(), w.anchor());
            // A page key moves the view by a page, as Qt's does.
            if (key == Qt::Key_PageDown || key == Qt::Key_PageUp)
                QCOMPARE(pair.pieced.verticalScrollBar()->value(), pair.whole.verticalScrollBar()->value());
        }
        // The caret is in view wherever the keys took it.
        const QRect caret = pair.pieced.inputMethodQuery(Qt::ImCursorRectangle).toRect();
        QVERIFY2(pair.pieced.viewport()->rect().contains(caret.center()),
                 qPrintable(QStringLiteral("caret at %1,%2").arg(caret.x()).arg(caret.y())));
        QCOMPARE(caret.top() + pair.pieced.verticalScrollBar()->value(),
                 pair.whole.cursorRect().top() + pair.whole.verticalScrollBar()->value());
    }
}

void tst_LongParagraphs::typingAndUndo()
{
    Pair pair(400, 250);
    pair.fill([](QTextDocument *doc) {
        QTextCursor c(doc);
        c.insertText(QStringLiteral("Above."));
        QTextBlockFormat indented;
        indented.setIndent(1);
        c.insertBlock(indented);
        c.insertText(words(20000));
    });
    pair.show();
    const int seam = firstSeam(pair.pieced, 1);
    for (TRichEdit *edit : {&pair.whole, &pair.pieced}) {
        // Backspace at the paragraph's start takes back its indent, as Qt does.
        edit->setFocus();
        edit->SetSelection(7, 0);
        QTest::keyClick(edit, Qt::Key_Backspace);
        QCOMPARE(edit->document()->findBlockByNumber(1).blockFormat().indent(), 0);
        edit->setFocus();
        edit->SetSelection(seam, 0);
        QTest::keyClicks(edit, QStringLiteral("new words"));
        QTest::keyClick(edit, Qt::Key_Backspace);
        QTest::keyClick(edit, Qt::Key_Backspace);
        QTest::keyClick(edit, Qt::Key_Delete);
        // Typing over a selection replaces it.
        edit->SetSelection(seam + 100, 8);
        QTest::keyClicks(edit, QStringLiteral("X"));
    }
    compareLines(pair.whole, pair.pieced);
    QCOMPARE(pair.pieced.textCursor().position(), pair.whole.textCursor().position());
    // Undo takes back the same steps in both.
    while (pair.whole.document()->isUndoAvailable()) {
        QTest::keyClick(&pair.whole, Qt::Key_Z, Qt::ControlModifier);
        QTest::keyClick(&pair.pieced, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(pair.pieced.Text(), pair.whole.Text());
    }
    QVERIFY(!pair.pieced.document()->isUndoAvailable());
    compareLines(pair.whole, pair.pieced);
}

// Shift for a capital, or any modifier alone, must not make Qt go over the whole paragraph
// (its scripts and character attributes): after each edit that pass is about 60 ms at
// 10 MB, so typing capitals in a long paragraph lagged behind the keys. Measured against
// plain typing in the same paragraph, round for round, so a busy machine slows both.
void tst_LongParagraphs::modifiersAloneCostNothing()
{
    TRichEdit edit;
    edit.resize(420, 300);
    edit.SetBaseFont(QStringLiteral("Arial"), 16, 0);
    edit.document()->setPlainText(words(3000000));
    edit.show();
    QVERIFY(QTest::qWaitForWindowExposed(&edit));
    QVERIFY(layoutOf(edit).HasPieces());
    edit.setFocus();
    edit.SetSelection(1500000, 0);
    QElapsedTimer clock;
    qint64 plain = 0, withModifiers = 0;
    for (int round = 0; round < 10; ++round) {
        clock.start();
        QTest::keyClicks(&edit, QStringLiteral("a"));
        plain += clock.nsecsElapsed();
        clock.start();
        QTest::keyClicks(&edit, QStringLiteral("a"));
        for (const Qt::Key key : {Qt::Key_Shift, Qt::Key_Control, Qt::Key_Alt, Qt::Key_CapsLock}) {
            QTest::keyPress(&edit, key);
            QTest::keyRelease(&edit, key);
        }
        withModifiers += clock.nsecsElapsed();
    }
    QCOMPARE(edit.document()->toPlainText().mid(1500000, 20), QString(20, QLatin1Char('a')));
    QVERIFY2(withModifiers < 3 * plain + 20000000,
             qPrintable(QStringLiteral("a modifier key went over the whole paragraph: %1 ms against %2 ms")
                            .arg(withModifiers / 1e6)
                            .arg(plain / 1e6)));
}

void tst_LongParagraphs::pointerLandsOnItsCharacter()
{
    Pair pair(400, 250);
    pair.fill([](QTextDocument *doc) { QTextCursor(doc).insertText(words(20000)); });
    pair.show();
    for (TRichEdit *edit : {&pair.whole, &pair.pieced})
        edit->verticalScrollBar()->setValue(pair.whole.LineTop(60));
    const QList<QPoint> points{{30, 20}, {200, 140}, {5, 280}, {410, 75}};
    for (const QPoint &at : points) {
        for (TRichEdit *edit : {&pair.whole, &pair.pieced})
            QTest::mouseClick(edit->viewport(), Qt::LeftButton, {}, at);
        QCOMPARE(pair.pieced.textCursor().position(), pair.whole.textCursor().position());
    }
    // A drag selects the same characters.
    for (TRichEdit *edit : {&pair.whole, &pair.pieced}) {
        QTest::mousePress(edit->viewport(), Qt::LeftButton, {}, QPoint(40, 30));
        QMouseEvent move(QEvent::MouseMove, QPointF(300, 200), edit->viewport()->mapToGlobal(QPointF(300, 200)),
                         Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(edit->viewport(), &move);
        QTest::mouseRelease(edit->viewport(), Qt::LeftButton, {}, QPoint(300, 200));
    }
    QVERIFY(pair.whole.textCursor().hasSelection());
    QCOMPARE(pair.pieced.SelStart(), pair.whole.SelStart());
    QCOMPARE(pair.pieced.SelLength(), pair.whole.SelLength());
    // A double click selects the same word.
    for (TRichEdit *edit : {&pair.whole, &pair.pieced})
        QTest::mouseDClick(edit->viewport(), Qt::LeftButton, {}, QPoint(120, 160));
    QCOMPARE(pair.pieced.SelText(), pair.whole.SelText());
    QCOMPARE(pair.pieced.SelStart(), pair.whole.SelStart());
}

void tst_LongParagraphs::drawsLikeTheWhole()
{
    Pair pair(400, 250);
    pair.fill([](QTextDocument *doc) {
        QTextCursor c(doc);
        c.insertText(words(6000));
        c.setPosition(2000);
        c.setPosition(2600, QTextCursor::KeepAnchor);
        QTextCharFormat f;
        f.setFontPointSize(30);
        f.setForeground(Qt::darkRed);
        c.mergeCharFormat(f);
    });
    pair.show();
    // A selection across a seam, in view with the lines about it; then the big words.
    const int seam = firstSeam(pair.pieced, 0, 2);
    for (const int place : {seam, 2300}) {
        for (TRichEdit *edit : {&pair.whole, &pair.pieced}) {
            edit->SetSelection(seam - 150, 300);
            edit->verticalScrollBar()->setValue(edit->LineTop(edit->LineFromChar(place)) - 120);
            edit->clearFocus();
        }
        const QImage whole = pair.whole.viewport()->grab().toImage();
        const QImage pieced = pair.pieced.viewport()->grab().toImage();
        QCOMPARE(pieced.size(), whole.size());
        QVERIFY2(pieced == whole, qPrintable(QStringLiteral("at %1").arg(place)));
    }
}

namespace {

// The union of what a widget was asked to paint.
class PaintedRegion : public QObject
{
public:
    QRegion region;
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            region += static_cast<QPaintEvent *>(event)->region();
        return false;
    }
};

}

void tst_LongParagraphs::repaintsWhereTheCaretWas()
{
    Pair pair(400, 250);
    pair.fill([](QTextDocument *doc) { QTextCursor(doc).insertText(words(20000)); });
    pair.show();
    TRichEdit &edit = pair.pieced;
    edit.activateWindow();
    edit.setFocus();
    edit.SetSelection(firstSeam(edit, 0, 3) + 20, 0);
    QTest::qWait(50);
    PaintedRegion painted;
    edit.viewport()->installEventFilter(&painted);
    const QRect before = edit.inputMethodQuery(Qt::ImCursorRectangle).toRect();
    QTest::keyClick(&edit, Qt::Key_Down, Qt::ShiftModifier);
    QTest::keyClick(&edit, Qt::Key_Down, Qt::ShiftModifier);
    const QRect after = edit.inputMethodQuery(Qt::ImCursorRectangle).toRect();
    QVERIFY(after.top() > before.top());
    // The old caret is wiped and the new caret and the selection are drawn.
    QTRY_VERIFY(painted.region.contains(before.center()));
    QVERIFY(painted.region.contains(after.center()));
    QVERIFY(painted.region.contains(QPoint(200, (before.center().y() + after.center().y()) / 2)));
}

void tst_LongParagraphs::caretStaysInViewWhileTyping()
{
    TRichEdit edit;
    edit.resize(500, 300);
    edit.SetBaseFont(QStringLiteral("Arial"), 16, 0);
    edit.setPlainText(words(400000));
    edit.show();
    QVERIFY(QTest::qWaitForWindowExposed(&edit));
    QVERIFY(layoutOf(edit).HasPieces());
    edit.setFocus();
    QTest::keyClick(&edit, Qt::Key_End, Qt::ControlModifier);
    const int before = edit.GetLineCount();
    for (int i = 0; i < 160; ++i) {
        QTest::keyClick(&edit, i % 7 ? Qt::Key_A : Qt::Key_Space);
        const QRect caret = edit.inputMethodQuery(Qt::ImCursorRectangle).toRect();
        QVERIFY2(caret.top() >= 0 && caret.bottom() <= edit.viewport()->height(),
                 qPrintable(QStringLiteral("caret at %1 after %2 keys").arg(caret.top()).arg(i)));
    }
    QVERIFY(edit.GetLineCount() > before); // the typing wrapped onto new lines
    QCOMPARE(edit.LineFromChar(-1), edit.GetLineCount() - 1);
}

QTEST_MAIN(tst_LongParagraphs)
#include "tst_longparagraphs.moc"
