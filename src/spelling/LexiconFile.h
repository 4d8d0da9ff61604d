#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <utility>

// A word-list file (.tlx): one word a line; a line "wrong=right" is an automatic
// correction instead. Blank lines are skipped. Read as UTF-8 when the bytes are valid
// UTF-8, else Windows-1252, like plain-text scripts.
struct LexiconEntries
{
    QStringList words;
    QList<std::pair<QString, QString>> corrections;
};

namespace LexiconFile {

LexiconEntries parse(const QString &text);

// A missing or unreadable file is an empty list: lexicons are optional.
LexiconEntries read(const QString &path);

// Adds one word as a new line, creating the file when needed. Throws CorvantaError
// ("Cannot create file %s") when the file cannot be written; the old file stays whole.
void appendWord(const QString &path, const QString &word);

}
