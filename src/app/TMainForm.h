#pragma once

#include "app/ErrorGuard.h"
#include "app/MainControls.h"
#include "editor/MarkerSearchState.h"
#include "prompt/PromptState.h"

#include <QMainWindow>
#include <QStringList>

#include <memory>

class QMenu;
class ControlSource;
class DisplayAids;
class EditCommands;
class Formatting;
class KeyboardControl;
class Markers;
class PromptEngine;
class ScriptFiles;
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
    std::unique_ptr<ControlSource> Source;
    std::unique_ptr<PromptEngine> Engine;
    std::unique_ptr<KeyboardControl> Keys;
    std::unique_ptr<DisplayAids> Aids;

    MainControls &Controls() { return m_controls; }
    const ErrorGuard &Guard() const { return m_guard; }
    Dialogs *DialogsInUse() const { return m_dialogs; }
    // Replaces the dialogs (tests answer questions through their own).
    void SetDialogs(Dialogs *dialogs);
    QAction *Action(const QString &name) const;

    // Start-up, activation, loading the command-line script, shutdown.
    void FormCreate();
    void FormActivate();
    void Timer2Timer();
    void FileExit();
    bool FormCloseQuery();
    void FormClose();

    // Where the settings reader applies the values it reads.
    SettingsConsumers SettingsTargets();

    // Puts the panes, margin and measuring control where the client area wants them.
    void AlignControls();
    bool PanesAligned = true;
    // Folder the open and save dialogs start in.
    QString DialogFolder;

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void createClient();
    void createToolBar();
    void createMenus();
    void createStatusBar();
    void createTimers();
    void createSubsystems();
    void connectHandlers();
    void connectPromptHandlers();
    void fillControls();

    QAction *addItem(QMenu *menu, const char *name, const QString &caption,
                     const QKeySequence &shortcut = {}, const QString &hint = {});
    QToolButton *addButton(const char *name, const QString &hint, const QString &glyph);
    template<typename F>
    void onTriggered(const char *actionName, F handler);
    template<typename F>
    void onClicked(QToolButton *button, F handler);

    QString m_commandLineScript;
    bool m_commandLineLoaded = false;
    Dialogs *m_dialogs;
    std::unique_ptr<Dialogs> m_ownDialogs;
    ErrorGuard m_guard;
    MainControls m_controls;
    QWidget *m_client = nullptr;
};
