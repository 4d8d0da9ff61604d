#include "TestWindow.h"
#include "PromptRunner.h"

#include "app/TMainForm.h"
#include "controls/ClientArea.h"
#include "controls/TRichEdit.h"
#include "controls/WidgetColours.h"
#include "prompt/DisplayAids.h"
#include "prompt/FramePainter.h"
#include "prompt/PromptEngine.h"

#include <QLabel>
#include <QPainter>
#include <QTextCursor>
#include <QtTest>

// The frame the engine publishes, painted by the frame painter, against the operator's own
// window.
class tst_FramePainter : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void paintedFrameEqualsTheOperatorPanes();
    void mirrorsTurnThePicture_data();
    void mirrorsTurnThePicture();
    void fillRunsTheTextOnToTheEdges();
    void readoutsCanBeLeftOut();
    void cachedTextEqualsTextDrawnAfresh_data();
    void cachedTextEqualsTextDrawnAfresh();
    void betweenRunsTheEditorViewIsPublished();

private:
    void loadLines(int count);
    QImage paint(const PromptFrame &frame, QSize size, const FramePainter::Options &options = {},
                 FramePainter::Cache *cache = nullptr) const;
    QImage grabClient() const;
    // The parts of the prompt area that the panes cover.
    static QList<QRect> paneRects(const PromptFrame &frame);
    static QString firstDifference(const QImage &a, const QImage &b, const QRect &area, QPoint shiftB = {});
    std::unique_ptr<TestWindow> m_window;
    TMainForm *m_form = nullptr;
};

void tst_FramePainter::init()
{
    m_window = std::make_unique<TestWindow>();
    m_form = &m_window->open();
    QVERIFY(m_window->show({700, 500}));
    m_window->slowKeys();
    m_form->Action(QStringLiteral("FontSmoothing1"))->setChecked(false);
}

void tst_FramePainter::cleanup()
{
    QVERIFY2(m_window->clean(), qPrintable(m_window->errors()));
    m_form = nullptr;
    m_window.reset();
}

void tst_FramePainter::loadLines(int count)
{
    m_window->loadLines(count, {}, QStringLiteral("Line %1 of the script, long enough to show its letters"));
}

QImage tst_FramePainter::paint(const PromptFrame &frame, QSize size, const FramePainter::Options &options,
                               FramePainter::Cache *cache) const
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::magenta);
    QPainter painter(&image);
    FramePainter::Paint(painter, image.rect(), frame, *m_form->RichEdit1->document(), options, cache);
    painter.end();
    return image.convertToFormat(QImage::Format_RGB32);
}

QImage tst_FramePainter::grabClient() const
{
    return m_form->Controls().Client->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

QList<QRect> tst_FramePainter::paneRects(const PromptFrame &frame)
{
    const QRect area(0, 0, frame.width, frame.height);
    QList<QRect> rects;
    for (const PromptFrame::Pane &p : {frame.a, frame.b}) {
        const QRect r = QRect(frame.marginWidth, p.top, frame.wrapWidth, p.height).intersected(area);
        if (!r.isEmpty())
            rects << r;
    }
    return rects;
}

// Where two pictures differ by more than the rounding of text drawn over text: the panes
// draw their lines into a picture a band at a time, so a pixel where two lines' glyphs meet
// may come out a few levels apart.
QString tst_FramePainter::firstDifference(const QImage &a, const QImage &b, const QRect &area, QPoint shiftB)
{
    int differing = 0;
    QString first;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const QRgb pa = a.pixel(x, y), pb = b.pixel(x + shiftB.x(), y + shiftB.y());
            if (pa == pb)
                continue;
            ++differing;
            const int d
                = std::max({qAbs(qRed(pa) - qRed(pb)), qAbs(qGreen(pa) - qGreen(pb)), qAbs(qBlue(pa) - qBlue(pb))});
            if (d > 8 && first.isEmpty())
                first = QStringLiteral("(%1,%2): %3 against %4").arg(x).arg(y).arg(pa, 8, 16).arg(pb, 8, 16);
        }
    if (first.isEmpty() && differing > area.width() * area.height() / 2000)
        first = QStringLiteral("%1 pixels differ").arg(differing);
    return first;
}

