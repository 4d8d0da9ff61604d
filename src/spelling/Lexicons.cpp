#include "spelling/Lexicons.h"

#include "spelling/LexiconFile.h"
#include "spelling/SpellEngineOptions.h"

#include <QDir>
#include <QFileInfo>

QStringList LexiconFileNames(const QString &files)
{
    QStringList names;
    for (const QString &name : files.split(QLatin1Char(','))) {
        const QString trimmed = name.trimmed();
        if (!trimmed.isEmpty())
            names << trimmed;
    }
    return names;
}

void Lexicons::Load(const SpellEngineOptions &options)
{
    m_words = WordListDictionary();
    m_corrections.clear();
    loadList(options.MainLexPath, options.MainLexFiles, options.LexSearchPath);
    loadList(options.UserLexPath, options.UserLexFiles, options.LexSearchPath);
    const QStringList user = LexiconFileNames(options.UserLexFiles);
    m_userListPath = user.isEmpty() ? QString() : QDir(options.UserLexPath).filePath(user.constFirst());
}

void Lexicons::loadList(const QString &folder, const QString &files, const QStringList &searchPath)
{
    const QDir dir(folder);
    for (const QString &name : LexiconFileNames(files)) {
        QString path = dir.filePath(name);
        if (!QFileInfo(path).isFile()) {
            for (const QString &other : searchPath) {
                const QString candidate = QDir(other).filePath(name);
                if (QFileInfo(candidate).isFile()) {
                    path = candidate;
                    break;
                }
            }
        }
        const LexiconEntries entries = LexiconFile::read(path);
        for (const QString &word : entries.words)
            m_words.Add(word);
        for (const auto &[wrong, right] : entries.corrections)
            m_corrections.insert(LookupForm(wrong), right);
    }
}

std::optional<QString> Lexicons::correctionFor(const QString &word) const
{
    const QString form = LookupForm(word);
    if (const auto it = m_corrections.constFind(form); it != m_corrections.constEnd())
        return *it;
    // "teh=the" also turns Teh into The and TEH into THE.
    const WordCase wordCase = CaseOf(form);
    if (wordCase == WordCase::Capitalised || wordCase == WordCase::Upper) {
        if (const auto it = m_corrections.constFind(form.toLower()); it != m_corrections.constEnd())
            return WithCase(*it, wordCase);
    }
    return std::nullopt;
}

Lexicons::Verdict Lexicons::Check(const QString &word, bool autoCorrect) const
{
    if (m_ignoreAll.contains(word) || m_words.IsCorrect(word))
        return {};
    if (const auto it = m_changeAll.constFind(word); it != m_changeAll.constEnd())
        return {Verdict::Change, *it};
    if (const auto right = correctionFor(word))
        return autoCorrect ? Verdict{Verdict::Change, *right} : Verdict{Verdict::Misspelt, {}};
    if (m_main && m_main->IsCorrect(word))
        return {};
    return {Verdict::Misspelt, {}};
}

QStringList Lexicons::Suggestions(const QString &word) const
{
    QStringList result;
    auto take = [&result](const QStringList &more) {
        for (const QString &s : more)
            if (!result.contains(s))
                result << s;
    };
    if (const auto right = correctionFor(word))
        take({*right});
    if (m_main)
        take(m_main->Suggestions(word));
    take(m_words.Suggestions(word));
    return result;
}

void Lexicons::IgnoreAll(const QString &word)
{
    m_ignoreAll.insert(word);
}

void Lexicons::ChangeAll(const QString &word, const QString &replacement)
{
    m_changeAll.insert(word, replacement);
}

void Lexicons::Add(const QString &word)
{
    m_words.Add(word);
    if (!m_userListPath.isEmpty())
        LexiconFile::appendWord(m_userListPath, word);
}

void Lexicons::Reset()
{
    m_ignoreAll.clear();
    m_changeAll.clear();
}
