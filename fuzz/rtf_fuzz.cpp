// libFuzzer target for the RTF reader. Besides crashes, hangs and memory errors it checks that
// whatever the reader makes of the input survives our own writer and reader unchanged.
// Build and run: see README.md next to this file.

#include "formats/RtfReader.h"
#include "formats/RtfWriter.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QTextCursor>
#include <QTextDocument>

#include <cstdio>
#include <cstdlib>

namespace {

QString readIntoDocument(const QByteArray &bytes, QTextDocument &doc)
{
    doc.setUndoRedoEnabled(false);
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QTextCursor cursor(&doc);
    RtfReader reader;
    reader.read(&buffer, cursor);
    return doc.toRawText();
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
    // Most inputs should reach the parser, so give them the header it looks for.
    QByteArray bytes("{\\rtf1 ");
    bytes.append(reinterpret_cast<const char *>(data), qsizetype(size));

    QTextDocument first;
    const QString text = readIntoDocument(bytes, first);

    QTextDocument second;
    const QString again = readIntoDocument(RtfWriter::toRtf(&first), second);
    if (again != text) {
        std::fprintf(stderr, "round trip changed the text:\n%s\n---\n%s\n", qPrintable(text), qPrintable(again));
        std::abort();
    }
    return 0;
}
