#pragma once

#include "formats/ListLabels.h"

#include <QHash>
#include <QList>
#include <QPointer>
#include <QString>
#include <QTextList>

#include <array>
#include <bitset>
#include <vector>

class QTextCursor;

// The list table and list override table of an RTF document, WordPad's \pn paragraphs, and
// the numbering of list paragraphs as Word does it: each list override (\ls) keeps a counter
// per level; an item restarts the deeper levels (unless they say \levelnorestart); the label
// follows the level's \leveltext, with the numbers of the other levels where it names them.
class RtfLists
{
public:
    static constexpr int Levels = 9;

    struct LevelDef
    {
        int numbering = 23;         // \levelnfc; 23 is a bullet
        int start = 1;
        bool noRestart = false;
        bool legal = false;         // other levels' numbers in decimal
        QString text;               // \leveltext without its length
        bool hasText = false;       // without \leveltext the label is Qt's "1."
        QList<int> placeholders;    // where in text the level numbers stand
        bool hasPlaceholders = false;
    };

    // A WordPad paragraph number (\pn): a Qt list style, the first number and the text around it.
    struct PnDef
    {
        int style = 0;
        int start = 1;
        QString before;
        QString after;
        friend bool operator==(const PnDef &, const PnDef &) = default;
    };

    // What a paragraph says about its list: \ls (-1 when none), a \pn (index, -1 when none), \ilvl.
    struct Ref
    {
        int ls = -1;
        int pn = -1;
        int level = 0;
    };

    // Reading the tables, in the order the groups come.
    void beginList();
    void setListId(int id);
    void beginLevel(bool inOverride);
    LevelDef &level() { return m_level; }
    // The text after its length byte (-1 when it came as text: then the first character).
    void setLevelText(const QString &raw, int length);
    void setLevelNumbers(const QString &raw);
    void endLevel();
    void beginOverride();
    void setOverrideListId(int id);
    void setOverrideNumber(int ls);
    void beginOverrideLevel();
    void setOverrideStart(int start);
    void endOverride();
    int addPn(const PnDef &def);
    const PnDef &pn(int index) const { return m_pnDefs[size_t(index)]; }

    // The Qt list style that draws a bullet character.
    static int bulletStyle(char16_t bullet);

    // The Qt list style of a paragraph; 0 when it is not a list item.
    int style(const Ref &ref) const;
    // Numbers the paragraph at the cursor and returns its list, creating lists as needed. For
    // a label of its own (see ListLabels), *drawStyle is the style to draw it with, else 0.
    QTextList *place(const Ref &ref, QTextCursor &cursor, int *drawStyle);
    // A paragraph outside any list ends WordPad's numbering.
    void endPnRun();

private:
    struct ListDef
    {
        int id = 0;
        std::vector<LevelDef> levels;
    };
    struct OverrideDef
    {
        int listId = 0;
        std::array<int, Levels> start{};
        std::bitset<Levels> hasStart;
        std::array<LevelDef, Levels> levels;
        std::bitset<Levels> hasLevel;
    };
    // One list of Qt per level, continued while its numbers follow on.
    struct Slot
    {
        QPointer<QTextList> list;
        ListLabels::Numbering numbering;
        int items = 0;
    };
    struct Run
    {
        std::array<Slot, Levels> slots;
        std::array<int, Levels> counter{};
        std::bitset<Levels> started;
    };

    const LevelDef *levelDef(int ls, int level, int *start = nullptr) const;
    ListLabels::Numbering levelLabel(int ls, int level, const Run &run) const;
    void restartBelow(Run &run, int level, int ls);
    QTextList *placeInSlot(Slot &slot, ListLabels::Numbering label, int level, QTextCursor &cursor,
                           int *drawStyle);

    std::vector<ListDef> m_lists;
    QHash<int, size_t> m_listById;
    QHash<int, OverrideDef> m_overrides;
    std::vector<PnDef> m_pnDefs;

    LevelDef m_level;               // the \listlevel being read
    bool m_levelInOverride = false;
    OverrideDef m_override;         // the \listoverride being read
    int m_overrideNumber = -1;
    int m_overrideLevels = 0;

    QHash<int, Run> m_runs;         // by \ls
    Run m_pnRun;
    bool m_pnRunUsed = false;
};
