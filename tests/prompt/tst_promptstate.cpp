#include "prompt/PromptState.h"

#include <QtTest>

class tst_PromptState : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initialValues();
    void hundredAndFiftyPressesInsertHundredMarks();
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
        s.TopLine = 1000 + i;
        s.RecordErrorMark();
    }
    QCOMPARE(s.ErrorMarkCount, 100);
    QCOMPARE(s.ErrorMarkLines[99], 1099);
    QCOMPARE(s.ErrorMarkLines[100], 1149); // the overflow slot took the rest

    QList<qint32> inserted;
    s.InsertErrorMarks([&](qint32 line) { inserted << line; });
    QCOMPARE(inserted.size(), 100);
    QCOMPARE(inserted.first(), 1000);
    QCOMPARE(inserted.last(), 1099); // in the order recorded, the overflow slot never
    QCOMPARE(s.ErrorMarkCount, 0);
    QVERIFY(std::all_of(s.ErrorMarkLines.begin(), s.ErrorMarkLines.end() - 1, [](qint32 v) { return v == 0; }));

    // A second pass (an enclosing run ending) inserts nothing more.
    s.InsertErrorMarks([&](qint32 line) { inserted << line; });
    QCOMPARE(inserted.size(), 100);
}

QTEST_GUILESS_MAIN(tst_PromptState)
#include "tst_promptstate.moc"
