// The one platform file of mirelle-cli: how the operating system tells it to
// stop. Everything else polls the flags.
#include "cli/Signals.h"

#include <atomic>
#include <cstddef>
#include <iterator>

namespace {

std::atomic<int> stops{0};
std::atomic<bool> signalled{false};   // a signal or console event, not a closed pipe
std::atomic<bool> pipeClosed{false};  // counted once: every later write meets it again
// Each port's thread of a production line runs its own procedures: a first
// stop waits for the next tick of the thread's own procedure, if it runs one.
thread_local bool procedureRunning = false;
std::atomic<bool> finished{false};

static_assert(std::atomic<int>::is_always_lock_free && std::atomic<bool>::is_always_lock_free,
              "the flags are raised from a signal handler");

void Raise()
{
    signalled = true;
    ++stops;
}

void RaisePipeClosed()
{
    if (!pipeClosed.exchange(true))
        ++stops;
}

}  // namespace

bool StopSignals::Requested()
{
    return stops > 0;
}

bool StopSignals::Quiet()
{
    return pipeClosed && !signalled;
}

bool StopSignals::Urgent()
{
    return stops > 1 || (stops > 0 && !procedureRunning);
}

StopSignals::ProcedureRunning::ProcedureRunning()
{
    procedureRunning = true;
}

StopSignals::ProcedureRunning::~ProcedureRunning()
{
    procedureRunning = false;
}

#ifdef _WIN32

#include <windows.h>

namespace {

BOOL WINAPI OnConsoleEvent(DWORD event)
{
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
        Raise();
        return TRUE;
    case CTRL_CLOSE_EVENT:
        // Windows ends the process as this returns (at the latest after 5 s):
        // the run gets that long to close the port.
        Raise();
        for (int waited = 0; waited < 45 && !finished; ++waited)
            Sleep(100);
        return TRUE;
    default:
        return FALSE;
    }
}

}  // namespace

StopSignals::StopSignals()
{
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

StopSignals::~StopSignals()
{
    finished = true;
    SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
}

// A console read ends by itself at Ctrl-C.
bool StopSignals::WaitForInput(std::FILE*)
{
    return !Requested();
}

#else

#include <cerrno>
#include <csignal>

#include <sys/select.h>

namespace {

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};
struct sigaction previous[std::size(kStopSignals)];

// SIGPIPE does not end the program either: the write that met the closed
// pipe fails with EPIPE, and the flag ends the run quietly.
extern "C" void OnStopSignal(int signal)
{
    if (signal == SIGPIPE)
        RaisePipeClosed();
    else
        Raise();
}

}  // namespace

StopSignals::StopSignals()
{
    struct sigaction action = {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no SA_RESTART: a blocking read returns EINTR
    for (std::size_t i = 0; i < std::size(kStopSignals); ++i)
        sigaction(kStopSignals[i], &action, &previous[i]);
}

StopSignals::~StopSignals()
{
    finished = true;
    for (std::size_t i = 0; i < std::size(kStopSignals); ++i)
        sigaction(kStopSignals[i], &previous[i], nullptr);
}

bool StopSignals::WaitForInput(std::FILE* in)
{
    const int fd = fileno(in);
    if (fd < 0 || fd >= FD_SETSIZE)
        return !Requested();
    // The stops are held back while the flag is looked at, and let in only
    // inside pselect, which they then end.
    sigset_t held;
    sigset_t open;
    sigemptyset(&held);
    for (const int signal : kStopSignals)
        sigaddset(&held, signal);
    sigprocmask(SIG_BLOCK, &held, &open);
    bool readable = false;
    while (!readable && !Requested()) {
        fd_set readSet;
        FD_ZERO(&readSet);
        FD_SET(fd, &readSet);
        const int ready = pselect(fd + 1, &readSet, nullptr, nullptr, nullptr, &open);
        if (ready < 0 && errno != EINTR)
            break;
        readable = ready > 0;
    }
    sigprocmask(SIG_SETMASK, &open, nullptr);
    return readable && !Requested();
}

#endif
