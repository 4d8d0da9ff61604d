#pragma once

#include "prompt/PromptControl.h"

#include <QString>
#include <QStringList>

// Records every command and answers like the prompter would: speeds, direction, jumps and
// flags only while prompting.
class FakePromptControl : public PromptControl
{
public:
    QStringList calls;
    PromptStatus status;

    Outcome Start() override
    {
        return note(QStringLiteral("Start"), !status.prompting, [this] { status.prompting = true; });
    }
    Outcome Leave() override
    {
        return note(QStringLiteral("Leave"), status.prompting, [this] { status.prompting = false; });
    }
    Outcome KeyboardRow(int row) override
    {
        return note(QStringLiteral("KeyboardRow %1").arg(row), status.prompting, [this, row] { status.speed = row; });
    }
    Outcome ControllerValue(int value) override
    {
        return note(QStringLiteral("ControllerValue %1").arg(value), status.prompting,
                    [this, value] { status.speed = 100 + value; });
    }
    Outcome ToggleDirection() override
    {
        return note(QStringLiteral("ToggleDirection"), status.prompting, [this] { status.reverse = !status.reverse; });
    }
    Outcome Jump(bool forward) override
    {
        return note(forward ? QStringLiteral("Jump next") : QStringLiteral("Jump previous"), status.prompting,
                    [this, forward] { status.topLine += forward ? 10 : -10; });
    }
    Outcome FlagLine() override
    {
        return note(QStringLiteral("FlagLine"), status.prompting, [] {});
    }
    Outcome RestartFromTop() override
    {
        return note(QStringLiteral("RestartFromTop"), status.prompting, [this] { status.topLine = 0; });
    }
    Outcome LayOutAgain() override
    {
        return note(QStringLiteral("LayOutAgain"), status.prompting, [] {});
    }
    PromptStatus Status() const override { return status; }

private:
    template<typename F>
    Outcome note(const QString &call, bool makesSense, F effect)
    {
        calls.append(call);
        if (!makesSense)
            return Outcome::Ignored;
        effect();
        return Outcome::Done;
    }
};
