#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringDecoder>

#include <unordered_map>

// Turns the 8-bit text of an RTF file into Unicode, one code page per font.
class RtfCodePages
{
public:
    // Pseudo code pages for symbol fonts, below any a file can name: one per SymbolFonts::Table.
    static constexpr int symbolCodePage(int table) { return -1 - table; }
    static constexpr bool isSymbolCodePage(int codePage) { return codePage < 0; }

    // The Windows code page of an RTF \fcharset (Windows-1252 for \fcharset0), or 0 when the
    // font follows the document's code page: \fcharset1 (the default character set) and
    // numbers we do not know. Symbol fonts (\fcharset2) are the caller's to decide.
    static int codePageForCharset(int charset);

    // Appends the decoded bytes. Windows-1252 and the symbol fonts are our own tables; other
    // code pages go through Qt's converters and fall back to Windows-1252 where there is none.
    void decode(int codePage, QByteArrayView bytes, QString &out);

private:
    QStringDecoder *decoderFor(int codePage);

    std::unordered_map<int, QStringDecoder> m_decoders;
};
