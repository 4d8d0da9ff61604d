#include "prompt/KeyRules.h"

#include "prompt/PromptState.h"

namespace KeyRules {

QString ArrowFor(int reverse)
{
    return reverse ? QStringLiteral("<") : QStringLiteral(">");
}

QString ToggleDirection(PromptState &p)
{
    if (p.TopLine > 0 && p.CurrentSpeed > 0)
        p.FirstWrapPending = 0;
    p.Reverse = p.Reverse == 0 ? 1 : 0;
    return ArrowFor(p.Reverse);
}

Display CharacterKey(PromptState &p, const KeyboardSpeedTable &table, QChar key, qint32 lineAtTop)
{
    Display display;
    if (key == QLatin1Char(' '))
        p.RecordErrorMark(lineAtTop >= 0 ? lineAtTop : p.TopLine);
    if (key == QChar(27))
        p.RequestLeave();
    if (key == QLatin1Char('0'))
        p.CurrentSpeed = table[0].Speed;
    if (key >= QLatin1Char('1') && key <= QLatin1Char('9')) {
        const int row = key.unicode() - '0';
        p.CurrentDelay = table[row].Delay;
        p.CurrentSpeed = table[row].Speed;
    }
    // A row with no delay takes effect at once, not after the last delay ran out.
    p.ActiveDelay = p.CurrentDelay;
    if (p.ShowSpeedLabels) {
        display.delayLabel = QString::number(p.CurrentDelay);
        display.speedLabel = QString::number(p.CurrentSpeed);
    }
    if (key == QChar(13))
        display.arrow = ToggleDirection(p);
    return display;
}

Command KeyDown(int key, Qt::KeyboardModifiers modifiers)
{
    modifiers &= ~Qt::KeypadModifier;
    if (modifiers == Qt::ControlModifier && key == Qt::Key_R)
        return Command::RereadSettings;
    if (modifiers == Qt::ControlModifier && key == Qt::Key_Home)
        return Command::RestartFromTop;
    if (key == Qt::Key_F10)
        return Command::LayOutAgain;
    return Command::None;
}

}
