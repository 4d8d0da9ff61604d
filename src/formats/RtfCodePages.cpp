#include "formats/RtfCodePages.h"

#include "core/Windows1252.h"
#include "formats/SymbolFonts.h"

namespace {

// Code pages that RTF files name; anything else is damage and reads as Windows-1252, which
// also keeps a file full of made-up numbers from trying a converter for each.
bool isKnownCodePage(int codePage)
{
    switch (codePage) {
    case 437: case 708: case 720: case 737: case 775: case 850: case 852: case 855: case 857:
    case 860: case 861: case 862: case 863: case 864: case 865: case 866: case 869: case 874:
    case 932: case 936: case 949: case 950: case 1361: case 10000: case 10001: case 10002:
    case 10003: case 10004: case 10005: case 10006: case 10007: case 10008: case 10029:
    case 10079: case 10081: case 65001:
        return true;
    default:
        return codePage >= 1250 && codePage <= 1258;
    }
}

// The converters of the Mac code pages go by names of their own; the CJK ones are served
// by the Windows code page they extend.
QByteArray converterName(int codePage)
{
    switch (codePage) {
    case 10000: return "macintosh";
    case 10001: return "Shift_JIS";
    case 10002: return "windows-950";
    case 10003: return "windows-949";
    case 10006: return "x-mac-greek";
    case 10007: return "x-mac-cyrillic";
    case 10008: return "windows-936";
    case 10029: return "x-mac-centraleurroman";
    case 10079: return "macintosh";  // Icelandic differs from Mac Roman in six letters only
    case 10081: return "x-mac-turkish";
    case 65001: return "UTF-8";
    default: return "windows-" + QByteArray::number(codePage);
    }
}

} // namespace

int RtfCodePages::codePageForCharset(int charset)
{
    switch (charset) {
    case 0: return 1252;
    case 77: return 10000;
    case 78: return 10001;
    case 79: return 10003;
    case 80: return 10008;
    case 81: return 10002;
    case 83: return 10005;
    case 84: return 10004;
    case 85: return 10006;
    case 86: return 10081;
    case 87: return 10021;
    case 88: return 10029;
    case 89: return 10007;
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
    default: return 0;
    }
}

void RtfCodePages::decode(int codePage, QByteArrayView bytes, QString &out)
{
    if (isSymbolCodePage(codePage)) {
        const auto table = SymbolFonts::Table(-1 - codePage);
        for (const char b : bytes) {
            const char32_t c = SymbolFonts::toUnicode(table, static_cast<unsigned char>(b));
            out.append(QChar::fromUcs4(c));
        }
        return;
    }
    QStringDecoder *decoder = codePage == 1252 ? nullptr : decoderFor(codePage);
    if (!decoder) {
        const qsizetype start = out.size();
        out.resize(start + bytes.size());
        char16_t *dst = reinterpret_cast<char16_t *>(out.data()) + start;
        for (const char b : bytes)
            *dst++ = Windows1252::toUnicode(static_cast<unsigned char>(b));
        return;
    }
    out.append(decoder->decode(bytes));
}

QStringDecoder *RtfCodePages::decoderFor(int codePage)
{
    if (!isKnownCodePage(codePage))
        return nullptr;
    auto it = m_decoders.find(codePage);
    if (it == m_decoders.end()) {
        const QByteArray number = QByteArray::number(codePage);
        QStringDecoder decoder;
        const QByteArray first = converterName(codePage);
        for (const QByteArray &name : {first, "windows-" + number, "cp" + number, "ibm-" + number}) {
            decoder = QStringDecoder(name.constData(), QStringConverter::Flag::Stateless);
            if (decoder.isValid())
                break;
        }
        it = m_decoders.emplace(codePage, std::move(decoder)).first;
    }
    return it->second.isValid() ? &it->second : nullptr;
}
