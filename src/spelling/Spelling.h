#pragma once

#include <QPointer>
#include <QString>
#include <QStringList>

#include <memory>

class SpellingEngine;
class SpellingHelpWindow;
class TSsceSpellDlg;
struct MainControls;

// The spelling check of the script and its help.
class Spelling
{
public:
    explicit Spelling(MainControls &controls);
    ~Spelling();

    // The main window's spelling component.
    std::unique_ptr<TSsceSpellDlg> SsceSpellDlg1;
    SpellingEngine &Engine() { return *m_engine; }

    // The program's help file, as the spelling help command leaves it.
    QString HelpFile;

    // Both lexicon folders are the user's own folder, where the words added are written; a
    // list missing there is looked for in searchFolders. The lexicon set is fixed.
    void ConfigureLexicons(const QString &userFolder, const QStringList &searchFolders = {});

    void Spell1Click();
    void SpeedButton25Click();
    void SpellCheck2Click();

    // Our own help on the check, as the last help command showed it.
    SpellingHelpWindow *HelpWindow() const;

private:
    MainControls &m_c;
    std::unique_ptr<SpellingEngine> m_engine;
    QPointer<SpellingHelpWindow> m_helpWindow;
};
