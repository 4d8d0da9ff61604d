#include "search/DocumentSearchEditor.h"
#include "search/SearchRules.h"

#include <QRandomGenerator>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QtTest>

namespace {

// A script editor reduced to its text and selection.
class TextEditor : public SearchEditor
{
public:
    QString text;
    int start = 0;
    int length = 0;

    int SelStart() const override { return start; }
    int SelLength() const override { return length; }
    void Select(int s, int l) override
    {
        start = std::clamp(s, 0, int(text.size()));
        length = std::clamp(l, 0, int(text.size()) - start);
    }
    void ReplaceSelection(const QString &t) override
    {
        text.replace(start, length, t);
        start += int(t.size());
        length = 0;
    }
    // The text with the selection in brackets (a bare caret is not shown).
    QString shown() const
    {
        if (length == 0)
            return text;
        return text.left(start) + QLatin1Char('[') + text.mid(start, length) + QLatin1Char(']')
               + text.mid(start + length);
    }
};

}

// The find and replace dialogs' searches, without the dialogs.
class tst_SearchRules : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void findDialog_data();
    void findDialog();
    void replaceDialog_data();
    void replaceDialog();
    void replacementsOverEarlierOnes_data();
    void replacementsOverEarlierOnes();
    void hitsAlwaysMatchTheScript();
    void replaceAllAgreesWithPlainReplace();
    void documentReplaceKeepsFormatAndIsOneUndo();
};

// Steps: "next FIELD" (Find Next, with the field as typed), "error" (Error Marker),
// "show" (the dialog shown again). After each step: the script with the selection in
// brackets, the field, and "none" when "No more text to search" was shown.
void tst_SearchRules::findDialog_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("empty field searches the jump marker")
        << QStringLiteral("go \u00bb on \u00bb") << QStringList{QStringLiteral("next "), QStringLiteral("next ")}
        << QStringList{QStringLiteral("go [\u00bb] on \u00bb | \u00bb"), QStringLiteral("go \u00bb on [\u00bb] | \u00bb")};
    QTest::newRow("any case, field turns lower")
        << QStringLiteral("HELLO and hello") << QStringList{QStringLiteral("next Hello"), QStringLiteral("next hello")}
        << QStringList{QStringLiteral("[HELLO] and hello | hello"), QStringLiteral("HELLO and [hello] | hello")};
    QTest::newRow("overlapping hits, then none")
        << QStringLiteral("aaa")
        << QStringList{QStringLiteral("next aa"), QStringLiteral("next aa"), QStringLiteral("next aa")}
        << QStringList{QStringLiteral("[aa]a | aa"), QStringLiteral("a[aa] | aa"), QStringLiteral("a[aa] | aa none")};
    QTest::newRow("no wrap; showing again starts at the top")
        << QStringLiteral("x y x")
        << QStringList{QStringLiteral("next x"), QStringLiteral("next x"), QStringLiteral("next x"),
                       QStringLiteral("next x"), QStringLiteral("show"), QStringLiteral("next x")}
        << QStringList{QStringLiteral("[x] y x | x"), QStringLiteral("x y [x] | x"), QStringLiteral("x y [x] | x none"),
                       QStringLiteral("x y [x] | x none"), QStringLiteral("x y [x] | x"), QStringLiteral("[x] y x | x")};
    QTest::newRow("error marker after the last hit")
        << QStringLiteral("\u00a4a b \u00a4c \u00a4")
        << QStringList{QStringLiteral("next B"), QStringLiteral("error"), QStringLiteral("error"), QStringLiteral("error")}
        << QStringList{QStringLiteral("\u00a4a [b] \u00a4c \u00a4 | b"), QStringLiteral("\u00a4a b [\u00a4]c \u00a4 | \u00a4"),
                       QStringLiteral("\u00a4a b \u00a4c [\u00a4] | \u00a4"), QStringLiteral("\u00a4a b \u00a4c [\u00a4] | \u00a4 none")};
    QTest::newRow("line breaks count one")
        << QStringLiteral("ab\ncd\nab") << QStringList{QStringLiteral("next D\nA")}
        << QStringList{QStringLiteral("ab\nc[d\na]b | d\na")};
    QTest::newRow("accented capitals")
        << QStringLiteral("caf\u00e9 CAF\u00c9") << QStringList{QStringLiteral("next \u00c9"), QStringLiteral("next \u00c9")}
        << QStringList{QStringLiteral("caf[\u00e9] CAF\u00c9 | \u00e9"), QStringLiteral("caf\u00e9 CAF[\u00c9] | \u00e9")};
}

