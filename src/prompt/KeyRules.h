#pragma once

#include "settings/Settings.h"

#include <QChar>
#include <QString>
#include <Qt>

struct PromptState;

// What the prompt keys do to the prompt state, free of windows. The caller shows the
// texts the rules hand back and carries out the commands.
namespace KeyRules {

// What a character key leaves for the window to show; an empty text leaves a label as it is.
struct Display
{
    QString delayLabel;
    QString speedLabel;
    QString arrow;
};

// A character key while prompting: Space flags the line at the top of the window
// (lineAtTop; -1 for TopLine), Escape ends prompting, digits pick a row of the speed
// table, Enter reverses.
Display CharacterKey(PromptState &p, const KeyboardSpeedTable &table, QChar key, qint32 lineAtTop = -1);

enum class Command { None, RereadSettings, RestartFromTop, LayOutAgain };

// A key while prompting, by its virtual key: the command it gives (carried out by the
// prompt commands).
Command KeyDown(int key, Qt::KeyboardModifiers modifiers);

// The cue arrow for a direction.
QString ArrowFor(int reverse);

// The direction toggle shared by Enter and the controller: leaves FirstWrapPending only
// while the text has not moved yet, and turns the arrow.
QString ToggleDirection(PromptState &p);

}
