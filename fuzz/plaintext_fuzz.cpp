// libFuzzer target for plain-text scripts: any bytes opened as plain text, saved and opened
// again give the same text, through the codec and through a whole document. A file the
// program refuses (binary data, past the limits) is an answer; refusing its own output is not.

#include "core/CorvantaError.h"
#include "formats/PlainTextCodec.h"
#include "formats/ScriptDocumentIO.h"

#include <QGuiApplication>
#include <QTextDocument>

#include <cstdio>
#include <cstdlib>

namespace {

void fail(const char *what, const QString &first, const QString &second)
{
    std::fprintf(stderr, "%s changed:\n%s\n---\n%s\n", what, qPrintable(first.toUtf8().toHex(' ')),
                 qPrintable(second.toUtf8().toHex(' ')));
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
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));

    const QString text = PlainTextCodec::decode(bytes);
    const QString again = PlainTextCodec::decode(PlainTextCodec::encode(text));
    if (again != text)
        fail("codec round trip", text, again);

    QTextDocument opened;
    try {
        ScriptDocumentIO::loadBytes(&opened, bytes, true);
    } catch (const CorvantaError &) {
        return 0;
    }
    QTextDocument reopened;
    ScriptDocumentIO::loadBytes(&reopened, ScriptDocumentIO::saveBytes(&opened, true), true);
    if (reopened.toRawText() != opened.toRawText())
        fail("document round trip", opened.toRawText(), reopened.toRawText());
    return 0;
}
