#include "formats/RtfReader.h"
#include "formats/RtfWriter.h"

#include <QBuffer>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QGuiApplication>
#include <QTextList>
#include <QtTest>

// RTF reading (files from WordPad, Word and LibreOffice, and hostile input) and writing.
class tst_Rtf : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void fixtureText_data();
    void fixtureText();
    void fixtureFormatting_data();
    void fixtureFormatting();
    void fixtureRoundTrip_data();
    void fixtureRoundTrip();
    void constructs_data();
    void constructs();
    void filesFromOtherPrograms_data();
    void filesFromOtherPrograms();
    void listLayoutFromOtherPrograms_data();
    void listLayoutFromOtherPrograms();
    void damagedInput_data();
    void damagedInput();
    void notRtf_data();
    void notRtf();
    void deepNesting();
    void writerOutput();
    void everyCharacterRoundTrips();
    void formatsRoundTrip();
    void listsRoundTrip_data();
    void listsRoundTrip();
    void listsForOlderReaders();
    void textWithoutFontRoundTrip_data();
    void textWithoutFontRoundTrip();
    void pasteAtCaret();
};

namespace {

QString fixturePath(const QString &name)
{
    return QStringLiteral(CORVANTA_TEST_FIXTURES "/rtf/") + name;
}

QByteArray fixtureBytes(const QString &name)
{
    QFile file(fixturePath(name));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("missing fixture %s", qPrintable(name));
    return file.readAll();
}

bool readInto(QTextDocument &doc, const QByteArray &rtf, QString *error = nullptr)
{
    QBuffer buffer;
    buffer.setData(rtf);
    buffer.open(QIODevice::ReadOnly);
    QTextCursor cursor(&doc);
    RtfReader reader;
    const bool ok = reader.read(&buffer, cursor);
    if (error)
        *error = reader.errorString();
    return ok;
}

QString colourName(const QBrush &brush, bool set)
{
    return set && brush.style() != Qt::NoBrush ? brush.color().name() : QString();
}

// The character formatting a script cares about, as words ("bold", "fg=#ff0000", ...).
QStringList charWords(const QTextCharFormat &f)
{
    QStringList w;
    const QStringList families = f.fontFamilies().toStringList();
    w << QStringLiteral("family=") + families.value(0);
    w << QStringLiteral("size=") + QString::number(f.fontPointSize());
    if (f.fontWeight() >= QFont::DemiBold)
        w << QStringLiteral("bold");
    if (f.fontItalic())
        w << QStringLiteral("italic");
    if (f.fontUnderline())
        w << QStringLiteral("underline");
    if (f.fontStrikeOut())
        w << QStringLiteral("strike");
    const QString fg = colourName(f.foreground(), f.hasProperty(QTextFormat::ForegroundBrush));
    const QString bg = colourName(f.background(), f.hasProperty(QTextFormat::BackgroundBrush));
    w << QStringLiteral("fg=") + (fg.isEmpty() ? QStringLiteral("auto") : fg);
    w << QStringLiteral("bg=") + (bg.isEmpty() ? QStringLiteral("none") : bg);
    return w;
}

QString listStyleName(int style)
{
    switch (style) {
    case QTextListFormat::ListDisc: return QStringLiteral("disc");
    case QTextListFormat::ListCircle: return QStringLiteral("circle");
    case QTextListFormat::ListSquare: return QStringLiteral("square");
    case QTextListFormat::ListDecimal: return QStringLiteral("decimal");
    case QTextListFormat::ListLowerAlpha: return QStringLiteral("loweralpha");
    case QTextListFormat::ListUpperAlpha: return QStringLiteral("upperalpha");
    case QTextListFormat::ListLowerRoman: return QStringLiteral("lowerroman");
    case QTextListFormat::ListUpperRoman: return QStringLiteral("upperroman");
    default: return QStringLiteral("other");
    }
}

// Paragraph formatting as words. Indents are the RTF twips a list item stands for: Qt's list
// indent carries 720 twips a level and the 360-twip hanging first line.
QStringList blockWords(const QTextBlock &block)
{
    const QTextBlockFormat f = block.blockFormat();
    QStringList w;
    const Qt::Alignment a = f.alignment() & Qt::AlignHorizontal_Mask;
    w << QStringLiteral("align=") + (a & Qt::AlignJustify ? "justify" : a & Qt::AlignHCenter ? "center"
                                      : a & Qt::AlignRight ? "right" : "left");
    int li = qRound(f.leftMargin() * 20);
    int fi = qRound(f.textIndent() * 20);
    if (const QTextList *list = block.textList()) {
        li += 720 * list->format().indent();
        fi -= 360;
        w << QStringLiteral("list=") + listStyleName(list->format().style());
        w << QStringLiteral("level=") + QString::number(list->format().indent() - 1);
        w << QStringLiteral("label=") + list->itemText(block);
    } else {
        w << QStringLiteral("list=none");
    }
    w << QStringLiteral("li=%1").arg(li) << QStringLiteral("fi=%1").arg(fi)
      << QStringLiteral("ri=%1").arg(qRound(f.rightMargin() * 20))
      << QStringLiteral("sb=%1").arg(qRound(f.topMargin() * 20))
      << QStringLiteral("sa=%1").arg(qRound(f.bottomMargin() * 20));
    const QString bg = colourName(f.background(), f.hasProperty(QTextFormat::BackgroundBrush));
    w << QStringLiteral("parbg=") + (bg.isEmpty() ? QStringLiteral("none") : bg);
    return w;
}

// Every paragraph with its format and its runs, one line each: two documents with equal
// descriptions look and read the same.
QStringList describe(const QTextDocument &doc)
{
    QStringList lines;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        QString line = blockWords(b).join(u' ') + QStringLiteral(" :");
        bool empty = true;
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            line += QStringLiteral(" [%1|%2]").arg(it.fragment().text(), charWords(it.fragment().charFormat()).join(u' '));
            empty = false;
        }
        if (empty)
            line += QStringLiteral(" (%1)").arg(charWords(b.charFormat()).join(u' '));
        lines << line;
    }
    return lines;
}

// Checks words ("bold", "!bold", "size=12") against what was found.
void expectWords(const QStringList &found, const QString &expected, const QString &where)
{
    for (const QString &word : expected.split(u' ', Qt::SkipEmptyParts)) {
        const bool negate = word.startsWith(u'!');
        const QString w = negate ? word.mid(1) : word;
        if (found.contains(w) == negate)
            QFAIL(qPrintable(QStringLiteral("%1: expected %2, found %3").arg(where, word, found.join(u' '))));
    }
}

QTextDocument *roundTrip(const QTextDocument &doc, QByteArray *rtf = nullptr)
{
    QByteArray bytes = RtfWriter::toRtf(&doc);
    auto *back = new QTextDocument;
    readInto(*back, bytes);
    if (rtf)
        *rtf = bytes;
    return back;
}

// Each paragraph's list label: the bullet it is drawn with, or the item text of a numbered list.
QStringList labelsOf(const QTextDocument &doc)
{
    QStringList labels;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        const QTextList *list = b.textList();
        if (!list) {
            labels << QString();
            continue;
        }
        switch (list->format().style()) {
        case QTextListFormat::ListDisc: labels << QStringLiteral("\u2022"); break;
        case QTextListFormat::ListCircle: labels << QStringLiteral("\u25E6"); break;
        case QTextListFormat::ListSquare: labels << QStringLiteral("\u25AA"); break;
        default: labels << list->itemText(b); break;
        }
    }
    return labels;
}

