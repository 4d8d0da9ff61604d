#include "editor/ScriptFiles.h"

#include "controls/ClientArea.h"
#include "controls/Dialogs.h"
#include "controls/MainControls.h"
#include "controls/TRichEdit.h"
#include "controls/TStatusBar.h"
#include "controls/WidgetColours.h"
#include "core/CorvantaError.h"
#include "core/RegularFile.h"
#include "editor/Formatting.h"
#include "editor/MarkerSearchState.h"
#include "editor/Tsaving.h"
#include "formats/RtfReader.h"
#include "formats/ScriptDocumentIO.h"
#include "formats/ScriptTransfer.h"
#include "formats/ZnqImport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QMainWindow>
#include <QAbstractTextDocumentLayout>
#include <QPainter>
#include <QPrinter>
#include <QTextFrame>
#include <QScopeGuard>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <functional>
#include <memory>

namespace {

const QString Untitled = ScriptDocument::UntitledName();

enum OpenFilter { AllFiles = 1, TextFiles = 2, ZnqFiles = 3, RichTextFiles = 4 };
enum SaveFilter { RtfSave = 1, TextSave = 2, IniSave = 3 };

// Whatever filter chose it, a file that says it is RTF is read as RTF.
// Read as a regular file only: opening a pipe here would hold the window.
bool startsAsRtf(const QString &path)
{
    QByteArray bytes;
    return RegularFile::read(path, bytes) == RegularFile::Outcome::Read && RtfReader::looksLikeRtf(bytes.left(64));
}

// A dialog filter: the text the operator sees, then the patterns that select the
// files. "*.*" means every file, as it does on Windows; extensions in either case.
QString filter(const QString &text, const QString &patterns)
{
    return text + QStringLiteral(" (") + patterns + QLatin1Char(')');
}

qint32 textColourOf(const QWidget *widget)
{
    return TRichEdit::FromQColor(widget->palette().color(QPalette::Text));
}

// Rewrites the character format of every run of the document.
void rewriteFormats(QTextDocument *document, const std::function<void(QTextCharFormat &)> &change)
{
    QTextCursor cursor(document);
    for (QTextBlock b = document->begin(); b.isValid(); b = b.next()) {
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            QTextCharFormat format = fragment.charFormat();
            change(format);
            cursor.setPosition(fragment.position());
            cursor.setPosition(fragment.position() + fragment.length(), QTextCursor::KeepAnchor);
            cursor.setCharFormat(format);
        }
    }
}

// Characters without a colour of their own take the control's text colour.
void setAutomaticColour(QTextDocument *document)
{
    rewriteFormats(document, [](QTextCharFormat &format) { format.clearForeground(); });
}

// Paper is white: shading of paragraphs and runs would hide the black text.
void clearBackgrounds(QTextDocument *document)
{
    QTextCursor cursor(document);
    for (QTextBlock b = document->begin(); b.isValid(); b = b.next()) {
        QTextBlockFormat block = b.blockFormat();
        block.clearBackground();
        cursor.setPosition(b.position());
        cursor.setBlockFormat(block);
    }
    rewriteFormats(document, [](QTextCharFormat &format) { format.clearBackground(); });
}

// Prints the text alone: pages with 2 cm margins and no page numbers. A copy is laid out
// in pages at the printer's resolution.
void printPages(const QTextDocument &source, QPrinter *printer)
{
    QPainter painter(printer);
    if (!painter.isActive())
        return;
    const std::unique_ptr<QTextDocument> doc(source.clone());
    doc->documentLayout()->setPaintDevice(painter.device());
    QTextFrameFormat frame = doc->rootFrame()->frameFormat();
    // Margins are given at the screen's resolution; the layout scales them to the printer's.
    const int horizontal = int(2 / 2.54 * 96);
    const int vertical = int(2 / 2.54 * 96);
    frame.setLeftMargin(horizontal);
    frame.setRightMargin(horizontal);
    frame.setTopMargin(vertical);
    frame.setBottomMargin(vertical);
    doc->rootFrame()->setFrameFormat(frame);
    const QRectF body(0, 0, printer->width(), printer->height());
    doc->setPageSize(body.size());

    const int pages = doc->pageCount();
    for (int page = 0; page < pages; ++page) {
        if (page > 0 && !printer->newPage())
            return;
        painter.save();
        painter.translate(0, -page * body.height());
        const QRectF view(0, page * body.height(), body.width(), body.height());
        painter.setClipRect(view);
        QAbstractTextDocumentLayout::PaintContext context;
        context.clip = view;
        context.palette.setColor(QPalette::Text, Qt::black);
        doc->documentLayout()->draw(&painter, context);
        painter.restore();
    }
}

