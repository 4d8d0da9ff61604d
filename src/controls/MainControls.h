#pragma once

class ClientArea;
class Dialogs;
class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QMainWindow;
class QMenu;
class QMenuBar;
class QTimer;
class QToolBar;
class QToolButton;
class QWidget;
class TCommPortDriver;
class TRichEdit;
class TStatusBar;
class TUpDown;
struct MarkerSearchState;
struct PromptState;
struct Settings;

// The controls and records of the main window that the subsystems work on,
// filled in by the frame (the way a generated form class lists its members).
struct MainControls
{
    QMainWindow *Form = nullptr;
    ClientArea *Client = nullptr;

    TRichEdit *RichEdit1 = nullptr;
    TRichEdit *RichEdit2 = nullptr;
    TRichEdit *RichEdit3 = nullptr;
    TRichEdit *RichEdit4 = nullptr;

    QWidget *Panel1 = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *Label3 = nullptr;
    QLabel *Label4 = nullptr;
    QLabel *Label5 = nullptr;
    // Under the read-outs while prompting without a working controller.
    QLabel *ControlSign = nullptr;

    QToolBar *ToolBar1 = nullptr;
    TStatusBar *StatusBar = nullptr;
    QMenuBar *MainMenu = nullptr;
    QMenuBar *MainMenu1 = nullptr;

    QComboBox *fontname = nullptr;
    QLineEdit *fontsize = nullptr;
    TUpDown *UpDown1 = nullptr;
    QToolButton *BoldButton = nullptr;
    QToolButton *UnderlineButton = nullptr;
    QToolButton *ItalicButton = nullptr;

    QAction *Bold1 = nullptr;
    QAction *Underline1 = nullptr;
    QAction *Italic1 = nullptr;
    QAction *ScrollControls1 = nullptr;
    QAction *COM11 = nullptr;
    QAction *Com21 = nullptr;
    QAction *FontSmoothing1 = nullptr;
    QAction *SteadySpeed1 = nullptr;

    QTimer *Timer1 = nullptr;
    QTimer *Timer2 = nullptr;
    QTimer *Timer3 = nullptr;

    TCommPortDriver *CommPortDriver1 = nullptr;

    PromptState *prompt = nullptr;
    Settings *settings = nullptr;
    MarkerSearchState *markers = nullptr;
    Dialogs *const *dialogs = nullptr; // the frame may swap its dialogs (tests do)
};
