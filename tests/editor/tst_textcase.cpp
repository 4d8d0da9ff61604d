#include "editor/ColourPalette.h"
#include "editor/TextCase.h"

#include <QtTest>

// The case command's rule and the case mapping it uses.
class tst_TextCase : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void toggled_data();
    void toggled();
    void mappingKeepsLength_data();
    void mappingKeepsLength();
    void paletteCells();
};

void tst_TextCase::toggled_data()
{
    QTest::addColumn<QString>("selection");
    QTest::addColumn<QString>("expected");

    QTest::newRow("second letter lower") << QStringLiteral("Hello world") << QStringLiteral("HELLO WORLD");
    QTest::newRow("second letter upper") << QStringLiteral("HELLO") << QStringLiteral("hello");
    QTest::newRow("first letter ignored") << QStringLiteral("hELLO") << QStringLiteral("hello");
    QTest::newRow("single letter") << QStringLiteral("a") << QStringLiteral("A");
    QTest::newRow("single capital") << QStringLiteral("Q") << QStringLiteral("q");
    QTest::newRow("single digit") << QStringLiteral("7") << QStringLiteral("7");
    QTest::newRow("numbered item") << QStringLiteral("1. item") << QStringLiteral("1. ITEM");
    QTest::newRow("numbered ITEM") << QStringLiteral("1. ITEM") << QStringLiteral("1. item");
    QTest::newRow("question mark decides") << QStringLiteral("a?bc") << QStringLiteral("a?bc");
    QTest::newRow("question mark decides, capitals") << QStringLiteral("A?BC") << QStringLiteral("a?bc");
    QTest::newRow("'>' is below '?'") << QStringLiteral("A>bc") << QStringLiteral("A>BC");
    QTest::newRow("nothing decides: the second") << QStringLiteral("1. 2") << QStringLiteral("1. 2");
    QTest::newRow("nothing decides, a letter first") << QStringLiteral("a. 1") << QStringLiteral("a. 1");
    QTest::newRow("line break below '?'") << QStringLiteral("X\nyz") << QStringLiteral("X\nYZ");
    QTest::newRow("accented lower") << QStringLiteral("\u00e9l\u00e8ve \u00e0 \u0153uvre")
                                    << QStringLiteral("\u00c9L\u00c8VE \u00c0 \u0152UVRE");
    QTest::newRow("accented upper") << QStringLiteral("\u00c0\u00c9\u00ce\u0160\u017d\u0178")
                                    << QStringLiteral("\u00e0\u00e9\u00ee\u0161\u017e\u00ff");
    QTest::newRow("y with diaeresis") << QStringLiteral("x\u00ff") << QStringLiteral("X\u0178");
    QTest::newRow("micro sign and sharp s stay") << QStringLiteral("\u00b5m stra\u00dfe")
                                                 << QStringLiteral("\u00b5M STRA\u00dfE");
}

void tst_TextCase::toggled()
{
    QFETCH(QString, selection);
    QFETCH(QString, expected);
    QCOMPARE(TextCase::toggled(selection), expected);
}

void tst_TextCase::mappingKeepsLength_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("sharp s") << QStringLiteral("Stra\u00dfe");
    QTest::newRow("dotted capital I") << QStringLiteral("\u0130stanbul");
    QTest::newRow("ligature") << QStringLiteral("\ufb01ne");
    QTest::newRow("outside the plane") << QStringLiteral("a\U0001D400b");
}

// Searches map positions one to one, so neither case may change a text's length.
void tst_TextCase::mappingKeepsLength()
{
    QFETCH(QString, text);
    QCOMPARE(TextCase::lower(text).size(), text.size());
    QCOMPARE(TextCase::upper(text).size(), text.size());
}

void tst_TextCase::paletteCells()
{
    QCOMPARE(PaletteColours[12], 0xFF0000);
    QCOMPARE(PaletteColours[9], 0x0000FF);
    for (int cell = 0; cell < int(PaletteColours.size()); ++cell)
        QCOMPARE(PaletteCell(PaletteColours[cell]), cell);
    QCOMPARE(PaletteCell(0x123456), -1);
}

QTEST_GUILESS_MAIN(tst_TextCase)
#include "tst_textcase.moc"
