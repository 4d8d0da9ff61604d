#pragma once

#include <QByteArray>
#include <QString>

class QIODevice;
class QTextDocument;

// Writes a QTextDocument as RTF in WordPad's manner, which WordPad, Word and LibreOffice
// all read: Windows-1252 with \'hh, other characters as \uN?, one \pard per paragraph.
// Lists are a list table with one override (\ls) per list, as Word writes them, and each
// item also carries WordPad's \pn number and \pntext label for readers that know only those.
// Text without a font of its own is written in the document's base font. RtfReader reads it
// back to the same document.
class RtfWriter
{
public:
    bool write(QIODevice *device, const QTextDocument *document);
    QString errorString() const { return m_errorString; }

    static QByteArray toRtf(const QTextDocument *document);

private:
    QString m_errorString;
};
