#include "app/TRichEdit.h"
#include "prompt/PromptState.h"

#include <QtTest>

class tst_PromptState : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initialValues();
    void hundredAndFiftyPressesInsertHundredMarks();
    void marksGoToLineStarts();
};

void tst_PromptState::initialValues()
{
    const PromptState s;
    QCOMPARE(s.CurrentSpeed, 0);
    QCOMPARE(s.Prompting, quint8(0));
    QCOMPARE(s.Reverse, 0);
    QCOMPARE(s.RateTicks, 1);
    QCOMPARE(s.ErrorMarkCount, 0);
    QCOMPARE(int(s.ErrorMarkLines.size()), 101);
}

void tst_PromptState::hundredAndFiftyPressesInsertHundredMarks()
{
    PromptState s;
    for (int i = 0; i < 150; ++i) {
        s.TopLine = i;
        s.RecordErrorMark();
    }
    QCOMPARE(s.ErrorMarkCount, 100);
    QCOMPARE(s.ErrorMarkLines[99], 99);
    QCOMPARE(s.ErrorMarkLines[100], 149); // the overflow slot took the rest

    TRichEdit edit;
    edit.resize(2000, 400);
    for (int i = 0; i < 200; ++i)
        edit.AppendLine(QStringLiteral("line %1").arg(i));
    s.InsertErrorMarks(edit);
    QCOMPARE(edit.Text().count(QChar(0x00A4)), 100);
    QCOMPARE(s.ErrorMarkCount, 0);

    // A second pass (an enclosing run ending) inserts nothing more.
    s.InsertErrorMarks(edit);
    QCOMPARE(edit.Text().count(QChar(0x00A4)), 100);
}

void tst_PromptState::marksGoToLineStarts()
{
    TRichEdit edit;
    edit.resize(2000, 400);
    for (int i = 0; i < 10; ++i)
        edit.AppendLine(QStringLiteral("line %1").arg(i));
    PromptState s;
    for (int line : {7, 2, 7}) {
        s.TopLine = line;
        s.RecordErrorMark();
    }
    s.InsertErrorMarks(edit);
    const QStringList lines = edit.Text().split(QLatin1Char('\n'));
    QCOMPARE(lines.at(2), QStringLiteral("\u00a4line 2"));
    QCOMPARE(lines.at(7), QStringLiteral("\u00a4\u00a4line 7"));
    QCOMPARE(edit.Text().count(QChar(0x00A4)), 3);
    QVERIFY(std::all_of(s.ErrorMarkLines.begin(), s.ErrorMarkLines.end(), [](qint32 v) { return v == 0; }));
}

QTEST_MAIN(tst_PromptState)
#include "tst_promptstate.moc"
