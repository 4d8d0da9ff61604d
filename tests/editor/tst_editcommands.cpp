#include "FakeDialogs.h"

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
    ScopedWorkDir dir;
    FakeDialogs dialogs;
    TMainForm form(QString(), &dialogs);
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
    ScopedWorkDir dir;
    FakeDialogs dialogs;
    TMainForm form(QString(), &dialogs);
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
    ScopedWorkDir dir;
    FakeDialogs dialogs;
    TMainForm form(QString(), &dialogs);
    form.RichEdit1->setPlainText(QStringLiteral("on WHEN we"));
    form.RichEdit1->SetSelection(3, 4);
    form.Action(QStringLiteral("Date1"))->trigger();
    QCOMPARE(form.RichEdit1->Text(),
             QStringLiteral("on ") + QLocale().toString(QDate::currentDate(), QLocale::ShortFormat) + QStringLiteral("   we"));
}

QTEST_MAIN(tst_EditCommands)
#include "tst_editcommands.moc"
