#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

// Where the spelling check looks words up: the main dictionary, or a list of words.
class SpellDictionary
{
public:
    virtual ~SpellDictionary() = default;
    virtual bool IsCorrect(const QString &word) const = 0;
    // Best first.
    virtual QStringList Suggestions(const QString &word) const = 0;
};

// How a word is written, for matching a listed word in another case and for giving a
// replacement the case of the word it replaces.
enum class WordCase { Lower, Capitalised, Upper, Mixed };
WordCase CaseOf(const QString &word);
QString WithCase(const QString &word, WordCase wordCase);

// Typographic apostrophes are looked up as plain ones.
QString LookupForm(const QString &word);

// A fixed set of words. A word listed in lower case also matches its capitalised and
// upper-case forms, a capitalised one its upper-case form; suggestions are the listed
// words at most two edits away.
class WordListDictionary : public SpellDictionary
{
public:
    WordListDictionary() = default;
    explicit WordListDictionary(const QStringList &words);

    void Add(const QString &word);
    bool IsEmpty() const { return m_words.isEmpty(); }
    bool IsCorrect(const QString &word) const override;
    QStringList Suggestions(const QString &word) const override;

private:
    QSet<QString> m_words;
    QStringList m_ordered;
};

// The number of single-character insertions, deletions, substitutions and swaps of
// neighbours that turn one word into the other, or limit + 1 when it is above limit.
int EditDistance(const QString &a, const QString &b, int limit);
