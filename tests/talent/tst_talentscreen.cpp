#include "TestWindow.h"
#include "PromptRunner.h"

#include "app/TMainForm.h"
#include "controls/ClientArea.h"
#include "controls/TRichEdit.h"
#include "controls/TStatusBar.h"
#include "prompt/FramePainter.h"
#include "prompt/DisplayAids.h"
#include "prompt/PromptEngine.h"
#include "settings/Settings.h"
#include "talent/FrameView.h"
#include "talent/TalentScreen.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QWindow>
#include <QtTest>

namespace {

QByteArray iniBytes()
{
    QFile file(QStringLiteral("CORVANTA.INI"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// The offscreen platform's one screen has no name of its own.
QString screenName()
{
    const QString name = QGuiApplication::primaryScreen()->name();
    return name.isEmpty() ? QStringLiteral("Screen 1") : name;
}

// The steady method at one pixel a step and a row for every key, so that runs are short.
void prepareRun(TMainForm &form, int lines)
{
    form.Timer2->stop();
    Settings &s = *form.SettingsRecord;
    for (int k = 1; k <= 9; ++k)
        s.KeyboardSpeedTable[k] = {k * 3, 0};
    form.Action(QStringLiteral("FontSmoothing1"))->setChecked(false);
    QStringList text;
    for (int i = 0; i < lines; ++i)
        text << QStringLiteral("Line %1 of the script, long enough to wrap on the talent's screen").arg(i);
    form.RichEdit1->setPlainText(text.join(QLatin1Char('\n')));
    form.RichEdit1->SetSelection(0, 0);
}

QImage painted(const PromptFrame &frame, const QTextDocument &document, QSize size,
               const FramePainter::Options &options, FramePainter::Cache *shared = nullptr)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::magenta);
    QPainter painter(&image);
    FramePainter::Cache cache;
    FramePainter::Paint(painter, QRect(QPoint(), size), frame, document, options, shared ? shared : &cache);
    return image;
}

// Where two pictures differ, for the failure message.
QString difference(const QImage &a, const QImage &b)
{
    if (a.size() != b.size())
        return QStringLiteral("sizes %1x%2 and %3x%4").arg(a.width()).arg(a.height()).arg(b.width()).arg(b.height());
    int count = 0, most = 0;
    QPoint first;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.pixel(x, y) != b.pixel(x, y)) {
                if (count++ == 0)
                    first = QPoint(x, y);
                most = std::max(most, std::abs(qGray(a.pixel(x, y)) - qGray(b.pixel(x, y))));
            }
    return QStringLiteral("%1 pixels differ, by up to %4 grey levels, the first at %2,%3")
        .arg(count)
        .arg(first.x())
        .arg(first.y())
        .arg(most);
}

QImage grabbed(QWidget *widget)
{
    return widget->grab().toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

// A crossing: a pane has been put underneath the other one since the last frame.
bool crossed(const PromptFrame &before, const PromptFrame &after)
{
    return std::abs(after.a.top - before.a.top) > 40 || std::abs(after.b.top - before.b.top) > 40;
}

QStringList menuCaptions(TMainForm &form)
{
    QStringList captions;
    for (QAction *a : form.findChild<QMenu *>(QStringLiteral("TalentScreen1"))->actions())
        if (!a->isSeparator())
            captions << (a->isChecked() ? QStringLiteral("[x] ") : QStringLiteral("[ ] ")) + a->text();
    return captions;
}

}

class tst_TalentScreen : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void choiceIsWrittenBack();
    void savedChoice_data();
    void savedChoice();
    void windowNeverTakesTheKeys();
    void standingScriptFollowsTheEditor();
    void missingScreenIsReportedAfterPrompting();
    void talentPictureIsThePaintersPicture();
    void mirrorPrompterTurnsTheOperatorView();
};

