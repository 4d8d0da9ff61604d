#include "app/ProfileFile.h"

#include <QFile>
#include <QSaveFile>

#include <array>

namespace {

// Windows-1252 differs from Latin-1 only in 0x80-0x9F. The five unassigned bytes
// map to the C1 control with the same number, as Windows itself maps them, so any
// byte sequence survives a decode and encode unchanged.
constexpr std::array<char16_t, 32> HighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

int windows1252Byte(char16_t unit)
{
    if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF))
        return unit;
    for (std::size_t i = 0; i < HighControls.size(); ++i) {
        if (HighControls[i] == unit)
            return int(0x80 + i);
    }
    return -1;
}

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

ProfileFile::ProfileFile(const QByteArray &bytes)
    : m_bytes(bytes)
{
    splitLines();
}

bool ProfileFile::load(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        m_errorString = file.errorString();
        return false;
    }
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        m_errorString = file.errorString();
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
    if (!file.open(QIODevice::WriteOnly) || file.write(m_bytes) != m_bytes.size() || !file.flush()
        || !file.commit()) {
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
    const QString text = fromWindows1252(m_bytes.sliced(entry.valueBegin, line.end - entry.valueBegin));
    return trimmedBlanks(text).left(MaxValueLength).toString();
}

bool ProfileFile::setValue(const QString &section, const QString &key, const QString &value)
{
    const QString keyName = trimmedBlanks(key).toString();
    if (hasLineBreak(section) || section.contains(u']') || keyName.isEmpty() || hasLineBreak(key)
        || key.contains(u'=') || keyName.startsWith(u'[') || hasLineBreak(value)
        || !fitsWindows1252(section + key + value)) {
        m_errorString = QStringLiteral("Section, key or value cannot be written as one line");
        return false;
    }

    const QByteArray br = lineBreak();
    const qsizetype header = findSection(section);
    if (header < 0) {
        if (!m_bytes.isEmpty() && !m_bytes.endsWith('\n'))
            m_bytes += br;
        m_bytes += '[' + toWindows1252(section) + ']' + br + toWindows1252(key) + '=' + toWindows1252(value) + br;
    } else if (const Entry entry = findKey(header, key); entry.line >= 0) {
        const Line &line = m_lines[entry.line];
        m_bytes.replace(entry.valueBegin, line.end - entry.valueBegin, toWindows1252(value));
    } else {
        // After the section's last non-blank line, so a blank line separating it
        // from the next section stays where it is.
        qsizetype anchor = header;
        for (qsizetype i = header + 1; i < sectionEnd(header); ++i) {
            if (!trimmedBlanks(lineText(m_lines[i])).isEmpty())
                anchor = i;
        }
        const Line &line = m_lines[anchor];
        const QByteArray entryLine = toWindows1252(key) + '=' + toWindows1252(value);
        if (line.next == line.end)
            m_bytes.insert(line.next, br + entryLine);
        else
            m_bytes.insert(line.next, entryLine + br);
    }
    splitLines();
    return true;
}

QString ProfileFile::fromWindows1252(const QByteArray &bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    QChar *out = text.data();
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        *out++ = (byte >= 0x80 && byte < 0xA0) ? QChar(HighControls[byte - 0x80]) : QChar(byte);
    }
    return text;
}

QByteArray ProfileFile::toWindows1252(const QString &text)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i; // one '?' for the whole character
        const int byte = windows1252Byte(c.unicode());
        bytes += byte < 0 ? '?' : char(byte);
    }
    return bytes;
}

bool ProfileFile::fitsWindows1252(const QString &text)
{
    for (const QChar c : text) {
        if (windows1252Byte(c.unicode()) < 0)
            return false;
    }
    return true;
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
    return fromWindows1252(m_bytes.sliced(line.begin, line.end - line.begin));
}

qsizetype ProfileFile::findSection(const QString &section) const
{
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        const QString text = lineText(m_lines[i]);
        QStringView name;
        if (sectionName(text, &name) && sameName(name, section))
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
        if (equals >= 0 && sameName(trimmedBlanks(QStringView(text).first(equals)), key))
            return {i, m_lines[i].begin + equals + 1};
    }
    return {};
}

QByteArray ProfileFile::lineBreak() const
{
    // Follow the file's own habit; the form's native one is CR LF.
    const qsizetype newline = m_bytes.indexOf('\n');
    if (newline == 0 || (newline > 0 && m_bytes[newline - 1] != '\r'))
        return QByteArray("\n");
    return QByteArray("\r\n");
}
