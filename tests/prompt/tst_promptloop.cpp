#include "TestWindow.h"

#include "controls/ScriptLayout.h"
#include "PromptRunner.h"

#include "settings/Settings.h"
#include "app/TMainForm.h"
#include "controls/TRichEdit.h"
#include "controls/TStatusBar.h"
#include "controls/ClientArea.h"
#include "prompt/DisplayAids.h"
#include "prompt/PromptCommands.h"
#include "prompt/PromptEngine.h"
#include "prompt/ScrollRules.h"

#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QtTest>

#include <deque>
#include <functional>

class tst_PromptLoop : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void pageAlignment_data();
    void pageAlignment();
    void pageMeasuredWithoutHook_data();
    void pageMeasuredWithoutHook();
    void digitKeysAndKeptDelay();
    void defaultTableRowsBecomeSpeeds_data();
    void defaultTableRowsBecomeSpeeds();
    void everyStepFollowsTheRules();
    void clockStandsStillWhileLabelsHidden();
    void enterTogglesDirection();
    void forwardRunKeepsPanesContinuous();
    void longParagraphPrompts();
    void reverseStopsAtTheTop();
    void endOfScriptStop();
    void longRunNeverStopsPartWay();
    void runAtTheEndHoldsStill();
    void smoothingDrawsEveryPosition();
    void restartLeavesPanesFree();
    void escapeInsertsMarksAndPlacesCaret();
    void hundredAndFiftyFlags();
    void ctrlHomeRestartsAndKeepsMarks();
    void escapeAfterCtrlHomeLandsOnScreenLine();
    void thousandsOfCtrlHomeStayFlat();
    void restartsKeepThePrompter_data();
    void restartsKeepThePrompter();
    void ctrlRAppliesEditedTable();
    void keysDuringSetUpWaitForTheLoop();
    void escapeDuringSetUpEndsPrompting();
    void emptyScriptDoesNothing();
    void steadySpeedMovesAtTheDisplayRate();
    void seamKeepsTheLinePitch_data();
    void seamKeepsTheLinePitch();
    void firstStartPromptsAtTheSteadySpeed();

private:
    int lineOnScreen() const;
    std::unique_ptr<TestWindow> m_window;
    TMainForm *m_form = nullptr;
};

void tst_PromptLoop::init()
{
    m_window = std::make_unique<TestWindow>();
    m_form = &m_window->open();
    QVERIFY(m_window->show());
    // Slow, but steady: the busy-wait keeps tests from racing through the script. A first
    // start picks the steady method; the tests of it choose it themselves.
    m_window->slowKeys();
}

void tst_PromptLoop::cleanup()
{
    QVERIFY2(m_window->clean(), qPrintable(m_window->errors()));
    m_form = nullptr;
    m_window.reset();
}

// The first line of whichever pane covers the top of the window.
int tst_PromptLoop::lineOnScreen() const
{
    const PromptState &p = m_form->Prompt;
    const bool aOnTop = p.PaneATop <= 0 && p.PaneATop + p.PaneAHeight > 0;
    return (aOnTop ? m_form->RichEdit1 : m_form->RichEdit2)->GetFirstVisibleLine();
}

void tst_PromptLoop::pageAlignment_data()
{
    QTest::addColumn<int>("firstVisible");
    QTest::addColumn<int>("startLine");
    QTest::newRow("line 7 starts at 5") << 7 << 5;
    QTest::newRow("line 5 starts at 0") << 5 << 0;
    QTest::newRow("line 12 starts at 10") << 12 << 10;
}

void tst_PromptLoop::pageAlignment()
{
    QFETCH(int, firstVisible);
    QFETCH(int, startLine);
    m_window->loadLines(60);
    // A window whose client area holds a little under five lines: PageLines is 5.
    m_form->resize(m_form->width(), 5 * m_window->lineHeight() - 10);
    m_form->RichEdit1->LineScroll(firstVisible);
    QCOMPARE(m_form->RichEdit1->GetFirstVisibleLine(), firstVisible);

    PromptRunner driver(*m_form);
    int top = -1, pageLines = -1, paneATop = -1;
    driver.when([] { return true; },
                [&] {
                    top = m_form->Prompt.TopLine;
                    pageLines = m_form->Prompt.PageLines;
                    paneATop = m_form->RichEdit1->GetFirstVisibleLine();
                });
    QVERIFY(driver.run());
    QCOMPARE(pageLines, 5);
    QCOMPARE(top, startLine);
    QCOMPARE(paneATop, startLine);
}

void tst_PromptLoop::pageMeasuredWithoutHook_data()
{
    QTest::addColumn<bool>("hookReportsNothing");
    QTest::newRow("no hook on the measuring control") << false;
    QTest::newRow("a hook that reports an empty size") << true;
}

// The page is measured from the measuring control's own text, whatever its resize hook
// does: a run starts and counts its page right.
void tst_PromptLoop::pageMeasuredWithoutHook()
{
    QFETCH(bool, hookReportsNothing);
    m_window->loadLines(60);
    m_form->resize(m_form->width(), 5 * m_window->lineHeight() - 10);
    m_form->RichEdit3->OnResizeRequest = nullptr;
    if (hookReportsNothing)
        m_form->RichEdit3->OnResizeRequest = [](const QRect &) {};
    PromptRunner driver(*m_form);
    int pageLines = -1;
    driver.when([] { return true; }, [&] { pageLines = m_form->Prompt.PageLines; });
    QVERIFY(driver.run());
    QCOMPARE(pageLines, 5);
    m_form->Engine->MeasurePageLines();
    QCOMPARE(m_form->Prompt.PageLines, 5);
}

