// Prompting, measured on the real window. Motion is taken from where the panes are drawn,
// step by step, not from a count of steps.
//
//   bench_prompt steps      F10 to the first step; the cost of a step with and without
//                           font smoothing, against moving two bare panes
//   bench_prompt speed      pixels per second for keys 1, 5 and 9, steady (FRAME) and
//                           busy-wait (WIN), idle and with both cores loaded
//   bench_prompt evenness   how close to their frames the steady method's steps start
//   bench_prompt cpu        the prompter's own processor time at key 5 for 30 s
//   bench_prompt trace [key] [points]
//                           a 3,000-line script (12-point text unless given) from the
//                           first line to the last, at key 5 unless given
//
// Run it offscreen (QT_QPA_PLATFORM=offscreen) or on a display, for example under
//   xvfb-run -a -s "-screen 0 1920x1080x24" build/bench/bench_prompt speed

#include "app/TMainForm.h"
#include "controls/TRichEdit.h"
#include "prompt/DisplayAids.h"
#include "prompt/PromptEngine.h"
#include "settings/Settings.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <sys/resource.h>

#include "PrompterSupport.h"

namespace {

constexpr int Width = PrompterWidth;
constexpr int Height = PrompterHeight;

// ---- steps ----

double bareMovesPerSecond(int paneHeight, int measureMs)
{
    QWidget window;
    window.setWindowFlag(Qt::FramelessWindowHint);
    window.resize(Width, Height);
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

// Steps a second at key 9 (the fastest row, no delay) with smoothing on or off.
double stepsPerSecond(bool smoothing)
{
    Prompter p(400, false);
    p.form.Action(QStringLiteral("FontSmoothing1"))->setChecked(smoothing);
    MotionMeter meter(p.form);
    QElapsedTimer clock;
    qint64 steps0 = 0;
    double rate = 0;
    p.run(
        [&](bool after) {
            if (after)
                meter.step();
        },
        [&] {
            if (p.form.Prompt.CurrentSpeed != p.form.SettingsRecord->KeyboardSpeedTable[9].Speed) {
                p.key(9);
                return true;
            }
            if (!clock.isValid()) {
                clock.start();
                steps0 = p.form.Engine->StepsMade();
                meter.reset();
                return true;
            }
            if (clock.elapsed() < 3000)
                return true;
            rate = (p.form.Engine->StepsMade() - steps0) * 1000.0 / clock.elapsed();
            return false;
        });
    if (meter.pixels() <= 0)
        fail("the panes did not move");
    return rate;
}

double firstStepMs(int lines)
{
    Prompter p(lines, false);
    QElapsedTimer clock;
    double ms = -1;
    clock.start();
    p.run(
        [&](bool after) {
            if (after && ms < 0)
                ms = clock.nsecsElapsed() / 1e6;
        },
        [&] { return ms < 0; });
    return ms;
}

void steps()
{
    std::printf("F10 to first step: 1,000 lines %.0f ms, 100,000 lines %.0f ms\n", firstStepMs(1000),
                firstStepMs(100000));
    const double off = stepsPerSecond(false);
    const double on = stepsPerSecond(true);
    int paneHeight = 0;
    {
        Prompter p(100, false);
        p.run([&](bool) { paneHeight = p.form.Prompt.PaneAHeight; }, [&] { return paneHeight == 0; });
    }
    const double bare = bareMovesPerSecond(paneHeight, 3000);
    std::printf("steps/s at key 9: smoothing off %.0f, on %.0f (step cost on/off %.2f); bare two-pane moves/s %.0f "
                "(step cost off/bare %.2f)\n",
                off, on, off / on, bare, bare / off);
}

// ---- speed ----

struct SpeedFigures
{
    double pixelsPerSecond = 0;
    double expected = 0;
};

SpeedFigures speedAt(int digit, bool steady, double seconds)
{
    Prompter p(4000, steady);
    const SpeedEntry row = p.form.SettingsRecord->KeyboardSpeedTable[digit];
    MotionMeter meter(p.form);
    QElapsedTimer clock;
    qint64 firstNs = 0, lastNs = 0;
    p.run(
        [&](bool after) {
            if (!after)
                return;
            meter.step();
            if (clock.isValid())
                lastNs = clock.nsecsElapsed();
        },
        [&] {
            if (p.form.Prompt.CurrentSpeed != row.Speed || p.form.Prompt.ActiveDelay != row.Delay) {
                p.key(digit);
                return true;
            }
            if (!clock.isValid()) {
                clock.start();
                meter.reset();
                firstNs = 0;
                return true;
            }
            return clock.elapsed() < seconds * 1000;
        });
    // Every step moves the text by the row's speed.
    for (int m : meter.moves())
        if (m != row.Speed && m != 0)
            fail("a step moved the text by other than the speed");
    SpeedFigures f;
    f.pixelsPerSecond = meter.pixels() / ((lastNs - firstNs) / 1e9);
    f.expected = steady ? row.Speed * refreshRate(p.form) / (1.0 + row.Delay / 1e6) : 0;
    if (meter.pixels() <= 0)
        fail("the panes did not move");
    return f;
}

void speed()
{
    const double seconds = 10;
    for (bool loaded : {false, true}) {
        Load load(loaded);
        std::printf("%s:\n", loaded ? "both cores loaded" : "idle");
        for (bool steady : {true, false}) {
            std::printf("  %s", steady ? "FRAME" : "WIN  ");
            for (int digit : {1, 5, 9}) {
                const SpeedFigures f = speedAt(digit, steady, seconds);
                if (steady)
                    std::printf("  key %d %7.1f px/s (expected %6.1f, ratio %.4f)", digit, f.pixelsPerSecond,
                                f.expected, f.pixelsPerSecond / f.expected);
                else
                    std::printf("  key %d %9.1f px/s", digit, f.pixelsPerSecond);
            }
            std::printf("\n");
        }
    }
}

// ---- evenness ----

void evennessOnce(bool loaded)
{
    Load load(loaded);
    Prompter p(4000, true);
    const double frameNs = 1e9 / refreshRate(p.form);
    QElapsedTimer clock;
    std::vector<qint64> starts;
    std::vector<double> late;
    p.run(
        [&](bool after) {
            if (!after && clock.isValid()) {
                starts.push_back(clock.nsecsElapsed());
                late.push_back(p.form.Engine->LastStepLateNs() / 1e6);
            }
        },
        [&] {
            if (p.form.Prompt.CurrentSpeed != p.form.SettingsRecord->KeyboardSpeedTable[5].Speed) {
                p.key(5);
                return true;
            }
            if (!clock.isValid())
                clock.start();
            return clock.elapsed() < 10000;
        });
    if (starts.size() < 100)
        fail("too few steps");
    // How long after its frame each step started, and gaps of more than one frame
    // between steps that were due one frame apart.
    int overAFrame = 0;
    for (double ms : late)
        overAFrame += ms > frameNs / 1e6;
    std::sort(late.begin(), late.end());
    const double within2
        = double(std::count_if(late.begin(), late.end(), [](double ms) { return ms <= 2.0; })) / double(late.size());
    std::printf("%s: %zu steps, %.2f %% within 2 ms of their frame, median %.2f ms, 99th percentile %.2f ms; "
                "steps more than a frame late: %d\n",
                loaded ? "loaded" : "idle", starts.size(), within2 * 100, late[late.size() / 2],
                late[late.size() * 99 / 100], overAFrame);
}

void evenness()
{
    evennessOnce(false);
    evennessOnce(true);
}

// ---- cpu ----

void cpu()
{
    for (bool steady : {true, false}) {
        Prompter p(8000, steady);
        QElapsedTimer clock;
        double cpu0 = 0, share = 0;
        p.run(nullptr, [&] {
            if (p.form.Prompt.CurrentSpeed != p.form.SettingsRecord->KeyboardSpeedTable[5].Speed) {
                p.key(5);
                return true;
            }
            if (!clock.isValid()) {
                clock.start();
                cpu0 = cpuSeconds();
                return true;
            }
            if (clock.elapsed() < 30000)
                return true;
            share = (cpuSeconds() - cpu0) / (clock.elapsed() / 1000.0);
            return false;
        });
        std::printf("%s: %.1f %% of one core while prompting at key 5 for 30 s\n", steady ? "FRAME" : "WIN  ",
                    share * 100);
    }
}

// ---- trace ----

void trace(int digit, double points)
{
    for (bool steady : {false, true}) {
        Prompter p(3000, steady);
        p.form.RichEdit1->SelectAll();
        p.form.RichEdit1->SetSelSize(points);
        p.form.RichEdit1->SetSelection(0, 0);
        MotionMeter meter(p.form);
        const PromptState &s = p.form.Prompt;
        int backward = 0, still = 0, longestStill = 0, stillAt = -1;
        bool moving = false;
        QElapsedTimer clock;
        const qint64 runs0 = p.form.Engine->RunsStarted();
        p.run(
            [&](bool after) {
                if (!after)
                    return;
                meter.step();
                // The end-of-script stop is the end of the trace.
                if (!moving || meter.moves().empty() || s.CurrentSpeed == 0)
                    return;
                const int m = meter.moves().back();
                if (m < 0 && std::getenv("TRACE_DEBUG"))
                    std::fprintf(stderr, "backward %d at top %d, panes %d %d, speed %d\n", m, s.TopLine, s.PaneATop,
                                 s.PaneBTop, s.CurrentSpeed);
                backward += m < 0;
                still = m == 0 ? still + 1 : 0;
                if (still > longestStill) {
                    longestStill = still;
                    stillAt = s.TopLine;
                }
            },
            [&] {
                if (!moving) {
                    p.key(digit);
                    moving = s.CurrentSpeed > 0;
                    if (moving) {
                        clock.start();
                        meter.reset();
                    }
                    return true;
                }
                // The real end: the end-of-script stop.
                return !(s.CurrentSpeed == 0 && s.TopLine >= s.LineCount - s.RecycleLines);
            });
        std::printf("%s key %d, %.0f pt: 3,000 lines to the end in %.1f s, %lld px; runs %lld; backward moves %d; "
                    "longest standstill %d steps (at line %d); final top line %d of %d\n",
                    steady ? "FRAME" : "WIN  ", digit, points, clock.elapsed() / 1000.0, meter.pixels(),
                    p.form.Engine->RunsStarted() - runs0, backward, longestStill, stillAt, s.TopLine, s.LineCount);
        if (backward || p.form.Engine->RunsStarted() - runs0 != 1)
            fail("the text jumped back or the run restarted");
    }
}

}

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_FONT_DPI"))
        qputenv("QT_FONT_DPI", "96");
    QApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    const QString what = argc > 1 ? QString::fromLatin1(argv[1]) : QStringLiteral("steps");
    std::printf("platform %s, refresh %.1f Hz\n", qPrintable(QGuiApplication::platformName()),
                QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->refreshRate() : 0.0);
    if (what == u"steps")
        steps();
    else if (what == u"speed")
        speed();
    else if (what == u"evenness")
        evenness();
    else if (what == u"cpu")
        cpu();
    else if (what == u"trace")
        trace(argc > 2 ? std::atoi(argv[2]) : 5, argc > 3 ? std::atof(argv[3]) : 12.0);
    else
        fail("unknown measurement");
    return 0;
}
