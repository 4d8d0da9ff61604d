#include "editor/RecentFiles.h"
#include "editor/ScriptDocument.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextList>
#include <QtTest>

#include <functional>

// The script object's rules without a window: what formatting plain text cannot keep,
// and the recent-files list.
class tst_ScriptDocument : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void holdsFormatting_data();
    void holdsFormatting();
    void recentFiles_data();
    void recentFiles();
};

using Change = std::function<void(QTextCursor &)>;
Q_DECLARE_METATYPE(Change)

namespace {

// "plain script" on two lines, every run in one face and size as Open leaves it, the
// first character black as Open makes it.
void plainScript(QTextDocument &doc)
{
    doc.setDefaultFont(QFont(QStringLiteral("Arial"), 60));
    QTextCursor c(&doc);
    QTextCharFormat look;
    look.setFontFamilies({QStringLiteral("Arial")});
    look.setFontPointSize(60);
    c.insertText(QStringLiteral("plain script"), look);
    c.insertBlock();
    c.insertText(QStringLiteral("second line"), look);
    QTextCursor first(&doc);
    first.setPosition(1, QTextCursor::KeepAnchor);
    QTextCharFormat black;
    black.setForeground(Qt::black);
    first.mergeCharFormat(black);
}

void select(QTextCursor &c, int from, int to)
{
    c.setPosition(from);
    c.setPosition(to, QTextCursor::KeepAnchor);
}

void merge(QTextCursor &c, int from, int to, const std::function<void(QTextCharFormat &)> &set)
{
    select(c, from, to);
    QTextCharFormat f;
    set(f);
    c.mergeCharFormat(f);
}

}

void tst_ScriptDocument::holdsFormatting_data()
{
    QTest::addColumn<Change>("change");
    QTest::addColumn<bool>("formatted");
    QTest::newRow("as read") << Change([](QTextCursor &) {}) << false;
    QTest::newRow("typed text") << Change([](QTextCursor &c) {
        c.setPosition(5);
        c.insertText(QStringLiteral("ed"));
    }) << false;
    QTest::newRow("the same colour made explicit") << Change([](QTextCursor &c) {
        merge(c, 0, 20, [](QTextCharFormat &f) { f.setForeground(Qt::black); });
    }) << false;
    QTest::newRow("bold") << Change([](QTextCursor &c) {
        merge(c, 2, 4, [](QTextCharFormat &f) { f.setFontWeight(QFont::Bold); });
    }) << true;
    QTest::newRow("italic") << Change([](QTextCursor &c) {
        merge(c, 2, 4, [](QTextCharFormat &f) { f.setFontItalic(true); });
    }) << true;
    QTest::newRow("underline") << Change([](QTextCursor &c) {
        merge(c, 14, 16, [](QTextCharFormat &f) { f.setFontUnderline(true); });
    }) << true;
    QTest::newRow("a second colour") << Change([](QTextCursor &c) {
        merge(c, 14, 16, [](QTextCharFormat &f) { f.setForeground(Qt::red); });
    }) << true;
    QTest::newRow("a second size") << Change([](QTextCursor &c) {
        merge(c, 14, 16, [](QTextCharFormat &f) { f.setFontPointSize(20); });
    }) << true;
    QTest::newRow("a second face") << Change([](QTextCursor &c) {
        merge(c, 3, 5, [](QTextCharFormat &f) { f.setFontFamilies({QStringLiteral("Courier New")}); });
    }) << true;
    QTest::newRow("all one other size") << Change([](QTextCursor &c) {
        merge(c, 0, 24, [](QTextCharFormat &f) { f.setFontPointSize(20); });
    }) << false;
    QTest::newRow("centred") << Change([](QTextCursor &c) {
        c.setPosition(15);
        QTextBlockFormat f;
        f.setAlignment(Qt::AlignHCenter | Qt::AlignAbsolute);
        c.mergeBlockFormat(f);
    }) << true;
    QTest::newRow("left made explicit") << Change([](QTextCursor &c) {
        QTextBlockFormat f;
        f.setAlignment(Qt::AlignLeft | Qt::AlignAbsolute);
        c.mergeBlockFormat(f);
    }) << false;
    QTest::newRow("bullets") << Change([](QTextCursor &c) {
        c.setPosition(15);
        c.createList(QTextListFormat::ListDisc);
    }) << true;
}

void tst_ScriptDocument::holdsFormatting()
{
    QFETCH(Change, change);
    QFETCH(bool, formatted);
    QTextDocument doc;
    plainScript(doc);
    QTextCursor cursor(&doc);
    change(cursor);
    // Text without a colour of its own shows black: the same as the black first character.
    QCOMPARE(ScriptDocument::HoldsFormatting(doc, 0x000000), formatted);
}

void tst_ScriptDocument::recentFiles_data()
{
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<QString>("added");
    QTest::addColumn<QStringList>("after");
    QTest::newRow("first") << QStringList() << "/s/a.rtf" << QStringList{"/s/a.rtf"};
    QTest::newRow("newest first") << QStringList{"/s/a.rtf"} << "/s/b.rtf" << QStringList{"/s/b.rtf", "/s/a.rtf"};
    QTest::newRow("used again moves up") << QStringList{"/s/a.rtf", "/s/b.rtf", "/s/c.rtf"} << "/s/b.rtf"
                                         << QStringList{"/s/b.rtf", "/s/a.rtf", "/s/c.rtf"};
    QTest::newRow("one file however written") << QStringList{"/s/a.rtf", "/s/b.rtf"} << "/s/x/../b.rtf"
                                              << QStringList{"/s/b.rtf", "/s/a.rtf"};
    QStringList eight;
    for (int i = 1; i <= 8; ++i)
        eight << QStringLiteral("/s/%1.rtf").arg(i);
    QStringList shifted = eight;
    shifted.removeLast();
    shifted.prepend(QStringLiteral("/s/new.rtf"));
    QTest::newRow("the oldest falls off past eight") << eight << "/s/new.rtf" << shifted;
    QStringList moved = eight;
    moved.move(7, 0);
    QTest::newRow("the oldest used again stays") << eight << "/s/8.rtf" << moved;
}

void tst_ScriptDocument::recentFiles()
{
    QFETCH(QStringList, before);
    QFETCH(QString, added);
    QFETCH(QStringList, after);
    QCOMPARE(RecentFiles::Added(before, added), after);
    QStringList removed = after;
    removed.removeFirst();
    QCOMPARE(RecentFiles::Removed(after, added), removed);
}

QTEST_MAIN(tst_ScriptDocument)
#include "tst_scriptdocument.moc"
