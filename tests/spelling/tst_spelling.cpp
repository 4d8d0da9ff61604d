#include "TestWindow.h"

#include "app/TMainForm.h"
#include "controls/TRichEdit.h"
#include "spelling/SpellEngine.h"
#include "spelling/Spelling.h"
#include "spelling/SpellingDialog.h"
#include "spelling/SpellingHelp.h"
#include "spelling/TSsceSpellDlg.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>

#include <functional>

// Stands for the desktop's opener: records what it was handed.
class UrlRecorder : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> opened;
    Q_INVOKABLE void open(const QUrl &url) { opened << url; }
};

// The spelling check on a real main window, with its dialog answered from a timer.
class tst_Spelling : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void lexiconsConfiguredAtStart();
    void correctsMisspellingsInPlace_data();
    void correctsMisspellingsInPlace();
    void addWritesUserDictionary();
    void addFailureIsReported();
    void anyErrorInTheDialogIsStopped();
    void cancelKeepsChangesMade();
    void ignoreAllLastsUntilTheReset();
    void noTargetNoCheck();
    void caretAndResetWhateverTheStatus_data();
    void caretAndResetWhateverTheStatus();
    void spellingHelpWithoutHelpFile();
    void spellingHelpOpensOnlyTheProgramsOwn_data();
    void spellingHelpOpensOnlyTheProgramsOwn();

private:
    // One answer to the dialog: the word it must show, and the button to press after
    // typing changeTo (unless it is null) or choosing the suggestion pick.
    struct Answer
    {
        QString word;
        const char *button;
        QString changeTo;
        QString pick;
    };
    // Runs the check from the menu item or tool button, answering the dialog in turn;
    // returns the words the dialog showed.
    QStringList check(const std::vector<Answer> &answers, const char *command = "Spell1");
    void setScript(const QString &text);
    std::unique_ptr<TestWindow> m_window;
    TMainForm *m_form = nullptr;
    TRichEdit *edit() const { return m_form->RichEdit1; }
    TSsceSpellDlg *component() const { return m_form->Spell->SsceSpellDlg1.get(); }
};

// Stands in for the engine: records the calls and leaves a selection behind.
class FakeEngine : public SpellEngine
{
public:
    SpellEngineOptions options;
    qint16 status = 0;
    int checks = 0;
    int resets = 0;
    int resetsBeforeLastCheck = -1;
    QWidget *parent = nullptr;
    QTextEdit *control = nullptr;

    SpellEngineOptions &Options() override { return options; }
    SpellStatistics Statistics() const override { return {}; }
    QString Version() const override { return QStringLiteral("fake"); }
    qint16 CheckCtrlDlg(QWidget *p, QTextEdit *c, bool) override
    {
        ++checks;
        resetsBeforeLastCheck = resets;
        parent = p;
        control = c;
        if (!c)
            return SpellStatus::NoTarget;
        QTextCursor cursor = c->textCursor();
        cursor.setPosition(5);
        cursor.setPosition(9, QTextCursor::KeepAnchor);
        c->setTextCursor(cursor);
        return status;
    }
    void ResetLex() override { ++resets; }
};

void tst_Spelling::init()
{
    m_window = std::make_unique<TestWindow>();
    m_form = &m_window->open();
    m_form->show();
    // Words added go to a folder of the test's own.
    m_form->Spell->ConfigureLexicons(m_window->dir.path());
}

void tst_Spelling::cleanup()
{
    m_form = nullptr;
    m_window.reset();
}

void tst_Spelling::setScript(const QString &text)
{
    edit()->Clear();
    QTextCursor(edit()->document()).insertText(text);
}

