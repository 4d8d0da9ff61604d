#include "core/Windows1252.h"
#include "settings/ProfileFile.h"

#include "SpecialFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

class TestProfileFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void windows1252_data();
    void windows1252();
    void windows1252KeepsEveryByte();
    void lookup_data();
    void lookup();
    void update_data();
    void update();
    void names();
    void updateRefusesWhatIsNotOneLine_data();
    void updateRefusesWhatIsNotOneLine();
    void saveReplacesFileWhole();
    void failedFileOperations();
    void readsOnlyRegularFiles_data();
    void readsOnlyRegularFiles();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_previousDir;
};

void TestProfileFile::init()
{
    m_previousDir = QDir::currentPath();
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QVERIFY(QDir::setCurrent(m_dir->path()));
}

void TestProfileFile::cleanup()
{
    QDir::setCurrent(m_previousDir);
    m_dir.reset();
}

void TestProfileFile::windows1252_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");

    QTest::newRow("ascii") << QByteArray("KEY1SPEED=1") << QStringLiteral("KEY1SPEED=1");
    QTest::newRow("markers") << QByteArray("\xBB\xA4") << QStringLiteral("\u00BB\u00A4");
    QTest::newRow("euro and quotes") << QByteArray("\x80\x93\x94\x9F") << QStringLiteral("\u20AC\u201C\u201D\u0178");
    QTest::newRow("dashes, trade mark, caron")
        << QByteArray("\x96\x97\x99\x8A\x9E") << QStringLiteral("\u2013\u2014\u2122\u0160\u017E");
    QTest::newRow("unassigned bytes") << QByteArray("\x81\x8D\x8F\x90\x9D")
                                      << QStringLiteral("\u0081\u008D\u008F\u0090\u009D");
    QTest::newRow("latin-1 top") << QByteArray("\xA0\xE9\xFF") << QStringLiteral("\u00A0\u00E9\u00FF");
}

void TestProfileFile::windows1252()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);

    QCOMPARE(Windows1252::decode(bytes), text);
    QCOMPARE(Windows1252::encodeLossy(text), bytes);
    QVERIFY(Windows1252::fits(text));
}

void TestProfileFile::windows1252KeepsEveryByte()
{
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all += char(b);
    QCOMPARE(Windows1252::encodeLossy(Windows1252::decode(all)), all);

    // U+0080 has no byte of its own (0x80 is the euro sign); a surrogate pair is one character.
    const QString foreign = QStringLiteral("a\u0080\u4E2D") + QString::fromUcs4(U"\U0001F600") + u'b';
    QCOMPARE(Windows1252::encodeLossy(foreign), QByteArray("a???b"));
    QVERIFY(!Windows1252::fits(foreign));
}

