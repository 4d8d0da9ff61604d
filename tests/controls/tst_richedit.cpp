#include "controls/TRichEdit.h"
#include "core/CorvantaError.h"

#include <QAbstractTextDocumentLayout>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocumentFragment>
#include <QTextLayout>
#include <QtTest>

class tst_RichEdit : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void lineMessagesOverWrappedMixedText();
    void sameContentSameBreaks();
    void scrollAndFirstVisibleLine();
    void measuringHeightMatchesPaneLine_data();
    void measuringHeightMatchesPaneLine();
    void textPositionIsCaretPosition();
    void consistentAttributes();
    void swallowedKeys_data();
    void swallowedKeys();
    void paragraphFormat();
    void insertAtLineStarts();
    void setSelTextKeepsTheLimit();
};

namespace {

// A paragraph of mixed sizes long enough to wrap several times at 400 pixels.
void fillMixed(TRichEdit &edit)
{
    edit.SetBaseFont(QStringLiteral("Arial"), 20, 0xFFFFFF);
    QTextCursor c(edit.document());
    const double sizes[] = {20, 48, 12, 30};
    for (int p = 0; p < 6; ++p) {
        if (p)
            c.insertBlock();
        for (int w = 0; w < 12; ++w) {
            QTextCharFormat f;
            f.setFontPointSize(sizes[(p + w) % 4]);
            c.insertText(QStringLiteral("word%1 ").arg(w), f);
        }
    }
}

// Display lines counted straight from the layouts, as (block, line) pairs.
QList<QPair<int, int>> displayLines(const TRichEdit &edit)
{
    edit.document()->documentLayout()->blockBoundingRect(edit.document()->lastBlock());
    QList<QPair<int, int>> lines;
    for (QTextBlock b = edit.document()->begin(); b.isValid(); b = b.next())
        for (int i = 0; i < b.layout()->lineCount(); ++i)
            lines << qMakePair(b.blockNumber(), i);
    return lines;
}

}

void tst_RichEdit::lineMessagesOverWrappedMixedText()
{
    TRichEdit edit;
    edit.resize(400, 300);
    edit.show();
    fillMixed(edit);
    const auto lines = displayLines(edit);
    QVERIFY(lines.size() > edit.document()->blockCount()); // wrapping happened
    QCOMPARE(edit.GetLineCount(), lines.size());

    for (int n = 0; n < lines.size(); ++n) {
        const QTextBlock block = edit.document()->findBlockByNumber(lines[n].first);
        const QTextLine tl = block.layout()->lineAt(lines[n].second);
        const int start = block.position() + tl.textStart();
        QCOMPARE(edit.LineIndex(n), start);
        QCOMPARE(edit.LineFromChar(start), n);
        QCOMPARE(edit.LineFromChar(start + tl.textLength() - 1), n);
        QCOMPARE(edit.LineText(n), block.text().mid(tl.textStart(), tl.textLength()));
    }
    QCOMPARE(edit.LineIndex(lines.size()), -1);

    // -1 means the caret's line.
    edit.SetSelection(edit.LineIndex(5) + 1, 0);
    QCOMPARE(edit.LineFromChar(-1), 5);
    QCOMPARE(edit.LineIndex(-1), edit.LineIndex(5));

    // Edits and a new width are seen at once.
    edit.resize(250, 300);
    QCOMPARE(edit.GetLineCount(), displayLines(edit).size());
    edit.AppendLine(QStringLiteral(" "));
    QCOMPARE(edit.GetLineCount(), displayLines(edit).size());
}

void tst_RichEdit::sameContentSameBreaks()
{
    TRichEdit a, b;
    a.resize(420, 300);
    b.resize(420, 300);
    fillMixed(a);
    b.document()->setDefaultFont(a.document()->defaultFont());
    QTextCursor(b.document()).insertFragment(QTextDocumentFragment(a.document()));
    QCOMPARE(b.GetLineCount(), a.GetLineCount());
    for (int n = 0; n < a.GetLineCount(); ++n) {
        QCOMPARE(b.LineIndex(n), a.LineIndex(n));
        QCOMPARE(b.LineTop(n), a.LineTop(n));
    }
}

