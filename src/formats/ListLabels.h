#pragma once

#include <QString>
#include <QTextFormat>
#include <QTextListFormat>

class QTextBlock;
class QTextCursor;
class QTextList;

// Numbered list labels beyond what QTextList numbers by itself. Qt numbers the items of a list
// 1, 2, 3, ... between a prefix and a suffix. A list whose items are numbered otherwise (a
// list that starts at 3, say) is kept as one list per item: the list's style is
// ListStyleUndefined, its prefix holds the whole label (QTextList::itemText gives it), the
// item's block carries the style to draw it with (QTextFormat::ListStyle), and the numbering
// is recorded in the list's format so that it can be written back. Qt 6.4 draws no label for
// such an item; later versions draw the block's own list style.
namespace ListLabels {

enum Property {
    Style = QTextFormat::UserProperty + 0x4C00,  // the numbering style of a fixed label
    Number,                                     // the item's number
    TextBefore,                                 // the label's text before the number
    TextAfter,                                  // and after it
    HasNumber,                                  // false when the label is text alone
};

// A list's numbering: items numbered from `start` in `style`, each between `before` and
// `after`; for bullet styles, the bullet alone.
struct Numbering
{
    int style = QTextListFormat::ListDecimal;
    int start = 1;
    QString before;
    QString after = QStringLiteral(".");
    bool hasNumber = true;
    bool fixed = false;     // one item with a label of its own
};

// The text of a label without what a label cannot hold: control characters but the tab,
// and the marks Qt keeps for paragraphs, frames and objects.
QString cleanText(const QString &text);

// A number as Qt writes it in a list of that style (decimal, letters or roman numerals).
QString number(int n, int style);
bool isNumbered(int style);

// The list format for the numbering; fixed labels are made for `start` when it is not 1 or
// the label has no number.
QTextListFormat listFormat(const Numbering &numbering, int indent);
// The numbering a list format stands for.
Numbering numberingOf(const QTextListFormat &format);
// The label of the block's list item ("3.", "a)", "" for bullets).
QString label(const QTextList *list, const QTextBlock &block);

}
