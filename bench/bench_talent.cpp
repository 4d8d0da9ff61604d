// The talent's screen, measured from what its window painted.
//
//   bench_talent cost        offscreen: the cost of one talent frame at 1920x1080 with
//                            80-pixel text, unmirrored and mirrored, over frames of a real run
//   bench_talent speed       on a display with a monitor named TALENT: the speed the talent
//                            window shows at keys 1, 5 and 9 against the operator's panes, and
//                            how long after its step each talent frame was painted, idle and
//                            with both cores loaded
//   bench_talent cpu         on that display: the prompter's processor share at key 5
//   bench_talent memory [minutes]
//                            on that display: resident memory each minute of prompting (10)
//
// The display: bench/talent-rig.sh build/bench/bench_talent speed

#include "app/TMainForm.h"
#include "controls/TRichEdit.h"
#include "prompt/PromptEngine.h"
#include "settings/Settings.h"
#include "talent/FrameView.h"
#include "talent/TalentScreen.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <sys/resource.h>
#include <unistd.h>

#include "BenchSupport.h"

namespace {

long residentKb()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLong() * (sysconf(_SC_PAGESIZE) / 1024) : 0;
}

double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, size_t(p * values.size()))];
}

// The document's y at the cue arrow's line: what the reader's eye follows.
qreal arrowDocumentY(const PromptFrame &f)
{
    const qreal y = f.arrowTop + f.arrowHeight / 2.0;
    const PromptFrame::Pane &pane = (y >= f.b.top && y < f.b.top + f.b.height) ? f.b : f.a;
    return pane.documentY + (y - pane.top);
}

// The main window on the operator's screen, a talent screen named TALENT mirrored
// left-right when there is one, the steady method, the default tables.
struct Rig
{
    QTemporaryDir dir;
    std::unique_ptr<TMainForm> form;
    // Every frame the engine publishes, while set.
    std::function<void(const PromptFrame &)> onFrame;

    explicit Rig(int lines)
    {
        QDir::setCurrent(dir.path());
        Settings defaults;
        TakeSettingsDir(defaults);
        WriteDefaultSettings(defaults);
        WriteSettingsKey(defaults, QStringLiteral("SCROLLING"), QStringLiteral("METHOD"), QStringLiteral("FRAME"));
        WriteSettingsKey(defaults, QStringLiteral("TALENT"), QStringLiteral("SCREEN"), QStringLiteral("TALENT"));
        WriteSettingsKey(defaults, QStringLiteral("TALENT"), QStringLiteral("MIRROR"), QStringLiteral("H"));
        form = std::make_unique<TMainForm>();
        form->resize(1280, 800);
        form->show();
        if (!QTest::qWaitForWindowExposed(form.get()))
            fail("no window");
        form->Timer2->stop();
        form->Engine->AddFrameListener([this](const PromptFrame &f) {
            if (onFrame)
                onFrame(f);
        });
        form->RichEdit1->setPlainText(script(lines));
        form->RichEdit1->GetLineCount();
        form->RichEdit1->SetSelection(0, 0);
    }
    ~Rig() { form->RichEdit1->SetModified(false); }

    FrameView *talent() const { return form->Talent->Window(); }

    // Prompts; `driver` is called from the loop's message processing until it returns false.
    void run(const std::function<bool()> &driver)
    {
        QTimer tick;
        tick.setInterval(5);
        QObject::connect(&tick, &QTimer::timeout, [&] {
            if (!form->Prompt.LoopRunning)
                return;
            if (!driver()) {
                tick.stop();
                QTest::keyClick(form->RichEdit1, Qt::Key_Escape);
            }
        });
        tick.start();
        form->Engine->SpeedButton1Click();
    }
    void key(int digit) { QTest::keyClick(form->RichEdit1, Qt::Key(Qt::Key_0 + digit)); }
};

// ---- cost ----

void cost()
{
    Rig rig(400);
    std::vector<PromptFrame> frames;
    rig.onFrame = [&](const PromptFrame &f) {
        if (f.prompting)
            frames.push_back(f);
    };
    QElapsedTimer clock;
    rig.run([&] {
        if (!clock.isValid()) {
            rig.key(9);
            clock.start();
        }
        return clock.elapsed() < 3000;
    });
    rig.onFrame = nullptr;
    if (frames.size() < 20)
        fail("too few frames");
    FrameView view(rig.form->RichEdit1->document(), FrameView::Fit::Talent);
    view.setWindowFlag(Qt::FramelessWindowHint);
    view.setGeometry(0, 0, 1920, 1080);
    view.show();
    if (!QTest::qWaitForWindowExposed(&view))
        fail("no talent window");
    for (Mirror mirror : {Mirror::None, Mirror::Horizontal}) {
        view.SetMirror(mirror);
        std::vector<double> ms;
        for (int pass = 0; pass < 3; ++pass)
            for (const PromptFrame &f : frames) {
                view.ShowFrame(f);
                QElapsedTimer t;
                t.start();
                view.repaint();
                ms.push_back(t.nsecsElapsed() / 1e6);
            }
        double sum = 0;
        for (double v : ms)
            sum += v;
        std::printf("talent frame 1920x1080, 80-px text, %s: mean %.2f ms, p99 %.2f ms over %zu frames\n",
                    mirror == Mirror::None ? "unmirrored" : "mirrored", sum / ms.size(), percentile(ms, 0.99),
                    ms.size());
    }
}

// ---- speed and lateness ----

struct SpeedResult
{
    double talentPxPerS = 0;
    double panesPxPerS = 0;
    double p99LateMs = 0;
    double maxLateMs = 0;
    size_t painted = 0;
};