// Each choice writes its key; every other line of the file stays as it was.
void tst_TalentScreen::choiceIsWrittenBack()
{
    TestWindow window;
    QVERIFY(writeSettingsFile({}));
    const QByteArray before = iniBytes();
    TMainForm &form = window.open();

    struct Step
    {
        const char *item;
        QString section, key, value;
    };
    const QList<Step> steps = {
        {"TalentOutput1", "TALENT", "SCREEN", screenName()}, {"MirrorLeftRight1", "TALENT", "MIRROR", "H"},
        {"MirrorTopBottom1", "TALENT", "MIRROR", "HV"},      {"MirrorLeftRight1", "TALENT", "MIRROR", "V"},
        {"MirrorTopBottom1", "TALENT", "MIRROR", "NONE"},    {"TalentNone1", "TALENT", "SCREEN", ""},
        {"MirrorPrompter1", "SCROLLING", "MIRROR", "YES"},   {"MirrorPrompter1", "SCROLLING", "MIRROR", "NO"},
    };
    for (const Step &step : steps) {
        form.findChild<QAction *>(QString::fromLatin1(step.item))->trigger();
        QCOMPARE(settingsValue(step.section, step.key), step.value);
    }
    QVERIFY(window.dialogs.errors.isEmpty());
    QCOMPARE(form.Action(QStringLiteral("MirrorPrompter1"))->isChecked(), false);
    QCOMPARE(menuCaptions(form).first(), QStringLiteral("[x] None"));

    // The added lines taken out, the file is the one it was, byte for byte.
    QByteArrayList lines = iniBytes().split('\n');
    for (const QByteArray added : {"[TALENT]\r", "SCREEN=\r", "MIRROR=NONE\r", "MIRROR=NO\r"})
        QVERIFY2(lines.removeOne(added), added.constData());
    QCOMPARE(lines.join('\n'), before);
}

void tst_TalentScreen::savedChoice_data()
{
    QTest::addColumn<QString>("screen");
    QTest::addColumn<QString>("mirror");
    QTest::addColumn<bool>("window");
    QTest::addColumn<int>("turn");
    QTest::addColumn<QStringList>("menu");

    const QSize size = QGuiApplication::primaryScreen()->size();
    const QString item = QStringLiteral("%1 (%2x%3)").arg(screenName()).arg(size.width()).arg(size.height());
    QTest::newRow("this screen, both ways")
        << screenName() << "HV" << true << int(Mirror::Both)
        << QStringList{"[ ] None", "[x] " + item, "[x] Mirror Left-Right", "[x] Mirror Top-Bottom"};
    QTest::newRow("this screen, top-bottom")
        << screenName() << "V" << true << int(Mirror::Vertical)
        << QStringList{"[ ] None", "[x] " + item, "[ ] Mirror Left-Right", "[x] Mirror Top-Bottom"};
    // Waited for: listed as chosen, no window, no box.
    QTest::newRow("a screen not plugged in") << "STUDIO B"
                                             << "H" << false << int(Mirror::Horizontal)
                                             << QStringList{"[ ] None", "[ ] " + item, "[x] STUDIO B (not connected)",
                                                            "[x] Mirror Left-Right", "[ ] Mirror Top-Bottom"};
    QTest::newRow("no screen") << ""
                               << "garbage" << false << int(Mirror::None)
                               << QStringList{"[x] None", "[ ] " + item, "[ ] Mirror Left-Right",
                                              "[ ] Mirror Top-Bottom"};
}

// The saved choice is taken at start-up: the window full screen on its screen, turned as saved.
void tst_TalentScreen::savedChoice()
{
    QFETCH(QString, screen);
    QFETCH(QString, mirror);
    QFETCH(bool, window);
    QFETCH(int, turn);
    QFETCH(QStringList, menu);

    TestWindow main;
    QVERIFY(main.settings({{"TALENT", "SCREEN", screen}, {"TALENT", "MIRROR", mirror}}));
    TMainForm &form = main.open();
    QVERIFY(main.clean());
    QCOMPARE(menuCaptions(form), menu);
    QCOMPARE(int(form.Talent->TalentMirror()), turn);
    FrameView *talent = form.Talent->Window();
    QCOMPARE(talent != nullptr, window);
    QCOMPARE(form.Talent->Screen() != nullptr, window);
    if (!talent)
        return;
    QVERIFY(talent->isWindow());
    QVERIFY(talent->isFullScreen());
    QCOMPARE(talent->screen(), QGuiApplication::primaryScreen());
    QCOMPARE(talent->geometry(), QGuiApplication::primaryScreen()->geometry());
    QCOMPARE(int(talent->CurrentMirror()), turn);
}

