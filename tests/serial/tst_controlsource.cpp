#include "TestWindow.h"
#include "PromptRunner.h"
#include "PseudoTerminal.h"

#include "app/TMainForm.h"
#include "controls/TCommPortDriver.h"
#include "controls/TRichEdit.h"
#include "controls/TStatusBar.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

// Choosing what drives the scrolling: the menu, the settings file, the prompt start.
class tst_ControlSource : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void menuChoice_data();
    void menuChoice();
    void choiceGoesToTheCurrentDirectory();
    void choiceWithoutSettingsFile();
    void restoredAtStartUp_data();
    void restoredAtStartUp();
    void firstAndSecondStart();
    void devicesFromSettings();
    void appliedAtPromptStart_data();
    void appliedAtPromptStart();
    void rereadWhilePromptingAddsCheckMarks();

private:
    void startForm(const QList<SettingsKey> &keys = {});
    QString checkedItems() const;
    // Which of the two controllers' devices another program could open now.
    QString freeDevices() const;
    std::unique_ptr<PseudoTerminal> m_com1;
    std::unique_ptr<PseudoTerminal> m_com2;
    std::unique_ptr<TestWindow> m_window;
    TMainForm *m_form = nullptr;
};

static const char *const Items[] = {"ScrollControls1", "COM11", "Com21"};

void tst_ControlSource::init()
{
    m_window = std::make_unique<TestWindow>();
    m_com1 = std::make_unique<PseudoTerminal>();
    m_com2 = std::make_unique<PseudoTerminal>();
    QVERIFY(m_com1->isValid() && m_com2->isValid());
}

void tst_ControlSource::cleanup()
{
    QVERIFY2(m_window->clean(), qPrintable(m_window->errors()));
    QVERIFY(m_window->dialogs.messages.isEmpty());
    m_form = nullptr;
    m_window.reset();
    m_com1.reset();
    m_com2.reset();
}

// Starts the main window on a settings file with both controllers' devices named.
void tst_ControlSource::startForm(const QList<SettingsKey> &keys)
{
    QList<SettingsKey> all = {{"PORTS", "COM1", m_com1->slavePath()},
                              {"PORTS", "COM2", m_com2->slavePath()},
                              {"SCROLLING", "POLLING DELAY", "20"}};
    QVERIFY(m_window->settings(all + keys));
    m_form = &m_window->open();
    m_form->Timer2->stop();
}

QString tst_ControlSource::checkedItems() const
{
    QStringList checked;
    for (const char *name : Items)
        if (m_form->Action(QString::fromLatin1(name))->isChecked())
            checked << QString::fromLatin1(name);
    return checked.join(u' ');
}

QString tst_ControlSource::freeDevices() const
{
    QStringList free;
    for (const auto &[name, pty] : {std::pair{"COM1", m_com1.get()}, std::pair{"COM2", m_com2.get()}}) {
        QSerialPort other;
        other.setPortName(pty->slavePath());
        if (other.open(QIODevice::ReadWrite))
            free << QString::fromLatin1(name);
    }
    return free.join(u' ');
}

void tst_ControlSource::menuChoice_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("value");
    QTest::newRow("Keyboard") << "ScrollControls1"
                              << " Control: Keyboard"
                              << "KEYBOARD";
    QTest::newRow("Serial Port 1") << "COM11"
                                   << " Control: Serial COM 1"
                                   << "COM1";
    QTest::newRow("Serial Port 2") << "Com21"
                                   << " Control: Serial COM 2"
                                   << "COM2";
}

void tst_ControlSource::menuChoice()
{
    QFETCH(QString, item);
    QFETCH(QString, status);
    QFETCH(QString, value);
    startForm({{"SCROLLING", "CONTROL", "elsewhere"}});
    // Whatever was checked before, one item is checked after.
    for (const char *name : Items)
        m_form->Action(QString::fromLatin1(name))->setChecked(true);

    m_form->Action(item)->trigger();
    QCOMPARE(checkedItems(), item);
    QCOMPARE(m_form->StatusBar->PanelText(2), status);
    QCOMPARE(settingsValue("SCROLLING", "CONTROL"), value);
    // Drawn whole, also when prompting has found the controller missing.
    auto *panel = m_form->StatusBar->findChild<QLabel *>(QStringLiteral("StatusPanel2"));
    QVERIFY(panel);
    for (const QString &text : {status, status + QStringLiteral(" (not connected)")}) {
        panel->setText(text);
        QVERIFY2(panel->sizeHint().width() <= panel->width(), qPrintable(text));
    }

    // Chosen again, it is written again.
    QVERIFY(writeSettingsFile({{"SCROLLING", "CONTROL", "changed"}}));
    m_form->Action(item)->trigger();
    QCOMPARE(checkedItems(), item);
    QCOMPARE(settingsValue("SCROLLING", "CONTROL"), value);
    QCOMPARE(settingsValue("SCROLLING", "INPUT BUFFER"), QStringLiteral("2"));
}

