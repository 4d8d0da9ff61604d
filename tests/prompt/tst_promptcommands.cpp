#include "TestWindow.h"
#include "PromptRunner.h"

#include "app/TMainForm.h"
#include "controls/ClientArea.h"
#include "controls/TRichEdit.h"
#include "editor/ScriptFiles.h"
#include "formats/MarkerChars.h"
#include "prompt/PromptCommands.h"
#include "prompt/PromptEngine.h"

#include <QAction>
#include <QLabel>
#include <QScreen>
#include <QtTest>

// Lines as pages and lines into the page.
using Places = QList<QPair<int, int>>;

// The command layer on real runs: each command's effect, whichever input gives it.
class tst_PromptCommands : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void startIsQueued();
    void menuStartReturnsAtOnce();
    void statusNamesTheControlSource_data();
    void statusNamesTheControlSource();
    void commandsNeedARun();
    void labelsAndArrow();
    void flagMarksTheLineAtTheTop();
    void restartFromTopMarksAndStartsAtLineZero();
    void jumpShowsTheMarkerAtTheTop_data();
    void jumpShowsTheMarkerAtTheTop();
    void fullSpeedAfterASlowControllerRow();

private:
    std::unique_ptr<TestWindow> m_window;
    TMainForm *m_form = nullptr;
};

void tst_PromptCommands::init()
{
    m_window = std::make_unique<TestWindow>();
    m_form = &m_window->open();
    QVERIFY(m_window->show({600, 400}));
    m_window->slowKeys();
}

void tst_PromptCommands::cleanup()
{
    QVERIFY2(m_window->clean(), qPrintable(m_window->errors()));
    m_form = nullptr;
    m_window.reset();
}

// The start returns at once, whatever handler gave it; the run starts from the event loop.
void tst_PromptCommands::startIsQueued()
{
    m_window->loadLines(100);
    PromptCommands &commands = *m_form->Commands;
    QCOMPARE(commands.Start(), PromptControl::Outcome::Done);
    QVERIFY(!m_form->Engine->Active());
    QCOMPARE(commands.Start(), PromptControl::Outcome::Ignored); // one start already waits
    bool prompted = false;
    QTimer poll;
    poll.setInterval(5);
    connect(&poll, &QTimer::timeout, this, [&] {
        if (m_form->Prompt.Prompting && m_form->Prompt.LoopRunning) {
            prompted = true;
            QCOMPARE(commands.Start(), PromptControl::Outcome::Ignored);
            QVERIFY(commands.Status().prompting);
            QCOMPARE(commands.Leave(), PromptControl::Outcome::Done);
        }
    });
    poll.start();
    QTRY_VERIFY_WITH_TIMEOUT(prompted && !m_form->Engine->Active(), 15000);
    QCOMPARE(commands.Leave(), PromptControl::Outcome::Ignored);
    QVERIFY(!commands.Status().prompting);
}

// The start items of the menu and the tool bar queue the run like every other input.
void tst_PromptCommands::menuStartReturnsAtOnce()
{
    m_window->loadLines(100);
    // The run starts from the event loop; it is left from a timer inside it.
    bool prompted = false;
    QTimer poll;
    poll.setInterval(5);
    connect(&poll, &QTimer::timeout, this, [&] {
        if (m_form->Prompt.Prompting && m_form->Prompt.LoopRunning) {
            prompted = true;
            m_form->Commands->Leave();
        }
    });
    poll.start();
    m_form->Action(QStringLiteral("Prompt1"))->trigger();
    // A run inside the menu's handler would have been prompted and left by now.
    QVERIFY(!prompted);
    QVERIFY(!m_form->Engine->Active());
    QTRY_VERIFY_WITH_TIMEOUT(prompted && !m_form->Engine->Active(), 15000);
}

void tst_PromptCommands::statusNamesTheControlSource_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<QString>("controller");
    QTest::newRow("keyboard") << "ScrollControls1"
                              << "Control: Keyboard";
    QTest::newRow("port 1") << "COM11"
                            << "Control: Serial COM 1";
    QTest::newRow("port 2") << "Com21"
                            << "Control: Serial COM 2";
}

// The control source, not whatever the third panel shows last (a script's name, the talent).
void tst_PromptCommands::statusNamesTheControlSource()
{
    QFETCH(QString, item);
    QFETCH(QString, controller);
    m_form->Action(item)->trigger();
    m_form->Files->SetScriptFileName(QStringLiteral("notes.rtf"));
    QCOMPARE(m_form->Commands->Status().controller, controller);
}

