#include "formats/RtfParser.h"

#include "formats/SymbolFonts.h"

#include <QFont>
#include <QTextListFormat>

#include <algorithm>

namespace {

using Dest = RtfParser::Dest;

// Groups nested deeper than this are skipped whole; real documents stay far below it.
constexpr qsizetype kMaxDepth = 200000;
constexpr qsizetype kMaxInstruction = 512;

enum Flag : quint8 { Bold = 1, Italic = 2, Underline = 4, Strike = 8, Hidden = 16, Deleted = 32 };
// Hidden text and tracked deletions are not part of the script.
constexpr quint8 kInvisible = Hidden | Deleted;
enum ParaValue { LeftIndent, RightIndent, FirstIndent, SpaceBefore, SpaceAfter };
enum PnKind { PnNone, PnBullet, PnNumbered, PnContinued };
enum LevelFlag { NoRestart, Legal };

constexpr quint32 bit(Dest d)
{
    return quint32(1u << unsigned(d));
}

constexpr quint32 kText = bit(Dest::Text);
constexpr quint32 kCollecting = bit(Dest::Text) | bit(Dest::FontTable) | bit(Dest::ColorTable)
    | bit(Dest::LevelText) | bit(Dest::LevelNumbers) | bit(Dest::PnTextBefore) | bit(Dest::PnTextAfter)
    | bit(Dest::FieldInstruction);
constexpr quint32 kAnywhere = 0xFFFFFFFF & ~bit(Dest::Skip);
constexpr quint32 kListDefinition = bit(Dest::ListTable) | bit(Dest::List) | bit(Dest::ListLevel);
constexpr int kListIndentTwips = 720;
constexpr int kListHangTwips = 360;

int clampInt(int value, int low, int high)
{
    return std::clamp(value, low, high);
}

// The words of a field instruction; a quoted word may hold blanks.
QStringList instructionWords(QStringView text)
{
    QStringList words;
    qsizetype i = 0;
    while (i < text.size()) {
        if (text[i].isSpace()) {
            ++i;
            continue;
        }
        const bool quoted = text[i] == u'"';
        const qsizetype start = quoted ? i + 1 : i;
        qsizetype end = start;
        while (end < text.size() && (quoted ? text[end] != u'"' : !text[end].isSpace()))
            ++end;
        words << text.mid(start, end - start).toString();
        i = end + 1;
    }
    return words;
}

// SYMBOL 183 \f "Symbol" \s 12: a character by its code in a font; \u gives a Unicode code.
struct SymbolField
{
    bool valid = false;
    uint code = 0;
    QString font;
    bool unicode = false;
};

SymbolField parseSymbolField(QStringView instruction)
{
    const QStringList words = instructionWords(instruction);
    SymbolField field;
    if (words.size() < 2 || words[0].compare(u"SYMBOL", Qt::CaseInsensitive) != 0)
        return field;
    bool ok = false;
    field.code = words[1].startsWith(u"0x", Qt::CaseInsensitive) ? words[1].mid(2).toUInt(&ok, 16)
                                                                  : words[1].toUInt(&ok, 10);
    field.valid = ok;
    for (qsizetype i = 2; i < words.size(); ++i) {
        if (words[i].compare(u"\\f", Qt::CaseInsensitive) == 0 && i + 1 < words.size())
            field.font = words[++i];
        else if (words[i].compare(u"\\u", Qt::CaseInsensitive) == 0)
            field.unicode = true;
    }
    return field;
}

} // namespace

size_t qHash(const RtfParser::CharProps &p, size_t seed) noexcept
{
    return qHashMulti(seed, p.font, p.halfPoints, p.foreground, p.background, p.flags);
}

size_t qHash(const RtfParser::ParaProps &p, size_t seed) noexcept
{
    return qHashMulti(seed, p.leftIndent, p.rightIndent, p.firstIndent, p.spaceBefore, p.spaceAfter,
                      p.shading, p.listOverride, p.pn, p.level, p.alignment);
}

