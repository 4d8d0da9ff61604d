#pragma once

#include <QtGlobal>

// The timing of the steady-speed scroll method: every step starts at a display frame.
// A step moves the text by the speed in pixels; each 1,000,000 of the speed table's delay
// adds one frame before the next step, with the fractions carried over so that the
// average holds. The schedule runs on a monotonic clock; a step that comes late is not
// made up by a burst of steps, the schedule goes on from then.
class FramePacer
{
public:
    static constexpr qint64 DelayPerFrame = 1000000;
    static constexpr double FallbackRefreshRate = 60.0;

    // refreshRate in Hz; anything unusable (0, negative, absurd) counts as 60.
    FramePacer(double refreshRate, qint64 startNs);

    // The number of frames from this step to the next for a step with this delay.
    int FramesAfterStep(qint32 delay);

    // When the next step is due, given when the one just made started to be due and the
    // time now. The step is then due at that time.
    qint64 NextStep(qint32 delay, qint64 nowNs);

    qint64 Due() const { return m_due; }
    double FrameNs() const { return m_frameNs; }

private:
    double m_frameNs;
    qint64 m_start;
    qint64 m_due;
    qint64 m_carry = 0; // delay not yet turned into whole frames
};