// The talent's window shows and comes and goes without ever taking the keys or the pointer.
void tst_TalentScreen::windowNeverTakesTheKeys()
{
    TestWindow window;
    QVERIFY(writeSettingsFile({}));
    TMainForm &form = window.open();
    form.show();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    form.RichEdit1->setFocus();
    form.findChild<QAction *>(QStringLiteral("TalentOutput1"))->trigger();
    FrameView *talent = form.Talent->Window();
    QVERIFY(talent);
    QVERIFY(QTest::qWaitForWindowExposed(talent));
    QTest::qWait(50);
    QCOMPARE(QApplication::activeWindow(), &form);
    QCOMPARE(QApplication::focusWidget(), form.RichEdit1);
    const Qt::WindowFlags flags = talent->windowHandle()->flags();
    QVERIFY(flags & Qt::FramelessWindowHint);
    QVERIFY(flags & Qt::WindowDoesNotAcceptFocus);
    QCOMPARE(talent->cursor().shape(), Qt::BlankCursor);
    // The keys still reach the script.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_X);
    QCOMPARE(form.RichEdit1->LineText(0).left(1), QStringLiteral("x"));
}

// While not prompting the talent sees the line the next run starts with, at the top.
void tst_TalentScreen::standingScriptFollowsTheEditor()
{
    TestWindow window;
    QVERIFY(writeSettingsFile({{"TALENT", "SCREEN", screenName()}}));
    TMainForm &form = window.open();
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    for (int i = 0; i < 60; ++i)
        form.RichEdit1->AppendLine(QStringLiteral("Line %1").arg(i));
    FrameView *talent = form.Talent->Window();
    QVERIFY(talent);
    // Scrolled into a line: the run starts with that line, whole, at the top.
    const int pitch = form.RichEdit1->LineTop(1) - form.RichEdit1->LineTop(0);
    const struct
    {
        int line;
        int past;
        int starts;
    } cases[] = {{12, 0, 12}, {30, pitch / 4, 30}, {30, pitch - 1, 30}, {0, 0, 0}};
    for (const auto &c : cases) {
        form.RichEdit1->verticalScrollBar()->setValue(form.RichEdit1->LineTop(c.line) + c.past);
        QTRY_COMPARE(talent->Frame().a.documentY, qreal(form.RichEdit1->LineTop(c.starts)));
        QVERIFY(!talent->Frame().prompting);
        QCOMPARE(talent->Frame().a.top, 0);
    }
}

// A talent screen that is not there does not stop a run; afterwards the status bar says so.
void tst_TalentScreen::missingScreenIsReportedAfterPrompting()
{
    TestWindow window;
    QVERIFY(writeSettingsFile({{"TALENT", "SCREEN", "STUDIO B"}, {"SCROLLING", "METHOD", "FRAME"}}));
    TMainForm &form = window.open();
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    for (int i = 0; i < 40; ++i)
        form.RichEdit1->AppendLine(QStringLiteral("Line %1").arg(i));
    PromptRunner runner(form);
    int steps = 0;
    runner.atStep([&] { ++steps; });
    runner.when([&] { return steps > 5; }, [] {});
    QVERIFY(runner.run());
    QVERIFY(window.dialogs.errors.isEmpty());
    QCOMPARE(form.StatusBar->PanelText(2), QStringLiteral(" Talent: STUDIO B (not connected)"));
    // Whole, not clipped.
    const QLabel *panel = form.StatusBar->findChild<QLabel *>(QStringLiteral("StatusPanel2"));
    QVERIFY(panel->contentsRect().width() >= panel->fontMetrics().horizontalAdvance(panel->text()));
}

