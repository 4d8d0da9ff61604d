#include "TestWindow.h"
#include "SpecialFiles.h"

#include "app/TMainForm.h"
#include "controls/TPanel.h"
#include "controls/TRichEdit.h"
#include "controls/TStatusBar.h"
#include "formats/MarkerChars.h"
#include "editor/ScriptFiles.h"
#include "editor/Tsaving.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPrinter>
#include <QProcess>
#include <QProgressBar>
#include <QStandardPaths>
#include <QTextBlock>
#include <QTextList>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

// The file commands on a real window, with the dialogs answered by the test.
// Records what the file dialogs were given.
class TestDialogs : public FakeDialogs
{
public:
    QList<QStringList> filtersShown;
    QList<int> filterIndexShown;
    bool realFileDialogs = false;

    FileChoice openFile(QWidget *parent, const QString &folder, const QStringList &filters, int index) override
    {
        filtersShown << filters;
        filterIndexShown << index;
        if (realFileDialogs)
            return Dialogs::openFile(parent, folder, filters, index);
        return FakeDialogs::openFile(parent, folder, filters, index);
    }
    FileChoice saveFile(QWidget *parent, const QString &folder, const QStringList &filters, int index,
                        const QString &suffix) override
    {
        filtersShown << filters;
        filterIndexShown << index;
        return FakeDialogs::saveFile(parent, folder, filters, index, suffix);
    }
};

class tst_ScriptFiles : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void newScriptLook();
    void confirmSaveChanges_data();
    void confirmSaveChanges();
    void openByFilter_data();
    void openByFilter();
    void openPlainTextSavesBackAsPlainText_data();
    void openPlainTextSavesBackAsPlainText();
    void saveOfFormattedPlainText_data();
    void saveOfFormattedPlainText();
    void saveAsTypedExtension_data();
    void saveAsTypedExtension();
    void statusAfterFailure_data();
    void statusAfterFailure();
    void insertEmptyFile_data();
    void insertEmptyFile();
    void recentFiles();
    void recentFileGone();
    void droppedFileOpens_data();
    void droppedFileOpens();
    void openCancelledStillResets();
    void firstCharacterColours_data();
    void firstCharacterColours();
    void openFailureKeepsScript();
    void binaryFileIsNotAScript();
    void hardInputs_data();
    void hardInputs();
    void saveAsNames_data();
    void saveAsNames();
    void saveAsOverwrite_data();
    void saveAsOverwrite();
    void saveUntitledWithSaveAsCancelled();
    void saveShowsSavingWindow();
    void failedSaveKeepsOldFile();
    void fixturesSurviveSaveAndOpen_data();
    void fixturesSurviveSaveAndOpen();
    void insertKeepsCaretLine();
    void cancelledSaveStopsTheCommand_data();
    void cancelledSaveStopsTheCommand();
    void saveAfterZnqImportAsksForName();
    void insertZnq();
    void insertPastTheLimitChangesNothing();
    void printThreePages();
    void realDialogFilters();

private:
    std::unique_ptr<BasicTestWindow<TestDialogs>> m_window;
    TMainForm *m_form = nullptr;
    TRichEdit *edit() const { return m_form->RichEdit1; }
    ScriptFiles *files() const { return m_form->Files.get(); }
    QString panel(int index) const { return m_form->StatusBar->PanelText(index); }
};

namespace {

FileChoice chosen(const QString &path, int filterIndex)
{
    FileChoice c;
    c.accepted = true;
    c.path = path;
    c.filterIndex = filterIndex;
    return c;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The script's look, paragraph by paragraph and run by run, for comparing two documents.
QString describe(const QTextDocument *doc)
{
    QStringList out;
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
        const QTextBlockFormat bf = b.blockFormat();
        QString para = QStringLiteral("[a%1").arg(int(bf.alignment() & Qt::AlignHorizontal_Mask));
        if (QTextList *list = b.textList())
            para += QStringLiteral(" list%1/%2").arg(int(list->format().style())).arg(list->format().indent());
        para += QLatin1Char(']');
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat f = it.fragment().charFormat();
            para += QStringLiteral("{%1|%2 %3 %4%5%6%7}")
                        .arg(it.fragment().text(), f.fontFamilies().toStringList().value(0))
                        .arg(f.fontPointSize())
                        .arg(f.foreground().style() == Qt::NoBrush ? QStringLiteral("auto")
                                                                   : f.foreground().color().name())
                        .arg(f.fontWeight() > QFont::Normal ? "b" : "")
                        .arg(f.fontItalic() ? "i" : "")
                        .arg(f.fontUnderline() ? "u" : "");
        }
        out << para;
    }
    return out.join(QLatin1Char('\n'));
}

QColor windowColour(const QWidget *w)
{
    return w->palette().color(QPalette::Window);
}

const QByteArray RedStart = "{\\rtf1\\ansi{\\fonttbl{\\f0 Liberation Serif;}}{\\colortbl ;\\red255\\green0\\blue0;}"
                            "\\f0\\fs40\\cf1 Red start\\par\\cf0\\fs20 and more\\par}";

}

void tst_ScriptFiles::init()
{
    m_window = std::make_unique<BasicTestWindow<TestDialogs>>();
    m_form = &m_window->open();
    QVERIFY(m_window->activate());
    // A new window holds no unsaved work: nothing may ask to save it.
    QVERIFY(!edit()->Modified());
}

void tst_ScriptFiles::cleanup()
{
    m_form = nullptr;
    m_window.reset();
}

void tst_ScriptFiles::newScriptLook()
{
    edit()->setPlainText(QStringLiteral("old text"));
    edit()->SetModified(true);
    edit()->SetBackgroundColor(0xFFFFFF);
    m_form->Panel1->setPalette(QPalette(Qt::red));
    m_window->dialogs.answers = {QMessageBox::No};
    m_form->Action(QStringLiteral("FileNewItem"))->trigger();

    QCOMPARE(m_window->dialogs.questions, QStringList{"Save changes to Untitled?"});
    QCOMPARE(files()->ScriptFileName, QStringLiteral("Untitled"));
    QCOMPARE(panel(2), QStringLiteral("Untitled"));
    QCOMPARE(edit()->Text(), QString());
    QVERIFY(!edit()->Modified());
    QCOMPARE(edit()->BackgroundColor(), 0);
    QCOMPARE(m_form->fontsize->text(), QStringLiteral("60"));
    QCOMPARE(m_form->fontname->currentText(), QStringLiteral("Arial"));
    QCOMPARE(m_form->RichEdit2->BackgroundColor(), 0);
    QCOMPARE(m_form->RichEdit2->palette().color(QPalette::Text), QColor(Qt::white));
    QCOMPARE(windowColour(m_form->Panel1), QColor(Qt::black));
    QCOMPARE(m_form->Label1->palette().color(QPalette::WindowText), QColor(Qt::white));

    // What is typed takes the new script's look, also after a click into the editor.
    edit()->setFocus();
    edit()->SetSelection(0, 0);
    QTest::keyClicks(edit(), QStringLiteral("Hi"));
    edit()->SetSelection(0, 2);
    const TextAttributes a = edit()->SelAttributes();
    QCOMPARE(a.Name, QStringLiteral("Arial"));
    QCOMPARE(a.Size, 60.0);
    QCOMPARE(a.Color, 0xFFFFFF);
    QVERIFY(!a.Bold && !a.Italic && !a.Underline);
}

