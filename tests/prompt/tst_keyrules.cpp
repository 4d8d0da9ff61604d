#include "prompt/KeyRules.h"
#include "prompt/PromptState.h"

#include <QtTest>

namespace {

KeyboardSpeedTable table()
{
    KeyboardSpeedTable t{};
    for (int k = 0; k <= 9; ++k)
        t[k] = {k == 0 ? 0 : k + 1, k >= 5 ? 0 : 100000 * k};
    return t;
}

}

class tst_KeyRules : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void characterKeys_data();
    void characterKeys();
    void spaceFlagsTheTopLine();
    void keysDown_data();
    void keysDown();
};

void tst_KeyRules::characterKeys_data()
{
    // Start state
    QTest::addColumn<QChar>("key");
    QTest::addColumn<int>("speed");
    QTest::addColumn<int>("delay");
    QTest::addColumn<int>("activeDelay");
    QTest::addColumn<int>("reverse");
    QTest::addColumn<int>("topLine");
    QTest::addColumn<bool>("labels");
    // Expected: speed, current delay, active delay, reverse, FirstWrapPending, prompting
    QTest::addColumn<QList<int>>("state");
    // Expected label texts and arrow ("" = left as it was)
    QTest::addColumn<QStringList>("display");

    const QStringList none{QString(), QString(), QString()};
    QTest::newRow("digit 3, labels off") << QChar(u'3') << 0 << 0 << 0 << 0 << 10 << false
        << QList<int>{4, 300000, 300000, 0, 1, 1} << none;
    QTest::newRow("digit 3, labels on") << QChar(u'3') << 0 << 0 << 0 << 0 << 10 << true
        << QList<int>{4, 300000, 300000, 0, 1, 1} << QStringList{"300000", "4", ""};
    QTest::newRow("digit 7 with no delay takes effect at once") << QChar(u'7') << 2 << 200000 << 200000 << 0 << 10 << true
        << QList<int>{8, 0, 0, 0, 1, 1} << QStringList{"0", "8", ""};
    QTest::newRow("digit 0 keeps the delay") << QChar(u'0') << 2 << 100000 << 100000 << 0 << 10 << true
        << QList<int>{0, 100000, 100000, 0, 1, 1} << QStringList{"100000", "0", ""};
    QTest::newRow("any key copies the delay") << QChar(u'x') << 2 << 100000 << 0 << 0 << 10 << false
        << QList<int>{2, 100000, 100000, 0, 1, 1} << none;
    QTest::newRow("Enter moving reverses and clears the first crossing") << QChar(13) << 2 << 0 << 0 << 0 << 10 << false
        << QList<int>{2, 0, 0, 1, 0, 1} << QStringList{"", "", "<"};
    QTest::newRow("Enter at speed 0 keeps the first crossing") << QChar(13) << 0 << 0 << 0 << 0 << 10 << false
        << QList<int>{0, 0, 0, 1, 1, 1} << QStringList{"", "", "<"};
    QTest::newRow("Enter at the top keeps the first crossing") << QChar(13) << 2 << 0 << 0 << 1 << 0 << false
        << QList<int>{2, 0, 0, 0, 1, 1} << QStringList{"", "", ">"};
    QTest::newRow("Escape ends prompting") << QChar(27) << 2 << 0 << 0 << 0 << 10 << false
        << QList<int>{2, 0, 0, 0, 1, 0} << none;
}

void tst_KeyRules::characterKeys()
{
    QFETCH(QChar, key);
    QFETCH(int, speed);
    QFETCH(int, delay);
    QFETCH(int, activeDelay);
    QFETCH(int, reverse);
    QFETCH(int, topLine);
    QFETCH(bool, labels);
    QFETCH(QList<int>, state);
    QFETCH(QStringList, display);

    PromptState p;
    p.Prompting = p.LoopRunning = p.RepeatPrompt = 1;
    p.FirstWrapPending = 1;
    p.CurrentSpeed = speed;
    p.CurrentDelay = delay;
    p.ActiveDelay = activeDelay;
    p.Reverse = reverse;
    p.TopLine = topLine;
    p.ShowSpeedLabels = labels;
    const KeyRules::Display shown = KeyRules::CharacterKey(p, table(), key);
    QCOMPARE((QList<int>{p.CurrentSpeed, p.CurrentDelay, p.ActiveDelay, p.Reverse, p.FirstWrapPending, p.Prompting}),
             state);
    QCOMPARE((QStringList{shown.delayLabel, shown.speedLabel, shown.arrow}), display);
    QCOMPARE(p.LoopRunning, p.Prompting);
    QCOMPARE(p.RepeatPrompt, p.Prompting);
}

void tst_KeyRules::spaceFlagsTheTopLine()
{
    PromptState p;
    p.Prompting = 1;
    p.TopLine = 42;
    KeyRules::CharacterKey(p, table(), QChar(u' '));
    QCOMPARE(p.ErrorMarkCount, 1);
    QCOMPARE(p.ErrorMarkLines[0], 42);
}

void tst_KeyRules::keysDown_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<int>("command");

    QTest::newRow("Ctrl+Home") << int(Qt::Key_Home) << int(Qt::ControlModifier)
        << int(KeyRules::Command::RestartFromTop);
    QTest::newRow("Home alone") << int(Qt::Key_Home) << 0 << int(KeyRules::Command::None);
    QTest::newRow("Ctrl+Shift+Home") << int(Qt::Key_Home) << int(Qt::ControlModifier | Qt::ShiftModifier)
        << int(KeyRules::Command::None);
    QTest::newRow("F10") << int(Qt::Key_F10) << 0 << int(KeyRules::Command::LayOutAgain);
    QTest::newRow("Ctrl+R") << int(Qt::Key_R) << int(Qt::ControlModifier) << int(KeyRules::Command::RereadSettings)
       ;
    QTest::newRow("Ctrl+R on the keypad") << int(Qt::Key_R) << int(Qt::ControlModifier | Qt::KeypadModifier)
        << int(KeyRules::Command::RereadSettings);
}

void tst_KeyRules::keysDown()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(int, command);
    QCOMPARE(int(KeyRules::KeyDown(key, Qt::KeyboardModifiers(modifiers))), command);
}

QTEST_GUILESS_MAIN(tst_KeyRules)
#include "tst_keyrules.moc"
