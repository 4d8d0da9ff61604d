#include "formats/ScriptDocumentIO.h"

#include "core/CorvantaError.h"
#include "core/Limits.h"
#include "core/RegularFile.h"
#include "formats/PlainTextCodec.h"
#include "formats/RtfReader.h"
#include "formats/RtfWriter.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QTextCursor>
#include <QTextDocument>
#include <QHash>
#include <QTextBlock>
#include <QTextList>

#include <cerrno>
#include <cstring>
#include <new>

namespace {

[[noreturn]] void failLoad()
{
    throw CorvantaError(QStringLiteral("Failed to Load Stream"));
}

QByteArray readFile(const QString &path)
{
    QByteArray bytes;
    switch (RegularFile::read(path, bytes)) {
    case RegularFile::Outcome::Read:
        break;
    case RegularFile::Outcome::CannotOpen:
        throw CorvantaError(QStringLiteral("Cannot open file %1").arg(QDir::toNativeSeparators(path)));
    case RegularFile::Outcome::ReadFailed:
        failLoad();
    }
    return bytes;
}

// Fills a scratch document, so that a failure leaves the caller's document untouched.
bool readRtf(const QByteArray &bytes, QTextDocument &scratch, QList<RtfReader::Damage> &damage)
{
    scratch.setUndoRedoEnabled(false);
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QTextCursor cursor(&scratch);
    RtfReader reader;
    const bool read = reader.read(&buffer, cursor);
    damage = reader.damage();
    return read;
}

// The last words before a position, for the operator to find the place: within the
// paragraph, or the end of the one before when the position starts a paragraph.
QString wordsBefore(const QTextDocument &document, int position)
{
    constexpr qsizetype MaxQuote = 40;
    QTextBlock block = document.findBlock(position);
    QString text = block.text().left(position - block.position());
    while (text.trimmed().isEmpty() && block.previous().isValid()) {
        block = block.previous();
        text = block.text();
    }
    text = text.simplified();
    if (text.size() <= MaxQuote)
        return text;
    text = text.right(MaxQuote);
    const qsizetype space = text.indexOf(u' ');
    if (space >= 0 && space < text.size() - 1)
        text = text.mid(space + 1);
    return QStringLiteral("...") + text;
}

QString damageNotice(const QList<RtfReader::Damage> &damage, const QTextDocument &scratch, const QString &source)
{
    const QString name = source.isEmpty() ? QStringLiteral("The script") : QDir::toNativeSeparators(source);
    QStringList lines;
    for (const RtfReader::Damage &d : damage) {
        const QString words = wordsBefore(scratch, d.position);
        const bool early = d.kind == RtfReader::Damage::EndsEarly;
        if (words.isEmpty())
            lines << (early ? QStringLiteral("%1 ends early: its text may be missing.")
                            : QStringLiteral("%1 nests groups too deeply: some of its text was left out."))
                         .arg(name);
        else
            lines << (early ? QStringLiteral("%1 ends early: the text after \"%2\" may be missing.")
                            : QStringLiteral("%1 nests groups too deeply: some of the text after \"%2\" was left out."))
                         .arg(name, words);
    }
    return lines.join(u'\n');
}

// One pass over blocks and runs: QTextDocumentFragment would copy everything twice, which
// costs more than reading the file. The reader makes nothing but blocks, runs and lists.
void copyContent(const QTextDocument &from, QTextDocument *to)
{
    QTextCursor cursor(to);
    cursor.beginEditBlock();  // also spares the cursor a layout after every insert
    QHash<const QTextList *, QTextList *> lists;
    for (QTextBlock block = from.begin(); block.isValid(); block = block.next()) {
        if (block == from.begin())
            cursor.setBlockCharFormat(block.charFormat());
        else
            cursor.insertBlock(QTextBlockFormat(), block.charFormat());
        QTextBlockFormat format = block.blockFormat();
        format.clearProperty(QTextFormat::ObjectIndex);
        if (const QTextList *list = block.textList()) {
            QTextList *&copy = lists[list];
            if (!copy)
                copy = cursor.createList(list->format());
            format.setObjectIndex(copy->objectIndex());
        }
        cursor.setBlockFormat(format);
        for (auto it = block.begin(); !it.atEnd(); ++it)
            cursor.insertText(it.fragment().text(), it.fragment().charFormat());
    }
    cursor.endEditBlock();
}

void replaceContent(QTextDocument *document, const QTextDocument &scratch)
{
    const bool undo = document->isUndoRedoEnabled();
    document->setUndoRedoEnabled(false);  // a load is not an edit to undo
    document->clear();
    copyContent(scratch, document);
    document->setUndoRedoEnabled(undo);
}

void checkLimits(qsizetype characters, qsizetype paragraphs, const QString &source)
{
    const QString prefix = source.isEmpty() ? QString() : QDir::toNativeSeparators(source) + QStringLiteral(": ");
    if (characters > MaxScriptCharacters)
        throw CorvantaError(prefix + ScriptTooLongText(characters));
    if (paragraphs > MaxScriptParagraphs)
        throw CorvantaError(prefix + ScriptTooManyParagraphsText(paragraphs));
}

QString plainTextOf(const QTextDocument *document)
{
    QString text = document->toRawText();
    // Frame marks stand between table cells; the object mark is a picture.
    text.replace(QChar(0xFDD0), u'\n').replace(QChar(0xFDD1), u'\n');
    text.remove(QChar(QChar::ObjectReplacementCharacter));
    return text;
}

} // namespace

