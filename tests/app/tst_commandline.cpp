#include "app/CommandLine.h"

#include <QProcess>
#include <QtTest>

// The command line: what each is taken to ask, and what the real program answers.
class tst_CommandLine : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void parsed_data();
    void parsed();
    void programAnswers_data();
    void programAnswers();
};

using Action = CommandLine::Action;
Q_DECLARE_METATYPE(CommandLine::Action)

void tst_CommandLine::parsed_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<Action>("action");
    QTest::addColumn<QString>("script");
    QTest::addColumn<bool>("userFolder");
    QTest::addColumn<QString>("message");
    const QString none;
    QTest::newRow("no argument") << QStringList{"corvanta"} << Action::Run << none << false << none;
    QTest::newRow("a script") << QStringList{"corvanta", "news.rtf"} << Action::Run << "news.rtf" << false << none;
    QTest::newRow("a script with blanks and a dash")
        << QStringList{"corvanta", "my show-1.rtf"} << Action::Run << "my show-1.rtf" << false << none;
    QTest::newRow("a script after --") << QStringList{"corvanta", "--", "--odd.rtf"} << Action::Run << "--odd.rtf"
                                       << false << none;
    QTest::newRow("from the menu") << QStringList{"corvanta", "--user-folder", "/home/a/news.rtf"} << Action::Run
                                   << "/home/a/news.rtf" << true << none;
    QTest::newRow("--help") << QStringList{"corvanta", "--help"} << Action::Help << none << false << none;
    QTest::newRow("-h with a script") << QStringList{"corvanta", "a.rtf", "-h"} << Action::Help << none << false
                                      << none;
    QTest::newRow("--version") << QStringList{"corvanta", "--version"} << Action::Version << none << false << none;
    QTest::newRow("-v") << QStringList{"corvanta", "-v"} << Action::Version << none << false << none;
    QTest::newRow("two scripts") << QStringList{"corvanta", "a.rtf", "b.rtf"} << Action::Mistake << none << false
                                 << "Only one script can be opened; 'b.rtf' was named as well.";
    QTest::newRow("an unknown option") << QStringList{"corvanta", "--speed=3", "a.rtf"} << Action::Mistake << none
                                       << false << "Unknown option 'speed'.";
    QTest::newRow("a value given to a switch") << QStringList{"corvanta", "--version=2"} << Action::Mistake << none
                                               << false << "Unexpected value after '--version'.";
}

void tst_CommandLine::parsed()
{
    QFETCH(QStringList, args);
    QFETCH(Action, action);
    QFETCH(QString, script);
    QFETCH(bool, userFolder);
    QFETCH(QString, message);
    const CommandLine line = ParseCommandLine(args);
    QCOMPARE(line.action, action);
    QCOMPARE(line.script, script);
    QCOMPARE(line.userFolder, userFolder);
    QCOMPARE(line.message, message);
}

void tst_CommandLine::programAnswers_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");
    QTest::newRow("--version") << QStringList{"--version"} << 0 << "Corvanta " CORVANTA_VERSION "\n" << QString();
    QTest::newRow("--help") << QStringList{"--help"} << 0 << CommandLineHelp() << QString();
    QTest::newRow("two scripts") << QStringList{"a.rtf", "b.rtf"} << 2 << QString()
                                 << "corvanta: Only one script can be opened; 'b.rtf' was named as well.\n"
                                    "Try 'corvanta --help' for the options.\n";
    QTest::newRow("an unknown option") << QStringList{"--fullscreen"} << 2 << QString()
                                       << "corvanta: Unknown option 'fullscreen'.\n"
                                          "Try 'corvanta --help' for the options.\n";
}

// No display and no platform: an answer that tried to open a window would fail here.
void tst_CommandLine::programAnswers()
{
    QFETCH(QStringList, args);
    QFETCH(int, status);
    QFETCH(QString, out);
    QFETCH(QString, err);
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QString::fromLatin1(name));
    program.setProcessEnvironment(env);
    program.setWorkingDirectory(QDir::tempPath());
    program.start(QStringLiteral(CORVANTA_PROGRAM), args);
    QVERIFY(program.waitForFinished(60000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(QString::fromLocal8Bit(program.readAllStandardError()), err);
    QCOMPARE(QString::fromLocal8Bit(program.readAllStandardOutput()), out);
    QCOMPARE(program.exitCode(), status);
}

QTEST_GUILESS_MAIN(tst_CommandLine)
#include "tst_commandline.moc"
