#include "remote/RemoteCommand.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

#include <lo/lo_lowlevel.h>

#include <array>
#include <cmath>
#include <memory>

namespace Remote {

namespace {

struct VerbInfo
{
    Verb verb;
    const char *name; // JSON "command"
    const char *oscPath;
    int minimum; // argument range; minimum > maximum: no argument
    int maximum;
};

constexpr int NoArgument = 1;
constexpr int NoArgumentMax = 0;

constexpr std::array<VerbInfo, 12> Verbs = {{
    {Verb::Start, "start", "/corvanta/start", NoArgument, NoArgumentMax},
    {Verb::Stop, "stop", "/corvanta/stop", NoArgument, NoArgumentMax},
    {Verb::Speed, "speed", "/corvanta/speed", 0, 9},
    {Verb::Value, "value", "/corvanta/value", 0, 64},
    {Verb::Reverse, "reverse", "/corvanta/reverse", NoArgument, NoArgumentMax},
    {Verb::JumpNext, "next", "/corvanta/jump/next", NoArgument, NoArgumentMax},
    {Verb::JumpPrevious, "previous", "/corvanta/jump/previous", NoArgument, NoArgumentMax},
    {Verb::Flag, "flag", "/corvanta/flag", NoArgument, NoArgumentMax},
    {Verb::Top, "top", "/corvanta/top", NoArgument, NoArgumentMax},
    {Verb::Relayout, "relayout", "/corvanta/relayout", NoArgument, NoArgumentMax},
    {Verb::State, "state", "/corvanta/state", NoArgument, NoArgumentMax},
    {Verb::Pair, "pair", nullptr, NoArgument, NoArgumentMax},
}};

bool takesArgument(const VerbInfo &info)
{
    return info.minimum <= info.maximum;
}

const VerbInfo &infoOf(Verb verb)
{
    for (const VerbInfo &info : Verbs)
        if (info.verb == verb)
            return info;
    return Verbs.front();
}

Parsed fault(Fault f, const QString &name = {})
{
    Parsed p;
    p.fault = f;
    p.name = name;
    return p;
}

// A whole number, given as an integer or as a float with nothing after the point (show
// controllers differ in which they send).
std::optional<double> wholeNumber(double value)
{
    if (!std::isfinite(value) || value != std::floor(value) || std::fabs(value) > 1e9)
        return std::nullopt;
    return value;
}

std::optional<double> oscNumber(char type, const lo_arg *arg)
{
    switch (type) {
    case LO_INT32:
        return double(arg->i);
    case LO_INT64:
        return wholeNumber(double(arg->h));
    case LO_FLOAT:
        return wholeNumber(double(arg->f));
    case LO_DOUBLE:
        return wholeNumber(arg->d);
    case LO_TRUE:
        return 1.0;
    case LO_FALSE:
        return 0.0;
    default:
        return std::nullopt;
    }
}

struct MessageDeleter
{
    void operator()(lo_message m) const { lo_message_free(m); }
};
using Message = std::unique_ptr<std::remove_pointer_t<lo_message>, MessageDeleter>;

QByteArray serialise(lo_message m, const QByteArray &path)
{
    size_t size = 0;
    void *data = lo_message_serialise(m, path.constData(), nullptr, &size);
    QByteArray bytes(static_cast<const char *>(data), qsizetype(size));
    std::free(data);
    return bytes;
}

} // namespace

QString VerbName(Verb verb)
{
    return QString::fromLatin1(infoOf(verb).name);
}

QString FaultText(Fault f)
{
    switch (f) {
    case Fault::None:
        return {};
    case Fault::Oversize:
        return QStringLiteral("message too long");
    case Fault::Malformed:
        return QStringLiteral("malformed message");
    case Fault::Unknown:
        return QStringLiteral("unknown command");
    case Fault::WrongType:
        return QStringLiteral("wrong argument type");
    case Fault::OutOfRange:
        return QStringLiteral("argument out of range");
    }
    return {};
}

Parsed ParseJson(const QByteArray &message)
{
    if (message.size() > MaxMessageBytes)
        return fault(Fault::Oversize);
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(message, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return fault(Fault::Malformed);
    const QJsonObject object = document.object();
    const QJsonValue name = object.value(QLatin1String("command"));
    if (!name.isString())
        return fault(Fault::Malformed);
    const QString text = name.toString();
    for (const VerbInfo &info : Verbs) {
        if (text != QLatin1String(info.name))
            continue;
        Command c;
        c.verb = info.verb;
        c.id = object.value(QLatin1String("id"));
        if (c.id.isObject() || c.id.isArray())
            return fault(Fault::WrongType, text);
        if (takesArgument(info)) {
            const QJsonValue value = object.value(QLatin1String("value"));
            if (!value.isDouble() || !wholeNumber(value.toDouble()))
                return fault(Fault::WrongType, text);
            const double v = value.toDouble();
            if (v < info.minimum || v > info.maximum)
                return fault(Fault::OutOfRange, text);
            c.argument = int(v);
        } else if (info.verb == Verb::Pair) {
            const QJsonValue code = object.value(QLatin1String("code"));
            if (!code.isString())
                return fault(Fault::WrongType, text);
            c.code = code.toString();
        } else if (info.verb == Verb::State && object.contains(QLatin1String("subscribe"))) {
            const QJsonValue subscribe = object.value(QLatin1String("subscribe"));
            if (!subscribe.isBool())
                return fault(Fault::WrongType, text);
            c.subscribe = subscribe.toBool();
        }
        Parsed p;
        p.command = c;
        p.name = text;
        return p;
    }
    return fault(Fault::Unknown, text.left(64));
}

Parsed ParseOsc(const QByteArray &datagram)
{
    if (datagram.size() > MaxMessageBytes)
        return fault(Fault::Oversize);
    // liblo reads the buffer in place; a copy keeps the caller's bytes untouched.
    QByteArray bytes = datagram;
    int result = 0;
    const Message message(lo_message_deserialise(bytes.data(), size_t(bytes.size()), &result));
    if (!message)
        return fault(Fault::Malformed);
    // A message that deserialised has a valid, terminated path at its start.
    const QString path = QString::fromLatin1(bytes.constData());
    const int argc = lo_message_get_argc(message.get());
    const char *types = lo_message_get_types(message.get());
    lo_arg **argv = lo_message_get_argv(message.get());

    for (const VerbInfo &info : Verbs) {
        if (!info.oscPath || path != QLatin1String(info.oscPath))
            continue;
        const QString name = QString::fromLatin1(info.name);
        Command c;
        c.verb = info.verb;
        if (takesArgument(info)) {
            if (argc != 1)
                return fault(Fault::WrongType, name);
            const std::optional<double> v = oscNumber(types[0], argv[0]);
            if (!v || types[0] == LO_TRUE || types[0] == LO_FALSE)
                return fault(Fault::WrongType, name);
            if (*v < info.minimum || *v > info.maximum)
                return fault(Fault::OutOfRange, name);
            c.argument = int(*v);
        } else if (argc > 1) {
            return fault(Fault::WrongType, name);
        } else if (argc == 1) {
            // Button surfaces send 1 on press and 0 on release: act on the press only.
            const std::optional<double> v = oscNumber(types[0], argv[0]);
            if (!v)
                return fault(Fault::WrongType, name);
            if (*v == 0) {
                if (info.verb == Verb::State)
                    c.subscribe = false;
                else
                    c.released = true;
            }
        }
        Parsed p;
        p.command = c;
        p.name = name;
        return p;
    }
    return fault(Fault::Unknown, path.left(64));
}

PromptControl::Outcome Apply(const Command &command, PromptControl &control)
{
    using Outcome = PromptControl::Outcome;
    if (command.released)
        return Outcome::Ignored;
    switch (command.verb) {
    case Verb::Start:
        return control.Start();
    case Verb::Stop:
        return control.Leave();
    case Verb::Speed:
        return control.KeyboardRow(command.argument);
    case Verb::Value:
        return control.ControllerValue(command.argument);
    case Verb::Reverse:
        return control.ToggleDirection();
    case Verb::JumpNext:
        return control.Jump(true);
    case Verb::JumpPrevious:
        return control.Jump(false);
    case Verb::Flag:
        return control.FlagLine();
    case Verb::Top:
        return control.RestartFromTop();
    case Verb::Relayout:
        return control.LayOutAgain();
    case Verb::State:
    case Verb::Pair:
        break;
    }
    return Outcome::Ignored;
}

static QString outcomeText(PromptControl::Outcome outcome)
{
    return outcome == PromptControl::Outcome::Done ? QStringLiteral("done") : QStringLiteral("ignored");
}

static QByteArray compact(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QByteArray JsonReply(const QString &name, PromptControl::Outcome outcome, const QJsonValue &id)
{
    QJsonObject o{{QStringLiteral("reply"), name}, {QStringLiteral("outcome"), outcomeText(outcome)}};
    if (!id.isUndefined() && !id.isNull())
        o.insert(QStringLiteral("id"), id);
    return compact(o);
}

QByteArray JsonError(const QString &error, const QString &name)
{
    QJsonObject o{{QStringLiteral("error"), error}};
    if (!name.isEmpty())
        o.insert(QStringLiteral("command"), name);
    return compact(o);
}

QByteArray JsonState(const PromptStatus &s)
{
    const QJsonObject state{
        {QStringLiteral("prompting"), s.prompting},
        {QStringLiteral("speed"), s.speed},
        {QStringLiteral("delay"), s.delay},
        {QStringLiteral("reverse"), s.reverse},
        {QStringLiteral("line"), s.topLine},
        {QStringLiteral("lines"), s.lineCount},
        {QStringLiteral("secondsLeft"), s.secondsLeft},
        {QStringLiteral("script"), s.scriptName},
        {QStringLiteral("controller"), s.controller},
    };
    return compact(QJsonObject{{QStringLiteral("state"), state}});
}

QByteArray OscMessage(const QString &path, const QList<OscArgument> &arguments)
{
    const Message m(lo_message_new());
    for (const OscArgument &a : arguments) {
        if (a.integer)
            lo_message_add_int32(m.get(), *a.integer);
        else
            lo_message_add_string(m.get(), a.text.toUtf8().constData());
    }
    return serialise(m.get(), path.toLatin1());
}

QByteArray OscReply(const QString &name, PromptControl::Outcome outcome)
{
    return OscMessage(QStringLiteral("/corvanta/reply"), {{std::nullopt, name}, {std::nullopt, outcomeText(outcome)}});
}

QByteArray OscError(const QString &error)
{
    return OscMessage(QStringLiteral("/corvanta/error"), {{std::nullopt, error}});
}

QList<QByteArray> OscState(const PromptStatus &s)
{
    const auto integer = [](const char *leaf, qint32 v) {
        return OscMessage(QStringLiteral("/corvanta/state/") + QLatin1String(leaf), {{v, {}}});
    };
    const auto text = [](const char *leaf, const QString &v) {
        return OscMessage(QStringLiteral("/corvanta/state/") + QLatin1String(leaf), {{std::nullopt, v}});
    };
    return {integer("prompting", s.prompting ? 1 : 0), integer("speed", s.speed),    integer("delay", s.delay),
            integer("reverse", s.reverse ? 1 : 0),     integer("line", s.topLine),   integer("lines", s.lineCount),
            integer("secondsleft", s.secondsLeft),     text("script", s.scriptName), text("controller", s.controller)};
}

bool SameStatus(const PromptStatus &a, const PromptStatus &b)
{
    return a.prompting == b.prompting && a.speed == b.speed && a.delay == b.delay && a.reverse == b.reverse
        && a.topLine == b.topLine && a.lineCount == b.lineCount && a.secondsLeft == b.secondsLeft
        && a.scriptName == b.scriptName && a.controller == b.controller;
}

} // namespace Remote