// Progress of a long load or insert in the status bar: the bar shows once the command has
// taken half a second, at the step it has reached, and goes when the command ends.
class Progress
{
public:
    explicit Progress(TStatusBar *bar) : m_bar(bar) { m_clock.start(); }
    ~Progress() { m_bar->HideProgress(); }
    Progress(const Progress &) = delete;
    Progress &operator=(const Progress &) = delete;

    void at(int percent)
    {
        if (m_clock.elapsed() >= 500)
            m_bar->ShowProgress(percent);
    }

private:
    TStatusBar *m_bar;
    QElapsedTimer m_clock;
};

} // namespace

QStringList ScriptFiles::OpenFilters()
{
    return {filter(QStringLiteral("All FIles(*.*)"), QStringLiteral("*")),
            filter(QStringLiteral("Text Files (*.TXT)"), QStringLiteral("*.TXT *.txt")),
            filter(QStringLiteral("ZNQ Files"), QStringLiteral("*")),
            filter(QStringLiteral("Rich Text Files(*.RTF)"), QStringLiteral("*.RTF *.rtf"))};
}

QStringList ScriptFiles::SaveFilters()
{
    return {filter(QStringLiteral("Rich Text Files (*.RTF)"), QStringLiteral("*.RTF *.rtf")),
            filter(QStringLiteral("Text Files (*.TXT)"), QStringLiteral("*.TXT *.txt")),
            filter(QStringLiteral("Config Files (*.INI)"), QStringLiteral("*.INI *.ini"))};
}

ScriptFiles::ScriptFiles(MainControls &controls, Formatting &formatting)
    : Script(controls.RichEdit1->document()), ScriptFileName(Script.FileName()), m_c(controls), m_formatting(formatting)
{ }

void ScriptFiles::status(const QString &text)
{
    m_c.StatusBar->SetPanelText(0, text);
    // Shown at once: a long load would otherwise hide it until it ended.
    m_c.StatusBar->repaint();
}

QString ScriptFiles::dialogFolder() const
{
    if (ScriptFileName != Untitled)
        return QFileInfo(ScriptFileName).absolutePath();
    return DialogFolder;
}

QWidget *ScriptFiles::dialogParent() const
{
    return m_c.Form ? static_cast<QWidget *>(m_c.Form) : m_c.Client;
}

void ScriptFiles::SetScriptFileName(const QString &path)
{
    Script.SetFileName(path);
    m_c.StatusBar->SetPanelText(2, QFileInfo(path).fileName());
}

