#include "formats/RtfParser.h"

#include <QFont>
#include <QTextListFormat>

#include <algorithm>

namespace {

using Dest = RtfParser::Dest;

// Groups nested deeper than this are skipped whole; real documents stay far below it.
constexpr qsizetype kMaxDepth = 200000;

enum Flag : quint8 { Bold = 1, Italic = 2, Underline = 4, Strike = 8 };
enum ParaValue { LeftIndent, RightIndent, FirstIndent, SpaceBefore, SpaceAfter };
enum PnKind { PnNone, PnBullet, PnNumbered, PnContinued };

constexpr quint16 bit(Dest d)
{
    return quint16(1u << unsigned(d));
}

constexpr quint16 kText = bit(Dest::Text);
constexpr quint16 kCollecting = bit(Dest::Text) | bit(Dest::FontTable) | bit(Dest::ColorTable)
    | bit(Dest::LevelText) | bit(Dest::PnBullet);
constexpr quint16 kAnywhere = 0xFFFF & ~bit(Dest::Skip);
constexpr int kListIndentTwips = 720;
constexpr int kListHangTwips = 360;

int clampInt(int value, int low, int high)
{
    return std::clamp(value, low, high);
}

// A bullet character of a list definition, as Qt's list styles draw it.
int bulletStyle(char16_t bullet)
{
    switch (bullet) {
    case u'o':
    case 0x25E6:
    case 0x25CB:
        return QTextListFormat::ListCircle;
    case 0x25AA:
    case 0x25A0:
    case 0x00A7:  // the square of the Wingdings font
    case 0xF0A7:
        return QTextListFormat::ListSquare;
    default:
        return QTextListFormat::ListDisc;
    }
}

int numberingStyle(int levelNfc, char16_t bullet)
{
    switch (levelNfc) {
    case 23: return bulletStyle(bullet);
    case 255: return 0;
    case 1: return QTextListFormat::ListUpperRoman;
    case 2: return QTextListFormat::ListLowerRoman;
    case 3: return QTextListFormat::ListUpperAlpha;
    case 4: return QTextListFormat::ListLowerAlpha;
    default: return QTextListFormat::ListDecimal;
    }
}

} // namespace

size_t qHash(const RtfParser::CharProps &p, size_t seed) noexcept
{
    return qHashMulti(seed, p.font, p.halfPoints, p.foreground, p.background, p.flags);
}

size_t qHash(const RtfParser::ParaProps &p, size_t seed) noexcept
{
    return qHashMulti(seed, p.leftIndent, p.rightIndent, p.firstIndent, p.spaceBefore, p.spaceAfter,
                      p.shading, p.listOverride, p.level, p.pnStyle, p.alignment);
}