const std::unordered_map<std::string_view, RtfParser::Entry> &RtfParser::controlWords()
{
    using P = RtfParser;
    static const std::unordered_map<std::string_view, Entry> table = [] {
        std::unordered_map<std::string_view, Entry> t;
        auto add = [&t](std::string_view word, Handler h, int arg, quint32 dests, bool dest = false) {
            t.emplace(word, Entry{h, arg, dests, dest});
        };
        auto destination = [&](std::string_view word, Dest d, quint32 where = kAnywhere) {
            add(word, &P::onDestination, int(d), where, true);
        };
        // Destinations we read
        destination("fonttbl", Dest::FontTable);
        destination("colortbl", Dest::ColorTable);
        destination("listtable", Dest::ListTable);
        destination("listoverridetable", Dest::OverrideTable);
        destination("leveltext", Dest::LevelText, bit(Dest::ListLevel));
        destination("levelnumbers", Dest::LevelNumbers, bit(Dest::ListLevel));
        destination("pn", Dest::Pn, kText);
        destination("pntxtb", Dest::PnTextBefore, bit(Dest::Pn));
        destination("pntxta", Dest::PnTextAfter, bit(Dest::Pn));
        // List definitions are read wherever they stand, so that a damaged file whose list
        // table lost its braces does not show the definitions as text.
        add("list", &P::onList, 0, kAnywhere, true);
        add("listlevel", &P::onListLevelDef, 0, kAnywhere, true);
        add("listoverride", &P::onListOverrideEntry, 0, kAnywhere, true);
        add("lfolevel", &P::onOverrideLevel, 0, bit(Dest::Override), true);
        // A \upr pair holds the same text twice: 8-bit, then Unicode in \ud.
        add("upr", &P::onUpr, 0, kAnywhere, true);
        add("ud", &P::onUd, 0, bit(Dest::Upr), true);
        // Containers whose text is shown (fields show their result). Nested-table properties
        // hold no text as Word writes them, but other writers put the nested cells' paragraphs
        // in there; the properties themselves are words this reader does not know.
        add("nesttableprops", &P::onIgnore, 0, kAnywhere, true);
        add("field", &P::onFieldPart, int(FieldPart::Field), kAnywhere, true);
        add("fldrslt", &P::onFieldPart, int(FieldPart::Result), kAnywhere, true);
        destination("fldinst", Dest::FieldInstruction);
        // Destinations whose content is not part of the script's text
        for (const char *w : {"pntext", "listtext", "stylesheet", "info", "pict",
                              "object", "objdata", "header", "headerl", "headerr", "headerf", "footer",
                              "footerl", "footerr", "footerf", "footnote", "annotation", "atnid",
                              "atnauthor", "ftnsep", "ftnsepc", "ftncn", "aftnsep", "aftnsepc",
                              "aftncn", "shp", "shpinst", "shprslt", "nonshppict", "shppict", "do",
                              "xe", "tc", "txe", "rxe", "bkmkstart", "bkmkend", "template",
                              "author", "operator", "title", "subject", "keywords", "comment",
                              "doccomm", "company", "category", "manager", "revtbl", "listname",
                              "themedata", "colorschememapping", "latentstyles", "datastore",
                              "listpicture", "pnseclvl", "generator", "falt", "panose", "nonesttables", "rsidtbl", "xmlnstbl", "mmathPr", "pgdsctbl",
                              "defchp", "defpap", "userprops", "docvar", "wgrffmtfilter", "fchars",
                              "lchars", "protusertbl", "levelmarker"})
            destination(w, Dest::Skip);
        // Document
        add("ansi", &P::onCodePage, 1252, kAnywhere);
        add("mac", &P::onCodePage, 10000, kAnywhere);
        add("pc", &P::onCodePage, 437, kAnywhere);
        add("pca", &P::onCodePage, 850, kAnywhere);
        add("ansicpg", &P::onCodePage, 0, kAnywhere);
        add("deff", &P::onDefaultFont, 0, kAnywhere);
        add("uc", &P::onUnicodeSkip, 0, kAnywhere);
        add("u", &P::onUnicode, 0, kCollecting);
        add("ftnstart", &P::onFootnoteStart, 0, kText);
        // Tables
        add("f", &P::onFont, 0, kText | bit(Dest::FontTable));
        add("fcharset", &P::onFontCharset, 0, bit(Dest::FontTable));
        add("cpg", &P::onFontCodePage, 0, bit(Dest::FontTable));
        add("ftech", &P::onFontTechnical, 0, bit(Dest::FontTable));
        add("red", &P::onColourPart, 0, bit(Dest::ColorTable));
        add("green", &P::onColourPart, 1, bit(Dest::ColorTable));
        add("blue", &P::onColourPart, 2, bit(Dest::ColorTable));
        add("levelnfc", &P::onLevelNumbering, 0, bit(Dest::ListLevel));
        add("levelnfcn", &P::onLevelNumbering, 0, bit(Dest::ListLevel));
        add("levelstartat", &P::onLevelStart, 0, bit(Dest::ListLevel) | bit(Dest::OverrideLevel));
        add("levelnorestart", &P::onLevelFlag, NoRestart, bit(Dest::ListLevel));
        add("levellegal", &P::onLevelFlag, Legal, bit(Dest::ListLevel));
        add("listid", &P::onListId, 0, kListDefinition | bit(Dest::Override));
        add("ls", &P::onListOverride, 0, kText | bit(Dest::Override));
        // Characters
        add("plain", &P::onPlain, 0, kText);
        add("b", &P::onFlag, Bold, kText);
        add("i", &P::onFlag, Italic, kText);
        for (const char *w : {"ul", "uld", "uldash", "uldashd", "uldashdd", "uldb", "ulhwave", "ulldash",
                              "ulth", "ulthd", "ulthdash", "ulthdashd", "ulthdashdd", "ulthldash",
                              "ululdbwave", "ulw", "ulwave"})
            add(w, &P::onFlag, Underline, kText);
        add("ulnone", &P::onUnderlineOff, 0, kText);
        add("strike", &P::onFlag, Strike, kText);
        add("striked", &P::onFlag, Strike, kText);
        add("v", &P::onFlag, Hidden, kText);
        add("deleted", &P::onFlag, Deleted, kText);
        add("fs", &P::onFontSize, 0, kText);
        add("cf", &P::onForeground, 0, kText);
        for (const char *w : {"cb", "highlight", "chcbpat"})
            add(w, &P::onBackground, 0, kText);
        add("cs", &P::onIgnore, 0, kText);  // a character style: known, so \*\cs is applied
        add("chftn", &P::onFootnoteMark, 0, kText);
        // Paragraphs
        add("pard", &P::onPard, 0, kText);
        add("ql", &P::onAlignment, Qt::AlignLeft, kText);
        add("qr", &P::onAlignment, Qt::AlignRight, kText);
        add("qc", &P::onAlignment, Qt::AlignHCenter, kText);
        add("qj", &P::onAlignment, Qt::AlignJustify, kText);
        add("qd", &P::onAlignment, Qt::AlignJustify, kText);
        add("li", &P::onParaValue, LeftIndent, kText);
        add("lin", &P::onParaValue, LeftIndent, kText);
        add("ri", &P::onParaValue, RightIndent, kText);
        add("rin", &P::onParaValue, RightIndent, kText);
        add("fi", &P::onParaValue, FirstIndent, kText);
        add("sb", &P::onParaValue, SpaceBefore, kText);
        add("sa", &P::onParaValue, SpaceAfter, kText);
        add("cbpat", &P::onShading, 0, kText);
        add("ilvl", &P::onListLevel, 0, kText);
        add("pnlvlblt", &P::onPnKind, PnBullet, bit(Dest::Pn));
        add("pnlvlbody", &P::onPnKind, PnNumbered, bit(Dest::Pn));
        add("pnlvlcont", &P::onPnKind, PnContinued, bit(Dest::Pn));
        add("pnlvl", &P::onPnLevel, 0, bit(Dest::Pn));
        add("pnstart", &P::onPnStart, 0, bit(Dest::Pn));
        add("pndec", &P::onPnNumbering, QTextListFormat::ListDecimal, bit(Dest::Pn));
        add("pnucltr", &P::onPnNumbering, QTextListFormat::ListUpperAlpha, bit(Dest::Pn));
        add("pnlcltr", &P::onPnNumbering, QTextListFormat::ListLowerAlpha, bit(Dest::Pn));
        add("pnucrm", &P::onPnNumbering, QTextListFormat::ListUpperRoman, bit(Dest::Pn));
        add("pnlcrm", &P::onPnNumbering, QTextListFormat::ListLowerRoman, bit(Dest::Pn));
        // Breaks and special characters
        add("par", &P::onParagraph, 0, kText);
        add("cell", &P::onCell, 0, kText);
        add("nestcell", &P::onCell, 0, kText);
        add("page", &P::onSoftBreak, 0, kText);
        add("sect", &P::onSoftBreak, 0, kText);
        add("line", &P::onChar, 0x2028, kCollecting);
        add("tab", &P::onChar, '\t', kCollecting);
        add("emdash", &P::onChar, 0x2014, kCollecting);
        add("endash", &P::onChar, 0x2013, kCollecting);
        add("emspace", &P::onChar, 0x2003, kCollecting);
        add("enspace", &P::onChar, 0x2002, kCollecting);
        add("qmspace", &P::onChar, 0x2005, kCollecting);
        add("bullet", &P::onChar, 0x2022, kCollecting);
        add("lquote", &P::onChar, 0x2018, kCollecting);
        add("rquote", &P::onChar, 0x2019, kCollecting);
        add("ldblquote", &P::onChar, 0x201C, kCollecting);
        add("rdblquote", &P::onChar, 0x201D, kCollecting);
        add("zwj", &P::onChar, 0x200D, kCollecting);
        add("zwnj", &P::onChar, 0x200C, kCollecting);
        add("zwbo", &P::onChar, 0x200B, kCollecting);
        add("ltrmark", &P::onChar, 0x200E, kCollecting);
        add("rtlmark", &P::onChar, 0x200F, kCollecting);
        return t;
    }();
    return table;
}

