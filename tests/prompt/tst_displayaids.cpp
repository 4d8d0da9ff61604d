#include "TestWindow.h"

#include "app/TMainForm.h"
#include "controls/TPanel.h"
#include "controls/TRichEdit.h"
#include "controls/TStatusBar.h"
#include "prompt/DisplayAids.h"
#include "prompt/ReadingTime.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QRegularExpression>
#include <QTimer>
#include <QtTest>

class tst_DisplayAids : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void readingTime_data();
    void readingTime();
    void clockTick();
    void ratesAfterSpeedChange();
    void dragArrow_data();
    void dragArrow();
    void labelsToggle();
    void scrollSettingItems_data();
    void scrollSettingItems();
    void writeBacksNeedTheFile();
};

static QByteArray settingsText()
{
    QFile f(QStringLiteral("CORVANTA.INI"));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void tst_DisplayAids::readingTime_data()
{
    QTest::addColumn<int>("remaining");
    QTest::addColumn<QString>("text");
    QTest::newRow("1000 characters") << 1000 << "1 Minutes 6 seconds ";
    QTest::newRow("54000 characters") << 54000 << "1 Hours 0 Minutes 0 Seconds";
    QTest::newRow("10 characters") << 10 << "0 Seconds";
    QTest::newRow("59 seconds") << 899 << "59 Seconds";
    QTest::newRow("just a minute") << 900 << "1 Minutes 0 seconds ";
    QTest::newRow("past the caret") << -20 << "0 Seconds";
}

void tst_DisplayAids::readingTime()
{
    QFETCH(int, remaining);
    QFETCH(QString, text);
    QCOMPARE(ReadingTimeText(remaining), text);
}

void tst_DisplayAids::clockTick()
{
    TestWindow window;
    TMainForm &form = window.open();
    form.show();
    form.RichEdit1->SetBaseFont(QStringLiteral("Arial"), 8, 0xFFFFFF);
    // 1000 characters, trailing blanks and empty paragraphs not counted.
    form.RichEdit1->setPlainText(QString(600, QLatin1Char('a')) + QLatin1Char('\n') + QString(399, QLatin1Char('b'))
                                 + QStringLiteral("   \n\n \t"));
    form.RichEdit1->SetSelection(0, 0);
    form.Aids->Timer1Timer();
    QCOMPARE(form.StatusBar->PanelText(1), QStringLiteral("1 Minutes 6 seconds "));
    static const QRegularExpression caption(QStringLiteral(
        "^Corvanta \\(V1\\.1\\.0\\) :  [A-Z][a-z]+day \\d{1,2} [A-Z][a-z]+ \\d{4}    \\d\\d:\\d\\d:\\d\\d $"));
    QVERIFY2(caption.match(form.windowTitle()).hasMatch(), qPrintable(form.windowTitle()));

    // The caret's line start is remembered, and the time counts from there.
    form.RichEdit1->SetSelection(610, 0);
    form.Aids->Timer1Timer();
    QCOMPARE(form.Prompt.SavedSelStart, 601);
    QCOMPARE(form.StatusBar->PanelText(1), QStringLiteral("26 Seconds"));
}

void tst_DisplayAids::ratesAfterSpeedChange()
{
    TestWindow window;
    TMainForm &form = window.open();
    PromptState &p = form.Prompt;
    p.CurrentSpeed = 2;
    p.TickScanLines = 300;
    p.TickSteps = 150;
    form.Aids->Timer1Timer();
    QCOMPARE(form.Label4->text(), QStringLiteral("150")); // 300 over 2 ticks
    QCOMPARE(form.Label5->text(), QStringLiteral("150"));
    QCOMPARE(p.TickScanLines, 0);
    QCOMPARE(p.TickSteps, 0);
    p.TickScanLines = 300;
    form.Aids->Timer1Timer();
    QCOMPARE(form.Label4->text(), QStringLiteral("200")); // 600 over 3
}

void tst_DisplayAids::dragArrow_data()
{
    QTest::addColumn<int>("button");
    QTest::addColumn<int>("expectedTop");
    QTest::newRow("left button moves it") << int(Qt::LeftButton) << 250;
    QTest::newRow("right button does not") << int(Qt::RightButton) << 136;
}

void tst_DisplayAids::dragArrow()
{
    QFETCH(int, button);
    QFETCH(int, expectedTop);
    TestWindow window;
    TMainForm &form = window.open();
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QCOMPARE(form.Label1->y(), 136);

    const auto b = Qt::MouseButton(button);
    QTest::mousePress(form.Panel1, b, Qt::NoModifier, QPoint(10, 150));
    QMouseEvent move(QEvent::MouseMove, QPointF(12, 250), form.Panel1->mapToGlobal(QPointF(12, 250)), Qt::NoButton, b,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(form.Panel1, &move);
    QTest::mouseRelease(form.Panel1, b, Qt::NoModifier, QPoint(12, 250));
    QCOMPARE(form.Label1->y(), expectedTop);
    // Releasing any button stores where the arrow stands.
    QVERIFY(settingsText().contains("\r\nARROWPOS=" + QByteArray::number(expectedTop) + "\r\n"));
    QVERIFY(window.dialogs.errors.isEmpty());
}

void tst_DisplayAids::labelsToggle()
{
    TestWindow window;
    TMainForm &form = window.open();
    form.show();
    QTest::mouseDClick(form.Panel1, Qt::LeftButton, Qt::NoModifier, QPoint(10, 20));
    QCOMPARE(form.Prompt.ShowSpeedLabels, quint8(1));
    for (QLabel *label : {form.Label2, form.Label3, form.Label4, form.Label5})
        QVERIFY(label->isVisible());
    QVERIFY(form.Timer1->isActive());
    QTest::mouseDClick(form.Panel1, Qt::LeftButton, Qt::NoModifier, QPoint(10, 20));
    QCOMPARE(form.Prompt.ShowSpeedLabels, quint8(0));
    for (QLabel *label : {form.Label2, form.Label3, form.Label4, form.Label5})
        QVERIFY(label->isHidden());
    QVERIFY(!form.Timer1->isActive());
}

void tst_DisplayAids::scrollSettingItems_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<bool>("checkedAtStart");
    QTest::addColumn<QByteArray>("on");
    QTest::addColumn<QByteArray>("off");
    QTest::newRow("font smoothing") << "FontSmoothing1" << true << QByteArray("FONT SMOOTHING=YES")
                                    << QByteArray("FONT SMOOTHING=NO");
    // A first start writes the steady method.
    QTest::newRow("steady speed") << "SteadySpeed1" << true << QByteArray("METHOD=FRAME") << QByteArray("METHOD=WIN");
    // Not in the default file: the first choice adds it to its section.
    QTest::newRow("mirror prompter") << "MirrorPrompter1" << false << QByteArray("MIRROR=YES")
                                     << QByteArray("MIRROR=NO");
}

// Each check item of the scroll settings turns over and writes its key back.
void tst_DisplayAids::scrollSettingItems()
{
    QFETCH(QString, item);
    QFETCH(bool, checkedAtStart);
    QFETCH(QByteArray, on);
    QFETCH(QByteArray, off);
    TestWindow window;
    TMainForm &form = window.open();
    QAction *action = form.Action(item);
    QCOMPARE(action->isChecked(), checkedAtStart);
    for (bool checked : {!checkedAtStart, checkedAtStart}) {
        action->trigger();
        QCOMPARE(action->isChecked(), checked);
        QVERIFY(settingsText().contains("\r\n" + (checked ? on : off) + "\r\n"));
    }
    // A new window reads the choice back.
    action->trigger();
    TMainForm next(QString(), &window.dialogs);
    QCOMPARE(next.Action(item)->isChecked(), !checkedAtStart);
    QVERIFY(window.dialogs.errors.isEmpty());
}

void tst_DisplayAids::writeBacksNeedTheFile()
{
    TestWindow window;
    TMainForm &form = window.open();
    QVERIFY(QFile::remove(QStringLiteral("CORVANTA.INI")));
    form.Action(QStringLiteral("FontSmoothing1"))->trigger();
    form.Aids->Panel1MouseUp(Qt::LeftButton, 0, 0);
    QVERIFY(!form.Action(QStringLiteral("FontSmoothing1"))->isChecked());
    QVERIFY(!QFile::exists(QStringLiteral("CORVANTA.INI")));
    QVERIFY(window.dialogs.errors.isEmpty());
}

QTEST_MAIN(tst_DisplayAids)
#include "tst_displayaids.moc"