// Outside a run each command says so and changes nothing.
void tst_PromptCommands::commandsNeedARun()
{
    m_window->loadLines(50);
    PromptCommands &c = *m_form->Commands;
    const PromptState before = m_form->Prompt;
    const QString text = m_form->RichEdit1->Text();
    const QList<PromptControl::Outcome> outcomes{
        c.KeyboardRow(5), c.ControllerValue(30), c.ToggleDirection(), c.Jump(true),
        c.FlagLine(),     c.RestartFromTop(),    c.LayOutAgain(),     c.Leave()};
    for (PromptControl::Outcome o : outcomes)
        QCOMPARE(o, PromptControl::Outcome::Ignored);
    const PromptState &after = m_form->Prompt;
    QCOMPARE((QList<int>{after.CurrentSpeed, after.CurrentDelay, after.Reverse, after.ErrorMarkCount}),
             (QList<int>{before.CurrentSpeed, before.CurrentDelay, before.Reverse, before.ErrorMarkCount}));
    QCOMPARE(m_form->RichEdit1->Text(), text);
}

// The margin shows what the commands set, from the keyboard's rows and the controller's.
void tst_PromptCommands::labelsAndArrow()
{
    m_window->loadLines(200);
    Settings &s = *m_form->SettingsRecord;
    s.KeyboardSpeedTable[4] = {4, 123456};
    s.SerialSpeedTable[40] = {7, 654321};
    m_form->Prompt.ShowSpeedLabels = 1;
    PromptRunner driver(*m_form);
    PromptCommands &c = *m_form->Commands;
    QStringList seen;
    auto labels
        = [&] { return m_form->Label3->text() + u'/' + m_form->Label2->text() + u'/' + m_form->Label1->text(); };
    driver.when([] { return true; },
                [&] {
                    QCOMPARE(c.KeyboardRow(4), PromptControl::Outcome::Done);
                    seen << labels();
                    QCOMPARE(c.ControllerValue(40), PromptControl::Outcome::Done);
                    seen << labels();
                    QCOMPARE(c.ToggleDirection(), PromptControl::Outcome::Done);
                    seen << labels();
                    QCOMPARE(c.Status().reverse, true);
                    QCOMPARE(c.Status().speed, 7);
                    QCOMPARE(c.ToggleDirection(), PromptControl::Outcome::Done);
                    seen << labels();
                    QCOMPARE(c.KeyboardRow(10), PromptControl::Outcome::Ignored);
                    QCOMPARE(c.ControllerValue(65), PromptControl::Outcome::Ignored);
                });
    QVERIFY(driver.run());
    QCOMPARE(seen, (QStringList{"4/123456/>", "7/654321/>", "7/654321/<", "7/654321/>"}));
}

// Flagging marks the line at the top of the window when the run ends, not the first line of
// the pane (a page above it).
void tst_PromptCommands::flagMarksTheLineAtTheTop()
{
    m_window->loadLines(300);
    PromptRunner driver(*m_form);
    PromptCommands &c = *m_form->Commands;
    int flagged = -1;
    const int target = 3 * m_window->pageLines() / 2;
    driver.when([] { return true; }, [&] { c.KeyboardRow(9); });
    driver.when([&] { return m_form->Engine->LineAtTop() >= target; },
                [&] {
                    c.KeyboardRow(0); // stand still
                });
    driver.when([&] { return m_form->Prompt.CurrentSpeed == 0; },
                [&] {
                    flagged = m_form->Engine->LineAtTop();
                    QCOMPARE(c.FlagLine(), PromptControl::Outcome::Done);
                    QCOMPARE(c.Status().topLine, flagged);
                });
    QVERIFY(driver.run());
    QVERIFY(flagged >= target);
    QVERIFY(flagged % m_window->pageLines() != 0); // not a pane's first line
    const TRichEdit *editor = m_form->RichEdit1;
    QVERIFY2(editor->LineText(flagged).startsWith(ErrorMarker), qPrintable(editor->LineText(flagged)));
    QCOMPARE(editor->Text().count(ErrorMarker), 1);
}

void tst_PromptCommands::restartFromTopMarksAndStartsAtLineZero()
{
    m_window->loadLines(300);
    PromptRunner driver(*m_form);
    PromptCommands &c = *m_form->Commands;
    const PromptState &p = m_form->Prompt;
    const qint64 runs = m_form->Engine->RunsStarted();
    int flagged = -1;
    driver.when([] { return true; }, [&] { c.KeyboardRow(9); });
    driver.when([&] { return m_form->Engine->LineAtTop() >= 30; },
                [&] {
                    flagged = m_form->Engine->LineAtTop();
                    c.FlagLine();
                    c.ToggleDirection();
                    QCOMPARE(c.RestartFromTop(), PromptControl::Outcome::Done);
                    // The flagged line is marked before the text starts again.
                    QVERIFY(m_form->RichEdit1->LineText(flagged).startsWith(ErrorMarker));
                });
    driver.when([&] { return m_form->Engine->RunsStarted() == runs + 2; },
                [&] {
                    QCOMPARE(m_form->Engine->LineAtTop(), 0);
                    QCOMPARE(p.Reverse, 0);
                    QCOMPARE(m_form->Label1->text(), QStringLiteral(">"));
                });
    QVERIFY(driver.run());
    QCOMPARE(m_form->RichEdit1->Text().count(ErrorMarker), 1);
}