void tst_PromptLoop::digitKeysAndKeptDelay()
{
    m_window->loadLines(200);
    Settings &s = *m_form->SettingsRecord;
    s.KeyboardSpeedTable[0] = {0, 0};
    s.KeyboardSpeedTable[1] = {1, 300000};
    PromptRunner driver(*m_form);
    const PromptState &p = m_form->Prompt;
    driver.when([] { return true; }, [&] { driver.key(Qt::Key_1); });
    driver.when([] { return true; },
                [&] {
                    QCOMPARE(p.CurrentSpeed, 1);
                    QCOMPARE(p.CurrentDelay, 300000);
                    QCOMPARE(p.ActiveDelay, 300000);
                    driver.key(Qt::Key_0);
                });
    driver.when([] { return true; },
                [&] {
                    QCOMPARE(p.CurrentSpeed, 0);
                    QCOMPARE(p.CurrentDelay, 300000); // "0" keeps the delay
                    QCOMPARE(m_form->Label3->text(), QStringLiteral("Speed")); // labels off: untouched
                });
    const QString before = m_form->RichEdit1->Text();
    QVERIFY(driver.run());
    QVERIFY(m_form->RichEdit1->Text().startsWith(before)); // prompt keys never reach the script
}

void tst_PromptLoop::enterTogglesDirection()
{
    m_window->loadLines(200);
    PromptRunner driver(*m_form);
    const PromptState &p = m_form->Prompt;
    driver.when([] { return true; },
                [&] {
                    QCOMPARE(p.FirstWrapPending, quint8(1));
                    driver.key(Qt::Key_Return);
                });
    driver.when([] { return true; },
                [&] {
                    QCOMPARE(p.Reverse, 1);
                    QCOMPARE(m_form->Label1->text(), QStringLiteral("<"));
                    QCOMPARE(p.FirstWrapPending, quint8(1)); // at speed 0 Enter leaves it alone
                    driver.key(Qt::Key_Enter);
                });
    driver.when([] { return true; },
                [&] {
                    QCOMPARE(p.Reverse, 0);
                    QCOMPARE(m_form->Label1->text(), QStringLiteral(">"));
                    driver.key(Qt::Key_Return);
                });
    QVERIFY(driver.run());
    // Leaving a run sets the direction forward again.
    QCOMPARE(p.Reverse, 0);
    QCOMPARE(m_form->Label1->text(), QStringLiteral(">"));
}

void tst_PromptLoop::forwardRunKeepsPanesContinuous()
{
    m_window->loadLines(400);
    PromptRunner driver(*m_form);
    const PromptState &p = m_form->Prompt;
    int crossings = 0, lastTop = 0, checks = 0;
    QString broken;
    driver.atStep([&] {
        const TRichEdit *a = m_form->RichEdit1;
        const TRichEdit *b = m_form->RichEdit2;
        const bool aAbove = p.PaneATop < p.PaneBTop;
        const int upper = (aAbove ? a : b)->GetFirstVisibleLine();
        const int lower = (aAbove ? b : a)->GetFirstVisibleLine();
        ++checks;
        if (lower != upper + p.PageLines && broken.isEmpty())
            broken = QStringLiteral("upper pane at %1, lower at %2, page %3").arg(upper).arg(lower).arg(p.PageLines);
        if (p.TopLine != lastTop) {
            ++crossings;
            lastTop = p.TopLine;
        }
    });
    driver.when([] { return true; }, [&] { driver.key(Qt::Key_9); });
    driver.when([&] { return crossings >= 5; }, [] {});
    QVERIFY(driver.run(15000));
    QVERIFY2(broken.isEmpty(), qPrintable(broken));
    QVERIFY(checks > 10);
}

void tst_PromptLoop::longParagraphPrompts()
{
    // A paragraph long enough to be laid out in pieces, between short ones.
    QString paragraph;
    while (paragraph.size() < 300000)
        paragraph += QStringLiteral("The harbour volunteers rebuilt the pier at night. ");
    m_form->RichEdit1->setPlainText(QStringLiteral("Opening line\n") + paragraph + QStringLiteral("\nClosing line"));
    m_form->RichEdit1->SetSelection(0, 0);
    // Small pieces, so that the few lines a run goes through cross several.
    for (TRichEdit *pane : {m_form->RichEdit1, m_form->RichEdit2})
        static_cast<ScriptLayout *>(pane->document()->documentLayout())
            ->SetPieceSizes(ScriptLayout::PiecedParagraph, 150);
    PromptRunner driver(*m_form);
    const PromptState &p = m_form->Prompt;
    int crossings = 0, lastTop = 0;
    bool pieced = true;
    QString broken;
    driver.atStep([&] {
        const TRichEdit *a = m_form->RichEdit1;
        const TRichEdit *b = m_form->RichEdit2;
        const bool aAbove = p.PaneATop < p.PaneBTop;
        const TRichEdit *upperPane = aAbove ? a : b;
        const TRichEdit *lowerPane = aAbove ? b : a;
        const int upper = upperPane->GetFirstVisibleLine();
        const int lower = lowerPane->GetFirstVisibleLine();
        if (broken.isEmpty() && lower != upper + p.PageLines)
            broken = QStringLiteral("upper pane at %1, lower at %2, page %3").arg(upper).arg(lower).arg(p.PageLines);
        // Both panes hold the same lines.
        if (broken.isEmpty() && upperPane->LineText(lower) != lowerPane->LineText(lower))
            broken = QStringLiteral("line %1 differs between the panes").arg(lower);
        if (p.TopLine != lastTop) {
            ++crossings;
            lastTop = p.TopLine;
        }
        for (const TRichEdit *pane : {a, b})
            pieced = pieced && static_cast<const ScriptLayout *>(pane->document()->documentLayout())->HasPieces();
    });
    driver.when([] { return true; }, [&] { driver.key(Qt::Key_9); });
    driver.when([&] { return crossings >= 5; }, [] {});
    QVERIFY(driver.run(30000));
    QVERIFY(pieced);
    QVERIFY2(broken.isEmpty(), qPrintable(broken));
    QVERIFY(p.TopLine > 1); // inside the long paragraph
}

