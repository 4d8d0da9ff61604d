#include "spelling/SpellDictionary.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

WordCase CaseOf(const QString &word)
{
    bool anyUpper = false, anyLower = false, restLower = true;
    for (qsizetype i = 0; i < word.size(); ++i) {
        const QChar c = word.at(i);
        if (c.isUpper()) {
            anyUpper = true;
            if (i > 0)
                restLower = false;
        } else if (c.isLower()) {
            anyLower = true;
        }
    }
    if (!anyUpper)
        return WordCase::Lower;
    if (!anyLower)
        return WordCase::Upper;
    if (word.at(0).isUpper() && restLower)
        return WordCase::Capitalised;
    return WordCase::Mixed;
}

QString WithCase(const QString &word, WordCase wordCase)
{
    switch (wordCase) {
    case WordCase::Upper:
        return word.toUpper();
    case WordCase::Capitalised:
        return word.isEmpty() ? word : word.left(1).toUpper() + word.mid(1);
    case WordCase::Lower:
    case WordCase::Mixed:
        break;
    }
    return word;
}

QString LookupForm(const QString &word)
{
    QString form = word;
    form.replace(QChar(0x2019), QLatin1Char('\''));
    return form;
}

WordListDictionary::WordListDictionary(const QStringList &words)
{
    for (const QString &w : words)
        Add(w);
}

void WordListDictionary::Add(const QString &word)
{
    const QString form = LookupForm(word);
    if (form.isEmpty() || m_words.contains(form))
        return;
    m_words.insert(form);
    m_ordered << form;
}

bool WordListDictionary::IsCorrect(const QString &word) const
{
    const QString form = LookupForm(word);
    if (m_words.contains(form))
        return true;
    switch (CaseOf(form)) {
    case WordCase::Upper:
        if (m_words.contains(WithCase(form.toLower(), WordCase::Capitalised)))
            return true;
        [[fallthrough]];
    case WordCase::Capitalised:
        return m_words.contains(form.toLower());
    case WordCase::Lower:
    case WordCase::Mixed:
        break;
    }
    return false;
}

QStringList WordListDictionary::Suggestions(const QString &word) const
{
    constexpr int Limit = 2;
    constexpr int MaxSuggestions = 10;
    const QString form = LookupForm(word);
    const QString lower = form.toLower();
    const WordCase wordCase = CaseOf(form);
    std::vector<std::pair<int, qsizetype>> found;
    for (qsizetype i = 0; i < m_ordered.size(); ++i) {
        const int d = EditDistance(lower, m_ordered.at(i).toLower(), Limit);
        if (d > 0 && d <= Limit)
            found.emplace_back(d, i);
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
    QStringList result;
    for (const auto &[distance, index] : found) {
        const QString &listed = m_ordered.at(index);
        const QString shown = CaseOf(listed) == WordCase::Lower ? WithCase(listed, wordCase) : listed;
        if (!result.contains(shown))
            result << shown;
        if (result.size() == MaxSuggestions)
            break;
    }
    return result;
}

int EditDistance(const QString &a, const QString &b, int limit)
{
    const qsizetype n = a.size(), m = b.size();
    if (std::abs(n - m) > limit)
        return limit + 1;
    // Optimal string alignment distance over three rows.
    std::vector<int> before(m + 1), previous(m + 1), current(m + 1);
    for (qsizetype j = 0; j <= m; ++j)
        previous[j] = int(j);
    for (qsizetype i = 1; i <= n; ++i) {
        current[0] = int(i);
        int rowMin = current[0];
        for (qsizetype j = 1; j <= m; ++j) {
            const int cost = a.at(i - 1) == b.at(j - 1) ? 0 : 1;
            int d = std::min({previous[j] + 1, current[j - 1] + 1, previous[j - 1] + cost});
            if (i > 1 && j > 1 && a.at(i - 1) == b.at(j - 2) && a.at(i - 2) == b.at(j - 1))
                d = std::min(d, before[j - 2] + 1);
            current[j] = d;
            rowMin = std::min(rowMin, d);
        }
        if (rowMin > limit)
            return limit + 1;
        std::swap(before, previous);
        std::swap(previous, current);
    }
    return std::min(previous[m], limit + 1);
}