RtfParser::RtfParser(QTextCursor &cursor)
    : m_cursor(cursor)
{
    m_startedAtBlockStart = cursor.atBlockStart();
    // Into an empty document every paragraph is ours to format; text pasted into an existing
    // paragraph takes that paragraph's format unless it brings paragraph breaks of its own.
    m_blockIsOurs = cursor.document()->isEmpty();
}

void RtfParser::parse(QByteArrayView data)
{
    RtfTokenizer tokenizer(data);
    m_stack.reserve(64);
    m_stack.push_back(GroupState{});
    for (;;) {
        RtfToken token = tokenizer.next();
        if (token.type == RtfToken::End)
            break;
        handleToken(token);
        if (m_done)
            break;
    }
    const bool closed = m_done;
    if (!closed)
        finishDocument();
    if (!closed)
        noteDamage(RtfReader::Damage::EndsEarly, QStringLiteral("The document ends before its last group is closed."));
    if (tokenizer.binaryTruncated())
        noteDamage(RtfReader::Damage::EndsEarly, QStringLiteral("Binary data runs past the end of the document."));
}

// The position counts the run not yet inserted: the text read so far ends there.
void RtfParser::noteDamage(RtfReader::Damage::Kind kind, const QString &text)
{
    m_damageTexts << text;
    for (const RtfReader::Damage &seen : std::as_const(m_damage))
        if (seen.kind == kind)
            return;
    m_damage.append({kind, int(m_cursor.position() + m_run.size())});
}

// Runs inside the document's group, so that the last paragraph gets the properties in force.
void RtfParser::finishDocument()
{
    flushBytes();
    flushSurrogate();
    if (!m_pendingParagraph) {
        // The last paragraph has no \par of its own; a \par right before the end adds nothing.
        flushRun();
        finishParagraph(false);
    }
}

void RtfParser::handleToken(const RtfToken &original)
{
    if (m_overflowDepth > 0) {
        if (original.type == RtfToken::GroupOpen)
            ++m_overflowDepth;
        else if (original.type == RtfToken::GroupClose)
            --m_overflowDepth;
        return;
    }
    RtfToken token = original;
    if (m_unicodeSkipLeft > 0 && !consumeUnicodeSkip(token))
        return;
    if (token.type != RtfToken::ControlWord && !(token.type == RtfToken::ControlSymbol && token.symbol == '*'))
        m_ignorable = false;

    switch (token.type) {
    case RtfToken::GroupOpen:
        pushGroup();
        break;
    case RtfToken::GroupClose:
        popGroup();
        break;
    case RtfToken::ControlWord:
        dispatch(token);
        break;
    case RtfToken::ControlSymbol:
        symbol(token.symbol);
        break;
    case RtfToken::HexByte:
        bytes(reinterpret_cast<const char *>(&token.byte), 1);
        break;
    case RtfToken::Text:
        bytes(token.text, token.length);
        break;
    case RtfToken::End:
        break;
    }
    m_groupStart = token.type == RtfToken::GroupOpen;
}

