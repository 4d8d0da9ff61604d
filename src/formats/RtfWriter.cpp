#include "formats/RtfWriter.h"

#include "core/Windows1252.h"
#include "formats/ListLabels.h"

#include <QColor>
#include <QFont>
#include <QHash>
#include <QIODevice>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFragment>
#include <QTextList>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <utility>
#include <vector>

namespace {

constexpr int kListIndentTwips = 720;
constexpr int kListHangTwips = 360;

struct RunProps
{
    int font = 0;
    int halfPoints = 24;
    int foreground = 0;
    int background = 0;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strike = false;
};

int twips(qreal points)
{
    return int(std::lround(points * 20));
}

QString familyOf(const QTextCharFormat &format)
{
    const QStringList families = format.fontFamilies().toStringList();
    if (!families.isEmpty() && !families.first().isEmpty())
        return families.first();
    return format.property(QTextFormat::FontFamily).toString();
}

// Builds the body first and the font and colour tables from what the body used.
class RtfBuilder
{
public:
    explicit RtfBuilder(const QTextDocument *document);
    QByteArray build();

private:
    struct ListOut
    {
        int ls = 0;             // the override that paragraphs name
        int definition = 0;     // index into m_definitions
    };
    struct Definition
    {
        int level = 0;
        ListLabels::Numbering numbering;
    };

    void writeBlock(const QTextBlock &block);
    void writeParagraphFormat(const QTextBlock &block);
    void writeListLabel(const QTextBlock &block, const QTextList *list);
    const ListOut &listOut(const QTextList *list);
    void writeListTables(QByteArray &out);
    void writeListLevel(QByteArray &out, int level, const Definition &definition);
    template<typename Source>
    void writeRun(int formatIndex, const Source &source);
    void writeText(QStringView text);
    void writeEscapedText(QStringView text, QByteArray &out, bool &needDelimiter);
    void word(const char *name);
    void word(const char *name, int value);
    int fontIndex(const QString &family, bool symbol = false);
    int colourIndex(const QBrush &brush);
    RunProps runProps(const QTextCharFormat &format);
    QByteArray header();

    const QTextDocument *m_document;
    QString m_text;     // the document's, which fragments are slices of
    QByteArray m_body;
    bool m_needDelimiter = false;
    QString m_defaultFamily;
    qreal m_defaultPointSize;

    QList<std::pair<QString, bool>> m_fonts;  // name, symbol character set
    QHash<QString, int> m_fontIndex;
    QHash<const QTextList *, ListOut> m_listOut;
    std::vector<Definition> m_definitions;
    QHash<QString, int> m_bulletDefinitions;
    QList<QColor> m_colours;
    QHash<QRgb, int> m_colourIndex;
    QHash<int, RunProps> m_runs;
    RunProps m_current;
    bool m_hasCurrent = false;
};

RtfBuilder::RtfBuilder(const QTextDocument *document)
    : m_document(document)
{
    // Text without a font of its own is shown in the document's base font. A document that
    // was never given one would name the platform's default font ("Sans Serif"), which is
    // no script's: such text is written in the program's own base font.
    const QFont font = document->defaultFont();
    const bool ownFamily = font.resolveMask() & (QFont::FamilyResolved | QFont::FamiliesResolved);
    const bool ownSize = font.resolveMask() & QFont::SizeResolved;
    m_defaultFamily = ownFamily && !font.family().isEmpty() ? font.family() : QStringLiteral("Arial");
    m_defaultPointSize = ownSize && font.pointSizeF() > 0 ? font.pointSizeF() : 12.0;
}

QByteArray RtfBuilder::build()
{
    m_text = m_document->toRawText();
    m_body.reserve(m_document->characterCount() * 5 / 4 + 256);
    for (QTextBlock block = m_document->begin(); block.isValid(); block = block.next())
        writeBlock(block);
    QByteArray out = header();
    out += m_body;
    out += "}\r\n";
    return out;
}

// Every paragraph, the last one included, ends with \par, as WordPad writes it.
void RtfBuilder::writeBlock(const QTextBlock &block)
{
    writeParagraphFormat(block);
    bool empty = true;
    qsizetype at = block.position();  // the fragments follow each other
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment fragment = it.fragment();
        if (!fragment.isValid())
            continue;
        const qsizetype length = fragment.length();
        writeRun(fragment.charFormatIndex(), fragment);
        writeText(QStringView(m_text).sliced(at, length));
        at += length;
        empty = false;
    }
    if (empty)
        writeRun(block.charFormatIndex(), block);
    word("par");
    m_body += "\r\n";
    m_needDelimiter = false;
}

