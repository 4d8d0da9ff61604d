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
// the limits of core/Limits.h. Both are checked before anything is laid out. Only a
// regular file is read ("... is not a regular file"), so that a pipe cannot hold the caller.
// True when the file was read as rich text, false when as plain text. When the RTF was
// damaged and read only in part, notice (if given) receives a message for the operator that
// names the file and the place after which text may be missing; it is emptied otherwise.
bool load(QTextDocument *document, const QString &path, bool plainText, QString *notice = nullptr);

// The same, from and to bytes in memory; source names them in messages.
bool loadBytes(QTextDocument *document, const QByteArray &bytes, bool plainText, const QString &source = {},
               QString *notice = nullptr);
QByteArray saveBytes(const QTextDocument *document, bool plainText);

// Writes the document as rich text, or as plain text when plainText is set.
// The old file stays whole when the write fails; the error names the file and the
// system's reason ("No space left on device").
void save(const QTextDocument *document, const QString &path, bool plainText);

}
