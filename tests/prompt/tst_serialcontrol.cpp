#include "TestWindow.h"
#include "PromptRunner.h"
#include "PseudoTerminal.h"

#include "app/TMainForm.h"
#include "controls/TCommPortDriver.h"
#include "controls/TPanel.h"
#include "controls/TRichEdit.h"
#include "controls/TStatusBar.h"
#include "formats/MarkerChars.h"
#include "prompt/SerialControl.h"

#include <QLabel>
#include <QRandomGenerator>
#include <QSerialPort>
#include <QtTest>

#include <memory>

// The hand controller driving real prompt runs through a pseudo-terminal on COM1.
class tst_SerialControl : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void speedValues();
    void toggleWithLockOut();
    void jump64ThenSpeed64();
    void jumpForwardToNextMarker();
    void jumpForwardWithNoMarkerAhead();
    void jumpBackToPreviousMarker();
    void troubleOnTheLine_data();
    void troubleOnTheLine();
    void controllerComesBack_data();
    void controllerComesBack();
    void streamingControllerLastValueCounts();

private:
    void startForm(const QString &inputBuffer = QStringLiteral("2"), const QString &pollingDelay = QStringLiteral("20"),
                   const QString &devicePath = {});
    void smallWindow();
    bool portOpen() const { return m_form->CommPortDriver1->IsOpen(); }
    bool send(std::initializer_list<int> values);
    std::unique_ptr<PseudoTerminal> m_pty;
    std::unique_ptr<TestWindow> m_window;
    TMainForm *m_form = nullptr;
    qint64 m_runsBefore = 0;
    // Runs started by a jump: those after the first.
    int newRuns() const { return int(m_form->Engine->RunsStarted() - m_runsBefore) - 1; }
};

// Slow enough for a test to watch, and every row told apart by its delay.
static SpeedEntry row(int v)
{
    return {1 + v / 32, 200000 + 1000 * v};
}

void tst_SerialControl::init()
{
    m_window = std::make_unique<TestWindow>();
    m_pty = std::make_unique<PseudoTerminal>();
    QVERIFY(m_pty->isValid());
}

void tst_SerialControl::startForm(const QString &inputBuffer, const QString &pollingDelay, const QString &devicePath)
{
    QVERIFY(m_window->settings({{"SCROLLING", "CONTROL", "COM1"},
                                {"SCROLLING", "INPUT BUFFER", inputBuffer},
                                {"SCROLLING", "POLLING DELAY", pollingDelay},
                                {"PORTS", "COM1", devicePath.isEmpty() ? m_pty->slavePath() : devicePath}}));
    m_form = &m_window->open();
    QVERIFY(m_window->show());
    QVERIFY(m_window->clean());
    for (int v = 0; v <= 64; ++v)
        m_form->SettingsRecord->SerialSpeedTable[v] = row(v);

    // The window's own receive handler; runs started by a jump are counted.
    m_runsBefore = m_form->Engine->RunsStarted();
}

void tst_SerialControl::cleanup()
{
    QVERIFY2(m_window->clean(), qPrintable(m_window->errors()));
    QVERIFY(m_window->dialogs.messages.isEmpty());
    if (m_form) {
        QVERIFY(!m_form->CommPortDriver1->IsOpen());
        QVERIFY(!m_form->CommPortDriver1->PollingTimer().isActive());
    }
    m_form = nullptr;
    m_window.reset();
    m_pty.reset();
}

// A window whose client area holds a little under five lines.
void tst_SerialControl::smallWindow()
{
    m_form->resize(m_form->width(), 5 * m_window->lineHeight() - 10);
}

bool tst_SerialControl::send(std::initializer_list<int> values)
{
    QByteArray bytes;
    for (const int v : values)
        bytes.append(char(v));
    return m_pty->send(bytes);
}

void tst_SerialControl::speedValues()
{
    startForm();
    m_window->loadLines(200);
    const PromptState &p = m_form->Prompt;
    PromptRunner runner(*m_form);
    runner.when([this] { return portOpen(); }, [this] { QVERIFY(send({10, 20, 30})); });
    runner.when([&] { return p.CurrentDelay == row(30).Delay; },
                [&] {
                    QCOMPARE(p.CurrentSpeed, row(30).Speed);
                    QCOMPARE(m_form->Label2->text(), QString::number(row(30).Delay));
                    QCOMPARE(m_form->Label3->text(), QString::number(row(30).Speed));
                    m_form->Label2->setText(QStringLiteral("x"));
                    m_form->Label3->setText(QStringLiteral("x"));
                    QVERIFY(send({127}));
                });
    // 127 changes nothing, but the labels are written again.
    runner.when([this] { return m_form->Label3->text() != u"x"; },
                [&] {
                    QCOMPARE(m_form->Label2->text(), QString::number(row(30).Delay));
                    QCOMPARE(p.CurrentDelay, row(30).Delay);
                    QCOMPARE(p.Reverse, 0);
                    QVERIFY(send({12}));
                });
    runner.when([&] { return p.CurrentDelay == row(12).Delay; }, [] {});
    QVERIFY(runner.run());
    QCOMPARE(newRuns(), 0);
}

