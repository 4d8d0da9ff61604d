#include "spelling/HunspellDictionary.h"

#include <QDir>
#include <QFileInfo>

#include <hunspell.hxx>

namespace {

// Hunspell names its encodings in its own way ("ISO8859-1"); Qt knows fewer of them.
QStringConverter::Encoding encodingOf(const std::string &name)
{
    const QByteArray n = QByteArray::fromStdString(name).toUpper().replace("-", "");
    if (n == "ISO88591" || n == "LATIN1")
        return QStringConverter::Latin1;
    return QStringConverter::Utf8;
}

}

HunspellDictionary::HunspellDictionary(const QString &affPath, const QString &dicPath)
{
    if (!QFileInfo(affPath).isFile() || !QFileInfo(dicPath).isFile())
        return;
    m_hunspell = std::make_unique<Hunspell>(QFile::encodeName(affPath).constData(),
                                            QFile::encodeName(dicPath).constData());
    const QStringConverter::Encoding encoding = encodingOf(m_hunspell->get_dict_encoding());
    m_encoder = QStringEncoder(encoding);
    m_decoder = QStringDecoder(encoding);
}

HunspellDictionary::~HunspellDictionary() = default;

QStringList HunspellDictionary::SystemFolders()
{
    return {QStringLiteral("/usr/share/hunspell"), QStringLiteral("/usr/local/share/hunspell"),
            QStringLiteral("/usr/share/myspell/dicts"), QStringLiteral("/usr/share/myspell")};
}

std::unique_ptr<HunspellDictionary> HunspellDictionary::System(const QString &language)
{
    for (const QString &folder : SystemFolders()) {
        const QDir dir(folder);
        auto dictionary = std::make_unique<HunspellDictionary>(dir.filePath(language + QStringLiteral(".aff")),
                                                               dir.filePath(language + QStringLiteral(".dic")));
        if (dictionary->IsLoaded())
            return dictionary;
    }
    return nullptr;
}

QString HunspellDictionary::LibraryVersion()
{
    return QStringLiteral(CORVANTA_HUNSPELL_VERSION);
}

std::string HunspellDictionary::encode(const QString &word) const
{
    return QByteArray(m_encoder.encode(LookupForm(word))).toStdString();
}

bool HunspellDictionary::IsCorrect(const QString &word) const
{
    return m_hunspell && m_hunspell->spell(encode(word));
}

QStringList HunspellDictionary::Suggestions(const QString &word) const
{
    QStringList result;
    if (!m_hunspell)
        return result;
    for (const std::string &s : m_hunspell->suggest(encode(word)))
        result << m_decoder.decode(QByteArray::fromStdString(s));
    return result;
}
