#include "app/TMainForm.h"

#include "controls/ClientArea.h"
#include "controls/KeyReleaseFilter.h"
#include "core/DataFolders.h"
#include "core/Version.h"
#include "controls/Dialogs.h"
#include "settings/Settings.h"
#include "controls/TPanel.h"
#include "controls/TRichEdit.h"
#include "controls/TStatusBar.h"
#include "controls/ToolBarPictures.h"
#include "controls/TUpDown.h"
#include "controls/WidgetColours.h"
#include "editor/Colours.h"
#include "editor/EditCommands.h"
#include "editor/Formatting.h"
#include "editor/Markers.h"
#include "editor/RecentFiles.h"
#include "editor/ScriptFiles.h"
#include "help/HelpCommands.h"
#include "prompt/DisplayAids.h"
#include "prompt/KeyboardControl.h"
#include "prompt/PromptCommands.h"
#include "prompt/PromptEngine.h"
#include "prompt/SerialControl.h"
#include "search/FindReplace.h"
#include "serial/ControlSource.h"
#include "spelling/Spelling.h"
#include "talent/TalentScreen.h"
#include "remote/RemoteDialog.h"
#include "controls/TCommPortDriver.h"

#include <QAction>
#include <QFileInfo>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QScrollBar>
#include <QTextDocument>
#include <QScreen>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

namespace {

constexpr int ClientWidth = 766;
constexpr int ClientHeight = 434;
constexpr int MarginWidth = ClientArea::MarginWidth;

QFont arialPixels(int pixels)
{
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(pixels);
    return font;
}

constexpr qint32 Black = 0x000000;
constexpr qint32 White = 0xFFFFFF;
constexpr qint32 Maroon = 0x000080;
constexpr qint32 StatusBarGrey = 0x404040;

void setColours(QWidget *widget, qint32 background, qint32 text)
{
    SetBackground(widget, background);
    SetPaletteColour(widget, QPalette::WindowText, text);
    SetPaletteColour(widget, QPalette::Text, text);
}

}

TMainForm::TMainForm(const QString &commandLineScript, Dialogs *dialogs)
    : m_commandLineScript(commandLineScript),
      m_dialogs(dialogs),
      m_guard(this, &m_dialogs)
{
    if (!m_dialogs) {
        m_ownDialogs = std::make_unique<Dialogs>();
        m_dialogs = m_ownDialogs.get();
    }
    setObjectName(QStringLiteral("TMainForm"));
    setWindowTitle(MainWindowTitle());
    setFont(arialPixels(80));
    setColours(this, Maroon, White); // maroon until the first activation
    setToolTipDuration(-1);
    // A file dropped on the window opens as with Open; the editor passes its own on.
    setAcceptDrops(true);

    SettingsRecord = std::make_unique<Settings>();
    createClient();
    createToolBar();
    createMenus();
    UseThemeIcons(this);
    createStatusBar();
    createTimers();
    createCommPortDriver();
    fillControls();
    createSubsystems();
    connectCommands();
    connectEvents();

    resize(ClientWidth, ClientHeight + MainMenu->sizeHint().height());
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    m_guard.run([this] { FormCreate(); });
}

TMainForm::~TMainForm() = default;

// ---- Building the window ----

void TMainForm::createClient()
{
    m_client = new ClientArea(this);
    m_client->setObjectName(QStringLiteral("Client"));
    setColours(m_client, Maroon, White);
    setCentralWidget(m_client);

    auto makeEdit = [this](const char *name) {
        auto *edit = new TRichEdit(m_client);
        edit->setObjectName(QString::fromLatin1(name));
        edit->SetBackgroundColor(0);
        edit->SetBaseFont(QStringLiteral("Arial"), 80 * 72.0 / edit->logicalDpiY(), 0xFFFFFF);
        edit->SetScrollBar(true);
        return edit;
    };
    RichEdit2 = makeEdit("RichEdit2");
    RichEdit1 = makeEdit("RichEdit1");
    RichEdit3 = makeEdit("RichEdit3");
    RichEdit3->SetBaseFont(QStringLiteral("Arial"), 11 * 72.0 / RichEdit3->logicalDpiY(), 0xFFFFFF);
    RichEdit3->SetWordWrap(false);
    RichEdit3->SetScrollBar(false);
    RichEdit3->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    RichEdit3->setFocusPolicy(Qt::NoFocus);
    RichEdit3->setFixedHeight(10);
    // Pane B shows the script itself, not a copy: one document, one layout. It is created
    // before pane A, so it goes first when the window is taken down.
    RichEdit2->setDocument(RichEdit1->document());
    RichEdit4 = makeEdit("RichEdit4");
    RichEdit4->hide();

    Panel1 = new TPanel(m_client);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    setColours(Panel1, Black, White);
    Panel1->setFixedWidth(MarginWidth);

    auto makeLabel = [this](const char *name, const QString &text, int top, int pixels) {
        auto *label = new QLabel(text, Panel1);
        label->setObjectName(QString::fromLatin1(name));
        label->setFont(arialPixels(pixels));
        QPalette pal = label->palette();
        pal.setColor(QPalette::WindowText, Qt::white);
        label->setPalette(pal);
        label->setAttribute(Qt::WA_TransparentForMouseEvents);
        label->move(0, top);
        label->adjustSize();
        return label;
    };
    Label1 = makeLabel("Label1", QStringLiteral(">"), 136, 64);
    Label1->setToolTip(QStringLiteral("Hold down Left mouse button in margin to move arrow."));
    Label1->setFixedWidth(MarginWidth);
    Label2 = makeLabel("Label2", QStringLiteral("delay"), 312, 9);
    Label3 = makeLabel("Label3", QStringLiteral("Speed"), 288, 9);
    Label4 = makeLabel("Label4", QStringLiteral("Lines"), 336, 11);
    Label5 = makeLabel("Label5", QString(), 264, 11);
    ControlSign = makeLabel("ControlSign", QStringLiteral("No ctrl"), 360, 9);
    ControlSign->setToolTip(QStringLiteral("The controller is not connected."));
    for (QLabel *label : {Label2, Label3, Label4, Label5, ControlSign}) {
        label->setFixedWidth(MarginWidth);
        label->hide();
    }
    Panel1->setToolTip(Label1->toolTip());
    m_client->SetControls(Panel1, RichEdit1, RichEdit2, RichEdit3);
}