namespace ScriptDocumentIO {

bool load(QTextDocument *document, const QString &path, bool plainText, QString *notice)
{
    QByteArray bytes;
    try {
        bytes = readFile(path);
    } catch (const std::bad_alloc &) {
        failLoad();
    }
    return loadBytes(document, bytes, plainText, path, notice);
}

bool loadBytes(QTextDocument *document, const QByteArray &bytes, bool plainText, const QString &source,
               QString *notice)
{
    if (notice)
        notice->clear();
    try {
        if (!plainText && RtfReader::looksLikeRtf(bytes)) {
            QTextDocument scratch;
            scratch.setDefaultFont(document->defaultFont());
            QList<RtfReader::Damage> damage;
            if (readRtf(bytes, scratch, damage)) {
                checkLimits(scratch.characterCount() - 1, scratch.blockCount(), source);
                const QString damaged = damageNotice(damage, scratch, source);
                replaceContent(document, scratch);
                if (notice)
                    *notice = damaged;
                return true;
            }
        }
        const QString text = PlainTextCodec::decode(bytes);
        // Text never holds NUL; a file that does is a program, a picture or an archive.
        if (text.contains(QChar(0)))
            throw CorvantaError((source.isEmpty() ? QStringLiteral("The text")
                                                  : QDir::toNativeSeparators(source))
                                + QStringLiteral(" is not a script: it holds binary data"));
        checkLimits(text.size(), text.count(u'\n') + 1, source);
        const bool undo = document->isUndoRedoEnabled();
        document->setUndoRedoEnabled(false);
        document->setPlainText(text);
        document->setUndoRedoEnabled(undo);
        return false;
    } catch (const std::bad_alloc &) {
        failLoad();
    }
}

QByteArray saveBytes(const QTextDocument *document, bool plainText)
{
    return plainText ? PlainTextCodec::encode(plainTextOf(document)) : RtfWriter::toRtf(document);
}

void save(const QTextDocument *document, const QString &path, bool plainText)
{
    const QString name = QDir::toNativeSeparators(path);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw CorvantaError(QStringLiteral("Cannot create file %1: %2").arg(name, file.errorString()));
    const QByteArray bytes = saveBytes(document, plainText);
    // Without commit() the temporary file is dropped and the old file stays as it was.
    // flush() first: commit() would rename even after its own flush failed.
    errno = 0;
    if (file.write(bytes) != bytes.size() || !file.flush() || !file.commit()) {
        // A failed flush leaves no text of its own; the system's is still in errno.
        const int error = errno;
        QString reason = file.error() != QFileDevice::NoError ? file.errorString() : QString();
        if ((reason.isEmpty() || reason == QLatin1String("Unknown error")) && error != 0)
            reason = QString::fromLocal8Bit(std::strerror(error));
        throw CorvantaError(QStringLiteral("Failed to Save Stream to %1: %2").arg(name, reason));
    }
}

}