void tst_SerialControl::toggleWithLockOut()
{
    startForm();
    m_window->loadLines(200);
    const PromptState &p = m_form->Prompt;
    PromptRunner runner(*m_form);
    // The speed value last, to tell when the two commands before it have been read.
    runner.when([this] { return portOpen(); }, [this] { QVERIFY(send({200, 150, 20})); });
    runner.when([&] { return p.CurrentDelay == row(20).Delay; },
                [&] {
                    QCOMPARE(p.Reverse, 1);
                    QCOMPARE(m_form->Label1->text(), QStringLiteral("<"));
                    QVERIFY(m_form->Timer3->isActive());
                });
    // Once the lock-out is over the next command acts again.
    runner.when([this] { return !m_form->Timer3->isActive(); }, [this] { QVERIFY(send({150})); });
    runner.when([&] { return p.Reverse == 0; }, [&] { QCOMPARE(m_form->Label1->text(), QStringLiteral(">")); });
    QVERIFY(runner.run());
    QCOMPARE(newRuns(), 0);
}

void tst_SerialControl::jump64ThenSpeed64()
{
    startForm();
    m_window->loadLines(200);
    const PromptState &p = m_form->Prompt;
    PromptRunner runner(*m_form);
    runner.when([this] { return portOpen(); }, [this] { QVERIFY(send({30})); });
    runner.when([&] { return p.CurrentDelay == row(30).Delay; }, [this] { QVERIFY(send({64})); });
    // The new run: the port opened again, running at the speed of value 64 that came
    // with the jump.
    runner.when([this] { return newRuns() == 1 && portOpen(); },
                [&] {
                    QCOMPARE(p.CurrentSpeed, row(64).Speed);
                    QCOMPARE(p.CurrentDelay, row(64).Delay);
                    QCOMPARE(m_form->Label2->text(), QString::number(row(64).Delay));
                    QCOMPARE(m_form->Label3->text(), QString::number(row(64).Speed));
                    QVERIFY(m_form->Timer3->isActive());
                });
    QVERIFY(runner.run());
    QCOMPARE(newRuns(), 1);
    QVERIFY(!m_form->Engine->Active());
}

void tst_SerialControl::jumpForwardToNextMarker()
{
    startForm();
    m_window->loadLines(200, {3, 60, 120});
    smallWindow();
    const PromptState &p = m_form->Prompt;
    PromptRunner runner(*m_form);
    int firstTop = -1;
    runner.when([this] { return portOpen(); },
                [&] {
                    firstTop = p.TopLine;
                    QVERIFY(send({65}));
                });
    runner.when([this] { return newRuns() == 1 && portOpen(); },
                [&] {
                    // The new run shows the first marker after the line at the top, within the first
                    // page, at the top of the window.
                    QCOMPARE(p.TopLine, 3);
                    QCOMPARE(m_form->Engine->LineAtTop(), 3);
                    QCOMPARE(m_form->MarkerSearch.MarkerPos, m_form->RichEdit1->LineIndex(3) + 1);
                });
    QVERIFY(runner.run());
    QCOMPARE(firstTop, 0);
    QCOMPARE(newRuns(), 1);
}

void tst_SerialControl::jumpForwardWithNoMarkerAhead()
{
    startForm();
    m_window->loadLines(200, {1});
    smallWindow();
    m_form->RichEdit1->LineScroll(50);
    const PromptState &p = m_form->Prompt;
    PromptRunner runner(*m_form);
    int firstTop = -1;
    runner.when([this] { return portOpen(); },
                [&] {
                    firstTop = p.TopLine;
                    runner.key(Qt::Key_Space); // flags the top line
                });
    runner.when([&] { return p.ErrorMarkCount == 1; }, [this] { QVERIFY(send({100})); });
    runner.when([this] { return newRuns() == 1 && portOpen(); },
                [&] {
                    QCOMPARE(p.TopLine, firstTop);
                    // The flagged line got its mark before the new run started.
                    QVERIFY(m_form->RichEdit1->LineText(firstTop).startsWith(ErrorMarker));
                    QCOMPARE(m_form->MarkerSearch.MarkerPos, 0);
                });
    QVERIFY(runner.run());
    QCOMPARE(firstTop, 50);
    QCOMPARE(m_form->RichEdit1->Text().count(ErrorMarker), 1);
}

