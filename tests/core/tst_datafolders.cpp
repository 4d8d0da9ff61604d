#include "core/DataFolders.h"

#include "Unprivileged.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

// Where the program's own files are read from and the user's are written to. The data
// folders of the system and of the user are the test's own.
class tst_DataFolders : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void firstCopyWins_data();
    void firstCopyWins();
    void userFilesFolder_data();
    void userFilesFolder();
    void userSettingsFolderIsMade();

private:
    QString place(const QString &where) const;

    QString m_previous;
    std::unique_ptr<QTemporaryDir> m_root;
};

void tst_DataFolders::initTestCase()
{
    QCoreApplication::setApplicationName(QStringLiteral("corvanta"));
    m_previous = QDir::currentPath();
}

// root/current (the working folder), root/home/corvanta (the user's data),
// root/system/corvanta (the installed data), root/config (XDG config).
void tst_DataFolders::init()
{
    m_root = std::make_unique<QTemporaryDir>();
    QVERIFY(m_root->isValid());
    // An ordinary user must reach the folders too.
    QFile::setPermissions(m_root->path(), QFileDevice::Permissions(0x7777));
    for (const char *folder : {"current", "home/corvanta", "system/corvanta"}) {
        QVERIFY(QDir().mkpath(m_root->filePath(QLatin1String(folder))));
    }
    QFile::setPermissions(m_root->filePath(QStringLiteral("home")), QFileDevice::Permissions(0x7777));
    QFile::setPermissions(m_root->filePath(QStringLiteral("current")), QFileDevice::Permissions(0x7777));
    qputenv("XDG_DATA_HOME", m_root->filePath(QStringLiteral("home")).toLocal8Bit());
    qputenv("XDG_DATA_DIRS", m_root->filePath(QStringLiteral("system")).toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", m_root->filePath(QStringLiteral("config")).toLocal8Bit());
    QVERIFY(QDir::setCurrent(m_root->filePath(QStringLiteral("current"))));
}

void tst_DataFolders::cleanup()
{
    QDir::setCurrent(m_previous);
    m_root.reset();
}

QString tst_DataFolders::place(const QString &where) const
{
    if (where == u"current")
        return m_root->filePath(QStringLiteral("current"));
    if (where == u"beside")
        return QCoreApplication::applicationDirPath();
    return m_root->filePath(where + QStringLiteral("/corvanta"));
}

void tst_DataFolders::firstCopyWins_data()
{
    QTest::addColumn<QStringList>("copies");
    QTest::addColumn<QString>("found"); // where DataFolders finds it
    QTest::addColumn<QString>("programFound"); // where ProgramDataFolders finds it
    QTest::newRow("everywhere: the current folder's") << QStringList{"current", "home", "system"} << "current"
                                                      << "home";
    QTest::newRow("the user's data before the system's") << QStringList{"home", "system"} << "home"
                                                         << "home";
    QTest::newRow("installed only") << QStringList{"system"} << "system"
                                    << "system";
    QTest::newRow("the current folder only: not the program's own") << QStringList{"current"} << "current" << QString();
    QTest::newRow("nowhere") << QStringList{} << QString() << QString();
}

void tst_DataFolders::firstCopyWins()
{
    QFETCH(QStringList, copies);
    QFETCH(QString, found);
    QFETCH(QString, programFound);
    const QString name = QStringLiteral("tst_datafolders-help.rtf");
    for (const QString &where : copies) {
        QFile file(QDir(place(where)).filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    // A folder of that name is no copy.
    QVERIFY(QDir(place(QStringLiteral("current"))).mkdir(QStringLiteral("correct.tlx")));

    const auto expected
        = [&](const QString &where) { return where.isEmpty() ? QString() : QDir(place(where)).filePath(name); };
    QCOMPARE(FindDataFile(name, DataFolders()), expected(found));
    QCOMPARE(FindDataFile(name, ProgramDataFolders()), expected(programFound));
    QCOMPARE(FindDataFile(QStringLiteral("correct.tlx"), {place(QStringLiteral("current"))}), QString());
}

void tst_DataFolders::userFilesFolder_data()
{
    QTest::addColumn<bool>("writable");
    QTest::addColumn<QString>("folder");
    QTest::newRow("the current folder takes new files") << true << "current";
    QTest::newRow("read-only current folder: the user's data folder") << false << "home";
}

// As an ordinary user: root may write anywhere.
void tst_DataFolders::userFilesFolder()
{
    QFETCH(bool, writable);
    QFETCH(QString, folder);
    QDir(place(QStringLiteral("home"))).removeRecursively();
    const QString current = place(QStringLiteral("current"));
    if (!writable)
        QFile::setPermissions(current,
                              QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::ReadOther
                                  | QFileDevice::ExeOther | QFileDevice::ReadGroup | QFileDevice::ExeGroup);
    const QString answer = RunUnprivileged([] {
        const QString given = UserFilesFolder();
        return QFileInfo(given).isDir() ? given : QStringLiteral("missing: ") + given;
    });
    QFile::setPermissions(current, QFileDevice::Permissions(0x7777));
    QCOMPARE(answer, place(folder));
}

void tst_DataFolders::userSettingsFolderIsMade()
{
    const QString folder = UserSettingsFolder();
    QCOMPARE(folder, m_root->filePath(QStringLiteral("config/corvanta")));
    QVERIFY(QFileInfo(folder).isDir());
}

QTEST_GUILESS_MAIN(tst_DataFolders)
#include "tst_datafolders.moc"
