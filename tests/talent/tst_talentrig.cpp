// A studio rig on a virtual X display (tests/talent/two_screens.sh): the operator's
// monitor and the talent's beside it, the talent's unplugged and plugged back with xrandr.
#include "TestWindow.h"
#include "PromptRunner.h"

#include "app/TMainForm.h"
#include "controls/TRichEdit.h"
#include "controls/TStatusBar.h"
#include "prompt/FramePainter.h"
#include "prompt/PromptEngine.h"
#include "talent/FrameView.h"
#include "talent/TalentScreen.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPainter>
#include <QScrollBar>
#include <QProcess>
#include <QScreen>
#include <QWindow>
#include <QtTest>

namespace {

const QRect TalentGeometry(1920, 0, 1280, 720);

bool xrandr(const QStringList &arguments)
{
    return QProcess::execute(QStringLiteral("xrandr"), arguments) == 0;
}

bool unplugTalent()
{
    return xrandr({QStringLiteral("--delmonitor"), QStringLiteral("TALENT")});
}

bool plugTalent()
{
    return xrandr({QStringLiteral("--setmonitor"), QStringLiteral("TALENT"), QStringLiteral("1280/338x720/190+1920+0"),
                   QStringLiteral("none")});
}

QScreen *screenNamed(const QString &name)
{
    for (QScreen *screen : QGuiApplication::screens())
        if (screen->name() == name)
            return screen;
    return nullptr;
}

void fillScript(TMainForm &form, int lines)
{
    for (int i = 0; i < lines; ++i)
        form.RichEdit1->AppendLine(QStringLiteral("Line %1 of the script").arg(i));
    form.RichEdit1->SetSelection(0, 0);
}

// The talent's window is where it should be: full screen on TALENT, shown, not active.
bool onTalentScreen(const FrameView *talent)
{
    return talent && talent->isVisible() && talent->windowHandle() && talent->windowHandle()->screen()
        && talent->windowHandle()->screen()->name() == u"TALENT" && talent->geometry() == TalentGeometry;
}

// The document's y at the cue arrow's line: what the reader's eye follows.
qreal arrowDocumentY(const PromptFrame &f)
{
    const qreal y = f.arrowTop + f.arrowHeight / 2.0;
    const PromptFrame::Pane &pane = (y >= f.b.top && y < f.b.top + f.b.height) ? f.b : f.a;
    return pane.documentY + (y - pane.top);
}

// The same, read from the operator's panes as they stand.
qreal operatorArrowDocumentY(TMainForm &form)
{
    const QLabel *arrow = form.Label1;
    const qreal y = arrow->y() + arrow->height() / 2.0;
    TRichEdit *b = form.RichEdit2;
    TRichEdit *pane = (y >= b->y() && y < b->y() + b->height()) ? b : form.RichEdit1;
    return pane->verticalScrollBar()->value() + (y - pane->y());
}

// "" when the window shows what the painter draws of the window's frame, with text in it.
QString showsItsFrame(FrameView *talent, const QTextDocument &document)
{
    if (!talent)
        return QStringLiteral("no window");
    const QImage shown = talent->grab().toImage().convertToFormat(QImage::Format_RGB32);
    QImage straight(talent->size(), QImage::Format_RGB32);
    {
        QPainter painter(&straight);
        FramePainter::Options options;
        options.fill = true;
        options.readouts = false;
        FramePainter::Cache cache;
        FramePainter::Paint(painter, straight.rect(), talent->Frame(), document, options, &cache);
    }
    const QImage expected = straight.mirrored(true, false);
    // Text: more than the background and the arrow.
    int lit = 0;
    for (int y = 0; y < shown.height(); y += 4)
        for (int x = 0; x < shown.width() - 200; x += 4)
            lit += qGray(shown.pixel(x, y)) > 128;
    if (lit < 100)
        return QStringLiteral("no text on the talent's screen");
    return shown == expected ? QString() : QStringLiteral("not the painter's picture of its frame");
}

}

