#pragma once

#include "formats/RtfCodePages.h"
#include "formats/RtfLists.h"
#include "formats/RtfReader.h"
#include "formats/RtfTokenizer.h"

#include <QColor>
#include <QHash>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>

#include <string_view>
#include <unordered_map>
#include <vector>

// The engine behind RtfReader: a stack of group states fed by the tokenizer, with a table
// from control word to handler. Text is gathered into runs of equal format and inserted one
// run at a time; paragraph formats are applied when a paragraph ends, as RTF defines them.
class RtfParser
{
public:
    explicit RtfParser(QTextCursor &cursor);

    void parse(QByteArrayView data);
    // What was wrong with the data, if anything; the document holds what could be read.
    QStringList damageTexts() const { return m_damageTexts; }
    QList<RtfReader::Damage> damage() const { return m_damage; }

    // Where the text of a group goes. 32 at most: handlers say by a bit each where they apply.
    enum class Dest : quint8 {
        Skip, Text, FontTable, ColorTable,
        ListTable, List, ListLevel, LevelText, LevelNumbers,
        OverrideTable, Override, OverrideLevel,
        Pn, PnTextBefore, PnTextAfter,
        Upr,    // the 8-bit half of a \upr pair, whose \ud half is read instead
        FieldInstruction,
    };
    // What a group is to a field: its outer group, its result, or neither.
    enum class FieldPart : quint8 { None, Field, Result };

    struct CharProps
    {
        int font = -1;          // -1: the document's default font
        int halfPoints = 24;
        int foreground = 0;     // colour table indices; 0 is automatic
        int background = 0;
        quint8 flags = 0;
        friend bool operator==(const CharProps &, const CharProps &) = default;
    };

    struct ParaProps
    {
        int leftIndent = 0;     // twips
        int rightIndent = 0;
        int firstIndent = 0;
        int spaceBefore = 0;
        int spaceAfter = 0;
        int shading = 0;        // colour table index
        int listOverride = -1;  // \ls; -1 when none
        qint16 pn = -1;         // WordPad's \pn, an index into RtfLists; -1 when none
        qint8 level = 0;        // \ilvl
        quint8 alignment = 0;
        friend bool operator==(const ParaProps &, const ParaProps &) = default;
    };

    struct GroupState
    {
        CharProps chars;
        ParaProps para;
        Dest dest = Dest::Text;
        Dest uprOuter = Dest::Text;  // where the \ud half of a \upr pair goes
        quint8 unicodeSkip = 1;      // \uc
        FieldPart field = FieldPart::None;  // not inherited by inner groups
    };

    using Handler = void (RtfParser::*)(const RtfToken &, int);
    struct Entry
    {
        Handler handler;
        int arg;
        quint32 dests;          // bit per Dest where the word means something
        bool destination;       // may follow \*
    };

private:
    struct FontDef
    {
        QString name;
        int codePage = 0;       // \cpg; 0 when not given
        int charset = -1;       // \fcharset; -1 when not given
        bool technical = false; // \ftech: a symbol font
    };

    static const std::unordered_map<std::string_view, Entry> &controlWords();

    GroupState &top() { return m_stack.back(); }
    void handleToken(const RtfToken &token);
    void finishDocument();
    bool consumeUnicodeSkip(RtfToken &token);
    void dispatch(const RtfToken &token);
    void symbol(char c);
    void pushGroup();
    void popGroup();
    void endGroup(const GroupState &closing, GroupState &parent);
    void noteDamage(RtfReader::Damage::Kind kind, const QString &text);

    // Text output
    bool textIsHidden();
    void bytes(const char *data, qsizetype length);
    void levelBytes(Dest dest, const char *data, qsizetype length);
    void flushBytes();
    void chars(QStringView text);
    void textChars(QStringView text);
    void beginText();
    void flushRun();
    void flushSurrogate();
    int textCodePage();
    int fontCodePage(const FontDef &font) const;

    // Paragraphs
    void paragraphEnd();
    void openPendingParagraph();
    void finishParagraph(bool byBreak);
    void applyBlockFormat(const ParaProps &para);
    static RtfLists::Ref listRef(const ParaProps &para);
    QTextCharFormat charFormat(const CharProps &props);
    QTextBlockFormat blockFormat(const ParaProps &para);
    QColor colour(int index) const;

    // Tables
    void finishFont();
    void finishColour();
    void finishPn(GroupState &parent);
    void finishFieldInstruction();
    void endFieldPart(const GroupState &closing);
    void invalidateCaches();

