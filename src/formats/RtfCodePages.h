#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringDecoder>

#include <unordered_map>

// Turns the 8-bit text of an RTF file into Unicode, one code page per font.
class RtfCodePages
{
public:
    // The Windows code page of an RTF \fcharset; 0 when the font uses the document's code page.
    static int codePageForCharset(int charset);

    // Appends the decoded bytes. Windows-1252 is our own table; other code pages go through
    // Qt's converters and fall back to Windows-1252 where the system has none.
    void decode(int codePage, QByteArrayView bytes, QString &out);

private:
    QStringDecoder *decoderFor(int codePage);

    std::unordered_map<int, QStringDecoder> m_decoders;
};
