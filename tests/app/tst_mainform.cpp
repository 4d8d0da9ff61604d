#include "TestWindow.h"
#include "SpecialFiles.h"

#include "app/TMainForm.h"
#include "settings/Settings.h"
#include "controls/TPanel.h"
#include "controls/TCommPortDriver.h"
#include "editor/ScriptFiles.h"
#include "controls/TRichEdit.h"
#include "controls/TStatusBar.h"
#include "controls/ToolBarPictures.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QTimer>

#include <new>
#include <stdexcept>
#include <QToolBar>
#include <QToolButton>
#include <QWindow>
#include <QtTest>

class tst_MainForm : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void guardStopsEveryException_data();
    void guardStopsEveryException();
    void menuBar_data();
    void menuBar();
    void toolBar();
    void themeIconsWhereTheThemeHasThem();
    void everyCommandIsWired();
    void controls();
    void formCreateOnFirstStart();
    void startWithSettingsFile();
    void startWithBrokenSettingsFile();
    void errorBoxText_data();
    void errorBoxText();
    void guardShowsErrorAndSkipsRest();
    void commandLineScriptLoadsOnce();
    void commandLineScriptMissing();
    void commandLineHardInputs_data();
    void commandLineHardInputs();
    void activationKeepsUnsavedWork();
    void exitCancelledKeepsRunning();
    void failedSaveOnExitIsReported();
    void statusBarReadableOnEitherBackground();
    void nativeTitleIsTheCaption();
    void controlNamesAreUnique();
};

static QString describe(QMenu *menu)
{
    QStringList entries;
    for (QAction *a : menu->actions()) {
        if (a->isSeparator()) {
            entries << QStringLiteral("-");
            continue;
        }
        QString entry = a->objectName() + QLatin1Char('|') + a->text();
        if (!a->shortcut().isEmpty())
            entry += QLatin1Char('|') + a->shortcut().toString();
        if (a->menu())
            entry = a->menu()->objectName() + QLatin1Char('|') + a->text() + QStringLiteral(" [") + describe(a->menu())
                + QLatin1Char(']');
        entries << entry;
    }
    return entries.join(QStringLiteral("; "));
}

// The offscreen platform's one screen, as the Talent Screen menu lists it.
static QString offscreenItem()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    const QString name = screen->name().isEmpty() ? QStringLiteral("Screen 1") : screen->name();
    return QStringLiteral("%1 (%2x%3)").arg(name).arg(screen->size().width()).arg(screen->size().height());
}