void tst_PromptLoop::reverseStopsAtTheTop()
{
    m_window->loadLines(200);
    PromptRunner driver(*m_form);
    const PromptState &p = m_form->Prompt;
    driver.when([] { return true; }, [&] { driver.key(Qt::Key_9); });
    driver.when([&] { return p.TopLine >= 2 * p.PageLines; }, [&] { driver.key(Qt::Key_Return); });
    int still = 0, lastA = 0;
    driver.when(
        [&] {
            // Stopped at the top: nothing moves for a while.
            still = p.PaneATop == lastA ? still + 1 : 0;
            lastA = p.PaneATop;
            return still > 30;
        },
        [&] {
            const bool aOnTop = p.PaneATop <= 0 && p.PaneATop > -p.PaneAHeight;
            const TRichEdit *top = aOnTop ? m_form->RichEdit1 : m_form->RichEdit2;
            QCOMPARE(top->GetFirstVisibleLine(), 0);
            QVERIFY(p.PaneATop <= 0 && p.PaneATop >= -p.CurrentSpeed);
            driver.key(Qt::Key_Return); // forward again
        });
    driver.when([] { return true; }, [&] { QCOMPARE(p.Reverse, 0); });
    QVERIFY(driver.run(15000));
}

// The text stops for good only at the end of the script, in the first and only run.
void tst_PromptLoop::endOfScriptStop()
{
    m_window->loadLines(12);
    const int scriptLines = 12;
    PromptRunner driver(*m_form);
    const PromptState &p = m_form->Prompt;
    const qint64 runsBefore = m_form->Engine->RunsStarted();
    driver.when([] { return true; }, [&] { driver.key(Qt::Key_9); });
    int still = 0, lastTop = -1;
    driver.when(
        [&] {
            still = p.TopLine == lastTop && p.CurrentSpeed == 0 ? still + 1 : 0;
            lastTop = p.TopLine;
            return still > 50;
        },
        [&] {
            QVERIFY(p.TopLine >= p.LineCount - p.RecycleLines);
            QVERIFY(p.TopLine >= scriptLines);
            QCOMPARE(m_form->Engine->RunsStarted(), runsBefore + 1);
        });
    QVERIFY(driver.run(20000));
    // The blank tail was appended once.
    QCOMPARE(m_form->RichEdit1->GetLineCount(), scriptLines + 50);
}

// The line cursor runs ahead of the text and reaches the end of a long script half-way;
// the run goes on from where it is, with its speed and direction, to the real end.
void tst_PromptLoop::longRunNeverStopsPartWay()
{
    m_window->loadLines(300);
    PromptRunner driver(*m_form);
    const PromptState &p = m_form->Prompt;
    const qint64 runsBefore = m_form->Engine->RunsStarted();
    const int h = m_window->lineHeight();
    int lastPosition = -1, backwards = 0, speedLost = 0;
    bool moving = false;
    driver.atStep([&] {
        moving = moving || p.CurrentSpeed == 9;
        if (!moving)
            return;
        // How far down the script the window's top is, in pixels.
        const bool aOnTop = p.PaneATop <= 0 && p.PaneATop + p.PaneAHeight > 0;
        const int position = lineOnScreen() * h - (aOnTop ? p.PaneATop : p.PaneBTop);
        if (position < lastPosition)
            ++backwards;
        lastPosition = position;
        if (p.CurrentSpeed != 9 && p.TopLine < p.LineCount - p.RecycleLines)
            ++speedLost;
    });
    driver.when([] { return true; }, [&] { driver.key(Qt::Key_9); });
    driver.when([&] { return p.CurrentSpeed == 9; }, [] {});
    driver.when([&] { return p.TopLine >= p.LineCount - p.RecycleLines; },
                [&] { QCOMPARE(m_form->Engine->RunsStarted(), runsBefore + 1); });
    QVERIFY(driver.run(60000));
    QCOMPARE(backwards, 0);
    QCOMPARE(speedLost, 0);
}

// A run that starts with its layout already at the padded end holds still and listens,
// instead of ending and being rebuilt again and again.
void tst_PromptLoop::runAtTheEndHoldsStill()
{
    m_window->loadLines(60);
    TRichEdit *editor = m_form->RichEdit1;
    PromptRunner driver(*m_form);
    const PromptState &p = m_form->Prompt;
    // First run: to the end, then F10 lays the panes out again at the end.
    driver.when([] { return true; }, [&] { driver.key(Qt::Key_9); });
    driver.when([&] { return p.TopLine >= p.LineCount - p.RecycleLines && p.CurrentSpeed == 0; },
                [&] { driver.key(Qt::Key_F10); });
    qint64 runs = 0;
    QElapsedTimer clock;
    driver.when([&] { return p.Prompting && p.NextLine >= p.LineCount; },
                [&] {
                    runs = m_form->Engine->RunsStarted();
                    clock.start();
                });
    driver.when([&] { return clock.isValid() && clock.elapsed() > 700; },
                [&] {
                    QCOMPARE(m_form->Engine->RunsStarted(), runs); // no rebuilds meanwhile
                    driver.key(Qt::Key_Return);
                    driver.key(Qt::Key_9);
                });
    int topBefore = -1;
    driver.when([&] { return p.Reverse == 1 && p.CurrentSpeed == 9; }, [&] { topBefore = p.TopLine; });
    driver.when([&] { return p.TopLine < topBefore; }, [&] { QCOMPARE(m_form->Engine->RunsStarted(), runs); });
    QVERIFY(driver.run(30000));
    QVERIFY(editor->GetLineCount() > 60);
}

