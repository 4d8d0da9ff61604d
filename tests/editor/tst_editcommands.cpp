#include "TestWindow.h"

#include "app/TMainForm.h"
#include "controls/TRichEdit.h"
#include "editor/EditCommands.h"

#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QtTest>

class tst_EditCommands : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void copiedTextCarriesRtf();
    void pasteTakesScriptFormatAndEmptiesClipboard();
    void pasteKeepsCaretLine();
    void dateReplacesSelection();
    void timeReplacesSelection();
    void copyWordThenPasteTwice();
    void pasteGivesScriptFirstSize_data();
    void pasteGivesScriptFirstSize();
    void pasteWithoutTextChangesNothing_data();
    void pasteWithoutTextChangesNothing();
    void pasteIntoTextWithoutOwnColour();
    void pasteKeyRunsScriptPaste();
    void pasteAfterStartUp();
    void redo_data();
    void redo();
};

void tst_EditCommands::copiedTextCarriesRtf()
{
    TRichEdit from;
    from.SetBaseFont(QStringLiteral("Arial"), 20, 0xFFFFFF);
    from.setPlainText(QStringLiteral("plain \u00bbbold red\u00a4 plain"));
    from.SetSelection(6, 10);
    from.SetSelBold(true);
    from.SetSelColor(0x0000FF);
    from.copy();
    const QMimeData *mime = QGuiApplication::clipboard()->mimeData();
    QVERIFY(mime->hasFormat(QStringLiteral("text/rtf")));
    QVERIFY(mime->data(QStringLiteral("text/rtf")).startsWith("{\\rtf1"));
    QCOMPARE(mime->text(), QStringLiteral("\u00bbbold red\u00a4"));

    // Only RTF on offer, as another program would give it: it pastes with its format.
    auto *rtfOnly = new QMimeData;
    rtfOnly->setData(QStringLiteral("text/rtf"), mime->data(QStringLiteral("text/rtf")));
    QGuiApplication::clipboard()->setMimeData(rtfOnly);
    TRichEdit to;
    to.setPlainText(QStringLiteral("[]"));
    to.SetSelection(1, 0);
    to.paste();
    QCOMPARE(to.Text(), QStringLiteral("[\u00bbbold red\u00a4]"));
    to.SetSelection(3, 2);
    QVERIFY(to.SelAttributes().Bold);
    QCOMPARE(to.SelAttributes().Color, 0x0000FF);
}

void tst_EditCommands::pasteTakesScriptFormatAndEmptiesClipboard()
{
    TestWindow window;
    TMainForm &form = window.open();
    TRichEdit *editor = form.RichEdit1;
    editor->SetBaseFont(QStringLiteral("Arial"), 60, 0xFFFFFF);
    editor->setPlainText(QStringLiteral("one two"));
    editor->SelectAll();
    editor->SetSelColor(0xFFFFFF);

    TRichEdit source;
    source.setPlainText(QStringLiteral("word"));
    source.SelectAll();
    source.SetSelFontName(QStringLiteral("Courier New"));
    source.SetSelSize(12);
    source.SetSelColor(0x0000FF);
    source.SetSelItalic(true);
    source.copy();

    editor->SetSelection(4, 0);
    form.Edit->EditPaste();
    QCOMPARE(editor->Text(), QStringLiteral("one wordtwo"));
    editor->SetSelection(4, 4);
    const TextAttributes a = editor->SelAttributes();
    QCOMPARE(a.Name, QStringLiteral("Arial"));
    QCOMPARE(a.Size, 60.0);
    QCOMPARE(a.Color, 0xFFFFFF);
    QVERIFY(a.Italic);
    QVERIFY(QGuiApplication::clipboard()->text().isEmpty());

    // The second paste has nothing left to insert.
    form.Edit->EditPaste();
    QCOMPARE(editor->Text(), QStringLiteral("one wordtwo"));
    QVERIFY(form.RichEdit4->document()->isEmpty());
}

void tst_EditCommands::pasteKeepsCaretLine()
{
    TestWindow window;
    TMainForm &form = window.open();
    form.show();
    TRichEdit *editor = form.RichEdit1;
    editor->SetBaseFont(QStringLiteral("Arial"), 12, 0xFFFFFF);
    QStringList lines;
    for (int i = 0; i < 10; ++i)
        lines << QStringLiteral("line %1").arg(i);
    editor->setPlainText(lines.join(QLatin1Char('\n')));
    QGuiApplication::clipboard()->setText(QStringLiteral("a\nb\nc"));
    editor->SetSelection(editor->LineIndex(7) + 3, 0);
    form.Edit->EditPaste();
    QCOMPARE(editor->SelStart(), editor->LineIndex(7));
    QCOMPARE(editor->SelLength(), 0);
}