// Steps over the fallback after \uN: bytes, \'hh and control words count one each; a group
// boundary ends the fallback. Returns false when the whole token was part of it.
bool RtfParser::consumeUnicodeSkip(RtfToken &token)
{
    switch (token.type) {
    case RtfToken::GroupOpen:
    case RtfToken::GroupClose:
    case RtfToken::End:
        m_unicodeSkipLeft = 0;
        return true;
    case RtfToken::Text:
        if (token.length <= m_unicodeSkipLeft) {
            m_unicodeSkipLeft -= int(token.length);
            return false;
        }
        token.text += m_unicodeSkipLeft;
        token.length -= m_unicodeSkipLeft;
        m_unicodeSkipLeft = 0;
        return true;
    default:
        --m_unicodeSkipLeft;
        return false;
    }
}

// \* says that a reader that does not know the destination it starts skips its group. It
// marks only that destination: after it a known word is applied, and in the middle of a
// group an unknown one costs nothing but itself.
void RtfParser::dispatch(const RtfToken &token)
{
    const bool ignorable = m_ignorable;
    const bool skipGroup = ignorable && m_ignorableAtStart;
    m_ignorable = false;
    GroupState &state = top();
    if (state.dest == Dest::Skip)
        return;
    flushBytes();
    const auto &table = controlWords();
    const auto it = table.find(token.word);
    if (it == table.end()) {
        if (skipGroup)
            state.dest = Dest::Skip;
        return;
    }
    const Entry &entry = it->second;
    if (entry.dests & bit(state.dest))
        (this->*entry.handler)(token, entry.arg);
    else if (skipGroup && entry.destination)
        state.dest = Dest::Skip;
}

void RtfParser::symbol(char c)
{
    if (top().dest == Dest::Skip)
        return;
    switch (c) {
    case '*':
        m_ignorable = true;
        m_ignorableAtStart = m_groupStart;
        break;
    case '\\':
    case '{':
    case '}':
        bytes(&c, 1);
        break;
    case '~':
        flushBytes();
        chars(u"\u00A0");
        break;
    case '-':
        flushBytes();
        chars(u"\u00AD");
        break;
    case '_':
        flushBytes();
        chars(u"\u2011");
        break;
    default:
        break;  // \| \: and unknown symbols have no text
    }
}

void RtfParser::pushGroup()
{
    flushBytes();
    if (qsizetype(m_stack.size()) > kMaxDepth) {
        noteDamage(RtfReader::Damage::TooDeep, QStringLiteral("Groups nested more than %1 deep were skipped.").arg(kMaxDepth));
        m_overflowDepth = 1;
        return;
    }
    GroupState copy = m_stack.back();
    copy.field = FieldPart::None;
    m_stack.push_back(copy);
}

void RtfParser::popGroup()
{
    flushBytes();
    if (m_stack.size() <= 2) {
        // The document's own group closes; anything after it is not RTF.
        finishDocument();
        m_done = true;
        return;
    }
    if (top().field != FieldPart::None)
        endFieldPart(top());
    const GroupState closing = m_stack.back();
    m_stack.pop_back();
    endGroup(closing, m_stack.back());
}

void RtfParser::endGroup(const GroupState &closing, GroupState &parent)
{
    if (closing.dest == parent.dest)
        return;
    switch (closing.dest) {
    case Dest::FontTable:
        finishFont();
        invalidateCaches();
        break;
    case Dest::ColorTable:
        if (m_rgbSeen)
            finishColour();
        invalidateCaches();
        break;
    case Dest::LevelText:
        m_lists.setLevelText(m_levelText, m_levelLength);
        break;
    case Dest::LevelNumbers:
        m_lists.setLevelNumbers(m_levelNumbers);
        break;
    case Dest::ListLevel:
        m_lists.endLevel();
        invalidateCaches();
        break;
    case Dest::Override:
        m_lists.endOverride();
        invalidateCaches();
        break;
    case Dest::Pn:
        finishPn(parent);
        break;
    case Dest::FieldInstruction:
        finishFieldInstruction();
        break;
    default:
        break;
    }
}

// --- Text output -------------------------------------------------------------------------

bool RtfParser::textIsHidden()
{
    return top().chars.flags & kInvisible;
}

int RtfParser::textCodePage()
{
    const int font = top().chars.font < 0 ? m_defaultFont : top().chars.font;
    if (font != m_cachedCodePageFont) {
        const auto it = m_fonts.constFind(font);
        m_cachedCodePageFont = font;
        m_cachedCodePage = it == m_fonts.cend() ? m_ansiCodePage : fontCodePage(*it);
    }
    return m_cachedCodePage;
}

// A font's character set decides its code page; the document's (\ansicpg) serves fonts
// without one. \fcharset0 is Windows-1252 even under a CJK document code page, except in old
// Mac documents, whose "ANSI" fonts are Mac Roman.
int RtfParser::fontCodePage(const FontDef &font) const
{
    const bool symbol = font.charset == 2
        || (font.charset < 0 && (font.technical || SymbolFonts::isSymbolFontName(font.name)));
    if (symbol)
        return RtfCodePages::symbolCodePage(SymbolFonts::tableFor(font.name));
    if (font.codePage > 0)
        return font.codePage;
    if (font.charset == 0 && m_macDocument)
        return m_ansiCodePage;
    const int codePage = RtfCodePages::codePageForCharset(font.charset);
    return codePage ? codePage : m_ansiCodePage;
}

