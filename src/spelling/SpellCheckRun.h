#pragma once

#include "spelling/SpellEngineOptions.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <utility>

class Lexicons;
class QTextDocument;

// A word the operator has to decide on.
struct Misspelling
{
    int position = 0;       // in the document
    int length = 0;
    QString word;
    QString context;        // the sentence around the word
    int wordInContext = 0;  // where the word starts in the context
    QStringList suggestions;
};

// One check of a document's text, word by word, making the corrections in place so
// that each keeps the format of the word it replaces. Next() stops at each word the
// operator has to decide on; automatic corrections and Change All are made on the way.
class SpellCheckRun
{
public:
    // The text from start to end (end < 0: to the end of the document).
    SpellCheckRun(QTextDocument *document, Lexicons &lexicons, bool autoCorrect, int start = 0, int end = -1);

    // False when the end has been reached.
    bool Next();
    const Misspelling &Current() const { return m_current; }

    void Ignore();
    void IgnoreAll();
    void Change(const QString &replacement);
    void ChangeAll(const QString &replacement);
    // Throws CorvantaError when the user word list cannot be written; the check goes on.
    void Add();

    const SpellStatistics &Statistics() const { return m_statistics; }
    // What happened, one line per word that was not simply correct.
    const QStringList &Log() const { return m_log; }

private:
    int endPosition() const;
    void replace(int position, int length, const QString &text);
    void stopAt(int position, int length, const QString &word, const QString &blockText, int offset);
    void pastCurrent();

    QTextDocument *m_document;
    Lexicons &m_lexicons;
    bool m_autoCorrect;
    int m_position;
    int m_end;
    Misspelling m_current;
    bool m_hasCurrent = false;
    SpellStatistics m_statistics;
    QStringList m_log;
};

// Where the words of a text are: letters with inner apostrophes; runs holding digits
// are not words. Each item is (start, length).
QList<std::pair<int, int>> WordsOf(const QString &text, int from = 0);
// The sentence of text that holds the span, cut to about maxLength characters around it.
// Returns the sentence and where the span starts in it.
std::pair<QString, int> SentenceAround(const QString &text, int start, int length, int maxLength = 240);