SpeedResult measureKey(Rig &rig, int key, int seconds)
{
    SpeedResult result;
    QElapsedTimer clock;
    clock.start();
    std::map<qint64, qint64> published; // step -> ns
    std::vector<std::pair<qint64, qreal>> painted, panes;
    std::vector<double> late;
    bool measuring = false;
    rig.onFrame = [&](const PromptFrame &f) {
        if (!measuring || !f.prompting)
            return;
        published[f.step] = clock.nsecsElapsed();
        panes.emplace_back(clock.nsecsElapsed(), arrowDocumentY(f));
    };
    if (rig.talent())
        rig.talent()->OnPainted = [&](const PromptFrame &f) {
            if (!measuring || !f.prompting)
                return;
            const qint64 now = clock.nsecsElapsed();
            painted.emplace_back(now, arrowDocumentY(f));
            if (auto it = published.find(f.step); it != published.end())
                late.push_back((now - it->second) / 1e6);
        };
    QElapsedTimer phase;
    rig.run([&] {
        if (!phase.isValid()) {
            rig.key(key);
            phase.start();
            return true;
        }
        // A second to settle, then the measured stretch.
        if (!measuring && phase.elapsed() > 1000)
            measuring = true;
        return phase.elapsed() < 1000 + seconds * 1000;
    });
    if (rig.talent())
        rig.talent()->OnPainted = nullptr;
    rig.onFrame = nullptr;
    auto rate = [](const std::vector<std::pair<qint64, qreal>> &points) {
        if (points.size() < 2)
            return 0.0;
        return (points.back().second - points.front().second) / ((points.back().first - points.front().first) / 1e9);
    };
    result.talentPxPerS = rate(painted);
    result.panesPxPerS = rate(panes);
    result.p99LateMs = percentile(late, 0.99);
    result.maxLateMs = late.empty() ? 0 : *std::max_element(late.begin(), late.end());
    result.painted = painted.size();
    return result;
}

void speed()
{
    // The operator's window alone, for comparison.
    for (int key : {1, 5, 9}) {
        Rig rig(1500);
        rig.form->Talent->ChooseScreen(QString());
        const SpeedEntry row = rig.form->SettingsRecord->KeyboardSpeedTable[key];
        const double expected = row.Speed * 60.0 / (1 + row.Delay / 1e6);
        const SpeedResult r = measureKey(rig, key, 8);
        std::printf("no talent screen, idle key %d: panes %.2f px/s (panes/expected %.4f at 60 Hz)\n", key,
                    r.panesPxPerS, r.panesPxPerS / expected);
    }
    for (bool loaded : {false, true}) {
        Load load(loaded);
        for (int key : {1, 5, 9}) {
            Rig rig(1500);
            if (!rig.talent())
                fail("no screen named TALENT");
            const double hz = rig.talent()->screen()->refreshRate();
            const SpeedEntry row = rig.form->SettingsRecord->KeyboardSpeedTable[key];
            const double expected = row.Speed * hz / (1 + row.Delay / 1e6);
            const SpeedResult r = measureKey(rig, key, 8);
            std::printf("%s key %d: talent %.2f px/s, panes %.2f px/s (talent/panes %.4f, talent/expected %.4f at "
                        "%.0f Hz); %zu talent frames, painted after their step: p99 %.2f ms, max %.2f ms\n",
                        loaded ? "loaded" : "idle  ", key, r.talentPxPerS, r.panesPxPerS,
                        r.panesPxPerS ? r.talentPxPerS / r.panesPxPerS : 0, expected ? r.talentPxPerS / expected : 0,
                        hz, r.painted, r.p99LateMs, r.maxLateMs);
        }
    }
}

// ---- cpu, memory ----

void cpu()
{
    Rig rig(1500);
    if (!rig.talent())
        fail("no screen named TALENT");
    QElapsedTimer phase, wall;
    double cpu0 = 0, share = 0;
    rig.run([&] {
        if (!phase.isValid()) {
            rig.key(5);
            phase.start();
            return true;
        }
        if (!wall.isValid() && phase.elapsed() > 1000) {
            wall.start();
            cpu0 = cpuSeconds();
        }
        if (wall.isValid() && wall.elapsed() >= 20000) {
            share = (cpuSeconds() - cpu0) / (wall.nsecsElapsed() / 1e9);
            return false;
        }
        return true;
    });
    std::printf("processor at key 5 with the talent screen: %.1f %% of one core over 20 s\n", share * 100);
}

void memory(int minutes)
{
    Rig rig(2000);
    if (!rig.talent())
        fail("no screen named TALENT");
    QElapsedTimer phase;
    int reported = -1;
    rig.run([&] {
        if (!phase.isValid()) {
            rig.key(5);
            phase.start();
        }
        const int minute = int(phase.elapsed() / 60000);
        if (minute != reported) {
            reported = minute;
            std::printf("minute %d: resident %ld kB\n", minute, residentKb());
            std::fflush(stdout);
        }
        return minute < minutes;
    });
}

}

int main(int argc, char **argv)
{
    TMainForm::PrepareApplication();
    QApplication app(argc, argv);
    const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("cost");
    if (mode == u"cost")
        cost();
    else if (mode == u"speed")
        speed();
    else if (mode == u"cpu")
        cpu();
    else if (mode == u"memory")
        memory(argc > 2 ? std::atoi(argv[2]) : 10);
    else
        fail("modes: cost, speed, cpu, memory [minutes]");
    return 0;
}
