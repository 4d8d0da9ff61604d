#include "help/HelpTopics.h"

int HeadingCaretPosition(const QString &plainText, const QString &heading)
{
    return int(plainText.indexOf(heading, 0, Qt::CaseSensitive)) + 1;
}
