#include "prompt/ReadingTime.h"

QString ReadingTimeText(int remainingCharacters)
{
    const int seconds = std::max(remainingCharacters, 0) / 15;
    if (seconds < 60)
        return QString::number(seconds) + QStringLiteral(" Seconds");
    const int minutes = seconds / 60;
    const int rest = seconds % 60;
    if (minutes / 60 >= 1)
        return QStringLiteral("%1 Hours %2 Minutes %3 Seconds").arg(minutes / 60).arg(minutes % 60).arg(rest);
    return QStringLiteral("%1 Minutes %2 seconds ").arg(minutes).arg(rest);
}