void tst_ScriptFiles::confirmSaveChanges_data()
{
    QTest::addColumn<bool>("named");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("replaced");
    QTest::addColumn<bool>("saved");
    QTest::newRow("cancel") << true << int(QMessageBox::Cancel) << false << false;
    QTest::newRow("no") << true << int(QMessageBox::No) << true << false;
    QTest::newRow("yes") << true << int(QMessageBox::Yes) << true << true;
    // Yes on an untitled script whose Save As is cancelled: the script stays, as with Cancel.
    QTest::newRow("yes, untitled") << false << int(QMessageBox::Yes) << false << false;
}

void tst_ScriptFiles::confirmSaveChanges()
{
    QFETCH(bool, named);
    QFETCH(int, answer);
    QFETCH(bool, replaced);
    QFETCH(bool, saved);
    const QString path = m_window->dir.file(QStringLiteral("script.rtf"));
    if (named)
        files()->SetScriptFileName(path);
    edit()->setPlainText(QStringLiteral("unsaved work"));
    edit()->SetModified(true);
    m_window->dialogs.answers = {QMessageBox::StandardButton(answer)};
    m_form->Action(QStringLiteral("FileNewItem"))->trigger();

    QCOMPARE(m_window->dialogs.questions.value(0),
             QStringLiteral("Save changes to %1?").arg(named ? path : QStringLiteral("Untitled")));
    QCOMPARE(edit()->Text().isEmpty(), replaced);
    QCOMPARE(edit()->Modified(), !replaced);
    QCOMPARE(readFile(path).contains("unsaved work"), saved);
    QVERIFY(m_window->dialogs.errors.isEmpty());
}

void tst_ScriptFiles::openByFilter_data()
{
    QTest::addColumn<int>("filter");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    const QByteArray rtf = "{\\rtf1\\ansi{\\fonttbl{\\f0 Liberation Mono;}}\\f0\\fs28 A \\b bold\\b0  word\\par}";
    QTest::newRow("all files, rich text") << 1 << rtf << "A bold word";
    // The content decides for RTF, whatever filter chose the file.
    QTest::newRow("text files, rich text") << 2 << rtf << "A bold word";
    QTest::newRow("ZNQ filter, rich text") << 3 << rtf << "A bold word";
    QTest::newRow("ZNQ") << 3
                         << QByteArray("\xff\x01\x02"
                                       "A\x7f"
                                       "B\x1b"
                                       "xC\r\nD\te")
                         << "A\u00bbBCDe";
    QTest::newRow("rich text files") << 4 << rtf << "A bold word";
    QTest::newRow("all files, plain text") << 1 << QByteArray("plain\r\nlines") << "plain\nlines";
}

void tst_ScriptFiles::openByFilter()
{
    QFETCH(int, filter);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    const QString path = m_window->dir.file(QStringLiteral("script.dat"));
    writeFile(path, bytes);
    m_form->MarkerSearch.MarkerPos = 9;
    m_form->Prompt.TopLine = 4;
    m_form->Prompt.NextLine = 6;
    m_window->dialogs.files = {chosen(path, filter)};
    m_form->Action(QStringLiteral("FileOpenItem"))->trigger();

    QCOMPARE(m_window->dialogs.errors, QStringList());
    QCOMPARE(edit()->Text(), text);
    QCOMPARE(files()->ScriptFileName, path);
    QCOMPARE(files()->Script.ReadForm(),
             bytes.startsWith("{\\rtf") ? ScriptDocument::Form::RichText
                 : filter == 3          ? ScriptDocument::Form::Imported
                                        : ScriptDocument::Form::PlainText);
    QCOMPARE(panel(2), QStringLiteral("script.dat"));
    QCOMPARE(panel(0), QStringLiteral(" Ready.."));
    QVERIFY(!edit()->Modified());
    QVERIFY(!edit()->PlainText);
    QVERIFY(!m_form->RichEdit2->PlainText);
    QCOMPARE(edit()->SelStart(), 0);
    QCOMPARE(edit()->SelLength(), 0);
    QCOMPARE(m_form->MarkerSearch.MarkerPos, 0);
    QCOMPARE(m_form->Prompt.TopLine, 0);
    QCOMPARE(m_form->Prompt.NextLine, 0);
    QCOMPARE(m_form->Prompt.LineCount, edit()->GetLineCount());

    // One face and size for the whole script, styles kept.
    edit()->SelectAll();
    const TextAttributes all = edit()->SelAttributes();
    QVERIFY(all.ConsistentAttributes & TextAttributes::caFace);
    QVERIFY(all.ConsistentAttributes & TextAttributes::caSize);
    if (text == QLatin1String("A bold word")) {
        QCOMPARE(all.Name, QStringLiteral("Liberation Mono"));
        QCOMPARE(all.Size, 14.0);
        edit()->SetSelection(2, 4);
        QVERIFY(edit()->SelAttributes().Bold);
    }

    // The filters as the operator reads them, and the choice kept for next time.
    QCOMPARE(m_window->dialogs.filtersShown.value(0),
             QStringList({"All FIles(*.*) (*)", "Text Files (*.TXT) (*.TXT *.txt)", "ZNQ Files (*)",
                          "Rich Text Files(*.RTF) (*.RTF *.rtf)"}));
    QCOMPARE(m_window->dialogs.filterIndexShown.value(0), 1);
    m_form->Action(QStringLiteral("FileOpenItem"))->trigger();
    QCOMPARE(m_window->dialogs.filterIndexShown.value(1), filter);
}

// A text file stays a text file: Save writes the form the script was read in, through
// whichever open filter it came.
void tst_ScriptFiles::openPlainTextSavesBackAsPlainText_data()
{
    QTest::addColumn<int>("filter");
    QTest::newRow("all files") << 1;
    QTest::newRow("text files") << 2;
    QTest::newRow("rich text files") << 4;
}

