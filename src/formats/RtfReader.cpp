#include "formats/RtfReader.h"

#include "formats/RtfParser.h"

#include <QIODevice>
#include <QTextCursor>

bool RtfReader::looksLikeRtf(const QByteArray &head)
{
    QByteArrayView view(head);
    if (view.startsWith("\xEF\xBB\xBF"))
        view = view.sliced(3);
    while (!view.isEmpty() && (view.front() == ' ' || view.front() == '\t' || view.front() == '\r'
                               || view.front() == '\n'))
        view = view.sliced(1);
    return view.startsWith("{\\rtf");
}

bool RtfReader::read(QIODevice *device, QTextCursor &cursor)
{
    m_errorString.clear();
    m_damage.clear();
    if (!device || !device->isReadable()) {
        m_errorString = QStringLiteral("The device is not open for reading.");
        return false;
    }
    const QByteArray data = device->readAll();
    if (!looksLikeRtf(data)) {
        m_errorString = QStringLiteral("The data is not RTF.");
        return false;
    }
    const qsizetype start = data.indexOf('{');

    cursor.beginEditBlock();
    if (cursor.hasSelection())
        cursor.removeSelectedText();
    RtfParser parser(cursor);
    parser.parse(QByteArrayView(data).sliced(start));
    cursor.endEditBlock();

    m_errorString = parser.damageTexts().join(u' ');
    m_damage = parser.damage();
    return true;
}
