#include "support/PseudoTerminal.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

PseudoTerminal::PseudoTerminal()
{
    char name[256] = {};
    if (openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        master = slave = -1;
        return;
    }
    termios raw{};
    tcgetattr(slave, &raw);
    cfmakeraw(&raw);
    tcsetattr(slave, TCSANOW, &raw);
    slavePath = name;
}

PseudoTerminal::~PseudoTerminal()
{
    if (slave >= 0)
        close(slave);
    if (master >= 0)
        close(master);
}

void PseudoTerminal::Send(const std::vector<std::uint8_t>& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(master, bytes.data() + done, bytes.size() - done);
        if (n <= 0)
            return;
        done += std::size_t(n);
    }
    tcdrain(master);
}

std::vector<std::uint8_t> PseudoTerminal::Receive(int timeoutMs)
{
    std::vector<std::uint8_t> bytes;
    pollfd fd{master, POLLIN, 0};
    while (poll(&fd, 1, bytes.empty() ? timeoutMs : 20) > 0 && (fd.revents & POLLIN)) {
        std::uint8_t chunk[512];
        const ssize_t n = read(master, chunk, sizeof chunk);
        if (n <= 0)
            break;
        bytes.insert(bytes.end(), chunk, chunk + n);
    }
    return bytes;
}