void RtfBuilder::writeParagraphFormat(const QTextBlock &block)
{
    const QTextBlockFormat format = block.blockFormat();
    const QTextList *list = block.textList();
    word("pard");
    int left = twips(format.leftMargin());
    int first = twips(format.textIndent());
    if (list) {
        writeListLabel(block, list);
        const int indent = std::max(1, list->format().indent());
        left += kListIndentTwips * indent;
        first -= kListHangTwips;
        word("ls", listOut(list).ls);
        if (indent > 1)
            word("ilvl", std::min(indent, 9) - 1);
    }
    if (first)
        word("fi", first);
    if (left)
        word("li", left);
    if (const int right = twips(format.rightMargin()))
        word("ri", right);
    if (const int before = twips(format.topMargin()))
        word("sb", before);
    if (const int after = twips(format.bottomMargin()))
        word("sa", after);
    const Qt::Alignment align = format.alignment() & Qt::AlignHorizontal_Mask;
    if (align & Qt::AlignJustify)
        word("qj");
    else if (align & Qt::AlignHCenter)
        word("qc");
    else if (align & (Qt::AlignRight | Qt::AlignTrailing))
        word("qr");
    if (format.hasProperty(QTextFormat::BackgroundBrush)) {
        if (const int shading = colourIndex(format.background()))
            word("cbpat", shading);
    }
}

// For readers that know only WordPad's paragraph numbers: {\pntext} is the label as text,
// {\*\pn} the numbering. Readers that know list tables take \ls instead.
void RtfBuilder::writeListLabel(const QTextBlock &block, const QTextList *list)
{
    const ListLabels::Numbering numbering = ListLabels::numberingOf(list->format());
    QByteArray label;
    QByteArray pn;
    int labelFont = 0;
    bool unused = false;
    switch (numbering.style) {
    case QTextListFormat::ListCircle:
        labelFont = fontIndex(QStringLiteral("Courier New"));
        label = "o";
        pn = "\\pnlvlblt";
        break;
    case QTextListFormat::ListSquare:
        labelFont = fontIndex(QStringLiteral("Wingdings"), true);
        label = "\\'a7";
        pn = "\\pnlvlblt";
        break;
    case QTextListFormat::ListUpperAlpha:
    case QTextListFormat::ListLowerAlpha:
    case QTextListFormat::ListUpperRoman:
    case QTextListFormat::ListLowerRoman:
    case QTextListFormat::ListDecimal: {
        // In the paragraph's own font: font 0 may be a symbol font.
        QString family;
        for (auto it = block.begin(); family.isEmpty() && !it.atEnd(); ++it)
            family = familyOf(it.fragment().charFormat());
        labelFont = fontIndex(family.isEmpty() ? m_defaultFamily : family);
        writeEscapedText(list->itemText(block), label, unused);
        const int style = numbering.style;
        pn = style == QTextListFormat::ListLowerAlpha ? "\\pnlvlbody\\pnlcltr"
            : style == QTextListFormat::ListUpperAlpha ? "\\pnlvlbody\\pnucltr"
            : style == QTextListFormat::ListLowerRoman ? "\\pnlvlbody\\pnlcrm"
            : style == QTextListFormat::ListUpperRoman ? "\\pnlvlbody\\pnucrm"
                                                       : "\\pnlvlbody\\pndec";
        break;
    }
    default:
        labelFont = fontIndex(QStringLiteral("Symbol"), true);
        label = "\\'b7";
        pn = "\\pnlvlblt";
        break;
    }
    const QByteArray font = QByteArray::number(labelFont);
    m_body += "{\\pntext\\f" + font + ' ' + label + "\\tab}{\\*\\pn" + pn + "\\pnf" + font + "\\pnindent0";
    if (pn == "\\pnlvlblt") {
        m_body += "{\\pntxtb " + label + "}}";
    } else {
        m_body += "\\pnstart" + QByteArray::number(numbering.start);
        for (const auto &[word, text] : {std::pair("{\\pntxtb ", numbering.before), std::pair("{\\pntxta ", numbering.after)}) {
            if (text.isEmpty())
                continue;
            m_body += word;
            bool needDelimiter = false;  // the group's word ends with its space
            writeEscapedText(text, m_body, needDelimiter);
            m_body += '}';
        }
        m_body += '}';
    }
    m_needDelimiter = false;
}