// With smoothing, each step shows the text at two or three positions: every one of them
// must reach the screen, or the setting changes nothing.
void tst_PromptLoop::smoothingDrawsEveryPosition()
{
    m_window->loadLines(300);
    struct UpdateCounter : QObject
    {
        int updates = 0;
        bool eventFilter(QObject *, QEvent *event) override
        {
            if (event->type() == QEvent::UpdateRequest)
                ++updates;
            return false;
        }
    } counter;
    m_form->installEventFilter(&counter);
    QAction *smoothing = m_form->Action(QStringLiteral("FontSmoothing1"));
    QList<double> perStep;
    for (bool on : {true, false}) {
        smoothing->setChecked(on);
        PromptRunner driver(*m_form);
        const PromptState &p = m_form->Prompt;
        int updates = 0;
        qint64 steps = 0;
        driver.when([] { return true; }, [&] { driver.key(Qt::Key_6); });
        driver.when([&] { return p.CurrentSpeed == 6; },
                    [&] {
                        updates = counter.updates;
                        steps = m_form->Engine->StepsMade();
                    });
        driver.when(
            [&] { return m_form->Engine->StepsMade() > steps + 100; },
            [&] { perStep << double(counter.updates - updates) / double(m_form->Engine->StepsMade() - steps); });
        QVERIFY(driver.run(20000));
    }
    QVERIFY2(perStep[0] >= 2.5, qPrintable(QString::number(perStep[0])));
    QVERIFY2(perStep[1] <= 1.5, qPrintable(QString::number(perStep[1])));
}

// After an automatic restart the prompter still places the panes itself: were they tied to
// the client area, any layout pass would snap both to the editor's size for a step.
void tst_PromptLoop::restartLeavesPanesFree()
{
    m_window->loadLines(200);
    PromptRunner driver(*m_form);
    const PromptState &p = m_form->Prompt;
    auto *client = m_form->findChild<ClientArea *>(QStringLiteral("Client"));
    const qint64 runs = m_form->Engine->RunsStarted();
    driver.when([] { return true; },
                [&] {
                    QVERIFY(!client->PanesAligned);
                    driver.key(Qt::Key_F10);
                });
    driver.when([&] { return m_form->Engine->RunsStarted() == runs + 2 && p.Prompting; },
                [&] { QVERIFY(!client->PanesAligned); });
    QVERIFY(driver.run());
    QVERIFY(client->PanesAligned);
}

void tst_PromptLoop::escapeInsertsMarksAndPlacesCaret()
{
    m_window->loadLines(200);
    PromptRunner driver(*m_form);
    const PromptState &p = m_form->Prompt;
    QList<int> flagged;
    driver.when([] { return true; }, [&] { driver.key(Qt::Key_9); });
    driver.when([&] { return p.TopLine >= 10; },
                [&] {
                    flagged << p.TopLine;
                    driver.key(Qt::Key_Space);
                });
    driver.when([&] { return p.TopLine >= flagged.last() + 2 * p.PageLines; },
                [&] {
                    flagged << p.TopLine;
                    driver.key(Qt::Key_Space);
                    driver.key(Qt::Key_0);
                });
    int onScreen = -1;
    driver.when([] { return true; },
                [&] {
                    onScreen = p.PaneATop < p.PaneBTop && p.PaneATop + p.PaneAHeight > 0
                        ? m_form->RichEdit1->GetFirstVisibleLine()
                        : m_form->RichEdit2->GetFirstVisibleLine();
                    driver.key(Qt::Key_Escape);
                });
    QVERIFY(driver.run(15000));

    TRichEdit *editor = m_form->RichEdit1;
    for (int line : flagged)
        QVERIFY2(editor->LineText(line).startsWith(QChar(0x00A4)), qPrintable(editor->LineText(line)));
    QCOMPARE(editor->Text().count(QChar(0x00A4)), flagged.size());
    QCOMPARE(p.ErrorMarkCount, 0);
    // The caret is on (or just below) the line that was on screen.
    const int caretLine = editor->LineFromChar(-1);
    QVERIFY2(caretLine >= onScreen && caretLine <= onScreen + p.PageLines,
             qPrintable(QStringLiteral("caret %1, on screen %2").arg(caretLine).arg(onScreen)));
    QVERIFY(!p.Prompting);
    QVERIFY(m_form->ToolBar1->isVisible());
    QVERIFY(m_form->MainMenu->isVisible());
    QVERIFY(m_form->StatusBar->isVisible());
    QVERIFY(!m_form->windowHandle()->flags().testFlag(Qt::FramelessWindowHint));
    QVERIFY(m_form->Timer1->isActive());
    QVERIFY(m_form->Timer2->isActive());
}

void tst_PromptLoop::hundredAndFiftyFlags()
{
    m_window->loadLines(100);
    PromptRunner driver(*m_form);
    driver.when([] { return true; },
                [&] {
                    for (int i = 0; i < 150; ++i)
                        driver.key(Qt::Key_Space);
                });
    driver.when([&] { return m_form->Prompt.ErrorMarkCount == 100; }, [] {});
    QVERIFY(driver.run());
    QCOMPARE(m_form->RichEdit1->Text().count(QChar(0x00A4)), 100);
}

// Ctrl+Home starts again from the top in the same loop; the lines flagged before it keep
// their marks (dropping them would lose the operator's notes).
void tst_PromptLoop::ctrlHomeRestartsAndKeepsMarks()
{
    m_window->loadLines(200);
    PromptRunner driver(*m_form);
    const PromptState &p = m_form->Prompt;
    int restartTop = -1, flagged = -1;
    driver.when([] { return true; }, [&] { driver.key(Qt::Key_9); });
    driver.when([&] { return p.TopLine >= 10; },
                [&] {
                    flagged = p.TopLine;
                    driver.key(Qt::Key_Space);
                    driver.key(Qt::Key_Home, Qt::ControlModifier);
                });
    driver.when([&] { return p.TopLine == 0; },
                [&] {
                    restartTop = p.TopLine;
                    QCOMPARE(p.ErrorMarkCount, 0);
                    driver.key(Qt::Key_Space); // flagged after the restart: line 0
                });
    driver.when([&] { return p.ErrorMarkCount == 1; }, [] {});
    QVERIFY(driver.run(15000));
    QCOMPARE(restartTop, 0);
    TRichEdit *editor = m_form->RichEdit1;
    QCOMPARE(editor->Text().count(QChar(0x00A4)), 2);
    QVERIFY(editor->LineText(0).startsWith(QChar(0x00A4)));
    QVERIFY(editor->LineText(flagged).startsWith(QChar(0x00A4)));
    QVERIFY(!p.Prompting);
    QVERIFY(m_form->ToolBar1->isVisible());
}

