#include "core/CorvantaError.h"
#include "spelling/HunspellDictionary.h"
#include "spelling/LexiconFile.h"
#include "spelling/Lexicons.h"
#include "spelling/SpellCheckRun.h"
#include "spelling/SpellEngineOptions.h"

#include "SpecialFiles.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QtTest>

// The word walk, the word lists and the dictionaries, without windows.
class tst_SpellCheckRun : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void wordsOf_data();
    void wordsOf();
    void sentenceAround_data();
    void sentenceAround();
    void editDistance_data();
    void editDistance();
    void wordListCase_data();
    void wordListCase();
    void stopsAtEachMisspelling();
    void changeKeepsFormatAndShiftsLaterWords();
    void changeAllAndIgnoreAll();
    void automaticCorrections_data();
    void automaticCorrections();
    void selectedRangeOnly();
    void resetForgetsSessionDecisions();
    void lexiconFileParse();
    void appendWordKeepsFileAndEncoding();
    void wordListThatIsAPipe();
    void addWritesUserListAndCountsAtOnce();
    void addToUnwritableFolderThrowsAndGoesOn();
    void listsMissingHereAreLookedForElsewhere_data();
    void listsMissingHereAreLookedForElsewhere();
    void hunspellDictionary_data();
    void hunspellDictionary();

private:
    static QStringList words(const QString &text);
};

namespace {

const QStringList Known = {"this",  "is",    "a",     "test",  "of",  "the", "spelling", "check", "word", "words",
                           "wrong", "right", "don't", "Paris", "red", "and", "blue",     "it",    "here"};

// Runs a check that ignores every stop and returns the words it stopped at.
QStringList stops(SpellCheckRun &run)
{
    QStringList found;
    while (run.Next()) {
        found << run.Current().word;
        run.Ignore();
    }
    return found;
}

SpellEngineOptions optionsFor(const QString &folder)
{
    SpellEngineOptions o;
    o.MainLexPath = folder + QLatin1Char('/');
    o.UserLexPath = folder + QLatin1Char('/');
    o.MainLexFiles = QStringLiteral("main.tlx");
    o.UserLexFiles = QStringLiteral("userdic.tlx, correct.tlx");
    return o;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

}

QStringList tst_SpellCheckRun::words(const QString &text)
{
    QStringList result;
    for (const auto &[start, length] : WordsOf(text))
        result << text.mid(start, length);
    return result;
}

void tst_SpellCheckRun::wordsOf_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("plain") << "Ths is  a tset." << QStringList{"Ths", "is", "a", "tset"};
    QTest::newRow("apostrophes inside") << "don't, it\u2019s dogs'" << QStringList{"don't", "it\u2019s", "dogs"};
    QTest::newRow("digits are not words") << "route 66 and 3rd B2B" << QStringList{"route", "and"};
    QTest::newRow("markers and hyphens") << "\u00a4Helo \u00bbthere e-mail"
                                         << QStringList{"Helo", "there", "e", "mail"};
    QTest::newRow("accented") << "caf\u00e9 na\u00efve" << QStringList{"caf\u00e9", "na\u00efve"};
    QTest::newRow("nothing") << " , 42 ... " << QStringList{};
}

void tst_SpellCheckRun::wordsOf()
{
    QFETCH(QString, text);
    QFETCH(QStringList, expected);
    QCOMPARE(words(text), expected);
}

void tst_SpellCheckRun::sentenceAround_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("word");
    QTest::addColumn<int>("maxLength");
    QTest::addColumn<QString>("sentence");
    QTest::newRow("middle sentence") << "First one. The wrnog word here. Last one."
                                     << "wrnog" << 240 << "The wrnog word here.";
    QTest::newRow("first sentence") << "Wrnog start. Then more."
                                    << "Wrnog" << 240 << "Wrnog start.";
    QTest::newRow("line breaks read as blanks") << "A line\u2028with wrnog in it."
                                                << "wrnog" << 240 << "A line with wrnog in it.";
    QTest::newRow("long sentence is cut around the word") << "aaaa bbbb cccc wrnog dddd eeee ffff"
                                                          << "wrnog" << 15 << "cccc wrnog dddd";
}

