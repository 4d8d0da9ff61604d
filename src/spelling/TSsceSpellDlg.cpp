#include "spelling/TSsceSpellDlg.h"

#include "spelling/SpellEngine.h"

#include <QWidget>

TSsceSpellDlg::TSsceSpellDlg(QObject *owner, SpellEngine *engine)
    : m_owner(owner), m_engine(engine)
{
    setObjectName(QStringLiteral("SsceSpellDlg1"));
}

void TSsceSpellDlg::SetCheckTarget(QTextEdit *control)
{
    m_target = control;
    m_targetKind = CheckTarget::Control;
}

bool TSsceSpellDlg::RunCheck()
{
    auto *ownerWidget = qobject_cast<QWidget *>(m_owner.data());
    QWidget *parent = ownerWidget && ownerWidget->isWindow() ? ownerWidget : nullptr;
    if (m_targetKind != CheckTarget::Control)
        return false;
    m_status = m_engine->CheckCtrlDlg(parent, m_target, CheckSelTextOnly);
    return m_status >= 0;
}

void TSsceSpellDlg::ResetLexicons()
{
    m_engine->ResetLex();
}

SpellEngineOptions &TSsceSpellDlg::options() const
{
    return m_engine->Options();
}

void TSsceSpellDlg::SetDebugFile(const QString &file)
{
    m_debugFile = file;
    options().DebugFile = file;
}

bool TSsceSpellDlg::AutoCorrect() const { return options().AutoCorrect; }
void TSsceSpellDlg::SetAutoCorrect(bool on) { options().AutoCorrect = on; }
qint32 TSsceSpellDlg::ErrorsDetected() const { return m_engine->Statistics().ErrorsDetected; }
QString TSsceSpellDlg::HelpFile() const { return options().HelpFile; }
void TSsceSpellDlg::SetHelpFile(const QString &file) { options().HelpFile = file; }
QString TSsceSpellDlg::MainLexFiles() const { return options().MainLexFiles; }
void TSsceSpellDlg::SetMainLexFiles(const QString &files) { options().MainLexFiles = files; }
QString TSsceSpellDlg::MainLexPath() const { return options().MainLexPath; }
void TSsceSpellDlg::SetMainLexPath(const QString &path) { options().MainLexPath = path; }
qint32 TSsceSpellDlg::MinSuggestDepth() const { return options().MinSuggestDepth; }
void TSsceSpellDlg::SetMinSuggestDepth(qint32 depth) { options().MinSuggestDepth = depth; }
QString TSsceSpellDlg::RegTreeName() const { return options().RegTreeName; }
void TSsceSpellDlg::SetRegTreeName(const QString &name) { options().RegTreeName = name; }
QString TSsceSpellDlg::StringTableName() const { return options().StringTableName; }
void TSsceSpellDlg::SetStringTableName(const QString &name) { options().StringTableName = name; }
QString TSsceSpellDlg::UserLexFiles() const { return options().UserLexFiles; }
void TSsceSpellDlg::SetUserLexFiles(const QString &files) { options().UserLexFiles = files; }
QString TSsceSpellDlg::UserLexPath() const { return options().UserLexPath; }
void TSsceSpellDlg::SetUserLexPath(const QString &path) { options().UserLexPath = path; }
QStringList TSsceSpellDlg::LexSearchPath() const { return options().LexSearchPath; }
void TSsceSpellDlg::SetLexSearchPath(const QStringList &folders) { options().LexSearchPath = folders; }
QString TSsceSpellDlg::Version() const { return m_engine->Version(); }
qint32 TSsceSpellDlg::WordsChanged() const { return m_engine->Statistics().WordsChanged; }
qint32 TSsceSpellDlg::WordsChecked() const { return m_engine->Statistics().WordsChecked; }