class tst_TalentRig : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanup();
    void landsFullScreenOnTalent();
    void unplugAndReplugMidRun();
    void waitsForASavedScreen();
    void lockedToTheOperatorsView();
};

void tst_TalentRig::initTestCase()
{
    if (QGuiApplication::platformName() != u"xcb")
        QSKIP("needs the two-monitor X display of two_screens.sh");
    QVERIFY(screenNamed(QStringLiteral("OPERATOR")));
    QVERIFY(screenNamed(QStringLiteral("TALENT")));
}

void tst_TalentRig::cleanup()
{
    if (!screenNamed(QStringLiteral("TALENT"))) {
        plugTalent();
        QTRY_VERIFY(screenNamed(QStringLiteral("TALENT")));
    }
}

void tst_TalentRig::landsFullScreenOnTalent()
{
    TestWindow window;
    QVERIFY(writeSettingsFile({{"TALENT", "SCREEN", "TALENT"}, {"TALENT", "MIRROR", "H"}}));
    TMainForm &form = window.open();
    form.move(100, 100);
    form.show();
    form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    form.RichEdit1->setFocus();
    FrameView *talent = form.Talent->Window();
    QTRY_VERIFY(onTalentScreen(talent));
    QVERIFY(talent->isFullScreen());
    QCOMPARE(form.windowHandle()->screen()->name(), QStringLiteral("OPERATOR"));
    // Given time to steal it, it has not.
    QTest::qWait(300);
    QCOMPARE(QApplication::activeWindow(), &form);
    QCOMPARE(QApplication::focusWidget(), form.RichEdit1);
    QVERIFY(window.dialogs.errors.isEmpty());
}

// Unplugged in the middle of a run, the window goes and the run goes on; plugged back, it
// is there again at once, and the run has not stopped.
void tst_TalentRig::unplugAndReplugMidRun()
{
    TestWindow window;
    QVERIFY(writeSettingsFile(
        {{"TALENT", "SCREEN", "TALENT"}, {"TALENT", "MIRROR", "H"}, {"SCROLLING", "METHOD", "FRAME"}}));
    TMainForm &form = window.open();
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    fillScript(form, 300);
    QTRY_VERIFY(onTalentScreen(form.Talent->Window()));

    PromptRunner runner(form);
    qint64 stepsAtUnplug = 0, stepsAtReplug = 0, runsAtUnplug = 0;
    const auto steps = [&] { return form.Engine->StepsMade(); };
    runner.when([&] { return steps() > 30; }, [&] { runner.key(Qt::Key_5); });
    runner.when([&] { return steps() > 60; },
                [&] {
                    stepsAtUnplug = steps();
                    runsAtUnplug = form.Engine->RunsStarted();
                    QVERIFY(unplugTalent());
                });
    runner.when([&] { return !form.Talent->Window() && !screenNamed(QStringLiteral("TALENT")); }, [] {});
    // Prompting goes on in the main window.
    runner.when([&] { return steps() > stepsAtUnplug + 30; }, [&] { QVERIFY(plugTalent()); });
    runner.when([&] { return onTalentScreen(form.Talent->Window()); }, [&] { stepsAtReplug = steps(); });
    // Back, it shows the running script again, as the painter draws the frame.
    QString picture = QStringLiteral("not looked at");
    runner.when([&] { return steps() > stepsAtReplug + 30; },
                [&] {
                    FrameView *talent = form.Talent->Window();
                    picture = showsItsFrame(talent, *form.RichEdit1->document());
                });
    QVERIFY(runner.run(30000));
    QVERIFY(window.dialogs.errors.isEmpty());
    QCOMPARE(picture, QString());
    QCOMPARE(form.Engine->RunsStarted(), runsAtUnplug);
    QVERIFY(stepsAtReplug > stepsAtUnplug);
    QCOMPARE(form.StatusBar->PanelText(2), QStringLiteral(" Talent: TALENT (was unplugged)"));
}

