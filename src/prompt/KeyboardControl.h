#pragma once

#include <QChar>
#include <Qt>

class PromptCommands;
class PromptEngine;
struct MainControls;
struct PromptState;
struct SettingsConsumers;

#include <functional>

// The keys of the editor control: prompt keys while prompting, a few editing short
// cuts otherwise. Keys aimed at pane B or the bare window are swallowed.
class KeyboardControl
{
public:
    KeyboardControl(MainControls &controls, PromptEngine &engine, PromptCommands &commands,
                    std::function<void()> rereadSettings);

    void RichEditoldKeyPress(QChar &key);
    void RichEdit1KeyDown(int &key, Qt::KeyboardModifiers shift);
    void RichEdit2KeyDown(int &key, Qt::KeyboardModifiers shift);
    void RichEdit2KeyPress(QChar &key);
    void FormKeyDown(int &key, Qt::KeyboardModifiers shift);

private:
    void promptKeyDown(int &key, Qt::KeyboardModifiers shift);
    void editingKeyDown(int &key, Qt::KeyboardModifiers shift);
    void stepFont(int step);
    void stepFontSize(int step);
    void colourBothPanes(int digit);
    void toggleBackground();

    MainControls &m_c;
    PromptState &P;
    PromptEngine &m_engine;
    PromptCommands &m_commands;
    std::function<void()> m_rereadSettings;
};
