#include "core/Windows1252.h"

#include <array>

namespace {

constexpr std::array<char16_t, 32> HighHalf = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

}

namespace Windows1252 {

char16_t toUnicode(unsigned char byte)
{
    return (byte >= 0x80 && byte < 0xA0) ? HighHalf[byte - 0x80] : char16_t(byte);
}

QString decode(QByteArrayView bytes)
{
    QString out(bytes.size(), Qt::Uninitialized);
    char16_t *dst = reinterpret_cast<char16_t *>(out.data());
    for (const char b : bytes)
        *dst++ = toUnicode(static_cast<unsigned char>(b));
    return out;
}

int fromUnicode(char16_t ch)
{
    if (ch < 0x80 || (ch >= 0xA0 && ch <= 0xFF))
        return ch;
    for (std::size_t i = 0; i < HighHalf.size(); ++i) {
        if (HighHalf[i] == ch)
            return int(0x80 + i);
    }
    return -1;
}

QByteArray encodeLossy(QStringView text)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
        const int byte = fromUnicode(c.unicode());
        bytes += byte < 0 ? '?' : char(byte);
    }
    return bytes;
}

bool fits(QStringView text)
{
    for (const QChar c : text) {
        if (fromUnicode(c.unicode()) < 0)
            return false;
    }
    return true;
}

}
