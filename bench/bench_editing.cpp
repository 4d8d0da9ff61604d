// Editing long scripts: what a long paragraph costs while the program idles, how long a
// key takes to show in it, and how Insert grows with the size of the inserted file.
//
// Run it on a display (xvfb-run, QT_QPA_PLATFORM=xcb): the caret blinks only in an
// active window.
//
//   build/bench/bench_editing idle 1      idle processor share: 1 MB in one paragraph
//                                         against the same megabyte in lines
//   build/bench/bench_editing key 10      key to screen in a 10 MB one-line script
//   build/bench/bench_editing insert 1 10 Insert of a 1 MB and a 10 MB file

#include "app/TMainForm.h"
#include "controls/Dialogs.h"
#include "controls/TRichEdit.h"
#include "editor/ScriptFiles.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <sys/resource.h>
#include <vector>

#include "BenchSupport.h"

namespace {

// Words of a script, as one paragraph or a paragraph every 40 characters.
QByteArray script(double megabytes, bool lines)
{
    const QByteArray words = "The harbour volunteers rebuilt the pier. ";
    QByteArray bytes;
    const qsizetype size = qsizetype(megabytes * 1e6);
    bytes.reserve(size + 64);
    while (bytes.size() < size) {
        bytes += words;
        if (lines)
            bytes += "\r\n";
    }
    return bytes;
}

class ChosenFiles : public Dialogs
{
public:
    QString open;
    FileChoice openFile(QWidget *, const QString &, const QStringList &, int index) override
    {
        return {true, open, index};
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

struct Window
{
    ChosenFiles dialogs;
    TMainForm form{QString(), &dialogs};
    Window()
    {
        form.show();
        // Active, so that the caret blinks as it does for the operator.
        form.activateWindow();
        if (!QTest::qWaitForWindowExposed(&form) || !QTest::qWaitForWindowActive(&form))
            std::exit(1);
        form.Timer2->stop();
    }
    double open(const QString &path)
    {
        dialogs.open = path;
        QElapsedTimer clock;
        clock.start();
        form.Files->FileOpen();
        QCoreApplication::processEvents();
        return clock.nsecsElapsed() / 1e6;
    }
};

QString writeScript(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        std::exit(1);
    return path;
}

// The share of one core the program takes while it sits with the caret in the script.
double idleShare(Window &w, int seconds)
{
    w.form.RichEdit1->setFocus();
    w.form.RichEdit1->SetSelection(w.form.RichEdit1->document()->characterCount() / 2, 0);
    QTest::qWait(1500);
    const double before = cpuSeconds();
    QElapsedTimer clock;
    clock.start();
    QTest::qWait(seconds * 1000);
    return 100.0 * (cpuSeconds() - before) / (clock.nsecsElapsed() / 1e9);
}

int idle(double megabytes, const QTemporaryDir &dir)
{
    const int seconds = 10;
    double share[2];
    for (bool lines : {false, true}) {
        Window w;
        const double openMs = w.open(writeScript(dir, QStringLiteral("idle.txt"), script(megabytes, lines)));
        share[lines] = idleShare(w, seconds);
        std::printf("%.1f MB %-14s open %7.0f ms, idle %5.1f %% of a core over %d s\n", megabytes,
                    lines ? "in lines" : "one paragraph", openMs, share[lines], seconds);
        w.form.RichEdit1->SetModified(false);
    }
    std::printf("idle ratio, one paragraph / lines: %.2f\n", share[0] / std::max(share[1], 0.01));
    return 0;
}

int key(double megabytes, const QTemporaryDir &dir)
{
    Window w;
    const double openMs = w.open(writeScript(dir, QStringLiteral("key.txt"), script(megabytes, false)));
    TRichEdit *edit = w.form.RichEdit1;
    edit->setFocus();
    edit->SetSelection(edit->document()->characterCount() / 2, 0);
    QTest::qWait(500);
    std::vector<double> times;
    for (int i = 0; i < 7; ++i) {
        QElapsedTimer clock;
        clock.start();
        QTest::keyClick(edit, Qt::Key_X);
        // Until the key's paint has run.
        edit->viewport()->repaint();
        times.push_back(clock.nsecsElapsed() / 1e6);
        QTest::qWait(50);
    }
    std::sort(times.begin(), times.end());
    std::printf("%.1f MB one line: open %.0f ms; key to screen median %.1f ms, worst %.1f ms\n", megabytes, openMs,
                times[times.size() / 2], times.back());
    edit->SetModified(false);
    return 0;
}

int insert(double small, double large, const QTemporaryDir &dir)
{
    double ms[2];
    int i = 0;
    for (double megabytes : {small, large}) {
        Window w;
        w.open(writeScript(dir, QStringLiteral("base.txt"), "A short script.\r\n"));
        w.dialogs.open = writeScript(dir, QStringLiteral("insert.txt"), script(megabytes, true));
        QElapsedTimer clock;
        clock.start();
        w.form.Files->Insert2Click();
        QCoreApplication::processEvents();
        ms[i++] = clock.nsecsElapsed() / 1e6;
        std::printf("Insert of %.1f MB in lines: %.0f ms\n", megabytes, ms[i - 1]);
        w.form.RichEdit1->SetModified(false);
    }
    std::printf("Insert time ratio %.1f for %.1f times the size\n", ms[1] / ms[0], large / small);
    return 0;
}

}

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_FONT_DPI"))
        qputenv("QT_FONT_DPI", "96");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    const QByteArray mode = argc > 1 ? argv[1] : "idle";
    const double a = argc > 2 ? std::atof(argv[2]) : 1;
    const double b = argc > 3 ? std::atof(argv[3]) : 10 * a;
    if (mode == "idle")
        return idle(a, dir);
    if (mode == "key")
        return key(a, dir);
    if (mode == "insert")
        return insert(a, b, dir);
    std::fprintf(stderr, "modes: idle MB | key MB | insert MB MB\n");
    return 2;
}
