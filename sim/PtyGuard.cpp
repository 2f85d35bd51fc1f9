#include "sim/PtyGuard.h"

#include <cerrno>
#include <cstring>

#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <unistd.h>

PtyGuard::PtyGuard(int slave, const std::string& device) : slave(slave)
{
    if (::tcgetattr(slave, &fresh) != 0) {
        error = std::strerror(errno);
        return;
    }
    notify = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (notify < 0) {
        error = std::strerror(errno);
        return;
    }
    // The simulator's own descriptor stays open, so every close seen here is
    // another program's: no reset ever causes one.
    if (::inotify_add_watch(notify, device.c_str(), IN_CLOSE_WRITE | IN_CLOSE_NOWRITE) < 0) {
        error = std::strerror(errno);
        ::close(notify);
        notify = -1;
    }
}

PtyGuard::~PtyGuard()
{
    if (notify >= 0)
        ::close(notify);
}

bool PtyGuard::TakeCloses()
{
    if (notify < 0)
        return false;
    bool closed = false;
    alignas(inotify_event) char events[4096];
    for (;;) {
        const ssize_t n = ::read(notify, events, sizeof events);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        for (ssize_t at = 0; at + ssize_t(sizeof(inotify_event)) <= n;) {
            inotify_event event;
            std::memcpy(&event, events + at, sizeof event);
            // A lost notice (queue overflow) may have been a close.
            if (event.mask & (IN_CLOSE_WRITE | IN_CLOSE_NOWRITE | IN_Q_OVERFLOW))
                closed = true;
            at += ssize_t(sizeof event + event.len);
        }
    }
    if (closed)
        Reset();
    return closed;
}

void PtyGuard::Reset() const
{
    // Exclusive mode off (a tool that is not root could not open the device
    // again), the settings of a fresh line, and nothing left to read that was
    // meant for the tool that went.
    ::ioctl(slave, TIOCNXCL);
    ::tcsetattr(slave, TCSANOW, &fresh);
    ::tcflush(slave, TCIFLUSH);
}
