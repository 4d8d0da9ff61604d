#include "settings/Settings.h"

#include "core/CorvantaError.h"
#include "core/Windows1252.h"
#include "settings/ProfileFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <cerrno>
#include <limits>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString Scrolling = QStringLiteral("SCROLLING");
const QString Window = QStringLiteral("WINDOW");
const QString KeyboardScrolling = QStringLiteral("KEYBOARD SCROLLING");
const QString ComportScrolling = QStringLiteral("COMPORT SCROLLING");
const QString Ports = QStringLiteral("PORTS");
const QString Talent = QStringLiteral("TALENT");

// The keys in the order the file lists them: 1 to 9, then 0.
constexpr std::array<int, 10> KeyOrder = {1, 2, 3, 4, 5, 6, 7, 8, 9, 0};

// Decimal only: an optional sign and digits, within 32 bits. Some converters take
// "$1F" as hexadecimal; the file form is decimal, and a stray "$" is far likelier
// a typing slip than a wish for hex, so it is refused like any other letter.
std::optional<qint32> toInt32(QStringView text)
{
    qsizetype i = 0;
    const bool negative = text.startsWith(u'-');
    if (negative || text.startsWith(u'+'))
        ++i;
    if (i == text.size())
        return std::nullopt;
    qint64 magnitude = 0;
    for (; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            return std::nullopt;
        magnitude = magnitude * 10 + (c - u'0');
        if (magnitude > qint64(1) << 31)
            return std::nullopt;
    }
    if (negative)
        return qint32(-magnitude);
    if (magnitude > std::numeric_limits<qint32>::max())
        return std::nullopt;
    return qint32(magnitude);
}

class SettingsReader
{
public:
    explicit SettingsReader(const ProfileFile &file) : m_file(file) {}

    QString text(const QString &section, const QString &key, const QString &marker) const
    {
        return m_file.value(section, key, marker);
    }

    // A missing key converts its marker, so the message names the marker.
    qint32 integer(const QString &section, const QString &key, const QString &marker) const
    {
        const QString value = text(section, key, marker);
        if (const std::optional<qint32> number = toInt32(value))
            return *number;
        throw CorvantaError(QStringLiteral("'%1' is not a valid integer value").arg(value));
    }

private:
    const ProfileFile &m_file;
};

template<typename T>
void give(const std::function<void(T)> &consumer, T value)
{
    if (consumer)
        consumer(value);
}

void readScrolling(Settings &settings, const SettingsConsumers &consumers, const SettingsReader &in)
{
    // Three separate reads that can only add check marks, so a re-read while prompting
    // can leave two sources checked.
    if (in.text(Scrolling, QStringLiteral("CONTROL"), QStringLiteral("KEYBOARD ERROR")) == u"KEYBOARD")
        give(consumers.checkControlSource, SettingsConsumers::Keyboard);
    if (in.text(Scrolling, QStringLiteral("CONTROL"), QStringLiteral("COM1 ERROR")) == u"COM1")
        give(consumers.checkControlSource, SettingsConsumers::Com1);
    if (in.text(Scrolling, QStringLiteral("CONTROL"), QStringLiteral("COM2 ERROR")) == u"COM2")
        give(consumers.checkControlSource, SettingsConsumers::Com2);

    give(consumers.setInBufSize, in.integer(Scrolling, QStringLiteral("INPUT BUFFER"), QStringLiteral("In Buffer error")));
    give(consumers.setPollingDelay, in.integer(Scrolling, QStringLiteral("POLLING DELAY"), QStringLiteral("Pollimg error")));
    if (in.text(Scrolling, QStringLiteral("RESOLUTION"), QStringLiteral("ERROR")) == u"640x480")
        settings.Resolution = QStringLiteral("640x480");
    give(consumers.setFontSmoothing,
         in.text(Scrolling, QStringLiteral("FONT SMOOTHING"), QStringLiteral("Font smoothing error")) == u"YES");
    // FRAME in either case picks the steady method; anything else is the classic one.
    const bool frame = in.text(Scrolling, QStringLiteral("METHOD"), QStringLiteral("WIN"))
                           .trimmed().compare(u"FRAME", Qt::CaseInsensitive) == 0;
    settings.DisplayMethod = frame ? QStringLiteral("FRAME") : QStringLiteral("WIN");
    give(consumers.setSteadySpeed, frame);
    // Not in the default file: only a YES written back by the menu item mirrors.
    const QString mirror = in.text(Scrolling, QStringLiteral("MIRROR"), QStringLiteral("NO")).trimmed();
    give(consumers.setMirrorPrompter, mirror.compare(u"YES", Qt::CaseInsensitive) == 0);
}

