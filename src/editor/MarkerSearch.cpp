#include "editor/MarkerSearch.h"

#include "editor/MarkerSearchState.h"

namespace MarkerSearch {

QString lowerKeepingPositions(const QString &text)
{
    // QString::toLower() applies the special casings, which can lengthen the text.
    QString lower(text);
    for (QChar &ch : lower)
        ch = ch.toLower();
    return lower;
}

std::optional<Selection> next(MarkerSearchState &state, const QString &text, QChar marker)
{
    state.SearchText = lowerKeepingPositions(text);
    state.MarkerScanPos = state.MarkerPos;
    state.SearchText.remove(0, std::max(0, state.MarkerPos));
    state.FoundPos = int(state.SearchText.indexOf(marker)) + 1;
    if (state.FoundPos == 0)
        return std::nullopt;
    state.MarkerScanPos = state.FoundPos + std::max(0, state.MarkerPos);
    state.MarkerPos = state.MarkerScanPos;
    return Selection{state.MarkerScanPos - 1, 1};
}

int lastBefore(MarkerSearchState &state, QChar marker, int position)
{
    // The character at the position and the one before it are not searched.
    state.SearchText.truncate(position - 2);
    // The last hit in what is kept; the rest of the text is consumed as it goes.
    const int last = int(state.SearchText.lastIndexOf(marker)) + 1;
    state.SearchText.remove(0, last);
    state.MarkerScanPos = last;
    state.FoundPos = 0;
    return last;
}

std::optional<Selection> previous(MarkerSearchState &state, const QString &text, QChar marker)
{
    state.SearchText = lowerKeepingPositions(text);
    state.MarkerScanPos = state.MarkerPos;
    if (state.MarkerScanPos <= 1)
        return std::nullopt;
    const int last = lastBefore(state, marker, state.MarkerPos);
    if (last == 0) {
        state.MarkerPos = 1;
        return Selection{0, 1};
    }
    state.MarkerPos = last;
    return Selection{last - 1, 1};
}

}
