#pragma once

#include "prompt/PromptControl.h"

#include <QByteArray>
#include <QJsonValue>
#include <QList>
#include <QString>

#include <optional>

// The remote's command vocabulary, the same for OSC and for the WebSocket's JSON, and its
// mapping onto the prompt commands. Nothing here touches a socket.
namespace Remote {

// Longest message taken from any client; a longer one is dropped unread.
constexpr qsizetype MaxMessageBytes = 4096;

enum class Verb {
    Start,
    Stop,
    Speed, // keyboard row 0 to 9
    Value, // controller value 0 to 64
    Reverse,
    JumpNext,
    JumpPrevious,
    Flag,
    Top,
    Relayout,
    State, // subscribe to (or, with a zero, unsubscribe from) the state
    Pair, // the pairing code, WebSocket only
};

enum class Fault {
    None,
    Oversize,
    Malformed, // not JSON / not OSC, or no command in it
    Unknown, // a well-formed message naming no command of ours
    WrongType, // an argument of the wrong type, or missing
    OutOfRange,
};

struct Command
{
    Verb verb = Verb::Start;
    int argument = 0;
    QString code; // Pair
    bool subscribe = true; // State
    // An OSC button's release (a zero where no argument is wanted): acknowledged, not acted on.
    bool released = false;
    QJsonValue id; // JSON only: echoed in the reply
};

struct Parsed
{
    std::optional<Command> command;
    Fault fault = Fault::None;
    QString name; // the command's name as the client gave it, for the reply
};

QString VerbName(Verb verb);
QString FaultText(Fault fault);

Parsed ParseJson(const QByteArray &message);
// One OSC message (not a bundle), as it arrives in a datagram.
Parsed ParseOsc(const QByteArray &datagram);

// Carries a command out on the prompt commands. State and Pair are the server's own and
// give Ignored here.
PromptControl::Outcome Apply(const Command &command, PromptControl &control);

// The messages that go back to a client.
QByteArray JsonReply(const QString &name, PromptControl::Outcome outcome, const QJsonValue &id);
QByteArray JsonError(const QString &error, const QString &name = {});
QByteArray JsonState(const PromptStatus &status);

struct OscArgument
{
    std::optional<qint32> integer;
    QString text;
};
// One serialised OSC message with integer and string arguments.
QByteArray OscMessage(const QString &path, const QList<OscArgument> &arguments);
QByteArray OscReply(const QString &name, PromptControl::Outcome outcome);
QByteArray OscError(const QString &error);
QList<QByteArray> OscState(const PromptStatus &status);

bool SameStatus(const PromptStatus &a, const PromptStatus &b);

} // namespace Remote
