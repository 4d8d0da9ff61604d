#pragma once

#include <QLocale>
#include <QString>

// The most characters a script may hold: typing, pasting, loading and inserting stop there.
inline constexpr qsizetype MaxScriptCharacters = 120000000;

// The message for a script that would grow past the limit.
inline QString ScriptTooLongText(qsizetype characters, qsizetype limit = MaxScriptCharacters)
{
    const QLocale c = QLocale::c();
    return QStringLiteral("The script would hold %1 characters; a script can hold at most %2")
        .arg(c.toString(characters), c.toString(limit));
}
