#include "remote/RemoteCommand.h"
#include "remote/RemoteGuard.h"

#include "FakePromptControl.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

#include <lo/lo_lowlevel.h>

using namespace Remote;

Q_DECLARE_METATYPE(Remote::Fault)

namespace {

// One OSC message; `types` as OSC spells them, numbers taken from `numbers` in order.
QByteArray osc(const char *path, const char *types = "", QList<double> numbers = {}, const char *text = "")
{
    lo_message m = lo_message_new();
    for (const char *t = types; *t; ++t) {
        switch (*t) {
        case 'i':
            lo_message_add_int32(m, qint32(numbers.takeFirst()));
            break;
        case 'h':
            lo_message_add_int64(m, qint64(numbers.takeFirst()));
            break;
        case 'f':
            lo_message_add_float(m, float(numbers.takeFirst()));
            break;
        case 'd':
            lo_message_add_double(m, numbers.takeFirst());
            break;
        case 's':
            lo_message_add_string(m, text);
            break;
        case 'T':
            lo_message_add_true(m);
            break;
        case 'F':
            lo_message_add_false(m);
            break;
        case 'N':
            lo_message_add_nil(m);
            break;
        }
    }
    size_t size = 0;
    void *data = lo_message_serialise(m, path, nullptr, &size);
    QByteArray bytes(static_cast<const char *>(data), qsizetype(size));
    free(data);
    lo_message_free(m);
    return bytes;
}

// What a parse gives, as one text a table can name: "speed 5", "stop released", "Unknown".
QString summary(const Parsed &p)
{
    if (!p.command) {
        switch (p.fault) {
        case Fault::Oversize:
            return QStringLiteral("Oversize");
        case Fault::Malformed:
            return QStringLiteral("Malformed");
        case Fault::Unknown:
            return QStringLiteral("Unknown");
        case Fault::WrongType:
            return QStringLiteral("WrongType");
        case Fault::OutOfRange:
            return QStringLiteral("OutOfRange");
        case Fault::None:
            return QStringLiteral("no command and no fault");
        }
    }
    const Command &c = *p.command;
    QString s = VerbName(c.verb);
    if (c.verb == Verb::Speed || c.verb == Verb::Value)
        s += QStringLiteral(" %1").arg(c.argument);
    if (c.verb == Verb::Pair)
        s += QStringLiteral(" ") + c.code;
    if (c.verb == Verb::State && !c.subscribe)
        s += QStringLiteral(" off");
    if (c.released)
        s += QStringLiteral(" released");
    return s;
}

} // namespace

class TestRemoteCommand : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void json_data();
    void json();
    void jsonIdIsEchoed();
    void oscMessages_data();
    void oscMessages();
    void oscGarbage_data();
    void oscGarbage();
    void mapping_data();
    void mapping();
    void stateMessages();
    void pairing();
    void lockOutEndsAfterAMinute();
    void rateLimit();
    void handshake_data();
    void handshake();
};