QToolButton *TMainForm::addButton(const char *name, const QString &hint, const QString &glyph)
{
    auto *button = new QToolButton(ToolBar1);
    button->setObjectName(QString::fromLatin1(name));
    button->setToolTip(hint);
    button->setStatusTip(hint);
    button->setIcon(glyphIcon(glyph));
    button->setFixedSize(25, 25);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    ToolBar1->addWidget(button);
    return button;
}

void TMainForm::createToolBar()
{
    ToolBar1 = new QToolBar(this);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->setIconSize(QSize(20, 20));
    ToolBar1->setContextMenuPolicy(Qt::PreventContextMenu);
    ToolBar1->setStyleSheet(QStringLiteral(
        "QToolBar { background: white; border-top: 1px solid #a0a0a0; border-bottom: 1px solid #a0a0a0;"
        " spacing: 0px; padding: 2px; }"));
    addToolBar(Qt::TopToolBarArea, ToolBar1);
    // After it is placed: the window's tool bar area sets the bar's size limits anew.
    ToolBar1->setFixedHeight(31);

    auto spacer = [this](int width) {
        auto *gap = new QWidget(ToolBar1);
        gap->setFixedWidth(width);
        ToolBar1->addWidget(gap);
    };
    spacer(5);
    addButton("SpeedButton9", QStringLiteral("New"), {})->setIcon(pictureIcon(Picture::Page));
    addButton("SpeedButton10", QStringLiteral("Open"), {})->setIcon(pictureIcon(Picture::Folder));
    addButton("SpeedButton24", QStringLiteral("Replace"), QStringLiteral("\u21c4"));
    addButton("SpeedButton11", QStringLiteral("Save"), {})->setIcon(pictureIcon(Picture::Disk));
    addButton("SpeedButton12", QStringLiteral("Print"), {})->setIcon(pictureIcon(Picture::Printer));
    ToolBar1->addSeparator();
    addButton("SpeedButton13", QStringLiteral("Undo"), QStringLiteral("\u21b6"));
    addButton("SpeedButton14", QStringLiteral("Cut"), QStringLiteral("\u2702"));
    addButton("SpeedButton15", QStringLiteral("Copy"), {})->setIcon(pictureIcon(Picture::Pages));
    addButton("SpeedButton16", QStringLiteral("Paste"), {})->setIcon(pictureIcon(Picture::Clipboard));
    ToolBar1->addSeparator();

    fontname = new QComboBox(ToolBar1);
    fontname->setObjectName(QStringLiteral("fontname"));
    fontname->setToolTip(QStringLiteral("Fonts"));
    fontname->setEditable(true);
    fontname->setInsertPolicy(QComboBox::NoInsert);
    fontname->setFixedWidth(120);
    fontname->setFont(QFont(QStringLiteral("Arial"), 9));
    ToolBar1->addWidget(fontname);
    fontsize = new QLineEdit(QStringLiteral("0"), ToolBar1);
    fontsize->setObjectName(QStringLiteral("fontsize"));
    fontsize->setToolTip(QStringLiteral("Font Sizes"));
    fontsize->setFont(QFont(QStringLiteral("Arial"), 9));
    fontsize->setFixedWidth(40);
    ToolBar1->addWidget(fontsize);
    UpDown1 = new TUpDown(fontsize, ToolBar1);
    UpDown1->setObjectName(QStringLiteral("UpDown1"));
    ToolBar1->addWidget(UpDown1);
    ToolBar1->addSeparator();

    auto toggle = [this](const char *name, const QString &hint, const QString &glyph, bool b, bool i, bool u) {
        QToolButton *button = addButton(name, hint, glyph);
        button->setIcon(glyphIcon(glyph, b, i, u));
        button->setCheckable(true);
        return button;
    };
    BoldButton = toggle("BoldButton", QStringLiteral("Bold"), QStringLiteral("B"), true, false, false);
    UnderlineButton = toggle("UnderlineButton", QStringLiteral("Underline"), QStringLiteral("U"), false, false, true);
    ItalicButton = toggle("ItalicButton", QStringLiteral("Italic"), QStringLiteral("I"), false, true, false);
    addButton("SpeedButton20", QStringLiteral("Invert text and background colours"), QStringLiteral("\u25d1"));
    addButton("SpeedButton21", QStringLiteral("Colours"), QStringLiteral("\u25a9"));
    addButton("SpeedButton7", QStringLiteral("Convert to upper or lower case"), QStringLiteral("Aa"));
    ToolBar1->addSeparator();
    addButton("SpeedButton22", QStringLiteral("Search"), QStringLiteral("\u2315"));
    addButton("SpeedButton25", QStringLiteral("Spell"), QStringLiteral("\u2713"));
    addButton("SpeedButton26", QStringLiteral("Start Prompting"), QStringLiteral("\u25b6"));
}

QAction *TMainForm::addItem(QMenu *menu, const char *name, const QString &caption,
                            const QKeySequence &shortcut, const QString &hint)
{
    QAction *action = menu->addAction(caption);
    action->setObjectName(QString::fromLatin1(name));
    action->setShortcut(shortcut);
    // Menu shortcuts act anywhere in the main window, as in any editor.
    action->setShortcutContext(Qt::WindowShortcut);
    if (!hint.isEmpty()) {
        action->setToolTip(hint);
        action->setStatusTip(hint);
    }
    return action;
}