void tst_PromptLoop::restartsKeepThePrompter_data()
{
    QTest::addColumn<bool>("byResize");
    QTest::newRow("F10") << false;
    QTest::newRow("resize") << true;
}

void tst_PromptLoop::restartsKeepThePrompter()
{
    QFETCH(bool, byResize);
    m_window->loadLines(200);
    PromptRunner driver(*m_form);
    const PromptState &p = m_form->Prompt;
    bool editorShown = false;
    const QPoint origin = m_form->pos();
    bool moved = false;
    QTimer watch;
    watch.setInterval(1);
    connect(&watch, &QTimer::timeout, this, [&] {
        if (p.RepeatPrompt
            && (m_form->ToolBar1->isVisible() || m_form->MainMenu->isVisible() || m_form->StatusBar->isVisible()))
            editorShown = true;
        moved = moved || m_form->y() > origin.y() + 200; // never parked off the screen
    });
    watch.start();
    int restartsSeen = 0;
    driver.when([] { return true; }, [&] { driver.key(Qt::Key_9); });
    int lineBefore = -1;
    driver.when([&] { return byResize ? m_form->Engine->LineAtTop() >= 100 : p.TopLine >= 2 * p.PageLines; },
                [&] {
                    lineBefore = m_form->Engine->LineAtTop();
                    if (byResize)
                        m_form->resize(m_form->width() - 40, m_form->height() - 30);
                    else
                        driver.key(Qt::Key_F10);
                });
    driver.when([] { return true; },
                [&] {
                    ++restartsSeen;
                    if (byResize) // a resize goes on from the line at the top, not from line 0
                        QVERIFY2(
                            qAbs(m_form->Engine->LineAtTop() - lineBefore) <= 1,
                            qPrintable(QStringLiteral("%1 after %2").arg(m_form->Engine->LineAtTop()).arg(lineBefore)));
                    else
                        QVERIFY(p.TopLine > 0); // F10 starts again from the line on screen
                    QCOMPARE(p.Reverse, 0);
                });
    QVERIFY(driver.run(15000));
    watch.stop();
    QCOMPARE(restartsSeen, 1);
    QVERIFY(!editorShown);
    QVERIFY(!moved);
    QVERIFY(m_form->ToolBar1->isVisible());
}

void tst_PromptLoop::ctrlRAppliesEditedTable()
{
    m_window->loadLines(200);
    PromptRunner driver(*m_form);
    const PromptState &p = m_form->Prompt;
    driver.when([] { return true; },
                [&] {
                    QFile ini(QStringLiteral("CORVANTA.INI"));
                    QVERIFY(ini.open(QIODevice::ReadOnly));
                    QByteArray text = ini.readAll();
                    ini.close();
                    text.replace("KEY3SPEED=1", "KEY3SPEED=7");
                    QVERIFY(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
                    ini.write(text);
                    ini.close();
                    driver.key(Qt::Key_R, Qt::ControlModifier);
                    driver.key(Qt::Key_3);
                });
    driver.when([] { return true; },
                [&] {
                    QCOMPARE(p.CurrentSpeed, 7);
                    QCOMPARE(m_form->SettingsRecord->KeyboardSpeedTable[3].Delay, 500000);
                });
    QVERIFY(driver.run());
    QCOMPARE(m_window->dialogs.errors, QStringList());
}

void tst_PromptLoop::keysDuringSetUpWaitForTheLoop()
{
    m_window->loadLines(20);
    // A key pressed while the window is being rebuilt waits for the loop: the digit is a
    // speed, never a character typed into the script.
    bool posted = false;
    QTimer::singleShot(0, this, [&] {
        QVERIFY(m_form->Engine->Active() && !m_form->Prompt.LoopRunning);
        QKeyEvent press(QEvent::KeyPress, Qt::Key_5, Qt::NoModifier, QStringLiteral("5"));
        QCoreApplication::postEvent(m_form->RichEdit1, press.clone());
        posted = true;
    });
    const QString before = m_form->RichEdit1->Text();
    PromptRunner driver(*m_form);
    const PromptState &p = m_form->Prompt;
    driver.when([&] { return p.CurrentSpeed == 5; }, [] {});
    QVERIFY(driver.run());
    QVERIFY(posted);
    QVERIFY(m_form->RichEdit1->Text().startsWith(before));
    QCOMPARE(m_form->RichEdit1->Text().count(QLatin1Char('5')), before.count(QLatin1Char('5')));
}

void tst_PromptLoop::escapeDuringSetUpEndsPrompting()
{
    m_window->loadLines(20);
    const QString before = m_form->RichEdit1->Text();
    QTimer::singleShot(0, this, [this] {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier, QStringLiteral("\x1b"));
        QCoreApplication::postEvent(m_form->RichEdit1, press.clone());
    });
    QElapsedTimer clock;
    clock.start();
    m_form->Engine->SpeedButton1Click();
    QVERIFY(clock.elapsed() < 5000);
    QVERIFY(!m_form->Prompt.Prompting);
    QVERIFY(m_form->ToolBar1->isVisible());
    QVERIFY(m_form->RichEdit1->Text().startsWith(before));
}

