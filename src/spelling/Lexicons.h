#pragma once

#include "spelling/SpellDictionary.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <optional>

struct SpellEngineOptions;

// Everything a check looks words up in: the main dictionary, the word lists of the
// lexicon folders with their automatic corrections, and what the operator decided
// during the checks since the last Reset (Ignore All, Change All).
class Lexicons
{
public:
    explicit Lexicons(const SpellDictionary *mainDictionary = nullptr) : m_main(mainDictionary) {}

    void SetMainDictionary(const SpellDictionary *mainDictionary) { m_main = mainDictionary; }

    // Reads the word lists named in the options; files that do not exist are skipped.
    void Load(const SpellEngineOptions &options);

    struct Verdict
    {
        enum Kind { Correct, Change, Misspelt };
        Kind kind = Correct;
        QString replacement; // for Change
    };
    // autoCorrect: a listed correction changes the word; otherwise it is only suggested.
    Verdict Check(const QString &word, bool autoCorrect) const;
    QStringList Suggestions(const QString &word) const;

    void IgnoreAll(const QString &word);
    void ChangeAll(const QString &word, const QString &replacement);
    // The word counts as correct at once; it is also written to the user word list.
    // Throws CorvantaError when that file cannot be written.
    void Add(const QString &word);
    // Forgets the Ignore All and Change All decisions.
    void Reset();

    // Where Add writes: the first user list in the user folder, or empty when none is named.
    QString UserListPath() const { return m_userListPath; }

private:
    void loadList(const QString &folder, const QString &files, const QStringList &searchPath);
    std::optional<QString> correctionFor(const QString &word) const;

    const SpellDictionary *m_main;
    WordListDictionary m_words;
    QHash<QString, QString> m_corrections;
    QHash<QString, QString> m_changeAll;
    QSet<QString> m_ignoreAll;
    QString m_userListPath;
};

// The names in a comma-separated list of files, without blanks around them.
QStringList LexiconFileNames(const QString &files);
