#pragma once

#include <QString>

// The version is the project's, set once in the build.
#ifndef CORVANTA_VERSION
#error "CORVANTA_VERSION is set by the build"
#endif

inline QString ProgramVersion()
{
    return QStringLiteral(CORVANTA_VERSION);
}

// The main window's caption while editing.
inline QString MainWindowTitle()
{
    return QStringLiteral("Corvanta (V" CORVANTA_VERSION ")");
}
