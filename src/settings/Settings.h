#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <array>
#include <functional>

// One row of a speed table: pixels per scroll step, then busy-wait iterations after it.
struct SpeedEntry
{
    qint32 Speed = 0;
    qint32 Delay = 0;
};

// The range a speed table row is held to when the file is read; the file keeps what the
// operator wrote. A step taller than the screen would throw the text off it, and sums of
// steps would overflow; the longest delay already makes a step take seconds.
inline constexpr qint32 MaxSpeed = 4320; // the tallest screens in use
inline constexpr qint32 MaxDelay = 100000000;

// Indexed by the digit of the number key, 0 to 9.
using KeyboardSpeedTable = std::array<SpeedEntry, 10>;
// Indexed by the hand controller's value, 0 to 64.
using SerialSpeedTable = std::array<SpeedEntry, 65>;

// The screen the talent reads from, under a beam-splitter glass, and how it is turned.
struct TalentSetting
{
    QString Screen;       // the screen's name as the window system gives it; "" for none
    bool MirrorH = false; // left to right
    bool MirrorV = false; // top to bottom
};

// "NONE", "H", "V" or "HV" as [TALENT] MIRROR writes it; anything else reads as NONE.
QString MirrorText(bool horizontal, bool vertical);
void ParseMirrorText(const QString &text, bool &horizontal, bool &vertical);

// What the settings file keeps in memory. Everything else it holds goes straight to
// its consumer (menu check marks, the serial driver, the cue arrow) as it is read.
struct Settings
{
    QString SettingsDir;
    ::KeyboardSpeedTable KeyboardSpeedTable{};
    ::SerialSpeedTable SerialSpeedTable{};
    QString Resolution;
    QString DisplayMethod;
    QString MenuLanguage;
    QString SpellLanguage;
    bool MaximizeWhenPrompting = false;
};

// Where ReadSettings puts the values that live outside Settings. Empty members are skipped.
struct SettingsConsumers
{
    static constexpr int Keyboard = 0;
    static constexpr int Com1 = 1;
    static constexpr int Com2 = 2;

    // Checks the Scroll Control item of that source; reading never unchecks one.
    std::function<void(int source)> checkControlSource;
    // The device named for serial port 1 to 4 by [PORTS] COMn, or "" when the file
    // names none (the system's own port then).
    std::function<void(int port, const QString &device)> setPortDevice;
    std::function<void(qint32)> setInBufSize;
    std::function<void(qint32)> setPollingDelay;
    std::function<void(bool)> setFontSmoothing;
    // The steady, display-paced scroll method (METHOD=FRAME) rather than the busy-wait.
    std::function<void(bool)> setSteadySpeed;
    std::function<void(qint32)> setArrowTop;
    // [SCROLLING] MIRROR: the main window's own prompting view mirrored left to right.
    std::function<void(bool)> setMirrorPrompter;
    // [TALENT]; a file without the section gives an empty screen name.
    std::function<void(const TalentSetting &)> setTalent;
};

// The settings file is looked for by its bare name, in the current directory.
QString SettingsFileName();
bool SettingsFileExists();
// SettingsDir joined with the file name; the current directory when SettingsDir is unset.
QString SettingsFilePath(const Settings &settings);
void TakeSettingsDir(Settings &settings);

// Takes SettingsDir from the current directory, then, when the file exists, applies
// its values in a fixed order. The first integer that does not convert throws
// CorvantaError; what was applied before it stays applied.
void ReadSettings(Settings &settings, const SettingsConsumers &consumers);

// Writes the commented default file at SettingsFilePath() and loads the default speed
// tables. Throws CorvantaError("I/O error %d") when the file cannot be written.
void WriteDefaultSettings(Settings &settings);

// The texts a first start (no settings file) sets.
void SetFirstStartTexts(Settings &settings);

// Sets one key of an existing settings file, keeping every other byte. Does nothing
// when there is no settings file; throws CorvantaError when the write is refused.
void WriteSettingsKey(const Settings &settings, const QString &section, const QString &key,
                      const QString &value);

// The recent files of the [RECENT] section (FILE1 the newest), without empty entries;
// none without a settings file. The default file has no such section.
QStringList ReadRecentFiles(const Settings &settings);
// Writes the list as FILE1 to FILE8 in one write-back, keeping every other line; entries
// past the list are emptied. A path the file cannot hold as one line is left out.
void WriteRecentFiles(const Settings &settings, const QStringList &files);

// The remote control's choices, kept in [REMOTE]. Off, on port 8910, for this computer only
// when the file says nothing (or nothing readable).
struct RemoteSettings
{
    static constexpr quint16 DefaultPort = 8910;
    bool Enabled = false;
    quint16 Port = DefaultPort;
    bool Network = false;
};

RemoteSettings ReadRemoteSettings(const Settings &settings);
// Sets the three keys in the existing settings file, every other line as it was; throws
// CorvantaError when the write is refused.
void WriteRemoteSettings(const Settings &settings, const RemoteSettings &remote);
