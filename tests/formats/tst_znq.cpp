#include "core/CorvantaError.h"
#include "formats/ZnqImport.h"

#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>

#include <unistd.h>

// The ZNQ import: bytes to one line of text, and the runtime's file errors.
class tst_Znq : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void import_data();
    void import();
    void importFile();
    void fileErrors_data();
    void fileErrors();
    void accessDeniedNamesTheFile();
};

void tst_Znq::import_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");

    QTest::newRow("header FF xx xx dropped") << QByteArray("\xFF\x01\x02" "AB") << "AB";
    QTest::newRow("header only on the first line") << QByteArray("A\r\n\xFF\x01\x02" "B") << QString::fromUtf8("AÿB");
    QTest::newRow("short header line") << QByteArray("\xFF\x01\r\nAB") << "AB";
    QTest::newRow("0x7F is the jump marker") << QByteArray("A\x7F" "B") << QString::fromUtf8("A»B");
    QTest::newRow("second 0x7F kept as it is") << QByteArray("A\x7F\x7F" "B") << QString::fromUtf8("A»\u007FB");
    QTest::newRow("0x7F at line end") << QByteArray("A\x7F\r\nB") << QString::fromUtf8("A»B");
    QTest::newRow("0x7F then escape") << QByteArray("A\x7F\x1Bx" "B") << QString::fromUtf8("A»B");
    QTest::newRow("escape drops the next byte") << QByteArray("A\x1Bx" "B") << "AB";
    QTest::newRow("escape dash drops two") << QByteArray("A\x1B-x" "B") << "AB";
    QTest::newRow("escape at line end stays on its line") << QByteArray("A\x1B\r\nBC") << "ABC";
    QTest::newRow("escape dash at line end") << QByteArray("A\x1B-\nBC") << "ABC";
    QTest::newRow("tab dropped") << QByteArray("A\tB") << "AB";
    QTest::newRow("control bytes dropped") << QByteArray("A\x01\x1F\x00" "B", 5) << "AB";
    QTest::newRow("lines joined") << QByteArray("AB\r\nCD") << "ABCD";
    QTest::newRow("lf and cr line ends") << QByteArray("AB\nCD\rEF\r\n") << "ABCDEF";
    QTest::newRow("high bytes are windows-1252") << QByteArray("\xBB\xA4\x80\xE9") << QString::fromUtf8("»¤€é");
    QTest::newRow("empty") << QByteArray() << QString();
}

void tst_Znq::import()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(ZnqImport::import(bytes), text);
}

void tst_Znq::importFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("script.znq"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("\xFF\x01\x02Hello\x7F\r\nWorld\x1B-x!");
    file.close();
    QCOMPARE(ZnqImport::importFile(path), QString::fromUtf8("Hello»World!"));
}

void tst_Znq::fileErrors_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("message");
    QTest::newRow("missing") << "missing" << "File not found: %1";
    QTest::newRow("unreadable") << "unreadable" << "File access denied: %1";
    QTest::newRow("directory") << "directory" << "%1 is not a regular file";
    QTest::newRow("file as folder") << "notdir" << "I/O error 20: %1";
}

void tst_Znq::fileErrors()
{
    QFETCH(QString, kind);
    QFETCH(QString, message);
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("x.znq"));
    if (kind == u"unreadable") {
        if (::geteuid() == 0)
            QSKIP("permissions do not bind root");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        QVERIFY(file.setPermissions(QFileDevice::WriteOwner));
    } else if (kind == u"directory") {
        path = dir.path();
    } else if (kind == u"notdir") {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        path += QStringLiteral("/inner");
    }
    try {
        ZnqImport::importFile(path);
        QFAIL("no error");
    } catch (const CorvantaError &e) {
        QCOMPARE(e.text(), message.arg(path));
    }
}

// Permissions do not bind root, so the refused read's text is checked on its own too.
void tst_Znq::accessDeniedNamesTheFile()
{
    QCOMPARE(ZnqImport::ReadErrorText(EACCES, QStringLiteral("/shows/monday.znq")),
             QStringLiteral("File access denied: /shows/monday.znq"));
}

QTEST_GUILESS_MAIN(tst_Znq)
#include "tst_znq.moc"
