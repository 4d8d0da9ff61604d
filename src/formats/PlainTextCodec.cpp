#include "formats/PlainTextCodec.h"

#include "core/Windows1252.h"

#include <QStringDecoder>

namespace {

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

QString PlainTextCodec::decode(const QByteArray &bytes)
{
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        QStringDecoder utf16(QStringConverter::Utf16);   // takes its byte order from the BOM
        return normaliseLineEnds(utf16.decode(bytes));
    }
    QStringDecoder utf8(QStringConverter::Utf8);          // drops a leading BOM
    QString text = utf8.decode(bytes);
    if (utf8.hasError())
        text = Windows1252::decode(bytes);
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
        const int byte = Windows1252::fromUnicode(c);
        if (byte < 0)
            return encodeUtf8WithBom(text);
        out.append(char(byte));
    }
    return out;
}
