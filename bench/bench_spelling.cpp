// The spelling check's word walk over a long script with the system's dictionary: loading
// the dictionary, a check with nothing to ask (every word known), and a check whose
// misspellings are all changed by automatic corrections, each made in place; and the time
// the dialog waits for the suggestions of a word that is not known.
//
//   bench_spelling [pages]      (default 200 pages of 450 words)

#include "spelling/HunspellDictionary.h"
#include "spelling/Lexicons.h"
#include "spelling/SpellCheckRun.h"
#include "spelling/SpellEngineOptions.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QTextDocument>

#include <cstdio>

namespace {

constexpr int kWordsPerPage = 450;

void buildScript(QTextDocument &doc, int pages, bool withTypos)
{
    static const char *const words[] = {"the", "speaker", "turns", "to", "camera", "and", "says",
                                        "good", "evening", "welcome", "back", "tonight's",
                                        "program", "about", "weather", "news", "from", "region"};
    QRandomGenerator rng(7);
    QTextCursor cursor(&doc);
    doc.setUndoRedoEnabled(false);
    QString paragraph;
    for (int i = 0; i < pages * kWordsPerPage; ++i) {
        const bool typo = withTypos && i % 50 == 49;
        paragraph += typo ? QStringLiteral("teh") : QString::fromUtf8(words[rng.bounded(int(std::size(words)))]);
        paragraph += i % 60 == 59 ? QStringLiteral(".") : QStringLiteral(" ");
        if (i % 60 == 59) {
            cursor.insertText(paragraph);
            cursor.insertBlock();
            paragraph.clear();
        }
    }
    cursor.insertText(paragraph);
}

}

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    const int pages = argc > 1 ? std::max(1, atoi(argv[1])) : 200;

    QElapsedTimer timer;
    timer.start();
    const auto dictionary = HunspellDictionary::System(QStringLiteral("en_US"));
    if (!dictionary) {
        std::printf("The en_US Hunspell dictionary is not installed.\n");
        return 1;
    }
    std::printf("dictionary load: %lld ms\n", timer.elapsed());

    QTemporaryDir dir;
    QFile corrections(dir.filePath(QStringLiteral("correct.tlx")));
    corrections.open(QIODevice::WriteOnly);
    corrections.write("teh=the\n");
    corrections.close();
    SpellEngineOptions options;
    options.UserLexPath = dir.path();
    options.UserLexFiles = QStringLiteral("correct.tlx");

    for (const bool withTypos : {false, true}) {
        QTextDocument doc;
        buildScript(doc, pages, withTypos);
        Lexicons lexicons(dictionary.get());
        lexicons.Load(options);
        SpellCheckRun run(&doc, lexicons, true);
        timer.restart();
        int asked = 0;
        while (run.Next()) {
            ++asked;
            run.Ignore();
        }
        const qint64 ms = std::max<qint64>(1, timer.elapsed());
        const SpellStatistics &s = run.Statistics();
        std::printf("%s: %d words checked, %d changed, %d asked in %lld ms (%lld words/s)\n",
                    withTypos ? "one word in 50 corrected automatically" : "every word known",
                    s.WordsChecked, s.WordsChanged, asked, ms, s.WordsChecked * 1000LL / ms);
    }

    const QStringList unknown = {"speking", "weathr", "nwes", "tset", "recieve", "goverment", "Thiss", "teleprompterr"};
    timer.restart();
    for (const QString &word : unknown)
        dictionary->Suggestions(word);
    std::printf("suggestions for a word not known: %lld ms on average\n", timer.elapsed() / unknown.size());
    return 0;
}
