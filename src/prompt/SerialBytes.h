#pragma once

#include "editor/MarkerSearch.h"
#include "settings/Settings.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

struct MarkerSearchState;
struct PromptState;

// The hand controller's bytes, one batch at a time. Every byte stands alone: 0 to 64
// pick a row of the serial speed table, 64 to 126 stop the scrolling and jump to a
// jump marker, 127 does nothing, 128 to 255 reverse the direction. Commands are
// ignored while the lock-out that the last command started is running.
class SerialByteReader
{
public:
    enum class Request
    {
        // The batch is used up; the margin labels show the new delay and speed.
        Done,
        // The direction changed: start the lock-out and turn the cue arrow.
        Toggled,
        // Stop and jump: close the port, start the lock-out and give the jump command; the
        // rest of the batch acts in the new run.
        StopAndJump,
    };

    SerialByteReader(QByteArray batch, PromptState &state, const SerialSpeedTable &table);

    // Interprets bytes until one needs more than the prompt state, or the batch ends.
    // lockedOut: whether the lock-out is running now.
    Request Next(bool lockedOut);
    // Every byte has been read (and a speed owed after a jump applied).
    bool AtEnd() const { return m_next >= m_batch.size() && !m_speedAfterJump; }

private:
    void applySpeed(int row);

    QByteArray m_batch;
    qsizetype m_next = 0;
    bool m_speedAfterJump = false; // 64 is a jump and then a speed
    PromptState &P;
    const SerialSpeedTable &m_table;
};

// Applies a row of the controller's speed table: speed and delay, the delay at once.
void ApplyControllerRow(PromptState &p, const SerialSpeedTable &table, int value);

namespace SerialJump {

// The character index at which a display line of the script starts; -1 past the last.
using LineIndex = std::function<int(int line)>;

// Where the stop-and-jump command goes: forward, the first jump marker after the line at
// the top of the window; back, the last one before it. Nothing when there is none that
// way. Leaves the search state as the marker commands expect it (a forward find sets
// MarkerPos to the marker, 1-based).
std::optional<MarkerSearch::Selection> Target(MarkerSearchState &markers, const QString &text, int lineAtTop,
                                              bool forward, const LineIndex &lineIndex);

}