void TMainForm::createMenus()
{
    MainMenu = new QMenuBar(this);
    MainMenu->setObjectName(QStringLiteral("MainMenu"));
    // The menus use the desktop's font, not the window's 80-pixel one.
    MainMenu->setFont(QApplication::font());
    MainMenu->setPalette(QApplication::style()->standardPalette());
    MainMenu->setAutoFillBackground(true);
    setMenuBar(MainMenu);
    MainMenu1 = new QMenuBar(this);
    MainMenu1->setObjectName(QStringLiteral("MainMenu1"));
    MainMenu1->hide();

    auto menu = [this](const char *name, const QString &caption) {
        QMenu *m = MainMenu->addMenu(caption);
        m->setFont(QApplication::font());
        m->setObjectName(QString::fromLatin1(name));
        return m;
    };
    QMenu *file = menu("File1", QStringLiteral("&File"));
    addItem(file, "FileNewItem", QStringLiteral("&New"), QKeySequence(QStringLiteral("Ctrl+N")));
    addItem(file, "FileOpenItem", QStringLiteral("&Open..."), QKeySequence(QStringLiteral("Ctrl+O")));
    addItem(file, "FileSaveItem", QStringLiteral("&Save"), QKeySequence(QStringLiteral("Ctrl+S")));
    addItem(file, "FileSaveAsItem", QStringLiteral("Save &As..."));
    addItem(file, "Insert2", QStringLiteral("Insert"), QKeySequence(QStringLiteral("Ctrl+T")));
    file->addSeparator();
    m_recentMenu = file->addMenu(QStringLiteral("Recent &Files"));
    m_recentMenu->setObjectName(QStringLiteral("RecentFiles1"));
    m_recentMenu->setFont(QApplication::font());
    for (int i = 0; i < RecentFiles::MaxCount; ++i)
        addItem(m_recentMenu, qPrintable(QStringLiteral("RecentFile%1").arg(i + 1)), QString())->setVisible(false);
    m_recentMenu->menuAction()->setEnabled(false);
    file->addSeparator();
    addItem(file, "FilePrintItem", QStringLiteral("&Print"), QKeySequence(QStringLiteral("Ctrl+P")));
    file->addSeparator();
    addItem(file, "FileExitItem", QStringLiteral("E&xit"));

    QMenu *edit = menu("Edit1", QStringLiteral("&Edit"));
    addItem(edit, "EditUndoItem", QStringLiteral("&Undo"), QKeySequence(QStringLiteral("Ctrl+Z")),
            QStringLiteral("Undo the last action"));
    // Ctrl+Y as on Windows, Ctrl+Shift+Z as elsewhere; neither is taken by another command.
    addItem(edit, "EditRedoItem", QStringLiteral("&Redo"), QKeySequence(QStringLiteral("Ctrl+Y")),
            QStringLiteral("Redo the last action undone"))
        ->setShortcuts({QKeySequence(QStringLiteral("Ctrl+Y")), QKeySequence(QStringLiteral("Ctrl+Shift+Z"))});
    edit->addSeparator();
    addItem(edit, "EditCutItem", QStringLiteral("Cu&t"), QKeySequence(QStringLiteral("Ctrl+X")),
            QStringLiteral("Delete selected item"));
    addItem(edit, "EditCopyItem", QStringLiteral("&Copy"), QKeySequence(QStringLiteral("Ctrl+C")),
            QStringLiteral("Copy selected item to clipboard"));
    addItem(edit, "EditPasteItem", QStringLiteral("&Paste"), QKeySequence(QStringLiteral("Ctrl+V")),
            QStringLiteral("Paste contents of clipboard"));
    edit->addSeparator();
    addItem(edit, "Search1", QStringLiteral("&Find"), QKeySequence(QStringLiteral("Ctrl+F")));
    addItem(edit, "Replace1", QStringLiteral("&Replace"), QKeySequence(QStringLiteral("Ctrl+R")));
    addItem(edit, "N6", QStringLiteral("Select All"), QKeySequence(QStringLiteral("Ctrl+A")));

    QMenu *insert = menu("Insert1", QStringLiteral("&Insert"));
    addItem(insert, "Date1", QStringLiteral("&Date"), QKeySequence(Qt::Key_F2));
    addItem(insert, "Time1", QStringLiteral("&Time"), QKeySequence(Qt::Key_F3));
    addItem(insert, "Marker1", QStringLiteral("&Jump Marker"), QKeySequence(QStringLiteral("Ctrl+M")));

    QMenu *format = menu("Format1", QStringLiteral("F&ormat"));
    addItem(format, "BackgroundColor1", QStringLiteral("Color"), QKeySequence(Qt::Key_F4));
    addItem(format, "Bold1", QStringLiteral("&Bold"), QKeySequence(QStringLiteral("Ctrl+B")));
    addItem(format, "Underline1", QStringLiteral("&Underline"), QKeySequence(QStringLiteral("Ctrl+U")));
    addItem(format, "Italic1", QStringLiteral("&Italic"), QKeySequence(QStringLiteral("Ctrl+I")));
    addItem(format, "UpperLowercase1", QStringLiteral("Upper/&Lowercase"), QKeySequence(QStringLiteral("Ctrl+G")));
    addItem(format, "Inverse1", QStringLiteral("Inverse"));
    format->addSeparator();
    addItem(format, "AlignLeft1", QStringLiteral("Align Left"));
    addItem(format, "AlignRight1", QStringLiteral("Align Right"));
    addItem(format, "AlignCentre1", QStringLiteral("Align Centre"));
    addItem(format, "Bullets2", QStringLiteral("Bullets"));

    QMenu *view = menu("View1", QStringLiteral("&View"));
    addItem(view, "NextMarker1", QStringLiteral("&Next Marker"), QKeySequence(Qt::Key_F6));
    addItem(view, "PreviousMarker1", QStringLiteral("&Previous Marker"), QKeySequence(Qt::Key_F5));
    addItem(view, "Nexterrormark1", QStringLiteral("Next Error Marker"), QKeySequence(QStringLiteral("Ctrl+F6")));
    addItem(view, "PreviouserrorMark1", QStringLiteral("Previous Error Mark"), QKeySequence(QStringLiteral("Ctrl+F5")));

    QMenu *tools = menu("Tools1", QStringLiteral("&Tools"));
    addItem(tools, "Spell1", QStringLiteral("&Spell"), QKeySequence(Qt::Key_F7));
    addItem(tools, "Prompt1", QStringLiteral("&Prompt"), QKeySequence(Qt::Key_F10));
    tools->addSeparator();
    QMenu *scrollControl = tools->addMenu(QStringLiteral("Scroll Control"));
    scrollControl->setFont(QApplication::font());
    scrollControl->setObjectName(QStringLiteral("ScrollControl1"));
    for (QAction *a : {addItem(scrollControl, "ScrollControls1", QStringLiteral("&Keyboard")),
                       addItem(scrollControl, "COM11", QStringLiteral("Serial Port &1")),
                       addItem(scrollControl, "Com21", QStringLiteral("Serial Port &2"))})
        a->setCheckable(true);
    QMenu *scrollSettings = tools->addMenu(QStringLiteral("Scroll Settings."));
    scrollSettings->setFont(QApplication::font());
    scrollSettings->setObjectName(QStringLiteral("ScrollSettings1"));
    QAction *smoothing = addItem(scrollSettings, "FontSmoothing1", QStringLiteral("Font Smoothing"));
    smoothing->setCheckable(true);
    smoothing->setChecked(true);
    addItem(scrollSettings, "SteadySpeed1", QStringLiteral("Steady Speed"))->setCheckable(true);
    addItem(scrollSettings, "MirrorPrompter1", QStringLiteral("Mirror Prompter"))->setCheckable(true);
    // Filled by the talent screen's subsystem: its items follow the connected screens.
    QMenu *talent = tools->addMenu(QStringLiteral("Talent Screen"));
    talent->setFont(QApplication::font());
    talent->setObjectName(QStringLiteral("TalentScreen1"));
    addItem(tools, "RemoteControlItem", QStringLiteral("Remote Control..."));

    // A menu-bar entry without a menu: choosing it starts prompting.
    QAction *prompt2 = MainMenu->addAction(QStringLiteral("&Prompt"));
    prompt2->setObjectName(QStringLiteral("Prompt2"));

    QMenu *help = menu("Help1", QStringLiteral("&Help"));
    addItem(help, "Introduction1", QStringLiteral("Introduction"), QKeySequence(Qt::Key_F1));
    help->addSeparator();
    addItem(help, "Settingup1", QStringLiteral("Setting up"));
    addItem(help, "Openascript1", QStringLiteral("Open a script"));
    addItem(help, "HelpSearchItem", QStringLiteral("Save a script"), {},
            QStringLiteral("Search help file for a topic"));
    addItem(help, "KeyboardShortcuts1", QStringLiteral("Keyboard Shortcuts"));
    addItem(help, "CutCopyandpaste1", QStringLiteral("Cut, Copy and paste"));
    addItem(help, "Searchandreplace1", QStringLiteral("Find and replace"));
    addItem(help, "Performancetuning1", QStringLiteral("Performance tuning"));
    addItem(help, "Hardwarerequirements1", QStringLiteral("Hardware requirements"));
    addItem(help, "Videoout1", QStringLiteral("Video out"));
    addItem(help, "SpellCheck2", QStringLiteral("Spell Check"));
    addItem(help, "Problems1", QStringLiteral("Problems"));
    addItem(help, "Contacts1", QStringLiteral("Contacts"));
    help->addSeparator();
    addItem(help, "HelpAboutItem", QStringLiteral("&About..."), {}, QStringLiteral("Show program information"));
}