void tst_SerialControl::jumpBackToPreviousMarker()
{
    startForm();
    m_window->loadLines(200, {20, 60});
    smallWindow();
    m_form->RichEdit1->LineScroll(100);
    const PromptState &p = m_form->Prompt;
    PromptRunner runner(*m_form);
    int firstTop = -1;
    runner.when([this] { return portOpen(); },
                [&] {
                    firstTop = p.TopLine;
                    QVERIFY(send({200}));
                });
    runner.when([&] { return p.Reverse == 1 && !m_form->Timer3->isActive(); }, [this] { QVERIFY(send({65})); });
    runner.when([this] { return newRuns() == 1 && portOpen(); },
                [&] {
                    QCOMPARE(p.TopLine, 60);
                    QCOMPARE(m_form->Engine->LineAtTop(), 60);
                });
    QVERIFY(runner.run());
    QCOMPARE(firstTop, 100);
    // The caret stands just after the marker; the marker commands' position is left alone.
    QCOMPARE(m_form->MarkerSearch.MarkerPos, 0);
}

void tst_SerialControl::troubleOnTheLine_data()
{
    QTest::addColumn<QString>("trouble");
    QTest::newRow("no such port") << "missing";
    QTest::newRow("port held by another program") << "held";
    QTest::newRow("controller unplugged while prompting") << "unplugged";
    QTest::newRow("10,000 random bytes") << "burst";
}

// Whatever happens on the line, prompting goes on without a word and the port is
// closed when it ends.
void tst_SerialControl::troubleOnTheLine()
{
    QFETCH(QString, trouble);
    const bool burst = trouble == u"burst";
    startForm(burst ? QStringLiteral("2048") : QStringLiteral("2"), QStringLiteral("10"));
    m_window->loadLines(300, {40, 80, 120, 160, 200, 240});
    QSerialPort other;
    if (trouble == u"missing") {
        m_pty.reset();
    } else if (trouble == u"held") {
        other.setPortName(m_pty->slavePath());
        QVERIFY(other.open(QIODevice::ReadWrite));
    }

    QByteArray burstBytes;
    QTimer feeder;
    feeder.setInterval(2);
    connect(&feeder, &QTimer::timeout, this, [&] {
        // About two seconds of it, so that commands come through between lock-outs.
        QByteArray some = burstBytes.first(std::min<qsizetype>(10, burstBytes.size()));
        const qsizetype before = some.size();
        m_pty->sendSome(some);
        burstBytes.remove(0, before - some.size());
        if (burstBytes.isEmpty())
            feeder.stop();
    });

    const PromptState &p = m_form->Prompt;
    PromptRunner runner(*m_form);
    qint64 steps = 0;
    runner.when([] { return true; },
                [&] {
                    steps = m_form->Engine->StepsMade();
                    if (trouble == u"missing" || trouble == u"held") {
                        QVERIFY(!portOpen());
                    } else if (trouble == u"unplugged") {
                        QVERIFY(portOpen());
                        QVERIFY(send({20}));
                    } else {
                        QRandomGenerator random(7);
                        burstBytes = QByteArray(10000, '\0');
                        for (char &c : burstBytes)
                            c = char(random.bounded(256));
                        // Fed as the line takes it, while the runs go on (jumps among them).
                        feeder.start();
                    }
                });
    if (trouble == u"unplugged")
        runner.when([&] { return p.CurrentDelay == row(20).Delay; }, [this] { m_pty->closeMaster(); });
    if (burst)
        runner.when([&] { return burstBytes.isEmpty(); }, [&] { steps = m_form->Engine->StepsMade(); });
    // Still prompting, and still stepping.
    runner.when([&] { return m_form->Engine->StepsMade() > steps + 200; }, [] {});
    QVERIFY(runner.run(60000));
    QVERIFY(!m_form->Engine->Active());
    if (trouble == u"held")
        QVERIFY(other.isOpen());
    if (burst) {
        QSerialPort after;
        after.setPortName(m_pty->slavePath());
        QVERIFY(after.open(QIODevice::ReadWrite));
    }
}

void tst_SerialControl::controllerComesBack_data()
{
    QTest::addColumn<bool>("missingAtStart");
    QTest::addColumn<bool>("pluggedBack");
    QTest::newRow("unplugged mid-run, plugged back") << false << true;
    QTest::newRow("unplugged mid-run, still out at the end") << false << false;
    QTest::newRow("missing at the start, plugged in mid-run") << true << true;
    QTest::newRow("missing throughout") << true << false;
}