void tst_MainForm::menuBar_data()
{
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("items");
    QTest::newRow("file")
        << "&File"
        << "FileNewItem|&New|Ctrl+N; FileOpenItem|&Open...|Ctrl+O; FileSaveItem|&Save|Ctrl+S; "
           "FileSaveAsItem|Save &As...; Insert2|Insert|Ctrl+T; -; RecentFiles1|Recent &Files [RecentFile1|; "
           "RecentFile2|; RecentFile3|; RecentFile4|; RecentFile5|; RecentFile6|; RecentFile7|; RecentFile8|]; -; "
           "FilePrintItem|&Print|Ctrl+P; -; FileExitItem|E&xit";
    QTest::newRow("edit") << "&Edit"
                          << "EditUndoItem|&Undo|Ctrl+Z; EditRedoItem|&Redo|Ctrl+Y; -; EditCutItem|Cu&t|Ctrl+X; "
                             "EditCopyItem|&Copy|Ctrl+C; "
                             "EditPasteItem|&Paste|Ctrl+V; -; Search1|&Find|Ctrl+F; Replace1|&Replace|Ctrl+R; "
                             "N6|Select All|Ctrl+A";
    QTest::newRow("insert") << "&Insert"
                            << "Date1|&Date|F2; Time1|&Time|F3; Marker1|&Jump Marker|Ctrl+M";
    QTest::newRow("format")
        << "F&ormat"
        << "BackgroundColor1|Color|F4; Bold1|&Bold|Ctrl+B; Underline1|&Underline|Ctrl+U; "
           "Italic1|&Italic|Ctrl+I; UpperLowercase1|Upper/&Lowercase|Ctrl+G; Inverse1|Inverse; -; "
           "AlignLeft1|Align Left; AlignRight1|Align Right; AlignCentre1|Align Centre; Bullets2|Bullets";
    QTest::newRow("view") << "&View"
                          << "NextMarker1|&Next Marker|F6; PreviousMarker1|&Previous Marker|F5; "
                             "Nexterrormark1|Next Error Marker|Ctrl+F6; PreviouserrorMark1|Previous Error Mark|Ctrl+F5";
    QTest::newRow("tools")
        << "&Tools"
        << "Spell1|&Spell|F7; Prompt1|&Prompt|F10; -; ScrollControl1|Scroll Control [ScrollControls1|&Keyboard; "
           "COM11|Serial Port &1; Com21|Serial Port &2]; ScrollSettings1|Scroll Settings. "
           "[FontSmoothing1|Font Smoothing; SteadySpeed1|Steady Speed; MirrorPrompter1|Mirror Prompter]; "
           "TalentScreen1|Talent Screen [TalentNone1|None; TalentOutput1|"
            + offscreenItem()
            + "; -; "
              "MirrorLeftRight1|Mirror Left-Right; MirrorTopBottom1|Mirror Top-Bottom]; "
              "RemoteControlItem|Remote Control...";
    QTest::newRow("help") << "&Help"
                          << "Introduction1|Introduction|F1; -; Settingup1|Setting up; Openascript1|Open a script; "
                             "HelpSearchItem|Save a script; KeyboardShortcuts1|Keyboard Shortcuts; "
                             "CutCopyandpaste1|Cut, Copy and paste; Searchandreplace1|Find and replace; "
                             "Performancetuning1|Performance tuning; Hardwarerequirements1|Hardware requirements; "
                             "Videoout1|Video out; SpellCheck2|Spell Check; Problems1|Problems; Contacts1|Contacts; -; "
                             "HelpAboutItem|&About...";
}

void tst_MainForm::menuBar()
{
    QFETCH(QString, caption);
    QFETCH(QString, items);
    TestWindow window;
    TMainForm &form = window.open();

    QStringList top;
    for (QAction *a : form.MainMenu->actions())
        top << a->text();
    QCOMPARE(top, QStringList({"&File", "&Edit", "&Insert", "F&ormat", "&View", "&Tools", "&Prompt", "&Help"}));
    QVERIFY(!form.Action("Prompt2")->menu());

    QMenu *menu = nullptr;
    for (QAction *a : form.MainMenu->actions())
        if (a->text() == caption)
            menu = a->menu();
    QVERIFY(menu);
    QCOMPARE(describe(menu), items);
}

void tst_MainForm::toolBar()
{
    TestWindow window;
    TMainForm &form = window.open();

    QStringList entries;
    for (QAction *a : form.ToolBar1->actions()) {
        QWidget *w = form.ToolBar1->widgetForAction(a);
        if (a->isSeparator())
            entries << QStringLiteral("-");
        else if (w && !w->objectName().isEmpty())
            entries << w->objectName() + QLatin1Char('|') + w->toolTip();
    }
    QCOMPARE(entries.join(QStringLiteral("; ")),
             QStringLiteral("SpeedButton9|New; SpeedButton10|Open; SpeedButton24|Replace; SpeedButton11|Save; "
                            "SpeedButton12|Print; -; SpeedButton13|Undo; SpeedButton14|Cut; SpeedButton15|Copy; "
                            "SpeedButton16|Paste; -; fontname|Fonts; fontsize|Font Sizes; UpDown1|; -; "
                            "BoldButton|Bold; UnderlineButton|Underline; ItalicButton|Italic; "
                            "SpeedButton20|Invert text and background colours; SpeedButton21|Colours; "
                            "SpeedButton7|Convert to upper or lower case; -; SpeedButton22|Search; "
                            "SpeedButton25|Spell; SpeedButton26|Start Prompting"));
    // Sizes as they are on screen, not on a form never shown.
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QCOMPARE(form.ToolBar1->height(), 31);
    QCOMPARE(form.fontname->width(), 120);
    QCOMPARE(form.fontsize->width(), 29);
    for (const char *toggle : {"BoldButton", "UnderlineButton", "ItalicButton"})
        QVERIFY(form.findChild<QToolButton *>(toggle)->isCheckable());
}