// Each list gets an override of its own, so that lists stay apart and keep their numbers
// whatever stands between their items. Bullet lists of a level share one definition.
const RtfBuilder::ListOut &RtfBuilder::listOut(const QTextList *list)
{
    const auto it = m_listOut.constFind(list);
    if (it != m_listOut.cend())
        return *it;
    Definition definition;
    definition.level = std::clamp(list->format().indent(), 1, 9) - 1;
    definition.numbering = ListLabels::numberingOf(list->format());
    ListOut out;
    out.ls = int(m_listOut.size()) + 1;
    out.definition = int(m_definitions.size());
    if (!ListLabels::isNumbered(definition.numbering.style)) {
        const QString key = QStringLiteral("%1/%2").arg(definition.numbering.style).arg(definition.level);
        out.definition = m_bulletDefinitions.value(key, out.definition);
        m_bulletDefinitions.insert(key, out.definition);
    }
    if (out.definition == int(m_definitions.size()))
        m_definitions.push_back(definition);
    return *m_listOut.insert(list, out);
}

void RtfBuilder::writeListTables(QByteArray &out)
{
    if (m_definitions.empty())
        return;
    out += "{\\*\\listtable";
    for (size_t i = 0; i < m_definitions.size(); ++i) {
        const QByteArray id = QByteArray::number(qulonglong(i + 1));
        out += "\r\n{\\list\\listtemplateid" + id + "\\listhybrid";
        for (int level = 0; level <= m_definitions[i].level; ++level)
            writeListLevel(out, level, m_definitions[i]);
        out += "{\\listname ;}\\listid" + id + '}';
    }
    out += "}\r\n{\\*\\listoverridetable";
    QList<ListOut> overrides = m_listOut.values();
    std::sort(overrides.begin(), overrides.end(), [](const ListOut &a, const ListOut &b) { return a.ls < b.ls; });
    for (const ListOut &o : std::as_const(overrides)) {
        out += "\r\n{\\listoverride\\listid" + QByteArray::number(o.definition + 1) + "\\listoverridecount0\\ls"
            + QByteArray::number(o.ls) + '}';
    }
    out += "}\r\n";
}

// The list's own level carries its numbering; the levels above it, which only nested
// readers show, number plainly in the same style.
void RtfBuilder::writeListLevel(QByteArray &out, int level, const Definition &definition)
{
    ListLabels::Numbering numbering = definition.numbering;
    if (level != definition.level) {
        numbering.start = 1;
        numbering.before.clear();
        numbering.after = QStringLiteral(".");
        numbering.hasNumber = true;
    }
    int nfc = 23;
    QString text;
    QList<int> numbers;
    switch (numbering.style) {
    case QTextListFormat::ListCircle: text = QStringLiteral("\u25E6"); break;
    case QTextListFormat::ListSquare: text = QStringLiteral("\u25AA"); break;
    case QTextListFormat::ListDecimal: nfc = 0; break;
    case QTextListFormat::ListUpperRoman: nfc = 1; break;
    case QTextListFormat::ListLowerRoman: nfc = 2; break;
    case QTextListFormat::ListUpperAlpha: nfc = 3; break;
    case QTextListFormat::ListLowerAlpha: nfc = 4; break;
    default: text = QStringLiteral("\u2022"); break;
    }
    qsizetype placeholder = -1;
    if (nfc != 23) {
        text = ListLabels::cleanText(numbering.before);
        if (numbering.hasNumber) {
            placeholder = text.size();
            numbers.append(int(placeholder) + 1);
            text += u'#';
        }
        text += ListLabels::cleanText(numbering.after);
    }
    text.truncate(255);
    static const char hex[] = "0123456789abcdef";
    bool needDelimiter = false;
    auto byte = [&out, &needDelimiter](int value) {
        out += "\\'";
        out += hex[(value >> 4) & 15];
        out += hex[value & 15];
        needDelimiter = false;
    };
    const QByteArray nfcText = QByteArray::number(nfc);
    out += "{\\listlevel\\levelnfc" + nfcText + "\\levelnfcn" + nfcText + "\\leveljc0\\leveljcn0\\levelfollow0\\levelstartat"
        + QByteArray::number(numbering.start) + "{\\leveltext";
    byte(int(text.size()));
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (i == placeholder)
            byte(level);
        else
            writeEscapedText(QStringView(text).sliced(i, 1), out, needDelimiter);
    }
    out += ";}{\\levelnumbers";
    for (const int at : std::as_const(numbers)) {
        if (at < 256)
            byte(at);
    }
    const QByteArray indent = QByteArray::number(kListIndentTwips * (level + 1));
    out += ";}\\fi-" + QByteArray::number(kListHangTwips) + "\\li" + indent + "\\lin" + indent + '}';
}

