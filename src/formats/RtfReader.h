#pragma once

#include <QList>
#include <QString>

class QIODevice;
class QTextCursor;

// Reads RTF as Word, LibreOffice, WordPad, TextEdit and Google Docs write it into a
// QTextDocument at a cursor, for loading a file into an empty document and for pasting at
// the caret.
//
// What a script needs is kept: fonts, sizes, colours, bold, italic, underline, strike-out,
// text background, alignment, indents, paragraph spacing and background, bullets and numbering.
// What those programs do not show is not text: hidden text, tracked deletions, fallbacks
// (\nonesttables, the 8-bit half of \upr) and list definitions wherever they stand.
// RTF lists become QTextLists, numbered as Word numbers them (see RtfLists). Their hanging
// indent is Qt's list indent: a list item at level n gets a list indent of n + 1 and the block
// margins hold only what goes beyond the usual 720 twips per level with a first line 360 twips
// out (the writer adds it back).
// Indents and spacing are in points (twips / 20), sizes in points (\fs is half points).
// Automatic colours (\cf0) leave the foreground unset.
//
// Hostile input is read in bounded memory and time: groups are kept on a heap stack, groups
// nested deeper than a limit are skipped, and a truncated file is read as far as it goes.
class RtfReader
{
public:
    // A damage the reader read past, and where: the document position at which the text
    // that may be missing would have stood.
    struct Damage
    {
        enum Kind : quint8 {
            EndsEarly, // the data ends inside a group, or inside binary data
            TooDeep, // groups nested past the limit were skipped
        };
        Kind kind;
        int position;
    };

    // Inserts the document at the cursor. Returns false, inserting nothing, when the data is
    // not RTF at all; errorString() then says why, and after a true return it may still
    // describe a damage that was read past (truncation, over-deep nesting).
    bool read(QIODevice *device, QTextCursor &cursor);
    QString errorString() const { return m_errorString; }
    // Each kind of damage once, where it first occurred; empty for whole data.
    QList<Damage> damage() const { return m_damage; }

    // True when the bytes start like an RTF document.
    static bool looksLikeRtf(const QByteArray &head);

private:
    QString m_errorString;
    QList<Damage> m_damage;
};
