#include "prompt/FramePacer.h"

#include <cmath>

FramePacer::FramePacer(double refreshRate, qint64 startNs)
    : m_frameNs(1e9 / (refreshRate >= 10 && refreshRate <= 1000 ? refreshRate : FallbackRefreshRate)),
      m_start(startNs),
      m_due(startNs)
{
}

int FramePacer::FramesAfterStep(qint32 delay)
{
    m_carry += std::max<qint32>(delay, 0);
    const qint64 extra = m_carry / DelayPerFrame;
    m_carry -= extra * DelayPerFrame;
    return int(1 + extra);
}

qint64 FramePacer::NextStep(qint32 delay, qint64 nowNs)
{
    const int frames = FramesAfterStep(delay);
    // Frames are counted from the start, so rounding never adds up to a drift.
    const double frameOfDue = std::round((m_due - m_start) / m_frameNs);
    double next = frameOfDue + frames;
    // Late: the next step waits for the first frame from now, the ones missed are lost.
    const double frameOfNow = std::ceil((nowNs - m_start) / m_frameNs);
    if (m_start + qint64(next * m_frameNs) < nowNs)
        next = frameOfNow;
    m_due = m_start + qint64(std::llround(next * m_frameNs));
    return m_due;
}
