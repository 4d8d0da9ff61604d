#include "prompt/SerialBytes.h"

#include "editor/MarkerSearchState.h"
#include "formats/MarkerChars.h"
#include "prompt/KeyRules.h"
#include "prompt/PromptState.h"

SerialByteReader::SerialByteReader(QByteArray batch, PromptState &state, const SerialSpeedTable &table)
    : m_batch(std::move(batch)), P(state), m_table(table)
{
}

SerialByteReader::Request SerialByteReader::Next(bool lockedOut)
{
    if (m_speedAfterJump) {
        m_speedAfterJump = false;
        applySpeed(64);
    }
    while (m_next < m_batch.size()) {
        const int byte = quint8(m_batch[m_next++]);
        if (byte >= 128 && !lockedOut) {
            KeyRules::ToggleDirection(P);
            return Request::Toggled;
        }
        if (byte >= 64 && byte <= 126 && !lockedOut) {
            P.LoopRunning = 0;
            P.CurrentSpeed = 0;
            m_speedAfterJump = byte == 64;
            return Request::StopAndJump;
        }
        if (byte <= 64)
            applySpeed(byte);
    }
    return Request::Done;
}

// The busy-wait is left alone: the scroll loop takes a new delay only when it is above 0.
void SerialByteReader::applySpeed(int row)
{
    P.CurrentSpeed = m_table[row].Speed;
    P.CurrentDelay = m_table[row].Delay;
}

namespace SerialJump {

namespace {

std::optional<MarkerSearch::Selection> forward(MarkerSearchState &m, const PromptState &P,
                                               const LineIndex &lineIndex)
{
    m.MarkerScanPos = lineIndex(P.TopLine + P.RecycleLines + P.PageLines);
    // Past the end of the script nothing lies ahead; searching from index -1 would
    // search the whole script and jump back to its first marker.
    if (m.MarkerScanPos < 0) {
        m.FoundPos = 0;
        return std::nullopt;
    }
    m.SearchText.remove(0, m.MarkerScanPos + 1);
    m.FoundPos = int(m.SearchText.indexOf(JumpMarker)) + 1;
    if (m.FoundPos == 0)
        return std::nullopt;
    m.MarkerScanPos += m.FoundPos;
    m.MarkerPos = m.MarkerScanPos + 1;
    return MarkerSearch::Selection{m.MarkerScanPos, 1};
}

std::optional<MarkerSearch::Selection> backward(MarkerSearchState &m, const PromptState &P,
                                                const LineIndex &lineIndex)
{
    m.MarkerScanPos = lineIndex(P.TopLine);
    if (m.MarkerScanPos <= 1)
        return std::nullopt;
    // The line break before the top line and the character before it are not searched.
    MarkerSearch::lastBefore(m, JumpMarker, m.MarkerScanPos);
    return MarkerSearch::Selection{m.MarkerScanPos, 1};
}

}

std::optional<MarkerSearch::Selection> Target(MarkerSearchState &markers, const QString &text,
                                              const PromptState &state, const LineIndex &lineIndex)
{
    markers.SearchText = MarkerSearch::lowerKeepingPositions(text);
    return state.Reverse == 0 ? forward(markers, state, lineIndex) : backward(markers, state, lineIndex);
}

}
