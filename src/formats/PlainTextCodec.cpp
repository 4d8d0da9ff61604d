#include "formats/PlainTextCodec.h"

#include "core/Windows1252.h"

#include <QStringDecoder>

#include <algorithm>

namespace {

bool isLineEnd(char16_t c)
{
    return c == u'\n' || c == u'\r' || c == 0x2028 || c == 0x2029;
}

// Folds every line-end convention to '\n', as the writer writes them all as CR LF. The two
// noncharacters Qt uses as frame marks and the object mark would be taken for structure by
// the document, and be dropped on the way out, and half a surrogate pair (UTF-16 can hold
// one) cannot be written as UTF-8: they read as the replacement character.
QString normalise(QString text)
{
    const qsizetype n = text.size();
    qsizetype out = 0;
    char16_t *data = reinterpret_cast<char16_t *>(text.data());
    for (qsizetype i = 0; i < n; ++i) {
        char16_t c = data[i];
        if (isLineEnd(c)) {
            if (c == u'\r' && i + 1 < n && data[i + 1] == u'\n')
                ++i;
            c = u'\n';
        } else if (c == 0xFDD0 || c == 0xFDD1 || c == 0xFFFC || QChar::isLowSurrogate(c)) {
            c = 0xFFFD;
        } else if (QChar::isHighSurrogate(c)) {
            if (i + 1 < n && QChar::isLowSurrogate(data[i + 1])) {
                data[out++] = c;
                c = data[++i];
            } else {
                c = 0xFFFD;
            }
        }
        data[out++] = c;
    }
    text.truncate(out);
    return text;
}

// The whole input must decode: a stateful decoder would keep an incomplete sequence at the
// end for later and report no error, and the bytes would be lost.
bool decodeStrictly(QStringConverter::Encoding encoding, QByteArrayView bytes, QString *text)
{
    QStringDecoder decoder(encoding, QStringConverter::Flag::Stateless);
    *text = decoder.decode(bytes);
    return !decoder.hasError();
}

// Windows-1252 bytes that would be read back as something else: a UTF-16 byte-order mark,
// or non-ASCII bytes that happen to form valid UTF-8.
bool readsBackAsOther(const QByteArray &bytes)
{
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF"))
        return true;
    const bool ascii = std::all_of(bytes.cbegin(), bytes.cend(),
                                   [](char b) { return static_cast<unsigned char>(b) < 0x80; });
    QString unused;
    return !ascii && decodeStrictly(QStringConverter::Utf8, bytes, &unused);
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
    QString text;
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        // Takes its byte order from the mark; an odd last byte reads as a replacement character.
        decodeStrictly(QStringConverter::Utf16, bytes, &text);
    } else if (!decodeStrictly(QStringConverter::Utf8, bytes, &text)) {  // drops a leading BOM
        text = Windows1252::decode(bytes);
    }
    return normalise(std::move(text));
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
    return readsBackAsOther(out) ? encodeUtf8WithBom(text) : out;
}
