#include "core/CorvantaError.h"
#include "settings/Settings.h"

#include "Unprivileged.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <memory>
#include <sys/resource.h>
#include <unistd.h>

namespace {

const QString IniName = QStringLiteral("CORVANTA.INI");

// The default file as documented, built from its own tables rather than the writer's.
QStringList documentedDefaultLines()
{
    QStringList lines = {
        "[SCROLLING]", "CONTROL=KEYBOARD", "# Can be KEYBOARD,COM1 or COM2", "INPUT BUFFER=2",
        "# Typical value is 2", "POLLING DELAY=100", "# Typical value is 100", "RESOLUTION=640x480",
        "# can be any resolution supported by hardware", "METHOD=FRAME", "# Can be WIN only",
        "FONT SMOOTHING=YES", "# Can be YES ot NO", "", "[LANGUAGE]", "MENU=ENGLISH", "# Can be ENGLISH",
        "SPELL=ENGLISH", "# Can be ENGLISH", "", "[WINDOW]", "MAXIMIZE=NO",
        "# If YES then Window is maximized when scrolling", "SPELL=ENGLISH", "ARROWPOS=200", "",
        "[KEYBOARD SCROLLING]", "# 10 keys at top of keyboard",
        "KEY1SPEED=1", "DELAY1=2000000", "KEY2SPEED=1", "DELAY2=1000000", "KEY3SPEED=1", "DELAY3=500000",
        "KEY4SPEED=1", "DELAY4=100000", "KEY5SPEED=1", "DELAY5=0", "KEY6SPEED=2", "DELAY6=0",
        "KEY7SPEED=3", "DELAY7=0", "KEY8SPEED=4", "DELAY8=0", "KEY9SPEED=6", "DELAY9=0",
        "KEY0SPEED=0", "DELAY0=0",
        "[COMPORT SCROLLING]", "# scroll control gives values 1 to 64", "# Speed is number of scanlines to move",
    };
    const int speeds[65] = {
        0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,
        2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12,
        13, 13, 14, 14, 15, 15, 16, 16, 17, 17, 18, 18, 19, 19, 20, 20, 21, 21, 22, 22,
        23, 24, 24, 25, 25, 25, 26, 27, 27, 28,
    };
    const int delays[12] = {0, 40000000, 20000000, 2000000, 8000000, 6000000,
                            4000000, 2000000, 1000000, 500000, 300000, 100000};
    for (int n = 0; n <= 64; ++n) {
        lines << QStringLiteral("VALUE%1=%2").arg(n).arg(speeds[n]);
        lines << QStringLiteral("DELAY%1=%2").arg(n).arg(n < 12 ? delays[n] : 0);
    }
    return lines;
}

QByteArray withCrLf(const QStringList &lines)
{
    QByteArray bytes;
    for (const QString &line : lines)
        bytes += line.toLatin1() + "\r\n";
    return bytes;
}

void writeIni(const QStringList &lines)
{
    QFile file(IniName);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(withCrLf(lines));
}

QByteArray readIni(const QString &path = IniName)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// Index of the value line of key in section, within the documented default lines.
qsizetype lineOf(const QStringList &lines, const QString &section, const QString &key)
{
    const qsizetype header = lines.indexOf('[' + section + ']');
    for (qsizetype i = header + 1; i < lines.size() && !lines[i].startsWith(u'['); ++i) {
        if (lines[i].startsWith(key + '='))
            return i;
    }
    return -1;
}

// The default file with one key's line replaced, or removed.
QStringList defaultWith(const QString &section, const QString &key, bool remove, const QString &value)
{
    QStringList lines = documentedDefaultLines();
    const qsizetype i = lineOf(lines, section, key);
    if (remove)
        lines.removeAt(i);
    else
        lines[i] = key + '=' + value;
    return lines;
}

QString thrownText(const std::function<void()> &action)
{
    try {
        action();
    } catch (const CorvantaError &error) {
        return error.text();
    }
    return QStringLiteral("<nothing thrown>");
}

// Stands in for the main window: records what the reader hands over.
struct Applied
{
    QList<int> checks;
    QList<qint32> inBufSizes;
    QList<qint32> pollingDelays;
    QList<bool> fontSmoothing;
    QList<qint32> arrowTops;
    QList<bool> steadySpeed;
    QStringList ports; // "n=device" in the order given
    QStringList talents; // "screen|mirror"
    QList<bool> mirrorPrompter;

