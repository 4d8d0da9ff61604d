// Reading and writing a large formatted script as RTF, against Qt's own HTML import and export
// of the same document, measured in one run. Prints ratios (ours / Qt's) and throughput.
//
//   bench_rtf [pages]      (default 1000 pages)

#include "formats/RtfReader.h"
#include "formats/RtfWriter.h"
#include "formats/ScriptDocumentIO.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QRandomGenerator>
#include <QTextCursor>
#include <QTextDocument>
#include <QTemporaryFile>
#include <QTextList>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

constexpr int kWordsPerPage = 450;
constexpr int kRounds = 5;

// A script with a change of format every two to five words and a new paragraph every 40 to
// 80 words; some paragraphs centred, some bullets, markers in the text.
void buildScript(QTextDocument &doc, int pages)
{
    static const char *const words[] = {"the", "speaker", "turns", "to", "camera", "and", "says",
                                        "good", "evening", "»", "welcome", "back", "¤", "to",
                                        "tonight's", "programme", "naïve", "café", "—", "news"};
    static const char *const fonts[] = {"Arial", "Times New Roman", "Courier New"};
    static const QColor colours[] = {Qt::white, Qt::yellow, QColor(255, 0, 0), QColor(0, 128, 0)};
    QRandomGenerator rng(42);
    QTextCursor cursor(&doc);
    doc.setUndoRedoEnabled(false);
    int untilFormat = 0;
    int untilParagraph = 60;
    QTextCharFormat format;
    QString run;
    for (int i = 0; i < pages * kWordsPerPage; ++i) {
        if (untilFormat-- == 0) {
            cursor.insertText(run, format);
            run.clear();
            format = QTextCharFormat();
            format.setFontFamilies({QString::fromLatin1(fonts[rng.bounded(3)])});
            format.setFontPointSize(40 + 4 * rng.bounded(8));
            format.setFontWeight(rng.bounded(3) == 0 ? QFont::Bold : QFont::Normal);
            format.setFontItalic(rng.bounded(4) == 0);
            format.setFontUnderline(rng.bounded(6) == 0);
            format.setForeground(colours[rng.bounded(4)]);
            untilFormat = 2 + rng.bounded(4);
        }
        run += QString::fromUtf8(words[rng.bounded(20)]);
        run += u' ';
        if (untilParagraph-- == 0) {
            cursor.insertText(run, format);
            run.clear();
            QTextBlockFormat block;
            const int kind = rng.bounded(8);
            if (kind == 0)
                block.setAlignment(Qt::AlignHCenter);
            cursor.insertBlock(block);
            if (kind == 1)
                cursor.createList(QTextListFormat::ListDisc);
            untilParagraph = 40 + rng.bounded(40);
        }
    }
    cursor.insertText(run, format);
}

double bestOf(const std::function<void()> &action)
{
    double best = 1e300;
    for (int i = 0; i < kRounds; ++i) {
        QElapsedTimer timer;
        timer.start();
        action();
        best = std::min(best, timer.nsecsElapsed() / 1e6);
    }
    return best;
}

// Reading as a load does it: into a fresh document without undo.
void readRtf(const QByteArray &rtf)
{
    QTextDocument doc;
    doc.setUndoRedoEnabled(false);
    QBuffer buffer;
    buffer.setData(rtf);
    buffer.open(QIODevice::ReadOnly);
    QTextCursor cursor(&doc);
    RtfReader reader;
    if (!reader.read(&buffer, cursor))
        std::fprintf(stderr, "read failed\n");
}

void readHtml(const QString &html)
{
    QTextDocument doc;
    doc.setUndoRedoEnabled(false);
    doc.setHtml(html);
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const int pages = argc > 1 ? std::max(1, atoi(argv[1])) : 1000;

    QTextDocument script;
    buildScript(script, pages);
    QTextDocument small;
    buildScript(small, std::max(1, pages / 10));

    const QString html = script.toHtml();
    const QByteArray rtf = RtfWriter::toRtf(&script);
    const QByteArray smallRtf = RtfWriter::toRtf(&small);
    const double megabytes = rtf.size() / 1e6;

    const double tHtmlRead = bestOf([&] { readHtml(html); });
    const double tRtfRead = bestOf([&] { readRtf(rtf); });
    const double tSmallRead = bestOf([&] { readRtf(smallRtf); });
    const QString smallHtml = small.toHtml();
    const double tSmallHtmlRead = bestOf([&] { readHtml(smallHtml); });
    const double tHtmlWrite = bestOf([&] { (void)script.toHtml(); });
    const double tRtfWrite = bestOf([&] { (void)RtfWriter::toRtf(&script); });
    QTemporaryFile file;
    file.open();
    file.write(rtf);
    file.close();
    const double tLoad = bestOf([&] {
        QTextDocument target;
        ScriptDocumentIO::load(&target, file.fileName(), false);
    });

    std::printf("script: %d pages, %d characters, %d paragraphs; RTF %.2f MB, HTML %.2f MB\n", pages,
                script.characterCount(), script.blockCount(), megabytes, html.toUtf8().size() / 1e6);
    std::printf("read : RTF %8.1f ms (%6.1f MB/s)   setHtml %8.1f ms   ratio %.2f\n", tRtfRead,
                megabytes / (tRtfRead / 1000), tHtmlRead, tRtfRead / tHtmlRead);
    std::printf("write: RTF %8.1f ms (%6.1f MB/s)   toHtml  %8.1f ms   ratio %.2f\n", tRtfWrite,
                megabytes / (tRtfWrite / 1000), tHtmlWrite, tRtfWrite / tHtmlWrite);
    std::printf("linear: %.2f MB in %.1f ms, %.2f MB in %.1f ms: %.1fx the input, %.1fx the time\n",
                smallRtf.size() / 1e6, tSmallRead, megabytes, tRtfRead, double(rtf.size()) / smallRtf.size(),
                tRtfRead / tSmallRead);
    std::printf("        (setHtml of the same two documents: %.1fx the time)\n", tHtmlRead / tSmallHtmlRead);
    std::printf("load : file to document through a scratch copy %.1f ms, ratio to setHtml %.2f\n", tLoad,
                tLoad / tHtmlRead);
    return 0;
}
