#pragma once

#include <QByteArray>

class QTextDocument;

// Carries a script from one control to another in memory, the way it would travel
// through a file: rich text (or plain text in plain-text mode) written, then read back.
namespace ScriptTransfer {

QByteArray Write(const QTextDocument &document, bool plainText);
// Replaces the document's content: rich text when the bytes are rich text, else plain.
void Read(QTextDocument &document, const QByteArray &bytes);
void Copy(const QTextDocument &from, QTextDocument &to, bool plainText);

}