// The controller's device under a name that stays (a link), whichever pseudo-terminal
// stands behind it. Without a working controller the margin shows a sign; once the
// device is back it drives the same run again, without F10.
void tst_SerialControl::controllerComesBack()
{
    QFETCH(bool, missingAtStart);
    QFETCH(bool, pluggedBack);
    const QString link = m_window->dir.file(QStringLiteral("controller"));
    QVERIFY(QFile::link(m_pty->slavePath(), link));
    startForm(QStringLiteral("2"), QStringLiteral("20"), link);
    m_window->loadLines(300);
    const QString plain = QStringLiteral(" Control: Serial COM 1");
    const QString notConnected = QStringLiteral(" Control: Serial COM 1 (not connected)");
    auto unplug = [&] {
        m_pty->closeMaster();
        QFile::remove(link);
    };
    auto plugIn = [&] {
        m_pty = std::make_unique<PseudoTerminal>();
        QVERIFY(m_pty->isValid());
        QVERIFY(QFile::link(m_pty->slavePath(), link));
    };
    if (missingAtStart)
        unplug();
    const QLabel *sign = m_form->ControlSign;
    const TCommPortDriver *port = m_form->CommPortDriver1;
    const PromptState &p = m_form->Prompt;
    PromptRunner runner(*m_form);
    if (!missingAtStart) {
        runner.when([this] { return portOpen(); },
                    [&] {
                        QVERIFY(sign->isHidden());
                        QVERIFY(send({20}));
                    });
        runner.when([&] { return p.CurrentDelay == row(20).Delay; }, unplug);
    }
    runner.when([&] { return port->Lost(); },
                [&] {
                    QVERIFY(sign->isVisible());
                    QCOMPARE(m_form->StatusBar->PanelText(2), notConnected);
                    // The sign is drawn in the read-outs' colour, so that it reads on the margin too.
                    QCOMPARE(sign->palette().color(QPalette::WindowText),
                             m_form->Label2->palette().color(QPalette::WindowText));
                    QVERIFY(sign->geometry().top() > m_form->Label4->geometry().bottom());
                    QVERIFY(m_form->Panel1->rect().contains(sign->geometry()));
                });
    if (pluggedBack) {
        runner.when([] { return true; }, plugIn);
        runner.when([this] { return portOpen(); },
                    [&] {
                        QVERIFY(sign->isHidden());
                        QCOMPARE(m_form->StatusBar->PanelText(2), plain);
                        QVERIFY(send({30}));
                    });
        runner.when([&] { return p.CurrentDelay == row(30).Delay; }, [&] { QCOMPARE(newRuns(), 0); });
    } else {
        const qint64 steps = m_form->Engine->StepsMade();
        runner.when([&] { return m_form->Engine->StepsMade() > steps + 100; }, [&] { QVERIFY(sign->isVisible()); });
    }
    QVERIFY(runner.run(30000));
    QCOMPARE(newRuns(), 0);
    // After prompting the status bar tells what became of the controller.
    QVERIFY(sign->isHidden());
    QCOMPARE(m_form->StatusBar->PanelText(2), pluggedBack ? plain : notConnected);
    QVERIFY(!port->Wanted());
}

// A controller that sends its value all the time, read with the settings file's small
// buffer and slow polling: the value it ends on acts within a poll or two, not after the
// backlog of every value before it has been read two bytes a tick.
void tst_SerialControl::streamingControllerLastValueCounts()
{
    startForm(QStringLiteral("2"), QStringLiteral("100"));
    m_window->loadLines(300);
    const PromptState &p = m_form->Prompt;
    PromptRunner runner(*m_form);
    QElapsedTimer sinceSent;
    qint64 took = -1;
    runner.when([this] { return portOpen(); },
                [&] {
                    QByteArray stream;
                    for (int i = 0; i < 100; ++i)
                        stream.append(char(i % 2 ? 10 : 12));
                    stream.append(char(33));
                    QVERIFY(m_pty->send(stream));
                    sinceSent.start();
                });
    runner.when([&] { return p.CurrentDelay == row(33).Delay; }, [&] { took = sinceSent.elapsed(); });
    // Nothing older comes after it.
    runner.when([&] { return sinceSent.elapsed() > took + 500; }, [&] { QCOMPARE(p.CurrentDelay, row(33).Delay); });
    QVERIFY(runner.run(30000));
    // 101 bytes at two a tick of 100 ms would take five seconds.
    QVERIFY2(took >= 0 && took < 2500, qPrintable(QString::number(took)));
    QCOMPARE(m_form->Label2->text(), QString::number(row(33).Delay));
}

QTEST_MAIN(tst_SerialControl)
#include "tst_serialcontrol.moc"