void tst_SpellCheckRun::sentenceAround()
{
    QFETCH(QString, text);
    QFETCH(QString, word);
    QFETCH(int, maxLength);
    QFETCH(QString, sentence);
    const int start = int(text.indexOf(word));
    const auto [shown, at] = SentenceAround(text, start, int(word.size()), maxLength);
    QCOMPARE(shown, sentence);
    QCOMPARE(shown.mid(at, word.size()), word);
}

void tst_SpellCheckRun::editDistance_data()
{
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<int>("distance");
    QTest::newRow("same") << "word"
                          << "word" << 0;
    QTest::newRow("substitution") << "word"
                                  << "ward" << 1;
    QTest::newRow("insertion") << "wrd"
                               << "word" << 1;
    QTest::newRow("deletion") << "worrd"
                              << "word" << 1;
    QTest::newRow("swap of neighbours") << "wrod"
                                        << "word" << 1;
    QTest::newRow("two edits") << "wrodd"
                               << "word" << 2;
    QTest::newRow("over the limit") << "xyzw"
                                    << "word" << 3;
    QTest::newRow("lengths too far apart") << "a"
                                           << "abcdef" << 3;
}

void tst_SpellCheckRun::editDistance()
{
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(int, distance);
    QCOMPARE(EditDistance(a, b, 2), distance);
    QCOMPARE(EditDistance(b, a, 2), distance);
}

void tst_SpellCheckRun::wordListCase_data()
{
    QTest::addColumn<QString>("word");
    QTest::addColumn<bool>("correct");
    QTest::newRow("listed lower, written lower") << "red" << true;
    QTest::newRow("listed lower, capitalised") << "Red" << true;
    QTest::newRow("listed lower, capitals") << "RED" << true;
    QTest::newRow("listed lower, mixed") << "rEd" << false;
    QTest::newRow("listed capitalised, capitals") << "PARIS" << true;
    QTest::newRow("listed capitalised, lower") << "paris" << false;
    QTest::newRow("typographic apostrophe") << "don\u2019t" << true;
    QTest::newRow("not listed") << "reed" << false;
}

void tst_SpellCheckRun::wordListCase()
{
    QFETCH(QString, word);
    QFETCH(bool, correct);
    const WordListDictionary list(Known);
    QCOMPARE(list.IsCorrect(word), correct);
}

void tst_SpellCheckRun::stopsAtEachMisspelling()
{
    const WordListDictionary list(Known);
    Lexicons lexicons(&list);
    QTextDocument doc;
    doc.setPlainText(QStringLiteral("Ths is a tset\nof the speling 42 check."));
    SpellCheckRun run(&doc, lexicons, true);

    QVERIFY(run.Next());
    QCOMPARE(run.Current().word, QStringLiteral("Ths"));
    QCOMPARE(run.Current().position, 0);
    QVERIFY(run.Current().suggestions.contains(QStringLiteral("This")));
    run.Ignore();
    QVERIFY(run.Next());
    QCOMPARE(run.Current().word, QStringLiteral("tset"));
    QCOMPARE(run.Current().position, 9);
    QCOMPARE(run.Current().suggestions.constFirst(), QStringLiteral("test"));
    QCOMPARE(run.Current().context, QStringLiteral("Ths is a tset"));
    run.Ignore();
    QVERIFY(run.Next());
    QCOMPARE(run.Current().word, QStringLiteral("speling"));
    QCOMPARE(run.Current().position, 21);
    QCOMPARE(run.Current().context.mid(run.Current().wordInContext, 7), QStringLiteral("speling"));
    run.Ignore();
    QVERIFY(!run.Next());
    QVERIFY(!run.Next());
    QCOMPARE(run.Statistics().WordsChecked, 8);
    QCOMPARE(run.Statistics().ErrorsDetected, 3);
    QCOMPARE(run.Statistics().WordsChanged, 0);
    QCOMPARE(doc.toPlainText(), QStringLiteral("Ths is a tset\nof the speling 42 check."));
}

