#pragma once

#include "spelling/SpellEngineOptions.h"

#include <QObject>
#include <QPointer>
#include <QTextEdit>

class SpellEngine;

// The spelling component: what to check, and the engine's settings as properties. The
// two flags and the debug file name are held here; every other property is the
// engine's own and is read from and written to it directly.
class TSsceSpellDlg : public QObject
{
    Q_OBJECT

public:
    enum class CheckTarget { None, Control };

    // owner: the window the check dialog belongs to when it is a top-level window.
    TSsceSpellDlg(QObject *owner, SpellEngine *engine);

    void UseEngine(SpellEngine *engine) { m_engine = engine; }
    SpellEngine *Engine() const { return m_engine; }

    void SetCheckTarget(QTextEdit *control);
    CheckTarget TargetKind() const { return m_targetKind; }
    QTextEdit *Target() const { return m_target; }
    // The engine's check of the target; true when its status is 0 or more.
    bool RunCheck();
    void ResetLexicons();
    // The status of the last check (SpellStatus).
    qint32 Status() const { return m_status; }

    // Held by the component
    bool CheckSelTextOnly = false;
    bool ShowContext = true;
    QString DebugFile() const { return m_debugFile; }
    void SetDebugFile(const QString &file);

    // The engine's
    bool AutoCorrect() const;
    void SetAutoCorrect(bool on);
    qint32 ErrorsDetected() const;
    QString HelpFile() const;
    void SetHelpFile(const QString &file);
    QString MainLexFiles() const;
    void SetMainLexFiles(const QString &files);
    QString MainLexPath() const;
    void SetMainLexPath(const QString &path);
    qint32 MinSuggestDepth() const;
    void SetMinSuggestDepth(qint32 depth);
    QString RegTreeName() const;
    void SetRegTreeName(const QString &name);
    QString StringTableName() const;
    void SetStringTableName(const QString &name);
    QString UserLexFiles() const;
    void SetUserLexFiles(const QString &files);
    QString UserLexPath() const;
    void SetUserLexPath(const QString &path);
    QStringList LexSearchPath() const;
    void SetLexSearchPath(const QStringList &folders);
    QString Version() const;
    qint32 WordsChanged() const;
    qint32 WordsChecked() const;

private:
    SpellEngineOptions &options() const;

    QPointer<QObject> m_owner;
    SpellEngine *m_engine;
    CheckTarget m_targetKind = CheckTarget::None;
    QPointer<QTextEdit> m_target;
    QString m_debugFile;
    qint32 m_status = 0;
};