// Every menu item and tool button runs a handler, except those whose commands are
// listed as not built yet; and that list names only commands still missing.
void tst_MainForm::everyCommandIsWired()
{
    FakeDialogs dialogs;
    TMainForm form(QString(), &dialogs);
    const QStringList notBuilt = TMainForm::CommandsNotBuiltYet();
    const QStringList wired = form.WiredCommands();
    QStringList unwired, wiredButListed;
    auto check = [&](const QString &name) {
        if (!wired.contains(name) && !notBuilt.contains(name))
            unwired << name;
        if (wired.contains(name) && notBuilt.contains(name))
            wiredButListed << name;
    };
    int seen = 0;
    for (QAction *action : form.findChildren<QAction *>()) {
        const bool menuItem = qobject_cast<QMenu *>(action->parent()) || qobject_cast<QMenuBar *>(action->parent());
        if (!menuItem || action->isSeparator() || action->menu())
            continue;
        ++seen;
        check(action->objectName());
    }
    for (QToolButton *button : form.ToolBar1->findChildren<QToolButton *>(QString(), Qt::FindDirectChildrenOnly)) {
        if (button->objectName().startsWith(QLatin1String("qt_")))
            continue;
        ++seen;
        check(button->objectName());
    }
    QVERIFY(seen > 60);
    QVERIFY2(unwired.isEmpty(), qPrintable(unwired.join(u' ')));
    QVERIFY2(wiredButListed.isEmpty(), qPrintable(wiredButListed.join(u' ')));
    for (const QString &name : notBuilt)
        QVERIFY2(form.Action(name) || form.ToolBar1->findChild<QToolButton *>(name), qPrintable(name));
}