void tst_PromptLoop::emptyScriptDoesNothing()
{
    m_form->RichEdit1->clear();
    m_form->Engine->SpeedButton1Click();
    QVERIFY(!m_form->Prompt.Prompting);
    QCOMPARE(m_form->Prompt.RepeatPrompt, quint8(0));
    QVERIFY(m_form->ToolBar1->isVisible());
    QVERIFY(m_form->RichEdit1->Text().isEmpty());
    QVERIFY(m_form->Timer1->isActive());
    QVERIFY(m_form->Timer2->isActive());
}

void tst_PromptLoop::defaultTableRowsBecomeSpeeds_data()
{
    QTest::addColumn<int>("digit");
    QTest::newRow("5") << 5;
    QTest::newRow("6") << 6;
    QTest::newRow("9") << 9;
}

// The default table's fast rows have no delay: after a slow row they must take effect at
// once and move the text by their speed every step.
void tst_PromptLoop::defaultTableRowsBecomeSpeeds()
{
    QFETCH(int, digit);
    m_window->loadLines(300);
    Settings defaults;
    WriteDefaultSettings(defaults);
    m_form->SettingsRecord->KeyboardSpeedTable = defaults.KeyboardSpeedTable;
    const SpeedEntry row = defaults.KeyboardSpeedTable[digit];
    QCOMPARE(row.Delay, 0);
    PromptRunner driver(*m_form);
    const PromptState &p = m_form->Prompt;
    QList<int> moves;
    m_form->Engine->OnStep = [&](bool after) {
        if (after && !p.PaneAWrapped && !p.PaneBWrapped)
            moves << p.PaneAPrevTop - p.PaneATop;
    };
    driver.when([] { return true; }, [&] { driver.key(Qt::Key_1); });
    driver.when([&] { return p.ActiveDelay == 2000000; }, [&] { driver.key(Qt::Key_0 + digit); });
    driver.when([&] { return p.CurrentSpeed == row.Speed; },
                [&] {
                    QCOMPARE(p.CurrentDelay, 0);
                    QCOMPARE(p.ActiveDelay, 0);
                    moves.clear();
                });
    driver.when([&] { return moves.size() >= 20; },
                [&] { QVERIFY(std::all_of(moves.begin(), moves.end(), [&](int m) { return m == row.Speed; })); });
    QVERIFY(driver.run(20000));
}

// One real run, checked step by step: each step does what the scroll rules say, given the
// state and the panes just before it, and the panes are where the state says.
void tst_PromptLoop::everyStepFollowsTheRules()
{
    m_window->loadLines(200);
    m_form->Action(QStringLiteral("FontSmoothing1"))->setChecked(false);
    PromptRunner driver(*m_form);
    const PromptState &p = m_form->Prompt;
    TRichEdit *a = m_form->RichEdit1;
    TRichEdit *b = m_form->RichEdit2;
    struct Fake : PromptPane
    {
        int first = 0, height = 0, lines = 0;
        const TRichEdit *pane = nullptr;
        int FirstVisibleLine() const override { return first; }
        void LineScroll(int n) override { first = std::clamp(first + n, 0, lines - 1); }
        int Height() const override { return height; }
        int TextY() const override { return pane->LineTop(first); }
    };
    PromptState before;
    Fake fa, fb;
    fa.pane = a;
    fb.pane = b;
    int steps = 0, crossings = 0, reverseCrossings = 0;
    QStringList faults;
    m_form->Engine->OnStep = [&](bool after) {
        if (!after) {
            before = p;
            fa.first = a->GetFirstVisibleLine();
            fb.first = b->GetFirstVisibleLine();
            fa.height = a->height();
            fb.height = b->height();
            fa.lines = fb.lines = a->GetLineCount();
            return;
        }
        ++steps;
        ScrollRules::Step(before, fa, fb);
        const QList<int> expected{before.PaneATop, before.PaneBTop, fa.first,           fb.first,
                                  before.TopLine,  before.NextLine, before.CurrentSpeed};
        const QList<int> got{p.PaneATop, p.PaneBTop,    a->GetFirstVisibleLine(), b->GetFirstVisibleLine(), p.TopLine,
                             p.NextLine, p.CurrentSpeed};
        if (expected != got && faults.size() < 3)
            faults << QStringLiteral("step %1: expected %2, got %3")
                          .arg(steps)
                          .arg(QDebug::toString(expected), QDebug::toString(got));
        // The panes were shown where the state had them before the step; a recycled pane
        // goes at once where its new text continues the other pane's.
        const int shownA = p.PaneBWrapped ? b->y() + (p.PaneATop - p.PaneBTop) : p.PaneAPrevTop;
        const int shownB = p.PaneAWrapped ? a->y() + (p.PaneBTop - p.PaneATop) : p.PaneBPrevTop;
        if ((a->y() != shownA || b->y() != shownB) && faults.size() < 3)
            faults << QStringLiteral("step %1: panes at %2/%3, expected %4/%5")
                          .arg(steps)
                          .arg(a->y())
                          .arg(b->y())
                          .arg(shownA)
                          .arg(shownB);
        if (p.PaneAWrapped || p.PaneBWrapped)
            ++(p.Reverse ? reverseCrossings : crossings);
    };
    driver.when([] { return true; }, [&] { driver.key(Qt::Key_9); });
    driver.when([&] { return crossings >= 8; }, [&] { driver.key(Qt::Key_Return); });
    driver.when([&] { return reverseCrossings >= 4; }, [] {});
    QVERIFY(driver.run(30000));
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join(u'\n')));
    QVERIFY(steps > 100);
}

// While the labels are hidden the clock stands still during a run; it runs with them.
void tst_PromptLoop::clockStandsStillWhileLabelsHidden()
{
    m_window->loadLines(100);
    for (bool labels : {false, true}) {
        if (labels)
            m_form->Aids->Panel1DblClick();
        QCOMPARE(m_form->Label2->isVisible(), labels);
        PromptRunner driver(*m_form);
        driver.when([] { return true; }, [&] { QCOMPARE(m_form->Timer1->isActive(), labels); });
        QVERIFY(driver.run());
        QVERIFY(m_form->Timer1->isActive());
    }
}

