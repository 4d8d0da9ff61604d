#pragma once

#include <QChar>
#include <QString>

#include <optional>

struct MarkerSearchState;

// Stepping from marker to marker in the script's plain text. No widgets: the caller
// applies the selection. Positions in the state are 1-based (caret position + 1).
namespace MarkerSearch {

struct Selection
{
    int start = 0;  // 0-based caret position
    int length = 0;
};

// The next marker after the current one (MarkerPos); nothing when there is none,
// and then the state's MarkerPos stays as it was.
std::optional<Selection> next(MarkerSearchState &state, const QString &text, QChar marker);

// The last marker before the one just ahead of the current one (the character right
// before the current marker is not searched); without one, the first character.
// Nothing at all when MarkerPos is 1 or less.
std::optional<Selection> previous(MarkerSearchState &state, const QString &text, QChar marker);

// Lower-cased one character at a time, so every position stays where it was.
QString lowerKeepingPositions(const QString &text);

// Searching SearchText back from a 1-based position: the 1-based position of the last
// marker more than one character before it (0 when there is none). Consumes SearchText up
// to that marker and leaves MarkerScanPos on it, as the step-by-step search would.
int lastBefore(MarkerSearchState &state, QChar marker, int position);

}
