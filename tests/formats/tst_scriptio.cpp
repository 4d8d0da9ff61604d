#include "core/CorvantaError.h"
#include "formats/RtfReader.h"
#include "core/Limits.h"
#include "formats/ScriptDocumentIO.h"
#include "formats/ZnqImport.h"

#include <QTextList>

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QtTest>

#include "SpecialFiles.h"
#include "Unprivileged.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <sys/mount.h>
#include <sys/resource.h>

// Loading and saving whole scripts: format choice, fallbacks, error texts, and safety of the
// old file and the open document.
class tst_ScriptIO : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void load_data();
    void load();
    void loadKeepsFormatting_data();
    void loadKeepsFormatting();
    void loadErrors_data();
    void loadErrors();
    void saveAndReload_data();
    void saveAndReload();
    void plainFileSavedWhole_data();
    void plainFileSavedWhole();
    void damagedRtfIsReported_data();
    void damagedRtfIsReported();
    void saveErrorKeepsOldFile();
    void saveErrorNamesTheReason();
    void fullDiskIsNamed();
    void fiftyMegabyteLine();
    void tooManyParagraphsIsRefused();
    void binaryTextIsRefused();

private:
    QString write(const QString &name, const QByteArray &bytes);
    QTemporaryDir m_dir;
};

namespace {

QByteArray fixture(const QString &name)
{
    QFile file(QStringLiteral(CORVANTA_TEST_FIXTURES "/rtf/") + name);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("missing fixture");
    return file.readAll();
}

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString properties(QTextFormat format)
{
    format.clearProperty(QTextFormat::ObjectIndex);  // numbers differ between documents
    QString out;
    QDebug debug(&out);
    const auto all = format.properties();
    for (auto it = all.cbegin(); it != all.cend(); ++it)
        debug << it.key() << it.value();
    return out;
}

// Every block and run with all its properties, lists by style and label.
QStringList shape(const QTextDocument &doc)
{
    QStringList lines;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        QString line = properties(b.blockFormat());
        if (const QTextList *list = b.textList())
            line += QStringLiteral(" list %1 %2 %3").arg(list->format().style()).arg(list->format().indent()).arg(list->itemText(b));
        if (b.length() == 1)
            line += QStringLiteral(" empty ") + properties(b.charFormat());
        for (auto it = b.begin(); !it.atEnd(); ++it)
            line += QStringLiteral(" [%1] %2").arg(it.fragment().text(), properties(it.fragment().charFormat()));
        lines << line;
    }
    return lines;
}

QString errorOf(const std::function<void()> &action)
{
    try {
        action();
    } catch (const CorvantaError &e) {
        return e.text();
    }
    return QString();
}

} // namespace

void tst_ScriptIO::initTestCase()
{
    QVERIFY(m_dir.isValid());
}

QString tst_ScriptIO::write(const QString &name, const QByteArray &bytes)
{
    const QString path = m_dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write test file");
    return path;
}

void tst_ScriptIO::load_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("plainText");
    QTest::addColumn<QString>("text");

    const QByteArray rtf = fixture(QStringLiteral("wordpad_charset.rtf"));
    QTest::newRow("rtf") << rtf << false << QString::fromUtf8(fixture(QStringLiteral("wordpad_charset.txt")));
    QTest::newRow("rtf in plain mode stays source") << rtf << true << QString::fromLatin1(rtf).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QTest::newRow("plain text falls back") << QByteArray("one \xBB\r\ntwo \xA4") << false << QString::fromUtf8("one »\ntwo ¤");
    QTest::newRow("utf-8 text") << QByteArray("\xEF\xBB\xBFjump \xC2\xBB") << false << QString::fromUtf8("jump »");
    QTest::newRow("empty file") << QByteArray() << false << QString();
    QTest::newRow("truncated rtf") << QByteArray("{\\rtf1 {\\b bold} and mo") << false << "bold and mo";
}

