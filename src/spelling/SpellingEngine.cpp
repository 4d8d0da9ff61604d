#include "spelling/SpellingEngine.h"

#include "controls/Dialogs.h"
#include "spelling/HunspellDictionary.h"
#include "spelling/SpellCheckRun.h"
#include "spelling/SpellingDialog.h"

#include <QSaveFile>
#include <QScrollBar>
#include <QTextCursor>
#include <QTextEdit>

namespace {

const QString MainLanguage = QStringLiteral("en_US");

}

SpellingEngine::SpellingEngine(Dialogs *const *dialogs)
    : m_dialogs(dialogs)
{
}

SpellingEngine::~SpellingEngine() = default;

void SpellingEngine::UseMainDictionary(std::unique_ptr<SpellDictionary> dictionary)
{
    m_main = std::move(dictionary);
    m_lexicons.SetMainDictionary(m_main.get());
}

QString SpellingEngine::Version() const
{
    return QStringLiteral("Corvanta spelling %1 over Hunspell %2")
        .arg(QStringLiteral(CORVANTA_VERSION), HunspellDictionary::LibraryVersion());
}

// Loaded at the first check rather than at start-up: it takes a noticeable moment.
bool SpellingEngine::loadMainDictionary()
{
    if (!m_main)
        UseMainDictionary(HunspellDictionary::System(MainLanguage));
    return m_main != nullptr;
}

qint16 SpellingEngine::CheckCtrlDlg(QWidget *parent, QTextEdit *control, bool selectedTextOnly)
{
    m_statistics = {};
    if (!control)
        return SpellStatus::NoTarget;
    if (!loadMainDictionary()) {
        (*m_dialogs)->information(parent, QStringLiteral(
            "The spelling check needs the English (US) Hunspell dictionary, which is not installed "
            "(on Debian: the package hunspell-en-us)."));
        return SpellStatus::NoMainDictionary;
    }
    m_lexicons.Load(m_options);
    int start = 0, end = -1;
    if (selectedTextOnly) {
        const QTextCursor selection = control->textCursor();
        start = selection.selectionStart();
        end = selection.selectionEnd();
    }
    SpellCheckRun run(control->document(), m_lexicons, m_options.AutoCorrect, start, end);
    const bool completed = runDialog(parent, control, run);
    m_statistics = run.Statistics();
    writeDebugFile(run);
    if (!completed)
        return SpellStatus::Cancelled;
    (*m_dialogs)->information(parent, QStringLiteral("The spelling check is complete."));
    return SpellStatus::Completed;
}

// False when the operator cancelled.
bool SpellingEngine::runDialog(QWidget *parent, QTextEdit *control, SpellCheckRun &run)
{
    if (!run.Next())
        return true;
    SpellingDialog dialog(run, parent);
    dialog.OnShowWord = [control](const Misspelling &word) {
        QTextCursor cursor = control->textCursor();
        cursor.setPosition(word.position);
        cursor.setPosition(word.position + word.length, QTextCursor::KeepAnchor);
        control->setTextCursor(cursor);
        control->ensureCursorVisible();
        QRect area = control->cursorRect(cursor);
        cursor.setPosition(word.position);
        area = area.united(control->cursorRect(cursor));
        return QRect(control->viewport()->mapToGlobal(area.topLeft()), area.size());
    };
    dialog.OnError = [this, &dialog](const QString &text) { (*m_dialogs)->error(&dialog, text); };
    return dialog.exec() == QDialog::Accepted;
}

void SpellingEngine::ResetLex()
{
    m_lexicons.Reset();
}

void SpellingEngine::writeDebugFile(const SpellCheckRun &run) const
{
    if (m_options.DebugFile.isEmpty())
        return;
    QStringList lines = run.Log();
    const SpellStatistics &s = run.Statistics();
    lines << QStringLiteral("%1 words checked, %2 changed, %3 not in the lexicons")
                 .arg(s.WordsChecked).arg(s.WordsChanged).arg(s.ErrorsDetected);
    QSaveFile file(m_options.DebugFile);
    // A debugging aid: when it cannot be written the check has still been made.
    if (file.open(QIODevice::WriteOnly) && file.write((lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8()) >= 0
        && file.flush())
        file.commit();
}