// Optional, and never part of the default file. Read before everything that can fail,
// so a bad number further on does not leave the controller on the wrong device.
void readPorts(const SettingsConsumers &consumers, const SettingsReader &in)
{
    if (!consumers.setPortDevice)
        return;
    for (int port = 1; port <= 4; ++port)
        consumers.setPortDevice(port, in.text(Ports, QStringLiteral("COM%1").arg(port), QString()));
}

// Optional like [PORTS], and read with it before anything that can fail: a mistyped value
// is no reason to leave the talent without a screen or to keep the program from starting.
void readTalent(const SettingsConsumers &consumers, const SettingsReader &in)
{
    if (!consumers.setTalent)
        return;
    TalentSetting talent;
    talent.Screen = in.text(Talent, QStringLiteral("SCREEN"), QString());
    ParseMirrorText(in.text(Talent, QStringLiteral("MIRROR"), QString()), talent.MirrorH, talent.MirrorV);
    consumers.setTalent(talent);
}

void readWindow(Settings &settings, const SettingsConsumers &consumers, const SettingsReader &in)
{
    settings.MaximizeWhenPrompting =
        in.text(Window, QStringLiteral("MAXIMIZE"), QStringLiteral("MAXIMIZE ERROR")) != u"NO";
    give(consumers.setArrowTop, in.integer(Window, QStringLiteral("ARROWPOS"), QStringLiteral("ARROW POS ERROR")));
}

// Each value is held as it is read: a later key that fails to convert stops the reading
// with the row half set.
qint32 speed(const SettingsReader &in, const QString &section, const QString &key, const QString &marker)
{
    return std::clamp(in.integer(section, key, marker), 0, MaxSpeed);
}

qint32 delay(const SettingsReader &in, const QString &section, const QString &key, const QString &marker)
{
    return std::clamp(in.integer(section, key, marker), 0, MaxDelay);
}

void readKeyboardTable(Settings &settings, const SettingsReader &in)
{
    for (const int n : KeyOrder) {
        const QString marker = n == 1 ? QStringLiteral("Key1speed ERROR") : QStringLiteral("ERROR");
        SpeedEntry &row = settings.KeyboardSpeedTable[n];
        row.Speed = speed(in, KeyboardScrolling, QStringLiteral("KEY%1SPEED").arg(n), marker);
        row.Delay = delay(in, KeyboardScrolling, QStringLiteral("DELAY%1").arg(n), QStringLiteral("ERROR"));
    }
}

void readSerialTable(Settings &settings, const SettingsReader &in)
{
    for (int n = 1; n <= 64; ++n) {
        SpeedEntry &row = settings.SerialSpeedTable[n];
        row.Speed = speed(in, ComportScrolling, QStringLiteral("VALUE%1").arg(n), QStringLiteral("ERROR"));
        row.Delay = delay(in, ComportScrolling, QStringLiteral("DELAY%1").arg(n), QStringLiteral("ERROR"));
    }
    SpeedEntry &row0 = settings.SerialSpeedTable[0];
    row0.Speed = speed(in, ComportScrolling, QStringLiteral("VALUE0"), QStringLiteral(" Value0 ERROR"));
    row0.Delay = delay(in, ComportScrolling, QStringLiteral("DELAY0"), QStringLiteral("delay0 ERROR"));
}