// What the talent's window shows, frame by frame through a real run and its crossings, is
// the painter's picture of that frame filling the screen, without read-outs; turned, it is
// that picture turned.
void tst_TalentScreen::talentPictureIsThePaintersPicture()
{
    TestWindow window;
    QVERIFY(writeSettingsFile({{"TALENT", "SCREEN", screenName()}, {"SCROLLING", "METHOD", "FRAME"}}));
    TMainForm &form = window.open();
    form.resize(700, 500);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    prepareRun(form, 200);
    FrameView *talent = form.Talent->Window();
    QVERIFY(talent);
    QVERIFY(QTest::qWaitForWindowExposed(talent));
    // The read-outs on, so that leaving them out is seen.
    form.Aids->Panel1DblClick();

    FramePainter::Options fill;
    fill.fill = true;
    fill.readouts = false;
    PromptFrame last;
    int compared = 0, crossings = 0;
    QString failure;
    FramePainter::Cache shared;
    form.Engine->AddFrameListener([&](const PromptFrame &frame) {
        // The painter's cache keeps what earlier frames drew, as the window's does.
        painted(frame, *form.RichEdit1->document(), talent->size(), fill, &shared);
        if (!frame.prompting || !failure.isEmpty() || compared >= 24)
            return;
        const bool crossing = last.prompting && crossed(last, frame);
        last = frame;
        if (!crossing && frame.step % 15 != 0)
            return;
        crossings += crossing;
        ++compared;
        const QImage expected = painted(frame, *form.RichEdit1->document(), talent->size(), fill, &shared);
        talent->SetMirror(Mirror::None);
        if (grabbed(talent) != expected)
            failure = QStringLiteral("step %1: the talent's picture is not the painter's: %2")
                          .arg(frame.step)
                          .arg(difference(grabbed(talent), expected));
        talent->SetMirror(Mirror::Horizontal);
        if (failure.isEmpty() && grabbed(talent) != expected.mirrored(true, false))
            failure = QStringLiteral("step %1: the mirrored picture is not the picture turned").arg(frame.step);
        talent->SetMirror(Mirror::Both);
        if (const QImage turned = grabbed(talent); failure.isEmpty() && turned != expected.mirrored(true, true))
            failure = QStringLiteral("step %1: the half turn is not the picture turned twice: %2")
                          .arg(frame.step)
                          .arg(difference(turned, expected.mirrored(true, true)));
    });
    PromptRunner runner(form);
    runner.when([] { return true; }, [&] { runner.key(Qt::Key_9); });
    runner.when([&] { return compared >= 24 || !failure.isEmpty(); }, [] {});
    QVERIFY(runner.run(60000));
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
    QVERIFY(crossings >= 2);
}

// With Mirror Prompter the operator's own prompting view is the frame turned left to right,
// margin and all; the editor is never turned.
void tst_TalentScreen::mirrorPrompterTurnsTheOperatorView()
{
    TestWindow window;
    QVERIFY(writeSettingsFile({{"SCROLLING", "MIRROR", "YES"}, {"SCROLLING", "METHOD", "FRAME"}}));
    TMainForm &form = window.open();
    form.resize(700, 500);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QVERIFY(form.Action(QStringLiteral("MirrorPrompter1"))->isChecked());
    prepareRun(form, 200);

    int compared = 0;
    QString failure;
    PromptFrame last;
    FramePainter::Cache shared;
    form.Engine->AddFrameListener([&](const PromptFrame &frame) {
        if (!frame.prompting || !failure.isEmpty() || compared >= 8)
            return;
        const QSize size = form.Controls().Client->size();
        const QImage operatorView = painted(frame, *form.RichEdit1->document(), size, {}, &shared);
        const bool crossing = last.prompting && crossed(last, frame);
        last = frame;
        if (!crossing && frame.step % 20 != 0)
            return;
        ++compared;
        FrameView *view = form.Talent->MirroredView();
        if (!view || !view->isVisible() || view->geometry() != form.Controls().Client->rect()) {
            failure = QStringLiteral("step %1: no mirrored view over the prompt area").arg(frame.step);
            return;
        }
        if (const QImage shown = grabbed(view); shown != operatorView.mirrored(true, false))
            failure = QStringLiteral("step %1: the view is not the operator's picture turned: %2")
                          .arg(frame.step)
                          .arg(difference(shown, operatorView.mirrored(true, false)));
    });
    PromptRunner runner(form);
    runner.when([] { return true; }, [&] { runner.key(Qt::Key_9); });
    runner.when([&] { return compared >= 8 || !failure.isEmpty(); }, [] {});
    QVERIFY(runner.run(60000));
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
    QVERIFY(form.Talent->MirroredView()->isHidden());
    QVERIFY(window.dialogs.errors.isEmpty());
}

QTEST_MAIN(tst_TalentScreen)
#include "tst_talentscreen.moc"