const std::unordered_map<std::string_view, RtfParser::Entry> &RtfParser::controlWords()
{
    using P = RtfParser;
    static const std::unordered_map<std::string_view, Entry> table = [] {
        std::unordered_map<std::string_view, Entry> t;
        auto add = [&t](std::string_view word, Handler h, int arg, quint16 dests, bool dest = false) {
            t.emplace(word, Entry{h, arg, dests, dest});
        };
        auto destination = [&](std::string_view word, Dest d, quint16 where = kAnywhere) {
            add(word, &P::onDestination, int(d), where, true);
        };
        // Destinations we read
        destination("fonttbl", Dest::FontTable);
        destination("colortbl", Dest::ColorTable);
        destination("listtable", Dest::ListTable);
        destination("listoverridetable", Dest::ListOverrideTable);
        destination("leveltext", Dest::LevelText, bit(Dest::ListTable));
        destination("pn", Dest::Pn, kText);
        destination("pntxtb", Dest::PnBullet, bit(Dest::Pn));
        // Containers whose text is shown (fields show their result)
        for (const char *w : {"field", "fldrslt"})
            add(w, &P::onIgnore, 0, kAnywhere, true);
        // Destinations whose content is not part of the script's text
        for (const char *w : {"pntext", "listtext", "pntxta", "fldinst", "stylesheet", "info", "pict",
                              "object", "objdata", "header", "headerl", "headerr", "headerf", "footer",
                              "footerl", "footerr", "footerf", "footnote", "annotation", "atnid",
                              "atnauthor", "ftnsep", "ftnsepc", "ftncn", "aftnsep", "aftnsepc",
                              "aftncn", "shp", "shpinst", "shprslt", "nonshppict", "shppict", "do",
                              "xe", "tc", "txe", "rxe", "bkmkstart", "bkmkend", "template",
                              "author", "operator", "title", "subject", "keywords", "comment",
                              "doccomm", "company", "category", "manager", "revtbl", "upr",
                              "themedata", "colorschememapping", "latentstyles", "datastore",
                              "listpicture", "pnseclvl", "generator", "falt", "panose", "nesttableprops"})
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
        // Tables
        add("f", &P::onFont, 0, kText | bit(Dest::FontTable));
        add("fcharset", &P::onFontCharset, 0, bit(Dest::FontTable));
        add("cpg", &P::onFontCodePage, 0, bit(Dest::FontTable));
        add("red", &P::onColourPart, 0, bit(Dest::ColorTable));
        add("green", &P::onColourPart, 1, bit(Dest::ColorTable));
        add("blue", &P::onColourPart, 2, bit(Dest::ColorTable));
        add("list", &P::onList, 0, bit(Dest::ListTable));
        add("listlevel", &P::onListLevelDef, 0, bit(Dest::ListTable));
        add("levelnfc", &P::onLevelNumbering, 0, bit(Dest::ListTable));
        add("levelnfcn", &P::onLevelNumbering, 0, bit(Dest::ListTable));
        add("listid", &P::onListId, 0, bit(Dest::ListTable) | bit(Dest::ListOverrideTable));
        add("listoverride", &P::onListOverrideEntry, 0, bit(Dest::ListOverrideTable));
        add("ls", &P::onListOverride, 0, kText | bit(Dest::ListOverrideTable));
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
        add("fs", &P::onFontSize, 0, kText);
        add("cf", &P::onForeground, 0, kText);
        for (const char *w : {"cb", "highlight", "chcbpat"})
            add(w, &P::onBackground, 0, kText);
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
        add("pndec", &P::onPnNumbering, QTextListFormat::ListDecimal, bit(Dest::Pn));
        add("pnucltr", &P::onPnNumbering, QTextListFormat::ListUpperAlpha, bit(Dest::Pn));
        add("pnlcltr", &P::onPnNumbering, QTextListFormat::ListLowerAlpha, bit(Dest::Pn));
        add("pnucrm", &P::onPnNumbering, QTextListFormat::ListUpperRoman, bit(Dest::Pn));
        add("pnlcrm", &P::onPnNumbering, QTextListFormat::ListLowerRoman, bit(Dest::Pn));
        // Breaks and special characters
        add("par", &P::onParagraph, 0, kText);
        add("cell", &P::onParagraph, 0, kText);
        add("nestcell", &P::onParagraph, 0, kText);
        add("page", &P::onSoftBreak, 0, kText);
        add("sect", &P::onSoftBreak, 0, kText);
        add("line", &P::onChar, 0x2028, kText);
        add("tab", &P::onChar, '\t', kText);
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
        m_damage << QStringLiteral("The document ends before its last group is closed.");
    if (tokenizer.binaryTruncated())
        m_damage << QStringLiteral("Binary data runs past the end of the document.");

    if (!closed)
        finishDocument();
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

void RtfParser::dispatch(const RtfToken &token)
{
    const bool ignorable = m_ignorable;
    m_ignorable = false;
    GroupState &state = top();
    if (state.dest == Dest::Skip)
        return;
    flushBytes();
    const auto &table = controlWords();
    const auto it = table.find(token.word);
    if (it == table.end() || (ignorable && !it->second.destination)) {
        if (ignorable)
            state.dest = Dest::Skip;
        return;
    }
    const Entry &entry = it->second;
    if (entry.dests & bit(state.dest))
        (this->*entry.handler)(token, entry.arg);
    else if (ignorable)
        state.dest = Dest::Skip;
}

void RtfParser::symbol(char c)
{
    if (top().dest == Dest::Skip)
        return;
    switch (c) {
    case '*':
        m_ignorable = true;
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
    if (qsizetype(m_stack.size()) > kMaxDepth) {
        if (m_overflowDepth == 0)
            m_damage << QStringLiteral("Groups nested more than %1 deep were skipped.").arg(kMaxDepth);
        m_overflowDepth = 1;
        return;
    }
    flushBytes();
    const GroupState copy = m_stack.back();
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
        // The first character is the text's length; a bullet list's text is the bullet.
        if (!m_lists.empty() && !m_lists.back().levels.empty() && m_levelText.size() >= 2)
            m_lists.back().levels.back().bullet = m_levelText.at(1).unicode();
        break;
    case Dest::ListTable:
    case Dest::ListOverrideTable:
        invalidateCaches();
        break;
    case Dest::Pn: {
        int style = 0;
        if (m_pnKind == PnBullet)
            style = bulletStyle(m_pnBullet.isEmpty() ? u'\u2022' : m_pnBullet.at(0).unicode());
        else if (m_pnKind == PnNumbered)
            style = m_pnNumbering ? m_pnNumbering : int(QTextListFormat::ListDecimal);
        parent.para.pnStyle = qint8(style);
        if (m_pnLevel > 0)
            parent.para.level = qint8(m_pnLevel - 1);
        break;
    }
    default:
        break;
    }
}

// --- Text output -------------------------------------------------------------------------

int RtfParser::textCodePage()
{
    const int font = top().chars.font < 0 ? m_defaultFont : top().chars.font;
    if (font != m_cachedCodePageFont) {
        const auto it = m_fonts.constFind(font);
        const int codePage = it == m_fonts.cend() ? 0 : it->codePage;
        m_cachedCodePageFont = font;
        m_cachedCodePage = codePage ? codePage : m_ansiCodePage;
    }
    return m_cachedCodePage;
}

void RtfParser::bytes(const char *data, qsizetype length)
{
    const Dest dest = top().dest;
    if (dest == Dest::Skip || length <= 0)
        return;
    if (dest == Dest::Text) {
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
    const int codePage = dest == Dest::FontTable && m_fontCodePage ? m_fontCodePage : m_ansiCodePage;
    if (codePage != m_pendingCodePage)
        flushBytes();
    m_pendingCodePage = codePage;
    m_pendingBytes.append(data, length);
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
                m_fontName.append(c);
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
    case Dest::PnBullet:
        m_pnBullet.append(text);
        break;
    default:
        break;
    }
}

void RtfParser::textChars(QStringView text)
{
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

void RtfParser::applyBlockFormat(const ParaProps &para)
{
    QTextBlockFormat format = blockFormat(para);
    const int style = listStyle(para);
    if (style) {
        if (QTextList *list = listFor(para, style))
            format.setObjectIndex(list->objectIndex());
    } else {
        std::fill(std::begin(m_pnLists), std::end(m_pnLists), nullptr);
    }
    m_cursor.setBlockFormat(format);
}

int RtfParser::listStyle(const ParaProps &para) const
{
    if (para.listOverride > 0) {
        const int listId = m_overrides.value(para.listOverride, -1);
        for (const ListDef &list : m_lists) {
            if (list.id != listId)
                continue;
            if (para.level < qsizetype(list.levels.size())) {
                const ListLevelDef &level = list.levels[size_t(para.level)];
                return numberingStyle(level.numbering, level.bullet);
            }
            break;
        }
        if (!para.pnStyle)
            return QTextListFormat::ListDisc;  // a list we have no table for still has bullets
    }
    return para.pnStyle;
}

QTextList *RtfParser::listFor(const ParaProps &para, int style)
{
    QPointer<QTextList> *slot = nullptr;
    if (para.listOverride > 0) {
        slot = &m_lsLists[qMakePair(para.listOverride, int(para.level))];
    } else {
        for (int level = para.level + 1; level < 9; ++level)
            m_pnLists[level] = nullptr;
        slot = &m_pnLists[para.level];
        if (*slot && (*slot)->format().style() != style)
            *slot = nullptr;
    }
    if (!*slot) {
        QTextListFormat format;
        format.setStyle(QTextListFormat::Style(style));
        format.setIndent(para.level + 1);
        *slot = m_cursor.createList(format);
    }
    return *slot;
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
    if (listStyle(para)) {
        left -= kListIndentTwips * (para.level + 1);
        first += kListHangTwips;
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
    FontDef &font = m_fonts[m_fontNumber];
    font.name = m_fontName.trimmed();
    font.codePage = m_fontCodePage;
    m_fontNumber = -1;
    m_fontName.clear();
    invalidateCaches();
}

void RtfParser::finishColour()
{
    m_colours.push_back(m_rgbSeen ? QColor(m_rgb[0], m_rgb[1], m_rgb[2]) : QColor());
    m_rgb[0] = m_rgb[1] = m_rgb[2] = 0;
    m_rgbSeen = false;
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
    if (d == Dest::LevelText)
        m_levelText.clear();
    else if (d == Dest::Pn) {
        m_pnKind = PnNone;
        m_pnNumbering = 0;
        m_pnLevel = 0;
        m_pnBullet.clear();
    } else if (d == Dest::PnBullet)
        m_pnBullet.clear();
}

void RtfParser::onCodePage(const RtfToken &token, int codePage)
{
    if (!codePage)
        codePage = token.param;
    if (codePage > 0) {
        m_ansiCodePage = codePage;
        m_cachedCodePageFont = -2;
    }
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
    const char16_t u = char16_t(value);
    if (top().dest != Dest::Text) {
        chars(QStringView(&u, 1));
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
        m_fontCodePage = 0;
        m_fontName.clear();
    } else {
        top().chars.font = token.param;
    }
}

void RtfParser::onFontCharset(const RtfToken &token, int)
{
    if (!m_fontCodePage)
        m_fontCodePage = RtfCodePages::codePageForCharset(token.param);
}

void RtfParser::onFontCodePage(const RtfToken &token, int)
{
    if (token.param > 0)
        m_fontCodePage = token.param;
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
    if (top().dest == Dest::ListOverrideTable)
        m_overrides.insert(token.param, m_overrideListId);
    else
        top().para.listOverride = token.param;
}

void RtfParser::onListLevel(const RtfToken &token, int)
{
    top().para.level = qint8(clampInt(token.param, 0, 8));
}

void RtfParser::onList(const RtfToken &, int)
{
    m_lists.emplace_back();
}

void RtfParser::onListLevelDef(const RtfToken &, int)
{
    if (m_lists.empty())
        m_lists.emplace_back();
    m_lists.back().levels.emplace_back();
}

void RtfParser::onLevelNumbering(const RtfToken &token, int)
{
    if (!m_lists.empty() && !m_lists.back().levels.empty())
        m_lists.back().levels.back().numbering = token.param;
}

void RtfParser::onListId(const RtfToken &token, int)
{
    if (top().dest == Dest::ListOverrideTable)
        m_overrideListId = token.param;
    else if (!m_lists.empty())
        m_lists.back().id = token.param;
}

void RtfParser::onListOverrideEntry(const RtfToken &, int)
{
    m_overrideListId = 0;
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
    m_pnLevel = clampInt(token.param, 1, 9);
}

void RtfParser::onParagraph(const RtfToken &, int)
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
