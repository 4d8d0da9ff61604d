#include "core/DataFolders.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <unistd.h>

namespace {

void addFolder(QStringList &folders, const QString &folder)
{
    if (folder.isEmpty())
        return;
    const QString path = QDir(folder).absolutePath();
    if (!folders.contains(path))
        folders << path;
}

// access() asks the system itself, so an ACL, a read-only mount or root's rights count.
bool takesNewFiles(const QString &folder)
{
    return ::access(QFile::encodeName(folder).constData(), W_OK | X_OK) == 0;
}

}

QStringList ProgramDataFolders()
{
    QStringList folders;
    addFolder(folders, QCoreApplication::applicationDirPath());
    for (const QString &folder : QStandardPaths::standardLocations(QStandardPaths::AppDataLocation))
        addFolder(folders, folder);
    return folders;
}

QStringList DataFolders()
{
    QStringList folders;
    addFolder(folders, QDir::currentPath());
    for (const QString &folder : ProgramDataFolders())
        addFolder(folders, folder);
    return folders;
}

QString FindDataFile(const QString &name, const QStringList &folders)
{
    for (const QString &folder : folders) {
        const QFileInfo file(QDir(folder).filePath(name));
        if (file.isFile())
            return file.absoluteFilePath();
    }
    return {};
}

QString UserFilesFolder()
{
    const QString current = QDir::currentPath();
    if (takesNewFiles(current))
        return current;
    const QString own = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(own);
    return own;
}

QString UserSettingsFolder()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    if (folder.isEmpty() || !QDir().mkpath(folder))
        return {};
    return folder;
}
