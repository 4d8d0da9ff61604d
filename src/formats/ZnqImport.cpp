#include "formats/ZnqImport.h"

#include "core/CorvantaError.h"
#include "core/RegularFile.h"
#include "core/Windows1252.h"
#include "formats/MarkerChars.h"

#include <QDir>
#include <QFile>

#include <cerrno>

namespace {

void importLine(const unsigned char *p, qsizetype len, QString &out)
{
    qsizetype i = 0;
    while (i < len) {
        unsigned char b = p[i];
        if (b == 0x7F) {
            // The byte after a marker is never a marker itself: a second 0x7F is kept as it is.
            out.append(JumpMarker);
            if (++i >= len)
                break;
            b = p[i];
        }
        if (b == 0x1B) {
            const bool dash = i + 1 < len && p[i + 1] == '-';
            i += dash ? 3 : 2;
            continue;
        }
        if (b >= 0x20)
            out.append(QChar(Windows1252::toUnicode(b)));
        ++i;
    }
}

// The messages carry the system's error number.
QByteArray readWholeFile(const QString &path)
{
    QByteArray bytes;
    if (RegularFile::read(path, bytes) != RegularFile::Outcome::Read)
        throw CorvantaError(ZnqImport::ReadErrorText(errno, path));
    return bytes;
}

} // namespace

QString ZnqImport::import(const QByteArray &bytes)
{
    const auto *data = reinterpret_cast<const unsigned char *>(bytes.constData());
    const qsizetype size = bytes.size();
    QString out;
    out.reserve(size);
    qsizetype lineStart = 0;
    bool firstLine = true;
    while (lineStart < size) {
        qsizetype lineEnd = lineStart;
        while (lineEnd < size && data[lineEnd] != '\n' && data[lineEnd] != '\r')
            ++lineEnd;
        qsizetype from = lineStart;
        if (firstLine && lineEnd > lineStart && data[lineStart] == 0xFF)
            from = std::min(lineStart + 3, lineEnd);
        importLine(data + from, lineEnd - from, out);
        firstLine = false;
        lineStart = lineEnd;
        if (lineStart < size && data[lineStart] == '\r')
            ++lineStart;
        if (lineStart < size && data[lineStart] == '\n')
            ++lineStart;
    }
    out.squeeze();
    return out;
}

QString ZnqImport::ReadErrorText(int error, const QString &path)
{
    // The runtime's texts, with the file they are about.
    const QString file = QDir::toNativeSeparators(path);
    switch (error) {
    case ENOENT:
        return QStringLiteral("File not found: %1").arg(file);
    case EACCES:
        return QStringLiteral("File access denied: %1").arg(file);
    default:
        return QStringLiteral("I/O error %1: %2").arg(error).arg(file);
    }
}

QString ZnqImport::importFile(const QString &path)
{
    return import(readWholeFile(path));
}