bool ScriptFiles::ConfirmSaveChanges()
{
    if (!Script.Modified())
        return true;
    const auto answer
        = (*m_c.dialogs)
              ->confirm(dialogParent(),
                        QStringLiteral("Save changes to %1?").arg(QDir::toNativeSeparators(ScriptFileName)),
                        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    if (answer == QMessageBox::Cancel)
        return false;
    // A save the operator cancels (an untitled script's Save As) cancels the command too:
    // going on would throw the script away.
    if (answer == QMessageBox::Yes)
        return FileSave();
    return true;
}

// ---- New ----

void ScriptFiles::FileNew()
{
    if (!ConfirmSaveChanges())
        return;
    TRichEdit *edit = m_c.RichEdit1;
    SetScriptFileName(Untitled);
    Script.SetForm(ScriptDocument::Form::RichText);
    edit->Clear();

    edit->SetBackgroundColor(0);
    QTextCharFormat typing;
    typing.setForeground(TRichEdit::ToQColor(0xFFFFFF));
    typing.setFontFamilies({QStringLiteral("Arial")});
    typing.setFontPointSize(60);
    typing.setFontWeight(QFont::Normal);
    typing.setFontItalic(false);
    typing.setFontUnderline(false);
    // The empty paragraph keeps it too, so a click into the editor does not lose it.
    QTextCursor(edit->document()).setBlockCharFormat(typing);
    edit->setCurrentCharFormat(typing);
    edit->document()->clearUndoRedoStacks();
    edit->SetModified(false);
    m_formatting.ShowSelectionFormat();

    SetScriptBackground(m_c, edit->BackgroundColor());
    SetPaletteColour(m_c.RichEdit2, QPalette::Text, textColourOf(edit));
}

// ---- Open ----

void ScriptFiles::FileOpen()
{
    if (!ConfirmSaveChanges())
        return;
    status(QStringLiteral(" Select a file.."));
    const FileChoice choice = (*m_c.dialogs)->openFile(dialogParent(), dialogFolder(), OpenFilters(), OpenFilterIndex);
    if (choice.accepted)
        OpenFilterIndex = choice.filterIndex;
    openChosen(choice.accepted, choice.path, choice.filterIndex);
}

void ScriptFiles::OpenNamedFile(const QString &path)
{
    if (!ConfirmSaveChanges())
        return;
    openChosen(true, path, AllFiles);
}

void ScriptFiles::openChosen(bool accepted, const QString &path, int filterIndex)
{
    // The colours are worked out again even without a new file; an unsaved script
    // must keep its modified flag then, or a later Exit would drop it unasked.
    const bool wasModified = Script.Modified();
    QString notice;
    if (accepted) {
        try {
            notice = loadChosenFile(path, filterIndex);
        } catch (...) {
            status(QStringLiteral(" Not loaded.."));
            throw;
        }
    }
    TakeColoursFromFirstCharacter();
    status(QStringLiteral(" Loading.."));
    resetPositions();
    Script.SetModified(accepted ? false : wasModified);
    status(QStringLiteral(" Ready.."));
    if (accepted && OnFileUsed)
        OnFileUsed(path);
    showNotice(notice);
}

void ScriptFiles::showNotice(const QString &notice)
{
    if (!notice.isEmpty())
        (*m_c.dialogs)->information(dialogParent(), notice);
}

void ScriptFiles::TakeLoadedScript(const QString &path, bool richText)
{
    SetScriptFileName(path);
    Script.SetForm(richText ? ScriptDocument::Form::RichText : ScriptDocument::Form::PlainText);
}

QString ScriptFiles::loadChosenFile(const QString &path, int filterIndex)
{
    TRichEdit *edit = m_c.RichEdit1;
    // The script is laid out once, with its one face and size.
    edit->HoldLayout(true);
    Progress progress(m_c.StatusBar);
    auto layOut = qScopeGuard([edit, &progress] {
        progress.at(80);
        edit->HoldLayout(false);
    });
    status(QStringLiteral(" Loading.."));
    // The form changes only once the file has been read: a failed load keeps the
    // script's, or the next Save would write a formatted script as plain text.
    ScriptDocument::Form form = ScriptDocument::Form::Imported;
    QString notice;
    if (filterIndex == ZnqFiles && !startsAsRtf(path)) {
        edit->setPlainText(ZnqImport::importFile(path));
    } else {
        edit->PlainText = false;
        form = edit->LoadFromFile(path, &notice) ? ScriptDocument::Form::RichText : ScriptDocument::Form::PlainText;
    }
    progress.at(50);
    SetScriptFileName(path);
    Script.SetForm(form);
    edit->setFocus();
    edit->SetModified(false);

    // One face and one size for the whole script: those of its start.
    edit->SetSelection(0, 0);
    const TextAttributes start = edit->SelAttributes();
    edit->SelectAll();
    edit->SetSelFontName(start.Name);
    edit->SetSelSize(start.Size);
    return notice;
}

void ScriptFiles::TakeColoursFromFirstCharacter()
{
    TRichEdit *edit = m_c.RichEdit1;
    edit->SetSelection(0, 1);
    if (edit->SelAttributes().Color < 0)
        edit->SetSelColor(0);
    const qint32 colour = edit->SelAttributes().Color;
    const qint32 background = colour != 0 ? 0 : 0xFFFFFF;
    SetScriptBackground(m_c, background);
    // Text without a colour of its own must stay readable on the new background.
    const qint32 automatic = background == 0 ? 0xFFFFFF : 0;
    SetPaletteColour(edit, QPalette::Text, automatic);
    SetPaletteColour(m_c.RichEdit2, QPalette::Text, automatic);
    // The arrow takes the text's colour here, not the contrast of the background.
    SetPaletteColour(m_c.Label1, QPalette::WindowText, colour);
    edit->SetSelection(edit->SelStart(), 0);
}

void ScriptFiles::resetPositions()
{
    TRichEdit *edit = m_c.RichEdit1;
    if (OnScriptLoaded)
        OnScriptLoaded(edit->GetLineCount());
    m_c.markers->MarkerPos = 0;
    edit->SetSelection(0, 0);
    edit->PlainText = false;
    m_c.RichEdit2->PlainText = false;
}

// ---- Save, Save As ----

bool ScriptFiles::FileSave()
{
    status(QStringLiteral(" Saving.."));
    // Whatever ends the command before the file is written, the status says so.
    auto notSaved = qScopeGuard([this] { status(QStringLiteral(" Not saved..")); });
    // An imported script is never written over the file it came from, which is in
    // another program's form.
    if (Script.Untitled() || Script.ReadForm() == ScriptDocument::Form::Imported) {
        if (!saveAs(SaveFilterIndex))
            return false;
    } else {
        const SaveChoice choice = saveChoice();
        if (choice == SaveChoice::Cancelled)
            return false;
        if (choice == SaveChoice::AsRichText) {
            if (!saveAs(RtfSave))
                return false;
        } else {
            write(ScriptFileName, Script.Plain());
            Script.SetModified(false);
        }
    }
    notSaved.dismiss();
    if (SavingWindow) {
        SavingWindow->Editor = m_c.RichEdit1;
        SavingWindow->show();
    }
    status(QStringLiteral(" Saved.."));
    Script.SetModified(false);
    if (OnFileUsed)
        OnFileUsed(ScriptFileName);
    return true;
}

// A script read from plain text is written as plain text, unless it now holds formatting
// that plain text would drop: then the operator chooses, once for this file.
ScriptFiles::SaveChoice ScriptFiles::saveChoice()
{
    if (!Script.Plain() || Script.PlainTextChosen()
        || !ScriptDocument::HoldsFormatting(*Script.Document(), textColourOf(m_c.RichEdit1)))
        return SaveChoice::AsRead;
    const auto answer
        = (*m_c.dialogs)
              ->confirm(
                  dialogParent(),
                  QStringLiteral("%1 holds formatting that a plain-text file cannot keep. Save as rich text instead?")
                      .arg(QFileInfo(ScriptFileName).fileName()),
                  QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    if (answer == QMessageBox::Yes)
        return SaveChoice::AsRichText;
    if (answer != QMessageBox::No)
        return SaveChoice::Cancelled;
    Script.ChoosePlainText();
    return SaveChoice::AsRead;
}

void ScriptFiles::write(const QString &path, bool plainText)
{
    ScriptDocumentIO::save(Script.Document(), path, plainText);
}

void ScriptFiles::FileSaveAs()
{
    if (saveAs(SaveFilterIndex) && OnFileUsed)
        OnFileUsed(ScriptFileName);
}

bool ScriptFiles::saveAs(int proposedFilter)
{
    const FileChoice choice
        = (*m_c.dialogs)
              ->saveFile(dialogParent(), dialogFolder(), SaveFilters(), proposedFilter, QStringLiteral("RTF"));
    if (!choice.accepted)
        return false;
    SaveFilterIndex = choice.filterIndex;
    static const char *const extensions[] = {".RTF", ".TXT", ".INI"};
    const int index = std::clamp(choice.filterIndex, 1, 3);
    QString path = choice.path;
    if (!path.contains(QLatin1Char('.')))
        path += QLatin1String(extensions[index - 1]);
    // An extension the operator typed says what the file is, whatever filter is showing.
    bool plain = index != RtfSave;
    const QString suffix = QFileInfo(path).suffix();
    if (suffix.compare(QLatin1String("rtf"), Qt::CaseInsensitive) == 0)
        plain = false;
    else if (suffix.compare(QLatin1String("txt"), Qt::CaseInsensitive) == 0)
        plain = true;

    if (QFileInfo::exists(path)) {
        const auto answer
            = (*m_c.dialogs)
                  ->confirm(dialogParent(), QStringLiteral("OK to overwrite %1").arg(QDir::toNativeSeparators(path)),
                            QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        if (answer != QMessageBox::Yes)
            return false;
    }
    write(path, plain);
    SetScriptFileName(path);
    Script.SetForm(plain ? ScriptDocument::Form::PlainText : ScriptDocument::Form::RichText);
    // Plain text chosen by name keeps the script plain without asking again.
    if (plain)
        Script.ChoosePlainText();
    Script.SetModified(false);
    return true;
}

// ---- Insert ----

void ScriptFiles::Insert2Click()
{
    TRichEdit *edit = m_c.RichEdit1;
    const int line = edit->LineFromChar(-1);
    const FileChoice choice = (*m_c.dialogs)->openFile(dialogParent(), dialogFolder(), OpenFilters(), OpenFilterIndex);
    if (!choice.accepted)
        return;
    OpenFilterIndex = choice.filterIndex;
    // The filter says how to read the inserted file; the script keeps its own form,
    // so that inserting a text file does not make the next Save drop all formatting.
    status(QStringLiteral(" Inserting.."));
    QString notice;
    try {
        notice = insertIntoEditor(choice.path, choice.filterIndex);
    } catch (...) {
        status(QStringLiteral(" Not inserted.."));
        throw;
    }

    edit->SetSelection(edit->LineIndex(line), 0);
    status(QStringLiteral(" ready.."));
    showNotice(notice);
}

QString ScriptFiles::insertIntoEditor(const QString &path, int filterIndex)
{
    TRichEdit *edit = m_c.RichEdit1;
    TRichEdit *staging = m_c.RichEdit4;
    // Nothing is shown in the staging control: it is never laid out, and each change of
    // the inserted text's look would otherwise lay it out again. Emptied before the hold
    // ends, so that ending it lays out nothing.
    Progress progress(m_c.StatusBar);
    staging->HoldLayout(true);
    const auto released = qScopeGuard([staging] { staging->HoldLayout(false); });
    const auto emptied = qScopeGuard([staging] { staging->Clear(); });
    staging->Clear();
    QString notice;
    if (filterIndex == ZnqFiles) {
        staging->setPlainText(ZnqImport::importFile(path));
    } else {
        staging->PlainText = false;
        staging->LoadFromFile(path, &notice);
    }
    // An empty file inserts nothing, and the clipboard keeps what it held.
    if (staging->document()->isEmpty())
        return notice;
    edit->EnsureRoomFor(staging->document()->characterCount() - 1, edit->SelLength());
    progress.at(30);

    // The inserted text takes the look of the text at the caret.
    const TextAttributes caret = edit->SelAttributes();
    staging->SelectAll();
    staging->SetBackgroundColor(edit->BackgroundColor());
    if (caret.Color < 0)
        setAutomaticColour(staging->document());
    else
        staging->SetSelColor(caret.Color);
    staging->SetSelFontName(caret.Name);
    staging->SetSelSize(caret.Size);

    progress.at(45);
    staging->copy();
    progress.at(55);
    // The script is laid out once, with the inserted text in it.
    edit->HoldLayout(true);
    const auto layOut = qScopeGuard([edit, &progress] {
        progress.at(80);
        edit->HoldLayout(false);
    });
    edit->paste();
    return notice;
}

// ---- Print ----

void ScriptFiles::FilePrint()
{
    TRichEdit *edit = m_c.RichEdit1;
    TRichEdit *staging = m_c.RichEdit4;
    const auto emptied = qScopeGuard([staging] { staging->Clear(); });
    staging->resize(edit->width(), staging->height());
    ScriptTransfer::Copy(*edit->document(), *staging->document(), edit->PlainText);

    // Black 12-point text on white paper, whatever the screen shows.
    staging->SelectAll();
    staging->SetSelSize(12);
    staging->SetSelColor(0);
    staging->SetBackgroundColor(0xFFFFFF);
    clearBackgrounds(staging->document());
    const QFont base = staging->document()->defaultFont();
    staging->SetBaseFont(base.family(), 12, 0);

    QPrinter printer(QPrinter::HighResolution);
    // The dialog proposes its PDF file from the document name: a bare name gives a
    // file in the current folder, a whole path a folder that does not exist.
    printer.setDocName(QFileInfo(ScriptFileName).fileName());
    if (!(*m_c.dialogs)->print(dialogParent(), &printer))
        return;
    printer.setDocName(ScriptFileName);
    printPages(*staging->document(), &printer);
}