// Steps of a real run, crossings among them, in both directions: what the painter makes of
// each published frame is what the operator's panes show at that moment.
void tst_FramePainter::paintedFrameEqualsTheOperatorPanes()
{
    loadLines(300);
    PromptRunner driver(*m_form);
    const PromptState &p = m_form->Prompt;
    int compared = 0, crossingsCompared = 0, forwardCrossings = 0, reverseCrossings = 0;
    QString fault;
    m_form->Engine->AddFrameListener([&](const PromptFrame &frame) {
        if (!frame.prompting || !fault.isEmpty() || !p.LoopRunning)
            return;
        const bool crossing = p.PaneAWrapped || p.PaneBWrapped;
        if (crossing)
            ++(p.Reverse ? reverseCrossings : forwardCrossings);
        // Every crossing, and every 25th step besides.
        if (!crossing && frame.step % 25 != 0)
            return;
        const QImage grabbed = grabClient();
        const QImage painted = paint(frame, grabbed.size());
        for (const QRect &r : paneRects(frame)) {
            const QString d = firstDifference(painted, grabbed, r);
            if (!d.isEmpty() && fault.isEmpty() && qEnvironmentVariableIsSet("FRAME_DUMP")) {
                grabbed.save(QStringLiteral("/tmp/h21/grab.png"));
                painted.save(QStringLiteral("/tmp/h21/paint.png"));
            }
            if (!d.isEmpty() && fault.isEmpty())
                fault = QStringLiteral("step %1, pane area %2,%3 %4x%5: %6")
                            .arg(frame.step)
                            .arg(r.x())
                            .arg(r.y())
                            .arg(r.width())
                            .arg(r.height())
                            .arg(d);
        }
        ++compared;
        if (crossing)
            ++crossingsCompared;
    });
    driver.when([] { return true; }, [&] { driver.key(Qt::Key_9); });
    driver.when([&] { return forwardCrossings >= 4; }, [&] { driver.key(Qt::Key_Return); });
    driver.when([&] { return reverseCrossings >= 2; }, [] {});
    const bool finished = driver.run(60000);
    QVERIFY2(fault.isEmpty(), qPrintable(fault));
    QVERIFY2(
        finished,
        qPrintable(QStringLiteral("%1 forward and %2 reverse crossings").arg(forwardCrossings).arg(reverseCrossings)));
    QVERIFY(crossingsCompared >= 6);
    QVERIFY(compared > crossingsCompared);
}

void tst_FramePainter::mirrorsTurnThePicture_data()
{
    QTest::addColumn<Mirror>("mirror");
    QTest::addColumn<bool>("horizontal");
    QTest::addColumn<bool>("vertical");
    QTest::newRow("left-right") << Mirror::Horizontal << true << false;
    QTest::newRow("upside down") << Mirror::Vertical << false << true;
    QTest::newRow("half turn") << Mirror::Both << true << true;
}

void tst_FramePainter::mirrorsTurnThePicture()
{
    QFETCH(Mirror, mirror);
    QFETCH(bool, horizontal);
    QFETCH(bool, vertical);
    loadLines(100);
    PromptRunner driver(*m_form);
    PromptFrame frame;
    driver.when([] { return true; }, [&] { driver.key(Qt::Key_5); });
    driver.when([&] { return m_form->Engine->CurrentFrame().a.top < -30; },
                [&] { frame = m_form->Engine->CurrentFrame(); });
    QVERIFY(driver.run());
    // An odd size: no half pixel may be lost on the way.
    for (const QSize size : {QSize(frame.width, frame.height), QSize(1001, 603)}) {
        FramePainter::Cache straightCache, turnedCache;
        const QImage straight = paint(frame, size, {}, &straightCache);
        FramePainter::Options options;
        options.mirror = mirror;
        const QImage turned = paint(frame, size, options, &turnedCache);
        const QImage expected = straight.mirrored(horizontal, vertical);
        const QString d = firstDifference(turned, expected, turned.rect());
        QVERIFY2(d.isEmpty(), qPrintable(d));
        QVERIFY(turned != straight);
    }
}

