#pragma once

#include <QString>
#include <QStringList>

struct MainControls;
class QWidget;
class TRichEdit;

// The script as a document: its name, New, Open, Save, Save As, Insert and Print.
class ScriptFiles
{
public:
    explicit ScriptFiles(MainControls &controls) : m_c(controls) {}

    QString ScriptFileName = QStringLiteral("Untitled");

    void SetScriptFileName(const QString &path);
    // False when the operator cancelled: the calling command stops.
    bool ConfirmSaveChanges();

    void FileNew();
    void FileOpen();
    void FileSave();
    void FileSaveAs();
    void Insert2Click();
    void FilePrint();

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
    bool saveAs();
    void loadChosenFile(const QString &path, int filterIndex);
    void resetPositions();
    void insertIntoEditor(const QString &path, int filterIndex);
    void status(const QString &text);
    QString dialogFolder() const;
    QWidget *dialogParent() const;

    MainControls &m_c;
};
