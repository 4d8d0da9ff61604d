#pragma once

#include <QByteArray>
#include <QString>

class QTextDocument;

// Loading and saving a whole script document. Errors are thrown as CorvantaError
// with the texts the operator sees ("Cannot open file %s", "Failed to Load Stream", ...).
namespace ScriptDocumentIO {

// Replaces the document's content. Rich text is tried first unless plainText is set;
// a file that is not rich text is read as plain text. Refused, leaving the document as it
// was: plain text with NUL bytes (a program or a picture, not a script), and a script past
// the limits of core/Limits.h. Both are checked before anything is laid out.
// True when the file was read as rich text, false when as plain text.
bool load(QTextDocument *document, const QString &path, bool plainText);

// The same, from and to bytes in memory; source names them in messages.
bool loadBytes(QTextDocument *document, const QByteArray &bytes, bool plainText, const QString &source = {});
QByteArray saveBytes(const QTextDocument *document, bool plainText);

// Writes the document as rich text, or as plain text when plainText is set.
// The old file stays whole when the write fails.
void save(const QTextDocument *document, const QString &path, bool plainText);

}
