#pragma once

#include "spelling/Lexicons.h"
#include "spelling/SpellEngine.h"

#include <memory>

class Dialogs;
class SpellCheckRun;
class SpellDictionary;

// Our engine: the system's en_US Hunspell dictionary as the main lexicon, the word
// lists of the lexicon folders, and the spelling dialog.
class SpellingEngine : public SpellEngine
{
public:
    explicit SpellingEngine(Dialogs *const *dialogs);
    ~SpellingEngine() override;

    // Replaces the main dictionary (tests use a fixed word list); null means the system's.
    void UseMainDictionary(std::unique_ptr<SpellDictionary> dictionary);
    Lexicons &LexiconsInUse() { return m_lexicons; }

    SpellEngineOptions &Options() override { return m_options; }
    SpellStatistics Statistics() const override { return m_statistics; }
    QString Version() const override;
    qint16 CheckCtrlDlg(QWidget *parent, QTextEdit *control, bool selectedTextOnly) override;
    void ResetLex() override;

private:
    bool loadMainDictionary();
    bool runDialog(QWidget *parent, QTextEdit *control, SpellCheckRun &run);
    void writeDebugFile(const SpellCheckRun &run) const;

    Dialogs *const *m_dialogs;
    SpellEngineOptions m_options;
    SpellStatistics m_statistics;
    std::unique_ptr<SpellDictionary> m_main;
    Lexicons m_lexicons;
};