void TestRemoteCommand::json_data()
{
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<QString>("expected");

    QTest::newRow("start") << QByteArray(R"({"command":"start"})") << "start";
    QTest::newRow("stop") << QByteArray(R"({"command":"stop"})") << "stop";
    QTest::newRow("speed 0") << QByteArray(R"({"command":"speed","value":0})") << "speed 0";
    QTest::newRow("speed 9") << QByteArray(R"({"command":"speed","value":9})") << "speed 9";
    QTest::newRow("speed 9.0 is whole") << QByteArray(R"({"command":"speed","value":9.0})") << "speed 9";
    QTest::newRow("speed 10") << QByteArray(R"({"command":"speed","value":10})") << "OutOfRange";
    QTest::newRow("speed -1") << QByteArray(R"({"command":"speed","value":-1})") << "OutOfRange";
    QTest::newRow("speed 2.5") << QByteArray(R"({"command":"speed","value":2.5})") << "WrongType";
    QTest::newRow("speed as text") << QByteArray(R"({"command":"speed","value":"5"})") << "WrongType";
    QTest::newRow("speed without value") << QByteArray(R"({"command":"speed"})") << "WrongType";
    QTest::newRow("speed 1e300") << QByteArray(R"({"command":"speed","value":1e300})") << "WrongType";
    QTest::newRow("value 0") << QByteArray(R"({"command":"value","value":0})") << "value 0";
    QTest::newRow("value 64") << QByteArray(R"({"command":"value","value":64})") << "value 64";
    QTest::newRow("value 65") << QByteArray(R"({"command":"value","value":65})") << "OutOfRange";
    QTest::newRow("value true") << QByteArray(R"({"command":"value","value":true})") << "WrongType";
    QTest::newRow("reverse") << QByteArray(R"({"command":"reverse"})") << "reverse";
    QTest::newRow("next") << QByteArray(R"({"command":"next"})") << "next";
    QTest::newRow("previous") << QByteArray(R"({"command":"previous"})") << "previous";
    QTest::newRow("flag") << QByteArray(R"({"command":"flag"})") << "flag";
    QTest::newRow("top") << QByteArray(R"({"command":"top"})") << "top";
    QTest::newRow("relayout") << QByteArray(R"({"command":"relayout"})") << "relayout";
    QTest::newRow("state") << QByteArray(R"({"command":"state"})") << "state";
    QTest::newRow("state off") << QByteArray(R"({"command":"state","subscribe":false})") << "state off";
    QTest::newRow("state subscribe 0") << QByteArray(R"({"command":"state","subscribe":0})") << "WrongType";
    QTest::newRow("pair") << QByteArray(R"({"command":"pair","code":"012345"})") << "pair 012345";
    QTest::newRow("pair with a number") << QByteArray(R"({"command":"pair","code":12345})") << "WrongType";
    QTest::newRow("extra fields are ignored") << QByteArray(R"({"command":"flag","x":[1,2]})") << "flag";
    QTest::newRow("unknown command") << QByteArray(R"({"command":"open","file":"/etc/passwd"})") << "Unknown";
    QTest::newRow("command in another case") << QByteArray(R"({"command":"START"})") << "Unknown";
    QTest::newRow("command not text") << QByteArray(R"({"command":1})") << "Malformed";
    QTest::newRow("no command") << QByteArray(R"({"value":5})") << "Malformed";
    QTest::newRow("an array") << QByteArray(R"(["start"])") << "Malformed";
    QTest::newRow("a bare string") << QByteArray(R"("start")") << "Malformed";
    QTest::newRow("cut off") << QByteArray(R"({"command":"sta)") << "Malformed";
    QTest::newRow("empty") << QByteArray() << "Malformed";
    QTest::newRow("binary") << QByteArray("\x00\xff\xfe{", 4) << "Malformed";
    QTest::newRow("id as object") << QByteArray(R"({"command":"flag","id":{}})") << "WrongType";
    const QByteArray padding(MaxMessageBytes - 18, ' ');
    QTest::newRow("4096 bytes") << QByteArray(R"({"command":"flag"})" + padding) << "flag";
    QTest::newRow("4097 bytes") << QByteArray(R"({"command":"flag"})" + padding + ' ') << "Oversize";
}

void TestRemoteCommand::json()
{
    QFETCH(QByteArray, message);
    QFETCH(QString, expected);
    QCOMPARE(summary(ParseJson(message)), expected);
}

void TestRemoteCommand::jsonIdIsEchoed()
{
    const Parsed p = ParseJson(R"({"command":"speed","value":3,"id":"a7"})");
    QVERIFY(p.command);
    const QJsonObject reply
        = QJsonDocument::fromJson(JsonReply(p.name, PromptControl::Outcome::Ignored, p.command->id)).object();
    QCOMPARE(reply.value("reply").toString(), QStringLiteral("speed"));
    QCOMPARE(reply.value("outcome").toString(), QStringLiteral("ignored"));
    QCOMPARE(reply.value("id").toString(), QStringLiteral("a7"));
    const QJsonObject plain = QJsonDocument::fromJson(JsonReply(p.name, PromptControl::Outcome::Done, {})).object();
    QVERIFY(!plain.contains("id"));
    QCOMPARE(plain.value("outcome").toString(), QStringLiteral("done"));
}

