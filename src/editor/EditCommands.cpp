#include "editor/EditCommands.h"

#include "controls/MainControls.h"
#include "controls/TRichEdit.h"

#include <QApplication>
#include <QClipboard>
#include <QDateTime>
#include <QLocale>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace {

// Text without a colour of its own shows in the control's text colour.
void clearColours(QTextDocument *document)
{
    QTextCursor cursor(document);
    cursor.beginEditBlock();
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            QTextCharFormat format = fragment.charFormat();
            format.clearForeground();
            cursor.setPosition(fragment.position());
            cursor.setPosition(fragment.position() + fragment.length(), QTextCursor::KeepAnchor);
            cursor.setCharFormat(format);
        }
    }
    cursor.endEditBlock();
}

}

void EditCommands::EditUndo()
{
    m_c.RichEdit1->undo();
}

void EditCommands::EditRedo()
{
    m_c.RichEdit1->redo();
}

void EditCommands::EditCut()
{
    m_c.RichEdit1->cut();
}

void EditCommands::EditCopy()
{
    m_c.RichEdit1->copy();
}

void EditCommands::N6Click()
{
    m_c.RichEdit1->SelectAll();
}

void EditCommands::EditPaste()
{
    // The pasted text takes the script's colour and base font; its styles stay.
    TRichEdit *staging = m_c.RichEdit4;
    staging->Clear();
    // An empty clipboard, or one holding only formats that are not text (a picture, files),
    // pastes nothing; it is still emptied.
    if (TRichEdit::CanPaste(QGuiApplication::clipboard()->mimeData()))
        pasteFormatted();
    staging->Clear();
    QGuiApplication::clipboard()->clear();
}

void EditCommands::pasteFormatted()
{
    TRichEdit *editor = m_c.RichEdit1;
    TRichEdit *staging = m_c.RichEdit4;
    const int line = editor->LineFromChar(-1);
    staging->paste();
    staging->SelectAll();
    staging->SetBackgroundColor(editor->BackgroundColor());
    const TextAttributes atCaret = editor->SelAttributes();
    const QFont base = editor->document()->defaultFont();
    // At a caret in text without a colour of its own, the pasted text has none either,
    // or it would keep the colour it came with.
    if (atCaret.Color >= 0)
        staging->SetSelColor(atCaret.Color);
    else
        clearColours(staging->document());
    staging->SetSelFontName(base.family());
    staging->SetSelSize(base.pointSizeF());
    staging->copy();
    if (!staging->document()->isEmpty()) {
        editor->paste();
        editor->SelectAll();
        editor->SetSelSize(editor->SelAttributes().Size + 1);
        editor->SetSelSize(editor->SelAttributes().Size - 1);
        editor->SetSelection(editor->LineIndex(line), 0);
    }
}

void EditCommands::Date1Click()
{
    const QLocale locale;
    m_c.RichEdit1->SetSelText(locale.toString(QDate::currentDate(), QLocale::ShortFormat) + QStringLiteral("  "));
}

void EditCommands::Time1Click()
{
    const QLocale locale;
    m_c.RichEdit1->SetSelText(locale.toString(QTime::currentTime(), QLocale::LongFormat) + QStringLiteral("  "));
}