    SettingsConsumers consumers()
    {
        SettingsConsumers c;
        c.setPortDevice = [this](int port, const QString &device) { ports << QStringLiteral("%1=%2").arg(port).arg(device); };
        c.checkControlSource = [this](int source) { checks << source; };
        c.setInBufSize = [this](qint32 v) { inBufSizes << v; };
        c.setPollingDelay = [this](qint32 v) { pollingDelays << v; };
        c.setFontSmoothing = [this](bool v) { fontSmoothing << v; };
        c.setArrowTop = [this](qint32 v) { arrowTops << v; };
        c.setSteadySpeed = [this](bool v) { steadySpeed << v; };
        c.setTalent = [this](const TalentSetting &t) { talents << t.Screen + u'|' + MirrorText(t.MirrorH, t.MirrorV); };
        c.setMirrorPrompter = [this](bool v) { mirrorPrompter << v; };
        return c;
    }
};

// The table rows the reader fills, in its documented order: keys 1 to 9 then 0, values 1 to 64 then 0.
struct TableLookup
{
    QString section;
    QString key;
    bool keyboard;
    int row;
    bool delay;
};

QList<TableLookup> tableLookupOrder()
{
    QList<TableLookup> order;
    for (int n : {1, 2, 3, 4, 5, 6, 7, 8, 9, 0}) {
        order.append({QStringLiteral("KEYBOARD SCROLLING"), QStringLiteral("KEY%1SPEED").arg(n), true, n, false});
        order.append({QStringLiteral("KEYBOARD SCROLLING"), QStringLiteral("DELAY%1").arg(n), true, n, true});
    }
    for (int n = 1; n <= 65; ++n) {
        const int row = n % 65;
        order.append({QStringLiteral("COMPORT SCROLLING"), QStringLiteral("VALUE%1").arg(row), false, row, false});
        order.append({QStringLiteral("COMPORT SCROLLING"), QStringLiteral("DELAY%1").arg(row), false, row, true});
    }
    return order;
}

qint32 field(const Settings &settings, const TableLookup &lookup)
{
    const SpeedEntry &entry = lookup.keyboard ? settings.KeyboardSpeedTable[lookup.row]
                                              : settings.SerialSpeedTable[lookup.row];
    return lookup.delay ? entry.Delay : entry.Speed;
}

qint32 documentedValue(const TableLookup &lookup)
{
    const QStringList lines = documentedDefaultLines();
    return lines[lineOf(lines, lookup.section, lookup.key)].section(u'=', 1).toInt();
}

// Makes writes beyond a few bytes fail, for root as well as for anyone else.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = nullptr;
};

} // namespace

class TestSettings : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void missingFileReadsNothing();
    void defaultFileBytes();
    void firstStartThenNextStart();
    void defaultFileCannotBeWritten_data();
    void defaultFileCannotBeWritten();
    void controlSourceOnlyChecks_data();
    void controlSourceOnlyChecks();
    void keywordValues_data();
    void keywordValues();
    void scrollMethod_data();
    void scrollMethod();
    void integers_data();
    void integers();
    void readingStopsAtFirstBadInteger_data();
    void readingStopsAtFirstBadInteger();
    void speedsAndDelaysAreHeldToRange_data();
    void speedsAndDelaysAreHeldToRange();
    void heldWhenTheRowIsLeftHalfRead();
    void orderAndExtrasDoNotMatter();
    void unreadableFileIsReported();
    void portDevices_data();
    void portDevices();
    void talentSection_data();
    void talentSection();
    void mirrorPrompter_data();
    void mirrorPrompter();
    void writeSettingsKey_data();
    void writeSettingsKey();
    void writeSettingsKeyNeverCreatesFile();
    void refusedWriteKeepsOldFile();
    void writeBackInReadOnlyFolder();
    void remoteSettings_data();
    void remoteSettings();
    void remoteSettingsWriteBack();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_previousDir;
};

void TestSettings::init()
{
    m_previousDir = QDir::currentPath();
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QVERIFY(QDir::setCurrent(m_dir->path()));
}

void TestSettings::cleanup()
{
    QDir::setCurrent(m_previousDir);
    m_dir.reset();
}

void TestSettings::missingFileReadsNothing()
{
    Settings settings;
    Applied applied;
    ReadSettings(settings, applied.consumers());

    QCOMPARE(settings.SettingsDir, QDir::currentPath());
    QVERIFY(applied.checks.isEmpty() && applied.inBufSizes.isEmpty() && applied.fontSmoothing.isEmpty());
    for (const SpeedEntry &row : settings.KeyboardSpeedTable)
        QVERIFY(row.Speed == 0 && row.Delay == 0);
    for (const SpeedEntry &row : settings.SerialSpeedTable)
        QVERIFY(row.Speed == 0 && row.Delay == 0);
    QVERIFY(settings.Resolution.isEmpty() && settings.DisplayMethod.isEmpty());
    QVERIFY(settings.MenuLanguage.isEmpty() && settings.SpellLanguage.isEmpty());
    QVERIFY(!settings.MaximizeWhenPrompting);
    QVERIFY(!QFile::exists(IniName));
}

void TestSettings::defaultFileBytes()
{
    Settings settings;
    TakeSettingsDir(settings);
    WriteDefaultSettings(settings);

    const QStringList expected = documentedDefaultLines();
    QCOMPARE(expected.size(), 181);
    QCOMPARE(readIni(), withCrLf(expected));
    QCOMPARE(QDir().entryList(QDir::Files | QDir::Hidden), QStringList{IniName});
}

void TestSettings::firstStartThenNextStart()
{
    Settings first;
    TakeSettingsDir(first);
    WriteDefaultSettings(first);

    // The file's rows, except key 8, key 9 and value 60, which a first start runs faster.
    for (const TableLookup &lookup : tableLookupOrder()) {
        qint32 expected = documentedValue(lookup);
        if (!lookup.delay && lookup.keyboard && lookup.row == 8)
            expected = 5;
        else if (!lookup.delay && lookup.keyboard && lookup.row == 9)
            expected = 9;
        else if (!lookup.delay && !lookup.keyboard && lookup.row == 60)
            expected = 26;
        QCOMPARE(field(first, lookup), expected);
    }
    QVERIFY(first.Resolution.isEmpty() && !first.MaximizeWhenPrompting);
    SetFirstStartTexts(first);
    QCOMPARE(first.Resolution, QStringLiteral("640x480"));
    QCOMPARE(first.MenuLanguage, QStringLiteral("English"));
    QCOMPARE(first.SpellLanguage, QStringLiteral("English"));
    QCOMPARE(first.DisplayMethod, QStringLiteral("FRAME"));

    Settings next;
    next.MaximizeWhenPrompting = true;
    Applied applied;
    ReadSettings(next, applied.consumers());
    for (const TableLookup &lookup : tableLookupOrder())
        QCOMPARE(field(next, lookup), documentedValue(lookup));
    QCOMPARE(applied.checks, QList<int>{SettingsConsumers::Keyboard});
    QCOMPARE(applied.inBufSizes, QList<qint32>{2});
    QCOMPARE(applied.pollingDelays, QList<qint32>{100});
    QCOMPARE(applied.fontSmoothing, QList<bool>{true});
    QCOMPARE(applied.arrowTops, QList<qint32>{200});
    QCOMPARE(next.Resolution, QStringLiteral("640x480"));
    QVERIFY(!next.MaximizeWhenPrompting);
    QVERIFY(next.MenuLanguage.isEmpty());
    QCOMPARE(next.DisplayMethod, QStringLiteral("FRAME"));
    QCOMPARE(applied.steadySpeed, QList<bool>{true});
}