void TMainForm::createStatusBar()
{
    StatusBar = new TStatusBar(this);
    StatusBar->setObjectName(QStringLiteral("StatusBar"));
    StatusBar->setFixedHeight(24);
    StatusBar->setFont(arialPixels(16));
    // A background of its own: the window's follows the script (black or white), and
    // white text must stay readable on either.
    SetBackground(StatusBar, StatusBarGrey);
    SetPaletteColour(StatusBar, QPalette::WindowText, White);
    StatusBar->AddPanel(QStringLiteral("Ready"), 100);
    StatusBar->AddPanel(QStringLiteral("0"), 300);
    StatusBar->AddPanel(QString(), 150);
    // The control source's longest text is drawn whole.
    StatusBar->FitPanel(2, ControlSource::NotConnectedText(SettingsConsumers::Com2));
    setStatusBar(StatusBar);
}

void TMainForm::createTimers()
{
    auto timer = [this](const char *name, int interval, bool singleShot) {
        auto *t = new QTimer(this);
        t->setObjectName(QString::fromLatin1(name));
        t->setInterval(interval);
        t->setSingleShot(singleShot);
        return t;
    };
    Timer1 = timer("Timer1", 1000, false);
    Timer2 = timer("Timer2", 500, true);
    Timer3 = timer("Timer3", 300, true);
}

// The hand controller's link: 1200 bit/s, 8 data bits, no parity, one stop bit,
// XON/XOFF, DTR raised.
void TMainForm::createCommPortDriver()
{
    CommPortDriver1 = new TCommPortDriver(this);
    CommPortDriver1->setObjectName(QStringLiteral("CommPortDriver1"));
    CommPortDriver1->SetComPort(pnCOM1);
    CommPortDriver1->SetComPortSpeed(br1200);
    CommPortDriver1->SetComPortSwHandshaking(shXONXOFF);
    CommPortDriver1->SetComPortPollingDelay(110);
}