// On a target of another shape the text fills the width and runs on past the operator's
// panes; the arrow's line keeps its height on the target.
void tst_FramePainter::fillRunsTheTextOnToTheEdges()
{
    loadLines(300);
    PromptRunner driver(*m_form);
    PromptFrame frame;
    QImage grabbed;
    driver.when([] { return true; }, [&] { driver.key(Qt::Key_4); });
    // Mid-run, with both panes on screen.
    driver.when([&] { return m_form->Prompt.TopLine > 30 && m_form->Engine->CurrentFrame().a.top < -40; },
                [&] {
                    frame = m_form->Engine->CurrentFrame();
                    grabbed = grabClient();
                });
    QVERIFY(driver.run());
    QVERIFY(frame.b.height > 0);

    FramePainter::Options fill;
    fill.fill = true;
    // As wide as the operator's area and twice as tall: at scale 1 the operator's picture
    // is there whole, moved down by as much as keeps the arrow's line at its fraction.
    const QImage tall = paint(frame, QSize(frame.width, 2 * frame.height), fill);
    const qreal arrowY = frame.arrowTop + frame.arrowHeight / 2.0;
    const int shift = qRound(arrowY / frame.height * 2 * frame.height - arrowY);
    QCOMPARE(shift, qRound(arrowY));
    for (const QRect &r : paneRects(frame))
        QVERIFY2(firstDifference(grabbed, tall, r, QPoint(0, shift)).isEmpty(),
                 qPrintable(firstDifference(grabbed, tall, r, QPoint(0, shift))));
    // Text above and below the operator's picture: no band of background anywhere.
    auto rowsWithText = [&](const QImage &image, int from, int to) {
        const QRgb background = frame.background.rgb();
        int rows = 0;
        for (int y = from; y < to; ++y)
            for (int x = frame.marginWidth; x < image.width(); ++x)
                if (image.pixel(x, y) != background) {
                    ++rows;
                    break;
                }
        return rows;
    };
    const int lineHeight = m_form->RichEdit1->LineTop(1) - m_form->RichEdit1->LineTop(0);
    for (const auto &[from, to] : {std::pair(0, shift), std::pair(shift + frame.height, 2 * frame.height)}) {
        const int bands = (to - from) / lineHeight;
        QVERIFY2(rowsWithText(tall, from, to) >= bands * lineHeight / 4,
                 qPrintable(QStringLiteral("%1 to %2").arg(from).arg(to)));
    }
    // Without the margin a wide target is filled by the script's width alone: the text's
    // left edge is at the target's left.
    fill.margin = false;
    const QImage wide = paint(frame, QSize(1920, 1080), fill);
    QVERIFY(wide.pixel(2, 540) == frame.background.rgb());
    QCOMPARE(wide.pixel(1919, 1079), frame.background.rgb());
    QVERIFY(rowsWithText(wide, 0, 1080) > 200);
}

void tst_FramePainter::readoutsCanBeLeftOut()
{
    loadLines(100);
    // A white script, as a new one is: the margin takes its colour, the read-outs must not.
    SetScriptBackground(m_form->Controls(), 0xFFFFFF);
    m_form->Aids->Panel1DblClick(); // the read-outs on
    PromptRunner driver(*m_form);
    PromptFrame frame;
    driver.when([] { return true; }, [&] { driver.key(Qt::Key_3); });
    driver.when([&] { return m_form->Engine->CurrentFrame().a.top < -10; },
                [&] { frame = m_form->Engine->CurrentFrame(); });
    QVERIFY(driver.run());
    QCOMPARE(frame.readouts.size(), 4);
    QVERIFY2(frame.readoutColour != frame.margin, qPrintable(frame.margin.name()));
    FramePainter::Options options;
    const QImage with = paint(frame, QSize(frame.width, frame.height), options);
    options.readouts = false;
    const QImage without = paint(frame, QSize(frame.width, frame.height), options);
    const QRgb margin = frame.margin.rgb();
    for (const PromptFrame::Readout &r : frame.readouts) {
        const QRect band(0, r.top, frame.marginWidth, r.height);
        if (!r.text.isEmpty())
            QVERIFY2(!firstDifference(with, without, band).isEmpty(),
                     qPrintable(
                         QStringLiteral("%1 at %2 h %3 px %4").arg(r.text).arg(r.top).arg(r.height).arg(r.pixelSize)));
        for (int y = band.top(); y <= band.bottom(); ++y)
            for (int x = 0; x < frame.marginWidth; ++x)
                QCOMPARE(without.pixel(x, y), margin);
    }
}

