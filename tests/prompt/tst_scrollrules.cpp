#include "prompt/PromptState.h"
#include "prompt/ScrollRules.h"

#include <QtTest>

namespace {

// A pane over a script of display lines: it knows its first visible line and height and
// records how it was scrolled. Scrolling stops at the script's last line, as a text
// control's does.
class FakePane : public PromptPane
{
public:
    FakePane(int firstLine, int paneHeight, int lineCount = 100000)
        : first(firstLine), height(paneHeight), lines(lineCount)
    {
    }
    int FirstVisibleLine() const override { return first; }
    void LineScroll(int n) override
    {
        scrolled += n;
        first = std::clamp(first + n, 0, lines - 1);
    }
    int Height() const override { return height; }
    int TextY() const override { return first * LineHeight; }

    static constexpr int LineHeight = 80;
    int first;
    int height;
    int lines;
    int scrolled = 0;
};

// The state of a run laid out with pages of 5 lines, 400-pixel panes (80 pixels a line).
PromptState runState()
{
    PromptState p;
    p.Prompting = 1;
    p.LoopRunning = 1;
    p.CurrentSpeed = 3;
    p.TopLine = 0;
    p.NextLine = 11;
    p.LineCount = 200;
    p.PageLines = 5;
    p.RecycleLines = 10;
    p.PaneAHeight = p.PaneBHeight = 401;
    return p;
}

}

class tst_ScrollRules : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void fillInOffsets_data();
    void fillInOffsets();
    void forwardStep_data();
    void forwardStep();
    void reverseStep_data();
    void reverseStep();
    void leavingTopLine_data();
    void leavingTopLine();
    void startLine_data();
    void startLine();
    void runToTheEndWithoutGaps();
};

void tst_ScrollRules::fillInOffsets_data()
{
    QTest::addColumn<int>("speed");
    QTest::addColumn<bool>("smoothing");
    QTest::addColumn<bool>("reverse");
    QTest::addColumn<QList<int>>("offsets");

    QTest::newRow("off") << 6 << false << false << QList<int>{0};
    QTest::newRow("reverse") << 6 << true << true << QList<int>{0};
    QTest::newRow("speed 0") << 0 << true << false << QList<int>{0};
    QTest::newRow("speed 1") << 1 << true << false << QList<int>{0};
    QTest::newRow("speed 2") << 2 << true << false << QList<int>{0, -1};
    QTest::newRow("speed 3") << 3 << true << false << QList<int>{1, 0, -1};
    QTest::newRow("speed 4") << 4 << true << false << QList<int>{2, 0, -1};
    QTest::newRow("speed 5") << 5 << true << false << QList<int>{2, 0, -2};
    QTest::newRow("speed 9") << 9 << true << false << QList<int>{2, 0, -2};
}

void tst_ScrollRules::fillInOffsets()
{
    QFETCH(int, speed);
    QFETCH(bool, smoothing);
    QFETCH(bool, reverse);
    QFETCH(QList<int>, offsets);
    QCOMPARE(ScrollRules::FillInOffsets(speed, smoothing, reverse), offsets);
}

void tst_ScrollRules::forwardStep_data()
{
    // Start state: pane tops, first visible lines, TopLine, NextLine, speed, FirstWrapPending.
    QTest::addColumn<int>("aTop");
    QTest::addColumn<int>("bTop");
    QTest::addColumn<int>("aFirst");
    QTest::addColumn<int>("bFirst");
    QTest::addColumn<int>("topLine");
    QTest::addColumn<int>("nextLine");
    QTest::addColumn<int>("speed");
    QTest::addColumn<bool>("firstWrap");
    // Expected: pane tops, first visible lines, TopLine, NextLine, speed, FirstWrapPending.
    QTest::addColumn<QList<int>>("expected");

    //                                aTop  bTop aF bF  top next sp  wrap      aTop  bTop  aF  bF top next sp wrap
    QTest::newRow("plain move")       << -30 << 371 << 5 << 10 << 5 << 21 << 3 << false << QList<int>{-33, 368, 5, 10, 5, 21, 3, 0};
    QTest::newRow("first crossing of A keeps B")
                                      << 0 << 401 << 0 << 5 << 0 << 11 << 3 << true << QList<int>{-3, 397, 0, 5, 0, 11, 3, 0};
    // The recycled pane's text continues the other's: 5 lines of 80 pixels below its top.
    QTest::newRow("A crosses: B goes under it and on by both pages")
                                      << 2 << -399 << 20 << 15 << 15 << 31 << 3 << false << QList<int>{-1, 399, 20, 25, 20, 41, 3, 0};
    QTest::newRow("B crosses: A goes under it")
                                      << -398 << 2 << 5 << 10 << 5 << 21 << 3 << false << QList<int>{399, -1, 15, 10, 10, 31, 3, 0};
    QTest::newRow("touching zero is no crossing")
                                      << 3 << 404 << 20 << 25 << 15 << 31 << 3 << false << QList<int>{0, 401, 20, 25, 15, 31, 3, 0};
    QTest::newRow("speed 0 stands still")
                                      << -30 << 371 << 5 << 10 << 5 << 21 << 0 << false << QList<int>{-30, 371, 5, 10, 5, 21, 0, 0};
    QTest::newRow("end of the script stops the text")
                                      << -30 << 371 << 190 << 195 << 190 << 201 << 3 << false << QList<int>{-30, 371, 190, 195, 190, 201, 0, 0};
    QTest::newRow("last step before the end still moves")
                                      << -30 << 371 << 189 << 194 << 189 << 200 << 3 << false << QList<int>{-33, 368, 189, 194, 189, 200, 3, 0};
}

