#pragma once

#include "controls/ErrorGuard.h"
#include "controls/MainControls.h"
#include "editor/MarkerSearchState.h"
#include "prompt/PromptState.h"

#include <QMainWindow>
#include <QStringList>

#include <functional>
#include <initializer_list>
#include <memory>

class QMenu;
class ClientArea;
class Colours;
class ControlSource;
class DisplayAids;
class EditCommands;
class FindReplace;
class Formatting;
class HelpCommands;
class KeyboardControl;
class Markers;
class PromptCommands;
class PromptEngine;
class ScriptFiles;
class SerialControl;
class Spelling;
class TalentScreen;
class RemoteControl;
class TPanel;
struct Settings;
struct SettingsConsumers;

// The main window: the script editor, the prompter, menus, tool bar and status bar.
class TMainForm : public QMainWindow
{
    Q_OBJECT

public:
    // commandLineScript: the script named on the command line, or empty.
    explicit TMainForm(const QString &commandLineScript = QString(), Dialogs *dialogs = nullptr);
    ~TMainForm() override;

    // Controls, under the names the rest of the program knows them by.
    QToolBar *ToolBar1;
    TStatusBar *StatusBar;
    TPanel *Panel1;
    QLabel *Label1, *Label2, *Label3, *Label4, *Label5;
    QLabel *ControlSign;
    TRichEdit *RichEdit1, *RichEdit2, *RichEdit3, *RichEdit4;
    QMenuBar *MainMenu;
    QMenuBar *MainMenu1;
    QTimer *Timer1, *Timer2, *Timer3;
    QComboBox *fontname;
    QLineEdit *fontsize;
    TUpDown *UpDown1;
    QToolButton *BoldButton, *UnderlineButton, *ItalicButton;
    TCommPortDriver *CommPortDriver1;

    // Process-wide records
    PromptState Prompt;
    MarkerSearchState MarkerSearch;
    std::unique_ptr<Settings> SettingsRecord;

    // Subsystems
    std::unique_ptr<ScriptFiles> Files;
    std::unique_ptr<Formatting> Format;
    std::unique_ptr<Markers> MarkerCommands;
    std::unique_ptr<EditCommands> Edit;
    std::unique_ptr<Colours> ColourCommands;
    std::unique_ptr<FindReplace> FindAndReplace;
    std::unique_ptr<ControlSource> Source;
    std::unique_ptr<PromptEngine> Engine;
    // Every input's commands to the prompter (keys, controller, remote) go through it.
    std::unique_ptr<PromptCommands> Commands;
    std::unique_ptr<SerialControl> Serial;
    std::unique_ptr<KeyboardControl> Keys;
    std::unique_ptr<DisplayAids> Aids;
    std::unique_ptr<Spelling> Spell;
    std::unique_ptr<HelpCommands> Help;
    std::unique_ptr<TalentScreen> Talent;
    // OSC, the WebSocket and the phone page, on the same commands as the keys.
    std::unique_ptr<RemoteControl> Remote;

    MainControls &Controls() { return m_controls; }
    const ErrorGuard &Guard() const { return m_guard; }
    Dialogs *DialogsInUse() const { return m_dialogs; }
    // Replaces the dialogs (tests answer questions through their own).
    void SetDialogs(Dialogs *dialogs);
    QAction *Action(const QString &name) const;
    // Menu items and tool buttons whose commands are not part of the program yet.
    static QStringList CommandsNotBuiltYet();
    // The names of the items and buttons connected to a handler.
    const QStringList &WiredCommands() const { return m_wired; }

    // What the program sets on the application before its windows are made.
    static void PrepareApplication();

    // Start-up, activation, loading the command-line script, shutdown.
    void FormCreate();
    void FormActivate();
    void Timer2Timer();
    void FileExit();
    bool FormCloseQuery();
    void FormClose();

    // Where the settings reader applies the values it reads.
    SettingsConsumers SettingsTargets();

    // The File menu's recent files, newest first, as kept in the settings file.
    const QStringList &RecentFileList() const { return m_recentFiles; }
    void SetRecentFiles(const QStringList &files);
    // Opens the recent file of that place in the list; one that is gone is taken off it.
    void OpenRecentFile(int index);
    // A file dropped on the window or the editor: opened as Open does, asking about
    // unsaved changes; ignored while prompting.
    void OpenDroppedFile(const QString &path);


protected:
    bool event(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void createClient();
    void createToolBar();
    void createMenus();
    void createStatusBar();
    void createTimers();
    void createCommPortDriver();
    void createSubsystems();
    void connectCommands();
    void connectEvents();
    void wire(std::initializer_list<const char *> names, const std::function<void()> &handler);
    void fillControls();
    void showRecentFiles();

    QAction *addItem(QMenu *menu, const char *name, const QString &caption,
                     const QKeySequence &shortcut = {}, const QString &hint = {});
    QToolButton *addButton(const char *name, const QString &hint, const QString &glyph);

    QString m_commandLineScript;
    bool m_commandLineLoaded = false;
    Dialogs *m_dialogs;
    std::unique_ptr<Dialogs> m_ownDialogs;
    ErrorGuard m_guard;
    MainControls m_controls;
    ClientArea *m_client = nullptr;
    QStringList m_wired;
    QMenu *m_recentMenu = nullptr;
    QStringList m_recentFiles;
};
