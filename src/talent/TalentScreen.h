#pragma once

#include "prompt/PromptFrame.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>

class FrameView;
class QAction;
class QMenu;
class QScreen;
struct MainControls;
struct TalentSetting;

// The talent's screen under the glass: the choice of screen and mirror (Tools > Talent
// Screen, saved in [TALENT]), its full-screen window that follows the screen as it is
// plugged in and out, and the main window's own mirrored view ("Mirror Prompter").
class TalentScreen : public QObject
{
public:
    struct Hooks
    {
        // Connects a menu item the way the frame connects all of them (guarded).
        std::function<void(QAction *, std::function<void()>)> wire;
        // Has the prompter publish the frame as the window stands now.
        std::function<void()> publishFrame;
    };

    // menu: the Talent Screen submenu, filled here; mirrorPrompter: the Scroll Settings item.
    TalentScreen(MainControls &controls, QMenu *menu, QAction *mirrorPrompter, Hooks hooks);
    ~TalentScreen() override;

    // From the settings file.
    void TakeSetting(const TalentSetting &setting);
    void TakeMirrorPrompter(bool on);

    // The menu commands.
    void ChooseScreen(const QString &name); // "" is None
    void MirrorLeftRight1Click();
    void MirrorTopBottom1Click();
    void MirrorPrompter1Click();

    // Every frame the prompter publishes.
    void ShowFrame(const PromptFrame &frame);
    // Prompting is over; the status bar says what became of the talent's screen.
    void PromptingEnded();
    // The script or the editor's view changed while not prompting.
    void EditorChanged();

    // The chosen screen when it is connected (the on-air screen paces the steady method).
    QScreen *Screen() const;
    QString ChosenName() const { return m_chosen; }
    Mirror TalentMirror() const;
    FrameView *Window() const;
    FrameView *MirroredView() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void fillMenu();
    void fillScreenItems();
    void follow();
    void openWindow(QScreen *screen);
    void closeWindow();
    void screenRemoved(QScreen *screen);
    void writeBack(const QString &section, const QString &key, const QString &value);
    void showMirrored(const PromptFrame &frame);

    MainControls &m_c;
    QMenu *m_menu;
    QAction *m_mirrorPrompter;
    Hooks m_hooks;
    QAction *m_none = nullptr;
    QAction *m_mirrorH = nullptr;
    QAction *m_mirrorV = nullptr;
    QAction *m_screensEnd = nullptr;
    QList<QAction *> m_screenItems;
    QString m_chosen;
    QPointer<FrameView> m_window;
    QPointer<FrameView> m_mirrored;
    bool m_prompting = false;
    bool m_lostOnAir = false;
    bool m_idlePending = false;
    PromptFrame m_lastFrame;
};