// The settings folder is taken again at each choice, as the working directory is now.
void tst_ControlSource::choiceGoesToTheCurrentDirectory()
{
    startForm();
    const QString first = m_window->dir.file(QStringLiteral("CORVANTA.INI"));
    QTemporaryDir other;
    QDir::setCurrent(other.path());
    QVERIFY(writeSettingsFile({}));
    m_form->Action(QStringLiteral("Com21"))->trigger();
    QCOMPARE(settingsValue("SCROLLING", "CONTROL"), QStringLiteral("COM2"));
    QDir::setCurrent(m_window->dir.path());
    QCOMPARE(settingsValue("SCROLLING", "CONTROL"), QStringLiteral("KEYBOARD"));
}

void tst_ControlSource::choiceWithoutSettingsFile()
{
    startForm();
    QVERIFY(QFile::remove(m_window->dir.file(QStringLiteral("CORVANTA.INI"))));
    m_form->Action(QStringLiteral("Com21"))->trigger();
    QCOMPARE(checkedItems(), QStringLiteral("Com21"));
    QCOMPARE(m_form->StatusBar->PanelText(2), QStringLiteral(" Control: Serial COM 2"));
    QVERIFY(!QFile::exists(m_window->dir.file(QStringLiteral("CORVANTA.INI"))));
}

void tst_ControlSource::restoredAtStartUp_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("checked");
    QTest::newRow("KEYBOARD") << "KEYBOARD"
                              << "ScrollControls1";
    QTest::newRow("COM1") << "COM1"
                          << "COM11";
    QTest::newRow("COM2") << "COM2"
                          << "Com21";
    QTest::newRow("com1 in lower case") << "com1"
                                        << "";
    QTest::newRow("Keyboard in mixed case") << "Keyboard"
                                            << "";
    QTest::newRow("empty") << ""
                           << "";
}

void tst_ControlSource::restoredAtStartUp()
{
    QFETCH(QString, value);
    QFETCH(QString, checked);
    startForm({{"SCROLLING", "CONTROL", value}});
    QCOMPARE(checkedItems(), checked);
    // The status bar keeps the script's name until a source is chosen.
    QCOMPARE(m_form->StatusBar->PanelText(2), QStringLiteral("Untitled"));
}

// The first start writes the settings file but polls with the driver's own values;
// from the next start on the file's values rule.
void tst_ControlSource::firstAndSecondStart()
{
    m_form = &m_window->open();
    const TCommPortDriver *port = m_form->CommPortDriver1;
    QCOMPARE(port->ComPortInBufSize(), quint16(2048));
    QCOMPARE(port->ComPortPollingDelay(), quint16(110));
    QCOMPARE(port->ComPort(), pnCOM1);
    QCOMPARE(port->ComPortSpeed(), br1200);
    QCOMPARE(port->ComPortSwHandshaking(), shXONXOFF);
    QCOMPARE(port->ComPortHwHandshaking(), hhNONE);
    QVERIFY(port->EnableDTROnOpen());
    QVERIFY(!port->IsOpen());

    m_form = &m_window->open();
    QCOMPARE(m_form->CommPortDriver1->ComPortInBufSize(), quint16(2));
    QCOMPARE(m_form->CommPortDriver1->ComPortPollingDelay(), quint16(100));
}

void tst_ControlSource::devicesFromSettings()
{
    startForm({{"PORTS", "COM2", ""}});
    const TCommPortDriver *port = m_form->CommPortDriver1;
    QCOMPARE(port->DevicePath(pnCOM1), m_com1->slavePath());
    QCOMPARE(port->DevicePath(pnCOM2), QStringLiteral("/dev/ttyS1"));
    QCOMPARE(port->DevicePath(pnCOM4), QStringLiteral("/dev/ttyS3"));
    // A re-read puts a device name taken out of the file back to the system's port.
    QVERIFY(writeSettingsFile({{"PORTS", "COM1", ""}, {"PORTS", "COM4", "ttyUSB3"}}));
    ReadSettings(*m_form->SettingsRecord, m_form->SettingsTargets());
    QCOMPARE(port->DevicePath(pnCOM1), QStringLiteral("/dev/ttyS0"));
    QCOMPARE(port->DevicePath(pnCOM4), QStringLiteral("ttyUSB3"));
}

