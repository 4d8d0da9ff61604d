// The remote's two parsers: whatever bytes arrive, as JSON and as an OSC datagram, parse
// to a command within its range or to a fault, and a command maps onto the prompt commands
// without leaving them.
#include "remote/RemoteCommand.h"

#include <cstdint>
#include <cstdlib>

namespace {

class CountingControl : public PromptControl
{
public:
    Outcome Start() override { return Outcome::Done; }
    Outcome Leave() override { return Outcome::Done; }
    Outcome KeyboardRow(int row) override { return check(row >= 0 && row <= 9); }
    Outcome ControllerValue(int value) override { return check(value >= 0 && value <= 64); }
    Outcome ToggleDirection() override { return Outcome::Done; }
    Outcome Jump(bool) override { return Outcome::Done; }
    Outcome FlagLine() override { return Outcome::Done; }
    Outcome RestartFromTop() override { return Outcome::Done; }
    Outcome LayOutAgain() override { return Outcome::Done; }
    PromptStatus Status() const override { return {}; }

private:
    static Outcome check(bool inRange)
    {
        if (!inRange)
            std::abort();
        return Outcome::Done;
    }
};

void exercise(const Remote::Parsed &parsed)
{
    if (parsed.command.has_value() == (parsed.fault != Remote::Fault::None))
        std::abort();
    if (parsed.command) {
        CountingControl control;
        Remote::Apply(*parsed.command, control);
        Remote::JsonReply(parsed.name, PromptControl::Outcome::Done, parsed.command->id);
    } else {
        Remote::JsonError(Remote::FaultText(parsed.fault), parsed.name);
        Remote::OscError(Remote::FaultText(parsed.fault));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    exercise(Remote::ParseJson(bytes));
    exercise(Remote::ParseOsc(bytes));
    return 0;
}
