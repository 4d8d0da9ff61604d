// Prompting speed: the cost of one scroll step against moving two bare opaque panes,
// the time from F10 to the first step, and the cost of the clock tick.
//
//   make bench && xvfb-run -a -s "-screen 0 1920x1080x24" build/bench/bench_prompt
//   QT_QPA_PLATFORM=offscreen build/bench/bench_prompt

#include "settings/Settings.h"
#include "app/TMainForm.h"
#include "controls/TRichEdit.h"
#include "prompt/DisplayAids.h"
#include "prompt/PromptEngine.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cstdio>

namespace {

constexpr int Width = 1920;
constexpr int Height = 1080;

QString script(int pages)
{
    // About one screen of 80-pixel text a page.
    const QString paragraph = QStringLiteral(
        "Good evening and welcome. Tonight we look back on a busy season at the harbour, meet the "
        "volunteers who rebuilt the old boathouse, and hear from the students of Hillside School. ");
    QStringList lines;
    for (int i = 0; i < pages * 2; ++i)
        lines << QStringLiteral("%1 %2").arg(i).arg(paragraph);
    return lines.join(QLatin1Char('\n'));
}

struct RunFigures
{
    double startMs = 0;
    double stepsPerSecond = 0;
    double longestStepMs = 0;
    int stepsOver5ms = 0;
    int stepsOver20ms = 0;
};

// Starts prompting, measures the time to the first step, then steps at speed 1 with no
// delay for a while.
RunFigures promptRun(TMainForm &form, int measureMs)
{
    RunFigures figures;
    QElapsedTimer clock;
    qint64 firstStep = -1, stepsAtStart = 0, rateStart = 0;
    bool pressed = false;
    qint64 lastTick = -1;
    QTimer watch;
    watch.setInterval(0);
    QTimer probe;
    probe.setInterval(0);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const qint64 steps = form.Engine->StepsMade();
        if (firstStep < 0) {
            if (steps > stepsAtStart)
                firstStep = clock.nsecsElapsed();
            return;
        }
        // From here on the probe stays out of the loop's way: one timer ends the measurement.
        probe.stop();
        pressed = true;
        QTest::keyClick(form.RichEdit1, Qt::Key_1);
        rateStart = clock.nsecsElapsed();
        stepsAtStart = form.Engine->StepsMade();
        // The longest gap between two steps: a crossing redraws a pane's text.
        QObject::connect(&watch, &QTimer::timeout, [&] {
            const qint64 now = clock.nsecsElapsed();
            if (lastTick >= 0) {
                const double ms = (now - lastTick) / 1e6;
                figures.longestStepMs = std::max(figures.longestStepMs, ms);
                figures.stepsOver5ms += ms > 5;
                figures.stepsOver20ms += ms > 20;
            }
            lastTick = now;
        });
        watch.start();
        QTimer::singleShot(measureMs, [&] {
            watch.stop();
            const qint64 now = clock.nsecsElapsed();
            figures.stepsPerSecond = (form.Engine->StepsMade() - stepsAtStart) * 1e9 / double(now - rateStart);
            QTest::keyClick(form.RichEdit1, Qt::Key_Escape);
        });
    });
    stepsAtStart = form.Engine->StepsMade();
    probe.start();
    clock.start();
    form.Engine->SpeedButton1Click();
    figures.startMs = firstStep / 1e6;
    return figures;
}

// Two opaque panes the size of the prompt panes, moved up one pixel a step, the screen
// updated by the same message processing as in the scroll loop.
double bareMovesPerSecond(int paneHeight, int measureMs)
{
    QWidget window;
    window.setWindowFlag(Qt::FramelessWindowHint);
    window.resize(Width, Height);
    QPalette pal;
    pal.setColor(QPalette::Window, Qt::black);
    window.setPalette(pal);
    window.setAutoFillBackground(true);
    QWidget *panes[2];
    for (auto &pane : panes) {
        pane = new QWidget(&window);
        QPalette p;
        p.setColor(QPalette::Window, QColor(20, 20, 20));
        pane->setPalette(p);
        pane->setAutoFillBackground(true);
    }
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return 0;
    int top = 0;
    qint64 steps = 0;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < measureMs) {
        QCoreApplication::processEvents();
        panes[0]->setGeometry(41, top, Width - 60, paneHeight);
        panes[1]->setGeometry(41, top + paneHeight, Width - 60, paneHeight);
        if (--top < -paneHeight)
            top = 0;
        ++steps;
    }
    return steps * 1000.0 / clock.elapsed();
}

double clockTickMs(TMainForm &form)
{
    form.Aids->Timer1Timer(); // the first tick builds what later ones reuse
    QElapsedTimer clock;
    clock.start();
    constexpr int Ticks = 20;
    for (int i = 0; i < Ticks; ++i)
        form.Aids->Timer1Timer();
    return clock.nsecsElapsed() / 1e6 / Ticks;
}

}

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_FONT_DPI"))
        qputenv("QT_FONT_DPI", "96");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    std::printf("platform: %s\n", qPrintable(QGuiApplication::platformName()));

    for (int pages : {20, 2000}) {
        TMainForm form;
        form.resize(Width, Height);
        form.show();
        if (!QTest::qWaitForWindowExposed(&form))
            return 1;
        form.Timer1->stop();
        form.Timer2->stop();
        form.SettingsRecord->KeyboardSpeedTable[1] = {1, 0};
        form.Action(QStringLiteral("FontSmoothing1"))->setChecked(false);
        form.RichEdit1->setPlainText(script(pages));
        form.RichEdit1->GetLineCount(); // the loaded script is laid out before F10, as on screen
        form.RichEdit1->SetSelection(0, 0);

        const RunFigures run = promptRun(form, pages == 20 ? 3000 : 1000);
        std::printf("%5d pages: F10 to first step %8.1f ms\n", pages, run.startMs);
        if (pages == 20) {
            const double bare = bareMovesPerSecond(form.Prompt.PaneAHeight, 3000);
            std::printf("             steps/s at speed 1: %.0f, bare two-pane moves/s: %.0f, step cost ratio %.2f\n",
                        run.stepsPerSecond, bare, bare / run.stepsPerSecond);
            std::printf("             longest step %.1f ms; steps over 5 ms: %d, over 20 ms: %d\n", run.longestStepMs,
                        run.stepsOver5ms, run.stepsOver20ms);
        } else {
            form.RichEdit1->SetSelection(form.RichEdit1->document()->characterCount() / 2, 0);
            std::printf("             clock tick %.2f ms\n", clockTickMs(form));
        }
        form.RichEdit1->document()->setModified(false);
    }
    return 0;
}