// A saved screen that is missing at start-up is waited for, and comes on when plugged in,
// leaving the keys with the operator.
void tst_TalentRig::waitsForASavedScreen()
{
    QVERIFY(unplugTalent());
    QTRY_VERIFY(!screenNamed(QStringLiteral("TALENT")));
    TestWindow window;
    QVERIFY(writeSettingsFile({{"TALENT", "SCREEN", "TALENT"}}));
    TMainForm &form = window.open();
    form.show();
    form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    form.RichEdit1->setFocus();
    QVERIFY(!form.Talent->Window());
    QVERIFY(plugTalent());
    QTRY_VERIFY(onTalentScreen(form.Talent->Window()));
    QVERIFY(QTest::qWaitForWindowExposed(form.Talent->Window()));
    // Given time to take them, it has not.
    QTest::qWait(300);
    QCOMPARE(QApplication::activeWindow(), &form);
    QCOMPARE(QApplication::focusWidget(), form.RichEdit1);
    QVERIFY(window.dialogs.errors.isEmpty());
}

// While prompting the talent's screen shows the operator's frame of the same step, the line at
// the arrow the operator's panes show there, and moves at the steady speed of its own screen.
void tst_TalentRig::lockedToTheOperatorsView()
{
    TestWindow window;
    QVERIFY(writeSettingsFile(
        {{"TALENT", "SCREEN", "TALENT"}, {"TALENT", "MIRROR", "H"}, {"SCROLLING", "METHOD", "FRAME"}}));
    TMainForm &form = window.open();
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    fillScript(form, 400);
    FrameView *talent = form.Talent->Window();
    QTRY_VERIFY(onTalentScreen(talent));

    QElapsedTimer clock;
    clock.start();
    bool measuring = false;
    qint64 behindMost = 0, frames = 0;
    qreal offMost = 0;
    std::vector<std::pair<qint64, qreal>> painted;
    talent->OnPainted = [&](const PromptFrame &frame) {
        if (!measuring || !frame.prompting)
            return;
        ++frames;
        behindMost = std::max(behindMost, form.Engine->CurrentFrame().step - frame.step);
        offMost = std::max(offMost,
                           std::abs(arrowDocumentY(frame) - operatorArrowDocumentY(form))
                               - (form.Engine->CurrentFrame().step - frame.step) * form.Prompt.CurrentSpeed);
        painted.emplace_back(clock.nsecsElapsed(), arrowDocumentY(frame));
    };
    PromptRunner runner(form);
    QElapsedTimer phase;
    runner.when([] { return true; },
                [&] {
                    runner.key(Qt::Key_5);
                    phase.start();
                });
    runner.when([&] { return phase.elapsed() > 1000; }, [&] { measuring = true; });
    runner.when([&] { return phase.elapsed() > 6000; }, [&] { measuring = false; });
    QVERIFY(runner.run(30000));
    talent->OnPainted = nullptr;
    QVERIFY(window.dialogs.errors.isEmpty());

    QVERIFY2(frames > 100, qPrintable(QString::number(frames)));
    // Each picture is of the step just made, or at the worst of the one before it.
    QVERIFY2(behindMost <= 1, qPrintable(QString::number(behindMost)));
    QVERIFY2(offMost < 0.5, qPrintable(QString::number(offMost)));
    const SpeedEntry row = form.SettingsRecord->KeyboardSpeedTable[5];
    const double hz = talent->screen()->refreshRate() >= 10 ? talent->screen()->refreshRate() : 60;
    const double expected = row.Speed * hz / (1 + row.Delay / 1e6);
    const double seconds = (painted.back().first - painted.front().first) / 1e9;
    const double shown = (painted.back().second - painted.front().second) / seconds;
    // A loaded machine may paint late, never slower on average.
    QVERIFY2(std::abs(shown / expected - 1) < 0.05,
             qPrintable(QStringLiteral("%1 px/s shown, %2 expected").arg(shown).arg(expected)));
}

QTEST_MAIN(tst_TalentRig)
#include "tst_talentrig.moc"