    // Handlers
    void onDestination(const RtfToken &, int dest);
    void onCodePage(const RtfToken &, int codePage);
    void onDefaultFont(const RtfToken &, int);
    void onUnicodeSkip(const RtfToken &, int);
    void onUnicode(const RtfToken &, int);
    void onFont(const RtfToken &, int);
    void onFontCharset(const RtfToken &, int);
    void onFontCodePage(const RtfToken &, int);
    void onFontTechnical(const RtfToken &, int);
    void onColourPart(const RtfToken &, int part);
    void onPlain(const RtfToken &, int);
    void onFlag(const RtfToken &, int flag);
    void onUnderlineOff(const RtfToken &, int);
    void onFontSize(const RtfToken &, int);
    void onForeground(const RtfToken &, int);
    void onBackground(const RtfToken &, int);
    void onPard(const RtfToken &, int);
    void onAlignment(const RtfToken &, int alignment);
    void onParaValue(const RtfToken &, int which);
    void onShading(const RtfToken &, int);
    void onListOverride(const RtfToken &, int);
    void onListLevel(const RtfToken &, int);
    void onList(const RtfToken &, int);
    void onListLevelDef(const RtfToken &, int);
    void onLevelNumbering(const RtfToken &, int);
    void onLevelStart(const RtfToken &, int);
    void onLevelFlag(const RtfToken &, int which);
    void onListId(const RtfToken &, int);
    void onListOverrideEntry(const RtfToken &, int);
    void onOverrideLevel(const RtfToken &, int);
    void onPnKind(const RtfToken &, int kind);
    void onPnNumbering(const RtfToken &, int style);
    void onPnLevel(const RtfToken &, int);
    void onPnStart(const RtfToken &, int);
    void onUpr(const RtfToken &, int);
    void onUd(const RtfToken &, int);
    void onFootnoteStart(const RtfToken &, int);
    void onFieldPart(const RtfToken &, int part);
    void onFootnoteMark(const RtfToken &, int);
    void onParagraph(const RtfToken &, int);
    void onCell(const RtfToken &, int);
    void onSoftBreak(const RtfToken &, int);
    void onChar(const RtfToken &, int ch);
    void onIgnore(const RtfToken &, int) {}

    QTextCursor &m_cursor;
    RtfCodePages m_codePages;
    std::vector<GroupState> m_stack;
    int m_overflowDepth = 0;
    int m_unicodeSkipLeft = 0;
    bool m_groupStart = false;      // the token being handled is the first of its group
    bool m_ignorable = false;       // \* came right before
    bool m_ignorableAtStart = false;
    bool m_done = false;
    QStringList m_damageTexts;
    QList<RtfReader::Damage> m_damage;

    int m_ansiCodePage = 1252;
    bool m_macDocument = false;
    int m_defaultFont = 0;
    QHash<int, FontDef> m_fonts;
    int m_fontNumber = -1;          // the font table entry being read
    FontDef m_font;
    int m_cachedCodePageFont = -2;
    int m_cachedCodePage = 1252;

    std::vector<QColor> m_colours;
    int m_rgb[3] = {0, 0, 0};
    bool m_rgbSeen = false;

    RtfLists m_lists;
    QString m_levelText;
    int m_levelLength = -1;         // the byte that leads \leveltext; -1 before it
    QString m_levelNumbers;
    int m_pnKind = 0;               // 1 bullet, 2 numbered, 3 continuation
    int m_pnNumbering = 0;
    int m_pnLevel = 0;
    int m_pnStart = 1;
    QString m_pnBefore;
    QString m_pnAfter;

    // A SYMBOL field names its character in its instruction; shown when its result is empty.
    QString m_fieldInstruction;
    QString m_fieldSymbol;
    int m_fieldSymbolFont = -1;     // the font table entry it names; -1: the text's own
    int m_fieldResultStart = 0;     // text position where the result began

    int m_footnoteStart = 1;
    int m_footnotes = 0;

    QByteArray m_pendingBytes;
    int m_pendingCodePage = 0;
    char16_t m_highSurrogate = 0;
    QString m_run;
    CharProps m_runProps;

    bool m_pendingParagraph = false;
    bool m_blockIsOurs = false;
    bool m_blockEmpty = true;
    bool m_startedAtBlockStart = false;
    bool m_hasDeferredFormat = false;
    ParaProps m_deferredFormat;

    QHash<CharProps, QTextCharFormat> m_charFormats;
    CharProps m_lastCharProps;
    QTextCharFormat m_lastCharFormat;
    bool m_hasLastCharFormat = false;
    QHash<ParaProps, QTextBlockFormat> m_blockFormats;
};

size_t qHash(const RtfParser::CharProps &props, size_t seed = 0) noexcept;
size_t qHash(const RtfParser::ParaProps &props, size_t seed = 0) noexcept;
