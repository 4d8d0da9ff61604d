#include "formats/RtfLists.h"

#include <QTextCursor>
#include <QTextListFormat>

#include <algorithm>

namespace {

constexpr int kBulletNumbering = 23;
constexpr int kNoNumbering = 255;

} // namespace

int RtfLists::bulletStyle(char16_t bullet)
{
    switch (bullet) {
    case u'o':
    case 0x25E6:
    case 0x25CB:
        return QTextListFormat::ListCircle;
    case 0x25AA:
    case 0x25A0:
    case 0x00A7:  // the square of the Wingdings font
    case 0xF0A7:
        return QTextListFormat::ListSquare;
    default:
        return QTextListFormat::ListDisc;
    }
}

namespace {

// \levelnfc: the number formats a list level can have; the ones Qt cannot draw are decimal.
int numberStyle(int levelNfc)
{
    switch (levelNfc) {
    case 1: return QTextListFormat::ListUpperRoman;
    case 2: return QTextListFormat::ListLowerRoman;
    case 3: return QTextListFormat::ListUpperAlpha;
    case 4: return QTextListFormat::ListLowerAlpha;
    default: return QTextListFormat::ListDecimal;
    }
}

int levelStyle(const RtfLists::LevelDef &def)
{
    if (def.numbering == kNoNumbering)
        return 0;
    if (def.numbering == kBulletNumbering)
        return RtfLists::bulletStyle(def.text.isEmpty() ? u'\u2022' : def.text.at(0).unicode());
    return numberStyle(def.numbering);
}

int clampLevel(int level)
{
    return std::clamp(level, 0, RtfLists::Levels - 1);
}

} // namespace

// --- Tables ------------------------------------------------------------------------------

void RtfLists::beginList()
{
    m_lists.emplace_back();
}

void RtfLists::setListId(int id)
{
    if (m_lists.empty())
        m_lists.emplace_back();
    m_lists.back().id = id;
    if (!m_listById.contains(id))
        m_listById.insert(id, m_lists.size() - 1);
}

void RtfLists::beginLevel(bool inOverride)
{
    m_level = LevelDef{};
    m_levelInOverride = inOverride;
}

// A semicolon ends the text.
void RtfLists::setLevelText(const QString &raw, int length)
{
    QString text = raw;
    if (length < 0) {
        if (raw.isEmpty())
            return;
        length = raw.at(0).unicode();
        text.remove(0, 1);
    }
    if (text.endsWith(u';'))
        text.chop(1);
    text.truncate(length);
    m_level.text = text;
    m_level.hasText = true;
}

// One character per level number: its position in \leveltext, counting the length as 0.
void RtfLists::setLevelNumbers(const QString &raw)
{
    m_level.hasPlaceholders = true;
    m_level.placeholders.clear();
    for (const QChar c : raw) {
        if (c == u';')
            break;
        m_level.placeholders.append(c.unicode() - 1);
    }
}

void RtfLists::endLevel()
{
    LevelDef &def = m_level;
    if (!def.hasPlaceholders) {
        // Without \levelnumbers, characters below 9 stand for the level numbers.
        for (qsizetype i = 0; i < def.text.size(); ++i) {
            if (def.text.at(i).unicode() < Levels)
                def.placeholders.append(int(i));
        }
    }
    def.placeholders.removeIf([&def](int at) {
        return at < 0 || at >= def.text.size() || def.text.at(at).unicode() >= Levels;
    });
    if (m_levelInOverride) {
        const int index = std::max(0, m_overrideLevels - 1);
        if (index < Levels) {
            m_override.levels[size_t(index)] = def;
            m_override.hasLevel.set(size_t(index));
        }
        return;
    }
    if (m_lists.empty())
        m_lists.emplace_back();
    if (m_lists.back().levels.size() < size_t(Levels))
        m_lists.back().levels.push_back(def);
}

void RtfLists::beginOverride()
{
    m_override = OverrideDef{};
    m_overrideNumber = -1;
    m_overrideLevels = 0;
}

void RtfLists::setOverrideListId(int id)
{
    m_override.listId = id;
}

void RtfLists::setOverrideNumber(int ls)
{
    m_overrideNumber = ls;
}

void RtfLists::beginOverrideLevel()
{
    ++m_overrideLevels;
}

void RtfLists::setOverrideStart(int start)
{
    const int index = m_overrideLevels - 1;
    if (index >= 0 && index < Levels) {
        m_override.start[size_t(index)] = start;
        m_override.hasStart.set(size_t(index));
    }
}

void RtfLists::endOverride()
{
    if (m_overrideNumber >= 0 && !m_overrides.contains(m_overrideNumber))
        m_overrides.insert(m_overrideNumber, m_override);
    m_overrideNumber = -1;
}

int RtfLists::addPn(const PnDef &def)
{
    // WordPad repeats the same \pn on every item.
    const auto it = std::find(m_pnDefs.rbegin(), m_pnDefs.rend(), def);
    if (it != m_pnDefs.rend())
        return int(std::distance(it, m_pnDefs.rend()) - 1);
    m_pnDefs.push_back(def);
    return int(m_pnDefs.size() - 1);
}

// --- Paragraphs --------------------------------------------------------------------------