// A list table of one list (\listid1, \ls1) whose levels are given as \listlevel contents,
// with its override, for the paragraphs that follow.
QByteArray listTable(std::initializer_list<const char *> levels, const char *override = "")
{
    QByteArray rtf = "{\\*\\listtable{\\list\\listtemplateid1";
    for (const char *level : levels)
        rtf += QByteArray("{\\listlevel") + level + '}';
    rtf += "{\\listname ;}\\listid1}}{\\*\\listoverridetable{\\listoverride\\listid1\\listoverridecount0";
    rtf += override;
    rtf += "\\ls1}}";
    return rtf;
}

const char *const kDecimal = "\\levelnfc0{\\leveltext\\'02\\'00.;}{\\levelnumbers\\'01;}";
const char *const kLetters = "\\levelnfc4{\\leveltext\\'02\\'01.;}{\\levelnumbers\\'01;}";

// Which paragraphs share a list: each paragraph's list, numbered in order of first appearance.
QList<int> listPartition(const QTextDocument &doc)
{
    QList<const QTextList *> seen;
    QList<int> partition;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        const QTextList *list = b.textList();
        if (list && !seen.contains(list))
            seen << list;
        partition << (list ? int(seen.indexOf(list)) : -1);
    }
    return partition;
}

// The RTF without every group that starts with `start`.
QByteArray withoutGroups(QByteArray rtf, const char *start)
{
    for (qsizetype at = rtf.indexOf(start); at >= 0; at = rtf.indexOf(start, at)) {
        qsizetype end = at;
        for (int depth = 0; end == at || depth > 0; ++end)
            depth += rtf[end] == '{' ? 1 : rtf[end] == '}' ? -1 : 0;
        rtf.remove(at, end - at);
    }
    return rtf;
}

// A document of list items made as the editor makes them: "d1:text" is an item of a list of
// discs at level 1 (d disc, c circle, s square, n decimal, a letters, r roman), "d1x:text" of
// another such list, "-:text" no list item.
void buildLists(QTextDocument &doc, const QStringList &items)
{
    QTextCursor cursor(&doc);
    QHash<QString, QTextList *> lists;
    bool first = true;
    for (const QString &item : items) {
        if (!first)
            cursor.insertBlock(QTextBlockFormat());
        first = false;
        const QString key = item.section(u':', 0, 0);
        QTextCharFormat arial;
        arial.setFontFamilies({QStringLiteral("Arial")});
        arial.setFontPointSize(12);
        cursor.insertText(item.section(u':', 1), arial);
        if (key == u"-")
            continue;
        if (QTextList *list = lists.value(key)) {
            list->add(cursor.block());
            continue;
        }
        static const QHash<QChar, QTextListFormat::Style> styles = {
            {u'd', QTextListFormat::ListDisc}, {u'c', QTextListFormat::ListCircle},
            {u's', QTextListFormat::ListSquare}, {u'n', QTextListFormat::ListDecimal},
            {u'a', QTextListFormat::ListLowerAlpha}, {u'r', QTextListFormat::ListUpperRoman}};
        QTextListFormat format;
        format.setStyle(styles.value(key.at(0)));
        format.setIndent(key.at(1).digitValue());
        lists.insert(key, cursor.createList(format));
    }
}

} // namespace

