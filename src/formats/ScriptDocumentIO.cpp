#include "formats/ScriptDocumentIO.h"

#include "core/CorvantaError.h"
#include "core/Limits.h"
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

#include <new>

namespace {

[[noreturn]] void failLoad()
{
    throw CorvantaError(QStringLiteral("Failed to Load Stream"));
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw CorvantaError(QStringLiteral("Cannot open file %1").arg(QDir::toNativeSeparators(path)));
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        failLoad();
    return bytes;
}

// Fills a scratch document, so that a failure leaves the caller's document untouched.
bool readRtf(const QByteArray &bytes, QTextDocument &scratch)
{
    scratch.setUndoRedoEnabled(false);
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QTextCursor cursor(&scratch);
    RtfReader reader;
    return reader.read(&buffer, cursor);
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

bool load(QTextDocument *document, const QString &path, bool plainText)
{
    return loadBytes(document, readFile(path), plainText, path);
}

bool loadBytes(QTextDocument *document, const QByteArray &bytes, bool plainText, const QString &source)
{
    try {
        if (!plainText && RtfReader::looksLikeRtf(bytes)) {
            QTextDocument scratch;
            scratch.setDefaultFont(document->defaultFont());
            if (readRtf(bytes, scratch)) {
                checkLimits(scratch.characterCount() - 1, scratch.blockCount(), source);
                replaceContent(document, scratch);
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
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw CorvantaError(QStringLiteral("Cannot create file %1").arg(QDir::toNativeSeparators(path)));
    const QByteArray bytes = saveBytes(document, plainText);
    // Without commit() the temporary file is dropped and the old file stays as it was.
    // flush() first: commit() would rename even after its own flush failed.
    if (file.write(bytes) != bytes.size() || !file.flush() || !file.commit())
        throw CorvantaError(QStringLiteral("Failed to Save Stream"));
}

}
