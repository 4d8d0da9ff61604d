#pragma once

// The real window ready to prompt, and what the eye sees move, for the benchmarks that
// measure prompting.

#include "app/TMainForm.h"
#include "controls/TRichEdit.h"
#include "prompt/PromptEngine.h"
#include "settings/Settings.h"

#include <QAction>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <cstdlib>
#include <functional>
#include <vector>

#include "BenchSupport.h"

constexpr int PrompterWidth = 1920;
constexpr int PrompterHeight = 1080;

// The window with a script, ready to prompt.
struct Prompter
{
    TMainForm form;

    explicit Prompter(int lines, bool steady)
    {
        form.resize(PrompterWidth, PrompterHeight);
        form.show();
        if (!QTest::qWaitForWindowExposed(&form))
            fail("no window");
        form.Timer1->stop();
        form.Timer2->stop();
        Settings defaults;
        WriteDefaultSettings(defaults);
        form.SettingsRecord->KeyboardSpeedTable = defaults.KeyboardSpeedTable;
        form.Action(QStringLiteral("SteadySpeed1"))->setChecked(steady);
        form.RichEdit1->setPlainText(script(lines));
        form.RichEdit1->GetLineCount();
        form.RichEdit1->SetSelection(0, 0);
    }
    ~Prompter() { form.RichEdit1->SetModified(false); }

    // Runs prompting; `onStep` sees every step (true just after it), `driver` is called
    // from the loop's message processing until it returns false, then Escape ends it.
    void run(const std::function<void(bool)> &onStep, const std::function<bool()> &driver)
    {
        form.Engine->OnStep = onStep;
        QTimer tick;
        tick.setInterval(5);
        QObject::connect(&tick, &QTimer::timeout, [&] {
            if (!form.Prompt.LoopRunning)
                return;
            if (!driver()) {
                tick.stop();
                QTest::keyClick(form.RichEdit1, Qt::Key_Escape);
            }
        });
        tick.start();
        form.Engine->SpeedButton1Click();
        form.Engine->OnStep = nullptr;
    }

    void key(int digit) { QTest::keyClick(form.RichEdit1, Qt::Key(Qt::Key_0 + digit)); }
};

// What the eye sees move: per step, the distance the pane that stays on screen moved.
class MotionMeter
{
public:
    explicit MotionMeter(TMainForm &form) : m_a(form.RichEdit1), m_b(form.RichEdit2) { }

    void step()
    {
        const int a = m_a->y(), b = m_b->y();
        if (m_started) {
            // A recycled pane jumps by a whole page; the other one shows the motion.
            const int da = m_lastA - a, db = m_lastB - b;
            const int moved = std::abs(da) < std::abs(db) ? da : db;
            m_pixels += moved;
            m_moves.push_back(moved);
        }
        m_lastA = a;
        m_lastB = b;
        m_started = true;
    }
    void reset()
    {
        m_pixels = 0;
        m_moves.clear();
    }
    qint64 pixels() const { return m_pixels; }
    const std::vector<int> &moves() const { return m_moves; }

private:
    QWidget *m_a;
    QWidget *m_b;
    int m_lastA = 0, m_lastB = 0;
    bool m_started = false;
    qint64 m_pixels = 0;
    std::vector<int> m_moves;
};

inline double refreshRate(const QWidget &w)
{
    const double r = w.screen() ? w.screen()->refreshRate() : 0;
    return r >= 10 && r <= 1000 ? r : 60.0;
}