void TestRemoteCommand::oscMessages_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<QString>("expected");

    QTest::newRow("start") << osc("/corvanta/start") << "start";
    QTest::newRow("stop") << osc("/corvanta/stop") << "stop";
    QTest::newRow("speed i 5") << osc("/corvanta/speed", "i", {5}) << "speed 5";
    QTest::newRow("speed f 5.0") << osc("/corvanta/speed", "f", {5}) << "speed 5";
    QTest::newRow("speed h 9") << osc("/corvanta/speed", "h", {9}) << "speed 9";
    QTest::newRow("speed d 0") << osc("/corvanta/speed", "d", {0}) << "speed 0";
    QTest::newRow("speed f 5.5") << osc("/corvanta/speed", "f", {5.5}) << "WrongType";
    QTest::newRow("speed s") << osc("/corvanta/speed", "s", {}, "5") << "WrongType";
    QTest::newRow("speed T") << osc("/corvanta/speed", "T") << "WrongType";
    QTest::newRow("speed without argument") << osc("/corvanta/speed") << "WrongType";
    QTest::newRow("speed with two") << osc("/corvanta/speed", "ii", {1, 2}) << "WrongType";
    QTest::newRow("speed 10") << osc("/corvanta/speed", "i", {10}) << "OutOfRange";
    QTest::newRow("speed -1") << osc("/corvanta/speed", "i", {-1}) << "OutOfRange";
    QTest::newRow("value 64") << osc("/corvanta/value", "i", {64}) << "value 64";
    QTest::newRow("value 65") << osc("/corvanta/value", "i", {65}) << "OutOfRange";
    QTest::newRow("value 2^31-1") << osc("/corvanta/value", "i", {2147483647.0}) << "OutOfRange";
    QTest::newRow("reverse") << osc("/corvanta/reverse") << "reverse";
    QTest::newRow("jump next") << osc("/corvanta/jump/next") << "next";
    QTest::newRow("jump previous") << osc("/corvanta/jump/previous") << "previous";
    QTest::newRow("flag") << osc("/corvanta/flag") << "flag";
    QTest::newRow("top") << osc("/corvanta/top") << "top";
    QTest::newRow("relayout") << osc("/corvanta/relayout") << "relayout";
    QTest::newRow("state") << osc("/corvanta/state") << "state";
    QTest::newRow("state i 0") << osc("/corvanta/state", "i", {0}) << "state off";
    QTest::newRow("button press f 1") << osc("/corvanta/reverse", "f", {1}) << "reverse";
    QTest::newRow("button release f 0") << osc("/corvanta/reverse", "f", {0}) << "reverse released";
    QTest::newRow("button press T") << osc("/corvanta/flag", "T") << "flag";
    QTest::newRow("button release F") << osc("/corvanta/flag", "F") << "flag released";
    QTest::newRow("button with text") << osc("/corvanta/start", "s", {}, "go") << "WrongType";
    QTest::newRow("button with nil") << osc("/corvanta/start", "N") << "WrongType";
    QTest::newRow("button with two") << osc("/corvanta/start", "ii", {1, 1}) << "WrongType";
    QTest::newRow("pair is not OSC") << osc("/corvanta/pair", "s", {}, "123456") << "Unknown";
    QTest::newRow("unknown address") << osc("/corvanta/open", "s", {}, "/etc/passwd") << "Unknown";
    QTest::newRow("address prefix only") << osc("/corvanta") << "Unknown";
    QTest::newRow("address in another case") << osc("/Corvanta/start") << "Unknown";
    QTest::newRow("address with a slash more") << osc("/corvanta/start/") << "Unknown";
}

