#include "spelling/LexiconFile.h"

#include "core/CorvantaError.h"
#include "core/RegularFile.h"
#include "formats/PlainTextCodec.h"

#include <QDir>
#include <QFileInfo>
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
    // A list that cannot be read counts as empty; one that is not a regular file (a pipe
    // would hold the check) is not read at all.
    QByteArray bytes;
    try {
        if (RegularFile::read(path, bytes) != RegularFile::Outcome::Read)
            return {};
    } catch (const CorvantaError &) {
        return {};
    }
    return parse(PlainTextCodec::decode(bytes));
}

void appendWord(const QString &path, const QString &word)
{
    QString text;
    if (QFileInfo::exists(path)) {
        QByteArray bytes;
        if (RegularFile::read(path, bytes) != RegularFile::Outcome::Read)
            throw CorvantaError(QStringLiteral("Cannot open file %1").arg(QDir::toNativeSeparators(path)));
        text = PlainTextCodec::decode(bytes);
    }
    if (!text.isEmpty() && !text.endsWith(QLatin1Char('\n')))
        text += QLatin1Char('\n');
    text += word + QLatin1Char('\n');

    QSaveFile file(path);
    const QByteArray bytes = PlainTextCodec::encode(text);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.flush() || !file.commit())
        throw CorvantaError(QStringLiteral("Cannot create file %1").arg(QDir::toNativeSeparators(path)));
}

}
