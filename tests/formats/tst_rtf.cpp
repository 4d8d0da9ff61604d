#include "formats/RtfReader.h"
#include "formats/RtfWriter.h"

#include <QBuffer>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
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
    void damagedInput_data();
    void damagedInput();
    void notRtf_data();
    void notRtf();
    void deepNesting();
    void writerOutput();
    void everyCharacterRoundTrips();
    void formatsRoundTrip();
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

} // namespace

void tst_Rtf::fixtureText_data()
{
    QTest::addColumn<QString>("name");
    for (const char *name : {"fonts_sizes", "styles", "colours", "alignment_indent", "bullets", "charset",
                             "wordpad_fonts_styles", "wordpad_align_bullets", "wordpad_charset"})
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

QTEST_GUILESS_MAIN(tst_Rtf)
#include "tst_rtf.moc"