void tst_ScrollRules::forwardStep()
{
    QFETCH(int, aTop);
    QFETCH(int, bTop);
    QFETCH(int, aFirst);
    QFETCH(int, bFirst);
    QFETCH(int, topLine);
    QFETCH(int, nextLine);
    QFETCH(int, speed);
    QFETCH(bool, firstWrap);
    QFETCH(QList<int>, expected);

    PromptState p = runState();
    p.PaneATop = aTop;
    p.PaneBTop = bTop;
    p.TopLine = topLine;
    p.NextLine = nextLine;
    p.CurrentSpeed = speed;
    p.FirstWrapPending = firstWrap;
    FakePane a(aFirst, 401), b(bFirst, 401);
    ScrollRules::ForwardStep(p, a, b);
    const QList<int> got{p.PaneATop, p.PaneBTop, a.first, b.first, p.TopLine, p.NextLine, p.CurrentSpeed,
                         p.FirstWrapPending};
    QCOMPARE(got, expected);
    QCOMPARE(p.PaneAPrevTop, aTop);
    QCOMPARE(p.PaneBPrevTop, bTop);
}

void tst_ScrollRules::reverseStep_data()
{
    QTest::addColumn<int>("aTop");
    QTest::addColumn<int>("bTop");
    QTest::addColumn<int>("aFirst");
    QTest::addColumn<int>("bFirst");
    QTest::addColumn<int>("topLine");
    QTest::addColumn<int>("nextLine");
    // Expected: pane tops, first visible lines, TopLine, NextLine.
    QTest::addColumn<QList<int>>("expected");

    QTest::newRow("plain move back")  << -30 << 371 << 5 << 10 << 5 << 21 << QList<int>{-27, 374, 5, 10, 5, 21};
    QTest::newRow("A crosses down: B goes above it and back by both pages")
                                      << -2 << 399 << 20 << 25 << 20 << 41 << QList<int>{1, -399, 20, 15, 20, 31};
    QTest::newRow("B crosses down: A goes above it")
                                      << 399 << -2 << 25 << 20 << 20 << 41 << QList<int>{-399, 1, 15, 20, 20, 31};
    QTest::newRow("the top of the script stands still")
                                      << -2 << 399 << 0 << 5 << 0 << 11 << QList<int>{-2, 399, 0, 5, 0, 11};
    QTest::newRow("far enough above the top still moves")
                                      << -30 << 371 << 0 << 5 << 0 << 11 << QList<int>{-27, 374, 0, 5, 0, 11};
}

void tst_ScrollRules::reverseStep()
{
    QFETCH(int, aTop);
    QFETCH(int, bTop);
    QFETCH(int, aFirst);
    QFETCH(int, bFirst);
    QFETCH(int, topLine);
    QFETCH(int, nextLine);
    QFETCH(QList<int>, expected);

    PromptState p = runState();
    p.Reverse = 1;
    p.PaneATop = aTop;
    p.PaneBTop = bTop;
    p.TopLine = topLine;
    p.NextLine = nextLine;
    p.FirstWrapPending = 1; // not consulted going back
    FakePane a(aFirst, 401), b(bFirst, 401);
    ScrollRules::Step(p, a, b);
    const QList<int> got{p.PaneATop, p.PaneBTop, a.first, b.first, p.TopLine, p.NextLine};
    QCOMPARE(got, expected);
    QCOMPARE(p.CurrentSpeed, 3);
}