void tst_MainForm::controls()
{
    TestWindow window;
    TMainForm &form = window.open();
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));

    QCOMPARE(form.windowTitle(), QStringLiteral("Corvanta (V1.1.0)"));
    QCOMPARE(form.centralWidget()->width(), 766);
    QCOMPARE(form.centralWidget()->height() + form.ToolBar1->height() + form.StatusBar->height(), 434);

    for (const char *name :
         {"RichEdit1", "RichEdit2", "RichEdit3", "RichEdit4",       "Panel1",    "Label1",   "Label2",
          "Label3",    "Label4",    "Label5",    "ToolBar1",        "StatusBar", "MainMenu", "MainMenu1",
          "Timer1",    "Timer2",    "Timer3",    "CommPortDriver1", "fontname",  "fontsize", "UpDown1"})
        QVERIFY2(form.findChild<QObject *>(name), name);

    QCOMPARE(form.Panel1->width(), 41);
    QCOMPARE(form.Panel1->palette().color(QPalette::Window), QColor(Qt::black));
    QCOMPARE(form.Label1->text(), QStringLiteral(">"));
    QCOMPARE(form.Label1->font().pixelSize(), 64);
    QCOMPARE(form.Label1->y(), 136);
    QCOMPARE(form.Label1->toolTip(), QStringLiteral("Hold down Left mouse button in margin to move arrow."));
    const struct
    {
        QLabel *label;
        const char *text;
        int top;
        int pixels;
    } labels[] = {{form.Label2, "delay", 312, 9},
                  {form.Label3, "Speed", 288, 9},
                  {form.Label4, "Lines", 336, 11},
                  {form.Label5, "", 264, 11}};
    for (const auto &l : labels) {
        QCOMPARE(l.label->text(), QString::fromLatin1(l.text));
        QCOMPARE(l.label->y(), l.top);
        QCOMPARE(l.label->font().pixelSize(), l.pixels);
        QVERIFY(l.label->isHidden());
    }

    // The editor fills the client area beside the margin, pane B lies beneath it.
    QCOMPARE(form.RichEdit1->geometry(), form.RichEdit2->geometry());
    QCOMPARE(form.RichEdit1->x(), 41);
    QCOMPARE(form.RichEdit1->width(), form.centralWidget()->width() - 41);
    QVERIFY(form.RichEdit4->isHidden());
    QCOMPARE(form.RichEdit1->BackgroundColor(), 0);
    const QFont editorFont = form.RichEdit1->document()->defaultFont();
    QCOMPARE(editorFont.family(), QStringLiteral("Arial"));
    QCOMPARE(qRound(editorFont.pointSizeF() * form.RichEdit1->logicalDpiY() / 72.0), 80);

    QCOMPARE(form.StatusBar->PanelCount(), 3);
    QCOMPARE(form.StatusBar->PanelWidth(0), 100);
    QCOMPARE(form.StatusBar->PanelWidth(1), 300);
    // At least as given, and wider where the control source's texts need it.
    QVERIFY(form.StatusBar->PanelWidth(2) >= 150);
    QCOMPARE(form.StatusBar->height(), 24);

    QCOMPARE(form.Timer1->interval(), 1000);
    QCOMPARE(form.Timer2->interval(), 500);
    QCOMPARE(form.Timer3->interval(), 300);
    QVERIFY(!form.Timer3->isActive());
    QVERIFY(form.Action("FontSmoothing1")->isChecked());
}

void tst_MainForm::formCreateOnFirstStart()
{
    TestWindow window;
    QGuiApplication::clipboard()->setText(QStringLiteral("left over"));
    TMainForm &form = window.open();

    QVERIFY(window.dialogs.errors.isEmpty());
    QVERIFY(QGuiApplication::clipboard()->text().isEmpty());
    QCOMPARE(form.StatusBar->PanelText(0), QStringLiteral("Ready"));
    QCOMPARE(form.StatusBar->PanelText(1), QStringLiteral("0"));
    // The control source is set after the script name, so it is what shows.
    QCOMPARE(form.StatusBar->PanelText(2), QStringLiteral(" Control: Keyboard"));
    QVERIFY(form.Action("ScrollControls1")->isChecked());
    QVERIFY(!form.Action("COM11")->isChecked());
    QVERIFY(!form.Action("Com21")->isChecked());
    QVERIFY(form.Timer1->isActive());
    QVERIFY(form.Timer2->isActive());
    QCOMPARE(form.Prompt.TopLine, 0);
    QCOMPARE(form.Prompt.ErrorMarkCount, 0);
    QCOMPARE(form.Prompt.RateTicks, 1);
    QCOMPARE(form.RichEdit1->SelStart(), 0);
    QVERIFY(form.fontname->count() > 0);
    QVERIFY(QFile::exists(window.dir.file(QStringLiteral("CORVANTA.INI"))));
}

static void writeSettings(const QString &path, const QByteArray &text)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(text);
}

