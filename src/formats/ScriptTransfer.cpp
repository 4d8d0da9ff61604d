#include "formats/ScriptTransfer.h"

#include "formats/ScriptDocumentIO.h"

namespace ScriptTransfer {

QByteArray Write(const QTextDocument &document, bool plainText)
{
    return ScriptDocumentIO::saveBytes(&document, plainText);
}

void Read(QTextDocument &document, const QByteArray &bytes)
{
    ScriptDocumentIO::loadBytes(&document, bytes, false);
}

void Copy(const QTextDocument &from, QTextDocument &to, bool plainText)
{
    Read(to, Write(from, plainText));
}

}