void TestRemoteCommand::oscMessages()
{
    QFETCH(QByteArray, datagram);
    QFETCH(QString, expected);
    QCOMPARE(summary(ParseOsc(datagram)), expected);
}

void TestRemoteCommand::oscGarbage_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<QString>("expected");

    const QByteArray good = osc("/corvanta/speed", "i", {5});
    QTest::newRow("empty") << QByteArray() << "Malformed";
    QTest::newRow("text") << QByteArray("hello world") << "Malformed";
    QTest::newRow("cut in the argument") << good.left(good.size() - 2) << "Malformed";
    QTest::newRow("cut in the types") << good.left(good.size() - 6) << "Malformed";
    QTest::newRow("path without padding") << QByteArray("/corvanta/start") << "Malformed";
    QTest::newRow("bundle") << QByteArray("#bundle\0\0\0\0\0\0\0\0\1", 17) << "Malformed";
    QTest::newRow("unknown type tag") << QByteArray("/corvanta/start\0,x\0\0\0\0\0\0", 24) << "Malformed";
    QTest::newRow("types say int, no bytes") << QByteArray("/corvanta/speed\0,i\0\0", 20) << "Malformed";
    QTest::newRow("oversize") << osc("/corvanta/start", "s", {}, QByteArray(MaxMessageBytes, 'x').constData())
                              << "Oversize";
}

void TestRemoteCommand::oscGarbage()
{
    QFETCH(QByteArray, datagram);
    QFETCH(QString, expected);
    QCOMPARE(summary(ParseOsc(datagram)), expected);
}

void TestRemoteCommand::mapping_data()
{
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<QString>("call");

    QTest::newRow("start") << QByteArray(R"({"command":"start"})") << "Start";
    QTest::newRow("stop") << QByteArray(R"({"command":"stop"})") << "Leave";
    QTest::newRow("speed") << QByteArray(R"({"command":"speed","value":7})") << "KeyboardRow 7";
    QTest::newRow("value") << QByteArray(R"({"command":"value","value":35})") << "ControllerValue 35";
    QTest::newRow("reverse") << QByteArray(R"({"command":"reverse"})") << "ToggleDirection";
    QTest::newRow("next") << QByteArray(R"({"command":"next"})") << "Jump next";
    QTest::newRow("previous") << QByteArray(R"({"command":"previous"})") << "Jump previous";
    QTest::newRow("flag") << QByteArray(R"({"command":"flag"})") << "FlagLine";
    QTest::newRow("top") << QByteArray(R"({"command":"top"})") << "RestartFromTop";
    QTest::newRow("relayout") << QByteArray(R"({"command":"relayout"})") << "LayOutAgain";
    QTest::newRow("state is the server's") << QByteArray(R"({"command":"state"})") << "";
    QTest::newRow("pair is the server's") << QByteArray(R"({"command":"pair","code":"1"})") << "";
}

void TestRemoteCommand::mapping()
{
    QFETCH(QByteArray, message);
    QFETCH(QString, call);

    FakePromptControl control;
    control.status.prompting = message.contains("stop") || !message.contains("start");
    const Parsed p = ParseJson(message);
    QVERIFY(p.command);
    const PromptControl::Outcome outcome = Apply(*p.command, control);
    QCOMPARE(control.calls, call.isEmpty() ? QStringList() : QStringList{call});
    QCOMPARE(outcome, call.isEmpty() ? PromptControl::Outcome::Ignored : PromptControl::Outcome::Done);

    // The layer's answer comes back as it is: a speed while not prompting is ignored.
    if (call.startsWith(QLatin1String("KeyboardRow"))) {
        control.status.prompting = false;
        QCOMPARE(Apply(*p.command, control), PromptControl::Outcome::Ignored);
    }
    // A button's release does nothing at all.
    Command released = *p.command;
    released.released = true;
    control.calls.clear();
    QCOMPARE(Apply(released, control), PromptControl::Outcome::Ignored);
    QVERIFY(control.calls.isEmpty());
}

