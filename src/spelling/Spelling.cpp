#include "spelling/Spelling.h"

#include "controls/MainControls.h"
#include "controls/TRichEdit.h"
#include "spelling/SpellingEngine.h"
#include "spelling/SpellingHelp.h"
#include "spelling/TSsceSpellDlg.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QMainWindow>
#include <QUrl>

Spelling::Spelling(MainControls &controls)
    : m_c(controls), m_engine(std::make_unique<SpellingEngine>(controls.dialogs))
{
    SsceSpellDlg1 = std::make_unique<TSsceSpellDlg>(m_c.Form, m_engine.get());
}

Spelling::~Spelling() = default;

void Spelling::ConfigureLexicons(const QString &programFolder)
{
    const QString folder = QDir(programFolder).absolutePath() + QLatin1Char('/');
    SsceSpellDlg1->SetMainLexPath(folder);
    SsceSpellDlg1->SetUserLexPath(folder);
    SsceSpellDlg1->SetMainLexFiles(QStringLiteral("ssceam.tlx,ssceam2.clx"));
    SsceSpellDlg1->SetUserLexFiles(QStringLiteral("userdic.tlx,correct.tlx,html.tlx"));
}

void Spelling::Spell1Click()
{
    SsceSpellDlg1->SetCheckTarget(m_c.RichEdit1);
    SsceSpellDlg1->RunCheck();
    SsceSpellDlg1->ResetLexicons();
    m_c.RichEdit1->SetSelection(0, 0);
}

void Spelling::SpeedButton25Click()
{
    Spell1Click();
}

SpellingHelpWindow *Spelling::HelpWindow() const
{
    return m_helpWindow;
}

void Spelling::SpellCheck2Click()
{
    HelpFile = QStringLiteral("SSCE.HLP");
    // The bare name is looked for where a help viewer would: here, then beside the program.
    for (const QString &folder : {QDir::currentPath(), QCoreApplication::applicationDirPath()}) {
        const QFileInfo file(QDir(folder).filePath(HelpFile));
        if (file.isFile() && QDesktopServices::openUrl(QUrl::fromLocalFile(file.absoluteFilePath())))
            return;
    }
    if (!m_helpWindow)
        m_helpWindow = new SpellingHelpWindow(m_c.Form);
    m_helpWindow->show();
    m_helpWindow->raise();
    m_helpWindow->activateWindow();
}