void tst_SearchRules::findDialog()
{
    QFETCH(QString, script);
    QFETCH(QStringList, steps);
    QFETCH(QStringList, expected);

    TextEditor editor;
    editor.text = script;
    FindSearch search;
    search.FormShow(script);
    QString field;
    QStringList seen;
    for (const QString &step : steps) {
        FindSearch::Outcome outcome{field, true};
        if (step == QLatin1String("show"))
            search.FormShow(editor.text);
        else if (step == QLatin1String("error"))
            outcome = search.ErrorMarker(editor);
        else
            outcome = search.FindNext(editor, step.mid(5));
        field = outcome.field;
        seen << editor.shown() + QStringLiteral(" | ") + field + (outcome.found ? QString() : QStringLiteral(" none"));
    }
    QCOMPARE(seen, expected);
}

// Steps: "find FIELD", "replace WITH", "all FIELD>WITH", "open" (the dialog opened again).
// After each step: the script with the selection in brackets, and FoundPos; "none"
// when a Find Next showed "No more text to search".
void tst_SearchRules::replaceDialog_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<int>("foundPosBefore");
    QTest::addColumn<int>("selStart");
    QTest::addColumn<int>("selLength");
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("expected");

    auto row = [](const char *name, const QString &script, const QStringList &steps, const QStringList &expected,
                  int foundPos = 0, int selStart = 0, int selLength = 0) {
        QTest::newRow(name) << script << foundPos << selStart << selLength << steps << expected;
    };
    row("replace all, longer", QStringLiteral("ab ab"), {QStringLiteral("all ab>xyz")},
        {QStringLiteral("xyz xyz @0")});
    row("replace all, any case", QStringLiteral("Ab AB ab"), {QStringLiteral("all aB>x")}, {QStringLiteral("x x x @0")});
    row("replace all with nothing removes", QStringLiteral("one, two, three"), {QStringLiteral("all , >")},
        {QStringLiteral("onetwothree @0")});
    row("replace all, text to find empty", QStringLiteral("abc"), {QStringLiteral("all >x")}, {QStringLiteral("abc @0")});
    row("replace all, replacement holds the text", QStringLiteral("a a"), {QStringLiteral("all a>aa")},
        {QStringLiteral("aa aa @0")});
    row("replace all skips the hits already passed", QStringLiteral("ab ab ab"),
        {QStringLiteral("find ab"), QStringLiteral("find ab"), QStringLiteral("all ab>X")},
        {QStringLiteral("[ab] ab ab @1"), QStringLiteral("ab [ab] ab @3"), QStringLiteral("ab ab X @0")});
    row("replace all, overlapping hits replaced once", QStringLiteral("aaaa"), {QStringLiteral("all aa>b")},
        {QStringLiteral("bb @0")});
    row("replace all, overlapping hits, odd", QStringLiteral("aaa"), {QStringLiteral("all aa>b")},
        {QStringLiteral("ba @0")});
    row("find, replace, find on", QStringLiteral("cat cat cat"),
        {QStringLiteral("find CAT"), QStringLiteral("replace tiger"), QStringLiteral("find cat"),
         QStringLiteral("replace ox"), QStringLiteral("find cat"), QStringLiteral("find cat")},
        {QStringLiteral("[cat] cat cat @1"), QStringLiteral("tiger cat cat @1"), QStringLiteral("tiger [cat] cat @4"),
         QStringLiteral("tiger ox cat @4"), QStringLiteral("tiger ox [cat] @4"), QStringLiteral("tiger ox [cat] @0 none")});
    row("replace twice puts the text in again, and the search keeps its place", QStringLiteral("one two one"),
        {QStringLiteral("find one"), QStringLiteral("replace 1"), QStringLiteral("replace 1"), QStringLiteral("find one")},
        {QStringLiteral("[one] two one @1"), QStringLiteral("1 two one @1"), QStringLiteral("11 two one @1"),
         QStringLiteral("11 two [one] @8")});
    row("a hit overlapping a replacement is not found", QStringLiteral("aaa b"),
        {QStringLiteral("find aa"), QStringLiteral("replace X"), QStringLiteral("find aa"), QStringLiteral("find b")},
        {QStringLiteral("[aa]a b @1"), QStringLiteral("Xa b @1"), QStringLiteral("Xa b @0 none"),
         QStringLiteral("Xa [b] @4")});
    row("replace after a miss does nothing", QStringLiteral("abc"),
        {QStringLiteral("find z"), QStringLiteral("replace q"), QStringLiteral("find b")},
        {QStringLiteral("abc @0 none"), QStringLiteral("abc @0"), QStringLiteral("a[b]c @2")});
    row("empty field is never found", QStringLiteral("a\u00bbb"), {QStringLiteral("find ")},
        {QStringLiteral("a\u00bbb @0 none")});
    row("replace right after opening acts on the selection", QStringLiteral("ab \u00bb ab"),
        {QStringLiteral("replace XYZ"), QStringLiteral("find ab"), QStringLiteral("find ab")},
        {QStringLiteral("ab XYZ ab @3"), QStringLiteral("[ab] XYZ ab @1"), QStringLiteral("ab XYZ [ab] @5")}, 3, 3, 1);
    row("replace right after opening without a hit does nothing", QStringLiteral("ab \u00bb ab"),
        {QStringLiteral("replace XYZ")}, {QStringLiteral("ab [\u00bb] ab @0")}, 0, 3, 1);
    row("open again: a fresh pass over the changed script", QStringLiteral("ab ab"),
        {QStringLiteral("all ab>abab"), QStringLiteral("open"), QStringLiteral("find ab"), QStringLiteral("find ab")},
        {QStringLiteral("abab abab @0"), QStringLiteral("abab abab @0"), QStringLiteral("[ab]ab abab @1"),
         QStringLiteral("ab[ab] abab @2")});
}

