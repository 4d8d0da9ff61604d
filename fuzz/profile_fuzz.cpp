// libFuzzer target for the settings file reader and writer. The input is a settings file and,
// after NUL bytes, a section, a key and a value. Setting the value must either be refused,
// leaving the file as it was, or make the value read back while no other key changes.

#include "core/Windows1252.h"
#include "settings/ProfileFile.h"

#include <QList>

#include <cstdio>
#include <cstdlib>

namespace {

void fail(const char *what, const QByteArray &before, const QByteArray &after)
{
    std::fprintf(stderr, "%s\n%s\n---\n%s\n", what, before.toHex(' ').constData(), after.toHex(' ').constData());
    std::abort();
}

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\v' || c == u'\f';
}

// What a lookup returns for a value that was set.
QString asRead(QString value)
{
    while (!value.isEmpty() && isBlank(value.back()))
        value.chop(1);
    qsizetype begin = 0;
    while (begin < value.size() && isBlank(value.at(begin)))
        ++begin;
    return value.mid(begin).left(ProfileFile::MaxValueLength);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QList<QByteArray> parts = QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)).split('\0');
    const QByteArray file = parts.value(0);
    const QString section = Windows1252::decode(parts.value(1, "SCROLLING"));
    const QString key = Windows1252::decode(parts.value(2, "CONTROL"));
    const QString value = Windows1252::decode(parts.value(3, "KEYBOARD"));

    const ProfileFile before(file);
    ProfileFile after(file);
    if (!after.setValue(section, key, value)) {
        if (after.bytes() != file)
            fail("a refused value changed the file", file, after.bytes());
        return 0;
    }
    const ProfileFile reread(after.bytes());
    const QString missing = QStringLiteral("\x01missing");
    if (reread.value(section, key, missing) != asRead(value))
        fail("the value does not read back", file, after.bytes());
    for (const ProfileFile::Name &name : before.names()) {
        if (ProfileFile::sameNames(name.section, section) && ProfileFile::sameNames(name.key, key))
            continue;
        if (reread.value(name.section, name.key, missing) != before.value(name.section, name.key, missing))
            fail("another key changed", file, after.bytes());
    }
    return 0;
}
