#include "editor/RecentFiles.h"

#include <QDir>
#include <QFileInfo>

namespace {

// One file, however its path was written.
QString key(const QString &path)
{
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

}

namespace RecentFiles {

QStringList Added(const QStringList &list, const QString &path)
{
    QStringList result = Removed(list, path);
    result.prepend(key(path));
    while (result.size() > MaxCount)
        result.removeLast();
    return result;
}

QStringList Removed(const QStringList &list, const QString &path)
{
    QStringList result;
    const QString removed = key(path);
    for (const QString &entry : list)
        if (!entry.isEmpty() && key(entry) != removed)
            result << entry;
    return result;
}

}