void RtfParser::bytes(const char *data, qsizetype length)
{
    const Dest dest = top().dest;
    if (dest == Dest::Skip || length <= 0)
        return;
    if (dest == Dest::Text) {
        if (textIsHidden())
            return;
        if (length == 1 && static_cast<unsigned char>(*data) < 0x20 && *data != '\t')
            return;  // \'hh control bytes would split or corrupt paragraphs
        const int codePage = textCodePage();
        if (codePage == 1252 && m_pendingBytes.isEmpty()) {
            beginText();
            m_codePages.decode(1252, QByteArrayView(data, length), m_run);
            return;
        }
        if (codePage != m_pendingCodePage)
            flushBytes();
        m_pendingCodePage = codePage;
        m_pendingBytes.append(data, length);
        return;
    }
    if (!(bit(dest) & kCollecting))
        return;
    if (dest == Dest::LevelNumbers || (dest == Dest::LevelText && m_levelLength < 0 && m_levelText.isEmpty()
                                       && m_pendingBytes.isEmpty())) {
        levelBytes(dest, data, length);
        return;
    }
    const int codePage = dest == Dest::FontTable && m_font.codePage ? m_font.codePage : m_ansiCodePage;
    if (codePage != m_pendingCodePage)
        flushBytes();
    m_pendingCodePage = codePage;
    m_pendingBytes.append(data, length);
}

// The length of a list level's text and the positions of its numbers are bytes, not text
// of the document's code page.
void RtfParser::levelBytes(Dest dest, const char *data, qsizetype length)
{
    if (dest == Dest::LevelText) {
        m_levelLength = static_cast<unsigned char>(*data);
        if (length > 1)
            bytes(data + 1, length - 1);
        return;
    }
    for (qsizetype i = 0; i < length; ++i)
        m_levelNumbers.append(QChar(char16_t(static_cast<unsigned char>(data[i]))));
}

void RtfParser::flushBytes()
{
    if (m_pendingBytes.isEmpty())
        return;
    QString decoded;
    m_codePages.decode(m_pendingCodePage, m_pendingBytes, decoded);
    m_pendingBytes.clear();
    chars(decoded);
}

void RtfParser::chars(QStringView text)
{
    switch (top().dest) {
    case Dest::Text:
        textChars(text);
        break;
    case Dest::FontTable:
        for (const QChar c : text) {
            if (c == u';')
                finishFont();
            else if (m_fontNumber >= 0)
                m_font.name.append(c);
        }
        break;
    case Dest::ColorTable:
        for (const QChar c : text) {
            if (c == u';')
                finishColour();
        }
        break;
    case Dest::LevelText:
        m_levelText.append(text);
        break;
    case Dest::LevelNumbers:
        m_levelNumbers.append(text);
        break;
    case Dest::PnTextBefore:
        m_pnBefore.append(text);
        break;
    case Dest::PnTextAfter:
        m_pnAfter.append(text);
        break;
    case Dest::FieldInstruction:
        // An instruction is a line at most; hostile input gets no more memory than that.
        if (m_fieldInstruction.size() < kMaxInstruction)
            m_fieldInstruction.append(text.left(kMaxInstruction - m_fieldInstruction.size()));
        break;
    default:
        break;
    }
}

void RtfParser::textChars(QStringView text)
{
    if (textIsHidden())
        return;
    beginText();
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if ((u < 0x20 && u != '\t') || u == 0xFDD0 || u == 0xFDD1 || u == 0xFFFC)
            continue;  // Qt reserves these for blocks, frames and pictures
        m_run.append(u == 0x2029 ? QChar(0x2028) : c);
    }
}

void RtfParser::beginText()
{
    if (m_pendingParagraph)
        openPendingParagraph();
    if (m_highSurrogate)
        flushSurrogate();
    if (!(top().chars == m_runProps)) {
        flushRun();
        m_runProps = top().chars;
    }
}

void RtfParser::flushSurrogate()
{
    if (!m_highSurrogate)
        return;
    m_highSurrogate = 0;
    if (top().dest == Dest::Text)
        textChars(u"\uFFFD");
}

void RtfParser::flushRun()
{
    if (m_run.isEmpty())
        return;
    m_cursor.insertText(m_run, charFormat(m_runProps));
    m_run.resize(0);
    m_blockEmpty = false;
}

// --- Paragraphs --------------------------------------------------------------------------

void RtfParser::paragraphEnd()
{
    if (m_pendingParagraph)
        openPendingParagraph();
    flushSurrogate();
    flushRun();
    finishParagraph(true);
    m_pendingParagraph = true;
}

// A \par opens the next paragraph only when something follows it, so that the customary
// \par before the closing brace does not leave an empty paragraph at the end.
void RtfParser::openPendingParagraph()
{
    m_pendingParagraph = false;
    if (m_hasDeferredFormat) {
        m_hasDeferredFormat = false;
        applyBlockFormat(m_deferredFormat);
    }
    m_cursor.insertBlock(blockFormat(top().para), charFormat(top().chars));
    m_blockIsOurs = true;
    m_blockEmpty = true;
}

// Paragraph properties in force at the end of a paragraph are the paragraph's. A paragraph
// that was there before (pasting into it) keeps its own format unless we replaced all of it.
void RtfParser::finishParagraph(bool byBreak)
{
    if (m_blockIsOurs) {
        applyBlockFormat(top().para);
        if (m_blockEmpty)
            m_cursor.setBlockCharFormat(charFormat(top().chars));
    } else if (byBreak && m_startedAtBlockStart) {
        m_deferredFormat = top().para;
        m_hasDeferredFormat = true;
    }
}

