#include "spelling/LexiconFile.h"

#include "core/CorvantaError.h"
#include "formats/PlainTextCodec.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

namespace LexiconFile {

LexiconEntries parse(const QString &text)
{
    LexiconEntries entries;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (const QString &raw : lines) {
        const QString line = raw.trimmed();
        if (line.isEmpty())
            continue;
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq < 0) {
            entries.words << line;
            continue;
        }
        const QString wrong = line.left(eq).trimmed();
        if (!wrong.isEmpty())
            entries.corrections.append({wrong, line.mid(eq + 1).trimmed()});
    }
    return entries;
}

LexiconEntries read(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return parse(PlainTextCodec::decode(file.readAll()));
}

void appendWord(const QString &path, const QString &word)
{
    QString text;
    QFile old(path);
    if (old.exists()) {
        if (!old.open(QIODevice::ReadOnly))
            throw CorvantaError(QStringLiteral("Cannot open file %1").arg(QDir::toNativeSeparators(path)));
        text = PlainTextCodec::decode(old.readAll());
        old.close();
    }
    if (!text.isEmpty() && !text.endsWith(QLatin1Char('\n')))
        text += QLatin1Char('\n');
    text += word + QLatin1Char('\n');

    QSaveFile file(path);
    const QByteArray bytes = PlainTextCodec::encode(text);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.flush()
        || !file.commit())
        throw CorvantaError(QStringLiteral("Cannot create file %1").arg(QDir::toNativeSeparators(path)));
}

}