void tst_EditCommands::dateReplacesSelection()
{
    TestWindow window;
    TMainForm &form = window.open();
    form.RichEdit1->setPlainText(QStringLiteral("on WHEN we"));
    form.RichEdit1->SetSelection(3, 4);
    form.Action(QStringLiteral("Date1"))->trigger();
    QCOMPARE(form.RichEdit1->Text(),
             QStringLiteral("on ") + QLocale().toString(QDate::currentDate(), QLocale::ShortFormat)
                 + QStringLiteral("   we"));
}

void tst_EditCommands::timeReplacesSelection()
{
    TestWindow window;
    TMainForm &form = window.open();
    form.RichEdit1->setPlainText(QStringLiteral("at NOW."));
    form.RichEdit1->SetSelection(3, 3);
    const QLocale locale;
    const QString before = locale.toString(QTime::currentTime(), QLocale::LongFormat);
    form.Action(QStringLiteral("Time1"))->trigger();
    const QString after = locale.toString(QTime::currentTime(), QLocale::LongFormat);
    const QString text = form.RichEdit1->Text();
    QVERIFY2(text == QStringLiteral("at ") + before + QStringLiteral("  .")
                 || text == QStringLiteral("at ") + after + QStringLiteral("  ."),
             qPrintable(text));
    QCOMPARE(form.RichEdit1->SelLength(), 0);
}

void tst_EditCommands::copyWordThenPasteTwice()
{
    TestWindow window;
    TMainForm &form = window.open();
    TRichEdit *editor = form.RichEdit1;
    editor->setPlainText(QStringLiteral("alpha beta"));
    editor->SetSelection(6, 4);
    form.Action(QStringLiteral("EditCopyItem"))->trigger();
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("beta"));
    editor->SetSelection(5, 0);
    form.Action(QStringLiteral("EditPasteItem"))->trigger();
    QCOMPARE(editor->Text(), QStringLiteral("alphabeta beta"));
    form.Action(QStringLiteral("EditPasteItem"))->trigger();
    QCOMPARE(editor->Text(), QStringLiteral("alphabeta beta"));
    QVERIFY(QGuiApplication::clipboard()->text().isEmpty());
}

void tst_EditCommands::pasteGivesScriptFirstSize_data()
{
    QTest::addColumn<int>("caret");
    QTest::addColumn<double>("size");
    // The script's first character is 40 points, the base font 60.
    QTest::newRow("paste inside") << 6 << 40.0;
    QTest::newRow("paste at the end") << 13 << 40.0;
    // Pasted text comes in at the base size; at the start it is the first character.
    QTest::newRow("paste at the start") << 0 << 60.0;
}

void tst_EditCommands::pasteGivesScriptFirstSize()
{
    QFETCH(int, caret);
    QFETCH(double, size);
    TestWindow window;
    TMainForm &form = window.open();
    TRichEdit *editor = form.RichEdit1;
    editor->SetBaseFont(QStringLiteral("Arial"), 60, 0xFFFFFF);
    editor->setPlainText(QStringLiteral("Big and small"));
    editor->SelectAll();
    editor->SetSelSize(20);
    editor->SetSelection(0, 1);
    editor->SetSelSize(40);
    QGuiApplication::clipboard()->setText(QStringLiteral("new "));
    editor->SetSelection(caret, 0);
    form.Edit->EditPaste();
    QCOMPARE(editor->Text().size(), 17);
    editor->SelectAll();
    const TextAttributes all = editor->SelAttributes();
    QCOMPARE(all.Size, size);
    QVERIFY(all.ConsistentAttributes & TextAttributes::caSize);
}

void tst_EditCommands::pasteWithoutTextChangesNothing_data()
{
    QTest::addColumn<QString>("offer");
    QTest::newRow("empty clipboard") << QString();
    QTest::newRow("a picture") << QStringLiteral("image");
    QTest::newRow("an address") << QStringLiteral("url");
}

void tst_EditCommands::pasteWithoutTextChangesNothing()
{
    QFETCH(QString, offer);
    TestWindow window;
    TMainForm &form = window.open();
    TRichEdit *editor = form.RichEdit1;
    editor->setPlainText(QStringLiteral("keep"));
    editor->SetModified(false);
    QGuiApplication::clipboard()->clear();
    if (offer == QLatin1String("image")) {
        QImage picture(8, 8, QImage::Format_RGB32);
        picture.fill(Qt::red);
        QGuiApplication::clipboard()->setImage(picture);
    } else if (offer == QLatin1String("url")) {
        auto *mime = new QMimeData;
        mime->setData(QStringLiteral("text/x-moz-url-priv"), "file:///tmp");
        QGuiApplication::clipboard()->setMimeData(mime);
    }
    editor->SetSelection(2, 0);
    form.Edit->EditPaste();
    QCOMPARE(editor->Text(), QStringLiteral("keep"));
    QVERIFY(!editor->Modified());
    const QMimeData *left = QGuiApplication::clipboard()->mimeData();
    QVERIFY(!left || left->formats().isEmpty());
}

