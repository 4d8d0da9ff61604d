#include "search/DocumentSearchEditor.h"

#include <QTextDocument>

#include <algorithm>

int DocumentSearchEditor::SelStart() const
{
    return m_cursor.selectionStart();
}

int DocumentSearchEditor::SelLength() const
{
    return m_cursor.selectionEnd() - m_cursor.selectionStart();
}

void DocumentSearchEditor::Select(int start, int length)
{
    const int last = m_cursor.document()->characterCount() - 1;
    start = std::clamp(start, 0, last);
    m_cursor.setPosition(start);
    m_cursor.setPosition(std::clamp(start + std::max(length, 0), start, last), QTextCursor::KeepAnchor);
}

void DocumentSearchEditor::ReplaceSelection(const QString &text)
{
    QTextCharFormat format = m_cursor.charFormat();
    if (m_cursor.hasSelection()) {
        QTextCursor first(m_cursor.document());
        first.setPosition(m_cursor.selectionStart() + 1);
        format = first.charFormat();
    }
    m_cursor.insertText(text, format);
}

void DocumentSearchEditor::BeginBatch()
{
    m_cursor.beginEditBlock();
}

void DocumentSearchEditor::EndBatch()
{
    m_cursor.endEditBlock();
}
