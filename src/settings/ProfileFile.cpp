#include "settings/ProfileFile.h"

#include "core/CorvantaError.h"
#include "core/RegularFile.h"
#include "core/Windows1252.h"

#include <QSaveFile>

#include <array>
#include <cerrno>
#include <cstring>

namespace {

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\v' || c == u'\f';
}

QStringView trimmedBlanks(QStringView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.sliced(begin, end - begin);
}

bool sameName(QStringView a, QStringView b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// The name of a "[NAME]" line; a missing "]" ends the name at the line's end.
bool sectionName(QStringView line, QStringView *name)
{
    const QStringView text = trimmedBlanks(line);
    if (!text.startsWith(u'['))
        return false;
    QStringView inner = text.sliced(1);
    const qsizetype close = inner.indexOf(u']');
    if (close >= 0)
        inner.truncate(close);
    *name = trimmedBlanks(inner);
    return true;
}

bool hasLineBreak(const QString &text)
{
    return text.contains(u'\n') || text.contains(u'\r');
}

} // namespace

ProfileFile::ProfileFile(const QByteArray &bytes) : m_bytes(bytes)
{
    splitLines();
}

bool ProfileFile::load(const QString &path)
{
    // Through the regular-file check: a pipe or a device in the settings file's place would
    // otherwise hold the program before its window is up.
    QByteArray bytes;
    try {
        if (RegularFile::read(path, bytes) != RegularFile::Outcome::Read) {
            m_errorString = QString::fromLocal8Bit(std::strerror(errno));
            return false;
        }
    } catch (const CorvantaError &e) {
        m_errorString = e.text();
        return false;
    }
    m_bytes = std::move(bytes);
    splitLines();
    return true;
}

bool ProfileFile::save(const QString &path)
{
    // flush() first: commit() flushes too, but then ignores a failed flush and
    // renames a cut-short file over the old one (Qt 6.4).
    QSaveFile file(path);
    // In a folder that takes no new files the file itself may still be writable: then it is
    // written in place, as the only way to keep the change.
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly) || file.write(m_bytes) != m_bytes.size() || !file.flush() || !file.commit()) {
        m_errorString = file.errorString();
        return false;
    }
    return true;
}

QString ProfileFile::value(const QString &section, const QString &key, const QString &defaultValue) const
{
    const qsizetype header = findSection(section);
    if (header < 0)
        return defaultValue;
    const Entry entry = findKey(header, key);
    if (entry.line < 0)
        return defaultValue;
    const Line &line = m_lines[entry.line];
    const QString text = Windows1252::decode(m_bytes.sliced(entry.valueBegin, line.end - entry.valueBegin));
    return trimmedBlanks(text).left(MaxValueLength).toString();
}

bool ProfileFile::setValue(const QString &section, const QString &key, const QString &value)
{
    const QString keyName = trimmedBlanks(key).toString();
    if (hasLineBreak(section) || section.contains(u']') || keyName.isEmpty() || hasLineBreak(key) || key.contains(u'=')
        || keyName.startsWith(u'[') || hasLineBreak(value) || !Windows1252::fits(section + key + value)) {
        m_errorString = QStringLiteral("Section, key or value cannot be written as one line");
        return false;
    }

    const QByteArray br = lineBreak();
    const qsizetype header = findSection(section);
    if (header < 0) {
        const QByteArray lines = '[' + Windows1252::encodeLossy(section) + ']' + br + Windows1252::encodeLossy(key)
            + '=' + Windows1252::encodeLossy(value) + br;
        m_bytes.append((isUnterminated(m_bytes.size()) ? br : endOfLine(m_bytes.size())) + lines);
    } else if (const Entry entry = findKey(header, key); entry.line >= 0) {
        const Line &line = m_lines[entry.line];
        m_bytes.replace(entry.valueBegin, line.end - entry.valueBegin, Windows1252::encodeLossy(value));
    } else {
        // After the section's last non-blank line, so a blank line separating it
        // from the next section stays where it is.
        qsizetype anchor = header;
        for (qsizetype i = header + 1; i < sectionEnd(header); ++i) {
            if (!trimmedBlanks(lineText(m_lines[i])).isEmpty())
                anchor = i;
        }
        const qsizetype at = m_lines[anchor].next;
        const QByteArray entryLine = Windows1252::encodeLossy(key) + '=' + Windows1252::encodeLossy(value);
        // A last line without a line break stays the file's way: the new line gets none either.
        if (isUnterminated(at))
            m_bytes.insert(at, br + entryLine);
        else
            m_bytes.insert(at, endOfLine(at) + entryLine + br);
    }
    splitLines();
    return true;
}

