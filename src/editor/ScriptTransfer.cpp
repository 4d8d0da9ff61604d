#include "editor/ScriptTransfer.h"

#include "editor/PlainTextCodec.h"
#include "editor/RtfReader.h"
#include "editor/RtfWriter.h"

#include <QBuffer>
#include <QTextCursor>
#include <QTextDocument>

namespace ScriptTransfer {

QByteArray Write(const QTextDocument &document, bool plainText)
{
    if (plainText)
        return PlainTextCodec::encode(document.toPlainText());
    return RtfWriter::toRtf(&document);
}

void Read(QTextDocument &document, const QByteArray &bytes)
{
    const bool undo = document.isUndoRedoEnabled();
    document.setUndoRedoEnabled(false);
    document.clear();
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QTextCursor cursor(&document);
    RtfReader reader;
    if (!reader.read(&buffer, cursor))
        document.setPlainText(PlainTextCodec::decode(bytes));
    document.setUndoRedoEnabled(undo);
}

void Copy(const QTextDocument &from, QTextDocument &to, bool plainText)
{
    Read(to, Write(from, plainText));
}

}
