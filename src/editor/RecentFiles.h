#pragma once

#include <QString>
#include <QStringList>

// The files the operator opened or saved last, newest first.
namespace RecentFiles {

constexpr int MaxCount = 8;

// The list with path at its head: an earlier entry for the same file moves up, the
// oldest falls off past MaxCount.
QStringList Added(const QStringList &list, const QString &path);
QStringList Removed(const QStringList &list, const QString &path);

}
