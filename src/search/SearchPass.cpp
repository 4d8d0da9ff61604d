#include "search/SearchPass.h"

#include "editor/TextCase.h"

#include <algorithm>

void SearchPass::Start(const QString &text)
{
    // Lower-cased once: every search of the pass ignores case, and the mapping keeps
    // each character where it was.
    m_text = TextCase::lower(text);
    m_consumed = 0;
    m_shift = 0;
    m_edits.clear();
}

QStringView SearchPass::Rest() const
{
    return QStringView(m_text).mid(m_consumed);
}

SearchPass::Hit SearchPass::FindNext(QStringView needle)
{
    if (needle.isEmpty())
        return {};
    qsizetype from = m_consumed;
    qsizetype index = -1;
    while ((index = QStringView(m_text).indexOf(needle, from)) >= 0 && overlapsEdit(index, needle.size()))
        from = index + 1;
    if (index < 0)
        return {};
    Hit hit;
    hit.found = int(index - m_consumed + 1);
    hit.start = int(scriptPosition(index));
    hit.length = int(needle.size());
    m_consumed = index + 1;
    forgetPassedEdits();
    return hit;
}

bool SearchPass::overlapsEdit(qsizetype start, qsizetype length) const
{
    // Replaced text, or an insertion between two of the hit's characters, breaks the hit.
    return std::any_of(m_edits.begin(), m_edits.end(), [&](const Edit &e) {
        return e.from < start + length && e.to > start;
    });
}

qsizetype SearchPass::scriptPosition(qsizetype index) const
{
    qsizetype position = index + m_shift;
    for (const Edit &e : m_edits) {
        if (e.to > index)
            break;
        position += e.delta;
    }
    return position;
}

// The snapshot position of the first character at or after a script position; the
// start of an edit when the position lies in that edit's new text.
qsizetype SearchPass::snapshotStart(qsizetype position) const
{
    qsizetype shift = m_shift;
    for (const Edit &e : m_edits) {
        const qsizetype newStart = e.from + shift;
        const qsizetype newEnd = e.to + shift + e.delta;
        if (position < newStart)
            break;
        if (position < newEnd)
            return e.from;
        shift += e.delta;
    }
    return position - shift;
}

// The snapshot position that ends a range ending at a script position; the end of an
// edit when the position lies in that edit's new text.
qsizetype SearchPass::snapshotEnd(qsizetype position) const
{
    qsizetype shift = m_shift;
    for (const Edit &e : m_edits) {
        const qsizetype newStart = e.from + shift;
        const qsizetype newEnd = e.to + shift + e.delta;
        if (position <= newStart)
            break;
        if (position <= newEnd)
            return e.to;
        shift += e.delta;
    }
    return position - shift;
}

void SearchPass::Replaced(int start, int length, int insertedLength)
{
    length = std::max(length, 0);
    Edit edit;
    edit.from = std::max<qsizetype>(snapshotStart(start), 0);
    edit.to = std::max(snapshotEnd(qsizetype(start) + length), edit.from);
    edit.delta = qsizetype(insertedLength) - length;
    // Earlier edits that this one touches become part of it.
    auto first = std::find_if(m_edits.begin(), m_edits.end(), [&](const Edit &e) { return e.to >= edit.from; });
    auto last = std::find_if(first, m_edits.end(), [&](const Edit &e) { return e.from > edit.to; });
    for (auto it = first; it != last; ++it) {
        edit.from = std::min(edit.from, it->from);
        edit.to = std::max(edit.to, it->to);
        edit.delta += it->delta;
    }
    m_edits.insert(m_edits.erase(first, last), edit);
    forgetPassedEdits();
}

void SearchPass::forgetPassedEdits()
{
    // An edit wholly before the unsearched text only moves it.
    auto passed = m_edits.begin();
    while (passed != m_edits.end() && passed->to <= m_consumed) {
        m_shift += passed->delta;
        ++passed;
    }
    m_edits.erase(m_edits.begin(), passed);
}