RunProps RtfBuilder::runProps(const QTextCharFormat &format)
{
    RunProps props;
    const QString family = familyOf(format);
    props.font = fontIndex(family.isEmpty() ? m_defaultFamily : family);
    const qreal points = format.fontPointSize() > 0 ? format.fontPointSize() : m_defaultPointSize;
    props.halfPoints = std::max(1, int(std::lround(points * 2)));
    props.bold = format.fontWeight() >= QFont::DemiBold;
    props.italic = format.fontItalic();
    props.underline = format.underlineStyle() != QTextCharFormat::NoUnderline || format.fontUnderline();
    props.strike = format.fontStrikeOut();
    if (format.hasProperty(QTextFormat::ForegroundBrush))
        props.foreground = colourIndex(format.foreground());
    if (format.hasProperty(QTextFormat::BackgroundBrush))
        props.background = colourIndex(format.background());
    return props;
}

// Writes only what changed since the last run, as WordPad does.
template<typename Source>
void RtfBuilder::writeRun(int formatIndex, const Source &source)
{
    auto it = m_runs.constFind(formatIndex);
    if (it == m_runs.cend())
        it = m_runs.insert(formatIndex, runProps(source.charFormat()));
    const RunProps props = *it;
    const bool all = !m_hasCurrent;
    const RunProps &cur = m_current;
    if (all || props.font != cur.font)
        word("f", props.font);
    if (all || props.halfPoints != cur.halfPoints)
        word("fs", props.halfPoints);
    if (all ? props.foreground != 0 : props.foreground != cur.foreground)
        word("cf", props.foreground);
    if (all ? props.background != 0 : props.background != cur.background)
        word("highlight", props.background);
    if (all ? props.bold : props.bold != cur.bold)
        props.bold ? word("b") : word("b", 0);
    if (all ? props.italic : props.italic != cur.italic)
        props.italic ? word("i") : word("i", 0);
    if (all ? props.underline : props.underline != cur.underline)
        props.underline ? word("ul") : word("ulnone");
    if (all ? props.strike : props.strike != cur.strike)
        props.strike ? word("strike") : word("strike", 0);
    m_current = props;
    m_hasCurrent = true;
}

void RtfBuilder::writeText(QStringView text)
{
    writeEscapedText(text, m_body, m_needDelimiter);
}

bool isPlain(char16_t c)
{
    return c >= 0x20 && c < 0x7F && c != '\\' && c != '{' && c != '}';
}

void appendNumber(QByteArray &out, int value)
{
    char digits[16];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    out.append(digits, end - digits);
}

