#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// Plain-text script files. Scripts are traditionally 8-bit Windows-1252; we read UTF-8 as well
// and only write UTF-8 when a character has no Windows-1252 byte. Whatever decode() returns,
// encode() writes bytes that decode() reads back to the same text.
class PlainTextCodec
{
public:
    // UTF-8 when every byte to the end decodes as UTF-8 (a BOM is dropped), UTF-16 when the
    // file starts with a UTF-16 BOM, else Windows-1252. CR LF, LF, CR, U+2028 and U+2029 all
    // end a line; lines are joined with '\n'.
    static QString decode(const QByteArray &bytes);

    // Windows-1252 when every character fits and the bytes cannot be mistaken for UTF-8 or
    // UTF-16, else UTF-8 with a BOM. Every line end ('\n', U+2028, U+2029, CR, CR LF) is
    // written as CR LF.
    static QByteArray encode(const QString &text);
};