QList<ProfileFile::Name> ProfileFile::names() const
{
    QList<Name> found;
    QString section;
    bool inSection = false;
    for (const Line &line : m_lines) {
        const QString text = lineText(line);
        QStringView name;
        if (sectionName(text, &name)) {
            section = name.toString();
            inSection = true;
            continue;
        }
        const qsizetype equals = text.indexOf(u'=');
        if (inSection && equals >= 0)
            found.append({section, trimmedBlanks(QStringView(text).first(equals)).toString()});
    }
    return found;
}

bool ProfileFile::sameNames(const QString &a, const QString &b)
{
    return sameName(trimmedBlanks(a), trimmedBlanks(b));
}

void ProfileFile::splitLines()
{
    m_lines.clear();
    qsizetype begin = 0;
    while (begin < m_bytes.size()) {
        const qsizetype newline = m_bytes.indexOf('\n', begin);
        Line line;
        line.begin = begin;
        line.next = newline < 0 ? m_bytes.size() : newline + 1;
        line.end = newline < 0 ? m_bytes.size() : newline;
        if (line.end > begin && m_bytes[line.end - 1] == '\r')
            --line.end;
        m_lines.append(line);
        begin = line.next;
    }
}

QString ProfileFile::lineText(const Line &line) const
{
    return Windows1252::decode(m_bytes.sliced(line.begin, line.end - line.begin));
}

qsizetype ProfileFile::findSection(const QString &section) const
{
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        const QString text = lineText(m_lines[i]);
        QStringView name;
        if (sectionName(text, &name) && sameName(name, trimmedBlanks(section)))
            return i;
    }
    return -1;
}

qsizetype ProfileFile::sectionEnd(qsizetype headerLine) const
{
    for (qsizetype i = headerLine + 1; i < m_lines.size(); ++i) {
        const QString text = lineText(m_lines[i]);
        QStringView name;
        if (sectionName(text, &name))
            return i;
    }
    return m_lines.size();
}

ProfileFile::Entry ProfileFile::findKey(qsizetype headerLine, const QString &key) const
{
    const qsizetype end = sectionEnd(headerLine);
    for (qsizetype i = headerLine + 1; i < end; ++i) {
        const QString text = lineText(m_lines[i]);
        const qsizetype equals = text.indexOf(u'=');
        if (equals >= 0 && sameName(trimmedBlanks(QStringView(text).first(equals)), trimmedBlanks(key)))
            return {i, m_lines[i].begin + equals + 1};
    }
    return {};
}

// True when the bytes before `at` are a line without any line break.
bool ProfileFile::isUnterminated(qsizetype at) const
{
    return at > 0 && m_bytes[at - 1] != '\n' && m_bytes[at - 1] != '\r';
}

// A line ended by a lone CR still needs its LF, or a line inserted after it would run on
// into it (lines end at LF).
QByteArray ProfileFile::endOfLine(qsizetype at) const
{
    return at > 0 && m_bytes[at - 1] == '\r' ? QByteArray("\n") : QByteArray();
}

QByteArray ProfileFile::lineBreak() const
{
    // Follow the file's own habit; the form's native one is CR LF.
    const qsizetype newline = m_bytes.indexOf('\n');
    if (newline == 0 || (newline > 0 && m_bytes[newline - 1] != '\r'))
        return QByteArray("\n");
    return QByteArray("\r\n");
}
