// A hand controller for Corvanta without the hardware: sends the controller's single
// bytes to a serial device, or to a pseudo-terminal that Corvanta opens as its port.

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <string>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr int Reverse = 200; // any byte from 128 up
constexpr int Jump = 65;     // 65 to 126; 64 would also set the top speed
constexpr int XonChar = 0x11;
constexpr int XoffChar = 0x13;

void usage()
{
    std::fputs(
        "usage: corvanta-controller (--pty | DEVICE) [VALUE | wait=MS]...\n"
        "\n"
        "  --pty     make a pseudo-terminal and print its path, for CORVANTA.INI:\n"
        "              [PORTS]\n"
        "              COM1=/dev/pts/N\n"
        "  DEVICE    a serial device joined to Corvanta's port by a null-modem cable,\n"
        "            set to 1200 bit/s, 8 data bits, no parity, 1 stop bit, XON/XOFF\n"
        "  VALUE     a byte to send (0-255); wait=MS pauses. With values the program\n"
        "            sends them and quits (with --pty, once Corvanta has opened the port).\n"
        "\n"
        "Without values it reads keys from standard input:\n"
        "  0-9  speed value 0, 7, 14, ... 63      + -  one value faster or slower\n"
        "  s    stop (value 0)                    r    reverse the direction\n"
        "  j    stop and jump to the next marker  q    quit\n"
        "Values 17 and 19 are the line's XON and XOFF; they never reach Corvanta.\n",
        stderr);
}

class Terminal
{
public:
    // Keys one at a time, without echo, when standard input is a terminal.
    Terminal()
    {
        if (!::isatty(STDIN_FILENO) || ::tcgetattr(STDIN_FILENO, &m_saved) != 0)
            return;
        termios raw = m_saved;
        raw.c_lflag &= ~tcflag_t(ICANON | ECHO);
        raw.c_cc[VMIN] = 1;
        raw.c_cc[VTIME] = 0;
        m_raw = ::tcsetattr(STDIN_FILENO, TCSANOW, &raw) == 0;
    }
    ~Terminal()
    {
        if (m_raw)
            ::tcsetattr(STDIN_FILENO, TCSANOW, &m_saved);
    }
    Terminal(const Terminal &) = delete;
    Terminal &operator=(const Terminal &) = delete;

private:
    termios m_saved {};
    bool m_raw = false;
};

struct Line
{
    int fd = -1;
    std::string slave; // set for a pseudo-terminal
};

std::optional<Line> openPseudoTerminal()
{
    Line line;
    line.fd = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (line.fd < 0 || ::grantpt(line.fd) != 0 || ::unlockpt(line.fd) != 0)
        return std::nullopt;
    const char *name = ::ptsname(line.fd);
    if (!name)
        return std::nullopt;
    line.slave = name;
    // Opened and closed once, so that the line reports when nobody holds the other side.
    const int slave = ::open(name, O_RDWR | O_NOCTTY);
    if (slave >= 0)
        ::close(slave);
    return line;
}