void TMainForm::fillControls()
{
    m_controls.Form = this;
    m_controls.Client = m_client;
    m_controls.RichEdit1 = RichEdit1;
    m_controls.RichEdit2 = RichEdit2;
    m_controls.RichEdit3 = RichEdit3;
    m_controls.RichEdit4 = RichEdit4;
    m_controls.Panel1 = Panel1;
    m_controls.Label1 = Label1;
    m_controls.Label2 = Label2;
    m_controls.Label3 = Label3;
    m_controls.Label4 = Label4;
    m_controls.Label5 = Label5;
    m_controls.ControlSign = ControlSign;
    m_controls.ToolBar1 = ToolBar1;
    m_controls.StatusBar = StatusBar;
    m_controls.MainMenu = MainMenu;
    m_controls.MainMenu1 = MainMenu1;
    m_controls.fontname = fontname;
    m_controls.fontsize = fontsize;
    m_controls.UpDown1 = UpDown1;
    m_controls.BoldButton = BoldButton;
    m_controls.UnderlineButton = UnderlineButton;
    m_controls.ItalicButton = ItalicButton;
    m_controls.Bold1 = Action(QStringLiteral("Bold1"));
    m_controls.Underline1 = Action(QStringLiteral("Underline1"));
    m_controls.Italic1 = Action(QStringLiteral("Italic1"));
    m_controls.ScrollControls1 = Action(QStringLiteral("ScrollControls1"));
    m_controls.COM11 = Action(QStringLiteral("COM11"));
    m_controls.Com21 = Action(QStringLiteral("Com21"));
    m_controls.FontSmoothing1 = Action(QStringLiteral("FontSmoothing1"));
    m_controls.SteadySpeed1 = Action(QStringLiteral("SteadySpeed1"));
    m_controls.Timer1 = Timer1;
    m_controls.Timer2 = Timer2;
    m_controls.Timer3 = Timer3;
    m_controls.CommPortDriver1 = CommPortDriver1;
    m_controls.prompt = &Prompt;
    m_controls.settings = SettingsRecord.get();
    m_controls.markers = &MarkerSearch;
    m_controls.dialogs = &m_dialogs;
}

void TMainForm::createSubsystems()
{
    Format = std::make_unique<Formatting>(m_controls);
    Files = std::make_unique<ScriptFiles>(m_controls, *Format);
    Files->OnScriptLoaded = [this](int lineCount) { Prompt.ResetPosition(lineCount); };
    Files->OnFileUsed = [this](const QString &path) { SetRecentFiles(RecentFiles::Added(m_recentFiles, path)); };
    MarkerCommands = std::make_unique<Markers>(m_controls);
    Edit = std::make_unique<EditCommands>(m_controls);
    ColourCommands = std::make_unique<Colours>(m_controls);
    FindAndReplace = std::make_unique<FindReplace>(m_controls);
    Source = std::make_unique<ControlSource>(m_controls);
    Engine = std::make_unique<PromptEngine>(
        m_controls, PromptEngine::Hooks{[this] { Source->ApplyAtPromptStart(); },
                                        [this] { Format->ShowSelectionFormat(); },
                                        [this] { Talent->PromptingEnded(); }});
    // With a talent screen, the steady method keeps time with the screen on air.
    Engine->PacingScreen = [this] { return Talent->Screen(); };
    Commands = std::make_unique<PromptCommands>(
        m_controls, *Engine,
        PromptCommands::Hooks{m_guard.guarded([this] { Engine->SpeedButton1Click(); }),
                              [this] { return QFileInfo(Files->ScriptFileName).fileName(); },
                              [this] { return Source->CurrentText(); }});
    Serial = std::make_unique<SerialControl>(m_controls, *Commands);
    Keys = std::make_unique<KeyboardControl>(m_controls, *Engine, *Commands,
                                             [this] { ReadSettings(*SettingsRecord, SettingsTargets()); });
    Aids = std::make_unique<DisplayAids>(m_controls);
    Spell = std::make_unique<Spelling>(m_controls);
    Help = std::make_unique<HelpCommands>(m_controls);
    Talent = std::make_unique<TalentScreen>(
        m_controls, findChild<QMenu *>(QStringLiteral("TalentScreen1")), Action(QStringLiteral("MirrorPrompter1")),
        TalentScreen::Hooks{[this](QAction *item, const std::function<void()> &handler) {
            connect(item, &QAction::triggered, this, m_guard.guarded(handler));
            // Screen items come and go with the screens, under the same few names.
            if (!m_wired.contains(item->objectName()))
                m_wired << item->objectName();
        },
                            [this] { Engine->PublishFrame(); }});
    Remote = std::make_unique<RemoteControl>(*Commands, *SettingsRecord, this);
    TalentScreen *talent = Talent.get();
    Engine->AddFrameListener([talent](const PromptFrame &frame) { talent->ShowFrame(frame); });
}

QAction *TMainForm::Action(const QString &name) const
{
    return findChild<QAction *>(name);
}

void TMainForm::SetDialogs(Dialogs *dialogs)
{
    m_dialogs = dialogs;
}

// ---- Wiring ----

void TMainForm::wire(std::initializer_list<const char *> names, const std::function<void()> &handler)
{
    const auto guarded = m_guard.guarded(handler);
    for (const char *name : names) {
        const QString objectName = QString::fromLatin1(name);
        if (QAction *action = Action(objectName))
            connect(action, &QAction::triggered, this, guarded);
        else if (QToolButton *button = ToolBar1->findChild<QToolButton *>(objectName))
            connect(button, &QToolButton::clicked, this, guarded);
        else
            qFatal("No menu item or tool button named %s", name);
        m_wired << objectName;
    }
}

QStringList TMainForm::CommandsNotBuiltYet()
{
    // Every command of the menus and the tool bar is built.
    return {};
}