void tst_MainForm::startWithSettingsFile()
{
    ScopedWorkDir dir;
    {
        FakeDialogs first;
        TMainForm form(QString(), &first); // writes the default file
    }
    QFile f(dir.file(QStringLiteral("CORVANTA.INI")));
    QVERIFY(f.open(QIODevice::ReadOnly));
    QByteArray text = f.readAll();
    f.close();
    text.replace("CONTROL=KEYBOARD", "CONTROL=COM1");
    text.replace("ARROWPOS=200", "ARROWPOS=150");
    text.replace("FONT SMOOTHING=YES", "FONT SMOOTHING=yes");
    writeSettings(f.fileName(), text);

    FakeDialogs dialogs;
    TMainForm form(QString(), &dialogs);
    QVERIFY(dialogs.errors.isEmpty());
    QVERIFY(form.Action("COM11")->isChecked());
    QVERIFY(!form.Action("ScrollControls1")->isChecked());
    QCOMPARE(form.StatusBar->PanelText(2), QStringLiteral("Untitled"));
    QCOMPARE(form.Label1->y(), 150);
    QVERIFY(!form.Action("FontSmoothing1")->isChecked());
    QCOMPARE(form.CommPortDriver1->ComPortInBufSize(), 2);
    QCOMPARE(form.CommPortDriver1->ComPortPollingDelay(), 100);
    QCOMPARE(form.SettingsRecord->KeyboardSpeedTable[8].Speed, 4);
    QVERIFY(form.Timer1->isActive());
}

void tst_MainForm::startWithBrokenSettingsFile()
{
    TestWindow window;
    writeSettings(window.dir.file(QStringLiteral("CORVANTA.INI")), "[SCROLLING]\r\nCONTROL=KEYBOARD\r\n");
    const QString script = window.dir.file(QStringLiteral("script.txt"));
    writeSettings(script, "Never loaded");

    TMainForm &form = window.open(script);
    QCOMPARE(window.dialogs.errors, QStringList{QStringLiteral("'In Buffer error' is not a valid integer value.")});
    QVERIFY(form.Action("ScrollControls1")->isChecked());
    // The rest of the start-up is skipped: no clock, no loader.
    QVERIFY(!form.Timer1->isActive());
    QVERIFY(!form.Timer2->isActive());
    QTest::qWait(700);
    QVERIFY(form.RichEdit1->Text().isEmpty());
    QCOMPARE(window.dialogs.errors.size(), 1);
}

void tst_MainForm::errorBoxText_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("shown");
    QTest::newRow("adds a full stop") << "Cannot open file x"
                                      << "Cannot open file x.";
    QTest::newRow("keeps one") << "I/O error 5."
                               << "I/O error 5.";
    QTest::newRow("quoted value") << "'' is not a valid integer value"
                                  << "'' is not a valid integer value.";
}

void tst_MainForm::errorBoxText()
{
    QFETCH(QString, message);
    QFETCH(QString, shown);
    QCOMPARE(ErrorBoxText(message), shown);
}

void tst_MainForm::guardShowsErrorAndSkipsRest()
{
    TestWindow window;
    TMainForm &form = window.open();
    bool after = false;
    const bool ok = form.Guard().run([&] {
        throw CorvantaError(QStringLiteral("Failed to Load Stream"));
        after = true;
    });
    QVERIFY(!ok);
    QVERIFY(!after);
    QCOMPARE(window.dialogs.errors, QStringList{QStringLiteral("Failed to Load Stream.")});
}

// Prevents losing edits: a reload of the named script after each prompt run would
// replace the edited script and its fresh error markers.
void tst_MainForm::commandLineScriptLoadsOnce()
{
    ScopedWorkDir dir;
    const QString script = dir.file(QStringLiteral("news.txt"));
    {
        QFile f(script);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("Good evening.\r\nHere is the news.\r\n");
    }
    FakeDialogs dialogs;
    TMainForm form(script, &dialogs);
    QVERIFY(form.RichEdit1->Text().isEmpty());
    QTRY_VERIFY_WITH_TIMEOUT(form.RichEdit1->Text().startsWith(QStringLiteral("Good evening.")), 3000);
    QVERIFY(!form.Timer2->isActive());
    QCOMPARE(form.StatusBar->PanelText(2), QStringLiteral("news.txt"));
    QVERIFY(!form.RichEdit1->Modified());
    // Text without a colour of its own is shown black on white, as after Open.
    QCOMPARE(form.RichEdit1->BackgroundColor(), 0xFFFFFF);

    // After a prompt run the loader fires again: it must leave the edited script alone.
    form.RichEdit1->SetSelection(0, 0);
    form.RichEdit1->SetSelText(QStringLiteral("\u00a4"));
    form.Timer2->start();
    QTRY_VERIFY_WITH_TIMEOUT(!form.Timer2->isActive(), 3000);
    QVERIFY(form.RichEdit1->Text().startsWith(QStringLiteral("\u00a4Good evening.")));
    QVERIFY(dialogs.errors.isEmpty());
}

