#include "search/SearchRules.h"

#include "editor/TextCase.h"
#include "formats/MarkerChars.h"
#include "search/SearchEditor.h"

void FindSearch::FormShow(const QString &scriptText)
{
    m_pass.Start(scriptText);
}

FindSearch::Outcome FindSearch::find(SearchEditor &editor, const QString &needle)
{
    const SearchPass::Hit hit = m_pass.FindNext(needle);
    if (hit.found)
        editor.Select(hit.start, hit.length);
    return {needle, hit.found != 0};
}

FindSearch::Outcome FindSearch::FindNext(SearchEditor &editor, const QString &field)
{
    QString needle = TextCase::lower(field);
    if (needle.isEmpty())
        needle = QString(JumpMarker);
    return find(editor, needle);
}

FindSearch::Outcome FindSearch::ErrorMarker(SearchEditor &editor)
{
    return find(editor, QString(::ErrorMarker));
}

void ReplaceSearch::Open(const QString &scriptText, qint32 &foundPos)
{
    m_foundPos = &foundPos;
    m_pass.Start(scriptText);
}

FindSearch::Outcome ReplaceSearch::FindNext(SearchEditor &editor, const QString &field)
{
    const QString needle = TextCase::lower(field);
    const SearchPass::Hit hit = m_pass.FindNext(needle);
    *m_foundPos = hit.found;
    if (hit.found)
        editor.Select(hit.start, hit.length);
    return {needle, hit.found != 0};
}

bool ReplaceSearch::Replace(SearchEditor &editor, const QString &replacement)
{
    if (*m_foundPos == 0)
        return false;
    // The pass learns what was really replaced: after a second Replace that is only
    // the caret, not the length of the search text.
    const int start = editor.SelStart();
    const int length = editor.SelLength();
    editor.ReplaceSelection(replacement);
    m_pass.Replaced(start, length, int(replacement.size()));
    return true;
}

ReplaceSearch::Outcome ReplaceSearch::ReplaceAll(SearchEditor &editor, const QString &field,
                                                 const QString &replacement)
{
    Outcome outcome{TextCase::lower(field), 0};
    const QString &needle = outcome.field;
    editor.BeginBatch();
    for (SearchPass::Hit hit = m_pass.FindNext(needle); hit.found; hit = m_pass.FindNext(needle)) {
        editor.Select(hit.start, hit.length);
        editor.ReplaceSelection(replacement);
        m_pass.Replaced(hit.start, hit.length, int(replacement.size()));
        ++outcome.replaced;
    }
    editor.EndBatch();
    *m_foundPos = 0;
    return outcome;
}
