#pragma once

#include <QString>

struct MainControls;

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

private:
    MainControls &m_c;
};
