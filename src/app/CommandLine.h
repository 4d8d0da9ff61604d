#pragma once

#include <QString>
#include <QStringList>

// What the program was asked to do by its command line. Read before any window exists, so
// that --help, --version and a mistake are answered without a display.
struct CommandLine
{
    enum class Action { Run, Help, Version, Mistake };
    Action action = Action::Run;
    QString script; // the script to open, when one was named
    bool userFolder = false; // work in the user's own settings folder
    QString message; // for Mistake: what was wrong, in one sentence
};

// args: the whole command line, the program's name first.
CommandLine ParseCommandLine(const QStringList &args);

// The text --help prints.
QString CommandLineHelp();

// The text --version prints.
QString CommandLineVersion();

// The exit status for a command line that could not be followed.
constexpr int CommandLineMistakeStatus = 2;