void tst_ScriptIO::load()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, plainText);
    QFETCH(QString, text);
    const QString path = write(QStringLiteral("load.any"), bytes);
    QTextDocument doc;
    doc.setPlainText(QStringLiteral("old"));
    ScriptDocumentIO::load(&doc, path, plainText);
    QCOMPARE(doc.toRawText().replace(QChar::ParagraphSeparator, u'\n'), text);
    QVERIFY(!doc.isUndoAvailable());
}

void tst_ScriptIO::loadKeepsFormatting_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("bullets") << fixture(QStringLiteral("bullets.rtf"));
    QTest::newRow("colours") << fixture(QStringLiteral("colours.rtf"));
    QTest::newRow("wordpad") << fixture(QStringLiteral("wordpad_align_bullets.rtf"));
    QTest::newRow("empty paragraphs") << QByteArray("{\\rtf1\\qc\\fs120 centred\\par\\par\\pard\\fs40 x\\par\\qr\\fs100\\par}");
}

// Loading goes through a scratch document; what arrives is what the reader made.
void tst_ScriptIO::loadKeepsFormatting()
{
    QFETCH(QByteArray, bytes);
    QTextDocument direct;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QTextCursor cursor(&direct);
    QVERIFY(RtfReader().read(&buffer, cursor));

    QTextDocument loaded;
    QTextCursor(&loaded).insertText(QStringLiteral("old text"));
    ScriptDocumentIO::load(&loaded, write(QStringLiteral("format.rtf"), bytes), false);
    QCOMPARE(shape(loaded), shape(direct));
}

void tst_ScriptIO::loadErrors_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("message");

    const QString notRegular = QStringLiteral("%1 is not a regular file");
    QTest::newRow("missing") << m_dir.filePath(QStringLiteral("missing.rtf")) << "Cannot open file %1";
    QTest::newRow("folder") << m_dir.path() << notRegular;
    // A pipe with no writer would hold the window until someone wrote to it.
    const QString fifo = m_dir.filePath(QStringLiteral("pipe.rtf"));
    QVERIFY(MakeFifo(fifo));
    QTest::newRow("named pipe") << fifo << notRegular;
    const QString link = m_dir.filePath(QStringLiteral("link.rtf"));
    QFile::link(fifo, link);
    QTest::newRow("link to a pipe") << link << notRegular;
    QTest::newRow("device") << "/dev/zero" << notRegular;
    const QString socketPath = m_dir.filePath(QStringLiteral("socket.rtf"));
    QVERIFY(MakeSocket(socketPath));
    QTest::newRow("socket") << socketPath << notRegular;
}

// A failed load names the path and leaves the document as it was; what is not a regular
// file is refused before anything is read from it, by the import too.
void tst_ScriptIO::loadErrors()
{
    QFETCH(QString, path);
    QFETCH(QString, message);
    const QString expected = message.arg(QDir::toNativeSeparators(path));
    for (const bool plainText : {false, true}) {
        QTextDocument doc;
        QTextCursor(&doc).insertText(QStringLiteral("keep me"));
        QCOMPARE(errorOf([&] { ScriptDocumentIO::load(&doc, path, plainText); }), expected);
        QCOMPARE(doc.toPlainText(), QStringLiteral("keep me"));
        QVERIFY(doc.isUndoAvailable());
    }
    if (message.contains(QStringLiteral("regular")))
        QCOMPARE(errorOf([&] { ZnqImport::importFile(path); }), expected);
}

void tst_ScriptIO::saveAndReload_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("plainText");
    QTest::addColumn<QByteArray>("start");

    QTest::newRow("rtf") << QString::fromUtf8("Jump » here\nerror ¤ 😀") << false << QByteArray("{\\rtf1\\ansi\\ansicpg1252");
    QTest::newRow("plain windows-1252") << QString::fromUtf8("Jump » here\nerror ¤") << true << QByteArray("Jump \xBB here\r\nerror \xA4");
    QTest::newRow("plain utf-8") << QString::fromUtf8("Greek αβγ\n") << true << QByteArray("\xEF\xBB\xBFGreek \xCE\xB1");
}

