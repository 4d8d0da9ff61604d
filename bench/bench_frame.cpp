// The frame painter's cost per frame on a 1920x1080 target with 80-pixel text, straight and
// mirrored, the operator's picture and the filled talent picture. Run it offscreen:
//   QT_QPA_PLATFORM=offscreen build/bench/bench_frame

#include "controls/TRichEdit.h"
#include "prompt/FramePainter.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QTextDocument>

#include <algorithm>
#include <cstdio>
#include <vector>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    constexpr int Width = 1920;
    constexpr int Height = 1080;
    constexpr int Margin = 41;

    TRichEdit edit;
    edit.resize(Width - Margin, Height);
    QStringList lines;
    for (int i = 0; i < 400; ++i)
        lines << QStringLiteral("%1 Good evening and welcome to the Riverside Community Hour.").arg(i);
    edit.setPlainText(lines.join(QLatin1Char('\n')));
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(80);
    edit.document()->setDefaultFont(font);
    edit.SetWrapWidth(Width - Margin - 20);
    edit.show();
    const int lineHeight = edit.LineTop(1) - edit.LineTop(0);

    PromptFrame frame;
    frame.prompting = true;
    frame.width = Width;
    frame.height = Height;
    frame.marginWidth = Margin;
    frame.wrapWidth = Width - Margin - 20;
    frame.background = Qt::black;
    frame.text = Qt::white;
    frame.margin = Qt::black;
    frame.arrowColour = Qt::white;
    frame.arrowTop = 136;
    frame.arrowHeight = 74;
    frame.arrowPixelSize = 64;
    frame.readouts = {{264, 12, 11, QStringLiteral("12")}, {288, 12, 9, QStringLiteral("5")}};
    frame.readoutColour = Qt::white;

    QImage target(Width, Height, QImage::Format_ARGB32_Premultiplied);
    std::printf("%-34s %10s %10s %10s\n", "1920x1080, 80-px text", "mean ms", "median ms", "worst ms");
    for (const bool fill : {false, true})
        for (const Mirror mirror : {Mirror::None, Mirror::Horizontal, Mirror::Both}) {
            FramePainter::Options options;
            options.fill = fill;
            options.mirror = mirror;
            std::vector<double> ms;
            FramePainter::Cache cache;
            for (int step = 0; step < 300; ++step) {
                // A step of 5 pixels a frame, crossing lines and the seam between panes.
                const int y = step * 5;
                frame.step = step;
                frame.a = {-(y % Height), Height, qreal(y / Height * Height)};
                frame.b = {frame.a.top + Height, Height, frame.a.documentY + Height};
                QElapsedTimer clock;
                clock.start();
                QPainter painter(&target);
                FramePainter::Paint(painter, target.rect(), frame, *edit.document(), options, &cache);
                painter.end();
                ms.push_back(clock.nsecsElapsed() / 1e6);
            }
            std::sort(ms.begin(), ms.end());
            double sum = 0;
            for (double v : ms)
                sum += v;
            const char *names[] = {"none", "left-right", "upside down", "half turn"};
            std::printf(
                "%-34s %10.2f %10.2f %10.2f\n",
                qPrintable(QStringLiteral("%1, mirror %2").arg(fill ? "filled" : "operator").arg(names[int(mirror)])),
                sum / ms.size(), ms[ms.size() / 2], ms.back());
        }
    std::printf("line height %d px\n", lineHeight);
    return 0;
}