void TestSettings::defaultFileCannotBeWritten_data()
{
    QTest::addColumn<QString>("settingsDir");
    QTest::addColumn<bool>("readOnly");
    QTest::addColumn<int>("sizeLimit");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("rowsStayZero");

    QTest::newRow("directory missing") << "gone" << false << 0 << "File not found" << true;
    QTest::newRow("directory under a file") << "plain-file/sub" << false << 0 << "I/O error 20" << true;
    QTest::newRow("read-only directory") << "locked" << true << 0 << "I/O error 13" << true;
    // Fails while writing, after the rows are set; the file must not appear cut short.
    QTest::newRow("file too large") << "" << false << 100 << "I/O error 27" << false;
}

void TestSettings::defaultFileCannotBeWritten()
{
    QFETCH(QString, settingsDir);
    QFETCH(bool, readOnly);
    QFETCH(int, sizeLimit);
    QFETCH(QString, message);
    QFETCH(bool, rowsStayZero);

    QFile plain(QStringLiteral("plain-file"));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();
    const QString dir = settingsDir.isEmpty() ? QDir::currentPath() : QDir::current().absoluteFilePath(settingsDir);
    if (readOnly) {
        // Open to everyone for reading (the check may run as another user), writable by none.
        QVERIFY(QFile::setPermissions(QDir::currentPath(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                                               | QFile::ReadOther | QFile::ExeOther));
        QVERIFY(QDir().mkdir(settingsDir, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther));
    }

    Settings settings;
    settings.SettingsDir = dir;
    {
        std::unique_ptr<FileSizeLimit> limit;
        if (sizeLimit > 0)
            limit = std::make_unique<FileSizeLimit>(sizeLimit);
        const QString thrown = readOnly ? RunUnprivileged([&] { return thrownText([&] { WriteDefaultSettings(settings); }); })
                                        : thrownText([&] { WriteDefaultSettings(settings); });
        QCOMPARE(thrown, message);
    }
    QVERIFY(!QFile::exists(QDir(dir).filePath(IniName)));
    const QStringList leftovers = QDir(dir).entryList(QDir::Files | QDir::Hidden);
    QVERIFY2(leftovers.isEmpty() || leftovers == QStringList{QStringLiteral("plain-file")},
             qPrintable(leftovers.join(u' ')));
    if (rowsStayZero) {
        for (const TableLookup &lookup : tableLookupOrder())
            QCOMPARE(field(settings, lookup), 0);
    }
    if (readOnly)
        QFile::setPermissions(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

void TestSettings::controlSourceOnlyChecks_data()
{
    QTest::addColumn<bool>("remove");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QList<int>>("checks");

    QTest::newRow("KEYBOARD") << false << "KEYBOARD" << QList<int>{SettingsConsumers::Keyboard};
    QTest::newRow("COM1") << false << "COM1" << QList<int>{SettingsConsumers::Com1};
    QTest::newRow("COM2") << false << "COM2" << QList<int>{SettingsConsumers::Com2};
    QTest::newRow("blanks around") << false << "  COM2 " << QList<int>{SettingsConsumers::Com2};
    QTest::newRow("com1 in lower case") << false << "com1" << QList<int>{};
    QTest::newRow("Keyboard in mixed case") << false << "Keyboard" << QList<int>{};
    QTest::newRow("empty") << false << "" << QList<int>{};
    QTest::newRow("missing") << true << "" << QList<int>{};
}

void TestSettings::controlSourceOnlyChecks()
{
    QFETCH(bool, remove);
    QFETCH(QString, value);
    QFETCH(QList<int>, checks);

    writeIni(defaultWith(QStringLiteral("SCROLLING"), QStringLiteral("CONTROL"), remove, value));
    Settings settings;
    Applied applied;
    ReadSettings(settings, applied.consumers());
    QCOMPARE(applied.checks, checks);
    QCOMPARE(applied.arrowTops, QList<qint32>{200}); // the rest is read as usual
}

void TestSettings::keywordValues_data()
{
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<bool>("remove");
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("fontSmoothing");
    QTest::addColumn<bool>("maximize");
    QTest::addColumn<QString>("resolution");

    const QString s = QStringLiteral("SCROLLING");
    const QString w = QStringLiteral("WINDOW");
    const QString r = QStringLiteral("640x480");
    QTest::newRow("smoothing YES") << s << "FONT SMOOTHING" << false << "YES" << true << false << r;
    QTest::newRow("smoothing yes") << s << "FONT SMOOTHING" << false << "yes" << false << false << r;
    QTest::newRow("smoothing NO") << s << "FONT SMOOTHING" << false << "NO" << false << false << r;
    QTest::newRow("smoothing missing") << s << "FONT SMOOTHING" << true << "" << false << false << r;
    QTest::newRow("maximize NO") << w << "MAXIMIZE" << false << "NO" << true << false << r;
    QTest::newRow("maximize YES") << w << "MAXIMIZE" << false << "YES" << true << true << r;
    QTest::newRow("maximize no") << w << "MAXIMIZE" << false << "no" << true << true << r;
    QTest::newRow("maximize other text") << w << "MAXIMIZE" << false << "sometimes" << true << true << r;
    QTest::newRow("maximize empty") << w << "MAXIMIZE" << false << "" << true << true << r;
    QTest::newRow("maximize missing") << w << "MAXIMIZE" << true << "" << true << true << r;
    QTest::newRow("resolution other") << s << "RESOLUTION" << false << "800x600" << true << false << "before";
    QTest::newRow("resolution in capitals") << s << "RESOLUTION" << false << "640X480" << true << false << "before";
    QTest::newRow("resolution missing") << s << "RESOLUTION" << true << "" << true << false << "before";
}

void TestSettings::keywordValues()
{
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(bool, remove);
    QFETCH(QString, value);
    QFETCH(bool, fontSmoothing);
    QFETCH(bool, maximize);
    QFETCH(QString, resolution);

    writeIni(defaultWith(section, key, remove, value));
    Settings settings;
    settings.Resolution = QStringLiteral("before");
    settings.MaximizeWhenPrompting = !maximize;
    Applied applied;
    ReadSettings(settings, applied.consumers());
    QCOMPARE(applied.fontSmoothing, QList<bool>{fontSmoothing});
    QCOMPARE(settings.MaximizeWhenPrompting, maximize);
    QCOMPARE(settings.Resolution, resolution);
}

void TestSettings::scrollMethod_data()
{
    QTest::addColumn<bool>("remove");
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("steady");

    QTest::newRow("WIN") << false << "WIN" << false;
    QTest::newRow("FRAME") << false << "FRAME" << true;
    QTest::newRow("frame") << false << "frame" << true;
    QTest::newRow("Frame with blanks") << false << " Frame " << true;
    QTest::newRow("win") << false << "win" << false;
    QTest::newRow("garbage") << false << "FRAMES" << false;
    QTest::newRow("empty") << false << "" << false;
    QTest::newRow("missing") << true << "" << false;
}

// METHOD picks the scroll method; anything but FRAME is the classic one, never an error.
void TestSettings::scrollMethod()
{
    QFETCH(bool, remove);
    QFETCH(QString, value);
    QFETCH(bool, steady);

    writeIni(defaultWith(QStringLiteral("SCROLLING"), QStringLiteral("METHOD"), remove, value));
    Settings settings;
    Applied applied;
    ReadSettings(settings, applied.consumers());
    QCOMPARE(applied.steadySpeed, QList<bool>{steady});
    QCOMPARE(settings.DisplayMethod, steady ? QStringLiteral("FRAME") : QStringLiteral("WIN"));
}

void TestSettings::integers_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<qint32>("expected");

    QTest::newRow("plain") << "136" << 136;
    QTest::newRow("negative") << "-5" << -5;
    QTest::newRow("plus sign") << "+7" << 7;
    QTest::newRow("leading zeros") << "007" << 7;
    QTest::newRow("blanks around") << " \t42 \t" << 42;
    QTest::newRow("largest") << "2147483647" << 2147483647;
    QTest::newRow("smallest") << "-2147483648" << qint32(-2147483647 - 1);
    // Cut to 1023 characters before converting: the final 5 is never seen.
    QTest::newRow("1024 digits") << QString(1023, u'0') + u'5' << 0;
}

void TestSettings::integers()
{
    QFETCH(QString, value);
    QFETCH(qint32, expected);

    writeIni(defaultWith(QStringLiteral("WINDOW"), QStringLiteral("ARROWPOS"), false, value));
    Settings settings;
    Applied applied;
    ReadSettings(settings, applied.consumers());
    QCOMPARE(applied.arrowTops, QList<qint32>{expected});
}

void TestSettings::readingStopsAtFirstBadInteger_data()
{
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<bool>("remove");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("shown");

    const QString s = QStringLiteral("SCROLLING");
    const QString k = QStringLiteral("KEYBOARD SCROLLING");
    const QString c = QStringLiteral("COMPORT SCROLLING");
    QTest::newRow("INPUT BUFFER missing") << s << "INPUT BUFFER" << true << "" << "In Buffer error";
    QTest::newRow("INPUT BUFFER empty") << s << "INPUT BUFFER" << false << "" << "";
    QTest::newRow("POLLING DELAY missing") << s << "POLLING DELAY" << true << "" << "Pollimg error";
    QTest::newRow("ARROWPOS missing") << "WINDOW" << "ARROWPOS" << true << "" << "ARROW POS ERROR";
    QTest::newRow("KEY1SPEED missing") << k << "KEY1SPEED" << true << "" << "Key1speed ERROR";
    QTest::newRow("DELAY1 missing") << k << "DELAY1" << true << "" << "ERROR";
    QTest::newRow("KEY0SPEED text") << k << "KEY0SPEED" << false << "abc" << "abc";
    QTest::newRow("VALUE5 too large") << c << "VALUE5" << false << "2147483648" << "2147483648";
    QTest::newRow("VALUE6 too small") << c << "VALUE6" << false << "-2147483649" << "-2147483649";
    QTest::newRow("DELAY3 hex with $") << c << "DELAY3" << false << "$10" << "$10";
    QTest::newRow("DELAY3 hex with 0x") << c << "DELAY3" << false << "0x10" << "0x10";
    QTest::newRow("DELAY3 fraction") << c << "DELAY3" << false << "1.5" << "1.5";
    QTest::newRow("DELAY3 exponent") << c << "DELAY3" << false << "1e3" << "1e3";
    QTest::newRow("DELAY3 sign alone") << c << "DELAY3" << false << "-" << "-";
    QTest::newRow("DELAY3 blank inside") << c << "DELAY3" << false << "5 6" << "5 6";
    QTest::newRow("DELAY3 sign then blank") << c << "DELAY3" << false << "- 5" << "- 5";
    QTest::newRow("VALUE9 cut to 1023") << c << "VALUE9" << false << QString(1030, u'x') << QString(1023, u'x');
    QTest::newRow("VALUE64 missing") << c << "VALUE64" << true << "" << "ERROR";
    QTest::newRow("VALUE0 missing") << c << "VALUE0" << true << "" << " Value0 ERROR";
    // DELAY0 of the keyboard section is still there and must not stand in.
    QTest::newRow("DELAY0 missing") << c << "DELAY0" << true << "" << "delay0 ERROR";
}

void TestSettings::readingStopsAtFirstBadInteger()
{
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(bool, remove);
    QFETCH(QString, value);
    QFETCH(QString, shown);

    writeIni(defaultWith(section, key, remove, value));
    // Earlier values that a stopped reading must leave alone.
    Settings settings;
    settings.KeyboardSpeedTable.fill({-7, -7});
    settings.SerialSpeedTable.fill({-7, -7});
    settings.Resolution = QStringLiteral("before");
    settings.MaximizeWhenPrompting = true;
    Applied applied;
    QCOMPARE(thrownText([&] { ReadSettings(settings, applied.consumers()); }),
             QStringLiteral("'%1' is not a valid integer value").arg(shown));

    // Position of the failing key in the reading order; the table starts at 9.
    const QStringList head = {"INPUT BUFFER", "POLLING DELAY", "RESOLUTION", "FONT SMOOTHING", "MAXIMIZE", "ARROWPOS"};
    const QList<TableLookup> table = tableLookupOrder();
    qsizetype failing = head.indexOf(key) + 3;
    for (qsizetype i = 0; i < table.size() && failing < 3; ++i) {
        if (table[i].section == section && table[i].key == key)
            failing = 9 + i;
    }
    QVERIFY(failing >= 3);

    QCOMPARE(applied.checks, QList<int>{SettingsConsumers::Keyboard});
    QCOMPARE(applied.inBufSizes.size(), failing > 3 ? 1 : 0);
    QCOMPARE(applied.pollingDelays.size(), failing > 4 ? 1 : 0);
    QCOMPARE(settings.Resolution, failing > 5 ? QStringLiteral("640x480") : QStringLiteral("before"));
    QCOMPARE(applied.fontSmoothing.size(), failing > 6 ? 1 : 0);
    QCOMPARE(settings.MaximizeWhenPrompting, failing <= 7);
    QCOMPARE(applied.arrowTops.size(), failing > 8 ? 1 : 0);
    for (qsizetype i = 0; i < table.size(); ++i) {
        const qint32 expected = 9 + i < failing ? documentedValue(table[i]) : -7;
        QVERIFY2(field(settings, table[i]) == expected, qPrintable(table[i].section + ' ' + table[i].key));
    }
}

void TestSettings::speedsAndDelaysAreHeldToRange_data()
{
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<qint32>("expected");

    const QString k = QStringLiteral("KEYBOARD SCROLLING");
    const QString c = QStringLiteral("COMPORT SCROLLING");
    QTest::newRow("largest speed") << k << "KEY9SPEED" << "2147483647" << MaxSpeed;
    QTest::newRow("speed just past") << k << "KEY1SPEED" << QString::number(MaxSpeed + 1) << MaxSpeed;
    QTest::newRow("speed at the bound") << k << "KEY8SPEED" << QString::number(MaxSpeed) << MaxSpeed;
    QTest::newRow("negative speed") << c << "VALUE7" << "-3" << 0;
    QTest::newRow("smallest speed") << c << "VALUE0" << "-2147483648" << 0;
    QTest::newRow("largest delay") << k << "DELAY0" << "2147483647" << MaxDelay;
    QTest::newRow("delay just past") << c << "DELAY64" << QString::number(MaxDelay + 1) << MaxDelay;
    QTest::newRow("delay at the bound") << c << "DELAY1" << QString::number(MaxDelay) << MaxDelay;
    QTest::newRow("negative delay") << c << "DELAY0" << "-1" << 0;
    QTest::newRow("delay in range") << k << "DELAY2" << "123" << 123;
}

// Absurd values are held when read; the file keeps what the operator wrote.
void TestSettings::speedsAndDelaysAreHeldToRange()
{
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(qint32, expected);

    writeIni(defaultWith(section, key, false, value));
    const QByteArray written = readIni();
    Settings settings;
    Applied applied;
    ReadSettings(settings, applied.consumers());
    for (const TableLookup &lookup : tableLookupOrder()) {
        const bool changed = lookup.section == section && lookup.key == key;
        QCOMPARE(field(settings, lookup), changed ? expected : documentedValue(lookup));
    }
    QCOMPARE(readIni(), written);
}

// A speed past the bound whose delay then fails to convert is held all the same.
void TestSettings::heldWhenTheRowIsLeftHalfRead()
{
    QStringList lines = defaultWith(QStringLiteral("KEYBOARD SCROLLING"), QStringLiteral("KEY9SPEED"), false,
                                    QStringLiteral("2147483647"));
    lines[lineOf(lines, QStringLiteral("KEYBOARD SCROLLING"), QStringLiteral("DELAY9"))] = QStringLiteral("DELAY9=x");
    writeIni(lines);
    Settings settings;
    Applied applied;
    QCOMPARE(thrownText([&] { ReadSettings(settings, applied.consumers()); }),
             QStringLiteral("'x' is not a valid integer value"));
    QCOMPARE(settings.KeyboardSpeedTable[9].Speed, MaxSpeed);
}

void TestSettings::orderAndExtrasDoNotMatter()
{
    // Sections in reverse order, each one's lines reversed, with strangers among them:
    // a section repeating known key names, and unknown keys.
    const QStringList lines = documentedDefaultLines();
    QList<QStringList> sections;
    for (const QString &line : lines) {
        if (line.startsWith(u'['))
            sections.append({line});
        else if (!line.isEmpty())
            sections.last().append(line);
    }
    QStringList shuffled = {"[EXTRA]", "INPUT BUFFER=99", "VALUE0=99", "DELAY0=99", "CONTROL=COM2", ""};
    std::reverse(sections.begin(), sections.end());
    for (QStringList &section : sections) {
        shuffled << section.first() << "UNKNOWN KEY=1";
        std::reverse(section.begin() + 1, section.end());
        shuffled << section.mid(1) << "";
    }
    writeIni(shuffled);

    Settings settings;
    Applied applied;
    ReadSettings(settings, applied.consumers());
    for (const TableLookup &lookup : tableLookupOrder())
        QCOMPARE(field(settings, lookup), documentedValue(lookup));
    QCOMPARE(applied.checks, QList<int>{SettingsConsumers::Keyboard});
    QCOMPARE(applied.inBufSizes, QList<qint32>{2});
    QCOMPARE(applied.pollingDelays, QList<qint32>{100});
    QCOMPARE(applied.arrowTops, QList<qint32>{200});
}

void TestSettings::unreadableFileIsReported()
{
    // A regular file that opens but cannot be read, whoever runs the test.
    if (!QFile::link(QStringLiteral("/proc/self/mem"), IniName))
        QSKIP("no /proc/self/mem to stand in for an unreadable file");
    Settings settings;
    Applied applied;
    QCOMPARE(thrownText([&] { ReadSettings(settings, applied.consumers()); }),
             QStringLiteral("Cannot open file %1").arg(QDir::toNativeSeparators(QDir::current().filePath(IniName))));
    QVERIFY(applied.checks.isEmpty());
}

void TestSettings::portDevices_data()
{
    QTest::addColumn<QStringList>("extra");
    QTest::addColumn<bool>("badNumber");
    QTest::addColumn<QStringList>("ports");

    const QStringList none = {"1=", "2=", "3=", "4="};
    QTest::newRow("no [PORTS] section") << QStringList{} << false << none;
    QTest::newRow("two ports named") << QStringList{"[Ports]", "COM1=/dev/ttyUSB0", "com3 = /dev/pts/7 ", "COM5=/dev/x"}
                                     << false << QStringList{"1=/dev/ttyUSB0", "2=", "3=/dev/pts/7", "4="};
    QTest::newRow("an empty name") << QStringList{"[PORTS]", "COM2="} << false << none;
    // The devices come first, so a bad number further on cannot leave the old ones.
    QTest::newRow("then a bad number") << QStringList{"[PORTS]", "COM2=/dev/ttyACM0"} << true
                                       << QStringList{"1=", "2=/dev/ttyACM0", "3=", "4="};
}

void TestSettings::portDevices()
{
    QFETCH(QStringList, extra);
    QFETCH(bool, badNumber);
    QFETCH(QStringList, ports);

    QStringList lines = defaultWith(QStringLiteral("SCROLLING"), QStringLiteral("INPUT BUFFER"), badNumber, QStringLiteral("2"));
    writeIni(lines + extra);
    Settings settings;
    Applied applied;
    const QString thrown = thrownText([&] { ReadSettings(settings, applied.consumers()); });
    QCOMPARE(thrown, badNumber ? QStringLiteral("'In Buffer error' is not a valid integer value")
                               : QStringLiteral("<nothing thrown>"));
    QCOMPARE(applied.ports, ports);
}

void TestSettings::talentSection_data()
{
    QTest::addColumn<QStringList>("extra");
    QTest::addColumn<bool>("badNumber");
    QTest::addColumn<QString>("talent");

    QTest::newRow("no [TALENT] section") << QStringList{} << false << "|NONE";
    QTest::newRow("a screen, left-right") << QStringList{"[TALENT]", "SCREEN=TALENT", "MIRROR=H"} << false << "TALENT|H";
    QTest::newRow("names in any case, blanks around")
        << QStringList{"[Talent]", "screen = HDMI-1 ", "mirror= hv "} << false << "HDMI-1|HV";
    QTest::newRow("VH is both") << QStringList{"[TALENT]", "SCREEN=DP-2", "MIRROR=VH"} << false << "DP-2|HV";
    QTest::newRow("top-bottom") << QStringList{"[TALENT]", "SCREEN=DP-2", "MIRROR=v"} << false << "DP-2|V";
    QTest::newRow("a name with blanks and brackets")
        << QStringList{"[TALENT]", "SCREEN=Studio 2 (glass)"} << false << "Studio 2 (glass)|NONE";
    QTest::newRow("garbage mirror") << QStringList{"[TALENT]", "SCREEN=TALENT", "MIRROR=sideways"} << false
                                    << "TALENT|NONE";
    QTest::newRow("a number for a mirror") << QStringList{"[TALENT]", "SCREEN=X", "MIRROR=2"} << false << "X|NONE";
    QTest::newRow("no screen, a mirror") << QStringList{"[TALENT]", "MIRROR=H"} << false << "|H";
    QTest::newRow("an empty screen") << QStringList{"[TALENT]", "SCREEN=", "MIRROR="} << false << "|NONE";
    // Read with the ports, before the numbers: a bad one further on keeps the talent's screen.
    QTest::newRow("then a bad number") << QStringList{"[TALENT]", "SCREEN=TALENT", "MIRROR=HV"} << true
                                       << "TALENT|HV";
}

// [TALENT] is optional and never an error: what cannot be read is no mirror.
void TestSettings::talentSection()
{
    QFETCH(QStringList, extra);
    QFETCH(bool, badNumber);
    QFETCH(QString, talent);

    writeIni(defaultWith(QStringLiteral("SCROLLING"), QStringLiteral("INPUT BUFFER"), badNumber, QStringLiteral("2"))
             + extra);
    Settings settings;
    Applied applied;
    const QString thrown = thrownText([&] { ReadSettings(settings, applied.consumers()); });
    QCOMPARE(thrown, badNumber ? QStringLiteral("'In Buffer error' is not a valid integer value")
                               : QStringLiteral("<nothing thrown>"));
    QCOMPARE(applied.talents, QStringList{talent});
}

void TestSettings::mirrorPrompter_data()
{
    QTest::addColumn<bool>("missing");
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("on");

    QTest::newRow("missing") << true << "" << false;
    QTest::newRow("YES") << false << "YES" << true;
    QTest::newRow("yes with blanks") << false << " yes " << true;
    QTest::newRow("NO") << false << "NO" << false;
    QTest::newRow("garbage") << false << "YESS" << false;
    QTest::newRow("empty") << false << "" << false;
}

void TestSettings::mirrorPrompter()
{
    QFETCH(bool, missing);
    QFETCH(QString, value);
    QFETCH(bool, on);

    QStringList lines = documentedDefaultLines();
    if (!missing)
        lines.insert(lineOf(lines, QStringLiteral("SCROLLING"), QStringLiteral("METHOD")), "MIRROR=" + value);
    writeIni(lines);
    Settings settings;
    Applied applied;
    ReadSettings(settings, applied.consumers());
    QCOMPARE(applied.mirrorPrompter, QList<bool>{on});
}

void TestSettings::writeSettingsKey_data()
{
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<int>("at");
    QTest::addColumn<int>("replaced");
    QTest::addColumn<QStringList>("inserted");

    QTest::newRow("CONTROL") << "SCROLLING" << "CONTROL" << "COM2" << 1 << 1 << QStringList{"CONTROL=COM2"};
    QTest::newRow("ARROWPOS named in lower case")
        << "window" << "arrowpos" << "350" << 24 << 1 << QStringList{"ARROWPOS=350"};
    QTest::newRow("FONT SMOOTHING") << "SCROLLING" << "FONT SMOOTHING" << "NO" << 11 << 1 << QStringList{"FONT SMOOTHING=NO"};
    QTest::newRow("DELAY0 of its own section")
        << "KEYBOARD SCROLLING" << "DELAY0" << "5" << 47 << 1 << QStringList{"DELAY0=5"};
    QTest::newRow("missing key joins its section")
        << "WINDOW" << "TOPMOST" << "1" << 25 << 0 << QStringList{"TOPMOST=1"};
    QTest::newRow("missing section at the end")
        << "PORTS" << "COM1" << "/dev/ttyUSB0" << 181 << 0 << QStringList{"[PORTS]", "COM1=/dev/ttyUSB0"};
}

void TestSettings::writeSettingsKey()
{
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(int, at);
    QFETCH(int, replaced);
    QFETCH(QStringList, inserted);

    // A hand-edited file: a comment with a Windows-1252 byte must come through untouched.
    QByteArray before = withCrLf(documentedDefaultLines());
    before.prepend("# edited by \x93hand\x94\r\n");
    QFile file(IniName);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(before);
    file.close();

    Settings settings;
    TakeSettingsDir(settings);
    WriteSettingsKey(settings, section, key, value);

    QStringList expected = documentedDefaultLines();
    expected.remove(at, replaced);
    for (qsizetype i = 0; i < inserted.size(); ++i)
        expected.insert(at + i, inserted[i]);
    QCOMPARE(readIni(), "# edited by \x93hand\x94\r\n" + withCrLf(expected));
    QCOMPARE(QDir().entryList(QDir::Files | QDir::Hidden), QStringList{IniName});
}

void TestSettings::writeSettingsKeyNeverCreatesFile()
{
    QVERIFY(QDir().mkdir(QStringLiteral("a")) && QDir().mkdir(QStringLiteral("b")));
    const QString a = QDir::current().absoluteFilePath(QStringLiteral("a"));
    const QString b = QDir::current().absoluteFilePath(QStringLiteral("b"));
    Settings settings;

    // No file in the current directory: nothing written, even where SettingsDir has one.
    writeIni({"[WINDOW]", "ARROWPOS=200"});
    QVERIFY(QDir::setCurrent(a));
    settings.SettingsDir = m_dir->path();
    WriteSettingsKey(settings, QStringLiteral("WINDOW"), QStringLiteral("ARROWPOS"), QStringLiteral("300"));
    QCOMPARE(readIni(QDir(m_dir->path()).filePath(IniName)), QByteArray("[WINDOW]\r\nARROWPOS=200\r\n"));
    QVERIFY(!QFile::exists(IniName));

    // A file in the current directory, but SettingsDir left behind in one without it.
    QVERIFY(QDir::setCurrent(m_dir->path()));
    settings.SettingsDir = b;
    WriteSettingsKey(settings, QStringLiteral("WINDOW"), QStringLiteral("ARROWPOS"), QStringLiteral("300"));
    QVERIFY(QDir(b).isEmpty());
    QCOMPARE(readIni(), QByteArray("[WINDOW]\r\nARROWPOS=200\r\n"));
}

void TestSettings::refusedWriteKeepsOldFile()
{
    const QStringList lines = documentedDefaultLines();
    writeIni(lines);
    Settings settings;
    TakeSettingsDir(settings);
    {
        const FileSizeLimit limit(100);
        QCOMPARE(thrownText([&] {
                     WriteSettingsKey(settings, QStringLiteral("SCROLLING"), QStringLiteral("CONTROL"),
                                      QStringLiteral("COM1"));
                 }),
                 QStringLiteral("Unable to write to %1")
                     .arg(QDir::toNativeSeparators(QDir::current().absoluteFilePath(IniName))));
    }
    QCOMPARE(readIni(), withCrLf(lines));
    QCOMPARE(QDir().entryList(QDir::Files | QDir::Hidden), QStringList{IniName});
}

// A folder that takes no new files, with a settings file that may be written: the
// write-back changes the file in place (no temporary file beside it), the key is set and
// every other byte is kept.
void TestSettings::writeBackInReadOnlyFolder()
{
    writeIni({"[SCROLLING]", "CONTROL=KEYBOARD", "[WINDOW]", "ARROWPOS=200"});
    const QString folder = QDir::currentPath();
    QVERIFY(QFile::setPermissions(IniName, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther | QFile::WriteOther));
    QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther));
    const QString thrown = RunUnprivileged([&] {
        Settings settings;
        TakeSettingsDir(settings);
        return thrownText([&] {
            WriteSettingsKey(settings, QStringLiteral("WINDOW"), QStringLiteral("ARROWPOS"), QStringLiteral("310"));
        });
    });
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QCOMPARE(thrown, QStringLiteral("<nothing thrown>"));
    QCOMPARE(readIni(), QByteArray("[SCROLLING]\r\nCONTROL=KEYBOARD\r\n[WINDOW]\r\nARROWPOS=310\r\n"));
    QCOMPARE(QDir().entryList(QDir::Files | QDir::Hidden), QStringList{IniName});
}

