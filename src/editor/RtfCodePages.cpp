#include "editor/RtfCodePages.h"

#include "editor/PlainTextCodec.h"

int RtfCodePages::codePageForCharset(int charset)
{
    switch (charset) {
    case 77: return 10000;
    case 128: return 932;
    case 129: return 949;
    case 130: return 1361;
    case 134: return 936;
    case 136: return 950;
    case 161: return 1253;
    case 162: return 1254;
    case 163: return 1258;
    case 177: return 1255;
    case 178: return 1256;
    case 186: return 1257;
    case 204: return 1251;
    case 222: return 874;
    case 238: return 1250;
    case 254: return 437;
    case 255: return 850;
    default: return 0;  // ANSI, default and symbol fonts follow the document
    }
}

void RtfCodePages::decode(int codePage, QByteArrayView bytes, QString &out)
{
    QStringDecoder *decoder = codePage == 1252 ? nullptr : decoderFor(codePage);
    if (!decoder) {
        const qsizetype start = out.size();
        out.resize(start + bytes.size());
        char16_t *dst = reinterpret_cast<char16_t *>(out.data()) + start;
        for (const char b : bytes)
            *dst++ = PlainTextCodec::fromWindows1252(static_cast<unsigned char>(b));
        return;
    }
    out.append(decoder->decode(bytes));
}

QStringDecoder *RtfCodePages::decoderFor(int codePage)
{
    auto it = m_decoders.find(codePage);
    if (it == m_decoders.end()) {
        const QByteArray number = QByteArray::number(codePage);
        QStringDecoder decoder;
        for (const QByteArray &name : {codePage == 10000 ? QByteArray("macintosh") : "windows-" + number,
                                       "cp" + number, "ibm-" + number}) {
            decoder = QStringDecoder(name.constData(), QStringConverter::Flag::Stateless);
            if (decoder.isValid())
                break;
        }
        it = m_decoders.emplace(codePage, std::move(decoder)).first;
    }
    return it->second.isValid() ? &it->second : nullptr;
}