void tst_ScriptIO::saveAndReload()
{
    QFETCH(QString, text);
    QFETCH(bool, plainText);
    QFETCH(QByteArray, start);
    QTextDocument doc;
    QTextCursor cursor(&doc);
    QTextCharFormat bold;
    bold.setFontWeight(QFont::Bold);
    cursor.insertText(text, bold);
    const QString path = m_dir.filePath(QStringLiteral("saved"));
    write(QStringLiteral("saved"), "old contents");

    ScriptDocumentIO::save(&doc, path, plainText);
    QVERIFY2(contents(path).startsWith(start), contents(path).left(80).constData());
    QTextDocument back;
    ScriptDocumentIO::load(&back, path, false);
    QCOMPARE(back.toPlainText(), text);
    QCOMPARE(back.begin().charFormat().fontWeight() >= QFont::DemiBold, false);
    QTextCursor first(&back);
    first.movePosition(QTextCursor::NextCharacter);
    QCOMPARE(first.charFormat().fontWeight() >= QFont::DemiBold, !plainText);
}

void tst_ScriptIO::plainFileSavedWhole_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("saved");

    QTest::newRow("windows-1252 ending in a utf-8 lead byte") << QByteArray("Caf\xE9") << QByteArray("Caf\xE9");
    QTest::newRow("cut utf-8") << QByteArray("x \xC3") << QByteArray("x \xC3");
    QTest::newRow("utf-16") << QByteArray("\xFF\xFE\xDF\0", 4) << QByteArray("\xDF");
}

// A plain-text file opened and saved again keeps every character, to the last.
void tst_ScriptIO::plainFileSavedWhole()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, saved);
    const QString path = write(QStringLiteral("plain.txt"), bytes);
    QTextDocument doc;
    ScriptDocumentIO::load(&doc, path, true);
    ScriptDocumentIO::save(&doc, path, true);
    QCOMPARE(contents(path), saved);
    QTextDocument again;
    ScriptDocumentIO::load(&again, path, true);
    QCOMPARE(again.toPlainText(), doc.toPlainText());
}

void tst_ScriptIO::damagedRtfIsReported_data()
{
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("notice");

    const QString early = QStringLiteral("%1 ends early: the text after \"%2\" may be missing.");
    const QString deep = QStringLiteral("%1 nests groups too deeply: some of the text after \"%2\" was left out.");
    const QByteArray tooDeep = QByteArray("{").repeated(300000) + "lost" + QByteArray("}").repeated(300000);

    QTest::newRow("whole") << QByteArray("{\\rtf1 all {\\b there}}") << "all there" << "";
    QTest::newRow("ends inside a group") << QByteArray("{\\rtf1 {\\b bold} and mo") << "bold and mo"
                                         << early.arg(u"%1", u"bold and mo");
    QTest::newRow("ends in an escape") << QByteArray("{\\rtf1 caf\\'") << "caf" << early.arg(u"%1", u"caf");
    QTest::newRow("ends after a paragraph") << QByteArray("{\\rtf1 first\\par second\\par ") << "first\nsecond"
                                            << early.arg(u"%1", u"second");
    QTest::newRow("long paragraph is quoted by its end")
        << QByteArray("{\\rtf1 The quick brown fox jumps over the lazy dog and runs far away")
        << "The quick brown fox jumps over the lazy dog and runs far away"
        << early.arg(u"%1", u"...over the lazy dog and runs far away");
    QTest::newRow("nothing read") << QByteArray("{\\rtf1 ") << ""
                                  << "%1 ends early: its text may be missing.";
    QTest::newRow("binary past the end") << QByteArray("{\\rtf1 a b\\bin99999 xyz}") << "a b"
                                         << early.arg(u"%1", u"a b");
    QTest::newRow("too deep") << "{\\rtf1 before " + tooDeep + " after}" << "before  after"
                              << deep.arg(u"%1", u"before");
    QTest::newRow("too deep at the start") << "{\\rtf1 " + tooDeep + " after}" << " after"
                                           << "%1 nests groups too deeply: some of its text was left out.";
    // One notice for the file, each damage in it once, where it first occurred.
    QTest::newRow("too deep twice, then cut")
        << "{\\rtf1 one " + tooDeep + " two " + tooDeep + " three" << "one  two  three"
        << deep.arg(u"%1", u"one") + u'\n' + early.arg(u"%1", u"one two three");
}