void tst_ControlSource::appliedAtPromptStart_data()
{
    QTest::addColumn<QString>("checked");
    QTest::addColumn<bool>("com1Present");
    QTest::addColumn<bool>("open");
    QTest::addColumn<QString>("free"); // devices free while prompting

    QTest::newRow("Serial Port 1") << "COM11" << true << true << "COM2";
    QTest::newRow("Serial Port 2") << "Com21" << true << true << "COM1";
    QTest::newRow("Keyboard") << "ScrollControls1" << true << false << "COM1 COM2";
    QTest::newRow("Keyboard and Serial Port 1") << "ScrollControls1 COM11" << true << false << "COM1 COM2";
    QTest::newRow("both serial ports") << "COM11 Com21" << true << true << "COM2";
    QTest::newRow("nothing") << "" << true << false << "COM1 COM2";
    QTest::newRow("Serial Port 1 without its device") << "COM11" << false << false << "COM1 COM2";
}

void tst_ControlSource::appliedAtPromptStart()
{
    QFETCH(QString, checked);
    QFETCH(bool, com1Present);
    QFETCH(bool, open);
    QFETCH(QString, free);
    startForm({{"SCROLLING", "CONTROL", "none"}});
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form));
    m_form->RichEdit1->setPlainText(QStringLiteral("One\nTwo\nThree"));
    // As a re-read would leave them: only ever added.
    for (const QString &item : checked.split(u' ', Qt::SkipEmptyParts))
        m_form->Action(item)->setChecked(true);
    if (!com1Present)
        m_com1->closeMaster();

    PromptRunner runner(*m_form);
    bool wasOpen = false;
    QString freeWhilePrompting;
    TComPortNumber port = pnCOM4;
    runner.when([] { return true; },
                [&] {
                    wasOpen = m_form->CommPortDriver1->IsOpen();
                    port = m_form->CommPortDriver1->ComPort();
                    if (!com1Present)
                        m_com1 = std::make_unique<PseudoTerminal>(); // a device that exists, but not as COM1
                    freeWhilePrompting = freeDevices();
                });
    QVERIFY(runner.run());
    QCOMPARE(wasOpen, open);
    QCOMPARE(freeWhilePrompting, free);
    if (checked.contains(QStringLiteral("COM11")) && com1Present)
        QCOMPARE(port, pnCOM1);
    // Every prompt ends with the port closed.
    QVERIFY(!m_form->CommPortDriver1->IsOpen());
    QVERIFY(!m_form->CommPortDriver1->PollingTimer().isActive());
    QCOMPARE(freeDevices(), QStringLiteral("COM1 COM2"));
}

// Ctrl+R while prompting only adds check marks; the buffer size waits for the next
// opening, the polling period changes at once.
void tst_ControlSource::rereadWhilePromptingAddsCheckMarks()
{
    startForm({{"SCROLLING", "CONTROL", "COM1"}});
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form));
    m_form->RichEdit1->setPlainText(QStringLiteral("One\nTwo\nThree"));
    TCommPortDriver *port = m_form->CommPortDriver1;

    PromptRunner runner(*m_form);
    runner.when([&] { return port->IsOpen(); },
                [&] {
                    QVERIFY(writeSettingsFile({{"SCROLLING", "CONTROL", "KEYBOARD"},
                                               {"SCROLLING", "INPUT BUFFER", "7"},
                                               {"SCROLLING", "POLLING DELAY", "33"},
                                               {"PORTS", "COM1", m_com1->slavePath()}}));
                    runner.key(Qt::Key_R, Qt::ControlModifier);
                });
    runner.when([&] { return port->ComPortPollingDelay() == 33; },
                [&] {
                    QCOMPARE(checkedItems(), QStringLiteral("ScrollControls1 COM11"));
                    QVERIFY(port->IsOpen());
                    QCOMPARE(port->PollingTimer().interval(), 33);
                    QCOMPARE(port->ComPortInBufSize(), quint16(2));
                });
    QVERIFY(runner.run());
    QCOMPARE(port->ComPortInBufSize(), quint16(2)); // given while open: not taken

    // Keyboard and Serial Port 1: the port is opened and closed again at once.
    PromptRunner second(*m_form);
    bool openWhilePrompting = true;
    second.when([] { return true; },
                [&] {
                    openWhilePrompting = port->IsOpen();
                    QCOMPARE(freeDevices(), QStringLiteral("COM1 COM2"));
                });
    QVERIFY(second.run());
    QVERIFY(!openWhilePrompting);
}

QTEST_MAIN(tst_ControlSource)
#include "tst_controlsource.moc"