// Every menu item and tool button, with the handler it runs. An item and its tool
// button share one handler.
void TMainForm::connectCommands()
{
    ScriptFiles *files = Files.get();
    Formatting *format = Format.get();
    EditCommands *edit = Edit.get();
    Colours *colours = ColourCommands.get();
    FindReplace *find = FindAndReplace.get();
    Markers *markers = MarkerCommands.get();
    DisplayAids *aids = Aids.get();
    ControlSource *source = Source.get();
    // Checkable items toggle themselves when chosen; their handlers set the marks.
    auto untoggle = [this](const char *name) {
        QAction *a = Action(QString::fromLatin1(name));
        a->setChecked(!a->isChecked());
    };

    wire({"FileNewItem", "SpeedButton9"}, [files] { files->FileNew(); });
    wire({"FileOpenItem", "SpeedButton10"}, [files] { files->FileOpen(); });
    wire({"FileSaveItem", "SpeedButton11"}, [files] { files->FileSave(); });
    wire({"FileSaveAsItem"}, [files] { files->FileSaveAs(); });
    wire({"Insert2"}, [files] { files->Insert2Click(); });
    wire({"FilePrintItem", "SpeedButton12"}, [files] { files->FilePrint(); });
    wire({"FileExitItem"}, [this] { FileExit(); });
    for (int i = 0; i < RecentFiles::MaxCount; ++i)
        wire({qPrintable(QStringLiteral("RecentFile%1").arg(i + 1))}, [this, i] { OpenRecentFile(i); });

    wire({"EditUndoItem", "SpeedButton13"}, [edit] { edit->EditUndo(); });
    wire({"EditRedoItem"}, [edit] { edit->EditRedo(); });
    wire({"EditCutItem", "SpeedButton14"}, [edit] { edit->EditCut(); });
    wire({"EditCopyItem", "SpeedButton15"}, [edit] { edit->EditCopy(); });
    wire({"EditPasteItem", "SpeedButton16"}, [edit] { edit->EditPaste(); });
    wire({"N6"}, [edit] { edit->N6Click(); });
    wire({"Date1"}, [edit] { edit->Date1Click(); });
    wire({"Time1"}, [edit] { edit->Time1Click(); });

    wire({"Search1"}, [find] { find->SearchClick(); });
    wire({"SpeedButton22"}, [find] { find->SpeedButton6Click(); });
    wire({"Replace1"}, [find] { find->Replace1Click(); });
    wire({"SpeedButton24"}, [find] { find->SpeedButton3Click(); });

    wire({"BackgroundColor1"}, [colours] { colours->BackgroundColor1Click(); });
    wire({"SpeedButton21"}, [colours] { colours->SpeedButton5Click(); });
    wire({"Inverse1"}, [colours] { colours->Inverse1Click(); });
    wire({"SpeedButton20"}, [colours] { colours->SpeedButton8Click(); });
    // The menu item runs the button's click.
    wire({"UpperLowercase1", "SpeedButton7"}, [colours] { colours->SpeedButton7Click(); });

    wire({"Bold1"}, [format] { format->Bold1Click(); });
    wire({"Underline1"}, [format] { format->Underline1Click(); });
    wire({"Italic1"}, [format] { format->Italic1Click(); });
    wire({"BoldButton"}, [format] { format->BoldButtonClick(); });
    wire({"UnderlineButton"}, [format] { format->UnderlineButtonClick(); });
    wire({"ItalicButton"}, [format] { format->ItalicButtonClick(); });
    wire({"AlignLeft1"}, [format] { format->AlignLeft1Click(); });
    wire({"AlignRight1"}, [format] { format->AlignRight1Click(); });
    wire({"AlignCentre1"}, [format] { format->AlignCentre1Click(); });
    wire({"Bullets2"}, [format] { format->Bullets2Click(); });

    wire({"Marker1"}, [markers] { markers->Marker1Click(); });
    wire({"NextMarker1"}, [markers] { markers->NextMarker1Click(); });
    wire({"PreviousMarker1"}, [markers] { markers->PreviousMarker1Click(); });
    wire({"Nexterrormark1"}, [markers] { markers->Nexterrormark1Click(); });
    wire({"PreviouserrorMark1"}, [markers] { markers->PreviouserrorMark1Click(); });

    // Queued, as from every other input: the menu's handler returns before the run starts.
    PromptCommands *commands = Commands.get();
    wire({"Prompt1", "Prompt2", "SpeedButton26"}, [commands] { commands->Start(); });
    wire({"FontSmoothing1"}, [aids, untoggle] { untoggle("FontSmoothing1"); aids->FontSmoothing1Click(); });
    wire({"RemoteControlItem"}, [this] { Remote->RemoteControlItemClick(); });
    wire({"SteadySpeed1"}, [aids, untoggle] { untoggle("SteadySpeed1"); aids->SteadySpeed1Click(); });
    wire({"ScrollControls1"}, [source] { source->ScrollControls1Click(); });
    wire({"COM11"}, [source] { source->COM11Click(); });
    wire({"Com21"}, [source] { source->Com21Click(); });

    Spelling *spelling = Spell.get();
    wire({"Spell1"}, [spelling] { spelling->Spell1Click(); });
    wire({"SpeedButton25"}, [spelling] { spelling->SpeedButton25Click(); });
    wire({"SpellCheck2"}, [spelling] { spelling->SpellCheck2Click(); });

    HelpCommands *help = Help.get();
    wire({"Introduction1"}, [help] { help->Introduction1Click(); });
    wire({"Settingup1"}, [help] { help->Settingup1Click(); });
    wire({"Openascript1"}, [help] { help->Openascript1Click(); });
    wire({"HelpSearchItem"}, [help] { help->HelpSearch(); });
    wire({"KeyboardShortcuts1"}, [help] { help->KeyboardShortcuts1Click(); });
    wire({"CutCopyandpaste1"}, [help] { help->CutCopyandpaste1Click(); });
    wire({"Searchandreplace1"}, [help] { help->Searchandreplace1Click(); });
    wire({"Performancetuning1"}, [help] { help->Performancetuning1Click(); });
    wire({"Hardwarerequirements1"}, [help] { help->Hardwarerequirements1Click(); });
    wire({"Videoout1"}, [help] { help->Videoout1Click(); });
    wire({"Problems1"}, [help] { help->Problems1Click(); });
    wire({"Contacts1"}, [help] { help->Contacts1Click(); });
    wire({"HelpAboutItem"}, [help] { help->HelpAbout(); });
}

