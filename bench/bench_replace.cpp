// Replace All in the replace dialog over a shown editor: a 3-letter word replaced by a
// 5-letter one in a 1 MB script, with 1,000, 10,000 and 100,000 hits, measured in one
// run, and the ratio of the times against the ratio of the hits. For comparison, the
// same replacements made one selection at a time on the editor itself.
//
//   bench_replace [megabytes]      (default 1)

#include "controls/Dialogs.h"
#include "controls/TRichEdit.h"
#include "editor/MarkerSearchState.h"
#include "search/Treplacedialogbox.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTextCursor>

#include <cstdio>

namespace {

// Messages are counted, not shown.
class QuietDialogs : public Dialogs
{
public:
    int messages = 0;
    void information(QWidget *, const QString &) override { ++messages; }
};

// A script of the given size in lines of about 60 characters, with the word "cat"
// hits times, spread evenly, among words that never contain it.
QString script(qsizetype bytes, int hits)
{
    static const QString filler = QStringLiteral("the speaker turns to camera and says good evening ");
    QString text;
    text.reserve(bytes + 64);
    const qsizetype every = bytes / hits;
    qsizetype nextHit = 0;
    int placed = 0;
    int column = 0;
    qsizetype f = 0;
    while (text.size() < bytes) {
        if (placed < hits && text.size() >= nextHit) {
            text += QStringLiteral("cat ");
            ++placed;
            nextHit += every;
            column += 4;
        } else {
            text += filler.at(f);
            f = (f + 1) % filler.size();
            ++column;
        }
        if (column >= 60 && text.back() == u' ') {
            text.back() = u'\n';
            column = 0;
        }
    }
    return text;
}

struct Editor
{
    TRichEdit edit;
    Editor(const QString &text)
    {
        edit.resize(766, 434);
        edit.SetBaseFont(QStringLiteral("Arial"), 60, 0xFFFFFF);
        edit.setPlainText(text);
        edit.show();
        QApplication::processEvents();
    }
};

double replaceAllMs(const QString &text, int hits, int *replaced)
{
    Editor editor(text);
    QuietDialogs quiet;
    Dialogs *dialogs = &quiet;
    MarkerSearchState state;
    Treplacedialogbox dialog;
    dialog.Edit1->setText(QStringLiteral("cat"));
    dialog.Edit2->setText(QStringLiteral("horse"));
    QElapsedTimer timer;
    timer.start();
    dialog.Open(&editor.edit, &dialogs, state.FoundPos);
    dialog.BitBtn3Click();
    QApplication::processEvents();
    const double ms = timer.nsecsElapsed() / 1e6;
    *replaced = int((editor.edit.Text().size() - text.size()) / 2);
    if (*replaced != hits)
        std::printf("  (expected %d replacements, made %d)\n", hits, *replaced);
    return ms;
}

// Each hit selected on the editor and replaced there, without one edit for the whole.
double oneAtATimeMs(const QString &text, int hits)
{
    Editor editor(text);
    QElapsedTimer timer;
    timer.start();
    qsizetype from = 0;
    int delta = 0;
    for (int i = 0; i < hits; ++i) {
        const qsizetype at = text.indexOf(QStringLiteral("cat"), from);
        editor.edit.SetSelection(int(at) + delta, 3);
        editor.edit.SetSelText(QStringLiteral("horse"));
        delta += 2;
        from = at + 1;
    }
    QApplication::processEvents();
    return timer.nsecsElapsed() / 1e6;
}

}

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const double megabytes = argc > 1 ? QString::fromLocal8Bit(argv[1]).toDouble() : 1.0;
    const qsizetype bytes = qsizetype(megabytes * 1024 * 1024);
    std::printf("Replace All \"cat\" -> \"horse\" in a %.1f MB script, editor shown at 766x434, Arial 60\n",
                megabytes);
    // Once untimed, so that fonts and caches are ready for the first figure.
    int warm = 0;
    replaceAllMs(script(bytes, 1000), 1000, &warm);
    double previous = 0;
    int previousHits = 0;
    for (int hits : {1000, 10000, 100000}) {
        const QString text = script(bytes, hits);
        int replaced = 0;
        const double ms = replaceAllMs(text, hits, &replaced);
        std::printf("  %6d hits: %8.1f ms", hits, ms);
        if (previous > 0)
            std::printf("   (%.0fx the hits, %.1fx the time)", double(hits) / previousHits, ms / previous);
        std::printf("\n");
        previous = ms;
        previousHits = hits;
    }
    const int few = 1000;
    const QString text = script(bytes, few);
    int replaced = 0;
    const double batched = replaceAllMs(text, few, &replaced);
    const double single = oneAtATimeMs(text, few);
    std::printf("One selection and replacement at a time on the editor, %d hits: %.1f ms (%.0fx Replace All)\n",
                few, single, single / batched);
    return 0;
}
