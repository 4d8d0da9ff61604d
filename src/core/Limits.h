#pragma once

#include <QLocale>
#include <QString>

// The most characters a script may hold: typing, pasting, loading and inserting stop there.
inline constexpr qsizetype MaxScriptCharacters = 120000000;

// The most paragraphs a loaded script may have: past that the script would not fit in
// the memory of a usual machine once laid out.
inline constexpr qsizetype MaxScriptParagraphs = 2000000;

// The message for a script that would grow past the limit.
inline QString ScriptTooLongText(qsizetype characters, qsizetype limit = MaxScriptCharacters)
{
    const QLocale c(QLocale::English, QLocale::UnitedStates);
    return QStringLiteral("The script would hold %1 characters; a script can hold at most %2")
        .arg(c.toString(characters), c.toString(limit));
}

inline QString ScriptTooManyParagraphsText(qsizetype paragraphs)
{
    const QLocale c(QLocale::English, QLocale::UnitedStates);
    return QStringLiteral("The script has %1 paragraphs; a script can have at most %2")
        .arg(c.toString(paragraphs), c.toString(MaxScriptParagraphs));
}
