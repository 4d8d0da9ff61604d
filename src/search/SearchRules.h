#pragma once

#include "search/SearchPass.h"

#include <QString>

class SearchEditor;

// The find dialog's search: Find Next and Error Marker over the script as it was
// when the dialog was shown.
class FindSearch
{
public:
    struct Outcome
    {
        QString field; // the "Find what?" text as the dialog shows it afterwards
        bool found = false;
    };

    void FormShow(const QString &scriptText);
    // The field is lower-cased; an empty one searches for the jump marker.
    Outcome FindNext(SearchEditor &editor, const QString &field);
    // The next error marker; it becomes the field's text.
    Outcome ErrorMarker(SearchEditor &editor);

private:
    Outcome find(SearchEditor &editor, const QString &needle);

    SearchPass m_pass;
};

// The replace dialog's search.
class ReplaceSearch
{
public:
    ReplaceSearch() = default;
    // It points at the shared last-hit position; a copy would share it unnoticed.
    ReplaceSearch(const ReplaceSearch &) = delete;
    ReplaceSearch &operator=(const ReplaceSearch &) = delete;

    struct Outcome
    {
        QString field; // the "Find what?" text as the dialog shows it afterwards
        int replaced = 0;
    };

    // A new pass. foundPos is the program's shared last-hit position, which the marker
    // commands set too: Replace acts only while it is not 0.
    void Open(const QString &scriptText, qint32 &foundPos);
    // An empty field is never found.
    FindSearch::Outcome FindNext(SearchEditor &editor, const QString &field);
    // The selection (the last hit, normally) becomes the replacement; false when
    // there was no hit to replace.
    bool Replace(SearchEditor &editor, const QString &replacement);
    // Every hit from the pass's current point on.
    Outcome ReplaceAll(SearchEditor &editor, const QString &field, const QString &replacement);

private:
    qint32 m_noFoundPos = 0;
    qint32 *m_foundPos = &m_noFoundPos;
    SearchPass m_pass;
};