void tst_SpellCheckRun::changeKeepsFormatAndShiftsLaterWords()
{
    const WordListDictionary list(Known);
    Lexicons lexicons(&list);
    QTextDocument doc;
    QTextCursor cursor(&doc);
    QTextCharFormat plain, bold;
    bold.setFontWeight(QFont::Bold);
    bold.setForeground(Qt::red);
    cursor.insertText(QStringLiteral("a "), plain);
    cursor.insertText(QStringLiteral("wrnog"), bold);
    cursor.insertText(QStringLiteral(" test and blu"), plain);

    SpellCheckRun run(&doc, lexicons, true);
    QVERIFY(run.Next());
    QCOMPARE(run.Current().word, QStringLiteral("wrnog"));
    run.Change(QStringLiteral("wrong word"));
    QCOMPARE(doc.toPlainText(), QStringLiteral("a wrong word test and blu"));
    // The replacement took the format of the word; its neighbours kept theirs.
    for (int i = 2; i < 12; ++i) {
        QTextCursor probe(&doc);
        probe.setPosition(i + 1);
        QCOMPARE(probe.charFormat().fontWeight(), int(QFont::Bold));
        QCOMPARE(probe.charFormat().foreground().color(), QColor(Qt::red));
    }
    QTextCursor after(&doc);
    after.setPosition(14);
    QCOMPARE(after.charFormat().fontWeight(), int(QFont::Normal));

    QVERIFY(run.Next());
    QCOMPARE(run.Current().word, QStringLiteral("blu"));
    QCOMPARE(run.Current().position, 22);
    run.Change(QString());
    QCOMPARE(doc.toPlainText(), QStringLiteral("a wrong word test and "));
    QVERIFY(!run.Next());
    QCOMPARE(run.Statistics().WordsChanged, 2);
}

void tst_SpellCheckRun::changeAllAndIgnoreAll()
{
    const WordListDictionary list(Known);
    Lexicons lexicons(&list);
    QTextDocument doc;
    doc.setPlainText(QStringLiteral("tst xyz tst\nxyz tst wrd wrd"));
    SpellCheckRun run(&doc, lexicons, true);
    QVERIFY(run.Next());
    run.ChangeAll(QStringLiteral("test"));
    QVERIFY(run.Next());
    QCOMPARE(run.Current().word, QStringLiteral("xyz"));
    run.IgnoreAll();
    QVERIFY(run.Next());
    QCOMPARE(run.Current().word, QStringLiteral("wrd"));
    QCOMPARE(run.Current().position, 23);
    run.Change(QStringLiteral("word")); // one only
    QVERIFY(run.Next());
    QCOMPARE(run.Current().word, QStringLiteral("wrd"));
    run.Ignore();
    QVERIFY(!run.Next());
    QCOMPARE(doc.toPlainText(), QStringLiteral("test xyz test\nxyz test word wrd"));
    QCOMPARE(run.Statistics().WordsChanged, 4);
}

void tst_SpellCheckRun::automaticCorrections_data()
{
    QTest::addColumn<bool>("autoCorrect");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("result");
    QTest::addColumn<QStringList>("stoppedAt");
    QTest::newRow("on, in every case") << true << "teh Teh TEH tEh"
                                       << "the The THE tEh" << QStringList{"tEh"};
    QTest::newRow("on, replacement of two words") << true << "alot here"
                                                  << "a lot here" << QStringList{};
    QTest::newRow("off: asked, correction first") << false << "teh"
                                                  << "teh" << QStringList{"teh"};
}

void tst_SpellCheckRun::automaticCorrections()
{
    QFETCH(bool, autoCorrect);
    QFETCH(QString, text);
    QFETCH(QString, result);
    QFETCH(QStringList, stoppedAt);
    QTemporaryDir dir;
    writeFile(dir.filePath(QStringLiteral("correct.tlx")), "teh=the\r\nalot = a lot\r\n");
    const WordListDictionary list(Known);
    Lexicons lexicons(&list);
    lexicons.Load(optionsFor(dir.path()));
    QTextDocument doc;
    doc.setPlainText(text);
    SpellCheckRun run(&doc, lexicons, autoCorrect);
    QStringList found;
    while (run.Next()) {
        found << run.Current().word;
        if (!autoCorrect)
            QCOMPARE(run.Current().suggestions.constFirst(), QStringLiteral("the"));
        run.Ignore();
    }
    QCOMPARE(found, stoppedAt);
    QCOMPARE(doc.toPlainText(), result);
}

