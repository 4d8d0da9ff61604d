#pragma once

#include <QString>
#include <QStringView>

#include <vector>

// One pass of a search dialog over the script's text as it was when the dialog
// opened. The text is consumed from the front: each hit drops the text up to and
// including its first character, so the next search starts one character after the
// previous hit (overlapping hits are all found) and never wraps.
//
// While the pass runs, the dialog may replace text in the script. The pass keeps
// track of where the unsearched text now stands in the script, and never reports a
// hit on text that has been replaced: a hit overlapping a replacement is skipped.
class SearchPass
{
public:
    struct Hit
    {
        int found = 0;  // 1-based position of the hit in what was left of the text; 0: none
        int start = 0;  // where it stands in the script now (0-based)
        int length = 0;
    };

    // A new pass from the top of the script.
    void Start(const QString &text);
    // The next hit of a lower-case text; an empty text is never found. Nothing is
    // consumed when there is no hit.
    Hit FindNext(QStringView needle);
    // The script's characters [start, start + length) were replaced by insertedLength
    // others.
    void Replaced(int start, int length, int insertedLength);

    // What is left to search (lower-cased), for tests.
    QStringView Rest() const;

private:
    // Replaced text in snapshot positions: the snapshot's [from, to) is gone from the
    // script, and what follows it has moved by delta.
    struct Edit
    {
        qsizetype from = 0;
        qsizetype to = 0;
        qsizetype delta = 0;
    };

    bool overlapsEdit(qsizetype start, qsizetype length) const;
    qsizetype scriptPosition(qsizetype index) const;
    qsizetype snapshotStart(qsizetype position) const;
    qsizetype snapshotEnd(qsizetype position) const;
    void forgetPassedEdits();

    QString m_text;
    qsizetype m_consumed = 0;
    // Shift of every unsearched character by the edits already passed.
    qsizetype m_shift = 0;
    // Edits that reach the unsearched text, in snapshot order, not overlapping.
    std::vector<Edit> m_edits;
};
