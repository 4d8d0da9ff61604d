#include "editor/MarkerSearchState.h"
#include "prompt/PromptState.h"
#include "prompt/SerialBytes.h"

#include <QtTest>

// What the hand controller's bytes do to the prompt state, and where its jump goes.
class tst_SerialBytes : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void batch_data();
    void batch();
    void lockOutSpansBatches();
    void jumpTarget_data();
    void jumpTarget();
};

// Row v moves 2v + 1 pixels and waits 1000v + 7 iterations, except row 12, which waits 0.
static SerialSpeedTable table()
{
    SerialSpeedTable t;
    for (int v = 0; v <= 64; ++v)
        t[v] = {2 * v + 1, 1000 * v + 7};
    t[12].Delay = 0;
    return t;
}

static QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray b;
    for (const int v : values)
        b.append(char(v));
    return b;
}

struct Start
{
    qint32 reverse = 0;
    qint32 topLine = 7;
    qint32 speed = 3;
    bool lockedOut = false;
};
Q_DECLARE_METATYPE(Start)

void tst_SerialBytes::batch_data()
{
    QTest::addColumn<QByteArray>("batch");
    QTest::addColumn<Start>("start");
    QTest::addColumn<QString>("requests"); // T toggled, J stop and jump
    QTest::addColumn<int>("speed");        // -1: as the new run left it
    QTest::addColumn<int>("delay");
    QTest::addColumn<int>("reverse");
    QTest::addColumn<int>("firstWrapPending");

    const int run = -1;
    // Speeds
    QTest::newRow("10 20 30 leave row 30") << bytes({10, 20, 30}) << Start{} << "" << 61 << 30007 << 0 << 1;
    QTest::newRow("row 0") << bytes({0}) << Start{} << "" << 1 << 7 << 0 << 1;
    QTest::newRow("row 63") << bytes({63}) << Start{} << "" << 127 << 63007 << 0 << 1;
    QTest::newRow("a row with no delay") << bytes({12}) << Start{} << "" << 25 << 0 << 0 << 1;
    QTest::newRow("127 changes nothing") << bytes({127}) << Start{} << "" << 3 << 5 << 0 << 1;
    // Direction
    QTest::newRow("200 then 150 toggle once") << bytes({200, 150}) << Start{} << "T" << 3 << 5 << 1 << 0;
    QTest::newRow("255 back to forward") << bytes({255}) << Start{1} << "T" << 3 << 5 << 0 << 0;
    QTest::newRow("128 at the top line keeps the first wrap") << bytes({128}) << Start{0, 0} << "T" << 3 << 5 << 1 << 1;
    QTest::newRow("128 standing still keeps the first wrap") << bytes({128}) << Start{0, 7, 0} << "T" << 0 << 5 << 1 << 1;
    QTest::newRow("toggle locked out") << bytes({200}) << Start{0, 7, 3, true} << "" << 3 << 5 << 0 << 1;
    QTest::newRow("speeds around a toggle") << bytes({30, 127, 200, 5}) << Start{} << "T" << 11 << 5007 << 1 << 0;
    // Stop and jump
    QTest::newRow("64 jumps, then row 64") << bytes({64}) << Start{} << "J" << 129 << 64007 << 0 << 1;
    QTest::newRow("65 jumps only") << bytes({65}) << Start{} << "J" << run << run << 0 << 1;
    QTest::newRow("126 jumps only") << bytes({126}) << Start{} << "J" << run << run << 0 << 1;
    QTest::newRow("64 locked out is a speed") << bytes({64}) << Start{0, 7, 3, true} << "" << 129 << 64007 << 0 << 1;
    QTest::newRow("100 locked out is nothing") << bytes({100}) << Start{0, 7, 3, true} << "" << 3 << 5 << 0 << 1;
    QTest::newRow("a toggle locks the jump out") << bytes({200, 64}) << Start{} << "T" << 129 << 64007 << 1 << 0;
    QTest::newRow("a jump locks the toggle out") << bytes({64, 200, 20}) << Start{} << "J" << 41 << 20007 << 0 << 1;
}

