// A studio rig on a virtual X display (tests/talent/two_screens.sh): the operator's
// monitor and the talent's beside it, the talent's unplugged and plugged back with xrandr.
#include "FakeDialogs.h"
#include "PromptRunner.h"

#include "app/TMainForm.h"
#include "controls/TRichEdit.h"
#include "controls/TStatusBar.h"
#include "prompt/PromptEngine.h"
#include "talent/FrameView.h"
#include "talent/TalentScreen.h"

#include <QApplication>
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
    ScopedWorkDir dir;
    QVERIFY(writeSettingsFile({{"TALENT", "SCREEN", "TALENT"}, {"TALENT", "MIRROR", "H"}}));
    FakeDialogs dialogs;
    TMainForm form(QString(), &dialogs);
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
    QVERIFY(dialogs.errors.isEmpty());
}

// Unplugged in the middle of a run, the window goes and the run goes on; plugged back, it
// is there again at once, and the run has not stopped.
void tst_TalentRig::unplugAndReplugMidRun()
{
    ScopedWorkDir dir;
    QVERIFY(writeSettingsFile(
        {{"TALENT", "SCREEN", "TALENT"}, {"TALENT", "MIRROR", "H"}, {"SCROLLING", "METHOD", "FRAME"}}));
    FakeDialogs dialogs;
    TMainForm form(QString(), &dialogs);
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
    runner.when([&] { return steps() > stepsAtReplug + 30; }, [] {});
    QVERIFY(runner.run(30000));
    QVERIFY(dialogs.errors.isEmpty());
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
    ScopedWorkDir dir;
    QVERIFY(writeSettingsFile({{"TALENT", "SCREEN", "TALENT"}}));
    FakeDialogs dialogs;
    TMainForm form(QString(), &dialogs);
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
    QVERIFY(dialogs.errors.isEmpty());
}

QTEST_MAIN(tst_TalentRig)
#include "tst_talentrig.moc"