void tst_SpellCheckRun::selectedRangeOnly()
{
    const WordListDictionary list(Known);
    Lexicons lexicons(&list);
    QTextDocument doc;
    doc.setPlainText(QStringLiteral("aaa bbb ccc ddd eee"));
    SpellCheckRun run(&doc, lexicons, true, 4, 15);
    QVERIFY(run.Next());
    run.Change(QStringLiteral("longer"));
    // The end of the range moves with the text it holds.
    QCOMPARE(stops(run), QStringList({"ccc", "ddd"}));
}

void tst_SpellCheckRun::resetForgetsSessionDecisions()
{
    const WordListDictionary list(Known);
    Lexicons lexicons(&list);
    lexicons.IgnoreAll(QStringLiteral("xyz"));
    lexicons.ChangeAll(QStringLiteral("tst"), QStringLiteral("test"));
    QCOMPARE(lexicons.Check(QStringLiteral("xyz"), true).kind, Lexicons::Verdict::Correct);
    QCOMPARE(lexicons.Check(QStringLiteral("tst"), true).kind, Lexicons::Verdict::Change);
    lexicons.Reset();
    QCOMPARE(lexicons.Check(QStringLiteral("xyz"), true).kind, Lexicons::Verdict::Misspelt);
    QCOMPARE(lexicons.Check(QStringLiteral("tst"), true).kind, Lexicons::Verdict::Misspelt);
}

void tst_SpellCheckRun::lexiconFileParse()
{
    const LexiconEntries e = LexiconFile::parse(QStringLiteral("  Corvanta \n\nteh=the\n=broken\nalot = a lot\n"));
    QCOMPARE(e.words, QStringList({"Corvanta"}));
    QCOMPARE(e.corrections.size(), 2);
    QCOMPARE(e.corrections.at(0), std::make_pair(QStringLiteral("teh"), QStringLiteral("the")));
    QCOMPARE(e.corrections.at(1), std::make_pair(QStringLiteral("alot"), QStringLiteral("a lot")));
}

void tst_SpellCheckRun::appendWordKeepsFileAndEncoding()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("userdic.tlx"));
    writeFile(path, "first\r\nsecond");
    LexiconFile::appendWord(path, QStringLiteral("caf\u00e9"));
    LexiconFile::appendWord(path, QStringLiteral("third"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("first\r\nsecond\r\ncaf\xe9\r\nthird\r\n"));
    QCOMPARE(LexiconFile::read(path).words, QStringList({"first", "second", "caf\u00e9", "third"}));
}

// A word list that is a pipe with no writer neither holds the check nor takes a word.
void tst_SpellCheckRun::wordListThatIsAPipe()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("userdic.tlx"));
    QVERIFY(MakeFifo(path));
    const LateWriter writer(path);
    QElapsedTimer clock;
    clock.start();
    QVERIFY(LexiconFile::read(path).words.isEmpty());
    QVERIFY2(clock.elapsed() < 1000, "the read waited on the pipe");
    try {
        LexiconFile::appendWord(path, QStringLiteral("Corvanta"));
        QFAIL("a word was added to a pipe");
    } catch (const CorvantaError &e) {
        QCOMPARE(e.text(), QStringLiteral("%1 is not a regular file").arg(path));
    }
    QVERIFY2(clock.elapsed() < 1000, "adding waited on the pipe");
}

void tst_SpellCheckRun::addWritesUserListAndCountsAtOnce()
{
    QTemporaryDir dir;
    const WordListDictionary list(Known);
    Lexicons lexicons(&list);
    lexicons.Load(optionsFor(dir.path()));
    QCOMPARE(lexicons.UserListPath(), dir.filePath(QStringLiteral("userdic.tlx")));
    QTextDocument doc;
    doc.setPlainText(QStringLiteral("Corvanta is Corvanta"));
    SpellCheckRun run(&doc, lexicons, true);
    QVERIFY(run.Next());
    run.Add();
    QVERIFY(!run.Next());
    QCOMPARE(LexiconFile::read(lexicons.UserListPath()).words, QStringList({"Corvanta"}));

    // A later check, after the lists are read again, knows the word.
    Lexicons fresh(&list);
    fresh.Load(optionsFor(dir.path()));
    SpellCheckRun again(&doc, fresh, true);
    QVERIFY(!again.Next());
}

