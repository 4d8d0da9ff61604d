#pragma once

#include <QByteArray>
#include <QString>

// Import of ZNQ scripts, an 8-bit text format with escape codes that we read but never write.
class ZnqImport
{
public:
    // The whole file's bytes to one text without line breaks: 0x7F becomes the jump marker "»",
    // an escape drops itself and the next byte (and one more after "-"), other control bytes
    // are dropped, everything else is Windows-1252. A first line starting with 0xFF loses a
    // three-byte header.
    static QString import(const QByteArray &bytes);

    // Reads the file and imports it. Throws CorvantaError with ReadErrorText's text.
    static QString importFile(const QString &path);

    // The runtime's text for a failed read, naming the file: "File not found: %s",
    // "File access denied: %s" or "I/O error %d: %s" (the system's error number).
    static QString ReadErrorText(int error, const QString &path);
};