// Rows as the default file writes them.
SpeedEntry defaultKeyboardRow(int n)
{
    static constexpr std::array<SpeedEntry, 10> Rows = {{
        {0, 0}, {1, 2000000}, {1, 1000000}, {1, 500000}, {1, 100000},
        {1, 0}, {2, 0}, {3, 0}, {4, 0}, {6, 0},
    }};
    return Rows[n];
}

SpeedEntry defaultSerialRow(int n)
{
    static constexpr std::array<qint32, 13> SlowDelays = {
        0, 40000000, 20000000, 2000000, 8000000, 6000000, 4000000,
        2000000, 1000000, 500000, 300000, 100000, 0,
    };
    if (n <= 12)
        return {n == 0 ? 0 : 1, SlowDelays[n]};
    if (n <= 54)
        return {2 + (n - 13) / 2, 0};
    static constexpr std::array<qint32, 10> TopSpeeds = {23, 24, 24, 25, 25, 25, 26, 27, 27, 28};
    return {TopSpeeds[n - 55], 0};
}

// The in-memory rows of a first start differ from the file in three places.
SpeedEntry firstStartKeyboardRow(int n)
{
    SpeedEntry row = defaultKeyboardRow(n);
    if (n == 8)
        row.Speed = 5;
    else if (n == 9)
        row.Speed = 9;
    return row;
}

SpeedEntry firstStartSerialRow(int n)
{
    SpeedEntry row = defaultSerialRow(n);
    if (n == 60)
        row.Speed = 26;
    return row;
}

const char *const DefaultHead[] = {
    "[SCROLLING]",
    "CONTROL=KEYBOARD",
    "# Can be KEYBOARD,COM1 or COM2",
    "INPUT BUFFER=2",
    "# Typical value is 2",
    "POLLING DELAY=100",
    "# Typical value is 100",
    "RESOLUTION=640x480",
    "# can be any resolution supported by hardware",
    "METHOD=FRAME",
    "# Can be WIN only",
    "FONT SMOOTHING=YES",
    "# Can be YES ot NO",
    "",
    "[LANGUAGE]",
    "MENU=ENGLISH",
    "# Can be ENGLISH",
    "SPELL=ENGLISH",
    "# Can be ENGLISH",
    "",
    "[WINDOW]",
    "MAXIMIZE=NO",
    "# If YES then Window is maximized when scrolling",
    "SPELL=ENGLISH",
    "ARROWPOS=200",
    "",
    "[KEYBOARD SCROLLING]",
    "# 10 keys at top of keyboard",
};

const char *const DefaultComportHead[] = {
    "[COMPORT SCROLLING]",
    "# scroll control gives values 1 to 64",
    "# Speed is number of scanlines to move",
};

// The system's reason for a failed write, as the errno of the step that failed.
// Qt does not report errno, so the likely causes are checked again here first.
int writeErrorNumber(const QString &dir, const QString &path, int failedWith)
{
    const QByteArray dirName = QFile::encodeName(dir);
    const QByteArray fileName = QFile::encodeName(path);
    struct stat info;
    if (::stat(dirName.constData(), &info) != 0)
        return errno;
    if (!S_ISDIR(info.st_mode))
        return ENOTDIR;
    if (::stat(fileName.constData(), &info) == 0 && S_ISDIR(info.st_mode))
        return EISDIR;
    if (::access(dirName.constData(), W_OK | X_OK) != 0)
        return errno;
    return failedWith != 0 ? failedWith : EIO;
}

[[noreturn]] void throwIoError(const Settings &settings, const QString &path)
{
    const int failedWith = errno;
    const QString dir = settings.SettingsDir.isEmpty() ? QDir::currentPath() : settings.SettingsDir;
    const int number = writeErrorNumber(dir, path, failedWith);
    if (number == ENOENT)
        throw CorvantaError(QStringLiteral("File not found"));
    throw CorvantaError(QStringLiteral("I/O error %1").arg(number));
}