QStringList tst_Spelling::check(const std::vector<Answer> &answers, const char *command)
{
    QStringList shown;
    bool dialogLeftOpen = false;
    // A timer of this call's own: when no dialog comes, it must not fire in a later one.
    QTimer answerer;
    answerer.setSingleShot(true);
    connect(&answerer, &QTimer::timeout, this, [&] {
        auto *dialog = qobject_cast<SpellingDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        for (const Answer &answer : answers) {
            shown << dialog->NotInDictionary->text();
            if (dialog->NotInDictionary->text() != answer.word)
                break;
            if (!answer.pick.isEmpty()) {
                const auto items = dialog->Suggestions->findItems(answer.pick, Qt::MatchExactly);
                if (!items.isEmpty())
                    dialog->Suggestions->setCurrentItem(items.constFirst());
            } else if (!answer.changeTo.isNull()) {
                dialog->ChangeTo->setText(answer.changeTo);
            }
            dialog->findChild<QPushButton *>(QString::fromLatin1(answer.button))->click();
            if (!dialog->isVisible())
                return;
        }
        // More questions than answers: stop the check so the test can report it.
        dialogLeftOpen = true;
        shown << dialog->NotInDictionary->text();
        dialog->reject();
    });
    answerer.start(0);
    const QString name = QString::fromLatin1(command);
    if (QAction *action = m_form->Action(name))
        action->trigger();
    else
        m_form->ToolBar1->findChild<QToolButton *>(name)->click();
    if (dialogLeftOpen)
        qWarning("The dialog asked more than was answered: %s", qPrintable(shown.join(QLatin1Char(' '))));
    return shown;
}

void tst_Spelling::lexiconsConfiguredAtStart()
{
    FakeDialogs dialogs;
    TMainForm form(QString(), &dialogs);
    TSsceSpellDlg *c = form.Spell->SsceSpellDlg1.get();
    // The words added go to the current folder, which takes new files.
    const QString folder = QDir::currentPath() + QLatin1Char('/');
    QCOMPARE(c->MainLexPath(), folder);
    QCOMPARE(c->UserLexPath(), folder);
    // Lists missing there are looked for beside the program and in the installed data.
    QCOMPARE(c->LexSearchPath().mid(0, 2), QStringList({QDir::currentPath(), QCoreApplication::applicationDirPath()}));
    QVERIFY(c->LexSearchPath().size() > 2);
    QCOMPARE(c->MainLexFiles(), QStringLiteral("ssceam.tlx,ssceam2.clx"));
    QCOMPARE(c->UserLexFiles(), QStringLiteral("userdic.tlx,correct.tlx,html.tlx"));
    QVERIFY(!c->CheckSelTextOnly);
    QVERIFY(c->ShowContext);
    QCOMPARE(c->TargetKind(), TSsceSpellDlg::CheckTarget::None);
}

void tst_Spelling::correctsMisspellingsInPlace_data()
{
    QTest::addColumn<QString>("command");
    QTest::newRow("Tools > Spell") << "Spell1";
    QTest::newRow("Spell button") << "SpeedButton25";
}

void tst_Spelling::correctsMisspellingsInPlace()
{
    QFETCH(QString, command);
    edit()->Clear();
    QTextCursor cursor(edit()->document());
    QTextCharFormat plain = cursor.charFormat(), bold = plain;
    bold.setFontWeight(QFont::Bold);
    cursor.insertText(QStringLiteral("Thiss is a tset of the "), plain);
    cursor.insertText(QStringLiteral("speling"), bold);
    cursor.insertText(QStringLiteral(" check."), plain);
    edit()->SetModified(false);
    edit()->SetSelection(10, 3);

    const QStringList shown = check(
        {{"Thiss", "Change", "This", {}}, {"tset", "Change", {}, "test"}, {"speling", "Change", "spelling", {}}},
        command.toLatin1().constData());
    QCOMPARE(shown, QStringList({"Thiss", "tset", "speling"}));
    QCOMPARE(edit()->toPlainText(), QStringLiteral("This is a test of the spelling check."));
    QTextCursor probe(edit()->document());
    // The corrected word kept its bold, its neighbours their plain format.
    for (const auto &[position, weight] : {std::pair(22, QFont::Normal), std::pair(23, QFont::Bold),
                                           std::pair(30, QFont::Bold), std::pair(31, QFont::Normal)}) {
        probe.setPosition(position);
        QCOMPARE(probe.charFormat().fontWeight(), int(weight));
    }
    QVERIFY(edit()->Modified());
    QCOMPARE(edit()->SelStart(), 0);
    QCOMPARE(edit()->SelLength(), 0);
    QCOMPARE(component()->Status(), 0);
    QCOMPARE(component()->WordsChanged(), 3);
    QCOMPARE(component()->ErrorsDetected(), 3);
    QCOMPARE(m_window->dialogs.messages, QStringList({"The spelling check is complete."}));
}

