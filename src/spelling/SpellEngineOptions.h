#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

// What the spelling engine is told before a check: the lexicon folders and files and
// how it behaves. Strings have no length limit.
struct SpellEngineOptions
{
    bool AutoCorrect = true;       // "wrong=right" lines change the word without asking
    qint32 MinSuggestDepth = 0;    // kept for callers; the dictionaries choose their own depth
    QString DebugFile;             // when set, each check writes what it did there
    QString HelpFile;
    QString MainLexPath;           // folder of the main word lists
    QString MainLexFiles;          // comma-separated file names in that folder
    QString UserLexPath;           // folder of the user's word lists
    QString UserLexFiles;          // comma-separated; the first receives the words added
    QStringList LexSearchPath;     // where a list missing from its folder is looked for, in order
    QString RegTreeName;
    QString StringTableName;
};

// Counts of the last check.
struct SpellStatistics
{
    qint32 WordsChecked = 0;
    qint32 WordsChanged = 0;
    qint32 ErrorsDetected = 0;
};

// Results of a check: 0 or more is success, below 0 a failure.
namespace SpellStatus {
constexpr qint16 Completed = 0;
constexpr qint16 Cancelled = 1;          // the operator stopped the check: not a failure
constexpr qint16 NoTarget = -1;          // no text control to check
constexpr qint16 NoMainDictionary = -2;  // the main dictionary is not installed
}
