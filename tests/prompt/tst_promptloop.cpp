#include "FakeDialogs.h"

#include "settings/Settings.h"
#include "app/TMainForm.h"
#include "controls/TRichEdit.h"
#include "controls/TStatusBar.h"
#include "prompt/PromptEngine.h"

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

// Plays a list of "when this holds, do that" steps while the scroll loop runs, and
// presses Escape when the list is done or time runs out.
class RunDriver : public QObject
{
public:
    explicit RunDriver(TMainForm &form) : m_form(form)
    {
        m_timer.setInterval(1);
        connect(&m_timer, &QTimer::timeout, this, [this] { tick(); });
    }

    void when(std::function<bool()> condition, std::function<void()> action)
    {
        m_steps.push_back({std::move(condition), std::move(action)});
    }
    void atStep(std::function<void()> action) { m_everyTick = std::move(action); }

    // Runs prompting to its end; false when time ran out before every step was played.
    bool run(int timeoutMs = 8000)
    {
        m_clock.start();
        m_timeoutMs = timeoutMs;
        m_timer.start();
        m_form.Engine->SpeedButton1Click();
        m_timer.stop();
        return m_steps.empty() && !m_timedOut;
    }

    // Keys are pressed from a timer of their own, since a key may start a nested run.
    void key(int key, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        TRichEdit *editor = m_form.RichEdit1;
        QTimer::singleShot(0, editor, [editor, key, mods] { QTest::keyClick(editor, Qt::Key(key), mods); });
    }

private:
    void tick()
    {
        const PromptState &p = m_form.Prompt;
        const bool running = p.Prompting && p.LoopRunning;
        if (running && m_everyTick)
            m_everyTick();
        if (m_clock.elapsed() > m_timeoutMs) {
            m_timedOut = !m_steps.empty();
            m_steps.clear();
        }
        if (m_steps.empty()) {
            if (running)
                key(Qt::Key_Escape);
            return;
        }
        if (running && m_steps.front().first()) {
            auto action = std::move(m_steps.front().second);
            m_steps.pop_front();
            action();
        }
    }

    TMainForm &m_form;
    QTimer m_timer;
    QElapsedTimer m_clock;
    int m_timeoutMs = 8000;
    bool m_timedOut = false;
    std::deque<std::pair<std::function<bool()>, std::function<void()>>> m_steps;
    std::function<void()> m_everyTick;
};

class tst_PromptLoop : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void pageAlignment_data();
    void pageAlignment();
    void digitKeysAndKeptDelay();
    void enterTogglesDirection();
    void forwardRunKeepsPanesContinuous();
    void reverseStopsAtTheTop();
    void endOfScriptStop();
    void escapeInsertsMarksAndPlacesCaret();
    void hundredAndFiftyFlags();
    void ctrlHomeRestartsAndKeepsMarks();
    void restartsKeepThePrompter_data();
    void restartsKeepThePrompter();
    void ctrlRAppliesEditedTable();
    void keysDuringSetUpNeverReachTheScript();
    void escapeDuringSetUpEndsPrompting();
    void emptyScriptDoesNothing();

private:
    void loadLines(int count);
    int lineHeight() const;

    std::unique_ptr<ScopedWorkDir> m_dir;
    std::unique_ptr<FakeDialogs> m_dialogs;
    std::unique_ptr<TMainForm> m_form;
};

void tst_PromptLoop::init()
{
    m_dir = std::make_unique<ScopedWorkDir>();
    m_dialogs = std::make_unique<FakeDialogs>();
    m_form = std::make_unique<TMainForm>(QString(), m_dialogs.get());
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
    m_form->Timer2->stop();
    // Slow, but steady: the busy-wait keeps tests from racing through the script.
    Settings &s = *m_form->SettingsRecord;
    for (int k = 1; k <= 9; ++k)
        s.KeyboardSpeedTable[k] = {k, 200000};
}

void tst_PromptLoop::cleanup()
{
    QVERIFY(m_dialogs->errors.isEmpty());
    m_form.reset();
    m_dialogs.reset();
    m_dir.reset();
}

void tst_PromptLoop::loadLines(int count)
{
    QStringList lines;
    for (int i = 0; i < count; ++i)
        lines << QStringLiteral("Line %1").arg(i);
    m_form->RichEdit1->setPlainText(lines.join(QLatin1Char('\n')));
    m_form->RichEdit1->SetSelection(0, 0);
}