void TestRemoteCommand::stateMessages()
{
    PromptStatus s;
    s.prompting = true;
    s.speed = 3;
    s.delay = 100;
    s.reverse = true;
    s.topLine = 42;
    s.lineCount = 500;
    s.secondsLeft = 125;
    s.scriptName = QStringLiteral("Nachrichten \u00fcber.rtf");
    s.controller = QStringLiteral("Control: Keyboard");

    const QJsonObject state = QJsonDocument::fromJson(JsonState(s)).object().value("state").toObject();
    QCOMPARE(state.value("prompting").toBool(), true);
    QCOMPARE(state.value("speed").toInt(), 3);
    QCOMPARE(state.value("delay").toInt(), 100);
    QCOMPARE(state.value("reverse").toBool(), true);
    QCOMPARE(state.value("line").toInt(), 42);
    QCOMPARE(state.value("lines").toInt(), 500);
    QCOMPARE(state.value("secondsLeft").toInt(), 125);
    QCOMPARE(state.value("script").toString(), s.scriptName);
    QCOMPARE(state.value("controller").toString(), s.controller);

    // Each OSC state message reads back through liblo as the path and value it carries.
    QStringList read;
    for (QByteArray m : OscState(s)) {
        int result = 0;
        lo_message msg = lo_message_deserialise(m.data(), size_t(m.size()), &result);
        QVERIFY(msg);
        lo_arg **argv = lo_message_get_argv(msg);
        const char type = lo_message_get_types(msg)[0];
        read << QString::fromLatin1(m.constData()) + ' '
                + (type == 'i' ? QString::number(argv[0]->i) : QString::fromUtf8(&argv[0]->s));
        lo_message_free(msg);
    }
    QCOMPARE(read,
             (QStringList{"/corvanta/state/prompting 1", "/corvanta/state/speed 3", "/corvanta/state/delay 100",
                          "/corvanta/state/reverse 1", "/corvanta/state/line 42", "/corvanta/state/lines 500",
                          "/corvanta/state/secondsleft 125", "/corvanta/state/script " + s.scriptName,
                          "/corvanta/state/controller Control: Keyboard"}));

    PromptStatus other = s;
    QVERIFY(SameStatus(s, other));
    other.controller += 'x';
    QVERIFY(!SameStatus(s, other));
    other = s;
    other.topLine++;
    QVERIFY(!SameStatus(s, other));
}

void TestRemoteCommand::pairing()
{
    PairingBook book(QStringLiteral("123456"));
    const QString phone = QStringLiteral("192.0.2.10");
    const QString other = QStringLiteral("192.0.2.11");
    QVERIFY(!book.isPaired(phone));
    for (int i = 1; i < PairingBook::TriesBeforeLockOut; ++i) {
        QCOMPARE(book.tryCode(phone, QStringLiteral("000000"), 1000), PairingBook::Answer::Wrong);
        QCOMPARE(book.wrongTries(phone), i);
        QVERIFY(!book.isLockedOut(phone, 1000));
    }
    QCOMPARE(book.tryCode(phone, QStringLiteral("12345"), 1000), PairingBook::Answer::Wrong);
    QVERIFY(book.isLockedOut(phone, 1000));
    QCOMPARE(book.lockOuts(), 1);
    // Locked: the right code is refused too, and another address is not affected.
    QCOMPARE(book.tryCode(phone, QStringLiteral("123456"), 2000), PairingBook::Answer::LockedOut);
    QVERIFY(!book.isPaired(phone));
    QCOMPARE(book.tryCode(other, QStringLiteral("123456"), 2000), PairingBook::Answer::Paired);
    QVERIFY(book.isPaired(other));
    QCOMPARE(book.wrongTries(other), 0);

    // A new code ends every pairing.
    book.renew(QStringLiteral("654321"));
    QVERIFY(!book.isPaired(other));
    QCOMPARE(book.tryCode(other, QStringLiteral("123456"), 3000), PairingBook::Answer::Wrong);

    for (int i = 0; i < 50; ++i) {
        const QString code = PairingBook::NewCode();
        QCOMPARE(code.size(), 6);
        QVERIFY2(std::all_of(code.begin(), code.end(), [](QChar c) { return c.isDigit(); }), qPrintable(code));
    }
}