RtfLists::Ref RtfParser::listRef(const ParaProps &para)
{
    return RtfLists::Ref{para.listOverride, para.pn, para.level};
}

void RtfParser::applyBlockFormat(const ParaProps &para)
{
    QTextBlockFormat format = blockFormat(para);
    int drawStyle = 0;
    if (QTextList *list = m_lists.place(listRef(para), m_cursor, &drawStyle)) {
        format.setObjectIndex(list->objectIndex());
        if (drawStyle)
            format.setProperty(QTextFormat::ListStyle, drawStyle);
    } else {
        m_lists.endPnRun();
    }
    m_cursor.setBlockFormat(format);
}

QTextBlockFormat RtfParser::blockFormat(const ParaProps &para)
{
    const auto it = m_blockFormats.constFind(para);
    if (it != m_blockFormats.cend())
        return *it;

    QTextBlockFormat format;
    if (para.alignment && para.alignment != Qt::AlignLeft)
        format.setAlignment(Qt::Alignment(para.alignment));
    int left = para.leftIndent;
    int first = para.firstIndent;
    if (m_lists.style(listRef(para))) {
        // The label hangs in the first line's indent; a first line that starts further out
        // than the usual hang (TextEdit's \fi-1440 with a tab after the label) still has its
        // text where the other lines start.
        left -= kListIndentTwips * (para.level + 1);
        first = std::max(first, -kListHangTwips) + kListHangTwips;
    }
    if (left > 0)
        format.setLeftMargin(left / 20.0);
    if (para.rightIndent > 0)
        format.setRightMargin(para.rightIndent / 20.0);
    if (first)
        format.setTextIndent(first / 20.0);
    if (para.spaceBefore > 0)
        format.setTopMargin(para.spaceBefore / 20.0);
    if (para.spaceAfter > 0)
        format.setBottomMargin(para.spaceAfter / 20.0);
    const QColor shading = colour(para.shading);
    if (shading.isValid())
        format.setBackground(shading);
    m_blockFormats.insert(para, format);
    return format;
}

QTextCharFormat RtfParser::charFormat(const CharProps &props)
{
    if (m_hasLastCharFormat && m_lastCharProps == props)
        return m_lastCharFormat;
    auto it = m_charFormats.constFind(props);
    if (it == m_charFormats.cend()) {
        QTextCharFormat format;
        const auto font = m_fonts.constFind(props.font < 0 ? m_defaultFont : props.font);
        if (font != m_fonts.cend() && !font->name.isEmpty())
            format.setFontFamilies(QStringList(font->name));
        format.setFontPointSize(props.halfPoints / 2.0);
        if (props.flags & Bold)
            format.setFontWeight(QFont::Bold);
        if (props.flags & Italic)
            format.setFontItalic(true);
        if (props.flags & Underline)
            format.setFontUnderline(true);
        if (props.flags & Strike)
            format.setFontStrikeOut(true);
        const QColor foreground = colour(props.foreground);
        if (foreground.isValid())
            format.setForeground(foreground);
        const QColor background = colour(props.background);
        if (background.isValid())
            format.setBackground(background);
        it = m_charFormats.insert(props, format);
    }
    m_lastCharProps = props;
    m_lastCharFormat = *it;
    m_hasLastCharFormat = true;
    return m_lastCharFormat;
}

QColor RtfParser::colour(int index) const
{
    if (index <= 0 || index >= qsizetype(m_colours.size()))
        return QColor();
    return m_colours[size_t(index)];
}

// --- Tables ------------------------------------------------------------------------------

void RtfParser::finishFont()
{
    if (m_fontNumber < 0)
        return;
    m_font.name = m_font.name.trimmed();
    m_fonts[m_fontNumber] = m_font;
    m_fontNumber = -1;
    m_font = FontDef{};
    invalidateCaches();
}

void RtfParser::finishColour()
{
    m_colours.push_back(m_rgbSeen ? QColor(m_rgb[0], m_rgb[1], m_rgb[2]) : QColor());
    m_rgb[0] = m_rgb[1] = m_rgb[2] = 0;
    m_rgbSeen = false;
}

// The character of a SYMBOL field, in the font it names when the document has that font.
// Bytes of a symbol font become what they show, or stay at U+F000 + byte where the font's
// own character has no Unicode equivalent.
void RtfParser::finishFieldInstruction()
{
    const SymbolField field = parseSymbolField(m_fieldInstruction);
    m_fieldInstruction.clear();
    m_fieldSymbol.clear();
    m_fieldSymbolFont = -1;
    if (!field.valid || field.code < 0x20)
        return;
    for (auto it = m_fonts.cbegin(); it != m_fonts.cend() && !field.font.isEmpty(); ++it) {
        if (it->name.compare(field.font, Qt::CaseInsensitive) == 0) {
            m_fieldSymbolFont = it.key();
            break;
        }
    }
    const bool privateUse = field.code >= 0xF020 && field.code <= 0xF0FF;
    if (field.unicode || (field.code > 0xFF && !privateUse)) {
        const char32_t c = char32_t(field.code);
        if (c <= 0x10FFFF && !QChar::isSurrogate(c))
            m_fieldSymbol = QString::fromUcs4(&c, 1);
        return;
    }
    int codePage = m_ansiCodePage;
    if (m_fieldSymbolFont >= 0)
        codePage = fontCodePage(m_fonts.value(m_fieldSymbolFont));
    else if (field.font.isEmpty())
        codePage = textCodePage();
    else if (SymbolFonts::isSymbolFontName(field.font))
        codePage = RtfCodePages::symbolCodePage(SymbolFonts::tableFor(field.font));
    m_codePages.decode(codePage, QByteArray(1, char(field.code & 0xFF)), m_fieldSymbol);
}