void TestProfileFile::lookup_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("defaultValue");
    QTest::addColumn<QString>("expected");

    const QString d = QStringLiteral("DEFAULT");
    QTest::newRow("names in any case, value as written") << QByteArray("[Scrolling]\r\nControl=com1\r\n") << "SCROLLING"
                                                         << "CONTROL" << d << "com1";
    QTest::newRow("missing key") << QByteArray("[S]\r\nK=v\r\n") << "S"
                                 << "X" << d << d;
    QTest::newRow("missing section") << QByteArray("[S]\r\nK=v\r\n") << "T"
                                     << "K" << d << d;
    QTest::newRow("default returned as given") << QByteArray() << "S"
                                               << "K"
                                               << " Value0 ERROR"
                                               << " Value0 ERROR";
    QTest::newRow("empty value is not missing") << QByteArray("[S]\r\nK=\r\n") << "S"
                                                << "K" << d << "";
    QTest::newRow("blanks around names and value") << QByteArray("  [ S ] \r\n \t K \t=  v w \t\r\n") << "S"
                                                   << "K" << d << "v w";
    QTest::newRow("lines without = ignored") << QByteArray("[S]\r\nK\r\n# K\r\nK=6\r\n") << "S"
                                             << "K" << d << "6";
    QTest::newRow("comment only") << QByteArray("[S]\r\n# K is 5\r\n") << "S"
                                  << "K" << d << d;
    QTest::newRow("own section of a shared key, second")
        << QByteArray("[A]\r\nDELAY0=1\r\n\r\n[B]\r\nDELAY0=2\r\n") << "B"
        << "DELAY0" << d << "2";
    QTest::newRow("own section of a shared key, first")
        << QByteArray("[A]\r\nDELAY0=1\r\n\r\n[B]\r\nDELAY0=2\r\n") << "A"
        << "DELAY0" << d << "1";
    QTest::newRow("key of another section not borrowed") << QByteArray("[A]\r\nK=1\r\n[B]\r\nJ=2\r\n") << "B"
                                                         << "K" << d << d;
    QTest::newRow("first of two equal keys") << QByteArray("[S]\r\nK=1\r\nK=2\r\n") << "S"
                                             << "K" << d << "1";
    QTest::newRow("= inside the value") << QByteArray("[S]\r\nK=a=b\r\n") << "S"
                                        << "K" << d << "a=b";
    QTest::newRow("key before any section") << QByteArray("K=1\r\n[S]\r\n") << "S"
                                            << "K" << d << d;
    QTest::newRow("LF endings, no final break") << QByteArray("[S]\nA=1\nK=v") << "S"
                                                << "K" << d << "v";
    QTest::newRow("windows-1252 value") << QByteArray("[S]\r\nK=\xA4\xBB\x80\r\n") << "S"
                                        << "K" << d << QStringLiteral("\u00A4\u00BB\u20AC");
    const QByteArray x1023(1023, 'x');
    QTest::newRow("1023 characters kept") << "[S]\r\nK=" + x1023 + "\r\n"
                                          << "S"
                                          << "K" << d << QString(x1023);
    QTest::newRow("1024 characters cut") << "[S]\r\nK=" + x1023 + "y\r\n"
                                         << "S"
                                         << "K" << d << QString(x1023);
    QTest::newRow("blanks do not count") << "[S]\r\nK=   " + x1023 + "   \r\n"
                                         << "S"
                                         << "K" << d << QString(x1023);
}

void TestProfileFile::lookup()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, defaultValue);
    QFETCH(QString, expected);

    QCOMPARE(ProfileFile(file).value(section, key, defaultValue), expected);
}