void tst_SearchRules::replaceDialog()
{
    QFETCH(QString, script);
    QFETCH(int, foundPosBefore);
    QFETCH(int, selStart);
    QFETCH(int, selLength);
    QFETCH(QStringList, steps);
    QFETCH(QStringList, expected);

    TextEditor editor;
    editor.text = script;
    editor.Select(selStart, selLength);
    qint32 foundPos = foundPosBefore;
    ReplaceSearch search;
    search.Open(script, foundPos);
    QStringList seen;
    for (const QString &step : steps) {
        const qsizetype blank = step.indexOf(QLatin1Char(' '));
        const QString verb = step.left(blank);
        const QString arg = blank < 0 ? QString() : step.mid(blank + 1);
        bool found = true;
        if (verb == QLatin1String("open")) {
            search.Open(editor.text, foundPos);
        } else if (verb == QLatin1String("find")) {
            found = search.FindNext(editor, arg).found;
        } else if (verb == QLatin1String("replace")) {
            search.Replace(editor, arg);
        } else {
            const QStringList parts = arg.split(QLatin1Char('>'));
            QCOMPARE(search.ReplaceAll(editor, parts.at(0), parts.at(1)).field, parts.at(0).toLower());
        }
        seen << editor.shown() + QStringLiteral(" @") + QString::number(foundPos) + (found ? QString() : QStringLiteral(" none"));
    }
    QCOMPARE(seen, expected);
}

// Replacements that reach into text an earlier replacement put in: the snapshot text
// under both is gone, and what follows is found where it now stands.
void tst_SearchRules::replacementsOverEarlierOnes_data()
{
    QTest::addColumn<QList<int>>("edits"); // start, length, inserted length; in threes
    QTest::addColumn<QString>("needle");
    QTest::addColumn<int>("expectedStart"); // -1: no hit

    // "abcdefgh": cd becomes WXYZ ("abWXYZefgh"), then Ze is removed ("abWXYfgh").
    const QList<int> intoNewText{2, 2, 4, 5, 2, 0};
    QTest::newRow("text under both is gone") << intoNewText << QStringLiteral("e") << -1;
    QTest::newRow("text after both moved") << intoNewText << QStringLiteral("f") << 5;
    // Then an insertion right after the first replacement's text ("abWXYZ12efgh").
    QTest::newRow("insertion at the end of new text") << QList<int>{2, 2, 4, 6, 0, 2} << QStringLiteral("ef") << 8;
    // A replacement covering two earlier ones and the text between them.
    QTest::newRow("spanning two") << QList<int>{1, 1, 3, 6, 1, 0, 0, 7, 1} << QStringLiteral("gh") << 1;
    QTest::newRow("spanning two, inside gone") << QList<int>{1, 1, 3, 6, 1, 0, 0, 7, 1} << QStringLiteral("e") << -1;
}

void tst_SearchRules::replacementsOverEarlierOnes()
{
    QFETCH(QList<int>, edits);
    QFETCH(QString, needle);
    QFETCH(int, expectedStart);
    SearchPass pass;
    pass.Start(QStringLiteral("abcdefgh"));
    for (qsizetype i = 0; i + 2 < edits.size(); i += 3)
        pass.Replaced(edits.at(i), edits.at(i + 1), edits.at(i + 2));
    const SearchPass::Hit hit = pass.FindNext(needle);
    QCOMPARE(hit.found ? hit.start : -1, expectedStart);
}