void TestSettings::remoteSettings_data()
{
    QTest::addColumn<QStringList>("remoteLines"); // empty: no [REMOTE] section at all
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<int>("port");
    QTest::addColumn<bool>("network");

    QTest::newRow("absent") << QStringList{} << false << 8910 << false;
    QTest::newRow("on, own port, network")
        << QStringList{"[REMOTE]", "ENABLED=YES", "PORT=9000", "NETWORK=YES"} << true << 9000 << true;
    QTest::newRow("lower case yes") << QStringList{"[remote]", "enabled=yes", "network=Yes"} << true << 8910 << true;
    QTest::newRow("garbage means off and the default port")
        << QStringList{"[REMOTE]", "ENABLED=1", "PORT=eighty", "NETWORK=TRUE"} << false << 8910 << false;
    QTest::newRow("port 0") << QStringList{"[REMOTE]", "ENABLED=YES", "PORT=0"} << true << 8910 << false;
    QTest::newRow("port past 65535") << QStringList{"[REMOTE]", "PORT=65536"} << false << 8910 << false;
    QTest::newRow("port 65535") << QStringList{"[REMOTE]", "PORT=65535"} << false << 65535 << false;
    QTest::newRow("negative port") << QStringList{"[REMOTE]", "PORT=-8910"} << false << 8910 << false;
    QTest::newRow("hex port") << QStringList{"[REMOTE]", "PORT=$22CE"} << false << 8910 << false;
}