const RtfLists::LevelDef *RtfLists::levelDef(int ls, int level, int *start) const
{
    const auto o = m_overrides.constFind(ls);
    if (o == m_overrides.cend())
        return nullptr;
    const auto at = size_t(level);
    const LevelDef *def = nullptr;
    if (o->hasLevel.test(at)) {
        def = &o->levels[at];
    } else {
        const auto list = m_listById.constFind(o->listId);
        if (list == m_listById.cend() || at >= m_lists[*list].levels.size())
            return nullptr;
        def = &m_lists[*list].levels[at];
    }
    if (start)
        *start = o->hasStart.test(at) ? o->start[at] : def->start;
    return def;
}

int RtfLists::style(const Ref &ref) const
{
    const int level = clampLevel(ref.level);
    if (ref.ls >= 0) {
        if (const LevelDef *def = levelDef(ref.ls, level))
            return levelStyle(*def);
        if (ref.pn < 0 && (ref.ls > 0 || m_overrides.contains(ref.ls)))
            return QTextListFormat::ListDisc;  // a list we have no table for still has bullets
    }
    return ref.pn >= 0 ? m_pnDefs[size_t(ref.pn)].style : 0;
}

QTextList *RtfLists::place(const Ref &ref, QTextCursor &cursor, int *drawStyle)
{
    *drawStyle = 0;
    const int level = clampLevel(ref.level);
    const int style = this->style(ref);
    if (!style)
        return nullptr;

    const bool fromTable = ref.ls >= 0 && (levelDef(ref.ls, level) || ref.pn < 0);
    Run &run = fromTable ? m_runs[ref.ls] : m_pnRun;
    m_pnRunUsed = m_pnRunUsed || !fromTable;
    restartBelow(run, level, fromTable ? ref.ls : -1);

    ListLabels::Numbering label;
    label.style = style;
    if (fromTable && ListLabels::isNumbered(style)) {
        int start = 1;
        levelDef(ref.ls, level, &start);
        const auto at = size_t(level);
        run.counter[at] = run.started.test(at) ? run.counter[at] + 1 : start;
        run.started.set(at);
        label = levelLabel(ref.ls, level, run);
    } else if (!fromTable && ListLabels::isNumbered(style)) {
        const PnDef &def = m_pnDefs[size_t(ref.pn)];
        const auto at = size_t(level);
        const ListLabels::Numbering &current = run.slots[at].numbering;
        if (run.slots[at].list
            && (current.style != style || current.before != def.before || current.after != def.after))
            run.started.reset(at);  // another kind of numbering starts again
        run.counter[at] = run.started.test(at) ? run.counter[at] + 1 : def.start;
        run.started.set(at);
        label.start = run.counter[at];
        label.before = def.before;
        label.after = def.after;
    }
    return placeInSlot(run.slots[size_t(level)], label, level, cursor, drawStyle);
}

void RtfLists::endPnRun()
{
    if (m_pnRunUsed)
        m_pnRun = Run{};
    m_pnRunUsed = false;
}

// An item ends the numbering of the levels below it, unless they continue across it.
void RtfLists::restartBelow(Run &run, int level, int ls)
{
    for (int below = level + 1; below < Levels; ++below) {
        const LevelDef *def = ls >= 0 ? levelDef(ls, below) : nullptr;
        if (def && def->noRestart)
            continue;
        run.started.reset(size_t(below));
        run.slots[size_t(below)] = Slot{};
    }
}

// The label of a level's item from \leveltext: the item's own number between the text before
// and after it, the numbers of other levels written into that text.
ListLabels::Numbering RtfLists::levelLabel(int ls, int level, const Run &run) const
{
    const LevelDef *def = levelDef(ls, level);
    ListLabels::Numbering label;
    label.style = levelStyle(*def);
    label.start = run.counter[size_t(level)];
    if (!def->hasText)
        return label;
    label.after.clear();
    label.hasNumber = false;
    for (qsizetype i = 0; i < def->text.size(); ++i) {
        QString &part = label.hasNumber ? label.after : label.before;
        if (!def->placeholders.contains(int(i))) {
            part += def->text.at(i);
            continue;
        }
        const int other = def->text.at(i).unicode();
        if (other == level && !label.hasNumber) {
            label.hasNumber = true;
            continue;
        }
        int start = 1;
        const LevelDef *otherDef = levelDef(ls, other, &start);
        const int n = run.started.test(size_t(other)) ? run.counter[size_t(other)] : start;
        const int otherStyle = !otherDef || def->legal ? int(QTextListFormat::ListDecimal) : levelStyle(*otherDef);
        part += ListLabels::number(n, ListLabels::isNumbered(otherStyle) ? otherStyle : QTextListFormat::ListDecimal);
    }
    return label;
}

QTextList *RtfLists::placeInSlot(Slot &slot, ListLabels::Numbering label, int level, QTextCursor &cursor,
                                 int *drawStyle)
{
    // A level's text holds at most 255 characters, the number included.
    label.before = ListLabels::cleanText(label.before).left(254);
    label.after = ListLabels::cleanText(label.after).left(254 - label.before.size());
    const ListLabels::Numbering &open = slot.numbering;
    if (slot.list && !open.fixed && open.style == label.style) {
        if (!ListLabels::isNumbered(label.style))
            return slot.list;
        if (label.hasNumber && open.hasNumber && open.before == label.before && open.after == label.after
            && slot.items + 1 == label.start) {
            ++slot.items;
            return slot.list;
        }
    }
    const QTextListFormat format = ListLabels::listFormat(label, level + 1);
    slot.list = cursor.createList(format);
    slot.numbering = ListLabels::numberingOf(format);
    slot.items = 1;
    if (slot.numbering.fixed)
        *drawStyle = label.style;
    return slot.list;
}
