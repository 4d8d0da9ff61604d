#include "editor/PlainTextCodec.h"

#include <QStringDecoder>

namespace {

const char16_t kHighHalf[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// Folds every line-end convention to '\n'.
QString normaliseLineEnds(QString text)
{
    if (!text.contains(u'\r'))
        return text;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    return text;
}

bool isLineEnd(char16_t c)
{
    return c == u'\n' || c == u'\r' || c == 0x2028 || c == 0x2029;
}

QByteArray encodeUtf8WithBom(const QString &text)
{
    QString crlf;
    crlf.reserve(text.size() + text.size() / 16);
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = text.at(i).unicode();
        if (!isLineEnd(c)) {
            crlf.append(QChar(c));
            continue;
        }
        if (c == u'\r' && i + 1 < n && text.at(i + 1) == u'\n')
            ++i;
        crlf.append(QLatin1StringView("\r\n"));
    }
    return QByteArrayLiteral("\xEF\xBB\xBF") + crlf.toUtf8();
}

} // namespace

char16_t PlainTextCodec::fromWindows1252(unsigned char byte)
{
    return (byte >= 0x80 && byte < 0xA0) ? kHighHalf[byte - 0x80] : char16_t(byte);
}

QString PlainTextCodec::fromWindows1252(QByteArrayView bytes)
{
    QString out(bytes.size(), Qt::Uninitialized);
    char16_t *dst = reinterpret_cast<char16_t *>(out.data());
    for (const char b : bytes)
        *dst++ = fromWindows1252(static_cast<unsigned char>(b));
    return out;
}

int PlainTextCodec::toWindows1252(char16_t ch)
{
    if (ch < 0x80 || (ch >= 0xA0 && ch <= 0xFF))
        return ch;
    for (int i = 0; i < 32; ++i) {
        if (kHighHalf[i] == ch)
            return 0x80 + i;
    }
    return -1;
}

QString PlainTextCodec::decode(const QByteArray &bytes)
{
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        QStringDecoder utf16(QStringConverter::Utf16);   // takes its byte order from the BOM
        return normaliseLineEnds(utf16.decode(bytes));
    }
    QStringDecoder utf8(QStringConverter::Utf8);          // drops a leading BOM
    QString text = utf8.decode(bytes);
    if (utf8.hasError())
        text = fromWindows1252(bytes);
    return normaliseLineEnds(std::move(text));
}

QByteArray PlainTextCodec::encode(const QString &text)
{
    QByteArray out;
    out.reserve(text.size() + text.size() / 16);
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = text.at(i).unicode();
        if (isLineEnd(c)) {
            if (c == u'\r' && i + 1 < n && text.at(i + 1) == u'\n')
                ++i;
            out.append("\r\n", 2);
            continue;
        }
        const int byte = toWindows1252(c);
        if (byte < 0)
            return encodeUtf8WithBom(text);
        out.append(char(byte));
    }
    return out;
}
