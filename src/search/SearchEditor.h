#pragma once

#include <QString>

// What the find and replace dialogs need of the script editor.
class SearchEditor
{
public:
    virtual ~SearchEditor() = default;

    virtual int SelStart() const = 0;
    virtual int SelLength() const = 0;
    virtual void Select(int start, int length) = 0;
    // The selection becomes the text, in the format found at the selection's start;
    // the caret then stands after it, nothing selected.
    virtual void ReplaceSelection(const QString &text) = 0;
    // Many replacements that count as one change (Replace All).
    virtual void BeginBatch() {}
    virtual void EndBatch() {}
};
