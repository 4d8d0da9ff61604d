#pragma once

#include "app/TMainForm.h"
#include "controls/TRichEdit.h"
#include "prompt/PromptEngine.h"
#include "settings/ProfileFile.h"
#include "settings/Settings.h"

#include <QElapsedTimer>
#include <QTimer>
#include <QtTest>

#include <deque>
#include <functional>
#include <utility>

// Plays "when this holds, do that" steps while the scroll loop runs, and presses Escape
// when the steps are done or time runs out.
class PromptRunner : public QObject
{
public:
    explicit PromptRunner(TMainForm &form) : m_form(form)
    {
        m_timer.setInterval(1);
        connect(&m_timer, &QTimer::timeout, this, [this] { tick(); });
    }

    void when(std::function<bool()> condition, std::function<void()> action)
    {
        m_steps.emplace_back(std::move(condition), std::move(action));
    }
    // Also called at every tick while a run is going.
    void atStep(std::function<void()> action) { m_everyTick = std::move(action); }

    // Prompts until the operator has left; false when time ran out first.
    bool run(int timeoutMs = 15000)
    {
        m_clock.start();
        m_timeoutMs = timeoutMs;
        m_timer.start();
        m_form.Engine->SpeedButton1Click();
        m_timer.stop();
        return m_steps.empty() && !m_timedOut;
    }

    // From a timer of its own, since the key may end a run the caller sits in.
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
    int m_timeoutMs = 15000;
    bool m_timedOut = false;
    std::deque<std::pair<std::function<bool()>, std::function<void()>>> m_steps;
    std::function<void()> m_everyTick;
};

// Writes the default settings file in the current directory with these keys changed,
// each given as {"SECTION", "KEY", "value"}.
struct SettingsKey
{
    QString section;
    QString key;
    QString value;
};

inline bool writeSettingsFile(const QList<SettingsKey> &keys)
{
    Settings defaults;
    TakeSettingsDir(defaults);
    WriteDefaultSettings(defaults);
    const QString path = SettingsFilePath(defaults);
    ProfileFile file;
    if (!file.load(path))
        return false;
    for (const SettingsKey &k : keys)
        if (!file.setValue(k.section, k.key, k.value))
            return false;
    return file.save(path);
}

inline QString settingsValue(const QString &section, const QString &key)
{
    Settings settings;
    TakeSettingsDir(settings);
    ProfileFile file;
    if (!file.load(SettingsFilePath(settings)))
        return QStringLiteral("(no file)");
    return file.value(section, key, QStringLiteral("(no key)"));
}