std::optional<Line> openDevice(const char *path)
{
    Line line;
    line.fd = ::open(path, O_RDWR | O_NOCTTY);
    if (line.fd < 0)
        return std::nullopt;
    termios tio {};
    if (::tcgetattr(line.fd, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::cfsetispeed(&tio, B1200);
        ::cfsetospeed(&tio, B1200);
        tio.c_cflag |= CLOCAL | CREAD;
        tio.c_cflag &= ~tcflag_t(CSTOPB | PARENB | CRTSCTS);
        tio.c_iflag |= IXON; // Corvanta's XOFF holds us back
        tio.c_cc[VSTART] = XonChar;
        tio.c_cc[VSTOP] = XoffChar;
        ::tcsetattr(line.fd, TCSANOW, &tio);
    }
    return line;
}

// True while Corvanta holds the other side of the pseudo-terminal.
bool portHeld(const Line &line)
{
    if (line.slave.empty())
        return true;
    pollfd p {line.fd, POLLIN, 0};
    ::poll(&p, 1, 0);
    return !(p.revents & POLLHUP);
}

// What arrives from the far side (at most flow-control characters) is of no interest.
void drain(const Line &line)
{
    char buffer[64];
    pollfd p {line.fd, POLLIN, 0};
    while (::poll(&p, 1, 0) > 0 && (p.revents & POLLIN) && ::read(line.fd, buffer, sizeof buffer) > 0) {
    }
}

bool sendByte(const Line &line, int value)
{
    const unsigned char byte = static_cast<unsigned char>(value);
    ssize_t n;
    do {
        n = ::write(line.fd, &byte, 1);
    } while (n < 0 && errno == EINTR);
    if (n != 1) {
        std::fprintf(stderr, "corvanta-controller: cannot write: %s\n", std::strerror(errno));
        return false;
    }
    return true;
}

void sleepMs(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// Corvanta empties the port's queues just after opening it; bytes sent before are lost.
void waitUntilHeld(const Line &line)
{
    if (line.slave.empty())
        return;
    std::fputs("waiting for Corvanta to open the port (start prompting)...\n", stderr);
    while (!portHeld(line)) {
        drain(line);
        sleepMs(50);
    }
    sleepMs(300);
}

int sendList(const Line &line, const std::vector<std::string> &items)
{
    waitUntilHeld(line);
    for (const std::string &item : items) {
        if (item.rfind("wait=", 0) == 0) {
            sleepMs(std::atoi(item.c_str() + 5));
            continue;
        }
        char *end = nullptr;
        const long value = std::strtol(item.c_str(), &end, 0);
        if (item.empty() || *end != '\0' || value < 0 || value > 255) {
            std::fprintf(stderr, "corvanta-controller: not a byte value: %s\n", item.c_str());
            return 2;
        }
        if (!sendByte(line, int(value)))
            return 1;
        drain(line);
    }
    // Closing the line throws away what the far side has not read yet; it polls only
    // every 100 ms or so, a few bytes at a time.
    if (!line.slave.empty())
        sleepMs(1000);
    else
        ::tcdrain(line.fd);
    return 0;
}

// The next speed value up or down, stepping over the two flow-control characters.
int stepSpeed(int value, int step)
{
    do
        value = std::max(0, std::min(64, value + step));
    while (value == XonChar || value == XoffChar);
    return value;
}

int interactive(const Line &line)
{
    const Terminal terminal;
    std::fputs("keys: 0-9 speed, + - finer, s stop, r reverse, j jump, q quit\n", stderr);
    int speed = 0;
    bool held = portHeld(line);
    for (;;) {
        pollfd p {STDIN_FILENO, POLLIN, 0};
        const int ready = ::poll(&p, 1, 100);
        drain(line);
        if (portHeld(line) != held) {
            held = !held;
            std::fputs(held ? "[Corvanta opened the port]\n" : "[Corvanta closed the port]\n", stderr);
        }
        if (ready <= 0)
            continue;
        char key = 0;
        if (::read(STDIN_FILENO, &key, 1) != 1 || key == 'q')
            return 0;
        int value = -1;
        if (key >= '0' && key <= '9')
            value = speed = (key - '0') * 7;
        else if (key == '+' || key == '-')
            value = speed = stepSpeed(speed, key == '+' ? 1 : -1);
        else if (key == 's')
            value = speed = 0;
        else if (key == 'r')
            value = Reverse;
        else if (key == 'j')
            value = Jump;
        if (value < 0)
            continue;
        std::fprintf(stderr, "sent %d\n", value);
        if (!sendByte(line, value))
            return 1;
    }
}

}

int main(int argc, char **argv)
{
    if (argc < 2 || std::strcmp(argv[1], "-h") == 0 || std::strcmp(argv[1], "--help") == 0) {
        usage();
        return argc < 2 ? 2 : 0;
    }
    const bool pty = std::strcmp(argv[1], "--pty") == 0;
    const std::optional<Line> line = pty ? openPseudoTerminal() : openDevice(argv[1]);
    if (!line) {
        std::fprintf(stderr, "corvanta-controller: cannot open %s: %s\n", pty ? "a pseudo-terminal" : argv[1],
                     std::strerror(errno));
        return 1;
    }
    if (pty) {
        std::printf("%s\n", line->slave.c_str());
        std::fflush(stdout);
        std::fprintf(stderr, "In CORVANTA.INI:\n[PORTS]\nCOM1=%s\n", line->slave.c_str());
    }
    const std::vector<std::string> items(argv + 2, argv + argc);
    const int status = items.empty() ? interactive(*line) : sendList(*line, items);
    ::close(line->fd);
    return status;
}