// After any number of Ctrl+Home presses, Escape puts the caret on the line on screen.
void tst_PromptLoop::escapeAfterCtrlHomeLandsOnScreenLine()
{
    m_window->loadLines(300);
    PromptRunner driver(*m_form);
    const PromptState &p = m_form->Prompt;
    int presses = 0, onScreen = -1;
    driver.when([] { return true; }, [&] { driver.key(Qt::Key_9); });
    for (int i = 0; i < 3; ++i) {
        driver.when([&] { return p.TopLine >= 3 * p.PageLines; },
                    [&] {
                        driver.key(Qt::Key_Space);
                        driver.key(Qt::Key_Home, Qt::ControlModifier);
                        driver.key(Qt::Key_9);
                        ++presses;
                    });
        driver.when([&] { return p.TopLine == 0; }, [] {});
    }
    driver.when([&] { return p.TopLine >= 5 * p.PageLines; }, [&] { driver.key(Qt::Key_0); });
    driver.when([&] { return p.CurrentSpeed == 0; },
                [&] {
                    onScreen = lineOnScreen();
                    driver.key(Qt::Key_Escape);
                });
    QVERIFY(driver.run(30000));
    QCOMPARE(presses, 3);
    const int caretLine = m_form->RichEdit1->LineFromChar(-1);
    QVERIFY2(caretLine >= onScreen && caretLine <= onScreen + p.PageLines,
             qPrintable(QStringLiteral("caret %1, on screen %2").arg(caretLine).arg(onScreen)));
    QCOMPARE(m_form->RichEdit1->Text().count(QChar(0x00A4)), 3);
}

namespace {

long residentKilobytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return 0;
}

}

// A long day of Ctrl+Home presses: the runs follow each other in one loop, so neither the
// stack nor memory grows with them.
void tst_PromptLoop::thousandsOfCtrlHomeStayFlat()
{
    m_window->loadLines(30);
    m_form->SettingsRecord->KeyboardSpeedTable[9] = {9, 0};
    PromptRunner driver(*m_form);
    const PromptState &p = m_form->Prompt;
    const int total = 5000;
    int presses = 0;
    quintptr deepest = ~quintptr(0), shallowest = 0;
    long memoryAfterWarmUp = 0, memoryAtEnd = 0;
    m_form->Engine->OnStep = [&](bool) {
        const int here = 0;
        const quintptr at = quintptr(&here);
        deepest = std::min(deepest, at);
        shallowest = std::max(shallowest, at);
    };
    QTimer presser;
    presser.setInterval(0);
    connect(&presser, &QTimer::timeout, this, [&] {
        if (!p.LoopRunning || presses >= total)
            return;
        ++presses;
        if (presses == 100)
            memoryAfterWarmUp = residentKilobytes();
        QKeyEvent home(QEvent::KeyPress, Qt::Key_Home, Qt::ControlModifier);
        QCoreApplication::sendEvent(m_form->RichEdit1, &home);
    });
    driver.when([] { return true; },
                [&] {
                    driver.key(Qt::Key_9);
                    presser.start();
                });
    driver.when([&] { return presses >= total; }, [&] { memoryAtEnd = residentKilobytes(); });
    QVERIFY(driver.run(240000));
    presser.stop();
    QCOMPARE(presses, total);
    QVERIFY(m_form->Engine->RunsStarted() >= total);
    QVERIFY2(shallowest - deepest < 16 * 1024, qPrintable(QString::number(shallowest - deepest)));
    QVERIFY2(memoryAtEnd - memoryAfterWarmUp < 20 * 1024,
             qPrintable(QStringLiteral("%1 kB to %2 kB").arg(memoryAfterWarmUp).arg(memoryAtEnd)));
}

// The steady method moves the text at the display's pace: one step a frame, and one more
// frame for each 1,000,000 of delay.
void tst_PromptLoop::steadySpeedMovesAtTheDisplayRate()
{
    m_window->loadLines(400);
    m_form->Action(QStringLiteral("SteadySpeed1"))->setChecked(true);
    m_form->SettingsRecord->KeyboardSpeedTable[2] = {2, 500000};
    const double refresh = m_form->screen()->refreshRate() > 0 ? m_form->screen()->refreshRate() : 60.0;
    const double frameNs = 1e9 / refresh;
    PromptRunner driver(*m_form);
    const PromptState &p = m_form->Prompt;
    QElapsedTimer clock;
    // Each step's start and how late it was against its frame.
    QList<std::pair<qint64, qint64>> starts;
    QList<int> moves;
    m_form->Engine->OnStep = [&](bool after) {
        if (!clock.isValid())
            return;
        if (!after)
            starts << std::pair(clock.nsecsElapsed(), m_form->Engine->LastStepLateNs());
        else if (!p.PaneAWrapped && !p.PaneBWrapped)
            moves << p.PaneAPrevTop - p.PaneATop;
    };
    driver.when([] { return true; }, [&] { driver.key(Qt::Key_2); });
    driver.when([&] { return p.CurrentSpeed == 2; }, [&] { clock.start(); });
    driver.when([&] { return clock.isValid() && clock.elapsed() >= 2000; }, [] {});
    QVERIFY(driver.run(20000));
    QVERIFY(std::all_of(moves.begin(), moves.end(), [](int m) { return m == 2; }));
    // The schedule holds between steps that started on time; a step that a busy machine
    // made late says nothing about it. Delay 500000: one frame, then two, and so on.
    int frames = 0, gaps = 0;
    QString odd;
    for (int i = 1; i < starts.size(); ++i) {
        const bool onTime = starts[i - 1].second < 2000000 && starts[i].second < 2000000;
        if (!onTime)
            continue;
        const int between = qRound((starts[i].first - starts[i - 1].first) / frameNs);
        if ((between < 1 || between > 2) && odd.isEmpty())
            odd = QStringLiteral("step %1: %2 frames after the last").arg(i).arg(between);
        frames += between;
        ++gaps;
    }
    QVERIFY2(odd.isEmpty(), qPrintable(odd));
    QVERIFY2(gaps > starts.size() / 3,
             qPrintable(QStringLiteral("%1 of %2 steps on time").arg(gaps).arg(starts.size())));
    // One more or fewer frame in the pattern is a third off.
    QVERIFY2(qAbs(double(frames) / gaps - 1.5) < 0.1, qPrintable(QString::number(double(frames) / gaps)));
}

