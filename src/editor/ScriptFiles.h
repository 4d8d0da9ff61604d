#pragma once

#include "editor/ScriptDocument.h"

#include <QString>
#include <QStringList>

#include <functional>

class Formatting;
class QWidget;
class TRichEdit;
class Tsaving;
struct MainControls;

// The script as a document: its name, New, Open, Save, Save As, Insert and Print.
class ScriptFiles
{
public:
    ScriptFiles(MainControls &controls, Formatting &formatting);

    // The script the editor shows.
    ScriptDocument Script;
    // Its full path, or "Untitled"; set through SetScriptFileName.
    const QString &ScriptFileName;
    // Folder the open and save dialogs start in while the script has no name.
    QString DialogFolder;
    // The window shown after a save; none in tests that do not want it.
    Tsaving *SavingWindow = nullptr;
    // Called when a new script has been loaded, with its number of display lines.
    std::function<void(int lineCount)> OnScriptLoaded;
    // Called with the path of every file opened or saved, and of a file found missing.
    std::function<void(const QString &path)> OnFileUsed;
    std::function<void(const QString &path)> OnFileMissing;

    void SetScriptFileName(const QString &path);
    // False when the operator cancelled: the calling command stops.
    bool ConfirmSaveChanges();

    void FileNew();
    void FileOpen();
    // False when the operator cancelled the Save As it needed.
    bool FileSave();
    void FileSaveAs();
    void Insert2Click();
    void FilePrint();
    // Opens a file named by the recent-files list or dropped on the window, asking about
    // unsaved changes first. A file that is gone is reported and nothing else changes.
    void OpenNamedFile(const QString &path);
    // A script loaded by the start-up loader: its name and the form it was read in.
    void TakeLoadedScript(const QString &path, bool richText);

    // The open dialog's filters (1: all files, 2: text, 3: ZNQ, 4: RTF) and the save
    // dialog's (1: RTF, 2: text, 3: INI), as the dialogs take them.
    static QStringList OpenFilters();
    static QStringList SaveFilters();
    // The open dialog's filter, kept from one use to the next (Open and Insert share it).
    int OpenFilterIndex = 1;
    int SaveFilterIndex = 1;

    // The screen colours follow the script's first character, so its text is readable.
    void TakeColoursFromFirstCharacter();

private:
    bool saveAs(int proposedFilter);
    void write(const QString &path, bool plainText);
    enum class SaveChoice { AsRead, AsRichText, Cancelled };
    SaveChoice saveChoice();
    void openChosen(bool accepted, const QString &path, int filterIndex);
    // Both return the notice of a file read only in part, shown once the command is done.
    QString loadChosenFile(const QString &path, int filterIndex);
    void resetPositions();
    QString insertIntoEditor(const QString &path, int filterIndex);
    void showNotice(const QString &notice);
    void status(const QString &text);
    QString dialogFolder() const;
    QWidget *dialogParent() const;

    MainControls &m_c;
    Formatting &m_formatting;
};