void TestProfileFile::update_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("after");

    QTest::newRow("in place, everything else kept")
        << QByteArray("# top\r\n[S]\r\nK=old\r\n# c=\r\n\r\n[T]\r\nK=x\r\n") << "S"
        << "K"
        << "new" << QByteArray("# top\r\n[S]\r\nK=new\r\n# c=\r\n\r\n[T]\r\nK=x\r\n");
    QTest::newRow("file's own spelling of the names kept")
        << QByteArray("[Window]\r\nArrowPos=200\r\nX=1\r\n") << "WINDOW"
        << "ARROWPOS"
        << "350" << QByteArray("[Window]\r\nArrowPos=350\r\nX=1\r\n");
    QTest::newRow("blanks around the old value go with it") << QByteArray("[S]\r\nK = 1 \r\n") << "S"
                                                            << "K"
                                                            << "2" << QByteArray("[S]\r\nK =2\r\n");
    QTest::newRow("same key in another section untouched") << QByteArray("[A]\r\nD=1\r\n[B]\r\nD=2\r\n") << "B"
                                                           << "D"
                                                           << "9" << QByteArray("[A]\r\nD=1\r\n[B]\r\nD=9\r\n");
    QTest::newRow("missing key after the section's last line, before its blank line")
        << QByteArray("[S]\r\nA=1\r\n# note\r\n\r\n[T]\r\nB=2\r\n") << "S"
        << "C"
        << "3" << QByteArray("[S]\r\nA=1\r\n# note\r\nC=3\r\n\r\n[T]\r\nB=2\r\n");
    QTest::newRow("missing key in an empty section") << QByteArray("[S]\r\n[T]\r\n") << "s"
                                                     << "C"
                                                     << "3" << QByteArray("[S]\r\nC=3\r\n[T]\r\n");
    QTest::newRow("missing key at an unterminated end") << QByteArray("[S]\r\nA=1") << "S"
                                                        << "C"
                                                        << "3" << QByteArray("[S]\r\nA=1\r\nC=3");
    QTest::newRow("only the first section of a name") << QByteArray("[S]\r\nA=1\r\n[S]\r\nB=2\r\n") << "S"
                                                      << "B"
                                                      << "3" << QByteArray("[S]\r\nA=1\r\nB=3\r\n[S]\r\nB=2\r\n");
    QTest::newRow("missing section at the end")
        << QByteArray("[S]\r\nA=1\r\n") << "PORTS"
        << "COM1"
        << "/dev/ttyUSB0" << QByteArray("[S]\r\nA=1\r\n[PORTS]\r\nCOM1=/dev/ttyUSB0\r\n");
    QTest::newRow("missing section after an unterminated end") << QByteArray("[S]\r\nA=1") << "T"
                                                               << "K"
                                                               << "v" << QByteArray("[S]\r\nA=1\r\n[T]\r\nK=v\r\n");
    QTest::newRow("empty file") << QByteArray() << "S"
                                << "K"
                                << "v" << QByteArray("[S]\r\nK=v\r\n");
    QTest::newRow("missing key after a last line ended by a lone CR")
        << QByteArray("[SCROLLING]\r\nINPUT BUFFER=2\r") << "Scrolling"
        << "CONTROL"
        << "KEYBOARD" << QByteArray("[SCROLLING]\r\nINPUT BUFFER=2\r\nCONTROL=KEYBOARD\r\n");
    QTest::newRow("missing key after a header ended by a lone CR") << QByteArray("[S]\r") << "S"
                                                                   << "K"
                                                                   << "v" << QByteArray("[S]\r\nK=v\r\n");
    QTest::newRow("missing key before a line ended by a lone CR") << QByteArray("[S]\nA=1\r\n[T]\rB=2\r") << "S"
                                                                  << "K"
                                                                  << "v" << QByteArray("[S]\nA=1\r\nK=v\n[T]\rB=2\r");
    QTest::newRow("missing section after a last line ended by a lone CR")
        << QByteArray("[S]\r\nA=2\r") << "T"
        << "K"
        << "v" << QByteArray("[S]\r\nA=2\r\n[T]\r\nK=v\r\n");
    QTest::newRow("names with blanks around them") << QByteArray("[S]\r\nK=1\r\n") << " S\t"
                                                   << " K "
                                                   << "2" << QByteArray("[S]\r\nK=2\r\n");
    QTest::newRow("LF file stays LF") << QByteArray("[S]\nA=1\n") << "S"
                                      << "B"
                                      << "2" << QByteArray("[S]\nA=1\nB=2\n");
    QTest::newRow("windows-1252 bytes elsewhere and in the value")
        << QByteArray("# \x80\xBB\r\n[S]\r\nK=a\r\n") << "S"
        << "K" << QStringLiteral("\u00A4\u2122") << QByteArray("# \x80\xBB\r\n[S]\r\nK=\xA4\x99\r\n");
}

void TestProfileFile::update()
{
    QFETCH(QByteArray, before);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(QByteArray, after);

    ProfileFile file(before);
    QVERIFY(file.setValue(section, key, value));
    QCOMPARE(file.bytes(), after);
    QCOMPARE(file.value(section, key, QStringLiteral("missing")), value);
    // Every other key keeps its value.
    const ProfileFile old(before);
    for (const ProfileFile::Name &name : old.names()) {
        if (ProfileFile::sameNames(name.section, section) && ProfileFile::sameNames(name.key, key))
            continue;
        QCOMPARE(file.value(name.section, name.key, QStringLiteral("missing")),
                 old.value(name.section, name.key, QStringLiteral("missing")));
    }
}

// The keys lookups can reach, with their names as lookups compare them.
void TestProfileFile::names()
{
    const ProfileFile file(QByteArray("K=0\r\n# top\r\n [ S ] \r\nK=1\r\n x\t= 2\r\n\r\n[T]\nK=3\n[U"));
    QStringList found;
    for (const ProfileFile::Name &name : file.names())
        found << name.section + u'/' + name.key;
    QCOMPARE(found, (QStringList{"S/K", "S/x", "T/K"}));
    QVERIFY(ProfileFile::sameNames(QStringLiteral(" Scrolling\t"), QStringLiteral("SCROLLING")));
    QVERIFY(!ProfileFile::sameNames(QStringLiteral("S"), QStringLiteral("S2")));
}

