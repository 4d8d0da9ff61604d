#include "prompt/FramePacer.h"

#include <QtTest>

class tst_FramePacer : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void framesPerStep_data();
    void framesPerStep();
    void stepsOnTheFrameGrid();
    void lateStepIsNotMadeUp();
    void unusableRefreshRate_data();
    void unusableRefreshRate();
};

void tst_FramePacer::framesPerStep_data()
{
    QTest::addColumn<int>("delay");
    QTest::addColumn<double>("refresh");
    QTest::addColumn<QList<int>>("frames");   // frames after each of the first steps
    QTest::addColumn<double>("stepsPerSecond");

    QTest::newRow("0 at 60") << 0 << 60.0 << QList<int>{1, 1, 1, 1} << 60.0;
    QTest::newRow("500000 at 60") << 500000 << 60.0 << QList<int>{1, 2, 1, 2} << 40.0;
    QTest::newRow("1000000 at 60") << 1000000 << 60.0 << QList<int>{2, 2, 2, 2} << 30.0;
    QTest::newRow("2000000 at 60") << 2000000 << 60.0 << QList<int>{3, 3, 3, 3} << 20.0;
    QTest::newRow("40000000 at 60") << 40000000 << 60.0 << QList<int>{41, 41, 41, 41} << 60.0 / 41;
    QTest::newRow("100000 at 60") << 100000 << 60.0 << QList<int>{1, 1, 1, 1} << 60.0 / 1.1;
    QTest::newRow("0 at 50") << 0 << 50.0 << QList<int>{1, 1, 1, 1} << 50.0;
    QTest::newRow("500000 at 50") << 500000 << 50.0 << QList<int>{1, 2, 1, 2} << 50.0 / 1.5;
    QTest::newRow("2000000 at 50") << 2000000 << 50.0 << QList<int>{3, 3, 3, 3} << 50.0 / 3;
    QTest::newRow("negative counts as none") << -5 << 60.0 << QList<int>{1, 1, 1, 1} << 60.0;
}

void tst_FramePacer::framesPerStep()
{
    QFETCH(int, delay);
    QFETCH(double, refresh);
    QFETCH(QList<int>, frames);
    QFETCH(double, stepsPerSecond);

    FramePacer pacer(refresh, 0);
    QList<int> got;
    for (int i = 0; i < frames.size(); ++i)
        got << pacer.FramesAfterStep(delay);
    QCOMPARE(got, frames);

    // Over many steps, made on time, the average holds exactly.
    FramePacer timed(refresh, 0);
    const int steps = 1000;
    qint64 due = 0;
    for (int i = 0; i < steps; ++i)
        due = timed.NextStep(delay, due);
    const double seconds = due / 1e9;
    QVERIFY2(qAbs(steps / seconds - stepsPerSecond) / stepsPerSecond < 0.002,
             qPrintable(QString::number(steps / seconds)));
}

void tst_FramePacer::stepsOnTheFrameGrid()
{
    const qint64 start = 5'000'000'000;
    FramePacer pacer(60.0, start);
    qint64 due = start;
    for (int i = 1; i <= 600; ++i) {
        // Steps start a little after they are due, as a woken loop does.
        due = pacer.NextStep(0, due + 300'000);
        const double frames = (due - start) / (1e9 / 60);
        QVERIFY(qAbs(frames - qRound(frames)) < 1e-6);
        QCOMPARE(qRound(frames), i);
    }
}

// A step that comes long after it was due (the machine stalled) is followed by the next
// frame's step, not by a burst of the steps the stall missed.
void tst_FramePacer::lateStepIsNotMadeUp()
{
    FramePacer pacer(50.0, 0);
    const qint64 frame = 20'000'000;
    QCOMPARE(pacer.NextStep(0, 0), frame);
    // The step due at frame 1 is made at 10.5 frames.
    const qint64 late = 10 * frame + frame / 2;
    const qint64 next = pacer.NextStep(0, late);
    QCOMPARE(next, 11 * frame);
    QCOMPARE(pacer.NextStep(0, next), 12 * frame);
    // With a delay the schedule goes on from the late step as well.
    QCOMPARE(pacer.NextStep(1000000, 40 * frame), 40 * frame);
    QCOMPARE(pacer.NextStep(1000000, 40 * frame), 42 * frame);
}

void tst_FramePacer::unusableRefreshRate_data()
{
    QTest::addColumn<double>("refresh");
    QTest::newRow("nothing") << 0.0;
    QTest::newRow("negative") << -1.0;
    QTest::newRow("absurd") << 100000.0;
}

void tst_FramePacer::unusableRefreshRate()
{
    QFETCH(double, refresh);
    FramePacer pacer(refresh, 0);
    QCOMPARE(pacer.NextStep(0, 0), qint64(std::llround(1e9 / 60)));
}

QTEST_GUILESS_MAIN(tst_FramePacer)
#include "tst_framepacer.moc"