int tst_PromptLoop::lineHeight() const
{
    return m_form->RichEdit1->LineTop(1) - m_form->RichEdit1->LineTop(0);
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
    loadLines(60);
    // A window whose client area holds a little under five lines: PageLines is 5.
    m_form->resize(m_form->width(), 5 * lineHeight() - 10);
    m_form->RichEdit1->LineScroll(firstVisible);
    QCOMPARE(m_form->RichEdit1->GetFirstVisibleLine(), firstVisible);

    RunDriver driver(*m_form);
    int top = -1, pageLines = -1, paneATop = -1;
    driver.when([] { return true; }, [&] {
        top = m_form->Prompt.TopLine;
        pageLines = m_form->Prompt.PageLines;
        paneATop = m_form->RichEdit1->GetFirstVisibleLine();
    });
    QVERIFY(driver.run());
    QCOMPARE(pageLines, 5);
    QCOMPARE(top, startLine);
    QCOMPARE(paneATop, startLine);
}

void tst_PromptLoop::digitKeysAndKeptDelay()
{
    loadLines(200);
    Settings &s = *m_form->SettingsRecord;
    s.KeyboardSpeedTable[0] = {0, 0};
    s.KeyboardSpeedTable[1] = {1, 300000};
    RunDriver driver(*m_form);
    const PromptState &p = m_form->Prompt;
    driver.when([] { return true; }, [&] { driver.key(Qt::Key_1); });
    driver.when([] { return true; }, [&] {
        QCOMPARE(p.CurrentSpeed, 1);
        QCOMPARE(p.CurrentDelay, 300000);
        QCOMPARE(p.ActiveDelay, 300000);
        driver.key(Qt::Key_0);
    });
    driver.when([] { return true; }, [&] {
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
    loadLines(200);
    RunDriver driver(*m_form);
    const PromptState &p = m_form->Prompt;
    driver.when([] { return true; }, [&] {
        QCOMPARE(p.FirstWrapPending, quint8(1));
        driver.key(Qt::Key_Return);
    });
    driver.when([] { return true; }, [&] {
        QCOMPARE(p.Reverse, 1);
        QCOMPARE(m_form->Label1->text(), QStringLiteral("<"));
        QCOMPARE(p.FirstWrapPending, quint8(1)); // at speed 0 Enter leaves it alone
        driver.key(Qt::Key_Enter);
    });
    driver.when([] { return true; }, [&] {
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
    loadLines(400);
    RunDriver driver(*m_form);
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

void tst_PromptLoop::reverseStopsAtTheTop()
{
    loadLines(200);
    RunDriver driver(*m_form);
    const PromptState &p = m_form->Prompt;
    driver.when([] { return true; }, [&] { driver.key(Qt::Key_9); });
    driver.when([&] { return p.TopLine >= 2 * p.PageLines; }, [&] { driver.key(Qt::Key_Return); });
    int still = 0, lastA = 0;
    driver.when([&] {
        // Stopped at the top: nothing moves for a while.
        still = p.PaneATop == lastA ? still + 1 : 0;
        lastA = p.PaneATop;
        return still > 30;
    }, [&] {
        const bool aOnTop = p.PaneATop <= 0 && p.PaneATop > -p.PaneAHeight;
        const TRichEdit *top = aOnTop ? m_form->RichEdit1 : m_form->RichEdit2;
        QCOMPARE(top->GetFirstVisibleLine(), 0);
        QVERIFY(p.PaneATop <= 0 && p.PaneATop >= -p.CurrentSpeed);
        driver.key(Qt::Key_Return); // forward again
    });
    driver.when([] { return true; }, [&] { QCOMPARE(p.Reverse, 0); });
    QVERIFY(driver.run(15000));
}

void tst_PromptLoop::endOfScriptStop()
{
    loadLines(12);
    const int scriptLines = 12;
    RunDriver driver(*m_form);
    const PromptState &p = m_form->Prompt;
    driver.when([] { return true; }, [&] { driver.key(Qt::Key_9); });
    // The padded script ends the run part-way and it restarts further on; in the end the
    // text stands still with the script's last line passed.
    int still = 0, lastTop = -1;
    driver.when([&] {
        still = p.TopLine == lastTop && p.CurrentSpeed == 0 ? still + 1 : 0;
        lastTop = p.TopLine;
        return p.TopLine >= scriptLines && still > 50;
    }, [] {});
    QVERIFY(driver.run(20000));
    // The blank tail was appended once, however many runs there were.
    QCOMPARE(m_form->RichEdit1->Text().count(QStringLiteral("\n \n")) >= 1, true);
    QCOMPARE(m_form->RichEdit1->GetLineCount(), scriptLines + 50);
}

void tst_PromptLoop::escapeInsertsMarksAndPlacesCaret()
{
    loadLines(200);
    RunDriver driver(*m_form);
    const PromptState &p = m_form->Prompt;
    QList<int> flagged;
    driver.when([] { return true; }, [&] { driver.key(Qt::Key_9); });
    driver.when([&] { return p.TopLine >= 10; }, [&] {
        flagged << p.TopLine;
        driver.key(Qt::Key_Space);
    });
    driver.when([&] { return p.TopLine >= flagged.last() + 2 * p.PageLines; }, [&] {
        flagged << p.TopLine;
        driver.key(Qt::Key_Space);
        driver.key(Qt::Key_0);
    });
    int onScreen = -1;
    driver.when([] { return true; }, [&] {
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
    loadLines(100);
    RunDriver driver(*m_form);
    driver.when([] { return true; }, [&] {
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
    loadLines(200);
    RunDriver driver(*m_form);
    const PromptState &p = m_form->Prompt;
    int restartTop = -1, flagged = -1;
    driver.when([] { return true; }, [&] { driver.key(Qt::Key_9); });
    driver.when([&] { return p.TopLine >= 10; }, [&] {
        flagged = p.TopLine;
        driver.key(Qt::Key_Space);
        driver.key(Qt::Key_Home, Qt::ControlModifier);
    });
    driver.when([&] { return p.TopLine == 0; }, [&] {
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
    loadLines(200);
    RunDriver driver(*m_form);
    const PromptState &p = m_form->Prompt;
    bool editorShown = false;
    const QPoint origin = m_form->pos();
    bool moved = false;
    QTimer watch;
    watch.setInterval(1);
    connect(&watch, &QTimer::timeout, this, [&] {
        if (p.RepeatPrompt && (m_form->ToolBar1->isVisible() || m_form->MainMenu->isVisible()
                               || m_form->StatusBar->isVisible()))
            editorShown = true;
        moved = moved || m_form->y() > origin.y() + 200; // never parked off the screen
    });
    watch.start();
    int restartsSeen = 0;
    driver.when([] { return true; }, [&] { driver.key(Qt::Key_9); });
    driver.when([&] { return p.TopLine >= 2 * p.PageLines; }, [&] {
        if (byResize)
            m_form->resize(m_form->width() - 40, m_form->height() - 30);
        else
            driver.key(Qt::Key_F10);
    });
    driver.when([] { return true; }, [&] {
        ++restartsSeen;
        if (byResize)
            QCOMPARE(p.TopLine, 0); // a resize starts again at the top
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
    loadLines(200);
    RunDriver driver(*m_form);
    const PromptState &p = m_form->Prompt;
    driver.when([] { return true; }, [&] {
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
    driver.when([] { return true; }, [&] {
        QCOMPARE(p.CurrentSpeed, 7);
        QCOMPARE(m_form->SettingsRecord->KeyboardSpeedTable[3].Delay, 500000);
    });
    QVERIFY(driver.run());
    QCOMPARE(m_dialogs->errors, QStringList());
}

void tst_PromptLoop::keysDuringSetUpNeverReachTheScript()
{
    loadLines(20);
    // Keys pressed while the window is being rebuilt wait for the loop: a digit is a speed,
    // never a character typed into the script.
    QTimer::singleShot(0, this, [this] {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_5, Qt::NoModifier, QStringLiteral("5"));
        QCoreApplication::postEvent(m_form->RichEdit1, press.clone());
    });
    const QString before = m_form->RichEdit1->Text();
    RunDriver driver(*m_form);
    driver.when([] { return true; }, [] {});
    QVERIFY(driver.run());
    QVERIFY(m_form->RichEdit1->Text().startsWith(before));
    QCOMPARE(m_form->RichEdit1->Text().count(QLatin1Char('5')), before.count(QLatin1Char('5')));
}

void tst_PromptLoop::escapeDuringSetUpEndsPrompting()
{
    loadLines(20);
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

QTEST_MAIN(tst_PromptLoop)
#include "tst_promptloop.moc"
