#include "editor/TextCase.h"

#include "core/Windows1252.h"

namespace TextCase {

namespace {

bool inCodePage(QChar ch)
{
    return Windows1252::fromUnicode(ch.unicode()) >= 0;
}

QChar keepWithinCodePage(QChar from, QChar to)
{
    return inCodePage(from) && !inCodePage(to) ? from : to;
}

}

QChar upper(QChar ch)
{
    return keepWithinCodePage(ch, ch.toUpper());
}

QChar lower(QChar ch)
{
    return keepWithinCodePage(ch, ch.toLower());
}

QString upper(QStringView text)
{
    QString result = text.toString();
    for (QChar &ch : result)
        ch = upper(ch);
    return result;
}

QString lower(QStringView text)
{
    QString result = text.toString();
    for (QChar &ch : result)
        ch = lower(ch);
    return result;
}

QChar decidingCharacter(QStringView selection)
{
    constexpr char16_t FirstDeciding = u'?';
    if (selection.isEmpty())
        return {};
    if (selection.size() == 1)
        return selection.front();
    if (selection.at(1).unicode() >= FirstDeciding)
        return selection.at(1);
    for (qsizetype i = 2; i < selection.size(); ++i) {
        if (selection.at(i).unicode() >= FirstDeciding)
            return selection.at(i);
    }
    return selection.at(1);
}

QString toggled(QStringView selection)
{
    const QChar d = decidingCharacter(selection);
    return upper(d) != d ? upper(selection) : lower(selection);
}

}