void tst_SerialBytes::batch()
{
    QFETCH(QByteArray, batch);
    QFETCH(Start, start);
    QFETCH(QString, requests);
    QFETCH(int, speed);
    QFETCH(int, delay);
    QFETCH(int, reverse);
    QFETCH(int, firstWrapPending);

    const SerialSpeedTable speeds = table();
    PromptState p;
    p.Reverse = start.reverse;
    p.TopLine = start.topLine;
    p.CurrentSpeed = start.speed;
    p.CurrentDelay = 5;
    p.ActiveDelay = 100000;
    p.FirstWrapPending = 1;
    p.LoopRunning = 1;

    // The lock-out starts with each command and outlasts the batch.
    bool locked = start.lockedOut;
    QString seen;
    SerialByteReader reader(batch, p, speeds);
    for (;;) {
        const SerialByteReader::Request r = reader.Next(locked);
        if (r == SerialByteReader::Request::Done)
            break;
        locked = true;
        if (r == SerialByteReader::Request::Toggled) {
            seen += u'T';
            continue;
        }
        seen += u'J';
        // The jump command stops the run and starts the new one; the rest of the batch acts
        // in it (here from a mark that no row has set yet).
        p.CurrentSpeed = -1;
        p.CurrentDelay = -1;
    }
    QCOMPARE(seen, requests);
    QCOMPARE(p.CurrentSpeed, speed);
    QCOMPARE(p.CurrentDelay, delay);
    QCOMPARE(p.Reverse, reverse);
    QCOMPARE(int(p.FirstWrapPending), firstWrapPending);
    QCOMPARE(p.LoopRunning, quint8(1));
    // A row's delay acts at once, 0 included; without a row the loop's delay stays.
    QCOMPARE(p.ActiveDelay, delay == 5 || delay == -1 ? 100000 : delay);
}

// Byte 200, then 150 in the next batch: once while the lock-out runs, once after it.
void tst_SerialBytes::lockOutSpansBatches()
{
    const SerialSpeedTable speeds = table();
    PromptState p;
    auto send = [&](int byte, bool lockedOut) {
        SerialByteReader reader(bytes({byte}), p, speeds);
        int toggles = 0;
        while (reader.Next(lockedOut) == SerialByteReader::Request::Toggled) {
            ++toggles;
            lockedOut = true;
        }
        return toggles;
    };
    QCOMPARE(send(200, false), 1);
    QCOMPARE(send(150, true), 0);
    QCOMPARE(p.Reverse, 1);
    QCOMPARE(send(150, false), 1);
    QCOMPARE(p.Reverse, 0);
}

// Lines: 0 "Intro" at 0, 1 "»One" at 6, 2 "text" at 11, 3 "»Two" at 16, 4 "more" at 21,
// 5 "»Three" at 26, 6 "end" at 33.
static const char *const Script = "Intro\n\u00bbOne\ntext\n\u00bbTwo\nmore\n\u00bbThree\nend";

void tst_SerialBytes::jumpTarget_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("lineAtTop");
    QTest::addColumn<bool>("forward");
    QTest::addColumn<int>("start");     // the marker; -1: none that way
    QTest::addColumn<int>("markerPos"); // 1-based, 99 when left alone
    QTest::addColumn<int>("scanPos");   // 77 when left alone

    const QString script = QString::fromUtf8(Script);
    // Forward: the first marker after the line at the top.
    QTest::newRow("forward to the marker on the next line") << script << 0 << true << 6 << 7 << 6;
    QTest::newRow("forward past the top line's own marker") << script << 1 << true << 16 << 17 << 16;
    QTest::newRow("forward with upper-case text around") << script.toUpper() << 2 << true << 16 << 17 << 16;
    QTest::newRow("forward with no marker ahead") << script << 5 << true << -1 << 99 << 77;
    QTest::newRow("forward from the last line") << script << 6 << true << -1 << 99 << 77;
    QTest::newRow("forward from past the last line") << script << 9 << true << -1 << 99 << 77;
    // Back: the last marker before the line at the top.
    QTest::newRow("back to the previous marker") << script << 5 << false << 16 << 99 << 16;
    QTest::newRow("back past the top line's own marker") << script << 3 << false << 6 << 99 << 6;
    QTest::newRow("back with no marker before") << script << 1 << false << -1 << 99 << 77;
    QTest::newRow("back to a marker ending the line above")
        << QString::fromUtf8("\u00bbA\nb\u00bb\nc") << 2 << false << 4 << 99 << 4;
    QTest::newRow("back at the top") << script << 0 << false << -1 << 99 << 77;
}

void tst_SerialBytes::jumpTarget()
{
    QFETCH(QString, text);
    QFETCH(int, lineAtTop);
    QFETCH(bool, forward);
    QFETCH(int, start);
    QFETCH(int, markerPos);
    QFETCH(int, scanPos);

    // One display line per paragraph.
    QList<int> lineStarts{0};
    for (int i = 0; i < text.size(); ++i)
        if (text[i] == u'\n')
            lineStarts << i + 1;
    const SerialJump::LineIndex lineIndex = [&](int line) {
        return line >= 0 && line < lineStarts.size() ? lineStarts[line] : -1;
    };

    MarkerSearchState markers;
    markers.MarkerPos = 99;
    markers.MarkerScanPos = 77;
    const std::optional<MarkerSearch::Selection> target =
        SerialJump::Target(markers, text, lineAtTop, forward, lineIndex);
    QCOMPARE(target ? target->start : -1, start);
    if (target)
        QCOMPARE(target->length, 1);
    QCOMPARE(markers.MarkerPos, markerPos);
    QCOMPARE(markers.MarkerScanPos, scanPos);
}

QTEST_GUILESS_MAIN(tst_SerialBytes)
#include "tst_serialbytes.moc"