void tst_ScriptFiles::openPlainTextSavesBackAsPlainText()
{
    QFETCH(int, filter);
    const QString path = m_window->dir.file(QStringLiteral("notes.txt"));
    writeFile(path, "first line\nsecond line\n");
    m_window->dialogs.files = {chosen(path, filter)};
    files()->FileOpen();
    QCOMPARE(edit()->Text(), QStringLiteral("first line\nsecond line\n"));

    edit()->setFocus();
    edit()->SetSelection(0, 0);
    QTest::keyClicks(edit(), QStringLiteral("New "));
    QTest::keyClick(edit(), Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(m_window->dialogs.errors, QStringList());
    QCOMPARE(m_window->dialogs.questions, QStringList());
    QCOMPARE(readFile(path), QByteArray("New first line\r\nsecond line\r\n"));
    QCOMPARE(panel(0), QStringLiteral(" Saved.."));
    QVERIFY(!edit()->Modified());

    m_window->dialogs.files = {chosen(path, 1)};
    files()->FileOpen();
    QCOMPARE(edit()->Text(), QStringLiteral("New first line\nsecond line\n"));
}

// Prevents losing edits: a cancelled Open must leave the unsaved script marked unsaved,
// or a later Exit would drop it without asking.
void tst_ScriptFiles::openCancelledStillResets()
{
    edit()->setPlainText(QStringLiteral("one two"));
    edit()->SetSelection(0, 1);
    edit()->SetSelColor(0x0000FF);
    edit()->SetSelection(3, 2);
    edit()->SetModified(true);
    m_form->MarkerSearch.MarkerPos = 5;
    m_form->Prompt.TopLine = 3;
    m_form->Prompt.NextLine = 8;
    m_window->dialogs.answers = {QMessageBox::No};
    files()->FileOpen();

    QCOMPARE(edit()->BackgroundColor(), 0);
    QCOMPARE(m_form->Label1->palette().color(QPalette::WindowText), QColor(Qt::red));
    QCOMPARE(m_form->MarkerSearch.MarkerPos, 0);
    QCOMPARE(m_form->Prompt.TopLine, 0);
    QCOMPARE(m_form->Prompt.NextLine, 0);
    QCOMPARE(m_form->Prompt.LineCount, edit()->GetLineCount());
    QCOMPARE(edit()->SelStart(), 0);
    QCOMPARE(edit()->SelLength(), 0);
    QCOMPARE(panel(0), QStringLiteral(" Ready.."));
    QCOMPARE(files()->ScriptFileName, QStringLiteral("Untitled"));
    // The unsaved script is still unsaved: Exit must go on asking about it.
    QVERIFY(edit()->Modified());
}

void tst_ScriptFiles::firstCharacterColours_data()
{
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QColor>("text");
    QTest::addColumn<QColor>("background");
    QTest::newRow("red") << RedStart << QColor(Qt::red) << QColor(Qt::black);
    QTest::newRow("black") << QByteArray("{\\rtf1\\ansi{\\colortbl ;\\red0\\green0\\blue0;}\\cf1 Black\\par}")
                           << QColor(Qt::black) << QColor(Qt::white);
    QTest::newRow("automatic") << QByteArray("{\\rtf1\\ansi Automatic\\par and more\\par}") << QColor(Qt::black)
                               << QColor(Qt::white);
}

void tst_ScriptFiles::firstCharacterColours()
{
    QFETCH(QByteArray, rtf);
    QFETCH(QColor, text);
    QFETCH(QColor, background);
    const QString path = m_window->dir.file(QStringLiteral("colours.rtf"));
    writeFile(path, rtf);
    m_window->dialogs.files = {chosen(path, 4)};
    files()->FileOpen();

    edit()->SetSelection(0, 1);
    QCOMPARE(TRichEdit::ToQColor(edit()->SelAttributes().Color), text);
    QCOMPARE(TRichEdit::ToQColor(edit()->BackgroundColor()), background);
    QCOMPARE(TRichEdit::ToQColor(m_form->RichEdit2->BackgroundColor()), background);
    QCOMPARE(windowColour(m_form->Panel1), background);
    QCOMPARE(windowColour(m_form), background);
    QCOMPARE(m_form->Label1->palette().color(QPalette::WindowText), text);
    QVERIFY(!edit()->Modified());
    // The rest of the script, where it has no colour of its own, is readable.
    const QColor automatic = background == QColor(Qt::black) ? QColor(Qt::white) : QColor(Qt::black);
    QCOMPARE(edit()->palette().color(QPalette::Text), automatic);
    QCOMPARE(m_form->RichEdit2->palette().color(QPalette::Text), automatic);
}

void tst_ScriptFiles::openFailureKeepsScript()
{
    edit()->setPlainText(QStringLiteral("keep me"));
    files()->SetScriptFileName(m_window->dir.file(QStringLiteral("kept.rtf")));
    const QString missing = m_window->dir.file(QStringLiteral("missing.rtf"));
    m_window->dialogs.files = {chosen(missing, 1)};
    m_form->Action(QStringLiteral("FileOpenItem"))->trigger();
    QCOMPARE(m_window->dialogs.errors, QStringList{QStringLiteral("Cannot open file %1.").arg(missing)});
    QCOMPARE(edit()->Text(), QStringLiteral("keep me"));
    QCOMPARE(files()->ScriptFileName, m_window->dir.file(QStringLiteral("kept.rtf")));

    m_window->dialogs.files = {chosen(missing, 3)};
    m_form->Action(QStringLiteral("FileOpenItem"))->trigger();
    QCOMPARE(m_window->dialogs.errors.value(1), QStringLiteral("File not found: %1.").arg(missing));
    QCOMPARE(edit()->Text(), QStringLiteral("keep me"));

    // A failed plain-text open leaves the script's form: Save still writes rich text.
    m_window->dialogs.files = {chosen(missing, 2)};
    m_form->Action(QStringLiteral("FileOpenItem"))->trigger();
    QCOMPARE(m_window->dialogs.errors.size(), 3);
    m_form->Action(QStringLiteral("FileSaveItem"))->trigger();
    QVERIFY(readFile(m_window->dir.file(QStringLiteral("kept.rtf"))).startsWith("{\\rtf1"));
}

// A program or a picture opened through "All FIles" is refused with a message; the
// script stays as it was.
void tst_ScriptFiles::binaryFileIsNotAScript()
{
    edit()->setPlainText(QStringLiteral("keep me"));
    edit()->SetModified(false);
    const QString binary = m_window->dir.file(QStringLiteral("program.rtf"));
    writeFile(binary,
              QByteArray("\x7f"
                         "ELF\x02\x01\x01\0\0\0\0\0\0\0\0\0\x03\0>\0",
                         20)
                  + QByteArray(4000, '\0'));
    m_window->dialogs.files = {chosen(binary, 1)};
    m_form->Action(QStringLiteral("FileOpenItem"))->trigger();
    QCOMPARE(m_window->dialogs.errors,
             QStringList{QStringLiteral("%1 is not a script: it holds binary data.").arg(binary)});
    QCOMPARE(edit()->Text(), QStringLiteral("keep me"));
    QVERIFY(files()->ScriptFileName != binary);
}

void tst_ScriptFiles::hardInputs_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("insert");
    QTest::addColumn<int>("filter");
    QTest::addColumn<QString>("error"); // %1: the path
    QTest::addColumn<QString>("notice");
    QTest::addColumn<QString>("text"); // the script afterwards; empty: as it was

    const QString notRegular = QStringLiteral("%1 is not a regular file.");
    const QString cut = QStringLiteral("%1 ends early: the text after \"Times\" may be missing.");
    const QString deep = QStringLiteral("%1 nests groups too deeply: some of the text after \"before\" was left out.");
    for (const bool insert : {false, true}) {
        const QString command = insert ? QStringLiteral("insert ") : QStringLiteral("open ");
        for (const int filter : {1, 2, 3, 4}) {
            const QString by = QStringLiteral(" by filter %1").arg(filter);
            QTest::newRow(qPrintable(command + "pipe" + by)) << "pipe" << insert << filter << notRegular << ""
                                                             << "";
            QTest::newRow(qPrintable(command + "folder" + by)) << "folder" << insert << filter << notRegular << ""
                                                               << "";
        }
        QTest::newRow(qPrintable(command + "device")) << "device" << insert << 1 << notRegular << ""
                                                      << "";
        QTest::newRow(qPrintable(command + "socket")) << "socket" << insert << 4 << notRegular << ""
                                                      << "";
        QTest::newRow(qPrintable(command + "truncated rtf"))
            << "truncated" << insert << 1 << "" << cut
            << (insert ? "Arial at 12 points.\nArial at 24 points.\nTimeskeep me"
                       : "Arial at 12 points.\nArial at 24 points.\nTimes");
        QTest::newRow(qPrintable(command + "over-deep rtf"))
            << "deep" << insert << 4 << "" << deep << (insert ? "before  afterkeep me" : "before  after");
    }
}

