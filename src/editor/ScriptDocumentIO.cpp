#include "editor/ScriptDocumentIO.h"

#include "app/CorvantaError.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QTextDocument>

// Plain-text placeholder until the rich-text reader and writer land.
namespace ScriptDocumentIO {

void load(QTextDocument *document, const QString &path, bool)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw CorvantaError(QStringLiteral("Cannot open file %1").arg(QDir::toNativeSeparators(path)));
    document->setPlainText(QString::fromUtf8(file.readAll()));
}

void save(const QTextDocument *document, const QString &path, bool)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw CorvantaError(QStringLiteral("Cannot create file %1").arg(QDir::toNativeSeparators(path)));
    file.write(document->toPlainText().toUtf8());
    if (!file.commit())
        throw CorvantaError(QStringLiteral("Failed to Save Stream"));
}

}
