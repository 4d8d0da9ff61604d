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
            m_speedAfterJump = byte == 64;
            return Request::StopAndJump;
        }
        if (byte <= 64)
            applySpeed(byte);
    }
    return Request::Done;
}

void SerialByteReader::applySpeed(int row)
{
    ApplyControllerRow(P, m_table, row);
}

void ApplyControllerRow(PromptState &p, const SerialSpeedTable &table, int value)
{
    // The row's delay acts as given, 0 included: a slow row before must not linger.
    p.CurrentSpeed = table[value].Speed;
    p.CurrentDelay = table[value].Delay;
    p.ActiveDelay = table[value].Delay;
}

namespace SerialJump {

std::optional<MarkerSearch::Selection> Target(MarkerSearchState &m, const QString &text, int lineAtTop, bool forward,
                                              const LineIndex &lineIndex)
{
    m.SearchText = MarkerSearch::lowerKeepingPositions(text);
    if (forward) {
        // From the line under the one at the top: that one is on screen already.
        const int from = lineIndex(lineAtTop + 1);
        const qsizetype found = from < 0 ? -1 : m.SearchText.indexOf(JumpMarker, from);
        m.FoundPos = int(found) + 1;
        if (found < 0)
            return std::nullopt;
        m.MarkerScanPos = int(found);
        m.MarkerPos = m.MarkerScanPos + 1;
        return MarkerSearch::Selection{m.MarkerScanPos, 1};
    }
    const int before = lineIndex(lineAtTop);
    const qsizetype found = before <= 0 ? -1 : m.SearchText.lastIndexOf(JumpMarker, before - 1);
    if (found < 0)
        return std::nullopt;
    m.MarkerScanPos = int(found);
    return MarkerSearch::Selection{m.MarkerScanPos, 1};
}

}