void TestProfileFile::updateRefusesWhatIsNotOneLine_data()
{
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");

    QTest::newRow("line feed in value") << "S"
                                        << "K"
                                        << "1\nINPUT BUFFER=9";
    QTest::newRow("carriage return in value") << "S"
                                              << "K"
                                              << "1\r";
    QTest::newRow("= in key") << "S"
                              << "K=1"
                              << "2";
    QTest::newRow("empty key") << "S"
                               << " "
                               << "2";
    QTest::newRow("key read as a header") << "S"
                                          << "[T]"
                                          << "2";
    QTest::newRow("] in section") << "S]"
                                  << "K"
                                  << "2";
    QTest::newRow("line break in section") << "S\r\n[T"
                                           << "K"
                                           << "2";
    QTest::newRow("value without windows-1252 bytes") << "S"
                                                      << "K" << QStringLiteral("\u4E2D");
}

void TestProfileFile::updateRefusesWhatIsNotOneLine()
{
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, value);

    const QByteArray before("[S]\r\nK=1\r\n");
    ProfileFile file(before);
    QVERIFY(!file.setValue(section, key, value));
    QVERIFY(!file.errorString().isEmpty());
    QCOMPARE(file.bytes(), before);
}

void TestProfileFile::saveReplacesFileWhole()
{
    const QByteArray before("[S]\r\nK=1\r\n# \x93quoted\x94\r\n");
    QFile out(QStringLiteral("p.ini"));
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write(before);
    out.close();

    ProfileFile file;
    QVERIFY(file.load(QStringLiteral("p.ini")));
    QCOMPARE(file.bytes(), before);
    QCOMPARE(file.value(QStringLiteral("S"), QStringLiteral("K"), QString()), QStringLiteral("1"));
    QVERIFY(file.setValue(QStringLiteral("S"), QStringLiteral("K"), QStringLiteral("22")));
    QVERIFY(file.save(QStringLiteral("p.ini")));

    QVERIFY(out.open(QIODevice::ReadOnly));
    QCOMPARE(out.readAll(), QByteArray("[S]\r\nK=22\r\n# \x93quoted\x94\r\n"));
    QCOMPARE(QDir().entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("p.ini")});
}

void TestProfileFile::failedFileOperations()
{
    ProfileFile file(QByteArray("[S]\r\nK=1\r\n"));
    QVERIFY(!file.load(QStringLiteral("absent.ini")));
    QVERIFY(!file.errorString().isEmpty());
    QCOMPARE(file.bytes(), QByteArray("[S]\r\nK=1\r\n"));

    QVERIFY(!file.save(QStringLiteral("no-such-dir/p.ini")));
    QVERIFY(!file.errorString().isEmpty());
    QVERIFY(QDir().entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).isEmpty());
}

void TestProfileFile::readsOnlyRegularFiles_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("pipe") << "pipe";
    QTest::newRow("socket") << "socket";
    QTest::newRow("folder") << "folder";
}

// A settings file replaced by a pipe with no writer must not hold the start: refused at
// once, with the reason, the text in hand kept.
void TestProfileFile::readsOnlyRegularFiles()
{
    QFETCH(QString, kind);
    const QString path = QStringLiteral("CORVANTA.INI");
    QVERIFY(kind == u"pipe" ? MakeFifo(path) : kind == u"socket" ? MakeSocket(path) : QDir().mkdir(path));
    const LateWriter writer(path);
    ProfileFile file(QByteArray("[S]\r\nK=1\r\n"));
    QElapsedTimer clock;
    clock.start();
    QVERIFY(!file.load(path));
    QVERIFY2(clock.elapsed() < 1000, "the read waited on the file");
    QCOMPARE(file.errorString(), QStringLiteral("CORVANTA.INI is not a regular file"));
    QCOMPARE(file.value(QStringLiteral("S"), QStringLiteral("K"), QString()), QStringLiteral("1"));
}

QTEST_GUILESS_MAIN(TestProfileFile)
#include "core/Windows1252.h"
#include "tst_profilefile.moc"
