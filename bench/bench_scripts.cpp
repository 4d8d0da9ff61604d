// Long scripts: the time and peak memory of Open, of F10 to the first step, and of Save,
// for a script of a given number of pages (50 lines of 40 characters a page), plain text
// or RTF with mixed formatting. One size a process, so that peak memory is its own:
//
//   build/bench/bench_scripts 2000 plain
//   build/bench/bench_scripts 25000 rtf
//   scripts/bench-scripts.sh            (all sizes, both forms)

#include "app/TMainForm.h"
#include "controls/Dialogs.h"
#include "controls/TRichEdit.h"
#include "editor/ScriptFiles.h"
#include "formats/RtfWriter.h"
#include "prompt/PromptEngine.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>

#include <cstdio>
#include <sys/resource.h>

namespace {

constexpr int LinesPerPage = 50;

long peakMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

// Forty characters a line, a paragraph a line; every few lines a jump marker.
QString line(int i)
{
    QString text = QStringLiteral("%1 The harbour volunteers rebuilt it.").arg(i, 6, 10, QLatin1Char('0'));
    text.truncate(40);
    return text;
}

QByteArray plainScript(int pages)
{
    QByteArray bytes;
    bytes.reserve(qsizetype(pages) * LinesPerPage * 42);
    for (int i = 0; i < pages * LinesPerPage; ++i)
        bytes += line(i).toLatin1() + "\r\n";
    return bytes;
}

QByteArray rtfScript(int pages)
{
    QTextDocument doc;
    QTextCursor cursor(&doc);
    QTextCharFormat plain;
    plain.setFontFamilies({QStringLiteral("Arial")});
    plain.setFontPointSize(60);
    QTextCharFormat bold = plain;
    bold.setFontWeight(QFont::Bold);
    QTextCharFormat red = plain;
    red.setForeground(QColor(Qt::red));
    for (int i = 0; i < pages * LinesPerPage; ++i) {
        if (i > 0)
            cursor.insertBlock();
        const QString text = line(i);
        cursor.insertText(text.left(12), plain);
        cursor.insertText(text.mid(12, 10), i % 3 ? bold : red);
        cursor.insertText(text.mid(22), plain);
    }
    return RtfWriter::toRtf(&doc);
}

class ChosenFiles : public Dialogs
{
public:
    QString open;
    QString save;
    FileChoice openFile(QWidget *, const QString &, const QStringList &, int index) override
    {
        return {true, open, index};
    }
    FileChoice saveFile(QWidget *, const QString &, const QStringList &, int index, const QString &) override
    {
        return {true, save, index};
    }
    QMessageBox::StandardButton confirm(QWidget *, const QString &, QMessageBox::StandardButtons) override
    {
        return QMessageBox::No;
    }
    void error(QWidget *, const QString &text) override
    {
        std::fprintf(stderr, "error box: %s\n", qPrintable(text));
        std::exit(1);
    }
};

}

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_FONT_DPI"))
        qputenv("QT_FONT_DPI", "96");
    QApplication app(argc, argv);
    const int pages = argc > 1 ? std::atoi(argv[1]) : 2000;
    const bool rtf = argc > 2 && qstrcmp(argv[2], "rtf") == 0;
    // "make PATH": only write the script, so that making it costs the measuring process
    // no memory.
    if (argc > 4 && qstrcmp(argv[3], "make") == 0) {
        QFile file(QString::fromLocal8Bit(argv[4]));
        return file.open(QIODevice::WriteOnly) && file.write(rtf ? rtfScript(pages) : plainScript(pages)) >= 0 ? 0 : 1;
    }
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());

    const QString path = dir.filePath(rtf ? QStringLiteral("script.rtf") : QStringLiteral("script.txt"));
    if (QProcess::execute(QCoreApplication::applicationFilePath(),
                          {QString::number(pages), rtf ? QStringLiteral("rtf") : QStringLiteral("plain"),
                           QStringLiteral("make"), path})
        != 0)
        return 1;
    const double megabytes = QFileInfo(path).size() / 1e6;
    const long baseline = peakMegabytes();

    ChosenFiles dialogs;
    dialogs.open = path;
    dialogs.save = dir.filePath(rtf ? QStringLiteral("saved.rtf") : QStringLiteral("saved.txt"));
    TMainForm form(QString(), &dialogs);
    form.show();
    if (!QTest::qWaitForWindowExposed(&form))
        return 1;
    form.Timer1->stop();
    form.Timer2->stop();
    form.Files->OpenFilterIndex = rtf ? 4 : 2;
    form.Files->SaveFilterIndex = rtf ? 1 : 2;

    QElapsedTimer clock;
    clock.start();
    form.Files->FileOpen();
    QCoreApplication::processEvents();
    const double openMs = clock.nsecsElapsed() / 1e6;
    const long openPeak = peakMegabytes();
    const int lines = form.RichEdit1->GetLineCount();
    if (lines < pages * LinesPerPage) {
        std::fprintf(stderr, "only %d display lines for %d lines of script\n", lines, pages * LinesPerPage);
        return 1;
    }

    double firstStepMs = -1;
    form.Engine->OnStep = [&](bool after) {
        if (!after || firstStepMs >= 0)
            return;
        firstStepMs = clock.nsecsElapsed() / 1e6;
        QTimer::singleShot(0, form.RichEdit1, [&form] { QTest::keyClick(form.RichEdit1, Qt::Key_Escape); });
    };
    clock.restart();
    form.Engine->SpeedButton1Click();
    const long promptPeak = peakMegabytes();
    if (firstStepMs < 0) {
        std::fprintf(stderr, "prompting made no step\n");
        return 1;
    }

    clock.restart();
    form.Files->FileSaveAs();
    const double saveMs = clock.nsecsElapsed() / 1e6;
    const long savePeak = peakMegabytes();

    std::printf("%6d pages %-5s %7.1f MB %8d lines | open %8.0f ms %5ld MB | F10 to first step %7.0f ms %5ld MB"
                " | save %7.0f ms %5ld MB | (start %ld MB)\n",
                pages, rtf ? "rtf" : "plain", megabytes, lines, openMs, openPeak, firstStepMs, promptPeak, saveMs,
                savePeak, baseline);
    form.RichEdit1->SetModified(false);
    return 0;
}