void tst_PromptCommands::jumpShowsTheMarkerAtTheTop_data()
{
    // From the first line: the markers, in pages and lines (page * p + line), the jumps
    // (true forward) and the line at the top after each.
    QTest::addColumn<Places>("markers");
    QTest::addColumn<QList<bool>>("jumps");
    QTest::addColumn<Places>("tops");
    QTest::newRow("forward, within the next page") << Places{{0, 0}, {1, 1}} << QList<bool>{true} << Places{{1, 1}};
    QTest::newRow("forward, two pages down") << Places{{0, 0}, {2, 1}} << QList<bool>{true} << Places{{2, 1}};
    QTest::newRow("forward twice, back two pages")
        << Places{{3, 1}, {5, 0}} << QList<bool>{true, true, false} << Places{{3, 1}, {5, 0}, {3, 1}};
    QTest::newRow("forward, none ahead") << Places{{0, 0}} << QList<bool>{true} << Places{{0, 0}};
    QTest::newRow("back, none before") << Places{{2, 0}} << QList<bool>{false} << Places{{0, 0}};
}

void tst_PromptCommands::jumpShowsTheMarkerAtTheTop()
{
    QFETCH(Places, markers);
    QFETCH(QList<bool>, jumps);
    QFETCH(Places, tops);
    m_window->loadLines(2);
    const int page = m_window->pageLines();
    auto line = [page](QPair<int, int> at) { return at.first * page + at.second; };
    QList<int> markerLines;
    for (const auto &m : markers)
        markerLines << line(m);
    m_window->loadLines(500, markerLines);
    PromptRunner driver(*m_form);
    PromptCommands &c = *m_form->Commands;
    const qint64 runs = m_form->Engine->RunsStarted();
    for (int i = 0; i < jumps.size(); ++i) {
        driver.when([&, i] { return m_form->Engine->RunsStarted() == runs + 1 + i; },
                    [&, i] { QCOMPARE(c.Jump(jumps[i]), PromptControl::Outcome::Done); });
        driver.when([&, i] { return m_form->Engine->RunsStarted() == runs + 2 + i; },
                    [&, i] {
                        QCOMPARE(m_form->Prompt.CurrentSpeed, 0);
                        QCOMPARE(m_form->Engine->LineAtTop(), line(tops[i]));
                    });
    }
    QVERIFY(driver.run());
}

// After the slowest controller row, a fast row with no delay runs at its own speed at once.
void tst_PromptCommands::fullSpeedAfterASlowControllerRow()
{
    m_window->loadLines(600);
    Settings defaults;
    WriteDefaultSettings(defaults);
    m_form->SettingsRecord->SerialSpeedTable = defaults.SerialSpeedTable;
    const SpeedEntry slow = defaults.SerialSpeedTable[1];
    const SpeedEntry fast = defaults.SerialSpeedTable[30];
    QVERIFY(slow.Delay > 0);
    QCOMPARE(fast.Delay, 0);
    m_form->Action(QStringLiteral("SteadySpeed1"))->setChecked(true);
    const double refresh = m_form->screen()->refreshRate() > 0 ? m_form->screen()->refreshRate() : 60.0;
    PromptRunner driver(*m_form);
    PromptCommands &c = *m_form->Commands;
    const PromptState &p = m_form->Prompt;
    QElapsedTimer clock;
    QList<int> moves;
    m_form->Engine->OnStep = [&](bool after) {
        if (after && clock.isValid() && !p.PaneAWrapped && !p.PaneBWrapped)
            moves << p.PaneAPrevTop - p.PaneATop;
    };
    driver.when([] { return true; }, [&] { c.ControllerValue(1); });
    driver.when([&] { return m_form->Engine->StepsMade() > 2; },
                [&] {
                    c.ControllerValue(30);
                    QCOMPARE(p.ActiveDelay, 0);
                    clock.start();
                });
    driver.when([&] { return clock.isValid() && clock.elapsed() >= 1000; }, [] {});
    QVERIFY(driver.run());
    QVERIFY(std::all_of(moves.begin(), moves.end(), [&](int m) { return m == fast.Speed; }));
    // A step a frame: the slow row's 41 frames a step would give one or two in a second.
    QVERIFY2(moves.size() > refresh / 4, qPrintable(QStringLiteral("%1 steps").arg(moves.size())));
}

QTEST_MAIN(tst_PromptCommands)
#include "tst_promptcommands.moc"
