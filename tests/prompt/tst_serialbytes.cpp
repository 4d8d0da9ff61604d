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
        QCOMPARE(p.LoopRunning, quint8(0));
        QCOMPARE(p.CurrentSpeed, 0);
        // The new run, which has its own speeds, ends before the handler goes on.
        p.CurrentSpeed = -1;
        p.CurrentDelay = -1;
    }
    QCOMPARE(seen, requests);
    QCOMPARE(p.CurrentSpeed, speed);
    QCOMPARE(p.CurrentDelay, delay);
    QCOMPARE(p.Reverse, reverse);
    QCOMPARE(int(p.FirstWrapPending), firstWrapPending);
    QCOMPARE(p.LoopRunning, quint8(requests.contains(u'J') ? 0 : 1));
    QCOMPARE(p.ActiveDelay, 100000); // the loop's own business
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

struct Position
{
    qint32 topLine = 0;
    qint32 recycleLines = 0;
    qint32 pageLines = 0;
    qint32 reverse = 0;
};
Q_DECLARE_METATYPE(Position)

// Lines: 0 "Intro" at 0, 1 "»One" at 6, 2 "text" at 11, 3 "»Two" at 16, 4 "more" at 21,
// 5 "»Three" at 26, 6 "end" at 33.
static const char *const Script = "Intro\n\u00bbOne\ntext\n\u00bbTwo\nmore\n\u00bbThree\nend";

void tst_SerialBytes::jumpTarget_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<Position>("position");
    QTest::addColumn<int>("start");     // caret; -1: not moved
    QTest::addColumn<int>("markerPos"); // 1-based, 99 when left alone
    QTest::addColumn<int>("scanPos");

    const QString script = QString::fromUtf8(Script);
    // Forward: from the line a page below both panes, its first character not searched.
    QTest::newRow("forward to the next marker") << script << Position{0, 1, 1} << 16 << 17 << 16;
    QTest::newRow("forward past a marker at the line start") << script << Position{0, 2, 1} << 26 << 27 << 26;
    QTest::newRow("forward with upper-case text around") << script.toUpper() << Position{1, 0, 1} << 16 << 17 << 16;
    QTest::newRow("forward with no marker ahead") << script << Position{4, 1, 1} << -1 << 99 << 33;
    QTest::newRow("forward from past the last line") << script << Position{6, 1, 1} << -1 << 99 << -1;
    // Reverse: from the top line, the character before its line break not searched.
    QTest::newRow("reverse to the previous marker") << script << Position{5, 4, 4, 1} << 17 << 99 << 17;
    QTest::newRow("reverse past the top line's own marker") << script << Position{3, 4, 4, 1} << 7 << 99 << 7;
    QTest::newRow("reverse with no marker before") << script << Position{1, 4, 4, 1} << 0 << 99 << 0;
    QTest::newRow("reverse skips a marker ending the line above")
        << QString::fromUtf8("\u00bbA\nb\u00bb\nc") << Position{2, 0, 0, 1} << 1 << 99 << 1;
    QTest::newRow("reverse at the top") << script << Position{0, 4, 4, 1} << -1 << 99 << 0;
    QTest::newRow("reverse from index 1") << QStringLiteral("\nb\u00bb") << Position{1, 0, 0, 1} << -1 << 99 << 1;
}

void tst_SerialBytes::jumpTarget()
{
    QFETCH(QString, text);
    QFETCH(Position, position);
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

    PromptState p;
    p.TopLine = position.topLine;
    p.RecycleLines = position.recycleLines;
    p.PageLines = position.pageLines;
    p.Reverse = position.reverse;
    MarkerSearchState markers;
    markers.MarkerPos = 99;
    const std::optional<MarkerSearch::Selection> target = SerialJump::Target(markers, text, p, lineIndex);
    QCOMPARE(target ? target->start : -1, start);
    if (target)
        QCOMPARE(target->length, 1);
    QCOMPARE(markers.MarkerPos, markerPos);
    QCOMPARE(markers.MarkerScanPos, scanPos);
}

QTEST_GUILESS_MAIN(tst_SerialBytes)
#include "tst_serialbytes.moc"