void tst_Spelling::addWritesUserDictionary()
{
    setScript(QStringLiteral("Corvantaa prompts. Corvantaa scrolls."));
    const QString log = m_window->dir.file(QStringLiteral("spelling.log"));
    component()->SetDebugFile(log);
    QCOMPARE(check({{"Corvantaa", "Add", {}, {}}}), QStringList({"Corvantaa"}));
    QFile debug(log);
    QVERIFY(debug.open(QIODevice::ReadOnly));
    QVERIFY(debug.readAll().startsWith("added \"Corvantaa\"\n"));
    QFile file(m_window->dir.file(QStringLiteral("userdic.tlx")));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("Corvantaa\r\n"));
    // The next check reads the list again and asks nothing.
    QCOMPARE(check({}), QStringList());
    QCOMPARE(m_window->dialogs.messages.size(), 2);
}

void tst_Spelling::addFailureIsReported()
{
    m_form->Spell->ConfigureLexicons(QStringLiteral("/nonexistent/folder"));
    setScript(QStringLiteral("Corvantaa and Corvantaa and wrnog."));
    QCOMPARE(check({{"Corvantaa", "Add", {}, {}}, {"wrnog", "Ignore", {}, {}}}), QStringList({"Corvantaa", "wrnog"}));
    QCOMPARE(m_window->dialogs.errors, QStringList({"Cannot create file /nonexistent/folder/userdic.tlx."}));
    QCOMPARE(component()->Status(), 0);
}

// Whatever a choice throws (here: out of memory while the next word is shown) ends in the
// error box over the dialog; nothing crosses the button's click.
void tst_Spelling::anyErrorInTheDialogIsStopped()
{
    setScript(QStringLiteral("Corvantaa and wrnog."));
    bool answered = false;
    QTimer answerer;
    answerer.setSingleShot(true);
    connect(&answerer, &QTimer::timeout, this, [&] {
        auto *dialog = qobject_cast<SpellingDialog *>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        dialog->OnShowWord = [](const Misspelling &) -> QRect { throw std::bad_alloc(); };
        dialog->IgnoreButton->click();
        QCOMPARE(m_window->dialogs.errors, QStringList({"Out of memory."}));
        QVERIFY(dialog->isVisible());
        QCOMPARE(dialog->NotInDictionary->text(), QStringLiteral("wrnog"));
        dialog->CancelButton->click();
        answered = true;
    });
    answerer.start(0);
    m_form->Action(QStringLiteral("Spell1"))->trigger();
    QVERIFY(answered);
    m_window->dialogs.errors.clear();
}

void tst_Spelling::cancelKeepsChangesMade()
{
    setScript(QStringLiteral("Onee twoo three."));
    QCOMPARE(check({{"Onee", "Change", "One", {}}, {"twoo", "Cancel", {}, {}}}), QStringList({"Onee", "twoo"}));
    QCOMPARE(edit()->toPlainText(), QStringLiteral("One twoo three."));
    QVERIFY(component()->Status() > 0);
    QVERIFY(m_window->dialogs.messages.isEmpty());
    QCOMPARE(edit()->SelStart(), 0);
    QCOMPARE(edit()->SelLength(), 0);
}

void tst_Spelling::ignoreAllLastsUntilTheReset()
{
    setScript(QStringLiteral("Zorp here, zorp there, Zorp everywhere."));
    QCOMPARE(check({{"Zorp", "IgnoreAll", {}, {}}, {"zorp", "Ignore", {}, {}}}), QStringList({"Zorp", "zorp"}));
    // The reset after the check forgot it.
    QCOMPARE(check({{"Zorp", "Ignore", {}, {}}, {"zorp", "Ignore", {}, {}}, {"Zorp", "Ignore", {}, {}}}),
             QStringList({"Zorp", "zorp", "Zorp"}));
}