class DefaultFileWriter
{
public:
    DefaultFileWriter(const Settings &settings, const QString &path)
        : m_settings(settings), m_path(path), m_file(path)
    {
        errno = 0;
        if (!m_file.open(QIODevice::WriteOnly))
            throwIoError(m_settings, m_path);
    }

    void line(const QString &text)
    {
        const QByteArray bytes = Windows1252::encodeLossy(text) + "\r\n";
        errno = 0;
        if (m_file.write(bytes) != bytes.size())
            throwIoError(m_settings, m_path);
    }

    void pair(const QString &speedKey, const QString &delayKey, SpeedEntry row)
    {
        line(QStringLiteral("%1=%2").arg(speedKey).arg(row.Speed));
        line(QStringLiteral("%1=%2").arg(delayKey).arg(row.Delay));
    }

    // Only the rename makes the file appear, so a failure leaves no half-written file.
    // The explicit flush matters: commit() would rename even after its own flush failed.
    void commit()
    {
        errno = 0;
        if (!m_file.flush() || !m_file.commit())
            throwIoError(m_settings, m_path);
    }

private:
    const Settings &m_settings;
    QString m_path;
    QSaveFile m_file;
};

QString nativePath(const Settings &settings)
{
    return QDir::toNativeSeparators(SettingsFilePath(settings));
}

} // namespace

QString MirrorText(bool horizontal, bool vertical)
{
    if (horizontal && vertical)
        return QStringLiteral("HV");
    if (horizontal)
        return QStringLiteral("H");
    return vertical ? QStringLiteral("V") : QStringLiteral("NONE");
}

void ParseMirrorText(const QString &text, bool &horizontal, bool &vertical)
{
    const QString t = text.trimmed().toUpper();
    const bool both = t == u"HV" || t == u"VH";
    horizontal = both || t == u"H";
    vertical = both || t == u"V";
}

QString SettingsFileName()
{
    return QStringLiteral("CORVANTA.INI");
}

bool SettingsFileExists()
{
    return QFileInfo(SettingsFileName()).isFile();
}

QString SettingsFilePath(const Settings &settings)
{
    const QString dir = settings.SettingsDir.isEmpty() ? QDir::currentPath() : settings.SettingsDir;
    return QDir(dir).filePath(SettingsFileName());
}

void TakeSettingsDir(Settings &settings)
{
    settings.SettingsDir = QDir::currentPath();
}

void ReadSettings(Settings &settings, const SettingsConsumers &consumers)
{
    TakeSettingsDir(settings);
    if (!SettingsFileExists())
        return;
    // Unreadable is not the same as empty: every key would turn into its marker and
    // the message would blame a missing key.
    ProfileFile file;
    if (!file.load(SettingsFilePath(settings)))
        throw CorvantaError(QStringLiteral("Cannot open file %1").arg(nativePath(settings)));

    const SettingsReader in(file);
    readPorts(consumers, in);
    readTalent(consumers, in);
    readScrolling(settings, consumers, in);
    readWindow(settings, consumers, in);
    readKeyboardTable(settings, in);
    readSerialTable(settings, in);
}

void WriteDefaultSettings(Settings &settings)
{
    DefaultFileWriter out(settings, SettingsFilePath(settings));
    for (const char *text : DefaultHead)
        out.line(QString::fromLatin1(text));
    for (const int n : KeyOrder) {
        out.pair(QStringLiteral("KEY%1SPEED").arg(n), QStringLiteral("DELAY%1").arg(n), defaultKeyboardRow(n));
        settings.KeyboardSpeedTable[n] = firstStartKeyboardRow(n);
    }
    for (const char *text : DefaultComportHead)
        out.line(QString::fromLatin1(text));
    for (int n = 0; n <= 64; ++n) {
        out.pair(QStringLiteral("VALUE%1").arg(n), QStringLiteral("DELAY%1").arg(n), defaultSerialRow(n));
        settings.SerialSpeedTable[n] = firstStartSerialRow(n);
    }
    out.commit();
}