// Whatever mix of Find Next, Replace and Replace All: every hit selected is the text
// searched for, in the script as it is at that moment.
void tst_SearchRules::hitsAlwaysMatchTheScript()
{
    QRandomGenerator random(20240611);
    const QStringList needles{QStringLiteral("a"), QStringLiteral("ab"), QStringLiteral("aa"), QStringLiteral("ba b")};
    const QStringList replacements{QString(), QStringLiteral("a"), QStringLiteral("AB"), QStringLiteral("xyzzy")};
    // An editor that checks each replacement of a Replace All against the text searched.
    struct CheckingEditor : TextEditor
    {
        QString needle;
        bool ok = true;
        void ReplaceSelection(const QString &t) override
        {
            if (!needle.isEmpty())
                ok = ok && text.mid(start, length).toLower() == needle;
            TextEditor::ReplaceSelection(t);
        }
    };
    for (int round = 0; round < 400; ++round) {
        CheckingEditor editor;
        for (int i = 0, n = random.bounded(1, 30); i < n; ++i)
            editor.text += QLatin1Char("aAb \n"[random.bounded(5)]);
        editor.Select(random.bounded(int(editor.text.size()) + 1), random.bounded(3));
        qint32 foundPos = random.bounded(2);
        ReplaceSearch search;
        search.Open(editor.text, foundPos);
        for (int step = 0; step < 12; ++step) {
            const QString needle = needles.at(random.bounded(needles.size()));
            const QString replacement = replacements.at(random.bounded(replacements.size()));
            const QString before = editor.text;
            switch (random.bounded(5)) {
            case 0: case 1: case 2:
                if (search.FindNext(editor, needle).found)
                    QCOMPARE(editor.text.mid(editor.start, editor.length).toLower(), needle);
                break;
            case 3:
                search.Replace(editor, replacement);
                break;
            default:
                editor.needle = needle;
                search.ReplaceAll(editor, needle, replacement);
                editor.needle.clear();
                QVERIFY2(editor.ok, qPrintable(before + QStringLiteral(" / ") + needle));
                break;
            }
        }
    }
}

// From a fresh opening, Replace All does what a plain left-to-right replacement of
// separate occurrences does.
void tst_SearchRules::replaceAllAgreesWithPlainReplace()
{
    QRandomGenerator random(7);
    for (int round = 0; round < 300; ++round) {
        TextEditor editor;
        for (int i = 0, n = random.bounded(0, 40); i < n; ++i)
            editor.text += QLatin1Char("abAB "[random.bounded(5)]);
        const QString needle = QStringList{QStringLiteral("a"), QStringLiteral("ab"), QStringLiteral("aa"),
                                           QStringLiteral("aba")}.at(random.bounded(4));
        const QString replacement = QStringList{QString(), QStringLiteral("b"), QStringLiteral("xyz")}.at(random.bounded(3));
        const QString expected = QString(editor.text).replace(needle, replacement, Qt::CaseInsensitive);
        qint32 foundPos = 0;
        ReplaceSearch search;
        search.Open(editor.text, foundPos);
        search.ReplaceAll(editor, needle, replacement);
        QCOMPARE(editor.text, expected);
    }
}

void tst_SearchRules::documentReplaceKeepsFormatAndIsOneUndo()
{
    QTextDocument document;
    QTextCursor cursor(&document);
    QTextCharFormat bold;
    bold.setFontWeight(QFont::Bold);
    QTextCharFormat red;
    red.setForeground(Qt::red);
    const QTextCharFormat plain;
    cursor.insertText(QStringLiteral("one "), plain);
    cursor.insertText(QStringLiteral("dog"), bold);
    cursor.insertText(QStringLiteral(" two "), plain);
    cursor.insertText(QStringLiteral("d"), red);
    cursor.insertText(QStringLiteral("og"), plain);
    cursor.insertBlock();
    cursor.insertText(QStringLiteral("DOG"), plain);
    const QString before = document.toPlainText();
    cursor.setPosition(0);

    DocumentSearchEditor editor(cursor);
    qint32 foundPos = 0;
    ReplaceSearch search;
    search.Open(document.toPlainText(), foundPos);
    QCOMPARE(search.ReplaceAll(editor, QStringLiteral("dog"), QStringLiteral("horse")).replaced, 3);
    QCOMPARE(document.toPlainText(), QStringLiteral("one horse two horse\nhorse"));
    // Each replacement takes the format of the hit's first character.
    auto formatAt = [&](int position) {
        QTextCursor c(&document);
        c.setPosition(position + 1);
        return c.charFormat();
    };
    QCOMPARE(formatAt(4).fontWeight(), int(QFont::Bold));
    QCOMPARE(formatAt(8).fontWeight(), int(QFont::Bold));
    QCOMPARE(formatAt(14).foreground().color(), QColor(Qt::red));
    QCOMPARE(formatAt(18).foreground().color(), QColor(Qt::red));
    QVERIFY(formatAt(9).fontWeight() != int(QFont::Bold));
    // The caret stands after the last replacement.
    QCOMPARE(editor.Cursor().position(), int(document.toPlainText().size()));
    QVERIFY(!editor.Cursor().hasSelection());
    // One undo takes back the whole Replace All.
    document.undo();
    QCOMPARE(document.toPlainText(), before);
}

QTEST_MAIN(tst_SearchRules)
#include "tst_searchrules.moc"
