#pragma once

#include <QString>
#include <QStringList>

// Where the program finds its own files (the help document, the word lists) and where it
// keeps the user's. An installed program has them in the data folders of the system
// (/usr/share/corvanta); a build runs with them beside the program.

// The folders read from, first match wins: the current folder (a studio may keep its own
// copies beside its scripts), beside the program, then the data folders, the user's first.
QStringList DataFolders();

// The program's own copies only: beside the program, then the data folders. For files
// that are handed to other programs, which a folder of scripts must not decide.
QStringList ProgramDataFolders();

// The first of the folders that has a file of that name; empty when none has.
QString FindDataFile(const QString &name, const QStringList &folders);

// The folder the user's own files are written to: the current folder when it takes new
// files, otherwise the user's data folder (created when missing). Never a system folder.
QString UserFilesFolder();

// The user's own settings folder, under the XDG config folder; created when missing.
// Empty when it cannot be made.
QString UserSettingsFolder();