void tst_RichEdit::scrollAndFirstVisibleLine()
{
    TRichEdit edit;
    edit.resize(300, 200);
    edit.SetBaseFont(QStringLiteral("Arial"), 30, 0xFFFFFF);
    for (int i = 0; i < 40; ++i)
        edit.AppendLine(QStringLiteral("Line %1").arg(i));
    QCOMPARE(edit.GetFirstVisibleLine(), 0);
    edit.LineScroll(7);
    QCOMPARE(edit.GetFirstVisibleLine(), 7);
    QCOMPARE(edit.verticalScrollBar()->value(), edit.LineTop(7));
    edit.LineScroll(-3);
    QCOMPARE(edit.GetFirstVisibleLine(), 4);
    edit.LineScroll(-100);
    QCOMPARE(edit.GetFirstVisibleLine(), 0);
    // Scrolling may put the last line at the top, past the normal scroll range.
    edit.LineScroll(39);
    QCOMPARE(edit.GetFirstVisibleLine(), 39);
    // A scroll value inside a line counts that line as the first visible one.
    edit.verticalScrollBar()->setValue(edit.LineTop(3) + 2);
    QCOMPARE(edit.GetFirstVisibleLine(), 3);
}

void tst_RichEdit::measuringHeightMatchesPaneLine_data()
{
    QTest::addColumn<QString>("face");
    QTest::addColumn<double>("points");
    QTest::addColumn<bool>("bold");
    QTest::newRow("Arial 60") << "Arial" << 60.0 << false;
    QTest::newRow("Times 20 bold") << "Times New Roman" << 20.0 << true;
    QTest::newRow("Courier 80") << "Courier New" << 80.0 << false;
    QTest::newRow("Arial 9") << "Arial" << 9.0 << false;
}

void tst_RichEdit::measuringHeightMatchesPaneLine()
{
    QFETCH(QString, face);
    QFETCH(double, points);
    QFETCH(bool, bold);

    TRichEdit pane;
    pane.resize(600, 400);
    pane.SetBaseFont(face, points, 0xFFFFFF);
    QTextCharFormat f;
    f.setFontWeight(bold ? QFont::Bold : QFont::Normal);
    QTextCursor c(pane.document());
    for (int i = 0; i < 3; ++i) {
        if (i)
            c.insertBlock();
        c.insertText(QStringLiteral("Measured line %1").arg(i), f);
    }
    const int spacing = pane.LineTop(2) - pane.LineTop(1);

    TRichEdit measure;
    measure.SetWordWrap(false);
    QRect requested;
    measure.OnResizeRequest = [&](const QRect &r) { requested = r; };
    measure.SetBaseFont(face, points, 0xFFFFFF);
    measure.setCurrentCharFormat(f);
    measure.setPlainText(QString());
    measure.mergeCurrentCharFormat(f);
    measure.insertPlainText(QStringLiteral("Measured line 1"));
    QCOMPARE(requested.height(), spacing);
}

void tst_RichEdit::textPositionIsCaretPosition()
{
    TRichEdit edit;
    edit.setPlainText(QStringLiteral("Ab\u00bbc\nde \u00a4f\n\ngh"));
    const QString text = edit.Text();
    for (int p = 1; p <= text.size(); ++p) {
        if (text.at(p - 1) == QLatin1Char('\n'))
            continue;
        edit.SetSelection(p - 1, 1);
        QCOMPARE(edit.SelText(), text.mid(p - 1, 1));
    }
}

void tst_RichEdit::consistentAttributes()
{
    TRichEdit edit;
    edit.SetBaseFont(QStringLiteral("Arial"), 24, 0xFFFFFF);
    edit.setPlainText(QStringLiteral("plain bold"));
    edit.SetSelection(6, 4);
    edit.SetSelBold(true);
    edit.SetSelColor(0x0000FF);

    edit.SetSelection(0, 10);
    TextAttributes a = edit.SelAttributes();
    QCOMPARE(a.ConsistentAttributes & TextAttributes::caBold, 0u);
    QCOMPARE(a.ConsistentAttributes & TextAttributes::caColor, 0u);
    QCOMPARE(a.ConsistentAttributes & (TextAttributes::caFace | TextAttributes::caSize),
             unsigned(TextAttributes::caFace | TextAttributes::caSize));
    QCOMPARE(a.Name, QStringLiteral("Arial"));
    QCOMPARE(a.Size, 24.0);
    QCOMPARE(a.Color, -1); // the plain part has no colour of its own

    edit.SetSelection(6, 4);
    a = edit.SelAttributes();
    QCOMPARE(a.ConsistentAttributes, unsigned(TextAttributes::caAll));
    QVERIFY(a.Bold);
    QCOMPARE(a.Color, 0x0000FF);
}

