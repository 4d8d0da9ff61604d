#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// A sectioned key=value file in the classic INI form: "[SECTION]" headers,
// "KEY=value" lines, anything without "=" (comments, blank lines) ignored.
// The text is kept as the file's own bytes (Windows-1252) so that an update
// changes only the bytes of the one value it touches.
class ProfileFile
{
public:
    // Longest value a lookup returns; longer values are cut.
    static constexpr qsizetype MaxValueLength = 1023;

    ProfileFile() = default;
    explicit ProfileFile(const QByteArray &bytes);

    // Returns false, with errorString() set, when the file cannot be read.
    bool load(const QString &path);
    // Replaces the file atomically: on failure the old file stays whole.
    bool save(const QString &path);

    const QByteArray &bytes() const { return m_bytes; }
    QString errorString() const { return m_errorString; }

    // Section and key names match without regard to case; only the first section of
    // that name is searched. A key present with an empty value gives "", not the default.
    QString value(const QString &section, const QString &key, const QString &defaultValue) const;

    // Replaces the value in place, or adds the key after the last line of its section,
    // or adds the section at the end. Returns false, changing nothing, when the names or
    // the value cannot be written as one line of this form.
    bool setValue(const QString &section, const QString &key, const QString &value);

    // Every key line under a section header, in file order, with the names as lookups see them.
    struct Name
    {
        QString section;
        QString key;
    };
    QList<Name> names() const;
    // True when two section names, or two key names, are the same to lookups.
    static bool sameNames(const QString &a, const QString &b);

private:
    struct Line
    {
        qsizetype begin = 0;      // first byte
        qsizetype end = 0;        // one past the last byte before the line break
        qsizetype next = 0;       // first byte of the following line
    };
    struct Entry
    {
        qsizetype line = -1;
        qsizetype valueBegin = 0; // first byte after "="
    };

    void splitLines();
    QString lineText(const Line &line) const;
    qsizetype findSection(const QString &section) const;
    qsizetype sectionEnd(qsizetype headerLine) const;
    Entry findKey(qsizetype headerLine, const QString &key) const;
    QByteArray lineBreak() const;
    bool isUnterminated(qsizetype at) const;
    QByteArray endOfLine(qsizetype at) const;

    QByteArray m_bytes;
    QList<Line> m_lines;
    QString m_errorString;
};
