#pragma once

#include <QString>

// The reading time of the rest of a script at 15 characters a second, as the
// status bar shows it.
QString ReadingTimeText(int remainingCharacters);