void tst_Rtf::fixtureText_data()
{
    QTest::addColumn<QString>("name");
    for (const char *name : {"fonts_sizes", "styles", "colours", "alignment_indent", "bullets", "charset",
                             "wordpad_fonts_styles", "wordpad_align_bullets", "wordpad_charset", "nested_table_text", "symbol_field"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

void tst_Rtf::fixtureText()
{
    QFETCH(QString, name);
    QTextDocument doc;
    QVERIFY(readInto(doc, fixtureBytes(name + ".rtf")));
    QCOMPARE(doc.toPlainText(), QString::fromUtf8(fixtureBytes(name + ".txt")));
}

void tst_Rtf::fixtureFormatting_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("paragraph");   // 1-based
    QTest::addColumn<QString>("run");     // empty: the paragraph's own format
    QTest::addColumn<QString>("expected");

    auto row = [](const char *name, int p, const char *run, const char *expected) {
        QTest::addRow("%s/%d/%s", name, p, run) << QString::fromLatin1(name) << p << QString::fromUtf8(run)
                                                << QString::fromLatin1(expected);
    };
    row("fonts_sizes", 1, "Arial at 12 points.", "family=Arial size=12 fg=auto !bold");
    row("fonts_sizes", 3, "Arial at 60 points.", "family=Arial size=60");
    row("fonts_sizes", 4, "Arial", "size=72");
    row("fonts_sizes", 5, "Times", "family=Times_New_Roman size=18");
    row("fonts_sizes", 7, "smaller run at 10.5 points", "size=10.5");
    row("fonts_sizes", 7, "Arial at 12 points with a ", "size=12");
    row("fonts_sizes", 8, "Courier New", "family=Courier_New size=12");
    row("fonts_sizes", 8, "Mixed fonts: Arial, ", "family=Arial");
    row("styles", 1, "Plain text, then ", "!bold !italic !underline");
    row("styles", 1, "bold", "bold !italic");
    row("styles", 1, "underlined", "underline !bold");
    row("styles", 1, "bold italic", "bold italic !underline");
    row("styles", 2, "liev", "bold");
    row("styles", 2, "unbe", "!bold");
    row("styles", 3, "Tele", "italic !bold");
    row("styles", 3, "Prom", "bold !italic");
    row("styles", 3, "pter", "underline !bold");
    row("styles", 5, "bold italic underlined", "bold italic underline");
    row("styles", 6, "struck out", "strike");
    row("styles", 6, ", then normal", "!strike");
    row("colours", 1, "This line is red.", "fg=#ff0000");
    row("colours", 2, "green", "fg=#008000");
    row("colours", 4, "yellow", "fg=#ffff00");
    row("colours", 5, "White text", "fg=#ffffff");
    row("colours", 5, "", "parbg=#000000");
    row("colours", 4, "", "parbg=none");
    row("colours", 6, "highlighted phrase", "bg=#ffff00");
    row("colours", 6, "Normal text", "bg=none fg=auto");
    row("colours", 7, "blue", "fg=#0000ff");
    row("colours", 7, " words.", "fg=auto");
    row("alignment_indent", 1, "", "align=left li=0 ri=0 fi=0");
    row("alignment_indent", 2, "", "align=center");
    row("alignment_indent", 3, "", "align=right");
    row("alignment_indent", 4, "", "align=justify");
    row("alignment_indent", 5, "", "li=720 ri=1440 fi=0 align=left");
    row("alignment_indent", 6, "", "fi=720 li=0 ri=0");
    row("alignment_indent", 7, "", "li=1440 fi=-720");
    row("bullets", 1, "", "list=none li=0");
    row("bullets", 2, "", "list=disc level=0 li=720 fi=-360");
    row("bullets", 4, "", "list=disc");
    row("bullets", 5, "", "list=none");
    row("bullets", 6, "", "list=decimal label=1.");
    row("bullets", 8, "", "list=decimal label=3.");
    row("bullets", 11, "", "list=circle level=1 li=1440 fi=-360");
    row("bullets", 12, "", "list=circle level=1");
    row("bullets", 13, "", "list=disc level=0 li=720");
    row("bullets", 14, "", "list=none");
    row("wordpad_fonts_styles", 1, "Arial", "family=Arial size=12");
    row("wordpad_fonts_styles", 1, "", "sa=200");
    row("wordpad_fonts_styles", 5, "Times", "family=Times_New_Roman size=18");
    row("wordpad_fonts_styles", 7, "run at 10.5 points", "size=10.5");
    row("wordpad_fonts_styles", 7, " in the middle.", "size=12");
    row("wordpad_fonts_styles", 8, "Red text, ", "fg=#ff0000");
    row("wordpad_fonts_styles", 8, "blue text, ", "fg=#0000ff");
    row("wordpad_fonts_styles", 8, " and the default colour.", "fg=auto");
    row("wordpad_fonts_styles", 9, ", ", "!bold !italic");
    row("wordpad_fonts_styles", 9, "underlined", "underline");
    row("wordpad_fonts_styles", 9, " and ", "!underline");
    row("wordpad_fonts_styles", 10, "Prom", "italic");
    row("wordpad_fonts_styles", 11, "Red bold line", "fg=#ff0000 bold size=16");
    row("wordpad_fonts_styles", 12, "Last line", "fg=auto !bold size=12");
    row("wordpad_align_bullets", 2, "", "align=center list=none");
    row("wordpad_align_bullets", 3, "", "align=right");
    row("wordpad_align_bullets", 4, "", "align=justify");
    row("wordpad_align_bullets", 6, "", "list=disc li=720 fi=-360 align=left");
    row("wordpad_align_bullets", 8, "", "list=disc");
    row("wordpad_align_bullets", 9, "", "list=none li=0 fi=0");
    row("wordpad_align_bullets", 10, "", "list=decimal label=1. li=720 fi=-360");
    row("wordpad_align_bullets", 12, "", "list=decimal label=3.");
    row("wordpad_align_bullets", 13, "", "list=none li=720 ri=1440");
    row("wordpad_align_bullets", 14, "", "list=none fi=720 li=0");
    row("wordpad_charset", 7, "абв", "family=Arial size=12");
}

void tst_Rtf::fixtureFormatting()
{
    QFETCH(QString, name);
    QFETCH(int, paragraph);
    QFETCH(QString, run);
    QFETCH(QString, expected);

    QTextDocument doc;
    QVERIFY(readInto(doc, fixtureBytes(name + ".rtf")));
    const QTextBlock block = doc.findBlockByNumber(paragraph - 1);
    QVERIFY(block.isValid());
    if (run.isEmpty()) {
        expectWords(blockWords(block), expected, block.text());
        return;
    }
    const int at = int(block.text().indexOf(run));
    QVERIFY2(at >= 0, qPrintable(block.text()));
    QTextCursor cursor(block);
    for (int i = at; i < at + run.size(); ++i) {
        cursor.setPosition(block.position() + i + 1);
        QStringList words = charWords(cursor.charFormat());
        words.replaceInStrings(QStringLiteral(" "), QStringLiteral("_"));
        expectWords(words, expected, block.text().mid(i, 1));
        if (QTest::currentTestFailed())
            return;
    }
}

void tst_Rtf::fixtureRoundTrip_data()
{
    fixtureText_data();
}

// Our output of every fixture reads back to the same text and formatting.
void tst_Rtf::fixtureRoundTrip()
{
    QFETCH(QString, name);
    QTextDocument doc;
    QVERIFY(readInto(doc, fixtureBytes(name + ".rtf")));
    QScopedPointer<QTextDocument> back(roundTrip(doc));
    QCOMPARE(back->toPlainText(), doc.toPlainText());
    QCOMPARE(describe(*back), describe(doc));
}

void tst_Rtf::constructs_data()
{
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QString>("text");

    QTest::newRow("trailing par adds nothing") << QByteArray("{\\rtf1 a\\par}") << "a";
    QTest::newRow("two pars leave one empty paragraph") << QByteArray("{\\rtf1 a\\par\\par}") << "a\n";
    QTest::newRow("line and tab") << QByteArray("{\\rtf1 a\\line b\\tab c}") << "a\nb\tc";
    QTest::newRow("escaped braces and backslash") << QByteArray("{\\rtf1 \\{x\\}\\\\}") << "{x}\\";
    QTest::newRow("backslash newline is par") << QByteArray("{\\rtf1 a\\\nb}") << "a\nb";
    QTest::newRow("special characters")
        << QByteArray("{\\rtf1 \\~\\-\\_\\bullet\\emdash\\endash\\lquote\\rquote\\ldblquote\\rdblquote}")
        << QString::fromUtf8("\u00A0\u00AD\u2011\u2022\u2014\u2013\u2018\u2019\u201C\u201D").replace(QChar(0xA0), u' ');
    QTest::newRow("cp1252 hex") << QByteArray("{\\rtf1\\ansi \\'bb\\'a4\\'80\\'e9}") << QString::fromUtf8("»¤€é");
    QTest::newRow("ansicpg1251") << QByteArray("{\\rtf1\\ansi\\ansicpg1251 \\'e0\\'e1}") << QString::fromUtf8("аб");
    QTest::newRow("mac code page") << QByteArray("{\\rtf1\\mac \\'8e}") << QString::fromUtf8("é");
    QTest::newRow("font cpg") << QByteArray("{\\rtf1{\\fonttbl{\\f0\\cpg1253 G;}}\\f0 \\'e1}") << QString::fromUtf8("α");
    QTest::newRow("undefined font") << QByteArray("{\\rtf1\\f9 x\\'e9}") << QString::fromUtf8("xé");
    QTest::newRow("uc2 skips two") << QByteArray("{\\rtf1\\uc2 \\u8364\\'80\\'80x}") << QString::fromUtf8("€x");
    QTest::newRow("uc0 skips none") << QByteArray("{\\rtf1\\uc0 \\u8364 x}") << QString::fromUtf8("€x");
    QTest::newRow("skip counts a control word") << QByteArray("{\\rtf1\\uc1 \\u8364\\par x}") << QString::fromUtf8("€x");
    QTest::newRow("skip ends with the group") << QByteArray("{\\rtf1{\\uc3 \\u8364}x}") << QString::fromUtf8("€x");
    QTest::newRow("uc is per group") << QByteArray("{\\rtf1{\\uc0 a}\\u8364?b}") << QString::fromUtf8("a€b");
    QTest::newRow("negative u") << QByteArray("{\\rtf1 \\u-4064?}") << QString(QChar(0xF020));
    QTest::newRow("surrogate pair") << QByteArray("{\\rtf1 \\u-10179?\\u-8704?}") << QString::fromUtf8("😀");
    QTest::newRow("lone high surrogate") << QByteArray("{\\rtf1 \\u55357?x}") << QString::fromUtf8("\uFFFDx");
    QTest::newRow("lone low surrogate") << QByteArray("{\\rtf1 x\\u56832?}") << QString::fromUtf8("x\uFFFD");
    QTest::newRow("u0 and controls dropped") << QByteArray("{\\rtf1 a\\u0?\\u13?\\'00\\'0db}") << "ab";
    QTest::newRow("field shows its result")
        << QByteArray("{\\rtf1 see {\\field{\\*\\fldinst HYPERLINK \"http://x\"}{\\fldrslt {\\ul here}}}.}") << "see here.";
    QTest::newRow("footnote and picture skipped")
        << QByteArray("{\\rtf1 a{\\footnote b}{\\pict\\pngblip 89504e47}c{\\*\\unknown d}e}") << "ace";
    QTest::newRow("unknown plain destination shows text") << QByteArray("{\\rtf1 a{\\foo b}c}") << "abc";
    QTest::newRow("bin skipped") << QByteArray("{\\rtf1 a{\\*\\blip\\bin3 }}}}b}") << "ab";
    QTest::newRow("table cells one a line")
        << QByteArray("{\\rtf1\\trowd\\cellx100\\cellx200\\intbl a\\cell b\\cell\\row\\pard c\\par}") << "a\nb\nc";
    QTest::newRow("list labels are not text")
        << QByteArray("{\\rtf1{\\pntext 1.\\tab}{\\*\\pn\\pnlvlbody\\pndec}a\\par{\\listtext 2.\\tab}b}") << "a\nb";
    QTest::newRow("page break adds no paragraph") << QByteArray("{\\rtf1 a\\par\\page b\\page c}") << "a\nb\nc";
    QTest::newRow("text after the document is ignored") << QByteArray("{\\rtf1 a}b{c}") << "a";
    QTest::newRow("long control word and huge number")
        << QByteArray("{\\rtf1\\fs99999999999999999\\aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa1 x}") << "x";
    QTest::newRow("text in tables of fonts and colours is not text")
        << QByteArray("{\\rtf1{\\fonttbl{\\f0 A;}junk}{\\colortbl;\\red1;junk;}x}") << "x";
}

void tst_Rtf::constructs()
{
    QFETCH(QByteArray, rtf);
    QFETCH(QString, text);
    QTextDocument doc;
    QVERIFY(readInto(doc, rtf));
    QCOMPARE(doc.toPlainText(), text);
}

// Constructs of files written by Word, LibreOffice, WordPad, TextEdit and Google Docs that a
// script must read as those programs show them: the text, and each paragraph's list label.
void tst_Rtf::filesFromOtherPrograms_data()
{
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("labels");

    auto row = [](const char *name, const QByteArray &rtf, const char *text, QStringList labels = {}) {
        QString t = QString::fromUtf8(text);
        if (labels.isEmpty())
            labels = QStringList(t.count(u'\n') + 1, QString());
        QTest::newRow(name) << rtf << t << labels;
    };
    // Tracked changes: deletions are gone, insertions are text.
    row("deleted text", "{\\rtf1\\ansi Keep {\\deleted\\revauthdel1 removed }this.\\par}", "Keep this.");
    row("inserted text", "{\\rtf1\\ansi Keep {\\revised\\revauth1 added }{\\insrsid12 more }text.\\par}",
        "Keep added more text.");
    row("deletion ended by deleted0", "{\\rtf1 a{\\deleted b\\deleted0 c}d}", "acd");
    row("deleted paragraph", "{\\rtf1 First.\\par{\\deleted Gone.\\par}Last.\\par}", "First.\nLast.");
    // Hidden text.
    row("hidden text", "{\\rtf1\\ansi Visible {\\v hidden note }text.\\par}", "Visible text.");
    row("hidden ended by v0", "{\\rtf1 a\\v b\\v0 c}", "ac");
    row("hidden ended by plain", "{\\rtf1 a\\v b\\plain c}", "ac");
    row("hidden paragraph", "{\\rtf1 one\\par{\\v two\\par}three}", "one\nthree");
    row("hidden tab and line", "{\\rtf1 a{\\v\\tab\\line\\u915?}b}", "ab");
    // List numbering.
    row("levelstartat",
        "{\\rtf1" + listTable({"\\levelnfc0\\levelstartat3{\\leveltext\\'02\\'00.;}{\\levelnumbers\\'01;}"})
            + "\\pard\\ls1 one\\par\\pard\\ls1 two\\par}",
        "one\ntwo", {"3.", "4."});
    row("listoverridestartat",
        "{\\rtf1" + listTable({kDecimal}, "\\listoverridecount1{\\lfolevel\\listoverridestartat\\levelstartat5}")
            + "\\pard\\ls1 one\\par\\pard\\ls1 two\\par}",
        "one\ntwo", {"5.", "6."});
    row("letters from b",
        "{\\rtf1" + listTable({"\\levelnfc4\\levelstartat2{\\leveltext\\'02\\'00);}{\\levelnumbers\\'01;}"})
            + "\\pard\\ls1 one\\par\\pard\\ls1 two\\par}",
        "one\ntwo", {"b)", "c)"});
    row("second level restarts after a first-level item",
        "{\\rtf1" + listTable({kDecimal, kLetters})
            + "\\pard\\ls1 a\\par\\pard\\ls1\\ilvl1 b\\par\\pard\\ls1 c\\par\\pard\\ls1\\ilvl1 d\\par}",
        "a\nb\nc\nd", {"1.", "a.", "2.", "a."});
    row("second level with levelnorestart",
        "{\\rtf1" + listTable({kDecimal, "\\levelnfc4\\levelnorestart{\\leveltext\\'02\\'01.;}{\\levelnumbers\\'01;}"})
            + "\\pard\\ls1 a\\par\\pard\\ls1\\ilvl1 b\\par\\pard\\ls1 c\\par\\pard\\ls1\\ilvl1 d\\par}",
        "a\nb\nc\nd", {"1.", "a.", "2.", "b."});
    row("numbering goes on across other paragraphs",
        "{\\rtf1" + listTable({kDecimal}) + "\\pard\\ls1 a\\par\\pard b\\par\\pard\\ls1 c\\par}", "a\nb\nc",
        {"1.", "", "2."});
    row("label with the numbers of two levels",
        "{\\rtf1" + listTable({kDecimal, "\\levelnfc0{\\leveltext\\'04\\'00.\\'01.;}{\\levelnumbers\\'01\\'03;}"})
            + "\\pard\\ls1 a\\par\\pard\\ls1\\ilvl1 b\\par\\pard\\ls1\\ilvl1 c\\par\\pard\\ls1 d\\par"
              "\\pard\\ls1\\ilvl1 e\\par}",
        "a\nb\nc\nd\ne", {"1.", "1.1.", "1.2.", "2.", "2.1."});
    row("label with a parenthesis",
        "{\\rtf1" + listTable({"\\levelnfc0{\\leveltext\\'02\\'00);}{\\levelnumbers\\'01;}"})
            + "\\pard\\ls1 a\\par\\pard\\ls1 b\\par}",
        "a\nb", {"1)", "2)"});
    row("bare number",
        "{\\rtf1" + listTable({"\\levelnfc0{\\leveltext\\'01\\'00;}{\\levelnumbers\\'01;}"})
            + "\\pard\\ls1 a\\par\\pard\\ls1 b\\par}",
        "a\nb", {"1", "2"});
    row("text before the number",
        "{\\rtf1" + listTable({"\\levelnfc4{\\leveltext\\'03(\\'00);}{\\levelnumbers\\'02;}"})
            + "\\pard\\ls1 a\\par\\pard\\ls1 b\\par}",
        "a\nb", {"(a)", "(b)"});
    row("ls0 defined in the override table",
        "{\\rtf1{\\*\\listtable{\\list{\\listlevel" + QByteArray(kDecimal)
            + "}\\listid9}}{\\*\\listoverridetable{\\listoverride\\listid9\\listoverridecount0\\ls0}}"
              "\\pard\\ls0 a\\par\\pard\\ls0 b\\par}",
        "a\nb", {"1.", "2."});
    row("ls0 whose list is missing",
        "{\\rtf1{\\*\\listoverridetable{\\listoverride\\listid5\\listoverridecount0\\ls0}}\\pard\\ls0 a\\par"
        "\\pard\\ls7 b\\par\\pard c\\par}",
        "a\nb\nc", {"\u2022", "\u2022", ""});
    row("wordpad numbering from pnstart",
        "{\\rtf1{\\pntext 4.\\tab}{\\*\\pn\\pnlvlbody\\pndec\\pnstart4{\\pntxta .}}a\\par"
        "{\\pntext 5.\\tab}{\\*\\pn\\pnlvlbody\\pndec\\pnstart4{\\pntxta .}}b\\par}",
        "a\nb", {"4.", "5."});
    row("textedit nested levels",
        "{\\rtf1\\ansi\\ansicpg1252\\cocoartf2639{\\fonttbl\\f0\\fswiss\\fcharset0 Helvetica;}"
        "{\\*\\listtable{\\list\\listtemplateid1\\listhybrid{\\listlevel\\levelnfc23\\levelnfcn23\\leveljc0"
        "\\levelfollow0\\levelstartat1\\levelspace360\\levelindent0{\\*\\levelmarker \\{disc\\}}{\\leveltext"
        "\\leveltemplateid1\\'01\\uc0\\u8226 ;}{\\levelnumbers;}\\fi-360\\li720\\lin720 }{\\listlevel\\levelnfc23"
        "\\levelnfcn23\\leveljc0\\levelfollow0\\levelstartat1\\levelspace360\\levelindent0{\\*\\levelmarker "
        "\\{circle\\}}{\\leveltext\\leveltemplateid2\\'01\\uc0\\u9702 ;}{\\levelnumbers;}\\fi-360\\li1440\\lin1440 }"
        "{\\listname ;}\\listid1}}{\\*\\listoverridetable{\\listoverride\\listid1\\listoverridecount0\\ls1}}\n"
        "\\pard\\tx220\\tx720\\pardeftab720\\li720\\fi-720\\partightenfactor0\n"
        "\\ls1\\ilvl0\\f0\\fs24 \\cf0 {\\listtext\t\\uc0\\u8226 \t}one\\\n"
        "\\pard\\tx940\\tx1440\\pardeftab720\\li1440\\fi-1440\\partightenfactor0\n"
        "\\ls1\\ilvl1\\cf0 {\\listtext\t\\uc0\\u9702 \t}nested\\\n}",
        "one\nnested", {"\u2022", "\u25E6"});
    // Code pages: a font's character set decides, the document's code page serves the rest.
    for (const char *codePage : {"932", "950", "936", "949"}) {
        row(qPrintable(QStringLiteral("western font under ansicpg%1").arg(QLatin1StringView(codePage))),
            "{\\rtf1\\ansi\\ansicpg" + QByteArray(codePage)
                + "{\\fonttbl{\\f0\\fcharset0 Arial;}}\\f0 J\\'e4rvi \\'93quoted\\'94 caf\\'e9\\par}",
            "Järvi “quoted” café");
    }
    row("font without a character set takes ansicpg", "{\\rtf1\\ansi\\ansicpg932{\\fonttbl{\\f0 Mincho;}}\\f0 \\'82\\'a0}",
        "あ");
    row("japanese font in a western document",
        "{\\rtf1\\ansi\\ansicpg1252{\\fonttbl{\\f0\\fcharset128 Mincho;}}\\f0 \\'82\\'a0 caf\\'e9}", "あ caf");
    row("nested-table fallback", "{\\rtf1 cell\\par{\\nonesttables\\par\\par inner\\par}after\\par}", "cell\nafter");
    row("nested-table fallback marked", "{\\rtf1 cell\\par{\\*\\nonesttables inner\\par}after\\par}", "cell\nafter");
    row("nested-table properties alone add nothing",
        "{\\rtf1 a\\nestcell{\\*\\nesttableprops\\trowd\\itap2\\cellx1000\\clbrdrt\\brdrs\\nestrow}{\\nonesttables\\par}b}", "a\nb");
    row("text in nested-table properties kept in order",
        "{\\rtf1 a\\par{\\*\\nesttableprops\\trowd\\cellx1000 {\\b in} side\\nestcell\\nestrow}b}", "a\nin side\nb");
    // Symbol fonts.
    row("symbol font letters",
        "{\\rtf1{\\fonttbl{\\f0 Arial;}{\\f1\\fcharset2 Symbol;}}\\f0 x {\\f1 abgW\\'b7\\'a5}\\par}", "x αβγΩ•∞");
    row("symbol font in unicode", "{\\rtf1{\\fonttbl{\\f1\\fcharset2 Symbol;}}{\\f1 \\u-3999?\\u-3913?}}", "α•");
    row("wingdings", "{\\rtf1{\\fonttbl{\\f2\\fcharset2 Wingdings;}}{\\f2 \\'fc\\'a7\\'6c\\u-3844?}}", "✓▪●✓");
    row("zapf dingbats", "{\\rtf1{\\fonttbl{\\f3\\fcharset2 ITC Zapf Dingbats;}}{\\f3 \\'48\\'33\\'ac}}", "★✓①");
    row("other symbol font keeps its private characters", "{\\rtf1{\\fonttbl{\\f4\\fcharset2 Marlett;}}{\\f4 a}}",
        "\uF061");
    row("symbol font named without a character set", "{\\rtf1{\\fonttbl{\\f1\\ftech Symbol;}}{\\f1 p}}", "π");
    // SYMBOL fields: the character comes from the instruction when the result is empty or missing.
    row("symbol field", "{\\rtf1 x{\\field{\\*\\fldinst SYMBOL 183 \\\\f \"Symbol\" \\\\s 12}{\\fldrslt }}y}", "x•y");
    row("symbol field without a result", "{\\rtf1 x{\\field{\\*\\fldinst {SYMBOL 0xFC \\\\f Wingdings}}}y}", "x✓y");
    row("symbol field in private use", "{\\rtf1 x{\\field{\\*\\fldinst SYMBOL 61623 \\\\f \"Symbol\"}{\\fldrslt}}y}", "x•y");
    row("symbol field by unicode", "{\\rtf1 x{\\field{\\*\\fldinst SYMBOL 937 \\\\u}{\\fldrslt}}y}", "xΩy");
    row("symbol field in a font that is not a symbol font", "{\\rtf1 x{\\field{\\*\\fldinst SYMBOL 233 \\\\f \"Arial\"}}y}", "xéy");
    row("symbol field whose result has text", "{\\rtf1 x{\\field{\\*\\fldinst SYMBOL 183 \\\\f \"Symbol\"}{\\fldrslt z}}y}", "xzy");
    row("symbol field whose result has text after an empty group",
        "{\\rtf1 x{\\field{\\*\\fldinst SYMBOL 183 \\\\f \"Symbol\"}{\\fldrslt {}{\\b z}}}y}", "xzy");
    row("symbol field with a control code", "{\\rtf1 x{\\field{\\*\\fldinst SYMBOL 13}{\\fldrslt}}y}", "xy");
    row("other fields show their result", "{\\rtf1 x{\\field{\\*\\fldinst HYPERLINK \"a\"}{\\fldrslt link}}y}", "xlinky");
    // Old Mac code pages.
    row("mac document", "{\\rtf1\\mac{\\fonttbl{\\f0\\fcharset0 Times;}}\\f0 caf\\'8e \\'d2x\\'d3}", "café “x”");
    row("mac japanese document", "{\\rtf1\\ansi\\ansicpg10001 \\'82\\'a0}", "あ");
    row("mac roman font", "{\\rtf1\\ansi{\\fonttbl{\\f0\\fcharset77 Times;}}\\f0 caf\\'8e}", "café");
    row("mac japanese font", "{\\rtf1\\ansi{\\fonttbl{\\f0\\fcharset78 Osaka;}}\\f0 \\'82\\'a0}", "あ");
    row("mac cyrillic font", "{\\rtf1\\ansi{\\fonttbl{\\f0\\fcharset89 Geneva;}}\\f0 \\'80\\'e0}", "Аа");
    // \* marks only the destination it starts.
    row("ignorable mark in the middle of a group", "{\\rtf1\\ansi {\\i0\\*\\cs7 The quick brown fox}\\par}",
        "The quick brown fox");
    row("unknown word after a mark in the middle", "{\\rtf1 {a\\*\\foo b}c}", "abc");
    row("known word after a mark at the start", "{\\rtf1 {\\*\\cs8 styled} text}", "styled text");
    row("unknown destination still skipped", "{\\rtf1 a{\\*\\foo b}c}", "ac");
    // \upr: the Unicode half.
    row("upr", "{\\rtf1 Name: {\\upr{G}{\\*\\ud{\\u915?}}}\\par}", "Name: Γ");
    row("upr with formatting", "{\\rtf1 {\\upr{\\b Caf\\'e9}{\\*\\ud{\\b Caf\\u233?}}} x}", "Café x");
    // Footnote marks stay in the text; the notes do not.
    row("footnote marks",
        "{\\rtf1 annotated.{\\super\\chftn}{\\footnote\\pard{\\super\\chftn} The note.} Again{\\super\\chftn}"
        "{\\footnote\\pard{\\super\\chftn} Two.}\\par}",
        "annotated.1 Again2");
    row("footnote numbers from ftnstart", "{\\rtf1\\ftnstart5 x{\\chftn}{\\footnote{\\chftn} n}\\par}", "x5");
    // List definitions outside their tables are no text.
    row("list outside the list table",
        "{\\rtf1 {\\list\\listtemplateid1{\\listlevel" + QByteArray(kDecimal)
            + "}{\\listname Numbers;}\\listid7}{\\listoverride\\listid7\\listoverridecount0\\ls1}\\pard\\ls1 item\\par}",
        "item", {"1."});
    row("list table without its mark",
        "{\\rtf1{\\listtable{\\list{\\listlevel\\levelnfc23{\\leveltext\\'01\\u8226 ?;}{\\levelnumbers;}"
        "\\fi-360\\li720}{\\listname Bullets;}\\listid2}}{\\listoverridetable{\\listoverride\\listid2\\ls4}}"
        "\\pard\\ls4 Visible\\par}",
        "Visible", {"\u2022"});
    row("list level outside any list",
        "{\\rtf1 a{\\listlevel\\levelnfc0{\\leveltext\\'02\\'00.;}{\\levelnumbers\\'01;}}b}", "ab");
}

void tst_Rtf::filesFromOtherPrograms()
{
    QFETCH(QByteArray, rtf);
    QFETCH(QString, text);
    QFETCH(QStringList, labels);
    QTextDocument doc;
    QVERIFY(readInto(doc, rtf));
    QCOMPARE(doc.toPlainText(), text);
    QCOMPARE(labelsOf(doc), labels);
}

// Where list items stand: TextEdit draws each level's label in the first-line indent
// (\fi-1440 with a tab after the label), so the text of every line starts at the level's indent.
void tst_Rtf::listLayoutFromOtherPrograms_data()
{
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<int>("paragraph");   // 1-based
    QTest::addColumn<QString>("expected");

    const QByteArray table = listTable({"\\levelnfc23{\\leveltext\\'01\\u8226 ;}{\\levelnumbers;}",
                                        "\\levelnfc23{\\leveltext\\'01\\u9702 ;}{\\levelnumbers;}"});
    const QByteArray textEdit = "{\\rtf1" + table
        + "\\pard\\li720\\fi-720\\ls1\\ilvl0 one\\par\\pard\\li1440\\fi-1440\\ls1\\ilvl1 two\\par}";
    QTest::newRow("textedit level 1") << textEdit << 1 << "level=0 li=720 fi=-360";
    QTest::newRow("textedit level 2") << textEdit << 2 << "level=1 li=1440 fi=-360";
    const QByteArray word = "{\\rtf1" + table
        + "\\pard\\fi-360\\li720\\ls1 one\\par\\pard\\fi-360\\li1440\\ls1\\ilvl1 two\\par\\pard\\fi0\\li1440\\ls1\\ilvl1"
          " three\\par}";
    QTest::newRow("word level 2") << word << 2 << "level=1 li=1440 fi=-360";
    QTest::newRow("first line further in than the hang") << word << 3 << "level=1 li=1440 fi=0";
}

void tst_Rtf::listLayoutFromOtherPrograms()
{
    QFETCH(QByteArray, rtf);
    QFETCH(int, paragraph);
    QFETCH(QString, expected);
    QTextDocument doc;
    QVERIFY(readInto(doc, rtf));
    const QTextBlock block = doc.findBlockByNumber(paragraph - 1);
    expectWords(blockWords(block), expected, block.text());
}

void tst_Rtf::damagedInput_data()
{
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("damaged");

    const QByteArray wordpad = fixtureBytes(QStringLiteral("wordpad_fonts_styles.rtf"));
    const qsizetype cut = wordpad.indexOf("Times New Roman at");
    QTest::newRow("truncated") << wordpad.left(cut + 5)
                               << "Arial at 12 points.\nArial at 24 points.\nArial at 60 points.\nArial at 72 points.\nTimes"
                               << true;
    QTest::newRow("truncated in an escape") << QByteArray("{\\rtf1 ab\\'") << "ab" << true;
    QTest::newRow("truncated after backslash") << QByteArray("{\\rtf1 ab\\") << "ab" << true;
    QTest::newRow("missing closing braces") << QByteArray("{\\rtf1 a{\\b b{\\i c") << "abc" << true;
    QTest::newRow("extra closing braces") << QByteArray("{\\rtf1 a}}}b}") << "a" << false;
    QTest::newRow("bin past the end") << QByteArray("{\\rtf1 a\\bin999999999999 xyz}") << "a" << true;
    QTest::newRow("negative bin") << QByteArray("{\\rtf1 a\\bin-5 b}") << "ab" << false;
    QTest::newRow("header only") << QByteArray("{\\rtf") << "" << true;
    QTest::newRow("code page beyond any") << QByteArray("{\\rtf1\\ansi\\ansicpg80001 \\'82\\'a0\\par}")
                                          << QString::fromUtf8("‚ ") << false;
    QTest::newRow("binary after header") << QByteArray("{\\rtf1 ok\x01\x02\xff\x00\x1b}", 15) << QString::fromUtf8("okÿ") << false;
}

void tst_Rtf::damagedInput()
{
    QFETCH(QByteArray, rtf);
    QFETCH(QString, text);
    QFETCH(bool, damaged);
    QTextDocument doc;
    QString error;
    QVERIFY(readInto(doc, rtf, &error));
    QCOMPARE(doc.toPlainText(), text);
    QCOMPARE(!error.isEmpty(), damaged);
}

void tst_Rtf::notRtf_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("plain text") << QByteArray("Hello {\\rtf1 world}");
    QTest::newRow("binary") << QByteArray("\x7f" "ELF\x02\x01\x01\x00", 8);
    QTest::newRow("almost") << QByteArray("{\\rt");
}

void tst_Rtf::notRtf()
{
    QFETCH(QByteArray, bytes);
    QTextDocument doc;
    doc.setPlainText(QStringLiteral("keep"));
    QString error;
    QVERIFY(!readInto(doc, bytes, &error));
    QVERIFY(!error.isEmpty());
    QCOMPARE(doc.toPlainText(), QStringLiteral("keep"));
}

// Nesting is kept on the heap; beyond the limit groups are skipped and reading goes on.
void tst_Rtf::deepNesting()
{
    struct Case { int depth; const char *open; QString text; bool damaged; };
    const Case cases[] = {
        {100000, "{", QStringLiteral("deep after"), false},
        {100000, "{\\b ", QStringLiteral("deep after"), false},
        {300000, "{", QStringLiteral(" after"), true},
    };
    for (const Case &c : cases) {
        QByteArray rtf = "{\\rtf1 ";
        rtf += QByteArray(c.open).repeated(c.depth) + "deep" + QByteArray("}").repeated(c.depth) + " after}";
        QTextDocument doc;
        QString error;
        QVERIFY(readInto(doc, rtf, &error));
        QCOMPARE(doc.toPlainText(), c.text);
        QCOMPARE(!error.isEmpty(), c.damaged);
        // Bold set inside the groups does not leak out of them.
        QTextCursor end(&doc);
        end.movePosition(QTextCursor::End);
        QVERIFY(end.charFormat().fontWeight() < QFont::DemiBold);
    }
}

void tst_Rtf::writerOutput()
{
    QTextDocument doc;
    QTextCursor cursor(&doc);
    QTextCharFormat red;
    red.setFontFamilies({QStringLiteral("Arial")});
    red.setFontPointSize(60);
    red.setForeground(QColor(255, 0, 0));
    cursor.insertText(QString::fromUtf8("» next ¤ € {x}\\ 中 😀"), red);
    cursor.insertBlock();
    cursor.createList(QTextListFormat::ListDisc);
    cursor.insertText(QStringLiteral("item"));

    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    RtfWriter writer;
    QVERIFY(writer.write(&buffer, &doc));
    const QByteArray rtf = buffer.data();
    QVERIFY(rtf.startsWith("{\\rtf1\\ansi\\ansicpg1252\\deff0"));
    for (const char *piece : {"{\\fonttbl{\\f0\\fnil\\fcharset0 Arial;}", "\\viewkind4\\uc1", "\\f0\\fs120\\cf1\\'bb next \\'a4 \\'80 \\{x\\}\\\\ \\u20013? \\u-10179?\\u-8704?", "\\red255\\green0\\blue0;", "{\\pntext\\f", "{\\*\\pn\\pnlvlblt",
                              "\\fi-360\\li720", "item\\par\r\n}"}) {
        QVERIFY2(rtf.contains(piece), piece);
    }
    for (const char c : rtf)
        QVERIFY(static_cast<unsigned char>(c) < 0x80);

    QBuffer closed;
    QVERIFY(!writer.write(&closed, &doc));
    QVERIFY(!writer.errorString().isEmpty());
}

// Every character that can stand in a document survives writing and reading.
void tst_Rtf::everyCharacterRoundTrips()
{
    QString all;
    for (char32_t c = 0x20; c < 0x3000; ++c) {
        if (c == 0x2029 || (c >= 0xD800 && c < 0xE000))
            continue;
        all += QChar(char16_t(c));
    }
    all += QString::fromUtf8("\t\u2028 😀 𝄞 \U0010FFFD \uFFFD \uFEFF»¤");
    QTextDocument doc;
    QTextCursor(&doc).insertText(all);
    QScopedPointer<QTextDocument> back(roundTrip(doc));
    QCOMPARE(back->toRawText(), doc.toRawText());
}

// Formats the editor can produce, including empty paragraphs and nested lists, come back.
void tst_Rtf::formatsRoundTrip()
{
    QTextDocument doc;
    doc.setDefaultFont(QFont(QStringLiteral("Arial"), 60));
    QTextCursor c(&doc);
    QTextCharFormat f;
    f.setFontFamilies({QStringLiteral("Courier New")});
    f.setFontPointSize(21.5);
    f.setFontWeight(QFont::Bold);
    c.insertText(QStringLiteral("bold "), f);
    f.setFontWeight(QFont::Normal);
    f.setFontItalic(true);
    f.setFontUnderline(true);
    f.setBackground(QColor(0, 0, 255));
    c.insertText(QStringLiteral("italic underlined highlighted "), f);
    c.insertText(QStringLiteral("plain default font"), QTextCharFormat());
    QTextBlockFormat centred;
    centred.setAlignment(Qt::AlignHCenter);
    centred.setRightMargin(36);
    centred.setBackground(QColor(10, 20, 30));
    QTextCharFormat big;
    big.setFontPointSize(72);
    big.setFontStrikeOut(true);
    c.insertBlock(centred, big);   // an empty paragraph keeps its size
    QTextBlockFormat justified;
    justified.setAlignment(Qt::AlignJustify);
    justified.setLeftMargin(18);
    justified.setTextIndent(-9);
    justified.setTopMargin(6);
    justified.setBottomMargin(12);
    c.insertBlock(justified);
    c.insertText(QStringLiteral("justified"));
    c.insertBlock(QTextBlockFormat());
    QTextListFormat disc;
    disc.setStyle(QTextListFormat::ListDisc);
    c.createList(disc);
    c.insertText(QStringLiteral("one"));
    c.insertBlock();
    QTextListFormat circle;
    circle.setStyle(QTextListFormat::ListCircle);
    circle.setIndent(2);
    c.createList(circle);
    c.insertText(QStringLiteral("nested"));
    QTextBlockFormat plain;
    c.insertBlock(plain);
    QTextListFormat numbers;
    numbers.setStyle(QTextListFormat::ListUpperRoman);
    c.createList(numbers);
    c.insertText(QStringLiteral("first"));
    c.insertBlock();
    c.insertText(QStringLiteral("second"));
    c.insertBlock(plain);
    c.insertBlock(plain);   // two empty paragraphs at the end

    QByteArray rtf;
    QScopedPointer<QTextDocument> back(roundTrip(doc, &rtf));
    // Text without a font of its own is written in the document's default font.
    QStringList want = describe(doc);
    want.replaceInStrings(QStringLiteral("family= "), QStringLiteral("family=Arial "));
    want.replaceInStrings(QStringLiteral("size=0 "), QStringLiteral("size=60 "));
    QCOMPARE(describe(*back), want);
    QCOMPARE(back->toPlainText(), doc.toPlainText());
    QVERIFY2(rtf.contains("\\pnucrm"), rtf.constData());
}

void tst_Rtf::listsRoundTrip_data()
{
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<QByteArray>("rtf");    // read first, when given, instead of the items

    QTest::newRow("second-level numbers interrupted by bullets")
        << QStringList{"d1:one", "n2:nested 1", "d1:two", "n2:nested 2", "n2:nested 3", "c2:circle"} << QByteArray();
    QTest::newRow("two lists side by side")
        << QStringList{"a1:first a", "a1:first b", "a1x:second a", "-:between", "r1:roman", "n1:number"}
        << QByteArray();
    QTest::newRow("three levels of bullets")
        << QStringList{"c1x:circle on top", "d1:disc", "c2:circle", "s3:square", "c2:circle again", "d1:disc again"}
        << QByteArray();
    QTest::newRow("labels of another program")
        << QStringList()
        << "{\\rtf1{\\fonttbl{\\f0 Arial;}}" + listTable({kDecimal, "\\levelnfc4\\levelstartat3{\\leveltext\\'04\\'00.\\'01);}{\\levelnumbers\\'01\\'03;}"})
               + "\\pard\\ls1 a\\par\\pard\\ls1\\ilvl1 b\\par\\pard\\ls1\\ilvl1 c\\par\\pard\\ls1 d\\par"
                 "\\pard\\ls1\\ilvl1 e\\par}";
    QTest::newRow("labels with a tab and a control character")
        << QStringList()
        << "{\\rtf1{\\fonttbl{\\f0 Arial;}}" + listTable({"\\levelnfc0{\\leveltext\\'03\\'00\\'05.;}{\\levelnumbers\\'01;}"})
               + "\\pard\\ls1 a\\par\\pard{\\*\\pn\\pnlvlbody\\pndec\\pnstart4{\\pntxta \t.}}b\\par}";
    QTest::newRow("label with a tab before the number and a letter after it")
        << QStringList() << QByteArray("{\\rtf1{\\fonttbl{\\f0 Arial;}}{\\*\\pn\\pnlvlbody{\\pntxtb\\tab}{\\pntxta c}}x\\par}");
    QTest::newRow("number after 130 characters")
        << QStringList() << "{\\rtf1{\\fonttbl{\\f0 Arial;}}{\\*\\pn\\pnlvlbody{\\pntxtb " + QByteArray(130, 'b') + "}}x\\par}";
    QTest::newRow("label longer than a level's text")
        << QStringList()
        << "{\\rtf1{\\fonttbl{\\f0 Arial;}}{\\*\\pn\\pnlvlbody\\pndec{\\pntxtb " + QByteArray(200, 'b')
               + "}{\\pntxta " + QByteArray(200, 'a') + "}}item\\par}";
    QTest::newRow("label of control characters only")
        << QStringList()
        << "{\\rtf1{\\fonttbl{\\f0 Arial;}}" + listTable({"\\levelnfc2{\\leveltext\\'01\\'05;}{\\levelnumbers;}"})
               + "\\pard\\ls1 a\\par}";
    QTest::newRow("list starting at 7")
        << QStringList()
        << "{\\rtf1{\\fonttbl{\\f0 Arial;}}" + listTable({"\\levelnfc1\\levelstartat7{\\leveltext\\'03[\\'00];}{\\levelnumbers\\'02;}"})
               + "\\pard\\ls1 a\\par\\pard\\ls1 b\\par}";
}

// Lists come back from our own files as they were: the same labels, the same lists.
void tst_Rtf::listsRoundTrip()
{
    QFETCH(QStringList, items);
    QFETCH(QByteArray, rtf);
    QTextDocument doc;
    if (rtf.isEmpty())
        buildLists(doc, items);
    else
        QVERIFY(readInto(doc, rtf));
    QByteArray written;
    QScopedPointer<QTextDocument> back(roundTrip(doc, &written));
    QCOMPARE(back->toPlainText(), doc.toPlainText());
    QCOMPARE(labelsOf(*back), labelsOf(doc));
    QCOMPARE(listPartition(*back), listPartition(doc));
    QCOMPARE(describe(*back), describe(doc));

    // A reader that knows list tables but not WordPad's paragraph numbers sees the same lists.
    QTextDocument tablesOnly;
    QVERIFY(readInto(tablesOnly, withoutGroups(written, "{\\*\\pn")));
    QCOMPARE(labelsOf(tablesOnly), labelsOf(doc));
    QCOMPARE(listPartition(tablesOnly), listPartition(doc));
}

// Other programs read lists from the list table; readers that know only WordPad's paragraph
// numbers read {\*\pn}, and readers that know neither show the {\pntext} label.
void tst_Rtf::listsForOlderReaders()
{
    QTextDocument doc;
    buildLists(doc, {"d1:one", "n2:nested", "d1:two", "a1:letter"});
    const QByteArray rtf = RtfWriter::toRtf(&doc);
    for (const char *piece : {"{\\*\\listtable", "{\\*\\listoverridetable", "\\ls2\\ilvl1", "1.\\tab}",
                              "{\\*\\pn\\pnlvlbody\\pndec", "{\\*\\pn\\pnlvlblt"}) {
        QVERIFY2(rtf.contains(piece), piece);
    }

    // Without the tables and \ls, the paragraph numbers alone still give each item its kind.
    QByteArray wordPad = withoutGroups(withoutGroups(rtf, "{\\*\\listtable"), "{\\*\\listoverridetable");
    wordPad.replace(QByteArrayLiteral("\\ls"), QByteArrayLiteral("\\xx"));
    QVERIFY(!wordPad.contains("listtable"));
    QTextDocument old;
    QVERIFY(readInto(old, wordPad));
    QCOMPARE(labelsOf(old), (QStringList{"\u2022", "1.", "\u2022", "a."}));
    QTextDocument labelled;
    QVERIFY(readInto(labelled, "{\\rtf1{\\*\\pn\\pnlvlbody\\pnucrm\\pnstart3{\\pntxtb\\tab}{\\pntxta c}}x\\par}"));
    QTextDocument labelledBack;
    QVERIFY(readInto(labelledBack, withoutGroups(RtfWriter::toRtf(&labelled), "{\\*\\listtable")));
    QCOMPARE(labelsOf(labelledBack), QStringList{"\tIIIc"});

    // Without even those, the labels are text.
    QByteArray plain = wordPad;
    plain.replace(QByteArrayLiteral("{\\pntext"), QByteArrayLiteral("{"));
    plain.replace(QByteArrayLiteral("{\\*\\pn"), QByteArrayLiteral("{\\*\\xx"));
    QTextDocument none;
    QVERIFY(readInto(none, plain));
    QCOMPARE(none.toPlainText(), QStringLiteral("\u2022\tone\n1.\tnested\n\u2022\ttwo\na.\tletter"));
}

void tst_Rtf::textWithoutFontRoundTrip_data()
{
    QTest::addColumn<QString>("baseFamily");  // empty: the document was never given a font
    QTest::addColumn<double>("baseSize");
    QTest::addColumn<QString>("family");
    QTest::addColumn<double>("size");

    QTest::newRow("document without a font of its own") << QString() << 0.0 << "Arial" << 12.0;
    QTest::newRow("script's base font") << "Times New Roman" << 30.0 << "Times New Roman" << 30.0;
}

// Text without a font of its own is written in the script's base font, never the platform's.
void tst_Rtf::textWithoutFontRoundTrip()
{
    QFETCH(QString, baseFamily);
    QFETCH(double, baseSize);
    QFETCH(QString, family);
    QFETCH(double, size);
    QTextDocument doc;
    if (!baseFamily.isEmpty())
        doc.setDefaultFont(QFont(baseFamily, int(baseSize)));
    QTextCursor(&doc).insertText(QStringLiteral("plain"));
    QByteArray rtf;
    QScopedPointer<QTextDocument> back(roundTrip(doc, &rtf));
    const QString platform = QGuiApplication::font().family();
    QVERIFY(!platform.isEmpty());
    if (platform != family)
        QVERIFY2(!rtf.contains(platform.toLatin1()), rtf.constData());
    const QTextCharFormat format = QTextCursor(back->lastBlock()).charFormat();
    QCOMPARE(format.fontFamilies().toStringList(), QStringList{family});
    QCOMPARE(format.fontPointSize(), size);
}

// Pasting at the caret splits the paragraph and leaves the paragraph's own format alone.
void tst_Rtf::pasteAtCaret()
{
    QTextDocument doc;
    QTextCursor c(&doc);
    QTextBlockFormat centred;
    centred.setAlignment(Qt::AlignHCenter);
    c.setBlockFormat(centred);
    c.insertText(QStringLiteral("xy"));
    c.setPosition(1);

    QBuffer one;
    one.setData("{\\rtf1 {\\b A}}");
    one.open(QIODevice::ReadOnly);
    RtfReader reader;
    QVERIFY(reader.read(&one, c));
    QCOMPARE(doc.toPlainText(), QStringLiteral("xAy"));
    QCOMPARE(doc.begin().blockFormat().alignment(), Qt::AlignHCenter);
    QCOMPARE(c.position(), 2);

    QBuffer two;
    two.setData("{\\rtf1 B\\par\\qr C}");
    two.open(QIODevice::ReadOnly);
    QVERIFY(reader.read(&two, c));
    QCOMPARE(doc.toPlainText(), QStringLiteral("xAB\nCy"));
    QCOMPARE(doc.begin().blockFormat().alignment(), Qt::AlignHCenter);
    QCOMPARE(doc.lastBlock().blockFormat().alignment(), Qt::AlignRight);

    // A selection is replaced.
    c.setPosition(0);
    c.setPosition(3, QTextCursor::KeepAnchor);
    QBuffer three;
    three.setData("{\\rtf1 z}");
    three.open(QIODevice::ReadOnly);
    QVERIFY(reader.read(&three, c));
    QCOMPARE(doc.toPlainText(), QStringLiteral("z\nCy"));
    QCOMPARE(doc.begin().blockFormat().alignment(), Qt::AlignHCenter);
}

// A GUI application, for the platform's default font that a document without one of its own has.
QTEST_MAIN(tst_Rtf)
#include "tst_rtf.moc"