void tst_PromptLoop::seamKeepsTheLinePitch_data()
{
    QTest::addColumn<bool>("controller");
    QTest::addColumn<int>("row");
    QTest::addColumn<bool>("reverse");
    QTest::newRow("key 1") << false << 1 << false;
    QTest::newRow("key 5") << false << 5 << false;
    QTest::newRow("key 9") << false << 9 << false;
    QTest::newRow("key 9 back") << false << 9 << true;
    QTest::newRow("controller 35") << true << 35 << false;
    QTest::newRow("controller 63") << true << 63 << false;
    QTest::newRow("controller 63 back") << true << 63 << true;
}

// Where the panes meet, the text runs on as inside a pane: the script's y just above the
// seam and just below it are one pixel apart, at every speed, from the first page on.
void tst_PromptLoop::seamKeepsTheLinePitch()
{
    QFETCH(bool, controller);
    QFETCH(int, row);
    QFETCH(bool, reverse);
    m_window->loadLines(400);
    Settings defaults;
    WriteDefaultSettings(defaults);
    m_form->SettingsRecord->SerialSpeedTable = defaults.SerialSpeedTable;
    for (int k = 1; k <= 9; ++k)
        m_form->SettingsRecord->KeyboardSpeedTable[k] = {k, 0};
    PromptRunner driver(*m_form);
    const PromptState &p = m_form->Prompt;
    int seams = 0, worst = 0, crossings = 0;
    QString where;
    m_form->Engine->AddFrameListener([&](const PromptFrame &f) {
        if (!f.prompting || p.CurrentSpeed == 0)
            return;
        crossings += p.PaneAWrapped || p.PaneBWrapped;
        const PromptFrame::Pane &upper = f.a.top < f.b.top ? f.a : f.b;
        const PromptFrame::Pane &lower = f.a.top < f.b.top ? f.b : f.a;
        const int seam = lower.top;
        // Only a seam on screen counts.
        if (seam <= 0 || seam >= f.height)
            return;
        ++seams;
        const qreal deviation = (lower.documentY - lower.top) - (upper.documentY - upper.top);
        if (qAbs(deviation) > qAbs(worst)) {
            worst = qRound(deviation);
            where = QStringLiteral("step %1: upper %2+%3 at %4, lower %5 at %6")
                        .arg(f.step)
                        .arg(upper.top)
                        .arg(upper.height)
                        .arg(upper.documentY)
                        .arg(lower.top)
                        .arg(lower.documentY);
        }
    });
    driver.when([] { return true; },
                [&] {
                    if (controller)
                        m_form->Commands->ControllerValue(row);
                    else
                        driver.key(Qt::Key_0 + row);
                });
    driver.when([&] { return crossings >= 4; },
                [&] {
                    if (reverse)
                        m_form->Commands->ToggleDirection();
                    crossings = 0;
                });
    driver.when([&] { return crossings >= (reverse ? 3 : 0); }, [] {});
    QVERIFY(driver.run(30000));
    QVERIFY(seams > 5);
    QVERIFY2(worst == 0, qPrintable(QStringLiteral("%1 px; %2").arg(worst).arg(where)));
}

// A new user's first start: the default file says METHOD=FRAME, and key 5 of the default
// table moves the text 60 pixels a second on a 60 Hz display.
void tst_PromptLoop::firstStartPromptsAtTheSteadySpeed()
{
    // A window of its own in a new folder, after this one's folder is gone.
    m_window.reset();
    m_window = std::make_unique<TestWindow>();
    m_form = &m_window->open();
    QVERIFY(m_window->show());
    QCOMPARE(settingsValue(QStringLiteral("SCROLLING"), QStringLiteral("METHOD")), QStringLiteral("FRAME"));
    QVERIFY(m_form->Action(QStringLiteral("SteadySpeed1"))->isChecked());
    m_window->loadLines(400);
    const double refresh = m_form->screen()->refreshRate() > 0 ? m_form->screen()->refreshRate() : 60.0;
    PromptRunner driver(*m_form);
    const PromptState &p = m_form->Prompt;
    QElapsedTimer clock;
    int moved = 0;
    m_form->Engine->OnStep = [&](bool after) {
        if (after && clock.isValid() && !p.PaneAWrapped && !p.PaneBWrapped)
            moved += p.PaneAPrevTop - p.PaneATop;
    };
    const SpeedEntry row = m_form->SettingsRecord->KeyboardSpeedTable[5];
    driver.when([] { return true; }, [&] { driver.key(Qt::Key_5); });
    driver.when([&] { return p.CurrentSpeed == row.Speed && p.CurrentDelay == row.Delay; }, [&] { clock.start(); });
    double pixelsPerSecond = 0;
    driver.when([&] { return clock.isValid() && clock.elapsed() >= 2000; },
                [&] { pixelsPerSecond = moved / (clock.nsecsElapsed() / 1e9); });
    QVERIFY(driver.run(20000));
    const double expected = row.Speed * refresh / (1 + row.Delay / 1e6);
    QCOMPARE(qRound(expected * 60 / refresh), 60);
    // A busy machine loses a frame now and then; the busy-wait would be far off.
    QVERIFY2(pixelsPerSecond > expected * 0.8 && pixelsPerSecond < expected * 1.05,
             qPrintable(QString::number(pixelsPerSecond)));
}

QTEST_MAIN(tst_PromptLoop)
#include "tst_promptloop.moc"