// Keys, mouse, timers and the format controls' own changes.
void TMainForm::connectEvents()
{
    Formatting *format = Format.get();
    KeyboardControl *keys = Keys.get();
    DisplayAids *aids = Aids.get();

    connect(fontname, &QComboBox::currentTextChanged, this, m_guard.guarded([format] { format->FontNameoldChange(); }));
    // A name typed and confirmed with Enter selects its entry without changing the
    // box's text, so only the activation reports it.
    connect(fontname, &QComboBox::activated, this, m_guard.guarded([format] { format->FontNameoldChange(); }));
    connect(fontsize, &QLineEdit::textChanged, this, m_guard.guarded([format] { format->FontSizeoldChange(); }));
    new KeyReleaseFilter(fontsize, m_guard.wrap([format](int key) { format->FontSizeoldKeyUp(key); }));
    RichEdit1->OnFileDropped = [this](const QString &path) { OpenDroppedFile(path); };
    RichEdit1->OnSelectionChange = m_guard.guarded([format] { format->RichEdit1SelectionChange(); });

    RichEdit1->OnKeyDown = m_guard.wrap([keys](int &key, Qt::KeyboardModifiers shift) { keys->RichEdit1KeyDown(key, shift); });
    RichEdit1->OnKeyPress = m_guard.wrap([keys](QChar &key) { keys->RichEditoldKeyPress(key); });
    // While prompting every key belongs to the prompter, menu shortcuts included.
    RichEdit1->KeepAllKeys = [this] { return Prompt.Prompting != 0 || Engine->Active(); };
    RichEdit2->OnKeyDown = m_guard.wrap([keys](int &key, Qt::KeyboardModifiers shift) { keys->RichEdit2KeyDown(key, shift); });
    RichEdit2->OnKeyPress = m_guard.wrap([keys](QChar &key) { keys->RichEdit2KeyPress(key); });

    Panel1->OnMouseMove = m_guard.wrap([aids](Qt::MouseButtons buttons, Qt::KeyboardModifiers mods, int x, int y) {
        aids->Panel1MouseMove(buttons, mods, x, y);
    });
    Panel1->OnMouseUp = m_guard.wrap([aids](Qt::MouseButton button, int x, int y) { aids->Panel1MouseUp(button, x, y); });
    Panel1->OnDblClick = m_guard.guarded([aids] { aids->Panel1DblClick(); });

    connect(Timer1, &QTimer::timeout, this, m_guard.guarded([aids] { aids->Timer1Timer(); }));
    // The talent reads ahead from where the next run starts; colours and the arrow are
    // picked up by the clock's tick.
    TalentScreen *talent = Talent.get();
    connect(RichEdit1->verticalScrollBar(), &QScrollBar::valueChanged, talent, [talent] { talent->EditorChanged(); });
    connect(RichEdit1->document(), &QTextDocument::contentsChanged, talent, [talent] { talent->EditorChanged(); });
    connect(Timer1, &QTimer::timeout, talent, [talent] { talent->EditorChanged(); });
    connect(Timer2, &QTimer::timeout, this, m_guard.guarded([this] { Timer2Timer(); }));
    connect(Timer3, &QTimer::timeout, this, m_guard.guarded([aids] { aids->Timer3Timer(); }));
    SerialControl *serial = Serial.get();
    CommPortDriver1->OnReceiveData = m_guard.wrap([serial](TCommPortDriver *sender, const quint8 *bytes, qint32 size) {
        serial->CommPortDriver1ReceiveData(sender, bytes, size);
    });
    ControlSource *source = Source.get();
    CommPortDriver1->OnConnectionChanged = m_guard.guarded([source] { source->ShowConnection(); });
}

// ---- Layout ----

void TMainForm::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    if (Engine)
        m_guard.run([this] { Engine->FormResize(); });
    if (Talent)
        Talent->EditorChanged();
}

// ---- Start-up ----

void TMainForm::PrepareApplication()
{
    // No display name: the window system would append it to every caption. The name is
    // the installed one, which names the data and settings folders (/usr/share/corvanta).
    QApplication::setApplicationName(QStringLiteral("corvanta"));
    QGuiApplication::setDesktopFileName(QStringLiteral("corvanta"));
    // The installed icon; a build without one keeps the window system's.
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("corvanta")));
}

void TMainForm::FormCreate()
{
    // 1. The file dialogs start in the program's folder.
    Files->DialogFolder = QCoreApplication::applicationDirPath();
    // 2. Start with an empty clipboard.
    QGuiApplication::clipboard()->clear();
    // 3. The user's word list is kept where the user can write; the others are found here,
    // beside the program or in the installed data.
    Spell->ConfigureLexicons(UserFilesFolder(), DataFolders());
    // 4. No script yet.
    Files->SetScriptFileName(QStringLiteral("Untitled"));
    // 5., 6. The format controls.
    Format->FillFontNames();
    Format->ShowSelectionFormat();
    // 7.
    fontsize->setFixedWidth(29);
    // 8.
    Prompt.ActiveDelay = 0;
    // 9. The settings file, or on a first start its defaults and keyboard control.
    TakeSettingsDir(*SettingsRecord);
    if (SettingsFileExists()) {
        ReadSettings(*SettingsRecord, SettingsTargets());
    } else {
        WriteDefaultSettings(*SettingsRecord);
        Action(QStringLiteral("ScrollControls1"))->setChecked(true);
        StatusBar->SetPanelText(2, QStringLiteral(" Control: Keyboard"));
        Action(QStringLiteral("COM11"))->setChecked(false);
        Action(QStringLiteral("Com21"))->setChecked(false);
        SetFirstStartTexts(*SettingsRecord);
        Action(QStringLiteral("SteadySpeed1"))->setChecked(SettingsRecord->DisplayMethod == QStringLiteral("FRAME"));
    }
    m_recentFiles = ReadRecentFiles(*SettingsRecord);
    showRecentFiles();
    // The remote listens only when [REMOTE] says so; a port that is taken is shown in its dialog.
    Remote->Open();
    // 10. The panes fill the client area.
    m_client->PanesAligned = true;
    m_client->AlignControls();
    // 11.
    RichEdit1->SetSelection(0, 0);
    // 12.
    Prompt.TopLine = 0;
    // 13.
    Timer1->start();
    Timer2->start();
    // 14.
    Prompt.ErrorMarkCount = 0;
}