void tst_MainForm::commandLineScriptMissing()
{
    TestWindow window;
    const QString missing = window.dir.file(QStringLiteral("gone.rtf"));
    TMainForm &form = window.open(missing);
    QTRY_VERIFY_WITH_TIMEOUT(!window.dialogs.errors.isEmpty(), 3000);
    QCOMPARE(window.dialogs.errors,
             QStringList{QStringLiteral("Cannot open file %1.").arg(QDir::toNativeSeparators(missing))});
    QVERIFY(form.RichEdit1->Text().isEmpty());
    QCOMPARE(form.Files->ScriptFileName, QStringLiteral("Untitled"));
    QVERIFY(!form.Timer2->isActive());
}

void tst_MainForm::commandLineHardInputs_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("error");
    QTest::addColumn<QString>("notice");
    QTest::addColumn<QString>("text");
    QTest::newRow("pipe") << "pipe"
                          << "%1 is not a regular file."
                          << ""
                          << "";
    QTest::newRow("folder") << "folder"
                            << "%1 is not a regular file."
                            << ""
                            << "";
    QTest::newRow("cut-off rtf") << "cut"
                                 << ""
                                 << "%1 ends early: the text after \"Good evening\" may be missing."
                                 << "Good evening";
}

// The script named on the command line is read as Open reads it: a pipe cannot hold the
// window, and a damaged file says what may be missing.
void tst_MainForm::commandLineHardInputs()
{
    QFETCH(QString, kind);
    QFETCH(QString, error);
    QFETCH(QString, notice);
    QFETCH(QString, text);
    ScopedWorkDir dir;
    const QString path = dir.file(QStringLiteral("script.rtf"));
    if (kind == u"pipe") {
        QVERIFY(MakeFifo(path));
    } else if (kind == u"folder") {
        QVERIFY(QDir().mkdir(path));
    } else {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("{\\rtf1 {\\b Good evening");
    }
    FakeDialogs dialogs;
    TMainForm form(path, &dialogs);
    QTRY_VERIFY_WITH_TIMEOUT(!dialogs.errors.isEmpty() || !dialogs.messages.isEmpty(), 3000);
    const QString native = QDir::toNativeSeparators(path);
    QCOMPARE(dialogs.errors, error.isEmpty() ? QStringList() : QStringList{error.arg(native)});
    QCOMPARE(dialogs.messages, notice.isEmpty() ? QStringList() : QStringList{notice.arg(native)});
    QCOMPARE(form.RichEdit1->Text(), text);
    QCOMPARE(form.Files->ScriptFileName, text.isEmpty() ? QStringLiteral("Untitled") : path);
}

// Prevents losing edits: clearing the modified flag on activation would let Exit throw
// away unsaved work after any visit to another window.
void tst_MainForm::activationKeepsUnsavedWork()
{
    TestWindow window;
    TMainForm &form = window.open();
    form.Prompt.CurrentSpeed = 4;
    form.RichEdit1->insertPlainText(QStringLiteral("unsaved"));
    QVERIFY(form.RichEdit1->Modified());
    form.FormActivate();
    QCOMPARE(form.Prompt.CurrentSpeed, 0);
    QCOMPARE(form.RichEdit3->height(), 0);
    QCOMPARE(form.palette().color(QPalette::Window), QColor(Qt::black));
    QVERIFY(form.RichEdit1->Modified());

    // So a following Exit asks before closing.
    window.dialogs.answers.push_back(QMessageBox::Cancel);
    QVERIFY(!form.FormCloseQuery());
    QCOMPARE(window.dialogs.questions, QStringList{QStringLiteral("Save changes to Untitled?")});
}

