#include "spelling/Spelling.h"

#include "controls/MainControls.h"
#include "controls/TRichEdit.h"
#include "core/DataFolders.h"
#include "spelling/SpellingEngine.h"
#include "spelling/SpellingHelp.h"
#include "spelling/TSsceSpellDlg.h"

#include <QDesktopServices>
#include <QDir>
#include <QMainWindow>
#include <QUrl>

Spelling::Spelling(MainControls &controls)
    : m_c(controls), m_engine(std::make_unique<SpellingEngine>(controls.dialogs))
{
    SsceSpellDlg1 = std::make_unique<TSsceSpellDlg>(m_c.Form, m_engine.get());
}

Spelling::~Spelling() = default;

void Spelling::ConfigureLexicons(const QString &userFolder, const QStringList &searchFolders)
{
    const QString folder = QDir(userFolder).absolutePath() + QLatin1Char('/');
    SsceSpellDlg1->SetMainLexPath(folder);
    SsceSpellDlg1->SetUserLexPath(folder);
    SsceSpellDlg1->SetLexSearchPath(searchFolders);
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
    // Only the program's own copy is handed to the desktop's opener: a folder of scripts
    // from elsewhere must not decide what is opened.
    const QString file = FindDataFile(HelpFile, ProgramDataFolders());
    if (!file.isEmpty() && QDesktopServices::openUrl(QUrl::fromLocalFile(file)))
        return;
    if (!m_helpWindow)
        m_helpWindow = new SpellingHelpWindow(m_c.Form);
    m_helpWindow->show();
    m_helpWindow->raise();
    m_helpWindow->activateWindow();
}