void tst_RichEdit::swallowedKeys_data()
{
    QTest::addColumn<bool>("swallowDown");
    QTest::addColumn<bool>("swallowPress");
    QTest::addColumn<QString>("typed");
    QTest::newRow("passes") << false << false << "x";
    QTest::newRow("key-down zeroed") << true << false << "";
    QTest::newRow("key-press zeroed") << false << true << "";
}

void tst_RichEdit::swallowedKeys()
{
    QFETCH(bool, swallowDown);
    QFETCH(bool, swallowPress);
    QFETCH(QString, typed);
    TRichEdit edit;
    QStringList seen;
    edit.OnKeyDown = [&](int &key, Qt::KeyboardModifiers) {
        seen << QStringLiteral("down");
        if (swallowDown)
            key = 0;
    };
    edit.OnKeyPress = [&](QChar &key) {
        seen << QStringLiteral("press ") + key;
        if (swallowPress)
            key = QChar();
    };
    QTest::keyClick(&edit, Qt::Key_X);
    QCOMPARE(edit.Text(), typed);
    // The character still arrives after a swallowed key-down, as it does natively.
    QCOMPARE(seen, QStringList({QStringLiteral("down"), QStringLiteral("press x")}));
}

void tst_RichEdit::paragraphFormat()
{
    TRichEdit edit;
    edit.setPlainText(QStringLiteral("one\ntwo"));
    edit.SelectAll();
    edit.SetParagraphAlignment(Qt::AlignHCenter);
    edit.SetBullets(true);
    edit.SetRightIndent(10);
    edit.SetSelection(5, 0);
    QCOMPARE(edit.ParagraphAlignment(), Qt::Alignment(Qt::AlignHCenter));
    QVERIFY(edit.Bullets());
    QCOMPARE(qRound(edit.RightIndent()), 10);
    edit.SelectAll();
    edit.SetBullets(false);
    QVERIFY(!edit.Bullets());
    QVERIFY(edit.Modified());
    edit.SetModified(false);
    QVERIFY(!edit.Modified());
}

void tst_RichEdit::insertAtLineStarts()
{
    TRichEdit edit;
    edit.resize(2000, 400);
    for (int i = 0; i < 10; ++i)
        edit.AppendLine(QStringLiteral("line %1").arg(i));
    for (int line : {7, 2, 7})
        edit.InsertAtLineStart(line, QStringLiteral("\u00a4"));
    edit.InsertAtLineStart(99, QStringLiteral("\u00a4")); // no such line: nothing
    const QStringList lines = edit.Text().split(QLatin1Char('\n'));
    QCOMPARE(lines.at(2), QStringLiteral("\u00a4line 2"));
    QCOMPARE(lines.at(7), QStringLiteral("\u00a4\u00a4line 7"));
    QCOMPARE(edit.Text().count(QChar(0x00A4)), 3);
}

// Text set from a command stops at the script's limit, like typing, and changes nothing.
void tst_RichEdit::setSelTextKeepsTheLimit()
{
    TRichEdit edit;
    edit.MaxCharacters = 20;
    edit.setPlainText(QStringLiteral("0123456789"));
    edit.SetSelection(2, 3);
    edit.SetSelText(QStringLiteral("abcdefghijklm")); // 10 - 3 + 13 = 20: fits
    QCOMPARE(edit.Text(), QStringLiteral("01abcdefghijklm56789"));
    edit.SetSelection(0, 0);
    bool refused = false;
    try {
        edit.SetSelText(QStringLiteral("x"));
    } catch (const CorvantaError &e) {
        refused = e.text().contains(QStringLiteral("21")) && e.text().contains(QStringLiteral("20"));
    }
    QVERIFY(refused);
    QCOMPARE(edit.Text(), QStringLiteral("01abcdefghijklm56789"));
    edit.SetSelection(0, 5);
    edit.SetSelText(QStringLiteral("y")); // shrinking always fits
    QCOMPARE(edit.Text(), QStringLiteral("ydefghijklm56789"));
}

QTEST_MAIN(tst_RichEdit)
#include "tst_richedit.moc"