void tst_FramePainter::cachedTextEqualsTextDrawnAfresh_data()
{
    QTest::addColumn<bool>("fill");
    QTest::addColumn<Mirror>("mirror");
    QTest::addColumn<QSize>("size");
    QTest::newRow("operator's size") << false << Mirror::None << QSize();
    QTest::newRow("operator's size, left-right") << false << Mirror::Horizontal << QSize();
    QTest::newRow("smaller, upside down") << false << Mirror::Vertical << QSize(333, 257);
    QTest::newRow("filled, twice as tall") << true << Mirror::None << QSize(0, 2);
    QTest::newRow("filled, wide, half turn") << true << Mirror::Both << QSize(1280, 720);
}

void tst_FramePainter::cachedTextEqualsTextDrawnAfresh()
{
    QFETCH(bool, fill);
    QFETCH(Mirror, mirror);
    QFETCH(QSize, size);
    loadLines(300);
    PromptRunner driver(*m_form);
    QList<PromptFrame> frames;
    driver.when([] { return true; }, [&] { driver.key(Qt::Key_9); });
    // Frames apart, the last ones across a crossing.
    driver.when([&] { return m_form->Engine->CurrentFrame().a.top < -20; },
                [&] { frames << m_form->Engine->CurrentFrame(); });
    driver.when([&] { return m_form->Prompt.TopLine > 0; }, [&] { frames << m_form->Engine->CurrentFrame(); });
    driver.when([&] { return m_form->Engine->CurrentFrame().b.top < -20; },
                [&] { frames << m_form->Engine->CurrentFrame(); });
    QVERIFY(driver.run());
    FramePainter::Options options;
    options.fill = fill;
    options.mirror = mirror;
    FramePainter::Cache cache;
    auto check = [&](const PromptFrame &frame) {
        QSize s = size;
        if (s.isEmpty())
            s = QSize(frame.width, s.height() ? s.height() * frame.height : frame.height);
        const QImage fresh = paint(frame, s, options);
        const QImage cached = paint(frame, s, options, &cache);
        if (s.width() == frame.width) {
            const QString d = firstDifference(fresh, cached, fresh.rect());
            QVERIFY2(d.isEmpty(), qPrintable(d));
            return;
        }
        // Scaled, the bands put the text within half a pixel of where it is drawn afresh:
        // each row holds about as much ink as the rows around it there.
        auto ink = [](const QImage &image) {
            QList<int> rows;
            for (int y = 0; y < image.height(); ++y) {
                int sum = 0;
                for (int x = 0; x < image.width(); ++x)
                    sum += qGray(image.pixel(x, y));
                rows << sum;
            }
            return rows;
        };
        const QList<int> a = ink(fresh), b = ink(cached);
        for (int y = 2; y + 2 < a.size(); ++y) {
            const int low = std::min({a[y - 2], a[y - 1], a[y], a[y + 1], a[y + 2]});
            const int high = std::max({a[y - 2], a[y - 1], a[y], a[y + 1], a[y + 2]});
            QVERIFY2(b[y] >= low * 0.75 - 255 && b[y] <= high * 1.25 + 255,
                     qPrintable(QStringLiteral("row %1: %2, afresh %3 to %4").arg(y).arg(b[y]).arg(low).arg(high)));
        }
    };
    for (const PromptFrame &frame : frames)
        check(frame);
    // An edit of the script reaches the cached text.
    QTextCursor cursor(m_form->RichEdit1->document());
    cursor.movePosition(QTextCursor::Start);
    for (int i = 0; i < 60; ++i) {
        cursor.movePosition(QTextCursor::NextBlock);
        cursor.insertText(QStringLiteral("EDITED "));
    }
    check(frames.last());
}

void tst_FramePainter::betweenRunsTheEditorViewIsPublished()
{
    loadLines(300);
    int published = 0;
    m_form->Engine->AddFrameListener([&](const PromptFrame &) { ++published; });
    TRichEdit *editor = m_form->RichEdit1;
    editor->LineScroll(40);
    QVERIFY(published > 0);
    const PromptFrame &frame = m_form->Engine->CurrentFrame();
    QVERIFY(!frame.prompting);
    QCOMPARE(frame.a.top, 0);
    QCOMPARE(frame.b.height, 0);
    QCOMPARE(qRound(frame.a.documentY), editor->LineTop(40));
}

QTEST_MAIN(tst_FramePainter)
#include "tst_framepainter.moc"