// What cannot be read is refused with a message and leaves the script as it was; a damaged
// RTF opens with what could be read and one notice of what may be missing.
void tst_ScriptFiles::hardInputs()
{
    QFETCH(QString, kind);
    QFETCH(bool, insert);
    QFETCH(int, filter);
    QFETCH(QString, error);
    QFETCH(QString, notice);
    QFETCH(QString, text);

    QString path = m_window->dir.file(kind + QStringLiteral(".rtf"));
    if (kind == u"pipe") {
        QVERIFY(MakeFifo(path));
    } else if (kind == u"folder") {
        QVERIFY(QDir().mkpath(path));
    } else if (kind == u"device") {
        path = QStringLiteral("/dev/zero");
    } else if (kind == u"socket") {
        QVERIFY(MakeSocket(path));
    } else if (kind == u"truncated") {
        writeFile(path, "{\\rtf1 Arial at 12 points.\\par Arial at 24 points.\\par {\\b Times");
    } else if (kind == u"deep") {
        writeFile(path,
                  "{\\rtf1 before " + QByteArray("{").repeated(300000) + "lost" + QByteArray("}").repeated(300000)
                      + " after}");
    }

    const QString keptName = m_window->dir.file(QStringLiteral("kept.rtf"));
    edit()->setPlainText(QStringLiteral("keep me"));
    files()->SetScriptFileName(keptName);
    edit()->SetModified(false);
    m_window->dialogs.files = {chosen(path, filter)};
    m_form->Action(insert ? QStringLiteral("Insert2") : QStringLiteral("FileOpenItem"))->trigger();

    const QString native = QDir::toNativeSeparators(path);
    QCOMPARE(m_window->dialogs.errors, error.isEmpty() ? QStringList() : QStringList{error.arg(native)});
    QCOMPARE(m_window->dialogs.messages, notice.isEmpty() ? QStringList() : QStringList{notice.arg(native)});
    QCOMPARE(edit()->Text(), text.isEmpty() ? QStringLiteral("keep me") : text);
    QCOMPARE(files()->ScriptFileName, text.isEmpty() || insert ? keptName : path);
}

void tst_ScriptFiles::saveAsNames_data()
{
    QTest::addColumn<QString>("typed"); // relative to the test folder
    QTest::addColumn<int>("filter");
    QTest::addColumn<QString>("written");
    QTest::addColumn<bool>("plain");
    QTest::newRow("rtf, no dot") << "notes" << 1 << "notes.RTF" << false;
    QTest::newRow("txt, no dot") << "notes" << 2 << "notes.TXT" << true;
    QTest::newRow("ini, no dot") << "notes" << 3 << "notes.INI" << true;
    QTest::newRow("rtf filter, .txt name") << "notes.txt" << 1 << "notes.txt" << true;
    QTest::newRow("dot in the folder") << "my.scripts/notes" << 2 << "my.scripts/notes" << true;
}

void tst_ScriptFiles::saveAsNames()
{
    QFETCH(QString, typed);
    QFETCH(int, filter);
    QFETCH(QString, written);
    QFETCH(bool, plain);
    QDir(m_window->dir.path()).mkdir(QStringLiteral("my.scripts"));
    edit()->setPlainText(QStringLiteral("Caf\u00e9 \u00bb script"));
    edit()->SetModified(true);
    m_window->dialogs.files = {chosen(m_window->dir.file(typed), filter)};
    m_form->Action(QStringLiteral("FileSaveAsItem"))->trigger();

    const QString path = m_window->dir.file(written);
    QCOMPARE(m_window->dialogs.errors, QStringList());
    QCOMPARE(files()->ScriptFileName, path);
    QCOMPARE(panel(2), QFileInfo(path).fileName());
    QVERIFY(!edit()->Modified());
    QCOMPARE(files()->Script.Plain(), plain);
    const QByteArray expected = plain ? QByteArray("Caf\xe9 \xbb script") : QByteArray("{\\rtf1");
    QVERIFY2(readFile(path).startsWith(expected), readFile(path).left(40).constData());
    // Save As on its own shows no status text.
    QCOMPARE(panel(0).contains(QStringLiteral("Saved")), false);

    // Save writes the same file in the same form.
    edit()->setPlainText(QStringLiteral("second version"));
    m_form->Action(QStringLiteral("FileSaveItem"))->trigger();
    QCOMPARE(readFile(path).startsWith(plain ? QByteArray("second version") : QByteArray("{\\rtf1")), true);
    QVERIFY(readFile(path).contains("second version"));
    QCOMPARE(QDir(m_window->dir.path()).entryList(QDir::Files).size(),
             1 + int(QFile::exists(m_window->dir.file("CORVANTA.INI"))) - int(written.contains('/')));
}

void tst_ScriptFiles::saveAsOverwrite_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("written");
    QTest::newRow("yes") << int(QMessageBox::Yes) << true;
    QTest::newRow("no") << int(QMessageBox::No) << false;
    QTest::newRow("cancel") << int(QMessageBox::Cancel) << false;
}

void tst_ScriptFiles::saveAsOverwrite()
{
    QFETCH(int, answer);
    QFETCH(bool, written);
    const QString path = m_window->dir.file(QStringLiteral("taken.TXT"));
    writeFile(path, "old content");
    edit()->setPlainText(QStringLiteral("new content"));
    edit()->SetModified(true);
    m_window->dialogs.answers = {QMessageBox::StandardButton(answer)};
    m_window->dialogs.files = {chosen(m_window->dir.file(QStringLiteral("taken")), 2)};
    files()->FileSaveAs();

    QCOMPARE(m_window->dialogs.questions, QStringList{QStringLiteral("OK to overwrite %1").arg(path)});
    QCOMPARE(readFile(path), written ? QByteArray("new content") : QByteArray("old content"));
    QCOMPARE(files()->ScriptFileName, written ? path : QStringLiteral("Untitled"));
    QCOMPARE(edit()->Modified(), !written);
    // The script takes the form it was written in; unwritten, it keeps its own.
    QCOMPARE(files()->Script.Plain(), written);
}

void tst_ScriptFiles::saveUntitledWithSaveAsCancelled()
{
    Tsaving saving;
    m_form->Files->SavingWindow = &saving;
    edit()->setPlainText(QStringLiteral("draft"));
    edit()->SetModified(true);
    m_form->Action(QStringLiteral("FileSaveItem"))->trigger();
    QCOMPARE(m_window->dialogs.filtersShown.value(0),
             QStringList({"Rich Text Files (*.RTF) (*.RTF *.rtf)", "Text Files (*.TXT) (*.TXT *.txt)",
                          "Config Files (*.INI) (*.INI *.ini)"}));
    QVERIFY(!saving.isVisible());
    QVERIFY(edit()->Modified());
    QCOMPARE(files()->ScriptFileName, QStringLiteral("Untitled"));
    QCOMPARE(panel(0), QStringLiteral(" Not saved.."));
    m_form->Files->SavingWindow = nullptr;
}

void tst_ScriptFiles::saveShowsSavingWindow()
{
    Tsaving saving;
    m_form->Files->SavingWindow = &saving;
    const QString path = m_window->dir.file(QStringLiteral("named.rtf"));
    files()->SetScriptFileName(path);
    edit()->setPlainText(QStringLiteral("saved words"));
    edit()->SetModified(true);
    files()->FileSave();
    QVERIFY(readFile(path).contains("saved words"));
    QVERIFY(saving.isVisible());
    QCOMPARE(saving.windowTitle(), QStringLiteral("Saving"));
    QCOMPARE(saving.ProgressBar1->value(), 0);
    QCOMPARE(panel(0), QStringLiteral(" Saved.."));
    QVERIFY(!edit()->Modified());
    QTRY_VERIFY_WITH_TIMEOUT(!saving.isVisible(), 3000);
    QCOMPARE(saving.ProgressBar1->value(), 100);
    m_form->Files->SavingWindow = nullptr;
}

