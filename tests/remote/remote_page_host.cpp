// Serves the phone page on loopback over a stand-in prompter whose top line moves by its
// speed; prints the ports and every speed and jump it is given, for phone_page.py.
#include "remote/RemoteServer.h"

#include "FakePromptControl.h"

#include <QCoreApplication>
#include <QTimer>

#include <cstdio>

namespace {

class PrintingControl : public FakePromptControl
{
public:
    Outcome KeyboardRow(int row) override
    {
        const Outcome outcome = FakePromptControl::KeyboardRow(row);
        std::printf("KeyboardRow %d\n", row);
        std::fflush(stdout);
        return outcome;
    }
    // As the prompter's jump does, the text stops at the marker.
    Outcome Jump(bool forward) override
    {
        const Outcome outcome = FakePromptControl::Jump(forward);
        status.speed = 0;
        std::printf("Jump %s\n", forward ? "next" : "previous");
        std::fflush(stdout);
        return outcome;
    }
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    PrintingControl control;
    control.status.prompting = true;
    control.status.lineCount = 500;
    control.status.scriptName = QStringLiteral("welcome.rtf");
    control.status.controller = QStringLiteral("Control: Keyboard");
    QTimer step;
    QObject::connect(&step, &QTimer::timeout, [&control] {
        control.status.topLine += control.status.speed;
        control.status.secondsLeft = (control.status.lineCount - control.status.topLine) / 2;
    });
    step.start(100);

    RemoteServer server(control);
    if (!server.start({0, false})) {
        std::fprintf(stderr, "%s\n", qPrintable(server.errorString()));
        return 1;
    }
    std::printf("PORT %u\n", unsigned(server.tcpPort()));
    std::fflush(stdout);
    return app.exec();
}