SettingsConsumers TMainForm::SettingsTargets()
{
    SettingsConsumers targets;
    targets.checkControlSource = [this](int source) {
        static const char *const items[] = {"ScrollControls1", "COM11", "Com21"};
        Action(QString::fromLatin1(items[source]))->setChecked(true);
    };
    targets.setPortDevice = [this](int port, const QString &device) {
        CommPortDriver1->SetDevicePath(TComPortNumber(port - 1), device);
    };
    // The driver holds both as 16-bit numbers.
    targets.setInBufSize = [this](qint32 size) { CommPortDriver1->SetComPortInBufSize(quint16(size)); };
    targets.setPollingDelay = [this](qint32 period) { CommPortDriver1->SetComPortPollingDelay(quint16(period)); };
    targets.setFontSmoothing = [this](bool on) { Action(QStringLiteral("FontSmoothing1"))->setChecked(on); };
    targets.setSteadySpeed = [this](bool on) { Action(QStringLiteral("SteadySpeed1"))->setChecked(on); };
    targets.setArrowTop = [this](qint32 top) { Label1->move(Label1->x(), top); };
    targets.setMirrorPrompter = [this](bool on) { Talent->TakeMirrorPrompter(on); };
    targets.setTalent = [this](const TalentSetting &talent) { Talent->TakeSetting(talent); };
    return targets;
}

void TMainForm::FormActivate()
{
    RichEdit1->setFocus();
    setColours(this, Black, White);
    setColours(m_client, Black, White);
    Prompt.CurrentSpeed = 0;
    RichEdit3->setFixedHeight(0);
    m_client->AlignControls();
    // The modified flags are left alone: clearing them here would let Exit throw
    // away unsaved work after any visit to a dialog.
}

void TMainForm::Timer2Timer()
{
    Timer2->stop();
    RichEdit1->setFocus();
    // The named script is loaded once; later firings (after each prompt run) must
    // not replace the edited script and its fresh error markers.
    if (m_commandLineScript.isEmpty() || m_commandLineLoaded)
        return;
    m_commandLineLoaded = true;
    QString notice;
    const bool richText = RichEdit1->LoadFromFile(m_commandLineScript, &notice);
    // As after Open: dark text gets a light background, or it could not be read.
    Files->TakeColoursFromFirstCharacter();
    RichEdit1->SetSelection(0, 0);
    Files->TakeLoadedScript(m_commandLineScript, richText);
    RichEdit1->setFocus();
    RichEdit1->SetModified(false);
    if (!notice.isEmpty())
        m_dialogs->information(this, notice);
}

// ---- Recent files ----

void TMainForm::SetRecentFiles(const QStringList &files)
{
    if (files == m_recentFiles)
        return;
    m_recentFiles = files;
    showRecentFiles();
    WriteRecentFiles(*SettingsRecord, m_recentFiles);
}

void TMainForm::showRecentFiles()
{
    const QList<QAction *> items = m_recentMenu->actions();
    for (int i = 0; i < items.size(); ++i) {
        const bool used = i < m_recentFiles.size();
        items[i]->setVisible(used);
        if (used)
            items[i]->setText(QStringLiteral("&%1 %2").arg(i + 1).arg(QDir::toNativeSeparators(m_recentFiles[i])));
    }
    m_recentMenu->menuAction()->setEnabled(!m_recentFiles.isEmpty());
}

void TMainForm::OpenRecentFile(int index)
{
    const QString path = m_recentFiles.value(index);
    if (path.isEmpty())
        return;
    if (!QFileInfo(path).isFile()) {
        SetRecentFiles(RecentFiles::Removed(m_recentFiles, path));
        m_dialogs->information(this, QStringLiteral("%1 is no longer there. It has been taken off the recent files.")
                                         .arg(QDir::toNativeSeparators(path)));
        return;
    }
    Files->OpenNamedFile(path);
}

// ---- Dropped files ----

void TMainForm::OpenDroppedFile(const QString &path)
{
    // While prompting the window shows only the script: nothing may replace it.
    if (Prompt.Prompting != 0 || Engine->Active())
        return;
    m_guard.run([this, path] { Files->OpenNamedFile(path); });
}

void TMainForm::dragEnterEvent(QDragEnterEvent *event)
{
    if (!TRichEdit::DroppedFile(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void TMainForm::dropEvent(QDropEvent *event)
{
    const QString path = TRichEdit::DroppedFile(event->mimeData());
    if (path.isEmpty())
        return;
    event->acceptProposedAction();
    OpenDroppedFile(path);
}

// ---- Shutdown ----

void TMainForm::FileExit()
{
    Prompt.RequestLeave();
    CommPortDriver1->ClosePort();
    close();
}

bool TMainForm::FormCloseQuery()
{
    // A save that fails while closing keeps the program open, and says why.
    bool canClose = false;
    m_guard.run([&] { canClose = Files->ConfirmSaveChanges(); });
    return canClose;
}

void TMainForm::FormClose()
{
    Prompt.RequestLeave();
    CommPortDriver1->ClosePort();
    Remote->Close();
}

void TMainForm::closeEvent(QCloseEvent *event)
{
    if (!FormCloseQuery()) {
        event->ignore();
        return;
    }
    m_guard.run([this] { FormClose(); });
    event->accept();
    QCoreApplication::quit();
}

bool TMainForm::event(QEvent *e)
{
    if (e->type() == QEvent::WindowActivate)
        m_guard.run([this] { FormActivate(); });
    return QMainWindow::event(e);
}

void TMainForm::keyPressEvent(QKeyEvent *event)
{
    int key = event->key();
    m_guard.run([&] { Keys->FormKeyDown(key, event->modifiers()); });
    event->accept();
}