void tst_ScriptFiles::failedSaveKeepsOldFile()
{
    Tsaving saving;
    m_form->Files->SavingWindow = &saving;
    const QString path = m_window->dir.file(QStringLiteral("precious.rtf"));
    writeFile(path, "{\\rtf1 the old script\\par}");
    files()->SetScriptFileName(path);
    QStringList lines(4000, QStringLiteral("a line of the new script that will not fit"));
    edit()->setPlainText(lines.join(QLatin1Char('\n')));
    edit()->SetModified(true);

    // A full disk, as far as this process can tell (this works for root too).
    ::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 64 * 1024;
    setrlimit(RLIMIT_FSIZE, &small);
    m_form->Action(QStringLiteral("FileSaveItem"))->trigger();
    setrlimit(RLIMIT_FSIZE, &old);

    QCOMPARE(m_window->dialogs.errors,
             QStringList{QStringLiteral("Failed to Save Stream to %1: File too large.").arg(path)});
    QCOMPARE(readFile(path), QByteArray("{\\rtf1 the old script\\par}"));
    QVERIFY(edit()->Modified());
    QVERIFY(!saving.isVisible());
    QCOMPARE(QDir(m_window->dir.path()).entryList({QStringLiteral("precious*")}, QDir::Files | QDir::Hidden).size(), 1);

    // A folder that is not there: the name stays, nothing is claimed.
    const QString nowhere = m_window->dir.file(QStringLiteral("no/such/folder/script"));
    m_window->dialogs.files = {chosen(nowhere, 1)};
    m_form->Action(QStringLiteral("FileSaveAsItem"))->trigger();
    QCOMPARE(m_window->dialogs.errors.value(1),
             QStringLiteral("Cannot create file %1.RTF: No such file or directory.").arg(nowhere));
    QCOMPARE(files()->ScriptFileName, path);
    QVERIFY(edit()->Modified());
    m_form->Files->SavingWindow = nullptr;
}

void tst_ScriptFiles::fixturesSurviveSaveAndOpen_data()
{
    QTest::addColumn<QString>("name");
    const QDir fixtures(QStringLiteral(CORVANTA_TEST_FIXTURES "/rtf"));
    const QStringList rtf = fixtures.entryList({QStringLiteral("*.rtf")}, QDir::Files, QDir::Name);
    QVERIFY(!rtf.isEmpty());
    for (const QString &file : rtf)
        QTest::newRow(qPrintable(file)) << QFileInfo(file).completeBaseName();
}

void tst_ScriptFiles::fixturesSurviveSaveAndOpen()
{
    QFETCH(QString, name);
    const QString fixtures = QStringLiteral(CORVANTA_TEST_FIXTURES "/rtf/");
    // Opened from a copy: a faulty save must never reach the shared fixture.
    const QString original = m_window->dir.file(name + QStringLiteral(".rtf"));
    QVERIFY(QFile::copy(fixtures + name + QStringLiteral(".rtf"), original));
    m_window->dialogs.files = {chosen(original, 1)};
    files()->FileOpen();
    QCOMPARE(edit()->Text(), QString::fromUtf8(readFile(fixtures + name + QStringLiteral(".txt"))));
    const QString opened = describe(edit()->document());

    const QString copy = m_window->dir.file(name + QStringLiteral("-saved"));
    m_window->dialogs.files = {chosen(copy, 1)};
    files()->FileSaveAs();
    files()->FileNew();
    m_window->dialogs.files = {chosen(copy + QStringLiteral(".RTF"), 1)};
    files()->FileOpen();
    QCOMPARE(m_window->dialogs.errors, QStringList());
    QCOMPARE(describe(edit()->document()), opened);
}

void tst_ScriptFiles::insertKeepsCaretLine()
{
    QStringList lines;
    for (int i = 0; i < 9; ++i)
        lines << QStringLiteral("line %1").arg(i);
    edit()->setPlainText(lines.join(QLatin1Char('\n')));
    edit()->SelectAll();
    edit()->SetSelFontName(QStringLiteral("Liberation Sans"));
    edit()->SetSelSize(20);
    edit()->SetSelColor(0x00FF00);
    edit()->SetSelection(edit()->LineIndex(5) + 3, 0);
    QCOMPARE(edit()->LineFromChar(-1), 5);
    const int lineStart = edit()->LineIndex(5);
    m_form->MarkerSearch.MarkerPos = 7;

    const QString path = m_window->dir.file(QStringLiteral("insert.rtf"));
    writeFile(path,
              "{\\rtf1\\ansi{\\fonttbl{\\f0 Liberation Mono;}}\\f0\\fs60\\b Inserted\\b0  words\\par and more\\par}");
    m_window->dialogs.files = {chosen(path, 4)};
    m_form->Action(QStringLiteral("Insert2"))->trigger();

    QCOMPARE(m_window->dialogs.errors, QStringList());
    QVERIFY(edit()->Text().startsWith(QStringLiteral("line 0\n")));
    QVERIFY(edit()->Text().contains(QStringLiteral("linInserted words\nand more")));
    QCOMPARE(edit()->SelStart(), lineStart);
    QCOMPARE(edit()->SelLength(), 0);
    QCOMPARE(panel(0), QStringLiteral(" ready.."));
    QVERIFY(QGuiApplication::clipboard()->text().contains(QStringLiteral("Inserted words")));
    QCOMPARE(m_form->RichEdit4->Text(), QString());
    QCOMPARE(m_form->MarkerSearch.MarkerPos, 7);
    QVERIFY(!edit()->PlainText);

    // The inserted text takes the look at the caret; its styles stay.
    const int at = int(edit()->Text().indexOf(QStringLiteral("Inserted")));
    edit()->SetSelection(at, 8);
    const TextAttributes a = edit()->SelAttributes();
    QCOMPARE(a.Name, QStringLiteral("Liberation Sans"));
    QCOMPARE(a.Size, 20.0);
    QCOMPARE(a.Color, 0x00FF00);
    QVERIFY(a.Bold);
    // Pane B shows the whole script.
    QCOMPARE(m_form->RichEdit2->Text(), edit()->Text());
}

// Yes, then a cancelled Save As: New, Open and Exit all stop, and the script stays.
void tst_ScriptFiles::cancelledSaveStopsTheCommand_data()
{
    QTest::addColumn<QString>("command");
    QTest::newRow("New") << "FileNewItem";
    QTest::newRow("Open") << "FileOpenItem";
    QTest::newRow("Exit") << "FileExitItem";
}

void tst_ScriptFiles::cancelledSaveStopsTheCommand()
{
    QFETCH(QString, command);
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form));
    const QString other = m_window->dir.file(QStringLiteral("other.txt"));
    writeFile(other, "another script");
    edit()->setPlainText(QStringLiteral("unsaved work"));
    edit()->SetModified(true);
    m_window->dialogs.answers = {QMessageBox::Yes};
    // The Save As dialog is cancelled; an Open that went on would load the other script.
    m_window->dialogs.files = {FileChoice{}, chosen(other, 2)};
    m_form->Action(command)->trigger();
    QCOMPARE(m_window->dialogs.questions.size(), 1);
    QCOMPARE(edit()->Text(), QStringLiteral("unsaved work"));
    QVERIFY(edit()->Modified());
    QVERIFY(m_form->isVisible());
}

