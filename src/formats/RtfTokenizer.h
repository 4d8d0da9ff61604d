#pragma once

#include <QByteArrayView>

#include <string_view>

struct RtfToken
{
    enum Type { End, GroupOpen, GroupClose, ControlWord, ControlSymbol, HexByte, Text };

    explicit RtfToken(Type t = End) : type(t) {}

    Type type;
    std::string_view word;      // ControlWord: the letters
    int param = 0;              // ControlWord: the number, clamped to int
    bool hasParam = false;
    char symbol = 0;            // ControlSymbol
    unsigned char byte = 0;     // HexByte
    const char *text = nullptr; // Text: raw bytes, never containing CR, LF or other control bytes but tab
    qsizetype length = 0;
};

// Splits RTF into tokens without recursion or copying. "\bin N" data is stepped over here,
// because it is the one construct that changes how the following bytes are read.
class RtfTokenizer
{
public:
    explicit RtfTokenizer(QByteArrayView data);

    RtfToken next();
    qsizetype position() const { return m_p - m_begin; }
    // True when a \bin count ran past the end of the data.
    bool binaryTruncated() const { return m_binaryTruncated; }

private:
    RtfToken controlWord();
    RtfToken controlSymbol();
    RtfToken text();

    const char *m_begin;
    const char *m_p;
    const char *m_end;
    bool m_binaryTruncated = false;
};
