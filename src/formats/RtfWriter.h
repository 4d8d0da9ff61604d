#pragma once

#include <QByteArray>
#include <QString>

class QIODevice;
class QTextDocument;

// Writes a QTextDocument as RTF in WordPad's manner, which WordPad, Word and LibreOffice
// all read: Windows-1252 with \'hh, other characters as \uN?, one \pard per paragraph,
// bullets and numbering as \pn paragraphs. RtfReader reads it back to the same document.
class RtfWriter
{
public:
    bool write(QIODevice *device, const QTextDocument *document);
    QString errorString() const { return m_errorString; }

    static QByteArray toRtf(const QTextDocument *document);

private:
    QString m_errorString;
};