void RtfParser::onFieldPart(const RtfToken &, int part)
{
    top().field = FieldPart(part);
    if (top().field == FieldPart::Field) {
        m_fieldInstruction.clear();
        m_fieldSymbol.clear();
    } else {
        m_fieldResultStart = int(m_cursor.position() + m_run.size());
    }
}

// Writers leave the result of a SYMBOL field empty, or leave it out: the character is then
// shown from the instruction, where the field ends.
void RtfParser::endFieldPart(const GroupState &closing)
{
    if (m_fieldSymbol.isEmpty())
        return;
    const bool resultHasText = int(m_cursor.position() + m_run.size()) != m_fieldResultStart;
    if (closing.field == FieldPart::Result && resultHasText) {
        m_fieldSymbol.clear();
        return;
    }
    if (top().dest == Dest::Text) {
        const int font = top().chars.font;
        if (m_fieldSymbolFont >= 0)
            top().chars.font = m_fieldSymbolFont;
        textChars(m_fieldSymbol);
        top().chars.font = font;
    }
    m_fieldSymbol.clear();
}

void RtfParser::finishPn(GroupState &parent)
{
    RtfLists::PnDef def;
    if (m_pnKind == PnBullet) {
        def.style = RtfLists::bulletStyle(m_pnBefore.isEmpty() ? u'\u2022' : m_pnBefore.at(0).unicode());
    } else if (m_pnKind == PnNumbered) {
        def.style = m_pnNumbering ? m_pnNumbering : int(QTextListFormat::ListDecimal);
        def.start = m_pnStart;
        def.before = m_pnBefore;
        def.after = m_pnAfter;
    }
    parent.para.pn = def.style ? qint16(std::min(m_lists.addPn(def), 0x7FFF)) : qint16(-1);
    if (m_pnLevel > 0)
        parent.para.level = qint8(m_pnLevel - 1);
}

void RtfParser::invalidateCaches()
{
    m_charFormats.clear();
    m_blockFormats.clear();
    m_hasLastCharFormat = false;
    m_cachedCodePageFont = -2;
}

// --- Handlers ----------------------------------------------------------------------------

void RtfParser::onDestination(const RtfToken &, int dest)
{
    const Dest d = Dest(dest);
    top().dest = d;
    switch (d) {
    case Dest::LevelText:
        m_levelText.clear();
        m_levelLength = -1;
        break;
    case Dest::LevelNumbers:
        m_levelNumbers.clear();
        break;
    case Dest::Pn:
        m_pnKind = PnNone;
        m_pnNumbering = 0;
        m_pnLevel = 0;
        m_pnStart = 1;
        m_pnBefore.clear();
        m_pnAfter.clear();
        break;
    case Dest::PnTextBefore:
        m_pnBefore.clear();
        break;
    case Dest::PnTextAfter:
        m_pnAfter.clear();
        break;
    default:
        break;
    }
}

void RtfParser::onCodePage(const RtfToken &token, int codePage)
{
    if (!codePage)
        codePage = token.param;
    if (codePage > 0) {
        m_ansiCodePage = codePage;
        m_cachedCodePageFont = -2;
    }
    if (token.word == "mac")
        m_macDocument = true;
}

void RtfParser::onDefaultFont(const RtfToken &token, int)
{
    m_defaultFont = token.param;
    invalidateCaches();
}

void RtfParser::onUnicodeSkip(const RtfToken &token, int)
{
    top().unicodeSkip = quint8(clampInt(token.param, 0, 255));
}

void RtfParser::onUnicode(const RtfToken &token, int)
{
    m_unicodeSkipLeft = top().unicodeSkip;
    int value = token.param;
    if (value < 0)
        value += 65536;
    if (value <= 0 || value > 0xFFFF)
        return;
    char16_t u = char16_t(value);
    if (top().dest != Dest::Text) {
        chars(QStringView(&u, 1));
        return;
    }
    // Symbol fonts keep their pictures at U+F000 + byte; show them as what they are.
    const int codePage = u >= 0xF020 && u <= 0xF0FF ? textCodePage() : 0;
    if (RtfCodePages::isSymbolCodePage(codePage)) {
        QString symbol;
        m_codePages.decode(codePage, QByteArray(1, char(u - 0xF000)), symbol);
        textChars(symbol);
        return;
    }
    if (QChar::isHighSurrogate(u)) {
        flushSurrogate();
        m_highSurrogate = u;
    } else if (QChar::isLowSurrogate(u)) {
        if (m_highSurrogate) {
            const char16_t pair[2] = {m_highSurrogate, u};
            m_highSurrogate = 0;
            textChars(QStringView(pair, 2));
        } else {
            textChars(u"\uFFFD");
        }
    } else {
        textChars(QStringView(&u, 1));
    }
}

void RtfParser::onFont(const RtfToken &token, int)
{
    if (top().dest == Dest::FontTable) {
        finishFont();
        m_fontNumber = token.param;
        m_font = FontDef{};
    } else {
        top().chars.font = token.param;
    }
}

void RtfParser::onFontCharset(const RtfToken &token, int)
{
    m_font.charset = token.param;
}

void RtfParser::onFontCodePage(const RtfToken &token, int)
{
    if (token.param > 0)
        m_font.codePage = token.param;
}

void RtfParser::onFontTechnical(const RtfToken &, int)
{
    m_font.technical = true;
}

