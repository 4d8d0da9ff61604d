#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// The 8-bit code page scripts and the settings file are traditionally written in.
// It differs from Latin-1 only in 0x80-0x9F. The five unassigned bytes (0x81, 0x8D,
// 0x8F, 0x90, 0x9D) map to the C1 control of the same number, as Windows maps them,
// so that any byte sequence survives a decode and encode unchanged.
namespace Windows1252 {

char16_t toUnicode(unsigned char byte);
QString decode(QByteArrayView bytes);
// The byte for a character, or -1 when the code page has none.
int fromUnicode(char16_t ch);
// Characters without a byte become '?' (one for a whole surrogate pair).
QByteArray encodeLossy(QStringView text);
bool fits(QStringView text);

}