void tst_Spelling::noTargetNoCheck()
{
    FakeEngine engine;
    TSsceSpellDlg fresh(m_form, &engine);
    QVERIFY(!fresh.RunCheck());
    QCOMPARE(engine.checks, 0);
    QCOMPARE(fresh.Status(), 0);
}

void tst_Spelling::caretAndResetWhateverTheStatus_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("result");
    QTest::newRow("completed") << 0 << true;
    QTest::newRow("cancelled") << 1 << true;
    QTest::newRow("failed") << -2 << false;
}

void tst_Spelling::caretAndResetWhateverTheStatus()
{
    QFETCH(int, status);
    QFETCH(bool, result);
    FakeEngine engine;
    engine.status = qint16(status);
    component()->UseEngine(&engine);
    setScript(QStringLiteral("Some text to check, long enough."));

    for (int round = 1; round <= 2; ++round) {
        edit()->SetSelection(12, 5);
        m_form->Action(QStringLiteral("Spell1"))->trigger();
        QCOMPARE(engine.checks, round);
        QCOMPARE(engine.resetsBeforeLastCheck, round - 1);
        QCOMPARE(engine.resets, round);
        QCOMPARE(engine.control, static_cast<QTextEdit *>(edit()));
        QCOMPARE(engine.parent, static_cast<QWidget *>(m_form));
        QCOMPARE(edit()->SelStart(), 0);
        QCOMPARE(edit()->SelLength(), 0);
        QCOMPARE(component()->Status(), status);
    }
    QCOMPARE(component()->RunCheck(), result);
    QVERIFY(m_window->dialogs.errors.isEmpty());
    QVERIFY(m_window->dialogs.messages.isEmpty());
}

void tst_Spelling::spellingHelpWithoutHelpFile()
{
    m_form->Action(QStringLiteral("SpellCheck2"))->trigger();
    QCOMPARE(m_form->Spell->HelpFile, QStringLiteral("SSCE.HLP"));
    SpellingHelpWindow *help = m_form->Spell->HelpWindow();
    QVERIFY(help);
    QVERIFY(help->isVisible());
    const QString text = help->findChild<QTextBrowser *>()->toPlainText();
    for (const char *phrase : {"Ignore All", "Change All", "userdic.tlx", "teh=the"})
        QVERIFY2(text.contains(QLatin1String(phrase)), phrase);
}

void tst_Spelling::spellingHelpOpensOnlyTheProgramsOwn_data()
{
    QTest::addColumn<bool>("here");
    QTest::addColumn<bool>("installed");
    QTest::newRow("the current folder's copy is not handed on") << true << false;
    QTest::newRow("the installed copy is, even with one here") << true << true;
}

void tst_Spelling::spellingHelpOpensOnlyTheProgramsOwn()
{
    QFETCH(bool, here);
    QFETCH(bool, installed);
    QTemporaryDir data;
    QVERIFY(QDir(data.path()).mkpath(QStringLiteral("corvanta")));
    qputenv("XDG_DATA_HOME", data.filePath(QStringLiteral("home")).toLocal8Bit());
    qputenv("XDG_DATA_DIRS", data.path().toLocal8Bit());
    // The program's name names its data folders.
    TMainForm::PrepareApplication();
    const QString installedCopy = data.filePath(QStringLiteral("corvanta/SSCE.HLP"));
    for (const auto &[wanted, path] :
         {std::pair{here, m_window->dir.file(QStringLiteral("SSCE.HLP"))}, std::pair{installed, installedCopy}}) {
        QFile file(path);
        QVERIFY(!wanted || file.open(QIODevice::WriteOnly));
    }
    UrlRecorder opener;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &opener, "open");
    m_form->Action(QStringLiteral("SpellCheck2"))->trigger();
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));

    if (installed) {
        QCOMPARE(opener.opened, QList<QUrl>({QUrl::fromLocalFile(installedCopy)}));
        QVERIFY(!m_form->Spell->HelpWindow());
    } else {
        QVERIFY(opener.opened.isEmpty());
        QVERIFY(m_form->Spell->HelpWindow() && m_form->Spell->HelpWindow()->isVisible());
    }
}

QTEST_MAIN(tst_Spelling)
#include "tst_spelling.moc"