void tst_MainForm::exitCancelledKeepsRunning()
{
    TestWindow window;
    TMainForm &form = window.open();
    form.show();
    form.RichEdit1->insertPlainText(QStringLiteral("unsaved"));
    form.Prompt.Prompting = 1;
    form.Prompt.LoopRunning = 1;
    window.dialogs.answers.push_back(QMessageBox::Cancel);
    form.FileExit();
    QVERIFY(form.isVisible());
    QCOMPARE(form.Prompt.Prompting, quint8(0));
    QCOMPARE(form.Prompt.LoopRunning, quint8(0));
    QCOMPARE(window.dialogs.questions.size(), 1);

    window.dialogs.answers.push_back(QMessageBox::No);
    form.FileExit();
    QVERIFY(!form.isVisible());
}

void tst_MainForm::failedSaveOnExitIsReported()
{
    TestWindow window;
    TMainForm &form = window.open();
    form.show();
    form.RichEdit1->insertPlainText(QStringLiteral("unsaved"));
    const QString target = window.dir.file(QStringLiteral("no-such-folder/script.rtf"));
    form.Files->SetScriptFileName(target);
    window.dialogs.answers.push_back(QMessageBox::Yes);
    form.FileExit();
    QVERIFY(form.isVisible());
    QCOMPARE(window.dialogs.errors.size(), 1);
    QVERIFY2(window.dialogs.errors.first().contains(QStringLiteral("Cannot create file")),
             qPrintable(window.dialogs.errors.first()));
    QVERIFY(form.RichEdit1->Modified());
}

// The status bar has a background of its own: its white text stays readable when the
// window turns white for a script with black text.
void tst_MainForm::statusBarReadableOnEitherBackground()
{
    TestWindow window;
    TMainForm &form = window.open();
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.RichEdit1->setPlainText(QStringLiteral("black text"));
    for (qint32 firstColour : {0x000000, 0xFFFFFF}) {
        form.RichEdit1->SelectAll();
        form.RichEdit1->SetSelColor(firstColour);
        form.Files->TakeColoursFromFirstCharacter();
        QCoreApplication::processEvents();
        const QImage bar = form.StatusBar->grab().toImage();
        // The reading-time panel: its background, and its text, in contrast.
        QWidget *panel = form.StatusBar->findChild<QWidget *>(QStringLiteral("StatusPanel1"));
        const QRect area = panel->geometry().adjusted(3, 3, -3, -3);
        int light = 0, dark = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                (qGray(bar.pixel(x, y)) > 160 ? light : dark)++;
        QVERIFY2(dark > light * 3 && light > 10, qPrintable(QStringLiteral("light %1, dark %2").arg(light).arg(dark)));
    }
}

// The window system shows the captions exactly, with nothing appended.
void tst_MainForm::nativeTitleIsTheCaption()
{
    ScopedWorkDir dir;
    FakeDialogs dialogs;
    TMainForm::PrepareApplication();
    TMainForm form(QString(), &dialogs);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QCOMPARE(form.windowHandle()->title(), QStringLiteral("Corvanta (V1.1.0)"));
    form.setWindowTitle(QStringLiteral("Prompting.."));
    QCOMPARE(form.windowHandle()->title(), QStringLiteral("Prompting.."));
}