void tst_SpellCheckRun::listsMissingHereAreLookedForElsewhere_data()
{
    // Folders: own (where words are added), then the search path: data1, data2.
    QTest::addColumn<QStringList>("correctIn");
    QTest::addColumn<QString>("corrected"); // what "teh" becomes
    QTest::newRow("own copy wins") << QStringList{"own", "data1", "data2"} << "own";
    QTest::newRow("first of the search path") << QStringList{"data1", "data2"} << "data1";
    QTest::newRow("last of the search path") << QStringList{"data2"} << "data2";
    QTest::newRow("nowhere: no correction") << QStringList{} << "teh";
}

void tst_SpellCheckRun::listsMissingHereAreLookedForElsewhere()
{
    QFETCH(QStringList, correctIn);
    QFETCH(QString, corrected);
    QTemporaryDir dir;
    for (const char *folder : {"own", "data1", "data2"})
        QVERIFY(QDir(dir.path()).mkdir(QLatin1String(folder)));
    // Each copy corrects to the name of its folder.
    for (const QString &folder : correctIn)
        writeFile(dir.filePath(folder + QStringLiteral("/correct.tlx")), "teh=" + folder.toLatin1() + "\r\n");
    writeFile(dir.filePath(QStringLiteral("data1/userdic.tlx")), "Corvanta\r\n");

    SpellEngineOptions options = optionsFor(dir.filePath(QStringLiteral("own")));
    options.LexSearchPath = {dir.filePath(QStringLiteral("data1")), dir.filePath(QStringLiteral("data2"))};
    const WordListDictionary list(Known);
    Lexicons lexicons(&list);
    lexicons.Load(options);
    QTextDocument doc;
    doc.setPlainText(QStringLiteral("teh Corvanta"));
    SpellCheckRun run(&doc, lexicons, true);
    QCOMPARE(stops(run), corrected == u"teh" ? QStringList{"teh"} : QStringList{});
    QCOMPARE(doc.toPlainText(), corrected + QStringLiteral(" Corvanta"));
    // Words added go to the own folder, whichever copy was read.
    QCOMPARE(lexicons.UserListPath(), dir.filePath(QStringLiteral("own/userdic.tlx")));
}

void tst_SpellCheckRun::addToUnwritableFolderThrowsAndGoesOn()
{
    const WordListDictionary list(Known);
    Lexicons lexicons(&list);
    lexicons.Load(optionsFor(QStringLiteral("/nonexistent/folder")));
    QTextDocument doc;
    doc.setPlainText(QStringLiteral("Corvanta xyz Corvanta"));
    SpellCheckRun run(&doc, lexicons, true);
    QVERIFY(run.Next());
    QVERIFY_THROWS_EXCEPTION(CorvantaError, run.Add());
    // The word still counts for this check, which goes on after it.
    QCOMPARE(stops(run), QStringList({"xyz"}));
}

void tst_SpellCheckRun::hunspellDictionary_data()
{
    QTest::addColumn<QString>("word");
    QTest::addColumn<bool>("correct");
    QTest::addColumn<QString>("suggested");
    QTest::newRow("known") << "keyboard" << true << "";
    QTest::newRow("capitalised") << "Hello" << true << "";
    QTest::newRow("typographic apostrophe") << "don\u2019t" << true << "";
    QTest::newRow("misspelt") << "speling" << false << "spelling";
    QTest::newRow("misspelt, capitalised") << "Recieve" << false << "Receive";
}

void tst_SpellCheckRun::hunspellDictionary()
{
    QFETCH(QString, word);
    QFETCH(bool, correct);
    QFETCH(QString, suggested);
    const auto dictionary = HunspellDictionary::System(QStringLiteral("en_US"));
    if (!dictionary)
        QSKIP("The en_US Hunspell dictionary is not installed");
    QCOMPARE(dictionary->IsCorrect(word), correct);
    if (!suggested.isEmpty())
        QVERIFY2(dictionary->Suggestions(word).contains(suggested),
                 qPrintable(dictionary->Suggestions(word).join(',')));
}

QTEST_GUILESS_MAIN(tst_SpellCheckRun)
#include "tst_spellcheckrun.moc"