void RtfBuilder::writeEscapedText(QStringView text, QByteArray &out, bool &needDelimiter)
{
    static const char hex[] = "0123456789abcdef";
    auto control = [&](const char *s) {
        out += s;
        needDelimiter = true;
    };
    auto literal = [&](char c) {
        if (needDelimiter) {
            out += ' ';
            needDelimiter = false;
        }
        out += c;
    };
    auto unicode = [&](char16_t c) {
        out += "\\u";
        appendNumber(out, c > 0x7FFF ? int(c) - 0x10000 : int(c));
        out += '?';
        needDelimiter = false;
    };

    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = text[i].unicode();
        if (isPlain(c)) {
            // Most text is plain ASCII: copy it a run at a time.
            qsizetype end = i + 1;
            while (end < n && isPlain(text[end].unicode()))
                ++end;
            literal(char(c));
            const qsizetype at = out.size();
            out.resize(at + (end - i - 1));
            char *dst = out.data() + at;
            for (qsizetype k = i + 1; k < end; ++k)
                *dst++ = char(text[k].unicode());
            i = end - 1;
            continue;
        }
        if (c >= 0x20 && c < 0x7F) {
            if (c == '\\' || c == '{' || c == '}') {
                out += '\\';
                out += char(c);
                needDelimiter = false;
            } else {
                literal(char(c));
            }
            continue;
        }
        switch (c) {
        case '\t': control("\\tab"); continue;
        case 0x2028: control("\\line"); continue;
        case 0x00A0: out += "\\~"; needDelimiter = false; continue;
        case 0x00AD: out += "\\-"; needDelimiter = false; continue;
        case 0x2011: out += "\\_"; needDelimiter = false; continue;
        case 0x2029: case 0xFDD0: case 0xFDD1: case 0xFFFC:
            continue;  // block, frame and object marks are structure, not text
        default:
            break;
        }
        if (c < 0x20)
            continue;
        const int byte = Windows1252::fromUnicode(c);
        if (byte >= 0x80) {
            out += "\\'";
            out += hex[byte >> 4];
            out += hex[byte & 15];
            needDelimiter = false;
        } else {
            unicode(c);  // surrogate halves come one at a time, as RTF wants them
        }
    }
}

void RtfBuilder::word(const char *name)
{
    m_body += '\\';
    m_body += name;
    m_needDelimiter = true;
}

void RtfBuilder::word(const char *name, int value)
{
    m_body += '\\';
    m_body += name;
    appendNumber(m_body, value);
    m_needDelimiter = true;
}

// Symbol fonts are named twice when text uses them too: their labels are bytes of the symbol
// character set, text in them is Unicode text.
int RtfBuilder::fontIndex(const QString &family, bool symbol)
{
    const QString key = symbol ? family + u'\x01' : family;
    auto it = m_fontIndex.constFind(key);
    if (it != m_fontIndex.cend())
        return *it;
    m_fonts.append({family, symbol});
    return *m_fontIndex.insert(key, int(m_fonts.size() - 1));
}

// Index 0 of the colour table is the automatic colour.
int RtfBuilder::colourIndex(const QBrush &brush)
{
    if (brush.style() == Qt::NoBrush)
        return 0;
    const QColor colour = brush.color();
    if (!colour.isValid())
        return 0;
    const QRgb rgb = colour.rgb() & 0xFFFFFF;
    auto it = m_colourIndex.constFind(rgb);
    if (it != m_colourIndex.cend())
        return *it;
    m_colours.append(QColor(rgb));
    return *m_colourIndex.insert(rgb, int(m_colours.size()));
}

QByteArray RtfBuilder::header()
{
    QByteArray out = "{\\rtf1\\ansi\\ansicpg1252\\deff0\\nouicompat\\deflang1033{\\fonttbl";
    for (int i = 0; i < m_fonts.size(); ++i) {
        const auto &[name, symbol] = m_fonts.at(i);
        out += "{\\f" + QByteArray::number(i) + (symbol ? "\\fnil\\fcharset2 " : "\\fnil\\fcharset0 ");
        bool needDelimiter = false;
        QString clean = name;
        clean.remove(u';');
        writeEscapedText(clean, out, needDelimiter);
        out += ";}";
    }
    out += "}\r\n";
    if (!m_colours.isEmpty()) {
        out += "{\\colortbl ;";
        for (const QColor &c : std::as_const(m_colours)) {
            out += "\\red" + QByteArray::number(c.red()) + "\\green" + QByteArray::number(c.green())
                + "\\blue" + QByteArray::number(c.blue()) + ';';
        }
        out += "}\r\n";
    }
    writeListTables(out);
    out += "{\\*\\generator Corvanta;}\\viewkind4\\uc1 \r\n";
    return out;
}

} // namespace

QByteArray RtfWriter::toRtf(const QTextDocument *document)
{
    return RtfBuilder(document).build();
}

bool RtfWriter::write(QIODevice *device, const QTextDocument *document)
{
    m_errorString.clear();
    if (!device || !device->isWritable()) {
        m_errorString = QStringLiteral("The device is not open for writing.");
        return false;
    }
    const QByteArray rtf = toRtf(document);
    if (device->write(rtf) != rtf.size()) {
        m_errorString = device->errorString();
        return false;
    }
    return true;
}
