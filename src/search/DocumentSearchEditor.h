#pragma once

#include "search/SearchEditor.h"

#include <QTextCursor>

// The search dialogs' view of a document: they move and edit this cursor, and the
// editor takes it back once the command is done, so that a Replace All of thousands
// of hits neither scrolls nor lays out the document once per hit.
class DocumentSearchEditor : public SearchEditor
{
public:
    explicit DocumentSearchEditor(const QTextCursor &cursor) : m_cursor(cursor) {}

    const QTextCursor &Cursor() const { return m_cursor; }

    int SelStart() const override;
    int SelLength() const override;
    void Select(int start, int length) override;
    void ReplaceSelection(const QString &text) override;
    void BeginBatch() override;
    void EndBatch() override;

private:
    QTextCursor m_cursor;
};