void TestRemoteCommand::lockOutEndsAfterAMinute()
{
    PairingBook book(QStringLiteral("123456"));
    const QString phone = QStringLiteral("192.0.2.10");
    for (int i = 0; i < PairingBook::TriesBeforeLockOut; ++i)
        book.tryCode(phone, QStringLiteral("999999"), 10'000);
    QVERIFY(book.isLockedOut(phone, 10'000 + PairingBook::LockOutMs - 1));
    QCOMPARE(book.tryCode(phone, QStringLiteral("123456"), 10'000 + PairingBook::LockOutMs - 1),
             PairingBook::Answer::LockedOut);
    QVERIFY(!book.isLockedOut(phone, 10'000 + PairingBook::LockOutMs));
    // After the minute one wrong try does not lock again: the count starts afresh.
    QCOMPARE(book.tryCode(phone, QStringLiteral("999999"), 10'000 + PairingBook::LockOutMs),
             PairingBook::Answer::Wrong);
    QCOMPARE(book.wrongTries(phone), 1);
    QCOMPARE(book.tryCode(phone, QStringLiteral("123456"), 10'000 + PairingBook::LockOutMs + 1),
             PairingBook::Answer::Paired);
}

void TestRemoteCommand::rateLimit()
{
    RateLimit rate(100);
    int admitted = 0;
    // 1000 messages spread over one second: 100 taken.
    for (int i = 0; i < 1000; ++i)
        admitted += rate.admit(5000 + i) ? 1 : 0;
    QCOMPARE(admitted, 100);
    QCOMPARE(rate.dropped(), 900);
    // The next second takes 100 again.
    admitted = 0;
    for (int i = 0; i < 1000; ++i)
        admitted += rate.admit(6000 + i) ? 1 : 0;
    QCOMPARE(admitted, 100);
    // A clock that goes back does not stall the client.
    QVERIFY(rate.admit(10));
}

void TestRemoteCommand::handshake_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("origin");
    QTest::addColumn<bool>("allowed");

    QTest::newRow("no browser") << "127.0.0.1:8910"
                                << "" << true;
    QTest::newRow("our page by address") << "127.0.0.1:8910"
                                         << "http://127.0.0.1:8910" << true;
    QTest::newRow("our page as localhost") << "localhost:8910"
                                           << "http://localhost:8910" << true;
    QTest::newRow("phone on the network") << "192.168.1.20:8910"
                                          << "http://192.168.1.20:8910" << true;
    QTest::newRow("IPv6 loopback") << "[::1]:8910"
                                   << "http://[::1]:8910" << true;
    QTest::newRow("another site") << "127.0.0.1:8910"
                                  << "https://example.com" << false;
    QTest::newRow("another port here") << "127.0.0.1:8910"
                                       << "http://127.0.0.1:8000" << false;
    QTest::newRow("a file page") << "127.0.0.1:8910"
                                 << "null" << false;
    QTest::newRow("rebound name") << "evil.example:8910"
                                  << "http://evil.example:8910" << false;
    QTest::newRow("rebound name, no origin") << "evil.example:8910"
                                             << "" << false;
    QTest::newRow("name that starts with digits") << "1.2.3.4.example:8910"
                                                  << "" << false;
    QTest::newRow("octet too big") << "127.0.0.256:8910"
                                   << "" << false;
    QTest::newRow("no host") << ""
                             << "" << false;
}

void TestRemoteCommand::handshake()
{
    QFETCH(QString, host);
    QFETCH(QString, origin);
    QFETCH(bool, allowed);
    QCOMPARE(HandshakeAllowed(host, origin), allowed);
}

QTEST_GUILESS_MAIN(TestRemoteCommand)
#include "tst_remotecommand.moc"