// A script imported from a ZNQ file is saved under a new name, never over the ZNQ file.
void tst_ScriptFiles::saveAfterZnqImportAsksForName()
{
    const QString znq = m_window->dir.file(QStringLiteral("show.znq"));
    writeFile(znq, "Hello\x7fthere\n");
    m_window->dialogs.files = {chosen(znq, 3)};
    files()->FileOpen();
    QCOMPARE(edit()->Text(), QStringLiteral("Hello\u00bbthere"));
    edit()->AppendLine(QStringLiteral("more"));

    m_form->Action(QStringLiteral("FileSaveItem"))->trigger(); // Save As cancelled
    QCOMPARE(readFile(znq), QByteArray("Hello\x7fthere\n"));
    QCOMPARE(m_window->dialogs.filtersShown.size(), 2); // open, then the save dialog
    const QString saved = m_window->dir.file(QStringLiteral("show.rtf"));
    m_window->dialogs.files = {chosen(saved, 1)};
    m_form->Action(QStringLiteral("FileSaveItem"))->trigger();
    QCOMPARE(readFile(znq), QByteArray("Hello\x7fthere\n"));
    QVERIFY(readFile(saved).startsWith("{\\rtf1"));
    QCOMPARE(files()->ScriptFileName, saved);
    // From then on Save writes the new file.
    edit()->AppendLine(QStringLiteral("again"));
    m_form->Action(QStringLiteral("FileSaveItem"))->trigger();
    QCOMPARE(m_window->dialogs.filtersShown.size(), 3);
    QVERIFY(readFile(saved).contains("again"));
}

// Prevents losing formatting: inserting a ZNQ (plain) file must not switch the formatted
// script to plain text for its next Save.
void tst_ScriptFiles::insertZnq()
{
    edit()->setPlainText(QStringLiteral("ab"));
    edit()->SetSelection(1, 0);
    const QString path = m_window->dir.file(QStringLiteral("insert.znq"));
    writeFile(path, "X\x7fY\n");
    m_window->dialogs.files = {chosen(path, 3)};
    files()->Insert2Click();
    QCOMPARE(edit()->Text(), QStringLiteral("aX\u00bbYb"));
    // A formatted script stays formatted when saved after a plain-text insert.
    QVERIFY(!edit()->PlainText);
    QCOMPARE(m_form->RichEdit2->Text(), edit()->Text());

    // Cancelled: nothing changes.
    files()->Insert2Click();
    QCOMPARE(edit()->Text(), QStringLiteral("aX\u00bbYb"));
    QCOMPARE(m_window->dialogs.filterIndexShown.value(1), 3);
}

void tst_ScriptFiles::insertPastTheLimitChangesNothing()
{
    edit()->setPlainText(QStringLiteral("ab"));
    edit()->SetSelection(1, 0);
    edit()->MaxCharacters = 30;
    const QString path = m_window->dir.file(QStringLiteral("insert.txt"));
    writeFile(path, QByteArray(40, 'x'));
    m_window->dialogs.files = {chosen(path, 2)};
    m_form->Action(QStringLiteral("Insert2"))->trigger();
    QCOMPARE(m_window->dialogs.errors.size(), 1);
    QVERIFY2(m_window->dialogs.errors.first().contains(QStringLiteral("at most 30")),
             qPrintable(m_window->dialogs.errors.first()));
    m_window->dialogs.errors.clear();
    QCOMPARE(edit()->Text(), QStringLiteral("ab"));
    QCOMPARE(m_form->RichEdit4->Text(), QString());
}

void tst_ScriptFiles::printThreePages()
{
    for (const char *tool : {"pdfinfo", "pdftotext", "pdftoppm"})
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
            QSKIP("poppler-utils are not installed");
    // Three pages of 12-point text on A4 or Letter: about 150 lines.
    QStringList paragraphs;
    for (int i = 1; i <= 150; ++i)
        paragraphs << QStringLiteral("Paragraph %1 of the script").arg(i);
    edit()->setPlainText(paragraphs.join(QLatin1Char('\n')));
    edit()->SelectAll();
    edit()->SetSelSize(60);
    edit()->SetSelColor(0x00FFFF);
    edit()->SetSelection(0, 10);
    edit()->SetSelBold(true);
    // Shaded paragraphs and runs, on every page: the paper stays white.
    for (int paragraph : {3, 60, 110}) {
        QTextCursor shaded(edit()->document()->findBlockByNumber(paragraph));
        QTextBlockFormat dark;
        dark.setBackground(Qt::black);
        shaded.mergeBlockFormat(dark);
        shaded.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
        QTextCharFormat navy;
        navy.setBackground(Qt::darkBlue);
        shaded.mergeCharFormat(navy);
    }
    const QString title = m_window->dir.file(QStringLiteral("show.rtf"));
    files()->SetScriptFileName(title);
    m_window->dialogs.pdfPath = m_window->dir.file(QStringLiteral("printed.pdf"));
    const QString before = describe(edit()->document());
    m_form->Action(QStringLiteral("FilePrintItem"))->trigger();

    QCOMPARE(m_window->dialogs.printed, 1);
    // The print dialog offers its PDF file under the script's bare name.
    QCOMPARE(m_window->dialogs.docNameShown, QStringLiteral("show.rtf"));
    QCOMPARE(describe(edit()->document()), before);
    QCOMPARE(m_form->RichEdit4->Text(), QString());
    const auto run = [](const QString &tool, const QStringList &args) {
        QProcess p;
        p.start(tool, args);
        p.waitForFinished(20000);
        return QString::fromUtf8(p.readAllStandardOutput());
    };
    const QString info = run(QStringLiteral("pdfinfo"), {m_window->dialogs.pdfPath});
    QVERIFY2(info.contains(QRegularExpression(QStringLiteral("Pages:\\s+3\\n"))), qPrintable(info));
    QVERIFY2(info.contains(QStringLiteral("Title:")) && info.contains(title), qPrintable(info));
    const QString text = run(QStringLiteral("pdftotext"), {m_window->dialogs.pdfPath, QStringLiteral("-")});
    QVERIFY(text.contains(QStringLiteral("Paragraph 1 of the script")));
    QVERIFY(text.contains(QStringLiteral("Paragraph 150 of the script")));
    // The text alone: no page numbers at the feet of the pages.
    for (const QString &line : text.split(QLatin1Char('\n')))
        QVERIFY2(!QRegularExpression(QStringLiteral("^\\s*\\d+\\s*$")).match(line).hasMatch(), qPrintable(line));

    // 12-point words: their boxes are 12 to 15 points high.
    const QString boxes
        = run(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), m_window->dialogs.pdfPath, QStringLiteral("-")});
    const QRegularExpression word(QStringLiteral("yMin=\"([0-9.]+)\" xMax=\"[0-9.]+\" yMax=\"([0-9.]+)\""));
    int words = 0;
    for (auto it = word.globalMatch(boxes); it.hasNext(); ++words) {
        const auto m = it.next();
        const double height = m.captured(2).toDouble() - m.captured(1).toDouble();
        QVERIFY2(height > 11 && height < 16, qPrintable(QString::number(height)));
    }
    QVERIFY(words > 600);

    // Black on white: no pixel of the page has any colour.
    const QString png = m_window->dir.file(QStringLiteral("page"));
    run(QStringLiteral("pdftoppm"),
        {QStringLiteral("-r"), QStringLiteral("40"), QStringLiteral("-f"), QStringLiteral("2"), QStringLiteral("-l"),
         QStringLiteral("2"), QStringLiteral("-png"), QStringLiteral("-singlefile"), m_window->dialogs.pdfPath, png});
    const QImage page(png + QStringLiteral(".png"));
    QVERIFY(!page.isNull());
    int dark = 0;
    for (int y = 0; y < page.height(); ++y) {
        int darkInRow = 0;
        for (int x = 0; x < page.width(); ++x) {
            const QColor c = page.pixelColor(x, y);
            QVERIFY(qAbs(c.red() - c.green()) < 8 && qAbs(c.green() - c.blue()) < 8);
            darkInRow += c.lightness() < 128;
        }
        // Lines of text, never a dark band.
        QVERIFY2(darkInRow < page.width() / 3, qPrintable(QString::number(y)));
        dark += darkInRow;
    }
    QVERIFY(dark > 100);

    // A cancelled print dialog prints nothing and still empties the staging control.
    m_window->dialogs.pdfPath.clear();
    files()->FilePrint();
    QCOMPARE(m_window->dialogs.printed, 2);
    QCOMPARE(m_form->RichEdit4->Text(), QString());
}