void SetFirstStartTexts(Settings &settings)
{
    settings.Resolution = QStringLiteral("640x480");
    settings.MenuLanguage = QStringLiteral("English");
    settings.SpellLanguage = QStringLiteral("English");
    // A new user gets the steady method: the busy-wait's speed depends on the machine.
    settings.DisplayMethod = QStringLiteral("FRAME");
}

void WriteSettingsKey(const Settings &settings, const QString &section, const QString &key,
                      const QString &value)
{
    if (!SettingsFileExists())
        return;
    // A write-back never creates the file, not even when the current directory has
    // moved away from SettingsDir since it was taken.
    const QString path = SettingsFilePath(settings);
    if (!QFileInfo(path).isFile())
        return;
    ProfileFile file;
    if (!file.load(path) || !file.setValue(section, key, value) || !file.save(path))
        throw CorvantaError(QStringLiteral("Unable to write to %1").arg(nativePath(settings)));
}

namespace {

constexpr int RecentFileKeys = 8;

QString recentKey(int index)
{
    return QStringLiteral("FILE%1").arg(index + 1);
}

}

QStringList ReadRecentFiles(const Settings &settings)
{
    QStringList files;
    const QString path = SettingsFilePath(settings);
    ProfileFile file;
    if (!SettingsFileExists() || !QFileInfo(path).isFile() || !file.load(path))
        return files;
    for (int i = 0; i < RecentFileKeys; ++i) {
        const QString entry = file.value(QStringLiteral("RECENT"), recentKey(i), QString());
        if (!entry.isEmpty())
            files << entry;
    }
    return files;
}

void WriteRecentFiles(const Settings &settings, const QStringList &files)
{
    if (!SettingsFileExists())
        return;
    const QString path = SettingsFilePath(settings);
    if (!QFileInfo(path).isFile())
        return;
    ProfileFile file;
    if (!file.load(path))
        throw CorvantaError(QStringLiteral("Unable to write to %1").arg(nativePath(settings)));
    const QString section = QStringLiteral("RECENT");
    int written = 0;
    for (const QString &entry : files) {
        if (written < RecentFileKeys && file.setValue(section, recentKey(written), entry))
            ++written;
    }
    for (; written < RecentFileKeys; ++written) {
        // Only keys that are there already need emptying.
        if (!file.value(section, recentKey(written), QString()).isEmpty())
            file.setValue(section, recentKey(written), QString());
    }
    if (!file.save(path))
        throw CorvantaError(QStringLiteral("Unable to write to %1").arg(nativePath(settings)));
}

namespace {

const QString Remote = QStringLiteral("REMOTE");

bool readYes(const ProfileFile &file, const QString &key)
{
    return file.value(Remote, key, QString()).trimmed().compare(QLatin1String("YES"), Qt::CaseInsensitive) == 0;
}

} // namespace

RemoteSettings ReadRemoteSettings(const Settings &settings)
{
    RemoteSettings remote;
    ProfileFile file;
    const QString path = SettingsFilePath(settings);
    if (!QFileInfo(path).isFile() || !file.load(path))
        return remote;
    remote.Enabled = readYes(file, QStringLiteral("ENABLED"));
    remote.Network = readYes(file, QStringLiteral("NETWORK"));
    const std::optional<qint32> port = toInt32(file.value(Remote, QStringLiteral("PORT"), QString()).trimmed());
    if (port && *port >= 1 && *port <= 65535)
        remote.Port = quint16(*port);
    return remote;
}

void WriteRemoteSettings(const Settings &settings, const RemoteSettings &remote)
{
    const auto yesNo = [](bool on) { return on ? QStringLiteral("YES") : QStringLiteral("NO"); };
    WriteSettingsKey(settings, Remote, QStringLiteral("ENABLED"), yesNo(remote.Enabled));
    WriteSettingsKey(settings, Remote, QStringLiteral("PORT"), QString::number(remote.Port));
    WriteSettingsKey(settings, Remote, QStringLiteral("NETWORK"), yesNo(remote.Network));
}