void RtfParser::onColourPart(const RtfToken &token, int part)
{
    m_rgb[part] = clampInt(token.param, 0, 255);
    m_rgbSeen = true;
}

void RtfParser::onPlain(const RtfToken &, int)
{
    top().chars = CharProps{};
}

void RtfParser::onFlag(const RtfToken &token, int flag)
{
    quint8 &flags = top().chars.flags;
    if (token.hasParam && token.param == 0)
        flags &= quint8(~flag);
    else
        flags |= quint8(flag);
}

void RtfParser::onUnderlineOff(const RtfToken &, int)
{
    top().chars.flags &= quint8(~Underline);
}

void RtfParser::onFontSize(const RtfToken &token, int)
{
    top().chars.halfPoints = token.param > 0 ? clampInt(token.param, 2, 3276) : 24;
}

void RtfParser::onForeground(const RtfToken &token, int)
{
    top().chars.foreground = token.param;
}

void RtfParser::onBackground(const RtfToken &token, int)
{
    top().chars.background = token.param;
}

void RtfParser::onPard(const RtfToken &, int)
{
    top().para = ParaProps{};
}

void RtfParser::onAlignment(const RtfToken &, int alignment)
{
    top().para.alignment = quint8(alignment);
}

void RtfParser::onParaValue(const RtfToken &token, int which)
{
    // A page is at most 22 inches; larger values are damage, not layout.
    const int twips = clampInt(token.param, -31680, 31680);
    ParaProps &para = top().para;
    switch (which) {
    case LeftIndent: para.leftIndent = twips; break;
    case RightIndent: para.rightIndent = twips; break;
    case FirstIndent: para.firstIndent = twips; break;
    case SpaceBefore: para.spaceBefore = twips; break;
    case SpaceAfter: para.spaceAfter = twips; break;
    default: break;
    }
}

void RtfParser::onShading(const RtfToken &token, int)
{
    top().para.shading = token.param;
}

void RtfParser::onListOverride(const RtfToken &token, int)
{
    if (top().dest == Dest::Override)
        m_lists.setOverrideNumber(token.param);
    else
        top().para.listOverride = token.param >= 0 ? token.param : -1;
}

void RtfParser::onListLevel(const RtfToken &token, int)
{
    top().para.level = qint8(clampInt(token.param, 0, RtfLists::Levels - 1));
}

void RtfParser::onList(const RtfToken &, int)
{
    top().dest = Dest::List;
    m_lists.beginList();
}

void RtfParser::onListLevelDef(const RtfToken &, int)
{
    const Dest dest = top().dest;
    m_lists.beginLevel(dest == Dest::OverrideLevel || dest == Dest::Override);
    top().dest = Dest::ListLevel;
}

void RtfParser::onLevelNumbering(const RtfToken &token, int)
{
    m_lists.level().numbering = token.param;
}

void RtfParser::onLevelStart(const RtfToken &token, int)
{
    if (top().dest == Dest::OverrideLevel)
        m_lists.setOverrideStart(token.param);
    else
        m_lists.level().start = token.param;
}

void RtfParser::onLevelFlag(const RtfToken &token, int which)
{
    const bool on = !token.hasParam || token.param != 0;
    if (which == NoRestart)
        m_lists.level().noRestart = on;
    else
        m_lists.level().legal = on;
}

void RtfParser::onListId(const RtfToken &token, int)
{
    if (top().dest == Dest::Override)
        m_lists.setOverrideListId(token.param);
    else
        m_lists.setListId(token.param);
}

void RtfParser::onListOverrideEntry(const RtfToken &, int)
{
    top().dest = Dest::Override;
    m_lists.beginOverride();
}

void RtfParser::onOverrideLevel(const RtfToken &, int)
{
    top().dest = Dest::OverrideLevel;
    m_lists.beginOverrideLevel();
}

void RtfParser::onPnKind(const RtfToken &, int kind)
{
    m_pnKind = kind;
}

void RtfParser::onPnNumbering(const RtfToken &, int style)
{
    m_pnNumbering = style;
}

void RtfParser::onPnLevel(const RtfToken &token, int)
{
    m_pnKind = PnNumbered;
    m_pnLevel = clampInt(token.param, 1, RtfLists::Levels);
}

void RtfParser::onPnStart(const RtfToken &token, int)
{
    m_pnStart = token.param;
}

void RtfParser::onUpr(const RtfToken &, int)
{
    GroupState &state = top();
    if (state.dest != Dest::Upr)
        state.uprOuter = state.dest;
    state.dest = Dest::Upr;
}

void RtfParser::onUd(const RtfToken &, int)
{
    top().dest = top().uprOuter;
}

void RtfParser::onFootnoteStart(const RtfToken &token, int)
{
    m_footnoteStart = token.param;
}

// The reference mark of an automatically numbered footnote; the footnote itself is skipped.
void RtfParser::onFootnoteMark(const RtfToken &, int)
{
    chars(QString::number(qint64(m_footnoteStart) + m_footnotes++));
}

// A paragraph mark that is hidden or deleted joins its paragraph to the next.
void RtfParser::onParagraph(const RtfToken &, int)
{
    if (!textIsHidden())
        paragraphEnd();
}

void RtfParser::onCell(const RtfToken &, int)
{
    paragraphEnd();
}

// A page or section break ends a paragraph that has text, and adds none of its own.
void RtfParser::onSoftBreak(const RtfToken &, int)
{
    if (!m_pendingParagraph && (!m_blockEmpty || !m_run.isEmpty()))
        paragraphEnd();
}

void RtfParser::onChar(const RtfToken &, int ch)
{
    const char16_t u = char16_t(ch);
    chars(QStringView(&u, 1));
}
