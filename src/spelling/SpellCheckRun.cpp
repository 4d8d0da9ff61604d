#include "spelling/SpellCheckRun.h"

#include "spelling/Lexicons.h"

#include <QTextBlock>
#include <QTextBoundaryFinder>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>

namespace {

bool isWord(QStringView segment)
{
    bool letter = false;
    for (const QChar c : segment) {
        if (c.isDigit())
            return false;
        letter = letter || c.isLetter();
    }
    return letter;
}

QString quoted(const QString &word)
{
    return QLatin1Char('"') + word + QLatin1Char('"');
}

}

QList<std::pair<int, int>> WordsOf(const QString &text, int from)
{
    QList<std::pair<int, int>> words;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Word, text);
    finder.setPosition(from);
    int start = from;
    for (qsizetype end = finder.toNextBoundary(); end >= 0; end = finder.toNextBoundary()) {
        if (isWord(QStringView(text).mid(start, end - start)))
            words.append({start, int(end) - start});
        start = int(end);
    }
    return words;
}

std::pair<QString, int> SentenceAround(const QString &text, int start, int length, int maxLength)
{
    // A line break inside a paragraph does not end a sentence; it reads as a blank.
    QString flat = text;
    flat.replace(QChar(QChar::LineSeparator), QLatin1Char(' '));
    flat.replace(QLatin1Char('\t'), QLatin1Char(' '));
    QTextBoundaryFinder finder(QTextBoundaryFinder::Sentence, flat);
    finder.setPosition(start);
    qsizetype from = finder.isAtBoundary() ? start : finder.toPreviousBoundary();
    finder.setPosition(start + length);
    qsizetype to = finder.isAtBoundary() ? start + length : finder.toNextBoundary();
    if (from < 0)
        from = 0;
    if (to < 0)
        to = flat.size();
    const int room = std::max(0, (maxLength - length) / 2);
    from = std::max<qsizetype>(from, start - room);
    to = std::min<qsizetype>(to, start + length + room);
    QString sentence = flat.mid(from, to - from);
    int at = int(start - from);
    int lead = 0;
    while (lead < sentence.size() && sentence.at(lead).isSpace())
        ++lead;
    sentence.remove(0, lead);
    at -= lead;
    while (!sentence.isEmpty() && sentence.back().isSpace())
        sentence.chop(1);
    return {sentence, at};
}

SpellCheckRun::SpellCheckRun(QTextDocument *document, Lexicons &lexicons, bool autoCorrect, int start, int end)
    : m_document(document), m_lexicons(lexicons), m_autoCorrect(autoCorrect), m_position(start), m_end(end)
{
}

int SpellCheckRun::endPosition() const
{
    const int documentEnd = m_document->characterCount() - 1;
    return m_end < 0 ? documentEnd : std::min(m_end, documentEnd);
}

bool SpellCheckRun::Next()
{
    if (m_hasCurrent)
        pastCurrent();
    for (;;) {
        const QTextBlock block = m_document->findBlock(m_position);
        if (!block.isValid() || m_position >= endPosition())
            return false;
        const QString text = block.text();
        bool changed = false;
        for (const auto &[offset, length] : WordsOf(text, m_position - block.position())) {
            const int position = block.position() + offset;
            if (position + length > endPosition())
                return false;
            const QString word = text.mid(offset, length);
            ++m_statistics.WordsChecked;
            const Lexicons::Verdict verdict = m_lexicons.Check(word, m_autoCorrect);
            if (verdict.kind == Lexicons::Verdict::Correct)
                continue;
            ++m_statistics.ErrorsDetected;
            if (verdict.kind == Lexicons::Verdict::Misspelt) {
                stopAt(position, length, word, text, offset);
                return true;
            }
            m_log << QStringLiteral("changed %1 to %2").arg(quoted(word), quoted(verdict.replacement));
            replace(position, length, verdict.replacement);
            ++m_statistics.WordsChanged;
            m_position = position + int(verdict.replacement.size());
            changed = true;
            break; // the block's text is not what it was
        }
        if (!changed)
            m_position = block.position() + block.length();
    }
}

void SpellCheckRun::stopAt(int position, int length, const QString &word, const QString &blockText, int offset)
{
    m_current = Misspelling();
    m_current.position = position;
    m_current.length = length;
    m_current.word = word;
    std::tie(m_current.context, m_current.wordInContext) = SentenceAround(blockText, offset, length);
    m_current.suggestions = m_lexicons.Suggestions(word);
    m_hasCurrent = true;
    m_position = position;
}

void SpellCheckRun::pastCurrent()
{
    m_position = m_current.position + m_current.length;
    m_hasCurrent = false;
}

void SpellCheckRun::Ignore()
{
    if (!m_hasCurrent)
        return;
    m_log << QStringLiteral("ignored %1").arg(quoted(m_current.word));
    pastCurrent();
}

void SpellCheckRun::IgnoreAll()
{
    if (!m_hasCurrent)
        return;
    m_lexicons.IgnoreAll(m_current.word);
    Ignore();
}

void SpellCheckRun::Change(const QString &replacement)
{
    if (!m_hasCurrent)
        return;
    if (replacement == m_current.word) {
        Ignore();
        return;
    }
    m_log << QStringLiteral("changed %1 to %2").arg(quoted(m_current.word), quoted(replacement));
    replace(m_current.position, m_current.length, replacement);
    ++m_statistics.WordsChanged;
    m_position = m_current.position + int(replacement.size());
    m_hasCurrent = false;
}

void SpellCheckRun::ChangeAll(const QString &replacement)
{
    if (!m_hasCurrent)
        return;
    if (replacement == m_current.word) {
        IgnoreAll();
        return;
    }
    m_lexicons.ChangeAll(m_current.word, replacement);
    Change(replacement);
}

void SpellCheckRun::Add()
{
    if (!m_hasCurrent)
        return;
    const QString word = m_current.word;
    m_log << QStringLiteral("added %1").arg(quoted(word));
    pastCurrent();
    m_lexicons.Add(word);
}

void SpellCheckRun::replace(int position, int length, const QString &text)
{
    QTextCursor probe(m_document);
    probe.setPosition(position + 1);
    const QTextCharFormat format = probe.charFormat(); // the word's first character

    QTextCursor cursor(m_document);
    cursor.setPosition(position);
    cursor.setPosition(position + length, QTextCursor::KeepAnchor);
    cursor.beginEditBlock();
    if (text.isEmpty())
        cursor.removeSelectedText();
    else
        cursor.insertText(text, format);
    cursor.endEditBlock();
    if (m_end >= 0)
        m_end += int(text.size()) - length;
}