// A damaged file opens with what could be read, and a notice says what may be missing.
void tst_ScriptIO::damagedRtfIsReported()
{
    QFETCH(QByteArray, rtf);
    QFETCH(QString, text);
    QFETCH(QString, notice);
    const QString path = write(QStringLiteral("damaged.rtf"), rtf);
    QTextDocument doc;
    QString shown = QStringLiteral("stale");
    QVERIFY(ScriptDocumentIO::load(&doc, path, false, &shown));
    QCOMPARE(shown, notice.isEmpty() ? notice : notice.arg(QDir::toNativeSeparators(path)));
    QCOMPARE(doc.toPlainText(), text);
}

// A write that fails half way (here: the file size limit) leaves the old file whole.
void tst_ScriptIO::saveErrorKeepsOldFile()
{
    const QString path = write(QStringLiteral("precious.rtf"), "old contents");
    QTextDocument doc;
    doc.setPlainText(QString(20000, u'x'));

    QCOMPARE(errorOf([&] { ScriptDocumentIO::save(&doc, m_dir.filePath(QStringLiteral("no/such/dir.rtf")), false); }),
             QStringLiteral("Cannot create file %1: No such file or directory")
                 .arg(QDir::toNativeSeparators(m_dir.filePath(QStringLiteral("no/such/dir.rtf")))));

    // A large script fails while it is written, a small one only when the buffer is flushed.
    for (int length : {20000, 6000}) {
        doc.setPlainText(QString(length, u'x'));
        struct rlimit old {};
        QVERIFY(::getrlimit(RLIMIT_FSIZE, &old) == 0);
        struct rlimit small = old;
        small.rlim_cur = 4096;
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        QVERIFY(::setrlimit(RLIMIT_FSIZE, &small) == 0);
        const QString error = errorOf([&] { ScriptDocumentIO::save(&doc, path, false); });
        ::setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldHandler);

        QCOMPARE(error, QStringLiteral("Failed to Save Stream to %1: File too large").arg(QDir::toNativeSeparators(path)));
        QCOMPARE(contents(path), QByteArray("old contents"));
        QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files).filter(QStringLiteral("precious")),
                 QStringList{QStringLiteral("precious.rtf")});
    }
}