// A themed desktop's icons replace the drawn pictures only where the theme has the icon.
void tst_MainForm::themeIconsWhereTheThemeHasThem()
{
    ScopedWorkDir dir;
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("icons/studio/16x16/actions")));
    QFile index(dir.file(QStringLiteral("icons/studio/index.theme")));
    QVERIFY(index.open(QIODevice::WriteOnly));
    index.write("[Icon Theme]\nName=studio\nDirectories=16x16/actions\n\n"
                "[16x16/actions]\nSize=16\nType=Fixed\n");
    index.close();
    QImage picture(16, 16, QImage::Format_ARGB32);
    picture.fill(Qt::red);
    QVERIFY(picture.save(dir.file(QStringLiteral("icons/studio/16x16/actions/document-open.png"))));

    const QStringList paths = QIcon::themeSearchPaths();
    const QString theme = QIcon::themeName();
    QIcon::setThemeSearchPaths({dir.file(QStringLiteral("icons"))});
    QIcon::setThemeName(QStringLiteral("studio"));
    FakeDialogs dialogs;
    auto form = std::make_unique<TMainForm>(QString(), &dialogs);
    // Read while the theme is in force: a theme's icon follows the theme.
    const QIcon open = form->findChild<QToolButton *>(QStringLiteral("SpeedButton10"))->icon();
    const QString openName = open.name();
    const QColor openColour = open.pixmap(16, 16).toImage().pixelColor(8, 8);
    const QString openItemName = form->Action(QStringLiteral("FileOpenItem"))->icon().name();
    const QIcon newButton = form->findChild<QToolButton *>(QStringLiteral("SpeedButton9"))->icon();
    const QString newButtonName = newButton.name();
    const QImage newPicture = newButton.pixmap(20, 20).toImage();
    const bool newItemHasIcon = !form->Action(QStringLiteral("FileNewItem"))->icon().isNull();
    form.reset();
    QIcon::setThemeName(theme);
    QIcon::setThemeSearchPaths(paths);

    QCOMPARE(openName, QStringLiteral("document-open"));
    QCOMPARE(openItemName, QStringLiteral("document-open"));
    QCOMPARE(openColour, QColor(Qt::red));
    // Not in the theme: the drawn picture stays, and the menu item has none, as before.
    QVERIFY(newButtonName.isEmpty());
    QCOMPARE(newPicture, pictureIcon(Picture::Page).pixmap(20, 20).toImage());
    QVERIFY(!newItemHasIcon);
}

// Controls are found by name: no two named objects of the window share one.
void tst_MainForm::controlNamesAreUnique()
{
    TestWindow window;
    TMainForm &form = window.open();
    QMultiHash<QString, QObject *> seen;
    for (QObject *object : form.findChildren<QObject *>()) {
        const QString name = object->objectName();
        if (!name.isEmpty() && !name.startsWith(QLatin1String("qt_")))
            seen.insert(name, object);
    }
    QStringList doubled;
    for (const QString &name : seen.uniqueKeys())
        if (seen.count(name) > 1)
            doubled << name;
    QVERIFY2(doubled.isEmpty(), qPrintable(doubled.join(u' ')));
    QCOMPARE(form.findChild<QWidget *>(QStringLiteral("Panel1")), static_cast<QWidget *>(form.Panel1));
}

void tst_MainForm::guardStopsEveryException_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("box");
    QTest::newRow("the program's error") << 0 << "Cannot open the file.";
    QTest::newRow("out of memory") << 1 << "Out of memory.";
    QTest::newRow("a standard exception") << 2 << "bad thing.";
    QTest::newRow("anything else") << 3 << "Unexpected error.";
}

// A handler that throws shows the error box and returns to the event loop; nothing crosses
// the Qt frame that called it.
void tst_MainForm::guardStopsEveryException()
{
    QFETCH(int, kind);
    QFETCH(QString, box);
    TestWindow window;
    TMainForm &form = window.open();
    bool after = false;
    QTimer::singleShot(0, &form, form.Guard().guarded([&] {
        switch (kind) {
        case 0:
            throw CorvantaError(QStringLiteral("Cannot open the file"));
        case 1:
            throw std::bad_alloc();
        case 2:
            throw std::runtime_error("bad thing");
        default:
            throw 42;
        }
        after = true;
    }));
    QTRY_COMPARE(window.dialogs.errors.size(), 1);
    QCOMPARE(window.dialogs.errors.first(), box);
    QVERIFY(!after);
}

QTEST_MAIN(tst_MainForm)
#include "tst_mainform.moc"