void tst_ScrollRules::leavingTopLine_data()
{
    QTest::addColumn<int>("aTop");
    QTest::addColumn<int>("bTop");
    QTest::addColumn<int>("fa");
    QTest::addColumn<int>("fb");
    QTest::addColumn<int>("topLine");
    QTest::addColumn<int>("expected");

    QTest::newRow("pane A on top") << -170 << 231 << 10 << 15 << 10 << 14;
    QTest::newRow("pane A at its top") << 0 << 401 << 10 << 15 << 10 << 12;
    QTest::newRow("pane B on top") << 231 << -170 << 20 << 15 << 15 << 19;
    QTest::newRow("pane A holds TopLine") << -90 << 311 << 20 << 15 << 20 << 23;
}

void tst_ScrollRules::leavingTopLine()
{
    QFETCH(int, aTop);
    QFETCH(int, bTop);
    QFETCH(int, fa);
    QFETCH(int, fb);
    QFETCH(int, topLine);
    QFETCH(int, expected);
    PromptState p = runState();
    p.PaneATop = aTop;
    p.PaneBTop = bTop;
    p.TopLine = topLine;
    QCOMPARE(ScrollRules::LeavingTopLine(p, fa, fb, 80), expected);
}

void tst_ScrollRules::startLine_data()
{
    QTest::addColumn<int>("firstVisible");
    QTest::addColumn<int>("top");
    QTest::addColumn<bool>("atStart");
    QTest::newRow("line 7 starts at 5") << 7 << 5 << false;
    QTest::newRow("line 5 starts at 0") << 5 << 0 << true;
    QTest::newRow("line 4 starts at 0") << 4 << 0 << true;
    QTest::newRow("line 12 starts at 10") << 12 << 10 << false;
    QTest::newRow("line 10 stays") << 10 << 10 << false;
}

void tst_ScrollRules::startLine()
{
    QFETCH(int, firstVisible);
    QFETCH(int, top);
    QFETCH(bool, atStart);
    PromptState p = runState();
    p.TopLine = firstVisible;
    QCOMPARE(ScrollRules::AlignStartLine(p), atStart);
    QCOMPARE(p.TopLine, top);
    QCOMPARE(p.NextLine, top + 1);
}

// Steps a whole run through the rules: the panes leapfrog with the lower one always
// continuing the upper one's text, showing the next page, and the text stops only at
// the end of the script.
void tst_ScrollRules::runToTheEndWithoutGaps()
{
    PromptState p = runState();
    const int speed = 7;
    p.CurrentSpeed = speed;
    p.FirstWrapPending = 1;
    p.PaneATop = 0;
    p.PaneBTop = 401;
    const int lines = p.LineCount;
    FakePane a(0, 401, lines), b(5, 401, lines);
    int steps = 0;
    while (p.CurrentSpeed > 0 && steps < 10000) {
        ScrollRules::ForwardStep(p, a, b);
        if (p.NextLine >= p.LineCount)
            ScrollRules::RebaseLineCursor(p);
        ++steps;
        const bool aUpper = p.PaneATop < p.PaneBTop;
        const FakePane &upper = aUpper ? a : b;
        const FakePane &lower = aUpper ? b : a;
        const int upperTop = aUpper ? p.PaneATop : p.PaneBTop;
        const int lowerTop = aUpper ? p.PaneBTop : p.PaneATop;
        // The lower pane's text continues the upper one's: no gap, no overlap at the seam.
        QCOMPARE(lowerTop - upperTop, lower.TextY() - upper.TextY());
        QCOMPARE(lower.first, upper.first + p.PageLines); // the next page
        // The window's top is covered, but for a crossing's overshoot.
        QVERIFY(upperTop <= 0 && upperTop > -upper.height - speed);
        QCOMPARE(p.TopLine, upper.first);
    }
    QVERIFY(steps < 10000);
    // Stopped with the script's end on screen, within the padded tail.
    QCOMPARE(p.TopLine, lines - p.RecycleLines);
}

QTEST_GUILESS_MAIN(tst_ScrollRules)
#include "tst_scrollrules.moc"