void tst_ScriptFiles::realDialogFilters()
{
    // The real open dialog shows the filter texts as written and reports the choice.
    const QString path = m_window->dir.file(QStringLiteral("plain"));
    writeFile(path, "no dot in this name");
    m_window->dialogs.realFileDialogs = true;
    files()->OpenFilterIndex = 3;
    QStringList shown;
    QTimer::singleShot(0, this, [&] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        auto *combo = dialog->findChild<QComboBox *>(QStringLiteral("fileTypeCombo"));
        QVERIFY(combo);
        for (int i = 0; i < combo->count(); ++i)
            shown << combo->itemText(i);
        QCOMPARE(combo->currentIndex(), 2);
        combo->setCurrentIndex(0);
        dialog->selectFile(path);
        QMetaObject::invokeMethod(dialog, "accept");
    });
    files()->Insert2Click();
    QCOMPARE(shown, QStringList({"All FIles(*.*)", "Text Files (*.TXT)", "ZNQ Files", "Rich Text Files(*.RTF)"}));
    QCOMPARE(files()->OpenFilterIndex, 1);
    QCOMPARE(edit()->Text(), QStringLiteral("no dot in this name"));
}

void tst_ScriptFiles::saveOfFormattedPlainText_data()
{
    QTest::addColumn<bool>("bold");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("saveAsAccepted");
    QTest::addColumn<QByteArray>("textFile");
    QTest::addColumn<bool>("richTextWritten");
    const QByteArray old = "Plain script\r\n";
    const QByteArray plain = "Plain new script\r\n";
    QTest::newRow("no new formatting: no question") << false << -1 << false << plain << false;
    QTest::newRow("bold, yes") << true << int(QMessageBox::Yes) << true << old << true;
    QTest::newRow("bold, yes, Save As cancelled") << true << int(QMessageBox::Yes) << false << old << false;
    QTest::newRow("bold, no") << true << int(QMessageBox::No) << false << plain << false;
    QTest::newRow("bold, cancel") << true << int(QMessageBox::Cancel) << false << old << false;
}

void tst_ScriptFiles::saveOfFormattedPlainText()
{
    QFETCH(bool, bold);
    QFETCH(int, answer);
    QFETCH(bool, saveAsAccepted);
    QFETCH(QByteArray, textFile);
    QFETCH(bool, richTextWritten);
    const QString path = m_window->dir.file(QStringLiteral("notes.txt"));
    const QString rtf = m_window->dir.file(QStringLiteral("notes.rtf"));
    writeFile(path, "Plain script\r\n");
    m_window->dialogs.files = {chosen(path, 2)};
    files()->FileOpen();
    edit()->SetSelection(6, 0);
    edit()->SetSelText(QStringLiteral("new "));
    if (bold) {
        edit()->SetSelection(6, 3);
        edit()->SetSelBold(true);
    }
    if (answer >= 0)
        m_window->dialogs.answers = {QMessageBox::StandardButton(answer)};
    if (saveAsAccepted)
        m_window->dialogs.files = {chosen(rtf, 2)};
    m_window->dialogs.filterIndexShown.clear();
    m_form->Action(QStringLiteral("FileSaveItem"))->trigger();

    QCOMPARE(m_window->dialogs.errors, QStringList());
    QCOMPARE(m_window->dialogs.questions,
             answer < 0 ? QStringList()
                        : QStringList{"notes.txt holds formatting that a plain-text file cannot keep. "
                                      "Save as rich text instead?"});
    QCOMPARE(readFile(path), textFile);
    QCOMPARE(readFile(rtf).startsWith("{\\rtf1"), richTextWritten);
    // Yes goes on to Save As, offering rich text.
    QCOMPARE(m_window->dialogs.filterIndexShown, answer == QMessageBox::Yes ? QList<int>{1} : QList<int>());
    const bool saved = textFile != "Plain script\r\n" || richTextWritten;
    QCOMPARE(edit()->Modified(), !saved);
    QCOMPARE(panel(0), saved ? QStringLiteral(" Saved..") : QStringLiteral(" Not saved.."));
    QCOMPARE(files()->ScriptFileName, richTextWritten ? rtf : path);

    // The operator is asked once: after No, later saves stay plain text without asking.
    if (answer == QMessageBox::No) {
        edit()->SetSelection(0, 5);
        edit()->SetSelItalic(true);
        m_form->Action(QStringLiteral("FileSaveItem"))->trigger();
        QCOMPARE(m_window->dialogs.questions.size(), 1);
        QCOMPARE(readFile(path), textFile);
    }
}

void tst_ScriptFiles::saveAsTypedExtension_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("filter");
    QTest::addColumn<bool>("plain");
    for (int filter = 1; filter <= 3; ++filter) {
        QTest::addRow(".rtf, filter %d", filter) << "script.rtf" << filter << false;
        QTest::addRow(".RTF, filter %d", filter) << "script.RTF" << filter << false;
        QTest::addRow(".txt, filter %d", filter) << "script.txt" << filter << true;
        QTest::addRow(".Txt, filter %d", filter) << "script.Txt" << filter << true;
        // Any other extension leaves it to the filter.
        QTest::addRow(".doc, filter %d", filter) << "script.doc" << filter << (filter != 1);
    }
}

void tst_ScriptFiles::saveAsTypedExtension()
{
    QFETCH(QString, typed);
    QFETCH(int, filter);
    QFETCH(bool, plain);
    edit()->setPlainText(QStringLiteral("Typed name"));
    const QString path = m_window->dir.file(typed);
    m_window->dialogs.files = {chosen(path, filter)};
    files()->FileSaveAs();
    QCOMPARE(m_window->dialogs.errors, QStringList());
    QCOMPARE(readFile(path).startsWith(plain ? QByteArray("Typed name") : QByteArray("{\\rtf1")), true);
    // Save goes on in that form.
    edit()->SetSelection(0, 0);
    edit()->SetSelText(QStringLiteral("Re"));
    files()->FileSave();
    QCOMPARE(readFile(path).startsWith(plain ? QByteArray("ReTyped name") : QByteArray("{\\rtf1")), true);
    QCOMPARE(m_window->dialogs.questions, QStringList());
}

void tst_ScriptFiles::statusAfterFailure_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("status");
    QTest::newRow("save into a folder that is not there") << "save"
                                                          << " Not saved..";
    QTest::newRow("save as into a folder that is not there") << "save as"
                                                             << " Not saved..";
    QTest::newRow("open of a file that is not there") << "open"
                                                      << " Not loaded..";
    QTest::newRow("open of a picture") << "open binary"
                                       << " Not loaded..";
    QTest::newRow("insert of a file that is not there") << "insert"
                                                        << " Not inserted..";
}

void tst_ScriptFiles::statusAfterFailure()
{
    QFETCH(QString, command);
    QFETCH(QString, status);
    const QString missing = m_window->dir.file(QStringLiteral("gone/script.rtf"));
    const QString binary = m_window->dir.file(QStringLiteral("picture.png"));
    writeFile(binary, QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16));
    edit()->setPlainText(QStringLiteral("kept"));
    edit()->SetModified(true);
    if (command == QLatin1String("save")) {
        files()->SetScriptFileName(missing);
        m_form->Action(QStringLiteral("FileSaveItem"))->trigger();
    } else if (command == QLatin1String("save as")) {
        m_window->dialogs.files = {chosen(missing, 1)};
        m_form->Action(QStringLiteral("FileSaveItem"))->trigger();
    } else {
        m_window->dialogs.answers = {QMessageBox::No};
        m_window->dialogs.files = {chosen(command == QLatin1String("open binary") ? binary : missing, 1)};
        m_form->Action(command == QLatin1String("insert") ? QStringLiteral("Insert2") : QStringLiteral("FileOpenItem"))
            ->trigger();
    }
    QCOMPARE(m_window->dialogs.errors.size(), 1);
    QCOMPARE(panel(0), status);
    QCOMPARE(edit()->Text(), QStringLiteral("kept"));
    m_window->dialogs.errors.clear();
}

