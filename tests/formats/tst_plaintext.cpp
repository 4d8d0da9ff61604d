#include "core/Windows1252.h"
#include "formats/PlainTextCodec.h"

#include <QtTest>

// Plain-text script files: UTF-8 or Windows-1252 in, Windows-1252 or UTF-8 with BOM out.
class tst_PlainText : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void decode_data();
    void decode();
    void encode_data();
    void encode();
    void savedTextReadsBack_data();
    void savedTextReadsBack();
    void windows1252TableIsABijection();
};

void tst_PlainText::decode_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");

    QTest::newRow("empty") << QByteArray() << QString();
    QTest::newRow("ascii") << QByteArray("Hello") << "Hello";
    QTest::newRow("utf-8") << QByteArray("\xC2\xBB \xC2\xA4 \xE2\x82\xAC \xF0\x9F\x98\x80") << QString::fromUtf8("» ¤ € 😀");
    QTest::newRow("utf-8 with bom") << QByteArray("\xEF\xBB\xBF\xC3\xA9") << QString::fromUtf8("é");
    QTest::newRow("markers as windows-1252") << QByteArray("\xBB next \xA4 \x80") << QString::fromUtf8("» next ¤ €");
    QTest::newRow("invalid utf-8 is windows-1252") << QByteArray("caf\xE9 \xC3\xA9") << QString::fromUtf8("café Ã©");
    QTest::newRow("undefined windows-1252 bytes") << QByteArray("\x81\x8D\x8F\x90\x9D") << QString::fromUtf8("\u0081\u008D\u008F\u0090\u009D");
    QTest::newRow("crlf, lf and cr") << QByteArray("a\r\nb\nc\rd\r\n\r\ne") << "a\nb\nc\nd\n\ne";
    QTest::newRow("cr lf across windows-1252") << QByteArray("\xBB\r\n\xA4\r") << QString::fromUtf8("»\n¤\n");
    QTest::newRow("utf-16 le") << QByteArray("\xFF\xFE" "a\0\xBB\0\r\0\n\0", 10) << QString::fromUtf8("a»\n");
    QTest::newRow("utf-16 be") << QByteArray("\xFE\xFF\0a\0\xBB", 6) << QString::fromUtf8("a»");
    QTest::newRow("nul bytes kept") << QByteArray("a\0b", 3) << QStringView(u"a\0b", 3).toString();
}

void tst_PlainText::decode()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(PlainTextCodec::decode(bytes), text);
}

void tst_PlainText::encode_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("empty") << QString() << QByteArray();
    QTest::newRow("lines get cr lf") << "a\nb\n\nc\n" << QByteArray("a\r\nb\r\n\r\nc\r\n");
    QTest::newRow("separators are line ends")
        << QString::fromUtf8("a\u2028b\u2029c") << QByteArray("a\r\nb\r\nc");
    QTest::newRow("cr lf is not doubled") << "a\r\nb\rc" << QByteArray("a\r\nb\r\nc");
    QTest::newRow("windows-1252 when it fits")
        << QString::fromUtf8("» ¤ € é ÿ \u00A0") << QByteArray("\xBB \xA4 \x80 \xE9 \xFF \xA0");
    QTest::newRow("utf-8 with bom otherwise")
        << QString::fromUtf8("» α\n") << QByteArray("\xEF\xBB\xBF\xC2\xBB \xCE\xB1\r\n");
    QTest::newRow("emoji") << QString::fromUtf8("😀") << QByteArray("\xEF\xBB\xBF\xF0\x9F\x98\x80");
}

void tst_PlainText::encode()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QCOMPARE(PlainTextCodec::encode(text), bytes);
    // What we write reads back, with line ends folded to '\n'.
    QString expected = text;
    expected.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
    expected.replace(QChar(0x2028), u'\n').replace(QChar(0x2029), u'\n');
    QCOMPARE(PlainTextCodec::decode(bytes), expected);
}

void tst_PlainText::savedTextReadsBack_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");

    // An incomplete UTF-8 sequence at the very end makes the file Windows-1252.
    QTest::newRow("windows-1252 ending in a lead byte") << QByteArray("Caf\xE9") << QString::fromUtf8("Café");
    QTest::newRow("utf-8 cut in its last character") << QByteArray("x \xC3") << QString::fromUtf8("x Ã");
    QTest::newRow("three-byte lead at the end") << QByteArray("a\xE2\x80") << QString::fromUtf8("aâ€");
    QTest::newRow("lone lead byte") << QByteArray("\xDF") << QString::fromUtf8("ß");
    QTest::newRow("utf-16 saved as windows-1252") << QByteArray("\xFF\xFE\xDF\x00", 4) << QString::fromUtf8("ß");
    QTest::newRow("utf-16 with an odd last byte") << QByteArray("\xFF\xFE" "a\0b", 5) << QString::fromUtf8("a\uFFFD");
    // Text whose Windows-1252 bytes would read back as UTF-8 or UTF-16 is saved as UTF-8.
    QTest::newRow("windows-1252 bytes that are utf-8")
        << QByteArray("\xC3\x83\xC2\xA9") << QString::fromUtf8("Ã©");
    QTest::newRow("windows-1252 bytes that are a utf-16 mark")
        << QByteArray("\xC3\xBF\xC3\xBE!") << QString::fromUtf8("ÿþ!");
    QTest::newRow("windows-1252 bytes that are a utf-8 mark")
        << QByteArray("\xC3\xAF\xC2\xBB\xC2\xBFx") << QString::fromUtf8("ï»¿x");
    QTest::newRow("utf-16 with halves of surrogate pairs")
        << QByteArray("\xFF\xFE" "\x78\xDF \0\x3D\xD8" "a\0\x3D\xD8\x00\xDE", 14)
        << QString::fromUtf8("\uFFFD \uFFFDa😀");
    QTest::newRow("unicode line separators are line ends")
        << QByteArray("a\xE2\x80\xA8" "b\xE2\x80\xA9" "c") << "a\nb\nc";
    QTest::newRow("frame and object marks")
        << QByteArray("\xEF\xB7\x90\xEF\xB7\x91\xEF\xBF\xBC") << QString::fromUtf8("\uFFFD\uFFFD\uFFFD");
}

// What is read from any bytes is saved so that it reads back the same.
void tst_PlainText::savedTextReadsBack()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(PlainTextCodec::decode(bytes), text);
    QCOMPARE(PlainTextCodec::decode(PlainTextCodec::encode(text)), text);
}

// Every byte decodes to a distinct character that encodes back to the same byte.
void tst_PlainText::windows1252TableIsABijection()
{
    QSet<char16_t> seen;
    for (int b = 0; b < 256; ++b) {
        const char16_t c = Windows1252::toUnicode(static_cast<unsigned char>(b));
        QVERIFY(!seen.contains(c));
        seen.insert(c);
        QCOMPARE(Windows1252::fromUnicode(c), b);
    }
    QCOMPARE(Windows1252::toUnicode(0x80), char16_t(0x20AC));
    QCOMPARE(Windows1252::toUnicode(0x9F), char16_t(0x0178));
    QCOMPARE(Windows1252::fromUnicode(u'α'), -1);
    QCOMPARE(Windows1252::fromUnicode(0x0080), -1);
}

QTEST_GUILESS_MAIN(tst_PlainText)
#include "core/Windows1252.h"
#include "tst_plaintext.moc"