// Text without a colour of its own shows in the editor's text colour; pasted text
// among it must show in that colour too, not in the colour it came with.
void tst_EditCommands::pasteIntoTextWithoutOwnColour()
{
    TestWindow window;
    TMainForm &form = window.open();
    TRichEdit *editor = form.RichEdit1;
    editor->SetBaseFont(QStringLiteral("Arial"), 60, 0xFFFFFF);
    editor->setPlainText(QStringLiteral("plain text"));
    QCOMPARE(editor->AttributesAt(3).Color, -1);

    TRichEdit source;
    source.setPlainText(QStringLiteral("black"));
    source.SelectAll();
    source.SetSelColor(0x000000);
    source.SetSelBold(true);
    source.copy();
    editor->SetSelection(6, 0);
    form.Edit->EditPaste();
    QCOMPARE(editor->Text(), QStringLiteral("plain blacktext"));
    editor->SetSelection(6, 5);
    QCOMPARE(editor->SelAttributes().Color, -1);
    QVERIFY(editor->SelAttributes().Bold);
}

// Ctrl+V in the editor is the script's Paste, not the control's own.
void tst_EditCommands::pasteKeyRunsScriptPaste()
{
    TestWindow window;
    TMainForm &form = window.open();
    QVERIFY(ActivateWindow(&form));
    TRichEdit *editor = form.RichEdit1;
    editor->SetBaseFont(QStringLiteral("Arial"), 60, 0xFFFFFF);
    editor->setPlainText(QStringLiteral("one two"));
    TRichEdit source;
    source.setPlainText(QStringLiteral("word"));
    source.SelectAll();
    source.SetSelFontName(QStringLiteral("Courier New"));
    source.copy();
    editor->setFocus();
    editor->SetSelection(4, 0);
    QTest::keyClick(editor, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(editor->Text(), QStringLiteral("one wordtwo"));
    editor->SetSelection(4, 4);
    QCOMPARE(editor->SelAttributes().Name, QStringLiteral("Arial"));
    QVERIFY(QGuiApplication::clipboard()->text().isEmpty());
    // A control without a paste command of its window pastes by itself.
    TRichEdit other;
    QVERIFY(ActivateWindow(&other));
    QGuiApplication::clipboard()->setText(QStringLiteral("x"));
    QTest::keyClick(&other, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(other.Text(), QStringLiteral("x"));
}

// The window empties the clipboard as it starts; on X11 an emptied clipboard is data with
// no formats rather than none, and pasting it must insert nothing.
void tst_EditCommands::pasteAfterStartUp()
{
    QGuiApplication::clipboard()->setText(QStringLiteral("from before"));
    TestWindow window;
    TMainForm &form = window.open();
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    TRichEdit *editor = form.RichEdit1;
    editor->setPlainText(QStringLiteral("script"));
    editor->SetModified(false);
    editor->SetSelection(3, 0);
    for (int i = 0; i < 2; ++i) {
        form.Action(QStringLiteral("EditPasteItem"))->trigger();
        QCOMPARE(editor->Text(), QStringLiteral("script"));
    }
    // The control's own paste of that clipboard inserts nothing either.
    editor->paste();
    QCOMPARE(editor->Text(), QStringLiteral("script"));
    QVERIFY(!editor->Modified());
    QVERIFY(window.dialogs.errors.isEmpty());
}

void tst_EditCommands::redo_data()
{
    QTest::addColumn<QKeySequence>("keys");
    QTest::newRow("menu item") << QKeySequence();
    QTest::newRow("Ctrl+Y") << QKeySequence(QStringLiteral("Ctrl+Y"));
    QTest::newRow("Ctrl+Shift+Z") << QKeySequence(QStringLiteral("Ctrl+Shift+Z"));
}

void tst_EditCommands::redo()
{
    QFETCH(QKeySequence, keys);
    TestWindow window;
    TMainForm &form = window.open();
    QVERIFY(ActivateWindow(&form));
    TRichEdit *editor = form.RichEdit1;
    editor->setFocus();
    QTest::keyClicks(editor, QStringLiteral("one"));
    QTest::keyClick(editor, Qt::Key_Space);
    QTest::keyClicks(editor, QStringLiteral("two"));
    const QString typed = editor->Text();
    form.Action(QStringLiteral("EditUndoItem"))->trigger();
    QVERIFY(editor->Text() != typed);
    if (keys.isEmpty())
        form.Action(QStringLiteral("EditRedoItem"))->trigger();
    else
        QTest::keySequence(editor, keys);
    QCOMPARE(editor->Text(), typed);
    // Nothing left to redo: a second redo changes nothing.
    form.Action(QStringLiteral("EditRedoItem"))->trigger();
    QCOMPARE(editor->Text(), typed);
}

QTEST_MAIN(tst_EditCommands)
#include "tst_editcommands.moc"
