// libFuzzer target for the RTF reader. Besides crashes, hangs and memory errors it checks that
// whatever the reader makes of the input survives our own writer and reader unchanged: the
// same text, and the same list label on every paragraph. The input is also opened as a script
// is, notice of damage included; a refusal there (past the limits) is an answer.

#include "core/CorvantaError.h"
#include "formats/ListLabels.h"
#include "formats/RtfReader.h"
#include "formats/RtfWriter.h"
#include "formats/ScriptDocumentIO.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextList>

#include <cstdio>
#include <cstdlib>

namespace {

void readIntoDocument(const QByteArray &bytes, QTextDocument &doc)
{
    doc.setUndoRedoEnabled(false);
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QTextCursor cursor(&doc);
    RtfReader reader;
    reader.read(&buffer, cursor);
}

// The text, with each paragraph's list label (or its list style for bullets) before it.
QString labelledText(const QTextDocument &doc)
{
    QString out;
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        if (const QTextList *list = block.textList()) {
            const int style = list->format().style();
            const bool hasText = ListLabels::isNumbered(style) || style == QTextListFormat::ListStyleUndefined;
            out += hasText ? list->itemText(block) : QString::number(style);
            out += u'|';
        }
        out += block.text();
        out += u'\n';
    }
    return out;
}

void fail(const char *what, const QString &first, const QString &second)
{
    std::fprintf(stderr, "%s changed:\n%s\n---\n%s\n", what, qPrintable(first), qPrintable(second));
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // Most inputs should reach the parser, so give those without it the header it looks for.
    QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    if (!bytes.startsWith("{\\rtf"))
        bytes.prepend("{\\rtf1 ");

    QTextDocument first;
    readIntoDocument(bytes, first);
    QTextDocument second;
    readIntoDocument(RtfWriter::toRtf(&first), second);

    if (second.toRawText() != first.toRawText())
        fail("round trip: text", first.toRawText(), second.toRawText());
    if (labelledText(second) != labelledText(first))
        fail("round trip: list labels", labelledText(first), labelledText(second));

    QTextDocument opened;
    try {
        ScriptDocumentIO::loadBytes(&opened, bytes, false, QStringLiteral("fuzz.rtf"));
    } catch (const CorvantaError &) {
    }
    return 0;
}