// The error names the file and the system's reason, for a folder that takes no new file
// and for a file that cannot be replaced.
void tst_ScriptIO::saveErrorNamesTheReason()
{
    QTemporaryDir locked;
    QVERIFY(locked.isValid());
    const QString path = locked.filePath(QStringLiteral("script.rtf"));
    QVERIFY(QFile::setPermissions(locked.path(), QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther
                                                     | QFile::ExeOther | QFile::ReadGroup | QFile::ExeGroup));
    const QString error = RunUnprivileged([&] {
        QTextDocument doc;
        doc.setPlainText(QStringLiteral("text"));
        return errorOf([&] { ScriptDocumentIO::save(&doc, path, false); });
    });
    QFile::setPermissions(locked.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QCOMPARE(error, QStringLiteral("Cannot create file %1: Permission denied").arg(QDir::toNativeSeparators(path)));
    QVERIFY(!QFileInfo::exists(path));
}

// A full disk is named as such, and the old file stays whole. Needs a small file system of
// its own, which only root can mount.
void tst_ScriptIO::fullDiskIsNamed()
{
    QTemporaryDir mountPoint;
    QVERIFY(mountPoint.isValid());
    const QByteArray target = QFile::encodeName(mountPoint.path());
    if (::mount("corvanta-test", target.constData(), "tmpfs", 0, "size=64k") != 0)
        QSKIP(qPrintable(QStringLiteral("cannot mount a 64 KB tmpfs for the full-disk case (%1); run as root to check it")
                             .arg(QString::fromLocal8Bit(std::strerror(errno)))));
    const auto unmount = qScopeGuard([&] { ::umount2(target.constData(), MNT_DETACH); });

    const QString path = mountPoint.filePath(QStringLiteral("script.rtf"));
    {
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        QVERIFY(old.write("old contents") == 12);
    }
    QTextDocument doc;
    doc.setPlainText(QString(200000, u'x'));
    QCOMPARE(errorOf([&] { ScriptDocumentIO::save(&doc, path, false); }),
             QStringLiteral("Failed to Save Stream to %1: No space left on device").arg(QDir::toNativeSeparators(path)));
    QCOMPARE(contents(path), QByteArray("old contents"));
    QCOMPARE(QDir(mountPoint.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("script.rtf")});
}

void tst_ScriptIO::fiftyMegabyteLine()
{
    const QByteArray line(50 * 1024 * 1024, 'a');
    for (const QByteArray &bytes : {line, "{\\rtf1 " + line + "}"}) {
        const QString path = write(QStringLiteral("big"), bytes);
        QTextDocument doc;
        QElapsedTimer timer;
        timer.start();
        ScriptDocumentIO::load(&doc, path, false);
        qInfo() << "50 MB line loaded in" << timer.elapsed() << "ms";
        QCOMPARE(doc.blockCount(), 1);
        QCOMPARE(doc.characterCount(), line.size() + 1);
    }
    QFile::remove(m_dir.filePath(QStringLiteral("big")));
}

// Past the limits a script is refused before it replaces anything or is laid out.
void tst_ScriptIO::tooManyParagraphsIsRefused()
{
    QTextDocument doc;
    doc.setPlainText(QStringLiteral("kept"));
    const QByteArray lines(MaxScriptParagraphs, '\n'); // one paragraph more than the limit
    const QString error = errorOf([&] { ScriptDocumentIO::loadBytes(&doc, lines, true, QStringLiteral("big.txt")); });
    QVERIFY2(error.startsWith(QStringLiteral("big.txt: The script has 2,000,001 paragraphs")), qPrintable(error));
    QCOMPARE(doc.toPlainText(), QStringLiteral("kept"));
    // At the limit it loads.
    ScriptDocumentIO::loadBytes(&doc, QByteArray(MaxScriptParagraphs - 1, '\n'), true);
    QCOMPARE(doc.blockCount(), MaxScriptParagraphs);
}

// Text with NUL bytes is no script, whatever the filter; UTF-16 text is.
void tst_ScriptIO::binaryTextIsRefused()
{
    QTextDocument doc;
    doc.setPlainText(QStringLiteral("kept"));
    for (bool plain : {true, false}) {
        const QString error = errorOf([&] { ScriptDocumentIO::loadBytes(&doc, QByteArray("MZ\x90\0\x03\0", 6), plain); });
        QCOMPARE(error, QStringLiteral("The text is not a script: it holds binary data"));
        QCOMPARE(doc.toPlainText(), QStringLiteral("kept"));
    }
    ScriptDocumentIO::loadBytes(&doc, QByteArray("\xFF\xFEh\0i\0", 6), true);
    QCOMPARE(doc.toPlainText(), QStringLiteral("hi"));
}

QTEST_GUILESS_MAIN(tst_ScriptIO)
#include "tst_scriptio.moc"