void tst_ScriptFiles::insertEmptyFile_data()
{
    QTest::addColumn<QString>("clipboard");
    QTest::newRow("clipboard with text") << QStringLiteral("keep me");
    QTest::newRow("empty clipboard") << QString();
}

// An empty file inserts nothing: not the clipboard's text, and the clipboard stays as it was.
void tst_ScriptFiles::insertEmptyFile()
{
    QFETCH(QString, clipboard);
    if (clipboard.isEmpty())
        QGuiApplication::clipboard()->clear();
    else
        QGuiApplication::clipboard()->setText(clipboard);
    edit()->setPlainText(QStringLiteral("keep me"));
    edit()->SetModified(false);
    edit()->SetSelection(7, 0);
    const QString path = m_window->dir.file(QStringLiteral("empty.txt"));
    writeFile(path, QByteArray());
    for (int filter : {1, 2, 3, 4}) {
        m_window->dialogs.files = {chosen(path, filter)};
        m_form->Action(QStringLiteral("Insert2"))->trigger();
        QCOMPARE(m_window->dialogs.errors, QStringList());
        QCOMPARE(edit()->Text(), QStringLiteral("keep me"));
        QCOMPARE(QGuiApplication::clipboard()->text(), clipboard);
    }
    QVERIFY(!edit()->Modified());
    QCOMPARE(panel(0), QStringLiteral(" ready.."));
}

void tst_ScriptFiles::recentFiles()
{
    const QString settings = m_window->dir.file(QStringLiteral("CORVANTA.INI"));
    const QByteArray defaults = readFile(settings);
    QVERIFY(!defaults.isEmpty());
    QVERIFY(!defaults.toUpper().contains("[RECENT]"));
    QStringList paths;
    for (int i = 0; i < 10; ++i) {
        paths << m_window->dir.file(QStringLiteral("script%1.txt").arg(i));
        writeFile(paths.last(), QByteArray("script ") + QByteArray::number(i));
    }
    for (int i = 0; i < 9; ++i) {
        m_window->dialogs.files = {chosen(paths[i], 1)};
        files()->FileOpen();
    }
    // A saved file counts too; a file used again moves to the top; eight at most.
    m_window->dialogs.files = {chosen(paths[9], 1)};
    files()->FileSaveAs();
    m_window->dialogs.files = {chosen(paths[3], 1)};
    files()->FileOpen();
    const QStringList expected{paths[3], paths[9], paths[8], paths[7], paths[6], paths[5], paths[4], paths[2]};
    QCOMPARE(m_form->RecentFileList(), expected);
    for (int i = 0; i < 8; ++i) {
        QAction *item = m_form->Action(QStringLiteral("RecentFile%1").arg(i + 1));
        QVERIFY(item->isVisible());
        QVERIFY2(item->text().endsWith(expected[i]), qPrintable(item->text()));
    }
    // Kept in the settings file's own section, every other line as it was.
    const QByteArray written = readFile(settings);
    QVERIFY(written.startsWith(defaults));
    QVERIFY(written.contains("[RECENT]"));
    QVERIFY(written.contains("FILE1=" + paths[3].toLocal8Bit()));
    QVERIFY(!written.contains(paths[1].toLocal8Bit()));

    // Choosing an item opens its file; the list comes back on the next start.
    m_form->Action(QStringLiteral("RecentFile5"))->trigger();
    QCOMPARE(edit()->Text(), QStringLiteral("script 6"));
    QCOMPARE(files()->ScriptFileName, paths[6]);
    m_form = &m_window->open();
    QCOMPARE(m_form->RecentFileList().value(0), paths[6]);
    QCOMPARE(m_form->RecentFileList().size(), 8);
    QCOMPARE(m_window->dialogs.errors, QStringList());
}

void tst_ScriptFiles::recentFileGone()
{
    const QString kept = m_window->dir.file(QStringLiteral("kept.txt"));
    const QString gone = m_window->dir.file(QStringLiteral("gone.txt"));
    writeFile(kept, "kept script");
    writeFile(gone, "gone script");
    m_window->dialogs.files = {chosen(gone, 1), chosen(kept, 1)};
    files()->FileOpen();
    files()->FileOpen();
    QVERIFY(QFile::remove(gone));
    edit()->SetModified(true);
    m_form->Action(QStringLiteral("RecentFile2"))->trigger();
    // Nothing was asked: there is nothing to open.
    QCOMPARE(m_window->dialogs.questions, QStringList());
    QCOMPARE(m_window->dialogs.messages,
             QStringList{QStringLiteral("%1 is no longer there. It has been taken off the recent files.").arg(gone)});
    QCOMPARE(m_form->RecentFileList(), QStringList{kept});
    QVERIFY(!m_form->Action(QStringLiteral("RecentFile2"))->isVisible());
    QCOMPARE(edit()->Text(), QStringLiteral("kept script"));
    QVERIFY(edit()->Modified());
    QVERIFY(!readFile(m_window->dir.file(QStringLiteral("CORVANTA.INI"))).contains("gone.txt"));
    edit()->SetModified(false);
}

void tst_ScriptFiles::droppedFileOpens_data()
{
    QTest::addColumn<bool>("onEditor");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("opened");
    QTest::newRow("on the editor") << true << -1 << true;
    QTest::newRow("on the window") << false << -1 << true;
    QTest::newRow("unsaved, no") << true << int(QMessageBox::No) << true;
    QTest::newRow("unsaved, cancel") << true << int(QMessageBox::Cancel) << false;
}

void tst_ScriptFiles::droppedFileOpens()
{
    QFETCH(bool, onEditor);
    QFETCH(int, answer);
    QFETCH(bool, opened);
    const QString path = m_window->dir.file(QStringLiteral("dropped.rtf"));
    writeFile(path, RedStart);
    edit()->setPlainText(QStringLiteral("before"));
    edit()->SetModified(answer >= 0);
    if (answer >= 0)
        m_window->dialogs.answers = {QMessageBox::StandardButton(answer)};

    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(path)});
    QWidget *target = onEditor ? edit()->viewport() : static_cast<QWidget *>(m_form);
    const QPoint at = onEditor ? QPoint(20, 20) : QPoint(5, m_form->height() / 2);
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &drop);

    QCOMPARE(m_window->dialogs.errors, QStringList());
    QCOMPARE(m_window->dialogs.questions.size(), answer >= 0 ? 1 : 0);
    QCOMPARE(edit()->Text(), opened ? QStringLiteral("Red start\nand more") : QStringLiteral("before"));
    QCOMPARE(files()->ScriptFileName, opened ? path : QStringLiteral("Untitled"));
    QCOMPARE(edit()->Modified(), !opened);
    // As after Open: red first character, black background, the editor has the focus.
    if (opened) {
        QCOMPARE(edit()->BackgroundColor(), 0);
        QCOMPARE(m_form->RecentFileList().value(0), path);
    }
    edit()->SetModified(false);
}

QTEST_MAIN(tst_ScriptFiles)
#include "tst_scriptfiles.moc"
