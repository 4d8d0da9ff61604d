#pragma once

#include <QFont>

// The small dialogs' own font, as the program always had it; the platform supplies
// its nearest face where this one is missing.
inline QFont SearchDialogFont()
{
    return QFont(QStringLiteral("MS Sans Serif"), 8);
}
