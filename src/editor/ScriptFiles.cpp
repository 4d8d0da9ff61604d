#include "editor/ScriptFiles.h"

#include "app/Dialogs.h"
#include "app/MainControls.h"
#include "app/TRichEdit.h"
#include "app/TStatusBar.h"

#include <QFileInfo>

void ScriptFiles::SetScriptFileName(const QString &path)
{
    ScriptFileName = path;
    m_c.StatusBar->SetPanelText(2, QFileInfo(path).fileName());
}

bool ScriptFiles::ConfirmSaveChanges()
{
    if (!m_c.RichEdit1->Modified())
        return true;
    const auto answer = (*m_c.dialogs)->confirm(
        m_c.Client,
        QStringLiteral("Save changes to %1?").arg(ScriptFileName),
        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    if (answer == QMessageBox::Cancel)
        return false;
    if (answer == QMessageBox::Yes)
        FileSave();
    return true;
}

void ScriptFiles::FileNew() {}
void ScriptFiles::FileOpen() {}
void ScriptFiles::FileSave() {}
void ScriptFiles::FileSaveAs() {}
void ScriptFiles::Insert2Click() {}
void ScriptFiles::FilePrint() {}
