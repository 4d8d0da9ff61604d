#pragma once

#include <QString>

// Fonts whose bytes are pictures rather than letters (RTF \fcharset2). Their characters are
// given by the Unicode character that shows the same picture, where one exists; the rest stay
// in the private-use area at U+F000 + byte, where symbol fonts keep them.
namespace SymbolFonts {

enum Table { PrivateUse, Symbol, Wingdings, Dingbats };

// The table for a font name ("Symbol", "Wingdings", "Zapf Dingbats", ...).
Table tableFor(const QString &fontName);
// True for the names of the symbol fonts we have a table for.
bool isSymbolFontName(const QString &fontName);
// The character for a byte of a symbol font (0x20 and above).
char32_t toUnicode(Table table, unsigned char byte);

}