void TestSettings::remoteSettings()
{
    QFETCH(QStringList, remoteLines);
    QFETCH(bool, enabled);
    QFETCH(int, port);
    QFETCH(bool, network);

    writeIni(documentedDefaultLines() + remoteLines);
    Settings settings;
    TakeSettingsDir(settings);
    const RemoteSettings remote = ReadRemoteSettings(settings);
    QCOMPARE(remote.Enabled, enabled);
    QCOMPARE(int(remote.Port), port);
    QCOMPARE(remote.Network, network);
}

void TestSettings::remoteSettingsWriteBack()
{
    // The default file says nothing of the remote: the section is added at the end and no
    // other line changes; a second write changes the values in place.
    Settings settings;
    TakeSettingsDir(settings);
    WriteDefaultSettings(settings);
    const QByteArray before = readIni();
    QVERIFY(!before.contains("REMOTE"));

    WriteRemoteSettings(settings, {true, 9001, false});
    QCOMPARE(readIni(), before + "[REMOTE]\r\nENABLED=YES\r\nPORT=9001\r\nNETWORK=NO\r\n");
    WriteRemoteSettings(settings, {false, 8910, true});
    QCOMPARE(readIni(), before + "[REMOTE]\r\nENABLED=NO\r\nPORT=8910\r\nNETWORK=YES\r\n");
    const RemoteSettings back = ReadRemoteSettings(settings);
    QVERIFY(!back.Enabled && back.Port == 8910 && back.Network);
}

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
