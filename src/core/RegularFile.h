#pragma once

#include <QByteArray>
#include <QString>

// Reads a whole file that must be a regular file. A named pipe, a device, a socket or a
// folder is refused before anything is read from it: a pipe with no writer, or a terminal,
// would hold the window until someone writes to it.
namespace RegularFile {

// "<path> is not a regular file"
QString NotRegularText(const QString &path);

enum class Outcome { Read, CannotOpen, ReadFailed };

// Throws CorvantaError(NotRegularText) when the path names something other than a regular
// file. Otherwise fills bytes, or says what failed with errno set.
Outcome read(const QString &path, QByteArray &bytes);

}
